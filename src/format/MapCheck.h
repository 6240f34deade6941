// The comparison of the converter's two outputs, as its own phases rebuild them in memory
// (LoadMap, AnalyseMap), with the files found beside the map: for the inspector and for the
// library that opens a converted map.
#pragma once

#include <cstdint>
#include <string>

#include "format/SegUtils.h"
#include "format/UTypes.h"

namespace varnholt {

// The first difference between a file and the bytes it should hold, in words for the report
// ("segment (2, 5), DownLinks: ..."); empty when the file matches. A short or malformed file
// fails with the readers' messages. Expected is the info map's bytes or the waypoint records.
std::string MapDifference(std::span<const std::uint8_t> File, const TMapBuffer& Expected);
std::string MapDifference(std::span<const std::uint8_t> File, const TWaypointSegments& Expected);

// The same for the file at Path; a missing, short or malformed file fails with the readers'
// messages and the path ("Error reading file: PATH").
std::string FileDifference(const std::string& Path, const TMapBuffer& Expected);
std::string FileDifference(const std::string& Path, const TWaypointSegments& Expected);

}  // namespace varnholt
