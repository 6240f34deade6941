// The build without expat: Tiled's XML maps and tilesets are known, and refused in so many words.
#include "TiledXml.h"

namespace varnholt::import {

TJson TiledXmlDocument(const TSourceFile& Source) {
  Fail(Source.Path,
       "this build of varnholt-import reads no Tiled XML (built without expat): save the map as "
       "JSON (.tmj) in Tiled");
}

}  // namespace varnholt::import
