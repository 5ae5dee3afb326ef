// The Find / Filter dialog: the condition list it builds from what the user entered, and the
// condition text the documents make of it.
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include "desk/find_dialog.h"
#include "host/conditions.h"
#include "masters/descriptions.h"
#include "masters/master_card.h"
#include "masters/master_list.h"
#include "repair_order/ws_s.h"

namespace ws::desk {

class FindDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void BuildsConditionsFromTheEntries() {
    const std::vector<FindColumn> columns = {{"WSDJ.工单号码", "工单号码", FindKind::Text},
                                             {"WSDJ.进厂日期", "进厂日期", FindKind::Date},
                                             {"WSDJ.应收合计", "应收合计", FindKind::Number},
                                             {"WSDJ.接待人", "接待人", FindKind::Text}};
    const std::vector<FindEntry> entries = {
        {0, "like", " 2012 ", ""},            // trimmed, like by default for text
        {1, "", "2012-06-01", "2012-06-30"},  // a date gives from and to
        {2, ">=", "100", ""},
        {3, "=", "   ", ""},  // blank: no condition
        {9, "=", "x", ""},    // no such column: ignored
    };
    const std::vector<host::Condition> conditions = BuildConditions(columns, entries);
    QCOMPARE(conditions.size(), size_t{4});
    QCOMPARE(conditions[0].columnOp, std::string("WSDJ.工单号码 like"));
    QCOMPARE(conditions[0].value, std::string("2012"));
    QCOMPARE(conditions[1].columnOp, std::string("WSDJ.进厂日期>="));
    QCOMPARE(conditions[2].columnOp, std::string("WSDJ.进厂日期<="));
    QCOMPARE(conditions[2].value, std::string("2012-06-30"));
    QCOMPARE(conditions[3].columnOp, std::string("WSDJ.应收合计>="));
    // What a document makes of them, in both dialects.
    QCOMPARE(host::BuildConditionText(conditions, "sqlite"),
             std::string(" WSDJ.工单号码 like '%2012%' escape '\\' and WSDJ.进厂日期>='2012-06-01' and "
                         "WSDJ.进厂日期<='2012-06-30' and WSDJ.应收合计>='100'"));
    QVERIFY(host::BuildConditionText(conditions, "jet").find("进厂日期>=#2012-06-01#") !=
            std::string::npos);
    // Only a date's to value.
    const auto onlyTo = BuildConditions(columns, {{1, "", "", "2012-01-31"}});
    QCOMPARE(onlyTo.size(), size_t{1});
    QCOMPARE(onlyTo[0].columnOp, std::string("WSDJ.进厂日期<="));
    // A date typed in part is completed (the server takes whole dates only); one that is no
    // calendar date gives no condition.
    const auto partial = BuildConditions(columns, {{1, "", "2012", "2012-2"},
                                                   {1, "", "2012-6-1", "2012-06-"},
                                                   {1, "", "2012-13", "0000-00-00"},
                                                   {1, "", "2011-02-29", "x"}});
    QCOMPARE(partial.size(), size_t{4});
    QCOMPARE(partial[0].value, std::string("2012-01-01"));
    QCOMPARE(partial[1].value, std::string("2012-02-29"));
    QCOMPARE(partial[2].value, std::string("2012-06-01"));
    QCOMPARE(partial[3].value, std::string("2012-06-30"));
    // A number as a number field reads it; a text that is none gives no condition.
    const auto numbers =
        BuildConditions(columns, {{2, "=", "1,000.50", ""}, {2, "=", "O'Brien", ""}});
    QCOMPARE(numbers.size(), size_t{1});
    QCOMPARE(numbers[0].value, std::string("1000.50"));
  }

  void DialogOffersEachProgramsColumns() {
    // Every searchable program has its columns; a program without one has none.
    QVERIFY(!masters::MasterCard(masters::VehicleCard()).FindColumns().empty());
    QVERIFY(masters::MasterList(masters::VehicleList()).FindColumns().empty());
    const auto columns = repair_order::WS_S().FindColumns();
    FindDialog dialog(columns, "查找");
    size_t number = columns.size(), date = columns.size();
    for (size_t i = 0; i < columns.size(); ++i) {
      if (columns[i].caption == "工单号码") number = i;
      if (columns[i].caption == "进厂日期") date = i;
    }
    QVERIFY(number < columns.size() && date < columns.size());
    // Text: operator box with "包含" (like) first; date: from and to, no operator.
    QCOMPARE(dialog.OperatorBox(number)->currentData().toString(), QString("like"));
    QVERIFY(!dialog.OperatorBox(date));
    QTest::keyClicks(dialog.ValueEdit(number), "0615");
    dialog.OperatorBox(number)->setCurrentIndex(1);
    QTest::keyClicks(dialog.ToEdit(date), "2012-06-3x0");  // the date editor takes no letters
    const auto conditions = dialog.Conditions();
    QCOMPARE(conditions.size(), size_t{2});
    QCOMPARE(conditions[0].columnOp, columns[number].column + "=");
    QCOMPARE(conditions[0].value, std::string("0615"));
    QCOMPARE(conditions[1].columnOp, columns[date].column + "<=");
    QCOMPARE(conditions[1].value, std::string("2012-06-30"));
  }
};

}  // namespace ws::desk

QTEST_MAIN(ws::desk::FindDialogTest)
#include "find_dialog_test.moc"
