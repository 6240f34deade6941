// The area analysis against the plain model in TestModel, over thousands of generated segments,
// and the cases whose answers are known by hand.

#include "analysis/AreaUtils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "TestModel.h"

namespace varnholt {
namespace {

using model::ModelCalculateWaypoint;
using model::ModelLabelAreas;
using model::ModelLinkDown;
using model::ModelLinkRight;
using model::ModelLinkSegments;
using model::ModelReduceToInfo;

constexpr int kSide = 64;

// ---------------------------------------------------------------------------------------------
// Random numbers: splitmix64, so that a failing seed regenerates the same segment anywhere.

class TRng {
 public:
  explicit TRng(std::uint64_t Seed) : State(Seed) {}
  std::uint64_t Next() {
    State += 0x9E3779B97F4A7C15ull;
    std::uint64_t Z = State;
    Z = (Z ^ (Z >> 30)) * 0xBF58476D1CE4E5B9ull;
    Z = (Z ^ (Z >> 27)) * 0x94D049BB133111EBull;
    return Z ^ (Z >> 31);
  }
  int Below(int N) { return static_cast<int>(Next() % static_cast<std::uint64_t>(N)); }
  int Between(int Low, int High) { return Low + Below(High - Low + 1); }
  bool Chance(int Percent) { return Below(100) < Percent; }

