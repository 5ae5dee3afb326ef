// Backup and restore from the desktop's menu: a copy of the open shop, and the shop put back
// from it, refused while a program window would go on showing what the restore replaced.
#include <QAction>
#include <QTabWidget>
#include <QTest>

#include "desk/main_window.h"
#include "desk_fixture.h"

namespace ws::desk {

using test::ShopFixture;

class ShopBackupTest : public QObject {
  Q_OBJECT

 private slots:
  void BackupAndRestoreTheOpenShop() {
    ShopFixture shop;
    QCOMPARE(shop.Error(), std::string());
    DeskHost* host = shop.Host();
    QVERIFY(host);
    QCOMPARE(shop.Exec("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) "
                       "values (1,'F01','小修','before')"),
             std::string());
    MainWindow window(*host);
    QVERIFY(window.findChild<QAction*>("BackupShop"));
    QVERIFY(window.findChild<QAction*>("RestoreShop"));

    const QString copy = shop.Folder() + "/copy.db";
    QCOMPARE(window.BackupShopTo(copy), QString());
    QCOMPARE(shop.Exec("update pdmwxfl set 说明='after'"), std::string());

    // With a program open the restore is refused and nothing changes.
    QVERIFY(window.OpenClass("PDM_WXFL"));
    QVERIFY(!window.RestoreShopFrom(copy).isEmpty());
    QCOMPARE(shop.Scalar("select 说明 from pdmwxfl").ToText(), std::string("after"));

    QVERIFY(window.CloseTab(0));
    QCOMPARE(window.RestoreShopFrom(copy), QString());
    QCOMPARE(shop.Scalar("select 说明 from pdmwxfl").ToText(), std::string("before"));
    QVERIFY(!window.RestoreShopFrom(shop.Folder() + "/missing.db").isEmpty());
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ShopBackupTest)
#include "shop_backup_test.moc"
