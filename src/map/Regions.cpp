#include "map/Regions.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <mutex>
#include <numeric>

#include "paths/KeyTable.h"
#include "analysis/UnionFind.h"

namespace varnholt {
namespace {

constexpr std::uint32_t kAsRead = UINT32_MAX;

// The region of every cell along the sides of a segment, kNoRegion where none.
using TSides = TSegmentSides<std::uint16_t>;
using TSide = TSides::TSide;

// Where a segment's regions go: per region its place, first cell and size.
struct TRegionLists {
  std::vector<std::uint16_t>& Places;
  std::vector<std::uint16_t>& Firsts;
  std::vector<std::uint16_t>& Sizes;
};

std::uint16_t FirstCellOf(const TSegmentRows& Rows) {
  for (std::size_t R = 0; R < Rows.size(); ++R) {
    if (Rows[R] != 0)
      return static_cast<std::uint16_t>(R * kSegmentSide + std::countr_zero(Rows[R]));
  }
  return 0;
}

std::uint16_t CellCount(const TSegmentRows& Rows) {
  int Count = 0;
  for (const std::uint64_t Row : Rows) Count += std::popcount(Row);
  return static_cast<std::uint16_t>(Count);
}

// Appends a segment's regions to Lists, kept areas first at their waypoints, then the erased
// areas at their first cells, and marks them along its sides; returns the count of kept areas.
// Erased is room for labelling the erased areas.
std::uint8_t AddRegions(const TSegmentAnalysis& Segment, TComponents& Erased, TRegionLists Lists,
                        TSides& Sides) {
  const TAreaMasks& Masks = Segment.Masks;
  for (std::size_t A = 0; A < static_cast<std::size_t>(Masks.Count); ++A) {
    const auto& Point = Segment.Waypoint.Points[A];  // column, row
    Lists.Places.push_back(static_cast<std::uint16_t>(Point[1] * kSegmentSide + Point[0]));
    Lists.Firsts.push_back(FirstCellOf(Masks.Rows[A]));
    Lists.Sizes.push_back(CellCount(Masks.Rows[A]));
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
    for (int C = 0; C < Erased.Count(); ++C) {
      Lists.Places.push_back(Erased.FirstCell(C));
      Lists.Firsts.push_back(Erased.FirstCell(C));
      Lists.Sizes.push_back(Erased.Cells(C));
    }
    for (int R = 0; R < kSegmentSide; ++R) {
      Erased.ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
        Sides.MarkRow(static_cast<std::size_t>(R), Run,
                      static_cast<std::uint16_t>(Masks.Count + Component));
      });
    }
  }
  return static_cast<std::uint8_t>(Masks.Count);
}

