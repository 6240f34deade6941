#include "PathSearch.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <numeric>
#include <queue>
#include <string>

namespace varnholt {
namespace {

constexpr int kCells = kSegmentSide * kSegmentSide;

std::uint64_t Distance(std::uint64_t RowA, std::uint64_t ColumnA, std::uint64_t RowB,
                       std::uint64_t ColumnB) {
  return (RowA > RowB ? RowA - RowB : RowB - RowA) +
         (ColumnA > ColumnB ? ColumnA - ColumnB : ColumnB - ColumnA);
}

void CheckCell(const TCellStore& Cells, TCell Cell) {
  if (!Cells.IsInside(Cell)) {
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "Cell outside the map: " + CellText(Cell));
  }
  if (!Cells.IsOpen(Cell))
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "Cell blocked: " + CellText(Cell));
}

// ---- Searching the regions ----

// A region of the map: its segment and its number there.
using TNode = std::uint64_t;
constexpr int kRegionBits = 12;  // a segment has at most 2048 regions

TNode NodeOf(std::uint64_t Segment, unsigned Region) {
  return Segment << kRegionBits | Region;
}
std::uint64_t SegmentOf(TNode Node) {
  return Node >> kRegionBits;
}
unsigned RegionNumber(TNode Node) {
  return static_cast<unsigned>(Node & ((1u << kRegionBits) - 1));
}

// Dense numbers for the keys a search meets, in the order it meets them: its cost grows with
// what it visits, not with the map.
class TKeyTable {
 public:
  static constexpr std::uint32_t kMissing = UINT32_MAX;
  std::uint32_t Find(std::uint64_t Key) const {
    if (Keys.empty()) return kMissing;
    for (std::size_t Slot = Hash(Key);; Slot = (Slot + 1) & (Keys.size() - 1)) {
      if (Keys[Slot] == 0) return kMissing;
      if (Keys[Slot] == Key + 1) return Values[Slot];
    }
  }
  // Key's number, numbering it next if it is new.
  std::uint32_t Add(std::uint64_t Key) {
    if (2 * (Count + 1) > Keys.size()) Grow();
    std::size_t Slot = Hash(Key);
    for (; Keys[Slot] != 0; Slot = (Slot + 1) & (Keys.size() - 1)) {
      if (Keys[Slot] == Key + 1) return Values[Slot];
    }
    Keys[Slot] = Key + 1;
    Values[Slot] = Count;
    return Count++;
  }
  std::uint32_t Size() const { return Count; }

 private:
  std::size_t Hash(std::uint64_t Key) const {
    return static_cast<std::size_t>((Key * 0x9E3779B97F4A7C15ull) >> Shift);
  }
  void Grow() {
    std::vector<std::uint64_t> OldKeys = std::move(Keys);
    std::vector<std::uint32_t> OldValues = std::move(Values);
    const std::size_t Size = std::max<std::size_t>(64, 2 * OldKeys.size());
    Keys.assign(Size, 0);
    Values.assign(Size, 0);
    Shift = 64 - std::countr_zero(Size);
    for (std::size_t Slot = 0; Slot < OldKeys.size(); ++Slot) {
      if (OldKeys[Slot] == 0) continue;
      std::size_t To = Hash(OldKeys[Slot] - 1);
      while (Keys[To] != 0) To = (To + 1) & (Size - 1);
      Keys[To] = OldKeys[Slot];
      Values[To] = OldValues[Slot];
    }
  }

  std::vector<std::uint64_t> Keys;  // key + 1; 0 marks a free slot
  std::vector<std::uint32_t> Values;
  std::uint32_t Count = 0;
  int Shift = 64;
};

// Calls Visit(Node) for every region that touches the region Node.
template <typename F>
void ForNeighbours(const TRegionMap& Map, TNode Node, F Visit) {
  const std::uint64_t K = SegmentOf(Node);
  const std::uint64_t N = Map.Cells().SegmentsPerSide();
  const unsigned Region = RegionNumber(Node);
  for (const TContact& Contact : Map.DownOf(K)) {
    if (Contact.Own == Region) Visit(NodeOf(K + N, Contact.Other));
  }
  for (const TContact& Contact : Map.RightOf(K)) {
    if (Contact.Own == Region) Visit(NodeOf(K + 1, Contact.Other));
  }
  if (K >= N) {
    for (const TContact& Contact : Map.DownOf(K - N)) {
      if (Contact.Other == Region) Visit(NodeOf(K - N, Contact.Own));
    }
  }
  if (K % N > 0) {
    for (const TContact& Contact : Map.RightOf(K - 1)) {
      if (Contact.Other == Region) Visit(NodeOf(K - 1, Contact.Own));
    }
  }
}

