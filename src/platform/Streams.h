// Bytes in and out: the two interfaces every map file is read from and written to, whether it
// lies on disk or in memory, and the one failure of a write that comes up short.
#pragma once

#include <varnholt/exception.hpp>

#include <cstddef>
#include <cstdint>
#include <span>

namespace varnholt {

// A source of bytes: fills as much of Buffer as it can and returns the count actually read.
class TReader {
 public:
  virtual ~TReader() = default;
  virtual std::size_t Read(std::span<std::uint8_t> Buffer) = 0;
};

// A sink of bytes: returns the count actually written; anything short is a failure.
class TWriter {
 public:
  virtual ~TWriter() = default;
  virtual std::size_t Write(std::span<const std::uint8_t> Bytes) = 0;
};

// "Error writing file": a short write, a full disk, a file that cannot be put in place.
[[noreturn]] inline void FailWriting() {
  throw Exception(VARNHOLT_ERROR_WRITE, "Error writing file");
}

// Writes all of Bytes or fails.
inline void WriteAll(TWriter& File, std::span<const std::uint8_t> Bytes) {
  if (File.Write(Bytes) != Bytes.size()) FailWriting();
}

}  // namespace varnholt
