#include "paths/PathSearch.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "analysis/KeyTable.h"
#include "paths/CellSearch.h"
#include "paths/Corridor.h"
#include "paths/Nearest.h"

namespace varnholt {
namespace {

void CheckCell(const TCellStore& Cells, TCell Cell) {
  if (!Cells.IsInside(Cell)) {
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "Cell outside the map: " + CellText(Cell));
  }
  if (!Cells.IsOpen(Cell))
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "Cell blocked: " + CellText(Cell));
}

// ---- Searching the regions ----

TNode NodeAt(const TRegionMap& Map, TCell Cell) {
  return NodeOf(Map.Cells().Locate(Cell).Segment, RegionOf(Map, Cell));
}

std::uint64_t ComponentOf(const TRegionMap& Map, TNode Node) {
  return Map.ComponentOf(SegmentOf(Node), RegionNumber(Node));
}

// Places on the map in half cells, so that the middle of a stretch of border is one too.
struct THalfCells {
  std::int64_t Row, Column;
};

THalfCells HalfCellsOf(TCell Cell) {
  return {2 * std::int64_t{Cell.Row}, 2 * std::int64_t{Cell.Column}};
}

std::uint64_t Distance(THalfCells A, THalfCells B) {
  return static_cast<std::uint64_t>(std::abs(A.Row - B.Row) + std::abs(A.Column - B.Column));
}

// A crossing of a border where two regions meet, from one into the other: the region it leads
// into, where on the border the search puts it, and a key for the contact and the direction.
struct TCrossing {
  TNode Into;
  THalfCells At;
  std::uint64_t Key;
};

// The search's start and goal. A crossing stands at the middle of the stretch of border where its
// regions meet, or where one of them is the goal's or the start's, at the place of the stretch
// nearest that cell: paths of crossings that run straight towards the goal then cost just the
// distance there, as the cells' paths do, and open ground is crossed without looking aside.
struct TEnds {
  TNode Start, Goal;
  THalfCells StartAt, GoalAt;

  // Where the crossing of Contact stands, on the border that runs along rows from Origin (Down)
  // or along columns.
  THalfCells PlaceOf(const TContact& Contact, THalfCells Origin, bool Down, TNode Own,
                     TNode Other) const {
    const bool NearGoal = Own == Goal || Other == Goal;
    const bool NearStart = Own == Start || Other == Start;
    const auto Along = [&](std::int64_t First, std::int64_t GoalIs, std::int64_t StartIs) {
      const std::int64_t Middle = First + Contact.First + Contact.Last;
      return std::clamp(NearGoal    ? GoalIs
                        : NearStart ? StartIs
                                    : Middle,
                        First + 2 * Contact.First, First + 2 * Contact.Last);
    };
    constexpr std::int64_t kAcross =
        2 * kSegmentSide - 1;  // from a segment's first row to its last
    if (Down) return {Origin.Row + kAcross, Along(Origin.Column, GoalAt.Column, StartAt.Column)};
    return {Along(Origin.Row, GoalAt.Row, StartAt.Row), Origin.Column + kAcross};
  }
};

// Calls Leave(Crossing) for every crossing out of the region Node.
template <typename F>
void ForCrossingsOut(const TRegionMap& Map, TNode Node, const TEnds& Ends, F Leave) {
  const std::uint64_t K = SegmentOf(Node);
  const std::uint64_t N = Map.Cells().SegmentsPerSide();
  const unsigned Region = RegionNumber(Node);
  // The contacts of segment First with the one below it (Down) or to its right, from First's
  // region (Forward) or from the other's.
  const auto Scan = [&](std::uint64_t First, bool Down, bool Forward) {
    const std::span<const TContact> Contacts = Down ? Map.Of(First).Down : Map.Of(First).Right;
    const std::uint64_t Second = First + (Down ? N : 1);
    const THalfCells Origin = HalfCellsOf(Map.Cells().CellOf(First, 0));
    for (std::size_t I = 0; I < Contacts.size(); ++I) {
      const TContact& Contact = Contacts[I];
      if ((Forward ? Contact.Own : Contact.Other) != Region) continue;
      const TNode Own = NodeOf(First, Contact.Own), Other = NodeOf(Second, Contact.Other);
      Leave(TCrossing{Forward ? Other : Own, Ends.PlaceOf(Contact, Origin, Down, Own, Other),
                      (First << 8 | std::uint64_t{Down} << 7 | I) << 1 | std::uint64_t{Forward}});
    }
  };
  Scan(K, true, true);
  Scan(K, false, true);
  if (HasSegmentBeside(K, N, kUp)) Scan(K - N, true, false);
  if (HasSegmentBeside(K, N, kLeft)) Scan(K - 1, false, false);
}

