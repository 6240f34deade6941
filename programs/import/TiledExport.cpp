#include "TiledExport.h"

#include "Inspector.h"
#include "TiledData.h"
#include "TiledJson.h"

namespace varnholt::import {
namespace {

// As many splits and unreachable places as a map maker can look through one by one.
constexpr std::size_t kMostPlaces = 1000;

// Allots the objects' ids, which Tiled wants unique across the map.
struct TObjects {
  TJson List = TJson::array();
  std::int64_t NextId = 1;

  TJson& Add(const std::string& Name, const std::string& Type, TCell Cell) {
    TJson Object = {{"id", NextId++},
                    {"name", Name},
                    {"type", Type},
                    {"x", (Cell.Column + 0.5) * kTileSide},
                    {"y", (Cell.Row + 0.5) * kTileSide},
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
                        {{"x", (End.Column - Start.Column) * static_cast<std::int32_t>(kTileSide)},
                         {"y", (End.Row - Start.Row) * static_cast<std::int32_t>(kTileSide)}}});
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

}  // namespace

std::string TiledMapText(const TMap& Map) {
  TObjects Analysis, Graph;
  AddAnalysis(Map, Analysis);
  Graph.NextId = Analysis.NextId;
  AddGraph(Map, Graph);
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
                    {"nextobjectid", Graph.NextId},
                    {"tilesets", TJson::array({Tileset()})}};
  Document["layers"] =
      TJson::array({CellsLayer(Map), ObjectLayer(2, "Analysis", std::move(Analysis.List)),
                    ObjectLayer(3, "Waypoints and links", std::move(Graph.List))});
  return Document.dump(1) + "\n";
}

}  // namespace varnholt::import
