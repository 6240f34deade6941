// POSIX: signals, /proc/self for the executable and the files the process holds, descriptors.
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <varnholt/varnholt.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <system_error>

#include "Console.h"

namespace varnholt::console {
namespace {

// Every signal that ends a process by default and can be caught.
constexpr int kInterruptions[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                                  SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

// Whether another process holds a lock on the file open at Descriptor: then it is not this
// process's file, but another run's claim it is looking at.
bool IsLockedByOthers(int Descriptor) {
  struct flock Probe {};
  Probe.l_type = F_WRLCK;
  Probe.l_whence = SEEK_SET;
  return ::fcntl(Descriptor, F_OFD_GETLK, &Probe) == 0 && Probe.l_type != F_UNLCK;
}

// Removes the tool's temporaries and claims among the files this process holds open, by the
// names /proc/self/fd gives them (a removed file's name ends in " (deleted)"). Only system calls
// that a signal handler may make.
void RemoveHeldToolFiles() {
  const int Folder = ::open("/proc/self/fd", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (Folder < 0) return;
  alignas(8) char Entries[4096];
  for (;;) {
    const long Count = ::syscall(SYS_getdents64, Folder, Entries, sizeof Entries);
    if (Count <= 0) break;
    for (long At = 0; At < Count;) {
      struct TEntry {
        std::uint64_t Inode;
        std::int64_t Next;
        unsigned short Length;
        unsigned char Type;
        char Name[1];
      };
      const auto* Entry = reinterpret_cast<const TEntry*>(Entries + At);
      At += Entry->Length;
      int Descriptor = 0;
      for (const char* Digit = Entry->Name; *Digit >= '0' && *Digit <= '9'; ++Digit) {
        Descriptor = 10 * Descriptor + (*Digit - '0');
      }
      if (Entry->Name[0] < '0' || Entry->Name[0] > '9' || Descriptor == Folder) continue;
      char Path[4096];
      const ssize_t Length = ::readlinkat(Folder, Entry->Name, Path, sizeof Path - 1);
      if (Length <= 0) continue;
      Path[Length] = '\0';
      const char* Name = std::strrchr(Path, '/');
      if (Name == nullptr || varnholt_classify_name(Name + 1) != VARNHOLT_NAME_TEMPORARY) continue;
      if (!IsLockedByOthers(Descriptor)) ::unlink(Path);
    }
  }
  ::close(Folder);
}

extern "C" void RemoveToolFilesAndEnd(int Signal) {
  RemoveHeldToolFiles();
  // End the way the signal ends a process, so that the caller sees what stopped the run.
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

// Waits until Handle takes more bytes: standard output may be a non-blocking pipe that is full.
bool AwaitRoom(int Handle) {
  pollfd Room{Handle, POLLOUT, 0};
  return ::poll(&Room, 1, -1) >= 0 || errno == EINTR;
}

bool WriteAll(int Handle, std::string_view Text) {
  while (!Text.empty()) {
    const ssize_t Written = ::write(Handle, Text.data(), Text.size());
    if (Written < 0 && errno == EINTR) continue;
    if (Written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && AwaitRoom(Handle)) continue;
    if (Written <= 0) return false;
    Text.remove_prefix(static_cast<std::size_t>(Written));
  }
  return true;
}

std::string ExecutablePath(const char* Fallback) {
  std::string Path(4096, '\0');
  const ssize_t Length = ::readlink("/proc/self/exe", Path.data(), Path.size());
  if (Length <= 0 || static_cast<std::size_t>(Length) >= Path.size()) return Fallback;
  Path.resize(static_cast<std::size_t>(Length));
  return Path;
}

}  // namespace

void PrepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int Signal : kInterruptions) {
    if (std::signal(Signal, RemoveToolFilesAndEnd) == SIG_IGN) std::signal(Signal, SIG_IGN);
  }
}

void Abandon(std::string_view Text) {
  WriteStandardError(Text);
  RemoveHeldToolFiles();
  ::_exit(1);
}

std::vector<std::string> CommandLineArguments(int ArgumentCount, char** Arguments) {
  std::vector<std::string> Result{ExecutablePath(ArgumentCount > 0 ? Arguments[0] : "varnholt")};
  for (int K = 1; K < ArgumentCount; ++K) Result.emplace_back(Arguments[K]);
  return Result;
}

std::string FileNameOf(std::string_view Path) {
  const std::size_t Last = Path.find_last_of('/');
  return std::string(Last == std::string_view::npos ? Path : Path.substr(Last + 1));
}

void WriteStandardOutput(std::string_view Text) {
  if (!WriteAll(STDOUT_FILENO, Text)) {
    throw std::system_error(errno, std::generic_category(), "cannot write to standard output");
  }
}

void WriteStandardError(std::string_view Text) {
  WriteAll(STDERR_FILENO, Text);
}

}  // namespace varnholt::console
