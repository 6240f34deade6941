// A lock on a folder, so that runs that share a folder put their files in place one at a time. A
// run that wants it places a lock file, a held file of its own, and has the lock when no other
// lock file there is held; otherwise it withdraws, waits until those are let go, and tries again.
// Of two runs that lock at once at least one sees the other's lock file, so no two ever hold the
// lock together. Only those who may write the folder can place a lock file, and one counts only
// while its run holds it open, so neither a reader of the folder nor a run that died can keep
// others waiting. A lock file is made under a temporary's name and renamed once others can see
// that it is held. On a file system without locks runs go without them.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "files/ToolFiles.h"

namespace varnholt {

class TFolderLock {
 public:
  enum TState { Held, Busy, Lockless, Failed };
  // Waits for the lock when Patient, failing with "Error writing file" once Rules.Patience has
  // passed; otherwise leaves a busy folder at once, without the lock.
  TFolderLock(std::string FolderPath, const TCommitRules& Rules, bool Patient);
  ~TFolderLock() { Withdraw(); }
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;
  TState State() const { return Now; }

 private:
  using TClock = std::chrono::steady_clock;

  TState Place();
  void Withdraw();
  std::vector<std::string> OtherLocks() const;
  bool AwaitRelease(std::vector<std::string> Others, const TCommitRules& Rules,
                    TClock::time_point Start);

  std::string Folder;
  std::string LockPath;
  TFileHandle LockFile = kNoFile;
  TState Now = Failed;
  bool Said = false;
};

}  // namespace varnholt
