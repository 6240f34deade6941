// What queries work out per segment the first time they need it (a segment's kept areas, the
// steps between the places a path may cross its borders), kept for the next query within a
// bound of memory and dropped for the segments an edit touches. Queries on several threads may
// look up and keep entries at once: each slot is read and written under a lock of its own shard,
// and an entry lives on while a query holds it, even once the cache has dropped it.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace varnholt {

// An entry of the cache: it says how much memory it holds, which may grow while it is used.
class TCached {
 public:
  virtual ~TCached() = default;
  virtual std::size_t Bytes() const = 0;
};

class TSegmentCache {
 public:
  enum TKind { kAreas, kGates, kKinds };
  // The most all entries may hold together; past it the oldest are dropped.
  static constexpr std::size_t kBudgetBytes = std::size_t{48} << 20;

  explicit TSegmentCache(std::size_t Segments = 0);
  TSegmentCache(TSegmentCache&&) noexcept;
  TSegmentCache& operator=(TSegmentCache&&) noexcept;
  ~TSegmentCache();

  std::shared_ptr<const TCached> Find(TKind Kind, std::size_t K) const;
  // The entry of segment K, or nullptr, readable for as long as Guard holds its shard's lock: a
  // lookup without a count of its holders, for what is read at once.
  const TCached* Peek(TKind Kind, std::size_t K, std::unique_lock<std::mutex>& Guard) const;
  // Keeps Entry for segment K unless another query kept one first; returns the one kept.
  std::shared_ptr<const TCached> Keep(TKind Kind, std::size_t K,
                                      std::shared_ptr<const TCached> Entry) const;
  // An entry kept has grown by Bytes.
  void Grown(std::size_t Bytes) const;
  // Drops every entry of segments I0 ... I1 by J0 ... J1 of a grid N segments a side. Not while
  // queries run.
  void Drop(std::size_t N, std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1);
  std::size_t HeldBytes() const;

 private:
  struct TState;
  void MakeRoom() const;
  std::unique_ptr<TState> State;
};

}  // namespace varnholt
