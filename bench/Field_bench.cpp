// Many units, one goal: a thousand units at random open cells of the goal's component each ask
// their whole path of a fresh field, beside as many varnholt_find_path queries (their median,
// from a sample, times a thousand); the same with the units on two threads; a next cell of a
// segment worked out; after a 64 x 64 edit beside the goal, the next thousand paths beside the
// thousand before; and what the field then holds.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "BenchMaps.h"
#include "TestSupport.h"
#include "map/AnalysedMap.h"
#include "paths/Field.h"
#include "paths/PathSearch.h"

namespace varnholt {
namespace {

using TClock = std::chrono::steady_clock;
constexpr std::size_t kUnits = 1000;
constexpr std::size_t kQuerySample = 30;

double Seconds(TClock::duration Time) {
  return std::chrono::duration<double>(Time).count();
}

template <typename F>
double Timed(F Action) {
  const TClock::time_point Start = TClock::now();
  Action();
  return Seconds(TClock::now() - Start);
}

struct TFieldMap {
  const char* Name;
  TLevel0Map (*Make)();
  int Bench;  // the benchmarks' own map, or -1
};

const TFieldMap kFieldMaps[] = {
    {"terrain16384", nullptr, 0},
    {"noise30-4096", nullptr, 2},
    {"widemaze4096", nullptr, 3},
    {"caves1024", [] { return CaveMap(4, 1); }, -1},
};

TAnalysedMap OpenFieldMap(const TFieldMap& Map) {
  if (Map.Bench >= 0) return OpenMap(MapFile(kMaps[Map.Bench]).string(), false);
  return AnalyseMapBytes(EncodeLevel0Map(Map.Make()));
}

// The goal, and the units: open cells its component holds, drawn the same every run.
struct TUnits {
  TCell Goal;
  std::vector<TCell> Cells;
};

TUnits DrawUnits(const TRegionMap& Map) {
  TRandom Random(23);
  const std::uint32_t Side = Map.Cells().CellsPerSide();
  const auto AnyOpen = [&] {
    for (;;) {
      const TCell Cell{static_cast<std::int32_t>(Random.Next() % Side),
                       static_cast<std::int32_t>(Random.Next() % Side)};
      if (Map.Cells().IsOpen(Cell)) return Cell;
    }
  };
  TUnits Units;
  // A goal in a component of some size: most of a map's open cells lie in its larger ones.
  do {
    Units.Goal = AnyOpen();
    Units.Cells.clear();
    for (int Try = 0; Try < 200 && Units.Cells.size() < 20; ++Try) {
      const TCell Cell = AnyOpen();
      if (AreConnected(Map, Units.Goal, Cell)) Units.Cells.push_back(Cell);
    }
  } while (Units.Cells.size() < 20);
  while (Units.Cells.size() < kUnits) {
    const TCell Cell = AnyOpen();
    if (AreConnected(Map, Units.Goal, Cell)) Units.Cells.push_back(Cell);
  }
  return Units;
}

// Every unit's whole path, on Threads threads, in seconds.
double AllPaths(const TGoalField& Field, const std::vector<TCell>& Cells, unsigned Threads) {
  return Timed([&] {
    std::vector<std::thread> Workers;
    for (unsigned T = 0; T < Threads; ++T) {
      Workers.emplace_back([&, T] {
        std::size_t Steps = 0;
        for (std::size_t K = T; K < Cells.size(); K += Threads)
          Steps += Field.Path(Cells[K]).size();
        benchmark::DoNotOptimize(Steps);
      });
    }
    for (std::thread& Worker : Workers) Worker.join();
  });
}

double QueriesSeconds(const TRegionMap& Map, const TUnits& Units) {
  std::vector<double> Times;
  for (std::size_t K = 0; K < kQuerySample; ++K) {
    Times.push_back(Timed([&] { FindPath(Map, Units.Cells[K], Units.Goal); }));
  }
  std::sort(Times.begin(), Times.end());
  return Times[Times.size() / 2] * kUnits;
}

// The median of a next cell's cost, in nanoseconds, over the units' cells once worked out.
double NextNanoseconds(const TGoalField& Field, const std::vector<TCell>& Cells) {
  std::vector<double> Rounds;
  for (int Round = 0; Round < 9; ++Round) {
    TCell To;
    std::size_t Found = 0;
    const double Time = Timed([&] {
      for (const TCell Cell : Cells) Found += Field.Next(Cell, To) ? 1 : 0;
    });
    benchmark::DoNotOptimize(Found);
    Rounds.push_back(Time * 1e9 / static_cast<double>(Cells.size()));
  }
  std::sort(Rounds.begin(), Rounds.end());
  return Rounds[Rounds.size() / 2];
}

// A 64 x 64 wall whose corner lies a little away from the goal, inside the map.
void WallBesideGoal(TRegionMap& Map, TCell Goal) {
  const auto Side = static_cast<std::int32_t>(Map.Cells().CellsPerSide());
  const TCell Corner{std::clamp(Goal.Row + 40, 0, Side - 64),
                     std::clamp(Goal.Column + 40, 0, Side - 64)};
  const std::vector<std::uint8_t> Wall(64 * 64, 1);
  Map.SetCells(Corner, 64, 64, Wall);
}

void BM_FieldPaths(benchmark::State& State) {
  const TFieldMap& Chosen = kFieldMaps[State.range(0)];
  TAnalysedMap Map = OpenFieldMap(Chosen);
  const TUnits Units = DrawUnits(Map.Regions);
  for (auto _ : State) {
    const double Queries = QueriesSeconds(Map.Regions, Units);
    double OneThread = 0, TwoThreads = 0, Next = 0, Before = 0, After = 0, Megabytes = 0;
    {
      const TGoalField Field(Map.Regions, Units.Goal);
      OneThread = AllPaths(Field, Units.Cells, 1);
      Next = NextNanoseconds(Field, Units.Cells);
      Megabytes = static_cast<double>(Field.Bytes()) / 1e6;
    }
    {
      const TGoalField Field(Map.Regions, Units.Goal);
      TwoThreads = AllPaths(Field, Units.Cells, 2);
    }
    {
      const TGoalField Field(Map.Regions, Units.Goal);
      Before = AllPaths(Field, Units.Cells, 1);
      WallBesideGoal(Map.Regions, Units.Goal);
      After = AllPaths(Field, Units.Cells, 1);
    }
    State.counters["units_ms"] = OneThread * 1e3;
    State.counters["queries_ms"] = Queries * 1e3;
    State.counters["units_over_queries"] = OneThread / Queries;
    State.counters["two_threads_over_one"] = TwoThreads / OneThread;
    State.counters["next_ns"] = Next;
    State.counters["after_edit_over_before"] = After / Before;
    State.counters["field_MB"] = Megabytes;
  }
  State.SetLabel(Chosen.Name);
}
BENCHMARK(BM_FieldPaths)->DenseRange(0, 3)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varnholt
