#include "TiledExport.h"

#include <algorithm>
#include <filesystem>

#include "Inspector.h"
#include "TiledData.h"

namespace varnholt::import {
namespace {

// As many splits and unreachable places as a map maker can look through one by one.
constexpr std::size_t kMostPlaces = 1000;

// Allots the objects' ids, which Tiled wants unique across the map, and places them at the
// centres of their cells' tiles.
struct TObjects {
  TTilePlace Place;
  std::int64_t NextId = 1;
  TJson List = TJson::array();

  TJson& Add(const std::string& Name, const std::string& Type, TCell Cell) {
    TJson Object = {{"id", NextId++},
                    {"name", Name},
                    {"type", Type},
                    {"x", (static_cast<double>(Place.Origin.X) + Cell.Column + 0.5) *
                              static_cast<double>(Place.TileWidth)},
                    {"y", (static_cast<double>(Place.Origin.Y) + Cell.Row + 0.5) *
                              static_cast<double>(Place.TileHeight)},
                    {"width", 0},
                    {"height", 0},
                    {"rotation", 0},
                    {"visible", true}};
    List.push_back(std::move(Object));
    return List.back();
  }
};

TJson Property(const std::string& Name, const std::string& Value) {
  return {{"name", Name}, {"type", "string"}, {"value", Value}};
}

TJson& AddPoint(TObjects& Objects, const std::string& Name, const std::string& Type, TCell Cell,
                const std::vector<std::string>& Words) {
  TJson& Object = Objects.Add(Name, Type, Cell);
  Object["point"] = true;
  TJson Properties = TJson::array();
  for (std::size_t K = 0; K < Words.size(); ++K) {
    Properties.push_back(Property("words" + (K == 0 ? "" : std::to_string(K + 1)), Words[K]));
  }
  Object["properties"] = std::move(Properties);
  return Object;
}

TJson CellsLayer(const TMap& Map) {
  const std::int32_t Side = Map.CellsPerSide();
  TGids Gids(static_cast<std::size_t>(Side) * static_cast<std::size_t>(Side));
  for (std::int32_t Row = 0; Row < Side; ++Row) {
    const TBytes Cells = Map.Cells({Row, 0}, 1, Side);
    for (std::int32_t C = 0; C < Side; ++C) {
      Gids[static_cast<std::size_t>(Row) * static_cast<std::size_t>(Side) +
           static_cast<std::size_t>(C)] = Cells[static_cast<std::size_t>(C)] != 0 ? 2 : 1;
    }
  }
  return {{"id", 1},
          {"name", "Cells"},
          {"type", "tilelayer"},
          {"x", 0},
          {"y", 0},
          {"width", Side},
          {"height", Side},
          {"opacity", 1},
          {"visible", true},
          {"encoding", "base64"},
          {"compression", "zlib"},
          {"data", ZlibBase64Text(Gids)}};
}

TJson ObjectLayer(std::int64_t Id, const std::string& Name, TJson Objects) {
  return {{"id", Id},
          {"name", Name},
          {"type", "objectgroup"},
          {"x", 0},
          {"y", 0},
          {"opacity", 1},
          {"visible", true},
          {"draworder", "topdown"},
          {"objects", std::move(Objects)}};
}

// Each split at its first erased area, with the inspector's words; each of its parts named at
// its waypoint; each unreachable place at its first cell.
void AddAnalysis(const TMap& Map, TObjects& Objects) {
  const TSurveyResult Survey = Map.Survey(kMostPlaces, kMostPlaces);
  for (std::size_t K = 0; K < Survey.Splits.size(); ++K) {
    const TSplit& Split = Survey.Splits[K];
    const std::string Name = "Split " + std::to_string(K + 1);
    const auto& At = Split.erased_count > 0 ? Split.erased_cells[0] : Split.part_cells[0];
    AddPoint(Objects, Name, "split", {At[0], At[1]}, inspect::SplitWords(Map, Split, K));
    for (std::int32_t P = 0; P < Split.part_count; ++P) {
      AddPoint(
          Objects, Name + ", part " + std::to_string(P + 1), "split part",
          {Split.part_cells[P][0], Split.part_cells[P][1]},
          {"a waypoint of part " + std::to_string(P + 1) + " of " + std::to_string(Split.parts) +
           "; the graph joins the parts only where the grid "
           "runs through erased areas"});
    }
  }
  for (std::size_t K = 0; K < Survey.Lost.size(); ++K) {
    AddPoint(Objects, "Unreachable " + std::to_string(K + 1), "unreachable", Survey.Lost[K],
             {"open cells without a kept area: no waypoint leads here"});
  }
}

TCell WaypointCell(const TWaypointRecord& Record, std::int32_t I, std::int32_t J, int Area) {
  const TCell Point = Record.Point(Area);
  return {64 * I + Point.Row, 64 * J + Point.Column};
}

void AddLinks(const TMap& Map, std::int32_t I, std::int32_t J, bool Down, TObjects& Objects) {
  const TWaypointRecord From = Map.SegmentRecord(I, J);
  const std::int32_t ToI = I + (Down ? 1 : 0), ToJ = J + (Down ? 0 : 1);
  if (ToI >= Map.SegmentsPerSide() || ToJ >= Map.SegmentsPerSide()) return;
  const TWaypointRecord To = Map.SegmentRecord(ToI, ToJ);
  for (unsigned A = 1; A <= 4; ++A) {
    for (unsigned B = 1; B <= 4; ++B) {
      if (!From.Links(Down, A, B)) continue;
      const TCell Start = WaypointCell(From, I, J, static_cast<int>(A));
      const TCell End = WaypointCell(To, ToI, ToJ, static_cast<int>(B));
      TJson& Link = Objects.Add("", "link", Start);
      Link["polyline"] =
          TJson::array({{{"x", 0}, {"y", 0}},
                        {{"x", (End.Column - Start.Column) * Objects.Place.TileWidth},
                         {"y", (End.Row - Start.Row) * Objects.Place.TileHeight}}});
    }
  }
}

void AddGraph(const TMap& Map, TObjects& Objects) {
  const std::int32_t N = Map.SegmentsPerSide();
  for (std::int32_t I = 0; I < N; ++I) {
    for (std::int32_t J = 0; J < N; ++J) {
      const TWaypointRecord Record = Map.SegmentRecord(I, J);
      for (int Area = 1; Area <= Record.AreaCount(); ++Area) {
        const std::string Name = "Waypoint " + std::to_string(Area) + " of segment (" +
                                 std::to_string(I) + ", " + std::to_string(J) + ")";
        Objects.Add(Name, "waypoint", WaypointCell(Record, I, J, Area))["point"] = true;
      }
      AddLinks(Map, I, J, true, Objects);
      AddLinks(Map, I, J, false, Objects);
    }
  }
}

TJson Tileset() {
  const TJson Collides = {{"name", "collides"}, {"type", "bool"}, {"value", true}};
  return {{"firstgid", 1},
          {"name", "Varnholt cells"},
          {"tilewidth", kTileSide},
          {"tileheight", kTileSide},
          {"tilecount", 2},
          {"columns", 2},
          {"margin", 0},
          {"spacing", 0},
          {"image", kTilesFile},
          {"imagewidth", 2 * kTileSide},
          {"imageheight", kTileSide},
          {"tiles", TJson::array({{{"id", 1}, {"properties", TJson::array({Collides})}}})}};
}

// The two object layers of the analysis, with ids from LayerId and objects' from ObjectId;
// ObjectId is left at the next free one.
TJson AnalysisLayers(const TMap& Map, const TTilePlace& Place, std::int64_t LayerId,
                     std::int64_t& ObjectId) {
  TObjects Analysis{Place, ObjectId};
  AddAnalysis(Map, Analysis);
  TObjects Graph{Place, Analysis.NextId};
  AddGraph(Map, Graph);
  ObjectId = Graph.NextId;
  return TJson::array({ObjectLayer(LayerId, "Analysis", std::move(Analysis.List)),
                       ObjectLayer(LayerId + 1, "Waypoints and links", std::move(Graph.List))});
}

// The largest id among Layers and the layers within their groups.
std::int64_t LargestLayerId(const TJson& Layers) {
  std::int64_t Largest = 0;
  for (const TJson& Layer : Layers) {
    const auto Id = Layer.find("id");
    if (Id != Layer.end() && Id->is_number_integer())
      Largest = std::max(Largest, Id->get<std::int64_t>());
    const auto Within = Layer.find("layers");
    if (Within != Layer.end() && Within->is_array())
      Largest = std::max(Largest, LargestLayerId(*Within));
  }
  return Largest;
}

// A field of an object that names a file relative to the source, named relative to the output.
void Rebase(TJson& Object, const char* Key, const std::string& SourcePath,
            const std::string& OutPath) {
  const auto Name = Object.find(Key);
  if (Name == Object.end() || !Name->is_string()) return;
  const std::filesystem::path File = PathOf(Name->get<std::string>());
  if (File.is_absolute()) return;
  const std::filesystem::path From = std::filesystem::absolute(PathOf(SourcePath)).parent_path();
  const std::filesystem::path To = std::filesystem::absolute(PathOf(OutPath)).parent_path();
  *Name = Utf8Of((From / File).lexically_normal().lexically_relative(To.lexically_normal()));
}

void RebaseLayers(TJson& Layers, const std::string& SourcePath, const std::string& OutPath) {
  for (TJson& Layer : Layers) {
    Rebase(Layer, "image", SourcePath, OutPath);
    if (Layer.contains("layers") && Layer["layers"].is_array()) {
      RebaseLayers(Layer["layers"], SourcePath, OutPath);
    }
  }
}

void RebaseFiles(TJson& Document, const std::string& SourcePath, const std::string& OutPath) {
  if (Document.contains("tilesets") && Document["tilesets"].is_array()) {
    for (TJson& Tileset : Document["tilesets"]) {
      Rebase(Tileset, "source", SourcePath, OutPath);
      Rebase(Tileset, "image", SourcePath, OutPath);
      if (!Tileset.contains("tiles") || !Tileset["tiles"].is_array()) continue;
      for (TJson& Tile : Tileset["tiles"]) Rebase(Tile, "image", SourcePath, OutPath);
    }
  }
  if (Document.contains("layers") && Document["layers"].is_array()) {
    RebaseLayers(Document["layers"], SourcePath, OutPath);
  }
}

}  // namespace

std::string TiledMapText(const TMap& Map) {
  std::int64_t NextObjectId = 1;
  TJson Layers = AnalysisLayers(Map, {}, 2, NextObjectId);
  Layers.insert(Layers.begin(), CellsLayer(Map));
  const std::int32_t Side = Map.CellsPerSide();
  TJson Document = {{"type", "map"},
                    {"version", "1.10"},
                    {"orientation", "orthogonal"},
                    {"renderorder", "right-down"},
                    {"width", Side},
                    {"height", Side},
                    {"tilewidth", kTileSide},
                    {"tileheight", kTileSide},
                    {"infinite", false},
                    {"nextlayerid", 4},
                    {"nextobjectid", NextObjectId},
                    {"tilesets", TJson::array({Tileset()})},
                    {"layers", std::move(Layers)}};
  return Document.dump(1) + "\n";
}

std::string TiledSourceText(const TMap& Map, TJson Source, const TTileOrigin& Origin,
                            const std::string& SourcePath, const std::string& OutPath) {
  const TTilePlace Place{Integer(Source, "tilewidth", SourcePath, 1, 1 << 20, kTileSide),
                         Integer(Source, "tileheight", SourcePath, 1, 1 << 20, kTileSide), Origin};
  const std::int64_t LayerId = std::max(Integer(Source, "nextlayerid", SourcePath, 1, INT32_MAX, 1),
                                        LargestLayerId(Array(Source, "layers", SourcePath)) + 1);
  std::int64_t ObjectId = Integer(Source, "nextobjectid", SourcePath, 1, INT32_MAX, 1);
  const TJson Added = AnalysisLayers(Map, Place, LayerId, ObjectId);
  RebaseFiles(Source, SourcePath, OutPath);
  Source["type"] = "map";
  Source["nextlayerid"] = LayerId + 2;
  Source["nextobjectid"] = ObjectId;
  if (!Source.contains("layers") || !Source["layers"].is_array()) Source["layers"] = TJson::array();
  for (const TJson& Layer : Added) Source["layers"].push_back(Layer);
  return Source.dump(1) + "\n";
}

}  // namespace varnholt::import
