// Runs the built varnholt-import: one pattern of cells written as a Moving AI map, as PNG pictures
// of every colour type and depth and as Tiled maps in every encoding must each give the level-0
// file the plain model of the rules makes; every export must import back to the same bytes; the
// exported Tiled map holds the analysis in the fields Tiled documents; and hostile sources fail in
// one line and write nothing.
#include <gtest/gtest.h>
#include <png.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <set>

#include "Inspector.h"
#include "SourceWriters.h"
#include "TestRunner.h"

namespace varnholt::import::test {
namespace {

namespace fs = std::filesystem;
using varnholt::test::FilesIn;
using varnholt::test::ReadFile;
using varnholt::test::TScratchFolder;
using varnholt::test::WriteFile;

struct TImportRun {
  std::string Output;
  int ExitCode = -1;
};

std::string ImporterPath() {
  const char* Override = std::getenv("VARNHOLT_IMPORT_EXE");
  return Override != nullptr && *Override != '\0' ? Override : VARNHOLT_IMPORT_EXE;
}

TImportRun RunImporter(const fs::path& Folder, const std::vector<std::string>& Arguments) {
  const varnholt::test::TRunResult Run =
      varnholt::test::RunProgram(ImporterPath(), Folder, Arguments);
  return {Run.Output + Run.Errors, Run.ExitCode};
}

TBytes BytesOf(const std::string& Text) {
  return TBytes(Text.begin(), Text.end());
}

// Imports Source (already in Folder) to Out1Level0Map.raw and returns its bytes.
TBytes Imported(const fs::path& Folder, const std::string& Source,
                std::vector<std::string> Options = {}) {
  Options.insert(Options.end(), {Source, "Out1Level0Map.raw"});
  const TImportRun Run = RunImporter(Folder, Options);
  EXPECT_EQ(Run.ExitCode, 0) << Run.Output;
  EXPECT_EQ(Run.Output, "Reading " + Source + "...\nWriting Out1Level0Map.raw...\nDone.\n");
  return fs::exists(Folder / "Out1Level0Map.raw") ? ReadFile(Folder / "Out1Level0Map.raw")
                                                  : TBytes{};
}

const TPattern& Pattern() {
  static const TPattern Made = RandomPattern(112, 80, 7);  // two bands of rows, one partial
  return Made;
}

TEST(ImportRunTest, MovingAiMapsGiveTheModelsMap) {
  for (const bool CrLf : {false, true}) {
    TScratchFolder Scratch;
    WriteFile(Scratch.Path() / "arena.map", BytesOf(MovingAiText(Pattern(), CrLf, 3)));
    EXPECT_EQ(Imported(Scratch.Path(), "arena.map"), ModelLevel0(Pattern())) << CrLf;
  }
}

TEST(ImportRunTest, PicturesOfEveryColourTypeAndDepthGiveTheModelsMap) {
  const TPngKind Kinds[] = {
      {PNG_COLOR_TYPE_GRAY, 1},
      {PNG_COLOR_TYPE_GRAY, 2},
      {PNG_COLOR_TYPE_GRAY, 4},
      {PNG_COLOR_TYPE_GRAY, 8},
      {PNG_COLOR_TYPE_GRAY, 16},
      {PNG_COLOR_TYPE_GRAY, 8, false, true},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 8},
      {PNG_COLOR_TYPE_GRAY_ALPHA, 16},
      {PNG_COLOR_TYPE_RGB, 8},
      {PNG_COLOR_TYPE_RGB, 16},
      {PNG_COLOR_TYPE_RGB, 16, false, true},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8},
      {PNG_COLOR_TYPE_RGB_ALPHA, 16},
      {PNG_COLOR_TYPE_PALETTE, 1},
      {PNG_COLOR_TYPE_PALETTE, 2},
      {PNG_COLOR_TYPE_PALETTE, 4},
      {PNG_COLOR_TYPE_PALETTE, 8},
      {PNG_COLOR_TYPE_RGB_ALPHA, 8, true},
      {PNG_COLOR_TYPE_PALETTE, 4, true},
  };
  const TBytes Expected = ModelLevel0(Pattern());
  for (const TPngKind& Kind : Kinds) {
    TScratchFolder Scratch;
    WriteFile(Scratch.Path() / "arena.png", PatternPng(Pattern(), Kind, 11));
    EXPECT_EQ(Imported(Scratch.Path(), "arena.png"), Expected) << NameOf(Kind);
  }
}

