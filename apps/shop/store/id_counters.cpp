#include "shop/store/id_counters.h"

#include <cctype>

namespace ws::shop {

std::string CheckLoadedId(int64_t id) {
  if (id >= 1 && id <= kMaxLoadedId) return "";
  return std::to_string(id) + " is outside the ids a counter can go on from (1 to " +
         std::to_string(kMaxLoadedId) + ")";
}

db::Sql AdvanceIdCounterStatement(const std::string& table, const std::string& keyColumn) {
  std::string lower = table;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  db::Sql sql("INSERT INTO ws_id (table_name, key_column, last_id) SELECT ");
  // "WHERE 1=1" keeps SQLite from reading ON CONFLICT as part of the SELECT's join.
  sql.Text(lower)
      .Raw(", ")
      .Text(keyColumn)
      .Raw(", COALESCE(MAX(")
      .Raw(keyColumn)
      .Raw("), 0) FROM ")
      .Raw(table)
      .Raw(
          " WHERE 1=1 ON CONFLICT (table_name, key_column) DO UPDATE SET last_id = CASE WHEN "
          "excluded.last_id > ws_id.last_id THEN excluded.last_id ELSE ws_id.last_id END");
  return sql;
}

}  // namespace ws::shop
