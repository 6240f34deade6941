// The C interface as an engine uses it. A map from memory answers every query as the same map
// from its file; the files as bytes are those varnholt_save and the program write, on every kind
// of map and after random edits, and a segment's record and areas are those of the files and of
// the plain model; a new map with its cells set is the file a hand-made encoding gives; every
// failure the header names comes with its status; calls on one map from several threads agree,
// and a save on one thread leaves the signal masks of the others alone.
#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#if !defined(_WIN32)
#include <pthread.h>

#include <csignal>
#endif
#include <cstring>
#include <thread>

#include "MapGenerator.h"
#include "TestModel.h"
#include "TestSupport.h"

namespace varnholt::test {
namespace {

namespace fs = std::filesystem;

struct TKind {
  const char* Name;
  TLevel0Map (*Make)();
};

const TKind kKinds[] = {
    {"terrain", [] { return TerrainMap(2, 51); }},
    {"rough", [] { return RoughTerrainMap(2, 52); }},
    {"noise 30 %", [] { return NoiseMap(2, 30, 53); }},
    {"noise 45 %", [] { return NoiseMap(1, 45, 54); }},
    {"maze", [] { return MazeMap(2, 55); }},
};

struct TSegmentView {
  int Kept = 0;
  std::array<std::uint8_t, 4096> Areas{};
  std::array<std::uint16_t, 4096> Regions{};
  TWaypointRecord Record;
  friend bool operator==(const TSegmentView&, const TSegmentView&) = default;
};

TSegmentView ViewOf(const TMap& Map, std::int32_t I, std::int32_t J) {
  TSegmentView View;
  View.Kept = Map.SegmentAreas(I, J, View.Areas);
  Map.SegmentRegions(I, J, View.Regions);
  View.Record = Map.SegmentRecord(I, J);
  return View;
}

bool operator==(const varnholt_survey& A, const varnholt_survey& B) {
  return std::memcmp(&A, &B, sizeof A) == 0;
}

// Everything a query can tell of the two maps is the same.
void ExpectSameAnswers(const TMap& A, const TMap& B, std::uint64_t Seed) {
  ASSERT_EQ(A.CellsPerSide(), B.CellsPerSide());
  const std::int32_t N = A.SegmentsPerSide();
  ASSERT_EQ(N, B.SegmentsPerSide());
  for (std::int32_t I = 0; I < N; ++I) {
    for (std::int32_t J = 0; J < N; ++J) EXPECT_TRUE(ViewOf(A, I, J) == ViewOf(B, I, J));
  }
  EXPECT_EQ(A.Cells({0, 0}, A.CellsPerSide(), A.CellsPerSide()),
            B.Cells({0, 0}, B.CellsPerSide(), B.CellsPerSide()));
  for (const varnholt_file Kind :
       {VARNHOLT_FILE_LEVEL0, VARNHOLT_FILE_INFO, VARNHOLT_FILE_WAYPOINT}) {
    EXPECT_EQ(A.File(Kind), B.File(Kind)) << Kind;
  }
  const TSurveyResult SurveyA = A.Survey(8, 8), SurveyB = B.Survey(8, 8);
  EXPECT_TRUE(SurveyA.Survey == SurveyB.Survey);
  EXPECT_EQ(SurveyA.Lost, SurveyB.Lost);
  TRandom Random(Seed);
  std::vector<TCell> Open;
  while (Open.size() < 12) {
    const TCell Cell{static_cast<std::int32_t>(Random.Next() % A.CellsPerSide()),
                     static_cast<std::int32_t>(Random.Next() % A.CellsPerSide())};
    EXPECT_EQ(A.AreaOf(Cell), B.AreaOf(Cell));
    if (A.Cells(Cell, 1, 1)[0] == 0) Open.push_back(Cell);
  }
  for (std::size_t K = 0; K + 1 < Open.size(); ++K) {
    EXPECT_EQ(A.Connected(Open[K], Open[K + 1]), B.Connected(Open[K], Open[K + 1]));
    EXPECT_EQ(A.FindPath(Open[K], Open[K + 1]), B.FindPath(Open[K], Open[K + 1]));
  }
}

TEST(CInterfaceTest, AMapFromMemoryAnswersAsTheSameMapFromItsFile) {
  TScratchFolder Folder;
  for (const TKind& Kind : kKinds) {
    SCOPED_TRACE(Kind.Name);
    const TBytes Bytes = EncodeLevel0Map(Kind.Make());
    const fs::path Path = Folder.Path() / "Kind1Level0Map.raw";
    WriteFile(Path, Bytes);
    ExpectSameAnswers(TMap::Analyse(Path.string()), TMap::AnalyseMemory(Bytes.data(), Bytes.size()),
                      3);
  }
}

// The level-0 map by hand, from the header's and the records' layout, as another program that
// writes maps would make it.
TBytes HandEncoded(const TLevel0Map& Map) {
  const std::uint32_t N = Map.SegmentsPerSide();
  TBytes Bytes = Header(static_cast<std::int32_t>(Map.Exponent));
  for (std::uint32_t K = 0; K < N * N; ++K) {
    TBytes Payload(512, 0);
    for (std::uint32_t R = 0; R < 64; ++R) {
      for (std::uint32_t C = 0; C < 64; ++C) {
        if (!Map.IsBlocked(K / N * 64 + R, K % N * 64 + C)) continue;
        Payload[R * 8 + C / 8] = static_cast<std::uint8_t>(Payload[R * 8 + C / 8] | 1 << (C % 8));
      }
    }
    const bool Open = std::all_of(Payload.begin(), Payload.end(), [](auto B) { return B == 0; });
    const bool Blocked =
        std::all_of(Payload.begin(), Payload.end(), [](auto B) { return B == 0xFF; });
    AppendWord(Bytes, Open ? 0 : Blocked ? 1 : -1);
    if (!Open && !Blocked) Bytes.insert(Bytes.end(), Payload.begin(), Payload.end());
  }
  return Bytes;
}

TEST(CInterfaceTest, ANewMapWithItsCellsSetIsTheMapsFile) {
  TScratchFolder Folder;
  for (const TKind& Kind : kKinds) {
    SCOPED_TRACE(Kind.Name);
    const TLevel0Map Model = Kind.Make();
    const auto Side = static_cast<std::int32_t>(Model.CellsPerSide());
    // Blocked first and opened where the map is open, in squares that cross segment borders.
    TMap Map = TMap::Create(Side, true);
    for (std::int32_t Top = 0; Top < Side; Top += 48) {
      for (std::int32_t Left = 0; Left < Side; Left += 80) {
        const std::int32_t Rows = std::min(48, Side - Top), Columns = std::min(80, Side - Left);
        TBytes Cells(static_cast<std::size_t>(Rows * Columns));
        for (std::int32_t R = 0; R < Rows; ++R) {
          for (std::int32_t C = 0; C < Columns; ++C) {
            Cells[static_cast<std::size_t>(R * Columns + C)] =
                Model.IsBlocked(static_cast<std::uint32_t>(Top + R),
                                static_cast<std::uint32_t>(Left + C))
                    ? 0xFF
                    : 0;
          }
        }
        Map.SetCells({Top, Left}, Rows, Columns, Cells.data());
      }
    }
    const TBytes Expected = HandEncoded(Model);
    EXPECT_EQ(Map.File(VARNHOLT_FILE_LEVEL0), Expected);
    EXPECT_EQ(EncodeLevel0Map(Model), Expected);
    const fs::path Saved = Folder.Path() / "New1Level0Map.raw";
    Map.Save(Saved.string());
    EXPECT_EQ(ReadFile(Saved), Expected);
  }
  EXPECT_EQ(TMap::Create(128, true).File(VARNHOLT_FILE_LEVEL0),
            HexBytes("01 00 00 00 01 00 00 00 06 00 00 00 00 00 00 00 00 00 00 00 02 00 00 00 "
                     "00 00 00 00 ff ff ff ff 01 00 00 00 01 00 00 00 01 00 00 00 01 00 00 00"));
}

// The waypoint records of a waypoint map file, in grid order.
std::vector<TWaypointRecord> RecordsOf(const TBytes& File) {
  std::vector<TWaypointRecord> Records((File.size() - 8) / 16);
  for (std::size_t K = 0; K < Records.size(); ++K) {
    std::copy_n(File.begin() + static_cast<std::ptrdiff_t>(8 + 16 * K), 16,
                Records[K].Bytes.begin());
  }
  return Records;
}

TEST(CInterfaceTest, TheFilesAsBytesAreWhatASaveAndTheProgramWrite) {
  for (const TKind& Kind : kKinds) {
    SCOPED_TRACE(Kind.Name);
    TLevel0Map Model = Kind.Make();
    const TBytes Original = EncodeLevel0Map(Model);
    TMap Map = TMap::AnalyseMemory(Original.data(), Original.size());
    TRandom Random(61);
    for (int Round = 0; Round < 3; ++Round) {
      SCOPED_TRACE(Round);
      TScratchFolder Saved, Converted;
      const fs::path Level0 = Saved.Path() / "Edited1Level0Map.raw";
      Map.Save(Level0.string());
      WriteFile(Converted.Path() / "Edited1Level0Map.raw", ReadFile(Level0));
      Convert((Converted.Path() / "Edited1Level0Map.raw").string(), {});
      const std::pair<varnholt_file, const char*> Files[] = {
          {VARNHOLT_FILE_LEVEL0, "Edited1Level0Map.raw"},
          {VARNHOLT_FILE_INFO, "EditedInfo.raw"},
          {VARNHOLT_FILE_WAYPOINT, "Edited.raw"}};
      for (const auto& [File, Name] : Files) {
        const TBytes Bytes = Map.File(File);
        EXPECT_EQ(Bytes, ReadFile(Saved.Path() / Name)) << Name;
        EXPECT_EQ(Bytes, ReadFile(Converted.Path() / Name)) << Name;
      }
      EXPECT_EQ(Map.CompareFile(VARNHOLT_FILE_INFO, (Converted.Path() / "EditedInfo.raw").string()),
                "");
      const TBytes Waypoints = Map.File(VARNHOLT_FILE_WAYPOINT);
      EXPECT_EQ(Map.CompareMemory(VARNHOLT_FILE_WAYPOINT, Waypoints.data(), Waypoints.size()), "");
      // Each segment's record is the file's, and its areas are those of the plain model.
      const std::vector<TWaypointRecord> Records = RecordsOf(Waypoints);
      const std::int32_t N = Map.SegmentsPerSide();
      for (std::int32_t I = 0; I < N; ++I) {
        for (std::int32_t J = 0; J < N; ++J) {
          const TSegmentView View = ViewOf(Map, I, J);
          EXPECT_EQ(View.Record.Bytes, Records[static_cast<std::size_t>(I * N + J)].Bytes);
          TAreaSegment Areas;
          std::int32_t Count = 0;
          model::ModelLabelAreas(SegmentOf(Model, static_cast<std::size_t>(I * N + J)), Areas,
                                 Count);
          EXPECT_EQ(View.Areas, Areas);
          EXPECT_EQ(View.Kept, Count);
        }
      }
      // Walls, openings and noise across segment borders, in the map and in its model.
      for (int Edit = 0; Edit < 4; ++Edit) {
        const auto Side = static_cast<std::int32_t>(Model.CellsPerSide());
        const std::int32_t Rows = 1 + static_cast<std::int32_t>(Random.Next() % 90);
        const std::int32_t Columns = 1 + static_cast<std::int32_t>(Random.Next() % 90);
        const auto Top =
            static_cast<std::int32_t>(Random.Next() % static_cast<std::uint64_t>(Side - Rows));
        const auto Left =
            static_cast<std::int32_t>(Random.Next() % static_cast<std::uint64_t>(Side - Columns));
        const std::uint64_t Paint = Random.Next() % 3;
        TBytes Cells(static_cast<std::size_t>(Rows * Columns));
        for (std::size_t K = 0; K < Cells.size(); ++K) {
          Cells[K] = static_cast<std::uint8_t>(Paint == 2 ? Random.Next() % 2 : Paint);
          Model.SetBlocked(static_cast<std::uint32_t>(Top) +
                               static_cast<std::uint32_t>(K) / static_cast<std::uint32_t>(Columns),
                           static_cast<std::uint32_t>(Left) +
                               static_cast<std::uint32_t>(K) % static_cast<std::uint32_t>(Columns),
                           Cells[K] != 0);
        }
        Map.SetCells({Top, Left}, Rows, Columns, Cells.data());
      }
    }
    const TBytes Edited = EncodeLevel0Map(Model);
    ExpectSameAnswers(Map, TMap::AnalyseMemory(Edited.data(), Edited.size()), 5);
  }
}

struct TFailure {
  varnholt_status Status;
  std::string Text;
  friend bool operator==(const TFailure&, const TFailure&) = default;
};

std::ostream& operator<<(std::ostream& Stream, const TFailure& Failure) {
  return Stream << Failure.Status << " " << Failure.Text;
}

TFailure Last() {
  return {varnholt_last_status(), varnholt_error()};
}

TBytes WithWord(TBytes Bytes, std::size_t Word, std::int32_t Value) {
  for (int K = 0; K < 4; ++K) {
    Bytes[4 * Word + static_cast<std::size_t>(K)] =
        static_cast<std::uint8_t>(static_cast<std::uint32_t>(Value) >> (8 * K));
  }
  return Bytes;
}

TFailure AnalyseFails(const TBytes& Bytes) {
  EXPECT_EQ(varnholt_analyse_memory(Bytes.data(), Bytes.size()), nullptr);
  return Last();
}

TEST(CInterfaceTest, EveryFailureHasItsStatus) {
  std::thread([] { EXPECT_EQ(Last(), (TFailure{VARNHOLT_OK, ""})); }).join();
  TScratchFolder Folder;
  const TBytes Small = EncodeLevel0Map(MazeMap(1, 4));
  const std::string Missing = (Folder.Path() / "Missing1Level0Map.raw").string();
  EXPECT_EQ(varnholt_analyse(Missing.c_str()), nullptr);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_OPEN, "Error opening file: " + Missing}));
  EXPECT_EQ(AnalyseFails({}), (TFailure{VARNHOLT_ERROR_READ, "Error reading file"}));
  EXPECT_EQ(AnalyseFails(TBytes(Small.begin(), Small.end() - 1)),
            (TFailure{VARNHOLT_ERROR_READ, "Error reading file"}));
  EXPECT_EQ(AnalyseFails(WithWord(Small, 4, 1)),
            (TFailure{VARNHOLT_ERROR_NOT_LEVEL0, "You selected an Info map!"}));
  EXPECT_EQ(AnalyseFails(WithWord(Small, 3, 1)),
            (TFailure{VARNHOLT_ERROR_NOT_LEVEL0, "This is not a level 0 map!"}));
  EXPECT_EQ(AnalyseFails(WithWord(Small, 0, 26)),
            (TFailure{VARNHOLT_ERROR_SIZE, "Invalid map size!"}));
  EXPECT_EQ(AnalyseFails(WithWord(Small, 0, 22)),
            (TFailure{VARNHOLT_ERROR_SIZE, "Range check error"}));
  EXPECT_EQ(AnalyseFails(WithWord(Small, 0, 21)),
            (TFailure{VARNHOLT_ERROR_MEMORY, "Out of memory"}));
  for (const std::int32_t Side : {0, 63, 96, 192, -64}) {
    EXPECT_EQ(varnholt_create(Side, 0), nullptr);
    EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_SIZE, "Invalid map size!"})) << Side;
  }
  EXPECT_EQ(varnholt_create(1 << 30, 0), nullptr);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_SIZE, "Range check error"}));

  // A pair beside the map: missing, then another map's.
  const std::string Level0 = (Folder.Path() / "Maze1Level0Map.raw").string();
  WriteFile(Level0, Small);
  const std::string Info = (Folder.Path() / "MazeInfo.raw").string();
  EXPECT_EQ(varnholt_open(Level0.c_str()), nullptr);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_STALE_PAIR, "Error opening file: " + Info}));
  Convert(Level0, {});
  WriteFile(Level0, EncodeLevel0Map(MazeMap(1, 5)));
  EXPECT_EQ(varnholt_open(Level0.c_str()), nullptr);
  EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_STALE_PAIR);
  EXPECT_TRUE(std::string(varnholt_error()).starts_with(Info + " does not match: segment "));

  varnholt_map* Map = varnholt_analyse(Level0.c_str());
  ASSERT_NE(Map, nullptr);
  EXPECT_EQ(Last().Status, VARNHOLT_ERROR_STALE_PAIR);  // a success changes nothing
  const auto Argument = [](const std::string& Text) {
    return TFailure{VARNHOLT_ERROR_ARGUMENT, Text};
  };
  std::uint8_t Bytes[4096];
  EXPECT_EQ(varnholt_find_path(Map, 0, 0, 3, 3, nullptr, 0), -1);
  EXPECT_EQ(Last(), Argument("Cell blocked: 3, 3"));
  EXPECT_EQ(varnholt_connected(Map, 0, 0, 0, 128), -1);
  EXPECT_EQ(Last(), Argument("Cell outside the map: 0, 128"));
  EXPECT_EQ(varnholt_segment_areas(Map, 2, 0, Bytes), -1);
  EXPECT_EQ(Last(), Argument("Segment outside the map: 2, 0"));
  EXPECT_EQ(varnholt_segment_record(Map, 0, 0, nullptr), -1);
  EXPECT_EQ(Last(), Argument("Missing argument: record"));
  EXPECT_EQ(varnholt_get_cells(Map, 120, 0, 9, 1, Bytes), -1);
  EXPECT_EQ(Last(), Argument("Cells outside the map: 120, 0, 9 x 1"));
  EXPECT_EQ(varnholt_set_cells(Map, 0, 0, 2, 2, nullptr), -1);
  EXPECT_EQ(Last(), Argument("Missing argument: blocked"));
  EXPECT_EQ(varnholt_write_memory(Map, 3, nullptr, 0), -1);
  EXPECT_EQ(Last(), Argument("Unknown file kind: 3"));
  EXPECT_EQ(varnholt_write_memory(Map, VARNHOLT_FILE_INFO, nullptr, 10), -1);
  EXPECT_EQ(Last(), Argument("Missing argument: buffer"));
  EXPECT_EQ(varnholt_compare_memory(Map, VARNHOLT_FILE_LEVEL0, Bytes, 4, nullptr, 0), -1);
  EXPECT_EQ(Last(), Argument("Unknown file kind: 0"));
  EXPECT_EQ(varnholt_save(Map, nullptr), -1);
  EXPECT_EQ(Last(), Argument("Error opening file: "));
  // Bytes that are no waypoint map, and a file that is cut short.
  EXPECT_EQ(varnholt_compare_memory(Map, VARNHOLT_FILE_WAYPOINT, "\1\0\0\0\2\0\0\0", 8, nullptr, 0),
            -1);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_STALE_PAIR, "Invalid waypoint map header"}));
  const std::string Waypoint = (Folder.Path() / "Maze.raw").string();
  WriteFile(Waypoint, HexBytes("02 00 00 00 02 00 00 00 01"));
  EXPECT_EQ(varnholt_compare_file(Map, VARNHOLT_FILE_WAYPOINT, Waypoint.c_str(), nullptr, 0), -1);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_STALE_PAIR, "Error reading file: " + Waypoint}));
  // A name longer than a folder's entries may be: the file is written, but cannot be renamed in.
  const std::string TooLong = (Folder.Path() / (std::string(300, 'x') + "1.raw")).string();
  EXPECT_EQ(varnholt_save(Map, TooLong.c_str()), -1);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_WRITE, "Error writing file"}));
  EXPECT_EQ(varnholt_replace_file(TooLong.c_str(), "x", 1), -1);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_WRITE, "Error writing file"}));
  EXPECT_EQ(varnholt_convert(Missing.c_str(), nullptr, nullptr), -1);
  EXPECT_EQ(Last(), (TFailure{VARNHOLT_ERROR_OPEN, "Error opening file: " + Missing}));
  varnholt_close(Map);
  EXPECT_EQ(FilesIn(Folder.Path()).size(), 3u);  // the map and its pair, nothing left over
}

