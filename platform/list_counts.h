// Per-block row counts of document lists, kept for every navigator of one database: a form
// opened on a list that another form of the session already counted brings only the blocks
// written since up to date, instead of counting the whole list again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace ws::platform {

struct ListBlocks {
  std::map<int64_t, int64_t> counts;  // rows of the list per block of keys (no entry: none)
  // ws_change_block versions of the document table the counts were taken under (a block
  // without a version row is at version 0)
  std::map<int64_t, int64_t> versions;
  // The sum of the versions of each looked-up table the list's condition names: versions only
  // grow, so an equal sum means nobody wrote to the table since.
  std::map<std::string, int64_t> lookups;
};

class ListCounts {
 public:
  explicit ListCounts(size_t capacity = 64) : capacity_(capacity) {}

  std::optional<ListBlocks> Find(const std::string& list) const;
  // Keeps the figures of the list, forgetting the least recently stored list when full.
  void Store(const std::string& list, ListBlocks blocks);
  void Forget(const std::string& list);

 private:
  struct Kept {
    ListBlocks blocks;
    uint64_t stored = 0;
  };
  mutable std::mutex mutex_;
  size_t capacity_;
  uint64_t clock_ = 0;
  std::map<std::string, Kept> lists_;
};

}  // namespace ws::platform
