// The parts of the platform layer that every platform shares: buffering, the table of pending
// temporary files, the sizing of grids, and the protocol that puts files in place, a pair of maps
// together, with its journal, rollback and recovery.
#include "Platform.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <random>

namespace varnholt {
namespace {

TPendingFile PendingFileTable[2];  // at most the two maps are pending at once

// Every file the tool leaves in a folder while it works is named .varnholt- with a random token
// and a suffix: short, so that a target whose name is as long as names may be still gets one,
// and beside the target, so that renames stay within one file system. The token, not the
// process id, keeps runs apart: runs in two containers sharing a folder can have the same id,
// and an id comes back after its process has died.
constexpr std::string_view kToolPrefix = ".varnholt-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::string_view kJournalSuffix = ".journal";  // a pair being put in place
constexpr std::string_view kUndoSuffix = ".undo";        // a pair being taken back
constexpr std::string_view kJournalMark = "varnholt pair 1";

// The folder a path is in, as the file system splits it (on Windows a forward slash separates
// folders too, though the naming of the outputs leaves it in the name).
std::string FolderOf(const std::string& Path) {
  return SplitPath(Path, platform::FileSystemPathRules()).Dir;
}

std::string NameOf(const std::string& Path) {
  return SplitPath(Path, platform::FileSystemPathRules()).Name;
}

std::string ToolFileName(std::string_view Suffix) {
  std::random_device Source;
  const std::uint64_t Token = (std::uint64_t{Source()} << 32 | Source()) ^
                              std::uint64_t{platform::ProcessId()} * 0x9E3779B97F4A7C15ull;
  char Hex[17];
  std::snprintf(Hex, sizeof Hex, "%016llx", static_cast<unsigned long long>(Token));
  return std::string(kToolPrefix) + Hex + std::string(Suffix);
}

// Creates a new file of the tool in Folder under a free name; Path gets its path.
TFileHandle CreateToolFile(const std::string& Folder, std::string_view Suffix, std::string& Path) {
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    Path = Folder + ToolFileName(Suffix);
    bool Taken = false;
    const TFileHandle Handle = platform::CreateHeldFile(Path, Taken);
    if (Handle != kNoFile || !Taken) return Handle;
  }
  return kNoFile;
}

// The renames of one commit, as names within one folder: each temporary goes in place of its
// target, the first one first. Where the first target has an old file, it stays reachable as
// Backup until both are in place, so that it can be put back; Backup is empty where there is none.
struct TCommitPlan {
  std::string Folder;
  std::array<std::string, 2> Temporaries;
  std::array<std::string, 2> Targets;
  std::string Backup;

  std::string Temporary(std::size_t K) const { return Folder + Temporaries[K]; }
  std::string Target(std::size_t K) const { return Folder + Targets[K]; }
  std::string BackupPath() const { return Folder + Backup; }
};

std::string FreeBackupName(const std::string& Folder) {
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    const std::string Name = ToolFileName(kTemporarySuffix);
    if (!platform::PathExists(Folder + Name)) return Name;
  }
  throw Exception("Error writing file");
}

// The journal: its mark and the five names, each ended by a zero byte, which no name holds. A
// journal cut short by a death while it was written ends early and is known to be incomplete.
std::string EncodeJournal(const TCommitPlan& Plan) {
  std::string Text;
  for (const std::string_view Field :
       {kJournalMark, std::string_view(Plan.Temporaries[0]), std::string_view(Plan.Targets[0]),
        std::string_view(Plan.Temporaries[1]), std::string_view(Plan.Targets[1]),
        std::string_view(Plan.Backup)}) {
    Text.append(Field);
    Text.push_back('\0');
  }
  return Text;
}

// A plain name within the folder: a journal that someone else wrote must not lead out of it.
bool IsPlainName(const std::string& Name) {
  return !Name.empty() && Name != "." && Name != ".." && FolderOf(Name).empty();
}

std::optional<TCommitPlan> DecodeJournal(const std::string& Folder, std::string_view Text) {
  std::vector<std::string> Fields;
  for (std::size_t End; (End = Text.find('\0')) != std::string_view::npos;) {
    Fields.emplace_back(Text.substr(0, End));
    Text.remove_prefix(End + 1);
  }
  if (Fields.size() != 6 || Fields[0] != kJournalMark || !Text.empty()) return std::nullopt;
  if (!std::all_of(Fields.begin() + 1, Fields.end() - 1, IsPlainName)) return std::nullopt;
  if (!Fields[5].empty() && !IsPlainName(Fields[5])) return std::nullopt;
  return TCommitPlan{Folder, {Fields[1], Fields[3]}, {Fields[2], Fields[4]}, Fields[5]};
}

