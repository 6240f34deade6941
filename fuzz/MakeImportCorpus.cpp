// Writes the seed corpus of the import fuzz target: make-import-corpus FOLDER. One small pattern
// as a Moving AI map, as pictures of a few colour types and as Tiled maps in each encoding, by
// the importer tests' own writers; the maps name the tileset the fuzz target gives them.
#include <png.h>
#include <cstdio>
#include <filesystem>

#include "SourceWriters.h"

namespace {

namespace fs = std::filesystem;
using namespace varnholt::import::test;

void Save(const fs::path& Path, const TBytes& Bytes) {
  varnholt::test::WriteFile(Path, Bytes);
}
void Save(const fs::path& Path, const std::string& Text) {
  Save(Path, TBytes(Text.begin(), Text.end()));
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  if (ArgumentCount != 2) {
    std::fprintf(stderr, "usage: make-import-corpus FOLDER\n");
    return 2;
  }
  const fs::path Folder = Arguments[1];
  fs::create_directories(Folder);
  const TPattern Pattern = RandomPattern(16, 24, 5);
  Save(Folder / "moving-ai.map", MovingAiText(Pattern, false, 1));
  const TPngKind Pictures[] = {{PNG_COLOR_TYPE_GRAY, 1},
                               {PNG_COLOR_TYPE_PALETTE, 4},
                               {PNG_COLOR_TYPE_RGB_ALPHA, 16},
                               {PNG_COLOR_TYPE_RGB, 8, true, true}};
  for (const TPngKind& Kind : Pictures) {
    std::string Name = NameOf(Kind);
    for (char& C : Name) C = C == ' ' || C == ',' || C == '+' ? '-' : C;
    Save(Folder / (Name + ".png"), PatternPng(Pattern, Kind, 2));
  }
  const TTiledKind Maps[] = {{false, TTiledEncoding::Csv},
                             {false, TTiledEncoding::Zlib, true},
                             {true, TTiledEncoding::Gzip},
                             {true, TTiledEncoding::Base64, true},
                             {true, TTiledEncoding::TileElements}};
  for (const TTiledKind& Kind : Maps) {
    std::string Name = NameOf(Kind);
    for (char& C : Name) C = C == ' ' || C == ',' ? '-' : C;
    Save(Folder / Name, PatternTiled(Pattern, Kind, 3).Map);
  }
  return 0;
}
