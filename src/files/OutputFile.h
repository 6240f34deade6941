// Putting finished files in place: written as temporaries beside their targets, then renamed
// over them together, with a journal that lets the next run complete what a run killed midway
// left, a rollback where a file cannot be replaced, and a lock for runs that share a folder.
#pragma once

#include <span>
#include <string>

#include "files/ToolFiles.h"

namespace varnholt {

// A new file that replaces Path only when committed. It is written as a temporary file beside
// Path that only its owner can read, and renamed over Path at the end, so whatever was at Path
// stays untouched until the new file is complete; a temporary that is not committed is removed.
// Writes go straight to the system: the maps are assembled in memory and written whole.
class TOutputFile final : public TWriter {
 public:
  explicit TOutputFile(std::string Path);  // fails with "Error opening file: " + Path
  ~TOutputFile() override;
  TOutputFile(const TOutputFile&) = delete;
  TOutputFile& operator=(const TOutputFile&) = delete;

  std::size_t Write(std::span<const std::uint8_t> Bytes) override;
  // Gives what was written the permission bits of the file it is to replace (or a new file's)
  // and makes it durable; fails with "Error writing file". The file stays open, and so held,
  // until committed: a temporary that nobody holds is one that a run no longer alive left.
  void Finish();
  // Puts the finished file alone in place of Path; fails with "Error writing file".
  void Commit();
  const std::string& Target() const { return Path; }

 private:
  friend void CommitFiles(std::span<TOutputFile* const> Files, const TCommitRules& Rules);

  // Writes Bytes to Path, whole or not at all: a temporary file beside it, made durable, then
  // renamed over Path, keeping the permission bits of the file it replaces.
  void ReplaceFile(const std::string& Path, std::span<const std::uint8_t> Bytes);
  void Close();

  std::string Path;
  std::string TemporaryPath;
  TFileHandle Handle = kNoFile;
  bool Failed = false;
  bool HandedOver = false;  // the temporary is no longer this object's to remove
};

// Puts finished files in place of their paths, all in one folder, together: once it returns all
// are in place; when it fails ("Error writing file") the folder holds the old files again. Runs
// that share a folder take its lock in turn; a commit that waits says so after a second and gives
// up after Rules.Patience. The intent is made durable first, in a journal beside the files, so
// that if the process dies between the renames the next run in the folder completes them. What
// runs that died left is recovered first; a journal of this user's for the same targets that
// cannot be recovered stops the commit, since recovering it later would overtake these files.
void CommitFiles(std::span<TOutputFile* const> Files, const TCommitRules& Rules);

// Writes Bytes to Path, whole or not at all: a temporary file beside it, made durable, then
// renamed over Path, keeping the permission bits of the file it replaces.
void ReplaceFile(const std::string& Path, std::span<const std::uint8_t> Bytes);

}  // namespace varnholt
