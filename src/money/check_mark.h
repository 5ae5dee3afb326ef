// The header mark of a money document (settlement or receipt, both rows of ARPReceive): checked
// "02"/"审核" with the checker's name and date, or back to entered "01"/"填单" with the checker
// cleared and the date set to 1900-01-01.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "db/date.h"
#include "db/sql.h"

namespace ws::money {

// Who checks, and on which day: the login user and login date.
struct Checker {
  std::string user;
  db::Date date;
};

db::Sql CheckMarkUpdate(int64_t programNumber, int64_t documentId, const Checker& checker,
                        std::string_view driver);
db::Sql UnCheckMarkUpdate(int64_t programNumber, int64_t documentId, std::string_view driver);

}  // namespace ws::money
