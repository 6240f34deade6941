// Hostile sources as map makers and downloads bring them: whatever the importer makes of the
// bytes, as a Moving AI map, a PNG picture or a Tiled map, imports back to the same level-0 file
// from each of its exports, and whatever it refuses it refuses in one line.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <new>

#include "Importer.h"
#include "TiledExport.h"

namespace {

using namespace varnholt;
using namespace varnholt::import;

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "import fuzzer: %s\n", What);
    std::abort();
  }
}

// The external tilesets the corpus's maps name, whatever path they are asked by.
TBytes ReadTileset(const std::string& Path) {
  const std::string Text =
      Path.ends_with(".tsx")
          ? "<tileset name=\"walls\" tilewidth=\"8\" tileheight=\"8\" tilecount=\"3\" "
            "columns=\"3\"><tile id=\"2\"><properties><property name=\"collides\" type=\"bool\" "
            "value=\"true\"/></properties></tile></tileset>"
          : "{\"type\": \"tileset\", \"tiles\": [{\"id\": 2, \"properties\": [{\"name\": "
            "\"collides\", \"type\": \"bool\", \"value\": true}]}]}";
  if (!Path.ends_with(".tsx") && !Path.ends_with(".tsj")) {
    throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  }
  return TBytes(Text.begin(), Text.end());
}

// Larger sources would measure the allocator, not the code: pictures over 512 pixels a side, and
// texts with a number from 1000 to 99999 (a size, or a chunk far away). Longer numbers are gids
// with flip bits, or sizes refused before any memory is taken; digits within base64 text, between
// letters, are no number.
bool TooLarge(const std::uint8_t* Data, std::size_t Size) {
  if (Size >= 24 && Data[0] == 0x89) {
    const auto Word = [&](std::size_t At) {
      return std::uint32_t{Data[At]} << 24 | Data[At + 1] << 16 | Data[At + 2] << 8 | Data[At + 3];
    };
    return Word(16) > 512 || Word(20) > 512;
  }
  const auto IsDigit = [&](std::size_t K) { return Data[K] >= '0' && Data[K] <= '9'; };
  const auto InWord = [&](std::size_t K) {
    return K < Size && (std::isalnum(Data[K]) != 0 || Data[K] == '+' || Data[K] == '/');
  };
  for (std::size_t K = 0; K < Size;) {
    if (!IsDigit(K)) {
      ++K;
      continue;
    }
    const std::size_t First = K;
    while (K < Size && IsDigit(K)) ++K;
    std::size_t Start = First;
    while (Start + 1 < K && Data[Start] == '0') ++Start;
    const bool Alone = (First == 0 || !InWord(First - 1)) && !InWord(K);
    if (Alone && K - Start >= 4 && K - Start <= 5) return true;
  }
  return false;
}

TBytes Level0Of(const std::string& Name, TBytes Bytes) {
  return ImportSource({Name, std::move(Bytes)}, {}, ReadTileset).File(VARNHOLT_FILE_LEVEL0);
}

void CheckExports(const TMap& Map) {
  const TBytes Level0 = Map.File(VARNHOLT_FILE_LEVEL0);
  const std::string Text = Map.MovingAiText();
  Check(Level0Of("again.map", TBytes(Text.begin(), Text.end())) == Level0,
        "a Moving AI export that imports as another map");
  Check(Level0Of("again.png", ExportPng(Map)) == Level0, "a picture that imports as another map");
  const std::string Tiled = TiledMapText(Map);
  Check(Level0Of("again.tmj", TBytes(Tiled.begin(), Tiled.end())) == Level0,
        "a Tiled export that imports as another map");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  if (TooLarge(Data, Size)) return 0;
  try {
    CheckExports(ImportSource({"source", TBytes(Data, Data + Size)}, {}, ReadTileset));
  } catch (const Exception& Failure) {
    const std::string Line = Failure.what();
    Check(!Line.empty() && Line.find('\n') == std::string::npos, "a failure not in one line");
  } catch (const std::bad_alloc&) {
  }
  return 0;
}
