#include "files/FolderLock.h"

#include <algorithm>
#include <random>
#include <thread>

namespace varnholt {

using namespace std::chrono_literals;

TFolderLock::TFolderLock(std::string FolderPath, const TCommitRules& Rules, bool Patient)
    : Folder(std::move(FolderPath)) {
  const TClock::time_point Start = TClock::now();
  std::minstd_rand Jitter(static_cast<unsigned>(RandomToken()));
  for (;;) {
    Now = Place();
    if (Now != Held) return;
    const std::vector<std::string> Others = OtherLocks();
    if (Others.empty()) return;
    Withdraw();
    Now = Busy;
    if (!Patient) return;
    if (!AwaitRelease(Others, Rules, Start)) {
      Tell(Rules, "gave up waiting for another run in " + FolderName(Folder));
      FailWriting();
    }
    // Runs that saw each other's lock files try again at different moments.
    std::this_thread::sleep_for(std::chrono::microseconds(Jitter() % 4000));
  }
}

TFolderLock::TState TFolderLock::Place() {
  std::string Made;
  const platform::TCreatedFile Created = CreateToolFile(Folder, kTemporarySuffix, Made, true);
  LockFile = Created.Handle;
  if (LockFile == kNoFile) return Failed;
  platform::ShowHeld(LockFile);
  LockPath = Made.substr(0, Made.size() - kTemporarySuffix.size()) + std::string(kLockSuffix);
  if (!Created.Held || !platform::RenameOver(Made, LockPath)) {
    LockPath = Made;
    Withdraw();
    return Created.Held ? Failed : Lockless;
  }
  return Held;
}

void TFolderLock::Withdraw() {
  if (LockFile == kNoFile) return;
  // Removed before it is let go, so that nobody takes it for the lock file of a run that died.
  platform::RemoveFile(LockPath);
  platform::CloseFile(LockFile);
  LockFile = kNoFile;
}

std::vector<std::string> TFolderLock::OtherLocks() const {
  std::vector<std::string> Others;
  for (const std::string& Name : platform::FolderEntries(Folder, kToolPrefix)) {
    const std::string Path = Folder + Name;
    if (IsToolName(Name, kLockSuffix) && Path != LockPath && platform::IsHeld(Path)) {
      Others.push_back(Path);
    }
  }
  return Others;
}

// False once Rules.Patience has passed since Start; says after a second that the run waits.
bool TFolderLock::AwaitRelease(std::vector<std::string> Others, const TCommitRules& Rules,
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
