// Which regions the grid connects, worked out in blocks of 16 x 16 segments: within a block, the
// parts its own contacts join; across blocks, the parts that meet at block borders, which are few.
// An edit makes stale the blocks it touches, and working out again costs those blocks and the
// joins across blocks, not the whole map. A part is named by its place among all regions: its
// block's first region and its root region there.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "map/RegionTable.h"

namespace varnholt {

class TConnectivity {
 public:
  // Works out what is stale, unless nothing is: the first call after an edit does it, once, while
  // calls on other threads wait for it.
  void Update(const TRegionTable& Regions, std::uint32_t SegmentsPerSide);
  // Regions with the same number are connected; Update must have run since the last edit.
  std::uint64_t ComponentOf(std::size_t K, unsigned Region) const {
    const std::uint32_t Part = BlockStart[BlockOf(K)] + PartOf(K, Region);
    return Stamp[Part] == Latest ? Joined[Part] : Part;
  }
  // Segments I0 ... I1 by J0 ... J1 have changed their regions or their contacts.
  void MakeStale(std::size_t I0, std::size_t I1, std::size_t J0, std::size_t J1);

 private:
  static constexpr std::uint32_t kBlockSide = 16;

  struct TMeeting {
    std::uint32_t Part;   // of the block
    std::uint32_t Block;  // below or to the right
    std::uint32_t Other;  // a part there
    friend auto operator<=>(const TMeeting&, const TMeeting&) = default;
  };
  struct TBlockParts {
    bool Stale = true;
    std::vector<std::uint32_t> FirstRegion;  // per segment of the block, row by row, and one more
    std::vector<std::uint32_t> PartOf;       // per region of the block, its root region
    std::vector<TMeeting> Meetings;
  };

  std::size_t BlockOf(std::size_t K) const {
    return K / N / kBlockSide * Side + K % N / kBlockSide;
  }
  std::size_t WithinBlock(std::size_t K) const {
    return K / N % kBlockSide * kBlockSide + K % N % kBlockSide;
  }
  std::uint32_t PartOf(std::size_t K, unsigned Region) const {
    const TBlockParts& Parts = Blocks[BlockOf(K)];
    return Parts.PartOf[Parts.FirstRegion[WithinBlock(K)] + Region];
  }
  template <typename F>
  void ForSegments(std::size_t B, F Visit) const;
  void WorkOut(const TRegionTable& Regions);
  void WorkOutParts(const TRegionTable& Regions, std::size_t B);
  void WorkOutMeetings(const TRegionTable& Regions, std::size_t B);
  void JoinBlocks();

  std::size_t N = 0;       // segments a side
  std::uint32_t Side = 0;  // blocks a side
  std::vector<TBlockParts> Blocks;
  std::vector<std::uint32_t> BlockStart;  // per block, its first region among all, and one more
  // Across blocks: per part that meets another block's, by name, the part that names its
  // component. Only entries stamped with the latest working out hold.
  std::vector<std::uint32_t> Joined;
  std::vector<std::uint32_t> Stamp;
  std::uint32_t Latest = 0;
  std::atomic<bool> Known{false};
  std::mutex Working;
};

}  // namespace varnholt
