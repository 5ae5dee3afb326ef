#include "desk/login_dialog.h"

#include <QDateEdit>
#include <QDialogButtonBox>
#include <QDir>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSettings>
#include <QStandardPaths>
#include <QVBoxLayout>

namespace ws::desk {

namespace {
constexpr const char* kUserKey = "login/user";
}

LoginDialog::LoginDialog(const QString& databasePath, Authenticator authenticate, QWidget* parent)
    : QDialog(parent), authenticate_(std::move(authenticate)) {
  setWindowTitle(tr("登录"));
  // Room for a long path and the refusal without the dialog growing under the clerk's eyes.
  setMinimumWidth(360);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  form->addRow(tr("数据库"), new QLabel(databasePath, this));
  user_ = new QLineEdit(RememberedUser(), this);
  user_->setObjectName("UserName");
  // The last name is proposed selected: Enter keeps it, typing replaces it.
  user_->selectAll();
  form->addRow(tr("用户名"), user_);
  if (authenticate_) {
    password_ = new QLineEdit(this);
    password_->setObjectName("Password");
    password_->setEchoMode(QLineEdit::Password);
    form->addRow(tr("密码"), password_);
    // The remembered name is usually the clerk's own: the cursor waits for the password.
    if (!user_->text().isEmpty()) password_->setFocus();
  }
  date_ = new QDateEdit(QDate::currentDate(), this);
  date_->setObjectName("LoginDate");
  date_->setCalendarPopup(true);
  date_->setDisplayFormat("yyyy-MM-dd");
  form->addRow(tr("登录日期"), date_);
  layout->addLayout(form);
  refusal_ = new QLabel(this);
  refusal_->setObjectName("Refusal");
  refusal_->setStyleSheet("color: #b00020");
  refusal_->hide();
  layout->addWidget(refusal_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &LoginDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

QString LoginDialog::UserName() const {
  return user_->text().trimmed();
}
QDate LoginDialog::LoginDate() const {
  return date_->date();
}
void LoginDialog::SetUserName(const QString& name) {
  user_->setText(name);
}
void LoginDialog::SetLoginDate(const QDate& date) {
  date_->setDate(date);
}

void LoginDialog::accept() {
  if (UserName().isEmpty()) {
    user_->setFocus();
    user_->setPlaceholderText(tr("请输入用户名"));
    return;
  }
  if (authenticate_) {
    const QString refusal = authenticate_(UserName(), password_->text());
    if (!refusal.isEmpty()) {
      refusal_->setText(refusal);
      refusal_->show();
      password_->clear();
      password_->setFocus();
      return;
    }
  }
  RememberUser(UserName());
  QDialog::accept();
}

void LoginDialog::SetPassword(const QString& password) {
  if (password_) password_->setText(password);
}

QString LoginDialog::RememberedUser() {
  return QSettings().value(kUserKey).toString();
}

void LoginDialog::RememberUser(const QString& name) {
  QSettings().setValue(kUserKey, name);
}

QString WorkFolderFor(const QString& userName) {
  const QString base = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
  if (base.isEmpty()) return {};
  QDir dir(base);
  QString name = userName.isEmpty() ? QStringLiteral("default") : userName;
  name.replace('/', '_').replace('\\', '_');
  if (name.startsWith('.')) name.prepend('_');
  const QString folder = dir.filePath(name);
  if (!QDir().mkpath(folder)) return {};
  for (const char* sub : {"selfbb", "selfPrint", "selfPrn"}) QDir(folder).mkpath(sub);
  return folder;
}

}  // namespace ws::desk