// Appends the pairs of regions that meet along a border, once each, in order, each with the
// first and last places where they do.
void AddContacts(const TSide& Own, const TSide& Other, std::vector<TContact>& List) {
  const auto Begin = static_cast<std::ptrdiff_t>(List.size());
  const auto SamePair = [](const TContact& A, const TContact& B) {
    return A.Own == B.Own && A.Other == B.Other;
  };
  for (std::size_t K = 0; K < Own.size(); ++K) {
    if (Own[K] == kNoRegion || Other[K] == kNoRegion) continue;
    const auto At = static_cast<std::uint8_t>(K);
    const TContact Contact{Own[K], Other[K], At, At};
    if (List.size() > static_cast<std::size_t>(Begin) && SamePair(List.back(), Contact)) {
      List.back().Last = At;
    } else {
      List.push_back(Contact);
    }
  }
  // Along a border the same two regions mostly meet in one stretch: few are left to sort.
  if (List.size() - static_cast<std::size_t>(Begin) < 2) return;
  std::sort(List.begin() + Begin, List.end());
  auto Kept = List.begin() + Begin;
  for (auto Next = Kept + 1; Next != List.end(); ++Next) {
    if (SamePair(*Kept, *Next)) {
      Kept->Last = std::max(Kept->Last, Next->Last);
    } else {
      *++Kept = *Next;
    }
  }
  List.erase(Kept + 1, List.end());
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

std::string CellText(TCell Cell) {
  return std::to_string(Cell.Row) + ", " + std::to_string(Cell.Column);
}

TSegmentRows TCellStore::Rows(std::size_t K) const {
  if (!Edited.empty() && Edited[K] != kAsRead) return EditedRows[Edited[K]];
  return Level0.Rows(K);
}

bool TCellStore::IsOpen(TCell Cell) const {
  const TSegmentCell At = Locate(Cell);
  const int R = At.Cell / kSegmentSide;
  const int C = At.Cell % kSegmentSide;
  if (!Edited.empty() && Edited[At.Segment] != kAsRead) {
    return (EditedRows[Edited[At.Segment]][static_cast<std::size_t>(R)] >> C & 1) == 0;
  }
  return !Level0.IsBlocked(At.Segment, R, C);
}

void TCellStore::GetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                          std::span<std::uint8_t> Blocked) const {
  const auto Top = static_cast<std::uint32_t>(Corner.Row);
  const auto Left = static_cast<std::uint32_t>(Corner.Column);
  for (std::uint32_t I = Top / kSegmentSide; I <= (Top + Rows - 1) / kSegmentSide; ++I) {
    for (std::uint32_t J = Left / kSegmentSide; J <= (Left + Columns - 1) / kSegmentSide; ++J) {
      const TSegmentRows Cells = this->Rows(std::size_t{I} * Side + J);
      const std::uint32_t RowEnd = std::min(Top + Rows, (I + 1) * kSegmentSide);
      const std::uint32_t ColumnEnd = std::min(Left + Columns, (J + 1) * kSegmentSide);
      for (std::uint32_t Row = std::max(Top, I * kSegmentSide); Row < RowEnd; ++Row) {
        const std::uint64_t Word = Cells[Row % kSegmentSide];
        std::uint8_t* Line = &Blocked[std::size_t{Row - Top} * Columns];
        for (std::uint32_t Column = std::max(Left, J * kSegmentSide); Column < ColumnEnd;
             ++Column) {
          Line[Column - Left] = static_cast<std::uint8_t>(Word >> (Column % kSegmentSide) & 1);
        }
      }
    }
  }
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
      if (File.Write(Record) != Record.size())
        throw Exception(VARNHOLT_ERROR_WRITE, "Error writing file");
      continue;
    }
    WriteSegment(File, EditedRows[Edited[K]]);
  }
}

// The components of the regions, worked out in blocks of 16 x 16 segments: within a block, the
// parts its own contacts join; across blocks, the parts that meet at block borders, which are few.
// An edit makes stale the blocks it touches, and working out again costs those blocks and the
// joins across blocks, not the whole map. A part is named by its place among all regions: its
// block's first region and its root region there.
struct TRegionMap::TConnectivity {
  static constexpr std::uint32_t kBlockSide = 16;

  struct TMeeting {
    std::uint32_t Part;   // of the block
    std::uint32_t Block;  // below or to the right
    std::uint32_t Other;  // a part there
    friend auto operator<=>(const TMeeting&, const TMeeting&) = default;
  };
  struct TBlockParts {
    bool Stale = true;
    std::vector<std::uint32_t> FirstRegion;  // per segment of the block, row by row, and one more
    std::vector<std::uint32_t> PartOf;       // per region of the block, its root region
    std::vector<TMeeting> Meetings;
  };

  std::uint32_t Side = 0;  // blocks a side
  std::vector<TBlockParts> Blocks;
  std::vector<std::uint32_t> BlockStart;  // per block, its first region among all, and one more
  // Across blocks: per part that meets another block's, by name, the part that names its
  // component. Only entries stamped with the latest working out hold.
  std::vector<std::uint32_t> Joined;
  std::vector<std::uint32_t> Stamp;
  std::uint32_t Latest = 0;
  std::atomic<bool> Known{false};
  std::mutex Working;

  std::size_t BlockOf(std::size_t N, std::size_t K) const {
    return K / N / kBlockSide * Side + K % N / kBlockSide;
  }
  static std::size_t WithinBlock(std::size_t N, std::size_t K) {
    return K / N % kBlockSide * kBlockSide + K % N % kBlockSide;
  }
  std::uint32_t PartOf(std::size_t N, std::size_t K, unsigned Region) const {
    const TBlockParts& Parts = Blocks[BlockOf(N, K)];
    return Parts.PartOf[Parts.FirstRegion[WithinBlock(N, K)] + Region];
  }
  std::uint64_t ComponentOf(std::size_t N, std::size_t K, unsigned Region) const {
    const std::uint32_t Part = BlockStart[BlockOf(N, K)] + PartOf(N, K, Region);
    return Stamp[Part] == Latest ? Joined[Part] : Part;
  }

