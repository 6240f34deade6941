#include "import/PixelRule.h"

#include <varnholt/exception.hpp>

#include <string>

namespace varnholt {
namespace {

constexpr std::int64_t kPercentOfWhite = 25500;  // 2,550,000 / 100

}  // namespace

void CheckPixelRule(const TPixelRule& Rule) {
  if (Rule.Threshold < 0 || Rule.Threshold > 100) {
    throw Exception(VARNHOLT_ERROR_ARGUMENT,
                    "Threshold outside 0 to 100: " + std::to_string(Rule.Threshold));
  }
}

bool IsOpenPixel(std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue, std::uint8_t Alpha,
                 const TPixelRule& Rule) {
  if (Alpha < 128) return false;
  const std::int64_t Luma =
      2126 * std::int64_t{Red} + 7152 * std::int64_t{Green} + 722 * std::int64_t{Blue};
  return Rule.DarkOpen ? Luma <= (100 - Rule.Threshold) * kPercentOfWhite
                       : Luma >= Rule.Threshold * kPercentOfWhite;
}

void PixelsBlocked(std::span<const std::uint8_t> Rgba, const TPixelRule& Rule,
                   std::span<std::uint8_t> Blocked) {
  for (std::size_t K = 0; K < Blocked.size(); ++K) {
    const std::uint8_t* Pixel = &Rgba[4 * K];
    Blocked[K] = IsOpenPixel(Pixel[0], Pixel[1], Pixel[2], Pixel[3], Rule) ? 0 : 1;
  }
}

}  // namespace varnholt
