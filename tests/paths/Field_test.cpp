// Fields toward a goal against a breadth-first search from the goal over the whole grid: every
// distance exact, every next cell one step nearer and the first such of up, down, left and right,
// every path a shortest one; asked in any order, after random edits as a field made afresh, and
// from several threads at once; and through the C interface, with what it fails on.
#include "paths/Field.h"

#include <gtest/gtest.h>
#include <varnholt/varnholt.hpp>

#include <algorithm>
#include <thread>

#include "MapGenerator.h"
#include "TestSupport.h"

namespace varnholt::test {
namespace {

constexpr TCell kSteps[] = {{-1, 0}, {1, 0}, {0, -1}, {0, 1}};  // up, down, left, right

// What the field should say of every cell: the model's steps, and of the neighbours one step
// nearer, the first in the field's order.
struct TExpected {
  std::int64_t Distance;
  bool HasNext;
  TCell Next;
};

TExpected Expected(const TCellStore& Cells, const std::vector<std::int64_t>& Steps, TCell Cell) {
  const std::uint32_t Side = Cells.CellsPerSide();
  const std::int64_t Here = Steps[IndexOf(Cell, Side)];
  for (const TCell& Step : kSteps) {
    const TCell Beside{Cell.Row + Step.Row, Cell.Column + Step.Column};
    if (Here > 0 && Cells.IsInside(Beside) && Steps[IndexOf(Beside, Side)] == Here - 1)
      return {Here, true, Beside};
  }
  return {Here, false, {}};
}

// Every open cell, in an order of their own: the field's answers against the model's.
void ExpectModel(const TGoalField& Field, const TCellStore& Cells, TCell Goal, std::uint64_t Seed) {
  const std::vector<std::int64_t> Steps = GridSteps(Cells, Goal);
  const auto Side = static_cast<std::int32_t>(Cells.CellsPerSide());
  std::vector<TCell> Open;
  for (std::int32_t Row = 0; Row < Side; ++Row) {
    for (std::int32_t Column = 0; Column < Side; ++Column) {
      if (Cells.IsOpen({Row, Column})) Open.push_back({Row, Column});
    }
  }
  TRandom Random(Seed);
  for (std::size_t K = Open.size(); K > 1; --K) std::swap(Open[K - 1], Open[Random.Next() % K]);
  for (const TCell Cell : Open) {
    const TExpected Wanted = Expected(Cells, Steps, Cell);
    ASSERT_EQ(Field.Distance(Cell), Wanted.Distance) << CellText(Cell);
    TCell Next;
    ASSERT_EQ(Field.Next(Cell, Next), Wanted.HasNext) << CellText(Cell);
    if (Wanted.HasNext) {
      ASSERT_EQ(Next, Wanted.Next) << CellText(Cell);
    }
  }
  for (std::size_t K = 0; K < 8 && K < Open.size(); ++K) {
    const std::vector<TCell> Path = Field.Path(Open[K]);
    const std::int64_t Shortest = Steps[IndexOf(Open[K], static_cast<std::uint32_t>(Side))];
    ASSERT_EQ(static_cast<std::int64_t>(Path.size()), Shortest + 1);
    if (Path.empty()) continue;
    EXPECT_EQ(Path.front(), Open[K]);
    EXPECT_EQ(Path.back(), Goal);
  }
}

struct TKind {
  const char* Name;
  TLevel0Map (*Make)();
};

const TKind kKinds[] = {
    {"terrain", [] { return TerrainMap(2, 81); }},
    {"rough", [] { return RoughTerrainMap(2, 82); }},
    {"noise 30 %", [] { return NoiseMap(2, 30, 83); }},
    {"maze", [] { return MazeMap(2, 84); }},
    {"rooms", [] { return RoomMap(2, 85); }},
    {"caves", [] { return CaveMap(2, 86); }},
    {"city", [] { return CityMap(2, 87); }},
    {"islands", [] { return IslandMap(2, 88); }},
};

TCell SomeOpenCell(const TCellStore& Cells, TRandom& Random) {
  const std::uint32_t Side = Cells.CellsPerSide();
  for (;;) {
    const TCell Cell{static_cast<std::int32_t>(Random.Next() % Side),
                     static_cast<std::int32_t>(Random.Next() % Side)};
    if (Cells.IsOpen(Cell)) return Cell;
  }
}

TEST(FieldTest, EveryKindOfMapAgreesWithABreadthFirstSearch) {
  for (const TKind& Kind : kKinds) {
    SCOPED_TRACE(Kind.Name);
    const TRegionMap Map = RegionsOf(EncodeLevel0Map(Kind.Make()));
    TRandom Random(5);
    for (int Goal = 0; Goal < 2; ++Goal) {
      const TCell At = SomeOpenCell(Map.Cells(), Random);
      const TGoalField Field(Map, At);
      ExpectModel(Field, Map.Cells(), At, Random.Next());
    }
  }
}

#if !defined(_WIN32)
TEST(FieldTest, TheFuzzCorpusAgreesWithABreadthFirstSearch) {
  for (const auto& Entry : std::filesystem::directory_iterator(VARNHOLT_CONVERT_CORPUS)) {
    SCOPED_TRACE(Entry.path().filename().string());
    TRegionMap Map;
    const TBytes File = ReadFile(Entry.path());
    if (FailureOf([&] { Map = RegionsOf(File); }) != "no failure") continue;
    TRandom Random(File.size());
    for (int Try = 0; Try < 1000; ++Try) {
      const TCell At = {static_cast<std::int32_t>(Random.Next() % Map.Cells().CellsPerSide()),
                        static_cast<std::int32_t>(Random.Next() % Map.Cells().CellsPerSide())};
      if (!Map.Cells().IsOpen(At)) continue;
      const TGoalField Field(Map, At);
      ExpectModel(Field, Map.Cells(), At, 3);
      break;
    }
  }
}
#endif

// A field asked before and after edits answers as one made afresh, and as the model.
TEST(FieldTest, FieldsFollowEditsAsFieldsMadeAfresh) {
  for (const TKind& Kind : kKinds) {
    SCOPED_TRACE(Kind.Name);
    TLevel0Map Model = Kind.Make();
    TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
    TRandom Random(7);
    const TCell Goal = SomeOpenCell(Map.Cells(), Random);
    const TGoalField Field(Map, Goal);
    for (int Edit = 0; Edit < 4; ++Edit) {
      // Some cells asked, so that the edit meets a field partly worked out.
      for (int K = 0; K < 20; ++K) Field.Distance(SomeOpenCell(Map.Cells(), Random));
      const std::uint32_t Size = 1 + static_cast<std::uint32_t>(Random.Next() % 70);
      const TCell Corner = {static_cast<std::int32_t>(Random.Next() % (256 - Size)),
                            static_cast<std::int32_t>(Random.Next() % (256 - Size))};
      std::vector<std::uint8_t> Cells(std::size_t{Size} * Size);
      const std::uint64_t Paint = Random.Next() % 3;
      for (std::uint8_t& Cell : Cells)
        Cell = static_cast<std::uint8_t>(Paint == 2 ? Random.Next() % 2 : Paint);
      Map.SetCells(Corner, Size, Size, Cells);
      if (!Map.Cells().IsOpen(Goal)) {
        EXPECT_EQ(Field.Distance(SomeOpenCell(Map.Cells(), Random)), -1);
        break;
      }
      const TGoalField Fresh(Map, Goal);
      for (int K = 0; K < 200; ++K) {
        const TCell Cell = SomeOpenCell(Map.Cells(), Random);
        ASSERT_EQ(Field.Distance(Cell), Fresh.Distance(Cell)) << CellText(Cell);
        TCell A, B;
        ASSERT_EQ(Field.Next(Cell, A), Fresh.Next(Cell, B));
        if (Fresh.Next(Cell, B)) {
          ASSERT_EQ(A, B);
        }
      }
      ExpectModel(Field, Map.Cells(), Goal, Random.Next());
    }
  }
}

// Small edits on a map of 8 x 8 segments, near the goal and far from it, after the field has been
// asked all over: the segments an edit may keep and those it must work out again both meet it.
TEST(FieldTest, SmallEditsKeepWhatTheyCannotChange) {
  for (const auto& Make : {+[] { return CaveMap(3, 95); }, +[] { return RoomMap(3, 96); }}) {
    TLevel0Map Model = Make();
    TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
    TRandom Random(13);
    const TCell Goal = SomeOpenCell(Map.Cells(), Random);
    const TGoalField Field(Map, Goal);
    for (int Edit = 0; Edit < 6; ++Edit) {
      ExpectModel(Field, Map.Cells(), Goal, Random.Next());
      const std::uint32_t Size = 1 + static_cast<std::uint32_t>(Random.Next() % 12);
      // Every other edit within a few segments of the goal.
      const std::int32_t Reach = Edit % 2 == 0 ? 160 : 512;
      const auto Near = [&](std::int32_t At) {
        const std::int32_t From = std::max(0, At - Reach / 2);
        const std::int32_t To = std::min(512 - static_cast<std::int32_t>(Size), From + Reach);
        return From +
               static_cast<std::int32_t>(Random.Next() % static_cast<std::uint64_t>(To - From + 1));
      };
      const TCell Corner{Near(Goal.Row), Near(Goal.Column)};
      std::vector<std::uint8_t> Cells(std::size_t{Size} * Size, Edit % 3 == 2 ? 0 : 1);
      if (Corner.Row <= Goal.Row && Goal.Row < Corner.Row + static_cast<std::int32_t>(Size) &&
          Corner.Column <= Goal.Column &&
          Goal.Column < Corner.Column + static_cast<std::int32_t>(Size))
        continue;
      Map.SetCells(Corner, Size, Size, Cells);
    }
    ExpectModel(Field, Map.Cells(), Goal, 1);
  }
}

// A wall across an open map with one gap, the goal in a corner, the wall on the first column of
// segments so that a gap opened in it lies in a segment first reached from beyond: closing the gap
// lengthens every way beyond the wall, opening another shortens them; the segments about the goal
// stay through both, and must stay as they were while those beside them are worked out again. A
// goal blocked and opened again is found again.
TEST(FieldTest, AGapClosedAndAnotherOpened) {
  TLevel0Map Model = OpenMap(3);
  for (std::uint32_t Row = 0; Row < 512; ++Row) Model.SetBlocked(Row, 320, Row != 256);
  TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
  const TCell Goal{0, 0};
  const TGoalField Field(Map, Goal);
  ExpectModel(Field, Map.Cells(), Goal, 1);
  const std::uint8_t Wall = 1, Gap = 0;
  Map.SetCells({256, 320}, 1, 1, {&Wall, 1});
  ExpectModel(Field, Map.Cells(), Goal, 2);
  Map.SetCells({20, 320}, 1, 1, {&Gap, 1});
  ExpectModel(Field, Map.Cells(), Goal, 3);
  // Asked only beyond the wall, far from the goal, then edited again there.
  Map.SetCells({500, 320}, 1, 1, {&Gap, 1});
  EXPECT_EQ(Field.Distance({511, 511}), GridSteps(Map.Cells(), Goal)[IndexOf({511, 511}, 512)]);
  Map.SetCells({20, 320}, 1, 1, {&Wall, 1});
  ExpectModel(Field, Map.Cells(), Goal, 4);
  // The goal itself blocked, an edit far from it, and the goal opened again.
  Map.SetCells(Goal, 1, 1, {&Wall, 1});
  EXPECT_EQ(Field.Distance({511, 511}), -1);
  Map.SetCells({400, 400}, 1, 1, {&Wall, 1});
  Map.SetCells(Goal, 1, 1, {&Gap, 1});
  ExpectModel(Field, Map.Cells(), Goal, 5);
}

// Four threads asking one fresh field at once: the answers of one.
TEST(FieldThreadTest, ThreadsAskingOneFieldAgreeWithOne) {
  const TRegionMap Map = RegionsOf(EncodeLevel0Map(CaveMap(3, 91)));
  TRandom Random(11);
  const TCell Goal = SomeOpenCell(Map.Cells(), Random);
  std::vector<TCell> Cells;
  for (int K = 0; K < 400; ++K) Cells.push_back(SomeOpenCell(Map.Cells(), Random));
  const auto Answers = [&](const TGoalField& Field, std::size_t First) {
    std::vector<std::int64_t> Found(Cells.size());
    for (std::size_t K = 0; K < Cells.size(); ++K) {
      const std::size_t At = (First + K) % Cells.size();
      Found[At] = static_cast<std::int64_t>(Field.Path(Cells[At]).size());
    }
    return Found;
  };
  const std::vector<std::int64_t> Alone = Answers(TGoalField(Map, Goal), 0);
  const TGoalField Shared(Map, Goal);
  std::vector<std::vector<std::int64_t>> Together(4);
  std::vector<std::thread> Threads;
  for (std::size_t T = 0; T < Together.size(); ++T) {
    Threads.emplace_back([&, T] { Together[T] = Answers(Shared, T * 97); });
  }
  for (std::thread& Thread : Threads) Thread.join();
  for (const auto& Found : Together) EXPECT_EQ(Found, Alone);
}

TEST(FieldTest, TheCInterfaceSaysWhatFails) {
  const TBytes Bytes = EncodeLevel0Map(MazeMap(1, 5));
  const TMap Map = TMap::AnalyseMemory(Bytes.data(), Bytes.size());
  const TRegionMap Regions = RegionsOf(Bytes);
  TCell Wall{0, 0};
  while (Regions.Cells().IsOpen(Wall)) ++Wall.Column;
  EXPECT_EQ(varnholt_field_create(Map.Handle(), Wall.Row, Wall.Column), nullptr);
  EXPECT_EQ(std::string(varnholt_error()), "Cell blocked: " + CellText(Wall));
  EXPECT_EQ(varnholt_field_create(Map.Handle(), 5, 128), nullptr);
  EXPECT_EQ(std::string(varnholt_error()), "Cell outside the map: 5, 128");
  EXPECT_EQ(varnholt_last_status(), VARNHOLT_ERROR_ARGUMENT);
  TRandom Random(3);
  const TCell Goal = SomeOpenCell(Regions.Cells(), Random);
  const TField Field = Map.Field(Goal);
  EXPECT_THROW(Field.Distance({-1, 0}), Exception);
  EXPECT_THROW(Field.Distance(Wall), Exception);
  EXPECT_EQ(Field.Distance(Goal), 0);
  TCell Next;
  EXPECT_FALSE(Field.Next(Goal, Next));
  EXPECT_EQ(Field.Path(Goal), std::vector<TCell>{Goal});
  const TCell Other = SomeOpenCell(Regions.Cells(), Random);
  const std::int64_t Cells = varnholt_field_path(nullptr, Other.Row, Other.Column, nullptr, 0);
  EXPECT_EQ(Cells, -1);
  EXPECT_EQ(std::string(varnholt_error()), "Missing argument: field");
}

}  // namespace
}  // namespace varnholt::test
