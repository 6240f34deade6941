// The plain searches the library's paths are measured against, written as plain ones are: the
// A* of the speed targets (4-connected, the Manhattan distance as the estimate, a binary heap,
// ties towards the larger cost), and an 8-connected A* that cuts no corner, for the length of
// smoothed paths. Both keep costs in arrays over the whole grid, reset after each query.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <queue>
#include <vector>

#include "map/Regions.h"

namespace varnholt::bench {

inline std::uint64_t Distance(TCell A, TCell B) {
  return static_cast<std::uint64_t>(std::abs(A.Row - B.Row) + std::abs(A.Column - B.Column));
}

// The open cells of a map as one bitmap, a row of words per row of cells.
class TGridBits {
 public:
  explicit TGridBits(const TCellStore& Cells)
      : Side(Cells.CellsPerSide()), Words(Side / 64), Open(std::size_t{Side} * Words) {
    const std::uint32_t N = Cells.SegmentsPerSide();
    for (std::size_t K = 0; K < std::size_t{N} * N; ++K) {
      const TSegmentRows Blocked = Cells.Rows(K);
      for (std::size_t R = 0; R < Blocked.size(); ++R) {
        Open[(K / N * 64 + R) * Words + K % N] = ~Blocked[R];
      }
    }
  }
  std::uint32_t CellsPerSide() const { return Side; }
  bool IsOpen(std::int64_t Row, std::int64_t Column) const {
    if (Row < 0 || Column < 0 || Row >= Side || Column >= Side) return false;
    const auto At = static_cast<std::size_t>(Row) * Words + static_cast<std::size_t>(Column) / 64;
    return (Open[At] >> (Column % 64) & 1) != 0;
  }
  std::uint32_t IndexOf(TCell Cell) const {
    return static_cast<std::uint32_t>(Cell.Row) * Side + static_cast<std::uint32_t>(Cell.Column);
  }
  TCell CellAt(std::uint32_t Cell) const {
    return {static_cast<std::int32_t>(Cell / Side), static_cast<std::int32_t>(Cell % Side)};
  }

 private:
  std::uint32_t Side;
  std::size_t Words;
  std::vector<std::uint64_t> Open;
};

// The A* the targets are measured against, as a plain one is written: 4-connected, the Manhattan
// distance as the estimate, a binary heap, costs and steps in arrays over the whole grid (reset
// cell by cell after each query), the open cells as a bitmap.
class TPlainAStar {
 public:
  explicit TPlainAStar(const TGridBits& Bits)
      : Grid(Bits),
        Side(Bits.CellsPerSide()),
        Cost(std::size_t{Side} * Side, kUnseen),
        Step(std::size_t{Side} * Side) {}

  std::vector<TCell> Run(TCell Start, TCell Goal) {
    struct TEntry {
      std::uint64_t Estimate;
      std::uint32_t Cost;
      std::uint32_t Cell;
      bool operator<(const TEntry& Other) const {
        return Estimate != Other.Estimate ? Estimate > Other.Estimate : Cost < Other.Cost;
      }
    };
    std::priority_queue<TEntry> Heap;
    const std::uint32_t First = IndexOf(Start);
    const std::uint32_t Last = IndexOf(Goal);
    Reach(First, 0, 0);
    Heap.push({Distance(Start, Goal), 0, First});
    while (!Heap.empty()) {
      const TEntry Top = Heap.top();
      Heap.pop();
      if (Top.Cost > Cost[Top.Cell]) continue;
      if (Top.Cell == Last) break;
      const TCell At = CellAt(Top.Cell);
      const TCell Next[4] = {{At.Row - 1, At.Column},
                             {At.Row + 1, At.Column},
                             {At.Row, At.Column - 1},
                             {At.Row, At.Column + 1}};
      for (std::uint8_t Direction = 0; Direction < 4; ++Direction) {
        const TCell To = Next[Direction];
        if (!Grid.IsOpen(To.Row, To.Column)) continue;
        const std::uint32_t Cell = IndexOf(To);
        if (Top.Cost + 1 >= Cost[Cell]) continue;
        Reach(Cell, Top.Cost + 1, Direction);
        Heap.push({Top.Cost + 1 + Distance(To, Goal), Top.Cost + 1, Cell});
      }
    }
    std::vector<TCell> Path = WalkBack(First, Last);
    for (const std::uint32_t Cell : Touched) Cost[Cell] = kUnseen;
    Touched.clear();
    return Path;
  }

