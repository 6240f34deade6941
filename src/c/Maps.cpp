// The C interface to analysed maps: opening, what a map holds, paths, edits, the survey and the
// files as bytes. Each function checks its arguments and calls the library.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "c/Interface.h"
#include "format/MapCheck.h"
#include "format/Naming.h"
#include "map/SplitFixes.h"
#include "map/Survey.h"
#include "paths/PathSearch.h"
#include "paths/Smoothing.h"

namespace varnholt::c {
namespace {

const TCellStore& CellsOf(const varnholt_map* Map) {
  return Map->Map.Regions.Cells();
}

TCell CellOf(const varnholt_map* Map, std::int32_t Row, std::int32_t Column) {
  const TCell Cell{Row, Column};
  if (!CellsOf(Map).IsInside(Cell)) FailArgument("Cell outside the map: " + CellText(Cell));
  return Cell;
}

std::size_t SegmentOf(const varnholt_map* Map, std::int32_t Row, std::int32_t Column) {
  const auto N = static_cast<std::int64_t>(CellsOf(Map).SegmentsPerSide());
  if (Row < 0 || Column < 0 || Row >= N || Column >= N) {
    FailArgument("Segment outside the map: " + std::to_string(Row) + ", " + std::to_string(Column));
  }
  return static_cast<std::size_t>(Row * N + Column);
}

// The rectangle's cells, after checking that it lies inside the map and that the cells are there.
template <typename T>
std::span<T> RectangleCells(const varnholt_map* Map, std::int32_t Row, std::int32_t Column,
                            std::int32_t Rows, std::int32_t Columns, T* Cells) {
  const std::int64_t Side = CellsOf(Map).CellsPerSide();
  if (Row < 0 || Column < 0 || Rows < 0 || Columns < 0 || Row + std::int64_t{Rows} > Side ||
      Column + std::int64_t{Columns} > Side) {
    FailArgument("Cells outside the map: " + std::to_string(Row) + ", " + std::to_string(Column) +
                 ", " + std::to_string(Rows) + " x " + std::to_string(Columns));
  }
  const std::size_t Count = static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Columns);
  if (Count > 0) Needed(Cells, "blocked");
  return {Cells, Count};
}

// Takes what a writer gives, keeping what fits in the caller's buffer and counting the rest.
class TCountingWriter final : public TWriter {
 public:
  TCountingWriter(void* Buffer, std::int64_t Room)
      : Bytes(static_cast<std::uint8_t*>(Buffer)),
        Capacity(static_cast<std::size_t>(std::max<std::int64_t>(Room, 0))) {
    if (Capacity > 0) Needed(Buffer, "buffer");
  }
  std::size_t Write(std::span<const std::uint8_t> Written) override {
    if (Size < Capacity) {
      const std::size_t Taken = std::min(Written.size(), Capacity - Size);
      std::memcpy(Bytes + Size, Written.data(), Taken);
    }
    Size += Written.size();
    return Written.size();
  }
  std::int64_t Total() const { return static_cast<std::int64_t>(Size); }

 private:
  std::uint8_t* Bytes;
  std::size_t Capacity;
  std::size_t Size = 0;
};

std::size_t Room(std::int64_t Capacity) {
  return static_cast<std::size_t>(std::max<std::int64_t>(Capacity, 0));
}

}  // namespace
}  // namespace varnholt::c

using namespace varnholt;
using namespace varnholt::c;

