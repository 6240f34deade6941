// A survey of an analysed map: what the converter keeps of it, and whether the waypoint graph a
// pathfinder searches (one node per kept area of a segment, an edge per link) connects every
// place that the grid itself connects. It is read off the regions, which hold every area of
// every segment and the contacts between them, without labelling anything again.
#pragma once

#include <cstdint>
#include <vector>

#include "map/Regions.h"

namespace varnholt {

struct TMapCensus {
  // Segments by content: every cell open, every cell blocked, or mixed.
  std::uint64_t FilledOpen = 0;
  std::uint64_t FilledBlocked = 0;
  std::uint64_t Explicit = 0;
  std::uint64_t AreasFound = 0;  // 4-connected open areas within segments
  std::uint64_t AreasKept = 0;
  std::uint64_t SegmentsOverFour = 0;  // segments with more than four areas
  std::uint64_t ErasedCells = 0;       // the open cells of the areas they drop
  std::uint64_t SegmentsWithArea4 = 0;
  std::uint64_t Area4Cells = 0;
  std::uint64_t DownLinks = 0;  // link bits
  std::uint64_t RightLinks = 0;
};

// A component of the grid that the waypoint graph holds as several parts: a path between them
// exists only through erased areas.
struct TMapSplit {
  std::uint64_t Parts = 0;
  std::vector<TCell> PartCells;    // the waypoint of a kept area in each of the first few parts
  std::vector<TCell> ErasedCells;  // the first cells of the first few erased areas in it
};

struct TReachability {
  std::uint64_t GridComponents = 0;      // 4-connected open components of the whole map
  std::uint64_t AbstractComponents = 0;  // components of the waypoint graph
  std::uint64_t LostComponents = 0;      // grid components without any kept area
  std::uint64_t LostCells = 0;
  std::uint64_t SplitComponents = 0;
  // The first splits and the first cells of the first lost components, in the order of the
  // segments and cells they begin in.
  std::vector<TMapSplit> Splits;
  std::vector<TCell> Lost;
};

inline constexpr std::size_t kExampleCells = 3;  // of each kind in a split

struct TMapSurvey {
  TMapCensus Census;
  TReachability Reachability;
};

// The survey, with at most SplitCount splits and LostCount lost components described.
TMapSurvey SurveyMap(const TRegionMap& Map, std::size_t SplitCount, std::size_t LostCount);

}  // namespace varnholt
