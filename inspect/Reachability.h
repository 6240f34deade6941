// A census of what the converter keeps of a map, and whether the graph a pathfinder searches
// (one node per kept area of a segment, an edge per link bit) connects every place that the grid
// itself connects.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "AreaUtils.h"
#include "SegUtils.h"

namespace varnholt::inspect {

// A cell of the whole map.
struct TCell {
  std::uint32_t Row = 0;
  std::uint32_t Column = 0;
  friend bool operator==(const TCell&, const TCell&) = default;
};

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

// A component of the grid that the abstract graph holds as several parts: a path between them
// exists only through erased areas.
struct TSplit {
  std::uint64_t Parts = 0;
  std::vector<TCell> PartCells;    // the waypoint of a kept area in each of the first few parts
  std::vector<TCell> ErasedCells;  // the first cells of the first few erased areas in it
};

struct TReachability {
  std::uint64_t GridComponents = 0;      // 4-connected open components of the whole map
  std::uint64_t AbstractComponents = 0;  // components of the abstract graph
  std::uint64_t LostComponents = 0;      // grid components without any kept area
  std::uint64_t LostCells = 0;
  std::uint64_t SplitComponents = 0;
  std::vector<TSplit> Splits;  // the first few, in the order of the segments they begin in
};

inline constexpr std::size_t kExampleSplits = 5;
inline constexpr std::size_t kExampleCells = 3;

struct TSurvey {
  TMapCensus Census;
  TReachability Reachability;
};

struct TSweep;

// Builds the survey one segment at a time, in grid order, from the areas the converter keeps of
// each (so that nothing is labelled twice), then from its links and waypoints.
class TSurveyBuilder {
 public:
  explicit TSurveyBuilder(std::uint32_t SegmentsPerSide);
  ~TSurveyBuilder();
  void Add(std::size_t K, const TSegmentRows& Blocked, const TAreaMasks& Masks);
  TSurvey Finish(const TWaypointSegments& Waypoints);

 private:
  std::unique_ptr<TSweep> Sweep;
};

// The same for a whole map at once. Waypoints are the records the converter makes for it.
TSurvey SurveyMap(const TLevel0Records& Level0, const TWaypointSegments& Waypoints);

}  // namespace varnholt::inspect
