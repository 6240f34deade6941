#include "format/SegUtils.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace varnholt {
namespace {

void ReadExactly(TReader& File, std::span<std::uint8_t> Buffer) {
  if (File.Read(Buffer) != Buffer.size())
    throw Exception(VARNHOLT_ERROR_READ, "Error reading file");
}

constexpr std::size_t kMostRecordBytes = 4 + sizeof(TSegment);

bool IsFilledTag(std::int32_t Tag) {
  return Tag == segFilledLow || Tag == segFilledHigh;
}

// Cell (R, C) of a level-0 payload: bit C % 8 of byte R * 8 + C / 8, set where blocked.
bool PayloadBit(const std::uint8_t* Payload, int R, int C) {
  return (Payload[static_cast<std::size_t>(R * 8 + C / 8)] >> (C % 8) & 1) != 0;
}

void WriteWords(TWriter& File, std::span<const std::int32_t> Words) {
  std::array<std::uint8_t, kHeaderBytes> Bytes{};
  for (std::size_t K = 0; K < Words.size(); ++K) StoreLE32(&Bytes[4 * K], Words[K]);
  WriteAll(File, std::span(Bytes).first(4 * Words.size()));
}

}  // namespace

std::int32_t LoadLE32(const std::uint8_t* Bytes) {
  const std::uint32_t Word = std::uint32_t{Bytes[0]} | std::uint32_t{Bytes[1]} << 8 |
                             std::uint32_t{Bytes[2]} << 16 | std::uint32_t{Bytes[3]} << 24;
  return static_cast<std::int32_t>(Word);
}

std::uint64_t LoadLE64(const std::uint8_t* Bytes) {
  std::uint64_t Word;
  std::memcpy(&Word, Bytes, sizeof Word);
  if constexpr (std::endian::native == std::endian::little) return Word;
  std::uint64_t Swapped = 0;
  for (int K = 0; K < 8; ++K) Swapped = Swapped << 8 | (Word >> (8 * K) & 0xFF);
  return Swapped;
}

void StoreLE32(std::uint8_t* Bytes, std::int32_t Value) {
  const auto Word = static_cast<std::uint32_t>(Value);
  for (int K = 0; K < 4; ++K) Bytes[K] = static_cast<std::uint8_t>(Word >> (8 * K));
}

void StoreLE64(std::uint8_t* Bytes, std::uint64_t Value) {
  for (int K = 0; K < 8; ++K) Bytes[K] = static_cast<std::uint8_t>(Value >> (8 * K));
}

std::uint16_t LinkWord(const std::array<std::uint8_t, 2>& Links) {
  return static_cast<std::uint16_t>(Links[0] | Links[1] << 8);
}

void StoreLinkWord(std::array<std::uint8_t, 2>& Links, std::uint16_t Word) {
  Links = {static_cast<std::uint8_t>(Word), static_cast<std::uint8_t>(Word >> 8)};
}

TMapBuffer::TMapBuffer(std::size_t Bytes)
    : Contents(static_cast<std::uint8_t*>(AllocateZeroedBytes(Bytes))), Capacity(Bytes) {}

std::size_t TMapBuffer::Write(std::span<const std::uint8_t> Bytes) {
  const std::size_t Taken = std::min(Bytes.size(), Capacity - Size);
  if (Taken > 0) std::memcpy(Contents.get() + Size, Bytes.data(), Taken);
  Size += Taken;
  return Taken;
}

std::size_t TBytesReader::Read(std::span<std::uint8_t> Buffer) {
  const std::size_t Take = std::min(Buffer.size(), Bytes.size());
  if (Take > 0) std::memcpy(Buffer.data(), Bytes.data(), Take);
  Bytes = Bytes.subspan(Take);
  return Take;
}

std::size_t MaxInfoMapBytes(std::uint32_t SegmentsPerSide) {
  return kHeaderBytes +
         std::size_t{SegmentsPerSide} * SegmentsPerSide * (4 + std::tuple_size_v<TInfoPayload>);
}

TMapHeader ReadMapHeader(TReader& File) {
  std::array<std::uint8_t, kHeaderBytes> Bytes;
  ReadExactly(File, Bytes);
  const std::uint8_t* Word = Bytes.data();
  return {LoadLE32(Word),      LoadLE32(Word + 4),  LoadLE32(Word + 8),  LoadLE32(Word + 12),
          LoadLE32(Word + 16), LoadLE32(Word + 20), LoadLE32(Word + 24), LoadLE32(Word + 28)};
}

std::uint32_t CellsPerSideOf(const TMapHeader& Header) {
  // Unsigned arithmetic: any word the file holds gives a defined result.
  const std::uint32_t Shift = (static_cast<std::uint32_t>(Header.Exponent) + 5) & 31;
  return std::uint32_t{2} << Shift;
}

