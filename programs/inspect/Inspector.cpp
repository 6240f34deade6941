#include "Inspector.h"

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

// The cells of a split, Count of them, as "(row, column), ...".
std::string Cells(const std::int32_t (*List)[2], std::int32_t Count) {
  std::string Text;
  for (std::int32_t K = 0; K < Count; ++K) {
    if (!Text.empty()) Text += ", ";
    Text += Bracketed({List[K][0], List[K][1]});
  }
  return Text;
}

// What would mend split number Index: the fewest cells to block, or to open, a few of them named.
std::string FixText(const TMap& Map, std::size_t Index) {
  std::string Text;
  for (const auto& [Kind, Verb] :
       {std::pair{VARNHOLT_FIX_BLOCK, "block "}, std::pair{VARNHOLT_FIX_OPEN, "open "}}) {
    const std::vector<TCell> Fix = Map.SplitFix(static_cast<std::int64_t>(Index), Kind);
    if (Fix.empty()) continue;
    if (!Text.empty()) Text += "; or ";
    Text += Verb + Counted(Fix.size(), "cell", "cells") + ": ";
    for (std::size_t K = 0; K < std::min<std::size_t>(Fix.size(), 3); ++K)
      Text += (K > 0 ? ", " : "") + Bracketed(Fix[K]);
    if (Fix.size() > 3) Text += ", ...";
  }
  return Text.empty() ? "no fix found" : Text;
}

std::vector<std::string> SplitLines(const TMap& Map, const TSurveyResult& Result) {
  const std::int64_t SplitCount = Result.Survey.split_components;
  if (SplitCount == 0) {
    return {Row("Splits", "none: the graph connects everything the grid connects")};
  }
  std::vector<std::string> Lines{
      Row("Splits",
          Counted(static_cast<std::uint64_t>(SplitCount), "grid component", "grid components") +
              " in several parts of the graph (cells as row, column):")};
  for (std::size_t Index = 0; Index < Result.Splits.size(); ++Index) {
    const TSplit& Split = Result.Splits[Index];
    std::string Line = std::string("  ") + std::to_string(Split.parts) + " parts, holding " +
                       Cells(Split.part_cells, Split.part_count);
    if (Split.parts > Split.part_count) Line += ", ...";
    Lines.push_back(Line);
    Lines.push_back("    erased areas in it: " + Cells(Split.erased_cells, Split.erased_count));
    Lines.push_back("    to mend it: " + FixText(Map, Index));
  }
  if (static_cast<std::size_t>(SplitCount) > Result.Splits.size()) {
    Lines.push_back(std::string("  and ") +
                    std::to_string(static_cast<std::size_t>(SplitCount) - Result.Splits.size()) +
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
    ReplaceFile(PictureFile, EncodePng(Picture));
    return {};
  } catch (const Exception& Failure) {
    return Failure.what();
  }
}

// Prints what differs; true when both files hold exactly what the converter writes.
bool CheckOutputs(const std::string& Level0Path, const TMap& Map, const TPrintLine& PrintLine) {
  const std::string Info = FilePath(Level0Path, VARNHOLT_FILE_INFO);
  const std::string Waypoint = FilePath(Level0Path, VARNHOLT_FILE_WAYPOINT);
  // Both files are well formed then, but they come from two different conversions.
  if (PairInterrupted(Level0Path)) {
    PrintLine("A conversion stopped while putting " + Info + " and " + Waypoint +
              " in place: they do not belong together.");
    PrintLine("Run varnholt in that folder again: it completes the pair first.");
    return false;
  }
  PrintLine("Checking " + Info + "...");
  const std::string InfoDifference = Map.CompareFile(VARNHOLT_FILE_INFO, Info);
  if (!InfoDifference.empty()) PrintLine(Info + " does not match: " + InfoDifference);
  PrintLine("Checking " + Waypoint + "...");
  const std::string WaypointDifference = Map.CompareFile(VARNHOLT_FILE_WAYPOINT, Waypoint);
  if (!WaypointDifference.empty()) PrintLine(Waypoint + " does not match: " + WaypointDifference);
  if (InfoDifference.empty() && WaypointDifference.empty()) return true;
  PrintLine("The maps are stale or damaged: run varnholt on " + Level0Path + " again.");
  return false;
}

}  // namespace

