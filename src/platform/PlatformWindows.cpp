// Windows: file handles, MoveFileEx and sharing modes, all through the wide (UTF-16) interfaces, so
// that names in any language and paths past MAX_PATH work. Inside, paths are UTF-8; they are
// converted here, at the edge.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
//
#include <aclapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <system_error>

#include "platform/Platform.h"

namespace varnholt {
namespace {

constexpr DWORD kMaxTransfer = DWORD{1} << 30;

HANDLE AsHandle(TFileHandle Handle) {
  return reinterpret_cast<HANDLE>(Handle);
}
TFileHandle FromHandle(HANDLE Handle) {
  return reinterpret_cast<TFileHandle>(Handle);
}

std::wstring WideOf(std::string_view Text) {
  const std::u16string Units = Utf16Of(Text);
  return {Units.begin(), Units.end()};
}

TFileIdentity IdentityFromHandle(HANDLE Handle) {
  BY_HANDLE_FILE_INFORMATION Information{};
  if (GetFileInformationByHandle(Handle, &Information) == 0) return {};
  return {Information.dwVolumeSerialNumber,
          std::uint64_t{Information.nFileIndexHigh} << 32 | Information.nFileIndexLow};
}

// The security identifier of the process's user, and the one it gives the files it creates
// (an administrator's may be the Administrators group's).
bool IsOwnSid(PSID Owner) {
  HANDLE Token = nullptr;
  if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &Token) == 0) return false;
  bool Own = false;
  for (const TOKEN_INFORMATION_CLASS Class : {TokenUser, TokenOwner}) {
    alignas(8) unsigned char Buffer[512];
    DWORD Size = 0;
    if (GetTokenInformation(Token, Class, Buffer, sizeof Buffer, &Size) == 0) continue;
    // Both records begin with the pointer to the security identifier.
    PSID Sid = Class == TokenUser ? reinterpret_cast<TOKEN_USER*>(Buffer)->User.Sid
                                  : reinterpret_cast<TOKEN_OWNER*>(Buffer)->Owner;
    Own = Own || EqualSid(Owner, Sid) != 0;
  }
  CloseHandle(Token);
  return Own;
}

bool IsOwnFile(HANDLE File) {
  PSID Owner = nullptr;
  PSECURITY_DESCRIPTOR Descriptor = nullptr;
  if (GetSecurityInfo(File, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &Owner, nullptr, nullptr,
                      nullptr, &Descriptor) != ERROR_SUCCESS) {
    return false;
  }
  const bool Own = Owner != nullptr && IsOwnSid(Owner);
  LocalFree(Descriptor);
  return Own;
}

