#include "paths/Field.h"

#include <algorithm>
#include <bit>

#include "paths/PathSearch.h"

namespace varnholt {
namespace {

constexpr std::uint32_t kNone = UINT32_MAX;  // no steps: not reached
constexpr std::uint64_t kAll = UINT64_MAX;   // the search is done: every distance is final
constexpr std::uint8_t kUnreached = 255;
constexpr std::uint8_t kFar = 254;  // steps too many above the segment's least for a byte
constexpr std::uint32_t kNoFront = UINT32_MAX;
constexpr std::uint64_t kFirstColumn = 1, kLastColumn = std::uint64_t{1} << 63;

}  // namespace

// A segment's steps, a byte a cell above the least of them. A segment with cells farther than a
// byte holds (a maze's winding corridors, the far side of a lake) keeps every cell's steps whole
// as well, so that a path walked through it looks each cell up at once. Cells are written as the
// search reaches them and read by any thread once final: Settled orders them.
struct TGoalField::TSegmentSteps {
  TSegmentSteps(std::size_t K, std::uint32_t First) : Segment(K), Base(First), Last(First) {
    for (auto& Cell : Offset) Cell.store(kUnreached, std::memory_order_relaxed);
  }
  std::uint32_t At(int Cell) const {
    const std::uint8_t Value =
        Offset[static_cast<std::size_t>(Cell)].load(std::memory_order_relaxed);
    if (Value == kUnreached) return kNone;
    if (Value != kFar) return Base + Value;
    // A cell being written as another thread looks: its whole steps were stored first, and the
    // second look at its byte, which acquires, sees them.
    (void)Offset[static_cast<std::size_t>(Cell)].load(std::memory_order_acquire);
    return Far.load(std::memory_order_relaxed)[Cell].load(std::memory_order_relaxed);
  }
  void Set(int Cell, std::uint32_t Value) {
    Last = std::max(Last, Value);
    if (Value - Base < kFar) {
      Offset[static_cast<std::size_t>(Cell)].store(static_cast<std::uint8_t>(Value - Base),
                                                   std::memory_order_relaxed);
      return;
    }
    if (FarOwned == nullptr) {
      FarOwned = std::make_unique<std::atomic<std::uint32_t>[]>(kSegmentSide * kSegmentSide);
      Far.store(FarOwned.get(), std::memory_order_relaxed);
    }
    FarOwned[static_cast<std::size_t>(Cell)].store(Value, std::memory_order_relaxed);
    Offset[static_cast<std::size_t>(Cell)].store(kFar, std::memory_order_release);
  }
  void Clear(int Cell) {
    Offset[static_cast<std::size_t>(Cell)].store(kUnreached, std::memory_order_relaxed);
  }
  // Row R's cells reached, as column bits.
  std::uint64_t SeenRow(std::size_t R) const {
    std::uint64_t Bits = 0;
    for (std::size_t C = 0; C < kSegmentSide; ++C) {
      const std::uint8_t Value = Offset[R * kSegmentSide + C].load(std::memory_order_relaxed);
      Bits |= std::uint64_t{Value != kUnreached} << C;
    }
    return Bits;
  }

  const std::size_t Segment;
  const std::uint32_t Base;  // the layer that first reached it: its least steps
  std::uint32_t Last;        // its most steps, under the search's lock
  std::array<std::atomic<std::uint8_t>, kSegmentSide * kSegmentSide> Offset;
  std::unique_ptr<std::atomic<std::uint32_t>[]> FarOwned;  // made under the search's lock
  std::atomic<const std::atomic<std::uint32_t>*> Far{nullptr};
};

// The cells of a segment in the last layer done, and those of the next as they come; with its
// open and reached cells as bits for the layers' word operations, kept only while the search
// passes through the segment, so that a segment done costs its steps' bytes alone.
struct TGoalField::TFront {
  TSegmentRows Open{};
  TSegmentRows Seen{};
  TSegmentRows Cells{};
  TSegmentRows Next{};
  std::uint64_t CellRows = 0, NextRows = 0;  // the rows that hold cells of either, as bits
  std::size_t Segment = 0;
  bool Reached = false;  // cells of the next layer have come

