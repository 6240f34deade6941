// The files the tool leaves in a folder while it works, and the rules a commit of finished files
// follows. Every such file is named .varnholt-, 16 random hexadecimal digits and a suffix: short,
// so that a target whose name is as long as names may be still gets one, and beside the target,
// so that renames stay within one file system. The random token, not the process id, keeps runs
// apart: runs in two containers sharing a folder can have the same id, and an id comes back after
// its process has died.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Platform.h"

namespace varnholt {

inline constexpr std::string_view kToolPrefix = ".varnholt-";
inline constexpr std::string_view kTemporarySuffix = ".tmp";  // a file being written, or an old one
inline constexpr std::string_view kJournalSuffix = ".journal";  // files being put in place
inline constexpr std::string_view kUndoSuffix = ".undo";        // files being taken back
inline constexpr std::string_view kLockSuffix = ".lock";        // a run's lock file on its folder

// Tells the person who started the run something outside its console lines: why it waits, what
// stands in the way.
using TNotice = std::function<void(std::string_view Text)>;

struct TCommitRules {
  // Files that no recovery may rename over or remove, whatever a journal says: the map being
  // converted.
  std::vector<TFileIdentity> Untouchable;
  TNotice Notice;  // may be empty
  // How long a commit waits for the other runs in its folder before it gives up.
  std::chrono::milliseconds Patience = std::chrono::seconds(30);
};

void Tell(const TCommitRules& Rules, const std::string& Text);

std::uint64_t RandomToken();
// A fresh name of the tool's with this suffix.
std::string ToolFileName(std::string_view Suffix);
bool IsToolName(std::string_view Name, std::string_view Suffix);
// What a name of a folder's entry is: one of the tool's temporaries or lock files, one of its
// journals, or neither (varnholt_name_kind). Safe in a signal handler: it only reads Name.
int ClassifyName(std::string_view Name);
// A plain name within the folder, not one of the tool's: a journal must not lead out of it.
bool IsPlainName(const std::string& Name);
// Creates a new file of the tool in Folder under a free name; Path gets its path.
platform::TCreatedFile CreateToolFile(const std::string& Folder, std::string_view Suffix,
                                      std::string& Path, bool RemovedWhenLetGo = false);
// The folder as the notices name it: "." for the current one.
std::string FolderName(const std::string& Folder);

}  // namespace varnholt