TCell PlaceOf(const TRegionMap& Map, TNode Node) {
  const std::uint64_t K = SegmentOf(Node);
  const std::uint16_t Place = Map.PlacesOf(K)[RegionNumber(Node)];
  return Map.Cells().CellOf(K, Place);
}

std::uint64_t Distance(TCell A, TCell B) {
  return Distance(static_cast<std::uint64_t>(A.Row), static_cast<std::uint64_t>(A.Column),
                  static_cast<std::uint64_t>(B.Row), static_cast<std::uint64_t>(B.Column));
}

std::uint32_t ComponentOf(const TRegionMap& Map, TNode Node) {
  return Map.ComponentOf(SegmentOf(Node), RegionNumber(Node));
}

TNode NodeAt(const TRegionMap& Map, TCell Cell) {
  return NodeOf(Map.Cells().Locate(Cell).Segment, RegionOf(Map, Cell));
}

// A* over the regions, each standing at its place, a step costing the distance between places
// and the distance to the goal cell as the estimate. Start and Goal are connected.
std::vector<TNode> RegionPath(const TRegionMap& Map, TNode Start, TNode Goal, TCell GoalCell,
                              TCell StartCell) {
  struct TVisit {
    TNode Node;
    std::uint64_t Cost;
    std::uint32_t Parent;
    bool Closed;
  };
  struct TOpen {
    std::uint64_t Estimate;
    std::uint64_t Cost;
    std::uint32_t Visit;
    // Least estimate first; among equal ones the farther along, then the earlier met.
    bool operator<(const TOpen& Other) const {
      if (Estimate != Other.Estimate) return Estimate > Other.Estimate;
      if (Cost != Other.Cost) return Cost < Other.Cost;
      return Visit > Other.Visit;
    }
  };
  TKeyTable Index;
  std::vector<TVisit> Visits;
  std::priority_queue<TOpen> Open;
  const auto Reach = [&](TNode Node, std::uint64_t Cost, std::uint32_t Parent) {
    const std::uint32_t Number = Index.Add(Node);
    if (Number == Visits.size()) Visits.push_back({Node, UINT64_MAX, 0, false});
    TVisit& Visit = Visits[Number];
    if (Visit.Closed || Cost >= Visit.Cost) return;
    Visit.Cost = Cost;
    Visit.Parent = Parent;
    Open.push({Cost + Distance(PlaceOf(Map, Node), GoalCell), Cost, Number});
  };
  Reach(Start, Distance(StartCell, PlaceOf(Map, Start)), 0);
  while (!Open.empty()) {
    const TOpen Top = Open.top();
    Open.pop();
    if (Visits[Top.Visit].Closed) continue;
    Visits[Top.Visit].Closed = true;
    const TNode Node = Visits[Top.Visit].Node;
    if (Node == Goal) break;
    const TCell Place = PlaceOf(Map, Node);
    ForNeighbours(Map, Node, [&](TNode Next) {
      Reach(Next, Top.Cost + Distance(Place, PlaceOf(Map, Next)), Top.Visit);
    });
  }
  std::vector<TNode> Path;
  for (std::uint32_t Visit = Index.Find(Goal);; Visit = Visits[Visit].Parent) {
    Path.push_back(Visits[Visit].Node);
    if (Visit == 0) break;
  }
  std::reverse(Path.begin(), Path.end());
  return Path;
}

// The segments the cells are searched in: those of the regions found and their eight
// neighbours, so that the path can cut corners the regions' places do not, and go round small
// obstacles on whichever side is shorter.
TKeyTable CorridorOf(const TCellStore& Cells, const std::vector<TNode>& Regions) {
  const auto N = static_cast<std::int64_t>(Cells.SegmentsPerSide());
  TKeyTable Corridor;
  for (const TNode Node : Regions) {
    const auto K = static_cast<std::int64_t>(SegmentOf(Node));
    for (std::int64_t I = std::max<std::int64_t>(K / N - 1, 0); I <= std::min(K / N + 1, N - 1);
         ++I) {
      for (std::int64_t J = std::max<std::int64_t>(K % N - 1, 0); J <= std::min(K % N + 1, N - 1);
           ++J) {
        Corridor.Add(static_cast<std::uint64_t>(I * N + J));
      }
    }
  }
  return Corridor;
}

// ---- Searching the cells ----

constexpr std::uint32_t kUnknown = UINT32_MAX;
constexpr std::uint32_t kNone = UINT32_MAX - 1;

// Steps up, down, left and right, and the opposite of each.
constexpr int kRowStep[4] = {-1, 1, 0, 0};
constexpr int kColumnStep[4] = {0, 0, -1, 1};
constexpr std::uint8_t kOpposite[4] = {1, 0, 3, 2};

