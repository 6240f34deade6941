#include "convert/Varnholt.h"

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

// Names in UTF-8 as Windows takes them, in UTF-16: lone surrogates, as the programs encode them,
// come back as they were; bytes that begin no character (F5 and above, overlong forms, a cut-off
// character) become U+FFFD.
TEST(NamingTest, NamesGoToUtf16AsTheyCame) {
  EXPECT_EQ(Utf16Of("a\xED\xA0\x80"
                    "b"),
            (std::u16string{u'a', char16_t{0xD800}, u'b'}));
  EXPECT_EQ(Utf16Of("\xED\xBF\xBF"), std::u16string{char16_t{0xDFFF}});
  EXPECT_EQ(Utf16Of("Z:\\坦克\U0001F5FA"), u"Z:\\坦克\U0001F5FA");
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

}  // namespace
}  // namespace varnholt
