#include "MapGenerator.h"

#include <varnholt/varnholt.hpp>

#include <algorithm>
#include <cmath>

namespace varnholt {
namespace {

constexpr std::uint32_t kSegmentSide = 64;

std::uint64_t Mix(std::uint64_t Value) {
  return TRandom::Mix(Value);
}

// A value in [0, 1) fixed by the lattice point and the seed.
double LatticeValue(std::uint64_t Seed, std::uint32_t X, std::uint32_t Y) {
  return static_cast<double>(Mix(Seed ^ (std::uint64_t{X} << 32 | Y)) >> 11) * 0x1p-53;
}

// Value noise: smoothly interpolated lattice values, Spacing cells apart.
double SmoothNoise(std::uint64_t Seed, double Row, double Column, double Spacing) {
  const double Y = Row / Spacing;
  const double X = Column / Spacing;
  const auto Y0 = static_cast<std::uint32_t>(Y);
  const auto X0 = static_cast<std::uint32_t>(X);
  const auto Fade = [](double T) { return T * T * (3 - 2 * T); };
  const double FY = Fade(Y - Y0);
  const double FX = Fade(X - X0);
  const double Top = std::lerp(LatticeValue(Seed, X0, Y0), LatticeValue(Seed, X0 + 1, Y0), FX);
  const double Bottom =
      std::lerp(LatticeValue(Seed, X0, Y0 + 1), LatticeValue(Seed, X0 + 1, Y0 + 1), FX);
  return std::lerp(Top, Bottom, FY);
}

double TerrainHeight(std::uint64_t Seed, std::uint32_t Row, std::uint32_t Column) {
  const double R = Row;
  const double C = Column;
  return 0.65 * SmoothNoise(Seed, R, C, 512) + 0.3 * SmoothNoise(Seed + 1, R, C, 96) +
         0.05 * SmoothNoise(Seed + 2, R, C, 12);
}

constexpr double kShoreline = 0.36;  // heights below it are water

// True with probability Percent / 100, fixed by the cell and the seed.
bool CellChance(std::uint64_t Seed, std::uint32_t Row, std::uint32_t Column, unsigned Percent) {
  return Mix(Mix(Seed) ^ (std::uint64_t{Row} << 32 | Column)) % 100 < Percent;
}

bool IsTerrainBlocked(std::uint64_t Seed, std::uint32_t Row, std::uint32_t Column, bool Rough) {
  // Roads run every 1000 cells in both directions, three cells wide, and bridge the water.
  if (Row % 1000 < 3 || Column % 1000 < 3) return false;
  const double Height = TerrainHeight(Seed, Row, Column);
  const bool Cliff = std::fabs(Height - 0.62) < 0.004;
  const bool Peak = Height > 0.8;
  if (Cliff || Peak) return true;
  if (!Rough) return Height < kShoreline;
  // Ragged shores, a few cells wide on either side of the waterline, with rocks and shallows;
  // and woods, where trees stand as single blocked cells.
  if (std::fabs(Height - kShoreline) < 0.012) return CellChance(Seed + 3, Row, Column, 30);
  if (Height < kShoreline) return true;
  const bool Wood = SmoothNoise(Seed + 5, Row, Column, 256) > 0.7;
  return Wood && CellChance(Seed + 4, Row, Column, 4);
}

TLevel0Map Terrain(std::uint32_t Exponent, std::uint64_t Seed, bool Rough) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.SegmentsPerSide() * kSegmentSide;
  for (std::uint32_t Row = 0; Row < Side; ++Row) {
    for (std::uint32_t Column = 0; Column < Side; ++Column) {
      if (IsTerrainBlocked(Seed, Row, Column, Rough)) Map.SetBlocked(Row, Column, true);
    }
  }
  return Map;
}

}  // namespace

bool TLevel0Map::IsBlocked(std::uint32_t Row, std::uint32_t Column) const {
  return (Words[std::size_t{Row} * SegmentsPerSide() + Column / 64] >> (Column % 64) & 1) != 0;
}

void TLevel0Map::SetBlocked(std::uint32_t Row, std::uint32_t Column, bool Blocked) {
  std::uint64_t& Word = Words[std::size_t{Row} * SegmentsPerSide() + Column / 64];
  const std::uint64_t Bit = std::uint64_t{1} << (Column % 64);
  Word = Blocked ? Word | Bit : Word & ~Bit;
}