// Writes the journal durably, its name in the folder included; the path, or empty on failure.
std::string WriteJournal(const TCommitPlan& Plan) {
  std::string Path;
  const TFileHandle Handle = CreateToolFile(Plan.Folder, kJournalSuffix, Path);
  if (Handle == kNoFile) return {};
  const std::string Text = EncodeJournal(Plan);
  const bool Written =
      platform::WriteAll(Handle,
                         {reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()}) &&
      platform::SyncFile(Handle);
  platform::CloseFile(Handle);
  if (!Written) {
    platform::RemoveFile(Path);
    return {};
  }
  platform::SyncFolder(Plan.Folder);
  return Path;
}

// The plan of a journal that was written whole, none for one cut short; fails with "Error
// opening file" when it cannot be read at all, and is then better left alone.
std::optional<TCommitPlan> ReadJournal(const std::string& Folder, const std::string& Name) {
  TInputFile File(Folder + Name);
  std::array<std::uint8_t, 3 * 4096> Bytes;  // names are 255 bytes at the most
  const std::size_t Count = File.Read(Bytes);
  return DecodeJournal(Folder, {reinterpret_cast<const char*>(Bytes.data()), Count});
}

bool KeepOldFirst(const TCommitPlan& Plan) {
  if (Plan.Backup.empty() || platform::PathExists(Plan.BackupPath())) return true;
  // A hard link keeps the old file in place meanwhile; where there are none it moves aside.
  return platform::LinkFile(Plan.Target(0), Plan.BackupPath()) ||
         platform::RenameOver(Plan.Target(0), Plan.BackupPath());
}

// Carries the plan out; true once both files are in place. Resuming a plan that a dead run left,
// a temporary that is gone was put in place already; in a run's own commit, every rename must be
// made.
bool CarryOut(const TCommitPlan& Plan, bool Resuming) {
  if (platform::PathExists(Plan.Temporary(0)) && !KeepOldFirst(Plan)) return false;
  for (std::size_t K = 0; K < 2; ++K) {
    if (Resuming && !platform::PathExists(Plan.Temporary(K))) continue;
    if (!platform::RenameOver(Plan.Temporary(K), Plan.Target(K))) return false;
  }
  return true;
}

// Undoes the first rename, the only one a commit that cannot be carried out can have made: the
// old file goes back, or, where there was none, the new one goes. Once more changes nothing.
bool RollBack(const TCommitPlan& Plan) {
  if (!Plan.Backup.empty()) {
    return !platform::PathExists(Plan.BackupPath()) ||
           platform::RenameOver(Plan.BackupPath(), Plan.Target(0));
  }
  return platform::PathExists(Plan.Temporary(0)) || !platform::PathExists(Plan.Target(0)) ||
         platform::RemoveFile(Plan.Target(0));
}

// The journal is marked first, so that a death during the rollback is rolled back too rather than
// taken for a commit half done.
bool Undo(const TCommitPlan& Plan, std::string& Journal) {
  const std::string Marked =
      Journal.substr(0, Journal.size() - kJournalSuffix.size()) + std::string(kUndoSuffix);
  if (!platform::RenameOver(Journal, Marked)) return false;
  Journal = Marked;
  platform::SyncFolder(Plan.Folder);  // marked for good before anything is undone
  return RollBack(Plan);
}

// Once the plan is carried out or undone: the renames are made durable before the journal goes,
// with what else the plan left.
void ClearUp(const TCommitPlan& Plan, const std::string& Journal) {
  platform::SyncFolder(Plan.Folder);
  for (const std::string& Name : {Plan.Temporaries[0], Plan.Temporaries[1], Plan.Backup}) {
    if (!Name.empty()) platform::RemoveFile(Plan.Folder + Name);
  }
  platform::RemoveFile(Journal);
}

// Completes a commit, whose temporaries were complete and durable before its journal was
// written, or undoes it where a rename cannot be made; false when neither is possible: the
// journal and the files it names then stay.
bool Settle(const TCommitPlan& Plan, std::string& Journal, bool Undoing) {
  if (!(Undoing ? RollBack(Plan) : CarryOut(Plan, true) || Undo(Plan, Journal))) return false;
  ClearUp(Plan, Journal);
  return true;
}

bool IsJournal(const std::string& Name) {
  return Name.ends_with(kJournalSuffix) || Name.ends_with(kUndoSuffix);
}

