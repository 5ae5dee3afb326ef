// The record navigator over a database service: positions document lists one row at a time by
// keyset moves and issues new ids from the host's counter table ws_id.
//
// Lists are never cached: every move runs an indexed query against the live table, so rows
// other users save appear on the next move. Only the figures of the position text "k/N" are
// remembered between moves, together with a change stamp of the database (SQLite: data_version
// and total_changes; PostgreSQL: the WAL insert position); they are reused only while the stamp
// proves that nothing was written since. So a move over an unchanged list costs one indexed
// row query and two stamp reads. After anyone wrote, a list over one tracked document table
// (db::TableDef::trackedSince) is recounted only in the blocks of keys whose version in
// ws_change_block moved, and the row's rank within its own block; any other list is counted
// with the row's rank in one pass. Engines without a stamp count on every move.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "db/database.h"
#include "db/sql.h"
#include "host/navigator.h"

namespace ws::platform {

class RecordNavigator : public host::INavigator {
 public:
  RecordNavigator() = default;
  explicit RecordNavigator(db::IDatabase& db) { Attach(db); }

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

  // How many counting statements the navigator has run (for benchmarks and tests of the
  // position cache).
  int64_t CountQueries() const { return countQueries_; }

 private:
  struct Query;
  struct PositionCache {
    std::string list;   // select + condition the figures belong to
    std::string stamp;  // database change stamp they were taken under
    int64_t total = 0;
    int64_t knownId = 0;
    int64_t knownRank = 0;
  };
  // Rows of a list per block of keys, with the ws_change_block versions they were counted
  // under (a block without a version row is at version 0).
  struct BlockCache {
    std::string list;
    std::map<int64_t, int64_t> counts;
    std::map<int64_t, int64_t> versions;
  };

  // The first row of the list narrowed by extra, in key order (descending: the last); an
  // empty record set when there is none. Error text into *error.
  std::shared_ptr<db::Recordset> FetchOne(const Query& q, const db::Sql& extra, bool descending,
                                          std::string* error);
  // "k/N" of row id in the list; mode tells how the row was reached (-1 for a search).
  std::string Position(const Query& q, int mode, int64_t id, std::string* error);
  // A text that changes whenever anything is written to the database; "" when the engine
  // offers no cheap one (then the figures are recounted on every move).
  std::string ChangeStamp();
  int64_t Count(const Query& q, const db::Sql& extra, std::string* error);
  // N and k of row id counted block by block (see ws_change_block); nullopt when the list or
  // the database does not allow it, or on error (then in *error).
  std::optional<std::pair<int64_t, int64_t>> BlockFigures(const Query& q, int64_t id,
                                                          std::string* error);

  db::IDatabase* db_ = nullptr;
  std::string stampSql_;
  std::optional<PositionCache> cache_;
  std::optional<BlockCache> blocks_;
  bool blocksUsable_ = true;
  int64_t countQueries_ = 0;
};

}  // namespace ws::platform
