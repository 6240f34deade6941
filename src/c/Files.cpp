// The C interface to files on disk put in place by the converter's protocol: saving an edited map,
// converting one, replacing a file whole, and the names and state of the protocol's own files.
// Each function checks its arguments and calls the library. Left out where there is no file
// system to protect (the studio's WebAssembly build).
#include <array>
#include <string>

#include "c/Interface.h"
#include "convert/Varnholt.h"
#include "files/OutputFile.h"
#include "files/Recovery.h"
#include "format/Naming.h"

using namespace varnholt;
using namespace varnholt::c;

int varnholt_save(const varnholt_map* map, const char* level0_path) {
  return Guarded(
      [&] {
        SaveMap(map->Map, NeededPath(level0_path), {});
        return 0;
      },
      -1);
}

int varnholt_pair_interrupted(const char* level0_path) {
  return Guarded(
      [&] {
        const TRunPaths Paths = DeriveRunPaths(Needed(level0_path, "level0_path"), PathRules());
        return IsCommitInterrupted(std::array{Paths.Info, Paths.Waypoint}) ? 1 : 0;
      },
      -1);
}

int varnholt_replace_file(const char* path, const void* data, size_t size) {
  return Guarded(
      [&] {
        const std::string Path = NeededPath(path);
        if (size > 0) Needed(data, "data");
        ReplaceFile(Path, {static_cast<const std::uint8_t*>(data), size});
        return 0;
      },
      -1);
}

int varnholt_classify_name(const char* name) {
  return name == nullptr ? VARNHOLT_NAME_OTHER : ClassifyName(name);
}

int varnholt_convert(const char* level0_path,
                     void (*report)(const char* line, int is_notice, void* context),
                     void* context) {
  return Guarded(
      [&] {
        const auto Say = [&](std::string_view Text, int IsNotice) {
          if (report != nullptr) report(std::string(Text).c_str(), IsNotice, context);
        };
        const TRunPaths Paths = DeriveRunPaths(NeededPath(level0_path), PathRules());
        ConvertMap(
            Paths.Input, Paths.Info, Paths.Waypoint, [&](std::string_view Line) { Say(Line, 0); },
            [&](std::string_view Text) { Say(Text, 1); });
        return 0;
      },
      -1);
}
