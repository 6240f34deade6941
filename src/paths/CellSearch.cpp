#include "paths/CellSearch.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <utility>

#include "paths/RowBits.h"

namespace varnholt {
namespace {

constexpr std::uint32_t kUnknown = UINT32_MAX;
constexpr std::uint32_t kNone = UINT32_MAX - 1;
constexpr std::uint64_t kAll = ~std::uint64_t{0};
constexpr std::uint64_t kFirst = 1;
constexpr std::uint64_t kLast = std::uint64_t{1} << 63;

// The step to the next cell in Direction.
struct TStep {
  int Rows, Columns;
};
constexpr TStep StepOf(int Direction) {
  return {Direction == kUp     ? -1
          : Direction == kDown ? 1
                               : 0,
          Direction == kLeft    ? -1
          : Direction == kRight ? 1
                                : 0};
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
  TSegmentRows Open{};  // open and not yet closed
  // The cells reached in the bucket being closed, and those reached for the next one: planes of
  // the search's pool, held only while there are such cells, so that a search across a whole map
  // keeps little more than a plane a slot.
  std::uint32_t Seeds = kNone;
  std::uint32_t Later = kNone;
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
};

// Cells closed, and of each the parity of its bucket's number (f - f0) / 2, kept per slot where a
// path is wanted. Since every f has the parity of the start's, a neighbour's f differs from a
// cell's by -2, 0 or 2; with which of the two is nearer the goal, the parity tells whether the
// neighbour is one step nearer the start: all the walk back needs.
struct TCellSearch::TMarks {
  TSegmentRows Closed{};
  TSegmentRows Parity{};
};

TCellSearch::TCellSearch(const TCellStore& Store, const TCorridor* Admitted)
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
  if (Marking) Marks.emplace_back();
  TSlot& Slot = Slots.emplace_back();
  Slot.Segment = Segment;
  Slot.Origin = Cells.CellOf(Segment, 0);
  const TSegmentRows Blocked = Cells.Rows(Segment);
  for (std::size_t R = 0; R < Blocked.size(); ++R) Slot.Open[R] = ~Blocked[R];
  if (const TSegmentRows* Admitted = Corridor == nullptr ? nullptr : Corridor->CellsOf(Segment)) {
    for (std::size_t R = 0; R < Blocked.size(); ++R) Slot.Open[R] &= (*Admitted)[R];
  }
  const std::int64_t GoalColumn = std::int64_t{Goal.Column} - Slot.Origin.Column;
  Slot.RightTowards = ColumnsBelow(GoalColumn);
  Slot.LeftTowards = ColumnsAbove(GoalColumn);
  Slot.GoalRow = static_cast<int>(
      std::clamp<std::int64_t>(std::int64_t{Goal.Row} - Slot.Origin.Row, -1, kSegmentSide));
  Slot.Distance = DistanceToRange(Goal.Row, Slot.Origin.Row, Slot.Origin.Row + 63) +
                  DistanceToRange(Goal.Column, Slot.Origin.Column, Slot.Origin.Column + 63);
  return Number;
}

std::uint32_t TCellSearch::Neighbour(std::uint32_t Slot, int Direction) {
  const std::uint32_t Known = Slots[Slot].Neighbours[static_cast<std::size_t>(Direction)];
  if (Known != kUnknown) return Known;
  const std::size_t N = Cells.SegmentsPerSide();
  const auto K = static_cast<std::size_t>(Slots[Slot].Segment);
  const auto Side = static_cast<TDirection>(Direction);
  const bool Inside = HasSegmentBeside(K, N, Side);
  const std::size_t Next = Inside ? SegmentBeside(K, N, Side) : 0;
  const bool Admitted = Inside && (Corridor == nullptr || Corridor->Admits(Next));
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
  std::uint64_t Any = 0;
  for (int R = From; R < To; ++R)
    Any |= Bits[static_cast<std::size_t>(R)] & Slot.Open[static_cast<std::size_t>(R)];
  if (Any == 0) return;  // a plane is taken only for cells
  TSegmentRows& Into = PlaneOf(ForLater ? Slot.Later : Slot.Seeds);
  for (int R = From; R < To; ++R) {
    const auto Row = static_cast<std::size_t>(R);
    Into[Row] |= Bits[Row] & Slot.Open[Row];
  }
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

// The cells a bucket closes in one slot: rows From to To (one past the last) of Closed hold them;
// OutDown and OutUp, what flows on towards the goal out of its last and first rows.
struct TCellSearch::TClosedRows {
  TSegmentRows Closed;
  int From = kSegmentSide, To = 0;
  std::uint64_t OutDown = 0, OutUp = 0;

  std::uint64_t Take(int R, std::uint64_t Filled) {
    Closed[static_cast<std::size_t>(R)] = Filled;
    if (Filled != 0) {
      From = std::min(From, R);
      To = std::max(To, R + 1);
    }
    return Filled;
  }
  bool Holds(int Cell) const {
    const int Row = Cell / kSegmentSide;
    return Row >= From && Row < To &&
           (Closed[static_cast<std::size_t>(Row)] >> (Cell % kSegmentSide) & 1) != 0;
  }
};

// Rightwards up to the goal's column, leftwards down to it: the cells of Row that Reach leads to
// by steps towards the goal.
std::uint64_t TCellSearch::FillTowards(const TSlot& Slot, std::uint64_t Reach, std::uint64_t Row) {
  if (Reach == 0) return 0;
  const std::uint64_t Right = Row & ~Slot.LeftTowards, Left = Row & ~Slot.RightTowards;
  std::uint64_t Filled = 0;
  if ((Reach & Right) != 0) Filled |= FillRight(Reach & Right, Right);
  if ((Reach & Left) != 0) Filled |= FillLeft(Reach & Left, Left);
  return Filled;
}

// Down to the goal's row from the rows above it, then up to it from those below, each sweep as
// long as there are seeds or what flows from them. Only the rows that seeds and their flow reach
// are looked at; the seeds' plane goes back to the pool.
TCellSearch::TClosedRows TCellSearch::Sweep(TSlot& Slot) {
  TSegmentRows& Open = Slot.Open;
  TSegmentRows& In = PlaneOf(Slot.Seeds);
  const int SeedsFrom = Slot.SeedsFrom, SeedsTo = Slot.SeedsTo, GoalRow = Slot.GoalRow;
  Slot.SeedsFrom = kSegmentSide;
  Slot.SeedsTo = 0;
  TClosedRows Rows;
  for (int R = SeedsFrom; R < SeedsTo; ++R) Rows.Closed[static_cast<std::size_t>(R)] = 0;
  std::uint64_t Carry = 0;
  bool GoalRowTaken = false;
  int R = SeedsFrom;
  for (; R <= std::min(GoalRow, kSegmentSide - 1) && (R < SeedsTo || Carry != 0); ++R) {
    const auto Row = static_cast<std::size_t>(R);
    const std::uint64_t Reach = ((R < SeedsTo ? In[Row] : 0) | Carry) & Open[Row];
    const std::uint64_t Filled = Rows.Take(R, FillTowards(Slot, Reach, Open[Row]));
    Carry = R == GoalRow ? 0 : Filled;
    GoalRowTaken = GoalRowTaken || R == GoalRow;
  }
  Rows.OutDown = R == kSegmentSide && GoalRow >= kSegmentSide ? Carry : 0;
  Carry = 0;
  R = SeedsTo - 1;
  for (; R >= std::max(GoalRow, 0) && (R >= SeedsFrom || Carry != 0 || R == GoalRow); --R) {
    const auto Row = static_cast<std::size_t>(R);
    std::uint64_t Reach = ((R >= SeedsFrom ? In[Row] : 0) | Carry) & Open[Row];
    if (R == GoalRow && GoalRowTaken) Reach |= Rows.Closed[Row];
    const std::uint64_t Filled = Rows.Take(R, FillTowards(Slot, Reach, Open[Row]));
    Carry = R == GoalRow ? 0 : Filled;
  }
  Rows.OutUp = R < 0 && GoalRow < 0 ? Carry : 0;
  for (int Row = SeedsFrom; Row < SeedsTo; ++Row) In[static_cast<std::size_t>(Row)] = 0;
  Release(Slot.Seeds);
  return Rows;
}

// The cells closed leave the slot's open cells, and are marked where a path is wanted.
void TCellSearch::MarkClosed(std::uint32_t SlotNumber, const TClosedRows& Rows) {
  const bool Odd = ((Bucket - FirstBucket) / 2 & 1) != 0;
  for (int Row = Rows.From; Row < Rows.To; ++Row) {
    const auto At = static_cast<std::size_t>(Row);
    if (Rows.Closed[At] == 0) continue;
    Slots[SlotNumber].Open[At] &= ~Rows.Closed[At];
    if (!Marking) continue;
    Marks[SlotNumber].Closed[At] |= Rows.Closed[At];
    if (Odd) Marks[SlotNumber].Parity[At] |= Rows.Closed[At];
  }
}

// What goes on towards the goal into the neighbours is closed in this bucket too; steps away
// from the goal seed the next. (No reference to the slot is kept here: looking up a neighbour may
// add slots.)
void TCellSearch::PassOn(std::uint32_t SlotNumber, const TClosedRows& Rows) {
  const std::uint64_t RightTowards = Slots[SlotNumber].RightTowards;
  const std::uint64_t LeftTowards = Slots[SlotNumber].LeftTowards;
  std::uint64_t RightColumn = 0, LeftColumn = 0;  // rows leaving it sideways
  for (int Row = Rows.From; Row < Rows.To; ++Row) {
    const std::uint64_t Bits = Rows.Closed[static_cast<std::size_t>(Row)];
    RightColumn |= (Bits & RightTowards) >> 63 << Row;
    LeftColumn |= (Bits & LeftTowards & kFirst) << Row;
  }
  Across(SlotNumber, kRight, kFirst, RightColumn, false);
  Across(SlotNumber, kLeft, kLast, LeftColumn, false);
  if (Rows.OutDown != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kDown); Next != kNone) {
      Seed(Next, 0, Rows.OutDown, false);
    }
  }
  if (Rows.OutUp != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kUp); Next != kNone) {
      Seed(Next, kSegmentSide - 1, Rows.OutUp, false);
    }
  }
  SeedAwaySteps(SlotNumber, Rows.Closed, Rows.From, Rows.To);
}

