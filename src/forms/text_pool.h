// An index from texts to the numbers their owner keeps them under, open-addressed: one array of
// slots and no node per text, so finding a text costs a hash and, nearly always, one comparison
// of its bytes. A report's grid looks up every cell it is given (two million for 100,000 rows),
// and a node per text made that lookup dearer than copying the text.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ws::forms {

class TextIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  static uint32_t Hash(std::string_view text) {
    return static_cast<uint32_t>(std::hash<std::string_view>{}(text));
  }

  // The number text was added under, or kNone; textOf(number) answers the owner's text.
  template <typename TextOf>
  uint32_t Find(std::string_view text, uint32_t hash, const TextOf& textOf) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot& slot = slots_[at];
      if (slot.number == kNone) return kNone;
      if (slot.hash == hash && std::string_view(textOf(slot.number)) == text) return slot.number;
    }
  }

  // Adds a text not in the index yet by its hash (see Hash) under number (not kNone).
  void Add(uint32_t hash, uint32_t number) {
    // At most half full: a probe then stops after one or two slots.
    if (2 * (size_ + 1) > slots_.size()) Grow();
    Place(hash, number);
    ++size_;
  }

  size_t Size() const { return size_; }
  // Forgets every text and gives the slots' memory back.
  void Clear() {
    slots_ = {};
    size_ = 0;
  }

 private:
  struct Slot {
    uint32_t number = kNone;
    uint32_t hash = 0;
  };

  void Place(uint32_t hash, uint32_t number) {
    const size_t mask = slots_.size() - 1;
    size_t at = hash & mask;
    while (slots_[at].number != kNone) at = (at + 1) & mask;
    slots_[at] = Slot{number, hash};
  }

  void Grow() {
    std::vector<Slot> old(std::max<size_t>(16, 2 * slots_.size()));
    old.swap(slots_);
    for (const Slot& slot : old) {
      if (slot.number != kNone) Place(slot.hash, slot.number);
    }
  }

  std::vector<Slot> slots_;
  size_t size_ = 0;
};

// Texts kept once each at an address that never changes, so that many cells can point at one.
// The empty text is not stored: it is the one Empty() answers.
class TextPool {
 public:
  const std::string* Intern(std::string_view text) {
    if (text.empty()) return &Empty();
    const uint32_t hash = TextIndex::Hash(text);
    if (const uint32_t found = index_.Find(text, hash, TextOf{texts_}); found != TextIndex::kNone) {
      return &texts_[found];
    }
    texts_.emplace_back(text);
    return Added(hash);
  }
  const std::string* Intern(std::string&& text) {
    if (text.empty()) return &Empty();
    const uint32_t hash = TextIndex::Hash(text);
    if (const uint32_t found = index_.Find(text, hash, TextOf{texts_}); found != TextIndex::kNone) {
      return &texts_[found];
    }
    texts_.push_back(std::move(text));
    return Added(hash);
  }

  // Keeps a text without looking for it or making it findable: for texts that are nearly all
  // different (order numbers, chassis numbers), where looking costs more than it saves.
  const std::string* Keep(std::string_view text) {
    if (text.empty()) return &Empty();
    return &texts_.emplace_back(text);
  }
  const std::string* Keep(std::string&& text) {
    if (text.empty()) return &Empty();
    return &texts_.emplace_back(std::move(text));
  }

  size_t Size() const { return texts_.size(); }
  static const std::string& Empty() {
    static const std::string empty;
    return empty;
  }

 private:
  struct TextOf {
    const std::deque<std::string>& texts;
    const std::string& operator()(uint32_t number) const { return texts[number]; }
  };
  const std::string* Added(uint32_t hash) {
    index_.Add(hash, static_cast<uint32_t>(texts_.size() - 1));
    return &texts_.back();
  }

  std::deque<std::string> texts_;
  TextIndex index_;
};

}  // namespace ws::forms
