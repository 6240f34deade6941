#include "files/FolderTurn.h"

#include <algorithm>
#include <random>
#include <thread>

namespace varnholt {

using namespace std::chrono_literals;

TFolderTurn::TFolderTurn(std::string FolderPath, const TCommitRules& Rules, bool Patient)
    : Folder(std::move(FolderPath)) {
  const TClock::time_point Start = TClock::now();
  std::minstd_rand Jitter(static_cast<unsigned>(RandomToken()));
  for (;;) {
    Now = Place();
    if (Now != Held) return;
    const std::vector<std::string> Others = OtherClaims();
    if (Others.empty()) return;
    Withdraw();
    Now = Busy;
    if (!Patient) return;
    if (!AwaitRelease(Others, Rules, Start)) {
      Tell(Rules, "gave up waiting for another run in " + FolderName(Folder));
      FailWriting();
    }
    // Runs that saw each other's claims try again at different moments.
    std::this_thread::sleep_for(std::chrono::microseconds(Jitter() % 4000));
  }
}

TFolderTurn::TState TFolderTurn::Place() {
  std::string Made;
  const platform::TCreatedFile Created = CreateToolFile(Folder, kTemporarySuffix, Made, true);
  Claim = Created.Handle;
  if (Claim == kNoFile) return Failed;
  platform::ShowHeld(Claim);
  ClaimPath = Made.substr(0, Made.size() - kTemporarySuffix.size()) + std::string(kClaimSuffix);
  if (!Created.Held || !platform::RenameOver(Made, ClaimPath)) {
    ClaimPath = Made;
    Withdraw();
    return Created.Held ? Failed : Lockless;
  }
  return Held;
}

void TFolderTurn::Withdraw() {
  if (Claim == kNoFile) return;
  // Removed before it is let go, so that nobody takes it for the claim of a run that died.
  platform::RemoveFile(ClaimPath);
  platform::CloseFile(Claim);
  Claim = kNoFile;
}

std::vector<std::string> TFolderTurn::OtherClaims() const {
  std::vector<std::string> Others;
  for (const std::string& Name : platform::FolderEntries(Folder, kToolPrefix)) {
    const std::string Path = Folder + Name;
    if (IsToolName(Name, kClaimSuffix) && Path != ClaimPath && platform::IsHeld(Path)) {
      Others.push_back(Path);
    }
  }
  return Others;
}

// False once Rules.Patience has passed since Start; says after a second that the run waits.
bool TFolderTurn::AwaitRelease(std::vector<std::string> Others, const TCommitRules& Rules,
                               TClock::time_point Start) {
  auto Pause = 1ms;
  while (!Others.empty()) {
    std::erase_if(Others, [](const std::string& Path) { return !platform::IsHeld(Path); });
    const TClock::duration Waited = TClock::now() - Start;
    if (!Said && Waited >= 1s) {
      Tell(Rules, "waiting for another run in " + FolderName(Folder));
      Said = true;
    }
    if (Waited >= Rules.Patience) return false;
    std::this_thread::sleep_for(Pause);
    Pause = std::min(2 * Pause, std::chrono::milliseconds(16));
  }
  return true;
}

}  // namespace varnholt
