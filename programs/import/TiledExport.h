// A level-0 map and its analysis as a Tiled JSON map, for map makers to see in the editor they
// work in, or the analysis added to the Tiled map it was imported from. The cells as a tile layer
// (gid 1 open, gid 2 blocked, whose tile has the boolean property "collides", so that importing the
// map gives the same cells), an object layer "Analysis" with the splits and the unreachable places
// as point objects in the inspector's words, and an object layer "Waypoints and links" that can be
// hidden apart. A cell is a tile of kTileSide pixels; objects stand at the centres of their cells.
#pragma once

#include <string>

#include "Sources.h"
#include "TiledJson.h"
#include "TiledMap.h"

namespace varnholt::import {

inline constexpr std::uint32_t kTileSide = 16;

// The file of the tiles' picture, beside the map; every export writes the same bytes to it.
inline constexpr const char* kTilesFile = "varnholt-tiles.png";

// Where objects land on a Tiled map: its tiles' size, and the tile of cell (0, 0).
struct TTilePlace {
  std::int64_t TileWidth = kTileSide, TileHeight = kTileSide;
  TTileOrigin Origin;
};

// The map's JSON text, ended by a line feed.
std::string TiledMapText(const TMap& Map);

// The analysis of Map, imported from the Tiled map Source (as TiledDocument reads the file at
// SourcePath, JSON or XML) with its first tile at Origin, added to Source's own layers and
// tilesets as two object layers after them, its own ids going on from the map's. The files the
// map names beside it, tilesets and images, are named from OutPath's folder.
std::string TiledSourceText(const TMap& Map, TJson Source, const TTileOrigin& Origin,
                            const std::string& SourcePath, const std::string& OutPath);

}  // namespace varnholt::import