  void Take(int Cell) {
    const auto R = static_cast<std::size_t>(Cell / kSegmentSide);
    Cells[R] |= kFirstColumn << (Cell % kSegmentSide);
    CellRows |= kFirstColumn << R;
  }
};

TGoalField::TGoalField(const TRegionMap& Map, TCell To)
    : Regions(Map),
      Goal(To),
      Steps(Map.Cells().Segments()),
      Settled(kAll),
      FrontOfSegment(Map.Cells().Segments(), kNoFront) {
  Restart();
  Regions.Follow(this);
}

TGoalField::~TGoalField() {
  Regions.Unfollow(this);
}

TGoalField::TSegmentSteps& TGoalField::Reach(std::size_t K, std::uint32_t First) const {
  if (TSegmentSteps* Found = Steps[K].load(std::memory_order_relaxed)) return *Found;
  Owned.push_back(std::make_unique<TSegmentSteps>(K, First));
  Steps[K].store(Owned.back().get(), std::memory_order_release);
  return *Owned.back();
}

TGoalField::TFront& TGoalField::FrontOf(std::size_t K) const {
  if (FrontOfSegment[K] == kNoFront) {
    FrontOfSegment[K] = static_cast<std::uint32_t>(Fronts.size());
    Fronts.push_back(std::make_unique<TFront>());
    TFront& Front = *Fronts.back();
    Front.Segment = K;
    const TSegmentRows Blocked = Regions.Cells().Rows(K);
    const TSegmentSteps& Here = *Steps[K].load(std::memory_order_relaxed);
    for (std::size_t R = 0; R < kSegmentSide; ++R) {
      Front.Open[R] = ~Blocked[R];
      Front.Seen[R] = Here.SeenRow(R);
    }
  }
  return *Fronts[FrontOfSegment[K]];
}

void TGoalField::Restart() const {
  for (auto& Segment : Steps) Segment.store(nullptr, std::memory_order_relaxed);
  Owned.clear();
  Fronts.clear();
  std::fill(FrontOfSegment.begin(), FrontOfSegment.end(), kNoFront);
  Active.clear();
  Layer = 0;
  if (!Regions.Cells().IsOpen(Goal)) return Settled.store(kAll, std::memory_order_release);
  const TSegmentCell At = Regions.Cells().Locate(Goal);
  TSegmentSteps& First = Reach(At.Segment, 0);
  First.Set(At.Cell, 0);
  FrontOf(At.Segment).Take(At.Cell);
  Active.push_back(At.Segment);
  Settled.store(0, std::memory_order_release);
}

// The next layer of segment K's front: its cells' neighbours within the segment, and across its
// borders in the segments beside it, which are reached with this layer if they were not before.
void TGoalField::Spread(std::size_t K, std::vector<std::size_t>& Reached) const {
  const std::size_t N = Regions.Cells().SegmentsPerSide();
  TFront& Here = *Fronts[FrontOfSegment[K]];
  const TSegmentRows& Cells = Here.Cells;
  const auto Mark = [&](TFront& Front, std::size_t Row, std::uint64_t Bits) {
    Bits &= Front.Open[Row] & ~Front.Seen[Row];
    if (Bits == 0) return;
    Front.Next[Row] |= Bits;
    Front.NextRows |= kFirstColumn << Row;
    if (!Front.Reached) Reached.push_back(Front.Segment);
    Front.Reached = true;
  };
  // Rows of a segment beside, each with the cells Bits across the border.
  const auto Across = [&](std::size_t Segment, std::uint64_t Rows, std::uint64_t Bits) {
    // Reached though no open cell lie beside: an edit bounds the ways through it by that.
    const TSegmentSteps& There = Reach(Segment, Layer + 1);
    if (FrontOfSegment[Segment] == kNoFront) {
      // Most cells across a border are walls or reached before: no front for them.
      const TSegmentRows Blocked = Regions.Cells().Rows(Segment);
      for (std::uint64_t Todo = Rows; Todo != 0; Todo &= Todo - 1) {
        const auto R = static_cast<std::size_t>(std::countr_zero(Todo));
        if ((Bits & ~Blocked[R] & ~There.SeenRow(R)) == 0) Rows &= ~(kFirstColumn << R);
      }
      if (Rows == 0) return;
    }
    TFront& Front = FrontOf(Segment);
    for (; Rows != 0; Rows &= Rows - 1) Mark(Front, std::countr_zero(Rows), Bits);
  };
  // A front is a thin line: only the rows it holds and those beside them.
  const std::uint64_t FrontRows = Here.CellRows;
  for (std::uint64_t Near = FrontRows | FrontRows << 1 | FrontRows >> 1; Near != 0;
       Near &= Near - 1) {
    const auto R = static_cast<std::size_t>(std::countr_zero(Near));
    std::uint64_t Beside = Cells[R] << 1 | Cells[R] >> 1;
    if (R > 0) Beside |= Cells[R - 1];
    if (R + 1 < Cells.size()) Beside |= Cells[R + 1];
    Mark(Here, R, Beside);
  }
  std::uint64_t Left = 0, Right = 0;  // rows whose first or last column holds a cell
  for (std::uint64_t Todo = FrontRows; Todo != 0; Todo &= Todo - 1) {
    const auto R = static_cast<std::size_t>(std::countr_zero(Todo));
    Left |= (Cells[R] & kFirstColumn) << R;
    Right |= (Cells[R] >> 63) << R;
  }
  constexpr std::uint64_t kFirstRow = kFirstColumn, kLastRow = kLastColumn;
  if (Cells.front() != 0 && HasSegmentBeside(K, N, kUp)) Across(K - N, kLastRow, Cells.front());
  if (Cells.back() != 0 && HasSegmentBeside(K, N, kDown)) Across(K + N, kFirstRow, Cells.back());
  if (Left != 0 && HasSegmentBeside(K, N, kLeft)) Across(K - 1, Left, kLastColumn);
  if (Right != 0 && HasSegmentBeside(K, N, kRight)) Across(K + 1, Right, kFirstColumn);
}

// One more layer of the search; false once there is none: every cell the goal reaches is done.
bool TGoalField::NextLayer() const {
  std::vector<std::size_t> Reached;
  for (const std::size_t K : Active) Spread(K, Reached);
  for (const std::size_t K : Active) {
    TFront& Front = *Fronts[FrontOfSegment[K]];
    for (std::uint64_t Rows = Front.CellRows; Rows != 0; Rows &= Rows - 1)
      Front.Cells[static_cast<std::size_t>(std::countr_zero(Rows))] = 0;
    Front.CellRows = 0;
  }
  for (const std::size_t K : Reached) {
    TFront& Front = *Fronts[FrontOfSegment[K]];
    TSegmentSteps& Here = *Steps[K].load(std::memory_order_relaxed);
    for (std::uint64_t Rows = Front.NextRows; Rows != 0; Rows &= Rows - 1) {
      const auto R = static_cast<std::size_t>(std::countr_zero(Rows));
      const std::uint64_t New = Front.Next[R] & ~Front.Seen[R];
      Front.Seen[R] |= New;
      Front.Cells[R] = New;
      Front.Next[R] = 0;
      if (New != 0) Front.CellRows |= kFirstColumn << R;
      for (std::uint64_t Bits = New; Bits != 0; Bits &= Bits - 1)
        Here.Set(static_cast<int>(R) * kSegmentSide + std::countr_zero(Bits), Layer + 1);
    }
    Front.NextRows = 0;
    Front.Reached = false;
  }
  KeepFronts(Reached);
  Active = std::move(Reached);
  ++Layer;
  Settled.store(Active.empty() ? kAll : Layer, std::memory_order_release);
  return !Active.empty();
}

// Only the segments of the next layer keep their fronts.
void TGoalField::KeepFronts(const std::vector<std::size_t>& Reached) const {
  std::vector<std::unique_ptr<TFront>> Kept;
  Kept.reserve(Reached.size());
  for (const std::size_t K : Reached) Kept.push_back(std::move(Fronts[FrontOfSegment[K]]));
  for (const auto& Front : Fronts) {
    if (Front != nullptr) FrontOfSegment[Front->Segment] = kNoFront;
  }
  Fronts = std::move(Kept);
  for (std::size_t F = 0; F < Fronts.size(); ++F)
    FrontOfSegment[Fronts[F]->Segment] = static_cast<std::uint32_t>(F);
}

// Layer after layer until the cell is done or the search is.
void TGoalField::SearchFor(std::size_t K, int Cell) const {
  for (;;) {
    const TSegmentSteps* Found = Steps[K].load(std::memory_order_relaxed);
    const std::uint32_t Value = Found != nullptr ? Found->At(Cell) : kNone;
    if (Value != kNone && Value <= Layer) return;
    if (Settled.load(std::memory_order_relaxed) == kAll || !NextLayer()) return;
  }
}

// The steps of a cell as the field now holds them, final or not.
std::uint32_t TGoalField::KnownSteps(TCell Cell) const {
  const TSegmentCell At = Regions.Cells().Locate(Cell);
  const TSegmentSteps* Found = Steps[At.Segment].load(std::memory_order_acquire);
  return Found != nullptr ? Found->At(At.Cell) : kNone;
}

std::uint32_t TGoalField::FinalSteps(TCell Cell) const {
  const TSegmentCell At = Regions.Cells().Locate(Cell);
  bool Checked = false;
  for (;;) {
    // Settled first: what it settles was written before it.
    const std::uint64_t Final = Settled.load(std::memory_order_acquire);
    const std::uint32_t Value = KnownSteps(Cell);
    if (Value != kNone && Value <= Final) return Value;
    if (Final == kAll) return kNone;
    // A cell the grid does not join to the goal would have the whole component searched.
    if (!Checked && (!Regions.Cells().IsOpen(Goal) || !AreConnected(Regions, Goal, Cell)))
      return kNone;
    Checked = true;
    const std::lock_guard<std::mutex> Lock(Working);
    SearchFor(At.Segment, At.Cell);
  }
}

std::int64_t TGoalField::Distance(TCell Cell) const {
  const std::uint32_t Value = FinalSteps(Cell);
  return Value == kNone ? -1 : std::int64_t{Value};
}

// The neighbour of Cell one step nearer than Value, the first of up, down, left and right: cells
// nearer than a final one are final.
TCell TGoalField::Nearer(TCell Cell, std::uint32_t Value) const {
  for (int Direction = kUp; Direction <= kRight; ++Direction) {
    const TCell Beside{Cell.Row + (Direction == kUp     ? -1
                                   : Direction == kDown ? 1
                                                        : 0),
                       Cell.Column + (Direction == kLeft    ? -1
                                      : Direction == kRight ? 1
                                                            : 0)};
    if (Regions.Cells().IsInside(Beside) && KnownSteps(Beside) == Value - 1) return Beside;
  }
  throw Exception(VARNHOLT_ERROR_INTERNAL, "Logic failure in the field");
}

bool TGoalField::Next(TCell Cell, TCell& To) const {
  const std::uint32_t Value = FinalSteps(Cell);
  if (Value == kNone || Value == 0) return false;
  To = Nearer(Cell, Value);
  return true;
}

std::vector<TCell> TGoalField::Path(TCell Cell) const {
  std::vector<TCell> Cells;
  std::uint32_t Value = FinalSteps(Cell);
  if (Value == kNone) return Cells;
  Cells.reserve(Value + std::size_t{1});
  Cells.push_back(Cell);
  for (; Value > 0; --Value) Cells.push_back(Nearer(Cells.back(), Value));
  return Cells;
}

std::size_t TGoalField::Bytes() const {
  const std::lock_guard<std::mutex> Lock(Working);
  std::size_t Total = sizeof(*this) + Steps.size() * sizeof(Steps[0]) +
                      FrontOfSegment.size() * sizeof(std::uint32_t) +
                      Fronts.size() * sizeof(TFront) + Owned.size() * sizeof(TSegmentSteps);
  for (const auto& Segment : Owned) {
    if (Segment->FarOwned != nullptr) Total += kSegmentSide * kSegmentSide * sizeof(std::uint32_t);
  }
  return Total;
}

// Cells nearer the goal than the least steps of the edited segments keep theirs. A way from the
// goal into an edited segment enters it from a cell beside it, whose next layer reached the
// segment (a layer reaches every segment its cells border, open cells there or not): no way
// through the edit is shorter than the segment's least steps. So only those edits cost much that
// are near the goal. The rest is cleared, and the search goes on from the last layer kept.
void TGoalField::Edited(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) {
  const std::lock_guard<std::mutex> Lock(Working);
  const std::size_t N = Regions.Cells().SegmentsPerSide();
  std::uint64_t Nearest = std::uint64_t{Layer} + 1;
  for (std::size_t I = I0; I <= I1; ++I) {
    for (std::size_t J = J0; J <= J1; ++J) {
      if (const TSegmentSteps* Found = Steps[I * N + J].load(std::memory_order_relaxed))
        Nearest = std::min<std::uint64_t>(Nearest, Found->Base);
    }
  }
  try {
    // A goal blocked before has no steps to keep.
    const bool GoalWasOpen =
        Steps[Regions.Cells().Locate(Goal).Segment].load(std::memory_order_relaxed) != nullptr;
    if (Nearest == 0 || !GoalWasOpen || !Regions.Cells().IsOpen(Goal)) return Restart();
    KeepNearerThan(static_cast<std::uint32_t>(Nearest));
  } catch (...) {
    Restart();  // out of memory: start again from the goal, which needs little
  }
}

void TGoalField::KeepNearerThan(std::uint32_t Nearest) const {
  for (auto& Slot : Steps) {
    TSegmentSteps* Found = Slot.load(std::memory_order_relaxed);
    if (Found != nullptr && Found->Base >= Nearest) Slot.store(nullptr, std::memory_order_relaxed);
  }
  // Nothing reads the map's fields during an edit: what is dropped can go now.
  std::erase_if(Owned, [&](const std::unique_ptr<TSegmentSteps>& Segment) {
    return Segment->Base >= Nearest;
  });
  Fronts.clear();
  std::fill(FrontOfSegment.begin(), FrontOfSegment.end(), kNoFront);
  Active.clear();
  Layer = Nearest - 1;
  for (auto& Segment : Owned) {
    if (Segment->Last < Layer) continue;  // wholly kept, none of it on the front
    const std::size_t K = Segment->Segment;
    Segment->Last = Layer;
    for (int Cell = 0; Cell < kSegmentSide * kSegmentSide; ++Cell) {
      const std::uint32_t Value = Segment->At(Cell);
      if (Value != kNone && Value >= Nearest) Segment->Clear(Cell);
    }
    // The front after the clearing: it takes the cells reached from what is left.
    for (int Cell = 0; Cell < kSegmentSide * kSegmentSide; ++Cell) {
      if (Segment->At(Cell) == Layer) FrontOf(K).Take(Cell);
    }
    if (FrontOfSegment[K] != kNoFront) Active.push_back(K);
  }
  Settled.store(Active.empty() ? kAll : Layer, std::memory_order_release);
}

}  // namespace varnholt
