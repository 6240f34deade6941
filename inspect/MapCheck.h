// The inspected level-0 map, the converter's two outputs for it rebuilt in memory by the
// library's own routines, and the comparison of those with the files found beside the map.
#pragma once

#include <cstdint>
#include <string>

#include "SegUtils.h"
#include "UTypes.h"

namespace varnholt::inspect {

struct TInspectedMap {
  std::uint32_t Size = 0;  // cells per side
  std::uint32_t N = 0;     // segments per side
  TSegments Segments;
};

// Loads a level-0 map, rejecting with the converter's messages what the converter rejects.
TInspectedMap LoadLevel0Map(const std::string& Path);

struct TExpectedOutputs {
  TMapBuffer InfoMap{0};  // the whole info map file
  TWaypointSegments Waypoints;
};

// What the converter writes for Map, byte for byte.
TExpectedOutputs RecomputeOutputs(const TInspectedMap& Map);

// The first difference between a file and the bytes it should hold, in words for the report
// ("segment (2, 5), DownLinks: ..."); empty when the file matches. A short or malformed file
// fails with the readers' messages.
std::string CompareInfoMap(TReader& File, const TMapBuffer& Expected);
std::string CompareWaypointMap(TReader& File, const TWaypointSegments& Expected);

}  // namespace varnholt::inspect
