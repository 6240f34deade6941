// varnholt-inspect: checks that the two maps beside a level-0 map are what the converter makes of
// it, reports the map's health and draws its picture.
#pragma once

#include <varnholt/varnholt.hpp>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "PathReport.h"
#include "Picture.h"

namespace varnholt::inspect {

// Prints one line of the report; the caller adds the line ending.
using TPrintLine = std::function<void(std::string_view Line)>;

inline constexpr std::size_t kExampleSplits = 5;

// Beside the map, named with the converter's prefix: Infantry1Level0Map.raw gives
// InfantryInspect.png.
std::string PicturePath(const std::string& Level0Path);

// The health report, aligned in two columns; Paths are the lines on the quality of paths.
std::vector<std::string> ReportLines(const TMap& Map, const TSurveyResult& Survey,
                                     const std::vector<std::string>& Paths,
                                     const std::string& PictureFile, const TPicture& Picture);

// What the report says of split number Index (in the survey's order), a line each: where its
// parts are ("2 parts, holding (32, 96), (96, 32)"), the erased areas in it ("erased areas in it:
// (63, 63)") and what would mend it ("to mend it: block 1 cell: (63, 63); or open ...").
std::vector<std::string> SplitWords(const TMap& Map, const TSplit& Split, std::size_t Index);

// Returns the exit code: 0 when both outputs match the map and the waypoint graph connects
// everything the grid connects, 1 otherwise. Throws Exception when a file is missing, short or
// malformed, or a cell of Query is outside the map or blocked. Query's path, where one is asked
// for, is reported and drawn.
int InspectMap(const std::string& Level0Path, const TPrintLine& PrintLine,
               const std::optional<TPathQuery>& Query = {});

}  // namespace varnholt::inspect
