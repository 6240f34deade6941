#include "Regions.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <numeric>

namespace varnholt {
namespace {

constexpr std::uint16_t kNoRegion = UINT16_MAX;
constexpr std::uint32_t kAsRead = UINT32_MAX;

// The region of every cell along the sides of a segment, kNoRegion where none.
using TSides = TSegmentSides<std::uint16_t>;
using TSide = TSides::TSide;

// Appends a segment's regions to Places, kept areas first at their waypoints, then the erased
// areas at their first cells, and marks them along its sides; returns the count of kept areas.
// Erased is room for labelling the erased areas.
std::uint8_t AddRegions(const TSegmentAnalysis& Segment, TComponents& Erased,
                        std::vector<std::uint16_t>& Places, TSides& Sides) {
  const TAreaMasks& Masks = Segment.Masks;
  for (std::size_t A = 0; A < static_cast<std::size_t>(Masks.Count); ++A) {
    const auto& Point = Segment.Waypoint.Points[A];  // column, row
    Places.push_back(static_cast<std::uint16_t>(Point[1] * kSegmentSide + Point[0]));
    const auto Region = static_cast<std::uint16_t>(A);
    TSides::Mark(Segment.Borders.Top[A], Region, Sides.Top);
    TSides::Mark(Segment.Borders.Bottom[A], Region, Sides.Bottom);
    TSides::Mark(Segment.Borders.Left[A], Region, Sides.Left);
    TSides::Mark(Segment.Borders.Right[A], Region, Sides.Right);
  }
  const TSegmentRows Cells = ErasedCells(Segment.Blocked, Masks);
  // Most segments have no area beyond the fourth: nothing to label then.
  if (!AllRowsAre(Cells, 0)) {
    Erased.Label(Cells);
    for (int C = 0; C < Erased.Count(); ++C) Places.push_back(Erased.FirstCell(C));
    for (int R = 0; R < kSegmentSide; ++R) {
      Erased.ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
        Sides.MarkRow(static_cast<std::size_t>(R), Run,
                      static_cast<std::uint16_t>(Masks.Count + Component));
      });
    }
  }
  return static_cast<std::uint8_t>(Masks.Count);
}

// Appends the pairs of regions that meet along a border, once each, in order.
void AddContacts(const TSide& Own, const TSide& Other, std::vector<TContact>& List) {
  const std::size_t First = List.size();
  for (std::size_t K = 0; K < Own.size(); ++K) {
    if (Own[K] == kNoRegion || Other[K] == kNoRegion) continue;
    const TContact Contact{Own[K], Other[K]};
    if (List.size() == First || List.back() != Contact) List.push_back(Contact);
  }
  // Along a border the same two regions mostly meet in one stretch: few are left to sort.
  if (List.size() - First < 2) return;
  std::sort(List.begin() + static_cast<std::ptrdiff_t>(First), List.end());
  List.erase(std::unique(List.begin() + static_cast<std::ptrdiff_t>(First), List.end()),
             List.end());
}

std::uint32_t FindRoot(std::vector<std::uint32_t>& Parent, std::uint32_t Node) {
  while (Parent[Node] != Node) Node = Parent[Node] = Parent[Parent[Node]];
  return Node;
}

// Makes room for Extra more elements, growing by half at least: an editor that paints place after
// place must not copy every segment edited so far on each edit.
template <typename T>
void ReserveMore(std::vector<T>& List, std::size_t Extra) {
  if (List.capacity() - List.size() >= Extra) return;
  List.reserve(std::max(List.size() + Extra, List.capacity() + List.capacity() / 2));
}

template <typename T>
std::span<const T> Part(const std::vector<T>& List, const std::vector<std::uint32_t>& Start,
                        std::size_t K) {
  return {List.data() + Start[K], List.data() + Start[K + 1]};
}

}  // namespace

TSegmentRows TCellStore::Rows(std::size_t K) const {
  if (!Edited.empty() && Edited[K] != kAsRead) return EditedRows[Edited[K]];
  return Level0.Rows(K);
}

bool TCellStore::IsOpen(TMapCell Cell) const {
  const TSegmentCell At = Locate(Cell);
  const int R = At.Cell / kSegmentSide;
  const int C = At.Cell % kSegmentSide;
  if (!Edited.empty() && Edited[At.Segment] != kAsRead) {
    return (EditedRows[Edited[At.Segment]][static_cast<std::size_t>(R)] >> C & 1) == 0;
  }
  return !Level0.IsBlocked(At.Segment, R, C);
}

