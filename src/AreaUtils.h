// Area analysis: the open areas of each segment, their info cells and waypoints, and the contacts
// between the areas of neighbouring segments.
#pragma once

#include <cstdint>

#include "SegUtils.h"
#include "UTypes.h"

namespace varnholt {

// The cells of an area map on its four borders: all that linking needs of a segment once its
// other steps are done, 256 bytes instead of 4096.
struct TAreaEdges {
  std::array<std::uint8_t, kSegmentSide> Top;     // row 0
  std::array<std::uint8_t, kSegmentSide> Bottom;  // row 63
  std::array<std::uint8_t, kSegmentSide> Left;    // column 0
  std::array<std::uint8_t, kSegmentSide> Right;   // column 63
};

using TAreaEdgeMap = TGrid<TAreaEdges>;
using TAreaCount = TGrid<std::int32_t>;

// Labels the 4-connected open areas of Segment. The four largest are numbered 1 ... 4 by size,
// larger first; between equal sizes the area whose first cell in row-major order comes first gets
// the smaller number. Every other cell is 0. AreaCount is the number of areas kept (0 ... 4).
void LabelAreas(const TSegment& Segment, TAreaSegment& AreaMap, std::int32_t& AreaCount);

// One info value per 2x2 block: the first of its four cells (top left, top right, bottom left,
// bottom right) that lies in area 1, 2 or 3 names it (value area - 1); 3 when none does.
void ReduceToInfo(const TAreaSegment& AreaMap, TInfoSegment& Info);

// Picks one waypoint per area, preferring cells near the middle of the segment and on a coarse
// grid, and sets the area mask. Fails with "Logic failure in CalculateWaypoint" when an area below
// AreaCount has no cell.
void CalculateWaypoint(const TAreaSegment& AreaMap, std::int32_t AreaCount,
                       TWaypointSegment& Record);

TAreaEdges AreaEdges(const TAreaSegment& AreaMap);

// OR the bits of the areas of Upper touching areas of Lower (row 63 against row 0) into the down
// links, and of Left touching Right (column 63 against column 0) into the right links.
void LinkDown(const TAreaEdges& Upper, const TAreaEdges& Lower, TWaypointSegment& Record);
void LinkRight(const TAreaEdges& Left, const TAreaEdges& Right, TWaypointSegment& Record);
// Links every segment of the N x N grid that has areas with its neighbours below and to the
// right that have areas too.
void LinkSegments(const TAreaEdgeMap& Edges, const TAreaCount& AreaCounts,
                  TWaypointSegments& Records, std::uint32_t N);

}  // namespace varnholt
