#include "files/ToolFiles.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace varnholt {
namespace {

constexpr std::size_t kTokenDigits = 16;

}  // namespace

void Tell(const TCommitRules& Rules, const std::string& Text) {
  if (Rules.Notice) Rules.Notice(Text);
}

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

int ClassifyName(std::string_view Name) {
  if (IsToolName(Name, kTemporarySuffix) || IsToolName(Name, kLockSuffix)) {
    return VARNHOLT_NAME_TEMPORARY;
  }
  return IsToolName(Name, kJournalSuffix) || IsToolName(Name, kUndoSuffix) ? VARNHOLT_NAME_JOURNAL
                                                                           : VARNHOLT_NAME_OTHER;
}

bool IsPlainName(const std::string& Name) {
  return !Name.empty() && Name != "." && Name != ".." && FolderOf(Name).empty() &&
         !Name.starts_with(kToolPrefix);
}

platform::TCreatedFile CreateToolFile(const std::string& Folder, std::string_view Suffix,
                                      std::string& Path, bool RemovedWhenLetGo) {
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

}  // namespace varnholt
