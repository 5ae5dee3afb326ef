// The record navigator over a database service: positions document lists one row at a time by
// keyset moves and issues new ids from the host's counter table ws_id.
//
// Lists are never cached: every move runs an indexed query against the live table, so rows
// other users save appear on the next move. Only the figures of the position text "k/N" are
// remembered between moves, together with a change stamp of the database (SQLite: data_version
// and total_changes; PostgreSQL: the WAL insert position, or for a list counted by blocks the
// versions of its tables in ws_change_block); they are reused only while the stamp
// proves that nothing was written since. So a move over an unchanged list costs one indexed
// row query and a few stamp reads. After anyone wrote, a list over a tracked document table
// (db::TableDef::trackedSince), whose condition names no other table than tracked ones it
// looks up on their key, is recounted only in the blocks of keys whose version in
// ws_change_block moved, and the row's rank within its own block; any other list is counted
// with the row's rank in one pass. Engines without a stamp count on every move. The per-block
// figures are kept in a ListCounts that every navigator of a database may share, and in the
// shop file for every desk (ShopListCounts) after a whole count; the keyset walks of such
// lists keep to the blocks that hold rows of the list.
//
// A host with an event loop may have a list nobody counted yet (a shop just made, each month's
// window, a filter with a new condition) counted after the row is shown (CountWhenIdle): the
// position shows "…" for what is not known yet, the list is counted in chunks of keys between
// the host's events, and the position listener is told "k/N" once done.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "db/database.h"
#include "db/sql.h"
#include "host/navigator.h"
#include "platform/list_counts.h"
#include "platform/shop_list_counts.h"

namespace ws::platform {

// Runs work between the host's events, again as long as it answers true.
using IdleRunner = std::function<void(std::function<bool()> work)>;

// How a navigator counts a list it has no figures of.
struct CountLater {
  IdleRunner runner;                       // none: counted at once, before the row is shown
  std::chrono::microseconds atOnce{5000};  // counted before the row is shown, then left to idle
  std::chrono::microseconds chunk{4000};   // what one chunk between events should take
};

class RecordNavigator : public host::INavigator {
 public:
  RecordNavigator() = default;
  explicit RecordNavigator(db::IDatabase& db) { Attach(db); }
  // counts: the per-block figures shared with the other navigators of the same database.
  RecordNavigator(db::IDatabase& db, std::shared_ptr<ListCounts> counts)
      : store_(std::move(counts)), sharedStore_(true) {
    Attach(db);
  }

  void Attach(db::IDatabase& db) override;

  // Takes the next id of (lower-cased table, key column) from ws_id in one statement, jumping
  // past MAX(key) of the table when the counter is behind, so an id never collides with a row
  // already there, whoever inserted it. Runs inside the caller's transaction when one is open
  // (an id of a rolled-back save may be issued again). Table and key must be plain
  // identifiers. Answers the error text, empty on success; id is left unchanged on failure.
  std::string GetNewID(const std::string& table, const std::string& keyColumn,
                       int64_t& id) override;
  // The ids of `count` new rows in one statement: the counter moves by count at once.
  std::string GetNewIDs(const std::string& table, const std::string& keyColumn, int64_t count,
                        std::vector<int64_t>& ids) override;
  // Every batch's ids in one statement; a table named twice gets one run of ids, split in order.
  std::string GetNewIDs(std::vector<host::IdBatch>& batches) override;
  std::string HoldCounter(const std::string& table, const std::string& keyColumn) override;

  // baseSelect must be a SELECT without WHERE or ORDER BY; baseCondition (may be empty) and
  // the key column are used as given. previous/next that find nothing stay on the current row;
  // when that row no longer matches, the nearest row on the other side is taken.
  host::NavResult Navigate(const std::string& baseSelect, const std::string& baseCondition,
                           int mode, int64_t currentId, const std::string& keyColumn,
                           int flag) override;
  // The lowest-key row of baseCondition AND (searchCondition); its position is counted in
  // the list of baseCondition alone, so the next move continues from it.
  host::NavResult Search(const std::string& baseSelect, const std::string& baseCondition,
                         const std::string& searchCondition, const std::string& keyColumn) override;

