// Headless widgets: the model of what a control shows. Controls build and read them; front
// ends render them and feed user input back through forms::Input, never by setting texts
// behind the control's back.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ws::forms {

// Type names as the host knows its controls; the edit-state and layout walks go by them.
inline constexpr const char* kField = "ywTxt_S";
inline constexpr const char* kTextBox = "TextBox";
inline constexpr const char* kComboBox = "ComboBox";
inline constexpr const char* kLineGrid = "ywGrid";
inline constexpr const char* kFlexGrid = "VSFlexGrid";
inline constexpr const char* kCheckBox = "CheckBox";
inline constexpr const char* kOptionButton = "OptionButton";
inline constexpr const char* kLabel = "Label";
inline constexpr const char* kCommandButton = "CommandButton";
inline constexpr const char* kSearchBox = "SearchBox";
inline constexpr const char* kDatePicker = "gcDTP";
inline constexpr const char* kFrame = "Frame";

class Widget {
 public:
  Widget(std::string typeName, std::string name, int index = -1)
      : typeName_(std::move(typeName)), name_(std::move(name)), index_(index) {}
  virtual ~Widget() = default;
  Widget(const Widget&) = delete;
  Widget& operator=(const Widget&) = delete;

  const std::string& TypeName() const { return typeName_; }
  const std::string& Name() const { return name_; }
  // Control-array index, -1 when the widget is not a member of an array.
  int Index() const { return index_; }
  bool InArray() const { return index_ >= 0; }
  // Name, or name + "_" + index for an array member: the widget's key in layout files.
  std::string LayoutKey() const;

  const std::string& Caption() const { return caption_; }
  void SetCaption(std::string caption) { caption_ = std::move(caption); }
  bool Visible() const { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Locked() const { return locked_; }
  void SetLocked(bool locked) { locked_ = locked; }
  const std::string& ToolTip() const { return toolTip_; }
  void SetToolTip(std::string tip) { toolTip_ = std::move(tip); }
  int64_t BackColor() const { return backColor_; }
  void SetBackColor(int64_t color) { backColor_ = color; }
  // The frame or tab this widget sits in, for the front ends' layout ("" = the form).
  const std::string& Container() const { return container_; }
  void SetContainer(std::string container) { container_ = std::move(container); }

  // Where a front end lays the widget out, when the control says: its group of related fields
  // and its visual order across the form. A compact group is a short line at the end (who
  // entered and checked); a prominent widget is the figure the clerk looks for first.
  struct Placement {
    std::string group;  // "" = the front end's own order
    int order = 0;
    bool compact = false;
    bool prominent = false;
  };
  const Placement& Place() const { return placement_; }
  void SetPlacement(Placement placement) { placement_ = std::move(placement); }

  // Whether a user may type into or press this widget now.
  virtual bool AcceptsInput() const { return visible_ && enabled_ && !locked_; }

  // The widget asks the host to open another program's form (a field's or cell's link to its
  // master): the program's name and three values the widget carries.
  std::function<void(const std::string& program, const std::string& value1,
                     const std::string& value2, const std::string& value3)>
      OnOpenFormRequest;

 private:
  std::string typeName_;
  std::string name_;
  int index_;
  std::string caption_;
  std::string toolTip_;
  std::string container_;
  Placement placement_;
  bool visible_ = true;
  bool enabled_ = true;
  bool locked_ = false;
  int64_t backColor_ = -1;  // -1: the front end's default
};

class Label : public Widget {
 public:
  explicit Label(std::string name, int index = -1) : Widget(kLabel, std::move(name), index) {}
  bool AcceptsInput() const override { return false; }
};

class Frame : public Widget {
 public:
  explicit Frame(std::string name, int index = -1) : Widget(kFrame, std::move(name), index) {}
  bool AcceptsInput() const override { return false; }
};

// TextBox and ComboBox: a plain text the user types (a combo box also lists choices).
class TextBox : public Widget {
 public:
  explicit TextBox(std::string name, int index = -1, std::string typeName = kTextBox)
      : Widget(std::move(typeName), std::move(name), index) {}
  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  std::function<void()> OnChange;  // after the user changed the text
 private:
  std::string text_;
};

class ComboBox : public TextBox {
 public:
  explicit ComboBox(std::string name, int index = -1)
      : TextBox(std::move(name), index, kComboBox) {}
  std::vector<std::string> items;
};

class DatePicker : public TextBox {
 public:
  explicit DatePicker(std::string name, int index = -1)
      : TextBox(std::move(name), index, kDatePicker) {}
};

// CheckBox (value 0/1) and OptionButton (value 0/1, one of a group).
class CheckBox : public Widget {
 public:
  explicit CheckBox(std::string name, int index = -1, std::string typeName = kCheckBox)
      : Widget(std::move(typeName), std::move(name), index) {}
  int Value() const { return value_; }
  void SetValue(int value) { value_ = value ? 1 : 0; }
  bool Checked() const { return value_ != 0; }
  std::function<void()> OnClick;  // after the user changed the value
 private:
  int value_ = 0;
};

class OptionButton : public CheckBox {
 public:
  explicit OptionButton(std::string name, int index = -1)
      : CheckBox(std::move(name), index, kOptionButton) {}
};

class CommandButton : public Widget {
 public:
  explicit CommandButton(std::string name, int index = -1)
      : Widget(kCommandButton, std::move(name), index) {}
  // A button that answers and closes its dialog (确定, 取消): front ends put such buttons where
  // dialogs keep theirs.
  bool Answers() const { return answers_; }
  void SetAnswers(bool answers) { answers_ = answers; }
  std::function<void()> OnClick;

 private:
  bool answers_ = false;
};

// The host's incremental search box bound to a grid: which columns it searches and whether it
// filters (hides non-matching rows) or finds (moves to the first match).
class SearchBox : public Widget {
 public:
  explicit SearchBox(std::string name, int index = -1)
      : Widget(kSearchBox, std::move(name), index) {}
  const std::string& Text() const { return text_; }
  void SetText(std::string text) { text_ = std::move(text); }
  std::string boundGrid;
  std::vector<bool> searchColumns;  // column i enabled for searching
  bool filterMode = true;
  std::function<void()> OnChange;

 private:
  std::string text_;
};

// A right-click menu. The control fills the items each time it is shown; the host shows them
// and reports the chosen key through forms::Input::MenuChoice.
class PopupMenu : public Widget {
 public:
  struct Item {
    std::string caption;  // "-" is a separator
    std::string key;
    std::string group;
  };
  explicit PopupMenu(std::string name) : Widget("PopupMenu", std::move(name)) {}
  bool AcceptsInput() const override { return false; }
  void Clear() { items_.clear(); }
  void AddItem(std::string caption, std::string key, std::string group = {}) {
    items_.push_back(Item{std::move(caption), std::move(key), std::move(group)});
  }
  const std::vector<Item>& Items() const { return items_; }
  // Called by the host before it shows the menu (the control builds the items here).
  std::function<void()> OnPopup;
  std::function<void(const std::string& key)> OnItemClick;

 private:
  std::vector<Item> items_;
};

}  // namespace ws::forms
