#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <system_error>

#include "Platform.h"
#include "Varnholt.h"

namespace varnholt {

// Temporary outputs to remove if the run is interrupted by a signal. A signal handler can reach
// nothing else, so this is the tool's one piece of process-wide state: fixed storage, a slot per
// output, each path complete before its slot is marked active.
struct TPendingFile {
  char Path[4096];
  volatile std::sig_atomic_t Active;
};

namespace {

constexpr std::size_t kBufferBytes = std::size_t{1} << 20;
constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP};

TPendingFile PendingFiles[2];  // at most the two maps are pending at once

extern "C" void RemovePendingFilesAndEnd(int Signal) {
  for (const TPendingFile& File : PendingFiles) {
    if (File.Active != 0) ::unlink(File.Path);
  }
  // End the way the signal ends a process, so that the caller sees what stopped the run.
  std::signal(Signal, SIG_DFL);
  std::raise(Signal);
}

TPendingFile* RegisterPendingFile(const std::string& Path) {
  for (TPendingFile& File : PendingFiles) {
    if (File.Active != 0 || Path.size() >= sizeof File.Path) continue;
    std::memcpy(File.Path, Path.c_str(), Path.size() + 1);
    File.Active = 1;
    return &File;
  }
  return nullptr;
}

// Writes all of Bytes to Descriptor, resuming after interruptions and partial writes.
bool WriteAll(int Descriptor, std::span<const std::uint8_t> Bytes) {
  while (!Bytes.empty()) {
    const ssize_t Written = ::write(Descriptor, Bytes.data(), Bytes.size());
    if (Written < 0 && errno == EINTR) continue;
    if (Written <= 0) return false;
    Bytes = Bytes.subspan(static_cast<std::size_t>(Written));
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

bool IsDirectory(const std::string& Path) {
  struct stat Status;
  return ::stat(Path.c_str(), &Status) == 0 && S_ISDIR(Status.st_mode);
}

// Makes a rename in the folder of Path survive a crash of the system.
void SyncFolderOf(const std::string& Path) {
  const std::string Folder = SplitPath(Path, PathSeparators()).Dir;
  const int Descriptor = ::open(Folder.empty() ? "." : Folder.c_str(), O_RDONLY | O_CLOEXEC);
  if (Descriptor < 0) return;
  ::fsync(Descriptor);
  ::close(Descriptor);
}

}  // namespace

void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize) {
  // A grid row must stay below 2^31 bytes, as a signed 32-bit byte count would.
  if (std::uint64_t{N} * ElementSize >= (std::uint64_t{1} << 31))
    throw Exception("Range check error");
  if (N == 0) return nullptr;
  // calloc takes fresh pages from the system for large blocks, already zero and not yet touched.
  void* Elements = std::calloc(std::size_t{N} * N, ElementSize);
  if (Elements == nullptr) throw Exception("Out of memory");
  // Most of the run's time would otherwise go to faulting in the grids 4 KiB at a time.
  constexpr std::uintptr_t kLargePage = std::uintptr_t{1} << 21;
  const auto Start = reinterpret_cast<std::uintptr_t>(Elements);
  const std::uintptr_t Begin = (Start + kLargePage - 1) & ~(kLargePage - 1);
  const std::uintptr_t End = (Start + std::size_t{N} * N * ElementSize) & ~(kLargePage - 1);
  if (End > Begin) ::madvise(reinterpret_cast<void*>(Begin), End - Begin, MADV_HUGEPAGE);
  return Elements;
}

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

std::string_view PathSeparators() {
  return "/";
}

void WriteStandardOutput(std::string_view Text) {
  const std::span Bytes(reinterpret_cast<const std::uint8_t*>(Text.data()), Text.size());
  if (!WriteAll(STDOUT_FILENO, Bytes)) {
    throw std::system_error(errno, std::generic_category(), "cannot write to standard output");
  }
}

TInputFile::TInputFile(const std::string& Path) {
  // Non-blocking, so that a named pipe given as the map does not hang the open.
  Descriptor = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  struct stat Status;
  if (Descriptor < 0 || ::fstat(Descriptor, &Status) != 0 || !S_ISREG(Status.st_mode)) {
    if (Descriptor >= 0) ::close(Descriptor);
    throw Exception("Error opening file: " + Path);
  }
  Buffer.resize(kBufferBytes);
}

TInputFile::~TInputFile() {
  ::close(Descriptor);
}

std::size_t TInputFile::Read(std::span<std::uint8_t> Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    if (Position == Filled) {
      const ssize_t Count = ::read(Descriptor, Buffer.data(), Buffer.size());
      if (Count < 0 && errno == EINTR) continue;
      if (Count <= 0) break;
      Position = 0;
      Filled = static_cast<std::size_t>(Count);
    }
    const std::size_t Take = std::min(Bytes.size() - Done, Filled - Position);
    std::memcpy(Bytes.data() + Done, Buffer.data() + Position, Take);
    Position += Take;
    Done += Take;
  }
  return Done;
}

TOutputFile::TOutputFile(std::string TargetPath) : Path(std::move(TargetPath)) {
  if (IsDirectory(Path)) throw Exception("Error opening file: " + Path);
  const TPathParts Parts = SplitPath(Path, PathSeparators());
  // The process id keeps concurrent runs apart; the attempt number steps past a stale file.
  const std::string Stem = Parts.Dir + "." + Parts.Name + "." + std::to_string(::getpid());
  // Held, so that an interruption never falls between creating the file and registering it.
  const TInterruptionsHeld Held;
  for (int Attempt = 0; Attempt < 100 && Descriptor < 0; ++Attempt) {
    TemporaryPath = Stem + "." + std::to_string(Attempt) + ".tmp";
    Descriptor = ::open(TemporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (Descriptor < 0 && errno != EEXIST) break;
  }
  if (Descriptor < 0) throw Exception("Error opening file: " + Path);
  Pending = RegisterPendingFile(TemporaryPath);
  Buffer.reserve(kBufferBytes);
}

TOutputFile::~TOutputFile() {
  const TInterruptionsHeld Held;
  if (Descriptor >= 0) ::close(Descriptor);
  if (!Committed) ::unlink(TemporaryPath.c_str());
  if (Pending != nullptr) Pending->Active = 0;
}

std::size_t TOutputFile::Write(std::span<const std::uint8_t> Bytes) {
  if (Failed) return 0;
  if (Buffer.size() + Bytes.size() > kBufferBytes && !Flush()) return 0;
  if (Bytes.size() >= kBufferBytes) return WriteAll(Descriptor, Bytes) ? Bytes.size() : 0;
  Buffer.insert(Buffer.end(), Bytes.begin(), Bytes.end());
  return Bytes.size();
}

bool TOutputFile::Flush() {
  Failed = Failed || !WriteAll(Descriptor, Buffer);
  Buffer.clear();
  return !Failed;
}

void TOutputFile::Finish() {
  const bool Written = Flush() && ::fsync(Descriptor) == 0;
  const bool Closed = ::close(Descriptor) == 0;
  Descriptor = -1;
  if (!Written || !Closed) throw Exception("Error writing file");
}

void TOutputFile::Commit() {
  const TInterruptionsHeld Held;
  if (::rename(TemporaryPath.c_str(), Path.c_str()) != 0) throw Exception("Error writing file");
  Committed = true;
  if (Pending != nullptr) Pending->Active = 0;
  SyncFolderOf(Path);
}

}  // namespace varnholt
