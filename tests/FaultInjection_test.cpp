// Hostile conditions around the built executable: interruptions while the maps are written or
// put in place, deaths between the two renames, maps that cannot be replaced, address-space
// limits, a console nobody reads, awkward paths and concurrent runs. Each case checks the exit,
// the last console line and every file present afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>

#include "MapGenerator.h"
#include "TestRunner.h"

namespace varnholt::test {
namespace {

namespace fs = std::filesystem;

const TBytes kOldInfo = HexBytes("6f 6c 64 20 69 6e 66 6f");
const TBytes kOldWaypoint = HexBytes("6f 6c 64 20 77 61 79");

// Sixteen filled segments: an info map of 96 bytes.
TBytes SmallMap() {
  TBytes Bytes = Header(2);
  for (int K = 0; K < 16; ++K) AppendWord(Bytes, 0);
  return Bytes;
}

void PrepareOldPair(const fs::path& Folder, const TBytes& Input) {
  WriteFile(Folder / "Map1.raw", Input);
  WriteFile(Folder / "MapInfo.raw", kOldInfo);
  WriteFile(Folder / "Map.raw", kOldWaypoint);
}

// Waits until the info map's temporary file is complete, that is as large as Bytes.
void AwaitFinishedInfoMap(const fs::path& Folder, std::uintmax_t Bytes) {
  const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (std::chrono::steady_clock::now() < Deadline) {
    for (const auto& Entry : fs::directory_iterator(Folder)) {
      const std::string Name = Entry.path().filename().string();
      if (Name.starts_with(".varnholt-") && Entry.file_size() == Bytes) return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ADD_FAILURE() << "the info map was never finished";
}

TEST(FaultInjectionTest, InterruptionWhileWritingRemovesTheTemporaryFiles) {
  const std::string Before =
      ConsoleText({"Reading Map1.raw...", "Calculating...", "Writing MapInfo.raw..."});
  for (const int Signal :
       {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU}) {
    SCOPED_TRACE(Signal);
    TScratchFolder Folder;
    PrepareOldPair(Folder.Path(), SmallMap());
    const auto Old = FilesIn(Folder.Path());
    // The run blocks on its console with the info map finished and not yet in place.
    TRunOptions Options;
    Options.ConsoleRoom = Before.size();
    Options.While = [&](pid_t Child) {
      AwaitFinishedInfoMap(Folder.Path(), 96);
      ::kill(Child, Signal);
      // Until it has ended nothing reads the console, so the blocked line is never written.
      siginfo_t Ended;
      ::waitid(P_PID, static_cast<id_t>(Child), &Ended, WEXITED | WNOWAIT);
    };
    const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
    EXPECT_EQ(Run.Signal, Signal);
    EXPECT_TRUE(Run.Output.ends_with(Before)) << Run.Output;
    EXPECT_EQ(FilesIn(Folder.Path()), Old);
  }
}

TEST(FaultInjectionTest, HugeHeadersUnderAnAddressSpaceLimit) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer cannot run under an address-space limit";
#endif
  const struct {
    std::int32_t Exponent;
    const char* Message;
  } Cases[] = {// 2048 x 2048 segments need 1.7 GB, which fits: the short file is what fails.
               {11, "Error reading file"}, {12, "Out of memory"},     {16, "Out of memory"},
               {21, "Out of memory"},      {22, "Range check error"}, {25, "Range check error"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Exponent);
    TScratchFolder Folder;
    TBytes Input = Header(Case.Exponent);
    AppendWord(Input, 0);
    WriteFile(Folder.Path() / "Map1.raw", Input);
    TRunOptions Options;
    Options.AddressSpaceLimit = rlim_t{4} << 30;
    const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
    EXPECT_EQ(Run.Output, ConsoleText({"Reading Map1.raw...", Case.Message}));
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(FilesIn(Folder.Path()).size(), 1u);
  }
}

TEST(FaultInjectionTest, ConsoleWhoseReaderHasGone) {
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  const auto Old = FilesIn(Folder.Path());
  TRunOptions Options;
  Options.ReaderGone = true;
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
  EXPECT_EQ(Run.ExitCode, 1);
  EXPECT_EQ(Run.Signal, 0);
  EXPECT_EQ(Run.Errors, "varnholt: cannot write to standard output: Broken pipe\n");
  EXPECT_EQ(FilesIn(Folder.Path()), Old);
}

TEST(FaultInjectionTest, InputPathsThatNameNoFile) {
  for (const std::string Argument :
       {"missing/Map1.raw", "file/Map1.raw", "folder", "folder/", "/dev/null"}) {
    SCOPED_TRACE(Argument);
    TScratchFolder Folder;
    WriteFile(Folder.Path() / "file", SmallMap());
    fs::create_directory(Folder.Path() / "folder");
    const auto Old = FilesIn(Folder.Path());
    const TRunResult Run = RunTool(Folder.Path(), {Argument});
    EXPECT_EQ(Run.Output,
              ConsoleText({"Reading " + Argument + "...", "Error opening file: " + Argument}));
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(FilesIn(Folder.Path()), Old);
    EXPECT_TRUE(fs::is_empty(Folder.Path() / "folder"));
  }
}

TEST(FaultInjectionTest, RunsAreRepeatableAndNeverTouchTheInput) {
  const TBytes Input = EncodeLevel0Map(TerrainMap(3, 5));
  TScratchFolder Single;
  WriteFile(Single.Path() / "Map1.raw", Input);
  ASSERT_EQ(RunTool(Single.Path(), {"Map1.raw"}).ExitCode, 0);
  const auto Expected = FilesIn(Single.Path());
  ASSERT_EQ(RunTool(Single.Path(), {"Map1.raw"}).ExitCode, 0);
  EXPECT_EQ(FilesIn(Single.Path()), Expected);
  EXPECT_EQ(ReadFile(Single.Path() / "Map1.raw"), Input);

  // Two runs on the same input at once each replace the pair whole.
  TScratchFolder Shared;
  WriteFile(Shared.Path() / "Map1.raw", Input);
  TRunResult First, Second;
  std::thread Other([&] { First = RunTool(Shared.Path(), {"Map1.raw"}); });
  Second = RunTool(Shared.Path(), {"Map1.raw"});
  Other.join();
  EXPECT_EQ(First.ExitCode, 0);
  EXPECT_EQ(Second.ExitCode, 0);
  EXPECT_EQ(FilesIn(Shared.Path()), Expected);
}

// What a run in a fresh folder makes of Input: every file afterwards.
std::map<std::string, TBytes> ConvertedPair(const TBytes& Input, const std::string& Name) {
  TScratchFolder Folder;
  WriteFile(Folder.Path() / Name, Input);
  EXPECT_EQ(RunTool(Folder.Path(), {Name}).ExitCode, 0);
  return FilesIn(Folder.Path());
}

bool SetImmutable(const fs::path& Path, bool Immutable) {
  const int File = ::open(Path.c_str(), O_RDONLY | O_CLOEXEC);
  int Flags = 0;
  bool Done = File >= 0 && ::ioctl(File, FS_IOC_GETFLAGS, &Flags) == 0;
  Flags = Immutable ? Flags | FS_IMMUTABLE_FL : Flags & ~FS_IMMUTABLE_FL;
  Done = Done && ::ioctl(File, FS_IOC_SETFLAGS, &Flags) == 0;
  if (File >= 0) ::close(File);
  return Done;
}

TEST(PairCommitTest, AWaypointMapThatCannotBeReplacedLeavesTheOldPair) {
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  const auto Old = FilesIn(Folder.Path());
  if (!SetImmutable(Folder.Path() / "Map.raw", true)) {
    GTEST_SKIP() << "immutable files need root and a file system that has them";
  }
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"});
  SetImmutable(Folder.Path() / "Map.raw", false);
  EXPECT_EQ(Run.Output,
            ConsoleText({"Reading Map1.raw...", "Calculating...", "Writing MapInfo.raw...",
                         "Writing Map.raw...", "Error writing file"}));
  EXPECT_EQ(Run.ExitCode, 1);
  EXPECT_EQ(FilesIn(Folder.Path()), Old);
}

TEST(PairCommitTest, ADeathBetweenTheRenamesIsCompletedByTheNextRun) {
  if (UnderRunner()) GTEST_SKIP() << "traces the tool's own system calls";
  const TBytes Input = EncodeLevel0Map(TerrainMap(2, 5));
  std::map<std::string, TBytes> Expected = ConvertedPair(Input, "Map1.raw");
  Expected["Other1.raw"] = {};
  // A signal the run catches is held until the pair is in place, so it is sent at the first
  // rename; one that cannot be caught, at the second.
  const struct {
    int Signal;
    int AtRename;
  } Cases[] = {{SIGKILL, 2}, {SIGQUIT, 1}, {SIGUSR1, 1}, {SIGALRM, 1}, {SIGTERM, 1}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Signal);
    TScratchFolder Folder;
    PrepareOldPair(Folder.Path(), Input);
    TRunOptions Options;
    Options.Traced = true;
    Options.While = [&](pid_t Child) {
      ASSERT_TRUE(StopAtSystemCall(Child, kRenameCalls, Case.AtRename));
      ::kill(Child, Case.Signal);
      ReleaseTraced(Child);
    };
    EXPECT_EQ(RunTool(Folder.Path(), {"Map1.raw"}, Options).Signal, Case.Signal);
    // Any later run in the folder, even one that fails, first completes the pair.
    WriteFile(Folder.Path() / "Other1.raw", {});
    EXPECT_EQ(RunTool(Folder.Path(), {"Other1.raw"}).ExitCode, 1);
    EXPECT_EQ(FilesIn(Folder.Path()), Expected);
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), {}), 4);
  }
}

