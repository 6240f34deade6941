#include "TiledMap.h"

#include <algorithm>
#include <limits>

#include "Placing.h"
#include "TiledData.h"

namespace varnholt::import {
namespace {

constexpr std::int64_t kMaxGid = 0x0FFFFFFF;  // below the flip bits
// Sizes and places beyond any map, kept within bounds whose products no integer overflows; a
// source too large for a map fails as such where it is placed.
constexpr std::int64_t kMaxOffset = std::int64_t{1} << 30;

bool Collides(const TJson& Tile, const std::string& Where) {
  for (const TJson& Property : Array(Tile, "properties", Where)) {
    if (Text(Property, "name", Where, "") != "collides") continue;
    const auto Value = Property.find("value");
    if (Value != Property.end() && Value->is_boolean() && Value->get<bool>()) return true;
  }
  return false;
}

// The tileset's own document: the entry itself, or the file it names beside the map.
TJson TilesetDocument(const TJson& Entry, const std::string& Path, const std::string& Where,
                      const TReadFile& ReadFile) {
  const std::string Source = Text(Entry, "source", Where, "");
  if (Source.empty()) return Entry;
  const std::string Beside = PathBeside(Path, Source);
  try {
    return TiledDocument({Beside, ReadFile(Beside)});
  } catch (const Exception& Failure) {
    Fail(Where, Failure.what(), Failure.Status());
  }
}

// A rectangle of a tile layer as the file stores it: a finite map's layer, or a chunk.
struct TPiece {
  const TJson* Holder;  // holds "data"
  std::string Where;
  std::string Encoding, Compression;
  std::int64_t X, Y, Width, Height;
};

void AddLayerPieces(const TJson& Layer, const std::string& Path, bool Infinite,
                    std::vector<TPiece>& Pieces) {
  const std::string Where = Path + ", layer '" + Text(Layer, "name", Path, "") + "'";
  const std::string Encoding = Text(Layer, "encoding", Where, "csv");
  const std::string Compression = Text(Layer, "compression", Where, "");
  const auto Piece = [&](const TJson& Holder, const std::string& At) {
    return TPiece{&Holder,
                  At,
                  Encoding,
                  Compression,
                  Integer(Holder, "x", At, -kMaxOffset, kMaxOffset, 0),
                  Integer(Holder, "y", At, -kMaxOffset, kMaxOffset, 0),
                  Integer(Holder, "width", At, 0, kMaxOffset),
                  Integer(Holder, "height", At, 0, kMaxOffset)};
  };
  if (!Infinite) return Pieces.push_back(Piece(Layer, Where));
  for (const TJson& Chunk : Array(Layer, "chunks", Where)) {
    const std::string At = Where + ", chunk at " +
                           std::to_string(Integer(Chunk, "x", Where, -kMaxOffset, kMaxOffset)) +
                           ", " +
                           std::to_string(Integer(Chunk, "y", Where, -kMaxOffset, kMaxOffset));
    Pieces.push_back(Piece(Chunk, At));
  }
}

// Groups nest no deeper than the document, which the parsers bound.
void AddPieces(const TJson& Layers, const std::string& Path, bool Infinite,
               std::vector<TPiece>& Pieces) {
  for (const TJson& Layer : Layers) {
    const std::string Type = Text(Layer, "type", Path, "");
    if (Type == "tilelayer") AddLayerPieces(Layer, Path, Infinite, Pieces);
    if (Type == "group") AddPieces(Array(Layer, "layers", Path), Path, Infinite, Pieces);
  }
}

TGids CsvArrayGids(const TJson& Data, std::size_t Count, const std::string& Where) {
  if (!Data.is_array()) Fail(Where, "CSV data is not an array of gids");
  if (Data.size() != Count) {
    Fail(Where, "the data holds " + std::to_string(Data.size()) + " tiles, " +
                    std::to_string(Count) + " expected");
  }
  TGids Gids(Count);
  for (std::size_t K = 0; K < Count; ++K) {
    if (!Data[K].is_number_unsigned() || Data[K].get<std::uint64_t>() > UINT32_MAX) {
      Fail(Where, "tile " + std::to_string(K + 1) + " of the data is not a gid");
    }
    Gids[K] = Data[K].get<std::uint32_t>();
  }
  return Gids;
}

TGids PieceGids(const TPiece& Piece) {
  const auto Data = Piece.Holder->find("data");
  if (Data == Piece.Holder->end()) Fail(Piece.Where, "'data' is missing");
  const auto Count = static_cast<std::size_t>(Piece.Width * Piece.Height);
  if (Piece.Encoding == "csv") return CsvArrayGids(*Data, Count, Piece.Where);
  if (Piece.Encoding != "base64") Fail(Piece.Where, "unknown encoding '" + Piece.Encoding + "'");
  if (!Data->is_string()) Fail(Piece.Where, "base64 data is not text");
  return Base64Gids(Data->get_ref<const std::string&>(), Piece.Compression, Count, Piece.Where);
}

// Which cells of a rectangle collide, the layers over the same rectangle joined.
struct TMarked {
  std::int64_t X, Y, Width, Height;
  TBytes Blocked;
};

void Mark(const TPiece& Piece, const TTiledTilesets& Tilesets, std::vector<TMarked>& Marked) {
  const TGids Gids = PieceGids(Piece);
  auto Same = std::find_if(Marked.begin(), Marked.end(), [&](const TMarked& M) {
    return M.X == Piece.X && M.Y == Piece.Y && M.Width == Piece.Width && M.Height == Piece.Height;
  });
  if (Same == Marked.end()) {
    Marked.push_back({Piece.X, Piece.Y, Piece.Width, Piece.Height, TBytes(Gids.size())});
    Same = Marked.end() - 1;
  }
  ImportTiled(Gids, Tilesets, Same->Blocked.data());
}

// The rows and columns the source spans, from its first row and column.
struct TExtent {
  std::int64_t X = 0, Y = 0, Width = 0, Height = 0;
};

// A finite map's size; a size beyond any map fails as such where the map is placed.
TExtent FixedExtent(const TJson& Document, const std::string& Path) {
  return {0, 0, Integer(Document, "width", Path, 0, kMaxOffset),
          Integer(Document, "height", Path, 0, kMaxOffset)};
}

// An infinite map's: the chunks' bounding box.
TExtent ChunksExtent(const std::vector<TPiece>& Pieces) {
  std::int64_t Left = kMaxOffset, Top = kMaxOffset, Right = -kMaxOffset, Bottom = -kMaxOffset;
  for (const TPiece& Piece : Pieces) {
    Left = std::min(Left, Piece.X);
    Top = std::min(Top, Piece.Y);
    Right = std::max(Right, Piece.X + Piece.Width);
    Bottom = std::max(Bottom, Piece.Y + Piece.Height);
  }
  if (Pieces.empty()) return {};
  return {Left, Top, Right - Left, Bottom - Top};
}

void CheckWithin(const TPiece& Piece, const TExtent& Extent) {
  if (Piece.X < Extent.X || Piece.Y < Extent.Y || Piece.X + Piece.Width > Extent.X + Extent.Width ||
      Piece.Y + Piece.Height > Extent.Y + Extent.Height) {
    Fail(Piece.Where, std::to_string(Piece.Width) + " x " + std::to_string(Piece.Height) +
                          " tiles at " + std::to_string(Piece.X) + ", " + std::to_string(Piece.Y) +
                          " reach outside the map's " + std::to_string(Extent.Width) + " x " +
                          std::to_string(Extent.Height));
  }
}

// The rows of M within the band of Rows rows from source row Top.
void CopyBand(const TMarked& M, const TExtent& Extent, std::int32_t Top, std::int32_t Rows,
              std::span<std::uint8_t> Band) {
  const std::int64_t First = std::max<std::int64_t>(Top, M.Y - Extent.Y);
  const std::int64_t Last = std::min<std::int64_t>(Top + Rows, M.Y - Extent.Y + M.Height);
  for (std::int64_t Row = First; Row < Last; ++Row) {
    const auto From = static_cast<std::size_t>((Row - (M.Y - Extent.Y)) * M.Width);
    const auto To = static_cast<std::size_t>((Row - Top) * Extent.Width + M.X - Extent.X);
    for (std::size_t C = 0; C < static_cast<std::size_t>(M.Width); ++C) {
      Band[To + C] |= M.Blocked[From + C];
    }
  }
}

}  // namespace

TTiledTilesets TiledTilesets(const TJson& Document, const std::string& Path,
                             const TReadFile& ReadFile) {
  TTiledTilesets Tilesets;
  const TJson& Entries = Array(Document, "tilesets", Path);
  for (std::size_t K = 0; K < Entries.size(); ++K) {
    const std::string Source = Text(Entries[K], "source", Path, "");
    const std::string Where =
        Path + ", tileset " + (Source.empty() ? std::to_string(K + 1) : "'" + Source + "'");
    Tilesets.FirstGids.push_back(
        static_cast<std::uint32_t>(Integer(Entries[K], "firstgid", Where, 1, kMaxGid)));
    const TJson Tileset = TilesetDocument(Entries[K], Path, Where, ReadFile);
    for (const TJson& Tile : Array(Tileset, "tiles", Where)) {
      if (!Collides(Tile, Where)) continue;
      Tilesets.Colliding.push_back(static_cast<std::uint32_t>(K));
      Tilesets.Colliding.push_back(
          static_cast<std::uint32_t>(Integer(Tile, "id", Where, 0, kMaxGid)));
    }
  }
  // The library's rule checks the tilesets; its words about them belong to this map.
  try {
    ImportTiled({}, Tilesets, nullptr);
  } catch (const Exception& Failure) {
    Fail(Path, Failure.what());
  }
  return Tilesets;
}

TMap TiledMap(const TJson& Document, const std::string& Path, const TTiledTilesets& Tilesets,
              TTileOrigin* Origin) {
  if (Text(Document, "type", Path, "map") != "map") {
    Fail(Path, "a Tiled " + Text(Document, "type", Path, "") + ", not a map");
  }
  const auto Infinite = Document.find("infinite");
  const bool IsInfinite =
      Infinite != Document.end() && Infinite->is_boolean() && Infinite->get<bool>();
  const TExtent Fixed = IsInfinite ? TExtent{} : FixedExtent(Document, Path);
  std::vector<TPiece> Pieces;
  AddPieces(Array(Document, "layers", Path), Path, IsInfinite, Pieces);
  const TExtent Extent = IsInfinite ? ChunksExtent(Pieces) : Fixed;
  if (Origin != nullptr) *Origin = {Extent.X, Extent.Y};
  std::vector<TMarked> Marked;
  for (const TPiece& Piece : Pieces) {
    CheckWithin(Piece, Extent);
    Mark(Piece, Tilesets, Marked);
  }
  return PlacedMap(Path, Extent.Height, Extent.Width,
                   [&](std::int32_t Top, std::int32_t Rows, std::span<std::uint8_t> Band) {
                     for (const TMarked& M : Marked) CopyBand(M, Extent, Top, Rows, Band);
                   });
}

}  // namespace varnholt::import
