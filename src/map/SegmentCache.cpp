#include "map/SegmentCache.h"

#include <algorithm>
#include <array>

namespace varnholt {
namespace {

constexpr std::size_t kShards = 64;

}  // namespace

struct TSegmentCache::TState {
  explicit TState(std::size_t Segments) : Slots(Segments * kKinds) {}
  std::vector<std::shared_ptr<const TCached>> Slots;  // segment K's of kind k at K * kKinds + k
  std::array<std::mutex, kShards> Shards;
  std::atomic<std::int64_t> Bytes{
      0};                // signed: a drop may come between an entry's growth and its count
  std::mutex Making;     // one thread drops entries at a time
  std::size_t Hand = 0;  // where dropping goes on from
  std::mutex& ShardOf(std::size_t Slot) { return Shards[Slot % kShards]; }
};

TSegmentCache::TSegmentCache(std::size_t Segments) : State(std::make_unique<TState>(Segments)) {}
TSegmentCache::TSegmentCache(TSegmentCache&&) noexcept = default;
TSegmentCache& TSegmentCache::operator=(TSegmentCache&&) noexcept = default;
TSegmentCache::~TSegmentCache() = default;

std::shared_ptr<const TCached> TSegmentCache::Find(TKind Kind, std::size_t K) const {
  const std::size_t Slot = K * kKinds + Kind;
  const std::lock_guard<std::mutex> Lock(State->ShardOf(Slot));
  return State->Slots[Slot];
}

const TCached* TSegmentCache::Peek(TKind Kind, std::size_t K,
                                   std::unique_lock<std::mutex>& Guard) const {
  const std::size_t Slot = K * kKinds + Kind;
  Guard = std::unique_lock<std::mutex>(State->ShardOf(Slot));
  return State->Slots[Slot].get();
}

std::shared_ptr<const TCached> TSegmentCache::Keep(TKind Kind, std::size_t K,
                                                   std::shared_ptr<const TCached> Entry) const {
  const std::size_t Slot = K * kKinds + Kind;
  {
    const std::lock_guard<std::mutex> Lock(State->ShardOf(Slot));
    if (State->Slots[Slot]) return State->Slots[Slot];
    State->Slots[Slot] = Entry;
  }
  Grown(Entry->Bytes());
  return Entry;
}

void TSegmentCache::Grown(std::size_t Bytes) const {
  const auto Added = static_cast<std::int64_t>(Bytes);
  if (State->Bytes.fetch_add(Added) + Added > static_cast<std::int64_t>(kBudgetBytes)) MakeRoom();
}

// Drops entries in the order of their segments, going on from where the last drop ended, until
// a quarter of the budget is free: the entries of a map's every part in turn, not those a query
// has just made, which lie near one another.
void TSegmentCache::MakeRoom() const {
  const std::unique_lock<std::mutex> Making(State->Making, std::try_to_lock);
  if (!Making.owns_lock()) return;  // another thread is at it
  const std::size_t Slots = State->Slots.size();
  const auto Enough = static_cast<std::int64_t>(kBudgetBytes / 4 * 3);
  for (std::size_t Seen = 0; Seen < Slots && State->Bytes > Enough; ++Seen) {
    const std::size_t Slot = State->Hand;
    State->Hand = (State->Hand + 1) % Slots;
    std::shared_ptr<const TCached> Dropped;
    {
      const std::lock_guard<std::mutex> Lock(State->ShardOf(Slot));
      Dropped.swap(State->Slots[Slot]);
    }
    if (Dropped) State->Bytes -= static_cast<std::int64_t>(Dropped->Bytes());
  }
}

void TSegmentCache::Drop(std::size_t N, std::size_t I0, std::size_t I1, std::size_t J0,
                         std::size_t J1) {
  for (std::size_t I = I0; I <= I1; ++I) {
    for (std::size_t J = J0; J <= J1; ++J) {
      for (std::size_t Kind = 0; Kind < kKinds; ++Kind) {
        std::shared_ptr<const TCached>& Slot = State->Slots[(I * N + J) * kKinds + Kind];
        if (Slot) State->Bytes -= static_cast<std::int64_t>(Slot->Bytes());
        Slot.reset();
      }
    }
  }
}

std::size_t TSegmentCache::HeldBytes() const {
  return static_cast<std::size_t>(std::max<std::int64_t>(State->Bytes, 0));
}

}  // namespace varnholt
