// Paths on an analysed map. A query searches the regions from the start's to the goal's, each
// standing at its waypoint (an erased area at its first cell), and then the cells of the
// segments along that way and beside it, so that its cost grows with the path rather than with
// the map.
#pragma once

#include <cstdint>
#include <vector>

#include "map/Regions.h"

namespace varnholt {

// A path of 4-adjacent open cells from Start to Goal, both included; empty when the grid connects
// none. Fails with "Cell outside the map: ROW, COLUMN" or "Cell blocked: ROW, COLUMN". The same
// query gives the same path every time; queries may run on several threads at once.
std::vector<TCell> FindPath(const TRegionMap& Map, TCell Start, TCell Goal);

// As FindPath, but when Goal is blocked or the grid does not connect it to Start, a path to the
// open cell connected to Start that lies nearest Goal (by the distance between cell centres; of
// equal ones the smallest row, then the smallest column). Fails only for a Start outside the map
// or blocked, or a Goal outside the map. The search for that cell costs in proportion to the
// ground between it and Goal.
std::vector<TCell> FindPathToward(const TRegionMap& Map, TCell Start, TCell Goal);

// Whether the grid connects two open cells, as the map knows since it was analysed.
bool AreConnected(const TRegionMap& Map, TCell Start, TCell Goal);

// The number of steps of a shortest path, by a search of the whole grid; -1 when there is none.
std::int64_t ShortestPathLength(const TRegionMap& Map, TCell Start, TCell Goal);

}  // namespace varnholt
