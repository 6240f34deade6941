// Deterministic level-0 maps for the sample, the tests and the benchmarks: the same arguments
// give the same bytes on every machine. The files are made by the library itself, from a new map
// whose cells are set: this module knows no byte of the file layout.
#pragma once

#include <cstdint>
#include <vector>

#include "Random.h"

namespace varnholt {

// A square of cells, 64 x 2^Exponent a side, as a bitmap: bit c of word Row * Words + c / 64 is
// cell (Row, c), set where blocked.
struct TLevel0Map {
  std::uint32_t Exponent = 0;
  std::vector<std::uint64_t> Words;

  std::uint32_t SegmentsPerSide() const { return std::uint32_t{1} << Exponent; }
  std::uint32_t CellsPerSide() const { return SegmentsPerSide() * 64; }
  bool IsBlocked(std::uint32_t Row, std::uint32_t Column) const;
  void SetBlocked(std::uint32_t Row, std::uint32_t Column, bool Blocked);
  // Every cell of a rectangle, or of segment K (counted in grid order), open or blocked.
  void Fill(std::uint32_t Row, std::uint32_t Column, std::uint32_t Rows, std::uint32_t Columns,
            bool Blocked);
  void FillSegment(std::size_t K, bool Blocked);
};

// An all-open map of 2^Exponent x 2^Exponent segments.
TLevel0Map OpenMap(std::uint32_t Exponent);

// Smooth terrain: open land, water, cliffs along contour lines, peaks, and roads and bridges
// crossing it in a coarse grid. Large stretches of land and water make filled segments.
TLevel0Map TerrainMap(std::uint32_t Exponent, std::uint64_t Seed);

// The same terrain as real maps have it: ragged shores, where about 30 % of the cells along the
// waterline are blocked at random, and trees, 3 % of the land blocked in single cells.
TLevel0Map RoughTerrainMap(std::uint32_t Exponent, std::uint64_t Seed);

// Every cell blocked with probability Percent / 100, independently.
TLevel0Map NoiseMap(std::uint32_t Exponent, unsigned Percent, std::uint64_t Seed);

// A maze with a single path between any two of its places: corridors Width cells wide between
// walls one cell thick, dug by a randomised depth-first walk. Most segments hold many pieces of
// corridor, so most of its areas are erased ones.
TLevel0Map MazeMap(std::uint32_t Exponent, std::uint64_t Seed, std::uint32_t Width = 3);

// Maps of the kinds games have, for the quality of paths. Rooms: 8 x 8 rooms of irregular sizes
// behind walls two cells thick, most walls with a door at a random place, furniture inside.
TLevel0Map RoomMap(std::uint32_t Exponent, std::uint64_t Seed);
// Caves: the cellular automaton of cave games, 45 % rock smoothed five times; slow beyond 4096.
TLevel0Map CaveMap(std::uint32_t Exponent, std::uint64_t Seed);
// An archipelago: islands in water, some joined by causeways two cells wide.
TLevel0Map IslandMap(std::uint32_t Exponent, std::uint64_t Seed);
// A city: streets 4 to 10 cells wide between blocks, some squares and parks with trees, some
// stretches of street closed.
TLevel0Map CityMap(std::uint32_t Exponent, std::uint64_t Seed);

// The level-0 map file, as the library writes a new map with these cells: the header, then one
// record per segment, filled records where a segment is uniform. Throws varnholt::Exception.
std::vector<std::uint8_t> EncodeLevel0Map(const TLevel0Map& Map);

}  // namespace varnholt
