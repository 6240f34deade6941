#include "TiledData.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>

#include "Sources.h"

namespace varnholt::import {
namespace {

int Base64Value(char C) {
  if (C >= 'A' && C <= 'Z') return C - 'A';
  if (C >= 'a' && C <= 'z') return C - 'a' + 26;
  if (C >= '0' && C <= '9') return C - '0' + 52;
  if (C == '+') return 62;
  if (C == '/') return 63;
  return -1;
}

bool IsSpace(char C) {
  return C == ' ' || C == '\t' || C == '\n' || C == '\r';
}

// Base64 as RFC 4648 has it; white space around and between the characters is skipped, as XML
// holds the text on lines of its own.
TBytes Base64Bytes(std::string_view Text, const std::string& Where) {
  TBytes Bytes;
  Bytes.reserve(Text.size() / 4 * 3);
  std::uint32_t Bits = 0;
  int Held = 0, Padding = 0;
  for (std::size_t K = 0; K < Text.size(); ++K) {
    if (IsSpace(Text[K])) continue;
    const int Value = Base64Value(Text[K]);
    if (Text[K] == '=') {
      ++Padding;
    } else if (Value < 0 || Padding > 0) {
      Fail(Where, "base64 data holds '" +
                      std::string(1, Text[K] >= ' ' && Text[K] <= '~' ? Text[K] : '?') +
                      "' at character " + std::to_string(K + 1));
    } else {
      Bits = Bits << 6 | static_cast<std::uint32_t>(Value);
      if (++Held == 4) {
        for (int Shift = 16; Shift >= 0; Shift -= 8)
          Bytes.push_back(static_cast<std::uint8_t>(Bits >> Shift));
        Held = 0;
        Bits = 0;
      }
    }
  }
  if (Held == 1 || Padding > 2 || (Padding > 0 && Held + Padding != 4)) {
    Fail(Where, "base64 data ends in the middle of a group of four characters");
  }
  if (Held >= 2) Bytes.push_back(static_cast<std::uint8_t>(Bits >> (Held == 2 ? 4 : 10)));
  if (Held == 3) Bytes.push_back(static_cast<std::uint8_t>(Bits >> 2));
  return Bytes;
}

// Inflates zlib (WindowBits 15) or gzip (31) data, growing as it goes, so that a file declaring
// a huge layer takes no memory for tiles it does not hold; no further than Limit bytes and one byte
// more, which tells that there is more than Limit.
TBytes Inflated(const TBytes& Packed, int WindowBits, std::size_t Limit, const std::string& Where) {
  z_stream Stream{};
  if (inflateInit2(&Stream, WindowBits) != Z_OK) throw std::bad_alloc();
  Stream.next_in = const_cast<Bytef*>(Packed.data());
  Stream.avail_in = static_cast<uInt>(Packed.size());
  TBytes Bytes;
  std::uint8_t Chunk[65536];
  int Result = Z_OK;
  while (Result == Z_OK && Bytes.size() <= Limit) {
    Stream.next_out = Chunk;
    Stream.avail_out = sizeof Chunk;
    Result = inflate(&Stream, Z_NO_FLUSH);
    Bytes.insert(Bytes.end(), Chunk, Chunk + (sizeof Chunk - Stream.avail_out));
    if (Result == Z_BUF_ERROR && Stream.avail_out > 0) break;  // no input left
    if (Result == Z_BUF_ERROR) Result = Z_OK;
  }
  const std::string Message = Stream.msg != nullptr ? Stream.msg : "";
  inflateEnd(&Stream);
  if (Result == Z_STREAM_END || Bytes.size() > Limit) return Bytes;
  if (Result == Z_MEM_ERROR) throw std::bad_alloc();
  if (Result == Z_BUF_ERROR) Fail(Where, "compressed data cut short");
  Fail(Where, "compressed data damaged" + (Message.empty() ? "" : ": " + Message));
}

std::string Base64Text(const TBytes& Bytes) {
  static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string Text;
  Text.reserve((Bytes.size() + 2) / 3 * 4);
  for (std::size_t K = 0; K < Bytes.size(); K += 3) {
    const std::size_t Held = std::min<std::size_t>(3, Bytes.size() - K);
    std::uint32_t Bits = std::uint32_t{Bytes[K]} << 16;
    if (Held > 1) Bits |= std::uint32_t{Bytes[K + 1]} << 8;
    if (Held > 2) Bits |= Bytes[K + 2];
    for (std::size_t D = 0; D < 4; ++D) {
      Text += D <= Held ? kDigits[Bits >> (18 - 6 * D) & 63] : '=';
    }
  }
  return Text;
}

}  // namespace

std::string ZlibBase64Text(const TGids& Gids) {
  TBytes Bytes(4 * Gids.size());
  for (std::size_t K = 0; K < Gids.size(); ++K) {
    for (std::size_t B = 0; B < 4; ++B)
      Bytes[4 * K + B] = static_cast<std::uint8_t>(Gids[K] >> (8 * B));
  }
  uLongf Size = compressBound(static_cast<uLong>(Bytes.size()));
  TBytes Packed(Size);
  if (compress2(Packed.data(), &Size, Bytes.data(), static_cast<uLong>(Bytes.size()), 9) != Z_OK) {
    throw std::bad_alloc();
  }
  Packed.resize(Size);
  return Base64Text(Packed);
}

TGids CsvGids(std::string_view Text, std::size_t Count, const std::string& Where) {
  TGids Gids;
  Gids.reserve(std::min(Count, Text.size() / 2 + 1));
  std::size_t At = 0;
  while (true) {
    while (At < Text.size() && IsSpace(Text[At])) ++At;
    if (At == Text.size() && Gids.empty()) break;
    std::uint32_t Gid = 0;
    const auto [End, Error] = std::from_chars(Text.data() + At, Text.data() + Text.size(), Gid);
    if (Error != std::errc{}) {
      Fail(Where, "tile " + std::to_string(Gids.size() + 1) + " of the CSV data is not a gid");
    }
    Gids.push_back(Gid);
    At = static_cast<std::size_t>(End - Text.data());
    while (At < Text.size() && IsSpace(Text[At])) ++At;
    if (At == Text.size()) break;
    if (Text[At] != ',' || Gids.size() > Count) break;
    ++At;
  }
  if (Gids.size() > Count) {
    Fail(Where, "the CSV data holds more than " + std::to_string(Count) + " tiles, " +
                    std::to_string(Count) + " expected");
  }
  if (At != Text.size()) {
    const char C = Text[At];
    Fail(Where, "the CSV data holds '" + std::string(1, C >= ' ' && C <= '~' ? C : '?') +
                    "' after tile " + std::to_string(Gids.size()));
  }
  if (Gids.size() != Count) {
    Fail(Where, "the CSV data holds " + std::to_string(Gids.size()) + " tiles, " +
                    std::to_string(Count) + " expected");
  }
  return Gids;
}

TGids Base64Gids(std::string_view Text, std::string_view Compression, std::size_t Count,
                 const std::string& Where) {
  if (Compression == "zstd") {
    Fail(
        Where,
        "Zstandard compression is not read: save the map with zlib or gzip compression, or as CSV");
  }
  if (!Compression.empty() && Compression != "zlib" && Compression != "gzip") {
    Fail(Where, "unknown compression '" + std::string(Compression) + "'");
  }
  const std::size_t Wanted = 4 * Count;
  TBytes Bytes = Base64Bytes(Text, Where);
  if (!Compression.empty()) Bytes = Inflated(Bytes, Compression == "zlib" ? 15 : 31, Wanted, Where);
  if (Bytes.size() != Wanted) {
    Fail(Where, (Bytes.size() > Wanted ? "more than " + std::to_string(Wanted)
                                       : std::to_string(Bytes.size())) +
                    " bytes of tiles, " + std::to_string(Wanted) + " expected (" +
                    std::to_string(Count) + " tiles)");
  }
  TGids Gids(Count);
  for (std::size_t K = 0; K < Count; ++K) {
    const std::uint8_t* Gid = &Bytes[4 * K];
    Gids[K] = std::uint32_t{Gid[0]} | std::uint32_t{Gid[1]} << 8 | std::uint32_t{Gid[2]} << 16 |
              std::uint32_t{Gid[3]} << 24;
  }
  return Gids;
}

}  // namespace varnholt::import
