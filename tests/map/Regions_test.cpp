// Edits of an analysed map, checked against a map analysed afresh from the same cells: random
// sequences of single cells, rows, rectangles across segment borders, whole segments made open
// or blocked and the map's edges, on every kind of generated map. The cells are also followed in
// the generator's own map, edited cell by cell, whose file a save must reproduce exactly; and the
// files a save writes are those a conversion of the saved map makes.
#include "map/Regions.h"

#include <gtest/gtest.h>
#include <varnholt/varnholt.h>

#include <array>

#include "MapGenerator.h"
#include "TestModel.h"
#include "TestSupport.h"
#include "convert/Varnholt.h"
#include "paths/PathSearch.h"

namespace varnholt::test {
namespace {

namespace fs = std::filesystem;

// An edit: a rectangle and what its cells become.
struct TEdit {
  TCell Corner;
  std::uint32_t Rows = 0;
  std::uint32_t Columns = 0;
  std::vector<std::uint8_t> Blocked;
};

TCell At(std::uint32_t Row, std::uint32_t Column) {
  return {static_cast<std::int32_t>(Row), static_cast<std::int32_t>(Column)};
}

TEdit RandomEdit(std::uint32_t Side, TRandom& Random) {
  const auto Below = [&](std::uint64_t Bound) {
    return static_cast<std::uint32_t>(Random.Next() % Bound);
  };
  TEdit Edit;
  switch (Below(5)) {
    case 0:  // one cell
      Edit = {At(Below(Side), Below(Side)), 1, 1, {}};
      break;
    case 1:  // a stretch of a row
      Edit.Corner = At(Below(Side), Below(Side));
      Edit.Rows = 1;
      Edit.Columns = 1 + Below(Side - static_cast<std::uint32_t>(Edit.Corner.Column));
      break;
    case 2:  // a whole segment
      Edit = {At(Below(Side / 64) * 64, Below(Side / 64) * 64), 64, 64, {}};
      break;
    case 3: {  // at an edge of the map
      const std::uint32_t Size = 1 + Below(80);
      const bool Far = Below(2) == 1;
      Edit = {At(Far ? Side - Size : 0, Below(Side - Size)), Size, 1 + Below(Size), {}};
      break;
    }
    default: {  // a rectangle, mostly across segment borders
      Edit.Rows = 1 + Below(100);
      Edit.Columns = 1 + Below(100);
      Edit.Corner = At(Below(Side - Edit.Rows + 1), Below(Side - Edit.Columns + 1));
    }
  }
  // All open, all blocked, or noise.
  const std::uint32_t Kind = Below(3);
  Edit.Blocked.resize(std::size_t{Edit.Rows} * Edit.Columns);
  for (std::uint8_t& Cell : Edit.Blocked) {
    Cell = Kind == 2 ? static_cast<std::uint8_t>(Below(2) * (1 + Below(255)))
                     : static_cast<std::uint8_t>(Kind);
  }
  return Edit;
}

// The edit in the generator's map, cell by cell.
void ApplyToModel(const TEdit& Edit, TLevel0Map& Model) {
  for (std::uint32_t R = 0; R < Edit.Rows; ++R) {
    for (std::uint32_t C = 0; C < Edit.Columns; ++C) {
      Model.SetBlocked(static_cast<std::uint32_t>(Edit.Corner.Row) + R,
                       static_cast<std::uint32_t>(Edit.Corner.Column) + C,
                       Edit.Blocked[std::size_t{R} * Edit.Columns + C] != 0);
    }
  }
}

void Apply(const TEdit& Edit, TRegionMap& Map, TLevel0Map& Model) {
  Map.SetCells(Edit.Corner, Edit.Rows, Edit.Columns, Edit.Blocked);
  ApplyToModel(Edit, Model);
}

// Everything a query can see of the two maps is the same.
void ExpectSameAnalysis(const TRegionMap& Edited, const TRegionMap& Fresh, std::uint64_t Seed) {
  const std::uint32_t N = Fresh.Cells().SegmentsPerSide();
  for (std::size_t K = 0; K < std::size_t{N} * N; ++K) {
    SCOPED_TRACE(K);
    ASSERT_EQ(Edited.Cells().Rows(K), Fresh.Cells().Rows(K));
    ASSERT_EQ(Edited.Of(K).Kept, Fresh.Of(K).Kept);
    ASSERT_TRUE(std::ranges::equal(Edited.Of(K).Places, Fresh.Of(K).Places));
    ASSERT_TRUE(std::ranges::equal(Edited.Of(K).Down, Fresh.Of(K).Down));
    ASSERT_TRUE(std::ranges::equal(Edited.Of(K).Right, Fresh.Of(K).Right));
    ASSERT_EQ(BytesOf(Edited.Records().All()[K]), BytesOf(Fresh.Records().All()[K]));
  }
  TRandom Random(Seed);
  const std::uint32_t Side = Fresh.Cells().CellsPerSide();
  std::vector<TCell> Open;
  while (Open.size() < 24) {
    const TCell Cell = At(static_cast<std::uint32_t>(Random.Next() % Side),
                          static_cast<std::uint32_t>(Random.Next() % Side));
    EXPECT_EQ(AreaOf(Edited, Cell), AreaOf(Fresh, Cell));
    if (Fresh.Cells().IsOpen(Cell)) Open.push_back(Cell);
  }
  for (std::size_t K = 0; K + 1 < Open.size(); ++K) {
    EXPECT_EQ(AreConnected(Edited, Open[K], Open[K + 1]),
              AreConnected(Fresh, Open[K], Open[K + 1]));
    EXPECT_EQ(FindPath(Edited, Open[K], Open[K + 1]), FindPath(Fresh, Open[K], Open[K + 1]));
    const TCell Anywhere = At(static_cast<std::uint32_t>(Random.Next() % Side),
                              static_cast<std::uint32_t>(Random.Next() % Side));
    EXPECT_EQ(FindPathToward(Edited, Open[K], Anywhere), FindPathToward(Fresh, Open[K], Anywhere));
  }
}

TEST(RegionEditTest, EditedMapsAnswerAsMapsAnalysedAfresh) {
  const struct {
    const char* Name;
    TLevel0Map (*Make)();
  } Kinds[] = {
      {"terrain", [] { return TerrainMap(2, 31); }},
      {"rough", [] { return RoughTerrainMap(3, 32); }},
      {"noise 30 %", [] { return NoiseMap(2, 30, 33); }},
      {"maze", [] { return MazeMap(2, 34); }},
  };
  for (const auto& Kind : Kinds) {
    SCOPED_TRACE(Kind.Name);
    TLevel0Map Model = Kind.Make();
    TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
    TRandom Random(7);
    for (int Sequence = 0; Sequence < 6; ++Sequence) {
      for (int Step = 0; Step < 5; ++Step)
        Apply(RandomEdit(Map.Cells().CellsPerSide(), Random), Map, Model);
      // A query now and then between edits, as an editor makes them.
      if (Sequence % 2 == 0)
        ExpectSameAnalysis(Map, RegionsOf(EncodeLevel0Map(Model)), Random.Next());
    }
    ExpectSameAnalysis(Map, RegionsOf(EncodeLevel0Map(Model)), 5);
  }
}

// Saves through the C interface: the level-0 map is the model's file, and the other two are what
// a conversion of it writes.
TEST(RegionEditTest, ASaveWritesWhatAConversionOfTheSavedMapWrites) {
  for (const auto& Make :
       {+[] { return RoughTerrainMap(2, 41); }, +[] { return MazeMap(2, 42); }}) {
    TLevel0Map Model = Make();
    TScratchFolder Folder;
    const std::string Original = (Folder.Path() / "Land1Level0Map.raw").string();
    WriteFile(Original, EncodeLevel0Map(Model));
    varnholt_map* Map = varnholt_analyse(Original.c_str());
    ASSERT_NE(Map, nullptr);
    TRandom Random(9);
    for (int Step = 0; Step < 12; ++Step) {
      const TEdit Edit = RandomEdit(256, Random);
      ASSERT_EQ(varnholt_set_cells(Map, Edit.Corner.Row, Edit.Corner.Column,
                                   static_cast<std::int32_t>(Edit.Rows),
                                   static_cast<std::int32_t>(Edit.Columns), Edit.Blocked.data()),
                0);
      ApplyToModel(Edit, Model);
    }
    const std::string Saved = (Folder.Path() / "Sea2Level0Map.raw").string();
    ASSERT_EQ(varnholt_save(Map, Saved.c_str()), 0) << varnholt_error();
    varnholt_close(Map);
    EXPECT_EQ(ReadFile(Saved), EncodeLevel0Map(Model));
    TScratchFolder Converted;
    WriteFile(Converted.Path() / "Sea2Level0Map.raw", ReadFile(Saved));
    ConvertMap((Converted.Path() / "Sea2Level0Map.raw").string(),
               (Converted.Path() / "SeaInfo.raw").string(), (Converted.Path() / "Sea.raw").string(),
               [](std::string_view) {});
    for (const char* Name : {"SeaInfo.raw", "Sea.raw"}) {
      EXPECT_EQ(ReadFile(Folder.Path() / Name), ReadFile(Converted.Path() / Name)) << Name;
    }
    EXPECT_EQ(FilesIn(Folder.Path()).size(), 4u);  // the original and the three saved
  }
}

// The model of what connects: every open cell of the generator's map labelled by a flood fill.
std::vector<std::uint32_t> FloodLabels(const TLevel0Map& Model) {
  const std::uint32_t Side = Model.CellsPerSide();
  constexpr std::uint32_t kUnlabelled = UINT32_MAX;
  std::vector<std::uint32_t> Labels(std::size_t{Side} * Side, kUnlabelled);
  std::vector<std::uint32_t> Stack;
  std::uint32_t Next = 0;
  for (std::uint32_t Seed = 0; Seed < Labels.size(); ++Seed) {
    if (Labels[Seed] != kUnlabelled || Model.IsBlocked(Seed / Side, Seed % Side)) continue;
    Labels[Seed] = Next;
    for (Stack.push_back(Seed); !Stack.empty();) {
      const std::uint32_t Cell = Stack.back();
      Stack.pop_back();
      const std::uint32_t Row = Cell / Side, Column = Cell % Side;
      const auto Reach = [&](bool Inside, std::uint32_t To) {
        if (!Inside || Labels[To] != kUnlabelled || Model.IsBlocked(To / Side, To % Side)) return;
        Labels[To] = Next;
        Stack.push_back(To);
      };
      Reach(Row > 0, Cell - Side);
      Reach(Row + 1 < Side, Cell + Side);
      Reach(Column > 0, Cell - 1);
      Reach(Column + 1 < Side, Cell + 1);
    }
    ++Next;
  }
  return Labels;
}

// A map of 32 x 32 segments keeps what connects in blocks of 16 x 16: walls along the blocks'
// borders, opened and closed, and noise about the corner where four blocks meet are followed as
// the flood fill of the whole grid follows them.
TEST(RegionEditTest, WhatConnectsFollowsEditsAcrossBlocks) {
  TLevel0Map Model = TerrainMap(5, 41);
  TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
  const std::uint32_t Side = Model.CellsPerSide();
  const auto Fill = [&](std::uint32_t Row, std::uint32_t Column, std::uint32_t Rows,
                        std::uint32_t Columns, std::uint8_t Blocked) {
    Apply({At(Row, Column), Rows, Columns,
           std::vector<std::uint8_t>(std::size_t{Rows} * Columns, Blocked)},
          Map, Model);
  };
  TRandom Random(5);
  const std::function<void()> Steps[] = {
      [&] {
        Fill(Side / 2 - 1, 0, 2, Side, 1);  // four quarters
        Fill(0, Side / 2 - 1, Side, 2, 1);
      },
      [&] { Fill(Side / 2 - 1, 300, 2, 6, 0); },           // the left quarters meet
      [&] { Fill(1500, Side / 2 - 1, 4, 2, 0); },          // and the lower ones
      [&] { Fill(Side / 2 - 1, 300, 2, 6, 1); },           // the left ones apart again
      [&] { Fill(Side / 2 - 1, Side / 2 - 1, 2, 2, 0); },  // all four at the corner
      [&] {
        for (int K = 0; K < 6; ++K) {
          TEdit Edit{At(Side / 2 - 64 + static_cast<std::uint32_t>(Random.Next() % 64),
                        Side / 2 - 64 + static_cast<std::uint32_t>(Random.Next() % 64)),
                     64, 64, std::vector<std::uint8_t>(64 * 64)};
          for (std::uint8_t& Cell : Edit.Blocked) Cell = Random.Chance(40) ? 1 : 0;
          Apply(Edit, Map, Model);
        }
      },
  };
  for (std::size_t Step = 0; Step < std::size(Steps); ++Step) {
    SCOPED_TRACE(Step);
    Steps[Step]();
    const std::vector<std::uint32_t> Labels = FloodLabels(Model);
    for (int Pair = 0; Pair < 300; ++Pair) {
      const TCell A = At(Random.Next() % Side, Random.Next() % Side);
      const TCell B = Pair % 3 == 0 ? At(Side - 1 - A.Row, A.Column)
                                    : At(Random.Next() % Side, Random.Next() % Side);
      if (!Map.Cells().IsOpen(A) || !Map.Cells().IsOpen(B)) continue;
      const auto Label = [&](TCell Cell) {
        return Labels[std::size_t{static_cast<std::uint32_t>(Cell.Row)} * Side +
                      static_cast<std::uint32_t>(Cell.Column)];
      };
      ASSERT_EQ(AreConnected(Map, A, B), Label(A) == Label(B))
          << CellText(A) << " and " << CellText(B);
    }
  }
}

// The area of every cell, as the map answers it, against the plain model's labelling of each
// segment of the generator's map.
void ExpectAreasOfModel(const TRegionMap& Map, const TLevel0Map& Model) {
  const std::uint32_t N = Model.SegmentsPerSide();
  for (std::uint32_t K = 0; K < N * N; ++K) {
    TAreaSegment Areas;
    std::int32_t Count = 0;
    model::ModelLabelAreas(SegmentOf(Model, K), Areas, Count);
    for (int Cell = 0; Cell < 64 * 64; ++Cell) {
      const TCell At = Map.Cells().CellOf(K, Cell);
      ASSERT_EQ(AreaOf(Map, At), Areas[static_cast<std::size_t>(Cell)]) << CellText(At);
    }
  }
}

// Per-cell answers are kept per segment once asked: every segment asked before each edit, the
// edit's segments and those about it must be asked afresh, and no other.
TEST(RegionEditTest, AreasKeptBeforeAnEditFollowIt) {
  for (TLevel0Map Model : {RoughTerrainMap(2, 51), NoiseMap(2, 30, 52), MazeMap(2, 53)}) {
    TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
    TRandom Random(17);
    for (int Step = 0; Step < 6; ++Step) {
      ExpectAreasOfModel(Map, Model);
      Apply(RandomEdit(Map.Cells().CellsPerSide(), Random), Map, Model);
    }
    ExpectAreasOfModel(Map, Model);
  }
}

// The cells of chosen regions of a segment, against the regions a labelling of the whole
// segment gives, before and after edits (the kept areas they start from are cached).
TEST(RegionEditTest, RegionCellsAreTheLabelledRegions) {
  for (TLevel0Map Model : {NoiseMap(2, 45, 61), MazeMap(2, 62, 4), RoomMap(2, 63)}) {
    TRegionMap Map = RegionsOf(EncodeLevel0Map(Model));
    TRandom Random(19);
    for (int Step = 0; Step < 3; ++Step) {
      for (std::size_t K = 0; K < Map.Table().Segments(); ++K) {
        std::array<std::uint16_t, 4096> Labels;
        const int Count = SegmentRegions(Map, K, Labels);
        std::vector<std::uint8_t> Wanted(static_cast<std::size_t>(Count));
        for (std::uint8_t& Is : Wanted) Is = Random.Next() % 2 == 0;
        TSegmentRows Expected{};
        for (std::size_t Cell = 0; Cell < Labels.size(); ++Cell) {
          if (Labels[Cell] != kNoRegion && Wanted[Labels[Cell]] != 0) {
            Expected[Cell / 64] |= std::uint64_t{1} << (Cell % 64);
          }
        }
        ASSERT_EQ(RegionCells(Map, K, Wanted), Expected) << "segment " << K;
      }
      Apply(RandomEdit(Map.Cells().CellsPerSide(), Random), Map, Model);
    }
  }
}

TEST(RegionEditTest, EditsOutsideTheMapChangeNothing) {
  TScratchFolder Folder;
  const std::string Path = (Folder.Path() / "Maze1Level0Map.raw").string();
  WriteFile(Path, EncodeLevel0Map(MazeMap(1, 4)));
  varnholt_map* Map = varnholt_analyse(Path.c_str());
  ASSERT_NE(Map, nullptr);
  const std::uint8_t Open[4] = {};
  const struct {
    std::int32_t Row, Column, Rows, Columns;
  } Cases[] = {{-1, 0, 1, 1}, {0, -1, 1, 1}, {127, 0, 2, 1}, {0, 120, 1, 9}, {0, 0, -1, 1}};
  for (const auto& Case : Cases) {
    EXPECT_EQ(varnholt_set_cells(Map, Case.Row, Case.Column, Case.Rows, Case.Columns, Open), -1);
  }
  EXPECT_EQ(std::string(varnholt_error()), "Cells outside the map: 0, 0, -1 x 1");
  EXPECT_EQ(varnholt_area_of(Map, 3, 3), 0);  // still a wall
  EXPECT_EQ(varnholt_set_cells(Map, 128, 128, 0, 0, nullptr), 0);
  EXPECT_EQ(varnholt_set_cells(Map, 3, 3, 1, 1, Open), 0);
  EXPECT_NE(varnholt_area_of(Map, 3, 3), 0);
  varnholt_close(Map);
}

}  // namespace
}  // namespace varnholt::test
