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
  bool IsErased(TRegionAt At) const { return Erased.Find(KeyOf(At)) != kMissing; }
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

TErasedCells ErasedCellsOf(const TRegionMap& Map, const TSplitRegions& Split,
                           const TSplitIndex& Index, TLabels& Labels) {
  TErasedCells Erased;
  TKeyTable Numbers;
  const std::uint64_t Side = Map.Cells().CellsPerSide();
  const auto CellKey = [&](TCell Cell) {
    return static_cast<std::uint64_t>(Cell.Row) * Side + static_cast<std::uint64_t>(Cell.Column);
  };
  for (const TRegionAt At : Split.Erased) {
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
      if (Index.IsErased(At)) {
        Erased.Neighbours[K].push_back(Numbers.Find(CellKey(Next)));
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
  const TErasedCells Erased = ErasedCellsOf(Map, Split, Index, Labels);
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
  for (const TRegionAt Erased : Split.Erased) {
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

// ---- Trying a fix ----

// The segments the split's regions lie in, and a ring about them: all its ground.
struct TWindow {
  std::size_t I0, I1, J0, J1;
};

TWindow WindowOf(const TRegionMap& Map, const TSplitRegions& Split) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  TWindow Window{N, 0, N, 0};
  const auto Take = [&](TRegionAt At) {
    Window.I0 = std::min(Window.I0, At.Segment / N);
    Window.I1 = std::max(Window.I1, At.Segment / N);
    Window.J0 = std::min(Window.J0, At.Segment % N);
    Window.J1 = std::max(Window.J1, At.Segment % N);
  };
  for (const auto& Part : Split.Parts) std::for_each(Part.begin(), Part.end(), Take);
  std::for_each(Split.Erased.begin(), Split.Erased.end(), Take);
  return {Window.I0 > 0 ? Window.I0 - 1 : 0, std::min(Window.I1 + 1, N - 1),
          Window.J0 > 0 ? Window.J0 - 1 : 0, std::min(Window.J1 + 1, N - 1)};
}

// The window's cells with the fix applied, as a map of their own, blocked beyond them: a
// segment's analysis depends on its cells alone, and the split's ground lies within.
TAnalysedMap Tried(const TRegionMap& Map, const TWindow& Window, const std::vector<TCell>& Fix,
                   TFixKind Kind) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  const std::size_t Rows = Window.I1 - Window.I0 + 1, Columns = Window.J1 - Window.J0 + 1;
  const std::size_t Segments = std::bit_ceil(std::max(Rows, Columns));
  TMapBuffer File(kHeaderBytes + Segments * Segments * RecordBytes(segExplicit));
  WriteMapHeader(File, HeaderFor(static_cast<std::uint32_t>(Segments * kSegmentSide), 0, 0));
  TSegmentRows Blocked;
  Blocked.fill(~std::uint64_t{0});
  for (std::size_t I = 0; I < Segments; ++I) {
    for (std::size_t J = 0; J < Segments; ++J) {
      if (I >= Rows || J >= Columns) {
        WriteSegment(File, Blocked);
        continue;
      }
      const std::size_t K = (Window.I0 + I) * N + Window.J0 + J;
      TSegmentRows Cells = Map.Cells().Rows(K);
      for (const TCell Cell : Fix) {
        const TSegmentCell At = Map.Cells().Locate(Cell);
        if (At.Segment != K) continue;
        const std::uint64_t Bit = std::uint64_t{1} << (At.Cell % kSegmentSide);
        std::uint64_t& Row = Cells[static_cast<std::size_t>(At.Cell / kSegmentSide)];
        Row = Kind == TFixKind::Block ? Row | Bit : Row & ~Bit;
      }
      WriteSegment(File, Cells);
    }
  }
  return AnalyseMapBytes(File.Bytes());
}

// Whether the fix mends the split on a copy of its ground: opened, the parts are joined and held
// whole by the graph; blocked, each part is held whole on its own.
bool Mends(const TRegionMap& Map, const TSplitRegions& Split, const std::vector<TCell>& Fix,
           TFixKind Kind) {
  const TWindow Window = WindowOf(Map, Split);
  const TAnalysedMap Copy = Tried(Map, Window, Fix, Kind);
  const TCell Origin = Map.Cells().CellOf(Window.I0 * Map.Cells().SegmentsPerSide() + Window.J0, 0);
  std::vector<TCell> PartCells;
  for (const auto& Part : Split.Parts) {
    const TRegionAt At = Part.front();
    const TCell Cell = Map.Cells().CellOf(At.Segment, Map.Of(At.Segment).Places[At.Region]);
    PartCells.push_back({Cell.Row - Origin.Row, Cell.Column - Origin.Column});
  }
  for (const TCell Cell : PartCells) {
    if (GraphPartsOf(Copy.Regions, Cell) != 1) return false;
  }
  if (Kind == TFixKind::Block) return true;
  const auto ComponentOf = [&](TCell Cell) {
    return Copy.Regions.ComponentOf(Copy.Regions.Cells().Locate(Cell).Segment,
                                    RegionOf(Copy.Regions, Cell));
  };
  return std::all_of(PartCells.begin(), PartCells.end(), [&](TCell Cell) {
    return ComponentOf(Cell) == ComponentOf(PartCells.front());
  });
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
  if (Fix.empty() || !Mends(Map, Split, Fix, Kind)) return {};
  return Fix;
}

}  // namespace varnholt
