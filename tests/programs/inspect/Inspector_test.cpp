// Runs the built inspector on maps converted in a scratch folder: healthy and split maps, every
// kind of stale or damaged output, a missing output, and the picture read back with libpng.
#include <gtest/gtest.h>
#include <png.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "InspectTesting.h"
#include "Inspector.h"
#include "TestRunner.h"

namespace varnholt::inspect {
namespace {

namespace fs = std::filesystem;
using varnholt::test::ReadFile;
using varnholt::test::TBytes;
using varnholt::test::TScratchFolder;
using varnholt::test::WriteFile;

// The inspector's report and its failures both go to standard output.
struct TInspectorRun {
  std::string Output;
  int ExitCode = -1;
};

// The inspector built beside the tests, or the one VARNHOLT_INSPECT_EXE names (the Windows one).
std::string InspectorPath() {
  const char* Override = std::getenv("VARNHOLT_INSPECT_EXE");
  return Override != nullptr && *Override != '\0' ? Override : VARNHOLT_INSPECT_EXE;
}

TInspectorRun RunInspector(const fs::path& Folder, const std::vector<std::string>& Arguments) {
  const varnholt::test::TRunResult Run =
      varnholt::test::RunProgram(InspectorPath(), Folder, Arguments);
  return {Run.Output + Run.Errors, Run.ExitCode};
}

// Writes Map as Test1Level0Map.raw in Folder and converts it to TestInfo.raw and Test.raw.
void ConvertInFolder(const fs::path& Folder, const TLevel0Map& Map) {
  WriteFile(Folder / "Test1Level0Map.raw", EncodeLevel0Map(Map));
  Convert((Folder / "Test1Level0Map.raw").string(), {});
}

bool HasLine(const std::string& Output, const std::string& Line) {
  return ("\n" + Output).find("\n" + Line + "\n") != std::string::npos;
}

TEST(InspectorRunTest, HealthyMap) {
  TScratchFolder Scratch;
  ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(3));
  const TInspectorRun Run = RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
  EXPECT_EQ(Run.ExitCode, 0) << Run.Output;
  for (const char* Line : {
           "Reading Test1Level0Map.raw...",
           "Checking TestInfo.raw...",
           "Checking Test.raw...",
           "Writing TestInspect.png...",
           "Map               128 x 128 cells, 2 x 2 segments",
           "Segments          2 filled open, 1 filled blocked, 1 explicit",
           "Areas             6 found, 6 kept",
           "Over four areas   0 segments, 0 open cells erased",
           "Area 4            1 segment, 1 cell in the waypoint map but not in the info map",
           "Links             1 down, 1 right",
           "Grid components   4 (open cells 4-connected across the whole map)",
           "Graph components  4 (kept areas joined by links)",
           "Splits            none: the graph connects everything the grid connects",
           "Paths             32 of 32 random connected pairs found; length over the shortest: "
           "median 1.000, 95th percentile 1.000, worst 1.000 from (56, 94) to (22, 115)",
           "Picture           TestInspect.png, 128 x 128 pixels, one pixel per cell",
           "Result            healthy",
       }) {
    EXPECT_TRUE(HasLine(Run.Output, Line)) << Line << "\nin:\n" << Run.Output;
  }
  EXPECT_TRUE(fs::is_regular_file(Scratch.Path() / "TestInspect.png"));
}

TEST(InspectorRunTest, SplitMapNamesTheErasedBridge) {
  TScratchFolder Scratch;
  ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(4));
  const TInspectorRun Run = RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
  EXPECT_EQ(Run.ExitCode, 1) << Run.Output;
  for (const char* Line : {
           "Over four areas   1 segment, 1 open cell erased",
           "Splits            1 grid component in several parts of the graph (cells as row, "
           "column):",
           "  2 parts, holding (32, 96), (96, 32)",
           "    erased areas in it: (63, 63)",
           "    to mend it: block 1 cell: (63, 63); or open 71 cells: (27, 28), (27, 29), (27, "
           "30), "
           "...",
           "Result            not healthy: some paths run only through erased areas",
       }) {
    EXPECT_TRUE(HasLine(Run.Output, Line)) << Line << "\nin:\n" << Run.Output;
  }
  EXPECT_TRUE(fs::is_regular_file(Scratch.Path() / "TestInspect.png"));
}

// The healthy map's files: TestInfo.raw is the header, (0, 0) explicit at byte 32 (tag) and 36
// (payload), then the tags of (0, 1) at 292, (1, 0) at 296 and (1, 1) at 300. Test.raw is the
// header, then the record of (i, j) at 8 + 16 * (2 * i + j).
struct TDamage {
  const char* Name;
  const char* File;
  std::function<void(TBytes&)> Change;
  const char* Report;  // the line expected after the banner lines, or the failure
};

