// A Tiled map's cells: every tile layer, within groups too, of a finite map or an infinite map's
// chunks, with the tilesets that say which tiles collide, embedded or in files of their own beside
// the map. One cell a tile; the map's first row and column, or an infinite map's top-left chunk
// corner, at cell (0, 0).
#pragma once

#include "Sources.h"
#include "TiledJson.h"

namespace varnholt::import {

// The tilesets of Document, a map read from the file at Path, as the library's rule takes them;
// external ones read by ReadFile, beside the map. Fails naming the tileset ("maps/arena.tmj,
// tileset 'walls.tsj': Error opening file: maps/walls.tsj").
TTiledTilesets TiledTilesets(const TJson& Document, const std::string& Path,
                             const TReadFile& ReadFile);

// The tile that became cell (0, 0): (0, 0), or an infinite map's top-left chunk corner.
struct TTileOrigin {
  std::int64_t X = 0, Y = 0;
};

// The map placed as every source is, and where Origin is given, its origin. Fails naming the
// layer or chunk at fault ("maps/arena.tmj, layer 'Walls': unknown encoding 'base32'"), and for a
// size no map holds before any memory is taken for it.
TMap TiledMap(const TJson& Document, const std::string& Path, const TTiledTilesets& Tilesets,
              TTileOrigin* Origin = nullptr);

}  // namespace varnholt::import
