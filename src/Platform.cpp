// The parts of the platform layer that every platform shares: buffering, temporary names, the
// table of pending temporary files and the sizing of grids.
#include "Platform.h"

#include <algorithm>
#include <cstring>

namespace varnholt {
namespace {

TPendingFile PendingFileTable[2];  // at most the two maps are pending at once

}  // namespace

void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize) {
  // A grid row must stay below 2^31 bytes, as a signed 32-bit byte count would.
  if (std::uint64_t{N} * ElementSize >= (std::uint64_t{1} << 31))
    throw Exception("Range check error");
  if (N == 0) return nullptr;
  void* Elements = platform::AllocateZeroed(std::size_t{N} * N * ElementSize);
  if (Elements == nullptr) throw Exception("Out of memory");
  return Elements;
}

std::size_t TInputFile::Read(std::span<std::uint8_t> Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    if (Position == Filled) {
      Filled = platform::ReadSome(Handle, Buffer);
      Position = 0;
      if (Filled == 0) break;
    }
    const std::size_t Take = std::min(Bytes.size() - Done, Filled - Position);
    std::memcpy(Bytes.data() + Done, Buffer.data() + Position, Take);
    Position += Take;
    Done += Take;
  }
  return Done;
}

std::size_t TOutputFile::Write(std::span<const std::uint8_t> Bytes) {
  Failed = Failed || !platform::WriteAll(Handle, Bytes);
  return Failed ? 0 : Bytes.size();
}

namespace platform {

std::span<TPendingFile> PendingFiles() {
  return PendingFileTable;
}

TPendingFile* RegisterPendingFile(const std::string& Path) {
  for (TPendingFile& File : PendingFileTable) {
    if (File.Active != 0 || Path.size() >= sizeof File.Path) continue;
    std::memcpy(File.Path, Path.c_str(), Path.size() + 1);
    File.Active = 1;
    return &File;
  }
  return nullptr;
}

void ReleasePendingFile(TPendingFile* File) {
  if (File != nullptr) File->Active = 0;
}

std::string TemporaryPathFor(const std::string& Path, int Attempt) {
  // Beside the target, so that the rename stays within one file system, and short, so that a
  // target whose name is as long as names may be still gets one. The process id keeps
  // concurrent runs apart; the attempt number steps past the run's other output and stale files.
  return SplitPath(Path, PathRules()).Dir + ".varnholt-" + std::to_string(ProcessId()) + "-" +
         std::to_string(Attempt) + ".tmp";
}

}  // namespace platform
}  // namespace varnholt
