// The regions of every segment of a map and the contacts between them, as the searches read them.
// They are kept in flat lists in grid order, one allocation a list whatever the map's size, as the
// map is built; a segment changed by an edit (or beside one) holds its own from then on, so that
// an edit never moves the lists of the rest of the map.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace varnholt {

// Two regions that touch across a border: one of this segment, one of its neighbour's, and the
// first and last places along the border (columns below, rows to the right) where they do.
struct TContact {
  std::uint16_t Own = 0;
  std::uint16_t Other = 0;
  std::uint8_t First = 0;
  std::uint8_t Last = 0;
  friend auto operator<=>(const TContact&, const TContact&) = default;
};

// The regions of one segment. Region a - 1 is kept area a; the erased areas follow, in the
// row-major order of their first cells.
struct TSegmentRegions {
  std::vector<std::uint16_t> Places;  // per region, r * 64 + c of the cell that stands for it
  std::vector<std::uint16_t> Firsts;  // per region, r * 64 + c of its first cell in row-major order
  std::vector<std::uint16_t> Sizes;   // per region, its cells
  std::vector<TContact> Down;         // with the regions of the segment below
  std::vector<TContact> Right;        // with the regions of the segment to the right
  std::uint8_t Kept = 0;
};

// A segment's regions as the table holds them.
struct TRegionsView {
  // Per region, r * 64 + c of the cell that stands for it: a kept area's waypoint, an erased
  // area's first cell.
  std::span<const std::uint16_t> Places;
  // Per region, r * 64 + c of its first cell in row-major order, and the count of its cells.
  std::span<const std::uint16_t> Firsts;
  std::span<const std::uint16_t> Sizes;
  // Contacts with the segment below, and with the segment to the right.
  std::span<const TContact> Down;
  std::span<const TContact> Right;
  int Kept = 0;
};

class TRegionTable {
 public:
  std::size_t Segments() const { return Kept.size(); }
  TRegionsView Of(std::size_t K) const {
    if (!OwnOf.empty() && OwnOf[K] != kShared) return ViewOf(Owned[OwnOf[K]]);
    return {Part(Places, PlaceStart, K), Part(Firsts, PlaceStart, K), Part(Sizes, PlaceStart, K),
            Part(Down, DownStart, K),    Part(Right, RightStart, K),  Kept[K]};
  }
  // A copy of segment K's regions, to be changed and put back.
  TSegmentRegions Copy(std::size_t K) const;

  // Building, segment by segment in grid order: the regions of the next segment, then the contacts
  // that it completes of the segment above it (their Down) and of the one to its left (their
  // Right), which come in grid order too.
  void Reserve(std::size_t Segments);
  std::uint32_t RegionCount() const { return static_cast<std::uint32_t>(Places.size()); }
  void AddRegions(std::uint8_t KeptCount, std::span<const std::uint16_t> SegmentPlaces,
                  std::span<const std::uint16_t> SegmentFirsts,
                  std::span<const std::uint16_t> SegmentSizes);
  std::vector<TContact>& DownList() { return Down; }
  std::vector<TContact>& RightList() { return Right; }
  void EndDownOf() { DownStart.push_back(static_cast<std::uint32_t>(Down.size())); }
  void EndRightOf() { RightStart.push_back(static_cast<std::uint32_t>(Right.size())); }
  // The last row of segments has nothing below, the last segment nothing to its right.
  void Finish();

  // Room for Count segments replaced, so that as many Replace cannot fail.
  void MakeRoom(std::size_t Count);
  void Replace(std::size_t K, TSegmentRegions Regions);

 private:
  static constexpr std::uint32_t kShared = UINT32_MAX;

  template <typename T>
  static std::span<const T> Part(const std::vector<T>& List,
                                 const std::vector<std::uint32_t>& Start, std::size_t K) {
    return {List.data() + Start[K], List.data() + Start[K + 1]};
  }
  static TRegionsView ViewOf(const TSegmentRegions& Own) {
    return {Own.Places, Own.Firsts, Own.Sizes, Own.Down, Own.Right, Own.Kept};
  }

  std::vector<std::uint16_t> Places;
  std::vector<std::uint16_t> Firsts;
  std::vector<std::uint16_t> Sizes;
  std::vector<std::uint32_t> PlaceStart{0};  // of each segment's regions in the three above
  std::vector<std::uint8_t> Kept;
  // Where each segment's contacts begin: a segment's are complete only once the segment below it
  // (or to its right) has come, which is when its start is noted.
  std::vector<TContact> Down;
  std::vector<std::uint32_t> DownStart;
  std::vector<TContact> Right;
  std::vector<std::uint32_t> RightStart;
  std::vector<std::uint32_t> OwnOf;  // empty until the first edit; per segment, kShared or one
  std::vector<TSegmentRegions> Owned;
};

}  // namespace varnholt
