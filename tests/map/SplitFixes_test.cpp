// Fixes for splits, each applied to a copy of the map and the map surveyed again: the split is
// gone, no new one has come, and a blocking fix blocks only erased cells, an opening one opens
// only blocked cells; on the generator's kinds with splits, a hand-made one and the fuzz corpus.
#include "map/SplitFixes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "MapGenerator.h"
#include "TestSupport.h"
#include "map/Survey.h"

namespace varnholt::test {
namespace {

// A cell standing for each part of split Index: a waypoint of one of its kept areas.
std::vector<TCell> PartCells(const TRegionMap& Map, std::size_t Index) {
  std::vector<TCell> Cells;
  for (const auto& Part : SplitRegionsOf(Map, Index).Parts) {
    const TRegionAt At = Part.front();
    Cells.push_back(Map.Cells().CellOf(At.Segment, Map.Of(At.Segment).Places[At.Region]));
  }
  return Cells;
}

// Applies the fix of each kind to each of the first splits, on a map of its own; returns how many
// fixes were found.
int CheckFixes(const TBytes& File, std::size_t MostSplits) {
  const TRegionMap Map = RegionsOf(File);
  const std::int64_t Splits = SurveyMap(Map, 0, 0).Counts.split_components;
  int Found = 0;
  for (std::size_t Index = 0;
       Index < std::min<std::size_t>(MostSplits, static_cast<std::size_t>(Splits)); ++Index) {
    const std::vector<TCell> Parts = PartCells(Map, Index);
    for (const TFixKind Kind : {TFixKind::Block, TFixKind::Open}) {
      SCOPED_TRACE(std::to_string(Index) + (Kind == TFixKind::Block ? " block" : " open"));
      const std::vector<TCell> Fix = SplitFix(Map, Index, Kind);
      if (Fix.empty()) continue;
      ++Found;
      TRegionMap Mended = RegionsOf(File);
      for (const TCell Cell : Fix) {
        // Blocking takes erased cells only; opening, blocked ones.
        if (Kind == TFixKind::Block) {
          EXPECT_TRUE(Map.Cells().IsOpen(Cell) && AreaOf(Map, Cell) == 0) << CellText(Cell);
        } else {
          EXPECT_FALSE(Map.Cells().IsOpen(Cell)) << CellText(Cell);
        }
        const std::uint8_t Value = Kind == TFixKind::Block ? 1 : 0;
        Mended.SetCells(Cell, 1, 1, {&Value, 1});
      }
      EXPECT_LE(SurveyMap(Mended, 0, 0).Counts.split_components, Splits - 1);
      for (const TCell Cell : Parts) EXPECT_EQ(GraphPartsOf(Mended, Cell), 1u) << CellText(Cell);
    }
  }
  return Found;
}

TEST(SplitFixTest, FixesOnMapsWithSplitsMendThemAndMakeNoOther) {
  int Found = 0;
  for (const TLevel0Map& Made : {NoiseMap(2, 42, 2), NoiseMap(3, 38, 3), CaveMap(3, 4),
                                 RoughTerrainMap(3, 5), CornerBridgeMap(4)}) {
    Found += CheckFixes(EncodeLevel0Map(Made), 6);
  }
  EXPECT_GT(Found, 10);
}

// The hand-made bridge: a single erased cell joins two open segments; blocking it is the fix.
TEST(SplitFixTest, TheFewestCellsBlockABridge) {
  const TRegionMap Map = RegionsOf(EncodeLevel0Map(CornerBridgeMap(4)));
  EXPECT_EQ(SplitFix(Map, 0, TFixKind::Block), (std::vector<TCell>{{63, 63}}));
  EXPECT_FALSE(SplitFix(Map, 0, TFixKind::Open).empty());
}

#if !defined(_WIN32)
TEST(SplitFixTest, FixesOnTheFuzzCorpus) {
  for (const auto& Entry : std::filesystem::directory_iterator(VARNHOLT_CONVERT_CORPUS)) {
    SCOPED_TRACE(Entry.path().filename().string());
    const TBytes File = ReadFile(Entry.path());
    TRegionMap Map;
    if (FailureOf([&] { Map = RegionsOf(File); }) != "no failure") continue;
    CheckFixes(File, 3);
  }
}
#endif

}  // namespace
}  // namespace varnholt::test
