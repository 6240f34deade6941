// The few operating-system services the tool needs: the command line, standard output, files
// and interruptions. Platform.cpp holds what all platforms share; PlatformPosix.cpp and
// PlatformWindows.cpp the rest, one of them in each build.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "UTypes.h"
#include "Varnholt.h"

#include <csignal>

namespace varnholt {

// Sets the process up for the run: a failed write is reported rather than ending the process
// by a signal (a closed pipe on standard output, a file-size limit while writing a map), and an
// interruption removes the temporary outputs before the process ends by it.
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

// Writes all of Text to standard output; throws std::system_error if it cannot.
void WriteStandardOutput(std::string_view Text);

// An open file: a descriptor or a handle, -1 when there is none.
using TFileHandle = std::intptr_t;

// An existing regular file opened for reading, read through a buffer as large as the file, up
// to a limit.
class TInputFile final : public TReader {
 public:
  explicit TInputFile(const std::string& Path);  // fails with "Error opening file: " + Path
  ~TInputFile() override;
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  std::size_t Read(std::span<std::uint8_t> Buffer) override;

 private:
  TFileHandle Handle = -1;
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
  // Makes what was written durable and closes the file; fails with "Error writing file".
  void Finish();
  // Puts the finished file in place of Path; fails with "Error writing file".
  void Commit();

 private:
  std::string Path;
  std::string TemporaryPath;
  TFileHandle Handle = -1;
  TPendingFile* Pending = nullptr;  // where an interruption finds the temporary
  bool Failed = false;
  bool Committed = false;
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

// The temporary outputs an interruption must remove: fixed storage, since a signal handler can
// reach nothing else; each path is complete before its slot is marked active.
std::span<TPendingFile> PendingFiles();
TPendingFile* RegisterPendingFile(const std::string& Path);
void ReleasePendingFile(TPendingFile* File);
// A name for a temporary file in the folder of Path, unique to this process and attempt.
std::string TemporaryPathFor(const std::string& Path, int Attempt);

}  // namespace platform
}  // namespace varnholt
