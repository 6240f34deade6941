#include "TestModel.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <vector>

namespace varnholt::model {
namespace {

constexpr int kSide = 64;

std::size_t CellIndex(int R, int C) {
  return static_cast<std::size_t>(R * kSide + C);
}

// The pass of the coarse-to-fine search in which a cell is first looked at.
int PassOf(int Row, int Column) {
  if (Row == 0 || Column == 0) return 6;
  const int Zeros = std::min(std::countr_zero(static_cast<unsigned>(Row)),
                             std::countr_zero(static_cast<unsigned>(Column)));
  return 6 - Zeros;
}

// Where the table of link bits puts area A of this segment: the byte within the link word, and
// the bit for neighbour area B is Base + B.
struct TLinkPlace {
  int Byte;
  int Base;
};
constexpr std::array<TLinkPlace, 5> kLinkPlaces{{{0, 0}, {0, -1}, {0, 3}, {1, -1}, {1, 3}}};

void SetLink(std::array<std::uint8_t, 2>& Links, int A, int B) {
  // Cells outside 1 ... 4 are not areas and take part in no link.
  if (A < 1 || A > 4 || B < 1 || B > 4) return;
  const TLinkPlace Place = kLinkPlaces[static_cast<std::size_t>(A)];
  Links[static_cast<std::size_t>(Place.Byte)] |= static_cast<std::uint8_t>(1u << (Place.Base + B));
}

}  // namespace

std::vector<int> ModelComponents(const TSegment& Segment) {
  constexpr int kCells = kSide * kSide;
  // Areas are numbered 0, 1, ... in the row-major order of their first cells, because the scan
  // starts a fill at the first cell of every area not yet reached.
  std::vector<int> AreaOf(kCells, -1);
  int Count = 0;
  std::vector<int> Stack;
  for (int First = 0; First < kCells; ++First) {
    if (IsBlocked(Segment, First / kSide, First % kSide) ||
        AreaOf[static_cast<std::size_t>(First)] >= 0)
      continue;
    const int Area = Count++;
    AreaOf[static_cast<std::size_t>(First)] = Area;
    Stack.push_back(First);
    while (!Stack.empty()) {
      const int Cell = Stack.back();
      Stack.pop_back();
      const int R = Cell / kSide;
      const int C = Cell % kSide;
      auto Visit = [&](int NR, int NC) {
        if (NR < 0 || NR >= kSide || NC < 0 || NC >= kSide) return;
        const std::size_t Next = CellIndex(NR, NC);
        if (IsBlocked(Segment, NR, NC) || AreaOf[Next] >= 0) return;
        AreaOf[Next] = Area;
        Stack.push_back(static_cast<int>(Next));
      };
      Visit(R - 1, C);
      Visit(R + 1, C);
      Visit(R, C - 1);
      Visit(R, C + 1);
    }
  }
  return AreaOf;
}

void ModelLabelAreas(const TSegment& Segment, TAreaSegment& AreaMap, std::int32_t& AreaCount) {
  const std::vector<int> AreaOf = ModelComponents(Segment);
  std::vector<int> Sizes;
  for (const int Area : AreaOf) {
    if (Area < 0) continue;
    if (static_cast<std::size_t>(Area) == Sizes.size()) Sizes.push_back(0);
    ++Sizes[static_cast<std::size_t>(Area)];
  }
  // Stable, so areas of equal size keep the order of their first cells.
  std::vector<int> Order(Sizes.size());
  for (std::size_t K = 0; K < Order.size(); ++K) Order[K] = static_cast<int>(K);
  std::stable_sort(Order.begin(), Order.end(), [&](int A, int B) {
    return Sizes[static_cast<std::size_t>(A)] > Sizes[static_cast<std::size_t>(B)];
  });
  std::vector<std::uint8_t> Number(Sizes.size(), 0);
  const std::size_t Kept = std::min<std::size_t>(Order.size(), 4);
  for (std::size_t K = 0; K < Kept; ++K) {
    Number[static_cast<std::size_t>(Order[K])] = static_cast<std::uint8_t>(K + 1);
  }
  for (std::size_t Cell = 0; Cell < AreaMap.size(); ++Cell) {
    AreaMap[Cell] = AreaOf[Cell] < 0 ? 0 : Number[static_cast<std::size_t>(AreaOf[Cell])];
  }
  AreaCount = static_cast<std::int32_t>(Kept);
}

void ModelReduceToInfo(const TAreaSegment& AreaMap, TInfoSegment& Info) {
  for (int R = 0; R < 32; ++R) {
    for (int C = 0; C < 32; ++C) {
      const std::array<std::uint8_t, 4> Block{
          AreaMap[CellIndex(2 * R, 2 * C)], AreaMap[CellIndex(2 * R, 2 * C + 1)],
          AreaMap[CellIndex(2 * R + 1, 2 * C)], AreaMap[CellIndex(2 * R + 1, 2 * C + 1)]};
      std::uint8_t Value = 3;
      for (const std::uint8_t Area : Block) {
        if (Area >= 1 && Area <= 3) {
          Value = static_cast<std::uint8_t>(Area - 1);
          break;
        }
      }
      Info[static_cast<std::size_t>(R * 32 + C)] = Value;
    }
  }
}

void ModelCalculateWaypoint(const TAreaSegment& AreaMap, std::int32_t AreaCount,
                            TWaypointSegment& Record) {
  if (AreaCount <= 0) return;
  const int Count = std::min(AreaCount, 4);
  constexpr std::array<std::uint8_t, 5> kMasks{0x00, 0x10, 0x30, 0x70, 0xF0};
  Record.AreaMask = kMasks[static_cast<std::size_t>(Count)];
  // Per area: whether a cell was seen, and the smallest (pass, row, column) among its cells.
  std::array<bool, 5> Found{};
  std::array<std::array<int, 3>, 5> Best{};
  for (int R = 0; R < kSide; ++R) {
    for (int C = 0; C < kSide; ++C) {
      const int A = AreaMap[CellIndex(R, C)];
      if (A < 1 || A > Count) continue;
      const std::array<int, 3> Key{PassOf(R, C), R, C};
      const auto K = static_cast<std::size_t>(A);
      if (!Found[K] || Key < Best[K]) Best[K] = Key;
      Found[K] = true;
    }
  }
  for (int A = 1; A <= Count; ++A) {
    const auto K = static_cast<std::size_t>(A);
    if (!Found[K]) throw Exception(VARNHOLT_ERROR_INTERNAL, "Logic failure in CalculateWaypoint");
    Record.Points[K - 1] = {static_cast<std::uint8_t>(Best[K][2]),
                            static_cast<std::uint8_t>(Best[K][1])};
  }
}

void ModelLinkDown(const TAreaSegment& Upper, const TAreaSegment& Lower, TWaypointSegment& Record) {
  for (int C = 0; C < kSide; ++C) {
    SetLink(Record.DownLinks, Upper[CellIndex(kSide - 1, C)], Lower[CellIndex(0, C)]);
  }
}

void ModelLinkRight(const TAreaSegment& Left, const TAreaSegment& Right, TWaypointSegment& Record) {
  for (int R = 0; R < kSide; ++R) {
    SetLink(Record.RightLinks, Left[CellIndex(R, kSide - 1)], Right[CellIndex(R, 0)]);
  }
}

void ModelLinkSegments(const TGrid<TAreaSegment>& AreaMaps, const TGrid<std::int32_t>& AreaCounts,
                       TGrid<TWaypointSegment>& Records, std::uint32_t N) {
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      if (AreaCounts[I][J] <= 0) continue;
      if (I + 1 < N && AreaCounts[I + 1][J] > 0) {
        ModelLinkDown(AreaMaps[I][J], AreaMaps[I + 1][J], Records[I][J]);
      }
      if (J + 1 < N && AreaCounts[I][J + 1] > 0) {
        ModelLinkRight(AreaMaps[I][J], AreaMaps[I][J + 1], Records[I][J]);
      }
    }
  }
}

}  // namespace varnholt::model
