#include "map/AnalysedMap.h"

#include "format/MapCheck.h"
#include "format/Naming.h"

namespace varnholt {
namespace {

// A pair that is missing, short or different is a stale pair, whatever failed.
void CheckPair(const std::string& Path, const TMapRun& Run, const TRegionMap& Regions) {
  const TRunPaths Paths = DeriveRunPaths(Path, PathRules());
  const auto Stale = [](const std::string& Text) {
    throw Exception(VARNHOLT_ERROR_STALE_PAIR, Text);
  };
  try {
    std::string Difference = FileDifference(Paths.Info, Run.InfoMap);
    if (!Difference.empty()) Stale(Paths.Info + " does not match: " + Difference);
    Difference = FileDifference(Paths.Waypoint, Regions.Records());
    if (!Difference.empty()) Stale(Paths.Waypoint + " does not match: " + Difference);
  } catch (const Exception& Failure) {
    Stale(Failure.what());
  }
}

}  // namespace

TAnalysedMap AnalyseRun(TMapRun& Run) {
  TRegionBuilder Builder(Run.SegmentsPerSide);
  AnalyseMap(Run, [&](std::size_t K, const TSegmentAnalysis& Segment) { Builder.Add(K, Segment); });
  return {Run.Header, Builder.Finish(std::move(Run.Level0), std::move(Run.Waypoints))};
}

TAnalysedMap OpenMap(const std::string& Path, bool Check) {
  TMapRun Run = LoadMap(Path);
  TAnalysedMap Map = AnalyseRun(Run);
  if (Check) CheckPair(Path, Run, Map.Regions);
  return Map;
}

TAnalysedMap AnalyseMapBytes(std::span<const std::uint8_t> Bytes) {
  TBytesReader File(Bytes);
  TMapRun Run = ReadMap(File, Bytes.size());
  return AnalyseRun(Run);
}

TAnalysedMap CreateMap(std::int32_t CellsPerSide, bool Blocked) {
  if (CellsPerSide < 0) throw Exception(VARNHOLT_ERROR_SIZE, "Invalid map size!");
  TMapRun Run = FilledMap(static_cast<std::uint32_t>(CellsPerSide), Blocked);
  return AnalyseRun(Run);
}

TMapRun SavedRun(const TAnalysedMap& Map) {
  const TCellStore& Cells = Map.Regions.Cells();
  TMapBuffer Records(Cells.RecordBytes());
  Cells.WriteRecords(Records);
  TMapRun Run(Cells.CellsPerSide());
  Run.Header = Map.Header;
  Run.Level0.Take(std::move(Records), Cells.SegmentsPerSide());
  AnalyseMap(Run);
  return Run;
}

void WriteRunFile(const TMapRun& Run, varnholt_file Kind, TWriter& File) {
  switch (Kind) {
    case VARNHOLT_FILE_LEVEL0:
      WriteMapHeader(File, Run.Header);
      return WriteAll(File, Run.Level0.Bytes());
    case VARNHOLT_FILE_INFO:
      return WriteAll(File, Run.InfoMap.Bytes());
    case VARNHOLT_FILE_WAYPOINT:
      WriteWaypointHeader(File, Run.SegmentsPerSide);
      return WriteWaypointSegments(File, Run.Waypoints.All());
  }
}

void WriteMapFile(const TAnalysedMap& Map, varnholt_file Kind, TWriter& File) {
  switch (Kind) {
    case VARNHOLT_FILE_LEVEL0:
      WriteMapHeader(File, Map.Header);
      return Map.Regions.Cells().WriteRecords(File);
    case VARNHOLT_FILE_INFO:
      return WriteRunFile(SavedRun(Map), Kind, File);
    case VARNHOLT_FILE_WAYPOINT:
      // The records are kept up to date with every edit: nothing needs labelling again.
      WriteWaypointHeader(File, Map.Regions.Records().Size());
      return WriteWaypointSegments(File, Map.Regions.Records().All());
  }
}

std::string MapFileDifference(const TAnalysedMap& Map, varnholt_file Kind,
                              std::span<const std::uint8_t> Bytes) {
  if (Kind == VARNHOLT_FILE_INFO) return MapDifference(Bytes, SavedRun(Map).InfoMap);
  return MapDifference(Bytes, Map.Regions.Records());
}

std::string MapFileDifference(const TAnalysedMap& Map, varnholt_file Kind,
                              const std::string& Path) {
  if (Kind == VARNHOLT_FILE_INFO) return FileDifference(Path, SavedRun(Map).InfoMap);
  return FileDifference(Path, Map.Regions.Records());
}

}  // namespace varnholt
