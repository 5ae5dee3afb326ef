// 派工看板: the workshop floor at the clerk's desk. The open labour lines of the orders of the last
// days (待派工, 在修, 暂停 and 完工 waiting to be passed) with their technicians, planned and
// clocked hours and who is on the clock now, read again every few seconds so the tablets'
// clocking shows while it happens; under it the examination and the suggested lines of the
// selected line's order.
//
// Keyboard first: the list has the focus; Enter dispatches the line, Ctrl+J passes a finished
// line (已检验), Ctrl+R sends it back (返工), Ctrl+O opens the order, F5 (the toolbar's 刷新)
// reads the board at once.
#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <vector>

#include "host/navigator.h"
#include "workshop/examination.h"
#include "workshop/floor.h"

class QLabel;
class QTableWidget;
class QTimer;

namespace ws::platform {
enum class Right;
}

namespace ws::desk {

class DeskHost;
class ExaminationPanel;

class FloorWindow : public QWidget {
  Q_OBJECT

 public:
  // How far back the board looks for orders, and how often it reads itself again.
  static constexpr int kDays = 30;
  static constexpr int kRefreshMilliseconds = 10'000;
  // The board's columns.
  enum Column { kNumber, kPlate, kItem, kHours, kState, kTechnicians, kClocked, kRunning, kCount };

  // The host must outlive the window.
  explicit FloorWindow(DeskHost& host, QWidget* parent = nullptr);
  ~FloorWindow() override;

  // Reads the board again, keeping the selected line when it is still on it.
  void Reload();
  QTableWidget& Lines() const { return *lines_; }
  ExaminationPanel& Panel() const { return *panel_; }
  // The line of the selected row; nullptr when none.
  const workshop::JobLine* Selected() const;

  // The actions, each asking for the account's right first and telling a refusal in a box.
  void Dispatch();
  void Check(bool pass);

 signals:
  void OpenOrder(qint64 orderId);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The actor of the login for a step needing `right`; false (told) when the account lacks it.
  bool ActorFor(platform::Right right, const char* what, workshop::Actor* actor);
  void Tell(const std::string& text);
  void ShowSelectedOrder();

  DeskHost& host_;
  std::unique_ptr<host::INavigator> ids_;
  workshop::Floor floor_;
  workshop::Examination examination_;
  std::vector<workshop::JobLine> shown_;
  QLabel* status_;
  QTableWidget* lines_;
  ExaminationPanel* panel_;
  QTimer* timer_;
};

// "yyyy-mm-dd hh:mm:ss" of the wall clock: the time the tablets record as well.
std::string FloorNow();

// What 正在计时 says of a clock started at `since` ("yyyy-mm-dd hh:mm:ss") when read at `now`:
// "08:30 起（2:15）". A clock still running from an earlier day (a technician who went home
// without pausing) names its start's day, is flagged 跨日未停 and gives days apart from hours,
// "12-06 17:00 起（跨日未停 1天02:15）", so it is not read as a day's work; *overnight tells it.
QString RunningClock(const std::string& since, const QDateTime& now, bool* overnight);

}  // namespace ws::desk
