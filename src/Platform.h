// The few operating-system services the tool needs: the command line, standard output, and files.
// One implementation per platform.
#pragma once

#include <csignal>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "UTypes.h"

namespace varnholt {

// Ignores the signals that would otherwise end the process where a failed write should be
// reported instead (a closed pipe on standard output, a file-size limit while writing a map),
// and makes an interruption (SIGINT, SIGTERM, SIGHUP) remove the temporary outputs before the
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
  sigset_t Previous;
};

// Argument 0 is the executable's full path as the system reports it, then the arguments given.
std::vector<std::string> CommandLineArguments(int ArgumentCount, char** Arguments);

// The characters that end a directory or drive name in a path on this platform.
std::string_view PathSeparators();

// Writes all of Text to standard output; throws std::system_error if it cannot.
void WriteStandardOutput(std::string_view Text);

struct TPendingFile;

// An existing regular file opened for reading, read through a large buffer.
class TInputFile final : public TReader {
 public:
  explicit TInputFile(const std::string& Path);  // fails with "Error opening file: " + Path
  ~TInputFile() override;
  TInputFile(const TInputFile&) = delete;
  TInputFile& operator=(const TInputFile&) = delete;

  std::size_t Read(std::span<std::uint8_t> Buffer) override;

 private:
  int Descriptor = -1;
  std::vector<std::uint8_t> Buffer;
  std::size_t Position = 0;
  std::size_t Filled = 0;
};

// A new file that replaces Path only when committed. It is written as a temporary file beside
// Path and renamed over it at the end, so whatever was at Path stays untouched until the new
// file is complete; a temporary that is not committed is removed.
class TOutputFile final : public TWriter {
 public:
  explicit TOutputFile(std::string Path);  // fails with "Error opening file: " + Path
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  std::size_t Write(std::span<const std::uint8_t> Bytes) override;
  // Writes out what is buffered and makes it durable; fails with "Error writing file".
  void Finish();
  // Puts the finished file in place of Path; fails with "Error writing file".
  void Commit();

 private:
  bool Flush();

  std::string Path;
  std::string TemporaryPath;
  int Descriptor = -1;
  TPendingFile* Pending = nullptr;  // where an interruption finds the temporary
  std::vector<std::uint8_t> Buffer;
  bool Failed = false;
  bool Committed = false;
};

}  // namespace varnholt
