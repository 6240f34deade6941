#include "map/SplitFixes.h"

#include <algorithm>
#include <array>
#include <bit>
#include <deque>
#include <numeric>

#include "analysis/KeyTable.h"
#include "analysis/UnionFind.h"
#include "map/AnalysedMap.h"
#include "map/Survey.h"

namespace varnholt {
namespace {

constexpr std::uint32_t kMissing = TKeyTable::kMissing;
constexpr TCell kSteps[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};

std::uint64_t KeyOf(TRegionAt At) {
  return std::uint64_t{At.Segment} << 12 | At.Region;
}

// The regions of every cell of the segments a fix looks at, each segment labelled once.
class TLabels {
 public:
  explicit TLabels(const TRegionMap& Regions) : Map(Regions) {}
  const std::array<std::uint16_t, 4096>& Of(std::size_t K) {
    const std::uint32_t Number = Seen.Add(K);
    if (Number == Labels.size()) {
      Labels.emplace_back();
      SegmentRegions(Map, K, Labels.back());
    }
    return Labels[Number];
  }
  // The region of a cell inside the map, kNoRegion where blocked.
  TRegionAt At(TCell Cell, bool& Open) {
    const TSegmentCell Place = Map.Cells().Locate(Cell);
    const std::uint16_t Region = Of(Place.Segment)[static_cast<std::size_t>(Place.Cell)];
    Open = Region != kNoRegion;
    return {static_cast<std::size_t>(Place.Segment), Region};
  }

 private:
  const TRegionMap& Map;
  TKeyTable Seen;
  std::vector<std::array<std::uint16_t, 4096>> Labels;
};

// The split's regions looked up by segment and region: its parts' kept areas and its erased ones.
struct TSplitIndex {
  TKeyTable Parts;  // per kept area, its part's number as the value's index in PartOf
  std::vector<std::uint32_t> PartOf;
  TKeyTable Erased;

