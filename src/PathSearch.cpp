#include "PathSearch.h"

#include <algorithm>
#include <cstdlib>
#include <queue>
#include <string>

#include "CellSearch.h"
#include "KeyTable.h"

namespace varnholt {
namespace {

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