varnholt_map* varnholt_analyse(const char* level0_path) {
  return Guarded([&] { return Held(OpenMap(NeededPath(level0_path), false)); },
                 static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_analyse_memory(const void* data, size_t size) {
  return Guarded(
      [&] {
        if (size > 0) Needed(data, "data");
        return Held(AnalyseMapBytes({static_cast<const std::uint8_t*>(data), size}));
      },
      static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_open(const char* level0_path) {
  return Guarded([&] { return Held(OpenMap(NeededPath(level0_path), true)); },
                 static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_create(int32_t cells_per_side, int blocked) {
  return Guarded([&] { return Held(CreateMap(cells_per_side, blocked != 0)); },
                 static_cast<varnholt_map*>(nullptr));
}

void varnholt_close(varnholt_map* map) {
  delete map;
}

int32_t varnholt_cells_per_side(const varnholt_map* map) {
  return static_cast<int32_t>(CellsOf(map).CellsPerSide());
}

int32_t varnholt_segments_per_side(const varnholt_map* map) {
  return static_cast<int32_t>(CellsOf(map).SegmentsPerSide());
}

int varnholt_get_cells(const varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                       int32_t columns, uint8_t* blocked) {
  return Guarded(
      [&] {
        const std::span<std::uint8_t> Cells =
            RectangleCells(map, row, column, rows, columns, blocked);
        CellsOf(map).GetCells({row, column}, static_cast<std::uint32_t>(rows),
                              static_cast<std::uint32_t>(columns), Cells);
        return 0;
      },
      -1);
}

int varnholt_area_of(const varnholt_map* map, int32_t row, int32_t column) {
  const TCell Cell{row, column};
  return CellsOf(map).IsInside(Cell) ? AreaOf(map->Map.Regions, Cell) : -1;
}

int varnholt_segment_areas(const varnholt_map* map, int32_t segment_row, int32_t segment_column,
                           uint8_t areas[4096]) {
  return Guarded(
      [&] {
        const std::size_t K = SegmentOf(map, segment_row, segment_column);
        return SegmentAreas(map->Map.Regions, K,
                            std::span<std::uint8_t, 4096>(Needed(areas, "areas"), 4096));
      },
      -1);
}

int varnholt_segment_regions(const varnholt_map* map, int32_t segment_row, int32_t segment_column,
                             uint16_t regions[4096]) {
  return Guarded(
      [&] {
        const std::size_t K = SegmentOf(map, segment_row, segment_column);
        return SegmentRegions(map->Map.Regions, K,
                              std::span<std::uint16_t, 4096>(Needed(regions, "regions"), 4096));
      },
      -1);
}

int varnholt_segment_record(const varnholt_map* map, int32_t segment_row, int32_t segment_column,
                            uint8_t record[16]) {
  return Guarded(
      [&] {
        const std::size_t K = SegmentOf(map, segment_row, segment_column);
        const TWaypointBytes Bytes = BytesOf(map->Map.Regions.Records().All()[K]);
        std::copy(Bytes.begin(), Bytes.end(), Needed(record, "record"));
        return 0;
      },
      -1);
}

int varnholt_survey_map(const varnholt_map* map, varnholt_survey* survey, varnholt_split* splits,
                        int64_t capacity, int32_t* lost, int64_t lost_capacity) {
  return Guarded(
      [&] {
        Needed(survey, "survey");
        if (Room(capacity) > 0) Needed(splits, "splits");
        const std::size_t LostRoom = lost == nullptr ? 0 : Room(lost_capacity);
        const TMapSurvey Found = SurveyMap(map->Map.Regions, Room(capacity), LostRoom);
        *survey = Found.Counts;
        std::copy(Found.Splits.begin(), Found.Splits.end(), splits);
        Copied(Found.Lost, lost, static_cast<std::int64_t>(Found.Lost.size()));
        return 0;
      },
      -1);
}

int64_t varnholt_split_fix(const varnholt_map* map, int64_t index, int kind, int32_t* cells,
                           int64_t capacity) {
  return Guarded(
      [&] {
        if (kind != VARNHOLT_FIX_OPEN && kind != VARNHOLT_FIX_BLOCK)
          FailArgument("Unknown kind of fix: " + std::to_string(kind));
        const TRegionMap& Regions = map->Map.Regions;
        if (index < 0 || index >= SurveyMap(Regions, 0, 0).Counts.split_components)
          FailArgument("No such split: " + std::to_string(index));
        const TFixKind Kind = kind == VARNHOLT_FIX_OPEN ? TFixKind::Open : TFixKind::Block;
        return Copied(SplitFix(Regions, static_cast<std::size_t>(index), Kind), cells, capacity);
      },
      int64_t{-1});
}

int varnholt_connected(const varnholt_map* map, int32_t row0, int32_t column0, int32_t row1,
                       int32_t column1) {
  return Guarded(
      [&] {
        const TCell Start = CellOf(map, row0, column0);
        const TCell Goal = CellOf(map, row1, column1);
        return AreConnected(map->Map.Regions, Start, Goal) ? 1 : 0;
      },
      -1);
}

int64_t varnholt_find_path(const varnholt_map* map, int32_t row0, int32_t column0, int32_t row1,
                           int32_t column1, int32_t* cells, int64_t capacity) {
  return Guarded(
      [&] {
        const TCell Start = CellOf(map, row0, column0);  // the start's failure first
        const TCell Goal = CellOf(map, row1, column1);
        return Copied(FindPath(map->Map.Regions, Start, Goal), cells, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_find_path_toward(const varnholt_map* map, int32_t row0, int32_t column0,
                                  int32_t row1, int32_t column1, int32_t* cells, int64_t capacity) {
  return Guarded(
      [&] {
        const TCell Start = CellOf(map, row0, column0);
        const TCell Goal = CellOf(map, row1, column1);
        return Copied(FindPathToward(map->Map.Regions, Start, Goal), cells, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_smooth_path(const varnholt_map* map, const int32_t* cells, int64_t count,
                             int32_t* corners, int64_t capacity) {
  return Guarded(
      [&] {
        if (count < 0) FailArgument("Not a path: " + std::to_string(count) + " cells");
        if (count > 0) Needed(cells, "cells");
        std::vector<TCell> Path(static_cast<std::size_t>(count));
        for (std::size_t K = 0; K < Path.size(); ++K) Path[K] = {cells[2 * K], cells[2 * K + 1]};
        return Copied(SmoothPath(CellsOf(map), Path), corners, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_shortest_path_cells(const varnholt_map* map, int32_t row0, int32_t column0,
                                     int32_t row1, int32_t column1) {
  return Guarded(
      [&]() -> int64_t {
        const TCell Start = CellOf(map, row0, column0);
        const TCell Goal = CellOf(map, row1, column1);
        return ShortestPathLength(map->Map.Regions, Start, Goal) + 1;  // none is 0
      },
      int64_t{-1});
}

int varnholt_set_cells(varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                       int32_t columns, const uint8_t* blocked) {
  return Guarded(
      [&] {
        const std::span<const std::uint8_t> Cells =
            RectangleCells(map, row, column, rows, columns, blocked);
        map->Map.Regions.SetCells({row, column}, static_cast<std::uint32_t>(rows),
                                  static_cast<std::uint32_t>(columns), Cells);
        return 0;
      },
      -1);
}

int64_t varnholt_write_memory(const varnholt_map* map, int file, void* buffer, int64_t capacity) {
  return Guarded(
      [&] {
        const varnholt_file Kind = FileKind(file, true);
        TCountingWriter Writer(buffer, capacity);
        WriteMapFile(map->Map, Kind, Writer);
        return Writer.Total();
      },
      int64_t{-1});
}

int64_t varnholt_compare_memory(const varnholt_map* map, int file, const void* data, size_t size,
                                char* difference, int64_t capacity) {
  return Guarded(
      [&] {
        if (size > 0) Needed(data, "data");
        const varnholt_file Kind = FileKind(file, false);
        const std::string Text =
            MapFileDifference(map->Map, Kind, {static_cast<const std::uint8_t*>(data), size});
        return Text.empty() ? 0 : Written(Text, difference, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_compare_file(const varnholt_map* map, int file, const char* path, char* difference,
                              int64_t capacity) {
  return Guarded(
      [&] {
        const std::string Path = NeededPath(path);
        const std::string Text = MapFileDifference(map->Map, FileKind(file, false), Path);
        return Text.empty() ? 0 : Written(Text, difference, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_file_path(const char* level0_path, int file, char* path, int64_t capacity) {
  return Guarded(
      [&] {
        const TRunPaths Paths = DeriveRunPaths(Needed(level0_path, "level0_path"), PathRules());
        const varnholt_file Kind = FileKind(file, true);
        return Written(Kind == VARNHOLT_FILE_LEVEL0 ? Paths.Input
                       : Kind == VARNHOLT_FILE_INFO ? Paths.Info
                                                    : Paths.Waypoint,
                       path, capacity);
      },
      int64_t{-1});
}
