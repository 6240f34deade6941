// Paths on the benchmark maps, as an engine developer measures them: the library's query beside
// the plain A* of PlainSearch.h in the same process, on the same random pairs of connected cells
// at least a quarter of the map apart; the paths' length over the shortest; smoothed paths' length
// over the shortest 8-connected one that cuts no corner, and what smoothing costs beside the
// query; and paths toward goals the start cannot reach, beside a path to the cell they reach.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <memory>

#include "BenchMaps.h"
#include "PlainSearch.h"
#include "TestSupport.h"
#include "convert/Varnholt.h"
#include "paths/PathSearch.h"
#include "paths/Smoothing.h"

namespace varnholt {
namespace {

using TClock = std::chrono::steady_clock;

constexpr std::size_t kPairs = 40;

struct TPair {
  TCell From, To;
  std::int64_t Shortest = 0;     // steps
  double PlainMilliseconds = 0;  // of the plain A*
};

// A map opened once for all the benchmarks that search it, with its pairs.
struct TOpenMap {
  TRegionMap Regions;
  std::unique_ptr<bench::TGridBits> Grid;
  std::vector<TPair> Pairs;
};

double Milliseconds(TClock::duration Time) {
  return std::chrono::duration<double, std::milli>(Time).count();
}

TCell RandomCell(TRandom& Random, std::uint32_t Side) {
  return {static_cast<std::int32_t>(Random.Next() % Side),
          static_cast<std::int32_t>(Random.Next() % Side)};
}

// Pairs of connected open cells at least a quarter of the map apart, each with the plain A*'s
// path length and time.
std::vector<TPair> FarPairs(const TOpenMap& Map, std::uint64_t Seed) {
  TRandom Random(Seed);
  const std::uint32_t Side = Map.Regions.Cells().CellsPerSide();
  bench::TPlainAStar Plain(*Map.Grid);
  std::vector<TPair> Pairs;
  while (Pairs.size() < kPairs) {
    const TCell From = RandomCell(Random, Side), To = RandomCell(Random, Side);
    if (bench::Distance(From, To) < Side / 4 || !Map.Regions.Cells().IsOpen(From) ||
        !Map.Regions.Cells().IsOpen(To) || !AreConnected(Map.Regions, From, To)) {
      continue;
    }
    const TClock::time_point Start = TClock::now();
    const std::vector<TCell> Path = Plain.Run(From, To);
    Pairs.push_back({From, To, static_cast<std::int64_t>(Path.size()) - 1,
                     Milliseconds(TClock::now() - Start)});
  }
  return Pairs;
}

const TOpenMap& Opened(std::int64_t Index) {
  static std::map<std::int64_t, std::unique_ptr<TOpenMap>> Maps;
  std::unique_ptr<TOpenMap>& Map = Maps[Index];
  if (!Map) {
    TMapRun Run = LoadMap(MapFile(kMaps[Index]).string());
    Map = std::make_unique<TOpenMap>();
    Map->Regions = AnalyseRun(Run).Regions;
    Map->Grid = std::make_unique<bench::TGridBits>(Map->Regions.Cells());
    Map->Pairs = FarPairs(*Map, 11);
  }
  return *Map;
}

double AtRank(std::vector<double> Values, double Fraction) {
  std::sort(Values.begin(), Values.end());
  const auto Rank =
      static_cast<std::size_t>(std::ceil(Fraction * static_cast<double>(Values.size())));
  return Values[std::max<std::size_t>(Rank, 1) - 1];
}

// The least of three runs of Action, in milliseconds: the query's own cost, not the machine's.
template <typename F>
double Timed(F Action) {
  double Best = 1e300;
  for (int Run = 0; Run < 3; ++Run) {
    const TClock::time_point Start = TClock::now();
    Action();
    Best = std::min(Best, Milliseconds(TClock::now() - Start));
  }
  return Best;
}

void Label(benchmark::State& State, const std::string& What) {
  State.SetLabel(std::string(kMaps[State.range(0)].Name) + ", " + What);
}

// The library's queries; per pair, the plain A*'s time over the library's, and the length over
// the shortest.
void BM_FindPath(benchmark::State& State) {
  const TOpenMap& Map = Opened(State.range(0));
  std::vector<double> Times, Speedups, Ratios;
  for (auto _ : State) {
    for (const TPair& Pair : Map.Pairs) {
      std::vector<TCell> Path;
      const double Time = Timed([&] { Path = FindPath(Map.Regions, Pair.From, Pair.To); });
      Times.push_back(Time);
      Speedups.push_back(Pair.PlainMilliseconds / Time);
      Ratios.push_back(static_cast<double>(Path.size() - 1) / static_cast<double>(Pair.Shortest));
    }
  }
  State.counters["query_ms_median"] = AtRank(Times, 0.5);
  State.counters["plain_ms_median"] = AtRank(
      [&] {
        std::vector<double> Plain;
        for (const TPair& Pair : Map.Pairs) Plain.push_back(Pair.PlainMilliseconds);
        return Plain;
      }(),
      0.5);
  State.counters["plain_over_query_median"] = AtRank(Speedups, 0.5);
  State.counters["length_median"] = AtRank(Ratios, 0.5);
  State.counters["length_p95"] = AtRank(Ratios, 0.95);
  State.counters["length_worst"] = AtRank(Ratios, 1);
  Label(State, std::to_string(Map.Pairs.size()) + " pairs");
}
BENCHMARK(BM_FindPath)->DenseRange(0, kMapCount - 1)->Unit(benchmark::kMillisecond)->Iterations(1);

// Smoothed paths: their length over the shortest 8-connected path that cuts no corner, and the
// time smoothing takes over the time of the query.
void BM_SmoothPath(benchmark::State& State) {
  const TOpenMap& Map = Opened(State.range(0));
  bench::TPlainOctile Octile(*Map.Grid);
  std::vector<double> Ratios, Costs;
  for (auto _ : State) {
    for (const TPair& Pair : Map.Pairs) {
      std::vector<TCell> Path, Corners;
      const double Query = Timed([&] { Path = FindPath(Map.Regions, Pair.From, Pair.To); });
      const double Smoothing = Timed([&] { Corners = SmoothPath(Map.Regions.Cells(), Path); });
      Costs.push_back(Smoothing / Query);
      Ratios.push_back(test::PolylineLength(Corners) / Octile.Length(Pair.From, Pair.To));
    }
  }
  State.counters["smoothed_median"] = AtRank(Ratios, 0.5);
  State.counters["smoothed_p95"] = AtRank(Ratios, 0.95);
  State.counters["smoothing_over_query_median"] = AtRank(Costs, 0.5);
  Label(State, std::to_string(Map.Pairs.size()) + " pairs");
}
BENCHMARK(BM_SmoothPath)
    ->DenseRange(0, kMapCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Paths toward goals the start cannot reach (blocked cells, or cells the grid does not connect
// to it): the time over that of a path to the cell they reach.
void BM_FindPathToward(benchmark::State& State) {
  const TOpenMap& Map = Opened(State.range(0));
  const std::uint32_t Side = Map.Regions.Cells().CellsPerSide();
  TRandom Random(13);
  std::vector<double> Costs, FarCosts;
  for (auto _ : State) {
    while (Costs.size() < kPairs || (FarCosts.size() < kPairs && Costs.size() < 40 * kPairs)) {
      const TCell From = RandomCell(Random, Side), To = RandomCell(Random, Side);
      if (bench::Distance(From, To) < Side / 4 || !Map.Regions.Cells().IsOpen(From) ||
          (Map.Regions.Cells().IsOpen(To) && AreConnected(Map.Regions, From, To))) {
        continue;
      }
      std::vector<TCell> Path;
      const double Toward = Timed([&] { Path = FindPathToward(Map.Regions, From, To); });
      const double Direct = Timed([&] { FindPath(Map.Regions, From, Path.back()); });
      Costs.push_back(Toward / Direct);
      // A goal in the water or the rock, far from any cell the start reaches.
      if (bench::Distance(Path.back(), To) >= kSegmentSide) FarCosts.push_back(Toward / Direct);
    }
  }
  State.counters["toward_over_path_median"] = AtRank(Costs, 0.5);
  if (!FarCosts.empty()) State.counters["far_toward_over_path_median"] = AtRank(FarCosts, 0.5);
  Label(State, std::to_string(Costs.size()) + " unreachable goals");
}
BENCHMARK(BM_FindPathToward)
    ->DenseRange(0, kMapCount - 1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace varnholt
