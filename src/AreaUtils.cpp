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
  std::array<std::uint16_t, kMaxRuns> Cells;  // area size, kept at the roots
  std::array<std::uint16_t, kSegmentSide + 1> RowStart;
  int Count = 0;

  int Find(int Run) {
    while (Parent[Run] != Run) {
      Parent[Run] = Parent[Parent[Run]];
      Run = Parent[Run];
    }
    return Run;
  }

  // Joins the areas of two roots; the older survives and takes the cells of the other.
  int Unite(int A, int B) {
    if (B < A) std::swap(A, B);
    if (A != B) {
      Parent[B] = static_cast<std::uint16_t>(A);
      Cells[A] = static_cast<std::uint16_t>(Cells[A] + Cells[B]);
    }
    return A;
  }
};

std::uint64_t RunMask(int Begin, int End) {
  const std::uint64_t Below = End == kSegmentSide ? kAllBlocked : (std::uint64_t{1} << End) - 1;
  return Below & (kAllBlocked << Begin);
}

// Joins Run, new and so its own root, with the runs of the row above that it touches.
void JoinAbove(TRuns& Runs, int Run, std::uint64_t Mask, std::uint64_t AboveOpen,
               std::uint64_t AboveStarts, const std::array<std::uint16_t, kSegmentSide>& Above) {
  const std::uint64_t Touching = AboveOpen & Mask;
  if (Touching == 0) return;
  const int First = std::countr_zero(Touching);
  const std::uint64_t UpToFirst = kAllBlocked >> (kSegmentSide - 1 - First);
  // The run above that holds column First began at the last start at or before it.
  const int FirstAbove = Above[kSegmentSide - 1 - std::countl_zero(AboveStarts & UpToFirst)];
  int Root = Runs.Unite(Run, Runs.Find(FirstAbove));
  // Every other run above that Run touches begins beneath it.
  for (std::uint64_t More = AboveStarts & Touching & ~UpToFirst; More != 0; More &= More - 1) {
    Root = Runs.Unite(Root, Runs.Find(Above[std::countr_zero(More)]));
  }
}

// Collects the open runs row by row, joining each with the runs above it as it is found. Rows
// are words, so finding runs and the runs above them they touch is a matter of bit operations.
void ScanRuns(const TSegment& Segment, TRuns& Runs) {
  std::array<std::array<std::uint16_t, kSegmentSide>, 2> RunBeginningAt;  // by row parity
  std::uint64_t AboveOpen = 0;
  std::uint64_t AboveStarts = 0;
  Runs.Count = 0;
  for (int R = 0; R < kSegmentSide; ++R) {
    auto& Here = RunBeginningAt[R % 2];
    const auto& Above = RunBeginningAt[1 - R % 2];
    Runs.RowStart[R] = static_cast<std::uint16_t>(Runs.Count);
    const std::uint64_t Open = ~SegmentRow(Segment, R);
    for (std::uint64_t Left = Open; Left != 0;) {
      const int Begin = std::countr_zero(Left);
      const int End = Begin + std::countr_one(Left >> Begin);
      const std::uint64_t Mask = RunMask(Begin, End);
      Left &= ~Mask;
      const int Run = Runs.Count++;
      Runs.Begin[Run] = static_cast<std::uint8_t>(Begin);
      Runs.End[Run] = static_cast<std::uint8_t>(End);
      Runs.Parent[Run] = static_cast<std::uint16_t>(Run);
      Runs.Cells[Run] = static_cast<std::uint16_t>(End - Begin);
      Here[static_cast<std::size_t>(Begin)] = static_cast<std::uint16_t>(Run);
      JoinAbove(Runs, Run, Mask, AboveOpen, AboveStarts, Above);
    }
    AboveOpen = Open;
    AboveStarts = Open & ~(Open << 1);
  }
  Runs.RowStart[kSegmentSide] = static_cast<std::uint16_t>(Runs.Count);
}

