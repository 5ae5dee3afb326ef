#include "requisition/selection_list.h"

#include <algorithm>

namespace ws::requisition {

std::string SelectionList::KeyOf(int64_t documentId, int64_t lineId) {
  return "k" + std::to_string(documentId) + "-" + std::to_string(lineId);
}

bool SelectionList::Add(const framework::clsSelWS& row) {
  std::string key = KeyOf(row.i单据ID(), row.i单据明细ID());
  if (Find(key)) return false;
  keys_.push_back(std::move(key));
  rows_.push_back(row);
  return true;
}

void SelectionList::Clear() {
  keys_.clear();
  rows_.clear();
}

const framework::clsSelWS* SelectionList::Find(std::string_view key) const {
  auto it = std::find(keys_.begin(), keys_.end(), key);
  return it == keys_.end() ? nullptr : &rows_[static_cast<size_t>(it - keys_.begin())];
}

}  // namespace ws::requisition
