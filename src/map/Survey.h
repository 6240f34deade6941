// A survey of an analysed map: what the converter keeps of it, and whether the waypoint graph a
// pathfinder searches (one node per kept area of a segment, an edge per link bit of the waypoint
// records) connects every place that the grid itself connects. It is read off the regions, which
// hold every area of every segment and the contacts between them, and off the records, without
// labelling anything again.
#pragma once

#include <varnholt/varnholt.h>
#include <cstdint>
#include <vector>

#include "map/Regions.h"

namespace varnholt {

// A split is a component of the grid that the waypoint graph holds as several parts: a path
// between them exists only through erased areas. Of each, a few cells of each kind are named.
inline constexpr std::size_t kExampleCells = 3;

struct TMapSurvey {
  varnholt_survey Counts{};
  // The first splits and the first cells of the first lost components, in the order of the
  // segments and cells they begin in.
  std::vector<varnholt_split> Splits;
  std::vector<TCell> Lost;
};

// The survey, with at most SplitCount splits and LostCount lost components described.
TMapSurvey SurveyMap(const TRegionMap& Map, std::size_t SplitCount, std::size_t LostCount);

// A region of the map: its segment and its number there.
struct TRegionAt {
  std::size_t Segment;
  unsigned Region;
  friend bool operator==(const TRegionAt&, const TRegionAt&) = default;
};

// The regions of a split: its kept areas, by the parts of the waypoint graph they belong to, and
// its erased areas.
struct TSplitRegions {
  std::vector<std::vector<TRegionAt>> Parts;
  std::vector<TRegionAt> Erased;
};

// How many parts the waypoint graph holds the grid component of an open cell in: 1 where it
// holds it whole, 0 where the component has no kept area, more for a split.
std::size_t GraphPartsOf(const TRegionMap& Map, TCell Cell);

// The regions of split number Index, in the order SurveyMap lists them; no parts where there is
// no such split.
TSplitRegions SplitRegionsOf(const TRegionMap& Map, std::size_t Index);

}  // namespace varnholt
