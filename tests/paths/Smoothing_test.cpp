// Smoothed paths against two simple models: which cells a straight line touches, found by
// clipping the line to each cell's closed square, and the shortest 8-connected path that cuts no
// corner, found by Dijkstra's search of every cell.
#include "paths/Smoothing.h"

#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include <algorithm>
#include <cmath>
#include <queue>

#include "TestSupport.h"
#include "convert/Varnholt.h"
#include "paths/PathSearch.h"

namespace varnholt::test {
namespace {

// Whether the line between the centres of A and B meets the closed square of Cell: the line
// clipped to the square's rows and to its columns in turn, in half cells, where every centre and
// every edge is a whole number and the clipping fractions compare exactly.
bool LineTouches(TCell A, TCell B, TCell Cell) {
  double Enter = 0, Leave = 1;
  const auto Clip = [&](double From, double Step, double Low, double High) {
    if (Step == 0) return From >= Low && From <= High;
    const double T0 = (Low - From) / Step, T1 = (High - From) / Step;
    Enter = std::max(Enter, std::min(T0, T1));
    Leave = std::min(Leave, std::max(T0, T1));
    return true;
  };
  const double Row = 2.0 * A.Row + 1, Column = 2.0 * A.Column + 1;
  return Clip(Row, 2.0 * (B.Row - A.Row), 2.0 * Cell.Row, 2.0 * Cell.Row + 2) &&
         Clip(Column, 2.0 * (B.Column - A.Column), 2.0 * Cell.Column, 2.0 * Cell.Column + 2) &&
         Enter <= Leave;
}

// The model of a walkable line: no blocked cell of the rectangle between A and B is touched.
bool ModelWalkable(const TCellStore& Cells, TCell A, TCell B) {
  for (std::int32_t Row = std::min(A.Row, B.Row); Row <= std::max(A.Row, B.Row); ++Row) {
    for (std::int32_t Column = std::min(A.Column, B.Column); Column <= std::max(A.Column, B.Column);
         ++Column) {
      if (!Cells.IsOpen({Row, Column}) && LineTouches(A, B, {Row, Column})) return false;
    }
  }
  return true;
}

// The length of the shortest 8-connected path from Start to Goal, a diagonal step only where
// both cells beside it are open.
double OctileLength(const TCellStore& Cells, TCell Start, TCell Goal) {
  const std::uint32_t Side = Cells.CellsPerSide();
  const auto IndexOf = [&](TCell Cell) {
    return static_cast<std::size_t>(Cell.Row) * Side + static_cast<std::size_t>(Cell.Column);
  };
  const auto IsOpen = [&](TCell Cell) { return Cells.IsInside(Cell) && Cells.IsOpen(Cell); };
  std::vector<double> Best(std::size_t{Side} * Side, INFINITY);
  using TEntry = std::pair<double, std::size_t>;
  std::priority_queue<TEntry, std::vector<TEntry>, std::greater<>> Open;
  Best[IndexOf(Start)] = 0;
  Open.push({0, IndexOf(Start)});
  while (!Open.empty()) {
    const auto [Length, Index] = Open.top();
    Open.pop();
    if (Length > Best[Index]) continue;
    const TCell Cell{static_cast<std::int32_t>(Index / Side),
                     static_cast<std::int32_t>(Index % Side)};
    if (Cell == Goal) return Length;
    for (int Rows = -1; Rows <= 1; ++Rows) {
      for (int Columns = -1; Columns <= 1; ++Columns) {
        const TCell Next{Cell.Row + Rows, Cell.Column + Columns};
        if ((Rows == 0 && Columns == 0) || !IsOpen(Next)) continue;
        const bool Diagonal = Rows != 0 && Columns != 0;
        if (Diagonal && (!IsOpen({Cell.Row + Rows, Cell.Column}) ||
                         !IsOpen({Cell.Row, Cell.Column + Columns}))) {
          continue;
        }
        const double Through = Length + (Diagonal ? std::sqrt(2.0) : 1.0);
        if (Through < Best[IndexOf(Next)]) {
          Best[IndexOf(Next)] = Through;
          Open.push({Through, IndexOf(Next)});
        }
      }
    }
  }
  return INFINITY;
}

std::vector<TCell> OpenCells(const TCellStore& Cells, std::size_t Count, std::uint64_t Seed) {
  TRandom Random(Seed);
  std::vector<TCell> Found;
  const std::uint32_t Side = Cells.CellsPerSide();
  while (Found.size() < Count) {
    const TCell Cell{static_cast<std::int32_t>(Random.Next() % Side),
                     static_cast<std::int32_t>(Random.Next() % Side)};
    if (Cells.IsOpen(Cell)) Found.push_back(Cell);
  }
  return Found;
}

// Lines of every slope and length up to 40 cells, the diagonals through cell corners among them.
TEST(SmoothingTest, LinesAreWalkableExactlyWhereNoBlockedCellIsTouched) {
  std::size_t Answers[2] = {0, 0};  // both were asked for
  for (const TLevel0Map& Made : {NoiseMap(1, 20, 3), CornerBridgeMap(3), RoughTerrainMap(1, 4)}) {
    const TRegionMap Map = RegionsOf(EncodeLevel0Map(Made));
    const std::vector<TCell> From = OpenCells(Map.Cells(), 300, 5);
    TRandom Random(9);

    for (std::size_t K = 0; K < From.size(); ++K) {
      const auto Offset = [&] { return static_cast<std::int32_t>(Random.Next() % 81) - 40; };
      const std::int32_t Rows = Offset(), Columns = K % 3 == 0 ? Rows : Offset();
      const TCell To{From[K].Row + Rows, From[K].Column + (K % 6 == 0 ? -Columns : Columns)};
      if (!Map.Cells().IsInside(To) || !Map.Cells().IsOpen(To)) continue;
      const bool Expected = ModelWalkable(Map.Cells(), From[K], To);
      ASSERT_EQ(IsWalkable(Map.Cells(), From[K], To), Expected)
          << CellText(From[K]) << " to " << CellText(To);
      ASSERT_EQ(IsWalkable(Map.Cells(), To, From[K]), Expected);
      ++Answers[Expected ? 1 : 0];
    }
  }
  EXPECT_GT(Answers[0], 50u);
  EXPECT_GT(Answers[1], 50u);
}

TEST(SmoothingTest, CornersSeeEachOtherAndCutTheStaircases) {
  const struct {
    const char* Name;
    TLevel0Map (*Make)();
  } Kinds[] = {
      {"open", [] { return OpenMap(2); }},
      {"terrain", [] { return TerrainMap(2, 11); }},
      {"rough", [] { return RoughTerrainMap(2, 12); }},
      {"noise 30 %", [] { return NoiseMap(2, 30, 13); }},
      {"rooms", [] { return RoomMap(2, 14); }},
      {"city", [] { return CityMap(2, 15); }},
  };
  for (const auto& Kind : Kinds) {
    SCOPED_TRACE(Kind.Name);
    const TRegionMap Map = RegionsOf(EncodeLevel0Map(Kind.Make()));
    const std::vector<TCell> Cells = OpenCells(Map.Cells(), 40, 21);
    std::vector<double> Ratios;
    for (std::size_t K = 0; K + 1 < Cells.size(); K += 2) {
      const std::vector<TCell> Path = FindPath(Map, Cells[K], Cells[K + 1]);
      if (Path.size() < 2) continue;
      const std::vector<TCell> Corners = SmoothPath(Map.Cells(), Path);
      ASSERT_EQ(Corners.front(), Path.front());
      ASSERT_EQ(Corners.back(), Path.back());
      for (std::size_t C = 1; C < Corners.size(); ++C) {
        ASSERT_TRUE(ModelWalkable(Map.Cells(), Corners[C - 1], Corners[C]))
            << CellText(Corners[C - 1]) << " to " << CellText(Corners[C]);
      }
      Ratios.push_back(PolylineLength(Corners) /
                       OctileLength(Map.Cells(), Path.front(), Path.back()));
    }
    ASSERT_GT(Ratios.size(), 5u);
    std::sort(Ratios.begin(), Ratios.end());
    EXPECT_LE(Ratios[Ratios.size() / 2], 0.99);
    EXPECT_LE(Ratios.back(), 1.03);
  }
}

TEST(SmoothingTest, WhatIsNoPathIsRefusedInWordsThroughEveryInterface) {
  const TBytes File = EncodeLevel0Map(CornerBridgeMap(3));
  const TRegionMap Map = RegionsOf(File);
  TCell Open{-1, -1}, Blocked{-1, -1};
  for (std::int32_t Column = 0; Open.Row < 0 || Blocked.Row < 0; ++Column) {
    (Map.Cells().IsOpen({0, Column}) ? Open : Blocked) = {0, Column};
  }
  const TCell Far{Open.Row + 2, Open.Column};
  EXPECT_EQ(FailureOf([&] {
              SmoothPath(Map.Cells(), {Open, Blocked});
            }),
            "Not a path: cell 1 (" + CellText(Blocked) + ")");
  EXPECT_EQ(FailureOf([&] {
              SmoothPath(Map.Cells(), {Open, Far});
            }),
            "Not a path: cell 1 (" + CellText(Far) + ")");
  EXPECT_EQ(FailureOf([&] { SmoothPath(Map.Cells(), {{-1, 0}}); }), "Not a path: cell 0 (-1, 0)");
  EXPECT_EQ(SmoothPath(Map.Cells(), {}), std::vector<TCell>{});
  EXPECT_EQ(SmoothPath(Map.Cells(), {Open}), std::vector<TCell>{Open});

  const TMap Engine = TMap::AnalyseMemory(File.data(), File.size());
  const std::vector<TCell> Path =
      Engine.FindPath({10, 100}, {100, 10});  // through the one cell that joins them
  ASSERT_FALSE(Path.empty());
  EXPECT_EQ(Engine.SmoothPath(Path), SmoothPath(Map.Cells(), Path));
  std::vector<std::int32_t> Cells;
  for (const TCell Cell : Path) Cells.insert(Cells.end(), {Cell.Row, Cell.Column});
  const auto Count = static_cast<std::int64_t>(Path.size());
  const std::int64_t Corners =
      varnholt_smooth_path(Engine.Handle(), Cells.data(), Count, nullptr, 0);
  ASSERT_GE(Corners, 2);
  std::vector<std::int32_t> Written(static_cast<std::size_t>(2 * Corners) + 2, -7);
  EXPECT_EQ(varnholt_smooth_path(Engine.Handle(), Cells.data(), Count, Written.data(), 1), Corners);
  EXPECT_EQ(std::count(Written.begin(), Written.end(), -7),
            static_cast<std::ptrdiff_t>(Written.size() - 2));
  Cells[3] += 5;
  EXPECT_EQ(varnholt_smooth_path(Engine.Handle(), Cells.data(), Count, nullptr, 0), -1);
  EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_ARGUMENT);
  EXPECT_EQ(varnholt_smooth_path(Engine.Handle(), nullptr, 3, nullptr, 0), -1);
  EXPECT_EQ(varnholt_smooth_path(Engine.Handle(), Cells.data(), -1, nullptr, 0), -1);
}

}  // namespace
}  // namespace varnholt::test
