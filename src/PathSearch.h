// Paths on an analysed map. Every open area of every segment is a region: the four kept areas,
// whose waypoints and links make the waypoint graph, and the erased ones. Regions that touch
// across a segment border are joined, so the regions connect exactly what the grid connects. A
// query searches the regions from the start's to the goal's, each standing at its waypoint (an
// erased one at its first cell), and then the cells of the segments along that way, so that its
// cost grows with the path rather than with the map.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "AreaUtils.h"
#include "SegUtils.h"

namespace varnholt {

// A cell of the whole map.
struct TMapCell {
  std::uint32_t Row = 0;
  std::uint32_t Column = 0;
  friend bool operator==(const TMapCell&, const TMapCell&) = default;
};

// The cells of a map, as the level-0 map's records hold them.
class TCellStore {
 public:
  TCellStore() = default;
  explicit TCellStore(TLevel0Records Records, std::uint32_t SegmentsPerSide)
      : Level0(std::move(Records)), Side(SegmentsPerSide) {}
  std::uint32_t SegmentsPerSide() const { return Side; }
  std::uint32_t CellsPerSide() const { return Side * kSegmentSide; }
  TSegmentRows Rows(std::size_t K) const { return Level0.Rows(K); }  // blocked cells
  bool IsInside(TMapCell Cell) const {
    return Cell.Row < CellsPerSide() && Cell.Column < CellsPerSide();
  }
  bool IsOpen(TMapCell Cell) const;

 private:
  TLevel0Records Level0;
  std::uint32_t Side = 0;
};

// Two regions that touch across a border: one of this segment, one of its neighbour's.
struct TContact {
  std::uint16_t Own = 0;
  std::uint16_t Other = 0;
  friend auto operator<=>(const TContact&, const TContact&) = default;
};

// The regions of a map, segment by segment in grid order. A segment's region a - 1 is its kept
// area a; the erased areas follow, in the row-major order of their first cells.
class TRegionMap {
 public:
  const TCellStore& Cells() const { return Store; }
  std::size_t Regions() const { return Places.size(); }
  // Index of segment K's first region among all; Regions() for K one past the last segment.
  std::uint32_t FirstRegion(std::size_t K) const { return PlaceStart[K]; }
  // Per region, r * 64 + c of the cell that stands for it: a kept area's waypoint, an erased
  // area's first cell.
  std::span<const std::uint16_t> PlacesOf(std::size_t K) const {
    return {Places.data() + PlaceStart[K], Places.data() + PlaceStart[K + 1]};
  }
  int KeptOf(std::size_t K) const { return Kept[K]; }
  // Contacts with the segment below, and with the segment to the right.
  std::span<const TContact> DownOf(std::size_t K) const { return Of(Down, DownStart, K); }
  std::span<const TContact> RightOf(std::size_t K) const { return Of(Right, RightStart, K); }
  // Regions that share it are connected; by a region's index among all.
  std::uint32_t ComponentOf(std::uint32_t Region) const { return Component[Region]; }

 private:
  friend class TRegionBuilder;
  static std::span<const TContact> Of(const std::vector<TContact>& List,
                                      const std::vector<std::uint32_t>& Start, std::size_t K) {
    return {List.data() + Start[K], List.data() + Start[K + 1]};
  }

  TCellStore Store;
  std::vector<std::uint16_t> Places;
  std::vector<std::uint32_t> PlaceStart;
  std::vector<std::uint8_t> Kept;
  std::vector<TContact> Down;
  std::vector<std::uint32_t> DownStart;
  std::vector<TContact> Right;
  std::vector<std::uint32_t> RightStart;
  std::vector<std::uint32_t> Component;
};

// Builds the regions one segment at a time, in grid order, from the areas the converter keeps of
// each and its waypoint record, so that nothing is labelled twice.
class TRegionBuilder {
 public:
  explicit TRegionBuilder(std::uint32_t SegmentsPerSide);
  ~TRegionBuilder();
  void Add(std::size_t K, const TSegmentAnalysis& Segment);
  // The regions, with the map's cells, which the builder takes.
  TRegionMap Finish(TLevel0Records Cells);

 private:
  struct TSweep;
  std::unique_ptr<TSweep> Sweep;
};

// The kept area of the cell, 1 ... 4, or 0 for a blocked cell or a cell of an erased area.
int AreaOf(const TRegionMap& Map, TMapCell Cell);

// A path of 4-adjacent open cells from Start to Goal, both included; empty when the grid connects
// none. Fails with "Cell outside the map: ROW, COLUMN" or "Cell blocked: ROW, COLUMN". The same
// query gives the same path every time; queries may run on several threads at once.
std::vector<TMapCell> FindPath(const TRegionMap& Map, TMapCell Start, TMapCell Goal);

// Whether the grid connects two open cells, as the map knows since it was analysed.
bool AreConnected(const TRegionMap& Map, TMapCell Start, TMapCell Goal);

// The number of steps of a shortest path, by a search of the whole grid; -1 when there is none.
std::int64_t ShortestPathLength(const TRegionMap& Map, TMapCell Start, TMapCell Goal);

}  // namespace varnholt
