// Shared declarations: the per-segment element types, the segment-record tags, the failure type,
// the segment grid and the byte streams the map files are read from and written to.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <varnholt/exception.hpp>
#include <varnholt/types.hpp>

#include "platform/Memory.h"
#include "platform/Streams.h"

namespace varnholt {

inline constexpr int kSegmentSide = 64;  // cells per side of a segment
inline constexpr int kInfoSide = 32;     // info values per side of a segment (one per 2x2 block)

// A level-0 segment: 64 rows of 8 bytes; cell (r, c) is bit c % 8 of byte r * 8 + c / 8, 1 =
// blocked.
using TSegment = std::array<std::uint8_t, 512>;
// The same as one word per row, the form the analysis works on: bit c of word r is cell (r, c).
using TSegmentRows = std::array<std::uint64_t, kSegmentSide>;
// An area map: cell (r, c) at byte r * 64 + c; 0 = no area, 1 ... 4 = area number (1 the largest).
using TAreaSegment = std::array<std::uint8_t, 4096>;
// Info values: value (r, c) at byte r * 32 + c; 0, 1, 2 name areas 1, 2, 3 and 3 means none.
using TInfoSegment = std::array<std::uint8_t, 1024>;
// The same packed, one word per row of values: value (r, c) in bits 2c and 2c + 1 of word r.
using TInfoRows = std::array<std::uint64_t, kInfoSide>;

// One record of the waypoint map, byte for byte as stored in the file. The link words are kept as
// their two little-endian bytes so that the layout never depends on the host.
struct TWaypointSegment {
  std::array<std::uint8_t, 2> DownLinks{};              // toward segment (i + 1, j)
  std::array<std::uint8_t, 2> RightLinks{};             // toward segment (i, j + 1)
  std::array<std::array<std::uint8_t, 2>, 4> Points{};  // per area: column, row
  std::uint8_t AreaMask = 0;                            // bit A + 3 for each area A present
  std::array<std::uint8_t, 3> Reserved{};
};
static_assert(sizeof(TWaypointSegment) == 16, "a waypoint record is 16 bytes on disk");

// Segment-record tags of the level-0 and info maps.
inline constexpr std::int32_t segFilledLow = 0;   // every cell open / every info value 0
inline constexpr std::int32_t segFilledHigh = 1;  // every cell blocked / every info value 3
inline constexpr std::int32_t segExplicit = -1;   // a payload follows

// The one failure type, Exception, and the one cell type, TCell, are those of the C++ interface
// (<varnholt/exception.hpp>, <varnholt/types.hpp>): a failure carries its message and its status
// up to the C interface, which turns it into a return value.

// An N x N grid of segment elements addressed [i][j]: i the segment row, j the segment column.
// Elements start as all zero bytes.
template <typename T>
class TGrid {
 public:
  TGrid() = default;
  explicit TGrid(std::uint32_t N)
      : Side(N), Elements(static_cast<T*>(AllocateZeroedGrid(N, sizeof(T)))) {}

  std::uint32_t Size() const { return Side; }
  std::span<T> operator[](std::size_t I) { return {Elements.get() + I * Side, Side}; }
  std::span<const T> operator[](std::size_t I) const { return {Elements.get() + I * Side, Side}; }
  std::span<T> All() { return {Elements.get(), std::size_t{Side} * Side}; }
  std::span<const T> All() const { return {Elements.get(), std::size_t{Side} * Side}; }

 private:
  std::uint32_t Side = 0;
  std::unique_ptr<T, TFreeMemory> Elements;
};

// The neighbours of segment K in a grid of N x N segments counted in grid order: the segment
// above is K - N, below K + N, to the left K - 1 and to the right K + 1.
enum TDirection { kUp, kDown, kLeft, kRight };
inline bool HasSegmentBeside(std::size_t K, std::size_t N, TDirection Direction) {
  switch (Direction) {
    case kUp:
      return K >= N;
    case kDown:
      return K + N < N * N;
    case kLeft:
      return K % N != 0;
    case kRight:
      return (K + 1) % N != 0;
  }
  return false;
}
// The segment beside K, which HasSegmentBeside says is there.
inline std::size_t SegmentBeside(std::size_t K, std::size_t N, TDirection Direction) {
  return Direction == kUp ? K - N : Direction == kDown ? K + N : Direction == kLeft ? K - 1 : K + 1;
}

}  // namespace varnholt