// The roots of the four largest areas, larger first and, between equal sizes, the older first.
struct TRanking {
  std::array<int, 4> Roots{};
  int Count = 0;
};

TRanking RankAreas(const TRuns& Runs) {
  // One key orders areas by size, then age: cells above the run index, taken backwards. Runs that
  // are not roots get key 0, so the loop has a single branch that is rarely taken.
  constexpr int kIndexBits = std::bit_width(unsigned{kMaxRuns - 1});
  std::array<std::uint32_t, 4> Best{};
  for (int Run = 0; Run < Runs.Count; ++Run) {
    const std::uint32_t IsRoot = Runs.Parent[Run] == Run ? 1 : 0;
    const std::uint32_t Key = IsRoot * (std::uint32_t{Runs.Cells[Run]} << kIndexBits |
                                        static_cast<std::uint32_t>(kMaxRuns - 1 - Run));
    if (Key <= Best[3]) continue;
    int Place = 3;
    for (; Place > 0 && Best[Place - 1] < Key; --Place) Best[Place] = Best[Place - 1];
    Best[Place] = Key;
  }
  TRanking Ranking;
  for (; Ranking.Count < 4 && Best[Ranking.Count] != 0; ++Ranking.Count) {
    const auto Index = static_cast<int>(Best[Ranking.Count] & (kMaxRuns - 1));
    Ranking.Roots[Ranking.Count] = kMaxRuns - 1 - Index;
  }
  return Ranking;
}

// Each byte value spread over eight cells: cell k is 1 where bit k is set, in memory order.
constexpr std::array<std::uint64_t, 256> kSpreadBits = [] {
  std::array<std::uint64_t, 256> Table{};
  for (unsigned Value = 0; Value < 256; ++Value) {
    for (unsigned Bit = 0; Bit < 8; ++Bit) {
      const unsigned Cell = std::endian::native == std::endian::little ? Bit : 7 - Bit;
      Table[Value] |= std::uint64_t{(Value >> Bit) & 1} << (8 * Cell);
    }
  }
  return Table;
}();

// Writes every row whole, eight cells at a time, from the masks of its cells in each kept area:
// far cheaper than filling the runs one by one where they are short. Each run is resolved to its
// root on the way; one forward pass suffices because a parent always precedes its child.
void PaintAreas(TRuns& Runs, const TRanking& Ranking, TAreaSegment& AreaMap) {
  std::array<std::uint8_t, kMaxRuns> Number;
  for (int Run = 0; Run < Runs.Count; ++Run) Number[Run] = 0;
  for (int Rank = 0; Rank < Ranking.Count; ++Rank) {
    Number[Ranking.Roots[Rank]] = static_cast<std::uint8_t>(Rank + 1);
  }
  for (int R = 0; R < kSegmentSide; ++R) {
    std::array<std::uint64_t, 5> Masks{};  // by area number; 0 collects the erased runs
    for (int Run = Runs.RowStart[R]; Run < Runs.RowStart[R + 1]; ++Run) {
      const std::uint16_t Root = Runs.Parent[Runs.Parent[Run]];
      Runs.Parent[Run] = Root;
      Masks[Number[Root]] |= RunMask(Runs.Begin[Run], Runs.End[Run]);
    }
    std::uint8_t* Row = &AreaMap[static_cast<std::size_t>(R * kSegmentSide)];
    // Where areas are many and small most rows hold none of the four kept.
    if ((Masks[1] | Masks[2] | Masks[3] | Masks[4]) == 0) {
      std::memset(Row, 0, kSegmentSide);
      continue;
    }
    for (int Byte = 0; Byte < 8; ++Byte) {
      std::uint64_t Cells = 0;
      for (std::uint64_t Area = 1; Area <= 4; ++Area) {
        Cells |= kSpreadBits[(Masks[Area] >> (8 * Byte)) & 0xFF] * Area;
      }
      std::memcpy(Row + 8 * Byte, &Cells, sizeof Cells);
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
  ScanRuns(Segment, Runs);
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
