// A whole map analysed as the converter does it: the level-0 map loaded, every segment labelled,
// and the converter's two outputs made in memory. This is the one place the info map and the
// waypoint records are made: the conversion, a save, the files as bytes and the comparisons of a
// pair all take them from here.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "analysis/AreaUtils.h"
#include "format/SegUtils.h"

namespace varnholt {

// Everything one conversion holds in memory: the input's records as the file has them, the info
// map assembled in memory and the waypoint records. No segment is ever expanded into a 4096-byte
// area map, and of the borders of its areas, which linking needs, only a row is kept at a time.
struct TMapRun {
  TMapRun() = default;
  // Sizes everything a map of this many cells per side needs, failing as its loading reports.
  explicit TMapRun(std::uint32_t CellsPerSide);

  std::uint32_t CellsPerSide = 0;
  std::uint32_t SegmentsPerSide = 0;
  TMapHeader Header;  // as the level-0 map has it
  TLevel0Records Level0;
  TMapBuffer InfoMap;  // the whole info map file, once analysed
  TWaypointSegments Waypoints;
};

// Loads the level-0 map at InputPath, failing with the messages of a run, and with "Error opening
// file: " + an output's path when the input is that output, reached through a link.
TMapRun LoadMap(const std::string& InputPath, std::span<const std::string> Outputs = {});
// Loading from a file already open, whose Size bytes are all there is to read.
TMapRun ReadMap(TReader& File, std::uint64_t Size);
// A map of filled segments, all open or all blocked, as if read from a file with the header the
// map generator writes.
TMapRun FilledMap(std::uint32_t CellsPerSide, bool Blocked);

// Sees every segment's kept areas as they are worked out, K counting the segments in grid order.
using TSegmentObserver = std::function<void(std::size_t K, const TSegmentAnalysis& Segment)>;
// Labels every segment into both outputs, held in the run.
void AnalyseMap(TMapRun& Run, const TSegmentObserver& Observer = {});

}  // namespace varnholt
