#include "desk/floor_window.h"

#include <QAction>
#include <QDate>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

#include "desk/desk_host.h"
#include "desk/dispatch_dialog.h"
#include "desk/examination_panel.h"
#include "desk/key_buttons.h"
#include "desk/plain_table.h"
#include "platform/accounts.h"
#include "shop/floor/floor_actor.h"

namespace ws::desk {

namespace {

constexpr int kLineRole = Qt::UserRole + 1;
constexpr int kLimit = 500;
constexpr const char* kTitle = "派工看板";

QString Hours(double hours) {
  return QString::number(hours, 'f', 2);
}

QDateTime ClockStart(const std::string& since) {
  return QDateTime::fromString(Q(since), "yyyy-MM-dd HH:mm:ss");
}

// Seconds a clock has run by now; 0 when its start does not read.
qint64 RunningSeconds(const std::string& since, const QDateTime& now) {
  const QDateTime start = ClockStart(since);
  return start.isValid() ? std::max<qint64>(0, start.secsTo(now)) : 0;
}

QString StateText(const workshop::JobLine& line) {
  const QString state = workshop::StateName(line.state);
  return line.reason.empty() ? state : QObject::tr("%1：%2").arg(state, Q(line.reason));
}

QColor StateColour(workshop::JobState state) {
  switch (state) {
    case workshop::JobState::Waiting:
      return QColor(255, 246, 214);
    case workshop::JobState::Paused:
      return QColor(255, 228, 204);
    case workshop::JobState::Done:
      return QColor(222, 242, 222);
    default:
      return QColor();
  }
}

}  // namespace

QString RunningClock(const std::string& since, const QDateTime& now, bool* overnight) {
  const QDateTime start = ClockStart(since);
  *overnight = start.isValid() && start.date() < now.date();
  if (!start.isValid()) return QObject::tr("%1 起").arg(Q(since));
  const qint64 seconds = RunningSeconds(since, now);
  const qint64 days = seconds / 86400;
  const QString span = QObject::tr("%1%2:%3")
                           .arg(days > 0 ? QObject::tr("%1天").arg(days) : QString())
                           .arg(seconds / 3600 % 24, days > 0 ? 2 : 1, 10, QChar('0'))
                           .arg(seconds / 60 % 60, 2, 10, QChar('0'));
  if (!*overnight) return QObject::tr("%1 起（%2）").arg(start.toString("HH:mm"), span);
  return QObject::tr("%1 起（跨日未停 %2）").arg(start.toString("MM-dd HH:mm"), span);
}

std::string FloorNow() {
  return QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm:ss").toStdString();
}

FloorWindow::FloorWindow(DeskHost& host, QWidget* parent)
    : QWidget(parent),
      host_(host),
      ids_(host.System().CreateNavigator()),
      floor_(host.Db(), *ids_, FloorNow),
      examination_(host.Db(), *ids_, FloorNow) {
  setObjectName("FloorWindow");
  auto* layout = new QVBoxLayout(this);
  auto* head = new QHBoxLayout;
  auto* title = new QLabel(tr(kTitle), this);
  QFont f = title->font();
  f.setPointSizeF(f.pointSizeF() * 1.3);
  f.setBold(true);
  title->setFont(f);
  head->addWidget(title);
  status_ = new QLabel(this);
  status_->setObjectName("floorStatus");
  head->addWidget(status_, 1);
  layout->addLayout(head);

  auto* board = new LineTable(0, kCount, this);
  lines_ = board;
  lines_->setObjectName("floorLines");
  lines_->setHorizontalHeaderLabels({tr("工单号码"), tr("车牌号"), tr("维修项目"), tr("工时"),
                                     tr("状态"), tr("技师（计划工时）"), tr("已计工时"),
                                     tr("正在计时")});
  lines_->verticalHeader()->hide();
  lines_->setSelectionBehavior(QAbstractItemView::SelectRows);
  lines_->setSelectionMode(QAbstractItemView::SingleSelection);
  lines_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  // Tab leaves the board for the examination below, as it leaves any field.
  lines_->setTabKeyNavigation(false);
  lines_->verticalHeader()->setDefaultSectionSize(lines_->fontMetrics().height() + 8);
  lines_->horizontalHeader()->setSectionResizeMode(kTechnicians, QHeaderView::Stretch);
  lines_->horizontalHeader()->setSectionResizeMode(kRunning, QHeaderView::Stretch);
  board->onEnter = [this](int) { Dispatch(); };
  connect(lines_, &QTableWidget::cellDoubleClicked, this, [this] { Dispatch(); });
  connect(lines_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
    if (row != previous) ShowSelectedOrder();
  });

