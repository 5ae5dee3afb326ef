#include "framework/list_window.h"

#include "db/sql.h"
#include "db/value.h"

namespace ws::framework {

int ListWindowMonths(host::ISystem& system) {
  const int months =
      static_cast<int>(db::NumericValue(system.GetOption(12, std::string("befmonth"))));
  return months == 0 ? 12 : months;
}

std::pair<db::Date, db::Date> DateWindow(const db::Date& login, int months) {
  int startYear = login.year;
  int startMonth = login.month - months;
  while (startMonth < 1) {
    startMonth += 12;
    --startYear;
  }
  while (startMonth > 12) {
    startMonth -= 12;
    ++startYear;
  }
  int endYear = login.year;
  int endMonth = login.month + 1;
  if (endMonth > 12) {
    endMonth -= 12;
    ++endYear;
  }
  return {db::Date{startYear, startMonth, 1}, db::Date{endYear, endMonth, 1}};
}

std::string ListWindow(host::ISystem& system, const WindowColumn& column, std::string_view driver,
                       int64_t currentPeriod) {
  const int months = ListWindowMonths(system);
  const std::string c = std::string(" and ") + column.name;
  db::Sql sql;
  if (column.kind == WindowColumn::Dates) {
    auto [from, to] = DateWindow(system.GetLoginInfo().loginDate, months);
    sql.Raw(c + ">=").Date(from.Text(), driver).Raw(c + "<").Date(to.Text(), driver);
    return sql.Literal();
  }
  const int current = static_cast<int>(currentPeriod);
  const int first = db::StepPeriodBack(current, months);
  if (column.kind == WindowColumn::PeriodsUpFirst) {
    sql.Raw(c + "<=").Key(current).Raw(c + ">=").Key(first);
  } else {
    sql.Raw(c + ">=").Key(first).Raw(c + "<=").Key(current);
  }
  return sql.Literal();
}

}  // namespace ws::framework
