#include "Reachability.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

#include "AreaUtils.h"

namespace varnholt::inspect {
namespace {

constexpr std::uint32_t kNoNode = UINT32_MAX;

using TBorder = TSegmentSides<std::uint32_t>::TSide;  // grid nodes along a segment's side

class TUnionFind {
 public:
  explicit TUnionFind(std::size_t Count = 0) : Parent(Count) {
    std::iota(Parent.begin(), Parent.end(), std::uint32_t{0});
  }
  std::uint32_t Add() {
    const auto Node = static_cast<std::uint32_t>(Parent.size());
    Parent.push_back(Node);
    return Node;
  }
  std::uint32_t Find(std::uint32_t Node) {
    while (Parent[Node] != Node) {
      Parent[Node] = Parent[Parent[Node]];
      Node = Parent[Node];
    }
    return Node;
  }
  // The smaller root survives, so that each root is the first node of its component.
  void Join(std::uint32_t A, std::uint32_t B) {
    A = Find(A);
    B = Find(B);
    if (A != B) Parent[std::max(A, B)] = std::min(A, B);
  }
  bool IsRoot(std::uint32_t Node) const { return Parent[Node] == Node; }
  std::size_t Size() const { return Parent.size(); }

 private:
  std::vector<std::uint32_t> Parent;
};

struct TErasedArea {
  std::uint32_t Node;
  TCell First;
  std::uint16_t Cells;
};

// A segment's four sides: the grid node of every cell along them, kNoNode where blocked.
using TSides = TSegmentSides<std::uint32_t>;

// Marks the cells of one area, given as its rows, on the sides with Node.
void MarkSides(const TSegmentRows& Rows, std::uint32_t Node, TSides& Sides) {
  for (std::size_t R = 0; R < Rows.size(); ++R) Sides.MarkRow(R, Rows[R], Node);
}

// An area of a segment as the survey numbers it: kept ones by their area number, erased ones by
// their component among the erased cells.
struct TAreaEntry {
  std::uint16_t FirstCell;
  int Kept;       // 1 ... 4, or 0 for an erased area
  int Component;  // of the erased cells, for an erased area
};

std::uint16_t FirstCellOf(const TSegmentRows& Rows) {
  for (std::size_t R = 0; R < Rows.size(); ++R) {
    if (Rows[R] != 0)
      return static_cast<std::uint16_t>(R * kSegmentSide + std::countr_zero(Rows[R]));
  }
  return 0;
}

void JoinBorders(const TBorder& Own, const TBorder& Other, TUnionFind& Grid) {
  // Along a border the same two areas usually meet over a stretch of cells: joined once.
  std::uint32_t LastOwn = kNoNode, LastOther = kNoNode;
  for (int K = 0; K < kSegmentSide; ++K) {
    if (Own[K] == kNoNode || Other[K] == kNoNode) continue;
    if (Own[K] == LastOwn && Other[K] == LastOther) continue;
    Grid.Join(Own[K], Other[K]);
    LastOwn = Own[K];
    LastOther = Other[K];
  }
}

}  // namespace

// What the sweep over the segments keeps: a grid node for every area of every segment, erased
// ones included, joined wherever open cells meet across a segment border.
struct TSweep {
  explicit TSweep(std::uint32_t Side)
      : N(Side), KeptNode(std::size_t{4} * Side * Side, kNoNode), Bottoms(Side) {}
  std::uint32_t N;
  TUnionFind Grid;
  std::vector<std::uint32_t> KeptNode;  // per kept area (segment * 4 + area - 1): its grid node
  std::vector<TErasedArea> Erased;
  std::vector<TBorder> Bottoms;  // per segment column: row 63 of the segment above
  TBorder Right{};               // column 63 of the segment to the left
  TMapCensus Census;
  // Room for one segment's work, taken once.
  TComponents Components;
  std::vector<TAreaEntry> Areas;
  std::vector<std::uint32_t> ErasedNodes;
};

namespace {

void CountSegment(const TSegmentRows& Blocked, const TAreaMasks& Masks, int Erased,
                  TMapCensus& Census) {
  const bool Open = AllRowsAre(Blocked, 0);
  const bool Closed = AllRowsAre(Blocked, ~std::uint64_t{0});
  Census.FilledOpen += Open ? 1 : 0;
  Census.FilledBlocked += Closed ? 1 : 0;
  Census.Explicit += !Open && !Closed ? 1 : 0;
  Census.AreasFound += static_cast<std::uint64_t>(Masks.Count + Erased);
  Census.AreasKept += static_cast<std::uint64_t>(Masks.Count);
  Census.SegmentsOverFour += Erased > 0 ? 1 : 0;
  Census.SegmentsWithArea4 += Masks.Count == 4 ? 1 : 0;
  if (Masks.Count == 4) {
    for (const std::uint64_t Row : Masks.Rows[3])
      Census.Area4Cells += static_cast<std::uint64_t>(std::popcount(Row));
  }
}

// Every area of the segment, kept and erased, in the row-major order of their first cells: the
// order in which they get their grid nodes.
void AreasInOrder(const TAreaMasks& Masks, const TComponents& Erased,
                  std::vector<TAreaEntry>& Areas) {
  Areas.clear();
  for (int A = 0; A < Masks.Count; ++A) Areas.push_back({FirstCellOf(Masks.Rows[A]), A + 1, 0});
  for (int C = 0; C < Erased.Count(); ++C) Areas.push_back({Erased.FirstCell(C), 0, C});
  std::sort(Areas.begin(), Areas.end(),
            [](const TAreaEntry& X, const TAreaEntry& Y) { return X.FirstCell < Y.FirstCell; });
}

void MarkErasedSides(const TComponents& Erased, const std::vector<std::uint32_t>& Nodes,
                     TSides& Sides) {
  for (int R = 0; R < kSegmentSide; ++R) {
    Erased.ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
      Sides.MarkRow(static_cast<std::size_t>(R), Run, Nodes[Component]);
    });
  }
}

}  // namespace

