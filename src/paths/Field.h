// A field toward one goal: for every open cell the grid connects to the goal, the steps of a
// shortest path there and the next cell of one. It is worked out segment by segment as cells ask,
// nearest the goal first, as a search from the goal over segments: each segment's cells from the
// steps at its borders, by a breadth-first search inside it seeded there, and its own borders
// handed to its neighbours; a segment whose borders later come nearer is worked out again. A
// distance is final once every segment still waiting is at least as far, so that what the field
// answers never depends on what was asked before. An edit of the map keeps the cells nearer the
// goal than anything the edit touched, which no edit can change, and works out the rest again as
// cells ask.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <queue>
#include <vector>

#include "map/Regions.h"

namespace varnholt {

class TGoalField final : public TEditFollower {
 public:
  // Goal lies inside the map and is open.
  TGoalField(const TRegionMap& Map, TCell Goal);
  ~TGoalField() override;
  TGoalField(const TGoalField&) = delete;
  TGoalField& operator=(const TGoalField&) = delete;

  const TRegionMap& Map() const { return Regions; }
  // For an open cell of the map: its steps to the goal, -1 where the grid does not connect them.
  std::int64_t Distance(TCell Cell) const;
  // The next cell from Cell toward the goal into To; false at the goal or where the grid does not
  // connect them. Of equal next cells the first of up, down, left and right.
  bool Next(TCell Cell, TCell& To) const;
  // The cells from Cell to the goal along the field, both included; empty where not connected.
  std::vector<TCell> Path(TCell Cell) const;
  // The memory the field holds.
  std::size_t Bytes() const;

  void Edited(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) override;

 private:
  struct TSegmentSteps;
  struct TInputs;
  struct TWaiting {
    std::uint64_t Key;
    std::size_t Segment;
    friend bool operator>(const TWaiting& A, const TWaiting& B) {
      return A.Key != B.Key ? A.Key > B.Key : A.Segment > B.Segment;
    }
  };

  std::uint32_t FinalSteps(TCell Cell) const;
  std::uint32_t StepsIn(const TSegmentSteps* Steps, int Cell) const;
  std::uint32_t KnownSteps(TCell Cell) const;
  TCell Nearer(TCell Cell, std::uint32_t Value) const;
  void WorkOutFor(std::size_t K, int Cell) const;
  bool Settle() const;
  void WorkOut(std::size_t K) const;
  void HandOn(std::size_t K, const std::vector<std::uint32_t>& Steps) const;
  void Offer(std::size_t K, int Side, int Along, std::uint32_t Steps) const;
  void Wait(std::size_t K, std::uint64_t Key) const;
  void Publish(std::size_t K, std::unique_ptr<const TSegmentSteps> Steps) const;
  void Restart() const;
  void KeepNearerThan(std::uint64_t Kept) const;
  void HandOnKept(std::size_t K, const TSegmentSteps& Record) const;

  const TRegionMap& Regions;
  TCell Goal;
  TSegmentCell GoalAt;
  // Per segment, its steps once worked out; a record replaced stays until the next edit, as a
  // query on another thread may be reading it.
  mutable std::vector<std::atomic<const TSegmentSteps*>> Steps;
  // Every distance up to it is final: the least key still waiting.
  mutable std::atomic<std::uint64_t> Settled;
  mutable std::mutex Working;  // what follows, and the working out
  mutable std::vector<std::unique_ptr<const TSegmentSteps>> Made;
  mutable std::vector<std::unique_ptr<TInputs>>
      Inputs;                                  // per segment, the steps across its borders
  mutable std::vector<std::uint64_t> Waiting;  // per segment, its key in the queue
  mutable std::vector<std::uint8_t> Kept;      // per segment, whether it stayed through an edit
  mutable std::priority_queue<TWaiting, std::vector<TWaiting>, std::greater<>> Queue;
};

}  // namespace varnholt
