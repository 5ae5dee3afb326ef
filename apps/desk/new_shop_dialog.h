// Starting a real shop from the desktop: 新建维修厂 (the file, the shop's particulars, the first
// account and its password, the closing day and the current period, made by the code `ws init`
// uses), the going-live checklist that opens each list a new shop must fill, and the first
// start's question when no shop is given or remembered.
#pragma once

#include <QDialog>
#include <QString>

#include "db/database.h"
#include "db/date.h"

class QLineEdit;
class QSpinBox;
class QVBoxLayout;

namespace ws::desk {

class NewShopDialog : public QDialog {
  Q_OBJECT

 public:
  explicit NewShopDialog(const db::Date& today, QWidget* parent = nullptr);

  // Makes the shop from what is typed; the error text in the user's words, empty when made.
  QString Create();
  // The file the shop was made in.
  QString Path() const;

  // Asks until a shop is made or the user gives up; the new shop's file, empty when none.
  static QString Run(const db::Date& today, QWidget* parent);

 private:
  void Browse();

  db::Date today_;
  QLineEdit* path_;
  QLineEdit* name_;
  QLineEdit* address_;
  QLineEdit* phone_;
  QLineEdit* taxNumber_;
  QLineEdit* owner_;
  QLineEdit* password_;
  QLineEdit* again_;
  QSpinBox* closingDay_;
  QLineEdit* period_;
};

// 开业检查: each thing a shop needs before its first order, with how many it holds; a line with
// a list opens it (the window asks through OpenList and stays).
class GoingLiveDialog : public QDialog {
  Q_OBJECT

 public:
  explicit GoingLiveDialog(db::IDatabase& db, QWidget* parent = nullptr);
  // Counts again (after a list was filled).
  void Refresh();

 signals:
  void OpenList(const QString& className);

 private:
  db::IDatabase& db_;
  QVBoxLayout* lines_;
};

// The first start's question: a new shop, an existing one, or a demo to try.
enum class FirstStart { New, Open, Demo, Quit };
FirstStart AskFirstStart(QWidget* parent = nullptr);

// The shop last opened on this machine (QSettings), and remembering one.
QString RememberedShop();
void RememberShop(const QString& path);

}  // namespace ws::desk