TSurveyBuilder::TSurveyBuilder(std::uint32_t SegmentsPerSide)
    : Sweep(std::make_unique<TSweep>(SegmentsPerSide)) {}

TSurveyBuilder::~TSurveyBuilder() = default;

void TSurveyBuilder::Add(std::size_t K, const TSegmentRows& Blocked, const TAreaMasks& Masks) {
  const auto I = static_cast<std::uint32_t>(K / Sweep->N);
  const auto J = static_cast<std::uint32_t>(K % Sweep->N);
  TComponents& Erased = Sweep->Components;
  Erased.Label(ErasedCells(Blocked, Masks));  // only the rows the set holds are scanned
  CountSegment(Blocked, Masks, Erased.Count(), Sweep->Census);
  TSides Sides(kNoNode);
  std::vector<std::uint32_t>& ErasedNodes = Sweep->ErasedNodes;
  ErasedNodes.resize(static_cast<std::size_t>(Erased.Count()));
  AreasInOrder(Masks, Erased, Sweep->Areas);
  for (const TAreaEntry& Area : Sweep->Areas) {
    const std::uint32_t Node = Sweep->Grid.Add();
    if (Area.Kept != 0) {
      Sweep->KeptNode[K * 4 + static_cast<std::size_t>(Area.Kept - 1)] = Node;
      MarkSides(Masks.Rows[static_cast<std::size_t>(Area.Kept - 1)], Node, Sides);
      continue;
    }
    const std::uint16_t Cells = Erased.Cells(Area.Component);
    Sweep->Census.ErasedCells += Cells;
    ErasedNodes[static_cast<std::size_t>(Area.Component)] = Node;
    const TCell First{I * kSegmentSide + Area.FirstCell / kSegmentSide,
                      J * kSegmentSide + Area.FirstCell % kSegmentSide};
    Sweep->Erased.push_back({Node, First, Cells});
  }
  if (Erased.Count() > 0) MarkErasedSides(Erased, ErasedNodes, Sides);
  if (I > 0) JoinBorders(Sides.Top, Sweep->Bottoms[J], Sweep->Grid);
  if (J > 0) JoinBorders(Sides.Left, Sweep->Right, Sweep->Grid);
  Sweep->Bottoms[J] = Sides.Bottom;
  Sweep->Right = Sides.Right;
}