TEST(ImportRunTest, TheThresholdAndDarkOpenChooseOtherPixels) {
  const struct {
    int Threshold;
    bool DarkOpen;
  } Rules[] = {{30, false}, {80, false}, {50, true}, {65, true}};
  for (const auto& Rule : Rules) {
    TScratchFolder Scratch;
    WriteFile(Scratch.Path() / "arena.png",
              PatternPng(Pattern(), {PNG_COLOR_TYPE_RGB, 8}, 13, Rule.Threshold, Rule.DarkOpen));
    std::vector<std::string> Options = {"--threshold", std::to_string(Rule.Threshold)};
    if (Rule.DarkOpen) Options.push_back("--dark-open");
    EXPECT_EQ(Imported(Scratch.Path(), "arena.png", Options), ModelLevel0(Pattern()))
        << Rule.Threshold << " " << Rule.DarkOpen;
  }
}

TEST(ImportRunTest, TiledMapsInEveryEncodingGiveTheModelsMap) {
  std::vector<TTiledKind> Kinds;
  for (const bool Xml : {false, true}) {
    for (const bool Infinite : {false, true}) {
      for (const TTiledEncoding Encoding :
           {TTiledEncoding::Csv, TTiledEncoding::Base64, TTiledEncoding::Zlib, TTiledEncoding::Gzip,
            TTiledEncoding::TileElements}) {
        if (Encoding != TTiledEncoding::TileElements || Xml)
          Kinds.push_back({Xml, Encoding, Infinite});
      }
    }
  }
  const TBytes Expected = ModelLevel0(Pattern());
  for (const TTiledKind& Kind : Kinds) {
    TScratchFolder Scratch;
    const TTiledFiles Files = PatternTiled(Pattern(), Kind, 17);
    WriteFile(Scratch.Path() / Files.MapName, BytesOf(Files.Map));
    WriteFile(Scratch.Path() / Files.TilesetName, BytesOf(Files.Tileset));
    EXPECT_EQ(Imported(Scratch.Path(), Files.MapName), Expected) << NameOf(Kind);
  }
}

// The generator's kinds, a split map among them, written, exported and imported again.
TEST(ImportRunTest, EveryExportImportsBackToTheSameMap) {
  const TLevel0Map Maps[] = {MazeMap(1, 5), RoomMap(1, 2), CaveMap(2, 3), NoiseMap(1, 40, 9),
                             varnholt::test::CornerBridgeMap(4)};
  for (const TLevel0Map& Map : Maps) {
    TScratchFolder Scratch;
    const TBytes Original = EncodeLevel0Map(Map);
    WriteFile(Scratch.Path() / "Map1Level0Map.raw", Original);
    for (const char* Format : {"map", "png", "tiled"}) {
      const std::string Out =
          std::string("exported.") + (Format == std::string("tiled") ? "tmj" : Format);
      const TImportRun Run =
          RunImporter(Scratch.Path(), {"--export", Format, "Map1Level0Map.raw", Out});
      ASSERT_EQ(Run.ExitCode, 0) << Run.Output;
      EXPECT_EQ(Imported(Scratch.Path(), Out), Original) << Format;
    }
  }
}

// The fields Tiled's JSON map format documents for a map, a layer, a tileset, an object.
const std::set<std::string> kMapFields = {"backgroundcolor",
                                          "class",
                                          "compressionlevel",
                                          "height",
                                          "hexsidelength",
                                          "infinite",
                                          "layers",
                                          "nextlayerid",
                                          "nextobjectid",
                                          "orientation",
                                          "parallaxoriginx",
                                          "parallaxoriginy",
                                          "properties",
                                          "renderorder",
                                          "staggeraxis",
                                          "staggerindex",
                                          "tiledversion",
                                          "tileheight",
                                          "tilesets",
                                          "tilewidth",
                                          "type",
                                          "version",
                                          "width"};
