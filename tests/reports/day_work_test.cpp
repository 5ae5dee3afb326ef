// The start page's three lists over orders whose state is known: which order lands in which
// list, in which order, and that a settlement or an open balance moves it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "money/orders_fixture.h"
#include "reports/day_work.h"

namespace ws::reports {
namespace {

class DayWorkTest : public money::OrdersTest {
 protected:
  static std::vector<std::string> Numbers(const std::vector<DayWorkRow>& rows) {
    std::vector<std::string> out;
    for (const auto& row : rows) out.push_back(row.number);
    return out;
  }
};

TEST_F(DayWorkTest, EachOrderInTheListsItsStateCallsFor) {
  DayWork work = LoadDayWork(host_.Db());
  ASSERT_EQ(work.error, "");
  EXPECT_EQ(Numbers(work.openOrders), (Texts{"WS003"}));
  // WS002 has its settlement; the receipt that names no order settles nothing.
  EXPECT_EQ(Numbers(work.unsettled), (Texts{"WS001", "WS005", "WS004", "WS000"}));
  EXPECT_EQ(Numbers(work.receivable), (Texts{"WS002", "WS001", "WS004", "WS000"}));
  EXPECT_EQ(work.receivable[1].balance, db::Amount::Of("300"));
  EXPECT_EQ(work.receivable[1].customer, "顺达物流");
  EXPECT_EQ(work.receivable[1].plate, "京A12345");

  // Settling WS004 and paying WS000 off move them; the limit cuts each list.
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号,前置单据ID) values "
      "(51,200003,'01','JS051',4)");
  host_.Exec("update WSDJ set 余额=0 where 工单号码='WS000'");
  work = LoadDayWork(host_.Db(), 2);
  EXPECT_EQ(Numbers(work.unsettled), (Texts{"WS001", "WS005"}));
  EXPECT_EQ(Numbers(work.receivable), (Texts{"WS002", "WS001"}));
}

TEST_F(DayWorkTest, AFailingStatementIsReportedNotHidden) {
  host_.Exec("drop table ARPReceive");
  const DayWork work = LoadDayWork(host_.Db());
  EXPECT_NE(work.error, "");
  EXPECT_TRUE(work.unsettled.empty());
  EXPECT_EQ(Numbers(work.openOrders), (Texts{"WS003"}));
}

}  // namespace
}  // namespace ws::reports
