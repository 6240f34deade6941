// A level-0 map analysed for searching and editing: its cells, its regions and the waypoint map's
// records. Every open area of every segment is a region: the four kept areas, whose waypoints and
// links make the waypoint graph, and the erased ones. Regions that touch across a segment border
// are in contact, so the regions connect exactly what the grid connects. An edit of cells
// analyses again only the segments it touches and the contacts along their borders.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "analysis/AreaUtils.h"
#include "format/SegUtils.h"
#include "map/CellStore.h"
#include "map/Connectivity.h"
#include "map/EditFollowers.h"
#include "map/RegionTable.h"
#include "map/SegmentCache.h"
#include "map/SegmentRegions.h"

namespace varnholt {

class TRegionMap {
 public:
  TRegionMap();
  ~TRegionMap();
  TRegionMap(TRegionMap&&) noexcept;
  TRegionMap& operator=(TRegionMap&&) noexcept;

  const TCellStore& Cells() const { return Store; }
  const TRegionTable& Table() const { return Regions; }
  TRegionsView Of(std::size_t K) const { return Regions.Of(K); }
  // The waypoint map's records, as the conversion of the map as it now stands makes them.
  const TWaypointSegments& Records() const { return WaypointRecords; }
  // Regions that share it are connected. Worked out once the map is built, and again after
  // edits by the first call that needs it; calls may come from several threads at once.
  std::uint64_t ComponentOf(std::size_t K, unsigned Region) const {
    WorkOutConnectivity();
    return Connectivity->ComponentOf(K, Region);
  }
  // What queries work out per segment on first use, dropped for the segments an edit touches.
  const TSegmentCache& Cache() const { return Cached; }
  // Work of its own over the map's cells that is to follow its edits; it must stop following
  // before it goes, and before the map does.
  void Follow(TEditFollower* Follower) const { Followers->Add(Follower); }
  void Unfollow(TEditFollower* Follower) const { Followers->Remove(Follower); }
  // What connects, worked out now rather than by the next call that needs it.
  void WorkOutConnectivity() const { Connectivity->Update(Regions, Store.SegmentsPerSide()); }

  // Sets the cells of the rectangle of Rows x Columns cells at Corner, which lies inside the
  // map, from one byte per cell, row by row (0 open, anything else blocked), and analyses again
  // the segments it touches, their records and the contacts along their borders. Not while
  // queries run.
  void SetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                std::span<const std::uint8_t> Blocked);

 private:
  friend class TRegionBuilder;

  TCellStore Store;
  TRegionTable Regions;
  TWaypointSegments WaypointRecords;
  std::unique_ptr<TConnectivity> Connectivity;
  TSegmentCache Cached;
  std::unique_ptr<TEditFollowers> Followers = std::make_unique<TEditFollowers>();
};

// Builds the regions one segment at a time, in grid order, from the converter's analysis of
// each, so that nothing is labelled twice.
class TRegionBuilder {
 public:
  explicit TRegionBuilder(std::uint32_t SegmentsPerSide);
  ~TRegionBuilder();
  void Add(std::size_t K, const TSegmentAnalysis& Segment);
  // The map, which takes the cells and the waypoint records the conversion made beside the
  // regions.
  TRegionMap Finish(TLevel0Records Cells, TWaypointSegments Records);

 private:
  struct TState;
  std::unique_ptr<TState> State;
};

// The waypoint records an edit of the rectangle would give the segments whose records it changes
// (those it touches, and those above and to the left of them), the map left as it is.
std::vector<std::pair<std::size_t, TWaypointSegment>> RecordsAfter(
    const TRegionMap& Map, TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
    std::span<const std::uint8_t> Blocked);

// The kept area of the cell, 1 ... 4, or 0 for a blocked cell or a cell of an erased area.
int AreaOf(const TRegionMap& Map, TCell Cell);
// The kept areas of segment K as an area map, cell (r, c) at r * 64 + c, 0 for no area; returns
// their count.
int SegmentAreas(const TRegionMap& Map, std::size_t K, std::span<std::uint8_t, 4096> Areas);
// The region of an open cell within its segment, by labelling the segment again as the map was
// built.
std::uint16_t RegionOf(const TRegionMap& Map, TCell Cell);
// The region of every cell of segment K, cell (r, c) at r * 64 + c, kNoRegion where blocked;
// returns the count of its regions.
int SegmentRegions(const TRegionMap& Map, std::size_t K, std::span<std::uint16_t, 4096> Regions);
// The cells of segment K's regions R with Wanted[R] set, one entry per region of the segment.
TSegmentRows RegionCells(const TRegionMap& Map, std::size_t K,
                         std::span<const std::uint8_t> Wanted);

}  // namespace varnholt
