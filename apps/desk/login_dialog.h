// The login of a desktop session: the user name, its password and the login date (the default
// date of new documents and the reference of the document lists' date window). The last user
// name is remembered in the user's settings; the date starts at today. A shop with accounts
// checks the name and password before the dialog closes (a refusal is shown in the dialog,
// which stays for another try); a shop without any takes any name and has no password field.
#pragma once

#include <QDate>
#include <QDialog>
#include <QString>
#include <functional>

class QDateEdit;
class QLabel;
class QLineEdit;

namespace ws::desk {

class LoginDialog : public QDialog {
  Q_OBJECT

 public:
  // Answers why the name and password are refused, empty when they open an account.
  using Authenticator = std::function<QString(const QString& user, const QString& password)>;

  // authenticate: nullptr for a shop without accounts.
  explicit LoginDialog(const QString& databasePath, Authenticator authenticate = nullptr,
                       QWidget* parent = nullptr);

  QString UserName() const;
  void SetPassword(const QString& password);
  QDate LoginDate() const;
  void SetUserName(const QString& name);
  void SetLoginDate(const QDate& date);

  // The remembered user name ("" before the first login) and remembering a new one.
  static QString RememberedUser();
  static void RememberUser(const QString& name);

 public slots:
  void accept() override;

 private:
  Authenticator authenticate_;
  QLineEdit* user_;
  QLineEdit* password_ = nullptr;
  QDateEdit* date_;
  QLabel* refusal_;
};

// The work folder of a user: <application data>/<user>, holding "selfbb", "selfPrint" and
// "selfPrn". Created when missing; answers "" when it cannot be.
QString WorkFolderFor(const QString& userName);

}  // namespace ws::desk
