// Memory taken straight from the system, zeroed and not touched until used, so that a header
// claiming a huge map fails at once instead of exhausting the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace varnholt {

// Fails with "Range check error" when one row of N elements of ElementSize bytes reaches 2^31
// bytes, as a signed 32-bit byte count would: maps that large cannot be held at all.
void CheckGridRow(std::uint64_t N, std::size_t ElementSize);
// N x N zeroed elements of ElementSize bytes, after CheckGridRow; fails with "Out of memory" when
// the system refuses the memory.
void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize);
// Zeroed bytes, at least one; fails with "Out of memory".
void* AllocateZeroedBytes(std::size_t Bytes);

// Makes room for Extra more elements, growing by half at least: an editor that paints place after
// place must not copy every segment edited so far on each edit.
template <typename T>
void ReserveMore(std::vector<T>& List, std::size_t Extra) {
  if (List.capacity() - List.size() >= Extra) return;
  const std::size_t Grown = List.capacity() + List.capacity() / 2;
  List.reserve(List.size() + Extra > Grown ? List.size() + Extra : Grown);
}

struct TFreeMemory {
  void operator()(void* Pointer) const { std::free(Pointer); }
};

}  // namespace varnholt
