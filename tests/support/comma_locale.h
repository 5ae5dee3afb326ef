// Runs a test under a locale whose decimal mark is a comma (de_DE.UTF-8), as a desktop started
// by a German or French user runs once Qt has called setlocale(LC_ALL, ""). The process locale
// is restored when the guard ends. scripts/deps.sh test generates the locale; where it cannot
// be had the test skips (GTEST_SKIP) rather than pass without having looked.
#pragma once

#include <clocale>
#include <string>

namespace ws::test {

class CommaLocale {
 public:
  CommaLocale() : saved_(std::setlocale(LC_ALL, nullptr)) {
    active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
  }
  ~CommaLocale() { std::setlocale(LC_ALL, saved_.c_str()); }
  CommaLocale(const CommaLocale&) = delete;
  CommaLocale& operator=(const CommaLocale&) = delete;

  // False when the locale is not installed: the caller skips.
  bool Active() const { return active_; }

 private:
  std::string saved_;
  bool active_ = false;
};

}  // namespace ws::test

#define WS_REQUIRE_COMMA_LOCALE(guard) \
  if (!(guard).Active())               \
  GTEST_SKIP() << "the locale de_DE.UTF-8 is not installed (scripts/deps.sh test makes it)"
