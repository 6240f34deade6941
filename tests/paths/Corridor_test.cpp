// The corridor a query's cells are searched in: dead ends off the way are left out, and a region
// that bends round keeps the regions beside it, through which the shortest path cuts; on the
// generator's maps it holds a shortest path through the regions that path passes.
#include "paths/Corridor.h"

#include <gtest/gtest.h>

#include <algorithm>

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

// A shortest path from Start to Goal by the grid's own steps from Start, walked back from Goal.
std::vector<TCell> ShortestCells(const TRegionMap& Map, TCell Start, TCell Goal) {
  const std::uint32_t Side = Map.Cells().CellsPerSide();
  const std::vector<std::int64_t> Steps = GridSteps(Map.Cells(), Start);
  std::vector<TCell> Cells{Goal};
  while (Cells.back() != Start) {
    const TCell At = Cells.back();
    for (const TCell Next : {TCell{At.Row - 1, At.Column}, TCell{At.Row + 1, At.Column},
                             TCell{At.Row, At.Column - 1}, TCell{At.Row, At.Column + 1}}) {
      if (Map.Cells().IsInside(Next) &&
          Steps[IndexOf(Next, Side)] == Steps[IndexOf(At, Side)] - 1) {
        Cells.push_back(Next);
        break;
      }
    }
  }
  std::reverse(Cells.begin(), Cells.end());
  return Cells;
}

bool Holds(const TCorridor& Corridor, const TCellStore& Cells, TCell Cell) {
  const TSegmentCell At = Cells.Locate(Cell);
  if (!Corridor.Admits(At.Segment)) return false;
  const TSegmentRows* Mask = Corridor.CellsOf(At.Segment);
  return Mask == nullptr || ((*Mask)[static_cast<std::size_t>(At.Cell / 64)] >> (At.Cell % 64) & 1);
}

TEST(CorridorTest, HoldsAShortestPathThroughItsRegionsOnTheGeneratorsMaps) {
  const struct {
    const char* Name;
    TLevel0Map Made;
  } Kinds[] = {{"maze, corridors 4 wide", MazeMap(3, 16, 4)},
               {"rooms", RoomMap(3, 17)},
               {"caves", CaveMap(3, 18)}};
  for (const auto& Kind : Kinds) {
    SCOPED_TRACE(Kind.Name);
    const TRegionMap Map = RegionsOf(EncodeLevel0Map(Kind.Made));
    const auto Side = static_cast<std::int32_t>(Map.Cells().CellsPerSide());
    TRandom Random(29);
    for (int Pair = 0; Pair < 12;) {
      const TCell Start{static_cast<std::int32_t>(Random.Next() % Side),
                        static_cast<std::int32_t>(Random.Next() % Side)};
      const TCell Goal{static_cast<std::int32_t>(Random.Next() % Side),
                       static_cast<std::int32_t>(Random.Next() % Side)};
      if (!Map.Cells().IsOpen(Start) || !Map.Cells().IsOpen(Goal) ||
          !AreConnected(Map, Start, Goal)) {
        continue;
      }
      ++Pair;
      const std::vector<TCell> Path = ShortestCells(Map, Start, Goal);
      std::vector<TNode> Regions;
      for (const TCell Cell : Path) {
        if (Regions.empty() || Regions.back() != NodeAt(Map, Cell)) {
          Regions.push_back(NodeAt(Map, Cell));
        }
      }
      const TCorridor Corridor = CorridorOf(Map, Regions);
      for (const TCell Cell : Path)
        ASSERT_TRUE(Holds(Corridor, Map.Cells(), Cell)) << CellText(Cell);
    }
  }
}

}  // namespace
}  // namespace varnholt::test
