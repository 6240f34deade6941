// The readers of the info and waypoint maps against the writers they mirror.
#include <gtest/gtest.h>

#include <bit>
#include <functional>

#include "MapGenerator.h"
#include "SegUtils.h"
#include "TestSupport.h"

namespace varnholt {
namespace {

using test::FailureOf;
using test::HexBytes;
using test::TBytes;
using test::TMemoryReader;
using test::TMemoryWriter;

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
