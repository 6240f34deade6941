#include "CellSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <utility>

namespace varnholt {
namespace {

constexpr std::uint32_t kUnknown = UINT32_MAX;
constexpr std::uint32_t kNone = UINT32_MAX - 1;
constexpr std::uint64_t kAll = ~std::uint64_t{0};
constexpr std::uint64_t kFirst = 1;
constexpr std::uint64_t kLast = std::uint64_t{1} << 63;

enum TDirection { kUp, kDown, kLeft, kRight };

// Every cell of Domain that a run of Domain's cells leads to from a seed towards higher bits
// (right): the carry of adding the seeds runs up to the end of each run. Subsequent seeds in a
// run leave a gap in the carry, which the seeds themselves fill.
std::uint64_t FillRight(std::uint64_t Seeds, std::uint64_t Domain) {
  return (((Domain + Seeds) ^ Domain) | Seeds) & Domain;
}

// The same towards lower bits (left), by doubling steps within runs.
std::uint64_t FillLeft(std::uint64_t Seeds, std::uint64_t Domain) {
  for (int Shift = 1; Shift < 64; Shift *= 2) {
    Seeds |= (Seeds >> Shift) & Domain;
    Domain &= Domain >> Shift;
  }
  return Seeds;
}

// The bits of the columns below (or above) Column of a segment, Column counted from its first
// and possibly outside it.
std::uint64_t ColumnsBelow(std::int64_t Column) {
  if (Column <= 0) return 0;
  if (Column >= 64) return kAll;
  return (kFirst << Column) - 1;
}
std::uint64_t ColumnsAbove(std::int64_t Column) {
  if (Column < 0) return kAll;
  if (Column >= 63) return 0;
  return kAll << (Column + 1);
}

std::int64_t DistanceToRange(std::int64_t Value, std::int64_t First, std::int64_t Last) {
  return Value < First ? First - Value : Value > Last ? Value - Last : 0;
}

}  // namespace

struct TCellSearch::TSlot {
  std::uint64_t Segment = 0;
  TCell Origin;  // its cell (0, 0) on the map
  std::array<std::uint32_t, 4> Neighbours{kUnknown, kUnknown, kUnknown, kUnknown};
  TSegmentRows Open{};   // open and not yet closed
  TSegmentRows Seeds{};  // reached in the bucket being closed
  TSegmentRows Later{};  // reached for the next bucket
  // The columns from which a step right is towards the goal (those left of the goal's), and
  // those from which a step left is.
  std::uint64_t RightTowards = 0;
  std::uint64_t LeftTowards = 0;
  int GoalRow = 0;            // within the slot: below 0 above it, 64 and more below it
  std::int64_t Distance = 0;  // the least h of its cells
  bool InNow = false;
  bool InLater = false;
  // The rows that hold seeds and later seeds: the first, and one past the last.
  int SeedsFrom = kSegmentSide, SeedsTo = 0;
  int LaterFrom = kSegmentSide, LaterTo = 0;
  std::array<std::uint32_t, kSegmentSide> Recorded{};  // per row, its last record
};

TCellSearch::TCellSearch(const TCellStore& Store, const TKeyTable* Admitted)
    : Cells(Store), Corridor(Admitted) {}

TCellSearch::~TCellSearch() = default;

// The order of a bucket's slots: those far from the goal first, since steps towards the goal
// lead from them to the nearer ones.
auto TCellSearch::FartherFirst() const {
  return [this](std::uint32_t A, std::uint32_t B) {
    return Slots[A].Distance != Slots[B].Distance ? Slots[A].Distance < Slots[B].Distance : A > B;
  };
}

std::int64_t TCellSearch::Heuristic(TCell Cell) const {
  return std::abs(std::int64_t{Cell.Row} - Goal.Row) +
         std::abs(std::int64_t{Cell.Column} - Goal.Column);
}

std::uint32_t TCellSearch::SlotOf(std::uint64_t Segment) {
  const std::uint32_t Number = SlotIndex.Add(Segment);
  if (Number < Slots.size()) return Number;
  TSlot& Slot = Slots.emplace_back();
  Slot.Segment = Segment;
  Slot.Origin = Cells.CellOf(Segment, 0);
  const TSegmentRows Blocked = Cells.Rows(Segment);
  for (std::size_t R = 0; R < Blocked.size(); ++R) Slot.Open[R] = ~Blocked[R];
  const std::int64_t GoalColumn = std::int64_t{Goal.Column} - Slot.Origin.Column;
  Slot.RightTowards = ColumnsBelow(GoalColumn);
  Slot.LeftTowards = ColumnsAbove(GoalColumn);
  Slot.GoalRow = static_cast<int>(
      std::clamp<std::int64_t>(std::int64_t{Goal.Row} - Slot.Origin.Row, -1, kSegmentSide));
  Slot.Distance = DistanceToRange(Goal.Row, Slot.Origin.Row, Slot.Origin.Row + 63) +
                  DistanceToRange(Goal.Column, Slot.Origin.Column, Slot.Origin.Column + 63);
  Slot.Recorded.fill(kNone);
  return Number;
}

std::uint32_t TCellSearch::Neighbour(std::uint32_t Slot, int Direction) {
  const std::uint32_t Known = Slots[Slot].Neighbours[static_cast<std::size_t>(Direction)];
  if (Known != kUnknown) return Known;
  const std::uint64_t N = Cells.SegmentsPerSide();
  const std::uint64_t K = Slots[Slot].Segment;
  const bool Inside = Direction == kUp     ? K >= N
                      : Direction == kDown ? K + N < N * N
                      : Direction == kLeft ? K % N > 0
                                           : K % N + 1 < N;
  const std::uint64_t Next = Direction == kUp     ? K - N
                             : Direction == kDown ? K + N
                             : Direction == kLeft ? K - 1
                                                  : K + 1;
  const bool Admitted =
      Inside && (Corridor == nullptr || Corridor->Find(Next) != TKeyTable::kMissing);
  const std::uint32_t Found = Admitted ? SlotOf(Next) : kNone;
  Slots[Slot].Neighbours[static_cast<std::size_t>(Direction)] = Found;
  return Found;
}

void TCellSearch::Seed(std::uint32_t SlotNumber, int Row, std::uint64_t Bits, bool ForLater) {
  TSegmentRows Row64;
  Row64[static_cast<std::size_t>(Row)] = Bits;
  SeedRows(SlotNumber, Row64, Row, Row + 1, ForLater);
}

// Seeds a column of the slot (its first or its last, Bit) in the rows of Rows, a bit per row.
void TCellSearch::SeedColumn(std::uint32_t SlotNumber, std::uint64_t Bit, std::uint64_t Rows,
                             bool ForLater) {
  const auto From = std::countr_zero(Rows);
  const auto To = 64 - std::countl_zero(Rows);
  TSegmentRows Bits;
  for (int R = From; R < To; ++R)
    Bits[static_cast<std::size_t>(R)] = (Rows >> R & 1) != 0 ? Bit : 0;
  SeedRows(SlotNumber, Bits, From, To, ForLater);
}

// Seeds the slot's rows From to To (one past the last) with Bits, those not yet closed.
void TCellSearch::SeedRows(std::uint32_t SlotNumber, const TSegmentRows& Bits, int From, int To,
                           bool ForLater) {
  TSlot& Slot = Slots[SlotNumber];
  TSegmentRows& Into = ForLater ? Slot.Later : Slot.Seeds;
  std::uint64_t Any = 0;
  for (int R = From; R < To; ++R) {
    const auto Row = static_cast<std::size_t>(R);
    const std::uint64_t New = Bits[Row] & Slot.Open[Row];
    Into[Row] |= New;
    Any |= New;
  }
  if (Any == 0) return;
  int& First = ForLater ? Slot.LaterFrom : Slot.SeedsFrom;
  int& End = ForLater ? Slot.LaterTo : Slot.SeedsTo;
  First = std::min(First, From);
  End = std::max(End, To);
  if (ForLater) {
    if (!Slot.InLater) Later.push_back(SlotNumber);
    Slot.InLater = true;
  } else if (!Slot.InNow) {
    Slot.InNow = true;
    Now.push_back(SlotNumber);
    std::push_heap(Now.begin(), Now.end(), FartherFirst());
  }
}

// Closes the cells that the slot's seeds reach by steps towards the goal, and passes on what
// leaves the slot; true once the goal is closed. Only the rows that seeds and their flow reach
// are looked at.
bool TCellSearch::Close(std::uint32_t SlotNumber) {
  TSlot& Slot = Slots[SlotNumber];
  Slot.InNow = false;
  TSegmentRows& Open = Slot.Open;
  TSegmentRows& In = Slot.Seeds;
  const int SeedsFrom = Slot.SeedsFrom, SeedsTo = Slot.SeedsTo;
  Slot.SeedsFrom = kSegmentSide;
  Slot.SeedsTo = 0;
  const std::uint64_t RightTowards = Slot.RightTowards, LeftTowards = Slot.LeftTowards;
  const auto Fill = [&](std::uint64_t Reach, std::uint64_t Row) {
    // Rightwards up to the goal's column, leftwards down to it.
    const std::uint64_t Right = Row & ~LeftTowards, Left = Row & ~RightTowards;
    std::uint64_t Filled = 0;
    if ((Reach & Right) != 0) Filled |= FillRight(Reach & Right, Right);
    if ((Reach & Left) != 0) Filled |= FillLeft(Reach & Left, Left);
    return Filled;
  };
  const int GoalRow = Slot.GoalRow;
  TSegmentRows Closed;
  int ClosedFrom = kSegmentSide, ClosedTo = 0;
  const auto Take = [&](int R, std::uint64_t Reach) {
    const auto Row = static_cast<std::size_t>(R);
    const std::uint64_t Filled = Reach == 0 ? 0 : Fill(Reach, Open[Row]);
    Closed[Row] = Filled;
    if (Filled != 0) {
      ClosedFrom = std::min(ClosedFrom, R);
      ClosedTo = std::max(ClosedTo, R + 1);
    }
    return Filled;
  };
  for (int R = SeedsFrom; R < SeedsTo; ++R) Closed[static_cast<std::size_t>(R)] = 0;
  // Down to the goal's row from the rows above it, then up to it from those below, each sweep
  // as long as there are seeds or what flows from them.
  std::uint64_t Carry = 0;
  bool GoalRowTaken = false;
  int R = SeedsFrom;
  for (; R <= std::min(GoalRow, kSegmentSide - 1) && (R < SeedsTo || Carry != 0); ++R) {
    const auto Row = static_cast<std::size_t>(R);
    const std::uint64_t Filled = Take(R, ((R < SeedsTo ? In[Row] : 0) | Carry) & Open[Row]);
    Carry = R == GoalRow ? 0 : Filled;
    GoalRowTaken = GoalRowTaken || R == GoalRow;
  }
  const std::uint64_t OutDown = R == kSegmentSide && GoalRow >= kSegmentSide ? Carry : 0;
  Carry = 0;
  R = SeedsTo - 1;
  for (; R >= std::max(GoalRow, 0) && (R >= SeedsFrom || Carry != 0 || R == GoalRow); --R) {
    const auto Row = static_cast<std::size_t>(R);
    std::uint64_t Reach = ((R >= SeedsFrom ? In[Row] : 0) | Carry) & Open[Row];
    if (R == GoalRow && GoalRowTaken) Reach |= Closed[Row];
    const std::uint64_t Filled = Take(R, Reach);
    Carry = R == GoalRow ? 0 : Filled;
  }
  const std::uint64_t OutUp = R < 0 && GoalRow < 0 ? Carry : 0;
  for (int Row = SeedsFrom; Row < SeedsTo; ++Row) In[static_cast<std::size_t>(Row)] = 0;
  for (int Row = ClosedFrom; Row < ClosedTo; ++Row) {
    const auto At = static_cast<std::size_t>(Row);
    if (Closed[At] == 0) continue;
    Open[At] &= ~Closed[At];
    if (!Recording) continue;
    Records.push_back({Closed[At], Bucket, Slot.Recorded[At]});
    Slot.Recorded[At] = static_cast<std::uint32_t>(Records.size() - 1);
  }
  if (SlotNumber == GoalSlot && GoalCell / kSegmentSide >= ClosedFrom &&
      GoalCell / kSegmentSide < ClosedTo &&
      (Closed[static_cast<std::size_t>(GoalCell / kSegmentSide)] >> (GoalCell % kSegmentSide) &
       1) != 0) {
    return true;
  }
  // What goes on towards the goal into the neighbours is closed in this bucket too. (No
  // reference to the slot is kept from here: looking up a neighbour may add slots.)
  std::uint64_t RightColumn = 0, LeftColumn = 0;  // rows leaving it sideways
  for (int Row = ClosedFrom; Row < ClosedTo; ++Row) {
    const std::uint64_t Bits = Closed[static_cast<std::size_t>(Row)];
    RightColumn |= (Bits & RightTowards) >> 63 << Row;
    LeftColumn |= (Bits & LeftTowards & kFirst) << Row;
  }
  Across(SlotNumber, kRight, kFirst, RightColumn, false);
  Across(SlotNumber, kLeft, kLast, LeftColumn, false);
  if (OutDown != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kDown); Next != kNone) {
      Seed(Next, 0, OutDown, false);
    }
  }
  if (OutUp != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kUp); Next != kNone) {
      Seed(Next, kSegmentSide - 1, OutUp, false);
    }
  }
  SeedAwaySteps(SlotNumber, Closed, ClosedFrom, ClosedTo);
  return false;
}

