#include "map/CellStore.h"

#include <algorithm>

namespace varnholt {

TSegmentRows TCellStore::Rows(std::size_t K) const {
  return IsEdited(K) ? EditedRows[Edited[K]] : Level0.Rows(K);
}

bool TCellStore::IsOpen(TCell Cell) const {
  const TSegmentCell At = Locate(Cell);
  const int R = At.Cell / kSegmentSide;
  const int C = At.Cell % kSegmentSide;
  if (IsEdited(At.Segment)) {
    return (EditedRows[Edited[At.Segment]][static_cast<std::size_t>(R)] >> C & 1) == 0;
  }
  return !Level0.IsBlocked(At.Segment, R, C);
}

void TCellStore::GetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                          std::span<std::uint8_t> Blocked) const {
  const auto Top = static_cast<std::uint32_t>(Corner.Row);
  const auto Left = static_cast<std::uint32_t>(Corner.Column);
  for (std::uint32_t I = Top / kSegmentSide; I <= (Top + Rows - 1) / kSegmentSide; ++I) {
    for (std::uint32_t J = Left / kSegmentSide; J <= (Left + Columns - 1) / kSegmentSide; ++J) {
      const TSegmentRows Cells = this->Rows(std::size_t{I} * Side + J);
      const std::uint32_t RowEnd = std::min(Top + Rows, (I + 1) * kSegmentSide);
      const std::uint32_t ColumnEnd = std::min(Left + Columns, (J + 1) * kSegmentSide);
      for (std::uint32_t Row = std::max(Top, I * kSegmentSide); Row < RowEnd; ++Row) {
        const std::uint64_t Word = Cells[Row % kSegmentSide];
        std::uint8_t* Line = &Blocked[std::size_t{Row - Top} * Columns];
        for (std::uint32_t Column = std::max(Left, J * kSegmentSide); Column < ColumnEnd;
             ++Column) {
          Line[Column - Left] = static_cast<std::uint8_t>(Word >> (Column % kSegmentSide) & 1);
        }
      }
    }
  }
}

void TCellStore::MakeRoom(std::size_t Segments) {
  if (Edited.empty()) Edited.assign(std::size_t{Side} * Side, kAsRead);
  ReserveMore(EditedRows, Segments);
}

void TCellStore::SetRows(std::size_t K, const TSegmentRows& Blocked) {
  if (Edited[K] == kAsRead) {
    EditedRows.push_back(Blocked);
    Edited[K] = static_cast<std::uint32_t>(EditedRows.size() - 1);
  }
  EditedRows[Edited[K]] = Blocked;
}

std::size_t TCellStore::RecordBytes() const {
  std::size_t Bytes = 0;
  for (std::size_t K = 0; K < Segments(); ++K) {
    Bytes += IsEdited(K) ? varnholt::RecordBytes(RecordTag(EditedRows[Edited[K]]))
                         : Level0.Record(K).size();
  }
  return Bytes;
}

void TCellStore::WriteRecords(TWriter& File) const {
  for (std::size_t K = 0; K < Segments(); ++K) {
    if (IsEdited(K)) {
      WriteSegment(File, EditedRows[Edited[K]]);
    } else {
      WriteAll(File, Level0.Record(K));
    }
  }
}

}  // namespace varnholt
