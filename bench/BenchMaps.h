// The maps the benchmarks run on, generated once into the build folder: smooth terrain, terrain
// as real maps have it (ragged shores, woods), noise, a maze with corridors four cells wide, and
// maps of the kinds games have (rooms, caves, a city, an archipelago).
#pragma once

#include <varnholt/varnholt.hpp>

#include <filesystem>
#include <iterator>
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
    {"widemaze4096", 4096, [] { return MazeMap(6, 1, 4); }},
    {"rooms2048", 2048, [] { return RoomMap(5, 1); }},
    {"caves2048", 2048, [] { return CaveMap(5, 1); }},
    {"city2048", 2048, [] { return CityMap(5, 1); }},
    {"islands2048", 2048, [] { return IslandMap(5, 1); }},
};
inline constexpr int kMapCount = static_cast<int>(std::size(kMaps));

inline std::filesystem::path MapFile(const TBenchMap& Map) {
  const std::filesystem::path Folder = std::filesystem::current_path() / "bench-maps";
  const std::filesystem::path File = Folder / (std::string(Map.Name) + "1Level0Map.raw");
  if (!std::filesystem::exists(File)) {
    std::filesystem::create_directories(Folder);
    ReplaceFile(File.string(), EncodeLevel0Map(Map.Make()));
  }
  return File;
}

}  // namespace varnholt
