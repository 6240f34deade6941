#include "Picture.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

#include "AreaUtils.h"
#include "Commit.h"

namespace varnholt::inspect {
namespace {

struct TPixel {
  int X = 0;
  int Y = 0;
};

std::uint8_t& PixelAt(TPicture& Picture, int X, int Y) {
  return Picture.Pixels[static_cast<std::size_t>(Y) * Picture.Side + static_cast<std::size_t>(X)];
}

// Faint lines along the first row and column of every segment, while segments are large enough
// in the picture for them not to cover it.
void DrawBorders(TPicture& Picture) {
  const std::uint32_t SegmentPixels = kSegmentSide / Picture.Scale;
  if (SegmentPixels < 8) return;
  // A pixel on both a row and a column of borders is marked once: marked, it is kLink or more.
  const auto Mark = [&Picture](std::uint32_t X, std::uint32_t Y) {
    std::uint8_t& Pixel = PixelAt(Picture, static_cast<int>(X), static_cast<int>(Y));
    if (Pixel < kLink) Pixel = static_cast<std::uint8_t>(Pixel + kBorder);
  };
  for (std::uint32_t Line = 0; Line < Picture.Side; Line += SegmentPixels) {
    for (std::uint32_t Along = 0; Along < Picture.Side; ++Along) {
      Mark(Along, Line);
      Mark(Line, Along);
    }
  }
}

TPixel WaypointPixel(const TWaypointSegments& Waypoints, std::uint32_t I, std::uint32_t J,
                     unsigned Area, std::uint32_t Scale) {
  const auto& Point = Waypoints[I][J].Points[Area];  // column, row
  return {static_cast<int>((J * kSegmentSide + Point[0]) / Scale),
          static_cast<int>((I * kSegmentSide + Point[1]) / Scale)};
}

void DrawLine(TPicture& Picture, TPixel From, TPixel To) {
  const int DX = std::abs(To.X - From.X);
  const int DY = -std::abs(To.Y - From.Y);
  const int StepX = From.X < To.X ? 1 : -1;
  const int StepY = From.Y < To.Y ? 1 : -1;
  int Error = DX + DY;
  for (TPixel At = From;;) {
    PixelAt(Picture, At.X, At.Y) = kLink;
    if (At.X == To.X && At.Y == To.Y) return;
    const int Twice = 2 * Error;
    if (Twice >= DY) {
      Error += DY;
      At.X += StepX;
    }
    if (Twice <= DX) {
      Error += DX;
      At.Y += StepY;
    }
  }
}

// A line from the waypoint of area A of segment (I, J) to that of area B of the neighbour at
// (I + DI, J + DJ), for every pair that the link word joins.
void DrawLinks(const TWaypointSegments& Waypoints, std::uint32_t I, std::uint32_t J,
               std::uint32_t DI, std::uint32_t DJ, const std::array<std::uint8_t, 2>& Links,
               TPicture& Picture) {
  const unsigned Word = LinkWord(Links);
  for (unsigned A = 1; A <= 4; ++A) {
    for (unsigned B = 1; B <= 4; ++B) {
      if ((Word >> LinkBit(A, B) & 1) == 0) continue;
      DrawLine(Picture, WaypointPixel(Waypoints, I, J, A - 1, Picture.Scale),
               WaypointPixel(Waypoints, I + DI, J + DJ, B - 1, Picture.Scale));
    }
  }
}

void DrawDot(TPicture& Picture, TPixel Centre) {
  const int Last = static_cast<int>(Picture.Side) - 1;
  for (int Y = std::max(Centre.Y - 1, 0); Y <= std::min(Centre.Y + 1, Last); ++Y) {
    for (int X = std::max(Centre.X - 1, 0); X <= std::min(Centre.X + 1, Last); ++X) {
      PixelAt(Picture, X, Y) = kWaypoint;
    }
  }
}

void DrawGraph(const TWaypointSegments& Waypoints, TPicture& Picture) {
  const std::uint32_t N = Waypoints.Size();
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      if (I + 1 < N) DrawLinks(Waypoints, I, J, 1, 0, Waypoints[I][J].DownLinks, Picture);
      if (J + 1 < N) DrawLinks(Waypoints, I, J, 0, 1, Waypoints[I][J].RightLinks, Picture);
    }
  }
  // Dots last, so that no line covers them; bit A + 3 of the mask marks area A as present.
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      for (unsigned Area = 0; Area < 4; ++Area) {
        if ((Waypoints[I][J].AreaMask >> (Area + 4) & 1) == 0) continue;
        DrawDot(Picture, WaypointPixel(Waypoints, I, J, Area, Picture.Scale));
      }
    }
  }
}

