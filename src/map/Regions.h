// A level-0 map analysed for searching and editing: its cells, and its regions. Every open area
// of every segment is a region: the four kept areas, whose waypoints and links make the waypoint
// graph, and the erased ones. Regions that touch across a segment border are in contact, so the
// regions connect exactly what the grid connects. An edit of cells analyses again only the
// segments it touches and the contacts along their borders.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "analysis/AreaUtils.h"
#include "format/SegUtils.h"

namespace varnholt {

// "ROW, COLUMN": how failures and reports name a cell.
std::string CellText(TCell Cell);

// A cell of the map as its segment, counted in grid order, and r * 64 + c within it.
struct TSegmentCell {
  std::uint64_t Segment;
  int Cell;
};

// The cells of a map: the level-0 map's records as read, and the segments edited since.
class TCellStore {
 public:
  TCellStore() = default;
  TCellStore(TLevel0Records Records, std::uint32_t SegmentsPerSide)
      : Level0(std::move(Records)), Side(SegmentsPerSide) {}
  std::uint32_t SegmentsPerSide() const { return Side; }
  std::uint32_t CellsPerSide() const { return Side * kSegmentSide; }
  std::size_t Segments() const { return std::size_t{Side} * Side; }
  TSegmentRows Rows(std::size_t K) const;  // blocked cells
  bool IsInside(TCell Cell) const {
    const auto Cells = static_cast<std::int64_t>(CellsPerSide());
    return Cell.Row >= 0 && Cell.Column >= 0 && Cell.Row < Cells && Cell.Column < Cells;
  }
  bool IsOpen(TCell Cell) const;
  // The cells of the rectangle of Rows x Columns cells at Corner, which lies inside the map, one
  // byte per cell, row by row: 1 blocked, 0 open.
  void GetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                std::span<std::uint8_t> Blocked) const;
  // A cell inside the map.
  TSegmentCell Locate(TCell Cell) const {
    const auto Row = static_cast<std::uint32_t>(Cell.Row);
    const auto Column = static_cast<std::uint32_t>(Cell.Column);
    return {std::uint64_t{Row / kSegmentSide} * Side + Column / kSegmentSide,
            static_cast<int>(Row % kSegmentSide * kSegmentSide + Column % kSegmentSide)};
  }
  // Cell (r, c) of segment K as a cell of the map.
  TCell CellOf(std::size_t K, int Cell) const {
    const auto Within = static_cast<unsigned>(Cell);
    return {static_cast<std::int32_t>(K / Side * kSegmentSide + Within / kSegmentSide),
            static_cast<std::int32_t>(K % Side * kSegmentSide + Within % kSegmentSide)};
  }
  // Room for Segments more edited segments, so that as many SetRows cannot fail.
  void MakeRoom(std::size_t Segments);
  void SetRows(std::size_t K, const TSegmentRows& Blocked);
  // The records of a level-0 map file: as read for the segments never edited, the others as
  // written anew, with a filled record's tag where every cell is alike.
  void WriteRecords(TWriter& File) const;
  std::size_t RecordBytes() const;  // what WriteRecords writes

 private:
  TLevel0Records Level0;
  std::uint32_t Side = 0;
  std::vector<std::uint32_t> Edited;  // empty until the first edit; per segment, its rows or none
  std::vector<TSegmentRows> EditedRows;
};

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

class TRegionMap {
 public:
  TRegionMap();
  ~TRegionMap();
  TRegionMap(TRegionMap&&) noexcept;
  TRegionMap& operator=(TRegionMap&&) noexcept;

