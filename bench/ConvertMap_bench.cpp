// Whole conversions, files included: reading the map (from a warm page cache), the analysis, and
// writing both outputs to disk. The maps are generated once and kept in the build folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>

#include "BenchMaps.h"
#include "convert/Varnholt.h"

namespace varnholt {
namespace {

namespace fs = std::filesystem;

void BM_ConvertMap(benchmark::State& State) {
  const TBenchMap& Map = kMaps[State.range(0)];
  const fs::path Input = MapFile(Map);
  const fs::path Folder = Input.parent_path();
  const std::string Prefix = (Folder / Map.Name).string();
  for (auto _ : State) {
    ConvertMap(Input.string(), Prefix + "Info.raw", Prefix + ".raw", [](std::string_view) {});
  }
  State.SetLabel(Map.Name);
  State.SetItemsProcessed(State.iterations() * Map.CellsPerSide * Map.CellsPerSide);
}
BENCHMARK(BM_ConvertMap)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->MinTime(2);

// Labelling alone, over the same maps' explicit segments: what a whole run costs beyond it is the
// rest of the analysis and the files.
void BM_LabelExplicitSegments(benchmark::State& State) {
  const TBenchMap& Map = kMaps[State.range(0)];
  const TMapRun Run = LoadMap(MapFile(Map).string());
  std::vector<TSegmentRows> Explicit;
  for (std::size_t K = 0; K < Run.Level0.Count(); ++K) {
    const std::int32_t Tag = Run.Level0.Tag(K);
    if (Tag != segFilledLow && Tag != segFilledHigh) Explicit.push_back(Run.Level0.Rows(K));
  }
  TAreaMasks Masks;
  for (auto _ : State) {
    for (const TSegmentRows& Blocked : Explicit) {
      LabelAreaMasks(Blocked, Masks);
      benchmark::DoNotOptimize(Masks);
    }
  }
  State.SetLabel(std::string(Map.Name) + ", " + std::to_string(Explicit.size()) + " segments");
}
BENCHMARK(BM_LabelExplicitSegments)->DenseRange(0, 2)->Unit(benchmark::kMillisecond)->MinTime(2);

}  // namespace
}  // namespace varnholt
BENCHMARK_MAIN();
