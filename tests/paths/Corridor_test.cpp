// The corridor a query's cells are searched in: dead ends off the way are left out, and a region
// that bends round keeps the regions beside it, through which the shortest path cuts.
#include "paths/Corridor.h"

#include <gtest/gtest.h>

#include "MapGenerator.h"
#include "TestSupport.h"
#include "paths/PathSearch.h"

namespace varnholt::test {
namespace {

TNode NodeAt(const TRegionMap& Map, TCell Cell) {
  return NodeOf(Map.Cells().Locate(Cell).Segment, RegionOf(Map, Cell));
}

// 4 x 4 segments, blocked but for a passage along row 60 across the top row of segments. A dead
// end leaves it down column 100 to the bottom of the map. In segment (0, 2) a wall at column 160
// stands across the passage from row 2 down, so that the passage goes round it by rows 0 and 1;
// below the wall, a short way along row 64 in the segment beneath joins both sides.
TLevel0Map BendingPassage() {
  TLevel0Map Map = OpenMap(2);
  Map.Fill(0, 0, 256, 256, true);
  Map.Fill(60, 0, 1, 256, false);
  Map.Fill(60, 100, 196, 1, false);
  Map.Fill(0, 150, 2, 21, false);   // round the wall's top
  Map.Fill(0, 150, 61, 1, false);   // down to the passage on the left
  Map.Fill(0, 170, 61, 1, false);   // and on the right
  Map.Fill(60, 155, 5, 1, false);   // the short way: down from the passage,
  Map.Fill(64, 155, 1, 11, false);  // under the wall,
  Map.Fill(60, 165, 5, 1, false);   // and back up
  Map.Fill(2, 160, 62, 1, true);    // the wall
  return Map;
}

TEST(CorridorTest, LeavesOutDeadEndsAndKeepsWhatABendingRegionCutsThrough) {
  const TRegionMap Map = RegionsOf(EncodeLevel0Map(BendingPassage()));
  const TCell Start{60, 0}, Goal{60, 255};
  std::vector<TNode> Regions;
  for (std::int32_t Column = 0; Column < 256; Column += 64) {
    Regions.push_back(NodeAt(Map, {60, Column + (Column == 128 ? 10 : 0)}));
  }
  Regions.back() = NodeAt(Map, Goal);
  const TCorridor Corridor = CorridorOf(Map, Regions);
  EXPECT_TRUE(Corridor.Admits(1 * 4 + 1)) << "the dead end's first region, beside the way";
  EXPECT_FALSE(Corridor.Admits(2 * 4 + 1)) << "the dead end beyond it";
  EXPECT_TRUE(Corridor.Admits(1 * 4 + 2)) << "the short way under the wall";
  // The search's own corridor gives the shortest path, which takes the short way.
  const std::vector<std::int64_t> Steps = GridSteps(Map.Cells(), Start);
  const std::vector<TCell> Path = FindPath(Map, Start, Goal);
  ASSERT_FALSE(Path.empty());
  EXPECT_EQ(static_cast<std::int64_t>(Path.size()) - 1, Steps[IndexOf(Goal, 256)]);
  EXPECT_NE(std::find(Path.begin(), Path.end(), TCell{64, 160}), Path.end());
}

}  // namespace
}  // namespace varnholt::test
