// The owner's accounts window (文件 → 账户管理): every account with its role and whether it
// may log in, and the four things an owner does with them: add one, stop or restart it, set a
// new password, choose its role. Every change goes through the account store, which keeps the
// last manager and refuses bad names and passwords; its refusal is shown as it is.
#pragma once

#include <QDialog>

#include "platform/accounts.h"

class QTableWidget;

namespace ws::desk {

class AccountsDialog : public QDialog {
  Q_OBJECT

 public:
  // The database must outlive the dialog.
  // The account logged in, for the audit trail of the changes made here.
  void SetActor(const std::string& user) { store_.SetActor({user, "desk"}); }
  explicit AccountsDialog(db::IDatabase& db, QWidget* parent = nullptr);

  // The steps behind the buttons, with what the user would type; each answers the refusal,
  // empty when done, and shows the accounts again.
  QString Add(const QString& name, const QString& password, const QString& role);
  QString SetActive(const QString& name, bool active);
  QString ResetPassword(const QString& name, const QString& password);
  QString ChooseRole(const QString& name, const QString& role);
  // The account of the selected row, "" when none.
  QString SelectedName() const;

 private:
  void Reload();
  QString Done(const std::string& refusal);
  void AskAdd();
  void AskPassword();
  void AskRole();
  void ToggleActive();
  QStringList RoleNames();

  platform::AccountStore store_;
  QTableWidget* table_;
};

}  // namespace ws::desk
