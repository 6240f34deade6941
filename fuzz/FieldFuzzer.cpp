// Fields toward a goal on hostile maps, asked at cells the input chooses, with edits between: no
// crash, hang or leak, every next cell one step nearer, every path as long as the distance, and
// after an edit the answers of a field made afresh.
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
    std::fprintf(stderr, "field fuzzer: %s\n", What);
    std::abort();
  }
}

// A number from the input's bytes, for cells and rectangles.
std::int32_t Take(const std::uint8_t* Data, std::size_t Size, std::size_t At) {
  return Size == 0 ? 0 : Data[At % Size] | Data[(At + 1) % Size] << 8;
}

// What the field says of a cell, checked against itself: its next cell one step nearer, its path
// from the cell to the goal as long as the distance.
std::int64_t Ask(varnholt_field* Field, std::int32_t Row, std::int32_t Column) {
  const std::int64_t Steps = varnholt_field_distance(Field, Row, Column);
  std::int32_t Next[2];
  const int Has = varnholt_field_next(Field, Row, Column, Next);
  if (Steps < 0) {
    Check(Has != 1, "a next cell where the goal is not reached");
    return Steps;
  }
  Check(Has == (Steps > 0 ? 1 : 0), "a next cell at the goal, or none before it");
  if (Has == 1) {
    Check(std::abs(Next[0] - Row) + std::abs(Next[1] - Column) == 1, "a next cell not beside");
    Check(varnholt_field_distance(Field, Next[0], Next[1]) == Steps - 1, "a next cell no nearer");
  }
  Check(varnholt_field_path(Field, Row, Column, nullptr, 0) == Steps + 1,
        "a path of another length");
  return Steps;
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
  const std::int32_t Side = varnholt_cells_per_side(Map);
  varnholt_field* Field =
      varnholt_field_create(Map, Take(Data, Size, 1) % Side, Take(Data, Size, 5) % Side);
  for (std::size_t Round = 0; Field != nullptr && Round < 3; ++Round) {
    std::vector<std::int64_t> Answers;
    for (std::size_t K = 0; K < 16; ++K) {
      Answers.push_back(Ask(Field, Take(Data, Size, 7 * K + Round) % Side,
                            Take(Data, Size, 7 * K + Round + 3) % Side));
    }
    const std::int32_t Row = Take(Data, Size, 3 + Round) % Side;
    const std::int32_t Column = Take(Data, Size, 9 + Round) % Side;
    const std::int32_t Rows = 1 + Take(Data, Size, 11 + Round) % std::min(Side - Row, 80);
    const std::int32_t Columns = 1 + Take(Data, Size, 13 + Round) % std::min(Side - Column, 80);
    std::vector<std::uint8_t> Edit(static_cast<std::size_t>(Rows) *
                                   static_cast<std::size_t>(Columns));
    for (std::size_t K = 0; K < Edit.size(); ++K) Edit[K] = Data[(K + Round) % Size] & 1;
    Check(varnholt_set_cells(Map, Row, Column, Rows, Columns, Edit.data()) == 0, "an edit");
  }
  if (Field != nullptr) {
    // After the edits, as a field made afresh: where the goal is still open.
    varnholt_field* Fresh =
        varnholt_field_create(Map, Take(Data, Size, 1) % Side, Take(Data, Size, 5) % Side);
    for (std::size_t K = 0; Fresh != nullptr && K < 16; ++K) {
      const std::int32_t Row = Take(Data, Size, 5 * K) % Side,
                         Column = Take(Data, Size, 5 * K + 2) % Side;
      Check(varnholt_field_distance(Field, Row, Column) ==
                varnholt_field_distance(Fresh, Row, Column),
            "an edited field that is not one made afresh");
    }
    varnholt_field_close(Fresh);
  }
  varnholt_field_close(Field);
  varnholt_close(Map);
  return 0;
}
