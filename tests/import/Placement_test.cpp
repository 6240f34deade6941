// Where a source lands: the side of its map, and the map's file, against the plain model of the
// placement and the generator's encoding, for sources of every shape about segment borders.
#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include "ImportModel.h"
#include "MapGenerator.h"
#include "TestSupport.h"

namespace varnholt::test {
namespace {

TEST(PlacementTest, TheSideIsTheSmallestThatHoldsTheSource) {
  const struct {
    std::int64_t Rows, Columns;
    std::int32_t Side;
  } Cases[] = {{1, 1, 64},    {64, 64, 64},    {65, 1, 128},      {1, 65, 128},
               {200, 3, 256}, {512, 511, 512}, {4097, 100, 8192}, {65536, 65536, 65536}};
  for (const auto& Case : Cases) {
    EXPECT_EQ(ImportSide(Case.Rows, Case.Columns), Case.Side) << Case.Rows << " x " << Case.Columns;
  }
  const struct {
    std::int64_t Rows, Columns;
    const char* Failure;
  } Failures[] = {{0, 5, "Empty source: 0 x 5 cells"},
                  {5, -1, "Empty source: 5 x -1 cells"},
                  {65537, 1, "Source too large: 65537 x 1 cells, at most 65536 a side"},
                  {1, 4000000000, "Source too large: 1 x 4000000000 cells, at most 65536 a side"}};
  for (const auto& Case : Failures) {
    EXPECT_EQ(varnholt_import_side(Case.Rows, Case.Columns), -1);
    EXPECT_STREQ(varnholt_error(), Case.Failure);
    EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_SIZE);
  }
}

TEST(PlacementTest, TheMapIsTheSourceAtTheCornerWithEverythingElseBlocked) {
  TRandom Random(7);
  for (const auto& [Rows, Columns] : std::initializer_list<std::pair<std::uint32_t, std::uint32_t>>{
           {1, 1}, {64, 64}, {65, 3}, {100, 130}, {3, 300}, {128, 128}}) {
    SCOPED_TRACE(std::to_string(Rows) + " x " + std::to_string(Columns));
    TBytes Source(std::size_t{Rows} * Columns);
    for (std::uint8_t& Cell : Source)
      Cell = Random.Chance(35) ? static_cast<std::uint8_t>(Random.Next() | 1) : 0;
    const TLevel0Map Model = model::PlacedMap(Rows, Columns, [&](std::uint32_t R, std::uint32_t C) {
      return Source[std::size_t{R} * Columns + C] != 0;
    });
    const TMap Map = TMap::ImportCells(static_cast<std::int32_t>(Rows),
                                       static_cast<std::int32_t>(Columns), Source.data());
    EXPECT_EQ(Map.File(VARNHOLT_FILE_LEVEL0), EncodeLevel0Map(Model));
  }
  EXPECT_EQ(varnholt_import_cells(2, 2, nullptr), nullptr);
  EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_ARGUMENT);
}

}  // namespace
}  // namespace varnholt::test
