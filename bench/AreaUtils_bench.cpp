// Throughput of the per-segment area analysis on the kinds of segment real maps hold.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "AreaUtils.h"
#include "MapGenerator.h"
#include "TestModel.h"

namespace varnholt {
namespace {

constexpr int kCells = kSegmentSide * kSegmentSide;

std::vector<TSegment> ExplicitSegments(const TLevel0Map& Map) {
  std::vector<TSegment> Segments;
  for (const TSegment& Segment : Map.Segments) {
    const bool Filled =
        std::all_of(Segment.begin(), Segment.end(), [&](auto B) { return B == Segment[0]; }) &&
        (Segment[0] == 0 || Segment[0] == 0xFF);
    if (!Filled) Segments.push_back(Segment);
  }
  return Segments;
}

std::vector<TSegment> PatternSegment(std::uint64_t RowBits) {
  TSegment Segment{};
  for (int R = 0; R < kSegmentSide; ++R) {
    const std::uint64_t Row = R % 2 == 0 ? RowBits : ~RowBits;
    for (int K = 0; K < 8; ++K)
      Segment[static_cast<std::size_t>(R * 8 + K)] = static_cast<std::uint8_t>(Row >> (8 * K));
  }
  return {Segment};
}

std::vector<TSegment> Stripes() {
  TSegment Segment{};
  for (int R = 1; R < kSegmentSide; R += 2) std::fill_n(Segment.begin() + R * 8, 8, 0xFF);
  return {Segment};
}

std::vector<TSegment> SegmentsOfKind(int Kind) {
  switch (Kind) {
    case 0:
      return {TSegment{}};
    case 1:
      return ExplicitSegments(TerrainMap(4, 11));
    case 2:
      return NoiseMap(3, 5, 1).Segments;
    case 3:
      return NoiseMap(3, 30, 2).Segments;
    case 4:
      return NoiseMap(3, 50, 3).Segments;
    case 5:
      return Stripes();
    default:
      return PatternSegment(0xAAAAAAAAAAAAAAAAull);
  }
}

const char* const kKindNames[] = {"open",    "terrain", "noise5",      "noise30",
                                  "noise50", "stripes", "checkerboard"};

using TLabeller = void (*)(const TSegment&, TAreaSegment&, std::int32_t&);

// The same segments through the run's labeller and through the plain flood fill of the tests,
// so that every run shows the two side by side.
void LabelSegments(benchmark::State& State, TLabeller Labeller) {
  const std::vector<TSegment> Segments = SegmentsOfKind(static_cast<int>(State.range(0)));
  TAreaSegment AreaMap;
  std::int32_t AreaCount = 0;
  std::size_t K = 0;
  for (auto _ : State) {
    Labeller(Segments[K], AreaMap, AreaCount);
    benchmark::DoNotOptimize(AreaMap);
    K = K + 1 == Segments.size() ? 0 : K + 1;
  }
  State.SetLabel(kKindNames[State.range(0)]);
  State.SetItemsProcessed(State.iterations() * kCells);
}

void BM_LabelAreas(benchmark::State& State) {
  LabelSegments(State, LabelAreas);
}
void BM_FloodFillLabeller(benchmark::State& State) {
  LabelSegments(State, model::ModelLabelAreas);
}
BENCHMARK(BM_LabelAreas)->DenseRange(0, 6);
BENCHMARK(BM_FloodFillLabeller)->DenseRange(0, 6);

// The later steps on the area maps of terrain segments.
struct TLabelled {
  std::vector<TAreaSegment> AreaMaps;
  std::vector<std::int32_t> AreaCounts;
};

TLabelled LabelledTerrain() {
  TLabelled Result;
  for (const TSegment& Segment : SegmentsOfKind(1)) {
    Result.AreaMaps.emplace_back();
    Result.AreaCounts.emplace_back();
    LabelAreas(Segment, Result.AreaMaps.back(), Result.AreaCounts.back());
  }
  return Result;
}

void BM_ReduceToInfo(benchmark::State& State) {
  const TLabelled Terrain = LabelledTerrain();
  TInfoSegment Info;
  std::size_t K = 0;
  for (auto _ : State) {
    ReduceToInfo(Terrain.AreaMaps[K], Info);
    benchmark::DoNotOptimize(Info);
    K = K + 1 == Terrain.AreaMaps.size() ? 0 : K + 1;
  }
  State.SetItemsProcessed(State.iterations() * kCells);
}
BENCHMARK(BM_ReduceToInfo);

void BM_CalculateWaypoint(benchmark::State& State) {
  const TLabelled Terrain = LabelledTerrain();
  std::size_t K = 0;
  for (auto _ : State) {
    TWaypointSegment Record;
    CalculateWaypoint(Terrain.AreaMaps[K], Terrain.AreaCounts[K], Record);
    benchmark::DoNotOptimize(Record);
    K = K + 1 == Terrain.AreaMaps.size() ? 0 : K + 1;
  }
  State.SetItemsProcessed(State.iterations() * kCells);
}
BENCHMARK(BM_CalculateWaypoint);

void BM_LinkSegments(benchmark::State& State) {
  const TLevel0Map Map = TerrainMap(4, 11);
  const std::uint32_t N = Map.SegmentsPerSide();
  TAreaEdgeMap Edges(N);
  TAreaCount AreaCounts(N);
  for (std::size_t K = 0; K < Map.Segments.size(); ++K) {
    TAreaSegment AreaMap;
    LabelAreas(Map.Segments[K], AreaMap, AreaCounts.All()[K]);
    Edges.All()[K] = AreaEdges(AreaMap);
  }
  for (auto _ : State) {
    TWaypointSegments Records(N);
    LinkSegments(Edges, AreaCounts, Records, N);
    benchmark::DoNotOptimize(Records.All().data());
  }
  State.SetItemsProcessed(State.iterations() * kCells * N * N);
}
BENCHMARK(BM_LinkSegments);

}  // namespace
}  // namespace varnholt
