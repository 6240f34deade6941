#include "map/RegionTable.h"

#include "platform/Memory.h"

namespace varnholt {

TSegmentRegions TRegionTable::Copy(std::size_t K) const {
  const TRegionsView View = Of(K);
  const auto Vector = [](auto Span) { return std::vector(Span.begin(), Span.end()); };
  return {Vector(View.Places), Vector(View.Firsts), Vector(View.Sizes),
          Vector(View.Down),   Vector(View.Right),  static_cast<std::uint8_t>(View.Kept)};
}

void TRegionTable::Reserve(std::size_t Segments) {
  PlaceStart.reserve(Segments + 1);
  Kept.reserve(Segments);
  DownStart.reserve(Segments + 1);
  RightStart.reserve(Segments + 1);
}

void TRegionTable::AddRegions(std::uint8_t KeptCount, std::span<const std::uint16_t> SegmentPlaces,
                              std::span<const std::uint16_t> SegmentFirsts,
                              std::span<const std::uint16_t> SegmentSizes) {
  Places.insert(Places.end(), SegmentPlaces.begin(), SegmentPlaces.end());
  Firsts.insert(Firsts.end(), SegmentFirsts.begin(), SegmentFirsts.end());
  Sizes.insert(Sizes.end(), SegmentSizes.begin(), SegmentSizes.end());
  PlaceStart.push_back(static_cast<std::uint32_t>(Places.size()));
  Kept.push_back(KeptCount);
}

void TRegionTable::Finish() {
  while (DownStart.size() < Kept.size() + 1) EndDownOf();
  while (RightStart.size() < Kept.size() + 1) EndRightOf();
}

void TRegionTable::MakeRoom(std::size_t Count) {
  if (OwnOf.empty()) OwnOf.assign(Kept.size(), kShared);
  ReserveMore(Owned, Count);
}

void TRegionTable::Replace(std::size_t K, TSegmentRegions Regions) {
  if (OwnOf[K] != kShared) {
    Owned[OwnOf[K]] = std::move(Regions);
    return;
  }
  OwnOf[K] = static_cast<std::uint32_t>(Owned.size());
  Owned.push_back(std::move(Regions));
}

}  // namespace varnholt