const std::set<std::string> kLayerFields = {
    "chunks",           "class",   "compression", "data",    "draworder", "encoding",
    "height",           "id",      "image",       "layers",  "locked",    "name",
    "objects",          "offsetx", "offsety",     "opacity", "parallaxx", "parallaxy",
    "properties",       "repeatx", "repeaty",     "startx",  "starty",    "tintcolor",
    "transparentcolor", "type",    "visible",     "width",   "x",         "y"};
const std::set<std::string> kTilesetFields = {
    "backgroundcolor",  "class",        "columns",    "fillmode",
    "firstgid",         "grid",         "image",      "imageheight",
    "imagewidth",       "margin",       "name",       "objectalignment",
    "properties",       "source",       "spacing",    "terrains",
    "tilecount",        "tiledversion", "tileheight", "tileoffset",
    "tilerendersize",   "tiles",        "tilewidth",  "transformations",
    "transparentcolor", "type",         "version",    "wangsets"};
const std::set<std::string> kObjectFields = {
    "ellipse", "gid",      "height",     "id",       "name",     "point",
    "polygon", "polyline", "properties", "rotation", "template", "text",
    "type",    "visible",  "width",      "x",        "y"};

void ExpectDocumented(const nlohmann::json& Object, const std::set<std::string>& Fields,
                      const std::string& What) {
  for (const auto& [Key, Value] : Object.items()) {
    EXPECT_TRUE(Fields.contains(Key)) << What << " has an undocumented field " << Key;
  }
}

TEST(ImportRunTest, TheTiledExportHoldsTheAnalysisInDocumentedFields) {
  TScratchFolder Scratch;
  const TLevel0Map Generated = varnholt::test::CornerBridgeMap(4);
  WriteFile(Scratch.Path() / "Map1Level0Map.raw", EncodeLevel0Map(Generated));
  const TImportRun Run =
      RunImporter(Scratch.Path(), {"--export", "tiled", "Map1Level0Map.raw", "map.tmj"});
  ASSERT_EQ(Run.ExitCode, 0) << Run.Output;
  EXPECT_EQ(Run.Output,
            "Reading Map1Level0Map.raw...\nWriting varnholt-tiles.png...\nWriting map.tmj...\n"
            "Done.\n");
  const TBytes Text = ReadFile(Scratch.Path() / "map.tmj");
  const nlohmann::json Map = nlohmann::json::parse(Text.begin(), Text.end());
  ExpectDocumented(Map, kMapFields, "the map");
  for (const auto& Tileset : Map["tilesets"])
    ExpectDocumented(Tileset, kTilesetFields, "a tileset");
  ASSERT_EQ(Map["layers"].size(), 3u);
  std::set<std::int64_t> Ids;
  for (const auto& Layer : Map["layers"]) {
    ExpectDocumented(Layer, kLayerFields, "a layer");
    for (const auto& Object : Layer.value("objects", nlohmann::json::array())) {
      ExpectDocumented(Object, kObjectFields, "an object");
      EXPECT_TRUE(Ids.insert(Object["id"].get<std::int64_t>()).second) << Object;
    }
  }
  EXPECT_EQ(Map["nextobjectid"].get<std::int64_t>(), *Ids.rbegin() + 1);

  // The split at its erased cell, (63, 63), in the inspector's words; its two parts.
  const TMap Opened = TMap::Analyse((Scratch.Path() / "Map1Level0Map.raw").string());
  const TSurveyResult Survey = Opened.Survey(4, 4);
  const nlohmann::json& Analysis = Map["layers"][1];
  EXPECT_EQ(Analysis["name"], "Analysis");
  ASSERT_EQ(Analysis["objects"].size(), 3u);
  const nlohmann::json& Split = Analysis["objects"][0];
  EXPECT_EQ(Split["name"], "Split 1");
  EXPECT_EQ(Split["x"], 63.5 * 16);
  EXPECT_EQ(Split["y"], 63.5 * 16);
  const std::vector<std::string> Words = inspect::SplitWords(Opened, Survey.Splits[0], 0);
  ASSERT_EQ(Split["properties"].size(), Words.size());
  for (std::size_t K = 0; K < Words.size(); ++K)
    EXPECT_EQ(Split["properties"][K]["value"], Words[K]);

  // A point at every waypoint, a polyline for every link.
  std::size_t Waypoints = 0, Links = 0;
  for (const auto& Object : Map["layers"][2]["objects"]) {
    Waypoints += Object.value("point", false) ? 1 : 0;
    Links += Object.contains("polyline") ? 1 : 0;
  }
  EXPECT_EQ(Waypoints, static_cast<std::size_t>(Survey.Survey.areas_kept));
  EXPECT_EQ(Links, static_cast<std::size_t>(Survey.Survey.down_links + Survey.Survey.right_links));
}

