// Which pixels of a picture are open cells. Pictures come in many colour types and depths; the rule
// is defined on 8-bit red, green, blue and alpha, as a browser decodes any PNG, so that a picture
// gives the same cells wherever it is decoded (16-bit samples by their high byte, no gamma or
// colour profile applied).
//
// Lightness is the Rec. 709 luma of the samples as stored, in integers:
//   L = 2126 R + 7152 G + 722 B, from 0 (black) to 2,550,000 (white);
// the weights add up to 10,000, so a grey pixel of value v has L = 10,000 v exactly. A pixel is
// open when it is opaque (A >= 128, at least half) and light enough: L >= Threshold x 25,500, at
// least Threshold percent of white (50 by default). With DarkOpen the dark pixels are the open
// ones: L <= (100 - Threshold) x 25,500, at least Threshold percent dark. Transparent pixels are
// blocked either way.
#pragma once

#include <cstdint>
#include <span>

namespace varnholt {

struct TPixelRule {
  int Threshold = 50;  // percent, 0 to 100
  bool DarkOpen = false;
};

// Fails with VARNHOLT_ERROR_ARGUMENT for a threshold outside 0 to 100.
void CheckPixelRule(const TPixelRule& Rule);

bool IsOpenPixel(std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue, std::uint8_t Alpha,
                 const TPixelRule& Rule);

// One byte per pixel of Rgba (four bytes a pixel) into Blocked: 1 blocked, 0 open.
void PixelsBlocked(std::span<const std::uint8_t> Rgba, const TPixelRule& Rule,
                   std::span<std::uint8_t> Blocked);

}  // namespace varnholt
