// A control's form: its child widgets in order, found by name and control-array index.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "forms/field.h"
#include "forms/grid.h"
#include "forms/widget.h"

namespace ws::forms {

class Form {
 public:
  explicit Form(std::string name = {}) : name_(std::move(name)) {}
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;

  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }

  // Adds a widget; the form owns it. Answers the widget for setting it up.
  template <typename T, typename... Args>
  T& Add(Args&&... args) {
    auto widget = std::make_unique<T>(std::forward<Args>(args)...);
    T& ref = *widget;
    children_.push_back(std::move(widget));
    return ref;
  }

  const std::vector<std::unique_ptr<Widget>>& Children() const { return children_; }

  // By name and index (-1 for a widget that is not in an array); nullptr when absent.
  Widget* Find(std::string_view name, int index = -1) const;
  template <typename T>
  T* FindAs(std::string_view name, int index = -1) const {
    return dynamic_cast<T*>(Find(name, index));
  }
  // Like FindAs but a missing widget is a programming error.
  template <typename T>
  T& Get(std::string_view name, int index = -1) const {
    T* w = FindAs<T>(name, index);
    if (!w) ThrowMissing(name, index);
    return *w;
  }
  // A field by its caption (trimmed), the way a user names it.
  Field* FindFieldByCaption(std::string_view caption) const;
  // All members of a control array, ordered by index.
  std::vector<Widget*> Array(std::string_view name) const;

  // The widget that has the input focus (the host's focus manager moves it).
  Widget* Focus() const { return focus_; }
  // Every call is a request to move the cursor, even to the widget that had it: a second New
  // puts it back into the first field wherever the clerk had gone since.
  void SetFocus(Widget* widget) {
    focus_ = widget;
    ++focusRequests_;
  }
  uint64_t FocusRequests() const { return focusRequests_; }
  // The form's background colour, -1 for the front end's default.
  int64_t BackColor() const { return backColor_; }
  void SetBackColor(int64_t color) { backColor_ = color; }

 private:
  [[noreturn]] void ThrowMissing(std::string_view name, int index) const;
  std::string name_;
  std::string caption_;
  std::vector<std::unique_ptr<Widget>> children_;
  Widget* focus_ = nullptr;
  uint64_t focusRequests_ = 0;
  int64_t backColor_ = -1;
};

}  // namespace ws::forms