TMapHeader HeaderFor(std::uint32_t CellsPerSide, std::int32_t Level, std::int32_t InfoFlag) {
  const std::int32_t Exponent = SizeToExponent(CellsPerSide);
  return {Exponent, Exponent, Level + 6, InfoFlag != 0 ? 1 : Level, InfoFlag, 2, 0, -1};
}

void WriteMapHeader(TWriter& File, std::uint32_t CellsPerSide, std::int32_t Level,
                    std::int32_t InfoFlag) {
  WriteMapHeader(File, HeaderFor(CellsPerSide, Level, InfoFlag));
}

void WriteMapHeader(TWriter& File, const TMapHeader& Header) {
  WriteWords(File, std::array{Header.Exponent, Header.ExponentCopy, Header.LevelShift, Header.Level,
                              Header.InfoFlag, Header.Word5, Header.Word6, Header.Word7});
}

std::int32_t SizeToExponent(std::uint32_t CellsPerSide) {
  const std::uint32_t Segments = CellsPerSide / kSegmentSide;
  return Segments <= 1 ? 0 : static_cast<std::int32_t>(std::bit_width(Segments) - 1);
}

TSegmentRows SegmentRows(const TSegment& Segment) {
  return LoadRows<kSegmentSide>(Segment.data());
}

bool IsBlocked(const TSegment& Segment, int R, int C) {
  return PayloadBit(Segment.data(), R, C);
}

void ReadSegment(TReader& File, TSegment& Segment) {
  std::array<std::uint8_t, 4> Tag;
  ReadExactly(File, Tag);
  switch (LoadLE32(Tag.data())) {
    case segFilledLow:
      Segment.fill(0x00);
      break;
    case segFilledHigh:
      Segment.fill(0xFF);
      break;
    default:  // any other tag carries a payload, not only segExplicit
      ReadExactly(File, Segment);
  }
}

std::size_t RecordBytes(std::int32_t Tag) {
  return IsFilledTag(Tag) ? 4 : kMostRecordBytes;
}

void WriteSegment(TWriter& File, const TSegmentRows& Rows) {
  const std::int32_t Tag = RecordTag(Rows);
  WriteWords(File, std::array{Tag});
  if (IsFilledTag(Tag)) return;
  TSegment Payload;
  StoreRows(Payload.data(), Rows);
  WriteAll(File, Payload);
}

void WriteSegment(TWriter& File, const TSegment& Segment) {
  WriteSegment(File, SegmentRows(Segment));
}

void TLevel0Records::Read(TReader& File, std::uint32_t SegmentsPerSide, std::uint64_t Available) {
  // Trailing bytes are never needed, and a file may hold many.
  const auto Wanted = static_cast<std::size_t>(std::min<std::uint64_t>(
      Available, std::uint64_t{kMostRecordBytes} * SegmentsPerSide * SegmentsPerSide));
  Contents.reset(static_cast<std::uint8_t*>(AllocateZeroedBytes(Wanted)));
  Filled = File.Read({Contents.get(), Wanted});
  FindStarts(SegmentsPerSide);
}

void TLevel0Records::Take(TMapBuffer Records, std::uint32_t SegmentsPerSide) {
  Contents = std::move(Records.Contents);
  Filled = Records.Size;
  FindStarts(SegmentsPerSide);
}

void TLevel0Records::FindStarts(std::uint32_t SegmentsPerSide) {
  Starts = TGrid<std::uint64_t>(SegmentsPerSide);
  std::size_t Position = 0;
  for (std::uint64_t& Start : Starts.All()) {
    if (Filled - Position < 4) throw Exception(VARNHOLT_ERROR_READ, "Error reading file");
    Start = Position;
    const std::size_t Bytes = RecordBytes(LoadLE32(&Contents[Position]));
    if (Filled - Position < Bytes) throw Exception(VARNHOLT_ERROR_READ, "Error reading file");
    Position += Bytes;
  }
}

TSegmentRows TLevel0Records::Rows(std::size_t K) const {
  TSegmentRows Rows;
  switch (Tag(K)) {
    case segFilledLow:
      Rows.fill(0);
      break;
    case segFilledHigh:
      Rows.fill(~std::uint64_t{0});
      break;
    default:
      Rows = LoadRows<kSegmentSide>(&Contents[Starts.All()[K] + 4]);
  }
  return Rows;
}

bool TLevel0Records::IsBlocked(std::size_t K, int R, int C) const {
  const std::int32_t Kind = Tag(K);
  if (IsFilledTag(Kind)) return Kind == segFilledHigh;
  return PayloadBit(&Contents[Starts.All()[K] + 4], R, C);
}

