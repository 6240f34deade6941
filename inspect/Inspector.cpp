#include "Inspector.h"

#include "Commit.h"

namespace varnholt::inspect {
namespace {

constexpr std::size_t kLabelWidth = 18;

std::string Row(std::string_view Label, const std::string& Text) {
  std::string Line(Label);
  Line.resize(kLabelWidth, ' ');
  return Line + Text;
}

std::string Counted(std::uint64_t Count, std::string_view One, std::string_view Many) {
  return std::to_string(Count) + " " + std::string(Count == 1 ? One : Many);
}

std::string Cells(const std::vector<TCell>& List) {
  std::string Text;
  for (const TCell& Cell : List) {
    if (!Text.empty()) Text += ", ";
    // Appended piece by piece: GCC 12 misreads "(" + std::to_string(...) as an overlapping copy.
    Text += '(';
    Text += std::to_string(Cell.Row);
    Text += ", ";
    Text += std::to_string(Cell.Column);
    Text += ')';
  }
  return Text;
}

std::vector<std::string> SplitLines(const TReachability& Reachability) {
  if (Reachability.SplitComponents == 0) {
    return {Row("Splits", "none: the graph connects everything the grid connects")};
  }
  std::vector<std::string> Lines{
      Row("Splits", Counted(Reachability.SplitComponents, "grid component", "grid components") +
                        " in several parts of the graph (cells as row, column):")};
  for (const TSplit& Split : Reachability.Splits) {
    std::string Line = std::string("  ") + std::to_string(Split.Parts) + " parts, holding " +
                       Cells(Split.PartCells);
    if (Split.Parts > Split.PartCells.size()) Line += ", ...";
    Lines.push_back(Line);
    Lines.push_back("    erased areas in it: " + Cells(Split.ErasedCells));
  }
  if (Reachability.SplitComponents > Reachability.Splits.size()) {
    Lines.push_back(std::string("  and ") +
                    std::to_string(Reachability.SplitComponents - Reachability.Splits.size()) +
                    " more");
  }
  return Lines;
}

std::string PictureText(const std::string& PictureFile, const TPicture& Picture) {
  const std::string Side = std::to_string(Picture.Side);
  const std::string Scale = std::to_string(Picture.Scale);
  return PictureFile + ", " + Side + " x " + Side + " pixels, " +
         (Picture.Scale == 1 ? "one pixel per cell"
                             : "scaled down to one pixel per " + Scale + " x " + Scale + " cells");
}

// Writes the picture; the failure, if it cannot be, so that the report comes first.
std::string WritePicture(const std::string& PictureFile, const TPicture& Picture) {
  try {
    WriteWholeFile(PictureFile, EncodePng(Picture));
    return {};
  } catch (const Exception& Failure) {
    return Failure.what();
  }
}

// Prints what differs; true when both files hold exactly what the converter writes.
bool CheckOutputs(const TRunPaths& Paths, const TMapRun& Expected, const TPrintLine& PrintLine) {
  // Both files are well formed then, but they come from two different conversions.
  if (IsCommitInterrupted(std::array{Paths.Info, Paths.Waypoint})) {
    PrintLine("A conversion stopped while putting " + Paths.Info + " and " + Paths.Waypoint +
              " in place: they do not belong together.");
    PrintLine("Run varnholt in that folder again: it completes the pair first.");
    return false;
  }
  PrintLine("Checking " + Paths.Info + "...");
  const std::string InfoDifference = InfoMapDifference(Paths.Info, Expected.InfoMap);
  if (!InfoDifference.empty()) PrintLine(Paths.Info + " does not match: " + InfoDifference);
  PrintLine("Checking " + Paths.Waypoint + "...");
  const std::string WaypointDifference = WaypointMapDifference(Paths.Waypoint, Expected.Waypoints);
  if (!WaypointDifference.empty()) {
    PrintLine(Paths.Waypoint + " does not match: " + WaypointDifference);
  }
  if (InfoDifference.empty() && WaypointDifference.empty()) return true;
  PrintLine("The maps are stale or damaged: run varnholt on " + Paths.Input + " again.");
  return false;
}

}  // namespace

std::string PicturePath(std::string_view Level0Path, const TPathRules& Rules) {
  // The waypoint map is named Dir + Prefix + ".raw".
  const std::string Waypoint = DeriveRunPaths(Level0Path, Rules).Waypoint;
  return Waypoint.substr(0, Waypoint.size() - 4) + "Inspect.png";
}

std::vector<std::string> ReportLines(const TMapRun& Map, const TSurvey& Survey,
                                     const std::vector<std::string>& Paths,
                                     const std::string& PictureFile, const TPicture& Picture) {
  const TMapCensus& Census = Survey.Census;
  const TReachability& Reachability = Survey.Reachability;
  const std::string Cells = std::to_string(Map.CellsPerSide);
  const std::string Segments = std::to_string(Map.SegmentsPerSide);
  std::vector<std::string> Lines{
      Row("Map", Cells + " x " + Cells + " cells, " + Segments + " x " + Segments + " segments"),
      Row("Segments", std::to_string(Census.FilledOpen) + " filled open, " +
                          std::to_string(Census.FilledBlocked) + " filled blocked, " +
                          std::to_string(Census.Explicit) + " explicit"),
      Row("Areas", std::to_string(Census.AreasFound) + " found, " +
                       std::to_string(Census.AreasKept) + " kept"),
      Row("Over four areas", Counted(Census.SegmentsOverFour, "segment", "segments") + ", " +
                                 Counted(Census.ErasedCells, "open cell", "open cells") +
                                 " erased"),
      Row("Area 4", Counted(Census.SegmentsWithArea4, "segment", "segments") + ", " +
                        Counted(Census.Area4Cells, "cell", "cells") +
                        " in the waypoint map but not in the info map"),
      Row("Links", std::to_string(Census.DownLinks) + " down, " +
                       std::to_string(Census.RightLinks) + " right"),
      Row("Grid components", std::to_string(Reachability.GridComponents) +
                                 " (open cells 4-connected across the whole map)"),
      Row("Graph components",
          std::to_string(Reachability.AbstractComponents) + " (kept areas joined by links)"),
      Row("Unreachable", Counted(Reachability.LostComponents, "grid component", "grid components") +
                             " without a kept area, " +
                             Counted(Reachability.LostCells, "open cell", "open cells")),
  };
  for (std::string& Line : SplitLines(Reachability)) Lines.push_back(std::move(Line));
  Lines.insert(Lines.end(), Paths.begin(), Paths.end());
  Lines.push_back(Row("Picture", PictureText(PictureFile, Picture)));
  Lines.push_back(Row("Result", Reachability.SplitComponents == 0
                                    ? "healthy"
                                    : "not healthy: some paths run only through erased areas"));
  return Lines;
}

int InspectMap(const std::string& Level0Path, const TPathRules& Rules, const TPrintLine& PrintLine,
               const std::optional<TPathQuery>& Query) {
  const TRunPaths Paths = DeriveRunPaths(Level0Path, Rules);
  PrintLine("Reading " + Paths.Input + "...");
  TMapRun Map = LoadMap(Paths.Input);
  // One labelling of each segment serves the check, the survey, the paths and the picture.
  TSurveyBuilder Survey(Map.SegmentsPerSide);
  TPicture Picture = NewPicture(Map.SegmentsPerSide);
  const TRegionMap Regions =
      AnalyseRegions(Map, [&](std::size_t K, const TSegmentAnalysis& Segment) {
        Survey.Add(K, Segment.Blocked, Segment.Masks);
        PaintSegment(K, Segment.Blocked, Segment.Masks, Picture);
      });
  if (!CheckOutputs(Paths, Map, PrintLine)) return 1;
  const TSurvey Result = Survey.Finish(Map.Waypoints);
  const std::optional<TPathAnswer> Answer =
      Query ? std::optional(AnswerQuery(Regions, *Query)) : std::nullopt;
  std::vector<std::string> PathLines{
      Row("Paths", ReportLine(ReportPaths(Regions, kReportPairs, 1)))};
  if (Answer) PathLines.push_back(Row("Path", AnswerLine(*Query, *Answer)));
  const std::string PictureFile = PicturePath(Level0Path, Rules);
  PrintLine("Writing " + PictureFile + "...");
  FinishPicture(Map.Waypoints, Picture);
  if (Answer) DrawPath(Answer->Path, Picture);
  const std::string PictureFailure = WritePicture(PictureFile, Picture);
  PrintLine("");
  for (const std::string& Line : ReportLines(Map, Result, PathLines, PictureFile, Picture)) {
    PrintLine(Line);
  }
  if (!PictureFailure.empty()) PrintLine(PictureFailure);
  return Result.Reachability.SplitComponents == 0 && PictureFailure.empty() ? 0 : 1;
}

}  // namespace varnholt::inspect
