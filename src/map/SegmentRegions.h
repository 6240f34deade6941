// One segment's regions, read off the converter's analysis of it, and the contacts along a border
// between two segments: what building a map and editing one both make of each segment.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/AreaUtils.h"
#include "map/RegionTable.h"

namespace varnholt {

inline constexpr std::uint16_t kNoRegion = UINT16_MAX;

// The region of every cell along the sides of a segment, kNoRegion where none.
using TRegionSides = TSegmentSides<std::uint16_t>;

// Fills Regions with the segment's regions, kept areas first at their waypoints, then the erased
// areas at their first cells, and marks them along Sides. Erased is room for labelling the erased
// areas; Regions' contacts are left as they are.
void ReadRegions(const TSegmentAnalysis& Segment, TComponents& Erased, TSegmentRegions& Regions,
                 TRegionSides& Sides);

// Appends the pairs of regions that meet along a border, once each, in order, each with the
// first and last places where they do.
void AddContacts(const TRegionSides::TSide& Own, const TRegionSides::TSide& Other,
                 std::vector<TContact>& List);

}  // namespace varnholt
