#include "Commit.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>

namespace varnholt {
namespace {

using TClock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Every file the tool leaves in a folder while it works is named .varnholt- with 16 random
// hexadecimal digits and a suffix: short, so that a target whose name is as long as names may
// be still gets one, and beside the target, so that renames stay within one file system. The
// random token, not the process id, keeps runs apart: runs in two containers sharing a folder
// can have the same id, and an id comes back after its process has died.
constexpr std::string_view kToolPrefix = ".varnholt-";
constexpr std::size_t kTokenDigits = 16;
constexpr std::string_view kTemporarySuffix = ".tmp";    // a file being written, or an old one
constexpr std::string_view kJournalSuffix = ".journal";  // files being put in place
constexpr std::string_view kUndoSuffix = ".undo";        // files being taken back
constexpr std::string_view kClaimSuffix = ".lock";       // a run's claim on its folder's turn
constexpr std::string_view kJournalMark = "varnholt commit 2";
constexpr std::size_t kMostFiles = 8;
constexpr std::size_t kJournalLimit = 16 * 1024;  // names are 255 bytes at the most

std::uint64_t RandomToken() {
  std::random_device Source;
  return (std::uint64_t{Source()} << 32 | Source()) ^
         std::uint64_t{platform::ProcessId()} * 0x9E3779B97F4A7C15ull;
}

std::string ToolFileName(std::string_view Suffix) {
  char Hex[kTokenDigits + 1];
  std::snprintf(Hex, sizeof Hex, "%016llx", static_cast<unsigned long long>(RandomToken()));
  return std::string(kToolPrefix) + Hex + std::string(Suffix);
}

bool IsToolName(std::string_view Name, std::string_view Suffix) {
  if (Name.size() != kToolPrefix.size() + kTokenDigits + Suffix.size() ||
      !Name.starts_with(kToolPrefix) || !Name.ends_with(Suffix)) {
    return false;
  }
  const std::string_view Token = Name.substr(kToolPrefix.size(), kTokenDigits);
  return std::all_of(Token.begin(), Token.end(),
                     [](char C) { return (C >= '0' && C <= '9') || (C >= 'a' && C <= 'f'); });
}

// A plain name within the folder, not one of the tool's: a journal must not lead out of it.
bool IsPlainName(const std::string& Name) {
  return !Name.empty() && Name != "." && Name != ".." && FolderOf(Name).empty() &&
         !Name.starts_with(kToolPrefix);
}

// Creates a new file of the tool in Folder under a free name; Path gets its path.
platform::TCreatedFile CreateToolFile(const std::string& Folder, std::string_view Suffix,
                                      std::string& Path, bool RemovedWhenLetGo = false) {
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    Path = Folder + ToolFileName(Suffix);
    const platform::TCreatedFile Created = platform::CreateHeldFile(Path, RemovedWhenLetGo);
    if (Created.Handle != kNoFile || !Created.NameTaken) return Created;
  }
  return {};
}

std::string FolderName(const std::string& Folder) {
  return Folder.empty() ? "." : Folder;
}

void Tell(const TCommitRules& Rules, const std::string& Text) {
  if (Rules.Notice) Rules.Notice(Text);
}

// A run's turn in a folder. A run that wants it places a claim, a held file of its own, and has
// the turn when no other claim there is held; otherwise it withdraws, waits until those claims
// are let go, and tries again. Of two runs that claim at once at least one sees the other's
// claim, so no two ever have the turn together. Only those who may write the folder can place a
// claim, and a claim counts only while its run holds it, so neither a reader of the folder nor a
// run that died can keep others waiting. A claim is made under a temporary's name and renamed
// once others can see that it is held. On a file system without locks runs go without turns.
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
  TState Place();
  void Withdraw();
  std::vector<std::string> OtherClaims() const;
  bool AwaitRelease(std::vector<std::string> Others, const TCommitRules& Rules,
                    TClock::time_point Start);

  std::string Folder;
  std::string ClaimPath;
  TFileHandle Claim = kNoFile;
  platform::TPendingFile* Pending = nullptr;  // an interruption removes the claim
  TState Now = Failed;
  bool Said = false;
};

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
      throw Exception("Error writing file");
    }
    // Runs that saw each other's claims try again at different moments.
    std::this_thread::sleep_for(std::chrono::microseconds(Jitter() % 4000));
  }
}

TFolderTurn::TState TFolderTurn::Place() {
  const TInterruptionsHeld Interruptions;  // none between creating and registering it
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
  Pending = platform::RegisterPendingFile(ClaimPath);
  return Held;
}