 private:
  static constexpr std::uint32_t kUnseen = UINT32_MAX;

  std::uint32_t IndexOf(TCell Cell) const { return Grid.IndexOf(Cell); }
  TCell CellAt(std::uint32_t Cell) const { return Grid.CellAt(Cell); }
  void Reach(std::uint32_t Cell, std::uint32_t NewCost, std::uint8_t Direction) {
    if (Cost[Cell] == kUnseen) Touched.push_back(Cell);
    Cost[Cell] = NewCost;
    Step[Cell] = Direction;
  }
  std::vector<TCell> WalkBack(std::uint32_t First, std::uint32_t Last) const {
    std::vector<TCell> Path;
    if (Cost[Last] == kUnseen) return Path;
    for (std::uint32_t Cell = Last;;) {
      Path.push_back(CellAt(Cell));
      if (Cell == First) break;
      const std::uint8_t Direction = Step[Cell];  // up, down, left, right: go the other way
      Cell = Direction == 0   ? Cell + Side
             : Direction == 1 ? Cell - Side
             : Direction == 2 ? Cell + 1
                              : Cell - 1;
    }
    std::reverse(Path.begin(), Path.end());
    return Path;
  }

  const TGridBits& Grid;
  std::uint32_t Side;
  std::vector<std::uint32_t> Cost;
  std::vector<std::uint8_t> Step;
  std::vector<std::uint32_t> Touched;
};

// The length of a shortest 8-connected path that cuts no corner: a diagonal step, of length
// sqrt(2), only where both cells beside it are open; the octile distance as the estimate.
class TPlainOctile {
 public:
  explicit TPlainOctile(const TGridBits& Bits)
      : Grid(Bits), Cost(std::size_t{Bits.CellsPerSide()} * Bits.CellsPerSide(), kUnseen) {}

  double Length(TCell Start, TCell Goal) {
    struct TEntry {
      double Estimate;
      double Cost;
      std::uint32_t Cell;
      bool operator<(const TEntry& Other) const {
        return Estimate != Other.Estimate ? Estimate > Other.Estimate : Cost < Other.Cost;
      }
    };
    const auto Octile = [&](TCell Cell) {
      const double Rows = std::abs(Cell.Row - Goal.Row),
                   Columns = std::abs(Cell.Column - Goal.Column);
      return std::max(Rows, Columns) + (std::sqrt(2.0) - 1) * std::min(Rows, Columns);
    };
    std::priority_queue<TEntry> Heap;
    const std::uint32_t Last = Grid.IndexOf(Goal);
    Reach(Grid.IndexOf(Start), 0);
    Heap.push({Octile(Start), 0, Grid.IndexOf(Start)});
    double Found = -1;
    while (!Heap.empty()) {
      const TEntry Top = Heap.top();
      Heap.pop();
      if (Top.Cost > Cost[Top.Cell]) continue;
      if (Top.Cell == Last) {
        Found = Top.Cost;
        break;
      }
      const TCell At = Grid.CellAt(Top.Cell);
      for (int DR = -1; DR <= 1; ++DR) {
        for (int DC = -1; DC <= 1; ++DC) {
          if ((DR == 0 && DC == 0) || !Grid.IsOpen(At.Row + DR, At.Column + DC)) continue;
          if (DR != 0 && DC != 0 &&
              (!Grid.IsOpen(At.Row + DR, At.Column) || !Grid.IsOpen(At.Row, At.Column + DC))) {
            continue;
          }
          const TCell To{At.Row + DR, At.Column + DC};
          const double Next = Top.Cost + (DR != 0 && DC != 0 ? std::sqrt(2.0) : 1.0);
          const std::uint32_t Cell = Grid.IndexOf(To);
          if (Next >= Cost[Cell]) continue;
          Reach(Cell, Next);
          Heap.push({Next + Octile(To), Next, Cell});
        }
      }
    }
    for (const std::uint32_t Cell : Touched) Cost[Cell] = kUnseen;
    Touched.clear();
    return Found;
  }

 private:
  static constexpr double kUnseen = 1e300;
  void Reach(std::uint32_t Cell, double NewCost) {
    if (Cost[Cell] == kUnseen) Touched.push_back(Cell);
    Cost[Cell] = NewCost;
  }

  const TGridBits& Grid;
  std::vector<double> Cost;
  std::vector<std::uint32_t> Touched;
};

}  // namespace varnholt::bench
