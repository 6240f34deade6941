// What varnholt-import does: a source from another tool made a level-0 map, and a level-0 map
// written for other tools. The kind of a source is told by its first bytes, not its name: a PNG
// signature, '<' or '{' (Tiled's XML or JSON), anything else a Moving AI map.
#pragma once

#include "Png.h"
#include "Sources.h"

namespace varnholt::import {

// Source.Path names the file in failures; ReadFile reads a Tiled map's external tilesets.
TMap ImportSource(const TSourceFile& Source, const TPixelOptions& Options,
                  const TReadFile& ReadFile);

// Whether the bytes are a Tiled map or tileset, JSON or XML: '<' or '{' first.
bool IsTiled(const TBytes& Bytes);
TMap ImportTiled(const TSourceFile& Source, const TReadFile& ReadFile);

enum class TExportFormat { MovingAi, Png, Tiled };

// "map", "png" or "tiled"; fails naming the word otherwise.
TExportFormat ExportFormatOf(const std::string& Word);

}  // namespace varnholt::import
