#include "platform/list_counts.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
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

namespace {

constexpr std::string_view kHeader = "ws-list-counts 1\n";

void PutText(std::string& out, const std::string& text) {
  out += std::to_string(text.size()) + ":" + text + " ";
}

void PutNumbers(std::string& out, const std::map<int64_t, int64_t>& map) {
  out += std::to_string(map.size()) + " ";
  for (const auto& [key, value] : map)
    out += std::to_string(key) + " " + std::to_string(value) + " ";
}

// Reads the pieces PutText and PutNumbers wrote; every read fails once one has.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}
  bool Ok() const { return ok_; }
  bool AtEnd() const { return ok_ && at_ == text_.size(); }

  int64_t Number() {
    if (!ok_) return 0;
    int64_t value = 0;
    auto [end, failure] = std::from_chars(text_.data() + at_, text_.data() + text_.size(), value);
    if (failure != std::errc() || end == text_.data() + text_.size() || *end != ' ') {
      ok_ = false;
      return 0;
    }
    at_ = static_cast<size_t>(end - text_.data()) + 1;
    return value;
  }
  std::string Text() {
    if (!ok_) return {};
    size_t length = 0;
    auto [end, failure] = std::from_chars(text_.data() + at_, text_.data() + text_.size(), length);
    const size_t start = static_cast<size_t>(end - text_.data()) + 1;
    if (failure != std::errc() || end == text_.data() + text_.size() || *end != ':' ||
        length > text_.size() - start || start + length >= text_.size() ||
        text_[start + length] != ' ') {
      ok_ = false;
      return {};
    }
    at_ = start + length + 1;
    return std::string(text_.substr(start, length));
  }
  bool SkipNewline() {
    if (!ok_ || at_ >= text_.size() || text_[at_] != '\n') return ok_ = false;
    ++at_;
    return true;
  }
  std::map<int64_t, int64_t> Numbers() {
    std::map<int64_t, int64_t> map;
    const int64_t size = Number();
    if (size < 0 || static_cast<size_t>(size) > text_.size()) ok_ = false;
    for (int64_t i = 0; ok_ && i < size; ++i) {
      const int64_t key = Number();
      map[key] = Number();
    }
    return map;
  }

 private:
  std::string_view text_;
  size_t at_ = 0;
  bool ok_ = true;
};

void PutBlocks(std::string& out, const ListBlocks& blocks) {
  PutNumbers(out, blocks.counts);
  PutNumbers(out, blocks.versions);
  out += std::to_string(blocks.lookups.size()) + " ";
  for (const auto& [table, sum] : blocks.lookups) {
    PutText(out, table);
    out += std::to_string(sum) + " ";
  }
}

std::optional<ListBlocks> ReadBlocks(Reader& reader, size_t limit) {
  ListBlocks blocks;
  blocks.counts = reader.Numbers();
  blocks.versions = reader.Numbers();
  const int64_t lookups = reader.Number();
  if (lookups < 0 || static_cast<size_t>(lookups) > limit) return std::nullopt;
  for (int64_t i = 0; reader.Ok() && i < lookups; ++i) {
    const std::string table = reader.Text();
    blocks.lookups[table] = reader.Number();
  }
  if (!reader.Ok()) return std::nullopt;
  return blocks;
}

}  // namespace

std::string BlocksText(const ListBlocks& blocks) {
  std::string out;
  PutBlocks(out, blocks);
  return out;
}

std::optional<ListBlocks> BlocksFromText(std::string_view text) {
  Reader reader(text);
  auto blocks = ReadBlocks(reader, text.size());
  if (!blocks || !reader.AtEnd()) return std::nullopt;
  return blocks;
}

std::string ListCounts::Serialize() const {
  std::lock_guard lock(mutex_);
  std::string out(kHeader);
  for (const auto& [list, kept] : lists_) {
    PutText(out, list);
    PutBlocks(out, kept.blocks);
    out += "\n";
  }
  return out;
}

bool ListCounts::Restore(std::string_view text) {
  if (text.substr(0, kHeader.size()) != kHeader) return false;
  Reader reader(text.substr(kHeader.size()));
  std::map<std::string, Kept> lists;
  uint64_t clock = 0;
  while (reader.Ok() && !reader.AtEnd()) {
    const std::string list = reader.Text();
    auto blocks = ReadBlocks(reader, text.size());
    if (!blocks) return false;
    lists[list] = Kept{std::move(*blocks), ++clock};
    if (!reader.SkipNewline()) return false;
  }
  if (!reader.Ok()) return false;
  std::lock_guard lock(mutex_);
  lists_ = std::move(lists);
  clock_ = clock;
  while (lists_.size() > capacity_) lists_.erase(lists_.begin());
  return true;
}

void ListCounts::RestoreFrom(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return;
  std::ostringstream text;
  text << in.rdbuf();
  Restore(text.str());
}

std::string ListCounts::SaveTo(const std::filesystem::path& file) const {
  std::filesystem::path aside = file;
  aside += ".new";
  {
    std::ofstream out(aside, std::ios::binary | std::ios::trunc);
    out << Serialize();
    if (!out.flush()) return "cannot write " + aside.string();
  }
  std::error_code failure;
  std::filesystem::rename(aside, file, failure);
  return failure ? "cannot replace " + file.string() + ": " + failure.message() : std::string();
}

}  // namespace ws::platform
