// The shortest 4-connected path between two cells through a set of segments: A* with the
// Manhattan distance to the goal, every cell's f = g + h, run on 64 cells at a time.
//
// A step towards the goal keeps f, a step away raises it by 2, so the cells are closed in
// buckets of one f. A bucket is closed as a whole: the cells its seeds reach by steps towards the
// goal, which within a segment are two sweeps of its rows (down to the goal's row from above, up
// to it from below), each row filled sideways towards the goal's column with word operations.
// Steps away from the goal's cells seed the next bucket. Where obstacles make plateaus of equal
// f, a cell-by-cell A* closes them one cell at a time; this closes them 64 at a time. The first
// bucket that closes the goal holds the path's length; the path is walked back from the goal
// through cells whose g is one less, told by the parity of the bucket each cell was closed in.
#pragma once

#include <cstdint>
#include <vector>

#include "analysis/KeyTable.h"
#include "map/Regions.h"
#include "paths/Corridor.h"

namespace varnholt {

class TCellSearch {
 public:
  // Admitted: the cells the search may enter, nullptr for all of them.
  TCellSearch(const TCellStore& Store, const TCorridor* Admitted);
  ~TCellSearch();
  // The number of steps of a shortest path from Start to Goal, both open, through the admitted
  // cells (Start and Goal among them); -1 when there is none. Path, where given, gets its
  // cells, from Start to Goal. The same query gives the same path every time.
  std::int64_t Run(TCell Start, TCell Goal, std::vector<TCell>* Path);

 private:
  struct TSlot;
  struct TMarks;
  struct TClosedRows;
  std::uint32_t SlotOf(std::uint64_t Segment);
  std::uint32_t Neighbour(std::uint32_t Slot, int Direction);
  auto FartherFirst() const;
  void Seed(std::uint32_t Slot, int Row, std::uint64_t Bits, bool Later);
  void SeedRows(std::uint32_t Slot, const TSegmentRows& Bits, int From, int To, bool Later);
  void SeedColumn(std::uint32_t Slot, std::uint64_t Bit, std::uint64_t Rows, bool Later);
  void Across(std::uint32_t Slot, int Direction, std::uint64_t Bit, std::uint64_t Rows, bool Later);
  static std::uint64_t FillTowards(const TSlot& Slot, std::uint64_t Reach, std::uint64_t Row);
  TClosedRows Sweep(TSlot& Slot);
  void MarkClosed(std::uint32_t SlotNumber, const TClosedRows& Rows);
  void PassOn(std::uint32_t SlotNumber, const TClosedRows& Rows);
  bool Close(std::uint32_t Slot);
  bool CloseFew();
  void NextBucket();
  void SeedAwaySteps(std::uint32_t SlotNumber, const TSegmentRows& Closed, int From, int To);
  std::int64_t Heuristic(TCell Cell) const;
  void WalkBack(TCell Start, std::vector<TCell>& Path);
  TSegmentRows& PlaneOf(std::uint32_t& Plane);
  void Release(std::uint32_t& Plane);

  const TCellStore& Cells;
  const TCorridor* Corridor;
  TCell Goal;
  std::uint32_t Bucket = 0;  // the f being closed
  std::uint32_t FirstBucket = 0;
  TKeyTable SlotIndex;
  std::vector<TSlot> Slots;
  std::vector<TMarks> Marks;  // per slot, where a path is wanted
  bool Marking = false;
  std::vector<TSegmentRows> Planes;  // the pool of seed planes, and those of it not in use
  std::vector<std::uint32_t> Spare;
  std::vector<std::uint32_t> Now;      // slots with seeds of this bucket, a heap
  std::vector<std::uint32_t> Later;    // slots with seeds of the next one
  std::vector<std::uint32_t> Waiting;  // room for the next bucket's slots, kept between buckets
  // Cells of this bucket closed one at a time: a bucket that starts from few cells.
  struct TCellAt {
    std::uint32_t Slot;
    int Cell;
  };
  std::vector<TCellAt> Stack;
  std::vector<TCellAt> LaterStack;  // cells of the next bucket reached from those, where few
  static constexpr std::size_t kFewCells = 8;
  static constexpr std::size_t kCellBudget = 16;
  std::uint32_t StartSlot = 0, GoalSlot = 0;
  int StartCell = 0, GoalCell = 0;
};

}  // namespace varnholt