// A* over the cells of the segments admitted (all of them, or a corridor), 4-connected, a step
// costing 1 and the Manhattan distance to the goal as the estimate. A step changes the estimated
// length f by 0 or 2, so the open cells wait in two stacks, f and f + 2; last in first out within
// f takes the cells farthest along first, which keeps the search narrow where many paths are
// equally short. A cell is closed when it is first taken from a stack, and keeps the step it was
// reached by, so that the path can be walked back.
class TCellSearch {
 public:
  TCellSearch(const TCellStore& Store, const TKeyTable* Admitted)
      : Cells(Store), Corridor(Admitted) {}
  // The number of steps of the path found, -1 when there is none; Path gets its cells.
  std::int64_t Run(TCell Start, TCell Goal, std::vector<TCell>* Path);

 private:
  struct TSlot {
    std::uint64_t Segment;
    TCell Origin;                               // its cell (0, 0) on the map
    TSegmentRows Open;                          // cells open and not yet closed
    std::array<std::uint8_t, kCells / 4> From;  // per cell, 2 bits: the step it was reached by
    std::array<std::uint32_t, 4> Neighbours;    // slots up, down, left, right
  };
  struct TEntry {
    std::uint32_t Slot;
    std::uint16_t Cell;
    std::uint8_t From;
  };

  std::uint32_t SlotOf(std::uint64_t Segment);
  std::uint32_t Neighbour(std::uint32_t Slot, int Direction);
  std::uint64_t Estimate(const TSlot& Slot, int Cell) const {
    return Distance(static_cast<std::uint64_t>(Slot.Origin.Row + Cell / kSegmentSide),
                    static_cast<std::uint64_t>(Slot.Origin.Column + Cell % kSegmentSide),
                    static_cast<std::uint64_t>(Goal.Row), static_cast<std::uint64_t>(Goal.Column));
  }
  void Expand(const TEntry& Entry, std::uint64_t Cost, std::uint64_t Bound);
  void WalkBack(std::uint32_t SlotNumber, int Cell, std::vector<TCell>& Path);

  const TCellStore& Cells;
  const TKeyTable* Corridor;
  TCell Goal;
  std::uint32_t StartSlot = 0;
  int StartCell = 0;
  TKeyTable SlotIndex;
  std::vector<TSlot> Slots;
  std::vector<TEntry> Now;    // estimate f
  std::vector<TEntry> Later;  // estimate f + 2
};

std::uint32_t TCellSearch::SlotOf(std::uint64_t Segment) {
  const std::uint32_t Number = SlotIndex.Add(Segment);
  if (Number < Slots.size()) return Number;
  TSlot& Slot = Slots.emplace_back();
  Slot.Segment = Segment;
  Slot.Origin = Cells.CellOf(Segment, 0);
  const TSegmentRows Blocked = Cells.Rows(Segment);
  for (std::size_t R = 0; R < Blocked.size(); ++R) Slot.Open[R] = ~Blocked[R];
  Slot.Neighbours.fill(kUnknown);
  return Number;
}

std::uint32_t TCellSearch::Neighbour(std::uint32_t Slot, int Direction) {
  if (Slots[Slot].Neighbours[static_cast<std::size_t>(Direction)] != kUnknown) {
    return Slots[Slot].Neighbours[static_cast<std::size_t>(Direction)];
  }
  const std::uint64_t N = Cells.SegmentsPerSide();
  const std::uint64_t K = Slots[Slot].Segment;
  const bool Inside = Direction == 0   ? K >= N
                      : Direction == 1 ? K + N < N * N
                      : Direction == 2 ? K % N > 0
                                       : K % N + 1 < N;
  const std::uint64_t Next = K + static_cast<std::uint64_t>(kRowStep[Direction]) * N +
                             static_cast<std::uint64_t>(kColumnStep[Direction]);
  const bool Admitted =
      Inside && (Corridor == nullptr || Corridor->Find(Next) != TKeyTable::kMissing);
  const std::uint32_t Found = Admitted ? SlotOf(Next) : kNone;
  Slots[Slot].Neighbours[static_cast<std::size_t>(Direction)] = Found;
  return Found;
}

void TCellSearch::Expand(const TEntry& Entry, std::uint64_t Cost, std::uint64_t Bound) {
  const int Row = Entry.Cell / kSegmentSide;
  const int Column = Entry.Cell % kSegmentSide;
  for (int Direction = 0; Direction < 4; ++Direction) {
    int NextRow = Row + kRowStep[Direction];
    int NextColumn = Column + kColumnStep[Direction];
    std::uint32_t Slot = Entry.Slot;
    if (NextRow < 0 || NextRow >= kSegmentSide || NextColumn < 0 || NextColumn >= kSegmentSide) {
      Slot = Neighbour(Entry.Slot, Direction);
      if (Slot == kNone) continue;
      NextRow = (NextRow + kSegmentSide) % kSegmentSide;
      NextColumn = (NextColumn + kSegmentSide) % kSegmentSide;
    }
    const TSlot& Target = Slots[Slot];
    if ((Target.Open[static_cast<std::size_t>(NextRow)] >> NextColumn & 1) == 0) continue;
    const auto Cell = static_cast<std::uint16_t>(NextRow * kSegmentSide + NextColumn);
    const std::uint64_t Estimate = Cost + 1 + this->Estimate(Target, Cell);
    (Estimate == Bound ? Now : Later).push_back({Slot, Cell, static_cast<std::uint8_t>(Direction)});
  }
}