  explicit TSplitIndex(const TSplitRegions& Split) {
    for (std::size_t Part = 0; Part < Split.Parts.size(); ++Part) {
      for (const TRegionAt At : Split.Parts[Part]) {
        Parts.Add(KeyOf(At));
        PartOf.push_back(static_cast<std::uint32_t>(Part));
      }
    }
    for (const TRegionAt At : Split.Erased) Erased.Add(KeyOf(At));
  }
  std::uint32_t PartAt(TRegionAt At) const {
    const std::uint32_t Number = Parts.Find(KeyOf(At));
    return Number == kMissing ? kMissing : PartOf[Number];
  }
};

// The cells of a region.
std::vector<TCell> CellsOf(const TRegionMap& Map, TLabels& Labels, TRegionAt At) {
  std::vector<TCell> Cells;
  const std::array<std::uint16_t, 4096>& Of = Labels.Of(At.Segment);
  for (int Cell = 0; Cell < 4096; ++Cell) {
    if (Of[static_cast<std::size_t>(Cell)] == At.Region)
      Cells.push_back(Map.Cells().CellOf(At.Segment, Cell));
  }
  return Cells;
}

// The erased regions of the split that can join two parts: those in clusters of erased regions,
// joined across segment borders, that touch two parts or more. Pockets that touch one part
// cannot be on a way between two.
std::vector<TRegionAt> BridgingErased(const TRegionMap& Map, const TSplitRegions& Split,
                                      const TSplitIndex& Index) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  std::vector<std::uint32_t> Parent(Split.Erased.size());
  std::iota(Parent.begin(), Parent.end(), 0u);
  std::vector<std::vector<std::uint32_t>> Touched(Split.Erased.size());
  const auto Meet = [&](std::size_t Own, TRegionAt Other) {
    if (const std::uint32_t Erased = Index.Erased.Find(KeyOf(Other)); Erased != kMissing) {
      JoinSets(Parent, static_cast<std::uint32_t>(Own), Erased);
    } else if (const std::uint32_t Part = Index.PartAt(Other); Part != kMissing) {
      Touched[Own].push_back(Part);
    }
  };
  for (std::size_t E = 0; E < Split.Erased.size(); ++E) {
    const auto [K, Region] = Split.Erased[E];
    for (const TContact& C : Map.Of(K).Down) {
      if (C.Own == Region) Meet(E, {K + N, C.Other});
    }
    for (const TContact& C : Map.Of(K).Right) {
      if (C.Own == Region) Meet(E, {K + 1, C.Other});
    }
    if (HasSegmentBeside(K, N, kUp)) {
      for (const TContact& C : Map.Of(K - N).Down) {
        if (C.Other == Region) Meet(E, {K - N, C.Own});
      }
    }
    if (HasSegmentBeside(K, N, kLeft)) {
      for (const TContact& C : Map.Of(K - 1).Right) {
        if (C.Other == Region) Meet(E, {K - 1, C.Own});
      }
    }
  }
  std::vector<std::vector<std::uint32_t>> Parts(Split.Erased.size());
  for (std::size_t E = 0; E < Split.Erased.size(); ++E) {
    std::vector<std::uint32_t>& Of = Parts[FindRoot(Parent, static_cast<std::uint32_t>(E))];
    Of.insert(Of.end(), Touched[E].begin(), Touched[E].end());
  }
  std::vector<TRegionAt> Bridging;
  for (std::size_t E = 0; E < Split.Erased.size(); ++E) {
    std::vector<std::uint32_t>& Of = Parts[FindRoot(Parent, static_cast<std::uint32_t>(E))];
    std::sort(Of.begin(), Of.end());
    Of.erase(std::unique(Of.begin(), Of.end()), Of.end());
    if (Of.size() >= 2) Bridging.push_back(Split.Erased[E]);
  }
  return Bridging;
}

// ---- Blocking: a minimum cut of erased cells ----

// A flow network with capacities, searched by shortest augmenting paths.
class TFlow {
 public:
  static constexpr std::uint32_t kEndless = UINT32_MAX;
  explicit TFlow(std::size_t Nodes) : Out(Nodes) {}
  void Add(std::uint32_t From, std::uint32_t To, std::uint32_t Capacity) {
    Out[From].push_back(static_cast<std::uint32_t>(Edges.size()));
    Edges.push_back({To, Capacity});
    Out[To].push_back(static_cast<std::uint32_t>(Edges.size()));
    Edges.push_back({From, 0});
  }
  // Saturates every path from Source to Sink; false where one is endless.
  bool Saturate(std::uint32_t Source, std::uint32_t Sink) {
    for (std::vector<std::uint32_t> Via; Search(Source, Via), Via[Sink] != kNone;) {
      std::uint32_t Least = kEndless;
      for (std::uint32_t Node = Sink; Node != Source; Node = Edges[Via[Node] ^ 1].To)
        Least = std::min(Least, Edges[Via[Node]].Capacity);
      if (Least == kEndless) return false;
      for (std::uint32_t Node = Sink; Node != Source; Node = Edges[Via[Node] ^ 1].To) {
        Edges[Via[Node]].Capacity -= Least;
        if (Edges[Via[Node] ^ 1].Capacity != kEndless) Edges[Via[Node] ^ 1].Capacity += Least;
      }
    }
    return true;
  }
  // Which nodes the source still reaches once saturated: the cut lies at their edge.
  std::vector<std::uint32_t> Reached(std::uint32_t Source) {
    std::vector<std::uint32_t> Via;
    Search(Source, Via);
    return Via;
  }
  static constexpr std::uint32_t kNone = UINT32_MAX;