  // Whole counts of lists without figures are taken in chunks between the host's events.
  void CountWhenIdle(CountLater later) { later_ = std::move(later); }
  void SetPositionListener(host::PositionListener listener) override {
    listener_ = std::move(listener);
  }
  // Whether a list's figures are being counted between events (for tests and benchmarks).
  bool Counting() const { return pending_.has_value(); }

  // How many counting statements the navigator has run (for benchmarks and tests of the
  // position cache).
  int64_t CountQueries() const { return countQueries_; }

  // Blocks a desk new to a list may have to recount before the shop's figures are rewritten.
  static constexpr int64_t kShopLagBlocks = 8;

 private:
  struct Query;
  struct PositionCache {
    std::string list;   // select + condition the figures belong to
    std::string stamp;  // database change stamp they were taken under
    int64_t total = 0;
    int64_t knownId = 0;
    int64_t knownRank = 0;
  };
  // The per-block figures of a list, and the change stamp they were last found current under.
  struct BlockCache {
    std::string list;
    ListBlocks figures;
    std::string stamp;
    int64_t unsaved = 0;  // blocks recounted since the figures were last kept in the shop
  };
  // What the last refresh of a list's figures found changed since this navigator's own
  // earlier figures of it (taken under stamp `from`).
  struct BlockChange {
    std::string list;
    std::string from;
    std::string to;
    std::map<int64_t, int64_t> deltas;  // count now minus count then, per block
    std::set<int64_t> moved;            // blocks whose version moved
    bool whole = true;                  // counted anew: nothing to compare with
  };
  // A whole count taken in chunks of keys, under the versions read before the first chunk: a
  // block written between chunks has a newer version by the time the figures are used, so it
  // is counted again then.
  struct PendingCount {
    std::shared_ptr<const Query> query;
    ListBlocks figures;
    int64_t next = 0;  // the lowest key of the next chunk
    int64_t last = 0;  // the highest key when counting began; the last chunk has no ceiling
    int64_t keys = 0;  // keys per chunk, grown or shrunk to take about CountLater::chunk
    bool started = false;
    // What the rest of the count should take, at the pace of the chunk just counted.
    std::chrono::microseconds rest{0};
  };
  // How a row was reached: the mode, the row moved from and the figures known before the move.
  struct Step {
    int mode = -1;
    int64_t from = 0;
    std::optional<PositionCache> known;
  };

