#include "map/Survey.h"

#include <algorithm>
#include <bit>
#include <numeric>

#include "analysis/KeyTable.h"
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

// The waypoint graph: kept area a of segment K is node 4K + a - 1, joined by every link bit of
// the records.
class TWaypointGraph {
 public:
  explicit TWaypointGraph(std::size_t Segments) : Parent(4 * Segments) {
    std::iota(Parent.begin(), Parent.end(), std::uint32_t{0});
  }
  std::uint32_t Root(std::size_t K, unsigned Area) {
    return FindRoot(Parent, static_cast<std::uint32_t>(4 * K + Area));
  }
  // Joins the areas of K with those of Other that Links, a record's link word, names; returns the
  // count of links.
  std::uint64_t Link(std::size_t K, std::size_t Other, std::uint16_t Links) {
    for (unsigned Word = Links; Word != 0; Word &= Word - 1) {
      const auto Bit = static_cast<unsigned>(std::countr_zero(Word));  // LinkBit(A, B)
      JoinSets(Parent, static_cast<std::uint32_t>(4 * K + Bit / 4),
               static_cast<std::uint32_t>(4 * Other + Bit % 4));
    }
    return static_cast<std::uint64_t>(std::popcount(Links));
  }

 private:
  std::vector<std::uint32_t> Parent;
};

std::int64_t Count(std::uint64_t Value) {
  return static_cast<std::int64_t>(Value);
}

void CountSegment(const TRegionMap& Map, std::size_t K, varnholt_survey& Counts) {
  const TSegmentRows Blocked = Map.Cells().Rows(K);
  const bool Open = AllRowsAre(Blocked, 0);
  const bool Closed = AllRowsAre(Blocked, ~std::uint64_t{0});
  Counts.filled_open_segments += Open ? 1 : 0;
  Counts.filled_blocked_segments += Closed ? 1 : 0;
  Counts.explicit_segments += !Open && !Closed ? 1 : 0;
  const TRegionsView Regions = Map.Of(K);
  const auto Kept = static_cast<std::size_t>(Regions.Kept);
  Counts.areas_found += Count(Regions.Sizes.size());
  Counts.areas_kept += Count(Kept);
  Counts.segments_over_four += Regions.Sizes.size() > Kept ? 1 : 0;
  Counts.erased_cells +=
      Count(std::accumulate(Regions.Sizes.begin() + static_cast<std::ptrdiff_t>(Kept),
                            Regions.Sizes.end(), std::uint64_t{0}));
  Counts.segments_with_area4 += Kept == 4 ? 1 : 0;
  Counts.area4_cells += Kept == 4 ? Regions.Sizes[3] : 0;
}

void LinkSegment(const TRegionMap& Map, std::size_t K, TWaypointGraph& Graph,
                 varnholt_survey& Counts) {
  const std::size_t N = Map.Cells().SegmentsPerSide();
  const TWaypointSegment& Record = Map.Records().All()[K];
  if (HasSegmentBeside(K, N, kDown))
    Counts.down_links += Count(Graph.Link(K, K + N, LinkWord(Record.DownLinks)));
  if (HasSegmentBeside(K, N, kRight))
    Counts.right_links += Count(Graph.Link(K, K + 1, LinkWord(Record.RightLinks)));
}

// The cell that stands for kept area Area of segment K, its waypoint.
TCell WaypointOf(const TRegionMap& Map, std::size_t K, unsigned Area) {
  return Map.Cells().CellOf(K, Map.Of(K).Places[Area]);
}

struct TGridComponents {
  std::vector<TComponent> List;
  TKeyTable Dense;  // per component, its number in List
  // Per kept area: its component's number and its root in the waypoint graph.
  std::vector<std::pair<std::uint32_t, std::uint32_t>> Parts;
};

