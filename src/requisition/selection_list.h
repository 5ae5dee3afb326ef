// The rows a user took in the repair-order chooser, shared by the chooser and the requisition:
// the requisition empties the list, opens the chooser, and reads the list once it has closed.
// Rows keep the order in which they were taken; each is keyed "k" + 单据ID + "-" + 单据明细ID
// (line id 0 for an order without part lines), and a key is held once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/property_bags.h"

namespace ws::requisition {

class SelectionList {
 public:
  // "k12-34".
  static std::string KeyOf(int64_t documentId, int64_t lineId);

  // Adds the row under the key of its i单据ID and i单据明细ID; false (nothing added) when a row
  // with that key is already in the list.
  bool Add(const framework::clsSelWS& row);
  void Clear();

  bool Empty() const { return rows_.empty(); }
  size_t Count() const { return rows_.size(); }
  // The rows in the order they were added (0-based).
  const framework::clsSelWS& Item(size_t index) const { return rows_.at(index); }
  // The row under the key; nullptr when there is none.
  const framework::clsSelWS* Find(std::string_view key) const;

  std::vector<framework::clsSelWS>::const_iterator begin() const { return rows_.begin(); }
  std::vector<framework::clsSelWS>::const_iterator end() const { return rows_.end(); }

 private:
  std::vector<std::string> keys_;
  std::vector<framework::clsSelWS> rows_;
};

}  // namespace ws::requisition
