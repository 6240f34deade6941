// Helpers for the tests: in-memory byte streams, scratch folders, map files built byte by byte,
// and a runner for the built executable.
#pragma once

#include <sys/resource.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "UTypes.h"

namespace varnholt::test {

using TBytes = std::vector<std::uint8_t>;

// Reads from a byte vector.
class TMemoryReader final : public TReader {
 public:
  explicit TMemoryReader(TBytes Source) : Bytes(std::move(Source)) {}
  std::size_t Read(std::span<std::uint8_t> Buffer) override;

 private:
  TBytes Bytes;
  std::size_t Position = 0;
};

// Collects written bytes; accepts at most Capacity of them, like a full disk.
class TMemoryWriter final : public TWriter {
 public:
  explicit TMemoryWriter(std::size_t Limit = SIZE_MAX) : Capacity(Limit) {}
  std::size_t Write(std::span<const std::uint8_t> Source) override;
  TBytes Bytes;

 private:
  std::size_t Capacity;
};

// A fresh folder under the system's temporary folder, removed with everything in it.
class TScratchFolder {
 public:
  TScratchFolder();
  ~TScratchFolder();
  TScratchFolder(const TScratchFolder&) = delete;
  TScratchFolder& operator=(const TScratchFolder&) = delete;
  const std::filesystem::path& Path() const { return Folder; }

 private:
  std::filesystem::path Folder;
};

// Little-endian words and whole files, assembled by hand.
void AppendWord(TBytes& Bytes, std::int32_t Word);
TBytes Header(std::int32_t Exponent, std::int32_t Level = 0, std::int32_t InfoFlag = 0);
TBytes HexBytes(std::string_view Hex);  // "01 00 ff" → {1, 0, 255}
void WriteFile(const std::filesystem::path& Path, const TBytes& Bytes);
TBytes ReadFile(const std::filesystem::path& Path);
// Every regular file in Folder (not below it) with its bytes.
std::map<std::string, TBytes> FilesIn(const std::filesystem::path& Folder);

// How the executable is run, and how it ended.
struct TRunOptions {
  std::optional<rlim_t> FileSizeLimit;      // RLIMIT_FSIZE, bytes
  std::optional<rlim_t> AddressSpaceLimit;  // RLIMIT_AS, bytes
  const char* StandardOutput = nullptr;     // a path to write it to instead of capturing it
  bool CloseStandardOutput = false;
  bool ReaderGone = false;  // standard output a pipe whose reader has already closed it
  // When set, the console pipe is one page holding only this many bytes more, so that the run
  // blocks on its console once it has written them; While runs before the pipe is read.
  std::optional<std::size_t> ConsoleRoom;
  std::function<void(pid_t Child)> While;
};
struct TRunResult {
  std::string Output;  // standard output, captured
  std::string Errors;  // standard error, captured
  int ExitCode = -1;   // -1 when ended by a signal
  int Signal = 0;
};
// Runs the tool (VARNHOLT_EXE, or the one built beside the tests) in Folder with the given
// arguments, behind the words of VARNHOLT_RUNNER if it is set (an emulator, for instance).
TRunResult RunTool(const std::filesystem::path& Folder, const std::vector<std::string>& Arguments,
                   const TRunOptions& Options = {});
std::string ToolPath();

// The console text of a run: the banner, then Lines, every line ended by CR LF.
std::string ConsoleText(const std::vector<std::string>& Lines);

}  // namespace varnholt::test
