// Opening a map and holding it, editing it and saving it: what opening costs in time and memory
// beside a conversion, edits of 64 x 64 and 1024 x 1024 cells at random places, and saves.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <varnholt/varnholt.h>

#include <string>
#include <vector>

#include "BenchMaps.h"
#include "convert/Varnholt.h"
#include "map/Regions.h"

namespace varnholt {
namespace {

TCell RandomCell(TRandom& Random, std::uint32_t Side) {
  return {static_cast<std::int32_t>(Random.Next() % Side),
          static_cast<std::int32_t>(Random.Next() % Side)};
}

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
BENCHMARK(BM_OpenMap)->DenseRange(0, kMapCount - 1)->Unit(benchmark::kMillisecond)->MinTime(2);

// varnholt_area_of for every cell of a noise 30 % map of 1024 x 1024 cells, row by row, through
// the C interface, as an engine asks for its units: the first pass labels each segment once.
void BM_AreaOf(benchmark::State& State) {
  const std::vector<std::uint8_t> Bytes = EncodeLevel0Map(NoiseMap(4, 30, 1));
  varnholt_map* Map = varnholt_analyse_memory(Bytes.data(), Bytes.size());
  const std::int32_t Side = varnholt_cells_per_side(Map);
  std::int64_t Sum = 0;
  for (auto _ : State) {
    for (std::int32_t Row = 0; Row < Side; ++Row) {
      for (std::int32_t Column = 0; Column < Side; ++Column)
        Sum += varnholt_area_of(Map, Row, Column);
    }
  }
  benchmark::DoNotOptimize(Sum);
  State.SetItemsProcessed(State.iterations() * std::int64_t{Side} * Side);
  State.SetLabel(State.range(0) == 0 ? "noise 30 % 1024, first pass" : "noise 30 % 1024");
  varnholt_close(Map);
}
BENCHMARK(BM_AreaOf)->Arg(0)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AreaOf)->Arg(1)->Unit(benchmark::kMillisecond);

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

// One edit of a square at a random place, with what connects worked out again, timed alone; the
// cells are put back untimed.
void BM_EditCells(benchmark::State& State) {
  const TBenchMap& Bench = kMaps[State.range(0)];
  const auto Side = static_cast<std::uint32_t>(State.range(1));
  const auto Paint = static_cast<TPaint>(State.range(2));
  TMapRun Run = LoadMap(MapFile(Bench).string());
  TRegionMap Map = AnalyseRun(Run).Regions;
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
    Map.WorkOutConnectivity();
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
  TAnalysedMap Map = OpenMap(MapFile(Bench).string(), false);
  const std::vector<std::uint8_t> Wall(64, 1);
  Map.Regions.SetCells({100, 100}, 1, 64, Wall);
  const std::string Saved = (MapFile(Bench).parent_path() / "Saved1Level0Map.raw").string();
  for (auto _ : State) SaveMap(Map, Saved, {});
  State.SetLabel(Bench.Name);
}
BENCHMARK(BM_SaveMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace varnholt
