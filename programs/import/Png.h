// PNG pictures, decoded and written by libpng: a pixel a cell. A build without libpng knows the
// format and says it cannot read or write it.
#pragma once

#include "Sources.h"

namespace varnholt::import {

// Which pixels are open: varnholt_import_pixels's threshold and dark_open.
struct TPixelOptions {
  int Threshold = 50;
  bool DarkOpen = false;
};

inline bool IsPng(const TBytes& Bytes) {
  static const std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return Bytes.size() >= 8 && std::equal(kSignature, kSignature + 8, Bytes.begin());
}

// Any PNG (grey, grey and alpha, RGB, RGBA or palette, 1 to 16 bits, interlaced or not) as the
// library's rule sees it: every pixel as 8-bit RGBA, 16-bit samples by their high byte, a
// transparent colour or palette entries as alpha, no gamma applied.
TMap ImportPng(const TSourceFile& Source, const TPixelOptions& Options);

// One pixel a cell, 1 bit deep: white open, black blocked.
TBytes ExportPng(const TMap& Map);

// The two tiles of an exported Tiled map, side by side, TileSide pixels square: white open, black
// blocked.
TBytes TilesPng(std::uint32_t TileSide);

}  // namespace varnholt::import
