// Which tiles of a Tiled map block a cell. A tile layer holds global tile ids (gids); the top four
// bits of a gid are flip and rotation flags, cleared first; 0 is an empty cell. A gid belongs to
// the tileset with the largest first gid not above it, as the local tile id gid - first gid. A cell
// is blocked when, in any tile layer, its tile has the boolean property "collides" set true in its
// tileset; gids that name no tileset, or a tile without that property, leave it as it is.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace varnholt {

inline constexpr std::uint32_t kTiledFlagBits = 0xF0000000u;

// The tilesets of a map: each one's first gid, ascending, and the local ids of its tiles that
// collide.
class TTiledCollisions {
 public:
  // FirstGids ascending from 1 up; Colliding as pairs of a tileset's index and a local tile id.
  // Fails with VARNHOLT_ERROR_ARGUMENT where they are not.
  TTiledCollisions(std::span<const std::uint32_t> FirstGids,
                   std::span<const std::uint32_t> Colliding);
  bool Collides(std::uint32_t Gid) const;
  // Sets Blocked[k] to 1 where Gids[k] collides, leaving the others as they are.
  void Mark(std::span<const std::uint32_t> Gids, std::span<std::uint8_t> Blocked) const;

 private:
  std::vector<std::uint32_t> FirstGids;
  std::vector<std::uint64_t> Tiles;  // the tiles that collide, tileset << 32 | local id, sorted
};

}  // namespace varnholt
