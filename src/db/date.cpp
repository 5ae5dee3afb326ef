#include "db/date.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace ws::db {

namespace {
// Reads digits at pos; answers -1 when none.
int ReadNumber(std::string_view text, size_t& pos, size_t maxDigits) {
  int value = 0;
  size_t digits = 0;
  while (pos < text.size() && digits < maxDigits &&
         std::isdigit(static_cast<unsigned char>(text[pos]))) {
    value = value * 10 + (text[pos] - '0');
    ++pos;
    ++digits;
  }
  return digits == 0 ? -1 : value;
}
}  // namespace

bool IsLeapYear(int year) {
  return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<Date> Date::Parse(std::string_view text) {
  size_t pos = 0;
  while (pos < text.size() && text[pos] == ' ') ++pos;
  int y = ReadNumber(text, pos, 4);
  if (y < 0 || pos >= text.size() || (text[pos] != '-' && text[pos] != '/')) return std::nullopt;
  char sep = text[pos++];
  int m = ReadNumber(text, pos, 2);
  if (m < 0 || pos >= text.size() || text[pos] != sep) return std::nullopt;
  ++pos;
  int d = ReadNumber(text, pos, 2);
  if (d < 0) return std::nullopt;
  // Only a time part may follow.
  if (pos < text.size() && text[pos] != ' ' && text[pos] != 'T') return std::nullopt;
  if (y < 1 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) return std::nullopt;
  return Date{y, m, d};
}

std::string Date::Text() const {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
  return buf;
}

Date Today() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return Date{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string NowStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

std::string FormatDateText(std::string_view stored) {
  if (auto d = Date::Parse(stored)) return d->Text();
  return std::string(stored);
}

int PeriodOfDate(const Date& date, int closingDay) {
  int year = date.year;
  int month = date.month;
  if (closingDay >= 1 && closingDay < 31 && date.day > closingDay) {
    if (++month > 12) {
      month = 1;
      ++year;
    }
  }
  return year * 100 + month;
}

int StepPeriodBack(int period, int months) {
  int year = period / 100;
  int month = period % 100;
  for (int i = 0; i < months; ++i) {
    if (--month < 1) {
      month = 12;
      --year;
    }
  }
  return year * 100 + month;
}

}  // namespace ws::db
