#include "SourceWriters.h"

#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <optional>
#include <stdexcept>

#include "ImportModel.h"
#include "Random.h"

namespace varnholt::import::test {
namespace {

// ---- PNG ----

// A pixel as the rule sees it, 8 bits a sample.
struct TRgba {
  std::uint8_t R, G, B, A;
};

bool Wanted(const TRgba& P, bool Blocked, int Threshold, bool DarkOpen) {
  bool Clear = false;
  const bool Open = model::PixelOpen(P.R, P.G, P.B, P.A, Threshold, DarkOpen, &Clear);
  return Clear && Open == !Blocked;
}

// A sample of Depth bits and what it reads as in 8 bits: the high byte of 16, or a low depth
// scaled to 255.
struct TSample {
  std::uint32_t Stored;
  std::uint8_t Read;
};
TSample RandomSample(TRandom& Random, int Depth) {
  const std::uint32_t Max = (1u << Depth) - 1;
  const auto Stored = static_cast<std::uint32_t>(Random.Next() % (Max + 1));
  return {Stored, static_cast<std::uint8_t>(Depth == 16 ? Stored >> 8 : Stored * 255 / Max)};
}

void OnPngError(png_structp Png, png_const_charp Message) {
  *static_cast<std::string*>(png_get_error_ptr(Png)) = Message;
  png_longjmp(Png, 1);
}

void OnPngWrite(png_structp Png, png_bytep Data, png_size_t Length) {
  auto* Bytes = static_cast<TBytes*>(png_get_io_ptr(Png));
  Bytes->insert(Bytes->end(), Data, Data + Length);
}

// Stored samples, Channels a pixel, packed into rows of the picture's depth, big-endian.
using TRows = std::vector<TBytes>;
void PutSample(TBytes& Row, std::size_t Index, int Depth, std::uint32_t Value) {
  if (Depth == 16) {
    Row[2 * Index] = static_cast<std::uint8_t>(Value >> 8);
    Row[2 * Index + 1] = static_cast<std::uint8_t>(Value);
  } else if (Depth == 8) {
    Row[Index] = static_cast<std::uint8_t>(Value);
  } else {
    const std::size_t Bit = Index * static_cast<std::size_t>(Depth);
    Row[Bit / 8] |= static_cast<std::uint8_t>(Value << (8 - Depth - Bit % 8));
  }
}

struct TPngParts {
  std::vector<png_color> Palette;
  std::vector<png_byte> PaletteAlpha;
  std::optional<png_color_16> Key;
};

TBytes EncodePng(std::uint32_t Width, std::uint32_t Height, const TPngKind& Kind,
                 const TPngParts& Parts, TRows& Rows) {
  TBytes Bytes;
  std::string Failure;
  png_structp Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &Failure, OnPngError, nullptr);
  png_infop Info = png_create_info_struct(Png);
  if (setjmp(png_jmpbuf(Png))) {
    png_destroy_write_struct(&Png, &Info);
    throw std::runtime_error("libpng: " + Failure);
  }
  png_set_write_fn(Png, &Bytes, OnPngWrite, nullptr);
  png_set_IHDR(Png, Info, Width, Height, Kind.BitDepth, Kind.ColourType,
               Kind.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!Parts.Palette.empty()) {
    png_set_PLTE(Png, Info, Parts.Palette.data(), static_cast<int>(Parts.Palette.size()));
    png_set_tRNS(Png, Info, Parts.PaletteAlpha.data(), static_cast<int>(Parts.PaletteAlpha.size()),
                 nullptr);
  }
  if (Parts.Key) png_set_tRNS(Png, Info, nullptr, 0, const_cast<png_color_16*>(&*Parts.Key));
  std::vector<png_bytep> Pointers;
  for (TBytes& Row : Rows) Pointers.push_back(Row.data());
  png_set_rows(Png, Info, Pointers.data());
  png_write_png(Png, Info, PNG_TRANSFORM_IDENTITY, nullptr);
  png_destroy_write_struct(&Png, &Info);
  return Bytes;
}

int ChannelsOf(int ColourType) {
  switch (ColourType) {
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

// Random palette entries until both open and blocked ones are there.
TPngParts RandomPalette(TRandom& Random, int Depth, int Threshold, bool DarkOpen) {
  TPngParts Parts;
  for (;;) {
    Parts.Palette.clear();
    Parts.PaletteAlpha.clear();
    bool Open = false, Blocked = false;
    for (int K = 0; K < (1 << Depth); ++K) {
      const auto Byte = [&] { return static_cast<std::uint8_t>(Random.Next()); };
      const png_color Colour{Byte(), Byte(), Byte()};
      const png_byte Alpha = Random.Chance(70) ? 255 : Byte();
      Parts.Palette.push_back(Colour);
      Parts.PaletteAlpha.push_back(Alpha);
      const TRgba P{Colour.red, Colour.green, Colour.blue, Alpha};
      Open = Open || Wanted(P, false, Threshold, DarkOpen);
      Blocked = Blocked || Wanted(P, true, Threshold, DarkOpen);
    }
    if (Open && Blocked) return Parts;
  }
}

// ---- Tiled ----

// Tileset 1 (embedded, first gid 1): tiles 1 and 3 collide, tile 2 says collides=false.
// Tileset 2 (walls, first gid 5): tile 2 collides.
const std::uint32_t kColliding[] = {2, 4, 7};
const std::uint32_t kPassable[] = {0, 1, 3, 5, 6};

std::string Base64(const TBytes& Bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string Text;
  for (std::size_t K = 0; K < Bytes.size(); K += 3) {
    std::uint32_t Group = Bytes[K] << 16;
    if (K + 1 < Bytes.size()) Group |= Bytes[K + 1] << 8;
    if (K + 2 < Bytes.size()) Group |= Bytes[K + 2];
    for (std::size_t D = 0; D < 4; ++D) {
      Text += K + D <= Bytes.size() ? kDigits[(Group >> (18 - 6 * D)) & 63] : '=';
    }
  }
  return Text;
}

TBytes Deflated(const TBytes& Bytes, int WindowBits) {
  z_stream Stream{};
  deflateInit2(&Stream, 6, Z_DEFLATED, WindowBits, 8, Z_DEFAULT_STRATEGY);
  TBytes Packed(deflateBound(&Stream, static_cast<uLong>(Bytes.size())));
  Stream.next_in = const_cast<Bytef*>(Bytes.data());
  Stream.avail_in = static_cast<uInt>(Bytes.size());
  Stream.next_out = Packed.data();
  Stream.avail_out = static_cast<uInt>(Packed.size());
  deflate(&Stream, Z_FINISH);
  Packed.resize(Stream.total_out);
  deflateEnd(&Stream);
  return Packed;
}

// The layer's gids as its encoding stores them: the text of a JSON "data" value or of an XML
// <data> or <chunk> element.
std::string EncodedGids(const std::vector<std::uint32_t>& Gids, const TTiledKind& Kind) {
  if (Kind.Encoding == TTiledEncoding::Csv || Kind.Encoding == TTiledEncoding::TileElements) {
    std::string Text = Kind.Xml ? "\n" : "[";
    for (std::size_t K = 0; K < Gids.size(); ++K) {
      Text += std::to_string(Gids[K]) + (K + 1 < Gids.size() ? "," : "");
      if (Kind.Xml && K % 16 == 15) Text += "\n";
    }
    if (Kind.Encoding == TTiledEncoding::TileElements) {
      Text.clear();
      for (const std::uint32_t Gid : Gids) {
        Text += Gid == 0 ? "<tile/>" : "<tile gid=\"" + std::to_string(Gid) + "\"/>";
      }
    }
    return Kind.Xml ? Text : Text + "]";
  }
  TBytes Bytes;
  for (const std::uint32_t Gid : Gids) {
    for (int B = 0; B < 4; ++B) Bytes.push_back(static_cast<std::uint8_t>(Gid >> (8 * B)));
  }
  if (Kind.Encoding == TTiledEncoding::Zlib) Bytes = Deflated(Bytes, 15);
  if (Kind.Encoding == TTiledEncoding::Gzip) Bytes = Deflated(Bytes, 31);
  return Kind.Xml ? "\n   " + Base64(Bytes) + "\n  " : "\"" + Base64(Bytes) + "\"";
}

std::string EncodingAttributes(const TTiledKind& Kind) {
  const bool Json = !Kind.Xml;
  const auto Pair = [&](const char* Key, const char* Value) {
    return Json ? std::string(", \"") + Key + "\": \"" + Value + "\""
                : std::string(" ") + Key + "=\"" + Value + "\"";
  };
  switch (Kind.Encoding) {
    case TTiledEncoding::Csv:
      return Pair("encoding", "csv");
    case TTiledEncoding::Base64:
      return Pair("encoding", "base64");
    case TTiledEncoding::Zlib:
      return Pair("encoding", "base64") + Pair("compression", "zlib");
    case TTiledEncoding::Gzip:
      return Pair("encoding", "base64") + Pair("compression", "gzip");
    default:
      return "";
  }
}

// Two layers of gids over the pattern; a blocked cell has a colliding tile in one of them.
std::vector<std::vector<std::uint32_t>> LayerGids(const TPattern& Pattern, TRandom& Random) {
  std::vector<std::vector<std::uint32_t>> Layers(
      2, std::vector<std::uint32_t>(Pattern.Blocked.size()));
  for (std::size_t K = 0; K < Pattern.Blocked.size(); ++K) {
    const auto Flips = [&] { return static_cast<std::uint32_t>(Random.Next() % 16) << 28; };
    for (auto& Layer : Layers) Layer[K] = kPassable[Random.Next() % 5];
    if (Pattern.Blocked[K] != 0) Layers[Random.Next() % 2][K] = kColliding[Random.Next() % 3];
    for (auto& Layer : Layers) {
      if (Layer[K] != 0) Layer[K] |= Flips();
    }
  }
  return Layers;
}

// A rectangle of a layer: Width x Height gids from (Left, Top).
std::vector<std::uint32_t> Window(const std::vector<std::uint32_t>& Gids, const TPattern& Pattern,
                                  std::uint32_t Top, std::uint32_t Left, std::uint32_t Rows,
                                  std::uint32_t Columns) {
  std::vector<std::uint32_t> Part;
  for (std::uint32_t R = Top; R < Top + Rows; ++R) {
    for (std::uint32_t C = Left; C < Left + Columns; ++C)
      Part.push_back(Gids[R * Pattern.Columns + C]);
  }
  return Part;
}

// An infinite map's chunks are 16 x 16, the pattern's first cell at chunk corner (-32, -16).
constexpr std::int32_t kChunk = 16, kOriginX = -32, kOriginY = -16;

std::string JsonLayer(int Id, const std::string& Name, const std::vector<std::uint32_t>& Gids,
                      const TPattern& Pattern, const TTiledKind& Kind) {
  std::string Text = "{\"id\": " + std::to_string(Id) + ", \"name\": \"" + Name +
                     "\", \"type\": \"tilelayer\", \"opacity\": 1, \"visible\": true" +
                     EncodingAttributes(Kind);
  if (!Kind.Infinite) {
    return Text + ", \"x\": 0, \"y\": 0, \"width\": " + std::to_string(Pattern.Columns) +
           ", \"height\": " + std::to_string(Pattern.Rows) +
           ", \"data\": " + EncodedGids(Gids, Kind) + "}";
  }
  Text += ", \"startx\": " + std::to_string(kOriginX) +
          ", \"starty\": " + std::to_string(kOriginY) + ", \"chunks\": [";
  for (std::uint32_t Top = 0; Top < Pattern.Rows; Top += kChunk) {
    for (std::uint32_t Left = 0; Left < Pattern.Columns; Left += kChunk) {
      if (Top + Left > 0) Text += ", ";
      Text += "{\"x\": " + std::to_string(kOriginX + static_cast<std::int32_t>(Left)) +
              ", \"y\": " + std::to_string(kOriginY + static_cast<std::int32_t>(Top)) +
              ", \"width\": 16, \"height\": 16, \"data\": " +
              EncodedGids(Window(Gids, Pattern, Top, Left, kChunk, kChunk), Kind) + "}";
    }
  }
  return Text + "]}";
}

std::string XmlLayer(int Id, const std::string& Name, const std::vector<std::uint32_t>& Gids,
                     const TPattern& Pattern, const TTiledKind& Kind) {
  std::string Text = " <layer id=\"" + std::to_string(Id) + "\" name=\"" + Name + "\" width=\"" +
                     std::to_string(Pattern.Columns) + "\" height=\"" +
                     std::to_string(Pattern.Rows) + "\">\n  <data" + EncodingAttributes(Kind) + ">";
  if (!Kind.Infinite) return Text + EncodedGids(Gids, Kind) + "</data>\n </layer>\n";
  for (std::uint32_t Top = 0; Top < Pattern.Rows; Top += kChunk) {
    for (std::uint32_t Left = 0; Left < Pattern.Columns; Left += kChunk) {
      Text += "\n   <chunk x=\"" + std::to_string(kOriginX + static_cast<std::int32_t>(Left)) +
              "\" y=\"" + std::to_string(kOriginY + static_cast<std::int32_t>(Top)) +
              "\" width=\"16\" height=\"16\">" +
              EncodedGids(Window(Gids, Pattern, Top, Left, kChunk, kChunk), Kind) + "</chunk>";
    }
  }
  return Text + "\n  </data>\n </layer>\n";
}

std::string JsonMap(const TPattern& Pattern, const TTiledKind& Kind,
                    const std::vector<std::vector<std::uint32_t>>& Layers) {
  return "{\"type\": \"map\", \"version\": \"1.10\", \"orientation\": \"orthogonal\", "
         "\"renderorder\": \"right-down\", \"width\": " +
         std::to_string(Pattern.Columns) + ", \"height\": " + std::to_string(Pattern.Rows) +
         ", \"tilewidth\": 8, \"tileheight\": 8, \"infinite\": " +
         (Kind.Infinite ? "true" : "false") +
         ", \"nextlayerid\": 4, \"nextobjectid\": 1,\n"
         "\"tilesets\": [{\"firstgid\": 1, \"name\": \"ground\", \"tilewidth\": 8, "
         "\"tileheight\": 8, \"tilecount\": 4, \"columns\": 4, \"image\": \"ground.png\", "
         "\"imagewidth\": 32, \"imageheight\": 8, \"tiles\": ["
         "{\"id\": 1, \"properties\": [{\"name\": \"collides\", \"type\": \"bool\", \"value\": "
         "true}]}, {\"id\": 2, \"properties\": [{\"name\": \"collides\", \"type\": \"bool\", "
         "\"value\": false}, {\"name\": \"speed\", \"type\": \"int\", \"value\": 3}]}, "
         "{\"id\": 3, \"properties\": [{\"name\": \"collides\", \"type\": \"bool\", \"value\": "
         "true}]}]},\n"
         "{\"firstgid\": 5, \"source\": \"walls.tsj\"}],\n\"layers\": [" +
         JsonLayer(1, "Ground", Layers[0], Pattern, Kind) +
         ",\n{\"id\": 3, \"name\": \"Above\", \"type\": \"group\", \"layers\": [" +
         JsonLayer(2, "Walls", Layers[1], Pattern, Kind) +
         "]},\n{\"id\": 4, \"name\": \"Spawns\", \"type\": \"objectgroup\", \"objects\": []}]}\n";
}

std::string XmlMap(const TPattern& Pattern, const TTiledKind& Kind,
                   const std::vector<std::vector<std::uint32_t>>& Layers) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<map version=\"1.10\" "
         "orientation=\"orthogonal\" renderorder=\"right-down\" width=\"" +
         std::to_string(Pattern.Columns) + "\" height=\"" + std::to_string(Pattern.Rows) +
         "\" tilewidth=\"8\" tileheight=\"8\" infinite=\"" + (Kind.Infinite ? "1" : "0") +
         "\" nextlayerid=\"4\" nextobjectid=\"1\">\n"
         " <tileset firstgid=\"1\" name=\"ground\" tilewidth=\"8\" tileheight=\"8\" "
         "tilecount=\"4\" columns=\"4\">\n  <image source=\"ground.png\" width=\"32\" "
         "height=\"8\"/>\n"
         "  <tile id=\"1\"><properties><property name=\"collides\" type=\"bool\" "
         "value=\"true\"/></properties></tile>\n"
         "  <tile id=\"2\"><properties><property name=\"collides\" type=\"bool\" "
         "value=\"false\"/><property name=\"speed\" type=\"int\" value=\"3\"/></properties>"
         "</tile>\n"
         "  <tile id=\"3\"><properties><property name=\"collides\" type=\"bool\" "
         "value=\"true\"/></properties></tile>\n </tileset>\n"
         " <tileset firstgid=\"5\" source=\"walls.tsx\"/>\n" +
         XmlLayer(1, "Ground", Layers[0], Pattern, Kind) + " <group id=\"3\" name=\"Above\">\n" +
         XmlLayer(2, "Walls", Layers[1], Pattern, Kind) +
         " </group>\n <objectgroup id=\"4\" name=\"Spawns\"/>\n</map>\n";
}

}  // namespace

TPattern RandomPattern(std::uint32_t Rows, std::uint32_t Columns, std::uint64_t Seed) {
  TRandom Random(Seed);
  TPattern Pattern{Rows, Columns, std::vector<std::uint8_t>(std::size_t{Rows} * Columns)};
  for (auto& Cell : Pattern.Blocked) Cell = Random.Chance(35) ? 1 : 0;
  return Pattern;
}

TBytes ModelLevel0(const TPattern& Pattern) {
  return EncodeLevel0Map(model::PlacedMap(
      Pattern.Rows, Pattern.Columns,
      [&](std::uint32_t Row, std::uint32_t Column) { return Pattern.At(Row, Column); }));
}

std::string MovingAiText(const TPattern& Pattern, bool CrLf, std::uint64_t Seed) {
  TRandom Random(Seed);
  const std::string End = CrLf ? "\r\n" : "\n";
  std::string Text = "type octile" + End + "height " + std::to_string(Pattern.Rows) + End +
                     "width " + std::to_string(Pattern.Columns) + End + "map" + End;
  for (std::uint32_t R = 0; R < Pattern.Rows; ++R) {
    for (std::uint32_t C = 0; C < Pattern.Columns; ++C) {
      Text += Pattern.At(R, C) ? "@TW~s."[Random.Next() % 5] : ".GS"[Random.Next() % 3];
    }
    Text += End;
  }
  return Text;
}

std::string NameOf(const TPngKind& Kind) {
  static const char* const kTypes[] = {"grey", "?", "rgb", "palette", "grey+alpha", "?", "rgba"};
  return std::string(kTypes[Kind.ColourType]) + " " + std::to_string(Kind.BitDepth) + " bits" +
         (Kind.Interlaced ? ", interlaced" : "") + (Kind.ColourKey ? ", colour key" : "");
}

TBytes PatternPng(const TPattern& Pattern, const TPngKind& Kind, std::uint64_t Seed, int Threshold,
                  bool DarkOpen) {
  TRandom Random(Seed);
  const int Depth = Kind.BitDepth, Channels = ChannelsOf(Kind.ColourType);
  const bool Palette = Kind.ColourType == PNG_COLOR_TYPE_PALETTE;
  const bool Grey =
      Kind.ColourType == PNG_COLOR_TYPE_GRAY || Kind.ColourType == PNG_COLOR_TYPE_GRAY_ALPHA;
  TPngParts Parts;
  if (Palette) Parts = RandomPalette(Random, Depth, Threshold, DarkOpen);
  // A light colour made transparent: the pixels that take it are blocked, light as they are.
  TSample KeySample{(1u << Depth) - 1, 255};
  if (Kind.ColourKey) {
    png_color_16 Key{};
    Key.gray = Key.red = Key.green = Key.blue = static_cast<png_uint_16>(KeySample.Stored);
    Parts.Key = Key;
  }
  const std::size_t RowBytes = (std::size_t{Pattern.Columns} * Channels * Depth + 7) / 8;
  TRows Rows(Pattern.Rows, TBytes(RowBytes));
  for (std::uint32_t R = 0; R < Pattern.Rows; ++R) {
    for (std::uint32_t C = 0; C < Pattern.Columns; ++C) {
      const bool Blocked = Pattern.At(R, C);
      const std::size_t Pixel = std::size_t{C} * Channels;
      if (Kind.ColourKey && Blocked && Random.Chance(30)) {
        for (int K = 0; K < Channels; ++K) PutSample(Rows[R], Pixel + K, Depth, KeySample.Stored);
        continue;
      }
      for (;;) {
        if (Palette) {
          const auto Index = static_cast<std::uint32_t>(Random.Next() % Parts.Palette.size());
          const png_color& P = Parts.Palette[Index];
          if (!Wanted({P.red, P.green, P.blue, Parts.PaletteAlpha[Index]}, Blocked, Threshold,
                      DarkOpen))
            continue;
          PutSample(Rows[R], Pixel, Depth, Index);
          break;
        }
        TSample S[4];
        for (int K = 0; K < Channels; ++K) S[K] = RandomSample(Random, Depth);
        const bool Alpha = Channels == 2 || Channels == 4;
        if (Alpha && Random.Chance(60)) S[Channels - 1] = {(1u << Depth) - 1, 255};
        const TRgba P =
            Grey ? TRgba{S[0].Read, S[0].Read, S[0].Read, Alpha ? S[1].Read : std::uint8_t{255}}
                 : TRgba{S[0].Read, S[1].Read, S[2].Read, Alpha ? S[3].Read : std::uint8_t{255}};
        const bool IsKey =
            Kind.ColourKey && S[0].Stored == KeySample.Stored &&
            (Grey || (S[1].Stored == KeySample.Stored && S[2].Stored == KeySample.Stored));
        if (IsKey || !Wanted(P, Blocked, Threshold, DarkOpen)) continue;
        for (int K = 0; K < Channels; ++K) PutSample(Rows[R], Pixel + K, Depth, S[K].Stored);
        break;
      }
    }
  }
  return EncodePng(Pattern.Columns, Pattern.Rows, Kind, Parts, Rows);
}

TBytes PngHeaderOnly(std::uint32_t Width, std::uint32_t Height) {
  TBytes Bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  for (const std::uint32_t Word : {Width, Height}) {
    for (int Shift = 24; Shift >= 0; Shift -= 8)
      Bytes.push_back(static_cast<std::uint8_t>(Word >> Shift));
  }
  Bytes.insert(Bytes.end(), {8, 0, 0, 0, 0});  // 8-bit grey, not interlaced
  const uLong Crc = crc32(0, Bytes.data() + 12, 17);
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Bytes.push_back(static_cast<std::uint8_t>(Crc >> Shift));
  // An empty IDAT chunk: the header is read whole, the rows find no data.
  const TBytes Idat = {0, 0, 0, 0, 'I', 'D', 'A', 'T'};
  Bytes.insert(Bytes.end(), Idat.begin(), Idat.end());
  const uLong IdatCrc = crc32(0, Idat.data() + 4, 4);
  for (int Shift = 24; Shift >= 0; Shift -= 8)
    Bytes.push_back(static_cast<std::uint8_t>(IdatCrc >> Shift));
  return Bytes;
}

std::string NameOf(const TTiledKind& Kind) {
  static const char* const kEncodings[] = {"csv", "base64", "zlib", "gzip", "tile elements"};
  return std::string(Kind.Xml ? "tmx " : "tmj ") + kEncodings[static_cast<int>(Kind.Encoding)] +
         (Kind.Infinite ? ", infinite" : "");
}

TTiledFiles PatternTiled(const TPattern& Pattern, const TTiledKind& Kind, std::uint64_t Seed) {
  TRandom Random(Seed);
  const auto Layers = LayerGids(Pattern, Random);
  if (Kind.Xml) {
    return {"map.tmx", XmlMap(Pattern, Kind, Layers), "walls.tsx",
            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<tileset version=\"1.10\" name=\"walls\" "
            "tilewidth=\"8\" tileheight=\"8\" tilecount=\"3\" columns=\"3\">\n <image "
            "source=\"walls.png\" width=\"24\" height=\"8\"/>\n <tile id=\"2\">\n  <properties>\n"
            "   <property name=\"collides\" type=\"bool\" value=\"true\"/>\n  </properties>\n"
            " </tile>\n</tileset>\n"};
  }
  return {"map.tmj", JsonMap(Pattern, Kind, Layers), "walls.tsj",
          "{\"type\": \"tileset\", \"name\": \"walls\", \"tilewidth\": 8, \"tileheight\": 8, "
          "\"tilecount\": 3, \"columns\": 3, \"image\": \"walls.png\", \"imagewidth\": 24, "
          "\"imageheight\": 8, \"tiles\": [{\"id\": 2, \"properties\": [{\"name\": \"collides\", "
          "\"type\": \"bool\", \"value\": true}]}]}\n"};
}

}  // namespace varnholt::import::test
