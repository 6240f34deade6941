// Writes a generated level-0 map: varnholt-genmap terrain EXPONENT SEED FILE
//                                 varnholt-genmap rough EXPONENT SEED FILE
//                                 varnholt-genmap noise EXPONENT PERCENT SEED FILE
//                                 varnholt-genmap maze EXPONENT SEED FILE
#include <cstdio>
#include <fstream>
#include <string>

#include "MapGenerator.h"

int main(int ArgumentCount, char** Arguments) {
  using namespace varnholt;
  const std::string Kind = ArgumentCount > 1 ? Arguments[1] : "";
  const bool Terrain =
      (Kind == "terrain" || Kind == "rough" || Kind == "maze") && ArgumentCount == 5;
  const bool Noise = Kind == "noise" && ArgumentCount == 6;
  if (!Terrain && !Noise) {
    std::fprintf(stderr,
                 "usage: varnholt-genmap terrain EXPONENT SEED FILE\n"
                 "       varnholt-genmap rough EXPONENT SEED FILE\n"
                 "       varnholt-genmap noise EXPONENT PERCENT SEED FILE\n"
                 "       varnholt-genmap maze EXPONENT SEED FILE\n");
    return 2;
  }
  try {
    const auto Exponent = static_cast<std::uint32_t>(std::stoul(Arguments[2]));
    if (Exponent > 8) throw std::out_of_range("exponent above 8");
    const auto MakeTerrain = Kind == "rough"  ? RoughTerrainMap
                             : Kind == "maze" ? MazeMap
                                              : TerrainMap;
    const TLevel0Map Map = Terrain
                               ? MakeTerrain(Exponent, std::stoull(Arguments[3]))
                               : NoiseMap(Exponent, static_cast<unsigned>(std::stoul(Arguments[3])),
                                          std::stoull(Arguments[4]));
    const std::vector<std::uint8_t> Bytes = EncodeLevel0Map(Map);
    std::ofstream File(Arguments[ArgumentCount - 1], std::ios::binary);
    File.write(reinterpret_cast<const char*>(Bytes.data()),
               static_cast<std::streamsize>(Bytes.size()));
    if (!File.flush()) throw std::runtime_error("cannot write the map file");
  } catch (const std::exception& Failure) {
    std::fprintf(stderr, "varnholt-genmap: %s\n", Failure.what());
    return 1;
  }
  return 0;
}
