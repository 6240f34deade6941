// The cells of an analysed map: the level-0 map's records as read, and the segments edited since,
// which hold their cells as row words. Segments never edited keep their records byte for byte.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/SegUtils.h"

namespace varnholt {

// A cell of the map as its segment, counted in grid order, and r * 64 + c within it.
struct TSegmentCell {
  std::uint64_t Segment;
  int Cell;
};

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
  bool IsEdited(std::size_t K) const { return !Edited.empty() && Edited[K] != kAsRead; }

  static constexpr std::uint32_t kAsRead = UINT32_MAX;
  TLevel0Records Level0;
  std::uint32_t Side = 0;
  std::vector<std::uint32_t> Edited;  // empty until the first edit; per segment, its rows or none
  std::vector<TSegmentRows> EditedRows;
};

}  // namespace varnholt
