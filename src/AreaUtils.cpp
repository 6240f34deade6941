#include "AreaUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace varnholt {
namespace {

constexpr int kMaxRuns = kSegmentSide * kSegmentSide / 2;  // alternating cells: 32 runs a row
constexpr std::uint64_t kAllBlocked = ~std::uint64_t{0};

// The open runs of a segment in scan order (row by row, left to right) and a union-find forest
// over them. A run's parent always has a smaller index, so each root is the area's first run:
// the one holding the area's first cell in row-major order.
struct TRuns {
  std::array<std::uint8_t, kMaxRuns> Begin;
  std::array<std::uint8_t, kMaxRuns> End;  // one past the last column
  std::array<std::uint16_t, kMaxRuns> Parent;
  std::array<std::uint16_t, kMaxRuns> Cells;  // area size, valid at roots
  std::array<std::uint16_t, kSegmentSide + 1> RowStart;
  int Count = 0;

  int Find(int Run) {
    while (Parent[Run] != Run) {
      Parent[Run] = Parent[Parent[Run]];
      Run = Parent[Run];
    }
    return Run;
  }
};

void CollectRuns(const TSegment& Segment, TRuns& Runs) {
  Runs.Count = 0;
  for (int R = 0; R < kSegmentSide; ++R) {
    Runs.RowStart[R] = static_cast<std::uint16_t>(Runs.Count);
    std::uint64_t Open = ~SegmentRow(Segment, R);
    while (Open != 0) {
      const int Begin = std::countr_zero(Open);
      const int Length = std::countr_one(Open >> Begin);
      const int End = Begin + Length;
      Runs.Begin[Runs.Count] = static_cast<std::uint8_t>(Begin);
      Runs.End[Runs.Count] = static_cast<std::uint8_t>(End);
      Runs.Parent[Runs.Count] = static_cast<std::uint16_t>(Runs.Count);
      ++Runs.Count;
      Open = End == kSegmentSide ? 0 : Open & (kAllBlocked << End);
    }
  }
  Runs.RowStart[kSegmentSide] = static_cast<std::uint16_t>(Runs.Count);
}

// Joins the runs of each row with the runs of the row above that share a column. A new run
// joins the area of the first run above it that it touches; any further run above that it
// touches belongs to the same area, and the older of the two roots survives.
void JoinRows(TRuns& Runs) {
  for (int R = 1; R < kSegmentSide; ++R) {
    int Above = Runs.RowStart[R - 1];
    const int AboveEnd = Runs.RowStart[R];
    for (int Run = Runs.RowStart[R]; Run < Runs.RowStart[R + 1]; ++Run) {
      // Runs above that end before this run begins cannot touch it or any later run of the row.
      while (Above < AboveEnd && Runs.End[Above] <= Runs.Begin[Run]) ++Above;
      int Root = Run;
      for (int Other = Above; Other < AboveEnd && Runs.Begin[Other] < Runs.End[Run]; ++Other) {
        const int OtherRoot = Runs.Find(Other);
        if (Root == Run || OtherRoot == Root) {
          Root = OtherRoot;
        } else if (OtherRoot < Root) {
          Runs.Parent[Root] = static_cast<std::uint16_t>(OtherRoot);
          Root = OtherRoot;
        } else {
          Runs.Parent[OtherRoot] = static_cast<std::uint16_t>(Root);
        }
      }
      Runs.Parent[Run] = static_cast<std::uint16_t>(Root);
    }
  }
}

// Resolves every run to its root and adds up the area sizes at the roots. One forward pass
// suffices because a parent always precedes its child.
void SumAreas(TRuns& Runs) {
  for (int Run = 0; Run < Runs.Count; ++Run) {
    const int Root = Runs.Parent[Runs.Parent[Run]];
    Runs.Parent[Run] = static_cast<std::uint16_t>(Root);
    if (Root == Run) Runs.Cells[Run] = 0;
    Runs.Cells[Root] =
        static_cast<std::uint16_t>(Runs.Cells[Root] + Runs.End[Run] - Runs.Begin[Run]);
  }
}

// The roots of the four largest areas, larger first and, between equal sizes, the older first.
struct TRanking {
  std::array<int, 4> Roots{};
  int Count = 0;
};

TRanking RankAreas(const TRuns& Runs) {
  TRanking Ranking;
  for (int Run = 0; Run < Runs.Count; ++Run) {
    if (Runs.Parent[Run] != Run) continue;
    // Roots arrive oldest first, so a root only passes those strictly smaller than itself.
    int Place = Ranking.Count;
    while (Place > 0 && Runs.Cells[Ranking.Roots[Place - 1]] < Runs.Cells[Run]) --Place;
    if (Place == 4) continue;
    const int Last = std::min(Ranking.Count, 3);
    for (int K = Last; K > Place; --K) Ranking.Roots[K] = Ranking.Roots[K - 1];
    Ranking.Roots[Place] = Run;
    Ranking.Count = std::min(Ranking.Count + 1, 4);
  }
  return Ranking;
}

void PaintAreas(const TRuns& Runs, const TRanking& Ranking, TAreaSegment& AreaMap) {
  std::array<std::uint8_t, kMaxRuns> Number;
  for (int Run = 0; Run < Runs.Count; ++Run) Number[Run] = 0;
  for (int Rank = 0; Rank < Ranking.Count; ++Rank) {
    Number[Ranking.Roots[Rank]] = static_cast<std::uint8_t>(Rank + 1);
  }
  AreaMap.fill(0);
  for (int R = 0; R < kSegmentSide; ++R) {
    std::uint8_t* Row = &AreaMap[static_cast<std::size_t>(R * kSegmentSide)];
    for (int Run = Runs.RowStart[R]; Run < Runs.RowStart[R + 1]; ++Run) {
      const std::uint8_t Area = Number[Runs.Parent[Run]];
      if (Area != 0) std::memset(Row + Runs.Begin[Run], Area, Runs.End[Run] - Runs.Begin[Run]);
    }
  }
}

bool AllRowsAre(const TSegment& Segment, std::uint8_t Byte) {
  return std::all_of(Segment.begin(), Segment.end(), [Byte](std::uint8_t B) { return B == Byte; });
}

// Area A of this side touching area B of the other sets bit 4 * (A - 1) + (B - 1) of the two
// link bytes read as one little-endian word.
void LinkAcross(const std::array<std::uint8_t, kSegmentSide>& Own,
                const std::array<std::uint8_t, kSegmentSide>& Other,
                std::array<std::uint8_t, 2>& Links) {
  for (int K = 0; K < kSegmentSide; ++K) {
    const int A = Own[static_cast<std::size_t>(K)];
    const int B = Other[static_cast<std::size_t>(K)];
    if (A == 0 || B == 0) continue;
    const int Bit = 4 * (A - 1) + (B - 1);
    Links[Bit / 8] = static_cast<std::uint8_t>(Links[Bit / 8] | 1 << (Bit % 8));
  }
}

}  // namespace