namespace {

// Bit 4 * (A - 1) + (B - 1) of a link word joins area A of this segment to area B of the
// neighbour; the word is stored as two little-endian bytes.
void JoinLinks(const std::array<std::uint8_t, 2>& Links, std::size_t Own, std::size_t Other,
               TUnionFind& Abstract) {
  const unsigned Word = LinkWord(Links);
  for (unsigned A = 1; A <= 4; ++A) {
    for (unsigned B = 1; B <= 4; ++B) {
      if ((Word >> LinkBit(A, B) & 1) == 0) continue;
      Abstract.Join(static_cast<std::uint32_t>(Own * 4 + A - 1),
                    static_cast<std::uint32_t>(Other * 4 + B - 1));
    }
  }
}

unsigned LinkBits(const std::array<std::uint8_t, 2>& Links) {
  return static_cast<unsigned>(std::popcount(LinkWord(Links)));
}

TUnionFind JoinLinkedAreas(const TWaypointSegments& Waypoints, TMapCensus& Census) {
  const std::uint32_t N = Waypoints.Size();
  TUnionFind Abstract(std::size_t{4} * N * N);
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      const TWaypointSegment& Record = Waypoints[I][J];
      const std::size_t Own = std::size_t{I} * N + J;
      Census.DownLinks += LinkBits(Record.DownLinks);
      Census.RightLinks += LinkBits(Record.RightLinks);
      if (I + 1 < N) JoinLinks(Record.DownLinks, Own, Own + N, Abstract);
      if (J + 1 < N) JoinLinks(Record.RightLinks, Own, Own + 1, Abstract);
    }
  }
  return Abstract;
}

TCell WaypointOf(const TWaypointSegments& Waypoints, std::uint32_t KeptArea) {
  const std::uint32_t N = Waypoints.Size();
  const std::uint32_t Segment = KeptArea / 4;
  const std::uint32_t I = Segment / N;
  const std::uint32_t J = Segment % N;
  const auto& Point = Waypoints[I][J].Points[KeptArea % 4];  // column, row
  return {I * kSegmentSide + Point[1], J * kSegmentSide + Point[0]};
}

using TNodePair = std::pair<std::uint32_t, std::uint32_t>;  // grid root, abstract root

// For every grid component that holds kept areas, the abstract components within it, sorted.
std::vector<TNodePair> PartsOfComponents(TSweep& Sweep, TUnionFind& Abstract) {
  std::vector<TNodePair> Parts;
  for (std::uint32_t Kept = 0; Kept < Sweep.KeptNode.size(); ++Kept) {
    if (Sweep.KeptNode[Kept] == kNoNode) continue;
    Parts.emplace_back(Sweep.Grid.Find(Sweep.KeptNode[Kept]), Abstract.Find(Kept));
  }
  std::sort(Parts.begin(), Parts.end());
  Parts.erase(std::unique(Parts.begin(), Parts.end()), Parts.end());
  return Parts;
}

