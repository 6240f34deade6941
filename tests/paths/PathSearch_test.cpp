// Paths on every kind of generated map, checked against a plain breadth-first search of the whole
// grid: a path exactly when the grid connects the cells, every path a chain of 4-adjacent open
// cells from the start to the goal and no shorter than the shortest, the exact search exactly as
// long; the same through the C interface and from several threads at once.
#include "paths/PathSearch.h"

#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "MapGenerator.h"
#include "TestSupport.h"
#include "convert/Varnholt.h"

namespace varnholt::test {
namespace {

namespace fs = std::filesystem;

// Open cells at random, half of them in erased areas where there are such.
std::vector<TCell> SomeOpenCells(const TRegionMap& Map, std::size_t Count, std::uint64_t Seed) {
  std::vector<TCell> Open, Erased;
  const auto Side = static_cast<std::int32_t>(Map.Cells().CellsPerSide());
  for (std::int32_t Row = 0; Row < Side; ++Row) {
    for (std::int32_t Column = 0; Column < Side; ++Column) {
      if (!Map.Cells().IsOpen({Row, Column})) continue;
      (AreaOf(Map, {Row, Column}) == 0 ? Erased : Open).push_back({Row, Column});
    }
  }
  TRandom Random(Seed);
  std::vector<TCell> Chosen;
  for (std::size_t K = 0; K < Count; ++K) {
    const std::vector<TCell>& From = K % 2 == 1 && !Erased.empty() ? Erased : Open;
    if (!From.empty()) Chosen.push_back(From[Random.Next() % From.size()]);
  }
  return Chosen;
}

bool AreNeighbours(TCell A, TCell B) {
  return std::abs(A.Row - B.Row) + std::abs(A.Column - B.Column) == 1;
}

// Checks one query against the model; returns the path's length over the shortest (1 when none).
double CheckPath(const TRegionMap& Map, TCell Start, TCell Goal, std::int64_t Shortest) {
  const std::vector<TCell> Path = FindPath(Map, Start, Goal);
  EXPECT_EQ(ShortestPathLength(Map, Start, Goal), Shortest);
  if (Shortest < 0) {
    EXPECT_TRUE(Path.empty());
    return 1;
  }
  EXPECT_FALSE(Path.empty());
  if (Path.empty()) return 1;
  EXPECT_EQ(Path.front(), Start);
  EXPECT_EQ(Path.back(), Goal);
  for (std::size_t K = 0; K < Path.size(); ++K) {
    EXPECT_TRUE(Map.Cells().IsOpen(Path[K]));
    if (K > 0) {
      EXPECT_TRUE(AreNeighbours(Path[K - 1], Path[K])) << K;
    }
  }
  const auto Steps = static_cast<std::int64_t>(Path.size()) - 1;
  EXPECT_GE(Steps, Shortest);
  return Shortest == 0 ? 1 : static_cast<double>(Steps) / static_cast<double>(Shortest);
}

// Every pair of Cells: found exactly where the grid connects them, valid, most of them the
// shortest and none longer than Bound times it.
void CheckPairs(const TRegionMap& Map, const std::vector<TCell>& Cells, double Bound) {
  const std::uint32_t Side = Map.Cells().CellsPerSide();
  std::vector<double> Ratios;
  for (std::size_t A = 0; A < Cells.size(); A += 4) {
    const std::vector<std::int64_t> Steps = GridSteps(Map.Cells(), Cells[A]);
    for (std::size_t B = 0; B < Cells.size(); ++B) {
      const TCell Goal = Cells[B];
      Ratios.push_back(CheckPath(Map, Cells[A], Goal, Steps[IndexOf(Goal, Side)]));
    }
  }
  std::sort(Ratios.begin(), Ratios.end());
  EXPECT_EQ(Ratios[Ratios.size() / 2], 1.0);
  EXPECT_LE(Ratios[Ratios.size() * 95 / 100], 1.01);
  EXPECT_LE(Ratios.back(), Bound);
}

// The model of a path toward a goal: the cell nearest the goal among those Start reaches, by the
// squared distance between centres, of equal ones the first in row-major order.
TCell NearestReached(const std::vector<std::int64_t>& Steps, std::uint32_t Side, TCell Goal) {
  TCell Nearest{-1, -1};
  std::int64_t Best = INT64_MAX;
  for (std::int32_t Row = 0; Row < static_cast<std::int32_t>(Side); ++Row) {
    for (std::int32_t Column = 0; Column < static_cast<std::int32_t>(Side); ++Column) {
      if (Steps[IndexOf({Row, Column}, Side)] < 0) continue;
      const std::int64_t Rows = Row - Goal.Row, Columns = Column - Goal.Column;
      if (Rows * Rows + Columns * Columns < Best) {
        Best = Rows * Rows + Columns * Columns;
        Nearest = {Row, Column};
      }
    }
  }
  return Nearest;
}

TEST(PathSearchTest, PathsOnEveryKindOfMapAgreeWithTheGrid) {
  const struct {
    const char* Name;
    TLevel0Map (*Make)();
  } Kinds[] = {
      {"open", [] { return OpenMap(2); }},
      {"terrain", [] { return TerrainMap(3, 11); }},
      {"rough", [] { return RoughTerrainMap(3, 12); }},
      {"noise 30 %", [] { return NoiseMap(2, 30, 13); }},
      {"noise 45 %, split everywhere", [] { return NoiseMap(2, 45, 14); }},
      {"maze", [] { return MazeMap(2, 15); }},
      {"maze, corridors 4 wide", [] { return MazeMap(3, 16, 4); }},
      {"rooms", [] { return RoomMap(3, 17); }},
      {"caves", [] { return CaveMap(3, 18); }},
      {"city", [] { return CityMap(3, 19); }},
      {"islands", [] { return IslandMap(3, 20); }},
  };
  for (const auto& Kind : Kinds) {
    SCOPED_TRACE(Kind.Name);
    const TRegionMap Map = RegionsOf(EncodeLevel0Map(Kind.Make()));
    CheckPairs(Map, SomeOpenCells(Map, 48, 7), 1.05);
  }
}

// Goals on walls, on islands, beyond the start's reach, and goals it reaches, which get the path.
TEST(PathSearchTest, PathsTowardAnyGoalEndAtTheNearestCellReached) {
  for (const TLevel0Map& Made : {IslandMap(2, 5), NoiseMap(2, 45, 6), RoomMap(2, 7)}) {
    const TRegionMap Map = RegionsOf(EncodeLevel0Map(Made));
    const std::uint32_t Side = Map.Cells().CellsPerSide();
    TRandom Random(3);
    for (const TCell Start : SomeOpenCells(Map, 8, 9)) {
      const std::vector<std::int64_t> Steps = GridSteps(Map.Cells(), Start);
      for (int K = 0; K < 12; ++K) {
        const TCell Goal{static_cast<std::int32_t>(Random.Next() % Side),
                         static_cast<std::int32_t>(Random.Next() % Side)};
        const std::vector<TCell> Path = FindPathToward(Map, Start, Goal);
        const TCell Nearest = NearestReached(Steps, Side, Goal);
        ASSERT_FALSE(Path.empty());
        EXPECT_EQ(Path.back(), Nearest) << CellText(Start) << " toward " << CellText(Goal);
        if (Path.back() == Nearest) CheckPath(Map, Start, Nearest, Steps[IndexOf(Nearest, Side)]);
        if (Nearest == Goal) {
          EXPECT_EQ(Path, FindPath(Map, Start, Goal));
        }
      }
    }
  }
  const TRegionMap Map = RegionsOf(EncodeLevel0Map(IslandMap(1, 5)));
  const TCell Open = SomeOpenCells(Map, 1, 1)[0];
  EXPECT_EQ(FailureOf([&] {
              FindPathToward(Map, Open, {0, 128});
            }),
            "Cell outside the map: 0, 128");
  EXPECT_EQ(FailureOf([&] { FindPathToward(Map, {-1, 3}, Open); }), "Cell outside the map: -1, 3");
}

#if !defined(_WIN32)
TEST(PathSearchTest, PathsOnTheFuzzCorpusAgreeWithTheGrid) {
  for (const auto& Entry : fs::directory_iterator(VARNHOLT_CONVERT_CORPUS)) {
    SCOPED_TRACE(Entry.path().filename().string());
    TRegionMap Map;
    const TBytes File = ReadFile(Entry.path());
    if (FailureOf([&] { Map = RegionsOf(File); }) != "no failure") continue;
    CheckPairs(Map, SomeOpenCells(Map, 24, 3), 3);
  }
}
#endif

// Also just after an edit, when the threads' first queries race to work out what connects.
TEST(PathSearchTest, ThreadsFindTheSamePathsAsOne) {
  const TBytes File = EncodeLevel0Map(RoughTerrainMap(3, 21));
  TRegionMap Map = RegionsOf(File), Edited = RegionsOf(File);
  const auto Side = static_cast<std::int32_t>(Map.Cells().CellsPerSide());
  std::vector<TCell> Cells = SomeOpenCells(Map, 64, 5);
  std::erase_if(Cells, [&](TCell Cell) { return Cell.Row == Side / 2; });
  const auto AllPaths = [&](const TRegionMap& On) {
    std::vector<std::vector<TCell>> Paths;
    for (std::size_t K = 0; K + 1 < Cells.size(); ++K) {
      Paths.push_back(FindPath(On, Cells[K], Cells[K + 1]));
      Paths.push_back(FindPathToward(On, Cells[K], {Cells[K].Row, Side - 1 - Cells[K + 1].Column}));
    }
    return Paths;
  };
  for (const bool Edit : {false, true}) {
    SCOPED_TRACE(Edit ? "after an edit" : "as opened");
    if (Edit) {
      // A wall across the map with one gap, on a row none of the cells asked about is on.
      std::vector<std::uint8_t> Wall(static_cast<std::size_t>(Side), 1);
      Wall[static_cast<std::size_t>(Side / 3)] = 0;
      for (TRegionMap* On : {&Map, &Edited}) {
        On->SetCells({Side / 2, 0}, 1, static_cast<std::uint32_t>(Side), Wall);
      }
    }
    const auto Alone = AllPaths(Map);
    std::vector<std::vector<std::vector<TCell>>> Together(4);
    std::vector<std::thread> Threads;
    for (auto& Paths : Together) Threads.emplace_back([&] { Paths = AllPaths(Edited); });
    for (std::thread& Thread : Threads) Thread.join();
    for (const auto& Paths : Together) EXPECT_EQ(Paths, Alone);
  }
}

// The C interface on a file: paths written up to the room given, failures in words, and a pair
// beside the map checked by varnholt_open.
TEST(PathSearchTest, TheCInterfaceFindsPathsAndSaysWhatFails) {
  TScratchFolder Folder;
  const std::string Level0 = (Folder.Path() / "Maze1Level0Map.raw").string();
  WriteFile(Level0, EncodeLevel0Map(MazeMap(1, 4)));
  EXPECT_EQ(varnholt_open(Level0.c_str()), nullptr);
  EXPECT_EQ(std::string(varnholt_error()),
            "Error opening file: " + (Folder.Path() / "MazeInfo.raw").string());
  varnholt_map* Map = varnholt_analyse(Level0.c_str());
  ASSERT_NE(Map, nullptr);
  EXPECT_EQ(varnholt_cells_per_side(Map), 128);
  EXPECT_EQ(varnholt_area_of(Map, 128, 0), -1);
  EXPECT_EQ(varnholt_area_of(Map, 3, 3), 0);  // a wall
  const std::int64_t Count = varnholt_find_path(Map, 0, 0, 126, 126, nullptr, 0);
  ASSERT_GT(Count, 253);
  std::vector<std::int32_t> Cells(static_cast<std::size_t>(2 * Count) + 2, -7);
  EXPECT_EQ(varnholt_find_path(Map, 0, 0, 126, 126, Cells.data(), 3), Count);
  EXPECT_EQ(std::count(Cells.begin(), Cells.end(), -7),
            static_cast<std::ptrdiff_t>(Cells.size() - 6));
  EXPECT_EQ(varnholt_find_path(Map, 0, 0, 126, 126, Cells.data(), Count), Count);
  EXPECT_EQ(std::vector(Cells.end() - 4, Cells.end()),
            (std::vector<std::int32_t>{126, 126, -7, -7}));
  EXPECT_EQ(varnholt_find_path(Map, 0, 0, 3, 3, nullptr, 0), -1);
  EXPECT_EQ(std::string(varnholt_error()), "Cell blocked: 3, 3");
  EXPECT_EQ(varnholt_find_path(Map, -1, 0, 3, 3, nullptr, 0), -1);
  EXPECT_EQ(std::string(varnholt_error()), "Cell outside the map: -1, 0");
  EXPECT_EQ(varnholt_find_path(Map, -1, 0, -2, 0, nullptr, 0), -1);  // the start's, first
  EXPECT_EQ(std::string(varnholt_error()), "Cell outside the map: -1, 0");
  varnholt_close(Map);

  ConvertMap(Level0, (Folder.Path() / "MazeInfo.raw").string(),
             (Folder.Path() / "Maze.raw").string(), [](std::string_view) {});
  Map = varnholt_open(Level0.c_str());
  EXPECT_NE(Map, nullptr) << varnholt_error();
  varnholt_close(Map);
  // The same through the C++ interface, which asks again with room for the whole path.
  const TMap Opened = TMap::Open(Level0);
  const std::vector<TCell> Path = Opened.FindPath({0, 0}, {126, 126});
  EXPECT_EQ(static_cast<std::int64_t>(Path.size()), Count);
  EXPECT_EQ(Path.back(), (TCell{126, 126}));
  EXPECT_EQ(FailureOf([&] { Opened.FindPath({0, 0}, {3, 3}); }), "Cell blocked: 3, 3");
  WriteFile(Level0, EncodeLevel0Map(MazeMap(1, 5)));
  EXPECT_EQ(varnholt_open(Level0.c_str()), nullptr);
  EXPECT_TRUE(std::string(varnholt_error()).find("does not match: segment") != std::string::npos)
      << varnholt_error();
}

}  // namespace
}  // namespace varnholt::test
