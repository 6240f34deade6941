// The build without libpng: PNG pictures are known, and refused in so many words.
#include "Png.h"

namespace varnholt::import {

TMap ImportPng(const TSourceFile& Source, const TPixelOptions&) {
  Fail(Source.Path, "this build of varnholt-import reads no PNG pictures (built without libpng)");
}

TBytes ExportPng(const TMap&) {
  throw Exception(VARNHOLT_ERROR_ARGUMENT,
                  "This build of varnholt-import writes no PNG pictures (built without libpng)");
}

TBytes TilesPng(std::uint32_t) {
  throw Exception(VARNHOLT_ERROR_ARGUMENT,
                  "This build of varnholt-import writes no PNG pictures (built without libpng)");
}

}  // namespace varnholt::import
