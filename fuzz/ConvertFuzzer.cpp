// The whole conversion on arbitrary bytes, through the real files: the input is written to a
// scratch folder and converted there. A run must either succeed with outputs of the sizes the
// map implies, or fail with its message and leave nothing but the input behind.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "convert/Varnholt.h"
#include "format/SegUtils.h"

namespace {

namespace fs = std::filesystem;
using namespace varnholt;

// Larger maps would measure the allocator, not the code.
constexpr std::uint32_t kMaxSegmentsPerSide = 16;

// A folder of its own in memory where possible, removed when the process ends.
struct TScratchFolder {
  TScratchFolder() {
    const fs::path Base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
    Path = Base / ("varnholt-fuzz-" + std::to_string(::getpid()));
    fs::create_directories(Path);
  }
  ~TScratchFolder() {
    std::error_code Ignored;
    fs::remove_all(Path, Ignored);
  }
  fs::path Path;
};

const fs::path& ScratchFolder() {
  static const TScratchFolder Folder;
  return Folder.Path;
}

std::uint32_t SegmentsPerSide(const std::uint8_t* Data, std::size_t Size) {
  if (Size < kHeaderBytes) return 0;
  TMapHeader Header;
  Header.Exponent = LoadLE32(Data);
  return CellsPerSideOf(Header) / kSegmentSide;
}

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "conversion fuzzer: %s\n", What);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::uint32_t N = SegmentsPerSide(Data, Size);
  if (N > kMaxSegmentsPerSide) return 0;
  const fs::path& Folder = ScratchFolder();
  const fs::path Input = Folder / "Map1.raw";
  const fs::path Info = Folder / "MapInfo.raw";
  const fs::path Waypoint = Folder / "Map.raw";
  fs::remove(Info);
  fs::remove(Waypoint);
  std::ofstream(Input, std::ios::binary)
      .write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
  bool Converted = true;
  try {
    ConvertMap(Input.string(), Info.string(), Waypoint.string(), [](std::string_view) {});
  } catch (const Exception&) {
    Converted = false;
  }
  std::size_t Files = 0;
  for ([[maybe_unused]] const auto& Entry : fs::directory_iterator(Folder)) ++Files;
  if (!Converted) {
    Check(Files == 1, "a failed run left files behind");
    return 0;
  }
  Check(Files == 3, "a run that succeeded did not leave exactly its two maps");
  const std::uintmax_t Records = std::uintmax_t{N} * N;
  Check(fs::file_size(Waypoint) == 8 + 16 * Records, "waypoint map of the wrong size");
  const std::uintmax_t InfoBytes = fs::file_size(Info);
  Check(InfoBytes >= 32 + 4 * Records && InfoBytes <= 32 + 260 * Records,
        "info map of the wrong size");
  return 0;
}