// Called with the folder locked, so that every journal in it is one whose run has died: no live
// run has a journal outside the lock. Temporaries are removed only where nobody holds them.
// False when a journal stays that could concern Targets, one that cannot be read or settled: a
// pair put in place now would be overtaken when that journal is settled later.
bool SettleFolder(const std::string& Folder, const std::array<std::string, 2>& Targets = {}) {
  const std::vector<std::string> Names = platform::FolderEntries(Folder, kToolPrefix);
  std::vector<std::string> StillNeeded;
  bool Clear = true;
  for (const std::string& Name : Names) {
    if (!IsJournal(Name)) continue;
    std::string Journal = Folder + Name;
    std::optional<TCommitPlan> Plan;
    try {
      Plan = ReadJournal(Folder, Name);
    } catch (const Exception&) {
      return false;  // which files it needs is not known: none are removed
    }
    if (!Plan) {
      platform::RemoveFile(Journal);  // cut short while written, so nothing was renamed
    } else if (!Settle(*Plan, Journal, Name.ends_with(kUndoSuffix))) {
      StillNeeded.insert(StillNeeded.end(),
                         {Plan->Temporaries[0], Plan->Temporaries[1], Plan->Backup});
      Clear = Clear && std::none_of(Plan->Targets.begin(), Plan->Targets.end(),
                                    [&](const std::string& Target) {
                                      return Target == Targets[0] || Target == Targets[1];
                                    });
    }
  }
  for (const std::string& Name : Names) {
    const bool Needed =
        std::find(StillNeeded.begin(), StillNeeded.end(), Name) != StillNeeded.end();
    if (Name.ends_with(kTemporarySuffix) && !Needed) platform::RemoveIfAbandoned(Folder + Name);
  }
  return Clear;
}

}  // namespace

TPathParts SplitPath(std::string_view Path, const TPathRules& Rules) {
  std::size_t NameStart = 0;
  for (std::size_t K = 0; K < Path.size(); ++K) {
    const auto Byte = static_cast<unsigned char>(Path[K]);
    if (Rules.IsLeadByte != nullptr && Rules.IsLeadByte(Byte)) {
      ++K;  // the second byte of the character, whatever its code
    } else if (Rules.Separators.find(Path[K]) != std::string_view::npos) {
      NameStart = K + 1;
    }
  }
  return {std::string(Path.substr(0, NameStart)), std::string(Path.substr(NameStart))};
}

std::vector<std::string> SplitCommandLine(std::string_view CommandLine) {
  const auto Separates = [](char C) {
    return static_cast<unsigned char>(C) >= 1 && static_cast<unsigned char>(C) <= 32;
  };
  std::vector<std::string> Arguments;
  std::size_t K = 0;
  while (K < CommandLine.size()) {
    if (Separates(CommandLine[K])) {
      ++K;
      continue;
    }
    // An empty pair of quotes at the start of an argument is dropped.
    while (CommandLine.substr(K, 2) == "\"\"") K += 2;
    std::string Argument;
    bool Quoted = false;
    for (; K < CommandLine.size() && (Quoted || !Separates(CommandLine[K])); ++K) {
      if (CommandLine[K] == '"') {
        Quoted = !Quoted;
      } else {
        Argument += CommandLine[K];
      }
    }
    if (!Argument.empty()) Arguments.push_back(std::move(Argument));
  }
  return Arguments;
}

void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize) {
  // A grid row must stay below 2^31 bytes, as a signed 32-bit byte count would.
  if (std::uint64_t{N} * ElementSize >= (std::uint64_t{1} << 31))
    throw Exception("Range check error");
  if (N == 0) return nullptr;
  void* Elements = platform::AllocateZeroed(std::size_t{N} * N * ElementSize);
  if (Elements == nullptr) throw Exception("Out of memory");
  return Elements;
}

void* AllocateZeroedBytes(std::size_t Bytes) {
  void* Memory = platform::AllocateZeroed(std::max<std::size_t>(Bytes, 1));
  if (Memory == nullptr) throw Exception("Out of memory");
  return Memory;
}

std::size_t TInputFile::Read(std::span<std::uint8_t> Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    if (Position == Filled && Bytes.size() - Done >= Buffer.size()) {
      // Large reads, such as all of a map's records, go straight where they are wanted.
      const std::size_t Count = platform::ReadSome(Handle, Bytes.subspan(Done));
      if (Count == 0) break;
      Done += Count;
      continue;
    }
    if (Position == Filled) {
      Filled = platform::ReadSome(Handle, Buffer);
      Position = 0;
      if (Filled == 0) break;
    }
    const std::size_t Take = std::min(Bytes.size() - Done, Filled - Position);
    std::memcpy(Bytes.data() + Done, Buffer.data() + Position, Take);
    Position += Take;
    Done += Take;
  }
  return Done;
}

bool TInputFile::IsAlso(const std::string& Path) const {
  return platform::IdentityOf(Path) == platform::IdentityOf(Handle);
}

