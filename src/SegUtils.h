// Byte layouts of the three map files: the level-0 map read, the info map and the waypoint map
// written. Every integer wider than a byte is little-endian, whatever the host.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "UTypes.h"

namespace varnholt {

using TSegments = TGrid<TSegment>;
using TInfoSegments = TGrid<TInfoSegment>;
using TWaypointSegments = TGrid<TWaypointSegment>;

// The 32-byte header of a level-0 or info map: eight 32-bit signed words.
struct TMapHeader {
  std::int32_t Exponent = 0;  // cells per side = 2^(Exponent + 6)
  std::int32_t ExponentCopy = 0;
  std::int32_t LevelShift = 0;
  std::int32_t Level = 0;
  std::int32_t InfoFlag = 0;
  std::int32_t Word5 = 0;
  std::int32_t Word6 = 0;
  std::int32_t Word7 = 0;
};

using TInfoPayload = std::array<std::uint8_t, 256>;  // 32 rows of 8 bytes, four values a byte

// A map file assembled in memory, to be written out in one piece.
class TMapBuffer final : public TWriter {
 public:
  // Room for Bytes, taken at once so that appending never moves what is already there.
  explicit TMapBuffer(std::size_t Bytes) { Contents.reserve(Bytes); }
  std::size_t Write(std::span<const std::uint8_t> Bytes) override;
  std::span<const std::uint8_t> Bytes() const { return Contents; }

 private:
  std::vector<std::uint8_t> Contents;
};

// The largest info map of N x N segments: every record explicit.
std::size_t MaxInfoMapBytes(std::uint32_t N);

TMapHeader ReadMapHeader(TReader& File);
// Cells per side as a header gives it: 2 shifted left by the low five bits of (Exponent + 5).
std::uint32_t CellsPerSide(const TMapHeader& Header);
void WriteMapHeader(TWriter& File, std::uint32_t Size, std::int32_t Level, std::int32_t InfoFlag);
// log2(Size / 64): the exponent a header stores for Size cells per side (0 below 128).
std::int32_t SizeToExponent(std::uint32_t Size);

// Row r of a segment as one word: bit c is cell (r, c), 1 = blocked.
std::uint64_t SegmentRow(const TSegment& Segment, int R);
bool IsBlocked(const TSegment& Segment, int R, int C);
void ReadSegment(TReader& File, TSegment& Segment);

void WriteInfoSegment(TWriter& File, const TInfoSegment& Info);
TInfoPayload PackInfoSegment(const TInfoSegment& Info);
void WriteInfoRecord(TWriter& File, const TInfoPayload& Payload, std::int32_t Tag);

void WriteWaypointHeader(TWriter& File, std::uint32_t N);
void WriteWaypointSegment(TWriter& File, const TWaypointSegment& Record);

// Readers of the two maps the tool writes, the counterparts of the writers above, for tools that
// check or draw a converted map. A short file fails with "Error reading file", as with the
// level-0 readers.

// One info record: returns its tag and, for segExplicit, fills Payload (zeroed otherwise). A tag
// the writer never uses fails with "Invalid record tag in info map".
std::int32_t ReadInfoRecord(TReader& File, TInfoPayload& Payload);
TInfoSegment UnpackInfoSegment(const TInfoPayload& Payload);
void ReadInfoSegment(TReader& File, TInfoSegment& Info);
// Segments per side; fails with "Invalid waypoint map header" unless both words are equal and
// not negative.
std::uint32_t ReadWaypointHeader(TReader& File);
void ReadWaypointSegment(TReader& File, TWaypointSegment& Record);

}  // namespace varnholt
