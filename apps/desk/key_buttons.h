// A row of buttons each with its key, for a list the clerk works from the keyboard: a button
// never takes the focus from the list it acts on, and its key works while the focus is inside
// the owner (a dialog, or a tab and its children), so two tabs' keys never meet.
#pragma once

#include <QKeySequence>
#include <functional>
#include <initializer_list>

class QHBoxLayout;
class QWidget;

namespace ws::desk {

struct KeyButton {
  const char* name;     // the button's object name
  const char* caption;  // with its key, as the clerk reads it: "改名 (F2)"
  QKeySequence key;     // empty: the button alone
  std::function<void()> run;
};

void AddKeyButtons(QWidget& owner, QHBoxLayout& row, std::initializer_list<KeyButton> buttons);

}  // namespace ws::desk
