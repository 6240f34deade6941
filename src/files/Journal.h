// The journal of a commit: what a run is about to rename, written durably beside the files before
// the first rename so that the next run can complete or undo a commit that a death cut short.
// Journals are files that other users may plant in a shared folder: the decoder takes any bytes
// and accepts only what a run of the tool can have written.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "files/ToolFiles.h"

namespace varnholt {

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
  friend bool operator==(const TPlacement&, const TPlacement&) = default;
};

struct TCommitPlan {
  std::string Folder;
  TFileIdentity FolderId;
  std::vector<TPlacement> Files;

  std::string At(const std::string& Name) const { return Folder + Name; }
  friend bool operator==(const TCommitPlan&, const TCommitPlan&) = default;
};

inline constexpr std::size_t kMostFiles = 8;  // in one commit

enum class TJournalKind {
  Foreign,     // not one a run of the tool wrote: ignored
  Unreadable,  // this user's, but it could not be read: what it names is not known
  CutShort,    // its run died while writing it, so nothing was renamed
  Whole,
};

struct TJournal {
  TJournalKind Kind = TJournalKind::Foreign;
  TCommitPlan Plan;  // of a whole journal, its folder Folder
};

// The journal's bytes: its mark, the folder's identity, the count of files and five fields for
// each (temporary, its identity, target, the target's old file's identity, backup), every field
// ended by a zero byte, which no name holds.
std::string EncodeJournal(const TCommitPlan& Plan);
// What Text says of a commit in Folder. A journal whose fields are not those a run writes (names
// outside the folder, a name twice, a count beyond kMostFiles, bytes after its end) is Foreign;
// one that stops early, as a death while it was written leaves it, is CutShort.
TJournal DecodeJournal(const std::string& Folder, std::string_view Text);

// Reads the journal Name in Folder: only a file that this user's run alone can have written, read
// without following a link or waiting on a pipe; anything else is Foreign.
TJournal ReadJournal(const std::string& Folder, const std::string& Name);

// A journal on disk, kept open until its commit is over: an interrupted program can tell from
// what it holds open that a commit is in progress.
struct TJournalFile {
  std::string Path;  // empty where it could not be written
  TFileHandle Handle = kNoFile;
};
// Writes the journal durably, its name in the folder included.
TJournalFile WriteJournal(const TCommitPlan& Plan);

bool IsJournalName(const std::string& Name);  // a journal's or, being undone, its mark's

}  // namespace varnholt
