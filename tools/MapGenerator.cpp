#include "MapGenerator.h"

#include <algorithm>
#include <cmath>

namespace varnholt {
namespace {

void AppendLE32(std::vector<std::uint8_t>& Bytes, std::int32_t Value) {
  const auto Word = static_cast<std::uint32_t>(Value);
  for (int K = 0; K < 4; ++K) Bytes.push_back(static_cast<std::uint8_t>(Word >> (8 * K)));
}

std::uint64_t Mix(std::uint64_t Value) {
  Value += 0x9E3779B97F4A7C15ull;
  Value = (Value ^ (Value >> 30)) * 0xBF58476D1CE4E5B9ull;
  Value = (Value ^ (Value >> 27)) * 0x94D049BB133111EBull;
  return Value ^ (Value >> 31);
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

bool IsTerrainBlocked(std::uint64_t Seed, std::uint32_t Row, std::uint32_t Column) {
  // Roads run every 1000 cells in both directions, three cells wide, and bridge the water.
  if (Row % 1000 < 3 || Column % 1000 < 3) return false;
  const double Height = TerrainHeight(Seed, Row, Column);
  const bool Water = Height < 0.36;
  const bool Cliff = std::fabs(Height - 0.62) < 0.004;
  const bool Peak = Height > 0.8;
  return Water || Cliff || Peak;
}

}  // namespace

std::uint64_t TRandom::Next() {
  State += 0x9E3779B97F4A7C15ull;
  return Mix(State);
}

void TLevel0Map::SetBlocked(std::uint32_t Row, std::uint32_t Column, bool Blocked) {
  TSegment& Segment = Segments[(Row / 64) * SegmentsPerSide() + Column / 64];
  std::uint8_t& Byte = Segment[(Row % 64) * 8 + (Column % 64) / 8];
  const auto Bit = static_cast<std::uint8_t>(1u << (Column % 8));
  Byte = static_cast<std::uint8_t>(Blocked ? Byte | Bit : Byte & ~Bit);
}

TLevel0Map OpenMap(std::uint32_t Exponent) {
  TLevel0Map Map{Exponent, {}};
  Map.Segments.assign(std::size_t{Map.SegmentsPerSide()} * Map.SegmentsPerSide(), TSegment{});
  return Map;
}

TLevel0Map TerrainMap(std::uint32_t Exponent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  const std::uint32_t Side = Map.SegmentsPerSide() * 64;
  for (std::uint32_t Row = 0; Row < Side; ++Row) {
    for (std::uint32_t Column = 0; Column < Side; ++Column) {
      if (IsTerrainBlocked(Seed, Row, Column)) Map.SetBlocked(Row, Column, true);
    }
  }
  return Map;
}

TLevel0Map NoiseMap(std::uint32_t Exponent, unsigned Percent, std::uint64_t Seed) {
  TLevel0Map Map = OpenMap(Exponent);
  TRandom Random(Seed);
  for (TSegment& Segment : Map.Segments) {
    for (std::uint8_t& Byte : Segment) {
      for (int Bit = 0; Bit < 8; ++Bit) {
        if (Random.Chance(Percent)) Byte = static_cast<std::uint8_t>(Byte | 1u << Bit);
      }
    }
  }
  return Map;
}

std::vector<std::uint8_t> EncodeLevel0Map(const TLevel0Map& Map) {
  std::vector<std::uint8_t> Bytes;
  const auto Exponent = static_cast<std::int32_t>(Map.Exponent);
  for (const std::int32_t Word : {Exponent, Exponent, 6, 0, 0, 2, 0, -1}) AppendLE32(Bytes, Word);
  for (const TSegment& Segment : Map.Segments) {
    const auto Uniform = [&Segment](std::uint8_t Value) {
      return std::all_of(Segment.begin(), Segment.end(), [Value](auto B) { return B == Value; });
    };
    if (Uniform(0x00)) {
      AppendLE32(Bytes, segFilledLow);
    } else if (Uniform(0xFF)) {
      AppendLE32(Bytes, segFilledHigh);
    } else {
      AppendLE32(Bytes, segExplicit);
      Bytes.insert(Bytes.end(), Segment.begin(), Segment.end());
    }
  }
  return Bytes;
}

}  // namespace varnholt
