// Writes a generated level-0 map, whole or not at all:
//   varnholt-genmap KIND EXPONENT SEED FILE, KIND one of terrain, rough, maze, rooms, caves,
//                                            islands and city
//   varnholt-genmap noise EXPONENT PERCENT SEED FILE
//   varnholt-genmap maze EXPONENT WIDTH SEED FILE
#include <varnholt/varnholt.hpp>

#include <cstdio>
#include <string>

#include "MapGenerator.h"

namespace {

using namespace varnholt;

struct TKind {
  const char* Name;
  TLevel0Map (*Make)(std::uint32_t Exponent, std::uint64_t Seed);
};

const TKind kKinds[] = {
    {"terrain", TerrainMap},
    {"rough", RoughTerrainMap},
    {"maze", [](std::uint32_t Exponent, std::uint64_t Seed) { return MazeMap(Exponent, Seed); }},
    {"rooms", RoomMap},
    {"caves", CaveMap},
    {"islands", IslandMap},
    {"city", CityMap},
};

std::uint32_t Exponent(const char* Text) {
  const auto Value = static_cast<std::uint32_t>(std::stoul(Text));
  if (Value > 8) throw std::out_of_range("exponent above 8");
  return Value;
}

TLevel0Map Generated(const std::string& Kind, int Count, char** Words) {
  if (Kind == "noise" && Count == 6) {
    return NoiseMap(Exponent(Words[2]), static_cast<unsigned>(std::stoul(Words[3])),
                    std::stoull(Words[4]));
  }
  if (Kind == "maze" && Count == 6) {
    const auto Width = static_cast<std::uint32_t>(std::stoul(Words[3]));
    if (Width == 0 || Width > 64) throw std::out_of_range("corridors 1 to 64 cells wide");
    return MazeMap(Exponent(Words[2]), std::stoull(Words[4]), Width);
  }
  for (const TKind& Known : kKinds) {
    if (Kind == Known.Name && Count == 5)
      return Known.Make(Exponent(Words[2]), std::stoull(Words[3]));
  }
  throw std::invalid_argument("usage");
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  const std::string Kind = ArgumentCount > 1 ? Arguments[1] : "";
  try {
    const TLevel0Map Map = Generated(Kind, ArgumentCount, Arguments);
    ReplaceFile(Arguments[ArgumentCount - 1], EncodeLevel0Map(Map));
  } catch (const std::invalid_argument&) {
    std::fprintf(stderr,
                 "usage: varnholt-genmap KIND EXPONENT SEED FILE (KIND: terrain, rough, maze, "
                 "rooms, caves, islands, city)\n"
                 "       varnholt-genmap noise EXPONENT PERCENT SEED FILE\n"
                 "       varnholt-genmap maze EXPONENT WIDTH SEED FILE\n");
    return 2;
  } catch (const std::exception& Failure) {
    std::fprintf(stderr, "varnholt-genmap: %s\n", Failure.what());
    return 1;
  }
  return 0;
}
