// The plain values that the C++ interface shares with the library beneath it: a cell of a map,
// how a cell is named in words, and which bit of a waypoint record's link word a link is.
#ifndef VARNHOLT_TYPES_HPP
#define VARNHOLT_TYPES_HPP

#include <cstdint>
#include <string>

namespace varnholt {

// A cell of a map: its row and column.
struct TCell {
  std::int32_t Row = 0;
  std::int32_t Column = 0;
  friend bool operator==(const TCell& A, const TCell& B) {
    return A.Row == B.Row && A.Column == B.Column;
  }
};

// "ROW, COLUMN": how the library's failures and the programs' reports name a cell.
inline std::string CellText(TCell Cell) {
  return std::to_string(Cell.Row) + ", " + std::to_string(Cell.Column);
}

// The link bits of a waypoint record: area A (1 to 4) of a segment touching area B of its
// neighbour below (or to the right) is bit LinkBit(A, B) of the word its two down (or right) link
// bytes make, low byte first.
constexpr unsigned LinkBit(unsigned A, unsigned B) {
  return 4 * (A - 1) + (B - 1);
}

}  // namespace varnholt

#endif  // VARNHOLT_TYPES_HPP