void LabelAreas(const TSegment& Segment, TAreaSegment& AreaMap, std::int32_t& AreaCount) {
  // Filled segments are most of a real map: no run analysis for them.
  if (AllRowsAre(Segment, 0x00)) {
    AreaMap.fill(1);
    AreaCount = 1;
    return;
  }
  if (AllRowsAre(Segment, 0xFF)) {
    AreaMap.fill(0);
    AreaCount = 0;
    return;
  }
  TRuns Runs;
  CollectRuns(Segment, Runs);
  JoinRows(Runs);
  SumAreas(Runs);
  const TRanking Ranking = RankAreas(Runs);
  PaintAreas(Runs, Ranking, AreaMap);
  AreaCount = Ranking.Count;
}

void ReduceToInfo(const TAreaSegment& AreaMap, TInfoSegment& Info) {
  for (int R = 0; R < kInfoSide; ++R) {
    const std::uint8_t* Top = &AreaMap[static_cast<std::size_t>(2 * R * kSegmentSide)];
    const std::uint8_t* Bottom = Top + kSegmentSide;
    for (int C = 0; C < kInfoSide; ++C) {
      const std::array<std::uint8_t, 4> Block{Top[2 * C], Top[2 * C + 1], Bottom[2 * C],
                                              Bottom[2 * C + 1]};
      // Areas 1 ... 3 become values 0 ... 2; area 4 and no area wrap past them and do not count.
      std::uint8_t Value = 3;
      for (const std::uint8_t Area : Block) {
        if (static_cast<std::uint8_t>(Area - 1) < 3) {
          Value = static_cast<std::uint8_t>(Area - 1);
          break;
        }
      }
      Info[static_cast<std::size_t>(R * kInfoSide + C)] = Value;
    }
  }
}

