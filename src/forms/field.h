// The host's input field (ywTxt_S): a text, a key for lookup fields, a caption, a kind, a
// read-only flag, a picker description, and whether its current text is valid (with the hint
// a front end shows when it is not).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "forms/widget.h"

namespace ws::forms {

enum class FieldKind { Text, Number, Date, Lookup };

class Field : public Widget {
 public:
  explicit Field(std::string name, int index = -1) : Widget(kField, std::move(name), index) {}

  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  // The key of a lookup field's chosen row as text ("" or "0" when none).
  const std::string& Key() const { return key_; }
  int64_t KeyLong() const;
  void SetKey(std::string key) { key_ = std::move(key); }
  void SetKey(int64_t key) { key_ = std::to_string(key); }
  // Key and text together, as a lookup does.
  void SetValue(std::string key, std::string text) {
    key_ = std::move(key);
    text_ = std::move(text);
  }

  FieldKind Kind() const { return kind_; }
  void SetKind(FieldKind kind) { kind_ = kind; }
  // The host picker that serves this field ("pdmkh_j", "pdmcl" ...), empty for none.
  const std::string& Picker() const { return picker_; }
  void SetPicker(std::string picker) { picker_ = std::move(picker); }
  // Always read-only whatever the edit state (audit and computed fields).
  bool AlwaysReadOnly() const { return alwaysReadOnly_; }
  void SetAlwaysReadOnly(bool on) { alwaysReadOnly_ = on; }

  bool Valid() const { return valid_; }
  const std::string& Hint() const { return hint_; }
  void MarkValid() {
    valid_ = true;
    hint_.clear();
  }
  void MarkInvalid(std::string hint) {
    valid_ = false;
    hint_ = std::move(hint);
  }

  // Raised by forms::Input: the user changed the text (typing).
  std::function<void()> OnChange;
  // The user left the field after typing: resolve a lookup, check the value.
  std::function<void()> OnLeave;
  // The user asked for the field's picker (help key or drop-down button).
  std::function<void()> OnPickerRequest;

 private:
  std::string text_;
  std::string key_;
  std::string picker_;
  std::string hint_;
  FieldKind kind_ = FieldKind::Text;
  bool alwaysReadOnly_ = false;
  bool valid_ = true;
};

}  // namespace ws::forms
