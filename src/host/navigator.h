// The record navigator: loads and positions document lists one row at a time and issues new
// ids. A host component; the module relies only on these results.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/database.h"

namespace ws::host {

// The navigator's message: Null (nullopt) when the list is empty, "" on success, else the
// failure text.
using NavMessage = std::optional<std::string>;

// What a position shows for a figure not counted yet ("…/…", "1/…"); the navigator tells the
// whole "k/N" to its position listener once counted.
inline constexpr const char* kNotCounted = "…";

// Told the "k/N" of the row the navigator last showed, when its position left figures open.
using PositionListener = std::function<void(const std::string& position)>;

enum NavMode : int { kNavFirst = 0, kNavPrevious = 1, kNavNext = 2, kNavLast = 3 };

struct NavResult {
  std::shared_ptr<db::Recordset> records;  // positioned on the wanted row (or empty)
  std::string position;                    // "k/N", "0/0" when no record, kNotCounted for
                                           // a figure counted after
  NavMessage message;
};

// New ids wanted for one table and key column; `ids` is filled in, ascending.
struct IdBatch {
  std::string table;
  std::string keyColumn;
  int64_t count = 0;
  std::vector<int64_t> ids;
};

class INavigator {
 public:
  virtual ~INavigator() = default;
  virtual void Attach(db::IDatabase& db) = 0;
  // A new id for the table and key column, never one a row already has. Answers the error
  // text, empty on success.
  virtual std::string GetNewID(const std::string& table, const std::string& keyColumn,
                               int64_t& id) = 0;
  // `count` new ids at once (a document's new lines): on a server one round trip instead of
  // one per line. The ids come in ascending order; this default asks for them one by one.
  virtual std::string GetNewIDs(const std::string& table, const std::string& keyColumn,
                                int64_t count, std::vector<int64_t>& ids) {
    ids.clear();
    for (int64_t i = 0; i < count; ++i) {
      int64_t id = 0;
      if (std::string failure = GetNewID(table, keyColumn, id); !failure.empty()) return failure;
      ids.push_back(id);
    }
    return {};
  }
  // The ids of several tables at once (a new document's header and its lines): on a server
  // one round trip for all of them. This default asks table by table.
  virtual std::string GetNewIDs(std::vector<IdBatch>& batches) {
    for (IdBatch& batch : batches) {
      if (std::string failure = GetNewIDs(batch.table, batch.keyColumn, batch.count, batch.ids);
          !failure.empty())
        return failure;
    }
    return {};
  }
  // Takes the table's id counter for the open transaction without waiting for an id: every
  // other taker of the table's ids then waits until this transaction ends. Where the database
  // holds writes back, the statement travels with the transaction's next one and its failure
  // fails that one. This default takes an id.
  virtual std::string HoldCounter(const std::string& table, const std::string& keyColumn) {
    int64_t id = 0;
    return GetNewID(table, keyColumn, id);
  }
  // Moves from the current id: first, previous, next or last row of
  // baseSelect + " where " + baseCondition, ordered by the key column.
  virtual NavResult Navigate(const std::string& baseSelect, const std::string& baseCondition,
                             int mode, int64_t currentId, const std::string& keyColumn,
                             int flag) = 0;
  // The first row of the list narrowed by the search condition.
  virtual NavResult Search(const std::string& baseSelect, const std::string& baseCondition,
                           const std::string& searchCondition, const std::string& keyColumn) = 0;
  // A navigator that counts a big list after showing the row calls the listener with the
  // position once it is known; one that always counts at once never calls it.
  virtual void SetPositionListener(PositionListener listener) { (void)listener; }
};

}  // namespace ws::host