  // Calls Visit(K) for the segments of block B.
  template <typename F>
  void ForSegments(std::size_t N, std::size_t B, F Visit) const {
    const std::size_t I0 = B / Side * kBlockSide, J0 = B % Side * kBlockSide;
    for (std::size_t I = I0; I < std::min(I0 + kBlockSide, N); ++I) {
      for (std::size_t J = J0; J < std::min(J0 + kBlockSide, N); ++J) Visit(I * N + J);
    }
  }

  // Segments I0 ... I1 by J0 ... J1 have changed their regions or their contacts.
  void MakeStale(std::size_t N, std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) {
    if (Blocks.empty()) return;  // all is to be worked out
    for (std::size_t I = I0; I <= I1; ++I) {
      for (std::size_t J = J0; J <= J1; ++J) Blocks[BlockOf(N, I * N + J)].Stale = true;
    }
  }

  void WorkOutParts(const TRegionMap& Map, std::size_t B) {
    TBlockParts& Parts = Blocks[B];
    const std::size_t N = Map.Store.SegmentsPerSide();
    Parts.FirstRegion.assign(kBlockSide * kBlockSide + 1, 0);
    ForSegments(N, B, [&](std::size_t K) {
      Parts.FirstRegion[WithinBlock(N, K) + 1] = static_cast<std::uint32_t>(Map.PlacesOf(K).size());
    });
    std::partial_sum(Parts.FirstRegion.begin(), Parts.FirstRegion.end(), Parts.FirstRegion.begin());
    std::vector<std::uint32_t>& Parent = Parts.PartOf;
    Parent.resize(Parts.FirstRegion.back());
    std::iota(Parent.begin(), Parent.end(), std::uint32_t{0});
    const auto Join = [&](std::size_t K, std::size_t Next, std::span<const TContact> Found) {
      if (BlockOf(N, Next) != B) return;
      for (const TContact& Contact : Found) {
        JoinSets(Parent, Parts.FirstRegion[WithinBlock(N, K)] + Contact.Own,
                 Parts.FirstRegion[WithinBlock(N, Next)] + Contact.Other);
      }
    };
    ForSegments(N, B, [&](std::size_t K) {
      if (K + N < N * N) Join(K, K + N, Map.DownOf(K));
      if ((K + 1) % N != 0) Join(K, K + 1, Map.RightOf(K));
    });
    for (std::uint32_t Region = 0; Region < Parent.size(); ++Region) {
      Parent[Region] = FindRoot(Parent, Region);
    }
    Parts.Stale = false;
  }

  // The parts of block B that meet parts of the blocks below and to the right, at its last row
  // and its last column.
  void WorkOutMeetings(const TRegionMap& Map, std::size_t B) {
    std::vector<TMeeting>& Meetings = Blocks[B].Meetings;
    Meetings.clear();
    const std::size_t N = Map.Store.SegmentsPerSide();
    const auto Meet = [&](std::size_t K, std::size_t Next, std::span<const TContact> Found) {
      for (const TContact& Contact : Found) {
        Meetings.push_back({PartOf(N, K, Contact.Own), static_cast<std::uint32_t>(BlockOf(N, Next)),
                            PartOf(N, Next, Contact.Other)});
      }
    };
    const std::size_t I0 = B / Side * kBlockSide, J0 = B % Side * kBlockSide;
    const std::size_t I1 = std::min(I0 + kBlockSide, N) - 1, J1 = std::min(J0 + kBlockSide, N) - 1;
    for (std::size_t J = J0; J <= J1 && I1 + 1 < N; ++J) {
      Meet(I1 * N + J, (I1 + 1) * N + J, Map.DownOf(I1 * N + J));
    }
    for (std::size_t I = I0; I <= I1 && J1 + 1 < N; ++I) {
      Meet(I * N + J1, I * N + J1 + 1, Map.RightOf(I * N + J1));
    }
    std::sort(Meetings.begin(), Meetings.end());
    Meetings.erase(std::unique(Meetings.begin(), Meetings.end()), Meetings.end());
  }

  void WorkOut(const TRegionMap& Map) {
    const std::size_t N = Map.Store.SegmentsPerSide();
    const auto NewSide = static_cast<std::uint32_t>((N + kBlockSide - 1) / kBlockSide);
    if (NewSide != Side) {
      Side = NewSide;
      Blocks.assign(std::size_t{Side} * Side, {});
    }
    std::vector<std::uint8_t> Meets(Blocks.size(), 0);  // to be worked out again
    for (std::size_t B = 0; B < Blocks.size(); ++B) {
      if (!Blocks[B].Stale) continue;
      WorkOutParts(Map, B);
      Meets[B] = 1;
      if (B % Side > 0) Meets[B - 1] = 1;
      if (B >= Side) Meets[B - Side] = 1;
    }
    for (std::size_t B = 0; B < Blocks.size(); ++B) {
      if (Meets[B] != 0) WorkOutMeetings(Map, B);
    }
    JoinBlocks();
    Known = true;
  }

