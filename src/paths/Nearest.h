// The open cell of a component of the grid nearest a place, for a goal out of reach: found from
// what the map knows of its segments and regions, nearest the place first, so that the cells of a
// segment are looked at only where the component has a region there.
#pragma once

#include <cstdint>

#include "map/Regions.h"

namespace varnholt {

// The cell of the grid component of Inside, an open cell, nearest Place by the distance between
// cell centres; of equal ones the smallest row, then the smallest column.
TCell NearestCellOf(const TRegionMap& Map, TCell Inside, TCell Place);

}  // namespace varnholt
