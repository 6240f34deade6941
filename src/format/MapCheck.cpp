#include "format/MapCheck.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "platform/Platform.h"

namespace varnholt {
namespace {

std::string Hex(std::span<const std::uint8_t> Bytes) {
  constexpr char kDigits[] = "0123456789abcdef";
  std::string Text;
  for (const std::uint8_t Byte : Bytes) {
    if (!Text.empty()) Text += ' ';
    Text += kDigits[Byte >> 4];
    Text += kDigits[Byte & 15];
  }
  return Text;
}

std::string Segment(std::uint32_t I, std::uint32_t J) {
  return std::string("segment (") + std::to_string(I) + ", " + std::to_string(J) + "), ";
}

std::string Differs(const std::string& Field, const std::string& Found, const std::string& Wanted) {
  return Field + ": " + Found + " in the file, " + Wanted + " expected";
}

std::string CompareHeaders(const TMapHeader& Found, const TMapHeader& Wanted) {
  static constexpr struct {
    const char* Name;
    std::int32_t TMapHeader::*Word;
  } kWords[] = {
      {"Exponent", &TMapHeader::Exponent},     {"ExponentCopy", &TMapHeader::ExponentCopy},
      {"LevelShift", &TMapHeader::LevelShift}, {"Level", &TMapHeader::Level},
      {"InfoFlag", &TMapHeader::InfoFlag},     {"Word5", &TMapHeader::Word5},
      {"Word6", &TMapHeader::Word6},           {"Word7", &TMapHeader::Word7}};
  for (const auto& Word : kWords) {
    if (Found.*Word.Word == Wanted.*Word.Word) continue;
    return Differs(std::string("header word ") + Word.Name, std::to_string(Found.*Word.Word),
                   std::to_string(Wanted.*Word.Word));
  }
  return {};
}

std::string ComparePayloads(const TInfoPayload& Found, const TInfoPayload& Wanted) {
  const auto Mismatch = std::mismatch(Found.begin(), Found.end(), Wanted.begin());
  if (Mismatch.first == Found.end()) return {};
  const auto Byte = static_cast<int>(Mismatch.first - Found.begin());
  // Eight bytes to a row of 32 info values, four values to a byte.
  const std::string Field = std::string("payload byte ") + std::to_string(Byte) + " (info row " +
                            std::to_string(Byte / 8) + ", columns " + std::to_string(Byte % 8 * 4) +
                            "-" + std::to_string(Byte % 8 * 4 + 3) + ")";
  return Differs(Field, Hex({&*Mismatch.first, 1}), Hex({&*Mismatch.second, 1}));
}

std::string CompareInfoRecords(TReader& File, TReader& Expected) {
  TInfoPayload Found, Wanted;
  const std::int32_t FoundTag = ReadInfoRecord(File, Found);
  const std::int32_t WantedTag = ReadInfoRecord(Expected, Wanted);
  if (FoundTag != WantedTag) {
    return Differs("record tag", std::to_string(FoundTag), std::to_string(WantedTag));
  }
  return ComparePayloads(Found, Wanted);
}

// The fields of a waypoint record by their first byte, in record order.
struct TRecordField {
  std::size_t First;
  std::size_t Length;
  const char* Name;
};
constexpr TRecordField kRecordFields[] = {{0, 2, "DownLinks"},        {2, 2, "RightLinks"},
                                          {4, 2, "Points of area 1"}, {6, 2, "Points of area 2"},
                                          {8, 2, "Points of area 3"}, {10, 2, "Points of area 4"},
                                          {12, 1, "AreaMask"},        {13, 3, "reserved bytes"}};

std::string CompareRecords(const TWaypointSegment& Found, const TWaypointSegment& Wanted) {
  const TWaypointBytes FoundBytes = BytesOf(Found);
  const TWaypointBytes WantedBytes = BytesOf(Wanted);
  for (const TRecordField& Field : kRecordFields) {
    const auto FoundField = std::span(FoundBytes).subspan(Field.First, Field.Length);
    const auto WantedField = std::span(WantedBytes).subspan(Field.First, Field.Length);
    if (std::equal(FoundField.begin(), FoundField.end(), WantedField.begin())) continue;
    return Differs(Field.Name, Hex(FoundField), Hex(WantedField));
  }
  return {};
}

constexpr std::size_t kWaypointHeaderBytes = 8;

// The converter writes nothing after the last record, so anything there is damage.
std::string CompareEnd(TReader& File) {
  std::array<std::uint8_t, 1> Extra;
  return File.Read(Extra) == 0 ? std::string() : "bytes follow the last record";
}

// A file that cannot even be read as such a map is a stale or damaged pair, whatever failed.
template <typename F>
std::string AsPair(F Compare) {
  try {
    return Compare();
  } catch (const Exception& Failure) {
    throw Exception(VARNHOLT_ERROR_STALE_PAIR, Failure.what());
  }
}

std::string InfoDifference(std::span<const std::uint8_t> Bytes, const TMapBuffer& Expected) {
  // A matching file, the usual case, needs no record-by-record reading.
  if (std::equal(Bytes.begin(), Bytes.end(), Expected.Bytes().begin(), Expected.Bytes().end())) {
    return {};
  }
  TBytesReader File(Bytes);
  TBytesReader Wanted(Expected.Bytes());
  const TMapHeader WantedHeader = ReadMapHeader(Wanted);
  std::string Difference = CompareHeaders(ReadMapHeader(File), WantedHeader);
  if (!Difference.empty()) return Difference;
  const std::uint32_t N = CellsPerSideOf(WantedHeader) / kSegmentSide;
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      Difference = CompareInfoRecords(File, Wanted);
      if (!Difference.empty()) return Segment(I, J) + Difference;
    }
  }
  return CompareEnd(File);
}

