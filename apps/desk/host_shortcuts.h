// The keys of the host's commands belong to the host wherever the focus is. Qt lets the focus
// widget claim a key before any shortcut sees it (a line edit takes Ctrl+K to cut the rest of
// the line, Ctrl+E to jump to its end, Ctrl+Del to cut a word), so a clerk in a field or a cell
// editor would lose text instead of checking or editing the document. This filter answers for
// every widget of the host window: a key sequence of one of the given actions is left to the
// action; when the action is disabled the key does nothing at all. Keys no action uses (typing,
// Ctrl+C/V/X/Z/A) stay with the widget. In a picker popup the key closes the popup and the
// command runs once the popup is gone.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAction;
class QKeyEvent;
class QWidget;

namespace ws::desk {

class HostShortcuts : public QObject {
  Q_OBJECT

 public:
  // Installs itself on the application for the window's actions; both must outlive it (make
  // it a child of the window).
  HostShortcuts(QWidget& window, const QList<QAction*>& actions);

  // The action whose shortcut the key event is, nullptr when none.
  QAction* ActionOf(const QKeyEvent& key) const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  QWidget& window_;
  QList<QPointer<QAction>> actions_;
};

}  // namespace ws::desk
