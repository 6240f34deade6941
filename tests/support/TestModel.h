// A deliberately plain model of the area analysis, written for clarity rather than speed, for the
// tests and the fuzz targets to compare the real routines against. It shares nothing with them but
// the element types and IsBlocked, and it may allocate.
#pragma once

#include <cstdint>
#include <vector>

#include "format/SegUtils.h"
#include "format/UTypes.h"

namespace varnholt::model {

// The 4-connected open areas by flood fill: per cell r * 64 + c, its area, numbered 0, 1, ... in
// the row-major order of the areas' first cells; -1 for a blocked cell.
std::vector<int> ModelComponents(const TSegment& Segment);

// Flood fill of the 4-connected open areas, found in row-major order of their first cells, then
// ranked by size (larger first, equal sizes in discovery order); the first four are numbered
// 1 ... 4 and every other cell is 0. AreaCount = min(number of areas, 4).
void ModelLabelAreas(const TSegment& Segment, TAreaSegment& AreaMap, std::int32_t& AreaCount);

// Per 2x2 block: the first of top left, top right, bottom left, bottom right lying in area 1, 2 or
// 3 gives the value area - 1; otherwise 3.
void ModelReduceToInfo(const TAreaSegment& AreaMap, TInfoSegment& Info);

// The waypoint of each area 1 ... AreaCount is its cell with the smallest (pass, row, column),
// where the pass of a cell is 6 when its row or column is 0 and otherwise 6 minus the smaller
// number of trailing zero bits of row and column. Sets the area mask, leaves everything else of
// Record alone, and does nothing for AreaCount <= 0. Throws Exception("Logic failure in
// CalculateWaypoint") when an area up to AreaCount has no cell.
void ModelCalculateWaypoint(const TAreaSegment& AreaMap, std::int32_t AreaCount,
                            TWaypointSegment& Record);

// OR the link bits for every pair of 4-neighbours across the boundary: row 63 of Upper against
// row 0 of Lower into DownLinks, column 63 of Left against column 0 of Right into RightLinks.
void ModelLinkDown(const TAreaSegment& Upper, const TAreaSegment& Lower, TWaypointSegment& Record);
void ModelLinkRight(const TAreaSegment& Left, const TAreaSegment& Right, TWaypointSegment& Record);

// The sweep over an N x N grid: a segment is linked to its neighbour below and to its right only
// when both have an area count above 0.
void ModelLinkSegments(const TGrid<TAreaSegment>& AreaMaps, const TGrid<std::int32_t>& AreaCounts,
                       TGrid<TWaypointSegment>& Records, std::uint32_t N);

}  // namespace varnholt::model
