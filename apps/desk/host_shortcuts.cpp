#include "desk/host_shortcuts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>

#include "desk/picker_popup.h"

namespace ws::desk {

HostShortcuts::HostShortcuts(QWidget& window, const QList<QAction*>& actions)
    : QObject(&window), window_(window) {
  for (QAction* action : actions) {
    if (!action->shortcut().isEmpty()) actions_.append(action);
  }
  qApp->installEventFilter(this);
}

QAction* HostShortcuts::ActionOf(const QKeyEvent& key) const {
  // The keypad's Delete or Home is the same key to a clerk.
  const QKeySequence pressed(
      QKeyCombination(key.modifiers() & ~Qt::KeypadModifier, Qt::Key(key.key())));
  for (const QPointer<QAction>& action : actions_) {
    if (action && action->shortcuts().contains(pressed)) return action;
  }
  return nullptr;
}

bool HostShortcuts::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) {
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (!widget) return false;
  auto* key = static_cast<QKeyEvent*>(event);
  QAction* action = ActionOf(*key);
  if (!action) return false;
  if (auto* popup = qobject_cast<PickerPopup*>(widget->window())) {
    // The main window's shortcuts cannot fire over a popup; the popup hands the command on
    // after it has closed, so the picker's caller is done before the command runs.
    if (event->type() == QEvent::ShortcutOverride) {
      popup->CloseForCommand(action);
      event->accept();  // no shortcut now; the key press that follows is dropped below
    }
    return true;
  }
  if (widget->window() != &window_) return false;
  if (event->type() == QEvent::ShortcutOverride) {
    // Ignored, the override lets the shortcut map give the key to the action.
    event->ignore();
    return true;
  }
  // A key press after the override: the action is disabled; the widget must not act on it.
  return true;
}

}  // namespace ws::desk