  const TCellStore& Cells() const { return Store; }
  // Per region, r * 64 + c of the cell that stands for it: a kept area's waypoint, an erased
  // area's first cell.
  std::span<const std::uint16_t> PlacesOf(std::size_t K) const;
  // Per region, r * 64 + c of its first cell in row-major order, and the count of its cells.
  std::span<const std::uint16_t> FirstsOf(std::size_t K) const;
  std::span<const std::uint16_t> SizesOf(std::size_t K) const;
  int KeptOf(std::size_t K) const;
  // Contacts with the segment below, and with the segment to the right.
  std::span<const TContact> DownOf(std::size_t K) const;
  std::span<const TContact> RightOf(std::size_t K) const;
  // Regions that share it are connected. Worked out once the map is built, and again after
  // edits by the first call that needs it; calls may come from several threads at once.
  std::uint64_t ComponentOf(std::size_t K, unsigned Region) const;
  // What connects, worked out now rather than by the next call that needs it.
  void WorkOutConnectivity() const;

  // Sets the cells of the rectangle of Rows x Columns cells at Corner, which lies inside the
  // map, from one byte per cell, row by row (0 open, anything else blocked), and analyses again
  // the segments it touches and the contacts along their borders. Not while queries run.
  void SetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                std::span<const std::uint8_t> Blocked);

 private:
  friend class TRegionBuilder;
  struct TConnectivity;
  // The segments an edit touches: rows Top to Bottom, columns Left to Last, both included.
  struct TBlock {
    std::uint32_t Top, Bottom, Left, Last;
    std::size_t Count() const { return std::size_t{Bottom - Top + 1} * (Last - Left + 1); }
    std::size_t IndexOf(std::uint32_t I, std::uint32_t J) const {
      return std::size_t{I - Top} * (Last - Left + 1) + (J - Left);
    }
  };
  // Segments with the regions they are to have.
  using TRenewal = std::vector<std::pair<std::size_t, TSegmentRegions>>;

  bool IsOwn(std::size_t K) const { return !OwnOf.empty() && OwnOf[K] != kShared; }
  TSegmentRegions Copy(std::size_t K) const;
  std::vector<TSegmentRows> RowsAfter(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                                      std::span<const std::uint8_t> Blocked,
                                      const TBlock& Block) const;
  TRenewal RegionsAfter(const TBlock& Block, const std::vector<TSegmentRows>& After) const;

  static constexpr std::uint32_t kShared = UINT32_MAX;

  TCellStore Store;
  // The regions as built, in grid order, each segment's from its start to the next one's.
  std::vector<std::uint16_t> Places;
  std::vector<std::uint16_t> Firsts;
  std::vector<std::uint16_t> Sizes;
  std::vector<std::uint32_t> PlaceStart;  // of each segment's regions in the three above
  std::vector<std::uint8_t> Kept;
  std::vector<TContact> Down;
  std::vector<std::uint32_t> DownStart;
  std::vector<TContact> Right;
  std::vector<std::uint32_t> RightStart;
  // Segments changed by edits (or beside them) hold their regions of their own.
  std::vector<std::uint32_t> OwnOf;  // empty until the first edit; per segment, kShared or one
  std::vector<TSegmentRegions> Owned;
  std::unique_ptr<TConnectivity> Connectivity;
};

// Builds the regions one segment at a time, in grid order, from the converter's analysis of
// each, so that nothing is labelled twice.
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
int AreaOf(const TRegionMap& Map, TCell Cell);
// The region of an open cell within its segment, by labelling the segment again as the map was
// built.
std::uint16_t RegionOf(const TRegionMap& Map, TCell Cell);
// The region of every cell of segment K, cell (r, c) at r * 64 + c, kNoRegion where blocked;
// returns the count of its regions.
inline constexpr std::uint16_t kNoRegion = UINT16_MAX;
int SegmentRegions(const TRegionMap& Map, std::size_t K, std::span<std::uint16_t, 4096> Regions);
// Segment K's waypoint record as the converter makes it: the kept regions' places, the area mask,
// and a link for every contact of two kept regions.
TWaypointSegment WaypointRecordOf(const TRegionMap& Map, std::size_t K);
// Every segment's, in grid order: the waypoint map's records.
TWaypointSegments WaypointRecordsOf(const TRegionMap& Map);

}  // namespace varnholt
