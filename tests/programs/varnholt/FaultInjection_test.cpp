// Hostile conditions around the built executable: interruptions while the maps are written or
// put in place, deaths between the two renames, maps that cannot be replaced, address-space
// limits, a console nobody reads, awkward paths and concurrent runs. Each case checks the exit,
// the last console line and every file present afterwards.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <varnholt/varnholt.h>

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
      // A file of the run's may go between listing and looking (a lock file is renamed once made).
      std::error_code Gone;
      const std::string Name = Entry.path().filename().string();
      if (Name.starts_with(".varnholt-") && fs::file_size(Entry.path(), Gone) == Bytes) return;
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

// Runs the converter on Map1.raw in Folder and sends it Signal as it renames a map onto Onto.
TRunResult SignalAtRename(const fs::path& Folder, int Signal, const char* Onto) {
  TRunOptions Options;
  Options.Traced = true;
  Options.While = [&](pid_t Child) {
    ASSERT_TRUE(StopAtRenameOnto(Child, Onto));
    ::kill(Child, Signal);
    ReleaseTraced(Child);
  };
  return RunTool(Folder, {"Map1.raw"}, Options);
}

TEST(PairCommitTest, ASaveWhoseWaypointMapCannotBeReplacedLeavesTheOldThree) {
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  const auto Old = FilesIn(Folder.Path());
  const std::string Level0 = (Folder.Path() / "Map1.raw").string();
  varnholt_map* Map = varnholt_analyse(Level0.c_str());
  ASSERT_NE(Map, nullptr);
  const std::uint8_t Wall[3] = {1, 1, 1};
  ASSERT_EQ(varnholt_set_cells(Map, 10, 60, 1, 3, Wall), 0);
  if (!SetImmutable(Folder.Path() / "Map.raw", true)) {
    varnholt_close(Map);
    GTEST_SKIP() << "immutable files need root and a file system that has them";
  }
  EXPECT_EQ(varnholt_save(Map, Level0.c_str()), -1);
  EXPECT_EQ(std::string(varnholt_error()), "Error writing file");
  SetImmutable(Folder.Path() / "Map.raw", false);
  varnholt_close(Map);
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
    const char* AtRename;
  } Cases[] = {{SIGKILL, "Map.raw"},
               {SIGQUIT, "MapInfo.raw"},
               {SIGUSR1, "MapInfo.raw"},
               {SIGALRM, "MapInfo.raw"},
               {SIGTERM, "MapInfo.raw"}};
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Signal);
    TScratchFolder Folder;
    PrepareOldPair(Folder.Path(), Input);
    EXPECT_EQ(SignalAtRename(Folder.Path(), Case.Signal, Case.AtRename).Signal, Case.Signal);
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
    const bool Held = StopAtRenameOnto(Child, "Tank.raw");
    FirstHeld.set_value();
    EXPECT_TRUE(Held);
    Release.wait();
    if (Held) ReleaseTraced(Child);
  };
  TRunResult FirstResult;
  std::thread FirstRun([&] { FirstResult = RunTool(Folder.Path(), {"Tank1.raw"}, Options); });
  FirstHeld.get_future().wait();
  TRunOptions SecondOptions;
  SecondOptions.Traced = true;
  SecondOptions.While = [&](pid_t Child) {
    // Waiting for its turn, or done.
    if (StopAtSystemCall(Child, {SYS_clock_nanosleep, SYS_nanosleep}, 1)) ReleaseTraced(Child);
    SecondWaiting.set_value();
  };
  const TRunResult SecondResult = RunTool(Folder.Path(), {"Tank2.raw"}, SecondOptions);
  FirstRun.join();
  EXPECT_EQ(FirstResult.ExitCode, 0);
  EXPECT_EQ(SecondResult.ExitCode, 0);
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

// Files of another user, where the tests can make them: they run as root.
std::optional<uid_t> OtherUser() {
  const passwd* Nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || Nobody == nullptr) return std::nullopt;
  return Nobody->pw_uid;
}

void GiveTo(const fs::path& Path, uid_t User) {
  ASSERT_EQ(::lchown(Path.c_str(), User, static_cast<gid_t>(-1)), 0) << Path;
}