 private:
  struct TEdge {
    std::uint32_t To;
    std::uint32_t Capacity;
  };
  // Breadth-first: the edge each node was reached by, kNone where not reached.
  void Search(std::uint32_t Source, std::vector<std::uint32_t>& Via) const {
    Via.assign(Out.size(), kNone);
    Via[Source] = kNone - 1;
    std::deque<std::uint32_t> Queue{Source};
    while (!Queue.empty()) {
      const std::uint32_t Node = Queue.front();
      Queue.pop_front();
      for (const std::uint32_t Edge : Out[Node]) {
        const std::uint32_t To = Edges[Edge].To;
        if (Edges[Edge].Capacity == 0 || Via[To] != kNone) continue;
        Via[To] = Edge;
        Queue.push_back(To);
      }
    }
  }
  std::vector<TEdge> Edges;
  std::vector<std::vector<std::uint32_t>> Out;
};

// The erased cells of a split, each with its erased neighbours and the parts it touches.
struct TErasedCells {
  std::vector<TCell> Cells;
  std::vector<std::vector<std::uint32_t>> Neighbours;
  std::vector<std::vector<std::uint32_t>> Parts;
};

TErasedCells ErasedCellsOf(const TRegionMap& Map, const std::vector<TRegionAt>& Bridging,
                           const TSplitIndex& Index, TLabels& Labels) {
  TErasedCells Erased;
  TKeyTable Numbers;
  const std::uint64_t Side = Map.Cells().CellsPerSide();
  const auto CellKey = [&](TCell Cell) {
    return static_cast<std::uint64_t>(Cell.Row) * Side + static_cast<std::uint64_t>(Cell.Column);
  };
  for (const TRegionAt At : Bridging) {
    for (const TCell Cell : CellsOf(Map, Labels, At)) {
      Numbers.Add(CellKey(Cell));
      Erased.Cells.push_back(Cell);
    }
  }
  Erased.Neighbours.resize(Erased.Cells.size());
  Erased.Parts.resize(Erased.Cells.size());
  for (std::size_t K = 0; K < Erased.Cells.size(); ++K) {
    for (const TCell Step : kSteps) {
      const TCell Next{Erased.Cells[K].Row + Step.Row, Erased.Cells[K].Column + Step.Column};
      bool Open = false;
      if (!Map.Cells().IsInside(Next)) continue;
      const TRegionAt At = Labels.At(Next, Open);
      if (!Open) continue;
      if (const std::uint32_t Number = Numbers.Find(CellKey(Next)); Number != kMissing) {
        Erased.Neighbours[K].push_back(Number);
      } else if (const std::uint32_t Part = Index.PartAt(At); Part != kMissing) {
        Erased.Parts[K].push_back(Part);
      }
    }
  }
  return Erased;
}

// The fewest erased cells, not yet blocked, whose blocking parts part Source from the parts after
// it: a node of capacity one for each cell, between the parts' kept cells.
std::vector<std::uint32_t> CutBetween(const TErasedCells& Erased, std::uint32_t Source,
                                      const std::vector<std::uint8_t>& Blocked) {
  const auto Count = static_cast<std::uint32_t>(Erased.Cells.size());
  const std::uint32_t From = 2 * Count, To = 2 * Count + 1;
  TFlow Flow(2 * std::size_t{Count} + 2);
  for (std::uint32_t K = 0; K < Count; ++K) {
    if (Blocked[K] != 0) continue;
    Flow.Add(2 * K, 2 * K + 1, 1);
    for (const std::uint32_t Next : Erased.Neighbours[K])
      Flow.Add(2 * K + 1, 2 * Next, TFlow::kEndless);
    for (const std::uint32_t Part : Erased.Parts[K]) {
      if (Part == Source) Flow.Add(From, 2 * K, TFlow::kEndless);
      if (Part > Source) Flow.Add(2 * K + 1, To, TFlow::kEndless);
    }
  }
  std::vector<std::uint32_t> Cut;
  if (!Flow.Saturate(From, To)) return Cut;
  const std::vector<std::uint32_t> Reached = Flow.Reached(From);
  for (std::uint32_t K = 0; K < Count; ++K) {
    if (Reached[2 * K] != TFlow::kNone && Reached[2 * K + 1] == TFlow::kNone) Cut.push_back(K);
  }
  return Cut;
}

std::vector<TCell> BlockingCells(const TRegionMap& Map, const TSplitRegions& Split,
                                 TLabels& Labels) {
  const TSplitIndex Index(Split);
  const TErasedCells Erased = ErasedCellsOf(Map, BridgingErased(Map, Split, Index), Index, Labels);
  std::vector<std::uint8_t> Blocked(Erased.Cells.size(), 0);
  std::vector<TCell> Cells;
  for (std::uint32_t Part = 0; Part + 1 < Split.Parts.size(); ++Part) {
    for (const std::uint32_t K : CutBetween(Erased, Part, Blocked)) {
      Blocked[K] = 1;
      Cells.push_back(Erased.Cells[K]);
    }
  }
  return Cells;
}

// ---- Opening: erased areas joined to kept areas ----

// An erased area joined to a kept area of its segment through blocked cells, and the parts that
// then join.
struct TJoin {
  std::vector<TCell> Opened;
  std::vector<std::uint32_t> Parts;
};

// The blocked cells of the cheapest way within the segment from the erased region to each kept
// area of it: a breadth-first search that costs one a blocked cell and nothing in the two regions.
std::vector<TJoin> JoinsOf(const TRegionMap& Map, TRegionAt Erased, TLabels& Labels,
                           const TSplitIndex& Index) {
  const std::array<std::uint16_t, 4096>& Of = Labels.Of(Erased.Segment);
  const int Kept = Map.Of(Erased.Segment).Kept;
  std::array<std::uint16_t, 4096> Cost;
  Cost.fill(UINT16_MAX);
  std::array<std::int16_t, 4096> Before;
  std::deque<int> Queue;
  for (int Cell = 0; Cell < 4096; ++Cell) {
    if (Of[static_cast<std::size_t>(Cell)] != Erased.Region) continue;
    Cost[static_cast<std::size_t>(Cell)] = 0;
    Before[static_cast<std::size_t>(Cell)] = -1;
    Queue.push_back(Cell);
  }
  std::vector<int> Nearest(static_cast<std::size_t>(Kept), -1);
  while (!Queue.empty()) {
    const int Cell = Queue.front();
    Queue.pop_front();
    const int Row = Cell / 64, Column = Cell % 64;
    for (const TCell Step : kSteps) {
      const int R = Row + Step.Row, C = Column + Step.Column;
      if (R < 0 || R >= 64 || C < 0 || C >= 64) continue;
      const int Next = R * 64 + C;
      const std::uint16_t Region = Of[static_cast<std::size_t>(Next)];
      if (Region != kNoRegion && Region < Kept) {
        if (Nearest[Region] < 0) Nearest[Region] = Cell;
        continue;
      }
      if (Region != kNoRegion) continue;  // another erased area: not through it
      const auto Here = static_cast<std::uint16_t>(Cost[static_cast<std::size_t>(Cell)] + 1);
      if (Here >= Cost[static_cast<std::size_t>(Next)]) continue;
      Cost[static_cast<std::size_t>(Next)] = Here;
      Before[static_cast<std::size_t>(Next)] = static_cast<std::int16_t>(Cell);
      Queue.push_back(Next);
    }
  }
  std::vector<std::uint32_t> Touched;
  for (const TCell Cell : CellsOf(Map, Labels, Erased)) {
    for (const TCell Step : kSteps) {
      const TCell Next{Cell.Row + Step.Row, Cell.Column + Step.Column};
      bool Open = false;
      if (!Map.Cells().IsInside(Next)) continue;
      const std::uint32_t Part = Index.PartAt(Labels.At(Next, Open));
      if (Open && Part != kMissing) Touched.push_back(Part);
    }
  }
  std::vector<TJoin> Joins;
  for (int Area = 0; Area < Kept; ++Area) {
    if (Nearest[static_cast<std::size_t>(Area)] < 0) continue;
    TJoin Join{{}, Touched};
    for (int Cell = Nearest[static_cast<std::size_t>(Area)];
         Before[static_cast<std::size_t>(Cell)] >= 0;
         Cell = Before[static_cast<std::size_t>(Cell)]) {
      Join.Opened.push_back(Map.Cells().CellOf(Erased.Segment, Cell));
    }
    const std::uint32_t Part = Index.PartAt({Erased.Segment, static_cast<unsigned>(Area)});
    if (Part != kMissing) Join.Parts.push_back(Part);
    std::sort(Join.Parts.begin(), Join.Parts.end());
    Join.Parts.erase(std::unique(Join.Parts.begin(), Join.Parts.end()), Join.Parts.end());
    if (Join.Parts.size() >= 2) Joins.push_back(std::move(Join));
  }
  return Joins;
}

// The cheapest joins, in turn, that join parts not yet joined, until all are one.
std::vector<TCell> OpeningCells(const TRegionMap& Map, const TSplitRegions& Split,
                                TLabels& Labels) {
  const TSplitIndex Index(Split);
  std::vector<TJoin> Joins;
  for (const TRegionAt Erased : BridgingErased(Map, Split, Index)) {
    for (TJoin& Join : JoinsOf(Map, Erased, Labels, Index)) Joins.push_back(std::move(Join));
  }
  std::stable_sort(Joins.begin(), Joins.end(), [](const TJoin& A, const TJoin& B) {
    return A.Opened.size() < B.Opened.size();
  });
  std::vector<std::uint32_t> Parent(Split.Parts.size());
  std::iota(Parent.begin(), Parent.end(), 0u);
  std::size_t Groups = Parent.size();
  std::vector<TCell> Cells;
  for (const TJoin& Join : Joins) {
    if (Groups == 1) break;
    bool Joins2 = false;
    for (const std::uint32_t Part : Join.Parts)
      Joins2 = Joins2 || FindRoot(Parent, Part) != FindRoot(Parent, Join.Parts.front());
    if (!Joins2) continue;
    for (const std::uint32_t Part : Join.Parts) {
      const auto [Low, High] = JoinSets(Parent, Join.Parts.front(), Part);
      Groups -= Low != High ? 1 : 0;
    }
    Cells.insert(Cells.end(), Join.Opened.begin(), Join.Opened.end());
  }
  if (Groups != 1) Cells.clear();
  return Cells;
}

// ---- Trying an opening ----

// The opened cells in clusters of segments near one another, each as the rectangle of its
// segments: an edit of each rectangle renews its segments and the ones beside them, and clusters
// two segments apart renew none in common.
std::vector<std::array<std::size_t, 4>> Clusters(const std::vector<TCell>& Fix) {
  std::vector<std::array<std::size_t, 4>> Boxes;  // rows I0, I1, columns J0, J1
  for (const TCell Cell : Fix) {
    const std::size_t I = static_cast<std::size_t>(Cell.Row) / kSegmentSide;
    const std::size_t J = static_cast<std::size_t>(Cell.Column) / kSegmentSide;
    Boxes.push_back({I, I, J, J});
  }
  for (bool Merged = true; Merged;) {
    Merged = false;
    for (std::size_t A = 0; A < Boxes.size() && !Merged; ++A) {
      for (std::size_t B = A + 1; B < Boxes.size() && !Merged; ++B) {
        const auto Near = [](std::size_t Low1, std::size_t High1, std::size_t Low2,
                             std::size_t High2) { return Low1 <= High2 + 2 && Low2 <= High1 + 2; };
        if (!Near(Boxes[A][0], Boxes[A][1], Boxes[B][0], Boxes[B][1]) ||
            !Near(Boxes[A][2], Boxes[A][3], Boxes[B][2], Boxes[B][3]))
          continue;
        Boxes[A] = {std::min(Boxes[A][0], Boxes[B][0]), std::max(Boxes[A][1], Boxes[B][1]),
                    std::min(Boxes[A][2], Boxes[B][2]), std::max(Boxes[A][3], Boxes[B][3])};
        Boxes.erase(Boxes.begin() + static_cast<std::ptrdiff_t>(B));
        Merged = true;
      }
    }
  }
  return Boxes;
}

// The waypoint records once the fix is opened, each cluster's edit worked out on the side.
std::vector<TWaypointSegment> RecordsOpened(const TRegionMap& Map, const std::vector<TCell>& Fix) {
  const auto All = Map.Records().All();
  std::vector<TWaypointSegment> Records(All.begin(), All.end());
  for (const auto& Box : Clusters(Fix)) {
    const TCell Corner{static_cast<std::int32_t>(Box[0] * kSegmentSide),
                       static_cast<std::int32_t>(Box[2] * kSegmentSide)};
    const auto Rows = static_cast<std::uint32_t>((Box[1] - Box[0] + 1) * kSegmentSide);
    const auto Columns = static_cast<std::uint32_t>((Box[3] - Box[2] + 1) * kSegmentSide);
    std::vector<std::uint8_t> Cells(std::size_t{Rows} * Columns);
    Map.Cells().GetCells(Corner, Rows, Columns, Cells);
    for (const TCell Cell : Fix) {
      const std::int64_t Row = Cell.Row - Corner.Row, Column = Cell.Column - Corner.Column;
      if (Row >= 0 && Column >= 0 && Row < Rows && Column < Columns)
        Cells[static_cast<std::size_t>(Row) * Columns + static_cast<std::size_t>(Column)] = 0;
    }
    for (const auto& [K, Record] : RecordsAfter(Map, Corner, Rows, Columns, Cells))
      Records[K] = Record;
  }
  return Records;
}

// The kept area, 0 ... 3, of an open cell once the fix is opened; -1 where none.
int KeptAreaOpened(const TRegionMap& Map, TCell Cell, const std::vector<TCell>& Fix) {
  const TSegmentCell At = Map.Cells().Locate(Cell);
  TSegmentRows Blocked = Map.Cells().Rows(At.Segment);
  for (const TCell Opened : Fix) {
    const TSegmentCell Place = Map.Cells().Locate(Opened);
    if (Place.Segment == At.Segment)
      Blocked[static_cast<std::size_t>(Place.Cell / kSegmentSide)] &=
          ~(std::uint64_t{1} << (Place.Cell % kSegmentSide));
  }
  TAreaMasks Masks;
  LabelAreaMasks(Blocked, Masks);
  for (int A = 0; A < Masks.Count; ++A) {
    if ((Masks.Rows[static_cast<std::size_t>(A)]
                   [static_cast<std::size_t>(At.Cell / kSegmentSide)] >>
             (At.Cell % kSegmentSide) &
         1) != 0)
      return A;
  }
  return -1;
}

// Whether the waypoint graph, the fix opened, joins a cell of every part.
bool JoinsEveryPart(const TRegionMap& Map, const TSplitRegions& Split,
                    const std::vector<TCell>& Fix) {
  const std::vector<TWaypointSegment> Records = RecordsOpened(Map, Fix);
  const std::size_t N = Map.Cells().SegmentsPerSide();
  std::vector<std::uint32_t> Parent(4 * Records.size());
  std::iota(Parent.begin(), Parent.end(), 0u);
  for (std::size_t K = 0; K < Records.size(); ++K) {
    for (const TDirection Side : {kDown, kRight}) {
      if (!HasSegmentBeside(K, N, Side)) continue;
      const std::size_t Other = SegmentBeside(K, N, Side);
      for (unsigned Word = LinkWord(Side == kDown ? Records[K].DownLinks : Records[K].RightLinks);
           Word != 0; Word &= Word - 1) {
        const auto Bit = static_cast<unsigned>(std::countr_zero(Word));  // LinkBit(A, B)
        JoinSets(Parent, static_cast<std::uint32_t>(4 * K + Bit / 4),
                 static_cast<std::uint32_t>(4 * Other + Bit % 4));
      }
    }
  }
  std::uint32_t Root = UINT32_MAX;
  for (const auto& Part : Split.Parts) {
    const TRegionAt At = Part.front();
    const TCell Cell = Map.Cells().CellOf(At.Segment, Map.Of(At.Segment).Places[At.Region]);
    const int Area = KeptAreaOpened(Map, Cell, Fix);
    if (Area < 0) return false;
    const std::uint32_t Here = FindRoot(
        Parent, static_cast<std::uint32_t>(4 * At.Segment + static_cast<std::size_t>(Area)));
    if (Root != UINT32_MAX && Here != Root) return false;
    Root = Here;
  }
  return true;
}

}  // namespace

std::vector<TCell> SplitFix(const TRegionMap& Map, std::size_t Index, TFixKind Kind) {
  const TSplitRegions Split = SplitRegionsOf(Map, Index);
  if (Split.Parts.size() < 2) return {};
  TLabels Labels(Map);
  std::vector<TCell> Fix = Kind == TFixKind::Block ? BlockingCells(Map, Split, Labels)
                                                   : OpeningCells(Map, Split, Labels);
  std::sort(Fix.begin(), Fix.end(),
            [](TCell A, TCell B) { return A.Row != B.Row ? A.Row < B.Row : A.Column < B.Column; });
  Fix.erase(std::unique(Fix.begin(), Fix.end()), Fix.end());
  // Blocked erased cells leave every kept area and link as they were: only an opening is tried.
  if (Kind == TFixKind::Open && !Fix.empty() && !JoinsEveryPart(Map, Split, Fix)) return {};
  return Fix;
}

}  // namespace varnholt
