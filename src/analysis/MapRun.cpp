#include "analysis/MapRun.h"

#include <bit>

#include "platform/Platform.h"

namespace varnholt {
namespace {

TSegmentAnalysis AnalysisOf(std::uint64_t EveryRow) {
  TSegmentRows Blocked;
  Blocked.fill(EveryRow);
  TSegmentAnalysis Result;
  AnalyseSegment(Blocked, Result);
  return Result;
}

}  // namespace

TMapRun::TMapRun(std::uint32_t Cells) : CellsPerSide(Cells), SegmentsPerSide(Cells / kSegmentSide) {
  // The level-0 records of one row of segments must stay below 2^31 bytes: larger maps are a
  // range error before anything is sized.
  CheckGridRow(SegmentsPerSide, sizeof(TSegment));
  InfoMap = TMapBuffer(MaxInfoMapBytes(SegmentsPerSide));
  Waypoints = TWaypointSegments(SegmentsPerSide);
}

TMapRun LoadMap(const std::string& InputPath, std::span<const std::string> Outputs) {
  TInputFile File(InputPath);
  // Replacing an output would then destroy the map being converted.
  for (const std::string& Output : Outputs) {
    if (File.IsAlso(Output)) throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Output);
  }
  return ReadMap(File, File.Size());
}

TMapRun ReadMap(TReader& File, std::uint64_t Size) {
  const TMapHeader Header = ReadMapHeader(File);
  // The tool's own info map carries both marks: name it for what it is.
  if (Header.InfoFlag != 0) throw Exception(VARNHOLT_ERROR_NOT_LEVEL0, "You selected an Info map!");
  if (Header.Level != 0) throw Exception(VARNHOLT_ERROR_NOT_LEVEL0, "This is not a level 0 map!");
  const std::uint32_t CellsPerSide = CellsPerSideOf(Header);
  if (CellsPerSide < kSegmentSide) throw Exception(VARNHOLT_ERROR_SIZE, "Invalid map size!");
  TMapRun Run(CellsPerSide);
  Run.Header = Header;
  Run.Level0.Read(File, Run.SegmentsPerSide, Size > kHeaderBytes ? Size - kHeaderBytes : 0);
  return Run;
}

TMapRun FilledMap(std::uint32_t CellsPerSide, bool Blocked) {
  if (CellsPerSide < kSegmentSide || CellsPerSide % kSegmentSide != 0 ||
      !std::has_single_bit(CellsPerSide / kSegmentSide)) {
    throw Exception(VARNHOLT_ERROR_SIZE, "Invalid map size!");
  }
  TMapRun Run(CellsPerSide);
  Run.Header = HeaderFor(CellsPerSide, 0, 0);
  const std::size_t Segments = std::size_t{Run.SegmentsPerSide} * Run.SegmentsPerSide;
  TMapBuffer Records(RecordBytes(segFilledLow) * Segments);
  TSegmentRows Rows;
  Rows.fill(Blocked ? ~std::uint64_t{0} : 0);
  for (std::size_t K = 0; K < Segments; ++K) WriteSegment(Records, Rows);
  Run.Level0.Take(std::move(Records), Run.SegmentsPerSide);
  return Run;
}

void AnalyseMap(TMapRun& Run, const TSegmentObserver& Observer) {
  WriteMapHeader(Run.InfoMap, HeaderFor(Run.CellsPerSide, 0, 1));
  // Filled segments, most of a real map, always give the same: they are analysed once.
  const TSegmentAnalysis Open = AnalysisOf(0);
  const TSegmentAnalysis Blocked = AnalysisOf(~std::uint64_t{0});
  TSegmentAnalysis Explicit;
  TSegmentLinker Linker(Run.SegmentsPerSide);
  for (std::size_t K = 0; K < Run.Level0.Count(); ++K) {
    const std::int32_t Tag = Run.Level0.Tag(K);
    if (Tag != segFilledLow && Tag != segFilledHigh) AnalyseSegment(Run.Level0.Rows(K), Explicit);
    const TSegmentAnalysis& Result = Tag == segFilledLow    ? Open
                                     : Tag == segFilledHigh ? Blocked
                                                            : Explicit;
    WriteInfoRows(Run.InfoMap, Result.Info);
    Run.Waypoints.All()[K] = Result.Waypoint;
    Linker.Add(K, Result.Borders, Run.Waypoints);
    if (Observer) Observer(K, Result);
  }
}

}  // namespace varnholt
