#include "map/Survey.h"

#include <algorithm>
#include <numeric>

#include "paths/KeyTable.h"
#include "analysis/UnionFind.h"

namespace varnholt {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;

// A component of the grid as the survey meets it.
struct TComponent {
  std::uint64_t FirstKey = UINT64_MAX;  // segment * 4096 + cell of its first cell
  std::uint64_t Cells = 0;
  bool HasKept = false;
};

// The waypoint graph: kept area a of segment K is node 4K + a - 1, joined by every link.
class TWaypointGraph {
 public:
  explicit TWaypointGraph(std::size_t Segments) : Parent(4 * Segments) {
    std::iota(Parent.begin(), Parent.end(), std::uint32_t{0});
  }
  std::uint32_t Root(std::size_t K, unsigned Area) {
    return FindRoot(Parent, static_cast<std::uint32_t>(4 * K + Area));
  }
  // Joins the kept areas that the contacts of K with Other join; returns the count of links.
  std::uint64_t Link(const TRegionMap& Map, std::size_t K, std::size_t Other,
                     std::span<const TContact> Contacts) {
    std::uint64_t Links = 0;
    const auto Kept = static_cast<unsigned>(Map.KeptOf(K));
    const auto OtherKept = static_cast<unsigned>(Map.KeptOf(Other));
    for (const TContact& Contact : Contacts) {
      if (Contact.Own >= Kept || Contact.Other >= OtherKept) continue;
      JoinSets(Parent, static_cast<std::uint32_t>(4 * K + Contact.Own),
               static_cast<std::uint32_t>(4 * Other + Contact.Other));
      ++Links;
    }
    return Links;
  }

