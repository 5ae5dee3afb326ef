#include "desk/checklist_dialog.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "desk/key_buttons.h"
#include "desk/plain_table.h"
#include "host/dialogs.h"

namespace ws::desk {

namespace {

constexpr const char* kTitle = "车检项目";

}  // namespace

ChecklistDialog::ChecklistDialog(workshop::Examination& examination, host::IDialogs& dialogs,
                                 QWidget* parent)
    : QDialog(parent), examination_(examination), dialogs_(dialogs) {
  setObjectName("ChecklistDialog");
  setWindowTitle(tr(kTitle));
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, 4, this);
  table_->setObjectName("checkItems");
  table_->setHorizontalHeaderLabels({tr("序号"), tr("检查项目"), tr("分组"), tr("状态")});
  table_->verticalHeader()->hide();
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setTabKeyNavigation(false);
  table_->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Stretch);
  layout->addWidget(table_, 1);
  auto* buttons = new QHBoxLayout;
  AddKeyButtons(
      *this, *buttons,
      {
          {"add", "新增 (Ins)", QKeySequence(Qt::Key_Insert), [this] { Add(); }},
          {"rename", "改名 (F2)", QKeySequence(Qt::Key_F2), [this] { Rename(); }},
          {"retire", "停用/启用 (Del)", QKeySequence(Qt::Key_Delete), [this] { ToggleRetired(); }},
          {"up", "上移 (Ctrl+↑)", QKeySequence(Qt::CTRL | Qt::Key_Up), [this] { Move(-1); }},
          {"down", "下移 (Ctrl+↓)", QKeySequence(Qt::CTRL | Qt::Key_Down), [this] { Move(1); }},
      });
  buttons->addStretch(1);
  auto* close = new QPushButton(tr("关闭"), this);
  close->setAutoDefault(false);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  auto* hint = new QLabel(tr("停用的项目不再出现在技师的车检单上，已做的检查结果仍保留。"), this);
  hint->setStyleSheet("QLabel { color: #606060; }");
  layout->addWidget(hint);
  resize(620, 480);
  Reload(0);
  table_->setFocus();
}

void ChecklistDialog::Reload(int select) {
  std::string error;
  items_ = examination_.Items(&error, true);
  if (!error.empty())
    dialogs_.MessageBox(error, kTitle, host::MsgButtons::Ok, host::MsgIcon::Critical);
  table_->setRowCount(static_cast<int>(items_.size()));
  for (int r = 0; r < table_->rowCount(); ++r) {
    const workshop::CheckItem& item = items_[static_cast<size_t>(r)];
    table_->setItem(r, 0, ReadOnlyCell(QString::number(r + 1), true));
    table_->setItem(r, 1, ReadOnlyCell(Q(item.name)));
    table_->setItem(r, 2, ReadOnlyCell(Q(item.group)));
    auto* state = ReadOnlyCell(item.retired ? tr("停用") : tr("在用"));
    if (item.retired) {
      for (QTableWidgetItem* cell :
           {table_->item(r, 0), table_->item(r, 1), table_->item(r, 2), state}) {
        cell->setForeground(QColor(128, 128, 128));
      }
    }
    table_->setItem(r, 3, state);
  }
  table_->resizeColumnToContents(0);
  table_->resizeColumnToContents(2);
  if (table_->rowCount() > 0)
    table_->setCurrentCell(std::clamp(select, 0, table_->rowCount() - 1), 1);
}

bool ChecklistDialog::Done(const std::string& refusal) {
  if (refusal.empty()) return true;
  dialogs_.MessageBox(refusal, kTitle, host::MsgButtons::Ok, host::MsgIcon::Information);
  return false;
}

bool ChecklistDialog::AskName(const QString& title, QString* name, QString* group) {
  QDialog ask(this);
  ask.setWindowTitle(title);
  auto* form = new QFormLayout(&ask);
  auto* nameEdit = new QLineEdit(*name, &ask);
  nameEdit->setObjectName("itemName");
  auto* groupEdit = new QLineEdit(*group, &ask);
  groupEdit->setObjectName("itemGroup");
  form->addRow(tr("检查项目(&N)"), nameEdit);
  form->addRow(tr("分组(&G)"), groupEdit);
  auto* box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &ask);
  connect(box, &QDialogButtonBox::accepted, &ask, &QDialog::accept);
  connect(box, &QDialogButtonBox::rejected, &ask, &QDialog::reject);
  form->addRow(box);
  nameEdit->selectAll();
  if (ask.exec() != QDialog::Accepted) return false;
  *name = nameEdit->text().trimmed();
  *group = groupEdit->text().trimmed();
  return true;
}

void ChecklistDialog::Add() {
  const int row = table_->currentRow();
  QString name;
  QString group = row >= 0 ? Q(items_[static_cast<size_t>(row)].group) : QString();
  if (!AskName(tr("新增检查项目"), &name, &group)) return;
  // At the end of the list: Ctrl+Up moves it where it belongs.
  const double last = items_.empty() ? 0 : items_.back().order;
  if (Done(examination_.AddItem(name.toStdString(), group.toStdString(), last + 1))) {
    Reload(static_cast<int>(items_.size()));
  }
}

void ChecklistDialog::Rename() {
  const int row = table_->currentRow();
  if (row < 0) return;
  const workshop::CheckItem item = items_[static_cast<size_t>(row)];
  QString name = Q(item.name);
  QString group = Q(item.group);
  if (!AskName(tr("改检查项目"), &name, &group)) return;
  if (Done(examination_.ChangeItem(item.id, name.toStdString(), group.toStdString()))) Reload(row);
}

void ChecklistDialog::ToggleRetired() {
  const int row = table_->currentRow();
  if (row < 0) return;
  const workshop::CheckItem& item = items_[static_cast<size_t>(row)];
  if (Done(examination_.RetireItem(item.id, !item.retired))) Reload(row);
}

void ChecklistDialog::Move(int by) {
  const int row = table_->currentRow();
  const int to = row + by;
  if (row < 0 || to < 0 || to >= static_cast<int>(items_.size())) return;
  std::vector<int64_t> ids;
  for (const auto& item : items_) ids.push_back(item.id);
  std::swap(ids[static_cast<size_t>(row)], ids[static_cast<size_t>(to)]);
  if (Done(examination_.ReorderItems(ids))) Reload(to);
}

}  // namespace ws::desk
