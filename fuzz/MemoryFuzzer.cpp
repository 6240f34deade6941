// Hostile bytes as an engine meets them in maps that players download: whatever opens from
// memory takes queries, edits and writes without a crash, a hang or a leak, and its files are
// the ones it opens from again.
#include <varnholt/varnholt.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "format/SegUtils.h"

namespace {

using namespace varnholt;

// Larger maps would measure the allocator, not the code.
constexpr std::uint32_t kMaxSegmentsPerSide = 8;

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "memory fuzzer: %s\n", What);
    std::abort();
  }
}

std::vector<std::uint8_t> FileOf(const varnholt_map* Map, int File) {
  const std::int64_t Size = varnholt_write_memory(Map, File, nullptr, 0);
  Check(Size > 0, "a file that cannot be written");
  std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(Size));
  Check(varnholt_write_memory(Map, File, Bytes.data(), Size) == Size, "a file of another size");
  return Bytes;
}

// A number from the input's bytes, for cells and rectangles.
std::int32_t Take(const std::uint8_t* Data, std::size_t Size, std::size_t At) {
  return Size == 0 ? 0 : Data[At % Size] | Data[(At + 1) % Size] << 8;
}

void Exercise(varnholt_map* Map, const std::uint8_t* Data, std::size_t Size) {
  const std::int32_t Side = varnholt_cells_per_side(Map);
  const std::int32_t N = varnholt_segments_per_side(Map);
  std::vector<std::uint8_t> Areas(4096), Record(16);
  std::vector<std::uint16_t> Regions(4096);
  for (std::int32_t K = 0; K < N * N; K += 1 + N) {
    Check(varnholt_segment_areas(Map, K / N, K % N, Areas.data()) >= 0, "a segment's areas");
    Check(varnholt_segment_regions(Map, K / N, K % N, Regions.data()) >= 0, "its regions");
    Check(varnholt_segment_record(Map, K / N, K % N, Record.data()) == 0, "its record");
  }
  std::vector<std::int32_t> Cells(64);
  for (std::size_t K = 0; K < 8; ++K) {
    const std::int32_t R0 = Take(Data, Size, 4 * K) % Side, C0 = Take(Data, Size, 4 * K + 2) % Side;
    const std::int32_t R1 = Take(Data, Size, 4 * K + 5) % Side,
                       C1 = Take(Data, Size, 4 * K + 7) % Side;
    varnholt_connected(Map, R0, C0, R1, C1);
    varnholt_find_path(Map, R0, C0, R1, C1, Cells.data(), 32);
  }
  varnholt_survey Survey;
  varnholt_split Splits[2];
  std::int32_t Lost[4];
  Check(varnholt_survey_map(Map, &Survey, Splits, 2, Lost, 2) == 0, "the survey");
  const std::int32_t Row = Take(Data, Size, 3) % Side, Column = Take(Data, Size, 9) % Side;
  const std::int32_t Rows = 1 + Take(Data, Size, 11) % (Side - Row);
  const std::int32_t Columns = 1 + Take(Data, Size, 13) % (Side - Column);
  std::vector<std::uint8_t> Edit(static_cast<std::size_t>(Rows) *
                                 static_cast<std::size_t>(Columns));
  for (std::size_t K = 0; K < Edit.size(); ++K) Edit[K] = Data[K % Size] & 1;
  Check(varnholt_set_cells(Map, Row, Column, Rows, Columns, Edit.data()) == 0, "an edit");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (Size >= kHeaderBytes) {
    TMapHeader Header;
    Header.Exponent = LoadLE32(Data);
    if (CellsPerSideOf(Header) / kSegmentSide > kMaxSegmentsPerSide) return 0;
  }
  varnholt_map* Map = varnholt_analyse_memory(Data, Size);
  if (Map == nullptr) return 0;
  Exercise(Map, Data, Size);
  const std::vector<std::uint8_t> Level0 = FileOf(Map, VARNHOLT_FILE_LEVEL0);
  const std::vector<std::uint8_t> Info = FileOf(Map, VARNHOLT_FILE_INFO);
  const std::vector<std::uint8_t> Waypoint = FileOf(Map, VARNHOLT_FILE_WAYPOINT);
  Check(varnholt_compare_memory(Map, VARNHOLT_FILE_INFO, Info.data(), Info.size(), nullptr, 0) == 0,
        "an info map that is not its own");
  varnholt_map* Again = varnholt_analyse_memory(Level0.data(), Level0.size());
  Check(Again != nullptr, "a saved map that does not open");
  Check(FileOf(Again, VARNHOLT_FILE_WAYPOINT) == Waypoint, "another waypoint map once saved");
  varnholt_close(Again);
  varnholt_close(Map);
  return 0;
}
