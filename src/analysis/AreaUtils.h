// Area analysis: the open areas of each segment as bit planes, the info values, waypoints and
// borders of those areas, and the contacts between the areas of neighbouring segments.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <vector>

#include "format/SegUtils.h"
#include "format/UTypes.h"

namespace varnholt {

inline constexpr int kKeptAreas = 4;

// The kept areas of a segment, one bit plane each: bit c of Rows[a][r] is cell (r, c) of area
// a + 1. The planes of areas beyond Count are empty.
struct TAreaMasks {
  std::array<TSegmentRows, kKeptAreas> Rows{};
  std::int32_t Count = 0;  // areas kept, 0 ... 4
};

// Each kept area's cells on the borders of its segment, all that linking needs of it: bit k of
// Top and Bottom is column k of rows 0 and 63, bit k of Left and Right is row k of columns 0
// and 63.
struct TAreaBorders {
  std::array<std::uint64_t, kKeptAreas> Top{};
  std::array<std::uint64_t, kKeptAreas> Bottom{};
  std::array<std::uint64_t, kKeptAreas> Left{};
  std::array<std::uint64_t, kKeptAreas> Right{};
};

using TAreaBorderMap = TGrid<TAreaBorders>;
using TAreaCount = TGrid<std::int32_t>;

// Labels the 4-connected open areas of a segment given by its blocked cells. The four largest are
// kept, numbered 1 ... 4 by size, larger first; between equal sizes the area whose first cell in
// row-major order comes first gets the smaller number.
void LabelAreaMasks(const TSegmentRows& Blocked, TAreaMasks& Masks);

// One info value per 2x2 block: the first of its four cells (top left, top right, bottom left,
// bottom right) that lies in area 1, 2 or 3 names it (value area - 1); 3 when none does.
void ReduceMasksToInfo(const TAreaMasks& Masks, TInfoRows& Info);

// Picks one waypoint per area, preferring cells near the middle of the segment and on a coarse
// grid, and sets the area mask. Fails with "Logic failure in CalculateWaypoint" when an area up
// to Count has no cell.
void PlaceWaypoints(const TAreaMasks& Masks, TWaypointSegment& Record);

TAreaBorders AreaBorders(const TAreaMasks& Masks);

// OR the bits of the areas of Upper touching areas of Lower (row 63 against row 0) into the down
// links, and of Left touching Right (column 63 against column 0) into the right links.
void LinkDown(const TAreaBorders& Upper, const TAreaBorders& Lower, TWaypointSegment& Record);
void LinkRight(const TAreaBorders& Left, const TAreaBorders& Right, TWaypointSegment& Record);
// The open cells of a segment that no kept area holds: those of the areas beyond the fourth.
TSegmentRows ErasedCells(const TSegmentRows& Blocked, const TAreaMasks& Masks);

// What stands on each cell along the four sides of a segment (a region, a node of a graph), for
// joining what touches across borders.
template <typename T>
struct TSegmentSides {
  using TSide = std::array<T, kSegmentSide>;
  TSide Top;
  TSide Bottom;
  TSide Left;
  TSide Right;

  explicit TSegmentSides(T Nothing) {
    for (TSide* Side : {&Top, &Bottom, &Left, &Right}) Side->fill(Nothing);
  }
  // Marks Value on every cell of Cells, a row of bits along Side.
  static void Mark(std::uint64_t Cells, T Value, TSide& Side) {
    if (Cells == ~std::uint64_t{0}) return Side.fill(Value);  // a whole row, as in open segments
    for (; Cells != 0; Cells &= Cells - 1)
      Side[static_cast<std::size_t>(std::countr_zero(Cells))] = Value;
  }
  // Marks Value on the cells of row R of the segment, given as bits, that lie on a side.
  void MarkRow(std::size_t R, std::uint64_t Cells, T Value) {
    if (R == 0) Mark(Cells, Value, Top);
    if (R == kSegmentSide - 1) Mark(Cells, Value, Bottom);
    if ((Cells & 1) != 0) Left[R] = Value;
    if ((Cells >> (kSegmentSide - 1)) != 0) Right[R] = Value;
  }
};

// Everything one segment's areas give: its cells, the kept areas, the info values, the waypoint
// record (links aside) and the borders.
struct TSegmentAnalysis {
  TSegmentRows Blocked;
  TAreaMasks Masks;
  TInfoRows Info;
  TWaypointSegment Waypoint;
  TAreaBorders Borders;
};
void AnalyseSegment(const TSegmentRows& Blocked, TSegmentAnalysis& Result);

// The one sweep along the borders of a grid's segments: they come in grid order, and each meets
// the segment above it and the one to its left as it comes, so that only a row of bottom sides is
// ever kept. TSides is what stands along a segment's four sides (Top, Bottom, Left, Right).
template <typename TSides>
class TBorderSweep {
 public:
  using TSide = decltype(TSides::Top);
  TBorderSweep(std::uint32_t SegmentsPerSide, const TSide& Nothing)
      : Bottoms(SegmentsPerSide, Nothing), Right(Nothing) {}
  std::uint32_t SegmentsPerSide() const { return static_cast<std::uint32_t>(Bottoms.size()); }
  // Calls Meet(the other segment's side, K's side, whether it is above, its number) with the
  // segment above K, whose bottom meets K's top, and with the one to its left, whose right side
  // meets K's left, where there are such.
  template <typename F>
  void Add(std::size_t K, const TSides& Sides, F Meet) {
    const std::size_t N = Bottoms.size();
    if (K >= N) Meet(Bottoms[K % N], Sides.Top, true, K - N);
    if (K % N > 0) Meet(Right, Sides.Left, false, K - 1);
    Bottoms[K % N] = Sides.Bottom;
    Right = Sides.Right;
  }

