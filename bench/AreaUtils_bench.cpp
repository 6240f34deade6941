// Throughput of the per-segment area analysis on the kinds of segment real maps hold: the
// labeller beside the plain flood fill of the tests, and each later stage of the run on the same
// segments, so that the share of every stage shows in one run.
#include <benchmark/benchmark.h>

#include <algorithm>

#include "MapGenerator.h"
#include "TestModel.h"
#include "TestSupport.h"
#include "analysis/AreaUtils.h"

namespace varnholt {
namespace {

constexpr int kCells = kSegmentSide * kSegmentSide;

bool IsFilled(const TSegment& Segment) {
  return std::all_of(Segment.begin(), Segment.end(), [&](auto B) { return B == Segment[0]; }) &&
         (Segment[0] == 0 || Segment[0] == 0xFF);
}

std::vector<TSegment> AllSegments(const TLevel0Map& Map) {
  std::vector<TSegment> Segments;
  for (std::size_t K = 0; K < std::size_t{Map.SegmentsPerSide()} * Map.SegmentsPerSide(); ++K) {
    Segments.push_back(test::SegmentOf(Map, K));
  }
  return Segments;
}

// The segments of a map that the run labels: all but the filled ones.
std::vector<TSegment> ExplicitSegments(const TLevel0Map& Map) {
  std::vector<TSegment> Segments = AllSegments(Map);
  std::erase_if(Segments, IsFilled);
  return Segments;
}

TSegment Pattern(std::uint64_t EvenRows, std::uint64_t OddRows) {
  TSegment Segment{};
  for (std::size_t R = 0; R < kSegmentSide; ++R) {
    for (std::size_t K = 0; K < 8; ++K)
      Segment[R * 8 + K] = static_cast<std::uint8_t>((R % 2 == 0 ? EvenRows : OddRows) >> (8 * K));
  }
  return Segment;
}

const char* const kKindNames[] = {"terrain", "rough",   "noise5",      "noise30",
                                  "noise50", "stripes", "checkerboard"};

// Hundreds of distinct segments of each kind, so that no one segment's branches are learnt.
const std::vector<TSegment>& SegmentsOfKind(std::int64_t Kind) {
  static const std::vector<TSegment> Kinds[] = {
      ExplicitSegments(TerrainMap(5, 11)),
      ExplicitSegments(RoughTerrainMap(5, 11)),
      AllSegments(NoiseMap(4, 5, 1)),
      AllSegments(NoiseMap(4, 30, 2)),
      AllSegments(NoiseMap(4, 50, 3)),
      {Pattern(0, ~std::uint64_t{0})},
      {Pattern(0xAAAAAAAAAAAAAAAAull, 0x5555555555555555ull)},
  };
  return Kinds[Kind];
}

template <typename TStep>
void RunOverSegments(benchmark::State& State, std::size_t Count, TStep Step) {
  std::size_t K = 0;
  for (auto _ : State) {
    Step(K);
    K = K + 1 == Count ? 0 : K + 1;
  }
  State.SetLabel(kKindNames[State.range(0)]);
  State.SetItemsProcessed(State.iterations() * kCells);
}

// Labelling to masks, the run's: scan and rank.
void BM_LabelAreaMasks(benchmark::State& State) {
  std::vector<TSegmentRows> Rows;
  for (const TSegment& Segment : SegmentsOfKind(State.range(0)))
    Rows.push_back(SegmentRows(Segment));
  TAreaMasks Masks;
  RunOverSegments(State, Rows.size(), [&](std::size_t K) {
    LabelAreaMasks(Rows[K], Masks);
    benchmark::DoNotOptimize(Masks);
  });
}

// Labelling to a 4096-byte area map, and the plain flood fill that does the same.
void LabelToAreaMaps(benchmark::State& State,
                     void (*Labeller)(const TSegment&, TAreaSegment&, std::int32_t&)) {
  const std::vector<TSegment>& Segments = SegmentsOfKind(State.range(0));
  TAreaSegment AreaMap;
  std::int32_t AreaCount = 0;
  RunOverSegments(State, Segments.size(), [&](std::size_t K) {
    Labeller(Segments[K], AreaMap, AreaCount);
    benchmark::DoNotOptimize(AreaMap);
  });
}
void BM_LabelAreas(benchmark::State& State) {
  LabelToAreaMaps(State, LabelAreas);
}
void BM_FloodFillLabeller(benchmark::State& State) {
  LabelToAreaMaps(State, model::ModelLabelAreas);
}

// Labelling the areas beyond the fourth, which the library keeps as regions of their own.
void BM_LabelErasedAreas(benchmark::State& State) {
  std::vector<TSegmentRows> Erased;
  TAreaMasks Masks;
  for (const TSegment& Segment : SegmentsOfKind(State.range(0))) {
    LabelAreaMasks(SegmentRows(Segment), Masks);
    Erased.push_back(ErasedCells(SegmentRows(Segment), Masks));
  }
  TComponents Components;
  RunOverSegments(State, Erased.size(), [&](std::size_t K) {
    Components.Label(Erased[K]);
    benchmark::DoNotOptimize(Components);
  });
}

BENCHMARK(BM_LabelAreaMasks)->DenseRange(0, 6);
BENCHMARK(BM_LabelErasedAreas)->DenseRange(0, 6);
BENCHMARK(BM_LabelAreas)->DenseRange(0, 6);
BENCHMARK(BM_FloodFillLabeller)->DenseRange(0, 6);

std::vector<TAreaMasks> LabelledSegments(std::int64_t Kind) {
  std::vector<TAreaMasks> Labelled(SegmentsOfKind(Kind).size());
  for (std::size_t K = 0; K < Labelled.size(); ++K) {
    LabelAreaMasks(SegmentRows(SegmentsOfKind(Kind)[K]), Labelled[K]);
  }
  return Labelled;
}

// The later stages, each on the labelled segments of the kinds real maps hold.
void BM_ReduceMasksToInfo(benchmark::State& State) {
  const std::vector<TAreaMasks> Labelled = LabelledSegments(State.range(0));
  TInfoRows Info;
  RunOverSegments(State, Labelled.size(), [&](std::size_t K) {
    ReduceMasksToInfo(Labelled[K], Info);
    benchmark::DoNotOptimize(Info);
  });
}

void BM_PlaceWaypoints(benchmark::State& State) {
  const std::vector<TAreaMasks> Labelled = LabelledSegments(State.range(0));
  RunOverSegments(State, Labelled.size(), [&](std::size_t K) {
    TWaypointSegment Record;
    PlaceWaypoints(Labelled[K], Record);
    benchmark::DoNotOptimize(Record);
  });
}

// Borders of a segment and its links with the next one, below and to the right.
void BM_BordersAndLinks(benchmark::State& State) {
  const std::vector<TAreaMasks> Labelled = LabelledSegments(State.range(0));
  TAreaBorders Previous;
  RunOverSegments(State, Labelled.size(), [&](std::size_t K) {
    const TAreaBorders Borders = AreaBorders(Labelled[K]);
    TWaypointSegment Record;
    LinkDown(Previous, Borders, Record);
    LinkRight(Previous, Borders, Record);
    Previous = Borders;
    benchmark::DoNotOptimize(Record);
  });
}

BENCHMARK(BM_ReduceMasksToInfo)->DenseRange(0, 4);
BENCHMARK(BM_PlaceWaypoints)->DenseRange(0, 4);
BENCHMARK(BM_BordersAndLinks)->DenseRange(0, 4);

}  // namespace
}  // namespace varnholt
