// POSIX: file descriptors, open file description locks, the calling thread's signal mask.
#include <dirent.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/Platform.h"

namespace varnholt {
namespace {

int Descriptor(TFileHandle Handle) {
  return static_cast<int>(Handle);
}

const char* FolderPath(const std::string& Folder) {
  return Folder.empty() ? "." : Folder.c_str();
}

TFileIdentity IdentityFromStatus(const struct stat& Status) {
  return {static_cast<std::uint64_t>(Status.st_dev), static_cast<std::uint64_t>(Status.st_ino)};
}

// A lock on the whole file, of the open file description rather than the process, so that the
// threads of a process are told apart and closing another descriptor of the file keeps it.
bool LockFile(int Handle, short Type, int Command) {
  struct flock Whole {};
  Whole.l_type = Type;
  Whole.l_whence = SEEK_SET;
  return ::fcntl(Handle, Command, &Whole) == 0;
}

// Whether some open file description holds a write lock on the file: read locks, which anyone
// who can read the file may take, do not count.
bool IsWriteLocked(int Handle) {
  struct flock Probe {};
  Probe.l_type = F_RDLCK;
  Probe.l_whence = SEEK_SET;
  return ::fcntl(Handle, F_OFD_GETLK, &Probe) == 0 && Probe.l_type != F_UNLCK;
}

bool IsOwn(const struct stat& Status) {
  return Status.st_uid == ::geteuid();
}

// The permission bits a new file gets: the process's file-creation mask, read without changing
// it where the system tells it, since other threads may be creating files meanwhile.
mode_t NewFileMode() {
  mode_t Mask = 022;
  bool Known = false;
  if (std::FILE* Status = std::fopen("/proc/self/status", "re")) {
    char Line[256];
    unsigned Value = 0;
    while (!Known && std::fgets(Line, sizeof Line, Status) != nullptr) {
      Known = std::sscanf(Line, "Umask: %o", &Value) == 1;
    }
    std::fclose(Status);
    Mask = static_cast<mode_t>(Value);
  }
  if (!Known) {
    Mask = ::umask(022);
    ::umask(Mask);
  }
  return 0666 & ~Mask;
}

}  // namespace

TSignalGuard::TSignalGuard() {
  // Every signal but those a fault of the thread itself raises, which cannot wait.
  sigset_t Held;
  sigfillset(&Held);
  for (const int Fault : {SIGBUS, SIGFPE, SIGILL, SIGSEGV}) sigdelset(&Held, Fault);
  pthread_sigmask(SIG_BLOCK, &Held, &Previous);
}

TSignalGuard::~TSignalGuard() {
  pthread_sigmask(SIG_SETMASK, &Previous, nullptr);
}

TPathRules PathRules() {
  return TPathRules("/");
}

TInputFile::TInputFile(const std::string& Path) {
  // Non-blocking, so that a named pipe given as the map does not hang the open.
  const int Opened = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat Status;
  if (Opened < 0 || ::fstat(Opened, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    if (Opened >= 0) ::close(Opened);
    throw Exception(VARNHOLT_ERROR_OPEN, "Error opening file: " + Path);
  }
  ::fcntl(Opened, F_SETFL, ::fcntl(Opened, F_GETFL) & ~O_NONBLOCK);
  Handle = Opened;
  FileSize = static_cast<std::uint64_t>(Status.st_size);
  Buffer.resize(
      std::clamp<std::size_t>(static_cast<std::size_t>(FileSize), 1, platform::kBufferBytes));
}

TInputFile::~TInputFile() {
  ::close(Descriptor(Handle));
}

namespace platform {

std::size_t ReadSome(TFileHandle Handle, std::span<std::uint8_t> Buffer) {
  for (;;) {
    const ssize_t Count = ::read(Descriptor(Handle), Buffer.data(), Buffer.size());
    if (Count >= 0) return static_cast<std::size_t>(Count);
    if (errno != EINTR) return 0;
  }
}

bool WriteAll(TFileHandle Handle, std::span<const std::uint8_t> Bytes) {
  while (!Bytes.empty()) {
    const ssize_t Written = ::write(Descriptor(Handle), Bytes.data(), Bytes.size());
    if (Written < 0 && errno == EINTR) continue;
    if (Written <= 0) return false;
    Bytes = Bytes.subspan(static_cast<std::size_t>(Written));
  }
  return true;
}

void* AllocateZeroed(std::size_t Bytes) {
  // calloc takes fresh pages from the system for large blocks, already zero and not yet touched.
  void* Memory = std::calloc(Bytes, 1);
  if (Memory == nullptr) return nullptr;
  // Faulting a large grid in 4 KiB at a time would cost more than the work done on it.
  constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
  const auto Start = reinterpret_cast<std::uintptr_t>(Memory);
  const std::uintptr_t Begin = (Start + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t End = (Start + Bytes) & ~(kLargePage - 1);
  if (End > Begin) ::madvise(reinterpret_cast<void*>(Begin), End - Begin, MADV_HUGEPAGE);
  return Memory;
}

unsigned long ProcessId() {
  return static_cast<unsigned long>(::getpid());
}

TPathRules FileSystemPathRules() {
  return PathRules();
}

TCreatedFile CreateHeldFile(const std::string& Path, bool) {
  const int Handle = ::open(Path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (Handle < 0) return {kNoFile, errno == EEXIST, false};
  // Held by a write lock for as long as it is open, which only a process that may write the file
  // can take and which the system drops when its holder dies. A run clearing abandoned files may
  // have caught this one in the moment before the lock: it then holds a lock itself, or has
  // already removed the file, and this name is given up. A file system without locks leaves the
  // file unheld; such files are never taken for abandoned.
  if (!LockFile(Handle, F_WRLCK, F_OFD_SETLK)) {
    if (errno != EAGAIN && errno != EACCES) return {Handle, false, false};
    ::close(Handle);
    return {kNoFile, true, false};
  }
  struct stat Status;
  if (::fstat(Handle, &Status) == 0 && Status.st_nlink > 0) return {Handle, false, true};
  ::close(Handle);
  return {kNoFile, true, false};
}

void ShowHeld(TFileHandle Handle) {
  // Readable, so that other users' runs can test the lock; they can take no write lock on it.
  ::fchmod(Descriptor(Handle), 0644);
}

bool IsHeld(const std::string& Path) {
  const int Handle = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (Handle < 0) return false;
  struct stat Status;
  const bool Held =
      ::fstat(Handle, &Status) == 0 && S_ISREG(Status.st_mode) && IsWriteLocked(Handle);
  ::close(Handle);
  return Held;
}

bool SyncFile(TFileHandle Handle) {
  return ::fsync(Descriptor(Handle)) == 0;
}

void CloseFile(TFileHandle Handle) {
  ::close(Descriptor(Handle));
}

bool TakePermissions(const std::string& Model, TFileHandle Handle) {
  // The entry itself: a link planted in the map's place lends it nothing.
  struct stat Status;
  const bool HasModel = ::lstat(Model.c_str(), &Status) == 0 && S_ISREG(Status.st_mode);
  return ::fchmod(Descriptor(Handle), HasModel ? Status.st_mode & 0777 : NewFileMode()) == 0;
}

std::optional<TFileIdentity> IdentityOf(const std::string& Path) {
  struct stat Status;
  if (::stat(Path.c_str(), &Status) != 0) return std::nullopt;
  return IdentityFromStatus(Status);
}

TFileIdentity IdentityOf(TFileHandle Handle) {
  struct stat Status {};
  ::fstat(Descriptor(Handle), &Status);
  return IdentityFromStatus(Status);
}

std::optional<TEntry> EntryAt(const std::string& Path) {
  struct stat Status;
  if (::lstat(Path.c_str(), &Status) != 0) return std::nullopt;
  return TEntry{IdentityFromStatus(Status), S_ISREG(Status.st_mode), IsOwn(Status),
                static_cast<std::uint64_t>(Status.st_nlink)};
}

std::optional<TFileIdentity> FolderIdentity(const std::string& Folder) {
  return IdentityOf(FolderPath(Folder));
}

TPrivateFile ReadPrivateFile(const std::string& Path, std::size_t Limit) {
  const auto IsPrivate = [Limit](const struct stat& Status) {
    return S_ISREG(Status.st_mode) && IsOwn(Status) && Status.st_nlink == 1 &&
           (Status.st_mode & 022) == 0 && static_cast<std::uint64_t>(Status.st_size) <= Limit;
  };
  // Looked at before it is opened, since opening a device can have effects of its own.
  struct stat Status;
  if (::lstat(Path.c_str(), &Status) != 0 || !IsPrivate(Status)) return {};
  const int Handle = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (Handle < 0) return {true, false, {}};
  TPrivateFile File;
  File.Private = ::fstat(Handle, &Status) == 0 && IsPrivate(Status);
  std::string Bytes(Limit + 1, '\0');
  std::size_t Count = 0;
  for (std::size_t Got = 1; File.Private && Got > 0 && Count <= Limit; Count += Got) {
    errno = 0;
    Got = ReadSome(Handle,
                   {reinterpret_cast<std::uint8_t*>(Bytes.data()) + Count, Limit + 1 - Count});
  }
  File.Read = File.Private && errno == 0 && Count <= Limit;
  if (File.Read) File.Text = Bytes.substr(0, Count);
  ::close(Handle);
  return File;
}

bool PathExists(const std::string& Path) {
  struct stat Status;
  return ::lstat(Path.c_str(), &Status) == 0;
}

bool IsDirectory(const std::string& Path) {
  struct stat Status;
  return ::stat(Path.c_str(), &Status) == 0 && S_ISDIR(Status.st_mode);
}

bool LinkFile(const std::string& Existing, const std::string& Link) {
  return ::link(Existing.c_str(), Link.c_str()) == 0;
}

bool RenameOver(const std::string& From, const std::string& To) {
  return ::rename(From.c_str(), To.c_str()) == 0;
}

bool RemoveFile(const std::string& Path) {
  return ::unlink(Path.c_str()) == 0;
}

void RemoveIfAbandoned(const std::string& Path) {
  // Any lock that conflicts with its holder's write lock will do: a read lock on a file that can
  // be read, a write lock on one that can only be written.
  int Handle = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  short Lock = F_RDLCK;
  if (Handle < 0 && errno == EACCES) {
    Handle = ::open(Path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    Lock = F_WRLCK;
  }
  if (Handle < 0) return;
  // This user's regular file, unheld, and still the file at Path: its owner has died.
  struct stat Opened, Named;
  if (::fstat(Handle, &Opened) == 0 && S_ISREG(Opened.st_mode) && IsOwn(Opened) &&
      LockFile(Handle, Lock, F_OFD_SETLK) && ::lstat(Path.c_str(), &Named) == 0 &&
      IdentityFromStatus(Opened) == IdentityFromStatus(Named)) {
    ::unlink(Path.c_str());
  }
  ::close(Handle);
}

void SyncFolder(const std::string& Folder) {
  const int Handle = ::open(FolderPath(Folder), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Handle < 0) return;
  ::fsync(Handle);
  ::close(Handle);
}

std::vector<std::string> FolderEntries(const std::string& Folder, std::string_view Prefix) {
  std::vector<std::string> Names;
  DIR* Listing = ::opendir(FolderPath(Folder));
  if (Listing == nullptr) return Names;
  while (const dirent* Entry = ::readdir(Listing)) {
    const std::string_view Name = Entry->d_name;
    if (Name.starts_with(Prefix)) Names.emplace_back(Name);
  }
  ::closedir(Listing);
  return Names;
}

}  // namespace platform
}  // namespace varnholt