// A plain file on a disk: not a folder, a link or junction, a pipe or a device.
bool IsRegularFile(HANDLE File) {
  BY_HANDLE_FILE_INFORMATION Information{};
  return GetFileType(File) == FILE_TYPE_DISK &&
         GetFileInformationByHandle(File, &Information) != 0 &&
         (Information.dwFileAttributes &
          (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
}

// Opens the entry at Path itself, a link rather than where it leads, without standing in the way
// of anyone else's access.
HANDLE OpenEntry(const std::string& Path, DWORD Access) {
  return CreateFileW(SystemPath(Path).c_str(), Access,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
}

}  // namespace

std::wstring SystemPath(const std::string& Path) {
  const std::wstring Wide = WideOf(Path);
  if (Wide.starts_with(L"\\\\?\\")) return Wide;
  const DWORD Needed = GetFullPathNameW(Wide.c_str(), 0, nullptr, nullptr);
  if (Needed < MAX_PATH - 12) return Wide;
  std::wstring Full(Needed, L'\0');
  Full.resize(GetFullPathNameW(Wide.c_str(), Needed, Full.data(), nullptr));
  if (Full.starts_with(L"\\\\.\\")) return Wide;  // a device
  if (Full.starts_with(L"\\\\")) return L"\\\\?\\UNC\\" + Full.substr(2);
  return L"\\\\?\\" + Full;
}

TSignalGuard::TSignalGuard() = default;
TSignalGuard::~TSignalGuard() = default;

TPathRules PathRules() {
  return TPathRules("\\:");
}

TInputFile::TInputFile(const std::string& Path) {
  // No sharing: nobody may change the map while it is read. A directory does not open.
  const HANDLE Opened =
      CreateFileW(SystemPath(Path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (Opened == INVALID_HANDLE_VALUE)
    throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  if (GetFileType(Opened) != FILE_TYPE_DISK) {
    CloseHandle(Opened);
    throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  }
  Handle = FromHandle(Opened);
  LARGE_INTEGER Size{};
  GetFileSizeEx(Opened, &Size);
  FileSize = static_cast<std::uint64_t>(Size.QuadPart);
  Buffer.resize(
      std::clamp<std::size_t>(static_cast<std::size_t>(FileSize), 1, platform::kBufferBytes));
}

TInputFile::~TInputFile() {
  CloseHandle(AsHandle(Handle));
}

namespace platform {

std::size_t ReadSome(TFileHandle Handle, std::span<std::uint8_t> Buffer) {
  DWORD Count = 0;
  const auto Wanted = static_cast<DWORD>(std::min<std::size_t>(Buffer.size(), kMaxTransfer));
  if (ReadFile(AsHandle(Handle), Buffer.data(), Wanted, &Count, nullptr) == 0) return 0;
  return Count;
}

bool WriteAll(TFileHandle Handle, std::span<const std::uint8_t> Bytes) {
  while (!Bytes.empty()) {
    DWORD Written = 0;
    const auto Chunk = static_cast<DWORD>(std::min<std::size_t>(Bytes.size(), kMaxTransfer));
    if (WriteFile(AsHandle(Handle), Bytes.data(), Chunk, &Written, nullptr) == 0 || Written == 0) {
      return false;
    }
    Bytes = Bytes.subspan(Written);
  }
  return true;
}

void* AllocateZeroed(std::size_t Bytes) {
  return std::calloc(Bytes, 1);
}

unsigned long ProcessId() {
  return GetCurrentProcessId();
}

TPathRules FileSystemPathRules() {
  return TPathRules("\\/:");
}

TCreatedFile CreateHeldFile(const std::string& Path, bool RemovedWhenLetGo) {
  // Open without sharing but for deletion: while it is open nobody else can open it to remove
  // it as abandoned, and it can still be renamed and removed through this handle's process.
  const DWORD Flags = FILE_ATTRIBUTE_NORMAL | (RemovedWhenLetGo ? FILE_FLAG_DELETE_ON_CLOSE : 0);
  const HANDLE Created = CreateFileW(SystemPath(Path).c_str(), GENERIC_WRITE | DELETE,
                                     FILE_SHARE_DELETE, nullptr, CREATE_NEW, Flags, nullptr);
  if (Created != INVALID_HANDLE_VALUE) return {FromHandle(Created), false, true};
  const DWORD Error = GetLastError();
  return {kNoFile, Error == ERROR_FILE_EXISTS || Error == ERROR_ALREADY_EXISTS, false};
}

bool SyncFile(TFileHandle Handle) {
  return FlushFileBuffers(AsHandle(Handle)) != 0;
}

void CloseFile(TFileHandle Handle) {
  CloseHandle(AsHandle(Handle));
}

void ShowHeld(TFileHandle) {
  // A held file is open without sharing: that others cannot open it is what shows it is held.
}

bool IsHeld(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesW(SystemPath(Path).c_str());
  if (Attributes == INVALID_FILE_ATTRIBUTES ||
      (Attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  const HANDLE Opened = OpenEntry(Path, GENERIC_READ);
  if (Opened != INVALID_HANDLE_VALUE) {
    CloseHandle(Opened);
    return false;
  }
  if (GetLastError() == ERROR_SHARING_VIOLATION) return true;  // open without sharing
  // Access denied: either the file is being removed, so let go, or its permissions keep this
  // user from reading it, and then nothing shows that it is free. Attributes tell them apart:
  // a file being removed cannot be opened at all.
  if (GetLastError() != ERROR_ACCESS_DENIED) return false;
  const HANDLE Present = OpenEntry(Path, FILE_READ_ATTRIBUTES);
  if (Present == INVALID_HANDLE_VALUE) return false;
  CloseHandle(Present);
  return true;
}

bool TakePermissions(const std::string&, TFileHandle) {
  // Access on Windows comes from the folder's inherited ACLs, not from bits of the file.
  return true;
}

std::optional<TFileIdentity> IdentityOf(const std::string& Path) {
  // Attributes alone: no sharing mode stands in the way, not even that of the open input.
  const HANDLE Opened = CreateFileW(SystemPath(Path).c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (Opened == INVALID_HANDLE_VALUE) return std::nullopt;
  const TFileIdentity Identity = IdentityFromHandle(Opened);
  CloseHandle(Opened);
  return Identity;
}

TFileIdentity IdentityOf(TFileHandle Handle) {
  return IdentityFromHandle(AsHandle(Handle));
}

std::optional<TEntry> EntryAt(const std::string& Path) {
  const HANDLE Opened = OpenEntry(Path, FILE_READ_ATTRIBUTES | READ_CONTROL);
  if (Opened == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION Information{};
  GetFileInformationByHandle(Opened, &Information);
  const TEntry Entry{IdentityFromHandle(Opened), IsRegularFile(Opened), IsOwnFile(Opened),
                     Information.nNumberOfLinks};
  CloseHandle(Opened);
  return Entry;
}

std::optional<TFileIdentity> FolderIdentity(const std::string& Folder) {
  return IdentityOf(Folder.empty() ? "." : Folder);
}

TPrivateFile ReadPrivateFile(const std::string& Path, std::size_t Limit) {
  const HANDLE Opened = OpenEntry(Path, GENERIC_READ | READ_CONTROL);
  if (Opened == INVALID_HANDLE_VALUE) return {};
  TPrivateFile File;
  BY_HANDLE_FILE_INFORMATION Information{};
  LARGE_INTEGER Size{};
  File.Private = IsRegularFile(Opened) && IsOwnFile(Opened) &&
                 GetFileInformationByHandle(Opened, &Information) != 0 &&
                 Information.nNumberOfLinks == 1 && GetFileSizeEx(Opened, &Size) != 0 &&
                 static_cast<std::uint64_t>(Size.QuadPart) <= Limit;
  if (File.Private) {
    std::string Bytes(Limit + 1, '\0');
    DWORD Count = 0;
    File.Read =
        ReadFile(Opened, Bytes.data(), static_cast<DWORD>(Bytes.size()), &Count, nullptr) != 0 &&
        Count <= Limit;
    if (File.Read) File.Text = Bytes.substr(0, Count);
  }
  CloseHandle(Opened);
  return File;
}

bool PathExists(const std::string& Path) {
  return GetFileAttributesW(SystemPath(Path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::string& Path) {
  const DWORD Attributes = GetFileAttributesW(SystemPath(Path).c_str());
  return Attributes != INVALID_FILE_ATTRIBUTES && (Attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool LinkFile(const std::string& Existing, const std::string& Link) {
  return CreateHardLinkW(SystemPath(Link).c_str(), SystemPath(Existing).c_str(), nullptr) != 0;
}

bool RenameOver(const std::string& From, const std::string& To) {
  return MoveFileExW(SystemPath(From).c_str(), SystemPath(To).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const std::string& Path) {
  return DeleteFileW(SystemPath(Path).c_str()) != 0;
}

void RemoveIfAbandoned(const std::string& Path) {
  // Opens only if no process has it open; removed once it is known to be this user's file.
  const HANDLE Opened =
      CreateFileW(SystemPath(Path).c_str(), DELETE | READ_CONTROL | FILE_READ_ATTRIBUTES, 0,
                  nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (Opened == INVALID_HANDLE_VALUE) return;
  FILE_DISPOSITION_INFO Remove{TRUE};
  if (IsRegularFile(Opened) && IsOwnFile(Opened)) {
    SetFileInformationByHandle(Opened, FileDispositionInfo, &Remove, sizeof Remove);
  }
  CloseHandle(Opened);
}

void SyncFolder(const std::string&) {
  // Every rename is written through already (MOVEFILE_WRITE_THROUGH).
}

std::vector<std::string> FolderEntries(const std::string& Folder, std::string_view Prefix) {
  std::vector<std::string> Names;
  WIN32_FIND_DATAW Entry;
  const std::wstring Pattern = SystemPath(Folder + std::string(Prefix) + "*");
  const HANDLE Search = FindFirstFileW(Pattern.c_str(), &Entry);
  if (Search == INVALID_HANDLE_VALUE) return Names;
  do {
    // The prefix is plain ASCII, as are the names of the tool's files: a name that is not cannot
    // be one of them.
    const std::wstring_view Wide = Entry.cFileName;
    if (std::any_of(Wide.begin(), Wide.end(), [](wchar_t C) { return C >= 0x80; })) continue;
    std::string Name(Wide.begin(), Wide.end());
    if (Name.starts_with(Prefix)) Names.push_back(std::move(Name));
  } while (FindNextFileW(Search, &Entry) != 0);
  FindClose(Search);
  return Names;
}

}  // namespace platform
}  // namespace varnholt
