#include "c/Interface.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace varnholt::c {
namespace {

thread_local std::string LastFailure;
thread_local varnholt_status LastStatus = VARNHOLT_OK;

}  // namespace

void Remember(varnholt_status Status, const char* Text) {
  LastStatus = Status;
  LastFailure = Text;
}

void FailArgument(const std::string& Text) {
  throw Exception(VARNHOLT_ERROR_ARGUMENT, Text);
}

const char* NeededPath(const char* Path) {
  if (Path == nullptr) throw Exception(VARNHOLT_ERROR_ARGUMENT, "Error opening file: ");
  return Path;
}

varnholt_file FileKind(int File, bool Level0Allowed) {
  if ((File == VARNHOLT_FILE_LEVEL0 && Level0Allowed) || File == VARNHOLT_FILE_INFO ||
      File == VARNHOLT_FILE_WAYPOINT) {
    return static_cast<varnholt_file>(File);
  }
  FailArgument("Unknown file kind: " + std::to_string(File));
}

std::int64_t Written(const std::string& Text, char* Buffer, std::int64_t Capacity) {
  if (Capacity > 0) {
    Needed(Buffer, "buffer");
    const std::size_t Taken = std::min(Text.size(), static_cast<std::size_t>(Capacity) - 1);
    std::memcpy(Buffer, Text.data(), Taken);
    Buffer[Taken] = '\0';
  }
  return static_cast<std::int64_t>(Text.size());
}

std::int64_t Copied(const std::vector<TCell>& Path, std::int32_t* Cells, std::int64_t Capacity) {
  const auto Written = static_cast<std::size_t>(
      std::clamp<std::int64_t>(Capacity, 0, static_cast<std::int64_t>(Path.size())));
  if (Written > 0) Needed(Cells, "cells");
  for (std::size_t K = 0; K < Written; ++K) {
    Cells[2 * K] = Path[K].Row;
    Cells[2 * K + 1] = Path[K].Column;
  }
  return static_cast<std::int64_t>(Path.size());
}

varnholt_map* Held(TAnalysedMap Map) {
  return new varnholt_map{std::move(Map)};
}

}  // namespace varnholt::c

using namespace varnholt::c;

const char* varnholt_error(void) {
  return LastFailure.c_str();
}

varnholt_status varnholt_last_status(void) {
  return LastStatus;
}
