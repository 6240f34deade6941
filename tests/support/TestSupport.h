// Helpers for the tests on every platform: in-memory byte streams, scratch folders and map files
// built byte by byte.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "MapGenerator.h"
#include "files/Journal.h"
#include "format/UTypes.h"
#include "map/Regions.h"

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

// The message of the Exception that Action fails with, or "no failure".
std::string FailureOf(const std::function<void()>& Action);

// Little-endian words and whole files, assembled by hand.
void AppendWord(TBytes& Bytes, std::int32_t Word);
TBytes Header(std::int32_t Exponent, std::int32_t Level = 0, std::int32_t InfoFlag = 0);
TBytes HexBytes(std::string_view Hex);  // "01 00 ff" → {1, 0, 255}
void WriteFile(const std::filesystem::path& Path, const TBytes& Bytes);
TBytes ReadFile(const std::filesystem::path& Path);
// Every regular file in Folder (not below it) with its bytes.
std::map<std::string, TBytes> FilesIn(const std::filesystem::path& Folder);

// Another run's lock file in a folder, made as a run makes it and held for the object's
// lifetime or until released.
class TOtherRunsLock {
 public:
  explicit TOtherRunsLock(const std::filesystem::path& Folder);
  ~TOtherRunsLock() { Release(); }
  TOtherRunsLock(const TOtherRunsLock&) = delete;
  TOtherRunsLock& operator=(const TOtherRunsLock&) = delete;
  void Release();
  bool Held() const;

 private:
  std::string Path;
  std::intptr_t Handle;
};

// The model of distances: steps from Start to every cell of the map by breadth-first search, cell
// (row, column) at IndexOf, -1 where it cannot go.
std::size_t IndexOf(TCell Cell, std::uint32_t Side);
std::vector<std::int64_t> GridSteps(const TCellStore& Cells, TCell Start);

// A level-0 map file analysed as the library opens it.
TRegionMap RegionsOf(const TBytes& File);

// A commit of a pair of maps in Folder, the info map's old file kept aside, as a run plans it.
TCommitPlan SampleCommitPlan(const std::string& Folder);

// Segment K of a generated map as a level-0 payload.
TSegment SegmentOf(const TLevel0Map& Map, std::size_t K);

// 2 x 2 segments: (0, 1) and (1, 0) open, (1, 1) blocked, and (0, 0) blocked but for Blocks
// separate 4 x 4 squares in its top left and the single cell (63, 63), which alone joins the
// two open segments. With four squares that cell is a fifth area, erased; with three it is area
// 4, kept and linked.
TLevel0Map CornerBridgeMap(std::uint32_t Blocks, bool OpenLastSegment = false);

// The console text of a run: the banner, then Lines, every line ended by CR LF.
std::string ConsoleText(const std::vector<std::string>& Lines);

// The length of the straight lines from each corner to the next, between cell centres.
double PolylineLength(const std::vector<TCell>& Corners);

}  // namespace varnholt::test
