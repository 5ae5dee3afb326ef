// The lists' per-block figures kept in the shop file itself (ws_list_count), beside those a
// desk keeps in its work folder: a desk opening a list that any desk of the shop counted before
// (another machine, a clerk's first session, a work folder just made) starts from those figures
// and counts only the blocks written since, instead of the whole list.
//
// Figures are checked against the block versions before they are trusted, like any kept ones,
// so a stale row only costs a recount. Of two desks writing the same list at once the figures
// taken under the larger version sum stay. A login that may not write the table (a read-only
// file, a server account without the right) still reads it; its own counts stay its own.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "db/database.h"
#include "platform/list_counts.h"

namespace ws::platform {

class ShopListCounts {
 public:
  explicit ShopListCounts(db::IDatabase& db) : db_(&db) {}

  // The figures of the list the shop keeps; nullopt when none (or the file has no such table).
  std::optional<ListBlocks> Find(const std::string& list);
  // Keeps the figures for every desk, unless the shop holds ones taken under newer versions.
  // Never waits for another connection's write: false when nothing was written (the shop was
  // busy, worth trying again at a later store, or it refuses this login's writes). Must not
  // run inside the caller's transaction: a refused write would end it on the server.
  bool Store(const std::string& list, const ListBlocks& blocks);

 private:
  // How long the figures of a list nobody counted again stay.
  static constexpr int64_t kKeptSeconds = 92 * 24 * 3600;

  db::IDatabase* db_;
  bool readable_ = true;
  bool writable_ = true;
  bool pruned_ = false;  // the old rows are let go at the first write
};

}  // namespace ws::platform
