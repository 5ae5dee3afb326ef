#include "platform/list_counts.h"

#include <algorithm>
#include <utility>

namespace ws::platform {

std::optional<ListBlocks> ListCounts::Find(const std::string& list) const {
  std::lock_guard lock(mutex_);
  auto found = lists_.find(list);
  if (found == lists_.end()) return std::nullopt;
  return found->second.blocks;
}

void ListCounts::Store(const std::string& list, ListBlocks blocks) {
  std::lock_guard lock(mutex_);
  lists_[list] = Kept{std::move(blocks), ++clock_};
  if (lists_.size() <= capacity_) return;
  auto oldest = std::min_element(lists_.begin(), lists_.end(), [](const auto& a, const auto& b) {
    return a.second.stored < b.second.stored;
  });
  lists_.erase(oldest);
}

void ListCounts::Forget(const std::string& list) {
  std::lock_guard lock(mutex_);
  lists_.erase(list);
}

}  // namespace ws::platform
