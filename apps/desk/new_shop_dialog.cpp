#include "desk/new_shop_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>
#include <QVBoxLayout>

#include "db/default_config.h"
#include "shop/store/new_shop.h"

namespace ws::desk {

namespace {

constexpr const char* kTitle = "新建维修厂";
constexpr const char* kShopKey = "shop/last";

std::string S(const QLineEdit* edit) {
  return edit->text().trimmed().toStdString();
}

QLineEdit* Line(QWidget* parent, const char* name, int widthInChars = 0) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  if (widthInChars > 0) {
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('M')) * widthInChars);
  }
  return edit;
}

}  // namespace

NewShopDialog::NewShopDialog(const db::Date& today, QWidget* parent)
    : QDialog(parent),
      today_(today),
      path_(Line(this, "shopFile", 36)),
      name_(Line(this, "shopName")),
      address_(Line(this, "shopAddress")),
      phone_(Line(this, "shopPhone")),
      taxNumber_(Line(this, "shopTaxNumber")),
      owner_(Line(this, "ownerName")),
      password_(Line(this, "ownerPassword")),
      again_(Line(this, "ownerPasswordAgain")),
      closingDay_(new QSpinBox(this)),
      period_(Line(this, "period")) {
  setWindowTitle(tr(kTitle));
  password_->setEchoMode(QLineEdit::Password);
  again_->setEchoMode(QLineEdit::Password);
  closingDay_->setObjectName("closingDay");
  closingDay_->setRange(1, 31);
  closingDay_->setValue(db::kDefaultClosingDay);
  closingDay_->setAlignment(Qt::AlignRight);
  closingDay_->setToolTip(tr("每月结账的日子；31 表示按自然月结账"));
  period_->setText(QString::number(db::PeriodOfDate(today, db::kDefaultClosingDay)));
  period_->setAlignment(Qt::AlignRight);
  period_->setMaxLength(6);
  period_->setToolTip(tr("yyyymm，如 201206"));
  // The period follows the closing day until the user types one of their own.
  connect(closingDay_, &QSpinBox::valueChanged, this, [this](int day) {
    if (!period_->isModified()) period_->setText(QString::number(db::PeriodOfDate(today_, day)));
  });

  auto* browse = new QPushButton(tr("浏览..."), this);
  browse->setObjectName("browse");
  browse->setAutoDefault(false);
  connect(browse, &QPushButton::clicked, this, &NewShopDialog::Browse);
  auto* file = new QHBoxLayout;
  file->addWidget(path_, 1);
  file->addWidget(browse);

  // In the order a shop's owner has them at hand: where, who the shop is, who logs in, books.
  auto* form = new QFormLayout;
  form->addRow(tr("数据库文件："), file);
  form->addRow(tr("店名："), name_);
  form->addRow(tr("地址："), address_);
  form->addRow(tr("电话："), phone_);
  form->addRow(tr("税号："), taxNumber_);
  form->addRow(tr("第一个账户（店主）："), owner_);
  form->addRow(tr("密码："), password_);
  form->addRow(tr("再输一次密码："), again_);
  form->addRow(tr("结账日："), closingDay_);
  form->addRow(tr("当前会计期间："), period_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(tr("创建"));
  buttons->button(QDialogButtonBox::Cancel)->setText(tr("取消"));
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    const QString error = Create();
    if (error.isEmpty()) {
      accept();
    } else {
      QMessageBox::warning(this, tr(kTitle), error);
    }
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

QString NewShopDialog::Path() const {
  return path_->text().trimmed();
}

void NewShopDialog::Browse() {
  const QString path =
      QFileDialog::getSaveFileName(this, tr(kTitle), Path(), tr("维修厂数据库 (*.db)"));
  if (!path.isEmpty()) path_->setText(path.endsWith(".db") ? path : path + ".db");
}

QString NewShopDialog::Create() {
  if (Path().isEmpty()) return tr("请选择数据库文件");
  if (password_->text() != again_->text()) return tr("两次输入的密码不一致");
  shop::NewShopSettings settings;
  settings.startDate = today_;
  settings.closingDay = closingDay_->value();
  bool isNumber = false;
  const int period = period_->text().trimmed().toInt(&isNumber);
  settings.period = isNumber ? period : -1;
  settings.info = {S(name_), S(address_), S(phone_), S(taxNumber_)};
  settings.ownerName = S(owner_);
  settings.ownerPassword = password_->text().toStdString();
  if (settings.ownerName.empty()) return tr("请填写第一个账户的名字");
  return QString::fromStdString(shop::CreateShop(Path().toStdString(), settings));
}

QString NewShopDialog::Run(const db::Date& today, QWidget* parent) {
  NewShopDialog dialog(today, parent);
  return dialog.exec() == QDialog::Accepted ? dialog.Path() : QString();
}

GoingLiveDialog::GoingLiveDialog(db::IDatabase& db, QWidget* parent)
    : QDialog(parent), db_(db), lines_(new QVBoxLayout) {
  setWindowTitle(tr("开业检查"));
  setObjectName("GoingLive");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(tr("开单之前，本店需要这些资料（点按钮打开列表录入）："), this));
  layout->addLayout(lines_);
  auto* again = new QPushButton(tr("重新统计"), this);
  again->setAutoDefault(false);
  connect(again, &QPushButton::clicked, this, &GoingLiveDialog::Refresh);
  auto* close = new QPushButton(tr("关闭"), this);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(again);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  Refresh();
}

void GoingLiveDialog::Refresh() {
  while (QLayoutItem* item = lines_->takeAt(0)) {
    if (QLayout* row = item->layout()) {
      while (QLayoutItem* cell = row->takeAt(0)) {
        delete cell->widget();
        delete cell;
      }
    }
    delete item;
  }
  std::string error;
  // Buttons and plain captions one width, so the counts stand in one column.
  const int captionWidth = fontMetrics().horizontalAdvance(QLatin1Char('M')) * 8;
  for (const shop::GoingLiveLine& line : shop::GoingLiveChecklist(db_, &error)) {
    auto* row = new QHBoxLayout;
    auto* mark = new QLabel(line.rows > 0 ? tr("✓") : tr("✗"), this);
    mark->setMinimumWidth(mark->fontMetrics().horizontalAdvance(QLatin1Char('M')) * 2);
    auto* count = new QLabel(QString::number(line.rows), this);
    count->setObjectName(QString("count_") + QString::fromStdString(line.caption));
    count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    count->setMinimumWidth(count->fontMetrics().horizontalAdvance(QLatin1Char('9')) * 8);
    row->addWidget(mark);
    if (line.listClass.empty()) {
      auto* caption = new QLabel(QString::fromStdString(line.caption), this);
      caption->setFixedWidth(captionWidth);
      row->addWidget(caption);
    } else {
      auto* open = new QPushButton(QString::fromStdString(line.caption), this);
      open->setObjectName(QString("open_") + QString::fromStdString(line.listClass));
      open->setAutoDefault(false);
      open->setFixedWidth(captionWidth);
      const QString listClass = QString::fromStdString(line.listClass);
      connect(open, &QPushButton::clicked, this, [this, listClass] { emit OpenList(listClass); });
      row->addWidget(open);
    }
    row->addWidget(count);
    row->addWidget(new QLabel(line.imported ? tr("条（用 ws import 导入）") : tr("条"), this), 1);
    lines_->addLayout(row);
  }
  if (!error.empty()) {
    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(tr("统计失败：%1").arg(QString::fromStdString(error)), this));
    lines_->addLayout(row);
  }
}

FirstStart AskFirstStart(QWidget* parent) {
  QMessageBox box(QMessageBox::Question, QObject::tr("维修厂"),
                  QObject::tr("还没有打开过维修厂。要做什么？"), QMessageBox::NoButton, parent);
  QPushButton* fresh = box.addButton(QObject::tr("新建维修厂"), QMessageBox::AcceptRole);
  QPushButton* open = box.addButton(QObject::tr("打开维修厂..."), QMessageBox::AcceptRole);
  QPushButton* demo = box.addButton(QObject::tr("试用演示店"), QMessageBox::AcceptRole);
  box.addButton(QObject::tr("退出"), QMessageBox::RejectRole);
  box.setDefaultButton(fresh);
  box.exec();
  if (box.clickedButton() == fresh) return FirstStart::New;
  if (box.clickedButton() == open) return FirstStart::Open;
  if (box.clickedButton() == demo) return FirstStart::Demo;
  return FirstStart::Quit;
}

QString RememberedShop() {
  return QSettings().value(kShopKey).toString();
}

void RememberShop(const QString& path) {
  QSettings().setValue(kShopKey, path);
}

}  // namespace ws::desk