// The analysis of a Tiled map added to its own layers: its tilesets and images still found from
// another folder, its layers first, the analysis's ids after its own, objects on its tiles, and
// the output imports as the map did.
TEST(ImportRunTest, TheTiledExportOfATiledMapKeepsItsLayers) {
  for (const TTiledKind& Kind :
       {TTiledKind{false, TTiledEncoding::Zlib, true}, TTiledKind{true, TTiledEncoding::Csv}}) {
    TScratchFolder Scratch;
    fs::create_directories(Scratch.Path() / "maps");
    fs::create_directories(Scratch.Path() / "out");
    const TTiledFiles Files = PatternTiled(Pattern(), Kind, 19);
    WriteFile(Scratch.Path() / "maps" / Files.MapName, BytesOf(Files.Map));
    WriteFile(Scratch.Path() / "maps" / Files.TilesetName, BytesOf(Files.Tileset));
    const std::string Source = "maps/" + Files.MapName;
    const TImportRun Run =
        RunImporter(Scratch.Path(), {"--export", "tiled", Source, "out/analysis.tmj"});
    ASSERT_EQ(Run.ExitCode, 0) << Run.Output;
    EXPECT_EQ(Run.Output, "Reading " + Source + "...\nWriting out/analysis.tmj...\nDone.\n");
    const TBytes Text = ReadFile(Scratch.Path() / "out" / "analysis.tmj");
    const nlohmann::json Map = nlohmann::json::parse(Text.begin(), Text.end());
    EXPECT_EQ(Map["tilesets"][0]["image"], "../maps/ground.png") << NameOf(Kind);
    EXPECT_EQ(Map["tilesets"][1]["source"], "../maps/" + Files.TilesetName);
    std::vector<std::string> Names;
    for (const auto& Layer : Map["layers"]) Names.push_back(Layer["name"]);
    const std::vector<std::string> Expected =
        Kind.Xml ? std::vector<std::string>{"Ground", "Above", "Analysis", "Waypoints and links"}
                 : std::vector<std::string>{"Ground", "Above", "Spawns", "Analysis",
                                            "Waypoints and links"};
    EXPECT_EQ(Names, Expected);
    // The TMX map's object layer, id 4, is not carried: its ids may be taken again.
    const int FirstId = Kind.Xml ? 4 : 5;
    EXPECT_EQ(Map["layers"][Names.size() - 2]["id"], FirstId);
    EXPECT_EQ(Map["nextlayerid"], FirstId + 2);

    const TBytes Level0 = Imported(Scratch.Path(), Source);
    EXPECT_EQ(Imported(Scratch.Path(), "out/analysis.tmj"), Level0) << NameOf(Kind);
    const TMap Opened = TMap::AnalyseMemory(Level0.data(), Level0.size());
    const TCell Waypoint = Opened.SegmentRecord(0, 0).Point(1);
    const nlohmann::json& First = Map["layers"][Names.size() - 1]["objects"][0];
    const double OriginX = Kind.Infinite ? -32 : 0, OriginY = Kind.Infinite ? -16 : 0;
    EXPECT_EQ(First["x"], (OriginX + Waypoint.Column + 0.5) * 8);
    EXPECT_EQ(First["y"], (OriginY + Waypoint.Row + 0.5) * 8);
  }
}

// A hostile source: its files, the arguments, and the one line it fails with.
struct THostile {
  const char* Name;
  std::vector<std::pair<std::string, TBytes>> Files;
  std::vector<std::string> Arguments;
  std::string Failure;
};