std::span<const std::uint8_t> TLevel0Records::Record(std::size_t K) const {
  return {&Contents[Starts.All()[K]], RecordBytes(Tag(K))};
}

TSegment TLevel0Records::Segment(std::size_t K) const {
  TSegment Segment;
  StoreRows(Segment.data(), Rows(K));
  return Segment;
}

void WriteInfoRows(TWriter& File, const TInfoRows& Rows) {
  const std::int32_t Tag = RecordTag(Rows);
  if (Tag != segExplicit) return WriteInfoRecord(File, {}, Tag);
  TInfoPayload Payload;
  StoreRows(Payload.data(), Rows);
  WriteInfoRecord(File, Payload, segExplicit);
}

TInfoRows PackInfoRows(const TInfoSegment& Info) {
  TInfoRows Rows{};
  for (std::size_t K = 0; K < Info.size(); ++K) {
    Rows[K / kInfoSide] |= std::uint64_t{Info[K] & 3u} << (2 * (K % kInfoSide));
  }
  return Rows;
}

TInfoSegment UnpackInfoRows(const TInfoRows& Rows) {
  TInfoSegment Info;
  for (std::size_t K = 0; K < Info.size(); ++K) {
    Info[K] = static_cast<std::uint8_t>(Rows[K / kInfoSide] >> (2 * (K % kInfoSide)) & 3);
  }
  return Info;
}

void WriteInfoSegment(TWriter& File, const TInfoSegment& Info) {
  WriteInfoRows(File, PackInfoRows(Info));
}

TInfoPayload PackInfoSegment(const TInfoSegment& Info) {
  TInfoPayload Payload;
  StoreRows(Payload.data(), PackInfoRows(Info));
  return Payload;
}

void WriteInfoRecord(TWriter& File, const TInfoPayload& Payload, std::int32_t Tag) {
  WriteWords(File, std::array{Tag});
  if (Tag == segExplicit) WriteAll(File, Payload);
}

void WriteWaypointHeader(TWriter& File, std::uint32_t SegmentsPerSide) {
  const auto Side = static_cast<std::int32_t>(SegmentsPerSide);
  WriteWords(File, std::array{Side, Side});
}

void WriteWaypointSegment(TWriter& File, const TWaypointSegment& Record) {
  WriteWaypointSegments(File, {&Record, 1});
}

void WriteWaypointSegments(TWriter& File, std::span<const TWaypointSegment> Records) {
  const auto Bytes = std::as_bytes(Records);
  WriteAll(File, {reinterpret_cast<const std::uint8_t*>(Bytes.data()), Bytes.size()});
}

std::int32_t ReadInfoRecord(TReader& File, TInfoPayload& Payload) {
  std::array<std::uint8_t, 4> Tag;
  ReadExactly(File, Tag);
  const std::int32_t Value = LoadLE32(Tag.data());
  Payload.fill(0);
  if (Value == segExplicit) {
    ReadExactly(File, Payload);
  } else if (Value != segFilledLow && Value != segFilledHigh) {
    throw Exception(VARNHOLT_ERROR_READ, "Invalid record tag in info map");
  }
  return Value;
}

TInfoSegment UnpackInfoSegment(const TInfoPayload& Payload) {
  return UnpackInfoRows(LoadRows<kInfoSide>(Payload.data()));
}

void ReadInfoSegment(TReader& File, TInfoSegment& Info) {
  TInfoPayload Payload;
  switch (ReadInfoRecord(File, Payload)) {
    case segFilledLow:
      Info.fill(0);
      break;
    case segFilledHigh:
      Info.fill(3);
      break;
    default:
      Info = UnpackInfoSegment(Payload);
  }
}

std::uint32_t ReadWaypointHeader(TReader& File) {
  std::array<std::uint8_t, 8> Words;
  ReadExactly(File, Words);
  const std::int32_t Side = LoadLE32(Words.data());
  if (Side < 0 || Side != LoadLE32(Words.data() + 4)) {
    throw Exception(VARNHOLT_ERROR_READ, "Invalid waypoint map header");
  }
  return static_cast<std::uint32_t>(Side);
}

TWaypointBytes BytesOf(const TWaypointSegment& Record) {
  TWaypointBytes Bytes;
  std::memcpy(Bytes.data(), &Record, Bytes.size());
  return Bytes;
}

TWaypointSegment WaypointSegmentOf(const TWaypointBytes& Bytes) {
  TWaypointSegment Record;
  std::memcpy(&Record, Bytes.data(), Bytes.size());
  return Record;
}

void ReadWaypointSegment(TReader& File, TWaypointSegment& Record) {
  TWaypointBytes Bytes;
  ReadExactly(File, Bytes);
  Record = WaypointSegmentOf(Bytes);
}

}  // namespace varnholt
