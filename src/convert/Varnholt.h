// The conversion run and the saving of an edited map, by the same protocol: the map loaded and
// analysed in memory, its files written as temporaries, then put in place together.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "files/ToolFiles.h"
#include "map/AnalysedMap.h"

namespace varnholt {

// Prints one console line; the caller adds the line ending.
using TPrintLine = std::function<void(std::string_view Line)>;

// Reads the level-0 map at InputPath and writes its info map and waypoint map. Both outputs
// replace the files at their paths only once both are complete. Throws Exception on failure.
// Notice hears what is said outside the console lines: a wait for another run in the folder,
// what stands in the way of a commit.
void ConvertMap(const std::string& InputPath, const std::string& InfoPath,
                const std::string& WaypointPath, const TPrintLine& PrintLine,
                const TNotice& Notice = {});

// Writes the map as it now stands as three files named from Level0Path as a conversion names
// them: the level-0 map (its header as it was read, the records of segments never edited as
// they were read), and the info map and waypoint map a conversion of it makes. All three
// replace the old files together, as a conversion's pair does; fails with "Error writing file"
// or "Error opening file: " + a path, leaving the old files as they were.
void SaveMap(const TAnalysedMap& Map, const std::string& Level0Path, const TCommitRules& Rules);

}  // namespace varnholt
