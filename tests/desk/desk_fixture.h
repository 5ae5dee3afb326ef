// What the desktop tests share: a shop database file with the catalogue and the default
// configuration in a temporary folder, a desktop host on it logged in as the test user with
// scripted dialogs, and small helpers to run statements and wait for queued work.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>
#include <string>

#include "db/value.h"
#include "desk/desk_host.h"
#include "desk/form_view.h"
#include "support/scripted_dialogs.h"

namespace ws::desk::test {

class ShopFixture {
 public:
  // Creates the database file and runs the script on it before closing it; Error() tells what
  // failed.
  explicit ShopFixture(const std::string& script = "");

  const std::string& Error() const { return error_; }
  std::string DatabasePath() const { return dir_.filePath("shop.db").toStdString(); }
  QString Folder() const { return dir_.path(); }

  // The host on the database (opened the way ws-desk opens it); nullptr on failure.
  DeskHost* Host();
  ws::test::ScriptedDialogs& Dialogs() { return dialogs_; }

  // Runs a statement on the host's database; answers the error text.
  std::string Exec(const std::string& sql);
  // The first column of the first row, as text.
  std::string Text(const std::string& sql);

 private:
  QTemporaryDir dir_;
  std::string error_;
  ws::test::ScriptedDialogs dialogs_;
  std::unique_ptr<DeskHost> host_;
};

// The line a model widget is edited in on the view; nullptr without one.
QLineEdit* LineOf(FormView& view, const forms::Widget& widget);

// Types text into a widget the way a keyboard and an input method do: ASCII as key clicks,
// Chinese as an input method's committed text.
void TypeText(QWidget* widget, const QString& text);

// Lets queued refreshes and event handlers run.
void ProcessQueued();

}  // namespace ws::desk::test
