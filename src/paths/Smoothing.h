// Corners of a path: the cells where a unit that walks straight lines turns. A line between the
// centres of two cells is walkable when every cell whose closed square it touches is open, the
// squares it only grazes at a corner included, so that no line squeezes between two blocked cells
// that meet at a corner.
#pragma once

#include <vector>

#include "map/Regions.h"

namespace varnholt {

// Whether the straight line between the centres of A and B is walkable.
bool IsWalkable(const TCellStore& Cells, TCell A, TCell B);

// The corners of Path, a path of 4-adjacent open cells: its first cell, then each next corner the
// farthest cell of the path that the last one sees by a walkable line, found by ever longer, then
// halving steps along the path; then corners that their neighbours see past are dropped. Each line
// between consecutive corners is walkable. Fails with "Not a path: ..." for cells that are not
// such a path.
std::vector<TCell> SmoothPath(const TCellStore& Cells, const std::vector<TCell>& Path);

}  // namespace varnholt
