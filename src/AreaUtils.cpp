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
void ScanRuns(const TSegmentRows& Blocked, TRuns& Runs) {
  std::array<std::array<std::uint16_t, kSegmentSide>, 2> RunBeginningAt;  // by row parity
  std::uint64_t AboveOpen = 0;
  std::uint64_t AboveStarts = 0;
  Runs.Count = 0;
  for (int R = 0; R < kSegmentSide; ++R) {
    auto& Here = RunBeginningAt[R % 2];
    const auto& Above = RunBeginningAt[1 - R % 2];
    Runs.RowStart[R] = static_cast<std::uint16_t>(Runs.Count);
    const std::uint64_t Open = ~Blocked[static_cast<std::size_t>(R)];
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

// Gathers each kept area's runs into its planes. Each run is resolved to its root on the way; one
// forward pass suffices because a parent always precedes its child.
void BuildMasks(TRuns& Runs, const TRanking& Ranking, TAreaMasks& Masks) {
  std::array<std::uint8_t, kMaxRuns> Number;  // the area's plane, or kKeptAreas for none
  for (int Run = 0; Run < Runs.Count; ++Run) Number[Run] = kKeptAreas;
  for (int Rank = 0; Rank < Ranking.Count; ++Rank) {
    Number[Ranking.Roots[Rank]] = static_cast<std::uint8_t>(Rank);
  }
  for (int R = 0; R < kSegmentSide; ++R) {
    std::array<std::uint64_t, kKeptAreas + 1> Row{};
    for (int Run = Runs.RowStart[R]; Run < Runs.RowStart[R + 1]; ++Run) {
      const std::uint16_t Root = Runs.Parent[Runs.Parent[Run]];
      Runs.Parent[Run] = Root;
      Row[Number[Root]] |= RunMask(Runs.Begin[Run], Runs.End[Run]);
    }
    for (int A = 0; A < kKeptAreas; ++A) Masks.Rows[A][static_cast<std::size_t>(R)] = Row[A];
  }
  Masks.Count = Ranking.Count;
}

// The columns of a pass of the waypoint search: the non-zero multiples of its step.
constexpr std::uint64_t PassColumns(int Step) {
  std::uint64_t Columns = 0;
  for (int Column = Step; Column < kSegmentSide; Column += Step)
    Columns |= std::uint64_t{1} << Column;
  return Columns;
}

struct TCell {
  int Row;
  int Column;
};

// The cell of an area that the search over ever finer grids meets first: the middle cell, then
// steps of 16, 8, 4 and 2, each pass row by row, and finally every cell; rows and columns 0 only
// in the last pass. False when the area has no cell.
bool FirstSearchedCell(const TSegmentRows& Area, TCell& Cell) {
  for (int Step = kSegmentSide / 2; Step >= 2; Step /= 2) {
    const std::uint64_t Columns = PassColumns(Step);
    for (int Row = Step; Row < kSegmentSide; Row += Step) {
      const std::uint64_t Met = Area[static_cast<std::size_t>(Row)] & Columns;
      if (Met == 0) continue;
      Cell = {Row, std::countr_zero(Met)};
      return true;
    }
  }
  for (int Row = 0; Row < kSegmentSide; ++Row) {
    const std::uint64_t Met = Area[static_cast<std::size_t>(Row)];
    if (Met == 0) continue;
    Cell = {Row, std::countr_zero(Met)};
    return true;
  }
  return false;
}

// Bit 4a + b of the link word for every area a of Own whose border cells meet area b of Other's.
std::uint16_t Contacts(const std::array<std::uint64_t, kKeptAreas>& Own,
                       const std::array<std::uint64_t, kKeptAreas>& Other) {
  unsigned Word = 0;
  for (unsigned A = 0; A < kKeptAreas; ++A) {
    for (unsigned B = 0; B < kKeptAreas; ++B) {
      if ((Own[A] & Other[B]) != 0) Word |= 1u << LinkBit(A + 1, B + 1);
    }
  }
  return static_cast<std::uint16_t>(Word);
}

void AddLinks(std::array<std::uint8_t, 2>& Links, std::uint16_t Word) {
  StoreLinkWord(Links, static_cast<std::uint16_t>(LinkWord(Links) | Word));
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

// Writes every row whole, eight cells at a time, from the planes.
void PaintAreaMap(const TAreaMasks& Masks, TAreaSegment& AreaMap) {
  for (std::size_t R = 0; R < kSegmentSide; ++R) {
    std::uint8_t* Row = &AreaMap[R * kSegmentSide];
    for (int Byte = 0; Byte < 8; ++Byte) {
      std::uint64_t Cells = 0;
      for (std::uint64_t Area = 1; Area <= kKeptAreas; ++Area) {
        Cells |= kSpreadBits[(Masks.Rows[Area - 1][R] >> (8 * Byte)) & 0xFF] * Area;
      }
      std::memcpy(Row + 8 * Byte, &Cells, sizeof Cells);
    }
  }
}

}  // namespace

void LabelAreaMasks(const TSegmentRows& Blocked, TAreaMasks& Masks) {
  Masks = {};
  // Segments all open or all blocked need no run analysis.
  const auto AllAre = [&Blocked](std::uint64_t Row) {
    return std::all_of(Blocked.begin(), Blocked.end(), [Row](std::uint64_t B) { return B == Row; });
  };
  if (AllAre(kAllBlocked)) return;
  if (AllAre(0)) {
    Masks.Rows[0].fill(kAllBlocked);
    Masks.Count = 1;
    return;
  }
  TRuns Runs;
  ScanRuns(Blocked, Runs);
  BuildMasks(Runs, RankAreas(Runs), Masks);
}

void ReduceMasksToInfo(const TAreaMasks& Masks, TInfoRows& Info) {
  // Each block's two cells of a row are bits 2c and 2c + 1; shifted to the even bit, every
  // block's cell sits where its value's low bit goes.
  constexpr std::uint64_t kEven = 0x5555555555555555ull;
  for (std::size_t R = 0; R < Info.size(); ++R) {
    std::uint64_t Decided = 0;
    std::uint64_t Low = 0;                  // value 1: area 2
    std::uint64_t High = 0;                 // value 2: area 3
    for (int Cell = 0; Cell < 4; ++Cell) {  // top left, top right, bottom left, bottom right
      const std::size_t Row = 2 * R + static_cast<std::size_t>(Cell / 2);
      const int Shift = Cell % 2;
      const std::uint64_t Area2 = Masks.Rows[1][Row] >> Shift & kEven;
      const std::uint64_t Area3 = Masks.Rows[2][Row] >> Shift & kEven;
      const std::uint64_t Deciding =
          ((Masks.Rows[0][Row] >> Shift & kEven) | Area2 | Area3) & ~Decided;
      Low |= Area2 & Deciding;
      High |= Area3 & Deciding;
      Decided |= Deciding;
    }
    const std::uint64_t None = kEven & ~Decided;  // value 3
    Info[R] = Low | None | (High | None) << 1;
  }
}

void PlaceWaypoints(const TAreaMasks& Masks, TWaypointSegment& Record) {
  const int Count = std::clamp(Masks.Count, 0, kKeptAreas);
  if (Count == 0) return;
  Record.AreaMask = static_cast<std::uint8_t>(((1 << Count) - 1) << 4);
  for (int A = 0; A < Count; ++A) {
    TCell Cell;
    if (!FirstSearchedCell(Masks.Rows[static_cast<std::size_t>(A)], Cell)) {
      throw Exception("Logic failure in CalculateWaypoint");
    }
    Record.Points[static_cast<std::size_t>(A)] = {static_cast<std::uint8_t>(Cell.Column),
                                                  static_cast<std::uint8_t>(Cell.Row)};
  }
}

TAreaBorders AreaBorders(const TAreaMasks& Masks) {
  TAreaBorders Borders;
  const auto Count = static_cast<std::size_t>(std::clamp(Masks.Count, 0, kKeptAreas));
  for (std::size_t A = 0; A < Count; ++A) {
    const TSegmentRows& Rows = Masks.Rows[A];
    Borders.Top[A] = Rows.front();
    Borders.Bottom[A] = Rows.back();
    for (std::size_t R = 0; R < Rows.size(); ++R) {
      Borders.Left[A] |= (Rows[R] & 1) << R;
      Borders.Right[A] |= (Rows[R] >> (kSegmentSide - 1)) << R;
    }
  }
  return Borders;
}

void LinkDown(const TAreaBorders& Upper, const TAreaBorders& Lower, TWaypointSegment& Record) {
  AddLinks(Record.DownLinks, Contacts(Upper.Bottom, Lower.Top));
}

void LinkRight(const TAreaBorders& Left, const TAreaBorders& Right, TWaypointSegment& Record) {
  AddLinks(Record.RightLinks, Contacts(Left.Right, Right.Left));
}

void LinkSegments(const TAreaBorderMap& Borders, TWaypointSegments& Records) {
  const std::uint32_t N = Borders.Size();
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      if (I + 1 < N) LinkDown(Borders[I][J], Borders[I + 1][J], Records[I][J]);
      if (J + 1 < N) LinkRight(Borders[I][J], Borders[I][J + 1], Records[I][J]);
    }
  }
}

