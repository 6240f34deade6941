// What would mend a split, a place the grid joins only through erased areas so that the waypoint
// graph holds it in several parts: cells to block, so that the grid no longer joins the parts
// through erased areas, or cells to open, so that the kept areas join them.
//
// Blocking: the fewest erased cells whose blocking parts each part from the others, a minimum
// vertex cut of the erased cells between one part and the rest (by augmenting paths), one part
// after another. Blocking erased cells leaves every kept area as it was, so the waypoint graph is
// unchanged and the grid comes to hold the parts apart.
// Opening: an erased area joined to a kept area of its own segment becomes part of it, and its
// contacts across the segment's borders become links; of such joins, each by the fewest blocked
// cells between the two (a breadth-first search through blocked cells), the cheapest are taken
// until they join every part.
// Either way the fix is tried on a copy of the split's ground, its segments and a ring about
// them, analysed afresh: a fix is offered only where that split is gone and none stands there.
#pragma once

#include <cstdint>
#include <vector>

#include "map/Regions.h"

namespace varnholt {

enum class TFixKind { Open, Block };

// The cells whose change mends split number Index, in the order the survey lists splits; empty
// where no fix of that kind is found. Index lies below the survey's count of splits.
std::vector<TCell> SplitFix(const TRegionMap& Map, std::size_t Index, TFixKind Kind);

}  // namespace varnholt
