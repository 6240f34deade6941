// A level-0 map and its analysis as a Tiled JSON map, for map makers to see in the editor they
// work in: the cells as a tile layer (gid 1 open, gid 2 blocked, whose tile has the boolean
// property "collides", so that importing the map gives the same cells), an object layer
// "Analysis" with the splits and the unreachable places as point objects in the inspector's words,
// and an object layer "Waypoints and links" that can be hidden apart. A cell is a tile of
// kTileSide pixels; objects stand at the centres of their cells.
#pragma once

#include <string>

#include "Sources.h"

namespace varnholt::import {

inline constexpr std::uint32_t kTileSide = 16;

// The file of the tiles' picture, beside the map; every export writes the same bytes to it.
inline constexpr const char* kTilesFile = "varnholt-tiles.png";

// The map's JSON text, ended by a line feed.
std::string TiledMapText(const TMap& Map);

}  // namespace varnholt::import
