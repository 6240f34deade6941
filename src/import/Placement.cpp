#include "import/Placement.h"

#include <string>

namespace varnholt {

std::int32_t ImportSide(std::int64_t Rows, std::int64_t Columns) {
  const std::string Size = std::to_string(Rows) + " x " + std::to_string(Columns) + " cells";
  if (Rows < 1 || Columns < 1) throw Exception(VARNHOLT_ERROR_SIZE, "Empty source: " + Size);
  if (Rows > kMaxImportSide || Columns > kMaxImportSide) {
    throw Exception(VARNHOLT_ERROR_SIZE, "Source too large: " + Size + ", at most " +
                                             std::to_string(kMaxImportSide) + " a side");
  }
  std::int32_t Side = kSegmentSide;
  while (Side < Rows || Side < Columns) Side *= 2;
  return Side;
}

TAnalysedMap ImportCells(std::int32_t Rows, std::int32_t Columns,
                         std::span<const std::uint8_t> Blocked) {
  TAnalysedMap Map = CreateMap(ImportSide(Rows, Columns), true);
  Map.Regions.SetCells(
      {0, 0}, static_cast<std::uint32_t>(Rows), static_cast<std::uint32_t>(Columns),
      Blocked.first(static_cast<std::size_t>(Rows) * static_cast<std::size_t>(Columns)));
  return Map;
}

}  // namespace varnholt
