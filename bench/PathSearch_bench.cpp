// Paths on the benchmark maps: the library's query beside a plain A* over the grid on the same
// random pairs of connected cells at least a quarter of the map apart (4096 cells on the maps
// of 16384), the paths' length over the shortest; what opening a map costs in time and memory
// beside a conversion; and edits and saves of an opened map.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <varnholt/varnholt.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <memory>
#include <queue>

#include "BenchMaps.h"
#include "PathSearch.h"
#include "Varnholt.h"

namespace varnholt {
namespace {

using TClock = std::chrono::steady_clock;

struct TPair {
  TCell From, To;
  std::int64_t Shortest = 0;
};

// A map opened once for all the benchmarks that search it, with its pairs.
struct TOpenMap {
  TRegionMap Regions;
  std::vector<TPair> Pairs;
};

std::uint64_t Distance(TCell A, TCell B) {
  return static_cast<std::uint64_t>(std::abs(A.Row - B.Row) + std::abs(A.Column - B.Column));
}

TCell RandomCell(TRandom& Random, std::uint32_t Side) {
  return {static_cast<std::int32_t>(Random.Next() % Side),
          static_cast<std::int32_t>(Random.Next() % Side)};
}

std::vector<TPair> FarPairs(const TRegionMap& Map, std::size_t Count, std::uint64_t Seed) {
  TRandom Random(Seed);
  const std::uint32_t Side = Map.Cells().CellsPerSide();
  std::vector<TPair> Pairs;
  while (Pairs.size() < Count) {
    const TCell From = RandomCell(Random, Side);
    const TCell To = RandomCell(Random, Side);
    if (Distance(From, To) < Side / 4 || !Map.Cells().IsOpen(From) || !Map.Cells().IsOpen(To) ||
        !AreConnected(Map, From, To)) {
      continue;
    }
    Pairs.push_back({From, To, ShortestPathLength(Map, From, To)});
  }
  return Pairs;
}

const TOpenMap& Opened(std::size_t Index) {
  static std::map<std::size_t, std::unique_ptr<TOpenMap>> Maps;
  std::unique_ptr<TOpenMap>& Map = Maps[Index];
  if (!Map) {
    TMapRun Run = LoadMap(MapFile(kMaps[Index]).string());
    Map = std::make_unique<TOpenMap>();
    Map->Regions = AnalyseRegions(Run);
    Map->Pairs = FarPairs(Map->Regions, 40, 11);
  }
  return *Map;
}

// The A* the targets are measured against, as a plain one is written: 4-connected, the Manhattan
// distance as the estimate, a binary heap, costs and steps in arrays over the whole grid (reset
// cell by cell after each query), the open cells as a bitmap.
class TPlainAStar {
 public:
  explicit TPlainAStar(const TCellStore& Cells)
      : Side(Cells.CellsPerSide()),
        Words(Side / 64),
        Open(std::size_t{Side} * Words),
        Cost(std::size_t{Side} * Side, kUnseen),
        Step(std::size_t{Side} * Side) {
    const std::uint32_t N = Cells.SegmentsPerSide();
    for (std::size_t K = 0; K < std::size_t{N} * N; ++K) {
      const TSegmentRows Blocked = Cells.Rows(K);
      for (std::size_t R = 0; R < Blocked.size(); ++R) {
        Open[(K / N * 64 + R) * Words + K % N] = ~Blocked[R];
      }
    }
  }

  std::vector<TCell> Run(TCell Start, TCell Goal) {
    struct TEntry {
      std::uint64_t Estimate;
      std::uint32_t Cost;
      std::uint32_t Cell;
      bool operator<(const TEntry& Other) const {
        return Estimate != Other.Estimate ? Estimate > Other.Estimate : Cost < Other.Cost;
      }
    };
    std::priority_queue<TEntry> Heap;
    const std::uint32_t First = IndexOf(Start);
    const std::uint32_t Last = IndexOf(Goal);
    Reach(First, 0, 0);
    Heap.push({Distance(Start, Goal), 0, First});
    while (!Heap.empty()) {
      const TEntry Top = Heap.top();
      Heap.pop();
      if (Top.Cost > Cost[Top.Cell]) continue;
      if (Top.Cell == Last) break;
      const TCell At = CellAt(Top.Cell);
      const TCell Next[4] = {{At.Row - 1, At.Column},
                             {At.Row + 1, At.Column},
                             {At.Row, At.Column - 1},
                             {At.Row, At.Column + 1}};
      const auto Inside = [this](std::int32_t Value) {
        return Value >= 0 && Value < static_cast<std::int32_t>(Side);
      };
      for (std::uint8_t Direction = 0; Direction < 4; ++Direction) {
        const TCell To = Next[Direction];
        if (!Inside(To.Row) || !Inside(To.Column) || !IsOpen(To)) continue;
        const std::uint32_t Cell = IndexOf(To);
        if (Top.Cost + 1 >= Cost[Cell]) continue;
        Reach(Cell, Top.Cost + 1, Direction);
        Heap.push({Top.Cost + 1 + Distance(To, Goal), Top.Cost + 1, Cell});
      }
    }
    std::vector<TCell> Path = WalkBack(First, Last);
    for (const std::uint32_t Cell : Touched) Cost[Cell] = kUnseen;
    Touched.clear();
    return Path;
  }

