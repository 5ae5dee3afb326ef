// The shop's particulars printed at the head of every page (本店信息): name, address, telephone
// and tax number, read from and saved to the shop file through platform/shop_info.h.
#pragma once

#include <QDialog>

#include "db/database.h"
#include "platform/shop_info.h"

class QLineEdit;

namespace ws::desk {

class ShopInfoDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ShopInfoDialog(const platform::ShopInfo& info, QWidget* parent = nullptr);

  platform::ShopInfo Info() const;

  // Shows the shop's particulars of db and saves them when the user presses OK. A read or a
  // save that fails is shown in a message box (the dialog stays open after a failed save, with
  // what was typed). Answers whether they were saved.
  static bool Edit(db::IDatabase& db, QWidget* parent);

 private:
  QLineEdit* name_;
  QLineEdit* address_;
  QLineEdit* phone_;
  QLineEdit* taxNumber_;
};

}  // namespace ws::desk
