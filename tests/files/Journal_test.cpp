// The journal's decoder against planted journals: what a run writes comes back whole, every
// journal cut short by a death reads as cut short, and anything a run cannot have written, in a
// folder that others may write, is foreign: names that lead out of the folder or are not the
// tool's, a name twice, counts out of range, identities that are not numbers, bytes after the end.
#include "files/Journal.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace varnholt {
namespace {

const std::string kFolder = "maps/";

TCommitPlan SamplePlan() {
  return test::SampleCommitPlan(kFolder);
}

// The fields of a journal, each ended by a zero byte, as a run writes them.
std::string Fields(const std::vector<std::string>& Values) {
  std::string Text;
  for (const std::string& Value : Values) Text.append(Value).push_back('\0');
  return Text;
}

// A journal of one file with these five fields.
std::string OneFile(const std::string& Temporary, const std::string& TemporaryId,
                    const std::string& Target, const std::string& OldId,
                    const std::string& Backup) {
  return Fields(
      {"varnholt commit 2", "803:12f4", "1", Temporary, TemporaryId, Target, OldId, Backup});
}

const std::string kTemporary = ".varnholt-0123456789abcdef.tmp";
const std::string kBackup = ".varnholt-fedcba9876543210.tmp";

TEST(JournalTest, WhatARunWritesComesBackWhole) {
  const TCommitPlan Plan = SamplePlan();
  const std::string Text = EncodeJournal(Plan);
  const TJournal Read = DecodeJournal(kFolder, Text);
  ASSERT_EQ(Read.Kind, TJournalKind::Whole);
  EXPECT_EQ(Read.Plan, Plan);
  EXPECT_EQ(DecodeJournal(kFolder, OneFile(kTemporary, "803:77", "Tank.raw", "", "")).Kind,
            TJournalKind::Whole);
  // Identities are read as the hexadecimal numbers a run writes, in either case.
  EXPECT_EQ(DecodeJournal(kFolder, OneFile(kTemporary, "80A:7f", "Tank.raw", "", "")).Kind,
            TJournalKind::Whole);
}

TEST(JournalTest, EveryJournalCutShortReadsAsCutShort) {
  const std::string Text = EncodeJournal(SamplePlan());
  for (std::size_t Length = 0; Length < Text.size(); ++Length) {
    EXPECT_EQ(DecodeJournal(kFolder, Text.substr(0, Length)).Kind, TJournalKind::CutShort)
        << Length;
  }
}

TEST(JournalTest, WhatNoRunWritesIsForeign) {
  const struct {
    const char* Name;
    std::string Text;
  } Cases[] = {
      {"another mark",
       Fields({"varnholt commit 1", "803:12f4", "1", kTemporary, "803:77", "Tank.raw", "", ""})},
      {"a mark that is not one", "varnholt commix"},
      {"no files", Fields({"varnholt commit 2", "803:12f4", "0"})},
      {"more files than a commit has",
       Fields({"varnholt commit 2", "803:12f4", std::to_string(kMostFiles + 1)})},
      {"a count with a sign", Fields({"varnholt commit 2", "803:12f4", "+1"})},
      {"a count that is not a number", Fields({"varnholt commit 2", "803:12f4", "1x"})},
      {"a count beyond any number",
       Fields({"varnholt commit 2", "803:12f4", "99999999999999999999999"})},
      {"a field after the last",
       OneFile(kTemporary, "803:77", "Tank.raw", "", "") + "x" + std::string(1, '\0')},
      {"bytes after the last field", OneFile(kTemporary, "803:77", "Tank.raw", "", "") + "x"},
      {"a folder identity without a colon",
       Fields({"varnholt commit 2", "80312f4", "1", kTemporary, "803:77", "Tank.raw", "", ""})},
      {"a temporary identity that is not hexadecimal",
       OneFile(kTemporary, "803:7g", "Tank.raw", "", "")},
      {"an identity with nothing after its colon", OneFile(kTemporary, "803:", "Tank.raw", "", "")},
      {"an old identity that is not one", OneFile(kTemporary, "803:77", "Tank.raw", ":", "")},
      {"a temporary not of the tool's form", OneFile("Tank.tmp", "803:77", "Tank.raw", "", "")},
      {"a temporary with capital digits",
       OneFile(".varnholt-0123456789ABCDEF.tmp", "803:77", "Tank.raw", "", "")},
      {"a target in another folder",
       OneFile(kTemporary, "803:77", "../elsewhere/Tank.raw", "", "")},
      {"a target by an absolute path", OneFile(kTemporary, "803:77", "/etc/passwd", "", "")},
      {"the folder itself as a target", OneFile(kTemporary, "803:77", ".", "", "")},
      {"the folder above as a target", OneFile(kTemporary, "803:77", "..", "", "")},
      {"no target", OneFile(kTemporary, "803:77", "", "", "")},
      {"one of the tool's files as a target", OneFile(kTemporary, "803:77", kBackup, "", "")},
      {"a backup without an old file", OneFile(kTemporary, "803:77", "Tank.raw", "", kBackup)},
      {"a backup not of the tool's form",
       OneFile(kTemporary, "803:77", "Tank.raw", "803:55", "Tank.old")},
      {"a name twice", Fields({"varnholt commit 2", "803:12f4", "2", kTemporary, "803:77",
                               "TankInfo.raw", "", "", kTemporary, "803:78", "Tank.raw", "", ""})},
      {"a target twice", Fields({"varnholt commit 2", "803:12f4", "2", kTemporary, "803:77",
                                 "Tank.raw", "", "", kBackup, "803:78", "Tank.raw", "", ""})},
      {"binary bytes", std::string("\x01\xff\x00\x80\x7f\x00", 6)},
  };
  for (const auto& Case : Cases) {
    EXPECT_EQ(DecodeJournal(kFolder, Case.Text).Kind, TJournalKind::Foreign) << Case.Name;
  }
}

}  // namespace
}  // namespace varnholt