std::function<void(TBytes&)> FlipBit(std::size_t Byte, int Bit) {
  return [=](TBytes& Bytes) { Bytes.at(Byte) ^= static_cast<std::uint8_t>(1 << Bit); };
}

TEST(InspectorRunTest, ReportsTheFirstDifferenceOfAStaleOrDamagedPair) {
  const TDamage Cases[] = {
      {"info header", "TestInfo.raw", FlipBit(0, 1),
       "TestInfo.raw does not match: header word Exponent: 3 in the file, 1 expected"},
      {"info flag", "TestInfo.raw", FlipBit(16, 0),
       "TestInfo.raw does not match: header word InfoFlag: 0 in the file, 1 expected"},
      {"info payload", "TestInfo.raw", FlipBit(36 + 17, 2),
       "TestInfo.raw does not match: segment (0, 0), payload byte 17 (info row 2, columns 4-7): "
       "fb in the file, ff expected"},
      {"info tag", "TestInfo.raw", FlipBit(296, 0),
       "TestInfo.raw does not match: segment (1, 0), record tag: 1 in the file, 0 expected"},
      {"info trailing byte", "TestInfo.raw", [](TBytes& Bytes) { Bytes.push_back(0); },
       "TestInfo.raw does not match: bytes follow the last record"},
      {"waypoint link", "Test.raw", FlipBit(8 + 16 + 0, 0),
       "Test.raw does not match: segment (0, 1), DownLinks: 01 00 in the file, 00 00 expected"},
      {"waypoint right link", "Test.raw", FlipBit(8 + 3, 7),
       "Test.raw does not match: segment (0, 0), RightLinks: 00 90 in the file, 00 10 expected"},
      {"waypoint point", "Test.raw", FlipBit(8 + 48 + 5, 0),
       "Test.raw does not match: segment (1, 1), Points of area 1: 00 01 in the file, 00 00 "
       "expected"},
      {"waypoint mask", "Test.raw", FlipBit(8 + 12, 7),
       "Test.raw does not match: segment (0, 0), AreaMask: 70 in the file, f0 expected"},
      {"waypoint reserved", "Test.raw", FlipBit(8 + 16 * 3 + 15, 0),
       "Test.raw does not match: segment (1, 1), reserved bytes: 00 00 01 in the file, 00 00 00 "
       "expected"},
  };
  for (const TDamage& Case : Cases) {
    TScratchFolder Scratch;
    ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(3));
    TBytes Bytes = ReadFile(Scratch.Path() / Case.File);
    Case.Change(Bytes);
    WriteFile(Scratch.Path() / Case.File, Bytes);
    const TInspectorRun Run = RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
    EXPECT_EQ(Run.ExitCode, 1) << Case.Name;
    EXPECT_TRUE(HasLine(Run.Output, Case.Report)) << Case.Name << ":\n" << Run.Output;
    EXPECT_TRUE(HasLine(Run.Output,
                        "The maps are stale or damaged: run varnholt on Test1Level0Map.raw again."))
        << Case.Name;
    EXPECT_FALSE(fs::exists(Scratch.Path() / "TestInspect.png")) << Case.Name;
  }
}

TEST(InspectorRunTest, MissingShortOrMalformedFilesFail) {
  const TDamage Cases[] = {
      {"no info map", "TestInfo.raw", nullptr, "Error opening file: TestInfo.raw"},
      {"no waypoint map", "Test.raw", nullptr, "Error opening file: Test.raw"},
      {"short waypoint map", "Test.raw", [](TBytes& Bytes) { Bytes.pop_back(); },
       "Error reading file: Test.raw"},
      {"short info map", "TestInfo.raw", [](TBytes& Bytes) { Bytes.resize(100); },
       "Error reading file: TestInfo.raw"},
      {"unequal waypoint header", "Test.raw", FlipBit(4, 0),
       "Invalid waypoint map header: Test.raw"},
      {"unknown info tag", "TestInfo.raw", FlipBit(292, 1),
       "Invalid record tag in info map: TestInfo.raw"},
      {"no level-0 map", "Test1Level0Map.raw", nullptr, "Error opening file: Test1Level0Map.raw"},
      {"info map given", "Test1Level0Map.raw", FlipBit(16, 0), "You selected an Info map!"},
  };
  for (const TDamage& Case : Cases) {
    TScratchFolder Scratch;
    ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(3));
    if (Case.Change) {
      TBytes Bytes = ReadFile(Scratch.Path() / Case.File);
      Case.Change(Bytes);
      WriteFile(Scratch.Path() / Case.File, Bytes);
    } else {
      fs::remove(Scratch.Path() / Case.File);
    }
    const TInspectorRun Run = RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
    EXPECT_EQ(Run.ExitCode, 1) << Case.Name;
    EXPECT_TRUE(Run.Output.ends_with(std::string("\n") + Case.Report + "\n")) << Case.Name << ":\n"
                                                                              << Run.Output;
    EXPECT_FALSE(fs::exists(Scratch.Path() / "TestInspect.png")) << Case.Name;
  }
}