// Counts the split components and describes the first few; returns the grid roots of those
// described, in the order of Reachability.Splits.
std::vector<std::uint32_t> FindSplits(const std::vector<TNodePair>& Parts,
                                      const TWaypointSegments& Waypoints,
                                      TReachability& Reachability) {
  std::vector<std::uint32_t> Roots;
  for (auto Begin = Parts.begin(); Begin != Parts.end();) {
    const auto End = std::find_if(
        Begin, Parts.end(), [Begin](const TNodePair& Pair) { return Pair.first != Begin->first; });
    const auto Count = static_cast<std::uint64_t>(End - Begin);
    if (Count > 1 && ++Reachability.SplitComponents <= kExampleSplits) {
      TSplit Split{Count, {}, {}};
      for (auto Part = Begin; Part != End && Split.PartCells.size() < kExampleCells; ++Part) {
        Split.PartCells.push_back(WaypointOf(Waypoints, Part->second));
      }
      Reachability.Splits.push_back(Split);
      Roots.push_back(Begin->first);
    }
    Begin = End;
  }
  return Roots;
}

// Erased areas in a described split become its examples; those in a component without any kept
// area are lost altogether.
void ExamineErasedAreas(TSweep& Sweep, const std::vector<TNodePair>& Parts,
                        const std::vector<std::uint32_t>& SplitRoots, TReachability& Reachability) {
  const auto HasKeptArea = [&Parts](std::uint32_t Root) {
    const auto Found = std::lower_bound(Parts.begin(), Parts.end(), TNodePair{Root, 0});
    return Found != Parts.end() && Found->first == Root;
  };
  for (const TErasedArea& Area : Sweep.Erased) {
    const std::uint32_t Root = Sweep.Grid.Find(Area.Node);
    if (!HasKeptArea(Root)) Reachability.LostCells += Area.Cells;
    const auto Split = std::find(SplitRoots.begin(), SplitRoots.end(), Root);
    if (Split == SplitRoots.end()) continue;
    std::vector<TCell>& Examples = Reachability.Splits[Split - SplitRoots.begin()].ErasedCells;
    if (Examples.size() < kExampleCells) Examples.push_back(Area.First);
  }
}

TReachability CompareConnectivity(TSweep& Sweep, TUnionFind& Abstract,
                                  const TWaypointSegments& Waypoints) {
  TReachability Reachability;
  for (std::uint32_t Node = 0; Node < Sweep.Grid.Size(); ++Node) {
    Reachability.GridComponents += Sweep.Grid.IsRoot(Node) ? 1 : 0;
  }
  for (std::uint32_t Kept = 0; Kept < Sweep.KeptNode.size(); ++Kept) {
    Reachability.AbstractComponents +=
        Sweep.KeptNode[Kept] != kNoNode && Abstract.IsRoot(Kept) ? 1 : 0;
  }
  const std::vector<TNodePair> Parts = PartsOfComponents(Sweep, Abstract);
  std::uint64_t WithKeptAreas = 0;
  for (std::size_t K = 0; K < Parts.size(); ++K) {
    WithKeptAreas += K == 0 || Parts[K].first != Parts[K - 1].first ? 1 : 0;
  }
  Reachability.LostComponents = Reachability.GridComponents - WithKeptAreas;
  const std::vector<std::uint32_t> SplitRoots = FindSplits(Parts, Waypoints, Reachability);
  ExamineErasedAreas(Sweep, Parts, SplitRoots, Reachability);
  return Reachability;
}

}  // namespace

TSurvey TSurveyBuilder::Finish(const TWaypointSegments& Waypoints) {
  TSurvey Survey;
  Survey.Census = Sweep->Census;
  TUnionFind Abstract = JoinLinkedAreas(Waypoints, Survey.Census);
  Survey.Reachability = CompareConnectivity(*Sweep, Abstract, Waypoints);
  return Survey;
}

TSurvey SurveyMap(const TLevel0Records& Level0, const TWaypointSegments& Waypoints) {
  TSurveyBuilder Builder(Waypoints.Size());
  TAreaMasks Masks;
  for (std::size_t K = 0; K < Level0.Count(); ++K) {
    const TSegmentRows Blocked = Level0.Rows(K);
    LabelAreaMasks(Blocked, Masks);
    Builder.Add(K, Blocked, Masks);
  }
  return Builder.Finish(Waypoints);
}

}  // namespace varnholt::inspect
