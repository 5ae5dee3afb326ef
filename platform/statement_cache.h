// The names under which one server connection keeps its prepared statements, by statement
// text: the server parses and plans a text the module sends again and again once per
// connection instead of at every run. Bounded, as a shop's filters make texts without end:
// past the capacity the least recently used text goes, and its name is handed back for the
// caller to free on the server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ws::platform {

class StatementCache {
 public:
  explicit StatementCache(size_t capacity) : capacity_(capacity < 1 ? 1 : capacity) {}

  // The name the text is kept under, nullptr when it is not kept; a hit makes it the most
  // recently used.
  const std::string* Find(const std::string& text);
  // A name no kept text has, for a text about to be prepared.
  std::string NewName();
  // Keeps the text under the name; answers the names of the texts pushed out by it.
  std::vector<std::string> Add(const std::string& text, std::string name);
  // Drops the text (its statement went stale on the server); answers its name, empty when it
  // was not kept.
  std::string Forget(const std::string& text);
  // A new connection has no statements.
  void Clear();
  size_t Size() const { return index_.size(); }

 private:
  using Entry = std::pair<std::string, std::string>;  // text, name
  size_t capacity_;
  uint64_t named_ = 0;
  std::list<Entry> recent_;  // most recently used first
  std::unordered_map<std::string, std::list<Entry>::iterator> index_;
};

}  // namespace ws::platform
