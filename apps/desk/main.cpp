// ws-desk: the desktop host of the repair-shop module.
//
//   ws-desk [--db FILE|URL] [--create-demo] [--user NAME --date yyyy-mm-dd]
//           [--open CLASS] [--checklist] [--screenshot PNG]
//
// Without --db the shop last opened on this machine opens; on the very first start the user
// is asked for a new shop, an existing one or a demo to try.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileDialog>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QProgressDialog>
#include <QStandardPaths>
#include <QTimer>
#include <QTranslator>
#include <cstdio>
#include <cstdlib>

#include "db/date.h"
#include "desk/desk_dialogs.h"
#include "desk/desk_host.h"
#include "desk/login_dialog.h"
#include "desk/main_window.h"
#include "desk/new_shop_dialog.h"
#include "desk/shop_file.h"
#include "host/app.h"
#include "platform/accounts.h"
#include "platform/postgres_database.h"
#include "platform/server_logins.h"
#include "shop/store/database_file.h"

namespace {

using ws::desk::ShopFileStatus;

constexpr int64_t kDemoOrders = 2000;

struct Options {
  QString db;
  bool createDemo = false;
  QString screenshot;
  QString openClass;
  QString user;
  QString date;
  bool checklist = false;
};

Options ParseOptions(const QApplication& app) {
  QCommandLineParser parser;
  parser.setApplicationDescription("The desktop of the repair shop.");
  parser.addHelpOption();
  QCommandLineOption db("db", "The shop database: a file, or a postgresql:// URL.", "FILE|URL");
  QCommandLineOption demo("create-demo", "Create a demo shop when the file does not exist.");
  QCommandLineOption shot("screenshot", "Render the main window to PNG and exit.", "PNG");
  QCommandLineOption open("open", "Open the program of this class (WS_S, PDM_cl ...).", "CLASS");
  QCommandLineOption user("user", "Log in as this user without asking.", "NAME");
  QCommandLineOption date("date", "The login date (yyyy-mm-dd), with --user.", "DATE");
  QCommandLineOption checklist("checklist", "Show the going-live checklist of the shop.");
  parser.addOptions({db, demo, shot, open, user, date, checklist});
  parser.process(app);
  Options options;
  options.db = parser.value(db);
  options.checklist = parser.isSet(checklist);
  if (options.db.isEmpty()) options.db = ws::desk::RememberedShop();
  options.createDemo = parser.isSet(demo);
  options.screenshot = parser.value(shot);
  options.openClass = parser.value(open);
  options.user = parser.value(user);
  options.date = parser.value(date);
  return options;
}

// Tells the user (a box, or standard error when nobody is there to click).
void Tell(const Options& options, const QString& text) {
  if (options.screenshot.isEmpty()) {
    QMessageBox::critical(nullptr, QString::fromUtf8(ws::host::kAppTitle), text);
  } else {
    std::fprintf(stderr, "ws-desk: %s\n", text.toLocal8Bit().constData());
  }
}

// The demo shop a first start offers to try, in the user's data folder.
QString DemoShopPath() {
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
      .filePath("demo.db");
}

// The first start (no shop given, none remembered): a new shop, an existing one or the demo.
// Empty when the user gives up.
QString ChooseFirstShop(Options& options) {
  switch (ws::desk::AskFirstStart()) {
    case ws::desk::FirstStart::New:
      options.checklist = true;
      return ws::desk::NewShopDialog::Run(ws::db::Today(), nullptr);
    case ws::desk::FirstStart::Open:
      return QFileDialog::getOpenFileName(nullptr, QObject::tr("打开维修厂"), QString(),
                                          QObject::tr("维修厂数据库 (*.db)"));
    case ws::desk::FirstStart::Demo:
      options.createDemo = true;
      return DemoShopPath();
    case ws::desk::FirstStart::Quit:
      break;
  }
  return {};
}

std::string CreateDemo(const Options& options) {
  if (ws::shop::EngineOf(options.db.toStdString()) == ws::db::Engine::Sqlite) {
    QDir().mkpath(QFileInfo(options.db).absolutePath());
  }
  std::unique_ptr<QProgressDialog> progress;
  if (options.screenshot.isEmpty()) {
    progress =
        std::make_unique<QProgressDialog>(QObject::tr("正在创建演示数据库..."), QString(), 0, 100);
    progress->setMinimumDuration(0);
    progress->setWindowModality(Qt::ApplicationModal);
  }
  return ws::desk::CreateDemoShop(options.db.toStdString(), kDemoOrders, ws::db::Today(),
                                  [&](int64_t done, int64_t total) {
                                    if (!progress || total <= 0) return;
                                    progress->setValue(static_cast<int>(done * 100 / total));
                                    QCoreApplication::processEvents();
                                  });
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QApplication::setOrganizationName("ws");
  QApplication::setApplicationName("ws-desk");
  // The shop works in Chinese whatever the machine's locale: Qt's own buttons and dialogs
  // (确定/取消, the file and print dialogs) speak it too when its translations are installed.
  QTranslator qtTranslator;
  if (qtTranslator.load(QLocale(QLocale::Chinese, QLocale::China), "qtbase", "_",
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(&qtTranslator);
  }
  Options options = ParseOptions(app);
  if (options.db.isEmpty()) {
    // Nobody is there to answer on a --screenshot run: the demo, as before.
    if (!options.screenshot.isEmpty()) {
      options.db = DemoShopPath();
    } else {
      options.db = ChooseFirstShop(options);
      if (options.db.isEmpty()) return 0;
    }
  }

  ws::desk::ShopFile file = ws::desk::OpenShopFile(options.db.toStdString());
  if (file.status == ShopFileStatus::Missing) {
    bool create = options.createDemo;
    if (!create && options.screenshot.isEmpty()) {
      create =
          QMessageBox::question(nullptr, QString::fromUtf8(ws::host::kAppTitle),
                                QObject::tr("%1\n是否创建一个演示维修厂数据库？")
                                    .arg(QString::fromStdString(file.message))) == QMessageBox::Yes;
    }
    if (!create) {
      Tell(options, QString::fromStdString(file.message));
      return 1;
    }
    if (std::string error = CreateDemo(options); !error.empty()) {
      Tell(options, QObject::tr("无法创建演示数据库：%1").arg(QString::fromStdString(error)));
      return 1;
    }
    file = ws::desk::OpenShopFile(options.db.toStdString());
  }
  if (file.status != ShopFileStatus::Ok) {
    Tell(options, QString::fromStdString(file.message));
    return 1;
  }
  if (!file.message.empty()) Tell(options, QString::fromStdString(file.message));

  QString user = options.user;
  QDate date =
      options.date.isEmpty() ? QDate::currentDate() : QDate::fromString(options.date, Qt::ISODate);
  if (!date.isValid()) {
    Tell(options, QObject::tr("登录日期 %1 不是 yyyy-mm-dd 格式的日期").arg(options.date));
    return 2;
  }
  if (user.isEmpty() && !options.screenshot.isEmpty()) {
    user = ws::desk::LoginDialog::RememberedUser();
    if (user.isEmpty()) user = "admin";
  }
  // A shop with accounts opens only to a name and its password; a shop without any takes any
  // name, as it always did. --user names the account; its password is asked, or comes from
  // WS_PASSWORD when nobody is there to type it (--screenshot).
  ws::platform::AccountStore accounts(*file.db);
  std::string accountsError;
  const bool closed = accounts.HasAccounts(&accountsError);
  if (!accountsError.empty()) {
    Tell(options, QObject::tr("无法读取账户：%1").arg(QString::fromStdString(accountsError)));
    return 1;
  }
  ws::desk::LoginDialog::Authenticator authenticate;
  if (closed) {
    authenticate = [&accounts](const QString& name, const QString& password) {
      return QString::fromStdString(
          accounts.Authenticate(name.toStdString(), password.toStdString()));
    };
  }
  const char* environmentPassword = std::getenv("WS_PASSWORD");
  if (closed && !user.isEmpty() && (environmentPassword || !options.screenshot.isEmpty())) {
    const QString refusal =
        authenticate(user, QString::fromUtf8(environmentPassword ? environmentPassword : ""));
    if (!refusal.isEmpty()) {
      Tell(options, refusal);
      return 1;
    }
  } else if (user.isEmpty() || closed) {
    ws::desk::LoginDialog login(
        QString::fromStdString(ws::platform::DisplayUrl(options.db.toStdString())), authenticate);
    if (!user.isEmpty()) login.SetUserName(user);
    if (!options.date.isEmpty()) login.SetLoginDate(date);
    if (login.exec() != QDialog::Accepted) return 0;
    user = login.UserName();
    date = login.LoginDate();
  }
  // On a server shop with accounts the server keeps the rights of the connection's login, so
  // the account logged in must be the one the desk connects as.
  if (auto* server = dynamic_cast<ws::platform::PostgresDatabase*>(file.db.get());
      server && closed && ws::platform::ServerLogins(*server).Installed()) {
    const std::string connected = ws::platform::ServerLogins(*server).ConnectedLogin();
    if (connected != user.toStdString()) {
      Tell(options, QObject::tr("这台桌面以服务器账户“%1”连接，不能以“%2”登录：请在数据库地址中写上"
                                "自己的账户（postgresql://%2@服务器/数据库）")
                        .arg(QString::fromStdString(connected), user));
      return 1;
    }
  }
  const QString workFolder = ws::desk::WorkFolderFor(user);
  if (workFolder.isEmpty()) {
    Tell(options, QObject::tr("无法创建工作文件夹"));
    return 1;
  }
  ws::host::LoginInfo login{user.toStdString(), ws::db::Date{date.year(), date.month(), date.day()},
                            QDir::toNativeSeparators(workFolder).toStdString(), "desk"};
  // Nobody answers the boxes of a --screenshot run: they answer themselves and go to stderr.
  ws::desk::DeskDialogs unattendedDialogs(false);
  ws::desk::DeskHost host(std::move(file.db), options.db.toStdString(), login,
                          options.screenshot.isEmpty() ? nullptr : &unattendedDialogs);
  ws::desk::MainWindow window(host);
  // Another shop starts the program anew on it, once this window has closed (its questions
  // about unsaved work answered).
  window.SetShopSwitcher([&window](const QString& path, bool newShop) {
    if (!window.close()) return;
    QStringList arguments{"--db", path};
    if (newShop) arguments << "--checklist";
    ws::desk::RememberShop(path);
    QProcess::startDetached(QCoreApplication::applicationFilePath(), arguments);
  });
  ws::desk::RememberShop(options.db);
  window.show();
  if (!options.openClass.isEmpty()) window.OpenClass(options.openClass.toStdString());
  if (options.checklist) window.ShowGoingLive();

  if (!options.screenshot.isEmpty()) {
    // Let the queued refreshes run, then draw the window as it stands.
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    if (!window.grab().save(options.screenshot)) {
      std::fprintf(stderr, "ws-desk: cannot write %s\n",
                   options.screenshot.toLocal8Bit().constData());
      return 1;
    }
    return 0;
  }
  return QApplication::exec();
}