// Numbers the grid components in the order the survey meets them and records what they hold.
void MeetRegions(const TRegionMap& Map, TWaypointGraph& Graph, TGridComponents& Found) {
  for (std::size_t K = 0; K < Map.Cells().Segments(); ++K) {
    const TRegionsView Regions = Map.Of(K);
    for (unsigned Region = 0; Region < Regions.Firsts.size(); ++Region) {
      const std::uint32_t Number = Found.Dense.Add(Map.ComponentOf(K, Region));
      if (Number == Found.List.size()) Found.List.emplace_back();
      TComponent& Component = Found.List[Number];
      Component.FirstKey =
          std::min(Component.FirstKey, std::uint64_t{K} * 4096 + Regions.Firsts[Region]);
      Component.Cells += Regions.Sizes[Region];
      if (Region >= static_cast<unsigned>(Regions.Kept)) continue;
      Component.HasKept = true;
      Found.Parts.emplace_back(Number, Graph.Root(K, Region));
    }
  }
}

TCell CellOfKey(const TRegionMap& Map, std::uint64_t Key) {
  return Map.Cells().CellOf(static_cast<std::size_t>(Key / 4096), static_cast<int>(Key % 4096));
}

void AddCell(std::int32_t (&Cells)[kExampleCells][2], std::int32_t& Count, TCell Cell) {
  Cells[Count][0] = Cell.Row;
  Cells[Count][1] = Cell.Column;
  ++Count;
}

// Fills the splits chosen (by component number, in Slots) with their erased areas' first cells.
void AddErasedCells(const TRegionMap& Map, const std::vector<std::uint32_t>& Slots,
                    const TGridComponents& Found, std::vector<varnholt_split>& Splits) {
  for (std::size_t K = 0; K < Map.Cells().Segments(); ++K) {
    const TRegionsView Regions = Map.Of(K);
    for (auto Region = static_cast<unsigned>(Regions.Kept); Region < Regions.Firsts.size();
         ++Region) {
      const std::uint32_t Slot = Slots[Found.Dense.Find(Map.ComponentOf(K, Region))];
      if (Slot == kNone) continue;
      varnholt_split& Split = Splits[Slot];
      if (static_cast<std::size_t>(Split.erased_count) >= kExampleCells) continue;
      AddCell(Split.erased_cells, Split.erased_count,
              Map.Cells().CellOf(K, Regions.Firsts[Region]));
    }
  }
}

// A component the waypoint graph holds as several parts, and where its parts are in Parts.
struct TFoundSplit {
  std::uint64_t FirstKey;
  std::uint32_t Component;
  std::size_t Begin, End;
};

std::vector<TFoundSplit> SplitComponents(TGridComponents& Found) {
  std::sort(Found.Parts.begin(), Found.Parts.end());
  Found.Parts.erase(std::unique(Found.Parts.begin(), Found.Parts.end()), Found.Parts.end());
  std::vector<TFoundSplit> Splits;
  for (std::size_t Begin = 0; Begin < Found.Parts.size();) {
    std::size_t End = Begin;
    while (End < Found.Parts.size() && Found.Parts[End].first == Found.Parts[Begin].first) ++End;
    const std::uint32_t Component = Found.Parts[Begin].first;
    if (End - Begin > 1) Splits.push_back({Found.List[Component].FirstKey, Component, Begin, End});
    Begin = End;
  }
  std::sort(Splits.begin(), Splits.end(),
            [](const TFoundSplit& A, const TFoundSplit& B) { return A.FirstKey < B.FirstKey; });
  return Splits;
}

void FindSplits(const TRegionMap& Map, TGridComponents& Found, std::size_t SplitCount,
                TMapSurvey& Survey) {
  std::vector<TFoundSplit> Splits = SplitComponents(Found);
  Survey.Counts.split_components = Count(Splits.size());
  Splits.resize(std::min(Splits.size(), SplitCount));
  std::vector<std::uint32_t> Slots(Found.List.size(), kNone);
  for (const TFoundSplit& Split : Splits) {
    varnholt_split& Described = Survey.Splits.emplace_back();
    Described.parts = Count(Split.End - Split.Begin);
    for (std::size_t Part = Split.Begin; Part < std::min(Split.End, Split.Begin + kExampleCells);
         ++Part) {
      const std::uint32_t Node = Found.Parts[Part].second;
      AddCell(Described.part_cells, Described.part_count, WaypointOf(Map, Node / 4, Node % 4));
    }
    Slots[Split.Component] = static_cast<std::uint32_t>(Survey.Splits.size() - 1);
  }
  if (!Splits.empty()) AddErasedCells(Map, Slots, Found, Survey.Splits);
}

