#include "format/Naming.h"

#include <algorithm>

namespace varnholt {
namespace {

bool IsAsciiDigit(char Character) {
  return Character >= '0' && Character <= '9';
}

}  // namespace

TRunPaths DeriveRunPaths(std::string_view Argument, const TPathRules& Rules) {
  const TPathParts Parts = SplitPath(Argument, Rules);
  const auto FirstDigit = std::find_if(Parts.Name.begin(), Parts.Name.end(), IsAsciiDigit);
  const std::string Prefix(Parts.Name.begin(), FirstDigit);
  return {std::string(Argument), Parts.Dir + Prefix + "Info.raw", Parts.Dir + Prefix + ".raw"};
}

}  // namespace varnholt
