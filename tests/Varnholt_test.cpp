#include "Varnholt.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

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

TEST(CommandLineTest, SplitsByItsOwnRules) {
  using TArguments = std::vector<std::string>;
  const struct {
    const char* Name;
    std::string CommandLine;
    TArguments Arguments;
  } Cases[] = {
      {"plain", "varnholt.exe Tank1.raw", {"varnholt.exe", "Tank1.raw"}},
      {"runs of blanks", "  varnholt   Tank1.raw  ", {"varnholt", "Tank1.raw"}},
      {"tabs and control characters separate",
       "a\tb\x01"
       "c\x1F"
       "d\re\nf",
       {"a", "b", "c", "d", "e", "f"}},
      {"byte 127 and above do not",
       "a\x7F\xA0"
       "b",
       {"a\x7F\xA0"
        "b"}},
      {"quotes keep blanks",
       "\"C:\\Program Files\\v.exe\" \"my map1.raw\"",
       {"C:\\Program Files\\v.exe", "my map1.raw"}},
      {"quotes inside an argument", "a\"b c\"d e", {"ab cd", "e"}},
      {"a quote open to the end", "v \"a b", {"v", "a b"}},
      {"no escape character", "v a\\\"b c\\\" d", {"v", "a\\b c\\", "d"}},
      {"empty quotes alone do not count", "v \"\" x \"\"\"\" \"\"", {"v", "x"}},
      {"empty quotes at the start are dropped", "v \"\"abc", {"v", "abc"}},
      {"a quoted blank counts", "v \" \"", {"v", " "}},
      {"nothing", "", {}},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(SplitCommandLine(Case.CommandLine), Case.Arguments) << Case.Name;
  }
}

// The command line as Windows gives it, in UTF-16: names in any language, split by the same rule
// and named in UTF-8. In code page 932 the second byte of 表 and ソ is 5C, a backslash's code,
// which splitting UTF-8 never takes for one.
TEST(CommandLineTest, WideCommandLinesSplitAndNameAsNarrowOnes) {
  const std::u16string CommandLine =
      u"\"Z:\\tools\\varnholt.exe\"\t\"Z:\\Карты мира\\坦克1Level0Map.raw\" "
      u"C:\\表\\ソ2.raw \"\"\"C:\\Céline's maps\\x\U0001F5FA3.raw\"";
  std::vector<std::string> Arguments;
  for (const std::u16string& Word : SplitCommandLine(CommandLine))
    Arguments.push_back(Utf8Of(Word));
  ASSERT_EQ(Arguments, (std::vector<std::string>{
                           "Z:\\tools\\varnholt.exe", "Z:\\Карты мира\\坦克1Level0Map.raw",
                           "C:\\表\\ソ2.raw", "C:\\Céline's maps\\x\U0001F5FA3.raw"}));
  const struct {
    const char* Info;
    const char* Waypoint;
  } Expected[] = {{"Z:\\Карты мира\\坦克Info.raw", "Z:\\Карты мира\\坦克.raw"},
                  {"C:\\表\\ソInfo.raw", "C:\\表\\ソ.raw"},
                  {"C:\\Céline's maps\\x\U0001F5FAInfo.raw", "C:\\Céline's maps\\x\U0001F5FA.raw"}};
  for (std::size_t K = 0; K < std::size(Expected); ++K) {
    const TRunPaths Paths = DeriveRunPaths(Arguments[K + 1], kWindows);
    EXPECT_EQ(Paths.Info, Expected[K].Info);
    EXPECT_EQ(Paths.Waypoint, Expected[K].Waypoint);
  }
  // Every name goes there and back, a lone surrogate (which Windows allows in names) too.
  for (const std::u16string& Name : {CommandLine, std::u16string{u'a', char16_t{0xD800}, u'b'},
                                     std::u16string{char16_t{0xDFFF}}}) {
    EXPECT_EQ(Utf16Of(Utf8Of(Name)), Name);
  }
  // Bytes that begin no character: F5 and above, overlong forms, a cut-off character.
  EXPECT_EQ(Utf16Of("a\xFF\xC3"), u"a\uFFFD\uFFFD");
  EXPECT_EQ(Utf16Of("\xF8\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf16Of("\xF5\x80\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf16Of("\xC0\xAF\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD");
  EXPECT_EQ(Utf16Of("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

#if defined(_WIN32)
// Paths past MAX_PATH are opened absolute, normalised, with the \\?\ prefix; shorter ones as
// given. (Wine lifts the limit itself, so only the forms can be checked there.)
TEST(CommandLineTest, LongPathsTakeThePrefixAndShortOnesStayAsGiven) {
  const std::string Long = std::string(150, 'a') + "\\" + std::string(150, 'b');
  const std::wstring Here = std::filesystem::current_path().wstring();
  const std::wstring LongWide(Long.begin(), Long.end());
  const struct {
    std::string Path;
    std::wstring Expected;
  } Cases[] = {
      {"C:\\maps\\Tank1Level0Map.raw", L"C:\\maps\\Tank1Level0Map.raw"},
      {"NUL", L"NUL"},
      {"C:\\x\\" + Long, L"\\\\?\\C:\\x\\" + LongWide},
      {"C:/x/./y/../" + Long, L"\\\\?\\C:\\x\\" + LongWide},
      {"\\\\server\\share\\" + Long, L"\\\\?\\UNC\\server\\share\\" + LongWide},
      {"\\\\?\\C:\\x\\" + Long, L"\\\\?\\C:\\x\\" + LongWide},
      {Long, L"\\\\?\\" + Here + (Here.ends_with(L'\\') ? L"" : L"\\") + LongWide},
  };
  for (const auto& Case : Cases) EXPECT_TRUE(SystemPath(Case.Path) == Case.Expected) << Case.Path;
}
#endif

TEST(UsageTest, WrongArgumentCountPrintsUsageWithTheProgramName) {
  const std::vector<std::vector<std::string>> Cases = {
      {"/usr/local/bin/varnholt"},
      {"/usr/local/bin/varnholt", "a1.raw", "b1.raw"},
      {"/usr/local/bin/varnholt", "a1.raw", "b1.raw", "c1.raw"},
  };
  for (const auto& Arguments : Cases) {
    std::vector<std::string> Lines;
    const int ExitCode =
        RunVarnholt(Arguments, kPosix, [&](std::string_view Line) { Lines.emplace_back(Line); });
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
  EXPECT_THROW(RunVarnholt(std::vector<std::string>{"varnholt", Input}, kPosix, PrintLine),
               std::runtime_error);
  EXPECT_EQ(test::FilesIn(Folder.Path()).size(), 1u);
}

}  // namespace
}  // namespace varnholt
