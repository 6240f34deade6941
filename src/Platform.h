// The few operating-system services the tool needs: the command line, standard output, files
// and interruptions. Platform.cpp holds what all platforms share, the protocol that puts a pair
// of maps in place among it; PlatformPosix.cpp and PlatformWindows.cpp hold the small primitives
// it is built on, one of them in each build.
#pragma once

#include <csignal>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "UTypes.h"

namespace varnholt {

// How a platform's paths are split: the characters that end a directory or drive name, and, for
// double-byte code pages, which bytes lead a two-byte character (whose second byte is then never
// a separator, even if it has a separator's code).
struct TPathRules {
  TPathRules(std::string_view SeparatorSet, bool (*LeadByteTest)(unsigned char) = nullptr)
      : Separators(SeparatorSet), IsLeadByte(LeadByteTest) {}
  std::string_view Separators;
  bool (*IsLeadByte)(unsigned char);
};

struct TPathParts {
  std::string Dir;   // up to and including the last separator; empty if there is none
  std::string Name;  // everything after it
};
TPathParts SplitPath(std::string_view Path, const TPathRules& Rules);

// Splits a command line given as one text: every character from 1 to 32 separates arguments; a
// double quote opens a stretch, up to the next double quote or the end, in which they do not;
// the quotes themselves are dropped; there is no escape character; an argument made only of
// empty quotes does not count. The first argument is the program as it was typed.
std::vector<std::string> SplitCommandLine(std::string_view CommandLine);

// Sets the process up for the run: a failed write is reported rather than ending the process
// by a signal (a closed pipe on standard output, a file-size limit while writing a map), and
// every signal that ends a process and can be caught removes the temporary outputs before the
// process ends by it.
void PrepareProcess();

// Holds interruptions back for its lifetime, so that a step such as putting both maps in place
// is never cut in half; one that arrived meanwhile takes effect at the end.
class TInterruptionsHeld {
 public:
  TInterruptionsHeld();
  ~TInterruptionsHeld();
  TInterruptionsHeld(const TInterruptionsHeld&) = delete;
  TInterruptionsHeld& operator=(const TInterruptionsHeld&) = delete;

 private:
#if !defined(_WIN32)
  sigset_t Previous;
#endif
};

// Argument 0 is the executable's full path as the system reports it, then the arguments given.
std::vector<std::string> CommandLineArguments(int ArgumentCount, char** Arguments);

// How paths are split on this platform.
TPathRules PathRules();

// Writes all of Text to standard output, waiting while it is full; throws std::system_error if it
// cannot.
void WriteStandardOutput(std::string_view Text);

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

// A temporary output that an interruption must remove.
struct TPendingFile {
  char Path[4096];
  volatile std::sig_atomic_t Active;
};

// A new file that replaces Path only when committed. It is written as a temporary file beside
// Path and renamed over it at the end, so whatever was at Path stays untouched until the new
// file is complete; a temporary that is not committed is removed, also by an interruption.
// Writes go straight to the system: the maps are assembled in memory and written whole.
class TOutputFile final : public TWriter {
 public:
  explicit TOutputFile(std::string Path);  // fails with "Error opening file: " + Path
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  std::size_t Write(std::span<const std::uint8_t> Bytes) override;
  // Makes what was written durable and gives it the permission bits of the file it is to
  // replace; fails with "Error writing file". The file stays open, and so held, until committed:
  // a temporary that nobody holds is one that a run which is no longer alive left behind.
  void Finish();
  // Puts the finished file alone in place of Path; fails with "Error writing file".
  void Commit();

 private:
  friend void CommitPair(TOutputFile& First, TOutputFile& Second);
  void Close();
  void HandOver();  // the temporary is no longer this object's to remove

  std::string Path;
  std::string TemporaryPath;
  TFileHandle Handle = kNoFile;
  TPendingFile* Pending = nullptr;  // where an interruption finds the temporary
  bool Failed = false;
  bool HandedOver = false;
};

// Puts two finished files in place of their paths, in the same folder, together: once it returns
// both are in place; when it fails ("Error writing file") the folder holds the old pair again.
// Runs that share their outputs take turns. The intent is made durable first, in a journal
// beside the maps, so that if the process dies between the two renames the next run in the folder
// completes the pair.
void CommitPair(TOutputFile& First, TOutputFile& Second);

// Completes the commits that runs no longer alive left interrupted in the folder of Path and
// removes the temporary files they left. Never touches what a live run is writing.
void RecoverFolderOf(const std::string& Path);

// Whether a commit of files to these two paths was interrupted and is not yet completed.
bool IsCommitInterrupted(const std::string& FirstPath, const std::string& SecondPath);

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

// The temporary outputs an interruption must remove: fixed storage, since a signal handler can
// reach nothing else; each path is complete before its slot is marked active.
std::span<TPendingFile> PendingFiles();
TPendingFile* RegisterPendingFile(const std::string& Path);
void ReleasePendingFile(TPendingFile* File);

// Creates a new file at Path, held for as long as it is open so that other runs can tell that
// its owner is alive. kNoFile when it cannot; Taken then says whether the name was in use.
TFileHandle CreateHeldFile(const std::string& Path, bool& Taken);
bool SyncFile(TFileHandle Handle);
void CloseFile(TFileHandle Handle);
// Gives the file open at Handle the permission bits of the file at Model, if there is one.
bool TakePermissions(const std::string& Model, TFileHandle Handle);
std::optional<TFileIdentity> IdentityOf(const std::string& Path);
TFileIdentity IdentityOf(TFileHandle Handle);

bool PathExists(const std::string& Path);  // anything at all, a dangling link too
bool IsDirectory(const std::string& Path);
bool LinkFile(const std::string& Existing, const std::string& Link);
// Renames From to To, replacing whatever file is at To.
bool RenameOver(const std::string& From, const std::string& To);
bool RemoveFile(const std::string& Path);
// Removes the file at Path unless some process holds it open as CreateHeldFile's files are.
void RemoveIfAbandoned(const std::string& Path);
// Makes the renames and removals made so far in Folder survive a crash of the system.
void SyncFolder(const std::string& Folder);
// The names in Folder that begin with Prefix.
std::vector<std::string> FolderEntries(const std::string& Folder, std::string_view Prefix);

// Runs that put files into one folder take turns while they hold this; the system releases it
// when its holder dies. Where the folder cannot be locked it is not held, and runs go without.
class TFolderLock {
 public:
  explicit TFolderLock(const std::string& Folder);
  ~TFolderLock();
  TFolderLock(const TFolderLock&) = delete;
  TFolderLock& operator=(const TFolderLock&) = delete;
  bool Held() const { return Handle != kNoFile; }

 private:
  TFileHandle Handle = kNoFile;
  std::string LockFile;  // where a lock file stands in for the folder, removed on release
};

}  // namespace platform
}  // namespace varnholt