void ReplaceInFile(const fs::path& Path, const std::string& From, const std::string& To) {
  const TBytes Bytes = ReadFile(Path);
  std::string Text(Bytes.begin(), Bytes.end());
  for (std::size_t At = 0; (At = Text.find(From, At)) != std::string::npos; At += To.size()) {
    Text.replace(At, From.size(), To);
  }
  WriteFile(Path, TBytes(Text.begin(), Text.end()));
}

// What a run killed between its renames leaves: its journal, the old info map kept aside and the
// waypoint map's temporary, beside the new info map and the old waypoint map.
struct TKilledRun {
  fs::path Journal;
  fs::path Kept;
  fs::path Temporary;
};

TKilledRun KillBetweenTheRenames(const fs::path& Folder) {
  EXPECT_EQ(SignalAtRename(Folder, SIGKILL, "Map.raw").Signal, SIGKILL);
  TKilledRun Run;
  for (const auto& Entry : fs::directory_iterator(Folder)) {
    const fs::path& Path = Entry.path();
    if (Path.extension() == ".journal") Run.Journal = Path;
    if (Path.extension() == ".tmp") (ReadFile(Path) == kOldInfo ? Run.Kept : Run.Temporary) = Path;
  }
  EXPECT_FALSE(Run.Journal.empty() || Run.Kept.empty() || Run.Temporary.empty());
  return Run;
}

TEST(RecoveryTrustTest, WhatOthersLeaveIsNeitherObeyedNorAReasonToFail) {
  const std::optional<uid_t> Other = OtherUser();
  if (!Other || UnderRunner()) GTEST_SKIP() << "gives files to another user as root; traces";
  const TBytes Input = EncodeLevel0Map(TerrainMap(2, 5));
  const auto Expected = ConvertedPair(Input, "Map1.raw");
  // Another user's temporary, live or not, is a victim like any file of the folder.
  const std::string OthersTemporary = ".varnholt-0123456789abcdef.tmp";
  using TPlant = std::function<void(const fs::path& Folder, const TKilledRun& Run)>;
  const struct {
    const char* Name;
    TPlant Plant;
    std::string Argument = "Map1.raw";
  } Cases[] = {
      {"another user's journal names a file as the old map kept aside",
       [&](const fs::path&, const TKilledRun& Run) {
         ReplaceInFile(Run.Journal, Run.Kept.filename(), "precious.txt");
         GiveTo(Run.Journal, *Other);
       }},
      {"the same, with the run's own map missing",
       [&](const fs::path&, const TKilledRun& Run) {
         ReplaceInFile(Run.Journal, Run.Kept.filename(), "precious.txt");
         GiveTo(Run.Journal, *Other);
       },
       "Missing1.raw"},
      {"another user's journal names files as a temporary and its target",
       [&](const fs::path&, const TKilledRun& Run) {
         ReplaceInFile(Run.Journal, Run.Temporary.filename(), "notes.txt");
         ReplaceInFile(Run.Journal, "Map.raw", "thesis.txt");
         GiveTo(Run.Journal, *Other);
       }},
      {"another user's undo names a file as a target without an old one",
       [&](const fs::path&, const TKilledRun& Run) {
         ReplaceInFile(Run.Journal, "MapInfo.raw", "thesis.txt");
         ReplaceInFile(Run.Journal, Run.Kept.filename(), "");
         fs::path Undo = Run.Journal;
         fs::rename(Run.Journal, Undo.replace_extension(".undo"));
         GiveTo(Undo, *Other);
       }},
      {"this user's journal names another user's file as a temporary",
       [&](const fs::path&, const TKilledRun& Run) {
         ReplaceInFile(Run.Journal, Run.Temporary.filename(), "evil.txt");
       }},
      {"this user's journal names another user's temporary",
       [&](const fs::path&, const TKilledRun& Run) {
         ReplaceInFile(Run.Journal, Run.Temporary.filename(), OthersTemporary);
       }},
      {"a journal that is a link to a device",
       [&](const fs::path&, const TKilledRun& Run) {
         fs::remove(Run.Journal);
         fs::create_symlink("/proc/kmsg", Run.Journal);
       }},
      {"a pipe named as a journal",
       [&](const fs::path&, const TKilledRun& Run) {
         fs::remove(Run.Journal);
         ASSERT_EQ(::mkfifo(Run.Journal.c_str(), 0644), 0);
       }},
      {"a folder named as a journal",
       [&](const fs::path&, const TKilledRun& Run) {
         fs::remove(Run.Journal);
         fs::create_directory(Run.Journal);
       }},
      {"another user's unreadable journal",
       [&](const fs::path&, const TKilledRun& Run) {
         GiveTo(Run.Journal, *Other);
         fs::permissions(Run.Journal, fs::perms::owner_read | fs::perms::owner_write);
       }},
  };
  for (const auto& Case : Cases) {
    SCOPED_TRACE(Case.Name);
    TScratchFolder Folder;
    PrepareOldPair(Folder.Path(), Input);
    const TKilledRun Killed = KillBetweenTheRenames(Folder.Path());
    std::map<std::string, TBytes> Victims;
    for (const std::string Name : {"precious.txt", "notes.txt", "thesis.txt", "evil.txt"}) {
      Victims[Name] = TBytes(Name.begin(), Name.end());
    }
    Victims[OthersTemporary] = kOldWaypoint;
    for (const auto& [Name, Bytes] : Victims) WriteFile(Folder.Path() / Name, Bytes);
    GiveTo(Folder.Path() / "evil.txt", *Other);
    GiveTo(Folder.Path() / OthersTemporary, *Other);
    Case.Plant(Folder.Path(), Killed);
    const TRunResult Run = RunTool(Folder.Path(), {Case.Argument});
    for (const auto& [Name, Bytes] : Victims)
      EXPECT_EQ(ReadFile(Folder.Path() / Name), Bytes) << Name;
    if (Case.Argument != "Map1.raw") {
      EXPECT_EQ(Run.ExitCode, 1);
      continue;
    }
    EXPECT_TRUE(Run.Output.ends_with("Done.\r\n")) << Run.Output;
    EXPECT_EQ(ReadFile(Folder.Path() / "MapInfo.raw"), Expected.at("MapInfo.raw"));
    EXPECT_EQ(ReadFile(Folder.Path() / "Map.raw"), Expected.at("Map.raw"));
  }
}

