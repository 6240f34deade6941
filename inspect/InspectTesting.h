// Helpers for the inspector's tests: generated maps as the converter holds them, and small
// hand-made maps whose areas are known.
#pragma once

#include <algorithm>

#include "MapGenerator.h"
#include "TestSupport.h"
#include "Varnholt.h"

namespace varnholt::inspect::test {

// A generated map as the converter holds it once loaded and analysed.
inline TMapRun ConvertedRun(const TLevel0Map& Generated) {
  const std::vector<std::uint8_t> Bytes = EncodeLevel0Map(Generated);
  varnholt::test::TMemoryReader File(Bytes);
  TMapRun Run = ReadMap(File, Bytes.size());
  AnalyseMap(Run);
  return Run;
}

inline void OpenRectangle(TLevel0Map& Map, std::uint32_t Row, std::uint32_t Column,
                          std::uint32_t Height, std::uint32_t Width) {
  for (std::uint32_t R = Row; R < Row + Height; ++R) {
    for (std::uint32_t C = Column; C < Column + Width; ++C) Map.SetBlocked(R, C, false);
  }
}

// 2 x 2 segments: (0, 1) and (1, 0) open, (1, 1) blocked, and (0, 0) blocked but for Blocks
// separate 4 x 4 squares in its top left and the single cell (63, 63), which alone joins the
// two open segments. With four squares that cell is a fifth area, erased; with three it is area
// 4, kept and linked.
inline TLevel0Map CornerBridgeMap(std::uint32_t Blocks, bool OpenLastSegment = false) {
  TLevel0Map Map = OpenMap(1);
  Map.Segments[0].fill(0xFF);
  Map.Segments[3].fill(OpenLastSegment ? 0x00 : 0xFF);
  constexpr std::uint32_t kCorners[4][2] = {{8, 8}, {8, 24}, {24, 8}, {24, 24}};
  for (std::uint32_t K = 0; K < Blocks; ++K)
    OpenRectangle(Map, kCorners[K][0], kCorners[K][1], 4, 4);
  Map.SetBlocked(63, 63, false);
  return Map;
}

}  // namespace varnholt::inspect::test
