#include "host/conditions.h"

#include "db/sql.h"
#include "forms/text.h"

namespace ws::host {

using forms::EndsWith;
using forms::Trim;

std::string BuildConditionText(const std::vector<Condition>& conditions, std::string_view driver) {
  db::Sql sql;
  for (const auto& c : conditions) {
    if (Trim(c.value).empty()) continue;
    sql.Raw(" and ").Raw(c.columnOp);
    if (EndsWith(Trim(c.columnOp), "like")) {
      sql.Raw(" '%").TextBody(c.value).Raw("%' ");
    } else if (db::IsJetDriver(driver)) {
      // A "#" typed into the value must not close the literal and open SQL of its own.
      sql.Raw(db::DateLiteral(c.value, driver));
    } else {
      sql.Raw("'").TextBody(c.value).Raw("'");
    }
  }
  std::string text = sql.str();
  return text.empty() ? text : text.substr(4);
}

}  // namespace ws::host
