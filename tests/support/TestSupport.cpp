#include "TestSupport.h"

#include "convert/Varnholt.h"
#include "platform/Platform.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace varnholt::test {

std::size_t TMemoryReader::Read(std::span<std::uint8_t> Buffer) {
  const std::size_t Take = std::min(Buffer.size(), Bytes.size() - Position);
  std::copy_n(Bytes.begin() + static_cast<std::ptrdiff_t>(Position), Take, Buffer.begin());
  Position += Take;
  return Take;
}

std::size_t TMemoryWriter::Write(std::span<const std::uint8_t> Source) {
  const std::size_t Take = std::min(Source.size(), Capacity - Bytes.size());
  Bytes.insert(Bytes.end(), Source.begin(), Source.begin() + static_cast<std::ptrdiff_t>(Take));
  return Take;
}

TScratchFolder::TScratchFolder() {
  // A name no other test or process picks: the clock and a counter.
  static unsigned Count = 0;
  const auto Stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  for (int Attempt = 0; Folder.empty() && Attempt < 100; ++Attempt) {
    const std::filesystem::path Candidate =
        std::filesystem::temp_directory_path() /
        ("varnholt-test-" + std::to_string(Stamp) + "-" + std::to_string(++Count));
    if (std::filesystem::create_directory(Candidate)) Folder = Candidate;
  }
  if (Folder.empty()) throw std::runtime_error("cannot make a scratch folder");
}

TScratchFolder::~TScratchFolder() {
  std::error_code Ignored;
  std::filesystem::permissions(Folder, std::filesystem::perms::owner_all, Ignored);
  std::filesystem::remove_all(Folder, Ignored);
}

std::string FailureOf(const std::function<void()>& Action) {
  try {
    Action();
  } catch (const Exception& Failure) {
    return Failure.what();
  }
  return "no failure";
}

void AppendWord(TBytes& Bytes, std::int32_t Word) {
  for (int K = 0; K < 4; ++K) {
    Bytes.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(Word) >> (8 * K)));
  }
}

TBytes Header(std::int32_t Exponent, std::int32_t Level, std::int32_t InfoFlag) {
  TBytes Bytes;
  for (const std::int32_t Word : {Exponent, Exponent, 6, Level, InfoFlag, 2, 0, -1}) {
    AppendWord(Bytes, Word);
  }
  return Bytes;
}

TBytes HexBytes(std::string_view Hex) {
  TBytes Bytes;
  std::istringstream Stream{std::string(Hex)};
  std::string Pair;
  while (Stream >> Pair) Bytes.push_back(static_cast<std::uint8_t>(std::stoul(Pair, nullptr, 16)));
  return Bytes;
}

void WriteFile(const std::filesystem::path& Path, const TBytes& Bytes) {
  std::ofstream File(Path, std::ios::binary);
  File.write(reinterpret_cast<const char*>(Bytes.data()),
             static_cast<std::streamsize>(Bytes.size()));
  if (!File.flush()) throw std::runtime_error("cannot write " + Path.string());
}

TBytes ReadFile(const std::filesystem::path& Path) {
  std::ifstream File(Path, std::ios::binary);
  return TBytes(std::istreambuf_iterator<char>(File), {});
}

std::map<std::string, TBytes> FilesIn(const std::filesystem::path& Folder) {
  std::map<std::string, TBytes> Files;
  for (const auto& Entry : std::filesystem::directory_iterator(Folder)) {
    if (Entry.is_regular_file()) Files[Entry.path().filename().string()] = ReadFile(Entry.path());
  }
  return Files;
}

TOtherRunsLock::TOtherRunsLock(const std::filesystem::path& Folder)
    : Path((Folder / ".varnholt-0123456789abcdef.lock").string()) {
  Handle = platform::CreateHeldFile(Path, true).Handle;
  if (Handle != kNoFile) platform::ShowHeld(Handle);
}

