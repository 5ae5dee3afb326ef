// What the desk's plain Qt tables and labels share: the module's UTF-8 text as Qt's, and a cell
// the clerk reads but never edits, a number standing to the right as in every grid.
#pragma once

#include <QString>
#include <QTableWidgetItem>
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

}  // namespace ws::desk
