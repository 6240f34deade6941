// varnholt-inspect: checks that the two maps beside a level-0 map are what the converter makes of
// it, reports the map's health and draws its picture.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "MapCheck.h"
#include "PathReport.h"
#include "Picture.h"
#include "Reachability.h"
#include "Varnholt.h"

namespace varnholt::inspect {

// Beside the map, named with the converter's prefix: Infantry1Level0Map.raw gives
// InfantryInspect.png.
std::string PicturePath(std::string_view Level0Path, const TPathRules& Rules);

// The health report, aligned in two columns; Paths are the lines on the quality of paths.
std::vector<std::string> ReportLines(const TMapRun& Map, const TSurvey& Survey,
                                     const std::vector<std::string>& Paths,
                                     const std::string& PictureFile, const TPicture& Picture);

// Returns the exit code: 0 when both outputs match the map and the waypoint graph connects
// everything the grid connects, 1 otherwise. Throws Exception when a file is missing, short or
// malformed, or a cell of Query is outside the map or blocked. Query's path, where one is asked
// for, is reported and drawn.
int InspectMap(const std::string& Level0Path, const TPathRules& Rules, const TPrintLine& PrintLine,
               const std::optional<TPathQuery>& Query = {});

}  // namespace varnholt::inspect