TEST(RecoveryTrustTest, AJournalThatComesBackWithACopyOfTheFolderIsStale) {
  if (UnderRunner()) GTEST_SKIP() << "traces the tool's own system calls";
  const TBytes Newer = EncodeLevel0Map(NoiseMap(2, 30, 7));
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), EncodeLevel0Map(TerrainMap(2, 5)));
  KillBetweenTheRenames(Folder.Path());
  // What a restore or a sync without deletions would bring back: the tool's files, as new files.
  std::map<std::string, TBytes> Copies;
  for (const auto& [Name, Bytes] : FilesIn(Folder.Path())) {
    if (Name.starts_with(".varnholt-")) Copies[Name] = Bytes;
  }
  WriteFile(Folder.Path() / "Map2.raw", Newer);
  ASSERT_EQ(RunTool(Folder.Path(), {"Map2.raw"}).ExitCode, 0);
  for (const auto& [Name, Bytes] : Copies) WriteFile(Folder.Path() / Name, Bytes);
  // Any run in the folder looks at them first, even one that then fails.
  WriteFile(Folder.Path() / "Other1.raw", {});
  EXPECT_EQ(RunTool(Folder.Path(), {"Other1.raw"}).ExitCode, 1);
  std::map<std::string, TBytes> Expected = ConvertedPair(Newer, "Map2.raw");
  Expected["Map1.raw"] = ReadFile(Folder.Path() / "Map1.raw");
  Expected["Other1.raw"] = {};
  EXPECT_EQ(FilesIn(Folder.Path()), Expected);
}