 private:
  std::vector<std::uint32_t> Parent;
};

void CountSegment(const TRegionMap& Map, std::size_t K, TMapCensus& Census) {
  const TSegmentRows Blocked = Map.Cells().Rows(K);
  const bool Open = AllRowsAre(Blocked, 0);
  const bool Closed = AllRowsAre(Blocked, ~std::uint64_t{0});
  Census.FilledOpen += Open ? 1 : 0;
  Census.FilledBlocked += Closed ? 1 : 0;
  Census.Explicit += !Open && !Closed ? 1 : 0;
  const auto Kept = static_cast<std::size_t>(Map.KeptOf(K));
  const std::span<const std::uint16_t> Sizes = Map.SizesOf(K);
  Census.AreasFound += Sizes.size();
  Census.AreasKept += Kept;
  Census.SegmentsOverFour += Sizes.size() > Kept ? 1 : 0;
  Census.ErasedCells += std::accumulate(Sizes.begin() + static_cast<std::ptrdiff_t>(Kept),
                                        Sizes.end(), std::uint64_t{0});
  Census.SegmentsWithArea4 += Kept == 4 ? 1 : 0;
  Census.Area4Cells += Kept == 4 ? Sizes[3] : 0;
}

// The cell that stands for kept area Area of segment K, its waypoint.
TCell WaypointOf(const TRegionMap& Map, std::size_t K, unsigned Area) {
  return Map.Cells().CellOf(K, Map.PlacesOf(K)[Area]);
}

struct TSweep {
  std::vector<TComponent> Components;
  TKeyTable Dense;  // per component, its number among Components
  // Per kept area: its component's number and its root in the waypoint graph.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Parts;
};

// Numbers the grid components in the order the survey meets them and records what they hold.
void MeetRegions(const TRegionMap& Map, TWaypointGraph& Graph, TSweep& Sweep) {
  const std::size_t Segments = Map.Cells().Segments();
  for (std::size_t K = 0; K < Segments; ++K) {
    const auto Kept = static_cast<unsigned>(Map.KeptOf(K));
    const std::span<const std::uint16_t> Firsts = Map.FirstsOf(K);
    const std::span<const std::uint16_t> Sizes = Map.SizesOf(K);
    for (unsigned Region = 0; Region < Firsts.size(); ++Region) {
      const std::uint32_t Number = Sweep.Dense.Add(Map.ComponentOf(K, Region));
      if (Number == Sweep.Components.size()) Sweep.Components.emplace_back();
      TComponent& Component = Sweep.Components[Number];
      Component.FirstKey = std::min(Component.FirstKey, std::uint64_t{K} * 4096 + Firsts[Region]);
      Component.Cells += Sizes[Region];
      if (Region >= Kept) continue;
      Component.HasKept = true;
      Sweep.Parts.emplace_back(Number, Graph.Root(K, Region));
    }
  }
}

TCell CellOfKey(const TRegionMap& Map, std::uint64_t Key) {
  return Map.Cells().CellOf(static_cast<std::size_t>(Key / 4096), static_cast<int>(Key % 4096));
}

// Fills the splits chosen (by component number, in Slots) with their erased areas' first cells.
void AddErasedCells(const TRegionMap& Map, const std::vector<std::uint32_t>& Slots,
                    const TSweep& Sweep, std::vector<TMapSplit>& Splits) {
  for (std::size_t K = 0; K < Map.Cells().Segments(); ++K) {
    const std::span<const std::uint16_t> Firsts = Map.FirstsOf(K);
    for (auto Region = static_cast<unsigned>(Map.KeptOf(K)); Region < Firsts.size(); ++Region) {
      const std::uint32_t Slot = Slots[Sweep.Dense.Find(Map.ComponentOf(K, Region))];
      if (Slot == kNone || Splits[Slot].ErasedCells.size() >= kExampleCells) continue;
      Splits[Slot].ErasedCells.push_back(Map.Cells().CellOf(K, Firsts[Region]));
    }
  }
}

void FindSplits(const TRegionMap& Map, TSweep& Sweep, std::size_t SplitCount,
                TReachability& Reachability) {
  std::sort(Sweep.Parts.begin(), Sweep.Parts.end());
  Sweep.Parts.erase(std::unique(Sweep.Parts.begin(), Sweep.Parts.end()), Sweep.Parts.end());
  struct TFound {
    std::uint64_t FirstKey;
    std::uint32_t Component;
    std::size_t Begin, End;  // of its parts
  };
  std::vector<TFound> Found;
  for (std::size_t Begin = 0; Begin < Sweep.Parts.size();) {
    std::size_t End = Begin;
    while (End < Sweep.Parts.size() && Sweep.Parts[End].first == Sweep.Parts[Begin].first) ++End;
    const std::uint32_t Component = Sweep.Parts[Begin].first;
    if (End - Begin > 1)
      Found.push_back({Sweep.Components[Component].FirstKey, Component, Begin, End});
    Begin = End;
  }
  Reachability.SplitComponents = Found.size();
  std::sort(Found.begin(), Found.end(),
            [](const TFound& A, const TFound& B) { return A.FirstKey < B.FirstKey; });
  Found.resize(std::min(Found.size(), SplitCount));
  std::vector<std::uint32_t> Slots(Sweep.Components.size(), kNone);
  for (const TFound& Split : Found) {
    TMapSplit& Described = Reachability.Splits.emplace_back();
    Described.Parts = Split.End - Split.Begin;
    for (std::size_t Part = Split.Begin; Part < Split.End && Part - Split.Begin < kExampleCells;
         ++Part) {
      const std::uint32_t Node = Sweep.Parts[Part].second;
      Described.PartCells.push_back(WaypointOf(Map, Node / 4, Node % 4));
    }
    Slots[Split.Component] = static_cast<std::uint32_t>(Reachability.Splits.size() - 1);
  }
  if (!Found.empty()) AddErasedCells(Map, Slots, Sweep, Reachability.Splits);
}

void FindLost(const TRegionMap& Map, const TSweep& Sweep, std::size_t LostCount,
              TReachability& Reachability) {
  std::vector<std::uint64_t> FirstKeys;
  for (const TComponent& Component : Sweep.Components) {
    if (Component.HasKept) continue;
    ++Reachability.LostComponents;
    Reachability.LostCells += Component.Cells;
    FirstKeys.push_back(Component.FirstKey);
  }
  std::sort(FirstKeys.begin(), FirstKeys.end());
  for (std::size_t K = 0; K < std::min(LostCount, FirstKeys.size()); ++K) {
    Reachability.Lost.push_back(CellOfKey(Map, FirstKeys[K]));
  }
}

}  // namespace

TMapSurvey SurveyMap(const TRegionMap& Map, std::size_t SplitCount, std::size_t LostCount) {
  const std::size_t Segments = Map.Cells().Segments();
  const std::size_t N = Map.Cells().SegmentsPerSide();
  TMapSurvey Survey;
  TWaypointGraph Graph(Segments);
  for (std::size_t K = 0; K < Segments; ++K) {
    CountSegment(Map, K, Survey.Census);
    if (K + N < Segments) Survey.Census.DownLinks += Graph.Link(Map, K, K + N, Map.DownOf(K));
    if ((K + 1) % N != 0) Survey.Census.RightLinks += Graph.Link(Map, K, K + 1, Map.RightOf(K));
  }
  TSweep Sweep;
  MeetRegions(Map, Graph, Sweep);
  TReachability& Reachability = Survey.Reachability;
  Reachability.GridComponents = Sweep.Components.size();
  for (std::size_t K = 0; K < Segments; ++K) {
    for (unsigned Area = 0; Area < static_cast<unsigned>(Map.KeptOf(K)); ++Area) {
      Reachability.AbstractComponents += Graph.Root(K, Area) == 4 * K + Area ? 1 : 0;
    }
  }
  FindLost(Map, Sweep, LostCount, Reachability);
  FindSplits(Map, Sweep, SplitCount, Reachability);
  return Survey;
}

}  // namespace varnholt
