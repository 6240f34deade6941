#include "convert/Varnholt.h"

#include <array>
#include <vector>

#include "files/OutputFile.h"
#include "files/Recovery.h"
#include "format/Naming.h"

namespace varnholt {
namespace {

void WriteFinished(const TMapRun& Run, varnholt_file Kind, TOutputFile& File) {
  WriteRunFile(Run, Kind, File);
  File.Finish();
}

// The map being converted, by its name and by the file it leads to: no journal that a run left
// may have it renamed over or removed.
std::vector<TFileIdentity> IdentitiesOf(const std::string& InputPath) {
  std::vector<TFileIdentity> Identities;
  if (const auto Entry = platform::EntryAt(InputPath)) Identities.push_back(Entry->Identity);
  if (const auto File = platform::IdentityOf(InputPath)) Identities.push_back(*File);
  return Identities;
}

}  // namespace

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

void SaveMap(const TAnalysedMap& Map, const std::string& Level0Path, const TCommitRules& Rules) {
  const TRunPaths Paths = DeriveRunPaths(Level0Path, PathRules());
  // The other two maps are made from the saved one exactly as its conversion makes them.
  const TMapRun Run = SavedRun(Map);
  TOutputFile Level0File(Paths.Input);
  WriteFinished(Run, VARNHOLT_FILE_LEVEL0, Level0File);
  TOutputFile InfoFile(Paths.Info);
  WriteFinished(Run, VARNHOLT_FILE_INFO, InfoFile);
  TOutputFile WaypointFile(Paths.Waypoint);
  WriteFinished(Run, VARNHOLT_FILE_WAYPOINT, WaypointFile);
  CommitFiles(std::array{&Level0File, &InfoFile, &WaypointFile}, Rules);
}

}  // namespace varnholt