// PNG stores its numbers big-endian.
void AppendBigEndian(std::vector<std::uint8_t>& Bytes, std::uint32_t Word) {
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Bytes.push_back(static_cast<std::uint8_t>(Word >> Shift));
}

// A chunk: its length, type and data, and the checksum of type and data.
void AppendChunk(std::vector<std::uint8_t>& Png, const char (&Type)[5],
                 std::span<const std::uint8_t> Data) {
  AppendBigEndian(Png, static_cast<std::uint32_t>(Data.size()));
  const std::size_t Start = Png.size();
  Png.insert(Png.end(), Type, Type + 4);
  Png.insert(Png.end(), Data.begin(), Data.end());
  AppendBigEndian(Png, static_cast<std::uint32_t>(crc32_z(0, &Png[Start], Png.size() - Start)));
}

std::vector<std::uint8_t> Header(const TPicture& Picture) {
  std::vector<std::uint8_t> Data;
  AppendBigEndian(Data, Picture.Side);
  AppendBigEndian(Data, Picture.Side);
  // Eight bits a pixel, palette colours, no interlacing.
  Data.insert(Data.end(), {8, 3, 0, 0, 0});
  return Data;
}

std::vector<std::uint8_t> PaletteData() {
  std::vector<std::uint8_t> Data;
  for (const TColour& Colour : Palette()) Data.insert(Data.end(), Colour.begin(), Colour.end());
  return Data;
}

// Each row behind its filter byte, 0 for none, all compressed as one stream. The fastest level:
// a picture of noise takes several times as long at the default one, for a file barely smaller.
std::vector<std::uint8_t> CompressedRows(const TPicture& Picture) {
  const std::size_t RowBytes = std::size_t{Picture.Side} + 1;
  std::vector<std::uint8_t> Rows(RowBytes * Picture.Side, 0);
  for (std::size_t Y = 0; Y < Picture.Side; ++Y) {
    std::copy_n(Picture.Pixels.begin() + static_cast<std::ptrdiff_t>(Y * Picture.Side),
                Picture.Side, Rows.begin() + static_cast<std::ptrdiff_t>(Y * RowBytes + 1));
  }
  std::vector<std::uint8_t> Compressed(compressBound(static_cast<uLong>(Rows.size())));
  uLongf Length = static_cast<uLongf>(Compressed.size());
  const int Result = compress2(Compressed.data(), &Length, Rows.data(),
                               static_cast<uLong>(Rows.size()), Z_BEST_SPEED);
  if (Result == Z_MEM_ERROR) throw Exception("Out of memory");
  if (Result != Z_OK) throw Exception("Error encoding the picture");
  Compressed.resize(Length);
  return Compressed;
}

}  // namespace

const std::array<TColour, kPaletteSize>& Palette() {
  static constexpr std::array<TColour, kPaletteSize> kColours = {{
      {44, 44, 52},     // blocked
      {146, 204, 128},  // area 1
      {112, 158, 226},  // area 2
      {236, 196, 96},   // area 3
      {200, 132, 220},  // area 4
      {236, 40, 40},    // erased open cell
      {255, 255, 255},  // link
      {0, 0, 0},        // waypoint
      {80, 80, 92},     // segment border over each of the cell colours above
      {122, 176, 106},
      {92, 134, 196},
      {206, 168, 78},
      {172, 110, 190},
      {200, 28, 28},
      {255, 64, 255},  // a path asked for
      {0, 0, 0},
  }};
  return kColours;
}

TPicture NewPicture(std::uint32_t SegmentsPerSide) {
  const std::uint32_t Cells = SegmentsPerSide * kSegmentSide;
  TPicture Picture;
  Picture.Scale = std::max<std::uint32_t>(1, Cells / kMaxPictureSide);
  Picture.Side = Cells / Picture.Scale;
  Picture.Pixels.assign(std::size_t{Picture.Side} * Picture.Side, kBlocked);
  return Picture;
}

