// The programs' console layer: the command line split by the tool's own rule, and Windows'
// UTF-16 names in UTF-8 as the library takes them.
#include "Console.h"

#include <gtest/gtest.h>

namespace varnholt::console {
namespace {

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
// and named in UTF-8, a lone surrogate (which Windows allows in names) encoded as any other code
// point, so that the library takes every name back unchanged.
TEST(CommandLineTest, WideCommandLinesSplitAndNameAsNarrowOnes) {
  const std::u16string CommandLine =
      u"\"Z:\\tools\\varnholt.exe\"\t\"Z:\\Карты мира\\坦克1Level0Map.raw\" "
      u"C:\\表\\ソ2.raw \"\"\"C:\\Céline's maps\\x\U0001F5FA3.raw\"";
  std::vector<std::string> Arguments;
  for (const std::u16string& Word : SplitCommandLine(CommandLine))
    Arguments.push_back(Utf8Of(Word));
  EXPECT_EQ(Arguments, (std::vector<std::string>{
                           "Z:\\tools\\varnholt.exe", "Z:\\Карты мира\\坦克1Level0Map.raw",
                           "C:\\表\\ソ2.raw", "C:\\Céline's maps\\x\U0001F5FA3.raw"}));
  EXPECT_EQ(Utf8Of(std::u16string{u'a', char16_t{0xD800}, u'b'}),
            "a\xED\xA0\x80"
            "b");
  EXPECT_EQ(Utf8Of(std::u16string{char16_t{0xDFFF}}), "\xED\xBF\xBF");
}

}  // namespace
}  // namespace varnholt::console
