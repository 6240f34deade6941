// Helpers for the inspector's tests: maps opened through the library as the inspector opens
// them; and the hand-made maps of the tests' support.
#pragma once

#include <varnholt/varnholt.hpp>

#include "MapGenerator.h"
#include "TestSupport.h"

namespace varnholt::inspect::test {

using varnholt::test::CornerBridgeMap;

inline TMap Opened(const TLevel0Map& Generated) {
  const std::vector<std::uint8_t> Bytes = EncodeLevel0Map(Generated);
  return TMap::AnalyseMemory(Bytes.data(), Bytes.size());
}

}  // namespace varnholt::inspect::test
