#include "platform/statement_cache.h"

namespace ws::platform {

const std::string* StatementCache::Find(const std::string& text) {
  auto it = index_.find(text);
  if (it == index_.end()) return nullptr;
  recent_.splice(recent_.begin(), recent_, it->second);
  return &it->second->second;
}

std::string StatementCache::NewName() {
  return "ws_p" + std::to_string(++named_);
}

std::vector<std::string> StatementCache::Add(const std::string& text, std::string name) {
  std::vector<std::string> pushedOut;
  if (std::string old = Forget(text); !old.empty()) pushedOut.push_back(std::move(old));
  recent_.emplace_front(text, std::move(name));
  index_[text] = recent_.begin();
  while (index_.size() > capacity_) {
    index_.erase(recent_.back().first);
    pushedOut.push_back(std::move(recent_.back().second));
    recent_.pop_back();
  }
  return pushedOut;
}

std::string StatementCache::Forget(const std::string& text) {
  auto it = index_.find(text);
  if (it == index_.end()) return {};
  std::string name = std::move(it->second->second);
  recent_.erase(it->second);
  index_.erase(it);
  return name;
}

void StatementCache::Clear() {
  recent_.clear();
  index_.clear();
}

}  // namespace ws::platform
