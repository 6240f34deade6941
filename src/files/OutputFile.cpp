#include "files/OutputFile.h"

#include <algorithm>
#include <optional>

#include "files/FolderLock.h"
#include "files/Recovery.h"

namespace varnholt {
namespace {

std::string FreeBackupName(const std::string& Folder) {
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    const std::string Name = ToolFileName(kTemporarySuffix);
    if (!platform::PathExists(Folder + Name)) return Name;
  }
  FailWriting();
}

std::vector<std::string> TargetsOf(const std::vector<TPlacement>& Placements) {
  std::vector<std::string> Targets;
  for (const TPlacement& File : Placements) Targets.push_back(File.Target);
  return Targets;
}

// The plan of a run's own commit: old files are kept for all but the last rename, whose failure
// is the last that can happen.
TCommitPlan PlanOf(const std::string& Folder, std::vector<TPlacement> Files) {
  const std::optional<TFileIdentity> FolderId = platform::FolderIdentity(Folder);
  if (!FolderId) FailWriting();
  for (std::size_t K = 0; K < Files.size(); ++K) {
    const auto Old = platform::EntryAt(Folder + Files[K].Target);
    if (Old) Files[K].OldId = Old->Identity;
    if (Old && K + 1 < Files.size()) Files[K].Backup = FreeBackupName(Folder);
  }
  return {Folder, *FolderId, std::move(Files)};
}

}  // namespace

TOutputFile::TOutputFile(std::string TargetPath) : Path(std::move(TargetPath)) {
  if (platform::IsDirectory(Path))
    throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  Handle = CreateToolFile(FolderOf(Path), kTemporarySuffix, TemporaryPath).Handle;
  if (Handle == kNoFile) throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
}

TOutputFile::~TOutputFile() {
  if (!HandedOver) platform::RemoveFile(TemporaryPath);
  Close();
}

std::size_t TOutputFile::Write(std::span<const std::uint8_t> Bytes) {
  Failed = Failed || !platform::WriteAll(Handle, Bytes);
  return Failed ? 0 : Bytes.size();
}

void TOutputFile::Finish() {
  if (Failed || !platform::TakePermissions(Path, Handle) || !platform::SyncFile(Handle)) {
    FailWriting();
  }
}

void TOutputFile::Close() {
  if (Handle != kNoFile) platform::CloseFile(Handle);
  Handle = kNoFile;
}

void TOutputFile::Commit() {
  const TSignalGuard Guard;
  // Renamed while still held, so that no run clearing the folder takes it for abandoned.
  if (!platform::RenameOver(TemporaryPath, Path)) FailWriting();
  HandedOver = true;
  Close();
  platform::SyncFolder(FolderOf(Path));
}

void CommitFiles(std::span<TOutputFile* const> Files, const TCommitRules& Rules) {
  const std::string Folder = FolderOf(Files.front()->Path);
  const bool OneFolder = std::all_of(Files.begin(), Files.end(), [&](const TOutputFile* File) {
    return FolderOf(File->Path) == Folder;
  });
  if (Files.size() > kMostFiles || !OneFolder) FailWriting();
  // Taken before signals are held, so that a run waiting for the lock can still be stopped.
  const TFolderLock Lock(Folder, Rules, true);
  if (Lock.State() == TFolderLock::Failed) {
    Tell(Rules, "cannot take a turn in " + FolderName(Folder));
    FailWriting();
  }
  const TSignalGuard Guard;
  std::vector<TPlacement> Placements;
  for (const TOutputFile* File : Files) {
    Placements.push_back({NameOf(File->TemporaryPath),
                          platform::IdentityOf(File->Handle),
                          NameOf(File->Path),
                          std::nullopt,
                          {}});
  }
  // What runs that died here left is recovered first, so that it never overtakes these files later.
  if (Lock.State() == TFolderLock::Held && !RecoverJournals(Folder, TargetsOf(Placements), Rules)) {
    FailWriting();
  }
  const TCommitPlan Plan = PlanOf(Folder, std::move(Placements));
  // The journal is written while the temporaries are still held, so that at every moment either
  // they or the journal show what is in progress.
  TJournalFile Journal = WriteJournal(Plan);
  for (TOutputFile* File : Files) File->Close();
  if (Journal.Path.empty()) FailWriting();
  std::string InTheWay;
  const bool Placed = PlaceFiles(Plan, Rules, InTheWay);
  if (Placed || Undo(Plan, Journal.Path, Rules, InTheWay)) ClearUp(Plan, Journal.Path, Rules);
  platform::CloseFile(Journal.Handle);
  // In place, removed, or left for the journal to recover: no longer theirs to remove.
  for (TOutputFile* File : Files) File->HandedOver = true;
  if (!Placed) FailWriting();
}

void ReplaceFile(const std::string& Path, std::span<const std::uint8_t> Bytes) {
  TOutputFile File(Path);
  WriteAll(File, Bytes);
  File.Finish();
  File.Commit();
}

}  // namespace varnholt
