// The parts of the platform layer that every platform shares: path splitting, UTF-16 names,
// buffered reading and the sizing of grids.
#include "platform/Platform.h"

#include "platform/Memory.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/Memory.h"

namespace varnholt {

std::string FolderOf(const std::string& Path) {
  return SplitPath(Path, platform::FileSystemPathRules()).Dir;
}

std::string NameOf(const std::string& Path) {
  return SplitPath(Path, platform::FileSystemPathRules()).Name;
}

TPathParts SplitPath(std::string_view Path, const TPathRules& Rules) {
  const std::size_t Last = Path.find_last_of(Rules.Separators);
  const std::size_t NameStart = Last == std::string_view::npos ? 0 : Last + 1;
  return {std::string(Path.substr(0, NameStart)), std::string(Path.substr(NameStart))};
}

namespace {

// The code point at Text[K] and the bytes it takes; U+FFFD and one byte where none begins.
std::pair<char32_t, std::size_t> Utf8At(std::string_view Text, std::size_t K) {
  const auto Lead = static_cast<unsigned char>(Text[K]);
  const std::size_t Length = Lead < 0x80    ? 1
                             : Lead >= 0xF5 ? 0
                             : Lead >= 0xF0 ? 4
                             : Lead >= 0xE0 ? 3
                             : Lead >= 0xC2 ? 2
                                            : 0;
  if (Length == 0 || K + Length > Text.size()) return {0xFFFD, 1};
  char32_t Code = Length == 1 ? Lead : Lead & (0x7F >> Length);
  for (std::size_t Next = 1; Next < Length; ++Next) {
    const auto Byte = static_cast<unsigned char>(Text[K + Next]);
    if ((Byte & 0xC0) != 0x80) return {0xFFFD, 1};
    Code = Code << 6 | (Byte & 0x3F);
  }
  const char32_t Least[] = {0, 0, 0x80, 0x800, 0x10000};
  if (Code < Least[Length] || Code > 0x10FFFF) return {0xFFFD, 1};
  return {Code, Length};
}

}  // namespace

std::u16string Utf16Of(std::string_view Text) {
  std::u16string Units;
  for (std::size_t K = 0; K < Text.size();) {
    const auto [Code, Length] = Utf8At(Text, K);
    K += Length;
    if (Code < 0x10000) {
      Units.push_back(static_cast<char16_t>(Code));
    } else {
      Units.push_back(static_cast<char16_t>(0xD800 + ((Code - 0x10000) >> 10)));
      Units.push_back(static_cast<char16_t>(0xDC00 + ((Code - 0x10000) & 0x3FF)));
    }
  }
  return Units;
}

void CheckGridRow(std::uint64_t N, std::size_t ElementSize) {
  if (N * ElementSize >= (std::uint64_t{1} << 31))
    throw Exception(VARNHOLT_ERROR_SIZE, "Range check error");
}

void* AllocateZeroedGrid(std::uint32_t N, std::size_t ElementSize) {
  CheckGridRow(N, ElementSize);
  if (N == 0) return nullptr;
  void* Elements = platform::AllocateZeroed(std::size_t{N} * N * ElementSize);
  if (Elements == nullptr) throw Exception(VARNHOLT_ERROR_MEMORY, "Out of memory");
  return Elements;
}

void* AllocateZeroedBytes(std::size_t Bytes) {
  void* Memory = platform::AllocateZeroed(std::max<std::size_t>(Bytes, 1));
  if (Memory == nullptr) throw Exception(VARNHOLT_ERROR_MEMORY, "Out of memory");
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

}  // namespace varnholt
