// A region of the map as the searches name it: its segment and its number there, in one word.
#pragma once

#include <cstdint>

namespace varnholt {

using TNode = std::uint64_t;
inline constexpr int kRegionBits = 12;  // a segment has at most 2048 regions

inline TNode NodeOf(std::uint64_t Segment, unsigned Region) {
  return Segment << kRegionBits | Region;
}
inline std::uint64_t SegmentOf(TNode Node) {
  return Node >> kRegionBits;
}
inline unsigned RegionNumber(TNode Node) {
  return static_cast<unsigned>(Node & ((1u << kRegionBits) - 1));
}

}  // namespace varnholt