TEST(PairCommitTest, RunsThatShareTheirOutputsTakeTurns) {
  if (UnderRunner()) GTEST_SKIP() << "traces the tool's own system calls";
  // Tank1 and Tank2 both write TankInfo.raw and Tank.raw. The first is held between its two
  // renames while the second runs as far as it can; then the first goes on.
  const TBytes First = EncodeLevel0Map(TerrainMap(2, 5));
  const TBytes Second = EncodeLevel0Map(NoiseMap(2, 30, 7));
  TScratchFolder Folder;
  WriteFile(Folder.Path() / "Tank1.raw", First);
  WriteFile(Folder.Path() / "Tank2.raw", Second);
  std::promise<void> FirstHeld, SecondWaiting;
  std::shared_future<void> Release = SecondWaiting.get_future().share();
  TRunOptions Options;
  Options.Traced = true;
  Options.While = [&](pid_t Child) {
    const bool Held = StopAtSystemCall(Child, kRenameCalls, 2);
    FirstHeld.set_value();
    EXPECT_TRUE(Held);
    Release.wait();
    if (Held) ReleaseTraced(Child);
  };
  std::thread FirstRun([&] { RunTool(Folder.Path(), {"Tank1.raw"}, Options); });
  FirstHeld.get_future().wait();
  TRunOptions SecondOptions;
  SecondOptions.Traced = true;
  SecondOptions.While = [&](pid_t Child) {
    // Waiting for a lock, or done.
    if (StopAtSystemCall(Child, {SYS_flock}, 1)) ReleaseTraced(Child);
    SecondWaiting.set_value();
  };
  RunTool(Folder.Path(), {"Tank2.raw"}, SecondOptions);
  FirstRun.join();
  const TBytes Info = ReadFile(Folder.Path() / "TankInfo.raw");
  const TBytes Waypoint = ReadFile(Folder.Path() / "Tank.raw");
  const auto FirstPair = ConvertedPair(First, "Tank1.raw");
  const auto SecondPair = ConvertedPair(Second, "Tank1.raw");
  const bool FirstWhole =
      Info == FirstPair.at("TankInfo.raw") && Waypoint == FirstPair.at("Tank.raw");
  const bool SecondWhole =
      Info == SecondPair.at("TankInfo.raw") && Waypoint == SecondPair.at("Tank.raw");
  EXPECT_TRUE(FirstWhole || SecondWhole);
  EXPECT_EQ(FilesIn(Folder.Path()).size(), 4u);
}

