#include "Picture.h"

#include <zlib.h>

#include <algorithm>
#include <cstdlib>

namespace varnholt::inspect {
namespace {

constexpr std::uint32_t kSegmentSide = 64;

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

// The records of a picture's map, segment (I, J) at I * N + J.
struct TRecords {
  const std::vector<TWaypointRecord>& All;
  std::uint32_t N;
  const TWaypointRecord& At(std::uint32_t I, std::uint32_t J) const {
    return All[std::size_t{I} * N + J];
  }
};

TPixel WaypointPixel(const TRecords& Records, std::uint32_t I, std::uint32_t J, int Area,
                     std::uint32_t Scale) {
  const TCell Point = Records.At(I, J).Point(Area);
  return {static_cast<int>((J * kSegmentSide + static_cast<std::uint32_t>(Point.Column)) / Scale),
          static_cast<int>((I * kSegmentSide + static_cast<std::uint32_t>(Point.Row)) / Scale)};
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

// A line from the waypoint of area A of segment (I, J) to that of area B of the neighbour below
// (Down) or to the right, for every pair that the record links.
void DrawLinks(const TRecords& Records, std::uint32_t I, std::uint32_t J, bool Down,
               TPicture& Picture) {
  for (unsigned A = 1; A <= 4; ++A) {
    for (unsigned B = 1; B <= 4; ++B) {
      if (!Records.At(I, J).Links(Down, A, B)) continue;
      DrawLine(Picture, WaypointPixel(Records, I, J, static_cast<int>(A), Picture.Scale),
               WaypointPixel(Records, I + (Down ? 1 : 0), J + (Down ? 0 : 1), static_cast<int>(B),
                             Picture.Scale));
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

void DrawGraph(const TRecords& Records, TPicture& Picture) {
  const std::uint32_t N = Records.N;
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      if (I + 1 < N) DrawLinks(Records, I, J, true, Picture);
      if (J + 1 < N) DrawLinks(Records, I, J, false, Picture);
    }
  }
  // Dots last, so that no line covers them.
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      for (int Area = 1; Area <= Records.At(I, J).AreaCount(); ++Area) {
        DrawDot(Picture, WaypointPixel(Records, I, J, Area, Picture.Scale));
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
  if (Result == Z_MEM_ERROR) throw Exception(VARNHOLT_ERROR_MEMORY, "Out of memory");
  if (Result != Z_OK) throw Exception(VARNHOLT_ERROR_INTERNAL, "Error encoding the picture");
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

void PaintSegment(std::size_t K, const TSegmentView& Segment, TPicture& Picture) {
  const std::uint32_t N = Picture.Side * Picture.Scale / kSegmentSide;
  const auto I = static_cast<std::uint32_t>(K / N);
  const auto J = static_cast<std::uint32_t>(K % N);
  // The cells one pixel covers within the segment, each way.
  const auto Span = std::min<std::uint32_t>(Picture.Scale, kSegmentSide);
  std::array<std::uint8_t, kSegmentSide> Column{};  // the highest paint down each column
  for (std::uint32_t R = 0; R < kSegmentSide; ++R) {
    // Without a branch, so that a row is painted a few cells at a time: an area's number, else
    // erased where open, else blocked.
    for (std::uint32_t C = 0; C < kSegmentSide; ++C) {
      const std::size_t Cell = R * kSegmentSide + C;
      const std::uint8_t Area = Segment.Areas[Cell];
      const auto Erased =
          static_cast<std::uint8_t>(kErased * ((Area == 0) & (Segment.Blocked[Cell] == 0)));
      Column[C] = std::max(Column[C], static_cast<std::uint8_t>(Area | Erased));
    }
    if ((R + 1) % Span != 0) continue;
    const auto Y = static_cast<int>((I * kSegmentSide + R) / Picture.Scale);
    for (std::uint32_t Left = 0; Left < kSegmentSide; Left += Span) {
      const std::uint8_t Paint =
          *std::max_element(Column.begin() + Left, Column.begin() + Left + Span);
      std::uint8_t& Pixel =
          PixelAt(Picture, static_cast<int>((J * kSegmentSide + Left) / Picture.Scale), Y);
      Pixel = std::max(Pixel, Paint);
    }
    Column.fill(0);
  }
}

void FinishPicture(const std::vector<TWaypointRecord>& Records, TPicture& Picture) {
  DrawBorders(Picture);
  DrawGraph({Records, Picture.Side * Picture.Scale / kSegmentSide}, Picture);
}

std::vector<TWaypointRecord> RecordsOf(const TMap& Map) {
  const std::int32_t N = Map.SegmentsPerSide();
  std::vector<TWaypointRecord> Records;
  for (std::int32_t I = 0; I < N; ++I) {
    for (std::int32_t J = 0; J < N; ++J) Records.push_back(Map.SegmentRecord(I, J));
  }
  return Records;
}

TPicture DrawPicture(const TMap& Map) {
  const std::int32_t N = Map.SegmentsPerSide();
  TPicture Picture = NewPicture(static_cast<std::uint32_t>(N));
  TSegmentView Segment;
  for (std::int32_t I = 0; I < N; ++I) {
    for (std::int32_t J = 0; J < N; ++J) {
      Map.SegmentAreas(I, J, Segment.Areas);
      const std::vector<std::uint8_t> Blocked =
          Map.Cells({I * 64, J * 64}, static_cast<std::int32_t>(kSegmentSide),
                    static_cast<std::int32_t>(kSegmentSide));
      std::copy(Blocked.begin(), Blocked.end(), Segment.Blocked.begin());
      PaintSegment(static_cast<std::size_t>(I * N + J), Segment, Picture);
    }
  }
  FinishPicture(RecordsOf(Map), Picture);
  return Picture;
}

void DrawPath(const std::vector<TCell>& Path, TPicture& Picture) {
  for (const TCell& Cell : Path) {
    PixelAt(Picture, static_cast<int>(static_cast<std::uint32_t>(Cell.Column) / Picture.Scale),
            static_cast<int>(static_cast<std::uint32_t>(Cell.Row) / Picture.Scale)) = kPath;
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

}  // namespace varnholt::inspect
