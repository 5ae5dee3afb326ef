// Calendar dates as the module writes them: "yyyy-mm-dd" text, and accounting periods
// (year * 100 + month) with the closing day.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ws::db {

struct Date {
  int year = 1900;
  int month = 1;
  int day = 1;

  // Reads "yyyy-mm-dd" (also "yyyy/m/d", optionally followed by a time); nullopt when the
  // text is not a real calendar date.
  static std::optional<Date> Parse(std::string_view text);
  // "yyyy-mm-dd".
  std::string Text() const;
  bool operator==(const Date&) const = default;
  auto operator<=>(const Date&) const = default;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// Today's date on this machine's local clock.
Date Today();
// Now on this machine's local clock, "yyyy-mm-dd hh:mm:ss": the text the shop's records are
// stamped with (sorted and compared as text on both engines).
std::string NowStamp();
// Re-formats a stored date value (text or timestamp) as "yyyy-mm-dd"; text that is not a
// date is answered unchanged, empty stays empty.
std::string FormatDateText(std::string_view stored);

// Accounting period of a date: its year and month, except that a day after the closing day
// moves it into the next month (December into January of the next year). A closing day below
// 1 or above 30 means the month ends with the calendar.
int PeriodOfDate(const Date& date, int closingDay);
// The period n months back, one month at a time; n below 1 leaves it unchanged.
int StepPeriodBack(int period, int months);

}  // namespace ws::db