  auto* buttons = new QHBoxLayout;
  AddKeyButtons(
      *this, *buttons,
      {
          {"dispatch", "派工 (Enter)", QKeySequence(), [this] { Dispatch(); }},
          {"pass", "检验通过 (Ctrl+J)", QKeySequence(Qt::CTRL | Qt::Key_J),
           [this] { Check(true); }},
          {"reopen", "返工 (Ctrl+R)", QKeySequence(Qt::CTRL | Qt::Key_R), [this] { Check(false); }},
          {"openOrder", "打开工单 (Ctrl+O)", QKeySequence(Qt::CTRL | Qt::Key_O),
           [this] {
             if (const workshop::JobLine* line = Selected()) emit OpenOrder(line->orderId);
           }},
          // F5 is the toolbar's 刷新, which reads the board when it is the current tab: a key
          // of the board's own as well would make the two ambiguous and neither would run.
          {"refresh", "刷新 (F5)", QKeySequence(), [this] { Reload(); }},
      });
  buttons->addStretch(1);

  panel_ = new ExaminationPanel(host_, examination_, this);
  connect(panel_, &ExaminationPanel::Changed, this, [this] { Reload(); });
  auto* top = new QWidget(this);
  auto* topLayout = new QVBoxLayout(top);
  topLayout->setContentsMargins(0, 0, 0, 0);
  topLayout->addWidget(lines_, 1);
  topLayout->addLayout(buttons);
  auto* split = new QSplitter(Qt::Vertical, this);
  split->addWidget(top);
  split->addWidget(panel_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 2);
  layout->addWidget(split, 1);

  timer_ = new QTimer(this);
  timer_->setInterval(kRefreshMilliseconds);
  connect(timer_, &QTimer::timeout, this, [this] {
    if (isVisible()) Reload();
  });
  timer_->start();
  setFocusProxy(lines_);
}

FloorWindow::~FloorWindow() = default;

void FloorWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Reload();
  lines_->setFocus();
}

const workshop::JobLine* FloorWindow::Selected() const {
  const int row = lines_->currentRow();
  if (row < 0 || row >= static_cast<int>(shown_.size())) return nullptr;
  return &shown_[static_cast<size_t>(row)];
}

void FloorWindow::Reload() {
  const int64_t keep = Selected() ? Selected()->lineId : 0;
  const QDate login = QDate::fromString(Q(host_.Login().loginDate.Text()), "yyyy-MM-dd");
  const std::string since = login.addDays(-kDays).toString("yyyy-MM-dd").toStdString();
  std::string error;
  std::vector<workshop::JobLine> lines = floor_.OpenLines(since, kLimit, &error, true);
  if (!error.empty()) {
    // The board as last read stays up: a moment without the server is no reason to empty it.
    status_->setText(tr("读取看板失败：%1").arg(Q(error)));
    return;
  }
  shown_ = std::move(lines);
  const QDateTime now = QDateTime::currentDateTime();
  std::map<workshop::JobState, int> counts;
  lines_->blockSignals(true);
  lines_->setRowCount(static_cast<int>(shown_.size()));
  int current = shown_.empty() ? -1 : 0;
  for (int r = 0; r < static_cast<int>(shown_.size()); ++r) {
    const workshop::JobLine& line = shown_[static_cast<size_t>(r)];
    ++counts[line.state];
    if (line.lineId == keep) current = r;
    QStringList technicians;
    QStringList running;
    qint64 runningSeconds = 0;
    bool forgotten = false;
    for (const workshop::Assignment& a : line.technicians) {
      technicians << tr("%1 %2").arg(Q(a.name), Hours(a.plannedHours));
      if (a.runningSince.empty()) continue;
      runningSeconds += RunningSeconds(a.runningSince, now);
      bool overnight = false;
      running << tr("%1 %2").arg(Q(a.name), RunningClock(a.runningSince, now, &overnight));
      forgotten |= overnight;
    }
    auto* number = ReadOnlyCell(Q(line.orderNo));
    number->setData(kLineRole, static_cast<qlonglong>(line.lineId));
    number->setToolTip(tr("进厂日期 %1  %2").arg(Q(line.arrival), Q(line.vehicle)));
    lines_->setItem(r, kNumber, number);
    lines_->setItem(r, kPlate, ReadOnlyCell(Q(line.plate)));
    auto* item = ReadOnlyCell(Q(line.itemName));
    if (!line.note.empty()) item->setToolTip(Q(line.note));
    lines_->setItem(r, kItem, item);
    lines_->setItem(r, kHours, ReadOnlyCell(Hours(line.standardHours), true));
    lines_->setItem(r, kState, ReadOnlyCell(StateText(line)));
    lines_->setItem(r, kTechnicians, ReadOnlyCell(technicians.join(tr("、"))));
    lines_->setItem(
        r, kClocked,
        ReadOnlyCell(Hours(line.clockedHours + static_cast<double>(runningSeconds) / 3600.0),
                     true));
    lines_->setItem(r, kRunning, ReadOnlyCell(running.join(tr("、"))));
    if (const QColor colour = StateColour(line.state); colour.isValid()) {
      for (int c = 0; c < kCount; ++c) lines_->item(r, c)->setBackground(colour);
    }
    if (forgotten) {
      // Counted as it would be recorded if stopped now, but told apart from a day's work.
      for (int c : {kClocked, kRunning}) {
        lines_->item(r, c)->setForeground(QColor(176, 0, 0));
        lines_->item(r, c)->setToolTip(
            tr("计时过了午夜还没有停：请与技师核对，是否忘了暂停或报完工"));
      }
    }
  }
  for (int c : {kNumber, kPlate, kItem, kHours, kState, kClocked})
    lines_->resizeColumnToContents(c);
  if (current >= 0)
    lines_->setCurrentCell(current, lines_->currentColumn() < 0 ? 0 : lines_->currentColumn());
  lines_->blockSignals(false);
  QStringList summary;
  for (auto state : {workshop::JobState::Waiting, workshop::JobState::InRepair,
                     workshop::JobState::Paused, workshop::JobState::Done}) {
    summary << tr("%1 %2").arg(workshop::StateName(state)).arg(counts[state]);
  }
  status_->setText(tr("近 %1 天进厂的未审核工单：%2　　刷新于 %3（每 %4 秒自动刷新，F5 立即刷新）")
                       .arg(kDays)
                       .arg(summary.join(tr(" · ")))
                       .arg(now.toString("HH:mm:ss"))
                       .arg(kRefreshMilliseconds / 1000));
  ShowSelectedOrder();
}