// Seeds a column of the neighbour in Direction, where there is one, in the rows of Rows.
void TCellSearch::Across(std::uint32_t SlotNumber, int Direction, std::uint64_t Bit,
                         std::uint64_t Rows, bool ForLater) {
  if (Rows == 0) return;
  if (const std::uint32_t Next = Neighbour(SlotNumber, Direction); Next != kNone) {
    SeedColumn(Next, Bit, Rows, ForLater);
  }
}

// Steps away from the goal from the cells just closed, rows From to To, reach cells of the next
// bucket: sideways away from the goal's column, down from the goal's row and the rows below it,
// up from it and the rows above.
void TCellSearch::SeedAwaySteps(std::uint32_t SlotNumber, const TSegmentRows& Closed, int From,
                                int To) {
  const std::uint64_t RightAway = ~Slots[SlotNumber].RightTowards;
  const std::uint64_t LeftAway = ~Slots[SlotNumber].LeftTowards;
  const int GoalRow = Slots[SlotNumber].GoalRow;
  const int First = std::max(From - 1, 0), End = std::min(To + 1, kSegmentSide);
  TSegmentRows Away{};
  std::uint64_t RightColumn = 0, LeftColumn = 0;
  for (int R = First; R < End; ++R) {
    const auto Row = static_cast<std::size_t>(R);
    const std::uint64_t Here = R >= From && R < To ? Closed[Row] : 0;
    const std::uint64_t Above =
        R - 1 >= From && R - 1 < To && R - 1 >= GoalRow ? Closed[Row - 1] : 0;
    const std::uint64_t Below =
        R + 1 >= From && R + 1 < To && R + 1 <= GoalRow ? Closed[Row + 1] : 0;
    Away[Row] = ((Here & RightAway) << 1) | ((Here & LeftAway) >> 1) | Above | Below;
    RightColumn |= (Here & RightAway) >> 63 << R;
    LeftColumn |= (Here & LeftAway & kFirst) << R;
  }
  SeedRows(SlotNumber, Away, First, End, true);
  Across(SlotNumber, kRight, kFirst, RightColumn, true);
  Across(SlotNumber, kLeft, kLast, LeftColumn, true);
  const auto Edge = [&](int R) {
    return R >= From && R < To ? Closed[static_cast<std::size_t>(R)] : 0;
  };
  if (GoalRow <= kSegmentSide - 1 && Edge(kSegmentSide - 1) != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kDown); Next != kNone) {
      Seed(Next, 0, Edge(kSegmentSide - 1), true);
    }
  }
  if (GoalRow >= 0 && Edge(0) != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kUp); Next != kNone) {
      Seed(Next, kSegmentSide - 1, Edge(0), true);
    }
  }
}