void CalculateWaypoint(const TAreaSegment& AreaMap, std::int32_t AreaCount,
                       TWaypointSegment& Record) {
  if (AreaCount <= 0) return;
  const int Count = std::min(AreaCount, 4);
  Record.AreaMask = static_cast<std::uint8_t>(((1 << Count) - 1) << 4);
  std::array<bool, 5> Found{};
  int Missing = Count;
  // Passes over ever finer grids: the middle cell first, then steps of 16, 8, 4, 2 and finally
  // every cell; rows and columns 0 only in the last pass.
  for (int Pass = 1, Step = 32; Missing > 0; ++Pass, Step /= 2) {
    if (Pass > 6) throw Exception("Logic failure in CalculateWaypoint");
    const int Start = Pass == 6 ? 0 : 1;
    const int Last = (1 << Pass) - 1;
    for (int RI = Start; RI <= Last && Missing > 0; ++RI) {
      for (int CI = Start; CI <= Last; ++CI) {
        const int Row = RI * Step;
        const int Column = CI * Step;
        const int Area = AreaMap[static_cast<std::size_t>(Row * kSegmentSide + Column)];
        if (Area == 0 || Area > Count || Found[Area]) continue;
        Record.Points[Area - 1] = {static_cast<std::uint8_t>(Column),
                                   static_cast<std::uint8_t>(Row)};
        Found[Area] = true;
        --Missing;
      }
    }
  }
}

TAreaEdges AreaEdges(const TAreaSegment& AreaMap) {
  TAreaEdges Edges;
  const auto Row = [&AreaMap](int R) { return AreaMap.begin() + R * kSegmentSide; };
  std::copy_n(Row(0), kSegmentSide, Edges.Top.begin());
  std::copy_n(Row(kSegmentSide - 1), kSegmentSide, Edges.Bottom.begin());
  for (int R = 0; R < kSegmentSide; ++R) {
    Edges.Left[static_cast<std::size_t>(R)] = Row(R)[0];
    Edges.Right[static_cast<std::size_t>(R)] = Row(R)[kSegmentSide - 1];
  }
  return Edges;
}

void LinkDown(const TAreaEdges& Upper, const TAreaEdges& Lower, TWaypointSegment& Record) {
  LinkAcross(Upper.Bottom, Lower.Top, Record.DownLinks);
}

void LinkRight(const TAreaEdges& Left, const TAreaEdges& Right, TWaypointSegment& Record) {
  LinkAcross(Left.Right, Right.Left, Record.RightLinks);
}

void LinkSegments(const TAreaEdgeMap& Edges, const TAreaCount& AreaCounts,
                  TWaypointSegments& Records, std::uint32_t N) {
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      if (AreaCounts[I][J] <= 0) continue;
      if (I + 1 < N && AreaCounts[I + 1][J] > 0)
        LinkDown(Edges[I][J], Edges[I + 1][J], Records[I][J]);
      if (J + 1 < N && AreaCounts[I][J + 1] > 0)
        LinkRight(Edges[I][J], Edges[I][J + 1], Records[I][J]);
    }
  }
}

}  // namespace varnholt
