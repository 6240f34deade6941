// A small, fast generator of pseudo-random words (splitmix64), the same on every machine: the
// map generator's maps and the inspector's sample of pairs depend on nothing else.
#pragma once

#include <cstdint>

namespace varnholt {

class TRandom {
 public:
  explicit TRandom(std::uint64_t Seed) : State(Seed) {}
  std::uint64_t Next() {
    State += 0x9E3779B97F4A7C15ull;
    return Mix(State);
  }
  // True with probability Percent / 100.
  bool Chance(unsigned Percent) { return Next() % 100 < Percent; }

  // The splitmix64 finaliser: a well-spread word of any word.
  static std::uint64_t Mix(std::uint64_t Value) {
    Value += 0x9E3779B97F4A7C15ull;
    Value = (Value ^ (Value >> 30)) * 0xBF58476D1CE4E5B9ull;
    Value = (Value ^ (Value >> 27)) * 0x94D049BB133111EBull;
    return Value ^ (Value >> 31);
  }

 private:
  std::uint64_t State;
};

}  // namespace varnholt
