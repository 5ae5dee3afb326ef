#include "shop_info_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "desk/plain_table.h"

namespace ws::desk {

namespace {

std::string S(const QLineEdit* edit) {
  return edit->text().trimmed().toStdString();
}

}  // namespace

ShopInfoDialog::ShopInfoDialog(const platform::ShopInfo& info, QWidget* parent)
    : QDialog(parent),
      name_(new QLineEdit(Q(info.name), this)),
      address_(new QLineEdit(Q(info.address), this)),
      phone_(new QLineEdit(Q(info.phone), this)),
      taxNumber_(new QLineEdit(Q(info.taxNumber), this)) {
  setWindowTitle(QStringLiteral("本店信息"));
  name_->setObjectName(QStringLiteral("shopName"));
  address_->setObjectName(QStringLiteral("shopAddress"));
  phone_->setObjectName(QStringLiteral("shopPhone"));
  taxNumber_->setObjectName(QStringLiteral("shopTaxNumber"));
  // Room for a full company name and address as they stand on an invoice.
  name_->setMinimumWidth(fontMetrics().horizontalAdvance(QLatin1Char('M')) * 36);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("店名："), name_);
  form->addRow(QStringLiteral("地址："), address_);
  form->addRow(QStringLiteral("电话："), phone_);
  form->addRow(QStringLiteral("税号："), taxNumber_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addStretch();
  layout->addWidget(buttons);
}

platform::ShopInfo ShopInfoDialog::Info() const {
  return {S(name_), S(address_), S(phone_), S(taxNumber_)};
}

bool ShopInfoDialog::Edit(db::IDatabase& db, QWidget* parent) {
  std::string error;
  const platform::ShopInfo stored = platform::LoadShopInfo(db, &error);
  if (!error.empty()) {
    QMessageBox::warning(parent, QStringLiteral("本店信息"), Q(error));
    return false;
  }
  ShopInfoDialog dialog(stored, parent);
  while (dialog.exec() == QDialog::Accepted) {
    const platform::ShopInfo typed = dialog.Info();
    if (typed == stored) return false;
    error = platform::SaveShopInfo(db, typed);
    if (error.empty()) return true;
    QMessageBox::warning(&dialog, QStringLiteral("本店信息"), Q(error));
  }
  return false;
}

}  // namespace ws::desk
