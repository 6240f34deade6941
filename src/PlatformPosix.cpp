// POSIX: file descriptors, signals, /proc/self/exe.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>

#include "Platform.h"

namespace varnholt {
namespace {

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemovePendingFilesAndEnd(int Signal) {
  for (const TPendingFile& File : platform::PendingFiles()) {
    if (File.Active != 0) ::unlink(File.Path);
  }
  // End the way the signal ends a process, so that the caller sees what stopped the run.
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

std::string ExecutablePath(const char* Fallback) {
  std::string Path(4096, '\0');
  const ssize_t Length = ::readlink("/proc/self/exe", Path.data(), Path.size());
  if (Length <= 0 || static_cast<std::size_t>(Length) >= Path.size()) return Fallback;
  Path.resize(static_cast<std::size_t>(Length));
  return Path;
}

bool IsDirectory(const std::string& Path) {
  struct stat Status;
  return ::stat(Path.c_str(), &Status) == 0 && S_ISDIR(Status.st_mode);
}

int Descriptor(TFileHandle Handle) {
  return static_cast<int>(Handle);
}

// Makes a rename in the folder of Path survive a crash of the system.
void SyncFolderOf(const std::string& Path) {
  const std::string Folder = SplitPath(Path, PathRules()).Dir;
  const int Handle = ::open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (Handle < 0) return;
  ::fsync(Handle);
  ::close(Handle);
}

}  // namespace

void PrepareProcess() {
  std::signal(SIGPIPE, SIG_IGN);
  std::signal(SIGXFSZ, SIG_IGN);
  for (const int Signal : kInterruptions) {
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    if (std::signal(Signal, RemovePendingFilesAndEnd) == SIG_IGN) std::signal(Signal, SIG_IGN);
  }
}

TInterruptionsHeld::TInterruptionsHeld() {
  sigset_t Held;
  sigemptyset(&Held);
  for (const int Signal : kInterruptions) sigaddset(&Held, Signal);
  sigprocmask(SIG_BLOCK, &Held, &Previous);
}

TInterruptionsHeld::~TInterruptionsHeld() {
  sigprocmask(SIG_SETMASK, &Previous, nullptr);
}

std::vector<std::string> CommandLineArguments(int ArgumentCount, char** Arguments) {
  std::vector<std::string> Result{ExecutablePath(ArgumentCount > 0 ? Arguments[0] : "varnholt")};
  for (int K = 1; K < ArgumentCount; ++K) Result.emplace_back(Arguments[K]);
  return Result;
}

TPathRules PathRules() {
  return TPathRules("/");
}

void WriteStandardOutput(std::string_view Text) {
  const std::span Bytes(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size());
  if (!platform::WriteAll(STDOUT_FILENO, Bytes)) {
    throw std::system_error(errno, std::generic_category(), "cannot write to standard output");
  }
}

TInputFile::TInputFile(const std::string& Path) {
  // Non-blocking, so that a named pipe given as the map does not hang the open.
  const int Opened = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat Status;
  if (Opened < 0 || ::fstat(Opened, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    if (Opened >= 0) ::close(Opened);
    throw Exception("Error opening file: " + Path);
  }
  ::fcntl(Opened, F_SETFL, ::fcntl(Opened, F_GETFL) & ~O_NONBLOCK);
  Handle = Opened;
  Buffer.resize(
      std::clamp<std::size_t>(static_cast<std::size_t>(Status.st_size), 1, platform::kBufferBytes));
}

TInputFile::~TInputFile() {
  ::close(Descriptor(Handle));
}

TOutputFile::TOutputFile(std::string TargetPath) : Path(std::move(TargetPath)) {
  if (IsDirectory(Path)) throw Exception("Error opening file: " + Path);
  // Held, so that an interruption never falls between creating the file and registering it.
  const TInterruptionsHeld Held;
  for (int Attempt = 0; Attempt < 100 && Handle < 0; ++Attempt) {
    TemporaryPath = platform::TemporaryPathFor(Path, Attempt);
    Handle = ::open(TemporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Handle < 0 && errno != EEXIST) break;
  }
  if (Handle < 0) throw Exception("Error opening file: " + Path);
  Pending = platform::RegisterPendingFile(TemporaryPath);
}

TOutputFile::~TOutputFile() {
  const TInterruptionsHeld Held;
  if (Handle >= 0) ::close(Descriptor(Handle));
  if (!Committed) ::unlink(TemporaryPath.c_str());
  platform::ReleasePendingFile(Pending);
}

void TOutputFile::Finish() {
  const bool Written = !Failed && ::fsync(Descriptor(Handle)) == 0;
  const bool Closed = ::close(Descriptor(Handle)) == 0;
  Handle = -1;
  if (!Written || !Closed) throw Exception("Error writing file");
}

void TOutputFile::Commit() {
  const TInterruptionsHeld Held;
  if (::rename(TemporaryPath.c_str(), Path.c_str()) != 0) throw Exception("Error writing file");
  Committed = true;
  platform::ReleasePendingFile(Pending);
  SyncFolderOf(Path);
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

}  // namespace platform
}  // namespace varnholt
