#include "format/SegUtils.h"

#include <gtest/gtest.h>

#include <bit>
#include <functional>

#include "MapGenerator.h"
#include "TestSupport.h"

namespace varnholt {
namespace {

using test::FailureOf;
using test::HexBytes;
using test::TBytes;
using test::TMemoryReader;
using test::TMemoryWriter;

TEST(MapHeaderTest, InfoMapHeaderWords) {
  const struct {
    std::uint32_t Size;
    const char* Bytes;
  } Cases[] = {
      {64,
       "00 00 00 00 00 00 00 00 06 00 00 00 01 00 00 00 01 00 00 00 02 00 00 00 00 00 00 00 "
       "ff ff ff ff"},
      {16384,
       "08 00 00 00 08 00 00 00 06 00 00 00 01 00 00 00 01 00 00 00 02 00 00 00 00 00 00 "
       "00 ff ff ff ff"},
  };
  for (const auto& Case : Cases) {
    TMemoryWriter File;
    WriteMapHeader(File, Case.Size, 0, 1);
    EXPECT_EQ(File.Bytes, HexBytes(Case.Bytes)) << Case.Size;
  }
}

TEST(MapHeaderTest, ReadsEveryWordLittleEndian) {
  TMemoryReader File(HexBytes(
      "03 00 00 00 04 00 00 00 06 00 00 00 00 01 00 00 fe ff ff ff 05 00 00 00 06 00 00 00 07 00 "
      "00 80 99"));
  const TMapHeader Header = ReadMapHeader(File);
  EXPECT_EQ(Header.Exponent, 3);
  EXPECT_EQ(Header.ExponentCopy, 4);
  EXPECT_EQ(Header.LevelShift, 6);
  EXPECT_EQ(Header.Level, 256);
  EXPECT_EQ(Header.InfoFlag, -2);
  EXPECT_EQ(Header.Word5, 5);
  EXPECT_EQ(Header.Word6, 6);
  EXPECT_EQ(Header.Word7, static_cast<std::int32_t>(0x80000007u));
}

TEST(MapHeaderTest, ShortHeaderFails) {
  for (const std::size_t Length : {0u, 1u, 31u}) {
    TMemoryReader File(TBytes(Length, 0));
    EXPECT_EQ(FailureOf([&] { ReadMapHeader(File); }), "Error reading file") << Length;
  }
}

TEST(MapHeaderTest, CellsPerSideUsesLowFiveBitsOfExponentPlusFive) {
  const struct {
    std::int32_t Exponent;
    std::uint32_t Size;
  } Cases[] = {{0, 64},  {1, 128}, {3, 512}, {8, 16384}, {25, 1u << 31},  {26, 0},        {27, 2},
               {-1, 32}, {-5, 2},  {-6, 0},  {32, 64},   {INT32_MAX, 32}, {INT32_MIN, 64}};
  for (const auto& Case : Cases) {
    TMapHeader Header;
    Header.Exponent = Case.Exponent;
    EXPECT_EQ(CellsPerSideOf(Header), Case.Size) << Case.Exponent;
  }
}

TEST(MapHeaderTest, SizeToExponentIsLog2OfSegmentsPerSide) {
  const struct {
    std::uint32_t Size;
    std::int32_t Exponent;
  } Cases[] = {{0, 0},     {32, 0},    {64, 0},        {128, 1},      {1024, 4},
               {16384, 8}, {32768, 9}, {1u << 21, 15}, {1u << 31, 25}};
  for (const auto& Case : Cases) EXPECT_EQ(SizeToExponent(Case.Size), Case.Exponent) << Case.Size;
}

TEST(MapHeaderTest, ShortWriteFails) {
  for (const std::size_t Capacity : {0u, 4u, 31u}) {
    TMemoryWriter File(Capacity);
    EXPECT_EQ(FailureOf([&] { WriteMapHeader(File, 64, 0, 1); }), "Error writing file");
  }
}

TEST(SegmentTest, CellBitsOfThePayload) {
  const struct {
    std::size_t Byte;
    std::uint8_t Value;
    int R, C;
  } Cases[] = {
      {0, 0x01, 0, 0}, {0, 0x80, 0, 7}, {8, 0x01, 1, 0}, {511, 0x80, 63, 63}, {7, 0x80, 0, 63}};
  for (const auto& Case : Cases) {
    TSegment Segment{};
    Segment[Case.Byte] = Case.Value;
    for (int R = 0; R < 64; ++R) {
      for (int C = 0; C < 64; ++C) {
        const bool Expected = R == Case.R && C == Case.C;
        ASSERT_EQ(IsBlocked(Segment, R, C), Expected) << R << "," << C;
        ASSERT_EQ((SegmentRows(Segment)[R] >> C & 1) != 0, Expected) << R << "," << C;
      }
    }
  }
}

TEST(SegmentTest, RecordsByTag) {
  TBytes Pattern(512);
  for (std::size_t K = 0; K < Pattern.size(); ++K)
    Pattern[K] = static_cast<std::uint8_t>(K * 7 + 1);
  const auto Record = [&](const char* Tag, bool WithPayload) {
    TBytes Bytes = HexBytes(Tag);
    if (WithPayload) Bytes.insert(Bytes.end(), Pattern.begin(), Pattern.end());
    return Bytes;
  };
  const struct {
    const char* Name;
    TBytes Bytes;
    TBytes Expected;
  } Cases[] = {
      {"filled low", Record("00 00 00 00", false), TBytes(512, 0x00)},
      {"filled high", Record("01 00 00 00", false), TBytes(512, 0xFF)},
      {"explicit", Record("ff ff ff ff", true), Pattern},
      {"any other tag carries a payload", Record("07 00 00 00", true), Pattern},
      {"tag 256 is not tag 0", Record("00 01 00 00", true), Pattern},
  };
  for (const auto& Case : Cases) {
    TMemoryReader File(Case.Bytes);
    TSegment Segment;
    Segment.fill(0x5A);
    ReadSegment(File, Segment);
    EXPECT_EQ(TBytes(Segment.begin(), Segment.end()), Case.Expected) << Case.Name;
    // The run reads all records in one piece and expands them only where needed.
    TMemoryReader Again(Case.Bytes);
    TLevel0Records Records;
    Records.Read(Again, 1, Case.Bytes.size());
    const TSegment Expanded = Records.Segment(0);
    EXPECT_EQ(TBytes(Expanded.begin(), Expanded.end()), Case.Expected) << Case.Name;
  }
}

TEST(SegmentTest, CutShortRecordsFail) {
  const struct {
    const char* Name;
    std::size_t Length;
  } Cases[] = {{"no tag", 0}, {"part of a tag", 3}, {"no payload", 4}, {"part of a payload", 515}};
  for (const auto& Case : Cases) {
    TBytes Bytes = HexBytes("ff ff ff ff");
    Bytes.resize(516, 0);
    Bytes.resize(Case.Length);
    TMemoryReader File(Bytes);
    TSegment Segment;
    EXPECT_EQ(FailureOf([&] { ReadSegment(File, Segment); }), "Error reading file") << Case.Name;
    TMemoryReader Again(Bytes);
    TLevel0Records Records;
    EXPECT_EQ(FailureOf([&] { Records.Read(Again, 1, 516); }), "Error reading file") << Case.Name;
  }
}

TEST(InfoRecordTest, FilledAndExplicitRecords) {
  TInfoSegment Mixed{};
  Mixed[0] = 1;
  Mixed[1] = 2;
  Mixed[2] = 3;
  TInfoSegment AllThree;
  AllThree.fill(3);
  TInfoSegment LastOne{};
  LastOne[1023] = 1;
  TBytes MixedPayload(256, 0);
  MixedPayload[0] = 0x39;
  TBytes LastPayload(256, 0);
  LastPayload[255] = 0x40;
  const struct {
    const char* Name;
    TInfoSegment Info;
    TBytes Payload;  // empty for filled records
    const char* Tag;
  } Cases[] = {
      {"all 0", TInfoSegment{}, {}, "00 00 00 00"},
      {"all 3", AllThree, {}, "01 00 00 00"},
      {"values 1, 2, 3, 0 first", Mixed, MixedPayload, "ff ff ff ff"},
      {"value 1 in the last cell", LastOne, LastPayload, "ff ff ff ff"},
  };
  for (const auto& Case : Cases) {
    TMemoryWriter File;
    WriteInfoSegment(File, Case.Info);
    TBytes Expected = HexBytes(Case.Tag);
    Expected.insert(Expected.end(), Case.Payload.begin(), Case.Payload.end());
    EXPECT_EQ(File.Bytes, Expected) << Case.Name;
  }
}

TEST(InfoRecordTest, PackingPlacesEveryValue) {
  for (std::size_t K = 0; K < 1024; K += 37) {
    for (std::uint8_t Value = 1; Value <= 3; ++Value) {
      TInfoSegment Info{};
      Info[K] = Value;
      const TInfoPayload Payload = PackInfoSegment(Info);
      const std::size_t R = K / 32, C = K % 32;
      for (std::size_t B = 0; B < Payload.size(); ++B) {
        const int Expected = B == R * 8 + C / 4 ? Value << (2 * (C % 4)) : 0;
        ASSERT_EQ(Payload[B], Expected) << K << " " << int{Value} << " byte " << B;
      }
    }
  }
}

TEST(InfoRecordTest, ShortWritesFail) {
  TInfoSegment Mixed{};
  Mixed[5] = 2;
  for (const std::size_t Capacity : {0u, 3u, 4u, 259u}) {
    TMemoryWriter File(Capacity);
    EXPECT_EQ(FailureOf([&] { WriteInfoSegment(File, Mixed); }), "Error writing file") << Capacity;
  }
}

TEST(WaypointFileTest, HeaderAndRecordBytes) {
  TMemoryWriter File;
  WriteWaypointHeader(File, 258);
  TWaypointSegment Record;
  Record.DownLinks = {0x50, 0x80};
  Record.RightLinks = {0x01, 0x02};
  Record.Points = {{{32, 32}, {4, 12}, {8, 40}, {63, 0}}};
  Record.AreaMask = 0xF0;
  WriteWaypointSegment(File, Record);
  EXPECT_EQ(File.Bytes, HexBytes("02 01 00 00 02 01 00 00 50 80 01 02 20 20 04 0c 08 28 3f 00 f0 "
                                 "00 00 00"));
  TMemoryWriter Full(20);
  EXPECT_EQ(FailureOf([&] {
              WriteWaypointHeader(Full, 1);
              WriteWaypointSegment(Full, Record);
            }),
            "Error writing file");
}

// The readers of the info and waypoint maps against the writers they mirror.

TBytes Concat(TBytes Bytes, const TBytes& More) {
  Bytes.insert(Bytes.end(), More.begin(), More.end());
  return Bytes;
}

TInfoSegment InfoOf(const std::function<std::uint8_t(int)>& Value) {
  TInfoSegment Info;
  for (int K = 0; K < 1024; ++K) Info[static_cast<std::size_t>(K)] = Value(K);
  return Info;
}

TEST(InfoReaderTest, ReadsBackWhatTheWriterWrote) {
  TRandom Random(8);
  const struct {
    const char* Name;
    TInfoSegment Info;
    std::int32_t Tag;
  } Cases[] = {
      {"all area 1", InfoOf([](int) { return 0; }), segFilledLow},
      {"no area", InfoOf([](int) { return 3; }), segFilledHigh},
      {"one value off", InfoOf([](int K) { return K == 1023 ? 2 : 3; }), segExplicit},
      {"every value in every place", InfoOf([](int K) { return (K + K / 32) % 4; }), segExplicit},
      {"random", InfoOf([&](int) { return Random.Next() % 4; }), segExplicit},
  };
  for (const auto& Case : Cases) {
    TMemoryWriter File;
    WriteInfoSegment(File, Case.Info);
    WriteInfoSegment(File, Case.Info);
    TMemoryReader Reader(File.Bytes);
    TInfoPayload Payload;
    EXPECT_EQ(ReadInfoRecord(Reader, Payload), Case.Tag) << Case.Name;
    EXPECT_EQ(Payload, Case.Tag == segExplicit ? PackInfoSegment(Case.Info) : TInfoPayload{})
        << Case.Name;
    TInfoSegment Back;
    Back.fill(0xAA);
    ReadInfoSegment(Reader, Back);
    EXPECT_EQ(Back, Case.Info) << Case.Name;
    std::array<std::uint8_t, 1> Rest;
    EXPECT_EQ(Reader.Read(Rest), 0u) << Case.Name << ": the reader stops at the record's end";
  }
}

TEST(InfoReaderTest, UnpacksLowBitsFirst) {
  TInfoPayload Payload{};
  Payload[0] = 0x39;  // values 1, 2, 3, 0 in cells (0, 0) ... (0, 3)
  Payload[9] = 0xC0;  // value 3 in cell (1, 7)
  const TInfoSegment Info = UnpackInfoSegment(Payload);
  EXPECT_EQ((std::array{Info[0], Info[1], Info[2], Info[3]}),
            (std::array<std::uint8_t, 4>{1, 2, 3, 0}));
  EXPECT_EQ(Info[32 + 7], 3);
  EXPECT_EQ(std::count(Info.begin(), Info.end(), 0), 1024 - 4);
}

TEST(InfoReaderTest, ShortOrMalformedRecordsFail) {
  const struct {
    const char* Name;
    TBytes Bytes;
    const char* Message;
  } Cases[] = {
      {"empty", {}, "Error reading file"},
      {"tag cut short", HexBytes("ff ff ff"), "Error reading file"},
      {"payload cut short", Concat(HexBytes("ff ff ff ff"), TBytes(255, 0)), "Error reading file"},
      {"tag 2", HexBytes("02 00 00 00"), "Invalid record tag in info map"},
      {"tag 7 with a payload", Concat(HexBytes("07 00 00 00"), TBytes(256, 0)),
       "Invalid record tag in info map"},
      {"tag -2", HexBytes("fe ff ff ff"), "Invalid record tag in info map"},
  };
  for (const auto& Case : Cases) {
    TInfoSegment Info;
    TMemoryReader Reader(Case.Bytes);
    EXPECT_EQ(FailureOf([&] { ReadInfoSegment(Reader, Info); }), Case.Message) << Case.Name;
  }
}

TEST(WaypointReaderTest, HeaderRoundTrip) {
  for (const std::uint32_t N : {1u, 2u, 256u, 512u}) {
    TMemoryWriter File;
    WriteWaypointHeader(File, N);
    TMemoryReader Reader(File.Bytes);
    EXPECT_EQ(ReadWaypointHeader(Reader), N);
  }
}

TEST(WaypointReaderTest, BadHeadersFail) {
  const struct {
    const char* Bytes;
    const char* Message;
  } Cases[] = {
      {"", "Error reading file"},
      {"02 00 00 00 02 00 00", "Error reading file"},
      {"02 00 00 00 03 00 00 00", "Invalid waypoint map header"},
      {"00 01 00 00 00 00 00 00", "Invalid waypoint map header"},
      {"ff ff ff ff ff ff ff ff", "Invalid waypoint map header"},
  };
  for (const auto& Case : Cases) {
    TMemoryReader Reader(HexBytes(Case.Bytes));
    EXPECT_EQ(FailureOf([&] { ReadWaypointHeader(Reader); }), Case.Message) << Case.Bytes;
  }
}

TEST(WaypointReaderTest, RecordRoundTripAndShortRecord) {
  TWaypointSegment Record;
  Record.DownLinks = {0x21, 0x84};
  Record.RightLinks = {0x12, 0x48};
  Record.Points = {{{32, 32}, {1, 63}, {63, 0}, {7, 9}}};
  Record.AreaMask = 0xF0;
  TMemoryWriter File;
  WriteWaypointSegment(File, Record);
  TMemoryReader Reader(File.Bytes);
  TWaypointSegment Back;
  ReadWaypointSegment(Reader, Back);
  using TRecordBytes = std::array<std::uint8_t, 16>;
  EXPECT_EQ(std::bit_cast<TRecordBytes>(Back), std::bit_cast<TRecordBytes>(Record));

  TMemoryReader Short(TBytes(15, 0));
  EXPECT_EQ(FailureOf([&] { ReadWaypointSegment(Short, Back); }), "Error reading file");
}

}  // namespace
}  // namespace varnholt
