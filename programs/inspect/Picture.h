// The inspector's picture of a converted map: the areas the converter keeps, the cells it drops,
// and the graph of waypoints and links a pathfinder searches.
#pragma once

#include <varnholt/varnholt.hpp>

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace varnholt::inspect {

// Palette indices. Painting a cell keeps the highest of the indices below kLink that fall on one
// pixel, so that an erased cell stays visible when the picture is scaled down.
enum TPaint : std::uint8_t {
  kBlocked = 0,
  kArea1 = 1,  // ... kArea1 + 3 for area 4
  kErased = 5,
  kLink = 6,
  kWaypoint = 7,
  kBorder = 8,  // added to a cell colour on the first row and column of a segment
  kPath = 14,   // a path asked for, over everything else
};
inline constexpr int kPaletteSize = 16;
using TColour = std::array<std::uint8_t, 3>;  // red, green, blue
const std::array<TColour, kPaletteSize>& Palette();

inline constexpr std::uint32_t kMaxPictureSide = 4096;

struct TPicture {
  std::uint32_t Side = 0;            // pixels per side
  std::uint32_t Scale = 1;           // cells per pixel along each side
  std::vector<std::uint8_t> Pixels;  // palette indices, row by row
};

// A segment as the library gives it: its kept areas and its cells, r * 64 + c.
struct TSegmentView {
  std::array<std::uint8_t, 4096> Areas;    // 0, or the kept area 1 ... 4
  std::array<std::uint8_t, 4096> Blocked;  // 1 for a blocked cell
};

// One pixel per cell up to kMaxPictureSide cells per side; larger maps are scaled down by the
// power of two that brings them to kMaxPictureSide pixels. A picture is painted segment by segment
// in any order, then finished with the waypoints and links of the map's records.
TPicture NewPicture(std::uint32_t SegmentsPerSide);
void PaintSegment(std::size_t K, const TSegmentView& Segment, TPicture& Picture);
void FinishPicture(const std::vector<TWaypointRecord>& Records, TPicture& Picture);
// A path over the finished picture.
void DrawPath(const std::vector<TCell>& Path, TPicture& Picture);
// All of it for a whole map at once.
TPicture DrawPicture(const TMap& Map);
// The map's waypoint records, in grid order.
std::vector<TWaypointRecord> RecordsOf(const TMap& Map);

// The picture as a PNG file with a palette, in memory; fails with "Out of memory".
std::vector<std::uint8_t> EncodePng(const TPicture& Picture);

}  // namespace varnholt::inspect
