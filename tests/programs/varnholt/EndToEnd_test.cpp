// Runs the built executable on maps written byte by byte into a scratch folder and checks the
// exact console bytes, the exit code and every file present afterwards.
#include <gtest/gtest.h>

#include <functional>

#include "TestRunner.h"

namespace varnholt::test {
namespace {

namespace fs = std::filesystem;

TBytes Tag(std::int32_t Value) {
  TBytes Bytes;
  AppendWord(Bytes, Value);
  return Bytes;
}

// An explicit level-0 record whose cells are blocked where Blocked(r, c) holds.
TBytes ExplicitRecord(const std::function<bool(int, int)>& Blocked) {
  TBytes Bytes = Tag(-1);
  for (int R = 0; R < 64; ++R) {
    for (int Byte = 0; Byte < 8; ++Byte) {
      unsigned Bits = 0;
      for (int Bit = 0; Bit < 8; ++Bit) Bits |= (Blocked(R, Byte * 8 + Bit) ? 1u : 0u) << Bit;
      Bytes.push_back(static_cast<std::uint8_t>(Bits));
    }
  }
  return Bytes;
}

TBytes MapFile(std::int32_t Exponent, const std::vector<TBytes>& Records) {
  TBytes Bytes = Header(Exponent);
  for (const TBytes& Record : Records) Bytes.insert(Bytes.end(), Record.begin(), Record.end());
  return Bytes;
}

TBytes Concat(std::initializer_list<TBytes> Parts) {
  TBytes Bytes;
  for (const TBytes& Part : Parts) Bytes.insert(Bytes.end(), Part.begin(), Part.end());
  return Bytes;
}

TBytes Repeat(const TBytes& Part, int Count) {
  TBytes Bytes;
  for (int K = 0; K < Count; ++K) Bytes.insert(Bytes.end(), Part.begin(), Part.end());
  return Bytes;
}

TBytes InfoHeader(std::int32_t Exponent) {
  return Header(Exponent, 1, 1);
}

const std::vector<std::string> kSuccess = {"Reading Map1.raw...", "Calculating...",
                                           "Writing MapInfo.raw...", "Writing Map.raw...", "Done."};

// The worked 2 x 2 example: (0, 0) open, (0, 1) open only in rows 10-12 and 40-41, (1, 0) open
// but for column 32, (1, 1) blocked.
TBytes WorkedExample() {
  return MapFile(1, {Tag(0), ExplicitRecord([](int R, int) {
                       return !(R >= 10 && R <= 12) && !(R >= 40 && R <= 41);
                     }),
                     ExplicitRecord([](int, int C) { return C == 32; }), Tag(1)});
}

TBytes WorkedExampleInfo() {
  TBytes Upper, Lower;
  for (int R = 0; R < 32; ++R) {
    const std::uint8_t Value = R == 5 || R == 6 ? 0x00 : R == 20 ? 0x55 : 0xFF;
    Upper.insert(Upper.end(), 8, Value);
    Lower.insert(Lower.end(), {0, 0, 0, 0, 0x55, 0x55, 0x55, 0x55});
  }
  return Concat({InfoHeader(1), Tag(0), Tag(-1), Upper, Tag(-1), Lower, Tag(1)});
}

struct TConversion {
  const char* Name;
  TBytes Input;
  TBytes Info;
  TBytes Waypoint;
};

TEST(EndToEndTest, SuccessfulRunsWriteBothMapsByteForByte) {
  const TBytes NoRecord(16, 0);
  const TBytes OpenRecord = HexBytes("00 00 00 00 20 20 00 00 00 00 00 00 10 00 00 00");
  const TConversion Cases[] = {
      {"worked 2 x 2 example", WorkedExample(), WorkedExampleInfo(),
       HexBytes("02 00 00 00 02 00 00 00"
                " 03 00 03 00 20 20 00 00 00 00 00 00 10 00 00 00"
                " 00 00 00 00 04 0C 08 28 00 00 00 00 30 00 00 00"
                " 00 00 00 00 10 10 30 10 00 00 00 00 30 00 00 00"
                " 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00 00")},
      {"1 x 1 open", MapFile(0, {Tag(0)}), Concat({InfoHeader(0), Tag(0)}),
       Concat({HexBytes("01 00 00 00 01 00 00 00"), OpenRecord})},
      {"1 x 1 open, explicit record", MapFile(0, {ExplicitRecord([](int, int) { return false; })}),
       Concat({InfoHeader(0), Tag(0)}), Concat({HexBytes("01 00 00 00 01 00 00 00"), OpenRecord})},
      {"1 x 1 blocked", MapFile(0, {Tag(1)}), Concat({InfoHeader(0), Tag(1)}),
       Concat({HexBytes("01 00 00 00 01 00 00 00"), NoRecord})},
      {"2 x 2 open", MapFile(1, {Tag(0), Tag(0), Tag(0), Tag(0)}),
       Concat({InfoHeader(1), Repeat(Tag(0), 4)}),
       Concat({HexBytes("02 00 00 00 02 00 00 00"),
               HexBytes("01 00 01 00 20 20 00 00 00 00 00 00 10 00 00 00"),
               HexBytes("01 00 00 00 20 20 00 00 00 00 00 00 10 00 00 00"),
               HexBytes("00 00 01 00 20 20 00 00 00 00 00 00 10 00 00 00"), OpenRecord})},
      {"trailing bytes ignored", Concat({MapFile(0, {Tag(0)}), HexBytes("de ad be ef 01")}),
       Concat({InfoHeader(0), Tag(0)}), Concat({HexBytes("01 00 00 00 01 00 00 00"), OpenRecord})},
      {"4 x 4 blocked", MapFile(2, std::vector<TBytes>(16, Tag(1))),
       Concat({InfoHeader(2), Repeat(Tag(1), 16)}),
       Concat({HexBytes("04 00 00 00 04 00 00 00"), Repeat(NoRecord, 16)})},
  };
  for (const TConversion& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScratchFolder Folder;
    WriteFile(Folder.Path() / "Map1.raw", Case.Input);
    const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"});
    EXPECT_EQ(Run.Output, ConsoleText(kSuccess));
    EXPECT_EQ(Run.ExitCode, 0);
    EXPECT_EQ(Run.Errors, "");
    const std::map<std::string, TBytes> Expected = {
        {"Map1.raw", Case.Input}, {"MapInfo.raw", Case.Info}, {"Map.raw", Case.Waypoint}};
    EXPECT_EQ(FilesIn(Folder.Path()), Expected);
  }
}

TEST(EndToEndTest, RecordsAreReadInGridOrder) {
  // Segment (i, j) of an 8 x 8 map is open at the one cell (i, j), so its waypoint names it.
  std::vector<TBytes> Records;
  for (int I = 0; I < 8; ++I) {
    for (int J = 0; J < 8; ++J) {
      Records.push_back(ExplicitRecord([I, J](int R, int C) { return R != I || C != J; }));
    }
  }
  TScratchFolder Folder;
  WriteFile(Folder.Path() / "Map1.raw", MapFile(3, Records));
  ASSERT_EQ(RunTool(Folder.Path(), {"Map1.raw"}).ExitCode, 0);
  const TBytes Waypoints = ReadFile(Folder.Path() / "Map.raw");
  ASSERT_EQ(Waypoints.size(), 8u + 16 * 64);
  for (int K = 0; K < 64; ++K) {
    const std::uint8_t* Record = &Waypoints[8 + 16 * static_cast<std::size_t>(K)];
    EXPECT_EQ(Record[4], K % 8) << K;  // column
    EXPECT_EQ(Record[5], K / 8) << K;  // row
    EXPECT_EQ(Record[12], 0x10) << K;
  }
}

TEST(EndToEndTest, WrongArgumentCountPrintsUsage) {
  // The program names itself by its own file: varnholt, or varnholt.exe on Windows.
  const std::string Program = fs::path(ToolPath()).filename().string();
  const std::string Usage = ConsoleText({"Usage: " + Program + " <Level0PathFile>", "",
                                         "For example: " + Program + " Infantry1Level0Map.raw"});
  for (const std::vector<std::string>& Arguments :
       std::vector<std::vector<std::string>>{{}, {"Map1.raw", "Map1.raw"}}) {
    TScratchFolder Folder;
    WriteFile(Folder.Path() / "Map1.raw", MapFile(0, {Tag(0)}));
    const TRunResult Run = RunTool(Folder.Path(), Arguments);
    EXPECT_EQ(Run.Output, Usage);
    EXPECT_EQ(Run.ExitCode, 0);
    EXPECT_EQ(FilesIn(Folder.Path()).size(), 1u);
  }
}

struct TLoadingFailure {
  const char* Name;
  std::optional<TBytes> Input;  // none: no file at all
  std::string Message;
};

TEST(EndToEndTest, LoadingFailuresTouchNoOutput) {
  const TLoadingFailure Cases[] = {
      {"missing file", std::nullopt, "Error opening file: Map1.raw"},
      {"empty file", TBytes{}, "Error reading file"},
      {"header cut short", TBytes(31, 0), "Error reading file"},
      {"info map given", Concat({InfoHeader(0), Tag(0)}), "You selected an Info map!"},
      {"info flag only", Concat({Header(0, 0, 1), Tag(0)}), "You selected an Info map!"},
      {"level 1", Concat({Header(0, 1, 0), Tag(0)}), "This is not a level 0 map!"},
      {"no record", Header(0), "Error reading file"},
      {"fewer records than segments", MapFile(3, std::vector<TBytes>(63, Tag(0))),
       "Error reading file"},
      {"tag cut short", Concat({Header(0), HexBytes("ff ff")}), "Error reading file"},
      {"payload cut short", Concat({Header(0), Tag(-1), TBytes(511, 0)}), "Error reading file"},
      {"exponent 26: no segment", Header(26), "Invalid map size!"},
      {"exponent -1: no segment", Header(-1), "Invalid map size!"},
      {"exponent 21 on a short file", Header(21), "Out of memory"},
      {"exponent 22: row too large", Header(22), "Range check error"},
      {"exponent 25: row too large", Header(25), "Range check error"},
  };
  for (const TLoadingFailure& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScratchFolder Folder;
    if (Case.Input) WriteFile(Folder.Path() / "Map1.raw", *Case.Input);
    const auto Before = FilesIn(Folder.Path());
    const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"});
    EXPECT_EQ(Run.Output, ConsoleText({"Reading Map1.raw...", Case.Message}));
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(FilesIn(Folder.Path()), Before);
  }
}

TEST(EndToEndTest, InputThatIsNotAFile) {
  TScratchFolder Folder;
  fs::create_directory(Folder.Path() / "Map1.raw");
  fs::create_directory(Folder.Path() / "maps");
  for (const std::string Argument : {"Map1.raw", "maps/"}) {
    const TRunResult Run = RunTool(Folder.Path(), {Argument});
    EXPECT_EQ(Run.Output,
              ConsoleText({"Reading " + Argument + "...", "Error opening file: " + Argument}));
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_TRUE(FilesIn(Folder.Path()).empty());
  }
}

// Old maps at both output paths, to check what a failed run leaves of them.
const TBytes kOldInfo = HexBytes("6f 6c 64 20 69 6e 66 6f");
const TBytes kOldWaypoint = HexBytes("6f 6c 64 20 77 61 79");

struct TOutputFailure {
  const char* Name;
  std::function<void(const fs::path&)> Prepare;
  TRunOptions Options;
  std::vector<std::string> Lines;  // after the banner
};

TEST(EndToEndTest, OutputFailuresLeaveTheOldMapsAsTheyWere) {
  // Sixteen filled segments: an info map of 96 bytes and a waypoint map of 264.
  const TBytes Input = MapFile(2, std::vector<TBytes>(16, Tag(0)));
  const auto MakeDirectory = [](const char* Name) {
    return [Name](const fs::path& Folder) {
      fs::remove(Folder / Name);
      fs::create_directory(Folder / Name);
      WriteFile(Folder / Name / "inside", {1});
    };
  };
  const TOutputFailure Cases[] = {
      {"directory at the info path",
       MakeDirectory("MapInfo.raw"),
       {},
       {"Reading Map1.raw...", "Calculating...", "Writing MapInfo.raw...",
        "Error opening file: MapInfo.raw"}},
      {"directory at the waypoint path",
       MakeDirectory("Map.raw"),
       {},
       {"Reading Map1.raw...", "Calculating...", "Writing MapInfo.raw...", "Writing Map.raw...",
        "Error opening file: Map.raw"}},
      {"file-size limit in the info map",
       nullptr,
       {.FileSizeLimit = 64},
       {"Reading Map1.raw...", "Calculating...", "Writing MapInfo.raw...", "Error writing file"}},
      {"file-size limit in the waypoint map",
       nullptr,
       {.FileSizeLimit = 200},
       {"Reading Map1.raw...", "Calculating...", "Writing MapInfo.raw...", "Writing Map.raw...",
        "Error writing file"}},
  };
  for (const TOutputFailure& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    // A file-size limit would fall on the emulator too, which does not survive it.
    if (Case.Options.FileSizeLimit && UnderRunner()) continue;
    TScratchFolder Folder;
    WriteFile(Folder.Path() / "Map1.raw", Input);
    WriteFile(Folder.Path() / "MapInfo.raw", kOldInfo);
    WriteFile(Folder.Path() / "Map.raw", kOldWaypoint);
    if (Case.Prepare) Case.Prepare(Folder.Path());
    const auto Before = FilesIn(Folder.Path());
    const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Case.Options);
    EXPECT_EQ(Run.Output, ConsoleText(Case.Lines));
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(Run.Signal, 0);
    EXPECT_EQ(FilesIn(Folder.Path()), Before);
    for (const char* Name : {"MapInfo.raw", "Map.raw"}) {
      if (fs::is_directory(Folder.Path() / Name)) {
        EXPECT_EQ(FilesIn(Folder.Path() / Name).size(), 1u) << Name;
      }
    }
  }
}

TEST(EndToEndTest, ExistingMapsAreReplacedNotAppendedTo) {
  TScratchFolder Folder;
  WriteFile(Folder.Path() / "Map1.raw", MapFile(0, {Tag(0)}));
  WriteFile(Folder.Path() / "MapInfo.raw", TBytes(5000, 0xAB));
  WriteFile(Folder.Path() / "Map.raw", TBytes(5000, 0xCD));
  ASSERT_EQ(RunTool(Folder.Path(), {"Map1.raw"}).ExitCode, 0);
  EXPECT_EQ(ReadFile(Folder.Path() / "MapInfo.raw"), Concat({InfoHeader(0), Tag(0)}));
  EXPECT_EQ(ReadFile(Folder.Path() / "Map.raw").size(), 24u);
  EXPECT_EQ(FilesIn(Folder.Path()).size(), 3u);
}

TEST(EndToEndTest, NamesAsLongAsTheSystemAllows) {
  // 245 bytes of input name: its outputs' names, 248 bytes, still fit, and so must the
  // temporary files they are written as.
  const std::string Prefix(240, 'A');
  TScratchFolder Folder;
  WriteFile(Folder.Path() / (Prefix + "1.raw"), MapFile(0, {Tag(0)}));
  const TRunResult Run = RunTool(Folder.Path(), {Prefix + "1.raw"});
  EXPECT_EQ(Run.ExitCode, 0) << Run.Output;
  EXPECT_EQ(FilesIn(Folder.Path()).size(), 3u);
  EXPECT_EQ(ReadFile(Folder.Path() / (Prefix + "Info.raw")), Concat({InfoHeader(0), Tag(0)}));
}

TEST(EndToEndTest, UnusableStandardOutputEndsWithAReportOnStandardError) {
  const struct {
    const char* Name;
    TRunOptions Options;
  } Cases[] = {{"full device", {.StandardOutput = "/dev/full"}},
               {"closed", {.CloseStandardOutput = true}}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScratchFolder Folder;
    WriteFile(Folder.Path() / "Map1.raw", MapFile(0, {Tag(0)}));
    const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Case.Options);
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(Run.Signal, 0);
    EXPECT_NE(Run.Errors.find("cannot write to standard output"), std::string::npos) << Run.Errors;
    EXPECT_EQ(FilesIn(Folder.Path()).size(), 1u);
  }
}

}  // namespace
}  // namespace varnholt::test
