// ws-desk --screenshot runs with nobody at the screen: whatever the module has to say (here,
// that part of the file is damaged) must answer itself and go to standard error, never wait
// for a click that will not come.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "db/runner.h"
#include "platform/sqlite_database.h"
#include "support/test_host.h"

namespace ws::desk {

class UnattendedTest : public QObject {
  Q_OBJECT

 private slots:
  void ScreenshotOfAPartlyDamagedShopNeverWaitsOnABox() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString shop = dir.filePath("shop.db");
    int64_t root = 0;
    int64_t pageSize = 0;
    {
      auto db = platform::SqliteDatabase::Open(shop.toStdString(), nullptr);
      QVERIFY(db);
      QCOMPARE(test::InstallCatalogue(*db, test::kTestLoginDate), std::string());
      db::Runner runner(*db);
      QCOMPARE(runner.Execute("INSERT INTO WSDJ (单据ID, progid, smark, 工单号码, 进厂日期) "
                              "VALUES (1, 200001, '01', 'W1', '2012-06-15')"),
               std::string());
      root = runner.Scalar("SELECT rootpage FROM sqlite_master WHERE name='WSDJ'").ToLong();
      pageSize = runner.Scalar("PRAGMA page_size").ToLong();
    }  // closing folds the write-ahead log into the file
    QVERIFY(root > 1);
    {
      // The orders' page gets a page type no b-tree has: every read of WSDJ fails as
      // "malformed", while the schema, the menu and the options still read.
      QFile file(shop);
      QVERIFY(file.open(QIODevice::ReadWrite));
      QVERIFY(file.seek((root - 1) * pageSize));
      QCOMPARE(file.write(QByteArray(1, '\x7f')), qint64(1));
    }

    const QString png = dir.filePath("shot.png");
    QProcess desk;
    desk.start(WS_DESK_EXE, {"--db", shop, "--user", "测试员", "--date", "2012-06-15", "--open",
                             "WS_S", "--screenshot", png});
    QVERIFY(desk.waitForStarted());
    const bool finished = desk.waitForFinished(60000);
    if (!finished) {
      desk.kill();
      desk.waitForFinished();
    }
    QVERIFY2(finished, "ws-desk waited for a click");
    const QString err = QString::fromUtf8(desk.readAllStandardError());
    QCOMPARE(desk.exitCode(), 0);
    QVERIFY2(err.contains("malformed"), qPrintable(err));
    QVERIFY2(err.contains("-> OK"), qPrintable(err));
    QVERIFY(QFile::exists(png));
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::UnattendedTest)
#include "unattended_test.moc"