// Closes the cells that the slot's seeds reach by steps towards the goal, and passes on what
// leaves the slot; true once the goal is closed.
bool TCellSearch::Close(std::uint32_t SlotNumber) {
  Slots[SlotNumber].InNow = false;
  const TClosedRows Rows = Sweep(Slots[SlotNumber]);
  MarkClosed(SlotNumber, Rows);
  if (SlotNumber == GoalSlot && Rows.Holds(GoalCell)) return true;
  PassOn(SlotNumber, Rows);
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
  TSlot& Slot = Slots[SlotNumber];
  const std::uint64_t RightAway = ~Slot.RightTowards;
  const std::uint64_t LeftAway = ~Slot.LeftTowards;
  const int GoalRow = Slot.GoalRow;
  const auto At = [&](int R) {
    return R >= From && R < To ? Closed[static_cast<std::size_t>(R)] : 0;
  };
  std::uint64_t RightColumn = 0, LeftColumn = 0;
  TSegmentRows Seeded{};
  const int SeedFrom = std::max(From - 1, 0), SeedTo = std::min(To + 1, kSegmentSide);
  for (int R = SeedFrom; R < SeedTo; ++R) {
    const std::uint64_t Here = At(R);
    const std::uint64_t Above = R - 1 >= GoalRow ? At(R - 1) : 0;
    const std::uint64_t Below = R + 1 <= GoalRow ? At(R + 1) : 0;
    Seeded[static_cast<std::size_t>(R)] =
        ((Here & RightAway) << 1) | ((Here & LeftAway) >> 1) | Above | Below;
    RightColumn |= (Here & RightAway) >> 63 << R;
    LeftColumn |= (Here & LeftAway & kFirst) << R;
  }
  SeedRows(SlotNumber, Seeded, SeedFrom, SeedTo, true);
  Across(SlotNumber, kRight, kFirst, RightColumn, true);
  Across(SlotNumber, kLeft, kLast, LeftColumn, true);
  if (GoalRow <= kSegmentSide - 1 && At(kSegmentSide - 1) != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kDown); Next != kNone) {
      Seed(Next, 0, At(kSegmentSide - 1), true);
    }
  }
  if (GoalRow >= 0 && At(0) != 0) {
    if (const std::uint32_t Next = Neighbour(SlotNumber, kUp); Next != kNone) {
      Seed(Next, kSegmentSide - 1, At(0), true);
    }
  }
}

