// Sources written the way other tools write them, for the importer's tests: PNG pictures of every
// colour type and depth through libpng, and Tiled maps as JSON and XML text in every encoding,
// compressed by zlib directly. Nothing here shares code with the importer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace varnholt::import::test {

using varnholt::test::TBytes;

// A source pattern: Rows x Columns cells, 1 blocked.
struct TPattern {
  std::uint32_t Rows = 0, Columns = 0;
  std::vector<std::uint8_t> Blocked;
  bool At(std::uint32_t Row, std::uint32_t Column) const {
    return Blocked[Row * Columns + Column] != 0;
  }
};
TPattern RandomPattern(std::uint32_t Rows, std::uint32_t Columns, std::uint64_t Seed);

// The level-0 file the rules make of the pattern, worked out by the plain model.
TBytes ModelLevel0(const TPattern& Pattern);

// The pattern as a Moving AI map: '.', 'G' and 'S' for open cells, a mix of other characters for
// blocked ones; lines ended by CR LF where asked.
std::string MovingAiText(const TPattern& Pattern, bool CrLf, std::uint64_t Seed);

// libpng's colour type and bit depth; Interlaced writes Adam7; ColourKey adds a tRNS colour (to
// grey and RGB pictures) that some blocked pixels, light as it is, take.
struct TPngKind {
  int ColourType;
  int BitDepth;
  bool Interlaced = false;
  bool ColourKey = false;
};
std::string NameOf(const TPngKind& Kind);
// The pattern as a picture of random colours, each open pixel open and each blocked pixel
// blocked by the model's rule at Threshold, clearly so.
TBytes PatternPng(const TPattern& Pattern, const TPngKind& Kind, std::uint64_t Seed,
                  int Threshold = 50, bool DarkOpen = false);
// A PNG picture whose header says Width x Height, 8-bit grey, then an empty IDAT chunk and no more.
TBytes PngHeaderOnly(std::uint32_t Width, std::uint32_t Height);

// How a Tiled map stores its layers.
enum class TTiledEncoding { Csv, Base64, Zlib, Gzip, TileElements };
struct TTiledKind {
  bool Xml = false;
  TTiledEncoding Encoding = TTiledEncoding::Csv;
  bool Infinite = false;
};
std::string NameOf(const TTiledKind& Kind);
// The map's files: the map itself, named "map.tmx" or "map.tmj", and its external tileset
// "walls.tsx" or "walls.tsj". Its tiles come from two tilesets and lie in two layers, one within a
// group, with flip bits set at random; a cell is blocked in the pattern when some layer's tile
// there collides.
struct TTiledFiles {
  std::string MapName, Map, TilesetName, Tileset;
};
TTiledFiles PatternTiled(const TPattern& Pattern, const TTiledKind& Kind, std::uint64_t Seed);

}  // namespace varnholt::import::test