TEST(CInterfaceTest, NamesOfTheFilesAMapMakes) {
  const struct {
    const char* Level0;
    const char* Info;
    const char* Waypoint;
  } Cases[] = {{"maps/Infantry1Level0Map.raw", "maps/InfantryInfo.raw", "maps/Infantry.raw"},
               {"desert.raw", "desert.rawInfo.raw", "desert.raw.raw"},
               {"0map.raw", "Info.raw", ".raw"}};
  for (const auto& Case : Cases) {
    EXPECT_EQ(FilePath(Case.Level0, VARNHOLT_FILE_LEVEL0), Case.Level0);
    EXPECT_EQ(FilePath(Case.Level0, VARNHOLT_FILE_INFO), Case.Info);
    EXPECT_EQ(FilePath(Case.Level0, VARNHOLT_FILE_WAYPOINT), Case.Waypoint);
  }
  char Cut[5] = "????";
  EXPECT_EQ(varnholt_file_path("maps/Tank1Level0Map.raw", VARNHOLT_FILE_WAYPOINT, Cut, 5), 13);
  EXPECT_STREQ(Cut, "maps");
  EXPECT_EQ(varnholt_classify_name(".varnholt-0123456789abcdef.tmp"), VARNHOLT_NAME_TEMPORARY);
  EXPECT_EQ(varnholt_classify_name(".varnholt-0123456789abcdef.lock"), VARNHOLT_NAME_TEMPORARY);
  EXPECT_EQ(varnholt_classify_name(".varnholt-0123456789abcdef.journal"), VARNHOLT_NAME_JOURNAL);
  EXPECT_EQ(varnholt_classify_name(".varnholt-0123456789abcdef.undo"), VARNHOLT_NAME_JOURNAL);
  for (const char* Other : {".varnholt-0123456789abcdeF.tmp", ".varnholt-0123456789abcde.tmp",
                            "Tank1Level0Map.raw", ".varnholt-0123456789abcdef.tmpx", ""}) {
    EXPECT_EQ(varnholt_classify_name(Other), VARNHOLT_NAME_OTHER) << Other;
  }
}