void TCellStore::MakeRoom(std::size_t Segments) {
  if (Edited.empty()) Edited.assign(std::size_t{Side} * Side, kAsRead);
  ReserveMore(EditedRows, Segments);
}

void TCellStore::SetRows(std::size_t K, const TSegmentRows& Blocked) {
  if (Edited[K] == kAsRead) {
    EditedRows.push_back(Blocked);
    Edited[K] = static_cast<std::uint32_t>(EditedRows.size() - 1);
  }
  EditedRows[Edited[K]] = Blocked;
}

std::size_t TCellStore::RecordBytes() const {
  std::size_t Bytes = 0;
  for (std::size_t K = 0; K < std::size_t{Side} * Side; ++K) {
    Bytes += Edited.empty() || Edited[K] == kAsRead
                 ? Level0.Record(K).size()
                 : varnholt::RecordBytes(RecordTag(EditedRows[Edited[K]]));
  }
  return Bytes;
}

void TCellStore::WriteRecords(TWriter& File) const {
  for (std::size_t K = 0; K < std::size_t{Side} * Side; ++K) {
    if (Edited.empty() || Edited[K] == kAsRead) {
      const std::span<const std::uint8_t> Record = Level0.Record(K);
      if (File.Write(Record) != Record.size()) throw Exception("Error writing file");
      continue;
    }
    WriteSegment(File, EditedRows[Edited[K]]);
  }
}

// The components of the regions, by a region's index among all counted in grid order.
struct TRegionMap::TConnectivity {
  std::vector<std::uint32_t> FirstRegion;  // per segment, and one more at the end
  std::vector<std::uint32_t> Component;
  std::atomic<bool> Known{false};
  std::mutex Working;

  void WorkOut(const TRegionMap& Map) {
    const std::size_t Segments = Map.Kept.size();
    const std::size_t N = Map.Store.SegmentsPerSide();
    FirstRegion.assign(Segments + 1, 0);
    for (std::size_t K = 0; K < Segments; ++K) {
      const std::size_t Count = Map.PlacesOf(K).size();
      if (FirstRegion[K] > UINT32_MAX - Count) throw Exception("Range check error");
      FirstRegion[K + 1] = FirstRegion[K] + static_cast<std::uint32_t>(Count);
    }
    std::vector<std::uint32_t>& Parent = Component;
    Parent.resize(FirstRegion.back());
    std::iota(Parent.begin(), Parent.end(), std::uint32_t{0});
    const auto Join = [&](std::size_t K, std::size_t Next, std::span<const TContact> Found) {
      for (const TContact& Contact : Found) {
        const std::uint32_t A = FindRoot(Parent, FirstRegion[K] + Contact.Own);
        const std::uint32_t B = FindRoot(Parent, FirstRegion[Next] + Contact.Other);
        Parent[std::max(A, B)] = std::min(A, B);
      }
    };
    for (std::size_t K = 0; K < Segments; ++K) {
      Join(K, K + N, Map.DownOf(K));
      Join(K, K + 1, Map.RightOf(K));
    }
    for (std::uint32_t Region = 0; Region < Parent.size(); ++Region) {
      Parent[Region] = FindRoot(Parent, Region);
    }
    Known = true;
  }
};

TRegionMap::TRegionMap() : Connectivity(std::make_unique<TConnectivity>()) {}
TRegionMap::~TRegionMap() = default;
TRegionMap::TRegionMap(TRegionMap&&) noexcept = default;
TRegionMap& TRegionMap::operator=(TRegionMap&&) noexcept = default;

std::span<const std::uint16_t> TRegionMap::PlacesOf(std::size_t K) const {
  return IsOwn(K) ? std::span<const std::uint16_t>(Owned[OwnOf[K]].Places)
                  : Part(Places, PlaceStart, K);
}

int TRegionMap::KeptOf(std::size_t K) const {
  return IsOwn(K) ? Owned[OwnOf[K]].Kept : Kept[K];
}

std::span<const TContact> TRegionMap::DownOf(std::size_t K) const {
  return IsOwn(K) ? std::span<const TContact>(Owned[OwnOf[K]].Down) : Part(Down, DownStart, K);
}

std::span<const TContact> TRegionMap::RightOf(std::size_t K) const {
  return IsOwn(K) ? std::span<const TContact>(Owned[OwnOf[K]].Right) : Part(Right, RightStart, K);
}

