// Byte layouts of the three map files: the level-0 map read, the info map and the waypoint map
// written. Every integer wider than a byte is little-endian, whatever the host; the helpers
// below are the one place that knows it.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

#include "format/UTypes.h"

namespace varnholt {

using TSegments = TGrid<TSegment>;
using TInfoSegments = TGrid<TInfoSegment>;
using TWaypointSegments = TGrid<TWaypointSegment>;

std::int32_t LoadLE32(const std::uint8_t* Bytes);
std::uint64_t LoadLE64(const std::uint8_t* Bytes);
void StoreLE32(std::uint8_t* Bytes, std::int32_t Value);
void StoreLE64(std::uint8_t* Bytes, std::uint64_t Value);

// The link words of a waypoint record: LinkBit, of the interface.
// Rows of bits or values as the files hold them: one little-endian word after another.
template <std::size_t N>
std::array<std::uint64_t, N> LoadRows(const std::uint8_t* Bytes) {
  std::array<std::uint64_t, N> Rows;
  for (std::size_t R = 0; R < N; ++R) Rows[R] = LoadLE64(Bytes + 8 * R);
  return Rows;
}
template <std::size_t N>
void StoreRows(std::uint8_t* Bytes, const std::array<std::uint64_t, N>& Rows) {
  for (std::size_t R = 0; R < N; ++R) StoreLE64(Bytes + 8 * R, Rows[R]);
}
template <std::size_t N>
bool AllRowsAre(const std::array<std::uint64_t, N>& Rows, std::uint64_t Row) {
  return std::all_of(Rows.begin(), Rows.end(), [Row](std::uint64_t R) { return R == Row; });
}
// The tag of the record that holds Rows: a filled one where every bit is alike.
template <std::size_t N>
std::int32_t RecordTag(const std::array<std::uint64_t, N>& Rows) {
  if (AllRowsAre(Rows, 0)) return segFilledLow;
  if (AllRowsAre(Rows, ~std::uint64_t{0})) return segFilledHigh;
  return segExplicit;
}

std::uint16_t LinkWord(const std::array<std::uint8_t, 2>& Links);
void StoreLinkWord(std::array<std::uint8_t, 2>& Links, std::uint16_t Word);

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
inline constexpr std::size_t kHeaderBytes = 32;

using TInfoPayload = std::array<std::uint8_t, 256>;  // 32 rows of 8 bytes, four values a byte

// A map file assembled in memory, to be written out in one piece.
class TMapBuffer final : public TWriter {
 public:
  TMapBuffer() = default;
  // Room for Capacity bytes, taken at once from the system (failing with "Out of memory") and
  // touched only as it is written; what goes beyond it is not taken.
  explicit TMapBuffer(std::size_t Capacity);
  std::size_t Write(std::span<const std::uint8_t> Bytes) override;
  std::span<const std::uint8_t> Bytes() const { return {Contents.get(), Size}; }

 private:
  friend class TLevel0Records;
  std::unique_ptr<std::uint8_t[], TFreeMemory> Contents;
  std::size_t Size = 0;
  std::size_t Capacity = 0;
};

// Reads a map file held in memory, so that it goes through the same readers as one on disk.
class TBytesReader final : public TReader {
 public:
  explicit TBytesReader(std::span<const std::uint8_t> Source) : Bytes(Source) {}
  std::size_t Read(std::span<std::uint8_t> Buffer) override;

 private:
  std::span<const std::uint8_t> Bytes;
};

// The largest info map of N x N segments: every record explicit.
std::size_t MaxInfoMapBytes(std::uint32_t SegmentsPerSide);

TMapHeader ReadMapHeader(TReader& File);
// Cells per side as a header gives it: 2 shifted left by the low five bits of (Exponent + 5).
std::uint32_t CellsPerSideOf(const TMapHeader& Header);
// The header the tool writes for a map of this size: Exponent twice, Level + 6, 1 for an info map
// or the level, the info flag, 2, 0 and -1.
TMapHeader HeaderFor(std::uint32_t CellsPerSide, std::int32_t Level, std::int32_t InfoFlag);
void WriteMapHeader(TWriter& File, std::uint32_t CellsPerSide, std::int32_t Level,
                    std::int32_t InfoFlag);
void WriteMapHeader(TWriter& File, const TMapHeader& Header);  // its words as they are
// log2(CellsPerSide / 64): the exponent a header stores (0 below 128).
std::int32_t SizeToExponent(std::uint32_t CellsPerSide);

TSegmentRows SegmentRows(const TSegment& Segment);
bool IsBlocked(const TSegment& Segment, int R, int C);
void ReadSegment(TReader& File, TSegment& Segment);
// The counterpart of ReadSegment: a filled record where every cell is alike.
void WriteSegment(TWriter& File, const TSegment& Segment);
void WriteSegment(TWriter& File, const TSegmentRows& Blocked);
// The bytes of a level-0 record with this tag: the tag's four, and the payload unless filled.
std::size_t RecordBytes(std::int32_t Tag);

// The records of a level-0 map, read in one piece as the file holds them, with where each one
// begins; filled records stay four bytes.
class TLevel0Records {
 public:
  // Reads the N x N records that follow the header, of the Available bytes the file has left,
  // and fails with "Error reading file" at the first record cut short, as ReadSegment would.
  void Read(TReader& File, std::uint32_t SegmentsPerSide, std::uint64_t Available);
  // Takes records already assembled in memory, as Read would have read them.
  void Take(TMapBuffer Records, std::uint32_t SegmentsPerSide);
  std::size_t Count() const { return Starts.All().size(); }
  std::span<const std::uint8_t> Bytes() const { return {Contents.get(), Filled}; }
  // segFilledLow, segFilledHigh, or any other tag for a record with a payload.
  std::int32_t Tag(std::size_t K) const { return LoadLE32(&Contents.get()[Starts.All()[K]]); }
  TSegmentRows Rows(std::size_t K) const;  // a filled record's too
  TSegment Segment(std::size_t K) const;
  bool IsBlocked(std::size_t K, int R, int C) const;
  std::span<const std::uint8_t> Record(std::size_t K) const;  // its tag and payload, as read

 private:
  void FindStarts(std::uint32_t SegmentsPerSide);

  std::unique_ptr<std::uint8_t[], TFreeMemory> Contents;
  std::size_t Filled = 0;
  TGrid<std::uint64_t> Starts;
};

// Info records from their rows: all values 0 or all 3 is a filled record, anything else a payload
// of the 32 rows, eight bytes each, low byte first.
void WriteInfoRows(TWriter& File, const TInfoRows& Rows);
TInfoRows PackInfoRows(const TInfoSegment& Info);
TInfoSegment UnpackInfoRows(const TInfoRows& Rows);
void WriteInfoSegment(TWriter& File, const TInfoSegment& Info);
TInfoPayload PackInfoSegment(const TInfoSegment& Info);
void WriteInfoRecord(TWriter& File, const TInfoPayload& Payload, std::int32_t Tag);

void WriteWaypointHeader(TWriter& File, std::uint32_t SegmentsPerSide);
// A waypoint record as its 16 bytes on disk, and back: the record is those bytes in order.
using TWaypointBytes = std::array<std::uint8_t, sizeof(TWaypointSegment)>;
TWaypointBytes BytesOf(const TWaypointSegment& Record);
TWaypointSegment WaypointSegmentOf(const TWaypointBytes& Bytes);
void WriteWaypointSegment(TWriter& File, const TWaypointSegment& Record);
// Many records in one piece: in memory they are laid out as in the file.
void WriteWaypointSegments(TWriter& File, std::span<const TWaypointSegment> Records);

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