void FindLost(const TRegionMap& Map, const TGridComponents& Found, std::size_t LostCount,
              TMapSurvey& Survey) {
  std::vector<std::uint64_t> FirstKeys;
  for (const TComponent& Component : Found.List) {
    if (Component.HasKept) continue;
    ++Survey.Counts.lost_components;
    Survey.Counts.lost_cells += Count(Component.Cells);
    FirstKeys.push_back(Component.FirstKey);
  }
  std::sort(FirstKeys.begin(), FirstKeys.end());
  for (std::size_t K = 0; K < std::min(LostCount, FirstKeys.size()); ++K) {
    Survey.Lost.push_back(CellOfKey(Map, FirstKeys[K]));
  }
}

// The waypoint graph of the whole map, and the grid's components as the survey meets them.
struct TMapGraph {
  explicit TMapGraph(const TRegionMap& Map) : Graph(Map.Cells().Segments()) {
    varnholt_survey Ignored{};
    for (std::size_t K = 0; K < Map.Cells().Segments(); ++K) LinkSegment(Map, K, Graph, Ignored);
    MeetRegions(Map, Graph, Found);
  }
  TWaypointGraph Graph;
  TGridComponents Found;
};

}  // namespace

std::size_t GraphPartsOf(const TRegionMap& Map, TCell Cell) {
  const TMapGraph Whole(Map);
  const std::uint32_t Component = Whole.Found.Dense.Find(
      Map.ComponentOf(Map.Cells().Locate(Cell).Segment, RegionOf(Map, Cell)));
  std::vector<std::uint32_t> Roots;
  for (const auto& [Of, Root] : Whole.Found.Parts) {
    if (Of == Component) Roots.push_back(Root);
  }
  std::sort(Roots.begin(), Roots.end());
  return static_cast<std::size_t>(std::unique(Roots.begin(), Roots.end()) - Roots.begin());
}

TSplitRegions SplitRegionsOf(const TRegionMap& Map, std::size_t Index) {
  TMapGraph Whole(Map);
  const std::vector<TFoundSplit> Splits = SplitComponents(Whole.Found);
  TSplitRegions Split;
  if (Index >= Splits.size()) return Split;
  const TFoundSplit& Chosen = Splits[Index];
  std::vector<std::uint32_t> Roots;
  for (std::size_t Part = Chosen.Begin; Part < Chosen.End; ++Part)
    Roots.push_back(Whole.Found.Parts[Part].second);
  Split.Parts.resize(Roots.size());
  for (std::size_t K = 0; K < Map.Cells().Segments(); ++K) {
    const TRegionsView Regions = Map.Of(K);
    for (unsigned Region = 0; Region < Regions.Places.size(); ++Region) {
      if (Whole.Found.Dense.Find(Map.ComponentOf(K, Region)) != Chosen.Component) continue;
      if (Region >= static_cast<unsigned>(Regions.Kept)) {
        Split.Erased.push_back({K, Region});
        continue;
      }
      const auto Root = std::find(Roots.begin(), Roots.end(), Whole.Graph.Root(K, Region));
      Split.Parts[static_cast<std::size_t>(Root - Roots.begin())].push_back({K, Region});
    }
  }
  return Split;
}

TMapSurvey SurveyMap(const TRegionMap& Map, std::size_t SplitCount, std::size_t LostCount) {
  const std::size_t Segments = Map.Cells().Segments();
  TMapSurvey Survey;
  TWaypointGraph Graph(Segments);
  for (std::size_t K = 0; K < Segments; ++K) {
    CountSegment(Map, K, Survey.Counts);
    LinkSegment(Map, K, Graph, Survey.Counts);
  }
  TGridComponents Found;
  MeetRegions(Map, Graph, Found);
  Survey.Counts.grid_components = Count(Found.List.size());
  for (std::size_t K = 0; K < Segments; ++K) {
    for (unsigned Area = 0; Area < static_cast<unsigned>(Map.Of(K).Kept); ++Area) {
      Survey.Counts.graph_components += Graph.Root(K, Area) == 4 * K + Area ? 1 : 0;
    }
  }
  FindLost(Map, Found, LostCount, Survey);
  FindSplits(Map, Found, SplitCount, Survey);
  return Survey;
}

}  // namespace varnholt