void LabelAreas(const TSegment& Segment, TAreaSegment& AreaMap, std::int32_t& AreaCount) {
  TAreaMasks Masks;
  LabelAreaMasks(SegmentRows(Segment), Masks);
  PaintAreaMap(Masks, AreaMap);
  AreaCount = Masks.Count;
}

TAreaMasks AreaMasksOf(const TAreaSegment& AreaMap, std::int32_t AreaCount) {
  TAreaMasks Masks;
  for (std::size_t Cell = 0; Cell < AreaMap.size(); ++Cell) {
    const unsigned Area = AreaMap[Cell];
    if (Area == 0 || Area > kKeptAreas) continue;
    Masks.Rows[Area - 1][Cell / kSegmentSide] |= std::uint64_t{1} << (Cell % kSegmentSide);
  }
  Masks.Count = AreaCount;
  return Masks;
}

void ReduceToInfo(const TAreaSegment& AreaMap, TInfoSegment& Info) {
  TInfoRows Rows;
  ReduceMasksToInfo(AreaMasksOf(AreaMap, kKeptAreas), Rows);
  Info = UnpackInfoRows(Rows);
}

void CalculateWaypoint(const TAreaSegment& AreaMap, std::int32_t AreaCount,
                       TWaypointSegment& Record) {
  PlaceWaypoints(AreaMasksOf(AreaMap, AreaCount), Record);
}

TAreaBorders AreaEdges(const TAreaSegment& AreaMap) {
  return AreaBorders(AreaMasksOf(AreaMap, kKeptAreas));
}

}  // namespace varnholt