// Queries, files, the survey and comparisons from several threads on one map give what one
// thread gives (under ThreadSanitizer in CI).
TEST(CInterfaceThreadTest, ConstCallsOnOneMapAgreeAcrossThreads) {
  const TBytes Bytes = EncodeLevel0Map(RoughTerrainMap(2, 71));
  // The threads ask a map of their own, whose per-segment answers are not yet kept: they work
  // them out and keep them at once.
  const TMap First = TMap::AnalyseMemory(Bytes.data(), Bytes.size());
  const TMap Fresh = TMap::AnalyseMemory(Bytes.data(), Bytes.size());
  const auto Everything = [&](const TMap& Map) {
    std::vector<TBytes> Files;
    for (const varnholt_file Kind :
         {VARNHOLT_FILE_LEVEL0, VARNHOLT_FILE_INFO, VARNHOLT_FILE_WAYPOINT}) {
      Files.push_back(Map.File(Kind));
    }
    TBytes Damaged = Files[1];
    Damaged[12] ^= 1;  // the level in the header
    const std::string Difference =
        Map.CompareMemory(VARNHOLT_FILE_INFO, Damaged.data(), Damaged.size());
    Files.push_back(TBytes(Difference.begin(), Difference.end()));
    const TSurveyResult Survey = Map.Survey(4, 4);
    Files.push_back(TBytes(reinterpret_cast<const std::uint8_t*>(&Survey.Survey),
                           reinterpret_cast<const std::uint8_t*>(&Survey.Survey + 1)));
    for (std::int32_t K = 0; K < 16; ++K) {
      const TSegmentView View = ViewOf(Map, K / 4, K % 4);
      Files.push_back(TBytes(View.Areas.begin(), View.Areas.end()));
      Files.push_back(TBytes(View.Record.Bytes.begin(), View.Record.Bytes.end()));
    }
    TBytes Areas;
    for (std::int32_t Row = 0; Row < Map.CellsPerSide(); ++Row) {
      for (std::int32_t Column = 0; Column < Map.CellsPerSide(); ++Column)
        Areas.push_back(static_cast<std::uint8_t>(Map.AreaOf({Row, Column})));
    }
    Files.push_back(Areas);
    return Files;
  };
  const std::vector<TBytes> Alone = Everything(First);
  std::vector<std::vector<TBytes>> Together(4);
  std::vector<std::thread> Threads;
  for (auto& Result : Together) Threads.emplace_back([&] { Result = Everything(Fresh); });
  for (std::thread& Thread : Threads) Thread.join();
  for (const auto& Result : Together) EXPECT_EQ(Result, Alone);
}

