// 车检项目: the shop's checklist as 管理 keeps it. Items are added (Insert), renamed (F2), retired
// and brought back (Delete) and moved (Ctrl+Up, Ctrl+Down); each change is written at once, and
// a retired item keeps the findings already made on it.
#pragma once

#include <QDialog>
#include <vector>

#include "workshop/examination.h"

class QTableWidget;

namespace ws::host {
class IDialogs;
}

namespace ws::desk {

class ChecklistDialog : public QDialog {
  Q_OBJECT

 public:
  ChecklistDialog(workshop::Examination& examination, host::IDialogs& dialogs,
                  QWidget* parent = nullptr);

  QTableWidget& Items() const { return *table_; }
  void Add();
  void Rename();
  void ToggleRetired();
  void Move(int by);

 private:
  void Reload(int select);
  bool Done(const std::string& refusal);
  // Asks for a name and a group; false when cancelled.
  bool AskName(const QString& title, QString* name, QString* group);

  workshop::Examination& examination_;
  host::IDialogs& dialogs_;
  std::vector<workshop::CheckItem> items_;
  QTableWidget* table_;
};

}  // namespace ws::desk