TEST(PairCommitTest, AnInputThatIsAnOutputIsRefused) {
  const struct {
    const char* Name;
    const char* Output;
    bool Symbolic;
  } Cases[] = {{"symbolic link to the waypoint map", "Tank.raw", true},
               {"hard link to the info map", "TankInfo.raw", false}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScratchFolder Folder;
    WriteFile(Folder.Path() / Case.Output, SmallMap());
    if (Case.Symbolic) {
      fs::create_symlink(Case.Output, Folder.Path() / "Tank1Level0Map.raw");
    } else {
      fs::create_hard_link(Folder.Path() / Case.Output, Folder.Path() / "Tank1Level0Map.raw");
    }
    const auto Before = FilesIn(Folder.Path());
    const TRunResult Run = RunTool(Folder.Path(), {"Tank1Level0Map.raw"});
    EXPECT_EQ(Run.Output, ConsoleText({"Reading Tank1Level0Map.raw...",
                                       std::string("Error opening file: ") + Case.Output}));
    EXPECT_EQ(Run.ExitCode, 1);
    EXPECT_EQ(FilesIn(Folder.Path()), Before);
  }
}

TEST(PairCommitTest, ReplacedMapsKeepTheirPermissions) {
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  const auto Private = fs::perms::owner_read | fs::perms::owner_write;
  fs::permissions(Folder.Path() / "MapInfo.raw", Private);
  fs::permissions(Folder.Path() / "Map.raw", fs::perms::owner_read);
  ASSERT_EQ(RunTool(Folder.Path(), {"Map1.raw"}).ExitCode, 0);
  EXPECT_EQ(fs::status(Folder.Path() / "MapInfo.raw").permissions(), Private);
  EXPECT_EQ(fs::status(Folder.Path() / "Map.raw").permissions(), fs::perms::owner_read);
  EXPECT_NE(ReadFile(Folder.Path() / "Map.raw"), kOldWaypoint);
}

TEST(FaultInjectionTest, AFullNonBlockingConsoleIsWaitedFor) {
  if (UnderRunner()) GTEST_SKIP() << "traces the tool's own system calls";
  TScratchFolder Folder;
  WriteFile(Folder.Path() / "Map1.raw", SmallMap());
  TRunOptions Options;
  Options.ConsoleRoom = 0;
  Options.NonBlockingConsole = true;
  Options.Traced = true;
  // The console is read only once the first write has found it full and the run has gone on.
  Options.While = [](pid_t Child) {
    ASSERT_TRUE(StopAtSystemCall(Child, {SYS_write}, 1));
    ASSERT_TRUE(StopAtSystemCall(Child, {}, 1));
    ReleaseTraced(Child);
  };
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
  EXPECT_EQ(Run.ExitCode, 0) << Run.Errors;
  EXPECT_TRUE(
      Run.Output.ends_with(ConsoleText({"Reading Map1.raw...", "Calculating...",
                                        "Writing MapInfo.raw...", "Writing Map.raw...", "Done."})));
}

}  // namespace
}  // namespace varnholt::test