void FloorWindow::ShowSelectedOrder() {
  const workshop::JobLine* line = Selected();
  if (!line) {
    panel_->ShowOrder(0, {});
    return;
  }
  panel_->ShowOrder(line->orderId,
                    tr("%1　%2　%3").arg(Q(line->orderNo), Q(line->plate), Q(line->vehicle)));
}

bool FloorWindow::ActorFor(platform::Right right, const char* what, workshop::Actor* actor) {
  if (!host_.System().PermitRight(right, what)) return false;
  const host::LoginInfo login = host_.Login();
  *actor = shop::FloorActor(login.userName, {right}, 0, login.frontEnd);
  return true;
}

void FloorWindow::Tell(const std::string& text) {
  host_.Dialogs().MessageBox(text, kTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
}

void FloorWindow::Dispatch() {
  if (!Selected()) return;
  const workshop::JobLine line = *Selected();
  workshop::Actor actor;
  if (!ActorFor(platform::Right::Enter, "派工", &actor)) return;
  std::string error;
  const std::vector<workshop::Technician> technicians = floor_.Technicians(&error);
  if (!error.empty()) return Tell(error);
  if (technicians.empty()) return Tell("还没有技师：请在员工资料里标明谁是技师");
  std::map<int64_t, std::string> busy;
  for (const workshop::JobLine& other : shown_) {
    for (const workshop::Assignment& a : other.technicians) {
      if (!a.runningSince.empty()) busy[a.employeeId] = other.orderNo + " " + other.itemName;
    }
  }
  DispatchDialog dialog(line, technicians, busy, this);
  dialog.SetApply([this, actor, &line](const DispatchDialog::Choice& chosen) {
    return floor_.Dispatch(actor, line.lineId, chosen);
  });
  dialog.SetTell([this](const std::string& text) { Tell(text); });
  if (dialog.exec() == QDialog::Accepted) Reload();
  lines_->setFocus();
}

void FloorWindow::Check(bool pass) {
  if (!Selected()) return;
  const int64_t lineId = Selected()->lineId;
  workshop::Actor actor;
  if (!ActorFor(platform::Right::Check, pass ? "检验" : "返工", &actor)) return;
  const std::string refusal = pass ? floor_.Check(actor, lineId) : floor_.Reopen(actor, lineId);
  if (!refusal.empty()) Tell(refusal);
  Reload();
}

}  // namespace ws::desk
