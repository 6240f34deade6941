// A run's turn in a folder. A run that wants it places a claim, a held file of its own, and has
// the turn when no other claim there is held; otherwise it withdraws, waits until those claims
// are let go, and tries again. Of two runs that claim at once at least one sees the other's
// claim, so no two ever have the turn together. Only those who may write the folder can place a
// claim, and a claim counts only while its run holds it, so neither a reader of the folder nor a
// run that died can keep others waiting. A claim is made under a temporary's name and renamed
// once others can see that it is held. On a file system without locks runs go without turns.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "files/ToolFiles.h"

namespace varnholt {

class TFolderTurn {
 public:
  enum TState { Held, Busy, Lockless, Failed };
  // Waits for the turn when Patient, failing with "Error writing file" once Rules.Patience has
  // passed; otherwise leaves a busy folder at once, without the turn.
  TFolderTurn(std::string FolderPath, const TCommitRules& Rules, bool Patient);
  ~TFolderTurn() { Withdraw(); }
  TFolderTurn(const TFolderTurn&) = delete;
  TFolderTurn& operator=(const TFolderTurn&) = delete;
  TState State() const { return Now; }

 private:
  using TClock = std::chrono::steady_clock;

  TState Place();
  void Withdraw();
  std::vector<std::string> OtherClaims() const;
  bool AwaitRelease(std::vector<std::string> Others, const TCommitRules& Rules,
                    TClock::time_point Start);

  std::string Folder;
  std::string ClaimPath;
  TFileHandle Claim = kNoFile;
  TState Now = Failed;
  bool Said = false;
};

}  // namespace varnholt
