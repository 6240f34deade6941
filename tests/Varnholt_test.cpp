#include "Varnholt.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace varnholt {
namespace {

TEST(NamingTest, OutputsAreNamedAfterTheNameUpToItsFirstDigit) {
  const struct {
    const char* Argument;
    const char* Separators;
    const char* Info;
    const char* Waypoint;
  } Cases[] = {
      {"Infantry1Level0Map.raw", "/", "InfantryInfo.raw", "Infantry.raw"},
      {"Tank12Level0Map.raw", "/", "TankInfo.raw", "Tank.raw"},
      {"/maps/Infantry1Level0Map.raw", "/", "/maps/InfantryInfo.raw", "/maps/Infantry.raw"},
      {"maps2/v3/Tank0Level0Map.raw", "/", "maps2/v3/TankInfo.raw", "maps2/v3/Tank.raw"},
      {"0map.raw", "/", "Info.raw", ".raw"},
      {"dir/", "/", "dir/Info.raw", "dir/.raw"},
      {"", "/", "Info.raw", ".raw"},
      {"desert.raw", "/", "desert.rawInfo.raw", "desert.raw.raw"},
      {"a\\b1.raw", "/", "a\\bInfo.raw", "a\\b.raw"},
      {"C:\\maps\\Infantry1Level0Map.raw", "\\:", "C:\\maps\\InfantryInfo.raw",
       "C:\\maps\\Infantry.raw"},
      {"C:\\maps2\\Tank0Level0Map.raw", "\\:", "C:\\maps2\\TankInfo.raw", "C:\\maps2\\Tank.raw"},
      {"C:Jeep7.raw", "\\:", "C:JeepInfo.raw", "C:Jeep.raw"},
  };
  for (const auto& Case : Cases) {
    const TRunPaths Paths = DeriveRunPaths(Case.Argument, Case.Separators);
    EXPECT_EQ(Paths.Input, Case.Argument);
    EXPECT_EQ(Paths.Info, Case.Info) << Case.Argument;
    EXPECT_EQ(Paths.Waypoint, Case.Waypoint) << Case.Argument;
  }
}

TEST(UsageTest, WrongArgumentCountPrintsUsageWithTheProgramName) {
  const std::vector<std::vector<std::string>> Cases = {
      {"/usr/local/bin/varnholt"},
      {"/usr/local/bin/varnholt", "a1.raw", "b1.raw"},
      {"/usr/local/bin/varnholt", "a1.raw", "b1.raw", "c1.raw"},
  };
  for (const auto& Arguments : Cases) {
    std::vector<std::string> Lines;
    const int ExitCode =
        RunVarnholt(Arguments, "/", [&](std::string_view Line) { Lines.emplace_back(Line); });
    EXPECT_EQ(ExitCode, 0);
    const std::vector<std::string> Expected = {
        "",
        "Varnholt 1.0 by Quenlow",
        "Create \"info\" and \"waypoint\" maps from a level 0 pathfinding map",
        "",
        "Usage: varnholt <Level0PathFile>",
        "",
        "For example: varnholt Infantry1Level0Map.raw"};
    EXPECT_EQ(Lines, Expected);
  }
}

TEST(ConvertMapTest, FailureOfTheConsoleIsNotCaughtByTheRun) {
  test::TScratchFolder Folder;
  const std::string Input = (Folder.Path() / "Map1.raw").string();
  test::WriteFile(Input, test::Header(0));
  int Calls = 0;
  const auto PrintLine = [&](std::string_view) {
    if (++Calls == 6) throw std::runtime_error("console gone");
  };
  EXPECT_THROW(RunVarnholt(std::vector<std::string>{"varnholt", Input}, "/", PrintLine),
               std::runtime_error);
  EXPECT_EQ(test::FilesIn(Folder.Path()).size(), 1u);
}

}  // namespace
}  // namespace varnholt