 private:
  static constexpr std::uint32_t kUnseen = UINT32_MAX;

  std::uint32_t IndexOf(TCell Cell) const {
    return static_cast<std::uint32_t>(Cell.Row) * Side + static_cast<std::uint32_t>(Cell.Column);
  }
  TCell CellAt(std::uint32_t Cell) const {
    return {static_cast<std::int32_t>(Cell / Side), static_cast<std::int32_t>(Cell % Side)};
  }
  bool IsOpen(TCell Cell) const {
    const auto Column = static_cast<std::uint32_t>(Cell.Column);
    return (Open[static_cast<std::size_t>(Cell.Row) * Words + Column / 64] >> (Column % 64) & 1) !=
           0;
  }
  void Reach(std::uint32_t Cell, std::uint32_t NewCost, std::uint8_t Direction) {
    if (Cost[Cell] == kUnseen) Touched.push_back(Cell);
    Cost[Cell] = NewCost;
    Step[Cell] = Direction;
  }
  std::vector<TCell> WalkBack(std::uint32_t First, std::uint32_t Last) const {
    std::vector<TCell> Path;
    if (Cost[Last] == kUnseen) return Path;
    for (std::uint32_t Cell = Last;;) {
      Path.push_back(CellAt(Cell));
      if (Cell == First) break;
      const std::uint8_t Direction = Step[Cell];  // up, down, left, right: go the other way
      Cell = Direction == 0   ? Cell + Side
             : Direction == 1 ? Cell - Side
             : Direction == 2 ? Cell + 1
                              : Cell - 1;
    }
    std::reverse(Path.begin(), Path.end());
    return Path;
  }