void PaintSegment(std::size_t K, const TSegmentRows& Blocked, const TAreaMasks& Masks,
                  TPicture& Picture) {
  const std::uint32_t N = Picture.Side * Picture.Scale / kSegmentSide;
  const auto I = static_cast<std::uint32_t>(K / N);
  const auto J = static_cast<std::uint32_t>(K % N);
  // The cells one pixel covers within the segment, each way.
  const int Span = static_cast<int>(std::min<std::uint32_t>(Picture.Scale, kSegmentSide));
  const std::uint64_t Group =
      Span == kSegmentSide ? ~std::uint64_t{0} : (std::uint64_t{1} << Span) - 1;
  // Filled segments, most of a large map, need no look at their cells.
  if (AllRowsAre(Blocked, ~std::uint64_t{0})) return;
  const bool Open = AllRowsAre(Blocked, 0);
  for (int Top = 0; Top < kSegmentSide; Top += Span) {
    std::array<std::uint64_t, kErased + 1> Cells{};  // by paint: areas 1 ... 4, erased
    Cells[kArea1] = Open ? ~std::uint64_t{0} : 0;
    for (auto R = static_cast<std::size_t>(Top); !Open && R < static_cast<std::size_t>(Top + Span);
         ++R) {
      std::uint64_t Kept = 0;
      for (std::size_t A = 0; A < kKeptAreas; ++A) {
        Cells[kArea1 + A] |= Masks.Rows[A][R];
        Kept |= Masks.Rows[A][R];
      }
      Cells[kErased] |= ~Blocked[R] & ~Kept;
    }
    const auto Y =
        static_cast<int>((I * kSegmentSide + static_cast<std::uint32_t>(Top)) / Picture.Scale);
    // Only the paints present in these rows are tried, mostly one.
    int Highest = kErased;
    while (Highest > kBlocked && Cells[static_cast<std::size_t>(Highest)] == 0) --Highest;
    for (int Left = 0; Left < kSegmentSide; Left += Span) {
      int Paint = Highest;
      while (Paint > kBlocked && (Cells[static_cast<std::size_t>(Paint)] >> Left & Group) == 0)
        --Paint;
      const auto X =
          static_cast<int>((J * kSegmentSide + static_cast<std::uint32_t>(Left)) / Picture.Scale);
      std::uint8_t& Pixel = PixelAt(Picture, X, Y);
      Pixel = std::max(Pixel, static_cast<std::uint8_t>(Paint));
    }
  }
}

void FinishPicture(const TWaypointSegments& Waypoints, TPicture& Picture) {
  DrawBorders(Picture);
  DrawGraph(Waypoints, Picture);
}

TPicture DrawPicture(const TLevel0Records& Level0, const TWaypointSegments& Waypoints) {
  TPicture Picture = NewPicture(Waypoints.Size());
  TAreaMasks Masks;
  for (std::size_t K = 0; K < Level0.Count(); ++K) {
    const TSegmentRows Blocked = Level0.Rows(K);
    LabelAreaMasks(Blocked, Masks);
    PaintSegment(K, Blocked, Masks, Picture);
  }
  FinishPicture(Waypoints, Picture);
  return Picture;
}

void DrawPath(const std::vector<TMapCell>& Path, TPicture& Picture) {
  for (const TMapCell& Cell : Path) {
    PixelAt(Picture, static_cast<int>(Cell.Column / Picture.Scale),
            static_cast<int>(Cell.Row / Picture.Scale)) = kPath;
  }
}

std::vector<std::uint8_t> EncodePng(const TPicture& Picture) {
  std::vector<std::uint8_t> Png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  AppendChunk(Png, "IHDR", Header(Picture));
  AppendChunk(Png, "PLTE", PaletteData());
  AppendChunk(Png, "IDAT", CompressedRows(Picture));
  AppendChunk(Png, "IEND", {});
  return Png;
}

void WriteWholeFile(const std::string& Path, const std::vector<std::uint8_t>& Bytes) {
  TOutputFile File(Path);
  if (File.Write(Bytes) != Bytes.size()) throw Exception("Error writing file");
  File.Finish();
  File.Commit();
}

}  // namespace varnholt::inspect