std::int64_t TCellSearch::Run(TCell Start, TCell GoalAt, std::vector<TCell>* Path) {
  Goal = GoalAt;
  Recording = Path != nullptr;
  const TSegmentCell From = Cells.Locate(Start);
  const TSegmentCell To = Cells.Locate(GoalAt);
  StartSlot = SlotOf(From.Segment);
  StartCell = From.Cell;
  GoalSlot = SlotOf(To.Segment);
  GoalCell = To.Cell;
  Bucket = static_cast<std::uint32_t>(Heuristic(Start));
  Seed(StartSlot, StartCell / kSegmentSide, kFirst << (StartCell % kSegmentSide), false);
  for (;;) {
    if (Now.empty()) {
      if (Later.empty()) return -1;
      Bucket += 2;
      const std::vector<std::uint32_t> Next = std::move(Later);
      Later.clear();
      for (const std::uint32_t SlotNumber : Next) {
        TSlot& Slot = Slots[SlotNumber];
        Slot.InLater = false;
        const int First = Slot.LaterFrom, End = Slot.LaterTo;
        Slot.LaterFrom = kSegmentSide;
        Slot.LaterTo = 0;
        for (int R = First; R < End; ++R) {
          const std::uint64_t Bits = std::exchange(Slot.Later[static_cast<std::size_t>(R)], 0);
          if (Bits != 0) Seed(SlotNumber, R, Bits, false);
        }
      }
      continue;
    }
    std::pop_heap(Now.begin(), Now.end(), FartherFirst());
    const std::uint32_t SlotNumber = Now.back();
    Now.pop_back();
    if (!Close(SlotNumber)) continue;
    if (Path != nullptr) WalkBack(*Path);
    return Bucket;
  }
}

