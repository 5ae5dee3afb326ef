#include "desk/start_page.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "db/value.h"
#include "desk/plain_table.h"
#include "host/system.h"
#include "reports/day_work.h"
#include "reports/list_reports.h"
#include "reports/period_checklist.h"

namespace ws::desk {

namespace {

constexpr int kIdRole = Qt::UserRole + 1;
constexpr int kLimit = 200;

struct ListLook {
  const char* caption;
  bool balance;  // the money column is what is still owed, not the order's total
};
constexpr ListLook kLooks[] = {
    {"在修工单（未审核）", false},
    {"已审核未结算", false},
    {"应收未清", true},
};

}  // namespace

StartPage::StartPage(db::IDatabase& database, host::ISystem& system, QWidget* parent)
    : QWidget(parent), database_(database), system_(system) {
  setObjectName("StartPage");
  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(tr("今日工作"), this);
  QFont f = title->font();
  f.setPointSizeF(f.pointSizeF() * 1.5);
  f.setBold(true);
  title->setFont(f);
  layout->addWidget(title);
  error_ = new QLabel(this);
  error_->setStyleSheet("QLabel { color: #a00000; }");
  error_->hide();
  layout->addWidget(error_);
  reminder_ = new QPushButton(this);
  reminder_->setObjectName("closeReminder");
  reminder_->setStyleSheet(
      "QPushButton { color: #a05000; font-weight: bold; text-align: left; padding: 4px 8px; }");
  reminder_->hide();
  connect(reminder_, &QPushButton::clicked, this, &StartPage::OpenChecklist);
  layout->addWidget(reminder_);
  auto* row = new QHBoxLayout;
  for (const ListLook& look : kLooks) {
    auto* column = new QVBoxLayout;
    auto* caption = new QLabel(tr(look.caption), this);
    caption->setStyleSheet("QLabel { font-weight: bold; }");
    auto* list = new LineTable(0, 4, this);
    list->setObjectName(QString("dayList%1").arg(lists_.size()));
    list->setHorizontalHeaderLabels(
        {tr("工单号码"), tr("车牌号"), tr("客户"), look.balance ? tr("余额") : tr("应收合计")});
    list->verticalHeader()->hide();
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAlternatingRowColors(true);
    list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 8);
    list->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);
    list->onEnter = [this, list](int r) {
      if (QTableWidgetItem* item = list->item(r, 0))
        emit OpenOrder(item->data(kIdRole).toLongLong());
    };
    connect(list, &QTableWidget::cellDoubleClicked, this, [list](int r, int) { list->onEnter(r); });
    caption->setBuddy(list);
    column->addWidget(caption);
    column->addWidget(list, 1);
    row->addLayout(column, 1);
    captions_.push_back(caption);
    lists_.push_back(list);
  }
  layout->addLayout(row, 1);
  auto* hint = new QLabel(tr("回车或双击打开维修工单；左侧菜单打开其他程序。"), this);
  hint->setStyleSheet("QLabel { color: #606060; }");
  layout->addWidget(hint);
}

void StartPage::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  Reload();
}

void StartPage::RemindOfClose() {
  const int period = reports::JZ_JC::CurrentPeriod(system_);
  const int closingDay = static_cast<int>(db::NumericValue(system_.GetParameter(12, 3)));
  const db::Date today = system_.GetLoginInfo().loginDate;
  reminder_->hide();
  if (!reports::NearClosing(today, period, closingDay, kRemindDays)) return;
  const reports::PeriodChecklist list = reports::LoadPeriodChecklist(database_, period, closingDay);
  if (!list.error.empty() || list.items.empty()) return;
  reminder_->setText(tr("本期 %1 将于 %2 结帐，还有 %3 项未处理 —— 打开结帐检查")
                         .arg(period)
                         .arg(QString::fromStdString(list.to))
                         .arg(list.items.size()));
  reminder_->show();
}

void StartPage::Reload() {
  RemindOfClose();
  const reports::DayWork work = reports::LoadDayWork(database_, kLimit);
  error_->setVisible(!work.error.empty());
  error_->setText(tr("读取今日工作失败：%1").arg(QString::fromStdString(work.error)));
  const std::vector<reports::DayWorkRow>* sets[] = {&work.openOrders, &work.unsettled,
                                                    &work.receivable};
  for (size_t i = 0; i < lists_.size(); ++i) {
    QTableWidget* list = lists_[i];
    const auto& rows = *sets[i];
    list->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
      const reports::DayWorkRow& row = rows[r];
      auto* number = ReadOnlyCell(QString::fromStdString(row.number));
      number->setData(kIdRole, static_cast<qlonglong>(row.orderId));
      number->setToolTip(
          tr("进厂日期 %1  %2")
              .arg(QString::fromStdString(row.dateIn), QString::fromStdString(row.category)));
      list->setItem(r, 0, number);
      list->setItem(r, 1, ReadOnlyCell(QString::fromStdString(row.plate)));
      list->setItem(r, 2, ReadOnlyCell(QString::fromStdString(row.customer)));
      const db::Amount money = kLooks[i].balance ? row.balance : row.receivable;
      list->setItem(r, 3, ReadOnlyCell(QString::number(money.ToDouble(), 'f', 2), true));
    }
    list->resizeColumnToContents(0);
    list->resizeColumnToContents(1);
    list->resizeColumnToContents(3);
    // A full list is cut at the limit: the count says there is more.
    const QString count = rows.size() >= static_cast<size_t>(kLimit) ? QString("%1+").arg(kLimit)
                                                                     : QString::number(rows.size());
    captions_[i]->setText(tr("%1（%2）").arg(tr(kLooks[i].caption), count));
  }
}

}  // namespace ws::desk
