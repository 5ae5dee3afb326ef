// The 本店信息 dialog: shows what the shop file holds, saves what was typed on OK and nothing on
// Cancel.
#include <QApplication>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "desk/shop_info_dialog.h"
#include "platform/shop_info.h"
#include "support/test_host.h"

namespace ws::desk {

namespace {

// Once the dialog is up: checks the name it shows, types a new name and presses the button.
void AnswerDialog(const QString& shownName, const QString& typedName,
                  QDialogButtonBox::StandardButton press, bool* seen) {
  QTimer::singleShot(0, [=] {
    auto* dialog = qobject_cast<ShopInfoDialog*>(QApplication::activeModalWidget());
    if (!dialog) return;
    *seen = dialog->windowTitle() == QStringLiteral("本店信息");
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("shopName"));
    *seen = *seen && name && name->text() == shownName;
    if (name) name->setText(typedName);
    dialog->findChild<QDialogButtonBox*>()->button(press)->click();
  });
}

}  // namespace

class ShopInfoDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void SavesOnOkAndKeepsTheShopOnCancel() {
    test::TestHost host;
    const platform::ShopInfo stored{"长城汽修厂", "北京市朝阳区", "010-1234", "9111"};
    QCOMPARE(platform::SaveShopInfo(host.Db(), stored), std::string());

    bool seen = false;
    AnswerDialog(QStringLiteral("长城汽修厂"), QStringLiteral("城南汽修"), QDialogButtonBox::Cancel,
                 &seen);
    QVERIFY(!ShopInfoDialog::Edit(host.Db(), nullptr));
    QVERIFY(seen);
    QCOMPARE(platform::LoadShopInfo(host.Db()), stored);

    AnswerDialog(QStringLiteral("长城汽修厂"), QStringLiteral(" 城南汽修 "), QDialogButtonBox::Ok,
                 &seen);
    QVERIFY(ShopInfoDialog::Edit(host.Db(), nullptr));
    QVERIFY(seen);
    platform::ShopInfo changed = stored;
    changed.name = "城南汽修";
    QCOMPARE(platform::LoadShopInfo(host.Db()), changed);
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::ShopInfoDialogTest)
#include "shop_info_dialog_test.moc"