std::uint32_t TRegionMap::ComponentOf(std::size_t K, unsigned Region) const {
  if (!Connectivity->Known) {
    const std::lock_guard<std::mutex> Lock(Connectivity->Working);
    if (!Connectivity->Known) Connectivity->WorkOut(*this);
  }
  return Connectivity->Component[Connectivity->FirstRegion[K] + Region];
}

namespace {

// Bit k for each of the Count (at most 64) bytes at Bytes that is not 0: eight at a time, each
// byte's nonzero bits folded to its lowest, which a multiplication gathers into the top byte.
std::uint64_t NonzeroBits(const std::uint8_t* Bytes, std::uint32_t Count) {
  std::uint64_t Bits = 0;
  std::uint32_t K = 0;
  for (; K + 8 <= Count; K += 8) {
    std::uint64_t Eight = LoadLE64(Bytes + K);  // byte k in bits 8k ... 8k + 7
    Eight |= Eight >> 4;
    Eight |= Eight >> 2;
    Eight |= Eight >> 1;
    Bits |= ((Eight & 0x0101010101010101ull) * 0x0102040810204080ull) >> 56 << K;
  }
  for (; K < Count; ++K) Bits |= std::uint64_t{Bytes[K] != 0} << K;
  return Bits;
}

}  // namespace

std::vector<TSegmentRows> TRegionMap::RowsAfter(TMapCell Corner, std::uint32_t Rows,
                                                std::uint32_t Columns,
                                                std::span<const std::uint8_t> Blocked,
                                                const TBlock& Block) const {
  std::vector<TSegmentRows> After;
  After.reserve(Block.Count());
  for (std::uint32_t I = Block.Top; I <= Block.Bottom; ++I) {
    for (std::uint32_t J = Block.Left; J <= Block.Last; ++J) {
      // The rectangle's columns within this segment, as bits from the first of them.
      const std::uint32_t First = std::max(Corner.Column, J * kSegmentSide);
      const std::uint32_t End = std::min(Corner.Column + Columns, (J + 1) * kSegmentSide);
      const std::uint32_t Shift = First % kSegmentSide;
      const std::uint64_t Width =
          End - First == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (End - First)) - 1;
      TSegmentRows& Cells =
          After.emplace_back(Store.Rows(std::size_t{I} * Store.SegmentsPerSide() + J));
      for (std::uint32_t R = 0; R < kSegmentSide; ++R) {
        const std::uint32_t Row = I * kSegmentSide + R;
        if (Row < Corner.Row || Row >= Corner.Row + Rows) continue;
        const std::uint8_t* Line =
            &Blocked[std::size_t{Row - Corner.Row} * Columns + (First - Corner.Column)];
        Cells[R] = (Cells[R] & ~(Width << Shift)) | NonzeroBits(Line, End - First) << Shift;
      }
    }
  }
  return After;
}

TSegmentRegions TRegionMap::Copy(std::size_t K) const {
  const std::span<const std::uint16_t> OwnPlaces = PlacesOf(K);
  const std::span<const TContact> OwnDown = DownOf(K);
  const std::span<const TContact> OwnRight = RightOf(K);
  return {{OwnPlaces.begin(), OwnPlaces.end()},
          {OwnDown.begin(), OwnDown.end()},
          {OwnRight.begin(), OwnRight.end()},
          static_cast<std::uint8_t>(KeptOf(K))};
}

