#include "Importer.h"

#include "TiledMap.h"

namespace varnholt::import {
namespace {

// The first byte that is not white space or a UTF-8 byte order mark.
std::uint8_t FirstByte(const TBytes& Bytes) {
  for (const std::uint8_t Byte : Bytes) {
    if (Byte != ' ' && Byte != '\t' && Byte != '\r' && Byte != '\n' && Byte != 0xEF &&
        Byte != 0xBB && Byte != 0xBF) {
      return Byte;
    }
  }
  return 0;
}

// The library's words name the line at fault; the file is named here.
TMap ImportMovingAi(const TSourceFile& Source) {
  try {
    return TMap::ImportMovingAi(
        {reinterpret_cast<const char*>(Source.Bytes.data()), Source.Bytes.size()});
  } catch (const Exception& Failure) {
    Fail(Source.Path, Failure.what(), Failure.Status());
  }
}

}  // namespace

bool IsTiled(const TBytes& Bytes) {
  const std::uint8_t First = FirstByte(Bytes);
  return First == '<' || First == '{';
}

TMap ImportTiled(const TSourceFile& Source, const TReadFile& ReadFile) {
  const TJson Document = TiledDocument(Source);
  return TiledMap(Document, Source.Path, TiledTilesets(Document, Source.Path, ReadFile));
}

TMap ImportSource(const TSourceFile& Source, const TPixelOptions& Options,
                  const TReadFile& ReadFile) {
  if (IsPng(Source.Bytes)) return ImportPng(Source, Options);
  if (IsTiled(Source.Bytes)) return ImportTiled(Source, ReadFile);
  return ImportMovingAi(Source);
}

TExportFormat ExportFormatOf(const std::string& Word) {
  if (Word == "map") return TExportFormat::MovingAi;
  if (Word == "png") return TExportFormat::Png;
  if (Word == "tiled") return TExportFormat::Tiled;
  throw Exception(VARNHOLT_ERROR_ARGUMENT,
                  "Unknown export format: " + Word + " (map, png or tiled)");
}

}  // namespace varnholt::import
