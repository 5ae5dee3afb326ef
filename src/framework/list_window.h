// The list window of a document: with no particular document requested, a list reaches back
// "befmonth" months (option of module 12; 0 or none is a year) over its date column from the
// login month, or over its period column from the current period the document read at Init.
// The bounds travel through the statement builder, so each dialect gets its own date literal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "db/date.h"
#include "host/system.h"

namespace ws::framework {

// The column a list is windowed by, and in which order the bounds are written: the documents'
// logged statements differ in it and nothing else.
struct WindowColumn {
  enum Kind {
    Dates,             // " and C>=<first day, months back> and C<<first day of the next month>"
    PeriodsUpFirst,    // " and C<=<current> and C>=<current stepped back>"
    PeriodsFromFirst,  // " and C>=<current stepped back> and C<=<current>"
  };
  const char* name;
  Kind kind;
};

// How many months a list reaches back.
int ListWindowMonths(host::ISystem& system);

// From the first day of the month `months` before the login month (inclusive) to the first day
// of the month after it (exclusive), whole years carried both ways.
std::pair<db::Date, db::Date> DateWindow(const db::Date& login, int months);

// The condition that follows "progid=N" in the dialect of `driver`; `currentPeriod` is read
// by period columns only.
std::string ListWindow(host::ISystem& system, const WindowColumn& column, std::string_view driver,
                       int64_t currentPeriod = 0);

}  // namespace ws::framework
