// The cells a query's cell search may enter. About the regions the search over crossings found
// lie the segments up to two away, so that the cells' path can cut the corners the crossings take
// and pass obstacles on their shorter side. Of their regions the corridor keeps those a path that
// enters no region twice can pass between the start's and the goal's, and the regions beside them:
// the rest are dead ends off the way (most of a maze), which a path only enters to come back.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "analysis/KeyTable.h"
#include "map/Regions.h"
#include "paths/RegionNodes.h"

namespace varnholt {

class TCorridor {
 public:
  // Whether the search may enter segment K.
  bool Admits(std::uint64_t K) const { return Index.Find(K) != TKeyTable::kMissing; }
  // The cells of admitted segment K the search may enter: nullptr for all of them.
  const TSegmentRows* CellsOf(std::uint64_t K) const {
    const std::uint32_t Mask = MaskOf[Index.Find(K)];
    return Mask == kWhole ? nullptr : &Masks[Mask];
  }
  // Segment K admitted, with only Cells of it unless Cells is nullptr.
  void Admit(std::uint64_t K, const TSegmentRows* Cells);

 private:
  static constexpr std::uint32_t kWhole = UINT32_MAX;
  TKeyTable Index;
  std::vector<std::uint32_t> MaskOf;  // per admitted segment, kWhole or its mask's number
  std::vector<TSegmentRows> Masks;
};

// The corridor about Regions, the regions a search over crossings passed from the start's (first)
// to the goal's (last).
TCorridor CorridorOf(const TRegionMap& Map, std::span<const TNode> Regions);

}  // namespace varnholt