std::string WaypointDifference(std::span<const std::uint8_t> Bytes,
                               const TWaypointSegments& Expected) {
  // The records in memory are the file's records, byte for byte.
  const auto Records = std::as_bytes(Expected.All());
  if (Bytes.size() == kWaypointHeaderBytes + Records.size() &&
      std::memcmp(Bytes.data() + kWaypointHeaderBytes, Records.data(), Records.size()) == 0 &&
      LoadLE32(Bytes.data()) == static_cast<std::int32_t>(Expected.Size()) &&
      LoadLE32(Bytes.data() + 4) == static_cast<std::int32_t>(Expected.Size())) {
    return {};
  }
  TBytesReader File(Bytes);
  const std::uint32_t N = ReadWaypointHeader(File);
  if (N != Expected.Size()) {
    return Differs("header segments per side", std::to_string(N), std::to_string(Expected.Size()));
  }
  TWaypointSegment Found;
  for (std::uint32_t I = 0; I < N; ++I) {
    for (std::uint32_t J = 0; J < N; ++J) {
      ReadWaypointSegment(File, Found);
      const std::string Difference = CompareRecords(Found, Expected[I][J]);
      if (!Difference.empty()) return Segment(I, J) + Difference;
    }
  }
  return CompareEnd(File);
}

}  // namespace

std::string MapDifference(std::span<const std::uint8_t> File, const TMapBuffer& Expected) {
  return AsPair([&] { return InfoDifference(File, Expected); });
}

std::string MapDifference(std::span<const std::uint8_t> File, const TWaypointSegments& Expected) {
  return AsPair([&] { return WaypointDifference(File, Expected); });
}

namespace {

// A short or malformed file is named in the failure: there are two of them.
template <typename T>
std::string DifferenceIn(const std::string& Path, const T& Expected) {
  TInputFile File(Path);
  std::vector<std::uint8_t> Bytes(static_cast<std::size_t>(File.Size()));
  Bytes.resize(File.Read(Bytes));
  try {
    return MapDifference(Bytes, Expected);
  } catch (const Exception& Failure) {
    throw Exception(Failure.Status(), std::string(Failure.what()) + ": " + Path);
  }
}

}  // namespace

std::string FileDifference(const std::string& Path, const TMapBuffer& Expected) {
  return DifferenceIn(Path, Expected);
}

std::string FileDifference(const std::string& Path, const TWaypointSegments& Expected) {
  return DifferenceIn(Path, Expected);
}

}  // namespace varnholt
