// The maps the benchmarks run on, generated once into the build folder: smooth terrain, terrain
// as real maps have it (ragged shores, woods), noise and a maze.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include "MapGenerator.h"

namespace varnholt {

struct TBenchMap {
  const char* Name;
  std::int64_t CellsPerSide;
  TLevel0Map (*Make)();
};

inline const TBenchMap kMaps[] = {
    {"terrain16384", 16384, [] { return TerrainMap(8, 1); }},
    {"rough16384", 16384, [] { return RoughTerrainMap(8, 1); }},
    {"noise30-4096", 4096, [] { return NoiseMap(6, 30, 1); }},
    {"maze4096", 4096, [] { return MazeMap(6, 1); }},
};

inline std::filesystem::path MapFile(const TBenchMap& Map) {
  const std::filesystem::path Folder = std::filesystem::current_path() / "bench-maps";
  const std::filesystem::path File = Folder / (std::string(Map.Name) + "1Level0Map.raw");
  if (!std::filesystem::exists(File)) {
    std::filesystem::create_directories(Folder);
    const std::vector<std::uint8_t> Bytes = EncodeLevel0Map(Map.Make());
    std::ofstream(File, std::ios::binary)
        .write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
  }
  return File;
}

}  // namespace varnholt