TEST(InspectorRunTest, APictureThatCannotBeWrittenComesAfterTheReport) {
  TScratchFolder Scratch;
  ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(3));
  fs::create_directory(Scratch.Path() / "TestInspect.png");
  const TInspectorRun Run = RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
  EXPECT_EQ(Run.ExitCode, 1);
  EXPECT_TRUE(HasLine(Run.Output, "Result            healthy")) << Run.Output;
  EXPECT_TRUE(Run.Output.ends_with("\nError opening file: TestInspect.png\n")) << Run.Output;
}

TEST(InspectorRunTest, NamesAPairLeftHalfReplaced) {
  if (varnholt::test::UnderRunner()) GTEST_SKIP() << "traces the converter's system calls";
  TScratchFolder Scratch;
  ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(3));
  // The map changes, and its next conversion dies between the renames of its two maps.
  WriteFile(Scratch.Path() / "Test1Level0Map.raw", EncodeLevel0Map(test::CornerBridgeMap(4)));
  varnholt::test::TRunOptions Options;
  Options.Traced = true;
  Options.While = [](pid_t Child) {
    ASSERT_TRUE(varnholt::test::StopAtRenameOnto(Child, "Test.raw"));
    ::kill(Child, SIGKILL);
  };
  varnholt::test::RunProgram(VARNHOLT_EXE, Scratch.Path(), {"Test1Level0Map.raw"}, Options);
  const TInspectorRun Run = RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
  EXPECT_EQ(Run.ExitCode, 1);
  EXPECT_TRUE(HasLine(Run.Output,
                      "A conversion stopped while putting TestInfo.raw and Test.raw in "
                      "place: they do not belong together."))
      << Run.Output;
}

TEST(InspectorRunTest, OptionsAndTheirMistakes) {
  TScratchFolder Scratch;
  ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(3));
  const std::string Program = fs::path(InspectorPath()).filename().string();
  const std::string Usage = "Usage: " + Program + " <Level0PathFile> [--path ROW,COL ROW,COL]";
  const std::string Map = "Test1Level0Map.raw";
  const struct {
    std::vector<std::string> Arguments;
    int ExitCode;
    std::string Line;  // a line of the output
  } Cases[] = {
      {{}, 1, Usage},
      {{"a", "b"}, 1, Usage},
      {{"--help"}, 0, Usage},
      {{Map, "--help"}, 0, Usage},
      {{Map, "--bogus"}, 1, "Unknown option: --bogus"},
      {{Map, "--path", "1,2"}, 1, "--path needs two cells: --path ROW,COL ROW,COL"},
      {{Map, "--path", "1;2", "3,4"}, 1, "Invalid cell: 1;2"},
      {{Map, "--path", "32,64", "-1,0"}, 1, "Invalid cell: -1,0"},
      {{Map, "--path", "32,64", "100,100"}, 1, "Cell blocked: 100, 100"},
      {{Map, "--path", "32,64", "128,0"}, 1, "Cell outside the map: 128, 0"},
      // Through the one cell that joins the two open segments: as short as can be.
      {{Map, "--path", "32,64", "96,32"},
       0,
       "Path              (32, 64) to (96, 32): 96 steps, the shortest 96 (1.000)"},
      {{Map, "--path", "32,64", "8,8"},
       0,
       "Path              (32, 64) to (8, 8): none, the grid connects no path between them"},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Line);
    const TInspectorRun Run = RunInspector(Scratch.Path(), Case.Arguments);
    EXPECT_EQ(Run.ExitCode, Case.ExitCode);
    EXPECT_TRUE(HasLine(Run.Output, Case.Line)) << Run.Output;
  }
}

TEST(PicturePathTest, FollowsTheConverterNaming) {
  const struct {
    const char* Input;
    const char* Picture;
  } Cases[] = {
      {"maps/Infantry1Level0Map.raw", "maps/InfantryInspect.png"},
      {"Tank12Level0Map.raw", "TankInspect.png"},
      {"maps2/Tank0Level0Map.raw", "maps2/TankInspect.png"},
      {"0map.raw", "Inspect.png"},
      {"desert.raw", "desert.rawInspect.png"},
  };
  for (const auto& Case : Cases) EXPECT_EQ(PicturePath(Case.Input), Case.Picture);
}