// The regions of the block's segments, which hold After, and the contacts along all their
// borders: in the block's order, then the segments above it and those to its left, whose
// contacts with it change. The neighbours' sides are worked out for it.
TRegionMap::TRenewal TRegionMap::RegionsAfter(const TBlock& Block,
                                              const std::vector<TSegmentRows>& After) const {
  const std::uint32_t N = Store.SegmentsPerSide();
  const std::uint32_t I0 = Block.Top > 0 ? Block.Top - 1 : 0,
                      I1 = std::min(Block.Bottom + 1, N - 1);
  const std::uint32_t J0 = Block.Left > 0 ? Block.Left - 1 : 0,
                      J1 = std::min(Block.Last + 1, N - 1);
  const std::uint32_t Width = J1 - J0 + 1;
  std::vector<TSides> Sides((I1 - I0 + 1) * Width, TSides(kNoRegion));
  const auto SidesAt = [&](std::uint32_t I, std::uint32_t J) -> TSides& {
    return Sides[(I - I0) * Width + (J - J0)];
  };
  const auto Erased = std::make_unique<TComponents>();
  const auto Analysis = std::make_unique<TSegmentAnalysis>();
  TRenewal Renewal(Block.Count());
  std::vector<std::uint16_t> Unused;
  for (std::uint32_t I = I0; I <= I1; ++I) {
    for (std::uint32_t J = J0; J <= J1; ++J) {
      const std::size_t K = std::size_t{I} * N + J;
      const bool Rows = I >= Block.Top && I <= Block.Bottom;
      const bool Columns = J >= Block.Left && J <= Block.Last;
      if (!Rows && !Columns) continue;  // a corner: it shares no border with the block
      AnalyseSegment(Rows && Columns ? After[Block.IndexOf(I, J)] : Store.Rows(K), *Analysis);
      if (!(Rows && Columns)) {
        Unused.clear();
        AddRegions(*Analysis, *Erased, Unused, SidesAt(I, J));
        continue;
      }
      auto& [Segment, Regions] = Renewal[Block.IndexOf(I, J)];
      Segment = K;
      Regions.Kept = AddRegions(*Analysis, *Erased, Regions.Places, SidesAt(I, J));
    }
  }
  for (std::uint32_t I = std::max(Block.Top, 1u) - 1; I <= Block.Bottom && I + 1 < N; ++I) {
    for (std::uint32_t J = Block.Left; J <= Block.Last; ++J) {
      const std::size_t K = std::size_t{I} * N + J;
      if (I < Block.Top) Renewal.emplace_back(K, Copy(K));
      TSegmentRegions& Regions =
          I < Block.Top ? Renewal.back().second : Renewal[Block.IndexOf(I, J)].second;
      Regions.Down.clear();
      AddContacts(SidesAt(I, J).Bottom, SidesAt(I + 1, J).Top, Regions.Down);
    }
  }
  for (std::uint32_t I = Block.Top; I <= Block.Bottom; ++I) {
    for (std::uint32_t J = std::max(Block.Left, 1u) - 1; J <= Block.Last && J + 1 < N; ++J) {
      const std::size_t K = std::size_t{I} * N + J;
      if (J < Block.Left) Renewal.emplace_back(K, Copy(K));
      TSegmentRegions& Regions =
          J < Block.Left ? Renewal.back().second : Renewal[Block.IndexOf(I, J)].second;
      Regions.Right.clear();
      AddContacts(SidesAt(I, J).Right, SidesAt(I, J + 1).Left, Regions.Right);
    }
  }
  return Renewal;
}

void TRegionMap::SetCells(TMapCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                          std::span<const std::uint8_t> Blocked) {
  if (Rows == 0 || Columns == 0) return;
  const TBlock Block{Corner.Row / kSegmentSide, (Corner.Row + Rows - 1) / kSegmentSide,
                     Corner.Column / kSegmentSide, (Corner.Column + Columns - 1) / kSegmentSide};
  // Everything is worked out, and room taken, before anything changes: an edit that fails (out
  // of memory) leaves the map as it was.
  const std::vector<TSegmentRows> After = RowsAfter(Corner, Rows, Columns, Blocked, Block);
  TRenewal Renewal = RegionsAfter(Block, After);
  Store.MakeRoom(After.size());
  if (OwnOf.empty()) OwnOf.assign(Kept.size(), kShared);
  ReserveMore(Owned, Renewal.size());
  Connectivity->Known = false;
  const std::uint32_t N = Store.SegmentsPerSide();
  for (std::uint32_t I = Block.Top; I <= Block.Bottom; ++I) {
    for (std::uint32_t J = Block.Left; J <= Block.Last; ++J) {
      Store.SetRows(std::size_t{I} * N + J, After[Block.IndexOf(I, J)]);
    }
  }
  for (auto& [K, Regions] : Renewal) {
    if (OwnOf[K] != kShared) {
      Owned[OwnOf[K]] = std::move(Regions);
      continue;
    }
    OwnOf[K] = static_cast<std::uint32_t>(Owned.size());
    Owned.push_back(std::move(Regions));
  }
}

