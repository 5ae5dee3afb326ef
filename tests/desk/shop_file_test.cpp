// Opening the shop file: a clear refusal for a missing, foreign, outdated or locked file, and
// the demo shop of a first start.
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include "db/catalogue.h"
#include "db/runner.h"
#include "desk/shop_file.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::desk {

class ShopFileTest : public QObject {
  Q_OBJECT

 private slots:
  void RefusesWhatIsNotAShopOfOurs() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const std::string missing = dir.filePath("none.db").toStdString();
    ShopFile file = OpenShopFile(missing);
    QCOMPARE(file.status, ShopFileStatus::Missing);
    QVERIFY(!file.db);
    QVERIFY(file.message.find(missing) != std::string::npos);
    QVERIFY(!QFile::exists(QString::fromStdString(missing)));  // looking creates nothing

    // Text that is no database at all.
    const QString text = dir.filePath("notes.db");
    {
      QFile f(text);
      QVERIFY(f.open(QIODevice::WriteOnly));
      f.write(QByteArray(4096, 'x'));
    }
    QCOMPARE(OpenShopFile(text.toStdString()).status, ShopFileStatus::Foreign);
    QCOMPARE(OpenShopFile(dir.path().toStdString()).status, ShopFileStatus::Foreign);
    // An empty file is refused as it is, not made a database by the look.
    const QString empty = dir.filePath("empty.db");
    {
      QFile f(empty);
      QVERIFY(f.open(QIODevice::WriteOnly));
    }
    QCOMPARE(OpenShopFile(empty.toStdString()).status, ShopFileStatus::Foreign);
    QCOMPARE(QFileInfo(empty).size(), qint64(0));

    // An SQLite database of some other program: no schema mark.
    const std::string other = dir.filePath("other.db").toStdString();
    {
      auto db = platform::SqliteDatabase::Open(other, nullptr);
      QVERIFY(db);
      QCOMPARE(db->ExecScript("CREATE TABLE t (a)"), std::string());
    }
    file = OpenShopFile(other);
    QCOMPARE(file.status, ShopFileStatus::Foreign);
    QVERIFY(file.message.find("ws_meta") != std::string::npos);

    // Ours, from another version of the program.
    const std::string shop = dir.filePath("shop.db").toStdString();
    {
      auto db = platform::SqliteDatabase::Open(shop, nullptr);
      QVERIFY(db);
      QCOMPARE(test::InstallCatalogue(*db, test::kTestLoginDate), std::string());
    }
    QCOMPARE(OpenShopFile(shop).status, ShopFileStatus::Ok);
    {
      auto db = platform::SqliteDatabase::Open(shop, nullptr);
      QCOMPARE(db->ExecScript("UPDATE ws_meta SET value = '99' WHERE key = 'version'"),
               std::string());
    }
    file = OpenShopFile(shop);
    QCOMPARE(file.status, ShopFileStatus::Outdated);
    QVERIFY(file.message.find("99") != std::string::npos);
    // A file of the build before per-subsystem versions opens and is brought forward.
    {
      auto db = platform::SqliteDatabase::Open(shop, nullptr);
      QCOMPARE(db->ExecScript("UPDATE ws_meta SET value = '1' WHERE key = 'version';"
                              "DELETE FROM ws_meta WHERE key LIKE 'version:%'"),
               std::string());
    }
    file = OpenShopFile(shop);
    QCOMPARE(file.status, ShopFileStatus::Ok);
    QCOMPARE(db::SchemaVersion(*file.db), std::optional<std::string>(db::kSchemaVersion));
  }

  void TellsWhenAnotherProgramHoldsTheFile() {
    QTemporaryDir dir;
    const std::string shop = dir.filePath("shop.db").toStdString();
    auto owner = platform::SqliteDatabase::Open(shop, nullptr);
    QVERIFY(owner);
    QCOMPARE(test::InstallCatalogue(*owner, test::kTestLoginDate), std::string());
    // Another program in the middle of writing.
    owner->BeginTrans();
    QCOMPARE(owner->LastError(), std::string());
    ShopFile file = OpenShopFile(shop, 100);
    QCOMPARE(file.status, ShopFileStatus::Locked);
    QVERIFY(!file.db);
    owner->RollbackTrans();
    QCOMPARE(OpenShopFile(shop, 100).status, ShopFileStatus::Ok);
  }

  void CreatesTheDemoShop() {
    QTemporaryDir dir;
    const std::string shop = dir.filePath("demo.db").toStdString();
    int64_t lastDone = -1;
    const std::string error = CreateDemoShop(shop, 30, db::Date{2012, 6, 15},
                                             [&](int64_t done, int64_t) { lastDone = done; });
    QCOMPARE(error, std::string());
    ShopFile file = OpenShopFile(shop);
    QCOMPARE(file.status, ShopFileStatus::Ok);
    db::Runner runner(*file.db);
    QCOMPARE(runner.ScalarNumber(db::Sql("SELECT count(*) FROM WSDJ")), 30.0);
    QVERIFY(runner.ScalarNumber(db::Sql("SELECT count(*) FROM xt_objects")) > 0);
    QVERIFY(lastDone >= 0);
    // An existing file is never overwritten.
    QVERIFY(!CreateDemoShop(shop, 5, db::Date{2012, 6, 15}).empty());
    QCOMPARE(runner.ScalarNumber(db::Sql("SELECT count(*) FROM WSDJ")), 30.0);
  }

  // A shop on a PostgreSQL server: a database without one is offered the demo shop, which
  // is then opened like a file; a server that cannot be reached is a plain failure.
  void OpensAShopOnAServer() {
    auto base = platform::testing::PostgresUrl();
    if (!base) QSKIP("WS_PG_URL is not set (scripts/with_postgres.sh)");
    const std::string url = *base + (base->find('?') == std::string::npos ? "?" : "&") +
                            "dbname=desk_shop_" + std::to_string(::getpid());
    ShopFile missing = OpenShopFile(url);
    QCOMPARE(missing.status, ShopFileStatus::Missing);
    QVERIFY(!missing.db);

    QCOMPARE(CreateDemoShop(url, 12, db::Date{2012, 6, 15}), std::string());
    ShopFile file = OpenShopFile(url);
    QCOMPARE(file.status, ShopFileStatus::Ok);
    QVERIFY(file.message.empty());
    QCOMPARE(db::Runner(*file.db).ScalarNumber(db::Sql("SELECT count(*) FROM WSDJ")), 12.0);

    ShopFile refused = OpenShopFile("postgresql:///none?host=/nonexistent-socket-folder");
    QCOMPARE(refused.status, ShopFileStatus::Failed);
    QVERIFY(!refused.db);
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ShopFileTest)
#include "shop_file_test.moc"
