#include "UTypes.h"

namespace varnholt {

void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize) {
  // A grid row must stay below 2^31 bytes, as a signed 32-bit byte count would.
  if (std::uint64_t{N} * ElementSize >= (std::uint64_t{1} << 31))
    throw Exception("Range check error");
  if (N == 0) return nullptr;
  // calloc takes fresh pages from the system for large blocks, already zero and not yet touched.
  void* Elements = std::calloc(std::size_t{N} * N, ElementSize);
  if (Elements == nullptr) throw Exception("Out of memory");
  return Elements;
}

}  // namespace varnholt