std::int64_t TCellSearch::Run(TCell Start, TCell GoalCell, std::vector<TCell>* Path) {
  Goal = GoalCell;
  const TSegmentCell From = Cells.Locate(Start);
  const TSegmentCell To = Cells.Locate(GoalCell);
  StartSlot = SlotOf(From.Segment);
  StartCell = From.Cell;
  std::uint64_t Bound = Estimate(Slots[StartSlot], From.Cell);
  Now.push_back({StartSlot, static_cast<std::uint16_t>(From.Cell), 0});
  for (;;) {
    if (Now.empty()) {
      if (Later.empty()) return -1;
      std::swap(Now, Later);
      Bound += 2;
    }
    const TEntry Entry = Now.back();
    Now.pop_back();
    TSlot& Slot = Slots[Entry.Slot];
    std::uint64_t& Row = Slot.Open[Entry.Cell / kSegmentSide];
    const std::uint64_t Bit = std::uint64_t{1} << (Entry.Cell % kSegmentSide);
    if ((Row & Bit) == 0) continue;
    Row &= ~Bit;
    const int Shift = 2 * (Entry.Cell % 4);
    Slot.From[Entry.Cell / 4] = static_cast<std::uint8_t>(
        (Slot.From[Entry.Cell / 4] & ~(3 << Shift)) | ((Entry.From & 3) << Shift));
    const std::uint64_t Cost = Bound - Estimate(Slot, Entry.Cell);
    if (Slot.Segment == To.Segment && Entry.Cell == To.Cell) {
      if (Path != nullptr) WalkBack(Entry.Slot, Entry.Cell, *Path);
      return static_cast<std::int64_t>(Cost);
    }
    Expand(Entry, Cost, Bound);
  }
}

void TCellSearch::WalkBack(std::uint32_t SlotNumber, int Cell, std::vector<TCell>& Path) {
  for (;;) {
    const TSlot& Slot = Slots[SlotNumber];
    Path.push_back(
        {Slot.Origin.Row + Cell / kSegmentSide, Slot.Origin.Column + Cell % kSegmentSide});
    if (SlotNumber == StartSlot && Cell == StartCell) break;
    const int Back =
        kOpposite[Slot.From[static_cast<std::size_t>(Cell / 4)] >> (2 * (Cell % 4)) & 3];
    int Row = Cell / kSegmentSide + kRowStep[Back];
    int Column = Cell % kSegmentSide + kColumnStep[Back];
    if (Row < 0 || Row >= kSegmentSide || Column < 0 || Column >= kSegmentSide) {
      SlotNumber = Neighbour(SlotNumber, Back);
      Row = (Row + kSegmentSide) % kSegmentSide;
      Column = (Column + kSegmentSide) % kSegmentSide;
    }
    Cell = Row * kSegmentSide + Column;
  }
  std::reverse(Path.begin(), Path.end());
}

}  // namespace

bool AreConnected(const TRegionMap& Map, TCell Start, TCell Goal) {
  CheckCell(Map.Cells(), Start);
  CheckCell(Map.Cells(), Goal);
  return ComponentOf(Map, NodeAt(Map, Start)) == ComponentOf(Map, NodeAt(Map, Goal));
}

std::vector<TCell> FindPath(const TRegionMap& Map, TCell Start, TCell Goal) {
  CheckCell(Map.Cells(), Start);
  CheckCell(Map.Cells(), Goal);
  const TNode StartNode = NodeAt(Map, Start);
  const TNode GoalNode = NodeAt(Map, Goal);
  if (ComponentOf(Map, StartNode) != ComponentOf(Map, GoalNode)) return {};
  const TKeyTable Corridor =
      CorridorOf(Map.Cells(), RegionPath(Map, StartNode, GoalNode, Goal, Start));
  std::vector<TCell> Path;
  TCellSearch(Map.Cells(), &Corridor).Run(Start, Goal, &Path);
  return Path;
}

std::int64_t ShortestPathLength(const TRegionMap& Map, TCell Start, TCell Goal) {
  CheckCell(Map.Cells(), Start);
  CheckCell(Map.Cells(), Goal);
  return TCellSearch(Map.Cells(), nullptr).Run(Start, Goal, nullptr);
}

}  // namespace varnholt
