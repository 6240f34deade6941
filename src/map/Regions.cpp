#include "map/Regions.h"

#include <algorithm>
#include <bit>

namespace varnholt {

TRegionMap::TRegionMap() : Connectivity(std::make_unique<TConnectivity>()) {}
TRegionMap::~TRegionMap() = default;
TRegionMap::TRegionMap(TRegionMap&&) noexcept = default;
TRegionMap& TRegionMap::operator=(TRegionMap&&) noexcept = default;

struct TRegionBuilder::TState {
  explicit TState(std::uint32_t Side) : Borders(Side, TRegionSides(kNoRegion).Top) {
    Map.Regions.Reserve(std::size_t{Side} * Side);
  }
  TRegionMap Map;
  TBorderSweep<TRegionSides> Borders;
  TComponents Erased;       // room for one segment's erased areas, taken once
  TSegmentRegions Segment;  // room for one segment's regions
};

TRegionBuilder::TRegionBuilder(std::uint32_t SegmentsPerSide)
    : State(std::make_unique<TState>(SegmentsPerSide)) {}

TRegionBuilder::~TRegionBuilder() = default;

void TRegionBuilder::Add(std::size_t K, const TSegmentAnalysis& Segment) {
  TRegionTable& Table = State->Map.Regions;
  // Regions are counted in 32 bits: a map with more (only noise of 2048 x 2048 segments and
  // more could have them) is too large to be held.
  if (Table.RegionCount() > UINT32_MAX - kSegmentSide * kSegmentSide) {
    throw Exception(VARNHOLT_ERROR_SIZE, "Range check error");
  }
  TRegionSides Sides(kNoRegion);
  ReadRegions(Segment, State->Erased, State->Segment, Sides);
  const TSegmentRegions& Read = State->Segment;
  Table.AddRegions(Read.Kept, Read.Places, Read.Firsts, Read.Sizes);
  // The contacts of the segment above and of the one to the left are complete now; both come in
  // grid order.
  const std::size_t N = State->Borders.SegmentsPerSide();
  if (K >= N) Table.EndDownOf();
  if (K > 0) Table.EndRightOf();
  State->Borders.Add(K, Sides, [&](const auto& Other, const auto& Own, bool Above, std::size_t) {
    AddContacts(Other, Own, Above ? Table.DownList() : Table.RightList());
  });
}

TRegionMap TRegionBuilder::Finish(TLevel0Records Cells, TWaypointSegments Records) {
  TRegionMap& Map = State->Map;
  Map.Regions.Finish();
  Map.Store = TCellStore(std::move(Cells), State->Borders.SegmentsPerSide());
  Map.WaypointRecords = std::move(Records);
  Map.Cached = TSegmentCache(Map.Store.Segments());
  Map.Connectivity->Update(Map.Regions, Map.Store.SegmentsPerSide());
  return std::move(Map);
}

namespace {

// Marks Region on every cell of row R that is in Cells.
void MarkCells(std::span<std::uint16_t, 4096> Regions, std::size_t R, std::uint64_t Cells,
               int Region) {
  for (; Cells != 0; Cells &= Cells - 1) {
    Regions[R * kSegmentSide + static_cast<std::size_t>(std::countr_zero(Cells))] =
        static_cast<std::uint16_t>(Region);
  }
}

// A segment's kept areas, as queries of single cells keep them.
struct TCachedAreas final : TCached {
  TAreaMasks Masks;
  std::size_t Bytes() const override { return sizeof(*this); }
};

// The kept area, 0 ... 3, that holds the open cell, -1 where none does.
int KeptAreaIn(const TAreaMasks& Masks, int Cell) {
  const auto Row = static_cast<std::size_t>(Cell / kSegmentSide);
  for (int A = 0; A < Masks.Count; ++A) {
    if ((Masks.Rows[static_cast<std::size_t>(A)][Row] >> (Cell % kSegmentSide) & 1) != 0) return A;
  }
  return -1;
}

// Segment K's kept areas: kept by the first query that asks for a cell of it.
std::shared_ptr<const TCachedAreas> AreasOf(const TRegionMap& Map, std::size_t K) {
  if (auto Found = Map.Cache().Find(TSegmentCache::kAreas, K)) {
    return std::static_pointer_cast<const TCachedAreas>(Found);
  }
  auto Made = std::make_shared<TCachedAreas>();
  LabelAreaMasks(Map.Cells().Rows(K), Made->Masks);
  return std::static_pointer_cast<const TCachedAreas>(
      Map.Cache().Keep(TSegmentCache::kAreas, K, std::move(Made)));
}

// Segment K's erased areas beside its kept areas Masks, numbered as the map's regions number them.
std::unique_ptr<TComponents> ErasedAreasOf(const TRegionMap& Map, std::size_t K,
                                           const TAreaMasks& Masks) {
  auto Erased = std::make_unique<TComponents>();
  Erased->Label(ErasedCells(Map.Cells().Rows(K), Masks));
  return Erased;
}

}  // namespace

int AreaOf(const TRegionMap& Map, TCell Cell) {
  if (!Map.Cells().IsInside(Cell) || !Map.Cells().IsOpen(Cell)) return 0;
  const TSegmentCell At = Map.Cells().Locate(Cell);
  {
    // Engines ask for the area of every unit, every frame: once kept, a look without counting
    // holders.
    std::unique_lock<std::mutex> Guard;
    if (const TCached* Found = Map.Cache().Peek(TSegmentCache::kAreas, At.Segment, Guard)) {
      return KeptAreaIn(static_cast<const TCachedAreas*>(Found)->Masks, At.Cell) + 1;
    }
  }
  return KeptAreaIn(AreasOf(Map, At.Segment)->Masks, At.Cell) + 1;
}

int SegmentAreas(const TRegionMap& Map, std::size_t K, std::span<std::uint8_t, 4096> Areas) {
  TAreaMasks Masks;
  LabelAreaMasks(Map.Cells().Rows(K), Masks);
  TAreaSegment AreaMap;
  PaintAreaMap(Masks, AreaMap);
  std::copy(AreaMap.begin(), AreaMap.end(), Areas.begin());
  return Masks.Count;
}

int SegmentRegions(const TRegionMap& Map, std::size_t K, std::span<std::uint16_t, 4096> Regions) {
  const TSegmentRows Blocked = Map.Cells().Rows(K);
  TAreaMasks Masks;
  LabelAreaMasks(Blocked, Masks);
  std::fill(Regions.begin(), Regions.end(), kNoRegion);
  for (int A = 0; A < Masks.Count; ++A) {
    for (std::size_t R = 0; R < kSegmentSide; ++R)
      MarkCells(Regions, R, Masks.Rows[static_cast<std::size_t>(A)][R], A);
  }
  const TSegmentRows Erased = ErasedCells(Blocked, Masks);
  if (AllRowsAre(Erased, 0)) return Masks.Count;
  const auto Components = std::make_unique<TComponents>();
  Components->Label(Erased);
  for (int R = 0; R < kSegmentSide; ++R) {
    Components->ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
      MarkCells(Regions, static_cast<std::size_t>(R), Run, Masks.Count + Component);
    });
  }
  return Masks.Count + Components->Count();
}

