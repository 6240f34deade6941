// The C interface to maps from other tools and back: the rules by which decoded sources become
// cells and maps, and a map's Moving AI text. Each function checks its arguments and calls the
// library.
#include <cstdint>
#include <string>

#include "c/Interface.h"
#include "import/MovingAi.h"
#include "import/PixelRule.h"
#include "import/Placement.h"
#include "import/TiledRule.h"

namespace varnholt::c {
namespace {

// A count of items of PerItem bytes or values each, all of which an address can reach.
std::size_t CountOf(std::int64_t Count, const char* Name, std::size_t PerItem = 1) {
  if (Count < 0 || static_cast<std::uint64_t>(Count) > SIZE_MAX / PerItem) {
    FailArgument(std::string("Count out of range: ") + Name);
  }
  return static_cast<std::size_t>(Count);
}

}  // namespace
}  // namespace varnholt::c

using namespace varnholt;
using namespace varnholt::c;

int32_t varnholt_import_side(int64_t rows, int64_t columns) {
  return Guarded([&] { return ImportSide(rows, columns); }, std::int32_t{-1});
}

varnholt_map* varnholt_import_cells(int32_t rows, int32_t columns, const uint8_t* blocked) {
  return Guarded(
      [&] {
        ImportSide(rows, columns);
        Needed(blocked, "blocked");
        const std::size_t Count =
            static_cast<std::size_t>(rows) * static_cast<std::size_t>(columns);
        return Held(ImportCells(rows, columns, {blocked, Count}));
      },
      static_cast<varnholt_map*>(nullptr));
}

int varnholt_import_pixels(const uint8_t* rgba, int64_t count, int threshold, int dark_open,
                           uint8_t* blocked) {
  return Guarded(
      [&] {
        const TPixelRule Rule{threshold, dark_open != 0};
        CheckPixelRule(Rule);
        const std::size_t Pixels = CountOf(count, "count", 4);
        if (Pixels > 0) {
          Needed(rgba, "rgba");
          Needed(blocked, "blocked");
        }
        PixelsBlocked({rgba, 4 * Pixels}, Rule, {blocked, Pixels});
        return 0;
      },
      -1);
}

int varnholt_import_tiled(const uint32_t* gids, int64_t count, const uint32_t* first_gids,
                          int32_t tileset_count, const uint32_t* colliding, int64_t colliding_count,
                          uint8_t* blocked) {
  return Guarded(
      [&] {
        const std::size_t Tiles = CountOf(count, "count", sizeof(std::uint32_t));
        const std::size_t Tilesets = CountOf(tileset_count, "tileset_count");
        const std::size_t Pairs = CountOf(colliding_count, "colliding_count", 8);
        if (Tiles > 0) {
          Needed(gids, "gids");
          Needed(blocked, "blocked");
        }
        if (Tilesets > 0) Needed(first_gids, "first_gids");
        if (Pairs > 0) Needed(colliding, "colliding");
        const TTiledCollisions Rule({first_gids, Tilesets}, {colliding, 2 * Pairs});
        Rule.Mark({gids, Tiles}, {blocked, Tiles});
        return 0;
      },
      -1);
}

varnholt_map* varnholt_import_moving_ai(const void* text, size_t size) {
  return Guarded(
      [&] {
        if (size > 0) Needed(text, "text");
        const TSourceCells Cells = ReadMovingAi({static_cast<const char*>(text), size});
        return Held(ImportCells(Cells.Rows, Cells.Columns, Cells.Blocked));
      },
      static_cast<varnholt_map*>(nullptr));
}

int64_t varnholt_export_moving_ai(const varnholt_map* map, void* buffer, int64_t capacity) {
  return Guarded(
      [&] {
        TCountingWriter Writer(buffer, capacity);
        WriteMovingAi(map->Map.Regions.Cells(), Writer);
        return Writer.Total();
      },
      int64_t{-1});
}