 private:
  std::uint64_t State;
};

// A stable seed base per name, so that adding a kind does not change the seeds of the others.
std::uint64_t NameSeed(const std::string& Name) {
  std::uint64_t Hash = 0xCBF29CE484222325ull;
  for (const char Ch : Name) Hash = (Hash ^ static_cast<std::uint8_t>(Ch)) * 0x100000001B3ull;
  return Hash;
}

// ---------------------------------------------------------------------------------------------
// Building segments and area maps. Cells outside the segment are ignored, which lets the
// generators draw shapes that run off the edge.

std::size_t CellIndex(int R, int C) {
  return static_cast<std::size_t>(R * kSide + C);
}

void SetCell(TSegment& Segment, int R, int C, bool Blocked) {
  if (R < 0 || R >= kSide || C < 0 || C >= kSide) return;
  std::uint8_t& Byte = Segment[static_cast<std::size_t>(R * 8 + C / 8)];
  const auto Bit = static_cast<std::uint8_t>(1u << (C % 8));
  Byte = static_cast<std::uint8_t>(Blocked ? Byte | Bit : Byte & ~Bit);
}

bool CellBlocked(const TSegment& Segment, int R, int C) {
  return (Segment[static_cast<std::size_t>(R * 8 + C / 8)] >> (C % 8) & 1) != 0;
}

TSegment Filled(bool Blocked) {
  TSegment Segment;
  Segment.fill(Blocked ? 0xFF : 0x00);
  return Segment;
}

template <typename F>
TSegment SegmentWhere(F Blocked) {
  TSegment Segment = Filled(false);
  for (int R = 0; R < kSide; ++R) {
    for (int C = 0; C < kSide; ++C) SetCell(Segment, R, C, Blocked(R, C));
  }
  return Segment;
}

void FillRect(TSegment& Segment, int Top, int Left, int Height, int Width, bool Blocked) {
  for (int R = Top; R < Top + Height; ++R) {
    for (int C = Left; C < Left + Width; ++C) SetCell(Segment, R, C, Blocked);
  }
}

void FlipRandomCells(TSegment& Segment, TRng& Rng, int Flips) {
  for (int K = 0; K < Flips; ++K) {
    const int R = Rng.Below(kSide);
    const int C = Rng.Below(kSide);
    SetCell(Segment, R, C, !CellBlocked(Segment, R, C));
  }
}

// One of the eight symmetries of the square, so that a shape drawn in one orientation is met in
// all of them.
TSegment Transformed(const TSegment& Segment, int Symmetry) {
  return SegmentWhere([&](int R, int C) {
    int SR = (Symmetry & 1) != 0 ? kSide - 1 - R : R;
    int SC = (Symmetry & 2) != 0 ? kSide - 1 - C : C;
    if ((Symmetry & 4) != 0) std::swap(SR, SC);
    return CellBlocked(Segment, SR, SC);
  });
}

template <typename F>
TAreaSegment AreaMapWhere(F Area) {
  TAreaSegment Map;
  for (int R = 0; R < kSide; ++R) {
    for (int C = 0; C < kSide; ++C) Map[CellIndex(R, C)] = static_cast<std::uint8_t>(Area(R, C));
  }
  return Map;
}

TAreaSegment FilledAreaMap(std::uint8_t Area) {
  TAreaSegment Map;
  Map.fill(Area);
  return Map;
}

// A picture of the top-left corner of a segment: '#' blocked, '1' ... '4' open and expected in
// that area, '.' open but expected in no kept area. Everything outside the picture is blocked.
using TCellPicture = std::function<char(int, int)>;

TCellPicture Picture(std::vector<std::string> Rows) {
  return [Rows = std::move(Rows)](int R, int C) {
    const auto Row = static_cast<std::size_t>(R);
    const auto Column = static_cast<std::size_t>(C);
    if (Row >= Rows.size() || Column >= Rows[Row].size()) return '#';
    return Rows[Row][Column];
  };
}

std::array<std::uint8_t, 16> RecordBytes(const TWaypointSegment& Record) {
  std::array<std::uint8_t, 16> Bytes;
  std::memcpy(Bytes.data(), &Record, Bytes.size());
  return Bytes;
}

TWaypointSegment RecordFromBytes(const std::array<std::uint8_t, 16>& Bytes) {
  TWaypointSegment Record;
  std::memcpy(&Record, Bytes.data(), Bytes.size());
  return Record;
}

// ---------------------------------------------------------------------------------------------
// Reporting differences.

std::string DrawSegment(const TSegment& Segment) {
  std::string Text;
  for (int R = 0; R < kSide; ++R) {
    for (int C = 0; C < kSide; ++C) Text += CellBlocked(Segment, R, C) ? '#' : '.';
    Text += '\n';
  }
  return Text;
}

std::string DrawAreaMap(const TAreaSegment& Map) {
  std::string Text;
  for (int R = 0; R < kSide; ++R) {
    for (int C = 0; C < kSide; ++C) {
      const int Area = Map[CellIndex(R, C)];
      Text += Area == 0 ? '.' : Area <= 9 ? static_cast<char>('0' + Area) : '?';
    }
    Text += '\n';
  }
  return Text;
}

// The first element in which two row-major grids of the given width differ.
template <std::size_t N>
std::optional<std::string> FirstDifference(const std::array<std::uint8_t, N>& Expected,
                                           const std::array<std::uint8_t, N>& Actual, int Width) {
  for (std::size_t K = 0; K < N; ++K) {
    if (Expected[K] == Actual[K]) continue;
    std::ostringstream Text;
    Text << "(row " << K / static_cast<std::size_t>(Width) << ", column "
         << K % static_cast<std::size_t>(Width) << "): expected " << int{Expected[K]} << ", got "
         << int{Actual[K]};
    return Text.str();
  }
  return std::nullopt;
}

std::optional<std::string> FirstRecordDifference(const TWaypointSegment& Expected,
                                                 const TWaypointSegment& Actual) {
  const auto E = RecordBytes(Expected);
  const auto A = RecordBytes(Actual);
  for (std::size_t K = 0; K < E.size(); ++K) {
    if (E[K] == A[K]) continue;
    std::ostringstream Text;
    Text << "record byte " << K << ": expected 0x" << std::hex << int{E[K]} << ", got 0x"
         << int{A[K]};
    return Text.str();
  }
  return std::nullopt;
}

// A waypoint calculation's result: the record, or the message it failed with.
struct TWaypointOutcome {
  TWaypointSegment Record;
  std::optional<std::string> Failure;
};

template <typename F>
TWaypointOutcome RunWaypoint(F Calculate, const TAreaSegment& Map, std::int32_t Count,
                             const TWaypointSegment& Start = {}) {
  TWaypointOutcome Outcome{Start, std::nullopt};
  try {
    Calculate(Map, Count, Outcome.Record);
  } catch (const Exception& Failure) {
    Outcome.Failure = Failure.what();
  }
  return Outcome;
}

std::optional<std::string> CompareWaypoints(const TAreaSegment& Map, std::int32_t Count) {
  const TWaypointOutcome Expected = RunWaypoint(ModelCalculateWaypoint, Map, Count);
  const TWaypointOutcome Actual = RunWaypoint(CalculateWaypoint, Map, Count);
  if (Expected.Failure != Actual.Failure) {
    return "expected " + (Expected.Failure ? "failure \"" + *Expected.Failure + "\"" : "success") +
           ", got " + (Actual.Failure ? "failure \"" + *Actual.Failure + "\"" : "success");
  }
  // After a failure the record's contents are of no interest.
  if (Expected.Failure) return std::nullopt;
  return FirstRecordDifference(Expected.Record, Actual.Record);
}

std::optional<std::string> CompareInfo(const TAreaSegment& Map) {
  TInfoSegment Expected;
  ModelReduceToInfo(Map, Expected);
  TInfoSegment Actual;
  Actual.fill(0xCC);  // every byte must be written
  ReduceToInfo(Map, Actual);
  return FirstDifference(Expected, Actual, kInfoSide);
}

// The components of all open cells, as TComponents gives them, against a flood fill that numbers
// them in the row-major order of their first cells: count, first cells, sizes, the component of
// every cell and the runs of every row.
std::optional<std::string> CompareComponents(const TSegment& Segment) {
  const std::vector<int> Expected = model::ModelComponents(Segment);
  std::vector<int> Sizes;
  std::vector<int> Firsts;
  for (int Cell = 0; Cell < kSide * kSide; ++Cell) {
    const int Component = Expected[static_cast<std::size_t>(Cell)];
    if (Component < 0) continue;
    if (static_cast<std::size_t>(Component) == Sizes.size()) {
      Sizes.push_back(0);
      Firsts.push_back(Cell);
    }
    ++Sizes[static_cast<std::size_t>(Component)];
  }
  TSegmentRows Open = SegmentRows(Segment);
  for (std::uint64_t& Row : Open) Row = ~Row;
  TComponents Components;
  Components.Label(Open);
  if (Components.Count() != static_cast<int>(Sizes.size())) {
    return "TComponents, count: expected " + std::to_string(Sizes.size()) + ", got " +
           std::to_string(Components.Count());
  }
  for (int K = 0; K < Components.Count(); ++K) {
    if (Components.FirstCell(K) != Firsts[static_cast<std::size_t>(K)] ||
        Components.Cells(K) != Sizes[static_cast<std::size_t>(K)]) {
      return "TComponents, first cell or size of component " + std::to_string(K);
    }
  }
  for (int Cell = 0; Cell < kSide * kSide; ++Cell) {
    if (Components.ComponentAt(Cell) != Expected[static_cast<std::size_t>(Cell)]) {
      return "TComponents, component of cell " + std::to_string(Cell);
    }
  }
  for (int R = 0; R < kSide; ++R) {
    const std::uint64_t Row = Open[static_cast<std::size_t>(R)];
    std::uint64_t Seen = 0;
    bool Right = true;
    // Each run whole (one stretch, ending where the row's cells end), left to right, in the
    // component of its first cell.
    Components.ForRunsOfRow(R, [&](int Component, std::uint64_t Run) {
      const int Begin = std::countr_zero(Run);
      const bool OneStretch = ((Run >> Begin) & ((Run >> Begin) + 1)) == 0;
      const bool Whole = (Row & (Run << 1 | Run >> 1) & ~Run) == 0;
      Right = Right && Run != 0 && OneStretch && Whole && (Seen >> Begin) == 0 &&
              Expected[static_cast<std::size_t>(R * kSide + Begin)] == Component;
      Seen |= Run;
    });
    if (!Right || Seen != Row) {
      return "TComponents, runs of row " + std::to_string(R);
    }
  }
  return std::nullopt;
}

// Labels, info values and waypoints of one segment against the model; every mismatch found, one
// a line. The later steps run on the model's area map and, when labelling went wrong, on the real
// one as well, so that a labelling fault neither hides nor is blamed on a fault of theirs.
std::optional<std::string> CheckSegment(const TSegment& Segment) {
  TAreaSegment Expected;
  std::int32_t ExpectedCount = -1;
  ModelLabelAreas(Segment, Expected, ExpectedCount);
  TAreaSegment Actual;
  Actual.fill(0xCC);  // every byte must be written
  std::int32_t ActualCount = -7;
  LabelAreas(Segment, Actual, ActualCount);

  std::string Report;
  const auto MapDifference = FirstDifference(Expected, Actual, kSide);
  if (MapDifference) Report += "LabelAreas, area map at " + *MapDifference + "\n";
  if (ExpectedCount != ActualCount) {
    Report += "LabelAreas, area count: expected " + std::to_string(ExpectedCount) + ", got " +
              std::to_string(ActualCount) + "\n";
  }
  auto CheckLaterSteps = [&](const TAreaSegment& Map, std::int32_t Count, const char* Whose) {
    if (auto Difference = CompareInfo(Map)) {
      Report += std::string("ReduceToInfo on the ") + Whose + " area map, info value at " +
                *Difference + "\n";
    }
    if (auto Difference = CompareWaypoints(Map, Count)) {
      Report +=
          std::string("CalculateWaypoint on the ") + Whose + " area map, " + *Difference + "\n";
    }
  };
  CheckLaterSteps(Expected, ExpectedCount, "model's");
  if (auto Difference = CompareComponents(Segment)) Report += *Difference + "\n";
  if (MapDifference || ExpectedCount != ActualCount) {
    CheckLaterSteps(Actual, ActualCount, "real");
    Report += "expected area map:\n" + DrawAreaMap(Expected) + "got:\n" + DrawAreaMap(Actual);
  }
  if (Report.empty()) return std::nullopt;
  return Report;
}

// ---------------------------------------------------------------------------------------------
// Segment generators.

TSegment MakeNoise(TRng& Rng, int Percent) {
  return SegmentWhere([&](int, int) { return Rng.Chance(Percent); });
}

// Open and blocked stripes of widths 1 to 4: many areas of exactly equal size, and with a few
// flipped cells, bridges between them and notches in them.
TSegment MakeStripes(TRng& Rng) {
  const int OpenWidth = Rng.Between(1, 4);
  const int WallWidth = Rng.Between(1, 4);
  const int Phase = Rng.Below(8);
  const bool Vertical = Rng.Chance(50);
  TSegment Segment = SegmentWhere([&](int R, int C) {
    return ((Vertical ? C : R) + Phase) % (OpenWidth + WallWidth) >= OpenWidth;
  });
  if (Rng.Chance(50)) FlipRandomCells(Segment, Rng, Rng.Between(1, 6));
  return Segment;
}

// Full-length walls across an open segment, each with a few gaps or none.
TSegment MakeWalls(TRng& Rng) {
  TSegment Segment = Filled(false);
  const int Walls = Rng.Between(1, 8);
  for (int W = 0; W < Walls; ++W) {
    const bool Vertical = Rng.Chance(50);
    const int At = Rng.Below(kSide);
    const int Thickness = Rng.Between(1, 2);
    auto Set = [&](int Along, int Across, bool Blocked) {
      if (Vertical) {
        SetCell(Segment, Along, Across, Blocked);
      } else {
        SetCell(Segment, Across, Along, Blocked);
      }
    };
    for (int T = 0; T < Thickness; ++T) {
      for (int K = 0; K < kSide; ++K) Set(K, At + T, true);
    }
    const int Gaps = Rng.Between(0, 3);
    for (int G = 0; G < Gaps; ++G) {
      const int Position = Rng.Below(kSide);
      const int Width = Rng.Between(1, 3);
      for (int T = 0; T < Thickness; ++T) {
        for (int K = 0; K < Width; ++K) Set(Position + K, At + T, false);
      }
    }
  }
  return Segment;
}

// Islands of one size (Height x Width, some turned to Width x Height) on a lattice, one cell
// apart at least: the ranking is decided by first-cell order among many equal areas.
TSegment MakeEqualIslands(TRng& Rng) {
  TSegment Segment = Filled(true);
  const int Height = Rng.Between(1, 5);
  const int Width = Rng.Between(1, 5);
  const int Pitch = std::max(Height, Width) + 1 + Rng.Below(3);
  const int Density = Rng.Between(20, 100);
  for (int Top = 0; Top < kSide; Top += Pitch) {
    for (int Left = 0; Left < kSide; Left += Pitch) {
      if (!Rng.Chance(Density)) continue;
      const bool Turned = Rng.Chance(50);
      const int H = Turned ? Width : Height;
      const int W = Turned ? Height : Width;
      // The slot's last row and column stay blocked, separating neighbouring islands.
      FillRect(Segment, Top + Rng.Below(Pitch - H), Left + Rng.Below(Pitch - W), H, W, false);
    }
  }
  return Segment;
}

// Checkerboards of 1x1 to 4x4 blocks at any offset: open blocks meet only at corners, so every
// block is an area of its own; a few flipped cells join or split some.
TSegment MakeCheckerboard(TRng& Rng) {
  const int Block = Rng.Between(1, 4);
  const int ShiftR = Rng.Below(2 * Block);
  const int ShiftC = Rng.Below(2 * Block);
  TSegment Segment = SegmentWhere(
      [&](int R, int C) { return ((R + ShiftR) / Block + (C + ShiftC) / Block) % 2 != 0; });
  if (Rng.Chance(60)) FlipRandomCells(Segment, Rng, Rng.Between(1, 8));
  return Segment;
}

// Open U shapes and combs on a blocked background: arms that start as separate areas in the scan
// and meet only at their base, in every orientation, sometimes overlapping each other.
TSegment MakeUShapes(TRng& Rng) {
  TSegment Segment = Filled(true);
  const int Shapes = Rng.Between(1, 4);
  for (int S = 0; S < Shapes; ++S) {
    const int Top = Rng.Below(40);
    const int Left = Rng.Below(40);
    const int Height = Rng.Between(4, kSide - Top);
    const int Width = Rng.Between(6, kSide - Left);
    const int Arm = Rng.Between(1, 3);
    const int Base = Rng.Between(1, 3);
    const int Teeth = Rng.Chance(40) ? Rng.Between(3, std::max(3, Width / (Arm + 1))) : 2;
    FillRect(Segment, Top + Height - Base, Left, Base, Width, false);
    for (int K = 0; K < Teeth; ++K) {
      FillRect(Segment, Top, Left + K * (Width - Arm) / (Teeth - 1), Height, Arm, false);
    }
  }
  return Transformed(Segment, Rng.Below(8));
}

// A square spiral drawn as a wall on open ground or as a corridor in blocked ground.
TSegment MakeSpiral(TRng& Rng) {
  const bool PathIsOpen = Rng.Chance(50);
  TSegment Segment = Filled(PathIsOpen);
  const int Spacing = Rng.Between(2, 5);  // corridor width + 1
  int R = Rng.Below(4);
  int C = Rng.Below(4);
  int Length = Rng.Between(40, kSide - 1);
  constexpr std::array<int, 4> kStepR{0, 1, 0, -1};
  constexpr std::array<int, 4> kStepC{1, 0, -1, 0};
  for (int Leg = 0; Length > 0; ++Leg) {
    const auto Direction = static_cast<std::size_t>(Leg % 4);
    for (int K = 0; K < Length; ++K) {
      SetCell(Segment, R, C, !PathIsOpen);
      R += kStepR[Direction];
      C += kStepC[Direction];
    }
    if (Leg % 2 == 1) Length -= Spacing;
  }
  if (Rng.Chance(40)) FlipRandomCells(Segment, Rng, Rng.Between(1, 4));
  return Transformed(Segment, Rng.Below(8));
}

// Concentric square rings with a gap or two each: long nested corridors.
TSegment MakeRings(TRng& Rng) {
  TSegment Segment = Filled(false);
  const int Spacing = Rng.Between(2, 5);
  for (int D = Rng.Below(Spacing); D < kSide / 2; D += Spacing) {
    const int Far = kSide - 1 - D;
    for (int K = D; K <= Far; ++K) {
      SetCell(Segment, D, K, true);
      SetCell(Segment, Far, K, true);
      SetCell(Segment, K, D, true);
      SetCell(Segment, K, Far, true);
    }
    const int Gaps = Rng.Below(3);
    for (int G = 0; G < Gaps; ++G) {
      const int K = Rng.Between(D, Far);
      switch (Rng.Below(4)) {
        case 0:
          SetCell(Segment, D, K, false);
          break;
        case 1:
          SetCell(Segment, Far, K, false);
          break;
        case 2:
          SetCell(Segment, K, D, false);
          break;
        default:
          SetCell(Segment, K, Far, false);
          break;
      }
    }
  }
  return Transformed(Segment, Rng.Below(8));
}

// A maze carved by a random depth-first walk over the even cells, with some walls knocked out
// (loops) and some cells blocked (splits): long winding areas whose parts meet late in the scan.
TSegment MakeMaze(TRng& Rng) {
  TSegment Segment = Filled(true);
  constexpr int kCells = kSide / 2;
  std::vector<bool> Visited(kCells * kCells, false);
  std::vector<std::pair<int, int>> Stack{{Rng.Below(kCells), Rng.Below(kCells)}};
  Visited[static_cast<std::size_t>(Stack[0].first * kCells + Stack[0].second)] = true;
  SetCell(Segment, 2 * Stack[0].first, 2 * Stack[0].second, false);
  while (!Stack.empty()) {
    const auto [R, C] = Stack.back();
    std::vector<std::pair<int, int>> Next;
    for (const auto& [DR, DC] :
         {std::pair{-1, 0}, std::pair{1, 0}, std::pair{0, -1}, std::pair{0, 1}}) {
      const int NR = R + DR;
      const int NC = C + DC;
      if (NR < 0 || NR >= kCells || NC < 0 || NC >= kCells) continue;
      if (!Visited[static_cast<std::size_t>(NR * kCells + NC)]) Next.emplace_back(NR, NC);
    }
    if (Next.empty()) {
      Stack.pop_back();
      continue;
    }
    const auto [NR, NC] = Next[static_cast<std::size_t>(Rng.Below(static_cast<int>(Next.size())))];
    Visited[static_cast<std::size_t>(NR * kCells + NC)] = true;
    SetCell(Segment, R + NR, C + NC, false);  // the wall between, at the sum of the halves
    SetCell(Segment, 2 * NR, 2 * NC, false);
    Stack.emplace_back(NR, NC);
  }
  const int Loops = Rng.Between(0, 40);
  for (int K = 0; K < Loops; ++K) SetCell(Segment, Rng.Below(kSide), Rng.Below(kSide), false);
  const int Cuts = Rng.Between(0, 12);
  for (int K = 0; K < Cuts; ++K) SetCell(Segment, Rng.Below(kSide), Rng.Below(kSide), true);
  return Transformed(Segment, Rng.Below(8));
}

// Rectangles set open, set blocked or toggled, over open or blocked ground.
TSegment MakeRectangles(TRng& Rng) {
  TSegment Segment = Filled(Rng.Chance(70));
  const int Count = Rng.Between(1, 20);
  for (int K = 0; K < Count; ++K) {
    const int Top = Rng.Below(kSide);
    const int Left = Rng.Below(kSide);
    const int Height = Rng.Between(1, 24);
    const int Width = Rng.Between(1, 24);
    const int Mode = Rng.Below(3);
    for (int R = Top; R < Top + Height && R < kSide; ++R) {
      for (int C = Left; C < Left + Width && C < kSide; ++C) {
        SetCell(Segment, R, C, Mode == 0 ? false : Mode == 1 ? true : !CellBlocked(Segment, R, C));
      }
    }
  }
  return Segment;
}

// Diagonal lines: blocked ones one cell thick already cut 4-connected areas apart; open ones one
// cell thick are chains of single-cell areas.
TSegment MakeDiagonals(TRng& Rng) {
  const int Period = Rng.Between(2, 7);
  const int Thickness = Rng.Between(1, Period - 1);
  const int Shift = Rng.Below(Period);
  const bool Anti = Rng.Chance(50);
  const bool LinesOpen = Rng.Chance(50);
  TSegment Segment = SegmentWhere([&](int R, int C) {
    const bool OnLine = ((Anti ? R + C : R - C + kSide) + Shift) % Period < Thickness;
    return OnLine != LinesOpen;
  });
  if (Rng.Chance(40)) FlipRandomCells(Segment, Rng, Rng.Between(1, 6));
  return Segment;
}

// Rows made of whole bytes of typical bit patterns, so that runs start and end at byte borders.
TSegment MakeBytePatterns(TRng& Rng) {
  constexpr std::array<std::uint8_t, 8> kBytes{0x00, 0xFF, 0x55, 0xAA, 0x0F, 0xF0, 0x81, 0x7E};
  TSegment Segment;
  for (int R = 0; R < kSide; ++R) {
    const bool SameByte = Rng.Chance(40);
    const std::uint8_t RowByte = kBytes[static_cast<std::size_t>(Rng.Below(8))];
    for (int K = 0; K < 8; ++K) {
      std::uint8_t Byte = RowByte;
      if (!SameByte) {
        Byte = Rng.Chance(20) ? static_cast<std::uint8_t>(Rng.Next())
                              : kBytes[static_cast<std::size_t>(Rng.Below(8))];
      }
      Segment[static_cast<std::size_t>(R * 8 + K)] = Byte;
    }
  }
  return Segment;
}

TSegment MakeSingleOpenCell(TRng& Rng) {
  TSegment Segment = Filled(true);
  SetCell(Segment, Rng.Below(kSide), Rng.Below(kSide), false);
  return Segment;
}

TSegment MakeSingleBlockedCell(TRng& Rng) {
  TSegment Segment = Filled(false);
  SetCell(Segment, Rng.Below(kSide), Rng.Below(kSide), true);
  return Segment;
}

struct TSegmentKind {
  std::string Name;
  int Count;
  std::function<TSegment(TRng&)> Make;
};

std::vector<TSegmentKind> SegmentKinds() {
  std::vector<TSegmentKind> Kinds;
  for (const int Percent : {1, 5, 10, 20, 30, 35, 40, 45, 50, 55, 60, 70, 80, 90, 95}) {
    Kinds.push_back({"Noise" + std::to_string(Percent) + "PercentBlocked", 800,
                     [Percent](TRng& Rng) { return MakeNoise(Rng, Percent); }});
  }
  Kinds.push_back({"Stripes", 1500, MakeStripes});
  Kinds.push_back({"WallsWithGaps", 1500, MakeWalls});
  Kinds.push_back({"EqualIslands", 2000, MakeEqualIslands});
  Kinds.push_back({"Checkerboards", 1200, MakeCheckerboard});
  Kinds.push_back({"UShapesAndCombs", 1500, MakeUShapes});
  Kinds.push_back({"Spirals", 800, MakeSpiral});
  Kinds.push_back({"Rings", 800, MakeRings});
  Kinds.push_back({"Mazes", 600, MakeMaze});
  Kinds.push_back({"Rectangles", 1500, MakeRectangles});
  Kinds.push_back({"Diagonals", 800, MakeDiagonals});
  Kinds.push_back({"BytePatterns", 800, MakeBytePatterns});
  Kinds.push_back({"SingleOpenCell", 300, MakeSingleOpenCell});
  Kinds.push_back({"SingleBlockedCell", 300, MakeSingleBlockedCell});
  Kinds.push_back({"AllOpen", 1, [](TRng&) { return Filled(false); }});
  Kinds.push_back({"AllBlocked", 1, [](TRng&) { return Filled(true); }});
  return Kinds;
}

// Test names and failure reports show a kind by its name.
void PrintTo(const TSegmentKind& Kind, std::ostream* Out) {
  *Out << Kind.Name;
}

class AreaModelDifferential : public ::testing::TestWithParam<TSegmentKind> {};

TEST_P(AreaModelDifferential, LabelsInfoAndWaypointsMatchTheModel) {
  const TSegmentKind& Kind = GetParam();
  int Failures = 0;
  for (int N = 0; N < Kind.Count && Failures < 3; ++N) {
    const std::uint64_t Seed = NameSeed(Kind.Name) + static_cast<std::uint64_t>(N);
    TRng Rng(Seed);
    const TSegment Segment = Kind.Make(Rng);
    if (const auto Mismatch = CheckSegment(Segment)) {
      ++Failures;
      ADD_FAILURE() << "kind " << Kind.Name << ", seed 0x" << std::hex << Seed << ": " << *Mismatch
                    << "\nsegment ('#' blocked):\n"
                    << DrawSegment(Segment);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AreaModelDifferential, ::testing::ValuesIn(SegmentKinds()),
                         [](const ::testing::TestParamInfo<TSegmentKind>& Info) {
                           return Info.param.Name;
                         });

// ---------------------------------------------------------------------------------------------
// Info values and waypoints over area maps no labelling would produce: sparse areas, areas only
// on the cells of one pass of the waypoint search, and dense random numbers.

// A random cell first visited in the given pass of the waypoint search (1 ... 6).
std::pair<int, int> CellOfPass(TRng& Rng, int Pass) {
  if (Pass == 6) {
    // Row or column 0, or an odd row or column.
    while (true) {
      const int R = Rng.Below(kSide);
      const int C = Rng.Below(kSide);
      if (R == 0 || C == 0 || R % 2 == 1 || C % 2 == 1) return {R, C};
    }
  }
  const int Step = kSide >> Pass;  // 32, 16, 8, 4, 2
  while (true) {
    const int R = Step * Rng.Between(1, (1 << Pass) - 1);
    const int C = Step * Rng.Between(1, (1 << Pass) - 1);
    // Not on the coarser grid of an earlier pass.
    if ((R / Step) % 2 == 1 || (C / Step) % 2 == 1) return {R, C};
  }
}

struct TAreaMapCase {
  TAreaSegment Map;
  std::int32_t Count;
};

struct TAreaMapKind {
  std::string Name;
  int Count;
  std::function<TAreaMapCase(TRng&)> Make;
};

// Each area on one to three random cells; sometimes one area below the count is missing, or a
// later area has overwritten every cell of an earlier one, which must fail the same way in both.
TAreaMapCase MakeSparseAreas(TRng& Rng) {
  TAreaMapCase Case{FilledAreaMap(0), Rng.Between(1, 4)};
  const int Missing = Rng.Chance(15) ? Rng.Between(1, Case.Count) : 0;
  for (int A = 1; A <= Case.Count; ++A) {
    if (A == Missing) continue;
    const int Cells = Rng.Between(1, 3);
    for (int K = 0; K < Cells; ++K)
      Case.Map[CellIndex(Rng.Below(kSide), Rng.Below(kSide))] = static_cast<std::uint8_t>(A);
  }
  return Case;
}

// Each area on a few cells of one or two chosen passes, so that ordering within and between
// passes decides.
TAreaMapCase MakePassAreas(TRng& Rng) {
  TAreaMapCase Case{FilledAreaMap(0), Rng.Between(1, 4)};
  for (int A = 1; A <= Case.Count; ++A) {
    const int Passes = Rng.Between(1, 2);
    for (int P = 0; P < Passes; ++P) {
      const int Pass = Rng.Between(1, 6);
      const int Cells = Rng.Between(1, 4);
      for (int K = 0; K < Cells; ++K) {
        const auto [R, C] = CellOfPass(Rng, Pass);
        Case.Map[CellIndex(R, C)] = static_cast<std::uint8_t>(A);
      }
    }
  }
  // Areas numbered above the count lie anywhere and must be ignored.
  if (Rng.Chance(30)) {
    for (int K = 0; K < 20; ++K) {
      const int A = Rng.Between(Case.Count + 1, 5);
      if (A <= 4)
        Case.Map[CellIndex(Rng.Below(kSide), Rng.Below(kSide))] = static_cast<std::uint8_t>(A);
    }
  }
  return Case;
}

TAreaMapCase MakeDenseAreas(TRng& Rng) {
  const int Density = Rng.Between(1, 100);
  TAreaMapCase Case{
      AreaMapWhere([&](int, int) { return Rng.Chance(Density) ? Rng.Between(1, 4) : 0; }),
      Rng.Between(0, 4)};
  return Case;
}

void PrintTo(const TAreaMapKind& Kind, std::ostream* Out) {
  *Out << Kind.Name;
}

class AreaMapDifferential : public ::testing::TestWithParam<TAreaMapKind> {};

TEST_P(AreaMapDifferential, InfoAndWaypointsMatchTheModel) {
  const TAreaMapKind& Kind = GetParam();
  int Failures = 0;
  for (int N = 0; N < Kind.Count && Failures < 3; ++N) {
    const std::uint64_t Seed = NameSeed(Kind.Name) + static_cast<std::uint64_t>(N);
    TRng Rng(Seed);
    const TAreaMapCase Case = Kind.Make(Rng);
    std::optional<std::string> Mismatch;
    if (auto Difference = CompareInfo(Case.Map)) {
      Mismatch = "ReduceToInfo, info value at " + *Difference;
    } else if (auto WaypointDifference = CompareWaypoints(Case.Map, Case.Count)) {
      Mismatch = "CalculateWaypoint with area count " + std::to_string(Case.Count) + ", " +
                 *WaypointDifference;
    }
    if (Mismatch) {
      ++Failures;
      ADD_FAILURE() << "kind " << Kind.Name << ", seed 0x" << std::hex << Seed << ": " << *Mismatch
                    << "\narea map:\n"
                    << DrawAreaMap(Case.Map);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Kinds, AreaMapDifferential,
                         ::testing::Values(TAreaMapKind{"SparseAreas", 3000, MakeSparseAreas},
                                           TAreaMapKind{"PassAreas", 3000, MakePassAreas},
                                           TAreaMapKind{"DenseAreas", 1000, MakeDenseAreas}),
                         [](const ::testing::TestParamInfo<TAreaMapKind>& Info) {
                           return Info.param.Name;
                         });

// ---------------------------------------------------------------------------------------------
// Labelling cases known by hand.

struct TLabelCase {
  const char* Name;
  TCellPicture Cells;
  std::int32_t Count;
};

TCellPicture EvenColumnsOfRows0And2() {
  return [](int R, int C) {
    if ((R != 0 && R != 2) || C % 2 != 0) return '#';
    if (R == 0 && C < 8) return static_cast<char>('1' + C / 2);
    return '.';
  };
}

TCellPicture Checkerboard() {
  return [](int R, int C) {
    if ((R + C) % 2 != 0) return '#';
    if (R == 0 && C < 8) return static_cast<char>('1' + C / 2);
    return '.';
  };
}

std::vector<TLabelCase> LabelCases() {
  return {
      {"AllBlocked", [](int, int) { return '#'; }, 0},
      {"AllOpen", [](int, int) { return '1'; }, 1},
      {"Columns31And63Blocked",
       [](int, int C) {
         if (C == 31 || C == 63) return '#';
         return C < 31 ? '1' : '2';
       },
       2},
      {"OnlyTheLastCornerOpen", [](int R, int C) { return R == 63 && C == 63 ? '1' : '#'; }, 1},
      {"OnlyTheLastRowBlocked", [](int R, int) { return R == 63 ? '#' : '1'; }, 1},
      // The U starts as two arms in row 0 and joins at row 8; the bar to its right started after
      // both arms and must keep its place ahead of the equal bar further down.
      {"UShapeJoinedAtTheBottom",
       Picture({
           "11###11111##2",
           "11###11111##2",
           "11###11111##2",
           "11###11111##2",
           "11###11111##2",
           "11###11111##2",
           "11###11111",
           "11###11111",
           "1111111111##3",
           "############3",
           "############3",
           "############3",
           "############3",
           "############3",
       }),
       3},
      // Sizes 7, 9 (square, first cell (2, 6)), 9 (bar, first cell (3, 2)), 8 and 10 in scan
      // order: of the two 9s the square comes first although the bar lies further left.
      {"FiveAreasOfSizes10_9_9_8_7",
       Picture({
           ".......",
           "#",
           "######222",
           "##3###222",
           "##3###222",
           "##3",
           "##3",
           "##3",
           "##3",
           "##3",
           "##3",
           "##3",
           "#",
           "44444444",
           "#",
           "1111111111",
       }),
       4},
      // Far more separate areas than are kept, all of one cell, open at once in the first rows.
      {"EvenColumnsOfRows0And2", EvenColumnsOfRows0And2(), 4},
      {"Checkerboard", Checkerboard(), 4},
  };
}

TEST(AreaLabelling, KnownSegments) {
  for (const TLabelCase& Case : LabelCases()) {
    SCOPED_TRACE(Case.Name);
    const TSegment Segment = SegmentWhere([&](int R, int C) { return Case.Cells(R, C) == '#'; });
    const TAreaSegment Expected = AreaMapWhere([&](int R, int C) {
      const char Cell = Case.Cells(R, C);
      return Cell >= '1' && Cell <= '4' ? Cell - '0' : 0;
    });
    TAreaSegment Actual;
    Actual.fill(0xCC);
    std::int32_t Count = -7;
    ASSERT_NO_THROW(LabelAreas(Segment, Actual, Count));
    EXPECT_EQ(Count, Case.Count);
    const auto Difference = FirstDifference(Expected, Actual, kSide);
    EXPECT_FALSE(Difference) << "area map at " << *Difference << "\ngot:\n" << DrawAreaMap(Actual);
  }
}

// The hand-made expectations above also pin the model down, so that the differential tests
// compare against something known to be right.
TEST(AreaLabelling, ModelAgreesWithKnownSegments) {
  for (const TLabelCase& Case : LabelCases()) {
    SCOPED_TRACE(Case.Name);
    const TSegment Segment = SegmentWhere([&](int R, int C) { return Case.Cells(R, C) == '#'; });
    const TAreaSegment Expected = AreaMapWhere([&](int R, int C) {
      const char Cell = Case.Cells(R, C);
      return Cell >= '1' && Cell <= '4' ? Cell - '0' : 0;
    });
    TAreaSegment Actual;
    std::int32_t Count = -7;
    ModelLabelAreas(Segment, Actual, Count);
    EXPECT_EQ(Count, Case.Count);
    EXPECT_FALSE(FirstDifference(Expected, Actual, kSide));
  }
}

// ---------------------------------------------------------------------------------------------
// Info reduction.

struct TBlockCase {
  const char* Name;
  std::array<std::uint8_t, 4> Cells;  // top left, top right, bottom left, bottom right
  std::uint8_t Value;
};

TEST(InfoReduction, TheFirstCellOfTheBlockInAreas1To3Decides) {
  const std::vector<TBlockCase> Cases{
      {"Area2TopLeftArea1BottomRight", {2, 0, 0, 1}, 1},
      {"OnlyArea4AndBlocked", {4, 0, 4, 0}, 3},
      {"Area4TopLeftArea3TopRight", {4, 3, 0, 0}, 2},
      {"Area4ThenArea2BottomLeft", {4, 4, 2, 1}, 1},
      {"OnlyBottomRight", {0, 0, 0, 3}, 2},
      {"OnlyBottomLeft", {0, 0, 1, 0}, 0},
      {"Empty", {0, 0, 0, 0}, 3},
      {"Full", {1, 1, 1, 1}, 0},
  };
  for (const TBlockCase& Case : Cases) {
    for (const auto& [BR, BC] : {std::pair{0, 0}, std::pair{5, 7}, std::pair{31, 31}}) {
      SCOPED_TRACE(std::string(Case.Name) + " at info cell (" + std::to_string(BR) + ", " +
                   std::to_string(BC) + ")");
      TAreaSegment Map = FilledAreaMap(0);
      Map[CellIndex(2 * BR, 2 * BC)] = Case.Cells[0];
      Map[CellIndex(2 * BR, 2 * BC + 1)] = Case.Cells[1];
      Map[CellIndex(2 * BR + 1, 2 * BC)] = Case.Cells[2];
      Map[CellIndex(2 * BR + 1, 2 * BC + 1)] = Case.Cells[3];
      TInfoSegment Expected;
      Expected.fill(3);
      Expected[static_cast<std::size_t>(BR * kInfoSide + BC)] = Case.Value;
      TInfoSegment Actual;
      Actual.fill(0xCC);
      ReduceToInfo(Map, Actual);
      const auto Difference = FirstDifference(Expected, Actual, kInfoSide);
      EXPECT_FALSE(Difference) << *Difference;
    }
  }
}

TEST(InfoReduction, UniformAreaMaps) {
  // Area -> the value of every info cell; area 4 is never represented.
  for (const auto& [Area, Value] :
       {std::pair<std::uint8_t, std::uint8_t>{0, 3}, {1, 0}, {2, 1}, {3, 2}, {4, 3}}) {
    SCOPED_TRACE("area " + std::to_string(Area));
    TInfoSegment Actual;
    Actual.fill(0xCC);
    ReduceToInfo(FilledAreaMap(Area), Actual);
    TInfoSegment Expected;
    Expected.fill(Value);
    const auto Difference = FirstDifference(Expected, Actual, kInfoSide);
    EXPECT_FALSE(Difference) << *Difference;
  }
}

// ---------------------------------------------------------------------------------------------
// Waypoint placement.

struct TWaypointCase {
  const char* Name;
  std::function<int(int, int)> Area;
  std::int32_t Count;
  std::array<std::uint8_t, 16> Record;
};

TEST(WaypointPlacement, KnownAreaMaps) {
  const std::vector<TWaypointCase> Cases{
      {"FullyOpen", [](int, int) { return 1; }, 1, {0, 0, 0, 0, 32, 32, 0, 0, 0, 0, 0, 0, 0x10}},
      {"OnlyInColumn0",
       [](int R, int C) { return C == 0 && R >= 10 && R <= 50 ? 1 : 0; },
       1,
       {0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0x10}},
      {"OnlyInRow0",
       [](int R, int C) { return R == 0 && C >= 20 ? 1 : 0; },
       1,
       {0, 0, 0, 0, 20, 0, 0, 0, 0, 0, 0, 0, 0x10}},
      // (16, 48) and (32, 16) are both cells of the second pass, which runs row by row; (8, 8)
      // comes earlier in row-major order but only in the third pass.
      {"RowOrderWithinAPass",
       [](int R, int C) {
         return (R == 16 && C == 48) || (R == 32 && C == 16) || (R == 8 && C == 8) ? 1 : 0;
       },
       1,
       {0, 0, 0, 0, 48, 16, 0, 0, 0, 0, 0, 0, 0x10}},
      // (2, 2) lies on the grid of the fifth pass, (1, 1) only in the last.
      {"CoarserCellBeatsEarlierFinerOne",
       [](int R, int C) { return R == C && R <= 2 ? 1 : 0; },
       1,
       {0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 0, 0, 0x10}},
      {"Area2CoversTheMiddle",
       [](int R, int C) { return R >= 30 && R <= 34 && C >= 30 && C <= 34 ? 2 : 1; },
       2,
       {0, 0, 0, 0, 16, 16, 32, 32, 0, 0, 0, 0, 0x30}},
      {"ThreeBands",
       [](int R, int) {
         if (R <= 20) return 1;
         return R <= 41 ? 2 : 3;
       },
       3,
       {0, 0, 0, 0, 16, 16, 32, 32, 16, 48, 0, 0, 0x70}},
      {"FourQuadrants",
       [](int R, int C) { return 1 + (C >= 32 ? 1 : 0) + (R >= 32 ? 2 : 0); },
       4,
       {0, 0, 0, 0, 16, 16, 32, 16, 16, 32, 32, 32, 0xF0}},
      // Only areas up to the count are placed; the points of the others stay 0.
      {"AreasAboveTheCountIgnored",
       [](int, int C) { return C < 32 ? 1 : 2; },
       1,
       {0, 0, 0, 0, 16, 16, 0, 0, 0, 0, 0, 0, 0x10}},
      {"CountZeroWritesNothing", [](int, int) { return 1; }, 0, {}},
      {"OneAreaPerPass",
       [](int R, int C) {
         if ((R == 17 && C == 3) || (R == 0 && C == 5)) return 1;   // both only in the last pass
         if ((R == 60 && C == 4) || (R == 8 && C == 40)) return 2;  // fourth and third pass
         if (R == 62 && C == 2) return 3;                           // fifth pass
         if (R == 33 && C == 32) return 4;                          // last pass
         return 0;
       },
       4,
       {0, 0, 0, 0, 5, 0, 40, 8, 2, 62, 32, 33, 0xF0}},
  };
  // The model is held to the same answers, so that the differential tests compare against
  // something known to be right.
  using TCalculate = void (*)(const TAreaSegment&, std::int32_t, TWaypointSegment&);
  for (const auto& [Who, Calculate] :
       {std::pair<const char*, TCalculate>{"real", CalculateWaypoint},
        {"model", ModelCalculateWaypoint}}) {
    for (const TWaypointCase& Case : Cases) {
      SCOPED_TRACE(std::string(Case.Name) + " (" + Who + ")");
      const TWaypointOutcome Outcome = RunWaypoint(Calculate, AreaMapWhere(Case.Area), Case.Count);
      ASSERT_FALSE(Outcome.Failure) << *Outcome.Failure;
      const auto Difference = FirstRecordDifference(RecordFromBytes(Case.Record), Outcome.Record);
      EXPECT_FALSE(Difference) << *Difference;
    }
  }
}

// An area count that promises more areas than the map holds is a broken caller, not a map to
// make the best of.
TEST(WaypointPlacement, AnAreaCountWithoutCellsFails) {
  struct TCase {
    const char* Name;
    std::function<int(int, int)> Area;
    std::int32_t Count;
  };
  const std::vector<TCase> Cases{
      {"NoCellsCountOne", [](int, int) { return 0; }, 1},
      {"OneAreaCountTwo", [](int, int) { return 1; }, 2},
      {"Area3MissingCountFour",
       [](int, int C) {
         if (C < 20) return 1;
         return C < 40 ? 2 : 4;
       },
       4},
  };
  using TCalculate = void (*)(const TAreaSegment&, std::int32_t, TWaypointSegment&);
  for (const auto& [Who, Calculate] :
       {std::pair<const char*, TCalculate>{"real", CalculateWaypoint},
        {"model", ModelCalculateWaypoint}}) {
    for (const TCase& Case : Cases) {
      SCOPED_TRACE(std::string(Case.Name) + " (" + Who + ")");
      const TWaypointOutcome Outcome = RunWaypoint(Calculate, AreaMapWhere(Case.Area), Case.Count);
      EXPECT_EQ(Outcome.Failure, std::optional<std::string>("Logic failure in CalculateWaypoint"));
    }
  }
}

// ---------------------------------------------------------------------------------------------
// Links across one boundary.

// The boundary rows, as digit strings from column 0 (row 63 of the upper or left segment, row 0
// of the lower or right one), padded with 0.
struct TBoundaryCase {
  const char* Name;
  const char* Near;
  const char* Far;
  std::array<std::uint8_t, 2> Links;
};

std::uint8_t Digit(const char* Text, int K) {
  return static_cast<std::uint8_t>(static_cast<int>(std::strlen(Text)) > K ? Text[K] - '0' : 0);
}

// Runs a boundary case both ways: as the bottom/top rows through LinkDown and, transposed, as the
// right/left columns through LinkRight. Decoy fills the rest of both maps with another area so
// that reading the wrong row or column shows.
void CheckBoundaryCase(const TBoundaryCase& Case, std::uint8_t Decoy) {
  SCOPED_TRACE(std::string(Case.Name) + ", decoy area " + std::to_string(Decoy));
  const TAreaSegment Upper =
      AreaMapWhere([&](int R, int C) { return R == kSide - 1 ? Digit(Case.Near, C) : Decoy; });
  const TAreaSegment Lower =
      AreaMapWhere([&](int R, int C) { return R == 0 ? Digit(Case.Far, C) : Decoy; });
  const TAreaSegment Left =
      AreaMapWhere([&](int R, int C) { return C == kSide - 1 ? Digit(Case.Near, R) : Decoy; });
  const TAreaSegment Right =
      AreaMapWhere([&](int R, int C) { return C == 0 ? Digit(Case.Far, R) : Decoy; });

  TWaypointSegment Down;
  LinkDown(AreaEdges(Upper), AreaEdges(Lower), Down);
  TWaypointSegment ExpectedDown;
  ExpectedDown.DownLinks = Case.Links;
  auto Difference = FirstRecordDifference(ExpectedDown, Down);
  EXPECT_FALSE(Difference) << "LinkDown: " << *Difference;

  TWaypointSegment RightRecord;
  LinkRight(AreaEdges(Left), AreaEdges(Right), RightRecord);
  TWaypointSegment ExpectedRight;
  ExpectedRight.RightLinks = Case.Links;
  Difference = FirstRecordDifference(ExpectedRight, RightRecord);
  EXPECT_FALSE(Difference) << "LinkRight: " << *Difference;
}

TEST(SegmentLinks, KnownBoundaries) {
  const std::string AllOnes(kSide, '1');
  const std::vector<TBoundaryCase> Cases{
      {"TwoOpenSegments", AllOnes.c_str(), AllOnes.c_str(), {0x01, 0x00}},
      {"Area2TouchesAreas1And3", "2222222222", "1111133333", {0x50, 0x00}},
      {"Area4TouchesArea4", "0000000004", "0000000004", {0x00, 0x80}},
      {"Area3TouchesArea2AtTheLastCell",
       "0000000000000000000000000000000000000000000000000000000000000003",
       "0000000000000000000000000000000000000000000000000000000000000002",
       {0x00, 0x02}},
      {"EveryPair", "1111222233334444", "1234123412341234", {0xFF, 0xFF}},
      {"DiagonalNeighboursDoNotTouch", "1020304", "0102030", {0x00, 0x00}},
      {"ErasedCellsTakePartInNoLink", "0000111100", "1111000011", {0x00, 0x00}},
  };
  for (const TBoundaryCase& Case : Cases) {
    for (const std::uint8_t Decoy : {0, 3}) CheckBoundaryCase(Case, Decoy);
  }
}

TEST(SegmentLinks, EachPairHasItsOwnBit) {
  // Area A of this segment touching area B of the neighbour: the byte of the link word and the
  // bit in it.
  struct TPair {
    int A, B, Byte;
    std::uint8_t Bits;
  };
  const std::vector<TPair> Pairs{
      {1, 1, 0, 0x01}, {1, 2, 0, 0x02}, {1, 3, 0, 0x04}, {1, 4, 0, 0x08},
      {2, 1, 0, 0x10}, {2, 2, 0, 0x20}, {2, 3, 0, 0x40}, {2, 4, 0, 0x80},
      {3, 1, 1, 0x01}, {3, 2, 1, 0x02}, {3, 3, 1, 0x04}, {3, 4, 1, 0x08},
      {4, 1, 1, 0x10}, {4, 2, 1, 0x20}, {4, 3, 1, 0x40}, {4, 4, 1, 0x80},
  };
  for (const TPair& Pair : Pairs) {
    const std::string Near = std::string(37, '0') + static_cast<char>('0' + Pair.A);
    const std::string Far = std::string(37, '0') + static_cast<char>('0' + Pair.B);
    std::array<std::uint8_t, 2> Links{};
    Links[static_cast<std::size_t>(Pair.Byte)] = Pair.Bits;
    const std::string Name = "area " + std::to_string(Pair.A) + " to " + std::to_string(Pair.B);
    CheckBoundaryCase({Name.c_str(), Near.c_str(), Far.c_str(), Links}, 0);
  }
}

TEST(SegmentLinks, BitsAreAddedToTheRecord) {
  TWaypointSegment Record =
      RecordFromBytes({0x0E, 0x70, 0x21, 0x84, 1, 2, 3, 4, 5, 6, 7, 8, 0x30, 0, 0, 0});
  LinkDown(AreaEdges(FilledAreaMap(1)), AreaEdges(FilledAreaMap(1)), Record);
  LinkRight(AreaEdges(FilledAreaMap(3)), AreaEdges(FilledAreaMap(2)), Record);
  const auto Difference = FirstRecordDifference(
      RecordFromBytes({0x0F, 0x70, 0x21, 0x86, 1, 2, 3, 4, 5, 6, 7, 8, 0x30, 0, 0, 0}), Record);
  EXPECT_FALSE(Difference) << *Difference;
}

// ---------------------------------------------------------------------------------------------
// Links over a grid.

struct TLinkGrid {
  explicit TLinkGrid(std::uint32_t N) : Maps(N), Counts(N), Records(N) {}
  void Set(std::uint32_t I, std::uint32_t J, const TAreaSegment& Map, std::int32_t Count) {
    Maps[I][J] = Map;
    Counts[I][J] = Count;
  }
  // Links from the borders of the maps, as the run keeps them: none where there is no area.
  void Link() {
    TAreaBorderMap Borders(Maps.Size());
    for (std::size_t K = 0; K < Maps.All().size(); ++K) {
      if (Counts.All()[K] > 0) Borders.All()[K] = AreaEdges(Maps.All()[K]);
    }
    LinkSegments(Borders, Records);
  }

  TGrid<TAreaSegment> Maps;
  TAreaCount Counts;
  TWaypointSegments Records;
};

void ExpectLinks(const TLinkGrid& Grid, std::uint32_t I, std::uint32_t J,
                 std::array<std::uint8_t, 2> Down, std::array<std::uint8_t, 2> Right) {
  TWaypointSegment Expected;
  Expected.DownLinks = Down;
  Expected.RightLinks = Right;
  const auto Difference = FirstRecordDifference(Expected, Grid.Records[I][J]);
  EXPECT_FALSE(Difference) << "segment (" << I << ", " << J << "): " << *Difference;
}

TEST(SegmentLinks, OpenGridLinksDownAndRightOnly) {
  TLinkGrid Grid(2);
  for (std::uint32_t I = 0; I < 2; ++I) {
    for (std::uint32_t J = 0; J < 2; ++J) Grid.Set(I, J, FilledAreaMap(1), 1);
  }
  Grid.Link();
  ExpectLinks(Grid, 0, 0, {0x01, 0}, {0x01, 0});
  ExpectLinks(Grid, 0, 1, {0x01, 0}, {0, 0});
  ExpectLinks(Grid, 1, 0, {0, 0}, {0x01, 0});
  ExpectLinks(Grid, 1, 1, {0, 0}, {0, 0});
}

TEST(SegmentLinks, OneSegmentHasNoLinks) {
  TLinkGrid Grid(1);
  Grid.Set(0, 0, FilledAreaMap(1), 1);
  Grid.Link();
  ExpectLinks(Grid, 0, 0, {0, 0}, {0, 0});
}

TEST(SegmentLinks, DiagonalContactAtACornerIsNoLink) {
  // Segment (0, 0) is open only at its last corner, (1, 1) only at its first; the other two have
  // an area away from that corner.
  TLinkGrid Grid(2);
  Grid.Set(0, 0, AreaMapWhere([](int R, int C) { return R == 63 && C == 63 ? 1 : 0; }), 1);
  Grid.Set(1, 1, AreaMapWhere([](int R, int C) { return R == 0 && C == 0 ? 1 : 0; }), 1);
  const TAreaSegment Middle = AreaMapWhere([](int R, int C) { return R == 32 && C == 32 ? 1 : 0; });
  Grid.Set(0, 1, Middle, 1);
  Grid.Set(1, 0, Middle, 1);
  Grid.Link();
  for (std::uint32_t I = 0; I < 2; ++I) {
    for (std::uint32_t J = 0; J < 2; ++J) ExpectLinks(Grid, I, J, {0, 0}, {0, 0});
  }
}

TEST(SegmentLinks, SegmentsWithoutAreasAreNotLinked) {
  // (0, 0) and (1, 1) are open; (0, 1) and (1, 0) have no areas. The counts decide: (1, 0) even
  // carries a stale area map, which must not be read.
  TLinkGrid Grid(2);
  Grid.Set(0, 0, FilledAreaMap(1), 1);
  Grid.Set(1, 1, FilledAreaMap(1), 1);
  Grid.Set(1, 0, FilledAreaMap(2), 0);
  Grid.Link();
  for (std::uint32_t I = 0; I < 2; ++I) {
    for (std::uint32_t J = 0; J < 2; ++J) ExpectLinks(Grid, I, J, {0, 0}, {0, 0});
  }
}

// Random boundaries between two area maps, with random bits already in the record.
TEST(SegmentLinks, BoundariesMatchTheModel) {
  const std::uint64_t Base = NameSeed("Boundaries");
  int Failures = 0;
  for (int N = 0; N < 3000 && Failures < 3; ++N) {
    const std::uint64_t Seed = Base + static_cast<std::uint64_t>(N);
    TRng Rng(Seed);
    const int Density = Rng.Between(1, 100);
    auto RandomMap = [&] {
      return AreaMapWhere([&](int, int) { return Rng.Chance(Density) ? Rng.Between(1, 4) : 0; });
    };
    const TAreaSegment First = RandomMap();
    const TAreaSegment Second = RandomMap();
    std::array<std::uint8_t, 16> Start;
    for (auto& Byte : Start) Byte = Rng.Chance(50) ? 0 : static_cast<std::uint8_t>(Rng.Next());
    for (const bool Down : {true, false}) {
      TWaypointSegment Expected = RecordFromBytes(Start);
      TWaypointSegment Actual = RecordFromBytes(Start);
      if (Down) {
        ModelLinkDown(First, Second, Expected);
        LinkDown(AreaEdges(First), AreaEdges(Second), Actual);
      } else {
        ModelLinkRight(First, Second, Expected);
        LinkRight(AreaEdges(First), AreaEdges(Second), Actual);
      }
      if (const auto Difference = FirstRecordDifference(Expected, Actual)) {
        ++Failures;
        ADD_FAILURE() << (Down ? "LinkDown" : "LinkRight") << ", seed 0x" << std::hex << Seed
                      << ": " << *Difference;
      }
    }
  }
}

// Random 3 x 3 grids: segments labelled by the model from the generated kinds, random boundary
// maps with any count, and empty ones; records start with random bits.
TEST(SegmentLinks, GridsMatchTheModel) {
  const std::vector<TSegmentKind> Kinds = SegmentKinds();
  const std::uint64_t Base = NameSeed("Grids");
  constexpr std::uint32_t kN = 3;
  int Failures = 0;
  for (int N = 0; N < 600 && Failures < 3; ++N) {
    const std::uint64_t Seed = Base + static_cast<std::uint64_t>(N);
    TRng Rng(Seed);
    TLinkGrid Grid(kN);
    TGrid<TWaypointSegment> Expected(kN);
    for (std::uint32_t I = 0; I < kN; ++I) {
      for (std::uint32_t J = 0; J < kN; ++J) {
        const int Choice = Rng.Below(10);
        TAreaSegment Map = FilledAreaMap(0);
        std::int32_t Count = 0;
        if (Choice < 4) {
          const TSegmentKind& Kind =
              Kinds[static_cast<std::size_t>(Rng.Below(static_cast<int>(Kinds.size())))];
          ModelLabelAreas(Kind.Make(Rng), Map, Count);
        } else if (Choice < 8) {
          const int Density = Rng.Between(1, 100);
          Map = AreaMapWhere([&](int, int) { return Rng.Chance(Density) ? Rng.Between(1, 4) : 0; });
          Count = Rng.Chance(15) ? 0 : Rng.Between(1, 4);
        }
        Grid.Set(I, J, Map, Count);
        std::array<std::uint8_t, 16> Start{};
        for (auto& Byte : Start) Byte = Rng.Chance(70) ? 0 : static_cast<std::uint8_t>(Rng.Next());
        Grid.Records[I][J] = RecordFromBytes(Start);
        Expected[I][J] = RecordFromBytes(Start);
      }
    }
    ModelLinkSegments(Grid.Maps, Grid.Counts, Expected, kN);
    Grid.Link();
    for (std::uint32_t I = 0; I < kN; ++I) {
      for (std::uint32_t J = 0; J < kN; ++J) {
        if (const auto Difference = FirstRecordDifference(Expected[I][J], Grid.Records[I][J])) {
          ++Failures;
          ADD_FAILURE() << "seed 0x" << std::hex << Seed << ", segment (" << std::dec << I << ", "
                        << J << "): " << *Difference;
        }
      }
    }
  }
}

}  // namespace
}  // namespace varnholt
