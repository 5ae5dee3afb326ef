#include "host/conditions.h"

#include "db/sql.h"

namespace ws::host {

namespace {
std::string Trim(std::string_view s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string_view::npos) return {};
  size_t e = s.find_last_not_of(" \t");
  return std::string(s.substr(b, e - b + 1));
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}
}  // namespace

std::string BuildConditionText(const std::vector<Condition>& conditions, std::string_view driver) {
  db::Sql sql;
  for (const auto& c : conditions) {
    if (Trim(c.value).empty()) continue;
    sql.Raw(" and ").Raw(c.columnOp);
    if (EndsWith(Trim(c.columnOp), "like")) {
      sql.Raw(" '%").TextBody(c.value).Raw("%' ");
    } else if (db::IsJetDriver(driver)) {
      sql.Raw("#").TextBody(c.value).Raw("#");
    } else {
      sql.Raw("'").TextBody(c.value).Raw("'");
    }
  }
  std::string text = sql.str();
  return text.empty() ? text : text.substr(4);
}

}  // namespace ws::host
