#include "desk/accounts_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <map>

#include "desk/plain_table.h"

namespace ws::desk {

namespace {

// Asks a password twice; "" when cancelled. Two different answers ask again.
QString AskNewPassword(QWidget* parent, const QString& title) {
  QDialog dialog(parent);
  dialog.setWindowTitle(title);
  auto* form = new QFormLayout(&dialog);
  auto* first = new QLineEdit(&dialog);
  auto* second = new QLineEdit(&dialog);
  first->setEchoMode(QLineEdit::Password);
  second->setEchoMode(QLineEdit::Password);
  form->addRow(QObject::tr("新密码"), first);
  form->addRow(QObject::tr("再输入一次"), second);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  form->addRow(buttons);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, [&] {
    if (first->text() != second->text()) {
      QMessageBox::warning(&dialog, title, QObject::tr("两次输入的密码不一样"));
      second->clear();
      second->setFocus();
      return;
    }
    dialog.accept();
  });
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return dialog.exec() == QDialog::Accepted ? first->text() : QString();
}

}  // namespace

AccountsDialog::AccountsDialog(db::IDatabase& db, QWidget* parent) : QDialog(parent), store_(db) {
  setWindowTitle(tr("账户管理"));
  resize(560, 360);
  auto* layout = new QVBoxLayout(this);
  table_ = new QTableWidget(0, 4, this);
  table_->setObjectName("Accounts");
  table_->setHorizontalHeaderLabels({tr("用户名"), tr("角色"), tr("状态"), tr("权限")});
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->verticalHeader()->hide();
  layout->addWidget(table_);
  auto* row = new QHBoxLayout;
  const std::pair<const char*, void (AccountsDialog::*)()> actions[] = {
      {"新增账户(&A)...", &AccountsDialog::AskAdd},
      {"重设密码(&P)...", &AccountsDialog::AskPassword},
      {"更改角色(&R)...", &AccountsDialog::AskRole},
      {"停用/启用(&S)", &AccountsDialog::ToggleActive},
  };
  for (const auto& [caption, slot] : actions) {
    auto* button = new QPushButton(tr(caption), this);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, slot);
    row->addWidget(button);
  }
  row->addStretch();
  auto* close = new QPushButton(tr("关闭"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  row->addWidget(close);
  layout->addLayout(row);
  Reload();
}

void AccountsDialog::Reload() {
  std::string error;
  const auto accounts = store_.List(&error);
  if (!error.empty()) QMessageBox::warning(this, windowTitle(), Q(error));
  // What each role may do, shown beside every account of it.
  std::map<std::string, QString> rightsOfRole;
  for (const auto& role : store_.Roles()) {
    QStringList names;
    for (auto right : role.rights) names << Q(platform::RightName(right));
    rightsOfRole[role.role] = names.join(QStringLiteral("、"));
  }
  table_->setRowCount(static_cast<int>(accounts.size()));
  for (int i = 0; i < table_->rowCount(); ++i) {
    const auto& account = accounts[static_cast<size_t>(i)];
    table_->setItem(i, 0, new QTableWidgetItem(Q(account.name)));
    table_->setItem(i, 1, new QTableWidgetItem(Q(account.role)));
    table_->setItem(i, 2, new QTableWidgetItem(account.active ? tr("可登录") : tr("已停用")));
    table_->setItem(i, 3, new QTableWidgetItem(rightsOfRole[account.role]));
  }
  table_->resizeColumnsToContents();
}

QString AccountsDialog::Done(const std::string& refusal) {
  Reload();
  return Q(refusal);
}

QString AccountsDialog::SelectedName() const {
  const int row = table_->currentRow();
  if (row < 0 || !table_->item(row, 0)) return {};
  return table_->item(row, 0)->text();
}

QStringList AccountsDialog::RoleNames() {
  QStringList names;
  for (const auto& role : store_.Roles()) names << Q(role.role);
  if (names.isEmpty()) {
    for (const auto& role : platform::DefaultRoles()) names << Q(role.role);
  }
  return names;
}

QString AccountsDialog::Add(const QString& name, const QString& password, const QString& role) {
  return Done(store_.Add(name.toStdString(), password.toStdString(), role.toStdString()));
}

QString AccountsDialog::SetActive(const QString& name, bool active) {
  return Done(store_.SetActive(name.toStdString(), active));
}

QString AccountsDialog::ResetPassword(const QString& name, const QString& password) {
  return Done(store_.SetPassword(name.toStdString(), password.toStdString()));
}

QString AccountsDialog::ChooseRole(const QString& name, const QString& role) {
  return Done(store_.SetRole(name.toStdString(), role.toStdString()));
}

void AccountsDialog::AskAdd() {
  bool ok = false;
  const QString name = QInputDialog::getText(this, tr("新增账户"), tr("用户名（单据上记的名字）"),
                                             QLineEdit::Normal, QString(), &ok);
  if (!ok || name.isEmpty()) return;
  const QString role =
      QInputDialog::getItem(this, tr("新增账户"), tr("角色"), RoleNames(), 0, false, &ok);
  if (!ok) return;
  const QString password = AskNewPassword(this, tr("%1 的密码").arg(name));
  if (password.isEmpty()) return;
  if (QString refusal = Add(name, password, role); !refusal.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), refusal);
  }
}

void AccountsDialog::AskPassword() {
  const QString name = SelectedName();
  if (name.isEmpty()) return;
  const QString password = AskNewPassword(this, tr("%1 的新密码").arg(name));
  if (password.isEmpty()) return;
  if (QString refusal = ResetPassword(name, password); !refusal.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), refusal);
  }
}

void AccountsDialog::AskRole() {
  const QString name = SelectedName();
  if (name.isEmpty()) return;
  const QStringList roles = RoleNames();
  const int current = roles.indexOf(table_->item(table_->currentRow(), 1)->text());
  bool ok = false;
  const QString role = QInputDialog::getItem(this, tr("更改角色"), tr("%1 的角色").arg(name), roles,
                                             std::max(current, 0), false, &ok);
  if (!ok) return;
  if (QString refusal = ChooseRole(name, role); !refusal.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), refusal);
  }
}

void AccountsDialog::ToggleActive() {
  const QString name = SelectedName();
  if (name.isEmpty()) return;
  const bool active = table_->item(table_->currentRow(), 2)->text() == tr("可登录");
  if (QString refusal = SetActive(name, !active); !refusal.isEmpty()) {
    QMessageBox::warning(this, windowTitle(), refusal);
  }
}

}  // namespace ws::desk
