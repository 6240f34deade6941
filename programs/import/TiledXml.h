// Tiled's XML files, TMX maps and TSX tilesets, read into the JSON form Tiled writes for the same
// map, so that one reader takes both and an exported analysis can hold a TMX map's layers. What is
// carried: the map's and the tilesets' fields, tilesets' images and tiles with their properties,
// and tile layers within their groups, their data as CSV numbers or as base64 text with its
// compression. Object and image layers, tiles' collision shapes and animations are left out.
#pragma once

#include "TiledJson.h"

namespace varnholt::import {

// Fails on malformed XML with its line, on numbers that are not ("maps/arena.tmx, line 4:
// 'width' is not a whole number"), and on a root that is neither <map> nor <tileset>. A build
// without expat knows the format and refuses it.
TJson TiledXmlDocument(const TSourceFile& Source);

}  // namespace varnholt::import
