// A map as the library's users hold it: opened from a file or from memory, or made new, analysed
// into regions, and written back as the three files the converter's protocol puts in place. What
// varnholt_map holds, and what the C interface calls.
#pragma once

#include <varnholt/varnholt.h>
#include <cstdint>
#include <span>
#include <string>

#include "analysis/MapRun.h"
#include "map/Regions.h"

namespace varnholt {

struct TAnalysedMap {
  TMapHeader Header;  // as read, for saving
  TRegionMap Regions;
};

// The regions of a loaded map, analysed as a conversion does; the run keeps its info map.
TAnalysedMap AnalyseRun(TMapRun& Run);
// Reads and analyses the level-0 map at Path; where Check, also compares the info and waypoint
// maps beside it with what a conversion makes, failing with VARNHOLT_ERROR_STALE_PAIR at the first
// difference ("Infantry.raw does not match: segment (3, 5), ...") or a file of the pair missing.
TAnalysedMap OpenMap(const std::string& Path, bool Check);
TAnalysedMap AnalyseMapBytes(std::span<const std::uint8_t> Bytes);
// A map of CellsPerSide cells a side, every cell open or blocked.
TAnalysedMap CreateMap(std::int32_t CellsPerSide, bool Blocked);

// The map as it now stands as a conversion loads it from its saved level-0 map, with the info map
// and waypoint records that conversion makes.
TMapRun SavedRun(const TAnalysedMap& Map);
// One of the three files as a save writes it: the level-0 map (its header as read, the records of
// segments never edited byte for byte), or what a conversion of that map writes.
void WriteMapFile(const TAnalysedMap& Map, varnholt_file Kind, TWriter& File);
void WriteRunFile(const TMapRun& Run, varnholt_file Kind, TWriter& File);
// The first difference of the bytes of an info or waypoint map from what the map makes, in words;
// empty where there is none. Bytes that are cut short or not such a map fail with
// VARNHOLT_ERROR_STALE_PAIR; a file that cannot be read, as reading one does.
std::string MapFileDifference(const TAnalysedMap& Map, varnholt_file Kind,
                              std::span<const std::uint8_t> Bytes);
std::string MapFileDifference(const TAnalysedMap& Map, varnholt_file Kind, const std::string& Path);

}  // namespace varnholt
