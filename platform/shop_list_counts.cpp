#include "platform/shop_list_counts.h"

#include <chrono>
#include <cstdint>
#include <cstdio>

#include "db/runner.h"
#include "db/sql.h"

namespace ws::platform {

namespace {

// The row's key: a list's text runs to hundreds of bytes, too long for an index entry to be
// cheap; the text itself is kept beside it and compared, so two lists never share figures.
std::string KeyOf(const std::string& list) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (unsigned char c : list) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

int64_t VersionSum(const ListBlocks& blocks) {
  int64_t sum = 0;
  for (const auto& entry : blocks.versions) sum += entry.second;
  for (const auto& entry : blocks.lookups) sum += entry.second;
  return sum;
}

}  // namespace

std::optional<ListBlocks> ShopListCounts::Find(const std::string& list) {
  if (!readable_) return std::nullopt;
  std::string error;
  auto rs = db::Runner(*db_).Open(
      db::Sql("SELECT list_text, figures FROM ws_list_count WHERE list_key = ").Text(KeyOf(list)),
      &error);
  if (!error.empty()) {
    readable_ = false;  // a file from before the table: the desk counts as it did
    return std::nullopt;
  }
  if (rs->Eof() || rs->Field(0).ToText() != list) return std::nullopt;
  return BlocksFromText(rs->Field(1).ToText());
}

bool ShopListCounts::Store(const std::string& list, const ListBlocks& blocks) {
  if (!writable_ || db_->InTransaction()) return false;
  const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                          std::chrono::system_clock::now().time_since_epoch())
                          .count();
  db::Sql sql(
      "INSERT INTO ws_list_count (list_key, list_text, version_sum, figures, kept_at) VALUES (");
  sql.Text(KeyOf(list))
      .Raw(", ")
      .Text(list)
      .Raw(", ")
      .Key(VersionSum(blocks))
      .Raw(", ")
      .Text(BlocksText(blocks))
      .Raw(", ")
      .Key(now)
      .Raw(
          ") ON CONFLICT (list_key) DO UPDATE SET list_text = excluded.list_text, version_sum = "
          "excluded.version_sum, figures = excluded.figures, kept_at = excluded.kept_at WHERE "
          "ws_list_count.version_sum <= excluded.version_sum");
  // The row only spares the next desk a count: a clerk's move never waits for another desk's
  // write (an import, a period close) to have it kept. A shop that was busy is asked again at a
  // later store; one that refused the write is not asked again this session, and its figures
  // are only counted again by the next desk.
  db::Runner runner(*db_, db::IDatabase::kCommandTextNoWait);
  bool busy = false;
  if (!runner.Execute(sql, nullptr, &busy).empty()) {
    if (!busy) writable_ = false;
    return false;
  }
  // Every filter a clerk typed and every month's window is a list of its own: those nobody
  // kept for a season go, so the table holds what the desks use.
  if (!pruned_) {
    busy = false;
    runner.Execute(db::Sql("DELETE FROM ws_list_count WHERE kept_at < ").Key(now - kKeptSeconds),
                   nullptr, &busy);
    pruned_ = !busy;
  }
  return true;
}

}  // namespace ws::platform