// Closes the bucket from the few cells on the stack one at a time, as in a corridor, where rows of
// cells at once would each close but a cell or two. A cell's steps towards the goal go on the
// stack, last in first out, so that the search runs along a corridor; its steps away seed the
// next bucket. A bucket that spreads over many cells is handed on to the rows. True once the goal
// is closed.
bool TCellSearch::CloseFew() {
  const bool Odd = ((Bucket - FirstBucket) / 2 & 1) != 0;
  for (std::size_t Count = 0; !Stack.empty(); ++Count) {
    if (Count == kCellBudget) {
      for (const TCellAt& At : Stack) {
        Seed(At.Slot, At.Cell / kSegmentSide, kFirst << (At.Cell % kSegmentSide), false);
      }
      Stack.clear();
      return false;
    }
    const TCellAt At = Stack.back();
    Stack.pop_back();
    const int Row = At.Cell / kSegmentSide, Column = At.Cell % kSegmentSide;
    const std::uint64_t Bit = kFirst << Column;
    TSlot& Slot = Slots[At.Slot];
    const auto Index = static_cast<std::size_t>(Row);
    if ((Slot.Open[Index] & Bit) == 0) {
      --Count;
      continue;
    }
    Slot.Open[Index] &= ~Bit;
    if (Marking) {
      Marks[At.Slot].Closed[Index] |= Bit;
      if (Odd) Marks[At.Slot].Parity[Index] |= Bit;
    }
    if (At.Slot == GoalSlot && At.Cell == GoalCell) return true;
    const bool Towards[4] = {Row > Slot.GoalRow, Row < Slot.GoalRow, (Slot.LeftTowards & Bit) != 0,
                             (Slot.RightTowards & Bit) != 0};
    for (int Direction = kUp; Direction <= kRight; ++Direction) {
      int NextRow = Row + StepOf(Direction).Rows;
      int NextColumn = Column + StepOf(Direction).Columns;
      std::uint32_t In = At.Slot;
      if (NextRow < 0 || NextRow >= kSegmentSide || NextColumn < 0 || NextColumn >= kSegmentSide) {
        In = Neighbour(At.Slot, Direction);
        if (In == kNone) continue;
        NextRow = (NextRow + kSegmentSide) % kSegmentSide;
        NextColumn = (NextColumn + kSegmentSide) % kSegmentSide;
      }
      if ((Slots[In].Open[static_cast<std::size_t>(NextRow)] >> NextColumn & 1) == 0) continue;
      (Towards[Direction] ? Stack : LaterStack)
          .push_back({In, NextRow * kSegmentSide + NextColumn});
    }
  }
  return false;
}

