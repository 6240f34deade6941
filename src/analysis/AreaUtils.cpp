#include "analysis/AreaUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "analysis/UnionFind.h"

namespace varnholt {
namespace {

// Four steps, each a loop with few data-dependent branches: the scan ties every open run to an
// origin and notes where origins meet, the joins unite the origins, the ranking keeps the four
// largest areas, and the masks are built row by row from words.

constexpr int kCells = kSegmentSide * kSegmentSide;
constexpr std::uint32_t kNoRun = kCells;  // the slot of Cells that stays 0
// The number of a kept area rides in the top bits of its root's count, above 4096.
constexpr int kNumberShift = 13;
// Below this many runs, gathering the masks run by run beats filling every row.
constexpr int kFewRuns = 160;

// The word scans below are on words known not to be 0; the extra bit spares the compiler's check.
std::uint32_t LowestBit(std::uint64_t Word) {
  return static_cast<std::uint32_t>(std::countr_zero(Word | std::uint64_t{1} << 63));
}

std::uint32_t HighestBit(std::uint64_t Word) {
  return static_cast<std::uint32_t>(std::bit_width(Word | 1) - 1);
}

// A choice without a branch: the conditions here are as good as random.
std::uint32_t Pick(bool Condition, std::uint32_t IfTrue, std::uint32_t IfFalse) {
  return IfFalse ^ ((IfTrue ^ IfFalse) & (0u - static_cast<std::uint32_t>(Condition)));
}

// One row and its relation to the row above, as words.
struct TRow {
  std::uint32_t Base;       // id of the run ending in column 0
  std::uint64_t Starts;     // first cells of the runs
  std::uint64_t Ends;       // last cells of the runs
  std::uint64_t AboveEnds;  // last cells of the runs above
  std::uint64_t Overlaps;   // first cells of the stretches open in both rows
  std::uint64_t Firsts;     // the first of these in each run that has any
  std::uint64_t Touched;    // each such run from its first overlap to its end
};

TRow MakeRow(int R, std::uint64_t Open, std::uint64_t AboveOpen) {
  TRow Row;
  Row.Base = static_cast<std::uint32_t>(R * kSegmentSide);
  Row.Starts = Open & ~(Open << 1);
  Row.Ends = Open & ~(Open >> 1);
  Row.AboveEnds = AboveOpen & ~(AboveOpen >> 1);
  const std::uint64_t Both = Open & AboveOpen;
  Row.Overlaps = Both & ~(Both << 1);
  // The carry of adding the overlaps runs from the first one in a run to the run's end.
  Row.Touched = (((Open + Row.Overlaps) ^ Open) | Row.Overlaps) & Open;
  Row.Firsts = Row.Overlaps & ~(Row.Touched << 1);
  return Row;
}

// A run touching no run above is its own origin and counts its own cells.
int AddFreshRuns(const TRow& Row, TForest& Forest, int FreshCount) {
  for (std::uint64_t Ends = Row.Ends & ~Row.Touched; Ends != 0; Ends &= Ends - 1) {
    const std::uint32_t Last = LowestBit(Ends);
    const std::uint32_t Begin = HighestBit(Row.Starts & (Ends ^ (Ends - 1)));
    const std::uint32_t Run = Row.Base + Last;
    Forest.Parent[Run] = static_cast<std::uint16_t>(Run);
    Forest.Cells[Run] = static_cast<std::uint16_t>(Last + 1 - Begin);
    Forest.Fresh[static_cast<std::size_t>(FreshCount++)] = static_cast<std::uint16_t>(Run);
  }
  return FreshCount;
}

// A touched run takes the origin of the run above its first overlap and counts its cells there.
// The k-th first overlap lies in the k-th touched run, so their last cells are taken in step.
int AddTouchedRuns(const TRow& Row, TForest& Forest) {
  int Count = 0;
  std::uint64_t Ends = Row.Ends & Row.Touched;
  for (std::uint64_t Firsts = Row.Firsts; Firsts != 0; Ends &= Ends - 1, ++Count) {
    const auto Column = static_cast<std::uint32_t>(std::countr_zero(Firsts));
    const std::uint64_t UpTo = Firsts ^ (Firsts - 1);
    Firsts &= Firsts - 1;
    const std::uint32_t Last = LowestBit(Ends);
    const std::uint32_t AboveLast = Column + LowestBit(Row.AboveEnds >> Column);
    const std::uint32_t Origin = Forest.Parent[Row.Base - kSegmentSide + AboveLast];
    const std::uint32_t Begin = HighestBit(Row.Starts & UpTo);
    Forest.Parent[Row.Base + Last] = static_cast<std::uint16_t>(Origin);
    Forest.Cells[Origin] = static_cast<std::uint16_t>(Forest.Cells[Origin] + Last + 1 - Begin);
  }
  return Count;
}

// Every further overlap of a run joins two origins; origins already alike are left out, which
// drops most of them where a blocked cell stands alone.
int AddJoins(const TRow& Row, TForest& Forest, int JoinCount) {
  for (std::uint64_t More = Row.Overlaps & ~Row.Firsts; More != 0; More &= More - 1) {
    const auto Column = static_cast<std::uint32_t>(std::countr_zero(More));
    const std::uint32_t Last = Column + LowestBit(Row.Ends >> Column);
    const std::uint32_t AboveLast = Column + LowestBit(Row.AboveEnds >> Column);
    const std::uint32_t HereOrigin = Forest.Parent[Row.Base + Last];
    const std::uint32_t Origin = Forest.Parent[Row.Base - kSegmentSide + AboveLast];
    Forest.Joins[static_cast<std::size_t>(JoinCount)] = HereOrigin << 16 | Origin;
    JoinCount += HereOrigin != Origin ? 1 : 0;
  }
  return JoinCount;
}

// Ties each run to its origin: the fresh run reached by going up through first overlaps. Joins
// wait until the end, so no link made in a row moves the origin of a run above: finding it is a
// single load, and the loads never wait for the row's stores. Kept out of line: inlined with the
// later stages, GCC 12 spills this loop's state to the stack.
// Rows before First and from End on must be all blocked.
[[gnu::noinline]] void ScanRuns(const TSegmentRows& Blocked, TForest& Forest, int First = 0,
                                int End = kSegmentSide) {
  std::uint64_t AboveOpen = 0;
  int JoinCount = 0;
  int FreshCount = 0;
  int TouchedCount = 0;
  for (int R = First; R < End; ++R) {
    const std::uint64_t Open = ~Blocked[static_cast<std::size_t>(R)];
    const TRow Row = MakeRow(R, Open, AboveOpen);
    FreshCount = AddFreshRuns(Row, Forest, FreshCount);
    TouchedCount += AddTouchedRuns(Row, Forest);
    JoinCount = AddJoins(Row, Forest, JoinCount);
    AboveOpen = Open;
  }
  Forest.JoinCount = JoinCount;
  Forest.FreshCount = FreshCount;
  Forest.RunCount = FreshCount + TouchedCount;
}

// Unites the origins that meet. The older root survives and takes the cells of the other, so a
// root is its area's first run, which is always fresh.
void JoinOrigins(TForest& Forest) {
  Forest.Cells[kNoRun] = 0;
  for (int K = 0; K < Forest.JoinCount; ++K) {
    const std::uint32_t Join = Forest.Joins[static_cast<std::size_t>(K)];
    const auto [Low, High] = JoinSets(Forest.Parent, Join >> 16, Join & 0xFFFF);
    const std::uint32_t Taken = Forest.Cells[Pick(Low == High, kNoRun, High)];
    Forest.Cells[Low] = static_cast<std::uint16_t>(Forest.Cells[Low] + Taken);
  }
}

struct TRanking {
  std::array<std::uint32_t, kKeptAreas> Roots{};
  int Count = 0;
};

// Points each fresh run straight at its root and keeps the roots of the four largest areas. One
// pass does both since fresh runs come in scan order and a parent always precedes its child. A key
// orders areas by size, then by age: the id taken backwards.
TRanking RankAreas(TForest& Forest) {
  constexpr int kIdBits = 12;
  std::array<std::uint32_t, kKeptAreas> Best{};
  for (int K = 0; K < Forest.FreshCount; ++K) {
    const std::uint32_t Run = Forest.Fresh[static_cast<std::size_t>(K)];
    const std::uint32_t Root = Forest.Parent[Forest.Parent[Run]];
    Forest.Parent[Run] = static_cast<std::uint16_t>(Root);
    const std::uint32_t Key =
        Pick(Root == Run, std::uint32_t{Forest.Cells[Run]} << kIdBits | (kCells - 1 - Run), 0);
    // Most areas are small: once the four best have some size, this branch is rarely taken.
    if (Key <= Best[kKeptAreas - 1]) continue;
    std::size_t Place = kKeptAreas - 1;
    for (; Place > 0 && Best[Place - 1] < Key; --Place) Best[Place] = Best[Place - 1];
    Best[Place] = Key;
  }
  TRanking Ranking;
  for (std::size_t K = 0; K < kKeptAreas && Best[K] != 0; ++K, ++Ranking.Count) {
    Ranking.Roots[K] = kCells - 1 - (Best[K] & (kCells - 1));
  }
  return Ranking;
}

std::uint32_t NumberOf(const TForest& Forest, std::uint32_t Root) {
  return Forest.Cells[Root] >> kNumberShift;
}

// Run by run: the area number of each run in binary, one plane per bit, marked at its first cell;
// the carry of adding the marks then fills the runs. A row like the one above holds the same areas.
void GatherMasks(const TSegmentRows& Blocked, const TForest& Forest, TAreaMasks& Masks) {
  for (std::size_t R = 0; R < kSegmentSide; ++R) {
    if (R > 0 && Blocked[R] == Blocked[R - 1]) {
      for (auto& Area : Masks.Rows) Area[R] = Area[R - 1];
      continue;
    }
    const auto Base = static_cast<std::uint32_t>(R * kSegmentSide);
    const std::uint64_t Open = ~Blocked[R];
    std::uint64_t Starts = Open & ~(Open << 1);
    std::uint64_t Odd = 0;
    std::uint64_t Twos = 0;
    std::uint64_t Fours = 0;
    for (std::uint64_t Ends = Open & ~(Open >> 1); Ends != 0; Ends &= Ends - 1) {
      const std::uint32_t Run = Base + LowestBit(Ends);
      const std::uint64_t Number = NumberOf(Forest, Forest.Parent[Forest.Parent[Run]]);
      const std::uint64_t First = Starts & (0 - Starts);
      Starts ^= First;
      Odd |= First & (0 - (Number & 1));
      Twos |= First & (0 - (Number >> 1 & 1));
      Fours |= First & (0 - (Number >> 2));
    }
    const auto Fill = [Open](std::uint64_t Marks) { return ((Open + Marks) ^ Open) & Open; };
    Masks.Rows[0][R] = Fill(Odd & ~Twos);
    Masks.Rows[1][R] = Fill(Twos & ~Odd);
    Masks.Rows[2][R] = Fill(Twos & Odd);
    Masks.Rows[3][R] = Fill(Fours);
  }
}

// Row by row from the top: an area's runs in a row are those meeting its cells in the row above,
// and its fresh runs, which meet none. A run is filled from the cells it meets: the carry of adding
// them runs up to its end, and shifts by 1, 2, 4 ... 32 within open stretches spread them down to
// its start. The cost is the same whatever the rows hold, far less than run by run in noise; it is
// made for each count of areas so that segments of one large area pay for one.
template <std::size_t kAreas>
void FillMasks(const TSegmentRows& Blocked, const TForest& Forest, TAreaMasks& Masks) {
  // Fresh runs of an area, by row; those of areas not kept go to changing rows of plane 0, as one
  // word would chain them all through memory.
  std::array<std::array<std::uint64_t, kSegmentSide>, kKeptAreas + 1> Seeds{};
  for (int K = 0; K < Forest.FreshCount; ++K) {
    const std::uint32_t Run = Forest.Fresh[static_cast<std::size_t>(K)];
    const std::uint32_t Number = NumberOf(Forest, Forest.Parent[Run]);
    const std::uint32_t Row =
        Pick(Number == 0, static_cast<std::uint32_t>(K) % kSegmentSide, Run / kSegmentSide);
    Seeds[Number][Row] |= std::uint64_t{1} << (Run % kSegmentSide);
  }
  std::array<std::uint64_t, kAreas> Above{};
  for (std::size_t R = 0; R < kSegmentSide; ++R) {
    const std::uint64_t Open = ~Blocked[R];
    std::array<std::uint64_t, kAreas> Up;
    std::array<std::uint64_t, kAreas> Down;
    for (std::size_t A = 0; A < kAreas; ++A) {
      Down[A] = (Above[A] & Open) | Seeds[A + 1][R];
      Up[A] = (((Open + Down[A]) ^ Open) | Down[A]) & Open;
    }
    std::uint64_t Span = Open;  // cells starting an open stretch of 2^K cells
    for (int K = 0; K < 6; ++K) {
      for (auto& Word : Down) Word |= (Word >> (1 << K)) & Span;
      Span &= Span >> (1 << K);
    }
    for (std::size_t A = 0; A < kAreas; ++A) {
      Above[A] = Up[A] | Down[A];
      Masks.Rows[A][R] = Above[A];
    }
    for (std::size_t A = kAreas; A < kKeptAreas; ++A) Masks.Rows[A][R] = 0;
  }
}

void BuildMasks(const TSegmentRows& Blocked, TForest& Forest, const TRanking& Ranking,
                TAreaMasks& Masks) {
  for (int Rank = 0; Rank < Ranking.Count; ++Rank) {
    auto& Cells = Forest.Cells[Ranking.Roots[static_cast<std::size_t>(Rank)]];
    Cells = static_cast<std::uint16_t>(Cells | (Rank + 1) << kNumberShift);
  }
  if (Forest.RunCount < kFewRuns) {
    GatherMasks(Blocked, Forest, Masks);
  } else if (Ranking.Count == 1) {
    FillMasks<1>(Blocked, Forest, Masks);
  } else if (Ranking.Count == 2) {
    FillMasks<2>(Blocked, Forest, Masks);
  } else if (Ranking.Count == 3) {
    FillMasks<3>(Blocked, Forest, Masks);
  } else {
    FillMasks<4>(Blocked, Forest, Masks);
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

// The cell of an area that the search over ever finer grids meets first: the middle cell, then
// steps of 16, 8, 4 and 2, each pass row by row, and finally every cell; rows and columns 0 only
// in the last pass. False when the area has no cell.
bool FirstSearchedCell(const TSegmentRows& Area, TCell& Cell) {
  for (int Step = kSegmentSide / 2; Step >= 1; Step /= 2) {
    const bool Last = Step == 1;
    const std::uint64_t Columns = Last ? ~std::uint64_t{0} : PassColumns(Step);
    for (int Row = Last ? 0 : Step; Row < kSegmentSide; Row += Step) {
      const std::uint64_t Met = Area[static_cast<std::size_t>(Row)] & Columns;
      if (Met == 0) continue;
      Cell = {Row, std::countr_zero(Met)};
      return true;
    }
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

}  // namespace

void LabelAreaMasks(const TSegmentRows& Blocked, TAreaMasks& Masks) {
  TForest Forest;
  ScanRuns(Blocked, Forest);
  JoinOrigins(Forest);
  const TRanking Ranking = RankAreas(Forest);
  BuildMasks(Blocked, Forest, Ranking, Masks);
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
      throw Exception(VARNHOLT_ERROR_INTERNAL, "Logic failure in CalculateWaypoint");
    }
    Record.Points[static_cast<std::size_t>(A)] = {static_cast<std::uint8_t>(Cell.Column),
                                                  static_cast<std::uint8_t>(Cell.Row)};
  }
}

TSegmentRows ErasedCells(const TSegmentRows& Blocked, const TAreaMasks& Masks) {
  TSegmentRows Cells;
  for (std::size_t R = 0; R < Cells.size(); ++R) {
    Cells[R] =
        ~Blocked[R] & ~(Masks.Rows[0][R] | Masks.Rows[1][R] | Masks.Rows[2][R] | Masks.Rows[3][R]);
  }
  return Cells;
}

TAreaBorders AreaBorders(const TAreaMasks& Masks) {
  TAreaBorders Borders;
  const auto Count = static_cast<std::size_t>(std::clamp(Masks.Count, 0, kKeptAreas));
  for (std::size_t A = 0; A < Count; ++A) {
    const TSegmentRows& Rows = Masks.Rows[A];
    Borders.Top[A] = Rows.front();
    Borders.Bottom[A] = Rows.back();
    // Columns are gathered bit by bit, so only for the areas that reach them.
    std::uint64_t Reach = 0;
    for (const std::uint64_t Row : Rows) Reach |= Row;
    const std::uint64_t Edges = std::uint64_t{1} | std::uint64_t{1} << (kSegmentSide - 1);
    if ((Reach & Edges) == 0) continue;
    for (std::size_t R = 0; R < Rows.size(); ++R) {
      Borders.Left[A] |= (Rows[R] & 1) << R;
      Borders.Right[A] |= (Rows[R] >> (kSegmentSide - 1)) << R;
    }
  }
  return Borders;
}

void AnalyseSegment(const TSegmentRows& Blocked, TSegmentAnalysis& Result) {
  Result.Blocked = Blocked;
  LabelAreaMasks(Blocked, Result.Masks);
  ReduceMasksToInfo(Result.Masks, Result.Info);
  Result.Waypoint = {};
  PlaceWaypoints(Result.Masks, Result.Waypoint);
  Result.Borders = AreaBorders(Result.Masks);
}

void LinkDown(const TAreaBorders& Upper, const TAreaBorders& Lower, TWaypointSegment& Record) {
  AddLinks(Record.DownLinks, Contacts(Upper.Bottom, Lower.Top));
}

void LinkRight(const TAreaBorders& Left, const TAreaBorders& Right, TWaypointSegment& Record) {
  AddLinks(Record.RightLinks, Contacts(Left.Right, Right.Left));
}

void TSegmentLinker::Add(std::size_t K, const TAreaBorders& Borders, TWaypointSegments& Records) {
  const std::span<TWaypointSegment> All = Records.All();
  Sweep.Add(K, Borders, [&](const auto& Other, const auto& Own, bool Above, std::size_t Neighbour) {
    // The link bits are the other segment's: K is below it or to its right.
    TWaypointSegment& Record = All[Neighbour];
    AddLinks(Above ? Record.DownLinks : Record.RightLinks, Contacts(Other, Own));
  });
}

void LinkSegments(const TAreaBorderMap& Borders, TWaypointSegments& Records) {
  TSegmentLinker Linker(Borders.Size());
  for (std::size_t K = 0; K < Borders.All().size(); ++K) Linker.Add(K, Borders.All()[K], Records);
}

// The labeller's own scan and joins, on the set as the open cells; then each fresh run points
// straight at its root, and the roots, met in scan order, are numbered.
void TComponents::Label(const TSegmentRows& Cells) {
  Set = Cells;
  // Sets here are mostly a few pockets: only their rows are scanned.
  const auto IsEmpty = [](std::uint64_t Row) { return Row == 0; };
  const auto Top =
      static_cast<int>(std::find_if_not(Cells.begin(), Cells.end(), IsEmpty) - Cells.begin());
  const auto Bottom =
      static_cast<int>(Cells.rend() - std::find_if_not(Cells.rbegin(), Cells.rend(), IsEmpty));
  TSegmentRows Outside;
  for (std::size_t R = 0; R < kSegmentSide; ++R) Outside[R] = ~Cells[R];
  ScanRuns(Outside, Forest, Top, std::max(Top, Bottom));
  JoinOrigins(Forest);
  ComponentCount = 0;
  for (int K = 0; K < Forest.FreshCount; ++K) {
    const std::uint32_t Run = Forest.Fresh[static_cast<std::size_t>(K)];
    const std::uint32_t Root = Forest.Parent[Forest.Parent[Run]];
    Forest.Parent[Run] = static_cast<std::uint16_t>(Root);
    if (Root != Run) continue;
    const std::uint64_t Row = Cells[Run / kSegmentSide];
    const auto Length = std::countl_one(Row << (kSegmentSide - 1 - Run % kSegmentSide));
    const auto Component = static_cast<std::size_t>(ComponentCount++);
    First[Component] = static_cast<std::uint16_t>(Run + 1 - static_cast<std::uint32_t>(Length));
    Size[Component] = Forest.Cells[Run];
    Number[Run] = static_cast<std::uint16_t>(Component);
  }
}

int TComponents::ComponentAt(int Cell) const {
  const std::uint64_t Row = Set[static_cast<std::size_t>(Cell / kSegmentSide)];
  const int C = Cell % kSegmentSide;
  if ((Row >> C & 1) == 0) return -1;
  return ComponentOfRun(Cell + std::countr_one(Row >> C) - 1);
}

// Every row whole, eight cells at a time, from the planes.
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
