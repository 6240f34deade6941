// The command-line front end: output naming, the conversion run and the one failure handler.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace varnholt {

// Prints one console line; the caller adds the line ending.
using TPrintLine = std::function<void(std::string_view Line)>;

struct TPathParts {
  std::string Dir;   // up to and including the last separator; empty if there is none
  std::string Name;  // everything after it
};
TPathParts SplitPath(std::string_view Path, std::string_view Separators);

struct TRunPaths {
  std::string Input;
  std::string Info;
  std::string Waypoint;
};
// The outputs are named after the input file's name up to its first digit, in the input's
// folder: Infantry1Level0Map.raw gives InfantryInfo.raw and Infantry.raw. A name without a digit
// is taken whole.
TRunPaths DeriveRunPaths(std::string_view Argument, std::string_view Separators);

// Reads the level-0 map at InputPath and writes its info map and waypoint map. Both outputs
// replace the files at their paths only once both are complete. Throws Exception on failure.
void ConvertMap(const std::string& InputPath, const std::string& InfoPath,
                const std::string& WaypointPath, const TPrintLine& PrintLine);

// The whole program after the platform has collected the arguments (argument 0 the program's
// own path): banner, usage or conversion. Returns the exit code; a failure of PrintLine itself
// propagates to the caller.
int RunVarnholt(std::span<const std::string> Arguments, std::string_view Separators,
                const TPrintLine& PrintLine);

}  // namespace varnholt
