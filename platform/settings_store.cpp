#include "platform/settings_store.h"

#include "db/runner.h"
#include "db/sql.h"

namespace ws::platform {

SettingsStore::SettingsStore(db::IDatabase& db, std::string userName, ErrorReporter onError)
    : db_(db), userName_(std::move(userName)), onError_(std::move(onError)) {}

std::string SettingsStore::Get(const std::string& key, const std::string& fallback) {
  db::Sql sql("SELECT value FROM ws_user_setting WHERE user_name = ");
  sql.Text(userName_).Raw(" AND key = ").Text(key);
  std::string error;
  auto rs = db::Runner(db_).Open(sql, &error);
  if (!error.empty() || rs->Eof()) return fallback;
  return rs->Text("value");
}

void SettingsStore::Set(const std::string& key, const std::string& value) {
  std::string error = Put(key, value);
  if (!error.empty() && onError_) onError_(error);
}

std::string SettingsStore::Put(const std::string& key, const std::string& value) {
  db::Sql sql("INSERT INTO ws_user_setting (user_name, key, value) VALUES (");
  sql.Text(userName_).Raw(", ").Text(key).Raw(", ").Text(value);
  sql.Raw(") ON CONFLICT (user_name, key) DO UPDATE SET value = excluded.value");
  return db::Runner(db_).Execute(sql);
}

std::string SettingsStore::Remove(const std::string& key) {
  db::Sql sql("DELETE FROM ws_user_setting WHERE user_name = ");
  sql.Text(userName_).Raw(" AND key = ").Text(key);
  return db::Runner(db_).Execute(sql);
}

}  // namespace ws::platform