void TFolderTurn::Withdraw() {
  if (Claim == kNoFile) return;
  const TInterruptionsHeld Interruptions;
  // Removed before it is let go, so that nobody takes it for the claim of a run that died.
  platform::RemoveFile(ClaimPath);
  platform::CloseFile(Claim);
  platform::ReleasePendingFile(Pending);
  Claim = kNoFile;
  Pending = nullptr;
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

// One file of a commit, as names within its folder: the temporary goes in place of the target.
// Where the target has an old file that may have to go back (a later rename can still fail), the
// old file stays reachable as Backup until all are in place. The identities prove that the files
// are still those the run wrote and found.
struct TPlacement {
  std::string Temporary;
  TFileIdentity TemporaryId;
  std::string Target;
  std::optional<TFileIdentity> OldId;  // the file the target had, if any
  std::string Backup;                  // empty where nothing would go back
};

struct TCommitPlan {
  std::string Folder;
  TFileIdentity FolderId;
  std::vector<TPlacement> Files;

  std::string At(const std::string& Name) const { return Folder + Name; }
};

std::string IdentityText(const std::optional<TFileIdentity>& Id) {
  if (!Id) return {};
  char Text[40];
  std::snprintf(Text, sizeof Text, "%llx:%llx", static_cast<unsigned long long>(Id->Volume),
                static_cast<unsigned long long>(Id->Index));
  return Text;
}

bool ParseNumber(std::string_view Text, std::uint64_t& Number, int Base) {
  const auto [End, Error] = std::from_chars(Text.data(), Text.data() + Text.size(), Number, Base);
  return !Text.empty() && Error == std::errc() && End == Text.data() + Text.size();
}

bool ParseIdentity(std::string_view Text, TFileIdentity& Id) {
  const std::size_t Colon = Text.find(':');
  return Colon != std::string_view::npos && ParseNumber(Text.substr(0, Colon), Id.Volume, 16) &&
         ParseNumber(Text.substr(Colon + 1), Id.Index, 16);
}

// An identity or, empty, none.
bool ParseOptionalIdentity(std::string_view Text, std::optional<TFileIdentity>& Id) {
  if (Text.empty()) return true;
  Id.emplace();
  return ParseIdentity(Text, *Id);
}

// The journal: its mark, the folder's identity, the count of files and five fields for each
// (temporary, its identity, target, the target's old file's identity, backup), every field ended
// by a zero byte, which no name holds. A journal cut short by a death while it was written ends
// early.
std::string EncodeJournal(const TCommitPlan& Plan) {
  std::vector<std::string> Fields{std::string(kJournalMark), IdentityText(Plan.FolderId),
                                  std::to_string(Plan.Files.size())};
  for (const TPlacement& File : Plan.Files) {
    Fields.insert(Fields.end(), {File.Temporary, IdentityText(File.TemporaryId), File.Target,
                                 IdentityText(File.OldId), File.Backup});
  }
  std::string Text;
  for (const std::string& Field : Fields) Text.append(Field).push_back('\0');
  return Text;
}

enum class TJournalKind {
  Foreign,     // not one a run of the tool wrote: ignored
  Unreadable,  // this user's, but it could not be read: what it names is not known
  CutShort,    // its run died while writing it, so nothing was renamed
  Whole,
};

struct TJournal {
  TJournalKind Kind = TJournalKind::Foreign;
  TCommitPlan Plan;
};

bool IsSoundPlacement(const TPlacement& File) {
  return IsToolName(File.Temporary, kTemporarySuffix) && IsPlainName(File.Target) &&
         (File.Backup.empty() || (File.OldId && IsToolName(File.Backup, kTemporarySuffix)));
}

// Every name once: a journal that names a file twice is no journal of the tool's.
bool NamesAreDistinct(const TCommitPlan& Plan) {
  std::vector<std::string> Names;
  for (const TPlacement& File : Plan.Files) {
    Names.insert(Names.end(), {File.Temporary, File.Target});
    if (!File.Backup.empty()) Names.push_back(File.Backup);
  }
  std::sort(Names.begin(), Names.end());
  return std::adjacent_find(Names.begin(), Names.end()) == Names.end();
}

std::optional<TCommitPlan> DecodePlan(const std::string& Folder,
                                      const std::vector<std::string_view>& Fields) {
  TCommitPlan Plan{Folder, {}, std::vector<TPlacement>((Fields.size() - 3) / 5)};
  if (!ParseIdentity(Fields[1], Plan.FolderId)) return std::nullopt;
  for (std::size_t K = 0; K < Plan.Files.size(); ++K) {
    const auto Field = [&](std::size_t F) { return std::string(Fields[3 + 5 * K + F]); };
    TPlacement& File = Plan.Files[K];
    File = {Field(0), {}, Field(2), {}, Field(4)};
    if (!ParseIdentity(Field(1), File.TemporaryId) ||
        !ParseOptionalIdentity(Field(3), File.OldId) || !IsSoundPlacement(File)) {
      return std::nullopt;
    }
  }
  if (!NamesAreDistinct(Plan)) return std::nullopt;
  return Plan;
}

TJournal DecodeJournal(const std::string& Folder, std::string_view Text) {
  std::vector<std::string_view> Fields;
  for (std::size_t End; (End = Text.find('\0')) != std::string_view::npos;) {
    Fields.push_back(Text.substr(0, End));
    Text.remove_prefix(End + 1);
  }
  // Text now holds what follows the last whole field.
  if (Fields.empty()) {
    return {kJournalMark.starts_with(Text) ? TJournalKind::CutShort : TJournalKind::Foreign, {}};
  }
  if (Fields[0] != kJournalMark) return {};
  if (Fields.size() < 3) return {TJournalKind::CutShort, {}};
  std::uint64_t Count = 0;
  if (!ParseNumber(Fields[2], Count, 10) || Count == 0 || Count > kMostFiles) return {};
  if (Fields.size() < 3 + 5 * Count) return {TJournalKind::CutShort, {}};
  if (Fields.size() > 3 + 5 * Count || !Text.empty()) return {};
  std::optional<TCommitPlan> Plan = DecodePlan(Folder, Fields);
  if (!Plan) return {};
  return {TJournalKind::Whole, std::move(*Plan)};
}

// Only a file that this user's run alone can have written, read without following a link or
// waiting on a pipe.
TJournal ReadJournal(const std::string& Folder, const std::string& Name) {
  const platform::TPrivateFile File = platform::ReadPrivateFile(Folder + Name, kJournalLimit);
  if (!File.Private) return {};
  if (!File.Read) return {TJournalKind::Unreadable, {}};
  return DecodeJournal(Folder, File.Text);
}

// Writes the journal durably, its name in the folder included; the path, or empty on failure.
std::string WriteJournal(const TCommitPlan& Plan) {
  std::string Path;
  const TFileHandle Handle = CreateToolFile(Plan.Folder, kJournalSuffix, Path).Handle;
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

// Puts the files from the First on in place, in order, each only while its target still holds
// what the plan found there; true once all are. Otherwise InTheWay names the target that could
// not be replaced.
bool PlaceFiles(const TCommitPlan& Plan, std::size_t First, const TCommitRules& Rules,
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

// Once the plan is carried out or undone: the renames are made durable before the journal goes,
// with what else the plan left that is still the run's.
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

enum class TOutcome { Settled, Stale, Blocked };

// Completes a commit that a dead run left, whose temporaries were complete and durable before its
// journal was written, or undoes it where a rename cannot be made. Blocked when neither is
// possible: the journal and the files it names then stay, and InTheWay names the file.
TOutcome Settle(const TCommitPlan& Plan, std::string& Journal, bool Undoing,
                const TCommitRules& Rules, std::string& InTheWay) {
  const std::vector<TStage> Stages = StagesOf(Plan);
  if (IsStale(Plan, Stages, Undoing)) return TOutcome::Stale;
  if (!Undoing && PlaceFiles(Plan, PlacedCount(Stages), Rules, InTheWay)) {
    ClearUp(Plan, Journal, Rules);
    return TOutcome::Settled;
  }
  if (!(Undoing ? PutBack(Plan, Rules, InTheWay) : Undo(Plan, Journal, Rules, InTheWay))) {
    return TOutcome::Blocked;
  }
  ClearUp(Plan, Journal, Rules);
  return TOutcome::Settled;
}

bool HasTarget(const TCommitPlan& Plan, const std::string& Name) {
  return std::any_of(Plan.Files.begin(), Plan.Files.end(),
                     [&](const TPlacement& File) { return File.Target == Name; });
}

bool SharesTarget(const TCommitPlan& Plan, std::span<const std::string> Targets) {
  return std::any_of(Targets.begin(), Targets.end(),
                     [&](const std::string& Name) { return HasTarget(Plan, Name); });
}

bool IsJournalName(const std::string& Name) {
  return IsToolName(Name, kJournalSuffix) || IsToolName(Name, kUndoSuffix);
}

// Removes the temporaries and claims that runs of this user left when they died, but for those a
// journal still needs; a live run's are held, and other users' are theirs.
void Sweep(const std::string& Folder, const std::vector<std::string>& Names,
           const std::vector<std::string>& StillNeeded, const TCommitRules& Rules) {
  for (const std::string& Name : Names) {
    const bool Left = IsToolName(Name, kTemporarySuffix) || IsToolName(Name, kClaimSuffix);
    if (Left && std::find(StillNeeded.begin(), StillNeeded.end(), Name) == StillNeeded.end() &&
        !IsUntouchable(Folder + Name, Rules)) {
      platform::RemoveIfAbandoned(Folder + Name);
    }
  }
}

// Called with the folder's turn, so that every journal in it is one whose run has died: no live
// run has a journal outside its turn. False when a journal stays that concerns Targets, or may:
// files put in place now would be overtaken when that journal is settled later.
bool SettleFolder(const std::string& Folder, std::span<const std::string> Targets,
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
            : Settle(Read.Plan, Journal, IsToolName(Name, kUndoSuffix), Rules, InTheWay);
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
  if (Known) Sweep(Folder, Names, StillNeeded, Rules);
  return Clear;
}

std::string FreeBackupName(const std::string& Folder) {
  for (int Attempt = 0; Attempt < 100; ++Attempt) {
    const std::string Name = ToolFileName(kTemporarySuffix);
    if (!platform::PathExists(Folder + Name)) return Name;
  }
  throw Exception("Error writing file");
}

}  // namespace

TOutputFile::TOutputFile(std::string TargetPath) : Path(std::move(TargetPath)) {
  if (platform::IsDirectory(Path)) throw Exception("Error opening file: " + Path);
  // Held, so that an interruption never falls between creating the file and registering it.
  const TInterruptionsHeld Held;
  Handle = CreateToolFile(FolderOf(Path), kTemporarySuffix, TemporaryPath).Handle;
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

namespace {

std::vector<std::string> TargetsOf(const std::vector<TPlacement>& Placements) {
  std::vector<std::string> Targets;
  for (const TPlacement& File : Placements) Targets.push_back(File.Target);
  return Targets;
}

// The plan of a run's own commit: old files are kept for all but the last rename, whose failure
// is the last that can happen.
TCommitPlan PlanOf(const std::string& Folder, std::vector<TPlacement> Files) {
  const std::optional<TFileIdentity> FolderId = platform::FolderIdentity(Folder);
  if (!FolderId) throw Exception("Error writing file");
  for (std::size_t K = 0; K < Files.size(); ++K) {
    const auto Old = platform::EntryAt(Folder + Files[K].Target);
    if (Old) Files[K].OldId = Old->Identity;
    if (Old && K + 1 < Files.size()) Files[K].Backup = FreeBackupName(Folder);
  }
  return {Folder, *FolderId, std::move(Files)};
}

}  // namespace

void CommitFiles(std::span<TOutputFile* const> Files, const TCommitRules& Rules) {
  const std::string Folder = FolderOf(Files.front()->Path);
  const bool OneFolder = std::all_of(Files.begin(), Files.end(), [&](const TOutputFile* File) {
    return FolderOf(File->Path) == Folder;
  });
  if (Files.size() > kMostFiles || !OneFolder) throw Exception("Error writing file");
  // Taken before interruptions are held, so that a run waiting for its turn can still be stopped.
  const TFolderTurn Turn(Folder, Rules, true);
  if (Turn.State() == TFolderTurn::Failed) {
    Tell(Rules, "cannot take a turn in " + FolderName(Folder));
    throw Exception("Error writing file");
  }
  const TInterruptionsHeld Held;
  std::vector<TPlacement> Placements;
  for (const TOutputFile* File : Files) {
    Placements.push_back({NameOf(File->TemporaryPath),
                          platform::IdentityOf(File->Handle),
                          NameOf(File->Path),
                          std::nullopt,
                          {}});
  }
  // What runs that died here left is settled first, so that it never overtakes these files later.
  if (Turn.State() == TFolderTurn::Held && !SettleFolder(Folder, TargetsOf(Placements), Rules)) {
    throw Exception("Error writing file");
  }
  const TCommitPlan Plan = PlanOf(Folder, std::move(Placements));
  for (TOutputFile* File : Files) File->Close();
  std::string Journal = WriteJournal(Plan);
  if (Journal.empty()) throw Exception("Error writing file");
  std::string InTheWay;
  const bool Placed = PlaceFiles(Plan, 0, Rules, InTheWay);
  if (Placed || Undo(Plan, Journal, Rules, InTheWay)) ClearUp(Plan, Journal, Rules);
  // In place, removed, or left for the journal to settle: no longer theirs to remove.
  for (TOutputFile* File : Files) File->HandOver();
  if (!Placed) throw Exception("Error writing file");
}

void RecoverFolderOf(const std::string& Path, const TCommitRules& Rules) {
  const std::string Folder = FolderOf(Path);
  const TFolderTurn Turn(Folder, Rules, false);
  if (Turn.State() != TFolderTurn::Held) return;
  const TInterruptionsHeld Held;
  SettleFolder(Folder, {}, Rules);
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
