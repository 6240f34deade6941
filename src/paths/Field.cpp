#include "paths/Field.h"

#include <algorithm>
#include <bit>

namespace varnholt {
namespace {

// Whether the grid joins two open cells.
bool Joined(const TRegionMap& Map, TCell A, TCell B) {
  const auto Component = [&](TCell Cell) {
    return Map.ComponentOf(Map.Cells().Locate(Cell).Segment, RegionOf(Map, Cell));
  };
  return Component(A) == Component(B);
}

constexpr std::uint32_t kNone = UINT32_MAX;     // no steps: not reached
constexpr std::uint64_t kNothing = UINT64_MAX;  // nothing waits
constexpr std::uint8_t kNarrowNone = UINT8_MAX;
constexpr std::uint16_t kWideNone = UINT16_MAX;
constexpr int kSides = 4;
constexpr TDirection kFacing[kSides] = {kDown, kUp, kRight, kLeft};

// The cell of a segment at place Along of one of its sides.
int CellOnSide(int Side, int Along) {
  switch (Side) {
    case kUp:
      return Along;
    case kDown:
      return (kSegmentSide - 1) * kSegmentSide + Along;
    case kLeft:
      return Along * kSegmentSide;
    default:
      return Along * kSegmentSide + kSegmentSide - 1;
  }
}

// A seed of the search inside a segment: a cell and its steps.
struct TSeed {
  std::uint32_t Steps;
  int Cell;
  friend bool operator<(const TSeed& A, const TSeed& B) {
    return A.Steps != B.Steps ? A.Steps < B.Steps : A.Cell < B.Cell;
  }
};

// The steps of every cell of a segment from seeds on it: a breadth-first search over its open
// cells, a layer at a time over the rows the layer spans, seeds joining at their own steps.
std::vector<std::uint32_t> StepsFromSeeds(const TSegmentRows& Open, std::vector<TSeed> Seeds) {
  std::vector<std::uint32_t> Steps(kSegmentSide * kSegmentSide, kNone);
  std::sort(Seeds.begin(), Seeds.end());
  TSegmentRows Seen{}, Frontier{}, Next{};
  int Top = kSegmentSide, Bottom = -1;
  std::size_t Seed = 0;
  for (std::uint32_t Layer = Seeds.empty() ? 0 : Seeds.front().Steps;; ++Layer) {
    for (; Seed < Seeds.size() && Seeds[Seed].Steps == Layer; ++Seed) {
      const int Cell = Seeds[Seed].Cell, R = Cell / kSegmentSide;
      const std::uint64_t Bit = std::uint64_t{1} << (Cell % kSegmentSide);
      if ((Seen[static_cast<std::size_t>(R)] & Bit) != 0) continue;
      Seen[static_cast<std::size_t>(R)] |= Bit;
      Frontier[static_cast<std::size_t>(R)] |= Bit;
      Top = std::min(Top, R);
      Bottom = std::max(Bottom, R);
    }
    if (Top > Bottom) {
      if (Seed == Seeds.size()) break;
      Layer = Seeds[Seed].Steps - 1;  // on to the next seed
      continue;
    }
    int NewTop = kSegmentSide, NewBottom = -1;
    for (int R = Top; R <= Bottom; ++R) {
      const auto Row = static_cast<std::size_t>(R);
      for (std::uint64_t Cells = Frontier[Row]; Cells != 0; Cells &= Cells - 1)
        Steps[Row * kSegmentSide + static_cast<std::size_t>(std::countr_zero(Cells))] = Layer;
    }
    const int From = std::max(Top - 1, 0), To = std::min(Bottom + 1, kSegmentSide - 1);
    for (int R = From; R <= To; ++R) {
      const auto Row = static_cast<std::size_t>(R);
      std::uint64_t Near = Frontier[Row] << 1 | Frontier[Row] >> 1;
      if (R > 0) Near |= Frontier[Row - 1];
      if (R < kSegmentSide - 1) Near |= Frontier[Row + 1];
      Next[Row] = Near & Open[Row] & ~Seen[Row];
      if (Next[Row] == 0) continue;
      NewTop = std::min(NewTop, R);
      NewBottom = R;
    }
    for (int R = Top; R <= Bottom; ++R) Frontier[static_cast<std::size_t>(R)] = 0;
    for (int R = NewTop; R <= NewBottom; ++R) {
      const auto Row = static_cast<std::size_t>(R);
      Frontier[Row] = Next[Row];
      Seen[Row] |= Next[Row];
    }
    Top = NewTop;
    Bottom = NewBottom;
  }
  return Steps;
}

}  // namespace

// A segment's steps as published: each cell's steps less the least of them, a byte a cell, or two
// where they span 255 steps or more, as in a maze's winding corridors.
struct TGoalField::TSegmentSteps {
  std::uint32_t Base = kNone;
  std::uint32_t Most = 0;
  std::vector<std::uint8_t> Narrow;
  std::vector<std::uint16_t> Wide;

