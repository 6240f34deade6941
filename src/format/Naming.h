// How the converter names its outputs: after the input file's name up to its first digit, in the
// input's folder. Infantry1Level0Map.raw gives InfantryInfo.raw and Infantry.raw; a name without a
// digit is taken whole.
#pragma once

#include <string>
#include <string_view>

#include "platform/Platform.h"

namespace varnholt {

struct TRunPaths {
  std::string Input;
  std::string Info;
  std::string Waypoint;
};
TRunPaths DeriveRunPaths(std::string_view Argument, const TPathRules& Rules);

}  // namespace varnholt
