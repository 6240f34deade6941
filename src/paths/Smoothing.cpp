#include "paths/Smoothing.h"

#include <cmath>
#include <cstdlib>

namespace varnholt {
namespace {

// The open cells of the segments a line passes, the last one kept at hand: lines stay in a few.
class TOpenCells {
 public:
  explicit TOpenCells(const TCellStore& Store) : Cells(Store) {}
  bool IsOpen(std::int64_t Row, std::int64_t Column) {
    const TCell Cell{static_cast<std::int32_t>(Row), static_cast<std::int32_t>(Column)};
    if (!Cells.IsInside(Cell)) return false;
    const TSegmentCell At = Cells.Locate(Cell);
    if (At.Segment != Segment) {
      Segment = At.Segment;
      Blocked = Cells.Rows(Segment);
    }
    return (Blocked[static_cast<std::size_t>(At.Cell / kSegmentSide)] >> (At.Cell % kSegmentSide) &
            1) == 0;
  }

 private:
  const TCellStore& Cells;
  std::uint64_t Segment = UINT64_MAX;
  TSegmentRows Blocked{};
};

// The cells the line from A's centre to B's touches, from A to B, each given to Visit until it
// returns false: a step across a column's edge or a row's, whichever the line meets first, and
// where it meets both at once, at a corner, the two cells beside the corner as well.
template <typename F>
bool AllTouched(TCell A, TCell B, F Visit) {
  const std::int64_t Rows = std::abs(std::int64_t{B.Row} - A.Row);
  const std::int64_t Columns = std::abs(std::int64_t{B.Column} - A.Column);
  const std::int64_t RowStep = B.Row > A.Row ? 1 : -1, ColumnStep = B.Column > A.Column ? 1 : -1;
  std::int64_t Row = A.Row, Column = A.Column;
  if (!Visit(Row, Column)) return false;
  for (std::int64_t RowsCrossed = 0, ColumnsCrossed = 0;
       RowsCrossed < Rows || ColumnsCrossed < Columns;) {
    // The line meets the next column edge at (1 + 2 ColumnsCrossed) / (2 Columns) of its length
    // and the next row edge at (1 + 2 RowsCrossed) / (2 Rows): compared without division.
    const std::int64_t Order = (1 + 2 * ColumnsCrossed) * Rows - (1 + 2 * RowsCrossed) * Columns;
    if (Order == 0) {
      if (!Visit(Row + RowStep, Column) || !Visit(Row, Column + ColumnStep)) return false;
      Row += RowStep;
      Column += ColumnStep;
      ++RowsCrossed;
      ++ColumnsCrossed;
    } else if (Order < 0) {
      Column += ColumnStep;
      ++ColumnsCrossed;
    } else {
      Row += RowStep;
      ++RowsCrossed;
    }
    if (!Visit(Row, Column)) return false;
  }
  return true;
}

bool Walkable(TOpenCells& Open, TCell A, TCell B) {
  return AllTouched(
      A, B, [&](std::int64_t Row, std::int64_t Column) { return Open.IsOpen(Row, Column); });
}

void CheckPath(const TCellStore& Cells, const std::vector<TCell>& Path) {
  for (std::size_t K = 0; K < Path.size(); ++K) {
    const TCell Cell = Path[K];
    const bool Adjacent =
        K == 0 ||
        std::abs(Cell.Row - Path[K - 1].Row) + std::abs(Cell.Column - Path[K - 1].Column) == 1;
    if (!Cells.IsInside(Cell) || !Cells.IsOpen(Cell) || !Adjacent) {
      throw Exception(VARNHOLT_ERROR_ARGUMENT,
                      "Not a path: cell " + std::to_string(K) + " (" + CellText(Cell) + ")");
    }
  }
}

// The farthest cell after From that From sees: doubling steps while it sees them, then halving
// between the last seen and the first not.
std::size_t FarthestSeen(TOpenCells& Open, const std::vector<TCell>& Path, std::size_t From) {
  std::size_t Seen = From + 1;  // a neighbour is always seen
  std::size_t Step = 2;
  while (From + Step < Path.size() && Walkable(Open, Path[From], Path[From + Step])) {
    Seen = From + Step;
    Step *= 2;
  }
  std::size_t NotSeen = std::min(From + Step, Path.size());
  while (NotSeen - Seen > 1) {
    const std::size_t Middle = Seen + (NotSeen - Seen) / 2;
    if (Walkable(Open, Path[From], Path[Middle])) {
      Seen = Middle;
    } else {
      NotSeen = Middle;
    }
  }
  return Seen;
}

double LineLength(TCell A, TCell B) {
  return std::hypot(double(A.Row) - B.Row, double(A.Column) - B.Column);
}

// Moves the corner between Before and After to a neighbouring cell while that shortens the two
// lines and both stay walkable: corners taken from a path of cells slide towards the corners of
// the obstacles they turn round, where the shortest lines bend. Strides of 4, 2 and 1 cells.
bool Slide(TOpenCells& Open, TCell Before, TCell& Corner, TCell After) {
  bool Moved = false;
  double Best = LineLength(Before, Corner) + LineLength(Corner, After);
  for (std::int32_t Stride = 4; Stride >= 1; Stride /= 2) {
    for (bool Better = true; Better;) {
      Better = false;
      for (int Direction = 0; Direction < 8 && !Better; ++Direction) {
        static constexpr int kRows[] = {-1, -1, -1, 0, 0, 1, 1, 1};
        static constexpr int kColumns[] = {-1, 0, 1, -1, 1, -1, 0, 1};
        const TCell Next{Corner.Row + Stride * kRows[Direction],
                         Corner.Column + Stride * kColumns[Direction]};
        const double Length = LineLength(Before, Next) + LineLength(Next, After);
        if (Length >= Best - 1e-9 || !Open.IsOpen(Next.Row, Next.Column) ||
            !Walkable(Open, Before, Next) || !Walkable(Open, Next, After)) {
          continue;
        }
        Corner = Next;
        Best = Length;
        Better = Moved = true;
      }
    }
  }
  return Moved;
}

// Corners that their neighbours see past are dropped.
void DropNeedless(TOpenCells& Open, std::vector<TCell>& Corners) {
  std::vector<TCell> Kept{Corners.front()};
  for (std::size_t K = 1; K + 1 < Corners.size(); ++K) {
    if (!Walkable(Open, Kept.back(), Corners[K + 1])) Kept.push_back(Corners[K]);
  }
  Kept.push_back(Corners.back());
  Corners = std::move(Kept);
}

}  // namespace

bool IsWalkable(const TCellStore& Cells, TCell A, TCell B) {
  TOpenCells Open(Cells);
  return Walkable(Open, A, B);
}

std::vector<TCell> SmoothPath(const TCellStore& Cells, const std::vector<TCell>& Path) {
  CheckPath(Cells, Path);
  if (Path.size() <= 2) return Path;
  TOpenCells Open(Cells);
  std::vector<TCell> Corners{Path.front()};
  for (std::size_t At = 0; At + 1 < Path.size();) {
    At = FarthestSeen(Open, Path, At);
    Corners.push_back(Path[At]);
  }
  // The halving steps may stop short of the farthest cell seen: a corner whose neighbours see
  // each other is no corner.
  DropNeedless(Open, Corners);
  for (int Round = 0; Round < 2; ++Round) {
    bool Moved = false;
    for (std::size_t K = 1; K + 1 < Corners.size(); ++K) {
      Moved = Slide(Open, Corners[K - 1], Corners[K], Corners[K + 1]) || Moved;
    }
    if (!Moved) break;
    DropNeedless(Open, Corners);
  }
  return Corners;
}

}  // namespace varnholt