void TLevel0Map::Fill(std::uint32_t Row, std::uint32_t Column, std::uint32_t Rows,
                      std::uint32_t Columns, bool Blocked) {
  for (std::uint32_t R = Row; R < Row + Rows; ++R) {
    for (std::uint32_t C = Column; C < Column + Columns; ++C) SetBlocked(R, C, Blocked);
  }
}

void TLevel0Map::FillSegment(std::size_t K, bool Blocked) {
  const std::uint32_t N = SegmentsPerSide();
  Fill(static_cast<std::uint32_t>(K / N) * kSegmentSide,
       static_cast<std::uint32_t>(K % N) * kSegmentSide, kSegmentSide, kSegmentSide, Blocked);
}

TLevel0Map OpenMap(std::uint32_t Exponent) {
  TLevel0Map Map{Exponent, {}};
  Map.Words.assign(std::size_t{Map.CellsPerSide()} * Map.SegmentsPerSide(), 0);
  return Map;
}

TLevel0Map TerrainMap(std::uint32_t Exponent, std::uint64_t Seed) {
  return Terrain(Exponent, Seed, false);
}

TLevel0Map RoughTerrainMap(std::uint32_t Exponent, std::uint64_t Seed) {
  return Terrain(Exponent, Seed, true);
}

TLevel0Map NoiseMap(std::uint32_t Exponent, unsigned Percent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  TRandom Random(Seed);
  // Segment by segment, row by row: the same draws for the same cells at every size.
  const std::uint32_t N = Map.SegmentsPerSide();
  for (std::uint32_t Segment = 0; Segment < N * N; ++Segment) {
    for (std::uint32_t R = 0; R < kSegmentSide; ++R) {
      for (std::uint32_t C = 0; C < kSegmentSide; ++C) {
        if (Random.Chance(Percent)) {
          Map.SetBlocked(Segment / N * kSegmentSide + R, Segment % N * kSegmentSide + C, true);
        }
      }
    }
  }
  return Map;
}

TLevel0Map MazeMap(std::uint32_t Exponent, std::uint64_t Seed, std::uint32_t Width) {
  const std::uint32_t kPitch = Width + 1;  // a corridor and a wall
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.SegmentsPerSide() * kSegmentSide;
  const std::uint32_t Rooms = Side / kPitch;
  // Every wall stands at first: the last row and column of each room's square, and whatever is
  // left beyond the last room.
  for (std::uint32_t Row = 0; Row < Side; ++Row) {
    for (std::uint32_t Column = 0; Column < Side; ++Column) {
      if (Row % kPitch == kPitch - 1 || Column % kPitch == kPitch - 1 || Row >= Rooms * kPitch ||
          Column >= Rooms * kPitch) {
        Map.SetBlocked(Row, Column, true);
      }
    }
  }
  const auto Open = [&](std::uint32_t Room, std::uint32_t Next) {
    const std::uint32_t Row = std::max(Room / Rooms, Next / Rooms) * kPitch;
    const std::uint32_t Column = std::max(Room % Rooms, Next % Rooms) * kPitch;
    const bool Across = Room / Rooms == Next / Rooms;  // the wall between them is a column
    for (std::uint32_t K = 0; K + 1 < kPitch; ++K) {
      Map.SetBlocked(Across ? Row + K : Row - 1, Across ? Column - 1 : Column + K, false);
    }
  };
  TRandom Random(Seed);
  std::vector<bool> Visited(std::size_t{Rooms} * Rooms);
  std::vector<std::uint32_t> Walk{0};
  Visited[0] = true;
  while (!Walk.empty()) {
    const std::uint32_t Room = Walk.back();
    std::uint32_t Choices[4];
    int Count = 0;
    if (Room / Rooms > 0 && !Visited[Room - Rooms]) Choices[Count++] = Room - Rooms;
    if (Room / Rooms + 1 < Rooms && !Visited[Room + Rooms]) Choices[Count++] = Room + Rooms;
    if (Room % Rooms > 0 && !Visited[Room - 1]) Choices[Count++] = Room - 1;
    if (Room % Rooms + 1 < Rooms && !Visited[Room + 1]) Choices[Count++] = Room + 1;
    if (Count == 0) {
      Walk.pop_back();
      continue;
    }
    const std::uint32_t Next = Choices[Random.Next() % static_cast<std::uint64_t>(Count)];
    Open(Room, Next);
    Visited[Next] = true;
    Walk.push_back(Next);
  }
  return Map;
}

