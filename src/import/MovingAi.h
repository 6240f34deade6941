// Moving AI's grid maps, the text files pathfinding benchmarks share:
//   type octile
//   height H
//   width W
//   map
// then H rows of W characters, one byte a cell: '.', 'G' and 'S' open, every other byte blocked.
// Lines end with LF or CR LF; blank lines may follow the last row.
#pragma once

#include <string_view>

#include "import/Placement.h"
#include "map/CellStore.h"
#include "platform/Streams.h"

namespace varnholt {

// The cells of a map's text. Fails with VARNHOLT_ERROR_READ and the line at fault: a header line
// missing or malformed ("line 2: 'height N' expected, found 'width 4'"), a row of another
// length than the width ("line 7: 3 characters, the width is 4"), fewer or more rows than the
// height ("line 9: the map ends after 4 of 5 rows"); with VARNHOLT_ERROR_SIZE for a height or width
// beyond kMaxImportSide.
TSourceCells ReadMovingAi(std::string_view Text);

// The map's text: type octile, its side as height and width, '.' open and '@' blocked, lines
// ended by LF.
void WriteMovingAi(const TCellStore& Cells, TWriter& File);

}  // namespace varnholt
