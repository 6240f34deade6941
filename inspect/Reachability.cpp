#include "Reachability.h"

#include <algorithm>
#include <bit>
#include <numeric>
#include <utility>

#include "AreaUtils.h"

namespace varnholt::inspect {
namespace {

constexpr int kCells = kSegmentSide * kSegmentSide;
constexpr std::uint16_t kNoArea = UINT16_MAX;
constexpr std::uint32_t kNoNode = UINT32_MAX;

using TBorder = std::array<std::uint32_t, kSegmentSide>;  // grid nodes along a segment's side

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

// Every 4-connected open area of one segment, found by a plain flood fill and numbered in the
// row-major order of their first cells. Unlike the converter's labelling it keeps all of them.
struct TSegmentAreas {
  std::array<std::uint16_t, kCells> Area;           // per cell; kNoArea where blocked
  std::array<std::uint16_t, kCells / 2> FirstCell;  // per area: r * 64 + c
  std::array<std::uint16_t, kCells / 2> Cells;      // per area: its size
  int Count = 0;
};

using TRowWords = std::array<std::uint64_t, kSegmentSide>;  // bit c of word r: cell (r, c) blocked

bool IsOpen(const TRowWords& Rows, int R, int C) {
  return (Rows[static_cast<std::size_t>(R)] >> C & 1) == 0;
}

void FloodFrom(const TRowWords& Rows, int First, TSegmentAreas& Areas) {
  const auto Area = static_cast<std::uint16_t>(Areas.Count++);
  Areas.FirstCell[Area] = static_cast<std::uint16_t>(First);
  Areas.Cells[Area] = 0;
  std::array<std::uint16_t, kCells> Stack;  // each cell is pushed at most once
  int Top = 0;
  const auto Visit = [&](int R, int C) {
    if (R < 0 || R >= kSegmentSide || C < 0 || C >= kSegmentSide) return;
    const int Cell = R * kSegmentSide + C;
    if (Areas.Area[Cell] != kNoArea || !IsOpen(Rows, R, C)) return;
    Areas.Area[Cell] = Area;
    Stack[Top++] = static_cast<std::uint16_t>(Cell);
  };
  Visit(First / kSegmentSide, First % kSegmentSide);
  while (Top > 0) {
    const int Cell = Stack[--Top];
    ++Areas.Cells[Area];
    const int R = Cell / kSegmentSide;
    const int C = Cell % kSegmentSide;
    Visit(R - 1, C);
    Visit(R + 1, C);
    Visit(R, C - 1);
    Visit(R, C + 1);
  }
}

void FloodAreas(const TSegment& Segment, TSegmentAreas& Areas) {
  const TRowWords Rows = SegmentRows(Segment);
  Areas.Area.fill(kNoArea);
  Areas.Count = 0;
  for (int Cell = 0; Cell < kCells; ++Cell) {
    if (Areas.Area[Cell] != kNoArea) continue;
    if (IsOpen(Rows, Cell / kSegmentSide, Cell % kSegmentSide)) FloodFrom(Rows, Cell, Areas);
  }
}

struct TErasedArea {
  std::uint32_t Node;
  TCell First;
  std::uint16_t Cells;
};

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
};

void CountSegment(const TSegmentAreas& Areas, std::int32_t AreaCount, TMapCensus& Census) {
  const int Open = std::accumulate(Areas.Cells.begin(), Areas.Cells.begin() + Areas.Count, 0);
  Census.FilledOpen += Open == kCells ? 1 : 0;
  Census.FilledBlocked += Open == 0 ? 1 : 0;
  Census.Explicit += Open != 0 && Open != kCells ? 1 : 0;
  Census.AreasFound += static_cast<std::uint64_t>(Areas.Count);
  Census.AreasKept += static_cast<std::uint64_t>(AreaCount);
  Census.SegmentsOverFour += Areas.Count > 4 ? 1 : 0;
  Census.SegmentsWithArea4 += AreaCount == 4 ? 1 : 0;
}

// Gives each area of segment (I, J) its grid node and records which of them the converter kept.
void AddAreas(const TSegmentAreas& Areas, const TAreaSegment& AreaMap, std::uint32_t I,
              std::uint32_t J, TSweep& Sweep, TMapCensus& Census) {
  const std::size_t Segment = std::size_t{I} * Sweep.N + J;
  for (int Area = 0; Area < Areas.Count; ++Area) {
    const std::uint32_t Node = Sweep.Grid.Add();
    const int First = Areas.FirstCell[Area];
    const int Kept = AreaMap[static_cast<std::size_t>(First)];
    if (Kept == 4) Census.Area4Cells += Areas.Cells[Area];
    if (Kept != 0) {
      Sweep.KeptNode[Segment * 4 + static_cast<std::size_t>(Kept - 1)] = Node;
      continue;
    }
    Census.ErasedCells += Areas.Cells[Area];
    const TCell Cell{I * kSegmentSide + static_cast<std::uint32_t>(First / kSegmentSide),
                     J * kSegmentSide + static_cast<std::uint32_t>(First % kSegmentSide)};
    Sweep.Erased.push_back({Node, Cell, Areas.Cells[Area]});
  }
}

void JoinBorders(const TBorder& Own, const TBorder& Other, TUnionFind& Grid) {
  for (int K = 0; K < kSegmentSide; ++K) {
    if (Own[K] != kNoNode && Other[K] != kNoNode) Grid.Join(Own[K], Other[K]);
  }
}

// Joins segment (I, J), whose areas start at grid node Base, to the segments above and to the
// left, and keeps its bottom row and right column for the segments below and to the right.
void JoinNeighbours(const TSegmentAreas& Areas, std::uint32_t Base, std::uint32_t I,
                    std::uint32_t J, TSweep& Sweep) {
  const auto Node = [&](int R, int C) {
    const std::uint16_t Area = Areas.Area[static_cast<std::size_t>(R * kSegmentSide + C)];
    return Area == kNoArea ? kNoNode : Base + Area;
  };
  TBorder Top, Left, Bottom, Right;
  for (int K = 0; K < kSegmentSide; ++K) {
    Top[K] = Node(0, K);
    Left[K] = Node(K, 0);
    Bottom[K] = Node(kSegmentSide - 1, K);
    Right[K] = Node(K, kSegmentSide - 1);
  }
  if (I > 0) JoinBorders(Top, Sweep.Bottoms[J], Sweep.Grid);
  if (J > 0) JoinBorders(Left, Sweep.Right, Sweep.Grid);
  Sweep.Bottoms[J] = Bottom;
  Sweep.Right = Right;
}

void SweepSegments(const TLevel0Records& Level0, TSweep& Sweep, TMapCensus& Census) {
  TSegmentAreas Areas;
  TAreaSegment AreaMap;
  for (std::uint32_t I = 0; I < Sweep.N; ++I) {
    for (std::uint32_t J = 0; J < Sweep.N; ++J) {
      std::int32_t AreaCount = 0;
      const TSegment Segment = Level0.Segment(std::size_t{I} * Sweep.N + J);
      LabelAreas(Segment, AreaMap, AreaCount);
      FloodAreas(Segment, Areas);
      CountSegment(Areas, AreaCount, Census);
      const auto Base = static_cast<std::uint32_t>(Sweep.Grid.Size());
      AddAreas(Areas, AreaMap, I, J, Sweep, Census);
      JoinNeighbours(Areas, Base, I, J, Sweep);
    }
  }
}

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

TSurvey SurveyMap(const TLevel0Records& Level0, const TWaypointSegments& Waypoints) {
  TSurvey Survey;
  TSweep Sweep(Waypoints.Size());
  SweepSegments(Level0, Sweep, Survey.Census);
  TUnionFind Abstract = JoinLinkedAreas(Waypoints, Survey.Census);
  Survey.Reachability = CompareConnectivity(Sweep, Abstract, Waypoints);
  return Survey;
}

}  // namespace varnholt::inspect
