// A folder's lock, in one process: another run's lock file is waited for with a word and given up
// in bounded time, and recovery does not wait at all. Runs on every platform.
#include "files/OutputFile.h"
#include "files/Recovery.h"

#include <gtest/gtest.h>

#include <thread>

#include "TestSupport.h"

namespace varnholt::test {
namespace {

namespace fs = std::filesystem;

void Commit(const fs::path& Target, const TCommitRules& Rules) {
  TOutputFile File(Target.string());
  const TBytes Bytes = HexBytes("01 02 03");
  File.Write(Bytes);
  File.Finish();
  CommitFiles(std::array{&File}, Rules);
}

TEST(FolderLockTest, AnotherRunIsWaitedForWithAWordAndGivenUpInTime) {
  TScratchFolder Folder;
  const fs::path Target = Folder.Path() / "Out.raw";
  const std::string Name = FolderOf(Target.string());
  TOtherRunsLock Other(Folder.Path());
  ASSERT_TRUE(Other.Held());
  std::vector<std::string> Said;
  TCommitRules Rules;
  Rules.Notice = [&Said](std::string_view Text) { Said.emplace_back(Text); };
  Rules.Patience = std::chrono::milliseconds(1500);
  EXPECT_EQ(FailureOf([&] { Commit(Target, Rules); }), "Error writing file");
  EXPECT_EQ(Said, (std::vector<std::string>{"waiting for another run in " + Name,
                                            "gave up waiting for another run in " + Name}));
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), {}), 1);  // the lock file alone

  Other.Release();
  Commit(Target, Rules);
  EXPECT_EQ(ReadFile(Target), HexBytes("01 02 03"));
  EXPECT_EQ(std::distance(fs::directory_iterator(Folder.Path()), {}), 1);  // the file alone
}

TEST(FolderLockTest, RecoveryLeavesABusyFolderAtOnce) {
  TScratchFolder Folder;
  // A journal cut short before anything was renamed: recovering it only removes it.
  const fs::path Journal = Folder.Path() / ".varnholt-fedcba9876543210.journal";
  WriteFile(Journal, {});
  TOtherRunsLock Other(Folder.Path());
  const std::string Map = (Folder.Path() / "Map1.raw").string();
  RecoverFolderOf(Map, {});
  EXPECT_TRUE(fs::exists(Journal));
  Other.Release();
  RecoverFolderOf(Map, {});
  EXPECT_FALSE(fs::exists(Journal));
}

// A helper rather than a test, for tools/test-windows.sh: holds another run's lock file on the
// current folder for ten seconds, while a run that waits for it is interrupted.
TEST(FolderLockTest, DISABLED_HoldALockForTenSeconds) {
  TOtherRunsLock Other(fs::current_path());
  ASSERT_TRUE(Other.Held());
  std::this_thread::sleep_for(std::chrono::seconds(10));
}

}  // namespace
}  // namespace varnholt::test
