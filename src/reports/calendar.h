// Day arithmetic on the module's stored dates (yyyy-mm-dd text), for the lists that age
// balances, look ahead to services and gather a period's documents.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/date.h"

namespace ws::reports {

// Days from one date to another (negative when `to` is earlier); nullopt when either is no date.
std::optional<int> DaysBetween(std::string_view from, std::string_view to);
// The date that many days after a date; empty when it is no date.
std::string AddDays(std::string_view date, int days);
// The date that many months after a date, on the month's last day when that month is shorter
// (a service six months after 08-31 is due 02-28/29); empty when it is no date.
std::string AddMonths(std::string_view date, int months);

// The first and the last day of an accounting period under a closing day: the days
// db::PeriodOfDate puts in it. nullopt for a period that is no year and month.
struct DateWindow {
  db::Date first;
  db::Date last;
};
std::optional<DateWindow> WindowOfPeriod(int period, int closingDay);

}  // namespace ws::reports
