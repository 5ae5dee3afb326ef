// The login of a desktop session: the user name and the login date (the default date of new
// documents and the reference of the document lists' date window). The last user name is
// remembered in the user's settings; the date starts at today.
#pragma once

#include <QDate>
#include <QDialog>
#include <QString>

class QDateEdit;
class QLineEdit;

namespace ws::desk {

class LoginDialog : public QDialog {
  Q_OBJECT

 public:
  explicit LoginDialog(const QString& databasePath, QWidget* parent = nullptr);

  QString UserName() const;
  QDate LoginDate() const;
  void SetUserName(const QString& name);
  void SetLoginDate(const QDate& date);

  // The remembered user name ("" before the first login) and remembering a new one.
  static QString RememberedUser();
  static void RememberUser(const QString& name);

 public slots:
  void accept() override;

 private:
  QLineEdit* user_;
  QDateEdit* date_;
};

// The work folder of a user: <application data>/<user>, holding "selfbb", "selfPrint" and
// "selfPrn". Created when missing; answers "" when it cannot be.
QString WorkFolderFor(const QString& userName);

}  // namespace ws::desk
