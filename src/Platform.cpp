// The parts of the platform layer that every platform shares: path and command-line splitting,
// buffered reading, the sizing of grids and the table of files an interruption removes.
#include "Platform.h"

#include <algorithm>
#include <cstring>

namespace varnholt {
namespace {

// The slots of the files an interruption removes: a commit's three maps and a claim, for a
// few threads at once.
platform::TPendingFile PendingFileTable[16];

}  // namespace

std::string FolderOf(const std::string& Path) {
  return SplitPath(Path, platform::FileSystemPathRules()).Dir;
}

std::string NameOf(const std::string& Path) {
  return SplitPath(Path, platform::FileSystemPathRules()).Name;
}

TPathParts SplitPath(std::string_view Path, const TPathRules& Rules) {
  std::size_t NameStart = 0;
  for (std::size_t K = 0; K < Path.size(); ++K) {
    const auto Byte = static_cast<unsigned char>(Path[K]);
    if (Rules.IsLeadByte != nullptr && Rules.IsLeadByte(Byte)) {
      ++K;  // the second byte of the character, whatever its code
    } else if (Rules.Separators.find(Path[K]) != std::string_view::npos) {
      NameStart = K + 1;
    }
  }
  return {std::string(Path.substr(0, NameStart)), std::string(Path.substr(NameStart))};
}

std::vector<std::string> SplitCommandLine(std::string_view CommandLine) {
  const auto Separates = [](char C) {
    return static_cast<unsigned char>(C) >= 1 && static_cast<unsigned char>(C) <= 32;
  };
  std::vector<std::string> Arguments;
  std::size_t K = 0;
  while (K < CommandLine.size()) {
    if (Separates(CommandLine[K])) {
      ++K;
      continue;
    }
    // An empty pair of quotes at the start of an argument is dropped.
    while (CommandLine.substr(K, 2) == "\"\"") K += 2;
    std::string Argument;
    bool Quoted = false;
    for (; K < CommandLine.size() && (Quoted || !Separates(CommandLine[K])); ++K) {
      if (CommandLine[K] == '"') {
        Quoted = !Quoted;
      } else {
        Argument += CommandLine[K];
      }
    }
    if (!Argument.empty()) Arguments.push_back(std::move(Argument));
  }
  return Arguments;
}

void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize) {
  // A grid row must stay below 2^31 bytes, as a signed 32-bit byte count would.
  if (std::uint64_t{N} * ElementSize >= (std::uint64_t{1} << 31))
    throw Exception("Range check error");
  if (N == 0) return nullptr;
  void* Elements = platform::AllocateZeroed(std::size_t{N} * N * ElementSize);
  if (Elements == nullptr) throw Exception("Out of memory");
  return Elements;
}

void* AllocateZeroedBytes(std::size_t Bytes) {
  void* Memory = platform::AllocateZeroed(std::max<std::size_t>(Bytes, 1));
  if (Memory == nullptr) throw Exception("Out of memory");
  return Memory;
}

std::size_t TInputFile::Read(std::span<std::uint8_t> Bytes) {
  std::size_t Done = 0;
  while (Done < Bytes.size()) {
    if (Position == Filled && Bytes.size() - Done >= Buffer.size()) {
      // Large reads, such as all of a map's records, go straight where they are wanted.
      const std::size_t Count = platform::ReadSome(Handle, Bytes.subspan(Done));
      if (Count == 0) break;
      Done += Count;
      continue;
    }
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

bool TInputFile::IsAlso(const std::string& Path) const {
  return platform::IdentityOf(Path) == platform::IdentityOf(Handle);
}

namespace platform {

std::span<TPendingFile> PendingFiles() {
  return PendingFileTable;
}

TPendingFile* RegisterPendingFile(const std::string& Path) {
  if (Path.size() >= sizeof TPendingFile::Path) return nullptr;
  for (TPendingFile& File : PendingFileTable) {
    int Free = kFree;
    if (!File.State.compare_exchange_strong(Free, kFilling)) continue;
    std::memcpy(File.Path, Path.c_str(), Path.size() + 1);
    File.State = kActive;
    return &File;
  }
  return nullptr;
}

void ReleasePendingFile(TPendingFile* File) {
  if (File != nullptr) File->State = kFree;
}

}  // namespace platform
}  // namespace varnholt
