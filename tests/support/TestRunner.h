// Runs the built executable in a folder, as a POSIX child process whose limits, console and
// signals the end-to-end tests control.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>

#include "TestSupport.h"

namespace varnholt::test {

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
  bool NonBlockingConsole =
      false;            // the console pipe in non-blocking mode, as some callers leave it
  bool Traced = false;  // the child stops after its start, for While to trace its system calls
  std::optional<uid_t> User;  // the user (and group of the same number) it runs as
  std::function<void(pid_t Child)> While;
};
struct TRunResult {
  std::string Output;  // standard output, captured
  std::string Errors;  // standard error, captured
  int ExitCode = -1;   // -1 when ended by a signal
  int Signal = 0;
};
// Runs Program in Folder with the given arguments, behind the words of VARNHOLT_RUNNER if it
// is set (an emulator, for instance).
TRunResult RunProgram(const std::string& Program, const std::filesystem::path& Folder,
                      const std::vector<std::string>& Arguments, const TRunOptions& Options = {});
// Runs the converter: VARNHOLT_EXE, or the one built beside the tests.
TRunResult RunTool(const std::filesystem::path& Folder, const std::vector<std::string>& Arguments,
                   const TRunOptions& Options = {});
std::string ToolPath();
// Whether the tool runs behind VARNHOLT_RUNNER (an emulator) rather than natively.
bool UnderRunner();

// For While of a traced run: lets Child run until the entry of its Count-th system call among
// Calls (any call when Calls is empty) and leaves it stopped there, before the call takes effect.
// False when it ends first (it is then left for RunProgram to collect).
bool StopAtSystemCall(pid_t Child, std::initializer_list<long> Calls, int Count);
// The same, until the entry of the call that renames a file onto a path whose name is Name.
bool StopAtRenameOnto(pid_t Child, std::string_view Name);
// Lets a stopped traced child run on, no longer traced. A signal sent to it while it was stopped
// stays pending, to be delivered as soon as it is not blocked.
void ReleaseTraced(pid_t Child);

}  // namespace varnholt::test
