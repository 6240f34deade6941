#include "map/SegmentRegions.h"

#include <algorithm>
#include <bit>

namespace varnholt {
namespace {

std::uint16_t FirstCellOf(const TSegmentRows& Rows) {
  for (std::size_t R = 0; R < Rows.size(); ++R) {
    if (Rows[R] != 0)
      return static_cast<std::uint16_t>(R * kSegmentSide + std::countr_zero(Rows[R]));
  }
  return 0;
}

std::uint16_t CellCount(const TSegmentRows& Rows) {
  int Count = 0;
  for (const std::uint64_t Row : Rows) Count += std::popcount(Row);
  return static_cast<std::uint16_t>(Count);
}

void AddRegion(TSegmentRegions& Regions, std::uint16_t Place, std::uint16_t First,
               std::uint16_t Size) {
  Regions.Places.push_back(Place);
  Regions.Firsts.push_back(First);
  Regions.Sizes.push_back(Size);
}

void ReadKeptAreas(const TSegmentAnalysis& Segment, TSegmentRegions& Regions, TRegionSides& Sides) {
  const TAreaMasks& Masks = Segment.Masks;
  for (std::size_t A = 0; A < static_cast<std::size_t>(Masks.Count); ++A) {
    const auto& Point = Segment.Waypoint.Points[A];  // column, row
    AddRegion(Regions, static_cast<std::uint16_t>(Point[1] * kSegmentSide + Point[0]),
              FirstCellOf(Masks.Rows[A]), CellCount(Masks.Rows[A]));
    const auto Region = static_cast<std::uint16_t>(A);
    TRegionSides::Mark(Segment.Borders.Top[A], Region, Sides.Top);
    TRegionSides::Mark(Segment.Borders.Bottom[A], Region, Sides.Bottom);
    TRegionSides::Mark(Segment.Borders.Left[A], Region, Sides.Left);
    TRegionSides::Mark(Segment.Borders.Right[A], Region, Sides.Right);
  }
}

void ReadErasedAreas(const TSegmentAnalysis& Segment, TComponents& Erased, TSegmentRegions& Regions,
                     TRegionSides& Sides) {
  const TSegmentRows Cells = ErasedCells(Segment.Blocked, Segment.Masks);
  // Most segments have no area beyond the fourth: nothing to label then.
  if (AllRowsAre(Cells, 0)) return;
  Erased.Label(Cells);
  for (int C = 0; C < Erased.Count(); ++C) {
    AddRegion(Regions, Erased.FirstCell(C), Erased.FirstCell(C), Erased.Cells(C));
  }
  for (int R = 0; R < kSegmentSide; ++R) {
    Erased.ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
      Sides.MarkRow(static_cast<std::size_t>(R), Run,
                    static_cast<std::uint16_t>(Segment.Masks.Count + Component));
    });
  }
}

}  // namespace

void ReadRegions(const TSegmentAnalysis& Segment, TComponents& Erased, TSegmentRegions& Regions,
                 TRegionSides& Sides) {
  Regions.Places.clear();
  Regions.Firsts.clear();
  Regions.Sizes.clear();
  Regions.Kept = static_cast<std::uint8_t>(Segment.Masks.Count);
  ReadKeptAreas(Segment, Regions, Sides);
  ReadErasedAreas(Segment, Erased, Regions, Sides);
}

void AddContacts(const TRegionSides::TSide& Own, const TRegionSides::TSide& Other,
                 std::vector<TContact>& List) {
  const auto Begin = static_cast<std::ptrdiff_t>(List.size());
  const auto SamePair = [](const TContact& A, const TContact& B) {
    return A.Own == B.Own && A.Other == B.Other;
  };
  for (std::size_t K = 0; K < Own.size(); ++K) {
    if (Own[K] == kNoRegion || Other[K] == kNoRegion) continue;
    const auto At = static_cast<std::uint8_t>(K);
    const TContact Contact{Own[K], Other[K], At, At};
    if (List.size() > static_cast<std::size_t>(Begin) && SamePair(List.back(), Contact)) {
      List.back().Last = At;
    } else {
      List.push_back(Contact);
    }
  }
  // Along a border the same two regions mostly meet in one stretch: few are left to sort.
  if (List.size() - static_cast<std::size_t>(Begin) < 2) return;
  std::sort(List.begin() + Begin, List.end());
  auto Kept = List.begin() + Begin;
  for (auto Next = Kept + 1; Next != List.end(); ++Next) {
    if (SamePair(*Kept, *Next)) {
      Kept->Last = std::max(Kept->Last, Next->Last);
    } else {
      *++Kept = *Next;
    }
  }
  List.erase(Kept + 1, List.end());
}

}  // namespace varnholt
