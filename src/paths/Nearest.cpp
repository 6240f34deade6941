#include "paths/Nearest.h"

#include <algorithm>
#include <bit>
#include <memory>
#include <vector>

#include "analysis/KeyTable.h"

namespace varnholt {
namespace {

// The nearest found so far, by squared distance, then row, then column.
struct TNearest {
  std::int64_t Squared = INT64_MAX;
  TCell Cell{};
  void Consider(std::int64_t Distance, TCell Candidate) {
    if (Distance > Squared) return;
    if (Distance == Squared && (Candidate.Row > Cell.Row ||
                                (Candidate.Row == Cell.Row && Candidate.Column >= Cell.Column)))
      return;
    Squared = Distance;
    Cell = Candidate;
  }
};

std::int64_t Square(std::int64_t Value) {
  return Value * Value;
}

// How far Value lies outside First ... First + 63.
std::int64_t Outside(std::int64_t Value, std::int64_t First) {
  return Value < First ? First - Value : std::max<std::int64_t>(Value - (First + 63), 0);
}

// The least squared distance from Place to any cell of segment (I, J).
std::int64_t LeastSquared(TCell Place, std::int64_t I, std::int64_t J) {
  return Square(Outside(Place.Row, I * kSegmentSide)) +
         Square(Outside(Place.Column, J * kSegmentSide));
}

// The cells of segment K in regions of Component, a row word each; empty where it has none.
TSegmentRows CellsOfComponent(const TRegionMap& Map, std::size_t K, std::uint64_t Component) {
  TSegmentRows Cells{};
  std::vector<std::uint8_t> Holds(Map.Of(K).Places.size());
  for (std::size_t Region = 0; Region < Holds.size(); ++Region)
    Holds[Region] = Map.ComponentOf(K, static_cast<unsigned>(Region)) == Component ? 1 : 0;
  if (std::find(Holds.begin(), Holds.end(), 1) == Holds.end()) return Cells;
  const TSegmentRows Blocked = Map.Cells().Rows(K);
  TAreaMasks Masks;
  LabelAreaMasks(Blocked, Masks);
  for (std::size_t A = 0; A < static_cast<std::size_t>(Masks.Count); ++A) {
    if (Holds[A] == 0) continue;
    for (std::size_t R = 0; R < Cells.size(); ++R) Cells[R] |= Masks.Rows[A][R];
  }
  if (std::find(Holds.begin() + Masks.Count, Holds.end(), 1) == Holds.end()) return Cells;
  const auto Erased = std::make_unique<TComponents>();
  Erased->Label(ErasedCells(Blocked, Masks));
  for (int R = 0; R < kSegmentSide; ++R) {
    Erased->ForRunsOfRow(R, [&](int Region, std::uint64_t Run) {
      if (Holds[static_cast<std::size_t>(Masks.Count + Region)] != 0)
        Cells[static_cast<std::size_t>(R)] |= Run;
    });
  }
  return Cells;
}

// The cell of Cells (of segment K) nearest Place: in each row, the cells on either side of
// Place's column nearest to it.
void ConsiderSegment(const TRegionMap& Map, std::size_t K, const TSegmentRows& Cells, TCell Place,
                     TNearest& Nearest) {
  const TCell Origin = Map.Cells().CellOf(K, 0);
  const std::int64_t Column = std::clamp<std::int64_t>(Place.Column - Origin.Column, 0, 63);
  for (int R = 0; R < kSegmentSide; ++R) {
    const std::uint64_t Row = Cells[static_cast<std::size_t>(R)];
    if (Row == 0) continue;
    const std::uint64_t Left = Row & (~std::uint64_t{0} >> (63 - Column));  // columns 0 ... Column
    const std::uint64_t Right = Row & (~std::uint64_t{0} << Column);
    const std::int32_t CellRow = Origin.Row + R;
    const int Nearer[2] = {Left != 0 ? static_cast<int>(std::bit_width(Left)) - 1 : -1,
                           Right != 0 ? std::countr_zero(Right) : -1};
    for (const int C : Nearer) {
      if (C < 0) continue;
      const TCell Candidate{CellRow, Origin.Column + C};
      Nearest.Consider(Square(Candidate.Row - std::int64_t{Place.Row}) +
                           Square(Candidate.Column - std::int64_t{Place.Column}),
                       Candidate);
    }
  }
}

// The segments of a component no larger than Most regions, found by going from region to region
// across their contacts from one of them; empty when the component is larger.
std::vector<std::size_t> SegmentsOfSmallComponent(const TRegionMap& Map, std::size_t K0,
                                                  unsigned Region0, std::size_t Most) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  TKeyTable Seen;
  std::vector<std::uint64_t> Queue;
  const auto Visit = [&](std::size_t K, unsigned Region) {
    const std::uint64_t Node = std::uint64_t{K} << 16 | Region;
    if (Seen.Find(Node) != TKeyTable::kMissing) return;
    Seen.Add(Node);
    Queue.push_back(Node);
  };
  Visit(K0, Region0);
  for (std::size_t Next = 0; Next < Queue.size() && Queue.size() <= Most; ++Next) {
    const auto K = static_cast<std::size_t>(Queue[Next] >> 16);
    const auto Region = static_cast<unsigned>(Queue[Next] & 0xFFFF);
    for (const TContact& C : Map.Of(K).Down) {
      if (C.Own == Region) Visit(K + N, C.Other);
    }
    for (const TContact& C : Map.Of(K).Right) {
      if (C.Own == Region) Visit(K + 1, C.Other);
    }
    for (const TContact& C :
         HasSegmentBeside(K, N, kUp) ? Map.Of(K - N).Down : TRegionsView{}.Down) {
      if (C.Other == Region) Visit(K - N, C.Own);
    }
    for (const TContact& C :
         HasSegmentBeside(K, N, kLeft) ? Map.Of(K - 1).Right : TRegionsView{}.Right) {
      if (C.Other == Region) Visit(K - 1, C.Own);
    }
  }
  std::vector<std::size_t> Segments;
  if (Queue.size() > Most) return Segments;
  for (const std::uint64_t Node : Queue) Segments.push_back(static_cast<std::size_t>(Node >> 16));
  std::sort(Segments.begin(), Segments.end());
  Segments.erase(std::unique(Segments.begin(), Segments.end()), Segments.end());
  return Segments;
}

// Looks at segment K unless it lies farther from Place than the nearest found.
void Consider(const TRegionMap& Map, std::size_t K, std::uint64_t Component, TCell Place,
              TNearest& Nearest) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  if (LeastSquared(Place, static_cast<std::int64_t>(K / N), static_cast<std::int64_t>(K % N)) >
      Nearest.Squared) {
    return;
  }
  const TSegmentRows Cells = CellsOfComponent(Map, K, Component);
  if (!AllRowsAre(Cells, 0)) ConsiderSegment(Map, K, Cells, Place, Nearest);
}

