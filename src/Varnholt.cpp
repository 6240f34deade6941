#include "Varnholt.h"

#include <algorithm>
#include <array>
#include <new>

#include "Platform.h"

namespace varnholt {
namespace {

void WriteMapFile(const TMapBuffer& Map, TOutputFile& File) {
  if (File.Write(Map.Bytes()) != Map.Bytes().size()) throw Exception("Error writing file");
  File.Finish();
}

void WriteWaypointMap(const TMapRun& Run, TOutputFile& File) {
  WriteWaypointHeader(File, Run.SegmentsPerSide);
  WriteWaypointSegments(File, Run.Waypoints.All());
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
    throw Exception("Range check error");
  }
  InfoMap = TMapBuffer(MaxInfoMapBytes(SegmentsPerSide));
  Waypoints = TWaypointSegments(SegmentsPerSide);
}

TMapRun LoadMap(const std::string& InputPath, std::span<const std::string> Outputs) {
  TInputFile File(InputPath);
  // Replacing an output would then destroy the map being converted.
  for (const std::string& Output : Outputs) {
    if (File.IsAlso(Output)) throw Exception("Error opening file: " + Output);
  }
  return ReadMap(File, File.Size());
}

TMapRun ReadMap(TReader& File, std::uint64_t Size) {
  const TMapHeader Header = ReadMapHeader(File);
  // The tool's own info map carries both marks: name it for what it is.
  if (Header.InfoFlag != 0) throw Exception("You selected an Info map!");
  if (Header.Level != 0) throw Exception("This is not a level 0 map!");
  const std::uint32_t CellsPerSide = CellsPerSideOf(Header);
  if (CellsPerSide < kSegmentSide) throw Exception("Invalid map size!");
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
  WriteMapFile(Run.InfoMap, InfoFile);
  PrintLine("Writing " + WaypointPath + "...");
  TOutputFile WaypointFile(WaypointPath);
  WriteWaypointMap(Run, WaypointFile);
  // Only now that both are complete do they replace the old pair, together.
  CommitFiles(std::array{&InfoFile, &WaypointFile}, Rules);
  PrintLine("Done.");
}

void SaveMap(const TRegionMap& Map, const TMapHeader& Header, const std::string& Level0Path,
             const TCommitRules& Rules) {
  const TRunPaths Paths = DeriveRunPaths(Level0Path, PathRules());
  const std::uint32_t N = Map.Cells().SegmentsPerSide();
  TMapBuffer Records(Map.Cells().RecordBytes());
  Map.Cells().WriteRecords(Records);
  // The other two maps are made from the saved one exactly as its conversion makes them.
  TMapRun Run(Map.Cells().CellsPerSide());
  Run.Header = Header;
  Run.Level0.Take(std::move(Records), N);
  AnalyseMap(Run);
  TOutputFile Level0File(Paths.Input);
  WriteMapHeader(Level0File, Header);
  if (Level0File.Write(Run.Level0.Bytes()) != Run.Level0.Bytes().size()) {
    throw Exception("Error writing file");
  }
  Level0File.Finish();
  TOutputFile InfoFile(Paths.Info);
  WriteMapFile(Run.InfoMap, InfoFile);
  TOutputFile WaypointFile(Paths.Waypoint);
  WriteWaypointMap(Run, WaypointFile);
  CommitFiles(std::array{&Level0File, &InfoFile, &WaypointFile}, Rules);
}

int RunVarnholt(std::span<const std::string> Arguments, const TPathRules& Rules,
                const TPrintLine& PrintLine, const TNotice& Notice) {
  PrintLine("");
  PrintLine("Varnholt 1.0 by Quenlow");
  PrintLine(R"(Create "info" and "waypoint" maps from a level 0 pathfinding map)");
  PrintLine("");
  if (Arguments.size() != 2) {
    const std::string Program = SplitPath(Arguments.empty() ? "" : Arguments[0], Rules).Name;
    PrintLine("Usage: " + Program + " <Level0PathFile>");
    PrintLine("");
    PrintLine("For example: " + Program + " Infantry1Level0Map.raw");
    return 0;
  }
  const TRunPaths Paths = DeriveRunPaths(Arguments[1], Rules);
  try {
    ConvertMap(Paths.Input, Paths.Info, Paths.Waypoint, PrintLine, Notice);
    return 0;
  } catch (const Exception& Failure) {
    PrintLine(Failure.what());
  } catch (const std::bad_alloc&) {
    PrintLine("Out of memory");
  }
  return 1;
}

}  // namespace varnholt