TSegmentRows RegionCells(const TRegionMap& Map, std::size_t K,
                         std::span<const std::uint8_t> Wanted) {
  const std::shared_ptr<const TCachedAreas> Areas = AreasOf(Map, K);
  const TAreaMasks& Masks = Areas->Masks;
  const auto Kept = static_cast<std::size_t>(Masks.Count);
  TSegmentRows Cells{};
  for (std::size_t A = 0; A < Kept; ++A) {
    if (Wanted[A] == 0) continue;
    for (std::size_t R = 0; R < kSegmentSide; ++R) Cells[R] |= Masks.Rows[A][R];
  }
  if (std::none_of(Wanted.begin() + static_cast<std::ptrdiff_t>(Kept), Wanted.end(),
                   [](std::uint8_t Is) { return Is != 0; })) {
    return Cells;
  }
  const std::unique_ptr<TComponents> Erased = ErasedAreasOf(Map, K, Masks);
  for (int R = 0; R < kSegmentSide; ++R) {
    Erased->ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
      if (Wanted[Kept + static_cast<std::size_t>(Component)] != 0) {
        Cells[static_cast<std::size_t>(R)] |= Run;
      }
    });
  }
  return Cells;
}

std::uint16_t RegionOf(const TRegionMap& Map, TCell Cell) {
  const TSegmentCell At = Map.Cells().Locate(Cell);
  const std::shared_ptr<const TCachedAreas> Areas = AreasOf(Map, At.Segment);
  const int Kept = KeptAreaIn(Areas->Masks, At.Cell);
  if (Kept >= 0) return static_cast<std::uint16_t>(Kept);
  // A cell of an erased area, which few queries start or end in: labelled as it comes.
  const std::unique_ptr<TComponents> Erased = ErasedAreasOf(Map, At.Segment, Areas->Masks);
  return static_cast<std::uint16_t>(Areas->Masks.Count + Erased->ComponentAt(At.Cell));
}

}  // namespace varnholt