  // The first row of the list narrowed by extra, in key order (descending: the last); an
  // empty record set when there is none. Error text into *error.
  std::shared_ptr<db::Recordset> FetchOne(const Query& q, const db::Sql& extra, bool descending,
                                          std::string* error);
  // The first row of the list narrowed by extra walking up (down: the last), kept to the
  // blocks WalkBlocks names when the list is counted by blocks.
  std::shared_ptr<db::Recordset> Walk(const Query& q, const db::Sql& extra, bool up,
                                      std::optional<int64_t> from, std::string* error);
  // The blocks that may hold the row a walk from `from` (none: from the end) looks for,
  // nearest first; nullopt when the walk cannot be kept to blocks.
  std::optional<std::vector<int64_t>> WalkBlocks(const Query& q, bool up,
                                                 std::optional<int64_t> from) const;
  // "k/N" of row id in the list; mode tells how the row was reached (-1 for a search). stamp
  // is the change stamp read before the row was fetched.
  std::string Position(const Query& q, int mode, int64_t id, std::string stamp, const Step& step,
                       std::string* error);
  // A text that changes whenever something the list shows may have been written; "" when the
  // engine offers no cheap one (then the figures are recounted on every move).
  std::string ChangeStamp(const Query& q);
  // The statement ChangeStamp reads; nullopt when it reads none. A list counted by blocks
  // outside a transaction is stamped by its tables' versions (TableStamped).
  std::optional<db::Sql> StampSql(const Query& q) const;
  bool TableStamped(const Query& q) const;
  // Whether RefreshBlocks may read the list's block versions, and the statement it reads them
  // with.
  bool BlocksReadable(const Query& q) const;
  static db::Sql VersionsSql(const Query& q);
  // The recount of a block; the block of row `rankOf` is counted with the rows up to it.
  static db::Sql BlockCountSql(const Query& q, int64_t block, std::optional<int64_t> rankOf);
  // The count of the rows of row id's block up to it.
  static db::Sql UpToInBlockSql(const Query& q, int64_t id);
  static db::Sql RowSql(const Query& q, const db::Sql& extra, bool descending);
  // A move's first statements travel together on a server: the stamp, then the block versions
  // RefreshBlocks may need, then the row when it does not depend on them.
  void ReadAheadStart(const Query& q, const std::optional<db::Sql>& row);
  int64_t Count(const Query& q, const db::Sql& extra, std::string* error);
  // Adds the list's rows within `extra` (all of them when empty) to `counts`, per block.
  void CountBlocks(const Query& q, const db::Sql& extra, std::map<int64_t, int64_t>& counts,
                   std::string* error);
  // Brings the list's per-block figures up to date (see ws_change_block); false when the list
  // or the database does not allow it, or on error (then in *error). When the block of row
  // `rankOf` is counted again, the rows up to it are counted in the same statement (ownRank_).
  bool RefreshBlocks(const Query& q, const std::string& stamp, std::string* error,
                     std::optional<int64_t> rankOf = std::nullopt);
  static BlockChange ChangeSince(const std::optional<BlockCache>& before, const BlockCache& now);
  // N and k of row id counted block by block (k carried over from the step's known figures
  // when the write left the rows before it countable by blocks); nullopt as RefreshBlocks fails.
  std::optional<std::pair<int64_t, int64_t>> BlockFigures(const Query& q, int64_t id,
                                                          const std::string& stamp,
                                                          const Step& step, std::string* error);
  bool CountingList(const Query& q) const;
  // The list's whole figures counted in chunks for up to CountLater::atOnce; nullopt when the
  // rest is left to the host's idle time (or on error, in *error).
  std::optional<ListBlocks> CountInChunks(const Query& q,
                                          const std::map<int64_t, int64_t>& versions,
                                          const std::map<std::string, int64_t>& lookups,
                                          std::string* error);
  // Counts the next chunk of the pending list; true when it was the last.
  bool CountChunk(std::string* error);
  // What counting `keys` keys (none when below one) should take at the pace of the last chunk
  // counted.
  std::chrono::microseconds Projected(int64_t keys) const;
  // One turn of the host's idle time; false when there is nothing more to count.
  bool CountWhileIdle();
  // Keeps the figures counted and tells the listener the shown row's position.
  void FinishCount();

  db::IDatabase* db_ = nullptr;
  std::string stampSql_;
  std::optional<PositionCache> cache_;
  std::optional<BlockCache> blocks_;
  BlockChange lastChange_;
  // The rows of a recounted block up to a row, taken with the block's count: a save shows the
  // saved document in its block just written, whose rows up to it are then not read twice.
  struct OwnRank {
    std::string list;
    std::string stamp;
    int64_t id = 0;
    int64_t rank = 0;
  };
  std::optional<OwnRank> ownRank_;
  std::shared_ptr<ListCounts> store_;
  std::optional<ShopListCounts> shop_;
  // A list counted between events whose figures the shop could not take then: its next
  // refresh keeps them there.
  std::string shopLate_;
  bool sharedStore_ = false;
  bool blocksUsable_ = true;
  bool tableStamps_ = false;  // stamp lists counted by blocks with their tables' versions
  // The connection's count of writes when this navigator last placed a row: a search after
  // it moved was preceded by this user's own write.
  uint64_t writesSeen_ = 0;
  int64_t countQueries_ = 0;
  CountLater later_;
  host::PositionListener listener_;
  std::optional<PendingCount> pending_;
  bool idleQueued_ = false;
  // The pace of the last chunk counted, of any list. Before the first, 0.4 ms a block of keys
  // (a million-order shop's lists take 0.4 to 0.9 ms on either engine): a list of a dozen
  // blocks or fewer is counted before its row, a longer one left to the idle turns at once.
  double usPerKey_ = 0.1;
  // The row the last position was given for, and whether that position left figures open.
  std::string shownList_;
  int64_t shownId_ = 0;
  bool shownOpen_ = false;
  // Expires with the navigator, so idle work queued by it does nothing after it.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace ws::platform
