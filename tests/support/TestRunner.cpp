#include "TestRunner.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <stdexcept>

namespace varnholt::test {

std::string ToolPath() {
  const char* Override = std::getenv("VARNHOLT_EXE");
  return Override != nullptr && *Override != '\0' ? Override : VARNHOLT_EXE;
}

namespace {

std::vector<std::string> RunnerWords();

}  // namespace

bool UnderRunner() {
  return !RunnerWords().empty();
}

namespace {

std::vector<std::string> RunnerWords() {
  std::vector<std::string> Words;
  const char* Runner = std::getenv("VARNHOLT_RUNNER");
  std::istringstream Stream(Runner != nullptr ? Runner : "");
  for (std::string Word; Stream >> Word;) Words.push_back(Word);
  return Words;
}

void LimitInChild(int Resource, const std::optional<rlim_t>& Limit) {
  if (!Limit) return;
  const rlimit Value{*Limit, *Limit};
  if (::setrlimit(Resource, &Value) != 0) ::_exit(126);
}

void RedirectInChild(int Target, const std::string& Path) {
  const int Descriptor = ::open(Path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (Descriptor < 0 || ::dup2(Descriptor, Target) < 0) ::_exit(126);
}

// Shrinks the pipe to one page and fills it up to Room bytes from full: every later write that
// fits goes into that page, and the first that does not blocks.
void FillPipe(int WriteEnd, std::size_t Room) {
  const int Capacity = ::fcntl(WriteEnd, F_SETPIPE_SZ, static_cast<int>(::sysconf(_SC_PAGESIZE)));
  if (Capacity <= 0 || static_cast<std::size_t>(Capacity) < Room) {
    throw std::runtime_error("cannot shrink the console pipe");
  }
  const std::string Filler(static_cast<std::size_t>(Capacity) - Room, '#');
  if (::write(WriteEnd, Filler.data(), Filler.size()) != static_cast<ssize_t>(Filler.size())) {
    throw std::runtime_error("cannot fill the console pipe");
  }
}

}  // namespace

namespace {

// Runs the child to the entry of its next system call; false when it ends first (it is then left
// for RunProgram to collect).
bool NextSystemCall(pid_t Child, __ptrace_syscall_info& Call) {
  int Signal = 0;
  for (;;) {
    ::ptrace(PTRACE_SYSCALL, Child, nullptr, Signal);
    Signal = 0;
    // Looked at first without collecting it, so that an end stays for RunProgram.
    siginfo_t Event{};
    if (::waitid(P_PID, static_cast<id_t>(Child), &Event, WEXITED | WSTOPPED | WNOWAIT) != 0 ||
        Event.si_code != CLD_TRAPPED) {
      return false;
    }
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    if (WSTOPSIG(Status) != (SIGTRAP | 0x80)) {
      // A signal for the child is passed on; the stop after its start is not one.
      if (WSTOPSIG(Status) != SIGTRAP) Signal = WSTOPSIG(Status);
      continue;
    }
    Call = {};
    ::ptrace(PTRACE_GET_SYSCALL_INFO, Child, sizeof Call, &Call);
    if (Call.op == PTRACE_SYSCALL_INFO_ENTRY) return true;
  }
}

// A path the child passed to a system call.
std::string PathArgument(pid_t Child, std::uint64_t Address) {
  std::string Path(4096, '\0');
  iovec Local{Path.data(), Path.size()};
  iovec Remote{reinterpret_cast<void*>(Address), Path.size()};
  const ssize_t Read = ::process_vm_readv(Child, &Local, 1, &Remote, 1, 0);
  Path.resize(Read > 0 ? std::strlen(Path.c_str()) : 0);
  return Path;
}

// The path a rename moves a file onto, or empty for any other call.
std::string RenamedOnto(pid_t Child, const __ptrace_syscall_info& Call) {
  const auto Number = static_cast<long>(Call.entry.nr);
#if defined(SYS_rename)
  if (Number == SYS_rename) return PathArgument(Child, Call.entry.args[1]);
#endif
  if (Number == SYS_renameat || Number == SYS_renameat2) {
    return PathArgument(Child, Call.entry.args[3]);
  }
  return {};
}

}  // namespace

bool StopAtSystemCall(pid_t Child, std::initializer_list<long> Calls, int Count) {
  __ptrace_syscall_info Call{};
  for (int Seen = 0; NextSystemCall(Child, Call);) {
    const auto Number = static_cast<long>(Call.entry.nr);
    const bool Counted =
        Calls.size() == 0 || std::find(Calls.begin(), Calls.end(), Number) != Calls.end();
    if (Counted && ++Seen == Count) return true;
  }
  return false;
}

bool StopAtRenameOnto(pid_t Child, std::string_view Name) {
  __ptrace_syscall_info Call{};
  while (NextSystemCall(Child, Call)) {
    const std::string Onto = RenamedOnto(Child, Call);
    const std::size_t Folder = Onto.size() - Name.size();  // where a folder would end
    if (Onto.ends_with(Name) && (Folder == 0 || Onto[Folder - 1] == '/')) return true;
  }
  return false;
}

void ReleaseTraced(pid_t Child) {
  ::ptrace(PTRACE_DETACH, Child, nullptr, 0);
}

TRunResult RunTool(const std::filesystem::path& Folder, const std::vector<std::string>& Arguments,
                   const TRunOptions& Options) {
  return RunProgram(ToolPath(), Folder, Arguments, Options);
}

TRunResult RunProgram(const std::string& Program, const std::filesystem::path& Folder,
                      const std::vector<std::string>& Arguments, const TRunOptions& Options) {
  std::vector<std::string> Words = RunnerWords();
  Words.push_back(Program);
  Words.insert(Words.end(), Arguments.begin(), Arguments.end());
  std::vector<char*> Argv;
  for (std::string& Word : Words) Argv.push_back(Word.data());
  Argv.push_back(nullptr);

  // Pipes rather than files capture the console, so that a file-size limit cannot cut it short.
  int OutputPipe[2], ErrorPipe[2];
  if (::pipe2(OutputPipe, O_CLOEXEC) != 0 || ::pipe2(ErrorPipe, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  if (Options.ReaderGone) ::close(OutputPipe[0]);
  if (Options.ConsoleRoom) FillPipe(OutputPipe[1], *Options.ConsoleRoom);
  if (Options.NonBlockingConsole) ::fcntl(OutputPipe[1], F_SETFL, O_NONBLOCK);
  const pid_t Child = ::fork();
  if (Child < 0) throw std::runtime_error("fork failed");
  if (Child == 0) {
    if (::chdir(Folder.c_str()) != 0) ::_exit(126);
    LimitInChild(RLIMIT_FSIZE, Options.FileSizeLimit);
    LimitInChild(RLIMIT_AS, Options.AddressSpaceLimit);
    // A signal that dumps core must not leave a core file among the files a test checks.
    LimitInChild(RLIMIT_CORE, 0);
    if (Options.CloseStandardOutput) {
      ::close(STDOUT_FILENO);
    } else if (Options.StandardOutput != nullptr) {
      RedirectInChild(STDOUT_FILENO, Options.StandardOutput);
    } else if (::dup2(OutputPipe[1], STDOUT_FILENO) < 0) {
      ::_exit(126);
    }
    if (::dup2(ErrorPipe[1], STDERR_FILENO) < 0) ::_exit(126);
    if (Options.User && (::setgid(*Options.User) != 0 || ::setuid(*Options.User) != 0))
      ::_exit(126);
    if (Options.Traced && ::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(126);
    ::execvp(Argv[0], Argv.data());
    ::_exit(127);
  }
  ::close(OutputPipe[1]);
  ::close(ErrorPipe[1]);
  if (Options.Traced) {
    // Stopped once it has started the program; from then on its system calls stop it too.
    int Status = 0;
    ::waitpid(Child, &Status, 0);
    ::ptrace(PTRACE_SETOPTIONS, Child, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
  }
  if (Options.While) Options.While(Child);
  TRunResult Result;
  // Read until the child has ended and its pipes are drained. Processes it started may hold
  // the pipes open for longer (an emulator's services), so their end is not waited for.
  pollfd Pipes[2] = {{Options.ReaderGone ? -1 : OutputPipe[0], POLLIN, 0},
                     {ErrorPipe[0], POLLIN, 0}};
  std::string* Texts[2] = {&Result.Output, &Result.Errors};
  int Status = 0;
  bool Ended = false;
  while (Pipes[0].fd >= 0 || Pipes[1].fd >= 0) {
    // Once it has ended, what is still on its way gets a moment: an emulator's own processes may
    // pass it on late, and keep the pipes open so that no end of file says it has all come.
    const int Ready = ::poll(Pipes, 2, Ended ? 100 : 20);
    if (Ready < 0 && errno != EINTR) throw std::runtime_error("poll failed");
    if (Ready == 0 && Ended) break;
    for (int K = 0; K < 2; ++K) {
      if (Pipes[K].fd < 0 || Pipes[K].revents == 0) continue;
      char Chunk[4096];
      const ssize_t Count = ::read(Pipes[K].fd, Chunk, sizeof Chunk);
      if (Count > 0) {
        Texts[K]->append(Chunk, static_cast<std::size_t>(Count));
      } else if (Count == 0 || errno != EINTR) {
        ::close(Pipes[K].fd);
        Pipes[K].fd = -1;
      }
    }
    if (!Ended) Ended = ::waitpid(Child, &Status, WNOHANG) == Child;
  }
  for (const pollfd& Pipe : Pipes) {
    if (Pipe.fd >= 0) ::close(Pipe.fd);
  }
  while (!Ended && ::waitpid(Child, &Status, 0) < 0) {
    if (errno != EINTR) throw std::runtime_error("waitpid failed");
  }
  if (WIFEXITED(Status)) Result.ExitCode = WEXITSTATUS(Status);
  if (WIFSIGNALED(Status)) Result.Signal = WTERMSIG(Status);
  return Result;
}

}  // namespace varnholt::test