struct TRegionBuilder::TSweep {
  explicit TSweep(std::uint32_t Side) : Bottoms(Side, TSides(kNoRegion).Top) {
    const std::size_t Segments = std::size_t{Side} * Side;
    Map.PlaceStart.reserve(Segments + 1);
    Map.Kept.reserve(Segments);
    Map.DownStart.reserve(Segments + 1);
    Map.RightStart.reserve(Segments + 1);
    Map.PlaceStart.push_back(0);
  }
  TRegionMap Map;
  std::vector<TSide> Bottoms;  // per segment column: the regions along row 63 of the segment above
  TSide Right{};               // along column 63 of the segment to the left
  TComponents Erased;          // room for one segment's erased areas, taken once
};

TRegionBuilder::TRegionBuilder(std::uint32_t SegmentsPerSide)
    : Sweep(std::make_unique<TSweep>(SegmentsPerSide)) {}

TRegionBuilder::~TRegionBuilder() = default;

void TRegionBuilder::Add(std::size_t K, const TSegmentAnalysis& Segment) {
  const std::size_t N = Sweep->Bottoms.size();
  TRegionMap& Map = Sweep->Map;
  // Regions are counted in 32 bits: a map with more (only noise of 2048 x 2048 segments and
  // more could have them) is too large to be held.
  if (Map.Places.size() > UINT32_MAX - kSegmentSide * kSegmentSide) {
    throw Exception("Range check error");
  }
  TSides Sides(kNoRegion);
  Map.Kept.push_back(AddRegions(Segment, Sweep->Erased, Map.Places, Sides));
  Map.PlaceStart.push_back(static_cast<std::uint32_t>(Map.Places.size()));
  // The contacts of the segment above and of the one to the left are complete now; both come in
  // grid order.
  if (K >= N) {
    Map.DownStart.push_back(static_cast<std::uint32_t>(Map.Down.size()));
    AddContacts(Sweep->Bottoms[K % N], Sides.Top, Map.Down);
  }
  if (K > 0) Map.RightStart.push_back(static_cast<std::uint32_t>(Map.Right.size()));
  if (K % N > 0) AddContacts(Sweep->Right, Sides.Left, Map.Right);
  Sweep->Bottoms[K % N] = Sides.Bottom;
  Sweep->Right = Sides.Right;
}

TRegionMap TRegionBuilder::Finish(TLevel0Records Cells) {
  TRegionMap& Map = Sweep->Map;
  // The last row of segments has nothing below, the last segment nothing to its right.
  while (Map.DownStart.size() < Map.Kept.size() + 1) {
    Map.DownStart.push_back(static_cast<std::uint32_t>(Map.Down.size()));
  }
  while (Map.RightStart.size() < Map.Kept.size() + 1) {
    Map.RightStart.push_back(static_cast<std::uint32_t>(Map.Right.size()));
  }
  Map.Store = TCellStore(std::move(Cells), static_cast<std::uint32_t>(Sweep->Bottoms.size()));
  Map.Connectivity->WorkOut(Map);
  return std::move(Map);
}

namespace {

// The kept area, 0 ... 3, that holds the cell, -1 where none does; Masks get the kept areas.
int KeptAreaAt(const TSegmentRows& Blocked, int Cell, TAreaMasks& Masks) {
  LabelAreaMasks(Blocked, Masks);
  const auto Row = static_cast<std::size_t>(Cell / kSegmentSide);
  for (int A = 0; A < Masks.Count; ++A) {
    if ((Masks.Rows[static_cast<std::size_t>(A)][Row] >> (Cell % kSegmentSide) & 1) != 0) return A;
  }
  return -1;
}

}  // namespace

int AreaOf(const TRegionMap& Map, TMapCell Cell) {
  if (!Map.Cells().IsInside(Cell) || !Map.Cells().IsOpen(Cell)) return 0;
  const TSegmentCell At = Map.Cells().Locate(Cell);
  TAreaMasks Masks;
  return KeptAreaAt(Map.Cells().Rows(At.Segment), At.Cell, Masks) + 1;
}

std::uint16_t RegionOf(const TRegionMap& Map, TMapCell Cell) {
  const TSegmentCell At = Map.Cells().Locate(Cell);
  const TSegmentRows Blocked = Map.Cells().Rows(At.Segment);
  TAreaMasks Masks;
  const int Kept = KeptAreaAt(Blocked, At.Cell, Masks);
  if (Kept >= 0) return static_cast<std::uint16_t>(Kept);
  const auto Erased = std::make_unique<TComponents>();
  Erased->Label(ErasedCells(Blocked, Masks));
  return static_cast<std::uint16_t>(Masks.Count + Erased->ComponentAt(At.Cell));
}

}  // namespace varnholt
