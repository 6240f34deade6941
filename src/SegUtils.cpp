#include "SegUtils.h"

#include <bit>
#include <cstring>
#include <numeric>

namespace varnholt {
namespace {

constexpr std::size_t kHeaderBytes = 32;

std::int32_t LoadLE32(const std::uint8_t* Bytes) {
  const std::uint32_t Word = std::uint32_t{Bytes[0]} | std::uint32_t{Bytes[1]} << 8 |
                             std::uint32_t{Bytes[2]} << 16 | std::uint32_t{Bytes[3]} << 24;
  return static_cast<std::int32_t>(Word);
}

void StoreLE32(std::uint8_t* Bytes, std::int32_t Value) {
  const auto Word = static_cast<std::uint32_t>(Value);
  for (int K = 0; K < 4; ++K) Bytes[K] = static_cast<std::uint8_t>(Word >> (8 * K));
}

void ReadExactly(TReader& File, std::span<std::uint8_t> Buffer) {
  if (File.Read(Buffer) != Buffer.size()) throw Exception("Error reading file");
}

void WriteExactly(TWriter& File, std::span<const std::uint8_t> Bytes) {
  if (File.Write(Bytes) != Bytes.size()) throw Exception("Error writing file");
}

void WriteWords(TWriter& File, std::span<const std::int32_t> Words) {
  std::array<std::uint8_t, kHeaderBytes> Bytes{};
  for (std::size_t K = 0; K < Words.size(); ++K) StoreLE32(&Bytes[4 * K], Words[K]);
  WriteExactly(File, std::span(Bytes).first(4 * Words.size()));
}

}  // namespace

std::size_t TMapBuffer::Write(std::span<const std::uint8_t> Bytes) {
  Contents.insert(Contents.end(), Bytes.begin(), Bytes.end());
  return Bytes.size();
}

std::size_t MaxInfoMapBytes(std::uint32_t N) {
  return kHeaderBytes + std::size_t{N} * N * (4 + std::tuple_size_v<TInfoPayload>);
}

TMapHeader ReadMapHeader(TReader& File) {
  std::array<std::uint8_t, kHeaderBytes> Bytes;
  ReadExactly(File, Bytes);
  const std::uint8_t* Word = Bytes.data();
  return {LoadLE32(Word),      LoadLE32(Word + 4),  LoadLE32(Word + 8),  LoadLE32(Word + 12),
          LoadLE32(Word + 16), LoadLE32(Word + 20), LoadLE32(Word + 24), LoadLE32(Word + 28)};
}

std::uint32_t CellsPerSide(const TMapHeader& Header) {
  // Unsigned arithmetic: any word the file holds gives a defined result.
  const std::uint32_t Shift = (static_cast<std::uint32_t>(Header.Exponent) + 5) & 31;
  return std::uint32_t{2} << Shift;
}

void WriteMapHeader(TWriter& File, std::uint32_t Size, std::int32_t Level, std::int32_t InfoFlag) {
  const std::int32_t Exponent = SizeToExponent(Size);
  const std::array<std::int32_t, 8> Words{Exponent, Exponent, Level + 6, InfoFlag != 0 ? 1 : Level,
                                          InfoFlag, 2,        0,         -1};
  WriteWords(File, Words);
}

std::int32_t SizeToExponent(std::uint32_t Size) {
  const std::uint32_t Segments = Size >> 6;
  return Segments <= 1 ? 0 : static_cast<std::int32_t>(std::bit_width(Segments) - 1);
}

std::uint64_t SegmentRow(const TSegment& Segment, int R) {
  std::uint64_t Word = 0;
  for (int K = 7; K >= 0; --K) Word = Word << 8 | Segment[static_cast<std::size_t>(R * 8 + K)];
  return Word;
}

bool IsBlocked(const TSegment& Segment, int R, int C) {
  return (Segment[static_cast<std::size_t>(R * 8 + C / 8)] >> (C % 8) & 1) != 0;
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

void WriteInfoSegment(TWriter& File, const TInfoSegment& Info) {
  const unsigned Sum = std::accumulate(Info.begin(), Info.end(), 0u);
  if (Sum == 0) return WriteInfoRecord(File, {}, segFilledLow);
  if (Sum == 3 * Info.size()) return WriteInfoRecord(File, {}, segFilledHigh);
  WriteInfoRecord(File, PackInfoSegment(Info), segExplicit);
}

TInfoPayload PackInfoSegment(const TInfoSegment& Info) {
  TInfoPayload Payload{};
  for (std::size_t K = 0; K < Info.size(); ++K) {
    // Value (r, c) at K = r * 32 + c goes to byte r * 8 + c / 4 = K / 4, bits 2 * (c % 4).
    Payload[K / 4] |= static_cast<std::uint8_t>((Info[K] & 3) << (2 * (K % 4)));
  }
  return Payload;
}

void WriteInfoRecord(TWriter& File, const TInfoPayload& Payload, std::int32_t Tag) {
  WriteWords(File, std::array{Tag});
  if (Tag == segExplicit) WriteExactly(File, Payload);
}

void WriteWaypointHeader(TWriter& File, std::uint32_t N) {
  const auto Side = static_cast<std::int32_t>(N);
  WriteWords(File, std::array{Side, Side});
}

void WriteWaypointSegment(TWriter& File, const TWaypointSegment& Record) {
  WriteExactly(File, std::bit_cast<std::array<std::uint8_t, sizeof(Record)>>(Record));
}

std::int32_t ReadInfoRecord(TReader& File, TInfoPayload& Payload) {
  std::array<std::uint8_t, 4> Tag;
  ReadExactly(File, Tag);
  const std::int32_t Value = LoadLE32(Tag.data());
  Payload.fill(0);
  if (Value == segExplicit) {
    ReadExactly(File, Payload);
  } else if (Value != segFilledLow && Value != segFilledHigh) {
    throw Exception("Invalid record tag in info map");
  }
  return Value;
}

TInfoSegment UnpackInfoSegment(const TInfoPayload& Payload) {
  TInfoSegment Info;
  for (std::size_t K = 0; K < Info.size(); ++K) {
    Info[K] = static_cast<std::uint8_t>(Payload[K / 4] >> (2 * (K % 4)) & 3);
  }
  return Info;
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
    throw Exception("Invalid waypoint map header");
  }
  return static_cast<std::uint32_t>(Side);
}

void ReadWaypointSegment(TReader& File, TWaypointSegment& Record) {
  std::array<std::uint8_t, sizeof(TWaypointSegment)> Bytes;
  ReadExactly(File, Bytes);
  Record = std::bit_cast<TWaypointSegment>(Bytes);
}

}  // namespace varnholt
