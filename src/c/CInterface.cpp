// The C interface: every failure is caught here, once, and becomes a return value, the text of
// varnholt_error() and the status of varnholt_last_status() on the calling thread. The shared
// library's build defines VARNHOLT_BUILDING, so that it exports these functions and nothing else.
#include <varnholt/varnholt.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

#include "format/MapCheck.h"
#include "paths/PathSearch.h"
#include "files/Recovery.h"
#include "map/Regions.h"
#include "paths/Smoothing.h"
#include "map/Survey.h"
#include "files/ToolFiles.h"
#include "convert/Varnholt.h"

struct varnholt_map {
  varnholt::TRegionMap Regions;
  varnholt::TMapHeader Header;  // as read, for saving
};

namespace varnholt {
namespace {

thread_local std::string LastFailure;
thread_local varnholt_status LastStatus = VARNHOLT_OK;

void Remember(varnholt_status Status, const char* Text) {
  LastStatus = Status;
  LastFailure = Text;
}

// Runs Action; on a failure keeps its message and status for the caller and returns Failed.
template <typename F, typename R>
R Guarded(F Action, R Failed) {
  try {
    return Action();
  } catch (const Exception& Failure) {
    Remember(Failure.Status(), Failure.what());
  } catch (const std::bad_alloc&) {
    Remember(VARNHOLT_ERROR_MEMORY, "Out of memory");
  } catch (const std::length_error&) {
    Remember(VARNHOLT_ERROR_MEMORY, "Out of memory");  // more than a container can ever hold
  } catch (const std::exception& Failure) {
    Remember(VARNHOLT_ERROR_INTERNAL, Failure.what());
  }
  return Failed;
}

[[noreturn]] void FailArgument(const std::string& Text) {
  throw Exception(VARNHOLT_ERROR_ARGUMENT, Text);
}

// A pointer the call cannot do without.
template <typename T>
T* Needed(T* Pointer, const char* Name) {
  if (Pointer == nullptr) FailArgument(std::string("Missing argument: ") + Name);
  return Pointer;
}

const char* NeededPath(const char* Path) {
  if (Path == nullptr) throw Exception(VARNHOLT_ERROR_ARGUMENT, "Error opening file: ");
  return Path;
}

TCell CellOf(const varnholt_map* Map, std::int32_t Row, std::int32_t Column) {
  const TCell Cell{Row, Column};
  if (!Map->Regions.Cells().IsInside(Cell)) FailArgument("Cell outside the map: " + CellText(Cell));
  return Cell;
}

std::size_t SegmentOf(const varnholt_map* Map, std::int32_t Row, std::int32_t Column) {
  const auto N = static_cast<std::int64_t>(Map->Regions.Cells().SegmentsPerSide());
  if (Row < 0 || Column < 0 || Row >= N || Column >= N) {
    FailArgument("Segment outside the map: " + std::to_string(Row) + ", " + std::to_string(Column));
  }
  return static_cast<std::size_t>(Row * N + Column);
}

// The rectangle's cells, after checking that it lies inside the map and that the cells are there.
std::size_t RectangleCells(const varnholt_map* Map, std::int32_t Row, std::int32_t Column,
                           std::int32_t Rows, std::int32_t Columns, const void* Cells) {
  const std::int64_t Side = Map->Regions.Cells().CellsPerSide();
  if (Row < 0 || Column < 0 || Rows < 0 || Columns < 0 || Row + std::int64_t{Rows} > Side ||
      Column + std::int64_t{Columns} > Side) {
    FailArgument("Cells outside the map: " + std::to_string(Row) + ", " + std::to_string(Column) +
                 ", " + std::to_string(Rows) + " x " + std::to_string(Columns));
  }
  const std::size_t Count = static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Columns);
  if (Count > 0) Needed(Cells, "blocked");
  return Count;
}

varnholt_file FileKind(int File, bool Level0Allowed) {
  if ((File == VARNHOLT_FILE_LEVEL0 && Level0Allowed) || File == VARNHOLT_FILE_INFO ||
      File == VARNHOLT_FILE_WAYPOINT) {
    return static_cast<varnholt_file>(File);
  }
  FailArgument("Unknown file kind: " + std::to_string(File));
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

// A text with its terminating zero where it fits; returns its length.
std::int64_t Written(const std::string& Text, char* Buffer, std::int64_t Capacity) {
  if (Capacity > 0) {
    Needed(Buffer, "buffer");
    const std::size_t Taken = std::min(Text.size(), static_cast<std::size_t>(Capacity) - 1);
    std::memcpy(Buffer, Text.data(), Taken);
    Buffer[Taken] = '\0';
  }
  return static_cast<std::int64_t>(Text.size());
}

// Cells as row, column pairs, as many as Capacity allows; returns how many there are.
std::int64_t Copied(const std::vector<TCell>& Path, std::int32_t* Cells, std::int64_t Capacity) {
  const auto Written = static_cast<std::size_t>(
      std::clamp<std::int64_t>(Capacity, 0, static_cast<std::int64_t>(Path.size())));
  if (Written > 0) Needed(Cells, "cells");
  for (std::size_t K = 0; K < Written; ++K) {
    Cells[2 * K] = Path[K].Row;
    Cells[2 * K + 1] = Path[K].Column;
  }
  return static_cast<std::int64_t>(Path.size());
}

varnholt_map* Analysed(TMapRun Run) {
  auto Map = std::make_unique<varnholt_map>();
  Map->Header = Run.Header;
  Map->Regions = AnalyseRegions(Run);
  return Map.release();
}

varnholt_map* OpenMap(const char* Level0Path, bool Check) {
  TMapRun Run = LoadMap(NeededPath(Level0Path));
  auto Map = std::make_unique<varnholt_map>();
  Map->Header = Run.Header;
  Map->Regions = AnalyseRegions(Run);
  if (Check) {
    const TRunPaths Paths = DeriveRunPaths(Level0Path, PathRules());
    try {
      std::string Difference = FileDifference(Paths.Info, Run.InfoMap);
      if (!Difference.empty())
        throw Exception(VARNHOLT_ERROR_STALE_PAIR, Paths.Info + " does not match: " + Difference);
      Difference = FileDifference(Paths.Waypoint, Run.Waypoints);
      if (!Difference.empty()) {
        throw Exception(VARNHOLT_ERROR_STALE_PAIR,
                        Paths.Waypoint + " does not match: " + Difference);
      }
    } catch (const Exception& Failure) {
      throw Exception(VARNHOLT_ERROR_STALE_PAIR, Failure.what());  // a file of the pair missing
    }
  }
  return Map.release();
}

// The bytes of a new level-0 map, every segment a filled record, as read from a file.
std::vector<std::uint8_t> NewMapFile(std::int32_t CellsPerSide, bool Blocked) {
  const auto Segments = static_cast<std::uint32_t>(CellsPerSide / kSegmentSide);
  if (CellsPerSide < kSegmentSide || CellsPerSide % kSegmentSide != 0 ||
      !std::has_single_bit(Segments)) {
    throw Exception(VARNHOLT_ERROR_SIZE, "Invalid map size!");
  }
  TMapRun Sized(static_cast<std::uint32_t>(CellsPerSide));  // fails as loading such a map would
  TMapBuffer File(kHeaderBytes + 4 * std::size_t{Segments} * Segments);
  WriteMapHeader(File, static_cast<std::uint32_t>(CellsPerSide), 0, 0);
  TSegmentRows Rows;
  Rows.fill(Blocked ? ~std::uint64_t{0} : 0);
  for (std::size_t K = 0; K < std::size_t{Segments} * Segments; ++K) WriteSegment(File, Rows);
  return {File.Bytes().begin(), File.Bytes().end()};
}

// The first difference of a file of the pair from what the map makes, as Compare finds it
// against the info map's bytes or the waypoint records: its length, 0 where there is none.
template <typename F>
std::int64_t Compared(const varnholt_map* Map, int File, F Compare, char* Buffer,
                      std::int64_t Capacity) {
  const std::string Text = FileKind(File, false) == VARNHOLT_FILE_INFO
                               ? Compare(SavedRun(Map->Regions, Map->Header, true).InfoMap)
                               : Compare(WaypointRecordsOf(Map->Regions));
  return Text.empty() ? 0 : Written(Text, Buffer, Capacity);
}

}  // namespace
}  // namespace varnholt

