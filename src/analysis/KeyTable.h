// Dense numbers for the keys a search meets (segments, regions), in the order it meets them: a
// search's cost grows with what it visits, not with the map.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <vector>

namespace varnholt {

class TKeyTable {
 public:
  static constexpr std::uint32_t kMissing = UINT32_MAX;
  std::uint32_t Find(std::uint64_t Key) const {
    if (Keys.empty()) return kMissing;
    for (std::size_t Slot = Hash(Key);; Slot = (Slot + 1) & (Keys.size() - 1)) {
      if (Keys[Slot] == 0) return kMissing;
      if (Keys[Slot] == Key + 1) return Values[Slot];
    }
  }
  // Key's number, numbering it next if it is new.
  std::uint32_t Add(std::uint64_t Key) {
    if (2 * (Count + 1) > Keys.size()) Grow();
    std::size_t Slot = Hash(Key);
    for (; Keys[Slot] != 0; Slot = (Slot + 1) & (Keys.size() - 1)) {
      if (Keys[Slot] == Key + 1) return Values[Slot];
    }
    Keys[Slot] = Key + 1;
    Values[Slot] = Count;
    return Count++;
  }
  std::uint32_t Size() const { return Count; }
  // Room for Keys keys in all without growing.
  void Reserve(std::size_t Wanted) {
    while (Values.size() < 2 * Wanted) Grow();
  }

 private:
  std::size_t Hash(std::uint64_t Key) const {
    return static_cast<std::size_t>((Key * 0x9E3779B97F4A7C15ull) >> Shift);
  }
  void Grow() {
    std::vector<std::uint64_t> OldKeys = std::move(Keys);
    std::vector<std::uint32_t> OldValues = std::move(Values);
    const std::size_t Size = std::max<std::size_t>(64, 2 * OldKeys.size());
    Keys.assign(Size, 0);
    Values.assign(Size, 0);
    Shift = 64 - std::countr_zero(Size);
    for (std::size_t Slot = 0; Slot < OldKeys.size(); ++Slot) {
      if (OldKeys[Slot] == 0) continue;
      std::size_t To = Hash(OldKeys[Slot] - 1);
      while (Keys[To] != 0) To = (To + 1) & (Size - 1);
      Keys[To] = OldKeys[Slot];
      Values[To] = OldValues[Slot];
    }
  }

  std::vector<std::uint64_t> Keys;  // key + 1; 0 marks a free slot
  std::vector<std::uint32_t> Values;
  std::uint32_t Count = 0;
  int Shift = 64;
};

}  // namespace varnholt
