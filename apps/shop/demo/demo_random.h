// The demo's source of randomness: std::mt19937_64, whose sequence the standard fixes, read
// through its own small helpers instead of the library distributions (whose results differ
// between standard libraries), so a seed gives the same shop everywhere.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace ws::shop {

class DemoRandom {
 public:
  explicit DemoRandom(uint64_t seed) : engine_(seed) {}

  // Uniform in [0, n); n must be above 0. The modulo bias is far below anything a demo shows.
  uint64_t Below(uint64_t n) { return engine_() % n; }
  // Uniform in [low, high].
  int64_t Between(int64_t low, int64_t high) {
    return low + static_cast<int64_t>(Below(static_cast<uint64_t>(high - low + 1)));
  }
  // Uniform in [0, 1).
  double Unit() { return static_cast<double>(engine_() >> 11) * (1.0 / 9007199254740992.0); }
  bool Chance(double probability) { return Unit() < probability; }
  template <typename T>
  const T& Pick(const std::vector<T>& items) {
    return items[Below(items.size())];
  }
  // An index drawn by weight.
  size_t Weighted(const std::vector<int>& weights) {
    int total = 0;
    for (int w : weights) total += w;
    int64_t r = static_cast<int64_t>(Below(static_cast<uint64_t>(total)));
    for (size_t i = 0; i < weights.size(); ++i) {
      if (r < weights[i]) return i;
      r -= weights[i];
    }
    return weights.size() - 1;
  }
  // n decimal digits.
  std::string Digits(int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += static_cast<char>('0' + Below(10));
    return out;
  }

 private:
  std::mt19937_64 engine_;
};

}  // namespace ws::shop
