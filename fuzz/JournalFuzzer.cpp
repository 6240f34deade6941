// Hostile journals, as anyone who can write a shared folder can plant them, through the decoder:
// it must never crash, and whatever it takes for a whole journal must be sound, named within the
// folder, and read back the same once written out again.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "files/Journal.h"

namespace {

using namespace varnholt;

void Check(bool Condition, const char* What) {
  if (!Condition) {
    std::fprintf(stderr, "journal fuzzer: %s\n", What);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
  const std::string Folder = "maps/";
  const TJournal Read =
      DecodeJournal(Folder, std::string_view(reinterpret_cast<const char*>(Data), Size));
  if (Read.Kind != TJournalKind::Whole) return 0;
  const TCommitPlan& Plan = Read.Plan;
  Check(Plan.Folder == Folder, "a plan for another folder");
  Check(!Plan.Files.empty() && Plan.Files.size() <= kMostFiles, "a count out of range");
  for (const TPlacement& File : Plan.Files) {
    Check(File.Target.find('/') == std::string::npos && File.Target != "." && File.Target != "..",
          "a target outside the folder");
    Check(File.Temporary.starts_with(".varnholt-") && File.Temporary.find('/') == std::string::npos,
          "a temporary not of the tool's");
    Check(File.Backup.empty() || File.OldId.has_value(), "a backup of no old file");
  }
  const TJournal Again = DecodeJournal(Folder, EncodeJournal(Plan));
  Check(Again.Kind == TJournalKind::Whole && Again.Plan == Plan, "not read back as written");
  return 0;
}
