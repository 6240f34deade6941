// Writes the seed corpus of the fuzz targets: make-corpus CORPUS_FOLDER, into its folders
// convert, segments, journal and memory.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "MapGenerator.h"
#include "TestSupport.h"
#include "files/Journal.h"

namespace {

namespace fs = std::filesystem;
using namespace varnholt;
using TBytes = std::vector<std::uint8_t>;

void Save(const fs::path& Folder, const std::string& Name, const TBytes& Bytes) {
  std::ofstream(Folder / Name, std::ios::binary)
      .write(reinterpret_cast<const char*>(Bytes.data()),
             static_cast<std::streamsize>(Bytes.size()));
}

void AppendWord(TBytes& Bytes, std::int32_t Word) {
  for (int K = 0; K < 4; ++K) {
    Bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(Word) >> (8 * K)));
  }
}

TBytes WithHeaderWord(TBytes Bytes, std::size_t Word, std::int32_t Value) {
  for (int K = 0; K < 4; ++K) {
    Bytes[4 * Word + K] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(Value) >> (8 * K));
  }
  return Bytes;
}

TLevel0Map Checkerboard(std::uint32_t Exponent) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.SegmentsPerSide() * 64;
  for (std::uint32_t R = 0; R < Side; ++R) {
    for (std::uint32_t C = 0; C < Side; ++C) Map.SetBlocked(R, C, (R + C) % 2 == 1);
  }
  return Map;
}

TLevel0Map WorkedExample() {
  TLevel0Map Map = OpenMap(1);
  for (std::uint32_t R = 0; R < 128; ++R) {
    for (std::uint32_t C = 0; C < 128; ++C) {
      const bool UpperRight = R < 64 && C >= 64 && !(R >= 10 && R <= 12) && !(R >= 40 && R <= 41);
      const bool LowerLeft = R >= 64 && C < 64 && C == 32;
      Map.SetBlocked(R, C, UpperRight || LowerLeft || (R >= 64 && C >= 64));
    }
  }
  return Map;
}

void MakeConvertCorpus(const fs::path& Folder) {
  const TBytes Worked = EncodeLevel0Map(WorkedExample());
  Save(Folder, "worked-example", Worked);
  Save(Folder, "open-1x1", EncodeLevel0Map(OpenMap(0)));
  Save(Folder, "terrain-4x4", EncodeLevel0Map(TerrainMap(2, 3)));
  Save(Folder, "noise30-2x2", EncodeLevel0Map(NoiseMap(1, 30, 4)));
  Save(Folder, "checkerboard-1x1", EncodeLevel0Map(Checkerboard(0)));
  TBytes OddTags = EncodeLevel0Map(OpenMap(1));
  OddTags.resize(32);
  for (const std::int32_t Tag : {7, 1, 256, 0}) {
    AppendWord(OddTags, Tag);
    if (Tag != 0 && Tag != 1) OddTags.insert(OddTags.end(), 512, 0x0F);
  }
  Save(Folder, "odd-tags-2x2", OddTags);
  Save(Folder, "truncated-header", TBytes(Worked.begin(), Worked.begin() + 20));
  Save(Folder, "truncated-record", TBytes(Worked.begin(), Worked.begin() + 100));
  Save(Folder, "info-map", WithHeaderWord(WithHeaderWord(Worked, 3, 1), 4, 1));
  Save(Folder, "level-1", WithHeaderWord(Worked, 3, 1));
  Save(Folder, "no-segment", WithHeaderWord(Worked, 0, 26));
  TBytes Trailing = EncodeLevel0Map(OpenMap(0));
  Trailing.insert(Trailing.end(), {0xDE, 0xAD, 0xBE, 0xEF});
  Save(Folder, "trailing-bytes", Trailing);
}

void MakeSegmentCorpus(const fs::path& Folder) {
  const auto SaveSegments = [&](const std::string& Name, const TLevel0Map& Map) {
    TBytes Bytes;
    const std::size_t Segments = std::size_t{Map.SegmentsPerSide()} * Map.SegmentsPerSide();
    for (std::size_t K = 0; K < std::min<std::size_t>(2, Segments); ++K) {
      const TSegment Segment = test::SegmentOf(Map, K);
      Bytes.insert(Bytes.end(), Segment.begin(), Segment.end());
    }
    Save(Folder, Name, Bytes);
  };
  for (const unsigned Percent : {5u, 30u, 50u, 80u}) {
    SaveSegments("noise" + std::to_string(Percent), NoiseMap(1, Percent, Percent));
  }
  SaveSegments("checkerboard", Checkerboard(1));
  SaveSegments("terrain", TerrainMap(2, 9));
  SaveSegments("worked-example-top", WorkedExample());
  Save(Folder, "open", TBytes(512, 0x00));
  Save(Folder, "blocked", TBytes(512, 0xFF));
  TBytes Stripes(512, 0x00);
  for (std::size_t R = 1; R < 64; R += 2) std::fill_n(Stripes.begin() + 8 * R, 8, 0xFF);
  Save(Folder, "stripes", Stripes);
}

void MakeJournalCorpus(const fs::path& Folder) {
  const TCommitPlan Pair = test::SampleCommitPlan("");
  const std::string Whole = EncodeJournal(Pair);
  const auto SaveText = [&](const std::string& Name, const std::string& Text) {
    Save(Folder, Name, TBytes(Text.begin(), Text.end()));
  };
  SaveText("pair", Whole);
  SaveText("cut-short", Whole.substr(0, Whole.size() / 2));
  TCommitPlan Three = Pair;
  Three.Files.insert(Three.Files.begin(), {".varnholt-1111111111111111.tmp",
                                           {1, 2},
                                           "Tank1Level0Map.raw",
                                           TFileIdentity{1, 3},
                                           ".varnholt-2222222222222222.tmp"});
  SaveText("save", EncodeJournal(Three));
  std::string Outside = Whole;
  Outside.replace(Outside.find("Tank.raw"), 8, "../x.raw");
  SaveText("outside", Outside);
}

void MakeMemoryCorpus(const fs::path& Folder) {
  Save(Folder, "maze-2x2", EncodeLevel0Map(MazeMap(1, 3)));
  Save(Folder, "rough-4x4", EncodeLevel0Map(RoughTerrainMap(2, 5)));
  Save(Folder, "noise45-2x2", EncodeLevel0Map(NoiseMap(1, 45, 6)));
  Save(Folder, "checkerboard-2x2", EncodeLevel0Map(Checkerboard(1)));
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  if (ArgumentCount != 2) {
    std::fprintf(stderr, "usage: make-corpus CORPUS_FOLDER\n");
    return 2;
  }
  const fs::path Corpus = Arguments[1];
  for (const char* Target : {"convert", "segments", "journal", "memory"}) {
    fs::create_directories(Corpus / Target);
  }
  MakeConvertCorpus(Corpus / "convert");
  MakeSegmentCorpus(Corpus / "segments");
  MakeJournalCorpus(Corpus / "journal");
  MakeMemoryCorpus(Corpus / "memory");
  return 0;
}