// The places where a search has entered regions, and at what cost. Since a step within a region
// costs the distance, entering at a place no cheaper than by an earlier entry and the way from it
// leads nowhere cheaper: such an entry need not be followed.
class TEntries {
 public:
  bool IsFutile(TNode Node, THalfCells At, std::uint64_t Cost) const {
    const std::uint32_t Number = Index.Find(Node);
    if (Number == TKeyTable::kMissing) return false;
    for (std::uint32_t K = Last[Number]; K != kNone; K = Entries[K].Before) {
      if (Entries[K].Cost + Distance(Entries[K].At, At) <= Cost) return true;
    }
    return false;
  }
  // Whether entering Node at At for Cost may lead anywhere cheaper; if so, it is an entry now.
  bool Enter(TNode Node, THalfCells At, std::uint64_t Cost) {
    if (IsFutile(Node, At, Cost)) return false;
    const std::uint32_t Number = Index.Add(Node);
    if (Number == Last.size()) Last.push_back(kNone);
    Entries.push_back({At, Cost, Last[Number]});
    Last[Number] = static_cast<std::uint32_t>(Entries.size() - 1);
    return true;
  }

 private:
  static constexpr std::uint32_t kNone = UINT32_MAX;
  struct TEntry {
    THalfCells At;
    std::uint64_t Cost;
    std::uint32_t Before;  // the region's entry before, or kNone
  };
  TKeyTable Index;
  std::vector<std::uint32_t> Last;  // per region, its last entry
  std::vector<TEntry> Entries;
};

// The numbers of what a search has reached, by estimate: since no estimate is below the start's
// nor below the last taken, a list per estimate serves. Of equal estimates the last reached is
// taken first, so that a search runs on along a way rather than widening all of it. The lists
// are a ring over the estimates waiting, which lie within a step of the last taken: a maze's
// long paths span hundreds of thousands of estimates, a list for each of which cost more than
// the search.
class TBucketQueue {
 public:
  explicit TBucketQueue(std::uint64_t Least) : Current(Least) {}
  void Push(std::uint64_t Estimate, std::uint32_t Number) {
    // An estimate below the last taken would be a flaw of the estimates; it is taken next.
    Estimate = std::max(Estimate, Current);
    while (Estimate - Current >= Ring.size()) Widen();
    Ring[Estimate & (Ring.size() - 1)].push_back(Number);
    ++Waiting;
  }
  bool Pop(std::uint32_t& Number) {
    if (Waiting == 0) return false;
    for (;; ++Current) {
      std::vector<std::uint32_t>& Bucket = Ring[Current & (Ring.size() - 1)];
      if (Bucket.empty()) continue;
      Number = Bucket.back();
      Bucket.pop_back();
      --Waiting;
      return true;
    }
  }

 private:
  void Widen() {
    std::vector<std::vector<std::uint32_t>> Wider(2 * Ring.size());
    for (std::uint64_t Estimate = Current; Estimate < Current + Ring.size(); ++Estimate) {
      Wider[Estimate & (Wider.size() - 1)] = std::move(Ring[Estimate & (Ring.size() - 1)]);
    }
    Ring = std::move(Wider);
  }

  std::uint64_t Current;  // the last estimate taken, or the least
  std::size_t Waiting = 0;
  std::vector<std::vector<std::uint32_t>> Ring = std::vector<std::vector<std::uint32_t>>(256);
};

