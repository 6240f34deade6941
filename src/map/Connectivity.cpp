#include "map/Connectivity.h"

#include <algorithm>
#include <numeric>

#include "analysis/UnionFind.h"
#include "format/UTypes.h"

namespace varnholt {

void TConnectivity::Update(const TRegionTable& Regions, std::uint32_t SegmentsPerSide) {
  if (Known) return;
  const std::lock_guard<std::mutex> Lock(Working);
  if (Known) return;
  N = SegmentsPerSide;
  WorkOut(Regions);
  Known = true;
}

void TConnectivity::MakeStale(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1) {
  Known = false;
  if (Blocks.empty()) return;  // all is to be worked out
  for (std::size_t I = I0; I <= I1; ++I) {
    for (std::size_t J = J0; J <= J1; ++J) Blocks[BlockOf(I * N + J)].Stale = true;
  }
}

// Calls Visit(K) for the segments of block B.
template <typename F>
void TConnectivity::ForSegments(std::size_t B, F Visit) const {
  const std::size_t I0 = B / Side * kBlockSide, J0 = B % Side * kBlockSide;
  for (std::size_t I = I0; I < std::min(I0 + kBlockSide, N); ++I) {
    for (std::size_t J = J0; J < std::min(J0 + kBlockSide, N); ++J) Visit(I * N + J);
  }
}

void TConnectivity::WorkOutParts(const TRegionTable& Regions, std::size_t B) {
  TBlockParts& Parts = Blocks[B];
  Parts.FirstRegion.assign(kBlockSide * kBlockSide + 1, 0);
  ForSegments(B, [&](std::size_t K) {
    Parts.FirstRegion[WithinBlock(K) + 1] = static_cast<std::uint32_t>(Regions.Of(K).Places.size());
  });
  std::partial_sum(Parts.FirstRegion.begin(), Parts.FirstRegion.end(), Parts.FirstRegion.begin());
  std::vector<std::uint32_t>& Parent = Parts.PartOf;
  Parent.resize(Parts.FirstRegion.back());
  std::iota(Parent.begin(), Parent.end(), std::uint32_t{0});
  const auto Join = [&](std::size_t K, std::size_t Next, std::span<const TContact> Found) {
    if (BlockOf(Next) != B) return;
    for (const TContact& Contact : Found) {
      JoinSets(Parent, Parts.FirstRegion[WithinBlock(K)] + Contact.Own,
               Parts.FirstRegion[WithinBlock(Next)] + Contact.Other);
    }
  };
  ForSegments(B, [&](std::size_t K) {
    if (HasSegmentBeside(K, N, kDown)) Join(K, K + N, Regions.Of(K).Down);
    if (HasSegmentBeside(K, N, kRight)) Join(K, K + 1, Regions.Of(K).Right);
  });
  for (std::uint32_t Region = 0; Region < Parent.size(); ++Region) {
    Parent[Region] = FindRoot(Parent, Region);
  }
  Parts.Stale = false;
}

// The parts of block B that meet parts of the blocks below and to the right, at its last row
// and its last column.
void TConnectivity::WorkOutMeetings(const TRegionTable& Regions, std::size_t B) {
  std::vector<TMeeting>& Meetings = Blocks[B].Meetings;
  Meetings.clear();
  const auto Meet = [&](std::size_t K, std::size_t Next, std::span<const TContact> Found) {
    for (const TContact& Contact : Found) {
      Meetings.push_back({PartOf(K, Contact.Own), static_cast<std::uint32_t>(BlockOf(Next)),
                          PartOf(Next, Contact.Other)});
    }
  };
  const std::size_t I0 = B / Side * kBlockSide, J0 = B % Side * kBlockSide;
  const std::size_t I1 = std::min(I0 + kBlockSide, N) - 1, J1 = std::min(J0 + kBlockSide, N) - 1;
  for (std::size_t J = J0; J <= J1 && I1 + 1 < N; ++J) {
    Meet(I1 * N + J, (I1 + 1) * N + J, Regions.Of(I1 * N + J).Down);
  }
  for (std::size_t I = I0; I <= I1 && J1 + 1 < N; ++I) {
    Meet(I * N + J1, I * N + J1 + 1, Regions.Of(I * N + J1).Right);
  }
  std::sort(Meetings.begin(), Meetings.end());
  Meetings.erase(std::unique(Meetings.begin(), Meetings.end()), Meetings.end());
}

void TConnectivity::WorkOut(const TRegionTable& Regions) {
  const auto NewSide = static_cast<std::uint32_t>((N + kBlockSide - 1) / kBlockSide);
  if (NewSide != Side) {
    Side = NewSide;
    Blocks.assign(std::size_t{Side} * Side, {});
  }
  std::vector<std::uint8_t> Meets(Blocks.size(), 0);  // to be worked out again
  for (std::size_t B = 0; B < Blocks.size(); ++B) {
    if (!Blocks[B].Stale) continue;
    WorkOutParts(Regions, B);
    Meets[B] = 1;
    if (B % Side > 0) Meets[B - 1] = 1;
    if (B >= Side) Meets[B - Side] = 1;
  }
  for (std::size_t B = 0; B < Blocks.size(); ++B) {
    if (Meets[B] != 0) WorkOutMeetings(Regions, B);
  }
  JoinBlocks();
}

void TConnectivity::JoinBlocks() {
  BlockStart.assign(Blocks.size() + 1, 0);
  for (std::size_t B = 0; B < Blocks.size(); ++B) {
    const std::size_t Regions = Blocks[B].PartOf.size();
    if (BlockStart[B] > UINT32_MAX - Regions)
      throw Exception(VARNHOLT_ERROR_SIZE, "Range check error");
    BlockStart[B + 1] = BlockStart[B] + static_cast<std::uint32_t>(Regions);
  }
  Joined.resize(BlockStart.back());
  Stamp.resize(BlockStart.back());
  if (++Latest == 0) {  // stamps wrapped: none holds
    std::fill(Stamp.begin(), Stamp.end(), 0);
    Latest = 1;
  }
  std::vector<std::uint32_t> Met;
  const auto Take = [&](std::uint32_t Part) {
    if (Stamp[Part] != Latest) {
      Stamp[Part] = Latest;
      Joined[Part] = Part;
      Met.push_back(Part);
    }
    return Part;
  };
  for (std::size_t B = 0; B < Blocks.size(); ++B) {
    for (const TMeeting& Found : Blocks[B].Meetings) {
      JoinSets(Joined, Take(BlockStart[B] + Found.Part),
               Take(BlockStart[Found.Block] + Found.Other));
    }
  }
  for (const std::uint32_t Part : Met) Joined[Part] = FindRoot(Joined, Part);
}

}  // namespace varnholt
