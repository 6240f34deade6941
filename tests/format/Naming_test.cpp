// The outputs named after the input, by the rules of each system.
#include "format/Naming.h"

#include <gtest/gtest.h>

namespace varnholt {
namespace {

const TPathRules kPosix("/");
const TPathRules kWindows("\\:");

TEST(NamingTest, OutputsAreNamedAfterTheNameUpToItsFirstDigit) {
  const struct {
    const char* Argument;
    const TPathRules& Rules;
    const char* Info;
    const char* Waypoint;
  } Cases[] = {
      {"Infantry1Level0Map.raw", kPosix, "InfantryInfo.raw", "Infantry.raw"},
      {"Tank12Level0Map.raw", kPosix, "TankInfo.raw", "Tank.raw"},
      {"/maps/Infantry1Level0Map.raw", kPosix, "/maps/InfantryInfo.raw", "/maps/Infantry.raw"},
      {"maps2/v3/Tank0Level0Map.raw", kPosix, "maps2/v3/TankInfo.raw", "maps2/v3/Tank.raw"},
      {"0map.raw", kPosix, "Info.raw", ".raw"},
      {"dir/", kPosix, "dir/Info.raw", "dir/.raw"},
      {"", kPosix, "Info.raw", ".raw"},
      {"desert.raw", kPosix, "desert.rawInfo.raw", "desert.raw.raw"},
      {"a\\b1.raw", kPosix, "a\\bInfo.raw", "a\\b.raw"},
      {"C:\\maps\\Infantry1Level0Map.raw", kWindows, "C:\\maps\\InfantryInfo.raw",
       "C:\\maps\\Infantry.raw"},
      {"C:\\maps2\\Tank0Level0Map.raw", kWindows, "C:\\maps2\\TankInfo.raw", "C:\\maps2\\Tank.raw"},
      {"C:Jeep7.raw", kWindows, "C:JeepInfo.raw", "C:Jeep.raw"},
      {"C:\\maps\\", kWindows, "C:\\maps\\Info.raw", "C:\\maps\\.raw"},
      {"\\\\server\\share\\x1.raw", kWindows, "\\\\server\\share\\xInfo.raw",
       "\\\\server\\share\\x.raw"},
      {"a/b\\Jeep2.raw", kWindows, "a/b\\JeepInfo.raw", "a/b\\Jeep.raw"},
  };
  for (const auto& Case : Cases) {
    const TRunPaths Paths = DeriveRunPaths(Case.Argument, Case.Rules);
    EXPECT_EQ(Paths.Input, Case.Argument);
    EXPECT_EQ(Paths.Info, Case.Info) << Case.Argument;
    EXPECT_EQ(Paths.Waypoint, Case.Waypoint) << Case.Argument;
  }
}

// Names in any language, as the programs give them in UTF-8. In code page 932 the second byte of
// 表 and ソ is 5C, a backslash's code, which splitting UTF-8 never takes for one.
TEST(NamingTest, NamesInAnyLanguageAreNamedByTheSameRule) {
  const struct {
    const char* Argument;
    const char* Info;
    const char* Waypoint;
  } Cases[] = {{"Z:\\Карты мира\\坦克1Level0Map.raw", "Z:\\Карты мира\\坦克Info.raw",
                "Z:\\Карты мира\\坦克.raw"},
               {"C:\\表\\ソ2.raw", "C:\\表\\ソInfo.raw", "C:\\表\\ソ.raw"},
               {"C:\\Céline's maps\\x\U0001F5FA3.raw", "C:\\Céline's maps\\x\U0001F5FAInfo.raw",
                "C:\\Céline's maps\\x\U0001F5FA.raw"}};
  for (const auto& Case : Cases) {
    const TRunPaths Paths = DeriveRunPaths(Case.Argument, kWindows);
    EXPECT_EQ(Paths.Info, Case.Info);
    EXPECT_EQ(Paths.Waypoint, Case.Waypoint);
  }
}

}  // namespace
}  // namespace varnholt
