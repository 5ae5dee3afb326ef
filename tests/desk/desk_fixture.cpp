#include "desk_fixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QInputMethodEvent>
#include <QTest>

#include "db/runner.h"
#include "desk/field_editor.h"
#include "desk/shop_file.h"
#include "support/test_host.h"

namespace ws::desk::test {

ShopFixture::ShopFixture(const std::string& script) {
  std::string error;
  auto db = platform::SqliteDatabase::Open(DatabasePath());
  if (!db) {
    error_ = db.Error();
    return;
  }
  error_ = ws::test::InstallCatalogue(*db, ws::test::kTestLoginDate);
  if (error_.empty() && !script.empty()) error_ = db->ExecScript(script).Error();
}

DeskHost* ShopFixture::Host() {
  if (host_ || !error_.empty()) return host_.get();
  ShopFile file = OpenShopFile(DatabasePath());
  if (file.status != ShopFileStatus::Ok) {
    error_ = file.message;
    return nullptr;
  }
  QDir(dir_.path()).mkpath("work");
  host::LoginInfo login{ws::test::kTestUser, ws::test::kTestLoginDate,
                        dir_.filePath("work").toStdString()};
  host_ = std::make_unique<DeskHost>(std::move(file.db), DatabasePath(), login, &dialogs_);
  return host_.get();
}

std::string ShopFixture::Exec(const std::string& sql) {
  if (!Host()) return error_;
  return db::Runner(host_->Db()).Execute(db::Sql(sql));
}

std::string ShopFixture::Text(const std::string& sql) {
  if (!Host()) return error_;
  return db::Runner(host_->Db()).Scalar(db::Sql(sql)).ToText();
}

QLineEdit* LineOf(FormView& view, const forms::Widget& widget) {
  FieldEditor* editor = view.EditorOf(widget);
  return editor ? editor->Line() : nullptr;
}

void TypeText(QWidget* widget, const QString& text) {
  QString pending;
  auto commit = [&] {
    if (pending.isEmpty()) return;
    QInputMethodEvent event;
    event.setCommitString(pending);
    QCoreApplication::sendEvent(widget, &event);
    pending.clear();
  };
  for (QChar c : text) {
    if (c.unicode() < 128) {
      commit();
      QTest::keyClick(widget, c.toLatin1());
    } else {
      pending += c;
    }
  }
  commit();
}

void ProcessQueued() {
  for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
}

}  // namespace ws::desk::test
