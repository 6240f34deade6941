// The few operating-system services the library needs: files, folders and memory. Platform.cpp
// holds what all platforms share; PlatformPosix.cpp and PlatformWindows.cpp hold the small
// primitives, one of them in each build. The protocol that puts finished files in place
// (OutputFile.h) is built on the primitives of namespace platform.
#pragma once

#if !defined(_WIN32)
#include <signal.h>
#endif
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <varnholt/exception.hpp>

#include "platform/Streams.h"

namespace varnholt {

// How a platform's paths are split: the characters that end a directory or drive name. Paths are
// UTF-8 inside the tool, on every system, so no byte of a character of more than one byte is
// ever taken for a separator.
struct TPathRules {
  explicit TPathRules(std::string_view SeparatorSet) : Separators(SeparatorSet) {}
  std::string_view Separators;
};

struct TPathParts {
  std::string Dir;   // up to and including the last separator; empty if there is none
  std::string Name;  // everything after it
};
TPathParts SplitPath(std::string_view Path, const TPathRules& Rules);

// The folder a path is in and its name there, as the file system splits them (on Windows a
// forward slash separates folders too, though the naming of the outputs leaves it in the name).
std::string FolderOf(const std::string& Path);
std::string NameOf(const std::string& Path);

// Paths are UTF-8 inside the library; Windows names are UTF-16 and may hold lone surrogates, which
// arrive encoded as any other code point (WTF-8), so that every name goes there and back
// unchanged. A byte that begins no character becomes U+FFFD.
std::u16string Utf16Of(std::string_view Text);

#if defined(_WIN32)
// A path as the wide interfaces take it. Where the whole path is longer than folders may be
// (248 characters), it is made absolute and given the \\?\ prefix, which lifts the limit of
// MAX_PATH even where long paths are not enabled; shorter paths stay as they are, so that device
// names such as NUL keep their meaning.
std::wstring SystemPath(const std::string& Path);
#endif

// Holds the signals that end a process back from the calling thread for its lifetime, so that a
// step such as putting both maps in place is never cut in half by them in a program that does its
// work on one thread; one that arrived meanwhile takes effect at the end. Other threads, and the
// process's own signal handling, are left as they are. (Windows has no such signals: a console
// program's control handler runs on a thread of its own.)
class TSignalGuard {
 public:
  TSignalGuard();
  ~TSignalGuard();
  TSignalGuard(const TSignalGuard&) = delete;
  TSignalGuard& operator=(const TSignalGuard&) = delete;

 private:
#if !defined(_WIN32)
  sigset_t Previous;
#endif
};

// How outputs are named on this platform: the separators of directory and drive names.
TPathRules PathRules();

// An open file: a descriptor or a handle.
using TFileHandle = std::intptr_t;
inline constexpr TFileHandle kNoFile = -1;

// Which file a path leads to, whatever links it goes through.
struct TFileIdentity {
  std::uint64_t Volume = 0;
  std::uint64_t Index = 0;
  friend bool operator==(const TFileIdentity&, const TFileIdentity&) = default;
};

// An existing regular file opened for reading, read through a buffer as large as the file, up
// to a limit.
class TInputFile final : public TReader {
 public:
  explicit TInputFile(const std::string& Path);  // fails with "Error opening file: " + Path
  ~TInputFile() override;
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  std::size_t Read(std::span<std::uint8_t> Buffer) override;
  // Whether Path leads to this same file, through a symbolic or a hard link say.
  bool IsAlso(const std::string& Path) const;
  std::uint64_t Size() const { return FileSize; }  // as it was when opened

 private:
  TFileHandle Handle = kNoFile;
  std::uint64_t FileSize = 0;
  std::vector<std::uint8_t> Buffer;
  std::size_t Position = 0;
  std::size_t Filled = 0;
};

// What the platform files provide to the shared part and to each other.
namespace platform {

inline constexpr std::size_t kBufferBytes = std::size_t{1} << 20;  // the most read at a time

// Reads what is available up to Buffer's size: the count read, 0 at the end or on an error.
std::size_t ReadSome(TFileHandle Handle, std::span<std::uint8_t> Buffer);
// Writes all of Bytes, resuming after partial writes; false on an error.
bool WriteAll(TFileHandle Handle, std::span<const std::uint8_t> Bytes);
// Zeroed memory straight from the system, not yet touched, to be released with std::free;
// nullptr if it is refused.
void* AllocateZeroed(std::size_t Bytes);
unsigned long ProcessId();
// How the file system itself splits paths: on Windows a forward slash separates folders as well.
TPathRules FileSystemPathRules();

// What a folder holds under a name: the entry itself, not where a symbolic link leads.
struct TEntry {
  TFileIdentity Identity;
  bool Regular = false;     // a plain file: not a folder, link, pipe or device
  bool Own = false;         // owned by the user the process runs as
  std::uint64_t Links = 0;  // names the file has
};
std::optional<TEntry> EntryAt(const std::string& Path);
std::optional<TFileIdentity> FolderIdentity(const std::string& Folder);

// A file that only its owner can have written: regular, the running user's, with no other name
// (another user cannot have linked it from elsewhere) and writable by its owner alone.
struct TPrivateFile {
  bool Private = false;  // false: anything else, which is left alone
  bool Read = false;     // false: private, but reading it failed
  std::string Text;
};
// Opened without following a link or waiting on a pipe or device; read up to Limit bytes (a
// larger file is not private to the tool).
TPrivateFile ReadPrivateFile(const std::string& Path, std::size_t Limit);

struct TCreatedFile {
  TFileHandle Handle = kNoFile;  // kNoFile when it cannot be created
  bool NameTaken = false;        // why it could not: the name was in use
  bool Held = false;             // held, which a file system without locks cannot do
};
// Creates a new file at Path that only its owner can open, held for as long as it is open so
// that other runs can tell that its owner is alive. Where RemovedWhenLetGo, the system removes
// it when its holder dies, if it can (Windows).
TCreatedFile CreateHeldFile(const std::string& Path, bool RemovedWhenLetGo = false);
// Lets other users' runs see that the held file is held.
void ShowHeld(TFileHandle Handle);
// Whether some process holds the file at Path as CreateHeldFile's files are held.
bool IsHeld(const std::string& Path);
bool SyncFile(TFileHandle Handle);
void CloseFile(TFileHandle Handle);
// Gives the file open at Handle the permission bits of the regular file at Model, or, where
// there is none, the bits a new file gets.
bool TakePermissions(const std::string& Model, TFileHandle Handle);
std::optional<TFileIdentity> IdentityOf(const std::string& Path);
TFileIdentity IdentityOf(TFileHandle Handle);

bool PathExists(const std::string& Path);  // anything at all, a dangling link too
bool IsDirectory(const std::string& Path);
bool LinkFile(const std::string& Existing, const std::string& Link);
// Renames From to To, replacing whatever file is at To.
bool RenameOver(const std::string& From, const std::string& To);
bool RemoveFile(const std::string& Path);
// Removes the file at Path if it is a regular file of the user the process runs as that no
// process holds as CreateHeldFile's files are held, whatever its permission bits.
void RemoveIfAbandoned(const std::string& Path);
// Makes the renames and removals made so far in Folder survive a crash of the system.
void SyncFolder(const std::string& Folder);
// The names in Folder that begin with Prefix.
std::vector<std::string> FolderEntries(const std::string& Folder, std::string_view Prefix);

}  // namespace platform
}  // namespace varnholt
