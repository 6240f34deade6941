// The decoders of Tiled's tile data and of its XML, in process: each way the data can be short,
// long or damaged is named with the layer, and the XML's faults with their line.
#include <gtest/gtest.h>
#include <zlib.h>

#include "Importer.h"
#include "TestSupport.h"
#include "TiledData.h"
#include "TiledXml.h"

namespace varnholt::import {
namespace {

using varnholt::test::FailureOf;

TEST(TiledDataTest, CsvTakesExactlyTheTilesOfTheLayer) {
  EXPECT_EQ(CsvGids(" 1,2 ,\n3, 4294967295\n", 4, "m, layer 'L'"), (TGids{1, 2, 3, 4294967295u}));
  EXPECT_EQ(CsvGids("", 0, "m"), TGids{});
  const struct {
    const char* Text;
    std::size_t Count;
    const char* Failure;
  } Cases[] = {
      {"1,2,3", 4, "m, layer 'L': the CSV data holds 3 tiles, 4 expected"},
      {"1,2,3,4,5", 4, "m, layer 'L': the CSV data holds more than 4 tiles, 4 expected"},
      {"1,x,3", 3, "m, layer 'L': tile 2 of the CSV data is not a gid"},
      {"1,2,", 3, "m, layer 'L': tile 3 of the CSV data is not a gid"},
      {"1,4294967296", 2, "m, layer 'L': tile 2 of the CSV data is not a gid"},
      {"1;2", 2, "m, layer 'L': the CSV data holds ';' after tile 1"},
      {"1 2", 2, "m, layer 'L': the CSV data holds '2' after tile 1"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(FailureOf([&] { CsvGids(Case.Text, Case.Count, "m, layer 'L'"); }), Case.Failure);
  }
}

// Gids 1, 2 as little-endian words, as they are stored before base64.
const std::string kTwoGids = "AQAAAAIAAAA=";

std::string Base64Of(const std::vector<std::uint8_t>& Bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string Text;
  for (std::size_t K = 0; K < Bytes.size(); K += 3) {
    const std::size_t Held = std::min<std::size_t>(3, Bytes.size() - K);
    std::uint32_t Group =
        Bytes[K] << 16 | (Held > 1 ? Bytes[K + 1] << 8 : 0) | (Held > 2 ? Bytes[K + 2] : 0);
    for (std::size_t D = 0; D < 4; ++D)
      Text += D <= Held ? kDigits[(Group >> (18 - 6 * D)) & 63] : '=';
  }
  return Text;
}

std::vector<std::uint8_t> Zlib(const std::vector<std::uint8_t>& Bytes) {
  uLongf Size = compressBound(static_cast<uLong>(Bytes.size()));
  std::vector<std::uint8_t> Packed(Size);
  compress(Packed.data(), &Size, Bytes.data(), static_cast<uLong>(Bytes.size()));
  Packed.resize(Size);
  return Packed;
}

TEST(TiledDataTest, Base64IsReadPlainOrCompressedAndNoFurtherThanTheLayer) {
  const std::vector<std::uint8_t> Words = {1, 0, 0, 0, 2, 0, 0, 0};
  EXPECT_EQ(Base64Gids(kTwoGids, "", 2, "m"), (TGids{1, 2}));
  EXPECT_EQ(Base64Gids("\n  AQAA AAIA\n AAA=\n", "", 2, "m"), (TGids{1, 2}));
  EXPECT_EQ(Base64Gids(Base64Of(Zlib(Words)), "zlib", 2, "m"), (TGids{1, 2}));
  EXPECT_EQ(Base64Gids(ZlibBase64Text({7, 0xF0000001u, 3}), "zlib", 3, "m"),
            (TGids{7, 0xF0000001u, 3}));
  std::vector<std::uint8_t> Cut = Zlib(Words);
  Cut.resize(Cut.size() - 6);
  std::vector<std::uint8_t> Damaged = Zlib(Words);
  Damaged[0] ^= 0xFF;
  const struct {
    std::string Text;
    const char* Compression;
    std::size_t Count;
    const char* Failure;
  } Cases[] = {
      {kTwoGids, "", 3, "m: 8 bytes of tiles, 12 expected (3 tiles)"},
      {kTwoGids, "", 1, "m: more than 4 bytes of tiles, 4 expected (1 tiles)"},
      {"AQ*A", "", 1, "m: base64 data holds '*' at character 3"},
      {"AQAAA", "", 1, "m: base64 data ends in the middle of a group of four characters"},
      {"AQ=A", "", 1, "m: base64 data holds 'A' at character 4"},
      {Base64Of(Zlib(Words)), "zlib", 1, "m: more than 4 bytes of tiles, 4 expected (1 tiles)"},
      {Base64Of(Cut), "zlib", 2, "m: compressed data cut short"},
      {Base64Of(Damaged), "zlib", 2, "m: compressed data damaged: incorrect header check"},
      {Base64Of(Zlib(Words)), "gzip", 2, "m: compressed data damaged: incorrect header check"},
      {kTwoGids, "lzma", 2, "m: unknown compression 'lzma'"},
      {kTwoGids, "zstd", 2,
       "m: Zstandard compression is not read: save the map with zlib or gzip compression, or as "
       "CSV"},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(FailureOf([&] { Base64Gids(Case.Text, Case.Compression, Case.Count, "m"); }),
              Case.Failure)
        << Case.Text;
  }
}

TEST(TiledXmlTest, FaultsAreNamedByTheirLine) {
  const auto Read = [](const std::string& Text) {
    TiledXmlDocument({"a.tmx", TBytes(Text.begin(), Text.end())});
  };
  std::string Deep = "<map>";
  for (int K = 0; K < 70; ++K) Deep += "<group>";
  const struct {
    std::string Text;
    const char* Failure;
  } Cases[] = {
      {"<map>\n<layer>\n</map>", "a.tmx, line 3: mismatched tag"},
      {"<map width=\"4x\"/>", "a.tmx, line 1: 'width' is not a number: '4x'"},
      {"<tilesets/>", "a.tmx: neither a Tiled map nor a tileset: its root is <tilesets>"},
      {Deep, "a.tmx, line 1: elements nested deeper than 64"},
      {"<map><layer name=\"W\" width=\"2\" height=\"1\"><data encoding=\"csv\">1</data></layer>"
       "</map>",
       "a.tmx, layer 'W': the CSV data holds 1 tiles, 2 expected"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(FailureOf([&] { Read(Case.Text); }), Case.Failure);
}

TEST(TiledXmlTest, ATilesetGivenAsAMapIsNamedAsSuch) {
  for (const std::string Text : {"<tileset name=\"t\"/>", "{\"type\": \"tileset\"}"}) {
    const TSourceFile Source{"t.tsx", TBytes(Text.begin(), Text.end())};
    EXPECT_EQ(FailureOf([&] { ImportTiled(Source, ReadWholeFile); }),
              "t.tsx: a Tiled tileset, not a map");
  }
}

}  // namespace
}  // namespace varnholt::import