TLevel0Map RoomMap(std::uint32_t Exponent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.CellsPerSide();
  // Rooms about 128 cells a side, at most 8 x 8 of them.
  const std::uint32_t Rooms = std::clamp<std::uint32_t>(Side / 128, 2, 8);
  TRandom Random(Seed);
  // The walls between rooms stand at irregular places, two cells thick.
  std::vector<std::uint32_t> Lines{0};
  for (std::uint32_t K = 1; K < Rooms; ++K) {
    const std::uint32_t Even = K * Side / Rooms;
    Lines.push_back(Even - Side / (4 * Rooms) +
                    static_cast<std::uint32_t>(Random.Next() % (Side / (2 * Rooms))));
  }
  Lines.push_back(Side);
  Map.Fill(0, 0, 2, Side, true);
  Map.Fill(Side - 2, 0, 2, Side, true);
  Map.Fill(0, 0, Side, 2, true);
  Map.Fill(0, Side - 2, Side, 2, true);
  for (std::uint32_t K = 1; K < Rooms; ++K) {
    Map.Fill(Lines[K], 0, 2, Side, true);
    Map.Fill(0, Lines[K], Side, 2, true);
  }
  // Each wall of a room has a door, 2 to 9 cells wide, at a random place, or with a chance of a
  // quarter none; furniture, blocks of 2 to 12 cells a side, stands in the rooms.
  const auto Door = [&](std::uint32_t From, std::uint32_t To) {
    const std::uint32_t Width = 2 + static_cast<std::uint32_t>(Random.Next() % 8);
    const std::uint32_t Room = To - From - 4;
    return From + 2 + static_cast<std::uint32_t>(Random.Next() % (Room - Width));
  };
  // A piece of furniture keeps 6 cells from the walls, where the room leaves space for it.
  const auto Within = [&](std::uint32_t From, std::uint32_t To, std::uint32_t Size) {
    const std::uint32_t Space = To - From > 12 + Size ? To - From - 12 - Size : 1;
    return From + 6 + static_cast<std::uint32_t>(Random.Next() % Space);
  };
  for (std::uint32_t I = 0; I < Rooms; ++I) {
    for (std::uint32_t J = 0; J < Rooms; ++J) {
      const std::uint32_t Top = Lines[I], Bottom = Lines[I + 1], Left = Lines[J],
                          Right = Lines[J + 1];
      if (I + 1 < Rooms && !Random.Chance(25)) {
        const std::uint32_t At = Door(Left, Right);
        Map.Fill(Bottom, At, 2, 2 + static_cast<std::uint32_t>(Random.Next() % 8), false);
      }
      if (J + 1 < Rooms && !Random.Chance(25)) {
        const std::uint32_t At = Door(Top, Bottom);
        Map.Fill(At, Right, 2 + static_cast<std::uint32_t>(Random.Next() % 8), 2, false);
      }
      for (int Piece = 0; Piece < 6; ++Piece) {
        const std::uint32_t Height = 2 + static_cast<std::uint32_t>(Random.Next() % 11);
        const std::uint32_t Width = 2 + static_cast<std::uint32_t>(Random.Next() % 11);
        const std::uint32_t Row = Within(Top, Bottom, Height);
        const std::uint32_t Column = Within(Left, Right, Width);
        Map.Fill(Row, Column, std::min(Height, Side - Row), std::min(Width, Side - Column), true);
      }
    }
  }
  return Map;
}

TLevel0Map CaveMap(std::uint32_t Exponent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.CellsPerSide();
  // The classic automaton: 45 % rock at random, then five rounds in which a cell becomes rock
  // where five or more of its nine cells are, outside the map counting as rock.
  std::vector<std::uint8_t> Rock(std::size_t{Side} * Side), Next(Rock.size());
  for (std::uint32_t Row = 0; Row < Side; ++Row) {
    for (std::uint32_t Column = 0; Column < Side; ++Column) {
      Rock[std::size_t{Row} * Side + Column] = CellChance(Seed, Row, Column, 45) ? 1 : 0;
    }
  }
  for (int Round = 0; Round < 5; ++Round) {
    for (std::uint32_t Row = 0; Row < Side; ++Row) {
      for (std::uint32_t Column = 0; Column < Side; ++Column) {
        int Count = 0;
        for (int DR = -1; DR <= 1; ++DR) {
          for (int DC = -1; DC <= 1; ++DC) {
            const std::int64_t R = std::int64_t{Row} + DR, C = std::int64_t{Column} + DC;
            const bool Outside = R < 0 || C < 0 || R >= Side || C >= Side;
            Count += Outside
                         ? 1
                         : Rock[static_cast<std::size_t>(R) * Side + static_cast<std::size_t>(C)];
          }
        }
        Next[std::size_t{Row} * Side + Column] = Count >= 5 ? 1 : 0;
      }
    }
    std::swap(Rock, Next);
  }
  for (std::uint32_t Row = 0; Row < Side; ++Row) {
    for (std::uint32_t Column = 0; Column < Side; ++Column) {
      if (Rock[std::size_t{Row} * Side + Column] != 0) Map.SetBlocked(Row, Column, true);
    }
  }
  return Map;
}

