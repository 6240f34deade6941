#include "ImportModel.h"

#include <cmath>

namespace varnholt::model {

TLevel0Map PlacedMap(std::uint32_t Rows, std::uint32_t Columns,
                     const std::function<bool(std::uint32_t, std::uint32_t)>& Blocked) {
  std::uint32_t Exponent = 0;
  while ((64u << Exponent) < Rows || (64u << Exponent) < Columns) ++Exponent;
  TLevel0Map Map = OpenMap(Exponent);
  for (std::uint32_t R = 0; R < Map.CellsPerSide(); ++R) {
    for (std::uint32_t C = 0; C < Map.CellsPerSide(); ++C) {
      Map.SetBlocked(R, C, R >= Rows || C >= Columns || Blocked(R, C));
    }
  }
  return Map;
}

double Lightness(std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue) {
  return (0.2126 * Red + 0.7152 * Green + 0.0722 * Blue) / 255.0;
}

bool PixelOpen(std::uint8_t Red, std::uint8_t Green, std::uint8_t Blue, std::uint8_t Alpha,
               int Threshold, bool DarkOpen, bool* Clear) {
  const double Light = Lightness(Red, Green, Blue);
  const double Wanted = DarkOpen ? 1.0 - Threshold / 100.0 : Threshold / 100.0;
  if (Clear != nullptr) *Clear = std::fabs(Light - Wanted) > 1e-6 || Alpha < 128;
  if (Alpha * 2 < 255) return false;
  return DarkOpen ? Light <= Wanted : Light >= Wanted;
}

}  // namespace varnholt::model
