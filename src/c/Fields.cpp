// The C interface to fields toward a goal. Each function checks its arguments and calls the field.
#include <algorithm>
#include <string>
#include <vector>

#include "c/Interface.h"
#include "paths/Field.h"

struct varnholt_field {
  varnholt_field(const varnholt::TRegionMap& Map, varnholt::TCell Goal) : Field(Map, Goal) {}
  varnholt::TGoalField Field;
};

namespace varnholt::c {
namespace {

// An open cell of the field's map.
TCell OpenCell(const TRegionMap& Map, std::int32_t Row, std::int32_t Column) {
  const TCell Cell{Row, Column};
  if (!Map.Cells().IsInside(Cell)) FailArgument("Cell outside the map: " + CellText(Cell));
  if (!Map.Cells().IsOpen(Cell)) FailArgument("Cell blocked: " + CellText(Cell));
  return Cell;
}

}  // namespace
}  // namespace varnholt::c

using namespace varnholt;
using namespace varnholt::c;

varnholt_field* varnholt_field_create(const varnholt_map* map, int32_t goal_row,
                                      int32_t goal_column) {
  return Guarded(
      [&] {
        const TRegionMap& Map = Needed(map, "map")->Map.Regions;
        return new varnholt_field(Map, OpenCell(Map, goal_row, goal_column));
      },
      static_cast<varnholt_field*>(nullptr));
}

int varnholt_field_next(varnholt_field* field, int32_t row, int32_t column, int32_t next[2]) {
  return Guarded(
      [&] {
        const TGoalField& Field = Needed(field, "field")->Field;
        const TCell Cell = OpenCell(Field.Map(), row, column);
        Needed(next, "next");
        TCell To;
        if (!Field.Next(Cell, To)) return 0;
        next[0] = To.Row;
        next[1] = To.Column;
        return 1;
      },
      -1);
}

int64_t varnholt_field_distance(varnholt_field* field, int32_t row, int32_t column) {
  return Guarded(
      [&] {
        const TGoalField& Field = Needed(field, "field")->Field;
        return Field.Distance(OpenCell(Field.Map(), row, column));
      },
      int64_t{-1});
}

int64_t varnholt_field_path(varnholt_field* field, int32_t row, int32_t column, int32_t* cells,
                            int64_t capacity) {
  return Guarded(
      [&] {
        const TGoalField& Field = Needed(field, "field")->Field;
        return Copied(Field.Path(OpenCell(Field.Map(), row, column)), cells, capacity);
      },
      int64_t{-1});
}

void varnholt_field_close(varnholt_field* field) {
  delete field;
}
