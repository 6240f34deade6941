// The platform layer's own rules: names to UTF-16 as Windows takes them, and long paths there.
#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace varnholt {
namespace {

// Names in UTF-8 as Windows takes them, in UTF-16: lone surrogates, as the programs encode them,
// come back as they were; bytes that begin no character (F5 and above, overlong forms, a cut-off
// character) become U+FFFD.
TEST(PlatformTest, NamesGoToUtf16AsTheyCame) {
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