std::int64_t TCellSearch::Run(TCell Start, TCell GoalAt, std::vector<TCell>* Path) {
  Goal = GoalAt;
  Marking = Path != nullptr;
  const TSegmentCell From = Cells.Locate(Start);
  const TSegmentCell To = Cells.Locate(GoalAt);
  StartSlot = SlotOf(From.Segment);
  StartCell = From.Cell;
  GoalSlot = SlotOf(To.Segment);
  GoalCell = To.Cell;
  Bucket = FirstBucket = static_cast<std::uint32_t>(Heuristic(Start));
  Stack.push_back({StartSlot, StartCell});
  for (;;) {
    bool Done = false;
    if (!Stack.empty()) {
      Done = CloseFew();
    } else if (!Now.empty()) {
      std::pop_heap(Now.begin(), Now.end(), FartherFirst());
      const std::uint32_t SlotNumber = Now.back();
      Now.pop_back();
      Done = Close(SlotNumber);
    } else if (Later.empty() && LaterStack.empty()) {
      return -1;
    } else {
      NextBucket();
    }
    if (!Done) continue;
    if (Path != nullptr) WalkBack(Start, *Path);
    return Bucket;
  }
}

// Moves on to the bucket after: its seeds, as cells one at a time where they are few, as rows
// otherwise.
void TCellSearch::NextBucket() {
  Bucket += 2;
  if (Later.empty() && LaterStack.size() <= kFewCells) {
    // A search along a corridor away from the goal: a few cells a bucket, kept as cells.
    Stack.swap(LaterStack);
    return;
  }
  for (const TCellAt& At : LaterStack) {
    Seed(At.Slot, At.Cell / kSegmentSide, kFirst << (At.Cell % kSegmentSide), true);
  }
  LaterStack.clear();
  Waiting.swap(Later);
  Later.clear();
  std::size_t Seeds = 0;
  for (const std::uint32_t SlotNumber : Waiting) {
    const TSlot& Slot = Slots[SlotNumber];
    const TSegmentRows& Bits = Planes[Slot.Later];
    for (int R = Slot.LaterFrom; R < Slot.LaterTo && Seeds <= kFewCells; ++R) {
      Seeds += static_cast<std::size_t>(std::popcount(Bits[static_cast<std::size_t>(R)]));
    }
  }
  for (const std::uint32_t SlotNumber : Waiting) {
    TSlot& Slot = Slots[SlotNumber];
    Slot.InLater = false;
    if (Seeds > kFewCells) {
      // The later seeds become the seeds, plane and all: no slot has seeds between buckets.
      std::swap(Slot.Seeds, Slot.Later);
      Slot.SeedsFrom = Slot.LaterFrom;
      Slot.SeedsTo = Slot.LaterTo;
      Slot.InNow = true;
      Now.push_back(SlotNumber);
      std::push_heap(Now.begin(), Now.end(), FartherFirst());
    } else {
      TSegmentRows& Bits = Planes[Slot.Later];
      for (int R = Slot.LaterFrom; R < Slot.LaterTo; ++R) {
        for (std::uint64_t Row = Bits[static_cast<std::size_t>(R)]; Row != 0; Row &= Row - 1) {
          Stack.push_back({SlotNumber, R * kSegmentSide + std::countr_zero(Row)});
        }
        Bits[static_cast<std::size_t>(R)] = 0;
      }
      Release(Slot.Later);
    }
    Slot.LaterFrom = kSegmentSide;
    Slot.LaterTo = 0;
  }
}