void TOtherRunsLock::Release() {
  if (Handle == kNoFile) return;
  platform::RemoveFile(Path);
  platform::CloseFile(Handle);
  Handle = kNoFile;
}

bool TOtherRunsLock::Held() const {
  return Handle != kNoFile;
}

std::size_t IndexOf(TCell Cell, std::uint32_t Side) {
  return static_cast<std::size_t>(Cell.Row) * Side + static_cast<std::size_t>(Cell.Column);
}

std::vector<std::int64_t> GridSteps(const TCellStore& Cells, TCell Start) {
  const std::uint32_t Side = Cells.CellsPerSide();
  std::vector<std::int64_t> Steps(std::size_t{Side} * Side, -1);
  std::deque<TCell> Queue{Start};
  Steps[IndexOf(Start, Side)] = 0;
  while (!Queue.empty()) {
    const TCell Cell = Queue.front();
    Queue.pop_front();
    const std::int64_t Here = Steps[IndexOf(Cell, Side)];
    const TCell Next[] = {{Cell.Row - 1, Cell.Column},
                          {Cell.Row + 1, Cell.Column},
                          {Cell.Row, Cell.Column - 1},
                          {Cell.Row, Cell.Column + 1}};
    for (const TCell& To : Next) {
      if (!Cells.IsInside(To) || !Cells.IsOpen(To)) continue;
      std::int64_t& There = Steps[IndexOf(To, Side)];
      if (There >= 0) continue;
      There = Here + 1;
      Queue.push_back(To);
    }
  }
  return Steps;
}

TRegionMap RegionsOf(const TBytes& File) {
  return AnalyseMapBytes(File).Regions;
}

TCommitPlan SampleCommitPlan(const std::string& Folder) {
  return {Folder,
          {0x803, 0x12f4},
          {{".varnholt-0123456789abcdef.tmp",
            {0x803, 0x77},
            "TankInfo.raw",
            TFileIdentity{0x803, 0x55},
            ".varnholt-fedcba9876543210.tmp"},
           {".varnholt-00000000000000aa.tmp", {0x803, 0x78}, "Tank.raw", std::nullopt, ""}}};
}

TSegment SegmentOf(const TLevel0Map& Map, std::size_t K) {
  const std::uint32_t N = Map.SegmentsPerSide();
  TSegmentRows Rows;
  for (std::size_t R = 0; R < Rows.size(); ++R) {
    Rows[R] = Map.Words[(K / N * kSegmentSide + R) * N + K % N];
  }
  TSegment Segment;
  StoreRows(Segment.data(), Rows);
  return Segment;
}

TLevel0Map CornerBridgeMap(std::uint32_t Blocks, bool OpenLastSegment) {
  TLevel0Map Map = OpenMap(1);
  Map.FillSegment(0, true);
  Map.FillSegment(3, !OpenLastSegment);
  constexpr std::uint32_t kCorners[4][2] = {{8, 8}, {8, 24}, {24, 8}, {24, 24}};
  for (std::uint32_t K = 0; K < Blocks; ++K) Map.Fill(kCorners[K][0], kCorners[K][1], 4, 4, false);
  Map.SetBlocked(63, 63, false);
  return Map;
}

std::string ConsoleText(const std::vector<std::string>& Lines) {
  std::string Text =
      "\r\nVarnholt 1.0 by Quenlow\r\n"
      "Create \"info\" and \"waypoint\" maps from a level 0 pathfinding map\r\n\r\n";
  for (const std::string& Line : Lines) Text += Line + "\r\n";
  return Text;
}

double PolylineLength(const std::vector<TCell>& Corners) {
  double Total = 0;
  for (std::size_t K = 1; K < Corners.size(); ++K) {
    Total +=
        std::hypot(Corners[K].Row - Corners[K - 1].Row, Corners[K].Column - Corners[K - 1].Column);
  }
  return Total;
}

}  // namespace varnholt::test