std::string JsonMapWith(const std::string& Size, const std::string& Layer) {
  return "{\"type\": \"map\", " + Size +
         ", \"tilewidth\": 8, \"tileheight\": 8, "
         "\"infinite\": false, \"tilesets\": [{\"firstgid\": 1, \"source\": \"walls.tsj\"}], "
         "\"layers\": [" +
         Layer + "]}";
}

std::vector<THostile> HostileSources() {
  const TBytes Png = PatternPng(Pattern(), {PNG_COLOR_TYPE_RGB, 8}, 5);
  const std::string Rows = "type octile\nheight 3\nwidth 4\nmap\n....\n@@@@\n";
  const std::string Layer =
      "{\"name\": \"Ground\", \"type\": \"tilelayer\", \"width\": 2, "
      "\"height\": 2, \"encoding\": \"base32\", \"data\": \"AAAA\"}";
  const std::string Tileset = "{\"tiles\": []}";
  const std::string SmallLayer =
      "{\"name\": \"Ground\", \"type\": \"tilelayer\", \"width\": 2, \"height\": 2, "
      "\"data\": [1, 2, 3, 4]}";
  const std::string HugeLayer =
      "{\"name\": \"Ground\", \"type\": \"tilelayer\", \"width\": 65536, \"height\": 65536, "
      "\"data\": [1, 2, 3]}";
  return {
      {"truncated PNG",
       {{"a.png", TBytes(Png.begin(), Png.begin() + Png.size() / 2)}},
       {"a.png"},
       "a.png: the file ends at byte " + std::to_string(Png.size() / 2) +
           ", inside the picture's data"},
      {"PNG too wide",
       {{"a.png", PngHeaderOnly(100000, 10)}},
       {"a.png"},
       "a.png: Source too large: 10 x 100000 cells, at most 65536 a side"},
      {"PNG declaring the largest size",
       {{"a.png", PngHeaderOnly(65536, 65536)}},
       {"a.png"},
       "a.png: the file ends at byte 45, inside the picture's data"},
      {"rows short of the height",
       {{"a.map", BytesOf(Rows)}},
       {"a.map"},
       "a.map: line 7: the map ends after 2 of 3 rows"},
      {"rows beyond the height",
       {{"a.map", BytesOf(Rows + "....\n....\n")}},
       {"a.map"},
       "a.map: line 8: a row beyond the height of 3"},
      {"unknown encoding",
       {{"a.tmj", BytesOf(JsonMapWith("\"width\": 2, \"height\": 2", Layer))},
        {"walls.tsj", BytesOf(Tileset)}},
       {"a.tmj"},
       "a.tmj, layer 'Ground': unknown encoding 'base32'"},
      {"unknown compression",
       {{"a.tmx", BytesOf("<map width=\"1\" height=\"1\"><layer name=\"W\" width=\"1\" "
                          "height=\"1\"><data encoding=\"base64\" compression=\"lzma\">AAAAAA=="
                          "</data></layer></map>")}},
       {"a.tmx"},
       "a.tmx, layer 'W': unknown compression 'lzma'"},
      {"Tiled map too wide",
       {{"a.tmj", BytesOf(JsonMapWith("\"width\": 70000, \"height\": 2", SmallLayer))},
        {"walls.tsj", BytesOf(Tileset)}},
       {"a.tmj"},
       "a.tmj: Source too large: 2 x 70000 cells, at most 65536 a side"},
      {"Tiled layer declaring the largest size",
       {{"a.tmj", BytesOf(JsonMapWith("\"width\": 65536, \"height\": 65536", HugeLayer))},
        {"walls.tsj", BytesOf(Tileset)}},
       {"a.tmj"},
       "a.tmj, layer 'Ground': the data holds 3 tiles, 4294967296 expected"},
      {"missing tileset",
       {{"a.tmj", BytesOf(JsonMapWith("\"width\": 2, \"height\": 2", SmallLayer))}},
       {"a.tmj"},
       "a.tmj, tileset 'walls.tsj': Error opening file: walls.tsj"},
      {"malformed JSON",
       {{"a.tmj", BytesOf("{\"type\": \"map\",\n \"width\": }")}},
       {"a.tmj"},
       "a.tmj: parse error at line 2, column 11: syntax error while parsing value - unexpected "
       "'}'; expected '[', '{', or a literal"},
      {"missing source", {}, {"nothing.png"}, "Error opening file: nothing.png"},
  };
}