 private:
  std::vector<TSide> Bottoms;  // per segment column: the bottom of the last segment met in it
  TSide Right;                 // the right side of the segment met last
};

// Links the segments of a grid as they come, in grid order, each with the segment above it and
// the one to its left. A segment without areas has empty borders, and so neither gets nor gives
// links.
class TSegmentLinker {
 public:
  explicit TSegmentLinker(std::uint32_t SegmentsPerSide) : Sweep(SegmentsPerSide, {}) {}
  void Add(std::size_t K, const TAreaBorders& Borders, TWaypointSegments& Records);

 private:
  TBorderSweep<TAreaBorders> Sweep;
};
// Links every segment of the grid with its neighbours below and to the right.
void LinkSegments(const TAreaBorderMap& Borders, TWaypointSegments& Records);

// The runs of a segment tied into areas, as both labellers build them. Runs are named by row * 64
// + last column: ids follow scan order without any counting, and the run of a row ending at or
// after a column is found with one bit scan.
struct TForest {
  static constexpr int kCells = kSegmentSide * kSegmentSide;

  std::array<std::uint16_t, kCells> Parent;
  std::array<std::uint16_t, kCells + 1> Cells;  // area sizes, at the origins and then the roots
  std::array<std::uint32_t, kCells / 2> Joins;  // pairs of origins that meet, high and low half
  std::array<std::uint16_t, kCells / 2> Fresh;  // the runs that touch no run above, in scan order
  int JoinCount = 0;
  int FreshCount = 0;
  int RunCount = 0;
};

// The 4-connected components of any set of cells, with their runs, numbered in the row-major
// order of their first cells. The converter keeps four areas of a segment; the regions a
// pathfinder searches and the inspector's survey need the others too, which are the components
// of the open cells it did not keep.
class TComponents {
 public:
  void Label(const TSegmentRows& Cells);
  int Count() const { return ComponentCount; }
  std::uint16_t FirstCell(int Component) const { return First[Index(Component)]; }  // r * 64 + c
  std::uint16_t Cells(int Component) const { return Size[Index(Component)]; }
  // The component of the cell at r * 64 + c; -1 for a cell not in the set.
  int ComponentAt(int Cell) const;
  // Calls Visit(Component, Mask) for every run of row R, left to right.
  template <typename F>
  void ForRunsOfRow(int R, F Visit) const {
    const std::uint64_t Row = Set[static_cast<std::size_t>(R)];
    const std::uint64_t Starts = Row & ~(Row << 1);
    for (std::uint64_t Ends = Row & ~(Row >> 1); Ends != 0; Ends &= Ends - 1) {
      const std::uint64_t UpToEnd = Ends ^ (Ends - 1);
      const int Begin = std::bit_width(Starts & UpToEnd) - 1;
      Visit(ComponentOfRun(R * kSegmentSide + std::countr_zero(Ends)),
            UpToEnd & (~std::uint64_t{0} << Begin));
    }
  }

 private:
  static std::size_t Index(int Component) { return static_cast<std::size_t>(Component); }
  // Every run's origin points at its root once labelled.
  int ComponentOfRun(int Run) const {
    return Number[Forest.Parent[Forest.Parent[static_cast<std::size_t>(Run)]]];
  }

  TForest Forest;
  TSegmentRows Set{};
  std::array<std::uint16_t, TForest::kCells> Number;  // of each component, at its root
  std::array<std::uint16_t, TForest::kCells / 2> First;
  std::array<std::uint16_t, TForest::kCells / 2> Size;
  int ComponentCount = 0;
};

// The kept areas as a 4096-byte area map: cell (r, c) at byte r * 64 + c, 0 for no area.
void PaintAreaMap(const TAreaMasks& Masks, TAreaSegment& AreaMap);

// The same steps on 4096-byte area maps (cell (r, c) at byte r * 64 + c, 0 for no area), for
// the tests, the fuzz targets and the tools that look at single cells.
void LabelAreas(const TSegment& Segment, TAreaSegment& AreaMap, std::int32_t& AreaCount);
// The planes of areas 1 ... 4 of an area map; other values are no area.
TAreaMasks AreaMasksOf(const TAreaSegment& AreaMap, std::int32_t AreaCount);
void ReduceToInfo(const TAreaSegment& AreaMap, TInfoSegment& Info);
void CalculateWaypoint(const TAreaSegment& AreaMap, std::int32_t AreaCount,
                       TWaypointSegment& Record);
TAreaBorders AreaEdges(const TAreaSegment& AreaMap);

}  // namespace varnholt
