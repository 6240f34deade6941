// varnholt-import: makes a level-0 map of a map drawn in another tool (a Moving AI map, a PNG
// picture, a Tiled map), or writes a level-0 map for other tools. Each output is put in place
// whole by the library's varnholt_replace_file, once everything it holds has been worked out.
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "Console.h"
#include "Importer.h"
#include "TiledExport.h"
#include "TiledMap.h"
#include "Tool.h"

namespace {

using namespace varnholt;
using namespace varnholt::import;

void PrintLine(std::string_view Line) {
  console::WriteStandardOutput(std::string(Line) + "\n");
}

void PrintUsage(const std::string& Program) {
  PrintLine("Usage: " + Program + " [--threshold PERCENT] [--dark-open] SOURCE LEVEL0MAP");
  PrintLine("       " + Program + " --export map|png|tiled LEVEL0MAP|TILEDMAP OUT");
  PrintLine("");
  PrintLine("Makes a level-0 map of a Moving AI map, a PNG picture or a Tiled map (.tmj, .json,");
  PrintLine(".tmx), its first row and column at cell (0, 0), every cell beyond it blocked. A");
  PrintLine("pixel is open when it is opaque and at least PERCENT (50) light; with --dark-open,");
  PrintLine("when it is at least PERCENT dark. A Tiled tile blocks where its tileset gives it the");
  PrintLine("property collides. --export writes a level-0 map, or the map a Tiled map makes, as a");
  PrintLine("Moving AI map, a picture of a pixel a cell, or a Tiled map holding its analysis (and");
  PrintLine("a Tiled map's own layers).");
}

struct TRequest {
  std::vector<std::string> Files;
  TPixelOptions Pixels;
  std::optional<TExportFormat> Export;
  bool Help = false;
};

int PercentOf(const std::string& Word) {
  std::size_t End = 0;
  int Value = -1;
  try {
    Value = std::stoi(Word, &End);
  } catch (const std::exception&) {
    End = 0;
  }
  if (End != Word.size() || Value < 0 || Value > 100) {
    throw Exception(VARNHOLT_ERROR_ARGUMENT, "--threshold takes a percent from 0 to 100: " + Word);
  }
  return Value;
}

// The value after option Words[K], which must be there.
const std::string& ValueOf(const std::vector<std::string>& Words, std::size_t K) {
  if (K + 1 >= Words.size()) throw Exception(VARNHOLT_ERROR_ARGUMENT, Words[K] + " needs a value");
  return Words[K + 1];
}

TRequest ReadRequest(const std::vector<std::string>& Words) {
  TRequest Request;
  for (std::size_t K = 1; K < Words.size(); ++K) {
    if (Words[K] == "--help") {
      Request.Help = true;
    } else if (Words[K] == "--threshold") {
      Request.Pixels.Threshold = PercentOf(ValueOf(Words, K++));
    } else if (Words[K] == "--dark-open") {
      Request.Pixels.DarkOpen = true;
    } else if (Words[K] == "--export") {
      Request.Export = ExportFormatOf(ValueOf(Words, K++));
    } else if (Words[K].starts_with("--")) {
      throw Exception(VARNHOLT_ERROR_ARGUMENT, "Unknown option: " + Words[K]);
    } else {
      Request.Files.push_back(Words[K]);
    }
  }
  return Request;
}

// An output that would replace the file it is made of is refused before anything is read.
void CheckApart(const std::string& Input, const std::string& Output) {
  if (SameFile(Input, Output)) {
    throw Exception(VARNHOLT_ERROR_OPEN, Output + ": the output would replace its own source");
  }
}

void Import(const std::string& Source, const std::string& Level0, const TPixelOptions& Options) {
  CheckApart(Source, Level0);
  PrintLine("Reading " + Source + "...");
  const TMap Map = ImportSource({Source, ReadWholeFile(Source)}, Options, ReadWholeFile);
  PrintLine("Writing " + Level0 + "...");
  ReplaceFile(Level0, Map.File(VARNHOLT_FILE_LEVEL0));
}

// The map to export, with the Tiled map it was imported from where it was (Document empty
// otherwise).
struct TExported {
  TMap Map;
  TJson Document;
  TTileOrigin Origin;
};

TExported ReadExported(const std::string& Input) {
  const TSourceFile Source{Input, ReadWholeFile(Input)};
  if (!IsTiled(Source.Bytes)) return {TMap::Analyse(Input), {}, {}};
  TJson Document = TiledDocument(Source);
  TTileOrigin Origin;
  TMap Map = TiledMap(Document, Input, TiledTilesets(Document, Input, ReadWholeFile), &Origin);
  return {std::move(Map), std::move(Document), Origin};
}

TBytes ExportedBytes(TExportFormat Format, const TExported& Exported, const std::string& Input,
                     const std::string& Out) {
  std::string Text;
  if (Format == TExportFormat::Png) return ExportPng(Exported.Map);
  if (Format == TExportFormat::MovingAi) {
    Text = Exported.Map.MovingAiText();
  } else if (!Exported.Document.is_null()) {
    Text = TiledSourceText(Exported.Map, Exported.Document, Exported.Origin, Input, Out);
  } else {
    Text = TiledMapText(Exported.Map);
  }
  return TBytes(Text.begin(), Text.end());
}

void Export(TExportFormat Format, const std::string& Input, const std::string& Out) {
  CheckApart(Input, Out);
  PrintLine("Reading " + Input + "...");
  const TExported Exported = ReadExported(Input);
  const TBytes Bytes = ExportedBytes(Format, Exported, Input, Out);
  if (Format == TExportFormat::Tiled && Exported.Document.is_null()) {
    // The same two tiles for every map: a failure after this leaves nothing of this map.
    const std::string Tiles = PathBeside(Out, kTilesFile);
    PrintLine("Writing " + Tiles + "...");
    ReplaceFile(Tiles, TilesPng(kTileSide));
  }
  PrintLine("Writing " + Out + "...");
  ReplaceFile(Out, Bytes);
}

int Run(const std::vector<std::string>& Words) {
  const TRequest Request = ReadRequest(Words);
  if (Request.Help || Request.Files.size() != 2) {
    PrintUsage(console::FileNameOf(Words[0]));
    return Request.Help ? 0 : 1;
  }
  if (Request.Export) {
    Export(*Request.Export, Request.Files[0], Request.Files[1]);
  } else {
    Import(Request.Files[0], Request.Files[1], Request.Pixels);
  }
  PrintLine("Done.");
  return 0;
}

}  // namespace

int main(int ArgumentCount, char** Arguments) {
  return console::RunTool("varnholt-import", ArgumentCount, Arguments, Run);
}