TEST(ImportRunTest, HostileSourcesFailInOneLineAndWriteNothing) {
  for (const THostile& Case : HostileSources()) {
    TScratchFolder Scratch;
    for (const auto& [Name, Bytes] : Case.Files) WriteFile(Scratch.Path() / Name, Bytes);
    WriteFile(Scratch.Path() / "Out1Level0Map.raw", BytesOf("the map before"));
    const auto Before = FilesIn(Scratch.Path());
    std::vector<std::string> Arguments = Case.Arguments;
    Arguments.push_back("Out1Level0Map.raw");
    const TImportRun Run = RunImporter(Scratch.Path(), Arguments);
    EXPECT_EQ(Run.ExitCode, 1) << Case.Name;
    EXPECT_EQ(Run.Output, "Reading " + Case.Arguments[0] + "...\n" + Case.Failure + "\n")
        << Case.Name;
    EXPECT_EQ(FilesIn(Scratch.Path()), Before) << Case.Name;
  }
}

// Standard output that cannot be written: the failure goes to standard error after the tool's
// name, and nothing is written.
TEST(ImportRunTest, UnusableStandardOutputIsReportedOnStandardError) {
  const struct {
    const char* Name;
    varnholt::test::TRunOptions Options;
  } Cases[] = {{"full device", {.StandardOutput = "/dev/full"}},
               {"closed", {.CloseStandardOutput = true}}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScratchFolder Scratch;
    WriteFile(Scratch.Path() / "a.map", BytesOf("type octile\nheight 1\nwidth 1\nmap\n.\n"));
    const varnholt::test::TRunResult Run = varnholt::test::RunProgram(
        ImporterPath(), Scratch.Path(), {"a.map", "B1Level0Map.raw"}, Case.Options);
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(Run.Errors.rfind("varnholt-import: ", 0), 0u) << Run.Errors;
    EXPECT_NE(Run.Errors.find("cannot write to standard output"), std::string::npos) << Run.Errors;
    EXPECT_EQ(FilesIn(Scratch.Path()).size(), 1u);
  }
}

TEST(ImportRunTest, MistakesOnTheCommandLineAreNamed) {
  TScratchFolder Scratch;
  WriteFile(Scratch.Path() / "a.map", BytesOf("type octile\nheight 1\nwidth 1\nmap\n.\n"));
  const struct {
    std::vector<std::string> Arguments;
    std::string Line;
  } Cases[] = {
      {{"--export", "gif", "a.raw", "b.gif"}, "Unknown export format: gif (map, png or tiled)"},
      {{"--threshold", "101", "a.map", "B1Level0Map.raw"},
       "--threshold takes a percent from 0 to 100: 101"},
      {{"--threshold"}, "--threshold needs a value"},
      {{"--colour", "a.map", "B1Level0Map.raw"}, "Unknown option: --colour"},
      {{"a.map", "a.map"}, "a.map: the output would replace its own source"},
      {{"--export", "png", "Missing1Level0Map.raw", "b.png"},
       "Reading Missing1Level0Map.raw...\nError opening file: Missing1Level0Map.raw"},
  };
  const auto Before = FilesIn(Scratch.Path());
  for (const auto& Case : Cases) {
    const TImportRun Run = RunImporter(Scratch.Path(), Case.Arguments);
    EXPECT_EQ(Run.ExitCode, 1) << Case.Line;
    EXPECT_EQ(Run.Output, Case.Line + "\n");
    EXPECT_EQ(FilesIn(Scratch.Path()), Before) << Case.Line;
  }
  const TImportRun Usage = RunImporter(Scratch.Path(), {"a.map"});
  EXPECT_EQ(Usage.ExitCode, 1);
  EXPECT_TRUE(Usage.Output.starts_with("Usage: varnholt-import ")) << Usage.Output;
  EXPECT_EQ(RunImporter(Scratch.Path(), {"--help"}).ExitCode, 0);
}

}  // namespace
}  // namespace varnholt::import::test