TEST(RecoveryTrustTest, AnOrdinaryUserIsNotHeldUpByWhatOthersOrDeadRunsLeft) {
  const std::optional<uid_t> Other = OtherUser();
  if (!Other || UnderRunner()) GTEST_SKIP() << "runs the tool as another user; traces";
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  // Maps that only their owner may read, and the run's own leftovers of that kind: a run killed
  // once both temporaries had their maps' permissions, before its journal.
  for (const char* Name : {"Map1.raw", "MapInfo.raw", "Map.raw"})
    GiveTo(Folder.Path() / Name, *Other);
  for (const char* Name : {"MapInfo.raw", "Map.raw"}) {
    fs::permissions(Folder.Path() / Name, fs::perms::owner_read);
  }
  GiveTo(Folder.Path(), *Other);
  TRunOptions Options;
  Options.User = *Other;
  Options.Traced = true;
  Options.While = [](pid_t Child) {
    ASSERT_TRUE(StopAtSystemCall(Child, {SYS_fsync}, 2));
    ::kill(Child, SIGKILL);
    ReleaseTraced(Child);
  };
  ASSERT_EQ(RunTool(Folder.Path(), {"Map1.raw"}, Options).Signal, SIGKILL);
  // Another user's claim, left private by a run that died as it made it.
  WriteFile(Folder.Path() / ".varnholt-0123456789abcdef.lock", {});
  fs::permissions(Folder.Path() / ".varnholt-0123456789abcdef.lock", fs::perms::owner_read);
  TRunOptions AsOther;
  AsOther.User = *Other;
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, AsOther);
  EXPECT_EQ(Run.ExitCode, 0);
  EXPECT_EQ(Run.Errors, "");
  std::vector<std::string> Left;
  for (const auto& Entry : fs::directory_iterator(Folder.Path())) {
    Left.push_back(Entry.path().filename().string());
  }
  std::sort(Left.begin(), Left.end());
  EXPECT_EQ(Left, (std::vector<std::string>{".varnholt-0123456789abcdef.lock", "Map.raw",
                                            "Map1.raw", "MapInfo.raw"}));
}

TEST(RecoveryTrustTest, WhatTakesAMapsPlaceAfterTheRunFoundItIsLeftAlone) {
  if (UnderRunner()) GTEST_SKIP() << "traces the tool's own system calls";
  const TBytes Mine = HexBytes("6d 69 6e 65");
  // A map put back by its user after a run died keeping the old one aside.
  TScratchFolder Restored;
  PrepareOldPair(Restored.Path(), SmallMap());
  ASSERT_EQ(SignalAtRename(Restored.Path(), SIGKILL, "MapInfo.raw").Signal, SIGKILL);
  fs::remove(Restored.Path() / "MapInfo.raw");
  WriteFile(Restored.Path() / "MapInfo.raw", Mine);
  WriteFile(Restored.Path() / "Other1.raw", {});
  EXPECT_EQ(RunTool(Restored.Path(), {"Other1.raw"}).ExitCode, 1);
  EXPECT_EQ(ReadFile(Restored.Path() / "MapInfo.raw"), Mine);
  EXPECT_EQ(ReadFile(Restored.Path() / "Map.raw"), kOldWaypoint);
  // A folder that comes in the info map's place while a run puts its maps in place.
  TScratchFolder Raced;
  PrepareOldPair(Raced.Path(), SmallMap());
  TRunOptions Options;
  Options.Traced = true;
  Options.While = [&](pid_t Child) {
    ASSERT_TRUE(StopAtSystemCall(Child, {SYS_link, SYS_linkat}, 1));
    fs::remove(Raced.Path() / "MapInfo.raw");
    fs::create_directory(Raced.Path() / "MapInfo.raw");
    WriteFile(Raced.Path() / "MapInfo.raw" / "inside", Mine);
    ReleaseTraced(Child);
  };
  const TRunResult Run = RunTool(Raced.Path(), {"Map1.raw"}, Options);
  EXPECT_TRUE(Run.Output.ends_with("Error writing file\r\n")) << Run.Output;
  EXPECT_EQ(ReadFile(Raced.Path() / "MapInfo.raw" / "inside"), Mine);
  EXPECT_EQ(FilesIn(Raced.Path()).size(), 2u);  // the map and the old waypoint map
  // A map named as the tool names its temporaries is converted, and stays.
  TScratchFolder Named;
  const std::string Odd = ".varnholt-00000000000000aa.tmp";
  WriteFile(Named.Path() / Odd, SmallMap());
  EXPECT_EQ(RunTool(Named.Path(), {Odd}).ExitCode, 0);
  EXPECT_EQ(ReadFile(Named.Path() / Odd), SmallMap());
}

