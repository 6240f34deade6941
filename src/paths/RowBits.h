// Runs of cells in a row of a segment, as one 64-bit word: bit c is column c.
#pragma once

#include <cstdint>

namespace varnholt {

// Every cell of Domain that a run of Domain's cells leads to from a seed towards higher bits
// (right): the carry of adding the seeds runs up to the end of each run. Subsequent seeds in a
// run leave a gap in the carry, which the seeds themselves fill.
inline std::uint64_t FillRight(std::uint64_t Seeds, std::uint64_t Domain) {
  return (((Domain + Seeds) ^ Domain) | Seeds) & Domain;
}

// The same towards lower bits (left), by doubling steps within runs.
inline std::uint64_t FillLeft(std::uint64_t Seeds, std::uint64_t Domain) {
  for (int Shift = 1; Shift < 64; Shift *= 2) {
    Seeds |= (Seeds >> Shift) & Domain;
    Domain &= Domain >> Shift;
  }
  return Seeds;
}

// The cells of Domain one step sideways from Cells.
inline std::uint64_t Beside(std::uint64_t Cells, std::uint64_t Domain) {
  return ((Cells << 1) | (Cells >> 1)) & Domain;
}

}  // namespace varnholt
