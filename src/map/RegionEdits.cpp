// Edits of an analysed map: the segments a rectangle of cells touches are analysed again, and so
// are their contacts and link bits along every border they share with the segments around them.
// Everything is worked out, and room taken, before anything changes: an edit that fails (out of
// memory) leaves the map as it was.
#include <algorithm>

#include "map/Regions.h"

namespace varnholt {
namespace {

// The segments an edit touches: rows Top to Bottom, columns Left to Last, both included.
struct TBlock {
  std::uint32_t Top, Bottom, Left, Last;
  std::size_t Count() const { return std::size_t{Bottom - Top + 1} * (Last - Left + 1); }
  std::size_t IndexOf(std::uint32_t I, std::uint32_t J) const {
    return std::size_t{I - Top} * (Last - Left + 1) + (J - Left);
  }
  bool Holds(std::uint32_t I, std::uint32_t J) const {
    return I >= Top && I <= Bottom && J >= Left && J <= Last;
  }
};

// Bit k for each of the Count (at most 64) bytes at Bytes that is not 0: eight at a time, each
// byte's nonzero bits folded to its lowest, which a multiplication gathers into the top byte.
std::uint64_t NonzeroBits(const std::uint8_t* Bytes, std::uint32_t Count) {
  std::uint64_t Bits = 0;
  std::uint32_t K = 0;
  for (; K + 8 <= Count; K += 8) {
    std::uint64_t Eight = LoadLE64(Bytes + K);  // byte k in bits 8k ... 8k + 7
    Eight |= Eight >> 4;
    Eight |= Eight >> 2;
    Eight |= Eight >> 1;
    Bits |= ((Eight & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56 << K;
  }
  for (; K < Count; ++K) Bits |= std::uint64_t{Bytes[K] != 0} << K;
  return Bits;
}

// The rectangle's cells written into the rows of segment (I, J), which it crosses.
void Overwrite(TSegmentRows& Cells, std::uint32_t I, std::uint32_t J, TCell Corner,
               std::uint32_t Rows, std::uint32_t Columns, std::span<const std::uint8_t> Blocked) {
  const auto CornerRow = static_cast<std::uint32_t>(Corner.Row);
  const auto CornerColumn = static_cast<std::uint32_t>(Corner.Column);
  // The rectangle's columns within this segment, as bits from the first of them.
  const std::uint32_t First = std::max(CornerColumn, J * kSegmentSide);
  const std::uint32_t End = std::min(CornerColumn + Columns, (J + 1) * kSegmentSide);
  const std::uint32_t Shift = First % kSegmentSide;
  const std::uint64_t Width =
      End - First == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (End - First)) - 1;
  for (std::uint32_t R = 0; R < kSegmentSide; ++R) {
    const std::uint32_t Row = I * kSegmentSide + R;
    if (Row < CornerRow || Row >= CornerRow + Rows) continue;
    const std::uint8_t* Line =
        &Blocked[std::size_t{Row - CornerRow} * Columns + (First - CornerColumn)];
    Cells[R] = (Cells[R] & ~(Width << Shift)) | NonzeroBits(Line, End - First) << Shift;
  }
}

// A segment as an edit leaves it: its regions with their contacts, and its waypoint record.
struct TRenewed {
  std::size_t Segment;
  TSegmentRegions Regions;
  TWaypointSegment Record;
};

// What an edit makes of the block it touches and of the segments beside the block, whose borders
// with it change; corners share no border with it and are left out. The segments above the
// block and to its left keep their regions, but their contacts and links with it are new.
class TRenewal {
 public:
  TRenewal(const TRegionMap& Edited, const TBlock& Touched, const std::vector<TSegmentRows>& After)
      : Map(Edited), Block(Touched), N(Edited.Cells().SegmentsPerSide()) {
    I0 = Block.Top > 0 ? Block.Top - 1 : 0;
    I1 = std::min(Block.Bottom + 1, N - 1);
    J0 = Block.Left > 0 ? Block.Left - 1 : 0;
    J1 = std::min(Block.Last + 1, N - 1);
    Width = J1 - J0 + 1;
    Sides.assign(std::size_t{I1 - I0 + 1} * Width, TRegionSides(kNoRegion));
    Borders.resize(Sides.size());
    Segments.resize(Block.Count());
    Analyse(After);
    RenewDown();
    RenewRight();
  }
  std::vector<TRenewed> Take() { return std::move(Segments); }

 private:
  std::size_t At(std::uint32_t I, std::uint32_t J) const {
    return std::size_t{I - I0} * Width + (J - J0);
  }
  void Analyse(const std::vector<TSegmentRows>& After);
  TRenewed& Renewed(std::uint32_t I, std::uint32_t J, bool Down);
  void RenewDown();
  void RenewRight();

  const TRegionMap& Map;
  const TBlock& Block;
  std::uint32_t N;
  std::uint32_t I0 = 0, I1 = 0, J0 = 0, J1 = 0, Width = 0;
  std::vector<TRegionSides> Sides;    // of every segment of the window, corners left blank
  std::vector<TAreaBorders> Borders;  // likewise
  std::vector<TRenewed> Segments;     // the block's in its order, then those beside it
};

void TRenewal::Analyse(const std::vector<TSegmentRows>& After) {
  const auto Erased = std::make_unique<TComponents>();
  const auto Analysis = std::make_unique<TSegmentAnalysis>();
  TSegmentRegions Unused;
  for (std::uint32_t I = I0; I <= I1; ++I) {
    for (std::uint32_t J = J0; J <= J1; ++J) {
      const bool InRows = I >= Block.Top && I <= Block.Bottom;
      const bool InColumns = J >= Block.Left && J <= Block.Last;
      if (!InRows && !InColumns) continue;  // a corner
      const bool Inside = InRows && InColumns;
      const std::size_t K = std::size_t{I} * N + J;
      AnalyseSegment(Inside ? After[Block.IndexOf(I, J)] : Map.Cells().Rows(K), *Analysis);
      Borders[At(I, J)] = Analysis->Borders;
      if (!Inside) {
        ReadRegions(*Analysis, *Erased, Unused, Sides[At(I, J)]);
        continue;
      }
      TRenewed& Segment = Segments[Block.IndexOf(I, J)];
      Segment.Segment = K;
      Segment.Record = Analysis->Waypoint;  // its links follow
      ReadRegions(*Analysis, *Erased, Segment.Regions, Sides[At(I, J)]);
    }
  }
}

// The renewal of segment (I, J): the block's own, or, for a segment above the block (Down) or to
// its left, a copy of what the map holds, whose links across that border are worked out anew.
TRenewed& TRenewal::Renewed(std::uint32_t I, std::uint32_t J, bool Down) {
  if (Block.Holds(I, J)) return Segments[Block.IndexOf(I, J)];
  const std::size_t K = std::size_t{I} * N + J;
  TRenewed& Beside =
      Segments.emplace_back(TRenewed{K, Map.Table().Copy(K), Map.Records().All()[K]});
  (Down ? Beside.Record.DownLinks : Beside.Record.RightLinks) = {};
  return Beside;
}

void TRenewal::RenewDown() {
  for (std::uint32_t I = std::max(Block.Top, 1u) - 1; I <= Block.Bottom && I + 1 < N; ++I) {
    for (std::uint32_t J = Block.Left; J <= Block.Last; ++J) {
      TRenewed& Segment = Renewed(I, J, true);
      Segment.Regions.Down.clear();
      AddContacts(Sides[At(I, J)].Bottom, Sides[At(I + 1, J)].Top, Segment.Regions.Down);
      LinkDown(Borders[At(I, J)], Borders[At(I + 1, J)], Segment.Record);
    }
  }
}

void TRenewal::RenewRight() {
  for (std::uint32_t I = Block.Top; I <= Block.Bottom; ++I) {
    for (std::uint32_t J = std::max(Block.Left, 1u) - 1; J <= Block.Last && J + 1 < N; ++J) {
      TRenewed& Segment = Renewed(I, J, false);
      Segment.Regions.Right.clear();
      AddContacts(Sides[At(I, J)].Right, Sides[At(I, J + 1)].Left, Segment.Regions.Right);
      LinkRight(Borders[At(I, J)], Borders[At(I, J + 1)], Segment.Record);
    }
  }
}

// The block of segments a rectangle touches, and their cells once the rectangle is written.
struct TEdit {
  TBlock Block;
  std::vector<TSegmentRows> After;
};

TEdit EditOf(const TCellStore& Store, TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
             std::span<const std::uint8_t> Blocked) {
  const auto Row = static_cast<std::uint32_t>(Corner.Row);
  const auto Column = static_cast<std::uint32_t>(Corner.Column);
  TEdit Edit{{Row / kSegmentSide, (Row + Rows - 1) / kSegmentSide, Column / kSegmentSide,
              (Column + Columns - 1) / kSegmentSide},
             {}};
  const std::uint32_t N = Store.SegmentsPerSide();
  Edit.After.reserve(Edit.Block.Count());
  for (std::uint32_t I = Edit.Block.Top; I <= Edit.Block.Bottom; ++I) {
    for (std::uint32_t J = Edit.Block.Left; J <= Edit.Block.Last; ++J) {
      Overwrite(Edit.After.emplace_back(Store.Rows(std::size_t{I} * N + J)), I, J, Corner, Rows,
                Columns, Blocked);
    }
  }
  return Edit;
}

}  // namespace

std::vector<std::pair<std::size_t, TWaypointSegment>> RecordsAfter(
    const TRegionMap& Map, TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
    std::span<const std::uint8_t> Blocked) {
  std::vector<std::pair<std::size_t, TWaypointSegment>> Records;
  if (Rows == 0 || Columns == 0) return Records;
  const TEdit Edit = EditOf(Map.Cells(), Corner, Rows, Columns, Blocked);
  for (const TRenewed& Segment : TRenewal(Map, Edit.Block, Edit.After).Take())
    Records.emplace_back(Segment.Segment, Segment.Record);
  return Records;
}

void TRegionMap::SetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                          std::span<const std::uint8_t> Blocked) {
  if (Rows == 0 || Columns == 0) return;
  const auto [Block, After] = EditOf(Store, Corner, Rows, Columns, Blocked);
  const std::uint32_t N = Store.SegmentsPerSide();
  std::vector<TRenewed> Renewed = TRenewal(*this, Block, After).Take();
  Store.MakeRoom(After.size());
  Regions.MakeRoom(Renewed.size());
  // Nothing fails from here on. The edited segments' contacts are kept by them and by the
  // segments above and to the left.
  Connectivity->MakeStale(Block.Top > 0 ? Block.Top - 1 : 0, Block.Bottom,
                          Block.Left > 0 ? Block.Left - 1 : 0, Block.Last);
  // What queries worked out of a segment holds for its cells and its borders: the ring about the
  // block shares borders with it.
  Cached.Drop(N, Block.Top > 0 ? Block.Top - 1 : 0, std::min(Block.Bottom + 1, N - 1),
              Block.Left > 0 ? Block.Left - 1 : 0, std::min(Block.Last + 1, N - 1));
  for (std::uint32_t I = Block.Top; I <= Block.Bottom; ++I) {
    for (std::uint32_t J = Block.Left; J <= Block.Last; ++J) {
      Store.SetRows(std::size_t{I} * N + J, After[Block.IndexOf(I, J)]);
    }
  }
  for (TRenewed& Segment : Renewed) {
    Regions.Replace(Segment.Segment, std::move(Segment.Regions));
    WaypointRecords.All()[Segment.Segment] = Segment.Record;
  }
  Followers->Tell(Block.Top, Block.Bottom, Block.Left, Block.Last);
}

}  // namespace varnholt
