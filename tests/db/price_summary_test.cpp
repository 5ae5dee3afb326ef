// The price summary the database keeps beside the order lines must answer what the aggregate
// over the checked lines answers, whatever sequence of writes reached them, on both engines.
#include "db/price_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "db/schema.h"
#include "db/value.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

constexpr int64_t kPrograms[] = {200001, 200002};
constexpr int kItems = 4;

class PriceSummaryTest : public test::HostTest {
 protected:
  // The lowest, highest and average price of the item as the summary answers it and as the
  // lines of checked orders do; each compared to a ten-thousandth.
  void ExpectSummaryMatchesLines(const std::string& when) {
    for (int64_t program : kPrograms) {
      for (int kind : {kPriceSummaryItems, kPriceSummaryParts}) {
        const std::string lines = kind == kPriceSummaryItems ? "wsdjxm" : "wsdjpj";
        const std::string key = kind == kPriceSummaryItems ? "项目ID" : "产品ID";
        for (int item = 1; item <= kItems; ++item) {
          for (int rule : {1, 2, 3}) {
            const char* aggregate = rule == 1 ? "MIN" : rule == 2 ? "MAX" : "AVG";
            const Value expected = host_.Scalar(
                std::string("SELECT ") + aggregate + "(B.单价) FROM wsdj A JOIN " + lines +
                " B ON A.单据ID = B.单据ID WHERE B." + key + " = " + std::to_string(item) +
                " AND A.smark = '02' AND A.progID = " + std::to_string(program));
            const Value actual = host_.Scalar(PriceSummarySelect(rule, kind, item, program));
            ASSERT_EQ(expected.IsNull(), actual.IsNull())
                << when << ": program " << program << " kind " << kind << " item " << item
                << " rule " << rule;
            if (expected.IsNull()) continue;
            EXPECT_NEAR(expected.ToDouble(), actual.ToDouble(), 1e-4)
                << when << ": program " << program << " kind " << kind << " item " << item
                << " rule " << rule;
          }
        }
      }
    }
  }
};

TEST_F(PriceSummaryTest, FollowsRandomChecksUnchecksAndEditsOfLines) {
  std::mt19937 random(20121206);
  auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  const char* prices[] = {"10", "12.5", "20", "33.33", "NULL", "0"};
  int64_t nextOrder = 1;
  int64_t nextLine = 1;
  for (int step = 1; step <= 400; ++step) {
    const std::string order = std::to_string(1 + pick(static_cast<int>(nextOrder)));
    const std::string table = pick(2) ? "wsdjxm" : "wsdjpj";
    const std::string key = table == "wsdjxm" ? "项目ID" : "产品ID";
    const std::string line = std::to_string(1 + pick(static_cast<int>(nextLine)));
    switch (pick(8)) {
      case 0:  // a new order, checked or not
        host_.Exec("INSERT INTO wsdj (单据ID, progID, smark) VALUES (" +
                   std::to_string(nextOrder++) + ", " + std::to_string(kPrograms[pick(2)]) +
                   (pick(2) ? ", '02')" : ", '01')"));
        break;
      case 1:
      case 2: {  // new lines on any order (even one deleted or never made), several at once as
                 // a save inserts them, the same item at the same price among them
        const std::string item = std::to_string(1 + pick(kItems));
        const std::string price = prices[pick(6)];
        std::string values;
        for (int n = 1 + pick(3); n > 0; --n) {
          values += std::string(values.empty() ? "" : ", ") + "(" + std::to_string(nextLine++) +
                    ", " + order + ", " + (pick(2) ? item : std::to_string(1 + pick(kItems))) +
                    ", " + (pick(2) ? price : prices[pick(6)]) + ")";
        }
        host_.Exec("INSERT INTO " + table + " (单据明细ID, 单据ID, " + key + ", 单价) VALUES " +
                   values);
        break;
      }
      case 3:  // checked or unchecked
        host_.Exec(
            "UPDATE wsdj SET smark = CASE WHEN smark = '02' THEN '01' ELSE '02' END "
            "WHERE 单据ID = " +
            order);
        break;
      case 4:  // a line's price or item edited, or the line moved to another order
        host_.Exec("UPDATE " + table + " SET 单价 = " + prices[pick(6)] + ", " + key + " = " +
                   std::to_string(1 + pick(kItems)) + " WHERE 单据明细ID = " + line);
        host_.Exec("UPDATE " + table + " SET 单据ID = " + order +
                   " WHERE 单据明细ID = " + std::to_string(1 + pick(static_cast<int>(nextLine))));
        break;
      case 5:
        host_.Exec("DELETE FROM " + table + " WHERE 单据明细ID = " + line);
        break;
      case 6:  // the order moved to the other program
        host_.Exec("UPDATE wsdj SET progID = " + std::to_string(kPrograms[pick(2)]) +
                   " WHERE 单据ID = " + order);
        break;
      case 7:  // the order deleted, its lines left behind
        host_.Exec("DELETE FROM wsdj WHERE 单据ID = " + order);
        break;
    }
    if (step % 40 == 0) ExpectSummaryMatchesLines("after step " + std::to_string(step));
  }
}

