// The conversion run: the naming of the outputs, the phases of a conversion (loading, analysis,
// output) and the saving of an edited map by the same protocol.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/AreaUtils.h"
#include "files/OutputFile.h"
#include "platform/Platform.h"
#include "map/Regions.h"
#include "format/SegUtils.h"

namespace varnholt {

// Prints one console line; the caller adds the line ending.
using TPrintLine = std::function<void(std::string_view Line)>;

struct TRunPaths {
  std::string Input;
  std::string Info;
  std::string Waypoint;
};
// The outputs are named after the input file's name up to its first digit, in the input's
// folder: Infantry1Level0Map.raw gives InfantryInfo.raw and Infantry.raw. A name without a digit
// is taken whole.
TRunPaths DeriveRunPaths(std::string_view Argument, const TPathRules& Rules);

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

// The phases of a conversion, for ConvertMap and for tools that check what it writes: loading
// the level-0 map (failing with the messages of a run, and with "Error opening file: " + an
// output's path when the input is that output, reached through a link), and labelling every
// segment into both maps, held in the run.
TMapRun LoadMap(const std::string& InputPath, std::span<const std::string> Outputs = {});
// Loading from a file already open, whose Size bytes are all there is to read.
TMapRun ReadMap(TReader& File, std::uint64_t Size);
// Sees every segment's kept areas as they are worked out, K counting the segments in grid order.
using TSegmentObserver = std::function<void(std::size_t K, const TSegmentAnalysis& Segment)>;
void AnalyseMap(TMapRun& Run, const TSegmentObserver& Observer = {});
// The analysis of a loaded map as the regions that paths are searched on, which take the map's
// cells from the run; Observer as above.
TRegionMap AnalyseRegions(TMapRun& Run, const TSegmentObserver& Observer = {});

// The map as it now stands as a conversion loads it from its saved level-0 map, and where
// Analysed, with the info map and waypoint records that conversion makes.
TMapRun SavedRun(const TRegionMap& Map, const TMapHeader& Header, bool Analysed);
// One of the three files of a run, as a conversion or a save writes it.
void WriteRunFile(const TMapRun& Run, varnholt_file Kind, TWriter& File);

// Writes the map as it now stands as three files named from Level0Path as a conversion names
// them: the level-0 map (its header as it was read, the records of segments never edited as
// they were read), and the info map and waypoint map a conversion of it makes. All three
// replace the old files together, as a conversion's pair does; fails with "Error writing file"
// or "Error opening file: " + a path, leaving the old files as they were.
void SaveMap(const TRegionMap& Map, const TMapHeader& Header, const std::string& Level0Path,
             const TCommitRules& Rules);

// Reads the level-0 map at InputPath and writes its info map and waypoint map. Both outputs
// replace the files at their paths only once both are complete. Throws Exception on failure.
// Notice hears what is said outside the console lines: a wait for another run in the folder,
// what stands in the way of a commit.
void ConvertMap(const std::string& InputPath, const std::string& InfoPath,
                const std::string& WaypointPath, const TPrintLine& PrintLine,
                const TNotice& Notice = {});

}  // namespace varnholt
