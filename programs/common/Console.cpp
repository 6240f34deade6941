// The parts of the console layer that every platform shares.
#include "Console.h"

namespace varnholt::console {
namespace {

template <typename TChar>
std::vector<std::basic_string<TChar>> SplitWords(std::basic_string_view<TChar> CommandLine) {
  const auto Separates = [](TChar C) { return C >= 1 && C <= 32; };
  const auto Quote = static_cast<TChar>('"');
  std::vector<std::basic_string<TChar>> Arguments;
  std::size_t K = 0;
  while (K < CommandLine.size()) {
    if (Separates(CommandLine[K])) {
      ++K;
      continue;
    }
    // An empty pair of quotes at the start of an argument is dropped.
    while (K + 1 < CommandLine.size() && CommandLine[K] == Quote && CommandLine[K + 1] == Quote) {
      K += 2;
    }
    std::basic_string<TChar> Argument;
    bool Quoted = false;
    for (; K < CommandLine.size() && (Quoted || !Separates(CommandLine[K])); ++K) {
      if (CommandLine[K] == Quote) {
        Quoted = !Quoted;
      } else {
        Argument += CommandLine[K];
      }
    }
    if (!Argument.empty()) Arguments.push_back(std::move(Argument));
  }
  return Arguments;
}

void AppendUtf8(std::string& Text, char32_t Code) {
  const auto Byte = [&Text](unsigned Value) { Text.push_back(static_cast<char>(Value)); };
  if (Code < 0x80) {
    Byte(Code);
  } else if (Code < 0x800) {
    Byte(0xC0 | Code >> 6);
    Byte(0x80 | (Code & 0x3F));
  } else if (Code < 0x10000) {
    Byte(0xE0 | Code >> 12);
    Byte(0x80 | (Code >> 6 & 0x3F));
    Byte(0x80 | (Code & 0x3F));
  } else {
    Byte(0xF0 | Code >> 18);
    Byte(0x80 | (Code >> 12 & 0x3F));
    Byte(0x80 | (Code >> 6 & 0x3F));
    Byte(0x80 | (Code & 0x3F));
  }
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view CommandLine) {
  return SplitWords(CommandLine);
}

std::vector<std::u16string> SplitCommandLine(std::u16string_view CommandLine) {
  return SplitWords(CommandLine);
}

std::string Utf8Of(std::u16string_view Text) {
  std::string Bytes;
  for (std::size_t K = 0; K < Text.size(); ++K) {
    const char32_t Unit = Text[K];
    const bool Pair = Unit >= 0xD800 && Unit < 0xDC00 && K + 1 < Text.size() &&
                      Text[K + 1] >= 0xDC00 && Text[K + 1] < 0xE000;
    AppendUtf8(Bytes, Pair ? 0x10000 + ((Unit - 0xD800) << 10) + (Text[++K] - 0xDC00) : Unit);
  }
  return Bytes;
}

}  // namespace varnholt::console
