// Per-block row counts of document lists, kept for every navigator of one database: a form
// opened on a list that another form of the session already counted brings only the blocks
// written since up to date, instead of counting the whole list again.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

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

// One list's figures as text and back (nullopt when the text is not such figures whole): the
// form the shop file keeps them in (see ShopListCounts).
std::string BlocksText(const ListBlocks& blocks);
std::optional<ListBlocks> BlocksFromText(std::string_view text);

class ListCounts {
 public:
  explicit ListCounts(size_t capacity = 64) : capacity_(capacity) {}

  std::optional<ListBlocks> Find(const std::string& list) const;
  // Keeps the figures of the list, forgetting the least recently stored list when full.
  void Store(const std::string& list, ListBlocks blocks);
  void Forget(const std::string& list);

  // Every kept list as text, for a host that keeps the figures between sessions: they stay
  // right as long as they are checked against the same database's block versions, which the
  // navigator does before it trusts any of them.
  std::string Serialize() const;
  // Replaces what is kept by the lists of a Serialize text; false, nothing changed, when the
  // text is not one.
  bool Restore(std::string_view text);

  // The same through a file: a missing or foreign file is no error, it only keeps nothing.
  // Saving replaces the file whole (written aside, then renamed); answers the failure.
  void RestoreFrom(const std::filesystem::path& file);
  std::string SaveTo(const std::filesystem::path& file) const;

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
