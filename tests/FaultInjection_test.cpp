// Hostile conditions around the built executable: interruptions while the maps are written,
// address-space limits, a console nobody reads, awkward paths and concurrent runs. Each case
// checks the exit, the last console line and every file present afterwards.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
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
  for (const int Signal : {SIGINT, SIGTERM, SIGHUP}) {
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
  } Cases[] = {{11, "Out of memory"}, {13, "Out of memory"},     {16, "Out of memory"},
               {21, "Out of memory"}, {22, "Range check error"}, {25, "Range check error"}};
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

}  // namespace
}  // namespace varnholt::test
