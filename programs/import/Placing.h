// A map made of a source a band of rows at a time, as the library places every source: a new map,
// blocked, of varnholt_import_side's side, whose cells are then set from the source. Bands keep a
// large picture from being held whole, and the map is made only once the first band is read, so
// that a file which declares a huge size but holds little fails before memory is taken for it.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

#include "Sources.h"

namespace varnholt::import {

inline constexpr std::int32_t kBandRows = 64;

// Writes the cells of rows Top to Top + Rows - 1 of the source, Columns bytes a row, 1 blocked and
// 0 open, to Band, which arrives zeroed. Called for the bands in order, top to bottom.
using TFillBand =
    std::function<void(std::int32_t Top, std::int32_t Rows, std::span<std::uint8_t> Band)>;

// Where: the source, for the failure of a size no map holds ("maps/x.png: Source too large: ...").
TMap PlacedMap(const std::string& Where, std::int64_t Rows, std::int64_t Columns,
               const TFillBand& Fill);

}  // namespace varnholt::import
