// The C interface: every failure is caught here, once, and becomes a return value and the text of
// varnholt_error() on the calling thread. The shared library's build defines VARNHOLT_BUILDING,
// so that it exports these functions and nothing else.
#include <varnholt/varnholt.h>

#include <algorithm>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

#include "MapCheck.h"
#include "PathSearch.h"
#include "Regions.h"
#include "Varnholt.h"

struct varnholt_map {
  varnholt::TRegionMap Regions;
  varnholt::TMapHeader Header;  // as read, for saving
};

namespace varnholt {
namespace {

thread_local std::string LastFailure;

// Runs Action; on a failure keeps its message for varnholt_error() and returns Failed.
template <typename F, typename R>
R Guarded(F Action, R Failed) {
  try {
    return Action();
  } catch (const Exception& Failure) {
    LastFailure = Failure.what();
  } catch (const std::bad_alloc&) {
    LastFailure = "Out of memory";
  } catch (const std::length_error&) {
    LastFailure = "Out of memory";  // a container asked for more than it can ever hold
  } catch (const std::exception& Failure) {
    LastFailure = Failure.what();
  }
  return Failed;
}

// The first difference between the pair beside the map and what the converter makes of it.
void CheckPair(const std::string& Level0Path, const TMapRun& Run) {
  const TRunPaths Paths = DeriveRunPaths(Level0Path, PathRules());
  std::string Difference = InfoMapDifference(Paths.Info, Run.InfoMap);
  if (!Difference.empty()) throw Exception(Paths.Info + " does not match: " + Difference);
  Difference = WaypointMapDifference(Paths.Waypoint, Run.Waypoints);
  if (!Difference.empty()) throw Exception(Paths.Waypoint + " does not match: " + Difference);
}

varnholt_map* OpenMap(const char* Level0Path, bool Check) {
  if (Level0Path == nullptr) throw Exception("Error opening file: ");
  TMapRun Run = LoadMap(Level0Path);
  auto Map = std::make_unique<varnholt_map>();
  Map->Header = Run.Header;
  Map->Regions = AnalyseRegions(Run);
  if (Check) CheckPair(Level0Path, Run);
  return Map.release();
}

// The cell at Row, Column; none outside the map, negative coordinates included.
std::optional<TMapCell> CellAt(const varnholt_map* Map, std::int32_t Row, std::int32_t Column) {
  const TMapCell Cell{static_cast<std::uint32_t>(Row), static_cast<std::uint32_t>(Column)};
  if (Row < 0 || Column < 0 || !Map->Regions.Cells().IsInside(Cell)) return std::nullopt;
  return Cell;
}

TMapCell CellOf(const varnholt_map* Map, std::int32_t Row, std::int32_t Column) {
  const std::optional<TMapCell> Cell = CellAt(Map, Row, Column);
  if (!Cell) {
    throw Exception("Cell outside the map: " + std::to_string(Row) + ", " + std::to_string(Column));
  }
  return *Cell;
}

}  // namespace
}  // namespace varnholt

using namespace varnholt;

varnholt_map* varnholt_analyse(const char* level0_path) {
  return Guarded([&] { return OpenMap(level0_path, false); }, static_cast<varnholt_map*>(nullptr));
}

varnholt_map* varnholt_open(const char* level0_path) {
  return Guarded([&] { return OpenMap(level0_path, true); }, static_cast<varnholt_map*>(nullptr));
}

void varnholt_close(varnholt_map* map) {
  delete map;
}

const char* varnholt_error(void) {
  return LastFailure.c_str();
}

int32_t varnholt_cells_per_side(const varnholt_map* map) {
  return static_cast<int32_t>(map->Regions.Cells().CellsPerSide());
}

int varnholt_area_of(const varnholt_map* map, int32_t row, int32_t column) {
  const std::optional<TMapCell> Cell = CellAt(map, row, column);
  return Cell ? AreaOf(map->Regions, *Cell) : -1;
}

int64_t varnholt_find_path(const varnholt_map* map, int32_t row0, int32_t column0, int32_t row1,
                           int32_t column1, int32_t* cells, int64_t capacity) {
  return Guarded(
      [&]() -> int64_t {
        const TMapCell Start = CellOf(map, row0, column0);  // the start's failure first
        const TMapCell Goal = CellOf(map, row1, column1);
        const std::vector<TMapCell> Path = FindPath(map->Regions, Start, Goal);
        const auto Written = static_cast<std::size_t>(
            std::clamp<int64_t>(capacity, 0, static_cast<int64_t>(Path.size())));
        for (std::size_t K = 0; K < Written; ++K) {
          cells[2 * K] = static_cast<int32_t>(Path[K].Row);
          cells[2 * K + 1] = static_cast<int32_t>(Path[K].Column);
        }
        return static_cast<int64_t>(Path.size());
      },
      int64_t{-1});
}

int varnholt_set_cells(varnholt_map* map, int32_t row, int32_t column, int32_t rows,
                       int32_t columns, const uint8_t* blocked) {
  return Guarded(
      [&] {
        const std::int64_t Side = map->Regions.Cells().CellsPerSide();
        if (row < 0 || column < 0 || rows < 0 || columns < 0 || row + std::int64_t{rows} > Side ||
            column + std::int64_t{columns} > Side) {
          throw Exception("Cells outside the map: " + std::to_string(row) + ", " +
                          std::to_string(column) + ", " + std::to_string(rows) + " x " +
                          std::to_string(columns));
        }
        const std::size_t Count =
            static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
        if (Count == 0) return 0;
        map->Regions.SetCells({static_cast<std::uint32_t>(row), static_cast<std::uint32_t>(column)},
                              static_cast<std::uint32_t>(rows), static_cast<std::uint32_t>(columns),
                              {blocked, Count});
        return 0;
      },
      -1);
}

int varnholt_save(const varnholt_map* map, const char* level0_path) {
  return Guarded(
      [&] {
        if (level0_path == nullptr) throw Exception("Error opening file: ");
        SaveMap(map->Regions, map->Header, level0_path, {});
        return 0;
      },
      -1);
}