// An RGB image read back with libpng.
struct TImage {
  std::uint32_t Width = 0;
  std::uint32_t Height = 0;
  std::vector<std::uint8_t> Rgb;
  TColour At(std::uint32_t Row, std::uint32_t Column) const {
    const std::size_t K = (std::size_t{Row} * Width + Column) * 3;
    return {Rgb[K], Rgb[K + 1], Rgb[K + 2]};
  }
};

TImage ReadPng(const TBytes& Bytes) {
  png_image Image{};
  Image.version = PNG_IMAGE_VERSION;
  if (png_image_begin_read_from_memory(&Image, Bytes.data(), Bytes.size()) == 0) {
    throw std::runtime_error(std::string("not a PNG: ") + Image.message);
  }
  Image.format = PNG_FORMAT_RGB;
  TImage Result{Image.width, Image.height, std::vector<std::uint8_t>(PNG_IMAGE_SIZE(Image))};
  if (png_image_finish_read(&Image, nullptr, Result.Rgb.data(), 0, nullptr) == 0) {
    throw std::runtime_error(std::string("bad PNG: ") + Image.message);
  }
  return Result;
}

TColour Colour(int Paint) {
  return Palette()[static_cast<std::size_t>(Paint)];
}

TEST(PictureTest, WrittenPngShowsAreasErasedCellsBordersAndWaypoints) {
  TScratchFolder Scratch;
  ConvertInFolder(Scratch.Path(), test::CornerBridgeMap(4));
  RunInspector(Scratch.Path(), {"Test1Level0Map.raw"});
  const TImage Image = ReadPng(ReadFile(Scratch.Path() / "TestInspect.png"));
  ASSERT_EQ(Image.Width, 128u);
  ASSERT_EQ(Image.Height, 128u);
  const struct {
    std::uint32_t Row, Column;
    int Paint;
  } Pixels[] = {
      {11, 11, kArea1},           {11, 27, kArea1 + 1},       {27, 11, kArea1 + 2},
      {27, 27, kArea1 + 3},       {63, 63, kErased},          {40, 40, kBlocked},
      {100, 100, kBlocked},       {10, 70, kArea1},           {64, 10, kArea1 + kBorder},
      {10, 64, kArea1 + kBorder}, {0, 0, kBlocked + kBorder}, {32, 96, kWaypoint},
      {8, 8, kWaypoint},          {33, 97, kWaypoint},
  };
  for (const auto& Pixel : Pixels) {
    EXPECT_EQ(Image.At(Pixel.Row, Pixel.Column), Colour(Pixel.Paint))
        << "(" << Pixel.Row << ", " << Pixel.Column << ")";
  }
}

TEST(PictureTest, LinesJoinLinkedWaypoints) {
  const TPicture Picture = DrawPicture(test::Opened(OpenMap(1)));
  // The waypoints sit at (32, 32), (32, 96), (96, 32) and (96, 96): four straight links.
  for (const std::uint32_t K : {40u, 64u, 90u}) {
    EXPECT_EQ(Picture.Pixels[32 * 128 + K], kLink) << K;
    EXPECT_EQ(Picture.Pixels[K * 128 + 96], kLink) << K;
  }
  EXPECT_EQ(Picture.Pixels[64 * 128 + 64], kArea1 + kBorder);
}

TEST(PictureTest, LargeMapsAreScaledDownKeepingErasedCellsVisible) {
  TLevel0Map Generated = OpenMap(7);  // 8192 cells per side
  const TLevel0Map Corner = test::CornerBridgeMap(4);
  for (std::uint32_t R = 0; R < 64; ++R) {
    for (std::uint32_t C = 0; C < 64; ++C) Generated.SetBlocked(R, C, Corner.IsBlocked(R, C));
  }
  Generated.SetBlocked(63, 63, true);
  Generated.SetBlocked(41, 41, false);  // a fifth area, erased
  const TPicture Picture = DrawPicture(test::Opened(Generated));
  EXPECT_EQ(Picture.Scale, 2u);
  const TImage Image = ReadPng(EncodePng(Picture));
  ASSERT_EQ(Image.Width, kMaxPictureSide);
  ASSERT_EQ(Image.Height, kMaxPictureSide);
  EXPECT_EQ(Image.At(20, 20), Colour(kErased));  // cells (40 ... 41, 40 ... 41)
  EXPECT_EQ(Image.At(25, 25), Colour(kBlocked));
  EXPECT_EQ(Image.At(10, 40), Colour(kArea1));            // cells (20 ... 21, 80 ... 81)
  EXPECT_EQ(Image.At(32, 10), Colour(kArea1 + kBorder));  // first row of segment (1, 0)
  EXPECT_EQ(Image.At(40, 40), Colour(kArea1));
}

}  // namespace
}  // namespace varnholt::inspect