  std::uint32_t Side;
  std::size_t Words;
  std::vector<std::uint64_t> Open;
  std::vector<std::uint32_t> Cost;
  std::vector<std::uint8_t> Step;
  std::vector<std::uint32_t> Touched;
};

double Median(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values[(Values.size() - 1) / 2];
}

double Percentile95(std::vector<double> Values) {
  std::sort(Values.begin(), Values.end());
  return Values[(95 * Values.size() + 99) / 100 - 1];
}

double Milliseconds(TClock::duration Time) {
  return std::chrono::duration<double, std::milli>(Time).count();
}

// The library's queries; per pair, the plain A*'s time over the library's, and the length over
// the shortest.
void BM_FindPath(benchmark::State& State) {
  const TOpenMap& Map = Opened(static_cast<std::size_t>(State.range(0)));
  std::vector<double> Times(Map.Pairs.size(), 0), Ratios;
  for (auto _ : State) {
    for (std::size_t K = 0; K < Map.Pairs.size(); ++K) {
      const TClock::time_point Start = TClock::now();
      const std::vector<TCell> Path = FindPath(Map.Regions, Map.Pairs[K].From, Map.Pairs[K].To);
      Times[K] += Milliseconds(TClock::now() - Start);
      if (Ratios.size() < Map.Pairs.size()) {
        Ratios.push_back(static_cast<double>(Path.size() - 1) /
                         static_cast<double>(Map.Pairs[K].Shortest));
      }
    }
  }
  TPlainAStar Plain(Map.Regions.Cells());
  std::vector<double> Speedups;
  for (std::size_t K = 0; K < Map.Pairs.size(); ++K) {
    const TClock::time_point Start = TClock::now();
    benchmark::DoNotOptimize(Plain.Run(Map.Pairs[K].From, Map.Pairs[K].To));
    Speedups.push_back(Milliseconds(TClock::now() - Start) /
                       (Times[K] / static_cast<double>(State.iterations())));
  }
  for (double& Time : Times) Time /= static_cast<double>(State.iterations());
  State.counters["query_ms_median"] = Median(Times);
  State.counters["plain_over_query_median"] = Median(Speedups);
  State.counters["length_ratio_median"] = Median(Ratios);
  State.counters["length_ratio_p95"] = Percentile95(Ratios);
  State.SetLabel(std::string(kMaps[State.range(0)].Name) + ", " + std::to_string(Map.Pairs.size()) +
                 " pairs");
}
BENCHMARK(BM_FindPath)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

// The plain A* alone on the same pairs, for its own figures.
void BM_PlainAStar(benchmark::State& State) {
  const TOpenMap& Map = Opened(static_cast<std::size_t>(State.range(0)));
  TPlainAStar Plain(Map.Regions.Cells());
  for (auto _ : State) {
    for (const TPair& Pair : Map.Pairs) benchmark::DoNotOptimize(Plain.Run(Pair.From, Pair.To));
  }
  State.SetLabel(std::string(kMaps[State.range(0)].Name) + ", per " +
                 std::to_string(Map.Pairs.size()) + " queries");
}
BENCHMARK(BM_PlainAStar)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(1);

// Opening a map through the C interface, and the memory the open map holds.
void BM_OpenMap(benchmark::State& State) {
  const std::string Path = MapFile(kMaps[State.range(0)]).string();
  double Megabytes = 0;
  for (auto _ : State) {
    const struct mallinfo2 Before = mallinfo2();
    varnholt_map* Map = varnholt_analyse(Path.c_str());
    const struct mallinfo2 After = mallinfo2();
    Megabytes =
        static_cast<double>((After.uordblks + After.hblkhd) - (Before.uordblks + Before.hblkhd)) /
        1e6;
    varnholt_close(Map);
  }
  State.counters["held_MB"] = Megabytes;
  State.SetLabel(kMaps[State.range(0)].Name);
}
BENCHMARK(BM_OpenMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2);

// What an edit paints: a wall, random noise (the hardest: hundreds of areas a segment), or the
// map's own terrain taken from another place, as a map maker pastes it.
enum class TPaint { Blocked, Noise, Terrain };
constexpr const char* kPaintNames[] = {" blocked", " of noise", " of the map's terrain"};

void CopyCells(const TRegionMap& Map, TCell Corner, std::uint32_t Side,
               std::vector<std::uint8_t>& Cells) {
  for (std::uint32_t R = 0; R < Side; ++R) {
    for (std::uint32_t C = 0; C < Side; ++C) {
      Cells[std::size_t{R} * Side + C] =
          Map.Cells().IsOpen({Corner.Row + static_cast<std::int32_t>(R),
                              Corner.Column + static_cast<std::int32_t>(C)})
              ? 0
              : 1;
    }
  }
}

// One edit of a square at a random place, timed alone; the cells are put back untimed.
void BM_EditCells(benchmark::State& State) {
  const TBenchMap& Bench = kMaps[State.range(0)];
  const auto Side = static_cast<std::uint32_t>(State.range(1));
  const auto Paint = static_cast<TPaint>(State.range(2));
  TMapRun Run = LoadMap(MapFile(Bench).string());
  TRegionMap Map = AnalyseRegions(Run);
  TRandom Random(3);
  const std::uint32_t Cells = Map.Cells().CellsPerSide();
  const auto SomeCorner = [&] { return RandomCell(Random, Cells - Side + 1); };
  std::vector<std::uint8_t> After(std::size_t{Side} * Side), Before(After.size());
  for (auto _ : State) {
    State.PauseTiming();
    const TCell Corner = SomeCorner();
    CopyCells(Map, Corner, Side, Before);
    if (Paint == TPaint::Terrain) CopyCells(Map, SomeCorner(), Side, After);
    for (std::uint8_t& Cell : After) {
      if (Paint == TPaint::Blocked) Cell = 1;
      if (Paint == TPaint::Noise) Cell = Random.Next() % 2 == 0 ? 1 : 0;
    }
    State.ResumeTiming();
    Map.SetCells(Corner, Side, Side, After);
    State.PauseTiming();
    Map.SetCells(Corner, Side, Side, Before);
    State.ResumeTiming();
  }
  State.SetLabel(std::string(Bench.Name) + ", " + std::to_string(Side) + " x " +
                 std::to_string(Side) + kPaintNames[State.range(2)]);
}
BENCHMARK(BM_EditCells)
    ->ArgsProduct({{1, 2}, {64, 1024}, {0, 1, 2}})
    ->Unit(benchmark::kMicrosecond);

// A save of an edited map: its three files, the other two made as a conversion makes them.
void BM_SaveMap(benchmark::State& State) {
  const TBenchMap& Bench = kMaps[State.range(0)];
  TMapRun Run = LoadMap(MapFile(Bench).string());
  const TMapHeader Header = Run.Header;
  TRegionMap Map = AnalyseRegions(Run);
  const std::vector<std::uint8_t> Wall(64, 1);
  Map.SetCells({100, 100}, 1, 64, Wall);
  const std::string Saved = (MapFile(Bench).parent_path() / "Saved1Level0Map.raw").string();
  for (auto _ : State) SaveMap(Map, Header, Saved, {});
  State.SetLabel(Bench.Name);
}
BENCHMARK(BM_SaveMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace varnholt
