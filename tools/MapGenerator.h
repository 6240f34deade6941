// Deterministic level-0 maps for the sample, the tests and the benchmarks: the same arguments
// give the same bytes on every machine.
#pragma once

#include <cstdint>
#include <vector>

#include "UTypes.h"

namespace varnholt {

struct TLevel0Map {
  std::uint32_t Exponent = 0;      // 2^Exponent segments per side
  std::vector<TSegment> Segments;  // grid order: segment row outer, segment column inner

  std::uint32_t SegmentsPerSide() const { return std::uint32_t{1} << Exponent; }
  void SetBlocked(std::uint32_t Row, std::uint32_t Column, bool Blocked);
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

// A maze with a single path between any two of its places: corridors three cells wide between
// walls one cell thick, dug by a randomised depth-first walk. Most segments hold many pieces of
// corridor, so most of its areas are erased ones.
TLevel0Map MazeMap(std::uint32_t Exponent, std::uint64_t Seed);

// The file bytes: header, then one record per segment, filled records where a segment is uniform.
std::vector<std::uint8_t> EncodeLevel0Map(const TLevel0Map& Map);

// A small, fast generator of pseudo-random words (splitmix64).
class TRandom {
 public:
  explicit TRandom(std::uint64_t Seed) : State(Seed) {}
  std::uint64_t Next();
  // True with probability Percent / 100.
  bool Chance(unsigned Percent) { return Next() % 100 < Percent; }

 private:
  std::uint64_t State;
};

}  // namespace varnholt
