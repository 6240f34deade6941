#include "files/Journal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

namespace varnholt {
namespace {

constexpr std::string_view kJournalMark = "varnholt commit 2";
constexpr std::size_t kJournalLimit = 16 * 1024;  // names are 255 bytes at the most

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

}  // namespace

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

TJournal ReadJournal(const std::string& Folder, const std::string& Name) {
  const platform::TPrivateFile File = platform::ReadPrivateFile(Folder + Name, kJournalLimit);
  if (!File.Private) return {};
  if (!File.Read) return {TJournalKind::Unreadable, {}};
  return DecodeJournal(Folder, File.Text);
}

TJournalFile WriteJournal(const TCommitPlan& Plan) {
  TJournalFile Journal;
  Journal.Handle = CreateToolFile(Plan.Folder, kJournalSuffix, Journal.Path).Handle;
  if (Journal.Handle == kNoFile) return {};
  const std::string Text = EncodeJournal(Plan);
  const bool Written =
      platform::WriteAll(Journal.Handle,
                         {reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size()}) &&
      platform::SyncFile(Journal.Handle);
  if (!Written) {
    platform::RemoveFile(Journal.Path);
    platform::CloseFile(Journal.Handle);
    return {};
  }
  platform::SyncFolder(Plan.Folder);
  return Journal;
}

bool IsJournalName(const std::string& Name) {
  return IsToolName(Name, kJournalSuffix) || IsToolName(Name, kUndoSuffix);
}

}  // namespace varnholt
