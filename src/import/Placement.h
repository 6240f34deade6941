// Where a source from another tool lands on a level-0 map: its first row and column at cell (0, 0),
// on the smallest map a header can describe that holds it, every cell beyond it blocked. Every
// importer places its cells here, so that a map comes out the same whatever it was drawn in.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "map/AnalysedMap.h"

namespace varnholt {

// The largest source taken, in cells a side: a map of 1024 x 1024 segments. A larger one would
// only fail later, for want of memory, once a declared size had been believed.
inline constexpr std::int64_t kMaxImportSide = 65536;

// The side of the map a source of Rows x Columns cells is placed on: the smallest 64 x 2^k that
// holds both. Fails with VARNHOLT_ERROR_SIZE for an empty source ("Empty source: 0 x 5 cells") or
// one wider or taller than kMaxImportSide ("Source too large: ...").
std::int32_t ImportSide(std::int64_t Rows, std::int64_t Columns);

// A source's cells: Rows x Columns bytes, row by row, 0 open and anything else blocked.
struct TSourceCells {
  std::int32_t Rows = 0;
  std::int32_t Columns = 0;
  std::vector<std::uint8_t> Blocked;
};

// A new map holding the source, made as a new blocked map whose cells are then set, so that its
// level-0 file is the one varnholt_create, varnholt_set_cells and varnholt_write_memory give.
// Blocked holds Rows x Columns bytes.
TAnalysedMap ImportCells(std::int32_t Rows, std::int32_t Columns,
                         std::span<const std::uint8_t> Blocked);

}  // namespace varnholt
