// The first thing the counter sees: the day's work in three lists (orders still open, checked
// orders waiting for their settlement, orders customers still owe on). Enter or a double click
// opens the repair order of the row; the lists are read again whenever the page is shown.
// In the last days before the current period closes, a line above the lists says how many
// matters still stand in the way of the close, and opens the checklist.
#pragma once

#include <QWidget>
#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTableWidget;

namespace ws::db {
class IDatabase;
}
namespace ws::host {
class ISystem;
}

namespace ws::desk {

class StartPage : public QWidget {
  Q_OBJECT

 public:
  // Days before a period's closing day (that day counted) in which the reminder is shown.
  static constexpr int kRemindDays = 3;

  // The database and the system must outlive the page.
  StartPage(db::IDatabase& database, host::ISystem& system, QWidget* parent = nullptr);

  // Reads the three lists again.
  void Reload();
  QTableWidget& List(int index) const { return *lists_.at(index); }
  // The closing reminder; hidden when the close is not near or nothing stands in its way.
  QPushButton& Reminder() const { return *reminder_; }

 signals:
  void OpenOrder(qint64 orderId);
  void OpenChecklist();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void RemindOfClose();

  db::IDatabase& database_;
  host::ISystem& system_;
  QPushButton* reminder_;
  std::vector<QLabel*> captions_;
  std::vector<QTableWidget*> lists_;
  QLabel* error_;
};

}  // namespace ws::desk
