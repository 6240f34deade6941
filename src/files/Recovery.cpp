#include "files/Recovery.h"

#include <algorithm>

#include "files/FolderLock.h"

namespace varnholt {
namespace {

bool IsFile(const std::optional<platform::TEntry>& Entry, const std::optional<TFileIdentity>& Id) {
  return Entry && Id && Entry->Identity == *Id;
}

// Where one file of a plan stands, judged by what the folder holds under its names.
enum class TStage {
  Pending,  // the temporary still waits, the old file (if any) at hand
  Placed,   // the temporary is the target
  Cleared,  // placed, and its old file removed: only a commit carried out gets here
  PutBack,  // the old file is the target again, or there is none where there was none
  Unknown,  // some name holds a file the run never wrote or found: the journal is stale
};

// Whether Target holds what the plan found there: its old file, or nothing; the old file may
// have been moved aside to Backup already.
bool HoldsAsFound(const TPlacement& File, const std::optional<platform::TEntry>& Target,
                  const std::optional<platform::TEntry>& Backup) {
  if (!File.OldId) return !Target;
  return IsFile(Target, File.OldId) || (!Target && IsFile(Backup, File.OldId));
}

std::optional<platform::TEntry> BackupOf(const TCommitPlan& Plan, const TPlacement& File) {
  return File.Backup.empty() ? std::nullopt : platform::EntryAt(Plan.At(File.Backup));
}

bool IsAsFound(const TCommitPlan& Plan, const TPlacement& File) {
  return HoldsAsFound(File, platform::EntryAt(Plan.At(File.Target)), BackupOf(Plan, File));
}

TStage StageOf(const TCommitPlan& Plan, const TPlacement& File) {
  const auto Temporary = platform::EntryAt(Plan.At(File.Temporary));
  const auto Target = platform::EntryAt(Plan.At(File.Target));
  const auto Backup = BackupOf(Plan, File);
  if (Backup && !IsFile(Backup, File.OldId)) return TStage::Unknown;
  const bool OldAtHand = HoldsAsFound(File, Target, Backup);
  if (Temporary) {
    const bool Ours = Temporary->Regular && Temporary->Own && Temporary->Links == 1 &&
                      IsFile(Temporary, File.TemporaryId);
    return Ours && OldAtHand ? TStage::Pending : TStage::Unknown;
  }
  if (IsFile(Target, File.TemporaryId)) {
    return File.OldId && !Backup ? TStage::Cleared : TStage::Placed;
  }
  return OldAtHand && !Backup ? TStage::PutBack : TStage::Unknown;
}

std::vector<TStage> StagesOf(const TCommitPlan& Plan) {
  std::vector<TStage> Stages;
  for (const TPlacement& File : Plan.Files) Stages.push_back(StageOf(Plan, File));
  return Stages;
}

// A plan goes forward from files placed, in order, then files pending.
std::size_t PlacedCount(const std::vector<TStage>& Stages) {
  return static_cast<std::size_t>(
      std::find_if(Stages.begin(), Stages.end(),
                   [](TStage S) { return S != TStage::Placed && S != TStage::Cleared; }) -
      Stages.begin());
}

bool CanGoForward(const std::vector<TStage>& Stages) {
  return std::all_of(Stages.begin() + static_cast<std::ptrdiff_t>(PlacedCount(Stages)),
                     Stages.end(), [](TStage S) { return S == TStage::Pending; });
}

// A plan being undone has nothing placed whose old file is gone.
bool CanGoBack(const std::vector<TStage>& Stages) {
  return std::none_of(Stages.begin(), Stages.end(), [](TStage S) { return S == TStage::Cleared; });
}

bool IsStale(const TCommitPlan& Plan, const std::vector<TStage>& Stages, bool Undoing) {
  return platform::FolderIdentity(Plan.Folder) != Plan.FolderId ||
         std::find(Stages.begin(), Stages.end(), TStage::Unknown) != Stages.end() ||
         !(Undoing ? CanGoBack(Stages) : CanGoForward(Stages));
}

bool IsUntouchable(const std::string& Path, const TCommitRules& Rules) {
  const auto Entry = platform::EntryAt(Path);
  return Entry && std::find(Rules.Untouchable.begin(), Rules.Untouchable.end(), Entry->Identity) !=
                      Rules.Untouchable.end();
}

bool KeepOld(const TCommitPlan& Plan, const TPlacement& File) {
  if (File.Backup.empty() || platform::PathExists(Plan.At(File.Backup))) return true;
  // A hard link keeps the old file in place meanwhile; where there are none a plain file moves
  // aside, never anything else.
  if (platform::LinkFile(Plan.At(File.Target), Plan.At(File.Backup))) {
    if (IsFile(platform::EntryAt(Plan.At(File.Backup)), File.OldId)) return true;
    platform::RemoveFile(Plan.At(File.Backup));  // another file came in between
    return false;
  }
  const auto Target = platform::EntryAt(Plan.At(File.Target));
  return Target && Target->Regular &&
         platform::RenameOver(Plan.At(File.Target), Plan.At(File.Backup));
}

// PlaceFiles from the First file on.
bool PlaceFrom(const TCommitPlan& Plan, std::size_t First, const TCommitRules& Rules,
               std::string& InTheWay) {
  for (std::size_t K = First; K < Plan.Files.size(); ++K) {
    const TPlacement& File = Plan.Files[K];
    InTheWay = File.Target;
    if (IsUntouchable(Plan.At(File.Target), Rules) || !IsAsFound(Plan, File) ||
        !KeepOld(Plan, File) ||
        !platform::RenameOver(Plan.At(File.Temporary), Plan.At(File.Target))) {
      return false;
    }
  }
  return true;
}

// Puts back, last first, what the renames replaced: the old file where there was one, none where
// there was none. A target that holds neither the run's file nor nothing is not the run's to
// change. Once more changes nothing.
bool PutBack(const TCommitPlan& Plan, const TCommitRules& Rules, std::string& InTheWay) {
  for (auto File = Plan.Files.rbegin(); File != Plan.Files.rend(); ++File) {
    const std::string Target = Plan.At(File->Target);
    const auto Entry = platform::EntryAt(Target);
    const bool Ours = IsFile(Entry, File->TemporaryId) && !IsUntouchable(Target, Rules);
    InTheWay = File->Target;
    if (!File->OldId) {
      if (Ours && !platform::RemoveFile(Target)) return false;
    } else if (!File->Backup.empty() && (Ours || !Entry) &&
               platform::PathExists(Plan.At(File->Backup)) &&
               !platform::RenameOver(Plan.At(File->Backup), Target)) {
      return false;
    }
  }
  return true;
}

}  // namespace

// The journal is marked first, so that a death during the rollback is rolled back too rather
// than taken for a commit half done.
bool Undo(const TCommitPlan& Plan, std::string& Journal, const TCommitRules& Rules,
          std::string& InTheWay) {
  const std::string Marked =
      Journal.substr(0, Journal.size() - kJournalSuffix.size()) + std::string(kUndoSuffix);
  if (!platform::RenameOver(Journal, Marked)) return false;
  Journal = Marked;
  platform::SyncFolder(Plan.Folder);  // marked for good before anything is undone
  return PutBack(Plan, Rules, InTheWay);
}

void ClearUp(const TCommitPlan& Plan, const std::string& Journal, const TCommitRules& Rules) {
  platform::SyncFolder(Plan.Folder);
  const auto RemoveIf = [&](const std::string& Name, const std::optional<TFileIdentity>& Id) {
    const std::string Path = Plan.At(Name);
    if (!Name.empty() && IsFile(platform::EntryAt(Path), Id) && !IsUntouchable(Path, Rules)) {
      platform::RemoveFile(Path);
    }
  };
  for (const TPlacement& File : Plan.Files) {
    RemoveIf(File.Temporary, File.TemporaryId);
    RemoveIf(File.Backup, File.OldId);
  }
  platform::RemoveFile(Journal);
}

bool PlaceFiles(const TCommitPlan& Plan, const TCommitRules& Rules, std::string& InTheWay) {
  return PlaceFrom(Plan, 0, Rules, InTheWay);
}

namespace {

enum class TOutcome { Recovered, Stale, Blocked };

// Completes a commit that a dead run left, whose temporaries were complete and durable before its
// journal was written, or undoes it where a rename cannot be made. Blocked when neither is
// possible: the journal and the files it names then stay, and InTheWay names the file.
TOutcome RecoverJournal(const TCommitPlan& Plan, std::string& Journal, bool Undoing,
                        const TCommitRules& Rules, std::string& InTheWay) {
  const std::vector<TStage> Stages = StagesOf(Plan);
  if (IsStale(Plan, Stages, Undoing)) return TOutcome::Stale;
  if (!Undoing && PlaceFrom(Plan, PlacedCount(Stages), Rules, InTheWay)) {
    ClearUp(Plan, Journal, Rules);
    return TOutcome::Recovered;
  }
  if (!(Undoing ? PutBack(Plan, Rules, InTheWay) : Undo(Plan, Journal, Rules, InTheWay))) {
    return TOutcome::Blocked;
  }
  ClearUp(Plan, Journal, Rules);
  return TOutcome::Recovered;
}

bool HasTarget(const TCommitPlan& Plan, const std::string& Name) {
  return std::any_of(Plan.Files.begin(), Plan.Files.end(),
                     [&](const TPlacement& File) { return File.Target == Name; });
}

bool SharesTarget(const TCommitPlan& Plan, std::span<const std::string> Targets) {
  return std::any_of(Targets.begin(), Targets.end(),
                     [&](const std::string& Name) { return HasTarget(Plan, Name); });
}

// Removes the temporaries and lock files that runs of this user left when they died, but for those
// a journal still needs; a live run's are held, and other users' are theirs.
void RemoveLeftovers(const std::string& Folder, const std::vector<std::string>& Names,
                     const std::vector<std::string>& StillNeeded, const TCommitRules& Rules) {
  for (const std::string& Name : Names) {
    const bool Left = IsToolName(Name, kTemporarySuffix) || IsToolName(Name, kLockSuffix);
    if (Left && std::find(StillNeeded.begin(), StillNeeded.end(), Name) == StillNeeded.end() &&
        !IsUntouchable(Folder + Name, Rules)) {
      platform::RemoveIfAbandoned(Folder + Name);
    }
  }
}

}  // namespace

bool RecoverJournals(const std::string& Folder, std::span<const std::string> Targets,
                     const TCommitRules& Rules) {
  const std::vector<std::string> Names = platform::FolderEntries(Folder, kToolPrefix);
  std::vector<std::string> StillNeeded;
  bool Clear = true;
  bool Known = true;  // what every journal of this user's needs
  for (const std::string& Name : Names) {
    if (!IsJournalName(Name)) continue;
    std::string Journal = Folder + Name;
    const TJournal Read = ReadJournal(Folder, Name);
    if (Read.Kind == TJournalKind::Foreign) continue;
    std::string InTheWay;
    const TOutcome Outcome =
        Read.Kind == TJournalKind::Unreadable ? TOutcome::Blocked
        : Read.Kind == TJournalKind::CutShort
            ? TOutcome::Stale
            : RecoverJournal(Read.Plan, Journal, IsToolName(Name, kUndoSuffix), Rules, InTheWay);
    if (Outcome == TOutcome::Stale) platform::RemoveFile(Journal);
    if (Outcome != TOutcome::Blocked) continue;
    Known = Known && Read.Kind != TJournalKind::Unreadable;
    for (const TPlacement& File : Read.Plan.Files) {
      StillNeeded.insert(StillNeeded.end(), {File.Temporary, File.Backup});
    }
    if (Read.Kind == TJournalKind::Unreadable || SharesTarget(Read.Plan, Targets)) {
      Clear = Clear && Targets.empty();
      const std::string Why =
          InTheWay.empty() ? "it cannot be read" : InTheWay + " stands in the way";
      Tell(Rules, "cannot complete what a stopped run left in " + FolderName(Folder) + " (" + Name +
                      "): " + Why);
    }
  }
  if (Known) RemoveLeftovers(Folder, Names, StillNeeded, Rules);
  return Clear;
}

void RecoverFolderOf(const std::string& Path, const TCommitRules& Rules) {
  const std::string Folder = FolderOf(Path);
  const TFolderLock Lock(Folder, Rules, false);
  if (Lock.State() != TFolderLock::Held) return;
  const TSignalGuard Guard;
  RecoverJournals(Folder, {}, Rules);
}

bool IsCommitInterrupted(std::span<const std::string> Paths) {
  const std::string Folder = FolderOf(Paths.front());
  for (const std::string& Name : platform::FolderEntries(Folder, kToolPrefix)) {
    if (!IsJournalName(Name)) continue;
    const TJournal Read = ReadJournal(Folder, Name);
    const bool Undoing = IsToolName(Name, kUndoSuffix);
    if (Read.Kind != TJournalKind::Whole || IsStale(Read.Plan, StagesOf(Read.Plan), Undoing)) {
      continue;
    }
    const bool NamesAll = std::all_of(Paths.begin(), Paths.end(), [&](const std::string& Path) {
      return HasTarget(Read.Plan, NameOf(Path));
    });
    if (NamesAll) return true;
  }
  return false;
}

}  // namespace varnholt