#if !defined(_WIN32)
sigset_t MaskOfThisThread() {
  sigset_t Mask;
  pthread_sigmask(SIG_BLOCK, nullptr, &Mask);
  return Mask;
}

bool SameMask(const sigset_t& A, const sigset_t& B) {
  for (int Signal = 1; Signal < NSIG; ++Signal) {
    if (sigismember(&A, Signal) != sigismember(&B, Signal)) return false;
  }
  return true;
}

// A save holds signals on its own thread while it puts files in place, and there only.
TEST(CInterfaceThreadTest, ASaveKeepsTheOtherThreadsSignalMasks) {
  TScratchFolder Folder;
  const TBytes Bytes = EncodeLevel0Map(TerrainMap(1, 72));
  const TMap Map = TMap::AnalyseMemory(Bytes.data(), Bytes.size());
  std::atomic<bool> Saving{true};
  std::atomic<int> Changed{0};
  std::thread Watcher([&] {
    sigset_t Own;
    sigemptyset(&Own);
    sigaddset(&Own, SIGUSR1);
    pthread_sigmask(SIG_SETMASK, &Own, nullptr);
    while (Saving) {
      if (!SameMask(MaskOfThisThread(), Own)) ++Changed;
    }
  });
  const sigset_t Before = MaskOfThisThread();
  for (int K = 0; K < 20; ++K) {
    Map.Save((Folder.Path() / "Saved1Level0Map.raw").string());
    EXPECT_TRUE(SameMask(MaskOfThisThread(), Before));
  }
  Saving = false;
  Watcher.join();
  EXPECT_EQ(Changed, 0);
}

#endif

}  // namespace
}  // namespace varnholt::test