// Rings of segments about Place's, one after another, until no segment further out can hold a
// nearer cell than the nearest found.
void ConsiderRings(const TRegionMap& Map, std::uint64_t Component, TCell Place, TNearest& Nearest) {
  const auto N = static_cast<std::int64_t>(Map.Cells().SegmentsPerSide());
  const std::int64_t I0 = Place.Row / kSegmentSide, J0 = Place.Column / kSegmentSide;
  for (std::int64_t Ring = 0; Ring <= N; ++Ring) {
    // The nearest any segment of this ring can be.
    if (Ring > 0 && Square((Ring - 1) * kSegmentSide + 1) > Nearest.Squared) break;
    for (std::int64_t I = I0 - Ring; I <= I0 + Ring; ++I) {
      const std::int64_t Step =
          I == I0 - Ring || I == I0 + Ring ? 1 : std::max<std::int64_t>(2 * Ring, 1);
      for (std::int64_t J = J0 - Ring; J <= J0 + Ring; J += Step) {
        if (I >= 0 && J >= 0 && I < N && J < N)
          Consider(Map, static_cast<std::size_t>(I * N + J), Component, Place, Nearest);
      }
    }
  }
}

// Regions a component may have and still be gone through whole before the rings about Place.
constexpr std::size_t kSmallComponent = 256;

}  // namespace

TCell NearestCellOf(const TRegionMap& Map, TCell Inside, TCell Place) {
  const TSegmentCell At = Map.Cells().Locate(Inside);
  const std::uint16_t Region = RegionOf(Map, Inside);
  const std::uint64_t Component = Map.ComponentOf(At.Segment, Region);
  TNearest Nearest;
  std::vector<std::size_t> Segments =
      SegmentsOfSmallComponent(Map, At.Segment, Region, kSmallComponent);
  if (Segments.empty()) {
    ConsiderRings(Map, Component, Place, Nearest);
    return Nearest.Cell;
  }
  const std::size_t N = Map.Cells().SegmentsPerSide();
  const auto Least = [&](std::size_t K) {
    return LeastSquared(Place, static_cast<std::int64_t>(K / N), static_cast<std::int64_t>(K % N));
  };
  std::sort(Segments.begin(), Segments.end(),
            [&](std::size_t A, std::size_t B) { return Least(A) < Least(B); });
  for (const std::size_t K : Segments) Consider(Map, K, Component, Place, Nearest);
  return Nearest.Cell;
}

}  // namespace varnholt
