// A field toward one goal: for every open cell the grid connects to the goal, the steps of a
// shortest path there and the next cell of one. It is a breadth-first search from the goal, a
// layer of steps at a time, over the segments the layer reaches, 64 cells a word: each layer of a
// segment spreads within it by word operations and into its neighbours across its borders. The
// search goes only as far as the cells asked for need, so that it works out the ground between
// the goal and them, never more of the map than that. Every cell within the layers done is
// final, so what the field answers never depends on what was asked before. An edit of the map
// keeps the steps of the cells nearer the goal than anything the edit touched, which no edit can
// change, and the search goes on from there as cells ask.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
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
  struct TFront;

  std::uint32_t FinalSteps(TCell Cell) const;
  std::uint32_t KnownSteps(TCell Cell) const;
  TCell Nearer(TCell Cell, std::uint32_t Value) const;
  void SearchFor(std::size_t K, int Cell) const;
  bool NextLayer() const;
  TSegmentSteps& Reach(std::size_t K, std::uint32_t Layer) const;
  TFront& FrontOf(std::size_t K) const;
  void KeepFronts(const std::vector<std::size_t>& Reached) const;
  void Spread(std::size_t K, std::vector<std::size_t>& Reached) const;
  void Restart() const;
  void KeepNearerThan(std::uint32_t Nearest) const;

  const TRegionMap& Regions;
  TCell Goal;
  // Per segment, its steps, from the first layer that reaches it.
  mutable std::vector<std::atomic<TSegmentSteps*>> Steps;
  mutable std::vector<std::unique_ptr<TSegmentSteps>> Owned;
  // Every cell of at most these steps is final: the last layer done, or kAll once the search is.
  mutable std::atomic<std::uint64_t> Settled;
  // The search, under its lock: the last layer done and the segments its cells lie in, each
  // with the cells of that layer and those of the next as they come.
  mutable std::mutex Working;
  mutable std::uint32_t Layer = 0;
  mutable std::vector<std::size_t> Active;
  mutable std::vector<std::unique_ptr<TFront>> Fronts;  // per active segment, by its place
  mutable std::vector<std::uint32_t> FrontOfSegment;
};

}  // namespace varnholt
