// Plain models of the rules by which maps come in from other tools, for the tests to compare the
// library and the importer against: where a source lands, and which pixels are open, worked out
// the long way.
#pragma once

#include <cstdint>
#include <functional>

#include "MapGenerator.h"

namespace varnholt::model {

// A source of Rows x Columns cells, Blocked(row, column), placed at (0, 0) of the smallest square
// of 64 x 2^k cells holding it, every other cell blocked.
TLevel0Map PlacedMap(std::uint32_t Rows, std::uint32_t Columns,
                     const std::function<bool(std::uint32_t, std::uint32_t)>& Blocked);

// How light a pixel is, as a fraction of white, by Rec. 709's weights in real numbers.
double Lightness(std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue);

// Whether a pixel is open: opaque (alpha at least half of 255, rounded up) and at least Threshold
// percent light, or with DarkOpen at least Threshold percent dark. Clear when the pixel's
// lightness is not within a millionth of the threshold; Clear is false otherwise.
bool PixelOpen(std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue, std::uint8_t Alpha,
               int Threshold, bool DarkOpen, bool* Clear = nullptr);

}  // namespace varnholt::model
