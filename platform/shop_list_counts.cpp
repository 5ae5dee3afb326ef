#include "platform/shop_list_counts.h"

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

void ShopListCounts::Store(const std::string& list, const ListBlocks& blocks) {
  if (!writable_ || db_->InTransaction()) return;
  db::Sql sql("INSERT INTO ws_list_count (list_key, list_text, version_sum, figures) VALUES (");
  sql.Text(KeyOf(list))
      .Raw(", ")
      .Text(list)
      .Raw(", ")
      .Key(VersionSum(blocks))
      .Raw(", ")
      .Text(BlocksText(blocks))
      .Raw(
          ") ON CONFLICT (list_key) DO UPDATE SET list_text = excluded.list_text, version_sum = "
          "excluded.version_sum, figures = excluded.figures WHERE ws_list_count.version_sum <= "
          "excluded.version_sum");
  // Figures that cannot be kept in the shop are only counted again by the next desk.
  if (!db::Runner(*db_).Execute(sql).empty()) writable_ = false;
}

}  // namespace ws::platform
