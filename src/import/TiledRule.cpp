#include "import/TiledRule.h"

#include <varnholt/exception.hpp>

#include <algorithm>
#include <string>

namespace varnholt {

TTiledCollisions::TTiledCollisions(std::span<const std::uint32_t> First,
                                   std::span<const std::uint32_t> Colliding)
    : FirstGids(First.begin(), First.end()) {
  for (std::size_t K = 0; K < FirstGids.size(); ++K) {
    const bool Rising = K == 0 ? FirstGids[K] >= 1 : FirstGids[K] > FirstGids[K - 1];
    if (!Rising || (FirstGids[K] & kTiledFlagBits) != 0) {
      throw Exception(VARNHOLT_ERROR_ARGUMENT, "First gids not ascending from 1: tileset " +
                                                   std::to_string(K) + " at " +
                                                   std::to_string(FirstGids[K]));
    }
  }
  for (std::size_t K = 0; K + 1 < Colliding.size(); K += 2) {
    const std::uint32_t Tileset = Colliding[K], Local = Colliding[K + 1];
    if (Tileset >= FirstGids.size() || Local >= kTiledFlagBits) {
      throw Exception(VARNHOLT_ERROR_ARGUMENT, "No such tile: tileset " + std::to_string(Tileset) +
                                                   ", tile " + std::to_string(Local));
    }
    Tiles.push_back(std::uint64_t{Tileset} << 32 | Local);
  }
  std::sort(Tiles.begin(), Tiles.end());
}

bool TTiledCollisions::Collides(std::uint32_t Gid) const {
  const std::uint32_t Tile = Gid & ~kTiledFlagBits;
  const auto After = std::upper_bound(FirstGids.begin(), FirstGids.end(), Tile);
  if (Tile == 0 || After == FirstGids.begin()) return false;
  const auto Tileset = static_cast<std::size_t>(After - FirstGids.begin() - 1);
  const std::uint32_t Local = Tile - FirstGids[Tileset];
  return std::binary_search(Tiles.begin(), Tiles.end(), std::uint64_t{Tileset} << 32 | Local);
}

void TTiledCollisions::Mark(std::span<const std::uint32_t> Gids,
                            std::span<std::uint8_t> Blocked) const {
  for (std::size_t K = 0; K < Gids.size(); ++K) {
    if (Collides(Gids[K])) Blocked[K] = 1;
  }
}

}  // namespace varnholt