TEST_F(PriceSummaryTest, AFileFromBeforeTheSummaryIsFilledFromItsCheckedOrders) {
  host_.Exec(
      "INSERT INTO wsdj (单据ID, progID, smark) VALUES (1, 200001, '02'), "
      "(2, 200001, '01'), (3, 200002, '02')");
  host_.Exec(
      "INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID, 单价) VALUES (1, 1, 1, 10), "
      "(2, 1, 1, 10), (3, 1, 1, 30), (4, 2, 1, 5), (5, 3, 2, 7)");
  host_.Exec("INSERT INTO wsdjpj (单据明细ID, 单据ID, 产品ID, 单价) VALUES (1, 1, 3, 4.5)");
  // What a file of the build before looked like: no summary, its module tables one version
  // older.
  host_.Exec("DROP TABLE ws_price_sum");
  if (host_.OnPostgres()) {
    for (const char* function : {"ws_price_wsdj", "ws_price_wsdjxm", "ws_price_wsdjpj"}) {
      host_.Exec(std::string("DROP FUNCTION ") + function + "() CASCADE");
    }
  } else {
    for (const char* table : {"wsdj", "wsdjxm", "wsdjpj"}) {
      for (const char* event : {"ins", "upd", "del"}) {
        host_.Exec(std::string("DROP TRIGGER ws_price_") + table + "_" + event);
      }
    }
  }
  host_.Exec("UPDATE ws_meta SET value = '4' WHERE key = 'version:module'");

  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  EXPECT_EQ(host_.Joined("SELECT progid, kind, item_id, price, n FROM ws_price_sum ORDER BY "
                         "progid, kind, item_id, price"),
            "200001/1/1/10/2,200001/1/1/30/1,200001/2/3/4.5/1,200002/1/2/7/1");
  // The triggers are back: an uncheck takes the order's lines away.
  host_.Exec("UPDATE wsdj SET smark = '01' WHERE 单据ID = 1");
  ExpectSummaryMatchesLines("after the upgrade");
}

TEST_F(PriceSummaryTest, AServerUpgradeRetiresTheTriggersThatCountedLineByLine) {
  if (!host_.OnPostgres()) GTEST_SKIP() << "the embedded engine's triggers kept their names";
  // A server file of the build before: each line counted in by a row trigger of the first
  // name, which would count a line in a second time beside the statement's trigger.
  for (const std::string old : {"ws_price_wsdjxm", "ws_price_wsdjpj", "ws_last_wsdjxm"}) {
    const std::string table = old.substr(old.rfind('_') + 1);
    for (const char* made : {"_chg", "_add"})
      host_.Exec("DROP TRIGGER " + old + made + " ON " + table);
    host_.Exec("CREATE TRIGGER " + old + " AFTER INSERT OR DELETE OR UPDATE ON " + table +
               " FOR EACH ROW EXECUTE FUNCTION " + old + "()");
  }
  host_.Exec("UPDATE ws_meta SET value = '12' WHERE key = 'version:module'");
  ASSERT_EQ(UpgradeSchema(host_.Db()), "");
  host_.Exec("INSERT INTO wsdj (单据ID, progID, smark, 车辆ID) VALUES (1, 200001, '02', 7)");
  host_.Exec(
      "INSERT INTO wsdjxm (单据明细ID, 单据ID, 项目ID, 单价) VALUES (1, 1, 1, 10), (2, 1, 1, 10)");
  host_.Exec("INSERT INTO wsdjpj (单据明细ID, 单据ID, 产品ID, 单价) VALUES (1, 1, 3, 4.5)");
  EXPECT_EQ(host_.Joined("SELECT kind, item_id, price, n FROM ws_price_sum ORDER BY kind"),
            "1/1/10/2,2/3/4.5/1");
  EXPECT_EQ(host_.Joined("SELECT item_id, vehicle_id, order_id FROM ws_last_service"), "1/7/1");
  // Edits and deletes still go through the row triggers under their new names.
  host_.Exec("DELETE FROM wsdjxm WHERE 单据明细ID = 1");
  host_.Exec("UPDATE wsdjpj SET 单价 = 5 WHERE 单据明细ID = 1");
  ExpectSummaryMatchesLines("after an edit and a delete");
}

}  // namespace
}  // namespace ws::db
