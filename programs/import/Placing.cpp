#include "Placing.h"

#include <algorithm>
#include <optional>

namespace varnholt::import {

TMap PlacedMap(const std::string& Where, std::int64_t Rows, std::int64_t Columns,
               const TFillBand& Fill) {
  std::int32_t Side = 0;
  try {
    Side = ImportSide(Rows, Columns);
  } catch (const Exception& Failure) {
    Fail(Where, Failure.what(), Failure.Status());
  }
  const auto Width = static_cast<std::int32_t>(Columns);
  std::vector<std::uint8_t> Band(static_cast<std::size_t>(kBandRows) *
                                 static_cast<std::size_t>(Width));
  std::optional<TMap> Map;
  for (std::int32_t Top = 0; Top < Rows; Top += kBandRows) {
    const std::int32_t Count =
        std::min<std::int32_t>(kBandRows, static_cast<std::int32_t>(Rows) - Top);
    const std::span<std::uint8_t> Cells(Band.data(),
                                        static_cast<std::size_t>(Count) * Band.size() / kBandRows);
    std::fill(Cells.begin(), Cells.end(), 0);
    Fill(Top, Count, Cells);
    if (!Map) Map.emplace(TMap::Create(Side, true));
    Map->SetCells({Top, 0}, Count, Width, Cells.data());
  }
  return std::move(*Map);
}

}  // namespace varnholt::import