  explicit TSegmentSteps(const std::vector<std::uint32_t>& Steps) {
    for (const std::uint32_t Value : Steps) {
      if (Value == kNone) continue;
      Base = std::min(Base, Value);
      Most = std::max(Most, Value);
    }
    if (Base == kNone) Base = Most = 0;
    if (Most - Base < kNarrowNone) {
      Narrow.resize(Steps.size());
      for (std::size_t K = 0; K < Steps.size(); ++K)
        Narrow[K] = Steps[K] == kNone ? kNarrowNone : static_cast<std::uint8_t>(Steps[K] - Base);
    } else {
      Wide.resize(Steps.size());
      for (std::size_t K = 0; K < Steps.size(); ++K)
        Wide[K] = Steps[K] == kNone ? kWideNone : static_cast<std::uint16_t>(Steps[K] - Base);
    }
  }
  std::uint32_t At(int Cell) const {
    const auto K = static_cast<std::size_t>(Cell);
    if (!Narrow.empty()) return Narrow[K] == kNarrowNone ? kNone : Base + Narrow[K];
    return Wide[K] == kWideNone ? kNone : Base + Wide[K];
  }
  std::size_t Bytes() const { return sizeof(*this) + Narrow.capacity() + 2 * Wide.capacity(); }
};

// The steps of the cells across a segment's borders, as their segments handed them on.
struct TGoalField::TInputs {
  std::array<std::array<std::uint32_t, kSegmentSide>, kSides> Across;
  TInputs() {
    for (auto& Side : Across) Side.fill(kNone);
  }
};

TGoalField::TGoalField(const TRegionMap& Map, TCell To)
    : Regions(Map),
      Goal(To),
      GoalAt(Regions.Cells().Locate(To)),
      Steps(Map.Cells().Segments()),
      Settled(kNothing),
      Inputs(Map.Cells().Segments()),
      Waiting(Map.Cells().Segments(), kNothing),
      Kept(Map.Cells().Segments(), 0) {
  Restart();
  Regions.Follow(this);
}

TGoalField::~TGoalField() {
  Regions.Unfollow(this);
}

void TGoalField::Restart() const {
  for (auto& Segment : Steps) Segment.store(nullptr, std::memory_order_relaxed);
  Made.clear();
  for (auto& Segment : Inputs) Segment.reset();
  std::fill(Waiting.begin(), Waiting.end(), kNothing);
  std::fill(Kept.begin(), Kept.end(), 0);
  Queue = {};
  if (Regions.Cells().IsOpen(Goal)) Wait(GoalAt.Segment, 0);
  Settle();
}

void TGoalField::Wait(std::size_t K, std::uint64_t Key) const {
  if (Key >= Waiting[K]) return;
  Waiting[K] = Key;
  Queue.push({Key, K});
}

void TGoalField::Offer(std::size_t K, int Side, int Along, std::uint32_t Value) const {
  if (Kept[K] != 0) return;  // final: nothing can come nearer
  std::unique_ptr<TInputs>& Into = Inputs[K];
  if (!Into) Into = std::make_unique<TInputs>();
  std::uint32_t& Across =
      Into->Across[static_cast<std::size_t>(Side)][static_cast<std::size_t>(Along)];
  if (Value >= Across) return;
  Across = Value;
  Wait(K, std::uint64_t{Value} + 1);
}

// Hands the steps along segment K's borders on to the cells across them.
void TGoalField::HandOn(std::size_t K, const std::vector<std::uint32_t>& Values) const {
  const std::size_t N = Regions.Cells().SegmentsPerSide();
  for (int Side = 0; Side < kSides; ++Side) {
    const auto Direction = static_cast<TDirection>(Side);
    if (!HasSegmentBeside(K, N, Direction)) continue;
    const std::size_t Beside = SegmentBeside(K, N, Direction);
    for (int Along = 0; Along < kSegmentSide; ++Along) {
      const std::uint32_t Value = Values[static_cast<std::size_t>(CellOnSide(Side, Along))];
      if (Value != kNone) Offer(Beside, kFacing[Side], Along, Value);
    }
  }
}

void TGoalField::Publish(std::size_t K, std::unique_ptr<const TSegmentSteps> Record) const {
  Made.push_back(std::move(Record));
  Steps[K].store(Made.back().get(), std::memory_order_release);
}

void TGoalField::WorkOut(std::size_t K) const {
  const TSegmentRows Blocked = Regions.Cells().Rows(K);
  TSegmentRows Open;
  for (std::size_t R = 0; R < Open.size(); ++R) Open[R] = ~Blocked[R];
  std::vector<TSeed> Seeds;
  if (K == GoalAt.Segment && Regions.Cells().IsOpen(Goal)) Seeds.push_back({0, GoalAt.Cell});
  if (const TInputs* From = Inputs[K].get()) {
    for (int Side = 0; Side < kSides; ++Side) {
      for (int Along = 0; Along < kSegmentSide; ++Along) {
        const std::uint32_t Across =
            From->Across[static_cast<std::size_t>(Side)][static_cast<std::size_t>(Along)];
        const int Cell = CellOnSide(Side, Along);
        if (Across != kNone &&
            (Open[static_cast<std::size_t>(Cell / kSegmentSide)] >> (Cell % kSegmentSide) & 1) != 0)
          Seeds.push_back({Across + 1, Cell});
      }
    }
  }
  const std::vector<std::uint32_t> Values = StepsFromSeeds(Open, std::move(Seeds));
  HandOn(K, Values);
  Publish(K, std::make_unique<const TSegmentSteps>(Values));
}

// Drops what waits no more, and says how far every distance is final; false when nothing waits.
bool TGoalField::Settle() const {
  while (!Queue.empty() && Queue.top().Key != Waiting[Queue.top().Segment]) Queue.pop();
  Settled.store(Queue.empty() ? kNothing : Queue.top().Key, std::memory_order_release);
  return !Queue.empty();
}

// Works out the nearest segments waiting until the cell's steps are final.
void TGoalField::WorkOutFor(std::size_t K, int Cell) const {
  while (Settle()) {
    const TSegmentSteps* Record = Steps[K].load(std::memory_order_relaxed);
    const std::uint32_t Value = Record != nullptr ? Record->At(Cell) : kNone;
    if (Value != kNone && Value <= Settled.load(std::memory_order_relaxed)) return;
    const std::size_t Next = Queue.top().Segment;
    Queue.pop();
    Waiting[Next] = kNothing;
    WorkOut(Next);
  }
}

std::uint32_t TGoalField::StepsIn(const TSegmentSteps* Record, int Cell) const {
  return Record != nullptr ? Record->At(Cell) : kNone;
}

// The steps of a cell as the field now holds them, final or not.
std::uint32_t TGoalField::KnownSteps(TCell Cell) const {
  const TSegmentCell At = Regions.Cells().Locate(Cell);
  return StepsIn(Steps[At.Segment].load(std::memory_order_acquire), At.Cell);
}

std::uint32_t TGoalField::FinalSteps(TCell Cell) const {
  const TSegmentCell At = Regions.Cells().Locate(Cell);
  bool Checked = false;
  for (;;) {
    // Settled first: a record read after it is at least as new as the distances it settled.
    const std::uint64_t Final = Settled.load(std::memory_order_acquire);
    const std::uint32_t Value = StepsIn(Steps[At.Segment].load(std::memory_order_acquire), At.Cell);
    if (Value != kNone && Value <= Final) return Value;
    if (Final == kNothing) return kNone;
    // A cell the grid does not join to the goal would be asked of the whole component.
    if (!Checked && (!Regions.Cells().IsOpen(Goal) || !Joined(Regions, Goal, Cell))) return kNone;
    Checked = true;
    const std::lock_guard<std::mutex> Lock(Working);
    WorkOutFor(At.Segment, At.Cell);
  }
}

std::int64_t TGoalField::Distance(TCell Cell) const {
  const std::uint32_t Value = FinalSteps(Cell);
  return Value == kNone ? -1 : std::int64_t{Value};
}

// The neighbour of Cell one step nearer than Value, the first of up, down, left and right: nearer
// cells than a final one are final, and their segments' records hold them.
TCell TGoalField::Nearer(TCell Cell, std::uint32_t Value) const {
  for (int Direction = kUp; Direction <= kRight; ++Direction) {
    const TCell Beside{Cell.Row + (Direction == kUp ? -1 : Direction == kDown ? 1 : 0),
                       Cell.Column + (Direction == kLeft ? -1 : Direction == kRight ? 1 : 0)};
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
                      Inputs.size() * sizeof(Inputs[0]) + Waiting.size() * sizeof(Waiting[0]) +
                      Queue.size() * sizeof(TWaiting);
  for (const auto& Record : Made) Total += Record->Bytes();
  for (const auto& From : Inputs) Total += From ? sizeof(TInputs) : 0;
  return Total;
}

// Cells nearer the goal than any cell the edit touched, or about it, keep their steps: a path
// through the edited cells is no shorter than that. Segments all of whose cells are that near
// stay as they are and hand their borders on again; the rest are worked out again as asked.
void TGoalField::Edited(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) {
  const std::lock_guard<std::mutex> Lock(Working);
  const std::size_t N = Regions.Cells().SegmentsPerSide();
  std::uint64_t Nearest = Settled.load(std::memory_order_relaxed);
  for (std::size_t I = I0 > 0 ? I0 - 1 : 0; I <= std::min(I1 + 1, N - 1); ++I) {
    for (std::size_t J = J0 > 0 ? J0 - 1 : 0; J <= std::min(J1 + 1, N - 1); ++J) {
      if (const TSegmentSteps* Record = Steps[I * N + J].load(std::memory_order_relaxed))
        Nearest = std::min<std::uint64_t>(Nearest, Record->Base);
    }
  }
  try {
    KeepNearerThan(Nearest);
  } catch (...) {
    Restart();  // out of memory: start again from the goal, which needs little
  }
}

void TGoalField::KeepNearerThan(std::uint64_t Nearest) const {
  std::vector<const TSegmentSteps*> Live;
  for (std::size_t K = 0; K < Steps.size(); ++K) {
    const TSegmentSteps* Record = Steps[K].load(std::memory_order_relaxed);
    Kept[K] = Record != nullptr && Record->Most < Nearest ? 1 : 0;
    if (Kept[K] != 0) {
      Live.push_back(Record);
    } else {
      Steps[K].store(nullptr, std::memory_order_relaxed);
    }
  }
  // Nothing reads the map's fields during an edit: what is replaced or dropped can go now.
  std::sort(Live.begin(), Live.end());
  std::erase_if(Made, [&](const std::unique_ptr<const TSegmentSteps>& Record) {
    return !std::binary_search(Live.begin(), Live.end(), Record.get());
  });
  for (auto& From : Inputs) From.reset();
  std::fill(Waiting.begin(), Waiting.end(), kNothing);
  Queue = {};
  for (std::size_t K = 0; K < Steps.size(); ++K) {
    if (Kept[K] != 0) HandOnKept(K, *Steps[K].load(std::memory_order_relaxed));
  }
  if (Kept[GoalAt.Segment] == 0 && Regions.Cells().IsOpen(Goal)) Wait(GoalAt.Segment, 0);
  Settle();
}

void TGoalField::HandOnKept(std::size_t K, const TSegmentSteps& Record) const {
  std::vector<std::uint32_t> Values(kSegmentSide * kSegmentSide, kNone);
  for (int Side = 0; Side < kSides; ++Side) {
    for (int Along = 0; Along < kSegmentSide; ++Along) {
      const int Cell = CellOnSide(Side, Along);
      Values[static_cast<std::size_t>(Cell)] = Record.At(Cell);
    }
  }
  HandOn(K, Values);
}

}  // namespace varnholt
