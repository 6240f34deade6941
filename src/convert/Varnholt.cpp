#include "convert/Varnholt.h"

#include <algorithm>
#include <array>
#include <new>

#include "platform/Platform.h"
#include "files/Recovery.h"

namespace varnholt {
namespace {

void WriteBytes(TWriter& File, std::span<const std::uint8_t> Bytes) {
  if (File.Write(Bytes) != Bytes.size())
    throw Exception(VARNHOLT_ERROR_WRITE, "Error writing file");
}

void WriteFinished(const TMapRun& Run, varnholt_file Kind, TOutputFile& File) {
  WriteRunFile(Run, Kind, File);
  File.Finish();
}

TSegmentAnalysis AnalysisOf(std::uint64_t EveryRow) {
  TSegmentRows Blocked;
  Blocked.fill(EveryRow);
  TSegmentAnalysis Result;
  AnalyseSegment(Blocked, Result);
  return Result;
}

// The map being converted, by its name and by the file it leads to: no journal that a run left
// may have it renamed over or removed.
std::vector<TFileIdentity> IdentitiesOf(const std::string& InputPath) {
  std::vector<TFileIdentity> Identities;
  if (const auto Entry = platform::EntryAt(InputPath)) Identities.push_back(Entry->Identity);
  if (const auto File = platform::IdentityOf(InputPath)) Identities.push_back(*File);
  return Identities;
}

bool IsAsciiDigit(char Character) {
  return Character >= '0' && Character <= '9';
}

}  // namespace

TMapRun::TMapRun(std::uint32_t Cells) : CellsPerSide(Cells), SegmentsPerSide(Cells / kSegmentSide) {
  // The level-0 records of one row of segments must stay below 2^31 bytes, as a signed 32-bit
  // byte count would: larger maps are a range error before anything is sized.
  if (std::uint64_t{SegmentsPerSide} * sizeof(TSegment) >= (std::uint64_t{1} << 31)) {
    throw Exception(VARNHOLT_ERROR_SIZE, "Range check error");
  }
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

void AnalyseMap(TMapRun& Run, const TSegmentObserver& Observer) {
  WriteMapHeader(Run.InfoMap, Run.CellsPerSide, 0, 1);
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

TRegionMap AnalyseRegions(TMapRun& Run, const TSegmentObserver& Observer) {
  TRegionBuilder Builder(Run.SegmentsPerSide);
  AnalyseMap(Run, [&](std::size_t K, const TSegmentAnalysis& Segment) {
    Builder.Add(K, Segment);
    if (Observer) Observer(K, Segment);
  });
  return Builder.Finish(std::move(Run.Level0));
}

TRunPaths DeriveRunPaths(std::string_view Argument, const TPathRules& Rules) {
  const TPathParts Parts = SplitPath(Argument, Rules);
  const auto FirstDigit = std::find_if(Parts.Name.begin(), Parts.Name.end(), IsAsciiDigit);
  const std::string Prefix(Parts.Name.begin(), FirstDigit);
  return {std::string(Argument), Parts.Dir + Prefix + "Info.raw", Parts.Dir + Prefix + ".raw"};
}

void ConvertMap(const std::string& InputPath, const std::string& InfoPath,
                const std::string& WaypointPath, const TPrintLine& PrintLine,
                const TNotice& Notice) {
  PrintLine("Reading " + InputPath + "...");
  const TCommitRules Rules{IdentitiesOf(InputPath), Notice};
  // Whatever a run that died in this folder left half done is completed before anything else.
  RecoverFolderOf(InfoPath, Rules);
  TMapRun Run = LoadMap(InputPath, std::array{InfoPath, WaypointPath});
  PrintLine("Calculating...");
  AnalyseMap(Run);
  PrintLine("Writing " + InfoPath + "...");
  TOutputFile InfoFile(InfoPath);
  WriteFinished(Run, VARNHOLT_FILE_INFO, InfoFile);
  PrintLine("Writing " + WaypointPath + "...");
  TOutputFile WaypointFile(WaypointPath);
  WriteFinished(Run, VARNHOLT_FILE_WAYPOINT, WaypointFile);
  // Only now that both are complete do they replace the old pair, together.
  CommitFiles(std::array{&InfoFile, &WaypointFile}, Rules);
  PrintLine("Done.");
}

TMapRun SavedRun(const TRegionMap& Map, const TMapHeader& Header, bool Analysed) {
  const std::uint32_t N = Map.Cells().SegmentsPerSide();
  TMapBuffer Records(Map.Cells().RecordBytes());
  Map.Cells().WriteRecords(Records);
  TMapRun Run(Map.Cells().CellsPerSide());
  Run.Header = Header;
  Run.Level0.Take(std::move(Records), N);
  if (Analysed) AnalyseMap(Run);
  return Run;
}

void WriteRunFile(const TMapRun& Run, varnholt_file Kind, TWriter& File) {
  switch (Kind) {
    case VARNHOLT_FILE_LEVEL0:
      WriteMapHeader(File, Run.Header);
      return WriteBytes(File, Run.Level0.Bytes());
    case VARNHOLT_FILE_INFO:
      return WriteBytes(File, Run.InfoMap.Bytes());
    case VARNHOLT_FILE_WAYPOINT:
      WriteWaypointHeader(File, Run.SegmentsPerSide);
      return WriteWaypointSegments(File, Run.Waypoints.All());
  }
}

void SaveMap(const TRegionMap& Map, const TMapHeader& Header, const std::string& Level0Path,
             const TCommitRules& Rules) {
  const TRunPaths Paths = DeriveRunPaths(Level0Path, PathRules());
  // The other two maps are made from the saved one exactly as its conversion makes them.
  const TMapRun Run = SavedRun(Map, Header, true);
  TOutputFile Level0File(Paths.Input);
  WriteFinished(Run, VARNHOLT_FILE_LEVEL0, Level0File);
  TOutputFile InfoFile(Paths.Info);
  WriteFinished(Run, VARNHOLT_FILE_INFO, InfoFile);
  TOutputFile WaypointFile(Paths.Waypoint);
  WriteFinished(Run, VARNHOLT_FILE_WAYPOINT, WaypointFile);
  CommitFiles(std::array{&Level0File, &InfoFile, &WaypointFile}, Rules);
}

}  // namespace varnholt
