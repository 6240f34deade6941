// The survey against a plain flood fill of the whole map, and the splits of hand-made maps.
#include "map/Survey.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "TestSupport.h"
#include "analysis/AreaUtils.h"

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
    const TMapSurvey Found = Survey(Case.Map);
    EXPECT_EQ(Found.Counts.grid_components, static_cast<std::int64_t>(Model.GridComponents))
        << Case.Name;
    EXPECT_EQ(Found.Counts.graph_components, static_cast<std::int64_t>(Model.KeptComponents))
        << Case.Name;
    EXPECT_EQ(Found.Counts.split_components, static_cast<std::int64_t>(Model.SplitComponents))
        << Case.Name;
    EXPECT_EQ(Found.Counts.lost_components, static_cast<std::int64_t>(Model.LostComponents))
        << Case.Name;
    EXPECT_EQ(Found.Counts.lost_cells, static_cast<std::int64_t>(Model.LostCells)) << Case.Name;
    EXPECT_EQ(Found.Splits.size(),
              std::min<std::uint64_t>(Found.Counts.split_components, kExampleSplits))
        << Case.Name;
    Splits += Found.Counts.split_components;
  }
  EXPECT_GT(Splits, 0u) << "some of the maps must exercise splits";
}

TEST(SurveyTest, NoSplitWhenNoSegmentHasMoreThanFourAreas) {
  for (const TGeneratedCase& Case : GeneratedMaps()) {
    const TMapSurvey Found = Survey(WithoutErasedAreas(Case.Map));
    EXPECT_EQ(Found.Counts.segments_over_four, 0) << Case.Name;
    EXPECT_EQ(Found.Counts.erased_cells, 0) << Case.Name;
    EXPECT_EQ(Found.Counts.split_components, 0) << Case.Name;
    EXPECT_EQ(Found.Counts.lost_components, 0) << Case.Name;
    EXPECT_EQ(Found.Counts.grid_components, Found.Counts.graph_components) << Case.Name;
  }
}

TEST(SurveyTest, AnErasedAreaJoiningTwoNeighbours) {
  const struct {
    const char* Name;
    TLevel0Map Map;
    std::int64_t Grid, Abstract, Splits;
  } Cases[] = {
      // The squares stay apart, the bridge joins (0, 1) and (1, 0) only in the grid.
      {"five areas", CornerBridgeMap(4), 5, 6, 1},
      // The bridge is area 4, linked to both.
      {"four areas", CornerBridgeMap(3), 4, 4, 0},
      // (0, 1) and (1, 0) meet through (1, 1) as well.
      {"five areas, joined elsewhere too", CornerBridgeMap(4, true), 5, 5, 0},
  };
  for (const auto& Case : Cases) {
    const varnholt_survey Found = Survey(Case.Map).Counts;
    EXPECT_EQ(Found.grid_components, Case.Grid) << Case.Name;
    EXPECT_EQ(Found.graph_components, Case.Abstract) << Case.Name;
    EXPECT_EQ(Found.split_components, Case.Splits) << Case.Name;
    EXPECT_EQ(Found.lost_components, 0) << Case.Name;
  }
  const TMapSurvey Split = Survey(CornerBridgeMap(4));
  ASSERT_EQ(Split.Splits.size(), 1u);
  const varnholt_split& Found = Split.Splits[0];
  EXPECT_EQ(Found.parts, 2);
  // The waypoints of the open segments (0, 1) and (1, 0), at their middle cells.
  ASSERT_EQ(Found.part_count, 2);
  EXPECT_EQ((std::vector<TCell>{{Found.part_cells[0][0], Found.part_cells[0][1]},
                                {Found.part_cells[1][0], Found.part_cells[1][1]}}),
            (std::vector<TCell>{{32, 96}, {96, 32}}));
  ASSERT_EQ(Found.erased_count, 1);
  EXPECT_EQ((TCell{Found.erased_cells[0][0], Found.erased_cells[0][1]}), (TCell{63, 63}));
}

TEST(SurveyTest, CensusOfAHandMadeMap) {
  const varnholt_survey Census = Survey(CornerBridgeMap(4)).Counts;
  EXPECT_EQ(Census.filled_open_segments, 2);
  EXPECT_EQ(Census.filled_blocked_segments, 1);
  EXPECT_EQ(Census.explicit_segments, 1);
  EXPECT_EQ(Census.areas_found, 7);
  EXPECT_EQ(Census.areas_kept, 6);
  EXPECT_EQ(Census.segments_over_four, 1);
  EXPECT_EQ(Census.erased_cells, 1);
  EXPECT_EQ(Census.segments_with_area4, 1);
  EXPECT_EQ(Census.area4_cells, 16);
  EXPECT_EQ(Census.down_links + Census.right_links, 0);

  const varnholt_survey Open = Survey(OpenMap(2)).Counts;
  EXPECT_EQ(Open.filled_open_segments, 16);
  EXPECT_EQ(Open.down_links, 12);
  EXPECT_EQ(Open.right_links, 12);
}

}  // namespace
}  // namespace varnholt