std::uint32_t TCellSearch::BucketOf(std::uint32_t SlotNumber, int Row, int Column) const {
  for (std::uint32_t Record = Slots[SlotNumber].Recorded[static_cast<std::size_t>(Row)];
       Record != kNone; Record = Records[Record].Previous) {
    if ((Records[Record].Bits >> Column & 1) != 0) return Records[Record].Bucket;
  }
  return kNone;
}

// From the goal back to the start, each step to a closed neighbour whose g is one less: a step
// towards the goal from a cell of the same bucket, or a step away from one of the bucket before.
void TCellSearch::WalkBack(std::vector<TCell>& Path) {
  const std::uint64_t N = Cells.SegmentsPerSide();
  std::uint32_t SlotNumber = GoalSlot;
  int Cell = GoalCell;
  std::uint32_t CellBucket = Bucket;
  const auto MapCell = [&](std::uint32_t In, int At) {
    return Cells.CellOf(Slots[In].Segment, At);
  };
  Path.push_back(MapCell(SlotNumber, Cell));
  while (SlotNumber != StartSlot || Cell != StartCell) {
    const std::int64_t G = std::int64_t{CellBucket} - Heuristic(MapCell(SlotNumber, Cell));
    bool Stepped = false;
    for (int Direction = kUp; Direction <= kRight && !Stepped; ++Direction) {
      int Row = Cell / kSegmentSide + (Direction == kUp ? -1 : Direction == kDown ? 1 : 0);
      int Column = Cell % kSegmentSide + (Direction == kLeft ? -1 : Direction == kRight ? 1 : 0);
      std::uint32_t In = SlotNumber;
      if (Row < 0 || Row >= kSegmentSide || Column < 0 || Column >= kSegmentSide) {
        const std::uint64_t K = Slots[SlotNumber].Segment;
        const bool Inside = Direction == kUp     ? K >= N
                            : Direction == kDown ? K + N < N * N
                            : Direction == kLeft ? K % N > 0
                                                 : K % N + 1 < N;
        if (!Inside) continue;
        const std::uint64_t Next = Direction == kUp     ? K - N
                                   : Direction == kDown ? K + N
                                   : Direction == kLeft ? K - 1
                                                        : K + 1;
        In = SlotIndex.Find(Next);
        if (In == TKeyTable::kMissing) continue;
        Row = (Row + kSegmentSide) % kSegmentSide;
        Column = (Column + kSegmentSide) % kSegmentSide;
      }
      const std::uint32_t Found = BucketOf(In, Row, Column);
      const int At = Row * kSegmentSide + Column;
      if (Found == kNone || std::int64_t{Found} - Heuristic(MapCell(In, At)) != G - 1) continue;
      SlotNumber = In;
      Cell = At;
      CellBucket = Found;
      Path.push_back(MapCell(SlotNumber, Cell));
      Stepped = true;
    }
    // Every closed cell but the start was reached from such a neighbour.
    if (!Stepped) throw Exception(VARNHOLT_ERROR_INTERNAL, "Logic failure in the path search");
  }
  std::reverse(Path.begin(), Path.end());
}

}  // namespace varnholt