TSegmentRows& TCellSearch::PlaneOf(std::uint32_t& Plane) {
  if (Plane == kNone) {
    if (Spare.empty()) {
      Plane = static_cast<std::uint32_t>(Planes.size());
      Planes.emplace_back();
    } else {
      Plane = Spare.back();
      Spare.pop_back();
    }
  }
  return Planes[Plane];
}

// A plane given back is all clear.
void TCellSearch::Release(std::uint32_t& Plane) {
  Spare.push_back(Plane);
  Plane = kNone;
}

// From the goal back to the start, each step to a closed neighbour whose g is one less: a step
// towards the goal from a cell of the same bucket (its parity the same), or a step away from the
// goal from one of the bucket before (its parity the other). Of two such neighbours the one nearer
// the straight line between start and goal is taken, so that across open ground the path is a
// fine staircase along that line rather than two long legs, and lines drawn through it are short.
void TCellSearch::WalkBack(TCell Start, std::vector<TCell>& Path) {
  std::uint32_t SlotNumber = GoalSlot;
  int Cell = GoalCell;
  TCell At = Goal;
  const auto ParityAt = [this](std::uint32_t In, int Row, int Column) {
    return Marks[In].Parity[static_cast<std::size_t>(Row)] >> Column & 1;
  };
  const std::int64_t LineRows = std::int64_t{Goal.Row} - Start.Row;
  const std::int64_t LineColumns = std::int64_t{Goal.Column} - Start.Column;
  const auto OffLine = [&](TCell Of) {
    return std::abs((std::int64_t{Of.Row} - Start.Row) * LineColumns -
                    (std::int64_t{Of.Column} - Start.Column) * LineRows);
  };
  Path.push_back(At);
  while (SlotNumber != StartSlot || Cell != StartCell) {
    const std::uint64_t Parity = ParityAt(SlotNumber, Cell / kSegmentSide, Cell % kSegmentSide);
    const std::int64_t Here = Heuristic(At);
    std::uint32_t BestSlot = kNone;
    int BestCell = 0;
    TCell Best{};
    for (int Direction = kUp; Direction <= kRight; ++Direction) {
      const TCell Next{At.Row + StepOf(Direction).Rows, At.Column + StepOf(Direction).Columns};
      int Row = Cell / kSegmentSide + (Next.Row - At.Row);
      int Column = Cell % kSegmentSide + (Next.Column - At.Column);
      std::uint32_t In = SlotNumber;
      if (Row < 0 || Row >= kSegmentSide || Column < 0 || Column >= kSegmentSide) {
        if (!Cells.IsInside(Next)) continue;
        In = SlotIndex.Find(Cells.Locate(Next).Segment);
        if (In == TKeyTable::kMissing) continue;
        Row = (Row + kSegmentSide) % kSegmentSide;
        Column = (Column + kSegmentSide) % kSegmentSide;
      }
      if ((Marks[In].Closed[static_cast<std::size_t>(Row)] >> Column & 1) == 0) continue;
      const bool Farther = Heuristic(Next) > Here;
      if ((ParityAt(In, Row, Column) == Parity) != Farther) continue;
      if (BestSlot != kNone && OffLine(Next) >= OffLine(Best)) continue;
      BestSlot = In;
      BestCell = Row * kSegmentSide + Column;
      Best = Next;
    }
    // Every closed cell but the start was reached from such a neighbour.
    if (BestSlot == kNone)
      throw Exception(VARNHOLT_ERROR_INTERNAL, "Logic failure in the path search");
    SlotNumber = BestSlot;
    Cell = BestCell;
    At = Best;
    Path.push_back(At);
  }
  std::reverse(Path.begin(), Path.end());
}

}  // namespace varnholt
