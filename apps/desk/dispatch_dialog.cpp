#include "desk/dispatch_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <map>

#include "desk/plain_table.h"

namespace ws::desk {

namespace {

// 计划工时 as typed: kept with two decimals, as every planned hours on the floor read, once it
// is a number (a text that is not stays as typed, for Chosen to name). Enter in the cell is the
// dialog's Enter: the figure goes in and the line is dispatched, as from the default button of
// any dialog; Esc still drops the typing first and closes the dialog only on its second press.
class HoursDelegate : public QStyledItemDelegate {
 public:
  explicit HoursDelegate(QDialog& dialog) : QStyledItemDelegate(&dialog), dialog_(dialog) {}

  void setModelData(QWidget* editor, QAbstractItemModel* model,
                    const QModelIndex& index) const override {
    auto* line = qobject_cast<QLineEdit*>(editor);
    if (!line) return QStyledItemDelegate::setModelData(editor, model, index);
    const QString typed = line->text().trimmed();
    bool ok = false;
    const double hours = typed.toDouble(&ok);
    model->setData(index, ok ? QString::number(hours, 'f', 2) : typed, Qt::EditRole);
  }

 protected:
  bool eventFilter(QObject* object, QEvent* event) override {
    auto* editor = qobject_cast<QWidget*>(object);
    if (editor && event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
          (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        emit commitData(editor);
        emit closeEditor(editor, QAbstractItemDelegate::NoHint);
        dialog_.accept();
        return true;
      }
    }
    return QStyledItemDelegate::eventFilter(object, event);
  }

 private:
  QDialog& dialog_;
};

}  // namespace

DispatchDialog::DispatchDialog(const workshop::JobLine& line,
                               const std::vector<workshop::Technician>& technicians,
                               const std::map<int64_t, std::string>& busy, QWidget* parent)
    : QDialog(parent), technicians_(technicians) {
  setObjectName("DispatchDialog");
  setWindowTitle(tr("派工"));
  auto* layout = new QVBoxLayout(this);
  auto* what = new QLabel(
      tr("%1　%2　%3\n%4 %5　标准工时 %6　%7")
          .arg(Q(line.orderNo), Q(line.plate), Q(line.vehicle), Q(line.itemCode), Q(line.itemName))
          .arg(line.standardHours, 0, 'f', 2)
          .arg(workshop::StateName(line.state)),
      this);
  layout->addWidget(what);

  std::map<int64_t, double> planned;
  for (const workshop::Assignment& a : line.technicians) planned[a.employeeId] = a.plannedHours;
  table_ = new QTableWidget(static_cast<int>(technicians_.size()), kCount, this);
  table_->setObjectName("technicians");
  table_->setHorizontalHeaderLabels({tr("技师"), tr("编码"), tr("计划工时"), tr("正在计时")});
  table_->setTabKeyNavigation(false);
  table_->installEventFilter(this);
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                          QAbstractItemView::EditKeyPressed);
  table_->horizontalHeader()->setSectionResizeMode(kBusy, QHeaderView::Stretch);
  table_->setItemDelegateForColumn(kPlanned, new HoursDelegate(*this));
  for (int r = 0; r < static_cast<int>(technicians_.size()); ++r) {
    const workshop::Technician& t = technicians_[static_cast<size_t>(r)];
    const auto on = planned.find(t.id);
    auto* name = new QTableWidgetItem(Q(t.name));
    name->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
    name->setCheckState(on != planned.end() ? Qt::Checked : Qt::Unchecked);
    table_->setItem(r, kTick, name);
    auto* code = new QTableWidgetItem(Q(t.code));
    code->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table_->setItem(r, kCode, code);
    auto* hours = new QTableWidgetItem(
        QString::number(on != planned.end() ? on->second : line.standardHours, 'f', 2));
    hours->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    hours->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable);
    table_->setItem(r, kPlanned, hours);
    const auto work = busy.find(t.id);
    auto* now = new QTableWidgetItem(work != busy.end() ? Q(work->second) : tr("空闲"));
    now->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
    table_->setItem(r, kBusy, now);
  }
  table_->resizeColumnToContents(kTick);
  table_->resizeColumnToContents(kCode);
  table_->resizeColumnToContents(kPlanned);
  layout->addWidget(table_, 1);
  auto* hint = new QLabel(tr("空格勾选技师，输入数字改计划工时，回车派工。\n"
                             "还没有人开工时，去掉勾选即撤下该技师；开工后只能加人。"),
                          this);
  hint->setStyleSheet("QLabel { color: #606060; }");
  layout->addWidget(hint);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  box->button(QDialogButtonBox::Ok)->setText(tr("派工"));
  box->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  connect(box, &QDialogButtonBox::accepted, this, &DispatchDialog::accept);
  connect(box, &QDialogButtonBox::rejected, this, &DispatchDialog::reject);
  layout->addWidget(box);
  resize(640, 380);
  table_->setFocus();
  if (table_->rowCount() > 0) table_->setCurrentCell(0, kTick);
}

DispatchDialog::Choice DispatchDialog::Chosen(std::string* problem) const {
  Choice out;
  problem->clear();
  for (int r = 0; r < table_->rowCount(); ++r) {
    if (table_->item(r, kTick)->checkState() != Qt::Checked) continue;
    bool ok = false;
    const double hours = table_->item(r, kPlanned)->text().trimmed().toDouble(&ok);
    if (!ok) {
      *problem = "“" + technicians_[static_cast<size_t>(r)].name + "”的计划工时不是数字";
      return {};
    }
    out.emplace_back(technicians_[static_cast<size_t>(r)].id, hours);
  }
  return out;
}

// Space ticks the row wherever the cursor stands, and a figure typed on a row goes into its
// planned hours: the clerk moves down the technicians, never across the columns.
bool DispatchDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == table_ && event->type() == QEvent::KeyPress) {
    auto* key = static_cast<QKeyEvent*>(event);
    const int row = table_->currentRow();
    if (row >= 0 && key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier) {
      QTableWidgetItem* tick = table_->item(row, kTick);
      tick->setCheckState(tick->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
      return true;
    }
    const QString text = key->text();
    if (row >= 0 && table_->currentColumn() != kPlanned && text.size() == 1 &&
        (text[0].isDigit() || text[0] == '.')) {
      table_->setCurrentCell(row, kPlanned);  // the table then starts editing with the figure
    }
  }
  return QDialog::eventFilter(watched, event);
}

void DispatchDialog::accept() {
  std::string problem;
  const Choice chosen = Chosen(&problem);
  if (problem.empty() && apply_) problem = apply_(chosen);
  if (!problem.empty()) {
    if (tell_) tell_(problem);
    table_->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace ws::desk
