#include "paths/Corridor.h"

#include <algorithm>

namespace varnholt {
namespace {

// One segment around leaves paths on rooms, cities and noise several percent long; three cost
// more than they save.
constexpr std::int64_t kReach = 2;

// The cells of dead ends in a segment worth labelling it to leave them out.
constexpr std::uint32_t kWorthShutting = 256;

// The segments within kReach of the regions' segments, numbered in the order met.
struct TBand {
  TKeyTable Index;
  std::vector<std::uint64_t> Segments;
};

TBand BandOf(const TCellStore& Cells, std::span<const TNode> Regions) {
  const auto N = static_cast<std::int64_t>(Cells.SegmentsPerSide());
  TBand Band;
  for (const TNode Node : Regions) {
    const auto K = static_cast<std::int64_t>(SegmentOf(Node));
    for (std::int64_t I = std::max<std::int64_t>(K / N - kReach, 0);
         I <= std::min(K / N + kReach, N - 1); ++I) {
      for (std::int64_t J = std::max<std::int64_t>(K % N - kReach, 0);
           J <= std::min(K % N + kReach, N - 1); ++J) {
        const auto Segment = static_cast<std::uint64_t>(I * N + J);
        if (Band.Index.Add(Segment) == Band.Segments.size()) Band.Segments.push_back(Segment);
      }
    }
  }
  return Band;
}

// The regions of a band's segments, node First[s] + r for region r of segment s, and their
// contacts within the band as numbered edges, listed per node.
struct TBandGraph {
  struct TLink {
    std::uint32_t To, Edge;
  };
  std::vector<std::uint32_t> First;  // per segment of the band, and one past the last
  std::vector<std::uint32_t> Begin;  // per node, where its links begin, and one past the last
  std::vector<TLink> Links;
  std::uint32_t Edges = 0;

  std::uint32_t Nodes() const { return First.back(); }
};

// Calls Contact(Node, Other) for every contact within the band, once.
template <typename F>
void ForContacts(const TRegionMap& Map, const TBand& Band, const std::vector<std::uint32_t>& First,
                 F Contact) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  for (std::size_t S = 0; S < Band.Segments.size(); ++S) {
    const std::size_t K = Band.Segments[S];
    const TRegionsView View = Map.Of(K);
    const auto Along = [&](TDirection Side, std::span<const TContact> Contacts) {
      if (!HasSegmentBeside(K, N, Side)) return;
      const std::uint32_t Beside = Band.Index.Find(SegmentBeside(K, N, Side));
      if (Beside == TKeyTable::kMissing) return;
      for (const TContact& Each : Contacts)
        Contact(First[S] + Each.Own, First[Beside] + Each.Other);
    };
    Along(kDown, View.Down);
    Along(kRight, View.Right);
  }
}

TBandGraph GraphOf(const TRegionMap& Map, const TBand& Band) {
  TBandGraph Graph;
  Graph.First.push_back(0);
  for (const std::uint64_t K : Band.Segments) {
    Graph.First.push_back(Graph.First.back() + static_cast<std::uint32_t>(Map.Of(K).Places.size()));
  }
  std::vector<std::uint32_t> Degree(Graph.Nodes() + 1, 0);
  ForContacts(Map, Band, Graph.First, [&](std::uint32_t A, std::uint32_t B) {
    ++Degree[A];
    ++Degree[B];
  });
  Graph.Begin.assign(Graph.Nodes() + 1, 0);
  for (std::uint32_t Node = 0; Node < Graph.Nodes(); ++Node) {
    Graph.Begin[Node + 1] = Graph.Begin[Node] + Degree[Node];
  }
  Graph.Links.resize(Graph.Begin.back());
  std::vector<std::uint32_t> Next(Graph.Begin.begin(), Graph.Begin.end() - 1);
  ForContacts(Map, Band, Graph.First, [&](std::uint32_t A, std::uint32_t B) {
    Graph.Links[Next[A]++] = {B, Graph.Edges};
    Graph.Links[Next[B]++] = {A, Graph.Edges};
    ++Graph.Edges;
  });
  return Graph;
}

// What a depth-first search from Start finds: the nodes it reaches, and those that some way from
// Start to Goal entering no node twice passes. These are the block (biconnected component) that
// an edge joining Start and Goal would lie in: the search takes that edge first, and its block is
// complete when the search comes back along it. Start and Goal differ.
struct TWays {
  std::vector<std::uint32_t> Order;  // per node, when the search reached it from 1; 0 never
  std::vector<std::uint8_t> Between;
};

TWays WaysBetween(const TBandGraph& Graph, std::uint32_t Start, std::uint32_t Goal) {
  constexpr std::uint32_t kNoEdge = UINT32_MAX;
  const std::uint32_t Joining = Graph.Edges;
  TWays Ways{std::vector<std::uint32_t>(Graph.Nodes(), 0),
             std::vector<std::uint8_t>(Graph.Nodes(), 0)};
  std::vector<std::uint32_t> Low(Graph.Nodes(), 0);
  std::vector<std::uint32_t> Unplaced;  // reached, in no block yet
  struct TFrame {
    std::uint32_t Node, Via, Next;
  };
  std::vector<TFrame> Frames;
  std::uint32_t Clock = 0;
  const auto Reach = [&](std::uint32_t Node, std::uint32_t Via) {
    Ways.Order[Node] = Low[Node] = ++Clock;
    Unplaced.push_back(Node);
    Frames.push_back({Node, Via, Graph.Begin[Node]});
  };
  Reach(Start, kNoEdge);
  Reach(Goal, Joining);
  while (Frames.size() > 1) {
    const std::size_t Top = Frames.size() - 1;
    const std::uint32_t Node = Frames[Top].Node;
    if (Frames[Top].Next < Graph.Begin[Node + 1]) {
      const TBandGraph::TLink Link = Graph.Links[Frames[Top].Next++];
      if (Link.Edge == Frames[Top].Via) continue;
      if (Ways.Order[Link.To] == 0) {
        Reach(Link.To, Link.Edge);
      } else {
        Low[Node] = std::min(Low[Node], Ways.Order[Link.To]);
      }
      continue;
    }
    Frames.pop_back();
    const std::uint32_t Parent = Frames.back().Node;
    Low[Parent] = std::min(Low[Parent], Low[Node]);
    if (Low[Node] < Ways.Order[Parent]) continue;
    // Parent and the nodes reached from Node on make a block.
    const bool Wanted = Parent == Start && Node == Goal;
    for (std::uint32_t Placed = kNoEdge; Placed != Node; Unplaced.pop_back()) {
      Placed = Unplaced.back();
      if (Wanted) Ways.Between[Placed] = 1;
    }
    if (Wanted) Ways.Between[Start] = 1;
  }
  // Start's other ways lead only back to Start: reached too, and in no way between.
  for (Frames.front().Next = Graph.Begin[Start]; !Frames.empty();) {
    TFrame& Frame = Frames.back();
    if (Frame.Next == Graph.Begin[Frame.Node + 1]) {
      Frames.pop_back();
      continue;
    }
    const std::uint32_t To = Graph.Links[Frame.Next++].To;
    if (Ways.Order[To] == 0) Reach(To, kNoEdge);
  }
  return Ways;
}

}  // namespace

