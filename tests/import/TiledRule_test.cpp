// Which Tiled tiles block a cell: flip bits cleared, each gid resolved to the tileset with the
// largest first gid not above it, empty cells and unknown tiles left alone, layers adding up; and
// tilesets that cannot be.
#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include "TestSupport.h"

namespace varnholt::test {
namespace {

// Three tilesets: gids 1-9, 10-19 and 20 up. Local tile 3 of the first, 0 of the second and 5 of
// the third collide.
const TTiledTilesets kTilesets{{1, 10, 20}, {0, 3, 1, 0, 2, 5}};

TBytes Marked(const std::vector<std::uint32_t>& Gids, TBytes Blocked = {}) {
  Blocked.resize(Gids.size());
  ImportTiled(Gids, kTilesets, Blocked.data());
  return Blocked;
}

TEST(TiledRuleTest, AGidCollidesAsItsTilesetsTileDoes) {
  EXPECT_EQ(Marked({0, 4, 10, 25, 3, 13, 11, 24, 26, 1000}),
            TBytes({0, 1, 1, 1, 0, 0, 0, 0, 0, 0}));
  // Every flip and rotation bit is cleared first: 0x0000000A is gid 10 however it is turned.
  for (const std::uint32_t Flags :
       {0x80000000u, 0x40000000u, 0x20000000u, 0x10000000u, 0xF0000000u}) {
    EXPECT_EQ(Marked({Flags | 10, Flags | 11, Flags}), TBytes({1, 0, 0})) << Flags;
  }
  // A later layer blocks more cells and opens none.
  EXPECT_EQ(Marked({0, 4, 0}, {1, 0, 0}), TBytes({1, 1, 0}));
  // Gids below the first tileset name no tile.
  TBytes Blocked(2);
  ImportTiled({2, 5}, {{5}, {0, 0}}, Blocked.data());
  EXPECT_EQ(Blocked, TBytes({0, 1}));
}

TEST(TiledRuleTest, TilesetsThatCannotBe) {
  const struct {
    TTiledTilesets Tilesets;
    const char* Failure;
  } Cases[] = {{{{0, 10}, {}}, "First gids not ascending from 1: tileset 0 at 0"},
               {{{1, 10, 10}, {}}, "First gids not ascending from 1: tileset 2 at 10"},
               {{{1, 0x10000000}, {}}, "First gids not ascending from 1: tileset 1 at 268435456"},
               {{{1, 10}, {2, 0}}, "No such tile: tileset 2, tile 0"}};
  for (const auto& Case : Cases) {
    TBytes Blocked(1);
    EXPECT_EQ(FailureOf([&] { ImportTiled({1}, Case.Tilesets, Blocked.data()); }), Case.Failure);
    EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_ARGUMENT);
  }
}

}  // namespace
}  // namespace varnholt::test
