// The survey against a plain flood fill of the whole map, and the splits of hand-made maps.
#include "map/Survey.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "analysis/AreaUtils.h"
#include "TestSupport.h"

namespace varnholt {
namespace {

using test::CornerBridgeMap;
using test::SegmentOf;

constexpr std::size_t kExampleSplits = 5;

// What a flood fill over the whole map finds: components of the open cells, and components of
// the kept cells alone, which is what the waypoint graph should connect.
struct TModelCounts {
  std::uint64_t GridComponents = 0;
  std::uint64_t KeptComponents = 0;
  std::uint64_t SplitComponents = 0;
  std::uint64_t LostComponents = 0;
  std::uint64_t LostCells = 0;
};

// Labels the cells for which Include holds with their component, row-major from 1; 0 elsewhere.
std::vector<std::uint32_t> FloodWholeMap(std::uint32_t Side,
                                         const std::function<bool(std::uint32_t)>& Include,
                                         std::uint64_t& Count) {
  std::vector<std::uint32_t> Label(std::size_t{Side} * Side, 0);
  Count = 0;
  for (std::uint32_t Start = 0; Start < Label.size(); ++Start) {
    if (Label[Start] != 0 || !Include(Start)) continue;
    Label[Start] = static_cast<std::uint32_t>(++Count);
    std::vector<std::uint32_t> Stack{Start};
    while (!Stack.empty()) {
      const std::uint32_t Cell = Stack.back();
      Stack.pop_back();
      const std::uint32_t R = Cell / Side, C = Cell % Side;
      for (const std::uint32_t Next :
           {R > 0 ? Cell - Side : Cell, R + 1 < Side ? Cell + Side : Cell, C > 0 ? Cell - 1 : Cell,
            C + 1 < Side ? Cell + 1 : Cell}) {
        if (Label[Next] != 0 || !Include(Next)) continue;
        Label[Next] = Label[Start];
        Stack.push_back(Next);
      }
    }
  }
  return Label;
}

TModelCounts ModelCounts(const TLevel0Map& Map) {
  const std::uint32_t N = Map.SegmentsPerSide();
  const std::uint32_t Side = N * 64;
  std::vector<std::uint8_t> Open(std::size_t{Side} * Side), Kept(Open.size());
  for (std::uint32_t K = 0; K < N * N; ++K) {
    TAreaSegment AreaMap;
    std::int32_t Count = 0;
    LabelAreas(SegmentOf(Map, K), AreaMap, Count);
    for (int R = 0; R < 64; ++R) {
      for (int C = 0; C < 64; ++C) {
        const std::size_t Cell = (std::size_t{K / N} * 64 + R) * Side + K % N * 64 + C;
        Open[Cell] = IsBlocked(SegmentOf(Map, K), R, C) ? 0 : 1;
        Kept[Cell] = AreaMap[R * 64 + C] != 0 ? 1 : 0;
      }
    }
  }
  TModelCounts Counts;
  const auto Grid = FloodWholeMap(
      Side, [&](std::uint32_t C) { return Open[C] != 0; }, Counts.GridComponents);
  const auto Parts = FloodWholeMap(
      Side, [&](std::uint32_t C) { return Kept[C] != 0; }, Counts.KeptComponents);
  std::set<std::pair<std::uint32_t, std::uint32_t>> GridParts;
  std::vector<std::uint64_t> Cells(Counts.GridComponents + 1, 0), PartCount(Cells.size(), 0);
  for (std::size_t Cell = 0; Cell < Grid.size(); ++Cell) {
    ++Cells[Grid[Cell]];
    if (Parts[Cell] != 0 && GridParts.emplace(Grid[Cell], Parts[Cell]).second)
      ++PartCount[Grid[Cell]];
  }
  for (std::uint64_t Component = 1; Component <= Counts.GridComponents; ++Component) {
    Counts.SplitComponents += PartCount[Component] > 1 ? 1 : 0;
    Counts.LostComponents += PartCount[Component] == 0 ? 1 : 0;
    Counts.LostCells += PartCount[Component] == 0 ? Cells[Component] : 0;
  }
  return Counts;
}

TMapSurvey Survey(const TLevel0Map& Generated) {
  return SurveyMap(test::RegionsOf(EncodeLevel0Map(Generated)), kExampleSplits, kExampleSplits);
}

// Blocks every open cell the converter erases, leaving at most four areas in every segment.
TLevel0Map WithoutErasedAreas(TLevel0Map Map) {
  const std::uint32_t N = Map.SegmentsPerSide();
  for (std::uint32_t K = 0; K < N * N; ++K) {
    TAreaSegment AreaMap;
    std::int32_t Count = 0;
    LabelAreas(SegmentOf(Map, K), AreaMap, Count);
    for (std::uint32_t R = 0; R < 64; ++R) {
      for (std::uint32_t C = 0; C < 64; ++C) {
        if (AreaMap[R * 64 + C] == 0) Map.SetBlocked(K / N * 64 + R, K % N * 64 + C, true);
      }
    }
  }
  return Map;
}

struct TGeneratedCase {
  const char* Name;
  TLevel0Map Map;
};

std::vector<TGeneratedCase> GeneratedMaps() {
  return {{"terrain 3 7", TerrainMap(3, 7)},  {"terrain 2 11", TerrainMap(2, 11)},
          {"noise 2 30", NoiseMap(2, 30, 1)}, {"noise 2 42", NoiseMap(2, 42, 2)},
          {"noise 3 38", NoiseMap(3, 38, 3)}, {"noise 1 5", NoiseMap(1, 5, 4)}};
}

TEST(SurveyTest, AgreesWithAFloodFillOfTheWholeMap) {
  std::uint64_t Splits = 0;
  for (const TGeneratedCase& Case : GeneratedMaps()) {
    const TModelCounts Model = ModelCounts(Case.Map);
    const TReachability Found = Survey(Case.Map).Reachability;
    EXPECT_EQ(Found.GridComponents, Model.GridComponents) << Case.Name;
    EXPECT_EQ(Found.AbstractComponents, Model.KeptComponents) << Case.Name;
    EXPECT_EQ(Found.SplitComponents, Model.SplitComponents) << Case.Name;
    EXPECT_EQ(Found.LostComponents, Model.LostComponents) << Case.Name;
    EXPECT_EQ(Found.LostCells, Model.LostCells) << Case.Name;
    EXPECT_EQ(Found.Splits.size(), std::min<std::uint64_t>(Found.SplitComponents, kExampleSplits))
        << Case.Name;
    Splits += Found.SplitComponents;
  }
  EXPECT_GT(Splits, 0u) << "some of the maps must exercise splits";
}

TEST(SurveyTest, NoSplitWhenNoSegmentHasMoreThanFourAreas) {
  for (const TGeneratedCase& Case : GeneratedMaps()) {
    const TMapSurvey Found = Survey(WithoutErasedAreas(Case.Map));
    EXPECT_EQ(Found.Census.SegmentsOverFour, 0u) << Case.Name;
    EXPECT_EQ(Found.Census.ErasedCells, 0u) << Case.Name;
    EXPECT_EQ(Found.Reachability.SplitComponents, 0u) << Case.Name;
    EXPECT_EQ(Found.Reachability.LostComponents, 0u) << Case.Name;
    EXPECT_EQ(Found.Reachability.GridComponents, Found.Reachability.AbstractComponents)
        << Case.Name;
  }
}

TEST(SurveyTest, AnErasedAreaJoiningTwoNeighbours) {
  const struct {
    const char* Name;
    TLevel0Map Map;
    std::uint64_t Grid, Abstract, Splits;
  } Cases[] = {
      // The squares stay apart, the bridge joins (0, 1) and (1, 0) only in the grid.
      {"five areas", CornerBridgeMap(4), 5, 6, 1},
      // The bridge is area 4, linked to both.
      {"four areas", CornerBridgeMap(3), 4, 4, 0},
      // (0, 1) and (1, 0) meet through (1, 1) as well.
      {"five areas, joined elsewhere too", CornerBridgeMap(4, true), 5, 5, 0},
  };
  for (const auto& Case : Cases) {
    const TReachability Found = Survey(Case.Map).Reachability;
    EXPECT_EQ(Found.GridComponents, Case.Grid) << Case.Name;
    EXPECT_EQ(Found.AbstractComponents, Case.Abstract) << Case.Name;
    EXPECT_EQ(Found.SplitComponents, Case.Splits) << Case.Name;
    EXPECT_EQ(Found.LostComponents, 0u) << Case.Name;
  }
  const TReachability Split = Survey(CornerBridgeMap(4)).Reachability;
  ASSERT_EQ(Split.Splits.size(), 1u);
  EXPECT_EQ(Split.Splits[0].Parts, 2u);
  // The waypoints of the open segments (0, 1) and (1, 0), at their middle cells.
  EXPECT_EQ(Split.Splits[0].PartCells, (std::vector<TCell>{{32, 96}, {96, 32}}));
  EXPECT_EQ(Split.Splits[0].ErasedCells, (std::vector<TCell>{{63, 63}}));
}

TEST(SurveyTest, CensusOfAHandMadeMap) {
  const TMapCensus Census = Survey(CornerBridgeMap(4)).Census;
  EXPECT_EQ(Census.FilledOpen, 2u);
  EXPECT_EQ(Census.FilledBlocked, 1u);
  EXPECT_EQ(Census.Explicit, 1u);
  EXPECT_EQ(Census.AreasFound, 7u);
  EXPECT_EQ(Census.AreasKept, 6u);
  EXPECT_EQ(Census.SegmentsOverFour, 1u);
  EXPECT_EQ(Census.ErasedCells, 1u);
  EXPECT_EQ(Census.SegmentsWithArea4, 1u);
  EXPECT_EQ(Census.Area4Cells, 16u);
  EXPECT_EQ(Census.DownLinks + Census.RightLinks, 0u);

  const TMapCensus Open = Survey(OpenMap(2)).Census;
  EXPECT_EQ(Open.FilledOpen, 16u);
  EXPECT_EQ(Open.DownLinks, 12u);
  EXPECT_EQ(Open.RightLinks, 12u);
}

}  // namespace
}  // namespace varnholt