void TCorridor::Admit(std::uint64_t K, const TSegmentRows* Cells) {
  Index.Add(K);
  if (Cells == nullptr) {
    MaskOf.push_back(kWhole);
    return;
  }
  MaskOf.push_back(static_cast<std::uint32_t>(Masks.size()));
  Masks.push_back(*Cells);
}

TCorridor CorridorOf(const TRegionMap& Map, std::span<const TNode> Regions) {
  const TBand Band = BandOf(Map.Cells(), Regions);
  TCorridor Corridor;
  if (Regions.front() == Regions.back()) {
    // Start and goal in one region: a path may still leave it and come back, anywhere about.
    for (const std::uint64_t K : Band.Segments) Corridor.Admit(K, nullptr);
    return Corridor;
  }
  const TBandGraph Graph = GraphOf(Map, Band);
  const auto NodeIn = [&](TNode Node) {
    return Graph.First[Band.Index.Find(SegmentOf(Node))] + RegionNumber(Node);
  };
  const TWays Ways = WaysBetween(Graph, NodeIn(Regions.front()), NodeIn(Regions.back()));
  // A path may also leave a region for one beside it and come back to it, where the region bends
  // round: those beside are kept too.
  std::vector<std::uint8_t> Kept = Ways.Between;
  for (std::uint32_t Node = 0; Node < Graph.Nodes(); ++Node) {
    if (Ways.Between[Node] == 0) continue;
    for (std::uint32_t L = Graph.Begin[Node]; L < Graph.Begin[Node + 1]; ++L) {
      Kept[Graph.Links[L].To] = 1;
    }
  }
  // Regions the search cannot reach may be left in; a segment of them alone is left out. Small
  // dead ends cost the search less than shutting them costs (labelling the segment): the pockets
  // of noise stay in.
  std::vector<std::uint8_t> Shut;
  for (std::size_t S = 0; S < Band.Segments.size(); ++S) {
    const std::uint32_t From = Graph.First[S], To = Graph.First[S + 1];
    const std::span<const std::uint16_t> Sizes = Map.Of(Band.Segments[S]).Sizes;
    Shut.assign(To - From, 0);
    bool AnyKept = false;
    std::uint32_t ShutCells = 0;
    for (std::uint32_t Node = From; Node < To; ++Node) {
      AnyKept |= Kept[Node] != 0;
      Shut[Node - From] = Kept[Node] == 0 && Ways.Order[Node] != 0;
      if (Shut[Node - From] != 0) ShutCells += Sizes[Node - From];
    }
    if (!AnyKept) continue;
    if (ShutCells < kWorthShutting) {
      Corridor.Admit(Band.Segments[S], nullptr);
      continue;
    }
    TSegmentRows Cells = RegionCells(Map, Band.Segments[S], Shut);
    for (std::uint64_t& Row : Cells) Row = ~Row;
    Corridor.Admit(Band.Segments[S], &Cells);
  }
  return Corridor;
}

}  // namespace varnholt