TOutputFile::TOutputFile(std::string TargetPath) : Path(std::move(TargetPath)) {
  if (platform::IsDirectory(Path)) throw Exception("Error opening file: " + Path);
  // Held, so that an interruption never falls between creating the file and registering it.
  const TInterruptionsHeld Held;
  Handle = CreateToolFile(FolderOf(Path), kTemporarySuffix, TemporaryPath);
  if (Handle == kNoFile) throw Exception("Error opening file: " + Path);
  Pending = platform::RegisterPendingFile(TemporaryPath);
}

TOutputFile::~TOutputFile() {
  const TInterruptionsHeld Held;
  if (!HandedOver) platform::RemoveFile(TemporaryPath);
  Close();
  platform::ReleasePendingFile(Pending);
}

std::size_t TOutputFile::Write(std::span<const std::uint8_t> Bytes) {
  Failed = Failed || !platform::WriteAll(Handle, Bytes);
  return Failed ? 0 : Bytes.size();
}

void TOutputFile::Finish() {
  if (Failed || !platform::TakePermissions(Path, Handle) || !platform::SyncFile(Handle)) {
    throw Exception("Error writing file");
  }
}

void TOutputFile::Close() {
  if (Handle != kNoFile) platform::CloseFile(Handle);
  Handle = kNoFile;
}

void TOutputFile::HandOver() {
  HandedOver = true;
  platform::ReleasePendingFile(Pending);
  Pending = nullptr;
}

void TOutputFile::Commit() {
  const TInterruptionsHeld Held;
  // Renamed while still held, so that no run clearing the folder takes it for abandoned.
  if (!platform::RenameOver(TemporaryPath, Path)) throw Exception("Error writing file");
  HandOver();
  Close();
  platform::SyncFolder(FolderOf(Path));
}

void CommitPair(TOutputFile& First, TOutputFile& Second) {
  const std::string Folder = FolderOf(First.Path);
  // Taken before interruptions are held, so that a run waiting for its turn can still be stopped.
  const platform::TFolderLock Lock(Folder);
  const TInterruptionsHeld Held;
  const std::array<std::string, 2> Targets{NameOf(First.Path), NameOf(Second.Path)};
  // What runs that died here left is settled first, so that it never overtakes this pair later.
  if (Lock.Held() && !SettleFolder(Folder, Targets)) throw Exception("Error writing file");
  First.Close();
  Second.Close();
  const bool HasOldFirst = platform::PathExists(First.Path);
  const TCommitPlan Plan{Folder,
                         {NameOf(First.TemporaryPath), NameOf(Second.TemporaryPath)},
                         Targets,
                         HasOldFirst ? FreeBackupName(Folder) : std::string()};
  std::string Journal = WriteJournal(Plan);
  if (Journal.empty()) throw Exception("Error writing file");
  const bool Placed = CarryOut(Plan, false);
  if (Placed || Undo(Plan, Journal)) ClearUp(Plan, Journal);  // one folder sync, after both
  // In place, removed, or left for the journal to settle: no longer theirs to remove.
  First.HandOver();
  Second.HandOver();
  if (!Placed) throw Exception("Error writing file");
}

void RecoverFolderOf(const std::string& Path) {
  const std::string Folder = FolderOf(Path);
  const platform::TFolderLock Lock(Folder);
  if (!Lock.Held()) return;
  const TInterruptionsHeld Held;
  SettleFolder(Folder);
}

bool IsCommitInterrupted(const std::string& FirstPath, const std::string& SecondPath) {
  const std::string Folder = FolderOf(FirstPath);
  const std::array<std::string, 2> Targets{NameOf(FirstPath), NameOf(SecondPath)};
  for (const std::string& Name : platform::FolderEntries(Folder, kToolPrefix)) {
    if (!IsJournal(Name)) continue;
    try {
      const std::optional<TCommitPlan> Plan = ReadJournal(Folder, Name);
      if (Plan && Plan->Targets == Targets) return true;
    } catch (const Exception&) {
      // A journal nobody can read is no evidence either way.
    }
  }
  return false;
}

namespace platform {

std::span<TPendingFile> PendingFiles() {
  return PendingFileTable;
}

TPendingFile* RegisterPendingFile(const std::string& Path) {
  for (TPendingFile& File : PendingFileTable) {
    if (File.Active != 0 || Path.size() >= sizeof File.Path) continue;
    std::memcpy(File.Path, Path.c_str(), Path.size() + 1);
    File.Active = 1;
    return &File;
  }
  return nullptr;
}

void ReleasePendingFile(TPendingFile* File) {
  if (File != nullptr) File->Active = 0;
}

}  // namespace platform
}  // namespace varnholt
