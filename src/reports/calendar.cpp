#include "reports/calendar.h"

#include <algorithm>
#include <chrono>

#include "db/date.h"

namespace ws::reports {

namespace {

std::optional<std::chrono::sys_days> DayOf(std::string_view text) {
  auto date = db::Date::Parse(text);
  if (!date) return std::nullopt;
  return std::chrono::sys_days(std::chrono::year(date->year) /
                               std::chrono::month(static_cast<unsigned>(date->month)) /
                               std::chrono::day(static_cast<unsigned>(date->day)));
}

std::string TextOf(std::chrono::sys_days day) {
  const std::chrono::year_month_day ymd(day);
  return db::Date{static_cast<int>(ymd.year()),
                  static_cast<int>(static_cast<unsigned>(ymd.month())),
                  static_cast<int>(static_cast<unsigned>(ymd.day()))}
      .Text();
}

}  // namespace

std::optional<int> DaysBetween(std::string_view from, std::string_view to) {
  auto a = DayOf(from);
  auto b = DayOf(to);
  if (!a || !b) return std::nullopt;
  return static_cast<int>((*b - *a).count());
}

std::string AddDays(std::string_view date, int days) {
  auto day = DayOf(date);
  if (!day) return {};
  const std::chrono::sys_days moved = *day + std::chrono::days(days);
  // Past the last day a date field takes (9999-12-31) there is no date to compare with.
  const int year = static_cast<int>(std::chrono::year_month_day(moved).year());
  return year >= 1 && year <= 9999 ? TextOf(moved) : std::string();
}

std::string AddMonths(std::string_view date, int months) {
  auto parsed = db::Date::Parse(date);
  if (!parsed) return {};
  const int index = parsed->year * 12 + (parsed->month - 1) + months;
  db::Date out{index / 12, index % 12 + 1, parsed->day};
  out.day = std::min(out.day, db::DaysInMonth(out.year, out.month));
  return out.Text();
}

std::optional<DateWindow> WindowOfPeriod(int period, int closingDay) {
  const int year = period / 100;
  const int month = period % 100;
  if (year < 1 || month < 1 || month > 12) return std::nullopt;
  const bool closes = closingDay >= 1 && closingDay < 31;
  const int days = db::DaysInMonth(year, month);
  DateWindow window{{year, month, 1}, {year, month, closes ? std::min(closingDay, days) : days}};
  if (closes) {
    // The days after the previous month's closing day belong here.
    const int before = db::StepPeriodBack(period, 1);
    const db::Date previous{before / 100, before % 100, 1};
    if (closingDay < db::DaysInMonth(previous.year, previous.month)) {
      window.first = {previous.year, previous.month, closingDay + 1};
    }
  }
  return window;
}

}  // namespace ws::reports