  void JoinBlocks() {
    BlockStart.assign(Blocks.size() + 1, 0);
    for (std::size_t B = 0; B < Blocks.size(); ++B) {
      const std::size_t Regions = Blocks[B].PartOf.size();
      if (BlockStart[B] > UINT32_MAX - Regions)
        throw Exception(VARNHOLT_ERROR_SIZE, "Range check error");
      BlockStart[B + 1] = BlockStart[B] + static_cast<std::uint32_t>(Regions);
    }
    Joined.resize(BlockStart.back());
    Stamp.resize(BlockStart.back());
    if (++Latest == 0) {  // stamps wrapped: none holds
      std::fill(Stamp.begin(), Stamp.end(), 0);
      Latest = 1;
    }
    std::vector<std::uint32_t> Met;
    const auto Take = [&](std::uint32_t Part) {
      if (Stamp[Part] != Latest) {
        Stamp[Part] = Latest;
        Joined[Part] = Part;
        Met.push_back(Part);
      }
      return Part;
    };
    for (std::size_t B = 0; B < Blocks.size(); ++B) {
      for (const TMeeting& Found : Blocks[B].Meetings) {
        JoinSets(Joined, Take(BlockStart[B] + Found.Part),
                 Take(BlockStart[Found.Block] + Found.Other));
      }
    }
    for (const std::uint32_t Part : Met) Joined[Part] = FindRoot(Joined, Part);
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

std::span<const std::uint16_t> TRegionMap::FirstsOf(std::size_t K) const {
  return IsOwn(K) ? std::span<const std::uint16_t>(Owned[OwnOf[K]].Firsts)
                  : Part(Firsts, PlaceStart, K);
}

std::span<const std::uint16_t> TRegionMap::SizesOf(std::size_t K) const {
  return IsOwn(K) ? std::span<const std::uint16_t>(Owned[OwnOf[K]].Sizes)
                  : Part(Sizes, PlaceStart, K);
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

void TRegionMap::WorkOutConnectivity() const {
  if (Connectivity->Known) return;
  const std::lock_guard<std::mutex> Lock(Connectivity->Working);
  if (!Connectivity->Known) Connectivity->WorkOut(*this);
}

std::uint64_t TRegionMap::ComponentOf(std::size_t K, unsigned Region) const {
  WorkOutConnectivity();
  return Connectivity->ComponentOf(Store.SegmentsPerSide(), K, Region);
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

std::vector<TSegmentRows> TRegionMap::RowsAfter(TCell Corner, std::uint32_t Rows,
                                                std::uint32_t Columns,
                                                std::span<const std::uint8_t> Blocked,
                                                const TBlock& Block) const {
  const auto CornerRow = static_cast<std::uint32_t>(Corner.Row);
  const auto CornerColumn = static_cast<std::uint32_t>(Corner.Column);
  std::vector<TSegmentRows> After;
  After.reserve(Block.Count());
  for (std::uint32_t I = Block.Top; I <= Block.Bottom; ++I) {
    for (std::uint32_t J = Block.Left; J <= Block.Last; ++J) {
      // The rectangle's columns within this segment, as bits from the first of them.
      const std::uint32_t First = std::max(CornerColumn, J * kSegmentSide);
      const std::uint32_t End = std::min(CornerColumn + Columns, (J + 1) * kSegmentSide);
      const std::uint32_t Shift = First % kSegmentSide;
      const std::uint64_t Width =
          End - First == 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << (End - First)) - 1;
      TSegmentRows& Cells =
          After.emplace_back(Store.Rows(std::size_t{I} * Store.SegmentsPerSide() + J));
      for (std::uint32_t R = 0; R < kSegmentSide; ++R) {
        const std::uint32_t Row = I * kSegmentSide + R;
        if (Row < CornerRow || Row >= CornerRow + Rows) continue;
        const std::uint8_t* Line =
            &Blocked[std::size_t{Row - CornerRow} * Columns + (First - CornerColumn)];
        Cells[R] = (Cells[R] & ~(Width << Shift)) | NonzeroBits(Line, End - First) << Shift;
      }
    }
  }
  return After;
}

TSegmentRegions TRegionMap::Copy(std::size_t K) const {
  const auto Vector = [](auto Span) { return std::vector(Span.begin(), Span.end()); };
  return {Vector(PlacesOf(K)), Vector(FirstsOf(K)), Vector(SizesOf(K)),
          Vector(DownOf(K)),   Vector(RightOf(K)),  static_cast<std::uint8_t>(KeptOf(K))};
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
  std::vector<std::uint16_t> Unused, UnusedFirsts, UnusedSizes;
  for (std::uint32_t I = I0; I <= I1; ++I) {
    for (std::uint32_t J = J0; J <= J1; ++J) {
      const std::size_t K = std::size_t{I} * N + J;
      const bool Rows = I >= Block.Top && I <= Block.Bottom;
      const bool Columns = J >= Block.Left && J <= Block.Last;
      if (!Rows && !Columns) continue;  // a corner: it shares no border with the block
      AnalyseSegment(Rows && Columns ? After[Block.IndexOf(I, J)] : Store.Rows(K), *Analysis);
      if (!(Rows && Columns)) {
        Unused.clear();
        UnusedFirsts.clear();
        UnusedSizes.clear();
        AddRegions(*Analysis, *Erased, {Unused, UnusedFirsts, UnusedSizes}, SidesAt(I, J));
        continue;
      }
      auto& [Segment, Regions] = Renewal[Block.IndexOf(I, J)];
      Segment = K;
      Regions.Kept = AddRegions(*Analysis, *Erased, {Regions.Places, Regions.Firsts, Regions.Sizes},
                                SidesAt(I, J));
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

void TRegionMap::SetCells(TCell Corner, std::uint32_t Rows, std::uint32_t Columns,
                          std::span<const std::uint8_t> Blocked) {
  if (Rows == 0 || Columns == 0) return;
  const auto Row = static_cast<std::uint32_t>(Corner.Row);
  const auto Column = static_cast<std::uint32_t>(Corner.Column);
  const TBlock Block{Row / kSegmentSide, (Row + Rows - 1) / kSegmentSide, Column / kSegmentSide,
                     (Column + Columns - 1) / kSegmentSide};
  // Everything is worked out, and room taken, before anything changes: an edit that fails (out
  // of memory) leaves the map as it was.
  const std::vector<TSegmentRows> After = RowsAfter(Corner, Rows, Columns, Blocked, Block);
  TRenewal Renewal = RegionsAfter(Block, After);
  Store.MakeRoom(After.size());
  if (OwnOf.empty()) OwnOf.assign(Kept.size(), kShared);
  ReserveMore(Owned, Renewal.size());
  const std::uint32_t N = Store.SegmentsPerSide();
  // The edited segments' contacts are kept by them and by the segments above and to the left.
  Connectivity->Known = false;
  Connectivity->MakeStale(N, Block.Top > 0 ? Block.Top - 1 : 0, Block.Bottom,
                          Block.Left > 0 ? Block.Left - 1 : 0, Block.Last);
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
  explicit TSweep(std::uint32_t Side) : Borders(Side, TSides(kNoRegion).Top) {
    const std::size_t Segments = std::size_t{Side} * Side;
    Map.PlaceStart.reserve(Segments + 1);
    Map.Kept.reserve(Segments);
    Map.DownStart.reserve(Segments + 1);
    Map.RightStart.reserve(Segments + 1);
    Map.PlaceStart.push_back(0);
  }
  TRegionMap Map;
  TBorderSweep<TSides> Borders;
  TComponents Erased;  // room for one segment's erased areas, taken once
};

TRegionBuilder::TRegionBuilder(std::uint32_t SegmentsPerSide)
    : Sweep(std::make_unique<TSweep>(SegmentsPerSide)) {}

TRegionBuilder::~TRegionBuilder() = default;

void TRegionBuilder::Add(std::size_t K, const TSegmentAnalysis& Segment) {
  const std::size_t N = Sweep->Borders.SegmentsPerSide();
  TRegionMap& Map = Sweep->Map;
  // Regions are counted in 32 bits: a map with more (only noise of 2048 x 2048 segments and
  // more could have them) is too large to be held.
  if (Map.Places.size() > UINT32_MAX - kSegmentSide * kSegmentSide) {
    throw Exception(VARNHOLT_ERROR_SIZE, "Range check error");
  }
  TSides Sides(kNoRegion);
  Map.Kept.push_back(
      AddRegions(Segment, Sweep->Erased, {Map.Places, Map.Firsts, Map.Sizes}, Sides));
  Map.PlaceStart.push_back(static_cast<std::uint32_t>(Map.Places.size()));
  // The contacts of the segment above and of the one to the left are complete now; both come in
  // grid order.
  if (K >= N) Map.DownStart.push_back(static_cast<std::uint32_t>(Map.Down.size()));
  if (K > 0) Map.RightStart.push_back(static_cast<std::uint32_t>(Map.Right.size()));
  Sweep->Borders.Add(K, Sides, [&](const TSide& Other, const TSide& Own, bool Above, std::size_t) {
    AddContacts(Other, Own, Above ? Map.Down : Map.Right);
  });
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
  Map.Store = TCellStore(std::move(Cells), Sweep->Borders.SegmentsPerSide());
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

int AreaOf(const TRegionMap& Map, TCell Cell) {
  if (!Map.Cells().IsInside(Cell) || !Map.Cells().IsOpen(Cell)) return 0;
  const TSegmentCell At = Map.Cells().Locate(Cell);
  TAreaMasks Masks;
  return KeptAreaAt(Map.Cells().Rows(At.Segment), At.Cell, Masks) + 1;
}

int SegmentRegions(const TRegionMap& Map, std::size_t K, std::span<std::uint16_t, 4096> Regions) {
  const TSegmentRows Blocked = Map.Cells().Rows(K);
  TAreaMasks Masks;
  LabelAreaMasks(Blocked, Masks);
  std::fill(Regions.begin(), Regions.end(), kNoRegion);
  const auto Mark = [&](std::size_t R, std::uint64_t Cells, int Region) {
    for (; Cells != 0; Cells &= Cells - 1) {
      Regions[R * kSegmentSide + static_cast<std::size_t>(std::countr_zero(Cells))] =
          static_cast<std::uint16_t>(Region);
    }
  };
  for (int A = 0; A < Masks.Count; ++A) {
    for (std::size_t R = 0; R < kSegmentSide; ++R)
      Mark(R, Masks.Rows[static_cast<std::size_t>(A)][R], A);
  }
  const TSegmentRows Erased = ErasedCells(Blocked, Masks);
  if (AllRowsAre(Erased, 0)) return Masks.Count;
  const auto Components = std::make_unique<TComponents>();
  Components->Label(Erased);
  for (int R = 0; R < kSegmentSide; ++R) {
    Components->ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
      Mark(static_cast<std::size_t>(R), Run, Masks.Count + Component);
    });
  }
  return Masks.Count + Components->Count();
}

TWaypointSegment WaypointRecordOf(const TRegionMap& Map, std::size_t K) {
  TWaypointSegment Record;
  const auto Kept = std::min(static_cast<unsigned>(Map.KeptOf(K)), unsigned{kKeptAreas});
  if (Kept == 0) return Record;
  Record.AreaMask = static_cast<std::uint8_t>(((1u << Kept) - 1) << 4);
  const std::span<const std::uint16_t> Places = Map.PlacesOf(K);
  for (unsigned A = 0; A < Kept; ++A) {
    Record.Points[A] = {static_cast<std::uint8_t>(Places[A] % kSegmentSide),
                        static_cast<std::uint8_t>(Places[A] / kSegmentSide)};
  }
  const std::size_t N = Map.Cells().SegmentsPerSide();
  const auto Links = [&](std::span<const TContact> Contacts, std::size_t Other) {
    unsigned Word = 0;
    for (const TContact& Contact : Contacts) {
      if (Contact.Own < Kept && Contact.Other < static_cast<unsigned>(Map.KeptOf(Other))) {
        Word |= 1u << LinkBit(Contact.Own + 1u, Contact.Other + 1u);
      }
    }
    return static_cast<std::uint16_t>(Word);
  };
  if (K + N < Map.Cells().Segments()) StoreLinkWord(Record.DownLinks, Links(Map.DownOf(K), K + N));
  if ((K + 1) % N != 0) StoreLinkWord(Record.RightLinks, Links(Map.RightOf(K), K + 1));
  return Record;
}

TWaypointSegments WaypointRecordsOf(const TRegionMap& Map) {
  TWaypointSegments Records(Map.Cells().SegmentsPerSide());
  for (std::size_t K = 0; K < Records.All().size(); ++K)
    Records.All()[K] = WaypointRecordOf(Map, K);
  return Records;
}

std::uint16_t RegionOf(const TRegionMap& Map, TCell Cell) {
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