std::string PicturePath(const std::string& Level0Path) {
  // The waypoint map is named Dir + Prefix + ".raw".
  const std::string Waypoint = FilePath(Level0Path, VARNHOLT_FILE_WAYPOINT);
  return Waypoint.substr(0, Waypoint.size() - 4) + "Inspect.png";
}

std::vector<std::string> ReportLines(const TMap& Map, const TSurveyResult& Result,
                                     const std::vector<std::string>& Paths,
                                     const std::string& PictureFile, const TPicture& Picture) {
  const TSurvey& Census = Result.Survey;
  const auto Count = [](std::int64_t Value) { return static_cast<std::uint64_t>(Value); };
  const auto Number = [](std::int64_t Value) { return std::to_string(Value); };
  const std::string Cells = std::to_string(Map.CellsPerSide());
  const std::string Segments = std::to_string(Map.SegmentsPerSide());
  std::vector<std::string> Lines{
      Row("Map", Cells + " x " + Cells + " cells, " + Segments + " x " + Segments + " segments"),
      Row("Segments", Number(Census.filled_open_segments) + " filled open, " +
                          Number(Census.filled_blocked_segments) + " filled blocked, " +
                          Number(Census.explicit_segments) + " explicit"),
      Row("Areas", Number(Census.areas_found) + " found, " + Number(Census.areas_kept) + " kept"),
      Row("Over four areas",
          Counted(Count(Census.segments_over_four), "segment", "segments") + ", " +
              Counted(Count(Census.erased_cells), "open cell", "open cells") + " erased"),
      Row("Area 4", Counted(Count(Census.segments_with_area4), "segment", "segments") + ", " +
                        Counted(Count(Census.area4_cells), "cell", "cells") +
                        " in the waypoint map but not in the info map"),
      Row("Links", Number(Census.down_links) + " down, " + Number(Census.right_links) + " right"),
      Row("Grid components",
          Number(Census.grid_components) + " (open cells 4-connected across the whole map)"),
      Row("Graph components", Number(Census.graph_components) + " (kept areas joined by links)"),
      Row("Unreachable",
          Counted(Count(Census.lost_components), "grid component", "grid components") +
              " without a kept area, " +
              Counted(Count(Census.lost_cells), "open cell", "open cells")),
  };
  for (std::string& Line : SplitLines(Map, Result)) Lines.push_back(std::move(Line));
  Lines.insert(Lines.end(), Paths.begin(), Paths.end());
  Lines.push_back(Row("Picture", PictureText(PictureFile, Picture)));
  Lines.push_back(Row("Result", Census.split_components == 0
                                    ? "healthy"
                                    : "not healthy: some paths run only through erased areas"));
  return Lines;
}

int InspectMap(const std::string& Level0Path, const TPrintLine& PrintLine,
               const std::optional<TPathQuery>& Query) {
  PrintLine("Reading " + Level0Path + "...");
  const TMap Map = TMap::Analyse(Level0Path);
  if (!CheckOutputs(Level0Path, Map, PrintLine)) return 1;
  const TSurveyResult Survey = Map.Survey(kExampleSplits, 0);
  const std::optional<TPathAnswer> Answer =
      Query ? std::optional(AnswerQuery(Map, *Query)) : std::nullopt;
  std::vector<std::string> PathLines{Row("Paths", ReportLine(ReportPaths(Map, kReportPairs, 1)))};
  if (Answer) PathLines.push_back(Row("Path", AnswerLine(*Query, *Answer)));
  const std::string PictureFile = PicturePath(Level0Path);
  PrintLine("Writing " + PictureFile + "...");
  TPicture Picture = DrawPicture(Map);
  if (Answer) DrawPath(Answer->Path, Picture);
  const std::string PictureFailure = WritePicture(PictureFile, Picture);
  PrintLine("");
  for (const std::string& Line : ReportLines(Map, Survey, PathLines, PictureFile, Picture)) {
    PrintLine(Line);
  }
  if (!PictureFailure.empty()) PrintLine(PictureFailure);
  return Survey.Survey.split_components == 0 && PictureFailure.empty() ? 0 : 1;
}

}  // namespace varnholt::inspect