using namespace varnholt;

varnholt_map* varnholt_analyse(const char* level0_path) {
  return Guarded([&] { return OpenMap(level0_path, false); }, static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_analyse_memory(const void* data, size_t size) {
  return Guarded(
      [&] {
        if (size > 0) Needed(data, "data");
        TBytesReader File({static_cast<const std::uint8_t*>(data), size});
        return Analysed(ReadMap(File, size));
      },
      static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_open(const char* level0_path) {
  return Guarded([&] { return OpenMap(level0_path, true); }, static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_create(int32_t cells_per_side, int blocked) {
  return Guarded(
      [&] {
        const std::vector<std::uint8_t> Bytes = NewMapFile(cells_per_side, blocked != 0);
        TBytesReader File(Bytes);
        return Analysed(ReadMap(File, Bytes.size()));
      },
      static_cast<varnholt_map*>(nullptr));
}

void varnholt_close(varnholt_map* map) {
  delete map;
}

const char* varnholt_error(void) {
  return LastFailure.c_str();
}

varnholt_status varnholt_last_status(void) {
  return LastStatus;
}

int32_t varnholt_cells_per_side(const varnholt_map* map) {
  return static_cast<int32_t>(map->Regions.Cells().CellsPerSide());
}

int32_t varnholt_segments_per_side(const varnholt_map* map) {
  return static_cast<int32_t>(map->Regions.Cells().SegmentsPerSide());
}

int varnholt_get_cells(const varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                       int32_t columns, uint8_t* blocked) {
  return Guarded(
      [&] {
        const std::size_t Count = RectangleCells(map, row, column, rows, columns, blocked);
        map->Regions.Cells().GetCells({row, column}, static_cast<std::uint32_t>(rows),
                                      static_cast<std::uint32_t>(columns), {blocked, Count});
        return 0;
      },
      -1);
}

int varnholt_area_of(const varnholt_map* map, int32_t row, int32_t column) {
  const TCell Cell{row, column};
  return map->Regions.Cells().IsInside(Cell) ? AreaOf(map->Regions, Cell) : -1;
}

int varnholt_segment_areas(const varnholt_map* map, int32_t segment_row, int32_t segment_column,
                           uint8_t areas[4096]) {
  return Guarded(
      [&] {
        const std::size_t K = SegmentOf(map, segment_row, segment_column);
        TAreaMasks Masks;
        LabelAreaMasks(map->Regions.Cells().Rows(K), Masks);
        PaintAreaMap(Masks, *reinterpret_cast<TAreaSegment*>(Needed(areas, "areas")));
        return static_cast<int>(Masks.Count);
      },
      -1);
}

int varnholt_segment_regions(const varnholt_map* map, int32_t segment_row, int32_t segment_column,
                             uint16_t regions[4096]) {
  return Guarded(
      [&] {
        const std::size_t K = SegmentOf(map, segment_row, segment_column);
        return SegmentRegions(map->Regions, K,
                              std::span<std::uint16_t, 4096>(Needed(regions, "regions"), 4096));
      },
      -1);
}

int varnholt_segment_record(const varnholt_map* map, int32_t segment_row, int32_t segment_column,
                            uint8_t record[16]) {
  return Guarded(
      [&] {
        const TWaypointSegment Record =
            WaypointRecordOf(map->Regions, SegmentOf(map, segment_row, segment_column));
        std::memcpy(Needed(record, "record"), &Record, sizeof Record);
        return 0;
      },
      -1);
}

int varnholt_survey_map(const varnholt_map* map, varnholt_survey* survey, varnholt_split* splits,
                        int64_t capacity, int32_t* lost, int64_t lost_capacity) {
  return Guarded(
      [&] {
        Needed(survey, "survey");
        const auto Room = static_cast<std::size_t>(std::max<int64_t>(capacity, 0));
        if (Room > 0) Needed(splits, "splits");
        const auto LostRoom =
            lost == nullptr ? 0 : static_cast<std::size_t>(std::max<int64_t>(lost_capacity, 0));
        const TMapSurvey Result = SurveyMap(map->Regions, Room, LostRoom);
        const TMapCensus& Census = Result.Census;
        const TReachability& Reach = Result.Reachability;
        const auto Count = [](std::uint64_t Value) { return static_cast<int64_t>(Value); };
        *survey = {Count(Census.FilledOpen),        Count(Census.FilledBlocked),
                   Count(Census.Explicit),          Count(Census.AreasFound),
                   Count(Census.AreasKept),         Count(Census.SegmentsOverFour),
                   Count(Census.ErasedCells),       Count(Census.SegmentsWithArea4),
                   Count(Census.Area4Cells),        Count(Census.DownLinks),
                   Count(Census.RightLinks),        Count(Reach.GridComponents),
                   Count(Reach.AbstractComponents), Count(Reach.LostComponents),
                   Count(Reach.LostCells),          Count(Reach.SplitComponents)};
        for (std::size_t K = 0; K < Reach.Splits.size(); ++K) {
          const TMapSplit& Split = Reach.Splits[K];
          varnholt_split& Out = splits[K];
          Out = {};
          Out.parts = Count(Split.Parts);
          Out.part_count = static_cast<int32_t>(Split.PartCells.size());
          Out.erased_count = static_cast<int32_t>(Split.ErasedCells.size());
          for (std::size_t C = 0; C < Split.PartCells.size(); ++C) {
            Out.part_cells[C][0] = Split.PartCells[C].Row;
            Out.part_cells[C][1] = Split.PartCells[C].Column;
          }
          for (std::size_t C = 0; C < Split.ErasedCells.size(); ++C) {
            Out.erased_cells[C][0] = Split.ErasedCells[C].Row;
            Out.erased_cells[C][1] = Split.ErasedCells[C].Column;
          }
        }
        for (std::size_t K = 0; K < Reach.Lost.size(); ++K) {
          lost[2 * K] = Reach.Lost[K].Row;
          lost[2 * K + 1] = Reach.Lost[K].Column;
        }
        return 0;
      },
      -1);
}

int varnholt_connected(const varnholt_map* map, int32_t row0, int32_t column0, int32_t row1,
                       int32_t column1) {
  return Guarded(
      [&] {
        return AreConnected(map->Regions, CellOf(map, row0, column0), CellOf(map, row1, column1))
                   ? 1
                   : 0;
      },
      -1);
}

int64_t varnholt_find_path(const varnholt_map* map, int32_t row0, int32_t column0, int32_t row1,
                           int32_t column1, int32_t* cells, int64_t capacity) {
  return Guarded(
      [&] {
        const TCell Start = CellOf(map, row0, column0);  // the start's failure first
        const TCell Goal = CellOf(map, row1, column1);
        return Copied(FindPath(map->Regions, Start, Goal), cells, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_find_path_toward(const varnholt_map* map, int32_t row0, int32_t column0,
                                  int32_t row1, int32_t column1, int32_t* cells, int64_t capacity) {
  return Guarded(
      [&] {
        const TCell Start = CellOf(map, row0, column0);
        const TCell Goal = CellOf(map, row1, column1);
        return Copied(FindPathToward(map->Regions, Start, Goal), cells, capacity);
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
        return Copied(SmoothPath(map->Regions.Cells(), Path), corners, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_shortest_path_cells(const varnholt_map* map, int32_t row0, int32_t column0,
                                     int32_t row1, int32_t column1) {
  return Guarded(
      [&]() -> int64_t {
        const std::int64_t Steps = ShortestPathLength(map->Regions, CellOf(map, row0, column0),
                                                      CellOf(map, row1, column1));
        return Steps + 1;  // none is 0
      },
      int64_t{-1});
}

int varnholt_set_cells(varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                       int32_t columns, const uint8_t* blocked) {
  return Guarded(
      [&] {
        const std::size_t Count = RectangleCells(map, row, column, rows, columns, blocked);
        if (Count == 0) return 0;
        map->Regions.SetCells({row, column}, static_cast<std::uint32_t>(rows),
                              static_cast<std::uint32_t>(columns), {blocked, Count});
        return 0;
      },
      -1);
}

int64_t varnholt_write_memory(const varnholt_map* map, int file, void* buffer, int64_t capacity) {
  return Guarded(
      [&] {
        const varnholt_file Kind = FileKind(file, true);
        TCountingWriter Writer(buffer, capacity);
        if (Kind == VARNHOLT_FILE_WAYPOINT) {
          // The records are read off the regions: no segment needs labelling again.
          const TWaypointSegments Records = WaypointRecordsOf(map->Regions);
          WriteWaypointHeader(Writer, Records.Size());
          WriteWaypointSegments(Writer, Records.All());
        } else {
          WriteRunFile(SavedRun(map->Regions, map->Header, Kind == VARNHOLT_FILE_INFO), Kind,
                       Writer);
        }
        return Writer.Total();
      },
      int64_t{-1});
}

int varnholt_save(const varnholt_map* map, const char* level0_path) {
  return Guarded(
      [&] {
        SaveMap(map->Regions, map->Header, NeededPath(level0_path), {});
        return 0;
      },
      -1);
}

int64_t varnholt_compare_memory(const varnholt_map* map, int file, const void* data, size_t size,
                                char* difference, int64_t capacity) {
  return Guarded(
      [&] {
        if (size > 0) Needed(data, "data");
        const std::span<const std::uint8_t> Bytes(static_cast<const std::uint8_t*>(data), size);
        return Compared(
            map, file, [&](const auto& Expected) { return MapDifference(Bytes, Expected); },
            difference, capacity);
      },
      int64_t{-1});
}

int64_t varnholt_compare_file(const varnholt_map* map, int file, const char* path, char* difference,
                              int64_t capacity) {
  return Guarded(
      [&] {
        const std::string Path = NeededPath(path);
        return Compared(
            map, file, [&](const auto& Expected) { return FileDifference(Path, Expected); },
            difference, capacity);
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

int varnholt_pair_interrupted(const char* level0_path) {
  return Guarded(
      [&] {
        const TRunPaths Paths = DeriveRunPaths(Needed(level0_path, "level0_path"), PathRules());
        return IsCommitInterrupted(std::array{Paths.Info, Paths.Waypoint}) ? 1 : 0;
      },
      -1);
}

int varnholt_replace_file(const char* path, const void* data, size_t size) {
  return Guarded(
      [&] {
        TOutputFile File(NeededPath(path));
        if (size > 0) Needed(data, "data");
        if (File.Write({static_cast<const std::uint8_t*>(data), size}) != size) {
          throw Exception(VARNHOLT_ERROR_WRITE, "Error writing file");
        }
        File.Finish();
        File.Commit();
        return 0;
      },
      -1);
}

int varnholt_classify_name(const char* name) {
  if (name == nullptr) return VARNHOLT_NAME_OTHER;
  const std::string_view Name(name);
  if (IsToolName(Name, kTemporarySuffix) || IsToolName(Name, kClaimSuffix)) {
    return VARNHOLT_NAME_TEMPORARY;
  }
  return IsToolName(Name, kJournalSuffix) || IsToolName(Name, kUndoSuffix) ? VARNHOLT_NAME_JOURNAL
                                                                           : VARNHOLT_NAME_OTHER;
}

int varnholt_convert(const char* level0_path,
                     void (*report)(const char* line, int is_notice, void* context),
                     void* context) {
  return Guarded(
      [&] {
        const auto Say = [&](std::string_view Text, int IsNotice) {
          if (report != nullptr) report(std::string(Text).c_str(), IsNotice, context);
        };
        const TRunPaths Paths = DeriveRunPaths(NeededPath(level0_path), PathRules());
        ConvertMap(
            Paths.Input, Paths.Info, Paths.Waypoint, [&](std::string_view Line) { Say(Line, 0); },
            [&](std::string_view Text) { Say(Text, 1); });
        return 0;
      },
      -1);
}
