// Moving AI's text maps: every byte of a row as the rule says, line endings of both kinds; each
// way a header or a row can be wrong, named by its line; and the export read back to the same map
// for the generator's kinds.
#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include "ImportModel.h"
#include "MapGenerator.h"
#include "TestSupport.h"

namespace varnholt::test {
namespace {

TEST(MovingAiTest, OpenCellsAreDotsGsAndSs) {
  const std::string Rows[] = {".GS@T", "W.\t.s", "~~~.."};
  const std::string Text = "type octile\r\nheight 3\r\nwidth  5\nmap\n" + Rows[0] + "\r\n" +
                           Rows[1] + "\n" + Rows[2] + "\n\n  \n";
  const TLevel0Map Model = model::PlacedMap(3, 5, [&](std::uint32_t R, std::uint32_t C) {
    const char Cell = Rows[R][C];
    return Cell != '.' && Cell != 'G' && Cell != 'S';
  });
  EXPECT_EQ(TMap::ImportMovingAi(Text).File(VARNHOLT_FILE_LEVEL0), EncodeLevel0Map(Model));
}

TEST(MovingAiTest, AFaultIsNamedByItsLine) {
  const std::string Header = "type octile\nheight 2\nwidth 3\nmap\n";
  const struct {
    std::string Text;
    const char* Failure;
    varnholt_status Status = VARNHOLT_ERROR_READ;
  } Cases[] = {
      {"", "line 1: 'type octile' expected, found the end of the file"},
      {"height 2\nwidth 3\nmap\n...\n...\n", "line 1: 'type octile' expected, found 'height 2'"},
      {"type tile\nheight 2\n", "line 1: 'type octile' expected, found 'type tile'"},
      {"type octile\nwidth 3\nheight 2\nmap\n", "line 2: 'height N' expected, found 'width 3'"},
      {"type octile\nheight\nwidth 3\n", "line 2: 'height N' expected, found 'height'"},
      {"type octile\nheight -2\n", "line 2: height '-2' is not a number of cells"},
      {"type octile\nheight 0\n", "line 2: height '0' is not a number of cells"},
      {"type octile\nheight 2\nwidth 3x\n", "line 3: width '3x' is not a number of cells"},
      {"type octile\nheight 65537\n", "line 2: height '65537' is more than 65536",
       VARNHOLT_ERROR_SIZE},
      {"type octile\nheight 2\nwidth 99999999999999999999999\n",
       "line 3: width '99999999999999999999999' is more than 65536", VARNHOLT_ERROR_SIZE},
      {"type octile\nheight 2\nwidth 3\n", "line 4: 'map' expected, found the end of the file"},
      {"type octile\nheight 2\nwidth 3\nmaps\n", "line 4: 'map' expected, found 'maps'"},
      {Header + "...\n..\n", "line 6: 2 characters, the width is 3"},
      {Header + "....\n...\n", "line 5: 4 characters, the width is 3"},
      {Header + "...\n", "line 6: the map ends after 1 of 2 rows"},
      {Header + "...\n...\n...\n", "line 7: a row beyond the height of 2"},
      {Header + "...\n...\n\n@\n", "line 8: a row beyond the height of 2"},
      {std::string("\x89PNG\r\n\x1a\n", 8), "line 1: 'type octile' expected, found '?PNG'"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(varnholt_import_moving_ai(Case.Text.data(), Case.Text.size()), nullptr) << Case.Text;
    EXPECT_STREQ(varnholt_error(), Case.Failure);
    EXPECT_EQ(varnholt_last_status(), Case.Status) << Case.Failure;
  }
}

TEST(MovingAiTest, AnExportReadsBackAsTheSameMap) {
  for (const TLevel0Map& Model : {NoiseMap(1, 40, 3), MazeMap(2, 4), CityMap(2, 5), OpenMap(0)}) {
    const TBytes File = EncodeLevel0Map(Model);
    const TMap Map = TMap::AnalyseMemory(File.data(), File.size());
    const std::string Text = Map.MovingAiText();
    const std::string Side = std::to_string(Model.CellsPerSide());
    ASSERT_TRUE(Text.starts_with("type octile\nheight " + Side + "\nwidth " + Side + "\nmap\n"));
    EXPECT_EQ(Text.size(),
              31 + 2 * Side.size() + Model.CellsPerSide() * (Model.CellsPerSide() + 1));
    EXPECT_EQ(Text[Text.find("map\n") + 4], Model.IsBlocked(0, 0) ? '@' : '.');
    EXPECT_EQ(TMap::ImportMovingAi(Text).File(VARNHOLT_FILE_LEVEL0), File);
  }
}

}  // namespace
}  // namespace varnholt::test