// A* over the crossings between regions, a step from one crossing to the next costing the
// distance between where they stand, the distance to the goal cell the estimate; the regions
// passed, from Start's to Goal's. Start and Goal are connected.
std::vector<TNode> RegionPath(const TRegionMap& Map, const TEnds& Ends) {
  constexpr std::uint64_t kGoalKey = UINT64_MAX - 1;  // no crossing has it
  constexpr std::uint32_t kNone = UINT32_MAX;
  struct TVisit {
    TCrossing Crossing;
    std::uint64_t Cost;
    std::uint32_t Parent;
    bool Closed;
  };
  TKeyTable Index;
  std::vector<TVisit> Visits;
  TBucketQueue Open(Distance(Ends.StartAt, Ends.GoalAt));
  TEntries Entries;
  std::uint32_t GoalVisit = kNone;
  const auto Reach = [&](const TCrossing& Crossing, std::uint64_t Cost, std::uint32_t Parent) {
    const std::uint32_t Number = Index.Add(Crossing.Key);
    if (Number == Visits.size()) Visits.push_back({Crossing, UINT64_MAX, kNone, false});
    if (Crossing.Key == kGoalKey) GoalVisit = Number;
    TVisit& Visit = Visits[Number];
    if (Visit.Closed || Cost >= Visit.Cost) return;
    Visit.Cost = Cost;
    Visit.Parent = Parent;
    Open.Push(Cost + Distance(Crossing.At, Ends.GoalAt), Number);
  };
  const auto Expand = [&](TNode Node, THalfCells From, std::uint64_t Cost, std::uint32_t Parent) {
    if (Node == Ends.Goal) {
      Reach({Node, Ends.GoalAt, kGoalKey}, Cost + Distance(From, Ends.GoalAt), Parent);
    }
    ForCrossingsOut(Map, Node, Ends, [&](const TCrossing& Crossing) {
      const std::uint64_t There = Cost + Distance(From, Crossing.At);
      if (!Entries.IsFutile(Crossing.Into, Crossing.At, There)) Reach(Crossing, There, Parent);
    });
  };
  Expand(Ends.Start, Ends.StartAt, 0, kNone);
  for (std::uint32_t Number; Open.Pop(Number);) {
    TVisit& Visit = Visits[Number];
    if (Visit.Closed) continue;
    Visit.Closed = true;
    if (Number == GoalVisit) break;
    const TCrossing Crossing = Visit.Crossing;
    if (Entries.Enter(Crossing.Into, Crossing.At, Visit.Cost)) {
      Expand(Crossing.Into, Crossing.At, Visit.Cost, Number);
    }
  }
  std::vector<TNode> Path;
  for (std::uint32_t Visit = GoalVisit; Visit != kNone; Visit = Visits[Visit].Parent) {
    Path.push_back(Visits[Visit].Crossing.Into);
  }
  Path.push_back(Ends.Start);
  std::reverse(Path.begin(), Path.end());
  return Path;
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
  const TCorridor Corridor = CorridorOf(
      Map, RegionPath(Map, {StartNode, GoalNode, HalfCellsOf(Start), HalfCellsOf(Goal)}));
  std::vector<TCell> Path;
  TCellSearch(Map.Cells(), &Corridor).Run(Start, Goal, &Path);
  return Path;
}

std::vector<TCell> FindPathToward(const TRegionMap& Map, TCell Start, TCell Goal) {
  CheckCell(Map.Cells(), Start);
  if (!Map.Cells().IsInside(Goal)) {
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "Cell outside the map: " + CellText(Goal));
  }
  if (Map.Cells().IsOpen(Goal) && AreConnected(Map, Start, Goal)) return FindPath(Map, Start, Goal);
  return FindPath(Map, Start, NearestCellOf(Map, Start, Goal));
}

std::int64_t ShortestPathLength(const TRegionMap& Map, TCell Start, TCell Goal) {
  CheckCell(Map.Cells(), Start);
  CheckCell(Map.Cells(), Goal);
  return TCellSearch(Map.Cells(), nullptr).Run(Start, Goal, nullptr);
}

}  // namespace varnholt