TEST(RecoveryTrustTest, AReaderOfTheFolderCannotHoldItsLock) {
  const std::optional<uid_t> Other = OtherUser();
  if (!Other) GTEST_SKIP() << "needs root, to run as another user";
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  // Another user who can only read the folder locks it and places a lock file as best it can.
  int Ready[2];
  ASSERT_EQ(::pipe(Ready), 0);
  const pid_t Reader = ::fork();
  if (Reader == 0) {
    const int Opened = ::open(Folder.Path().c_str(), O_RDONLY | O_DIRECTORY);
    if (::setgid(*Other) != 0 || ::setuid(*Other) != 0 || ::flock(Opened, LOCK_EX) != 0) ::_exit(1);
    const TOtherRunsLock Lock(Folder.Path());
    if (::write(Ready[1], "x", 1) != 1) ::_exit(1);
    ::pause();
  }
  char Byte = 0;
  ASSERT_EQ(::read(Ready[0], &Byte, 1), 1);
  TRunOptions Options;
  Options.While = [](pid_t Child) {  // a run that waits for the reader fails rather than hangs
    siginfo_t Ended{};
    for (int K = 0; K < 200 && Ended.si_pid == 0; ++K) {
      ::waitid(P_PID, static_cast<id_t>(Child), &Ended, WEXITED | WNOWAIT | WNOHANG);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (Ended.si_pid == 0) ::kill(Child, SIGKILL);
  };
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
  ::kill(Reader, SIGKILL);
  ::waitpid(Reader, nullptr, 0);
  EXPECT_EQ(Run.ExitCode, 0);
  EXPECT_EQ(Run.Errors, "");
}

TEST(RecoveryTrustTest, AnotherRunsTurnIsWaitedForWithAWord) {
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  TOtherRunsLock Other(Folder.Path());
  ASSERT_TRUE(Other.Held());
  TRunOptions Options;
  Options.While = [&](pid_t) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    Other.Release();
  };
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
  EXPECT_EQ(Run.ExitCode, 0);
  EXPECT_EQ(Run.Errors, "varnholt: waiting for another run in .\n");
}

TEST(PairCommitTest, TemporariesArePrivateUntilTheyTakeTheirMapsPermissions) {
  if (UnderRunner()) GTEST_SKIP() << "traces the tool's own system calls";
  TScratchFolder Folder;
  PrepareOldPair(Folder.Path(), SmallMap());
  fs::remove(Folder.Path() / "Map.raw");
  const auto Public = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                      fs::perms::others_read;
  fs::permissions(Folder.Path() / "MapInfo.raw", Public);
  std::vector<fs::perms> WhileWritten;
  TRunOptions Options;
  Options.Traced = true;
  // The permissions change once the info map is written whole.
  Options.While = [&](pid_t Child) {
    while (WhileWritten.empty() && StopAtSystemCall(Child, {SYS_fchmod}, 1)) {
      for (const auto& Entry : fs::directory_iterator(Folder.Path())) {
        if (Entry.path().extension() == ".tmp")
          WhileWritten.push_back(Entry.status().permissions());
      }
    }
    ReleaseTraced(Child);
  };
  const mode_t Mask = ::umask(027);
  const TRunResult Run = RunTool(Folder.Path(), {"Map1.raw"}, Options);
  ::umask(Mask);
  EXPECT_EQ(Run.ExitCode, 0);
  EXPECT_EQ(WhileWritten, std::vector{fs::perms::owner_read | fs::perms::owner_write});
  EXPECT_EQ(fs::status(Folder.Path() / "MapInfo.raw").permissions(), Public);
  // Where there was no map, the new one has the permissions of a new file.
  EXPECT_EQ(fs::status(Folder.Path() / "Map.raw").permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

}  // namespace
}  // namespace varnholt::test
