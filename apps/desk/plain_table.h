// What the desk's plain Qt tables and labels share: the module's UTF-8 text as Qt's, a cell the
// clerk reads but never edits, a number standing to the right as in every grid, and a table
// read by lines.
#pragma once

#include <QKeyEvent>
#include <QString>
#include <QTableWidget>
#include <QTableWidgetItem>
#include <algorithm>
#include <functional>
#include <string>

namespace ws::desk {

inline QString Q(const std::string& text) {
  return QString::fromStdString(text);
}

inline QTableWidgetItem* ReadOnlyCell(const QString& text, bool number = false) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

// A list read by lines, its rows selected whole (the board, the day's orders, the examination):
// Enter, from the main keys or the keypad, does the line's work (onEnter), as a double click
// does. The cursor frames no cell, so Home and End moving it across a row would look dead: they
// go to the first and last line, with or without Ctrl, as PgUp and PgDn page.
class LineTable : public QTableWidget {
 public:
  using QTableWidget::QTableWidget;
  std::function<void(int row)> onEnter;

 protected:
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override {
    if ((action == MoveHome || action == MoveEnd) && rowCount() > 0) {
      return model()->index(action == MoveHome ? 0 : rowCount() - 1, std::max(currentColumn(), 0));
    }
    return QTableWidget::moveCursor(action, modifiers);
  }
  void keyPressEvent(QKeyEvent* event) override {
    if (onEnter && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        currentRow() >= 0 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
      onEnter(currentRow());
      return;
    }
    QTableWidget::keyPressEvent(event);
  }
};

}  // namespace ws::desk
