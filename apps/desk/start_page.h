// The first thing the counter sees: the day's work in three lists (orders still open, checked
// orders waiting for their settlement, orders customers still owe on). Enter or a double click
// opens the repair order of the row; the lists are read again whenever the page is shown.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

class QLabel;
class QTableWidget;

namespace ws::db {
class IDatabase;
}

namespace ws::desk {

class StartPage : public QWidget {
  Q_OBJECT

 public:
  // The database must outlive the page.
  explicit StartPage(db::IDatabase& database, QWidget* parent = nullptr);

  // Reads the three lists again.
  void Reload();
  QTableWidget& List(int index) const { return *lists_.at(index); }

 signals:
  void OpenOrder(qint64 orderId);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  db::IDatabase& database_;
  std::vector<QLabel*> captions_;
  std::vector<QTableWidget*> lists_;
  QLabel* error_;
};

}  // namespace ws::desk