TLevel0Map IslandMap(std::uint32_t Exponent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.CellsPerSide();
  for (std::uint32_t Row = 0; Row < Side; ++Row) {
    for (std::uint32_t Column = 0; Column < Side; ++Column) {
      const double Height = 0.6 * SmoothNoise(Seed, Row, Column, 160) +
                            0.3 * SmoothNoise(Seed + 1, Row, Column, 40) +
                            0.1 * SmoothNoise(Seed + 2, Row, Column, 8);
      // Causeways two cells wide every 300 cells join some of the islands.
      const bool Causeway = Row % 300 < 2 || Column % 300 < 2;
      if (Height < 0.55 && !Causeway) Map.SetBlocked(Row, Column, true);
    }
  }
  return Map;
}

TLevel0Map CityMap(std::uint32_t Exponent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.CellsPerSide();
  TRandom Random(Seed);
  Map.Fill(0, 0, Side, Side, true);
  // Streets 4 to 10 cells wide between blocks 40 to 160 cells long, each way.
  const auto Streets = [&] {
    std::vector<std::pair<std::uint32_t, std::uint32_t>> Found;
    for (std::uint32_t At = static_cast<std::uint32_t>(Random.Next() % 40); At < Side;) {
      const std::uint32_t Width = 4 + static_cast<std::uint32_t>(Random.Next() % 7);
      Found.emplace_back(At, std::min(Width, Side - At));
      At += Width + 40 + static_cast<std::uint32_t>(Random.Next() % 121);
    }
    return Found;
  };
  const auto Rows = Streets(), Columns = Streets();
  for (const auto& [Row, Width] : Rows) Map.Fill(Row, 0, Width, Side, false);
  for (const auto& [Column, Width] : Columns) Map.Fill(0, Column, Side, Width, false);
  // Some blocks are squares and parks, open with trees; some stretches of street are closed.
  for (std::size_t I = 0; I + 1 < Rows.size(); ++I) {
    for (std::size_t J = 0; J + 1 < Columns.size(); ++J) {
      const std::uint32_t Top = Rows[I].first + Rows[I].second, Bottom = Rows[I + 1].first;
      const std::uint32_t Left = Columns[J].first + Columns[J].second, Right = Columns[J + 1].first;
      if (Random.Chance(12)) {
        Map.Fill(Top, Left, Bottom - Top, Right - Left, false);
        for (std::uint32_t R = Top; R < Bottom; R += 5) {
          for (std::uint32_t C = Left + (R / 5) % 3; C < Right; C += 6) Map.SetBlocked(R, C, true);
        }
      }
      if (Random.Chance(8)) Map.Fill(Rows[I].first, Left, Rows[I].second, Right - Left, true);
      if (Random.Chance(8)) Map.Fill(Top, Columns[J].first, Bottom - Top, Columns[J].second, true);
    }
  }
  return Map;
}

std::vector<std::uint8_t> EncodeLevel0Map(const TLevel0Map& Map) {
  const auto Side = static_cast<std::int32_t>(Map.CellsPerSide());
  TMap File = TMap::Create(Side, false);
  // A row of segments at a time: each set once, and the cells of one row are few enough to hold.
  std::vector<std::uint8_t> Band(std::size_t{kSegmentSide} * Map.CellsPerSide());
  for (std::int32_t Top = 0; Top < Side; Top += kSegmentSide) {
    for (std::uint32_t R = 0; R < kSegmentSide; ++R) {
      for (std::uint32_t C = 0; C < Map.CellsPerSide(); ++C) {
        Band[std::size_t{R} * Map.CellsPerSide() + C] =
            Map.IsBlocked(static_cast<std::uint32_t>(Top) + R, C) ? 1 : 0;
      }
    }
    if (std::all_of(Band.begin(), Band.end(), [](std::uint8_t Cell) { return Cell == 0; }))
      continue;
    File.SetCells({Top, 0}, kSegmentSide, Side, Band.data());
  }
  return File.File(VARNHOLT_FILE_LEVEL0);
}

}  // namespace varnholt
