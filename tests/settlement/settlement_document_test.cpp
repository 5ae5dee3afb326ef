// The settlement document while it is filled: copying a checked repair order (labour lines as
// new lines, parts as issued) and the amounts that follow the grids and the typed fields.
#include "settlement_fixture.h"

namespace ws::settlement {
namespace {

using docs::LineKind;
using Col = repair_order::LineGrid::Column;

TEST_F(SettlementTest, ChoosingAnOrderCopiesItsHeaderLabourAndIssuedParts) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(doc_.FileNew());
  Choose();
  EXPECT_EQ(chooserSettlementIds_, std::vector<int64_t>{0}) << "a new settlement";

  EXPECT_EQ(F(JS_WS::kOrderNumber).Key(), "10");
  EXPECT_EQ(F(JS_WS::kOrderNumber).Text(), "WS010");
  EXPECT_EQ(F(JS_WS::kOwner).Key(), "1");
  EXPECT_EQ(F(JS_WS::kOwner).Text(), "顺达物流");
  EXPECT_EQ(F(JS_WS::kPlate).Text(), "京A12345");
  EXPECT_EQ(F(JS_WS::kEngine).Text(), "E100");
  EXPECT_EQ(F(JS_WS::kCategory).Key(), "3");
  EXPECT_EQ(F(JS_WS::kDateIn).Text(), "2012-06-01");
  EXPECT_EQ(F(JS_WS::kDateOut).Text(), "2012-06-03");
  EXPECT_EQ(F(JS_WS::kRemarks).Text(), "左前门有划痕");

  // Labour lines in line order, new to the settlement.
  const forms::Grid& items = Grid(LineKind::Items);
  ASSERT_EQ(items.DataRows(), 2);
  EXPECT_EQ(items.TextMatrix(1, Col::kCode), "X01");
  EXPECT_EQ(items.CellKey(1, Col::kCode), "1");
  EXPECT_EQ(items.TextMatrix(1, Col::kName), "换机油");
  EXPECT_EQ(items.TextMatrix(1, Col::kRemark), "全合成");
  EXPECT_EQ(items.TextMatrix(2, Col::kAmount), "200");
  EXPECT_EQ(items.TextMatrix(1, Col::kLineId), "");
  EXPECT_EQ(items.TextMatrix(2, Col::kLineId), "");

  // Parts as issued, one row per product over both requisitions; the order's own planned
  // part line (4 × 100 of P02) is not billed.
  const forms::Grid& parts = Grid(LineKind::Parts);
  ASSERT_EQ(parts.DataRows(), 2);
  int p01 = parts.TextMatrix(1, Col::kCode) == "P01" ? 1 : 2;
  int p02 = 3 - p01;
  EXPECT_EQ(parts.CellKey(p01, Col::kCode), "1");
  EXPECT_EQ(parts.TextMatrix(p01, Col::kAttribute), "小号");
  EXPECT_EQ(parts.TextMatrix(p01, Col::kQuantity), "3");
  EXPECT_EQ(parts.TextMatrix(p01, Col::kAmount), "93");
  EXPECT_EQ(parts.TextMatrix(p01, Col::kPrice), "31");
  EXPECT_EQ(parts.TextMatrix(p02, Col::kQuantity), "0");
  EXPECT_EQ(parts.TextMatrix(p02, Col::kAmount), "5");
  EXPECT_EQ(parts.TextMatrix(p02, Col::kPrice), "") << "no price without a quantity";

  // 300 labour, 98 parts, the order's 15 + 5 fees, 9.8 management.
  EXPECT_EQ(F(JS_WS::kLabour).Text(), "300");
  EXPECT_EQ(F(JS_WS::kParts).Text(), "98");
  EXPECT_EQ(F(JS_WS::kDiagnosis).Text(), "15");
  EXPECT_EQ(F(JS_WS::kManagement).Text(), "9.8");
  EXPECT_EQ(F(JS_WS::kReceivable).Text(), "427.8");
  EXPECT_EQ(F(JS_WS::kOwed).Text(), "427.8");
}

TEST_F(SettlementTest, AnOrderWithoutIssuedPartsBillsNoPartsWhateverItPlanned) {
  host_.Exec("delete from JXCDJMX");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(doc_.FileNew());
  Choose();
  EXPECT_EQ(Grid(LineKind::Parts).DataRows(), 0);
  EXPECT_EQ(F(JS_WS::kParts).Text(), "0");
  EXPECT_EQ(F(JS_WS::kManagement).Text(), "0");
  EXPECT_EQ(F(JS_WS::kReceivable).Text(), "320");

  // A chooser closed without a choice leaves the form as it was.
  chosen_ = {};
  Choose();
  EXPECT_EQ(F(JS_WS::kOrderNumber).Text(), "WS010");
}

TEST_F(SettlementTest, TypedFeesAndMoneyFollowTheRulesAndTextCountsAsNothing) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(doc_.FileNew());
  Choose();

  // A hand-typed parts cost sets the management fee to a tenth of it.
  Type(JS_WS::kParts, "200");
  EXPECT_EQ(F(JS_WS::kManagement).Text(), "20");
  EXPECT_EQ(F(JS_WS::kReceivable).Text(), "540");  // 300 + 200 + 15 + 5 + 20

  // A typed management fee stands until the parts change again.
  Type(JS_WS::kManagement, "50");
  EXPECT_EQ(F(JS_WS::kReceivable).Text(), "570");

  Type(JS_WS::kCollected, "500");
  Type(JS_WS::kWriteOff, "abc");
  EXPECT_EQ(F(JS_WS::kReceived).Text(), "500");
  EXPECT_EQ(F(JS_WS::kOwed).Text(), "70");
  Type(JS_WS::kDiagnosis, "十五");
  EXPECT_EQ(F(JS_WS::kReceivable).Text(), "555");
  EXPECT_EQ(F(JS_WS::kOwed).Text(), "55");

  // An edit in the part grid replaces the typed cost with the grid's sum again.
  auto edited = forms::Input::EditCell(Grid(LineKind::Parts), 1, Col::kAmount, "100");
  ASSERT_TRUE(edited) << edited.reason;
  EXPECT_EQ(F(JS_WS::kParts).Text(), "105");
  EXPECT_EQ(F(JS_WS::kManagement).Text(), "10.5");
  EXPECT_EQ(F(JS_WS::kReceivable).Text(), "420.5");  // 300 + 105 + 0 + 5 + 10.5
}

TEST_F(SettlementTest, OnlyADetailCashAccountIsTaken) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(doc_.FileNew());
  Type(JS_WS::kAccount, "银行存款");
  EXPECT_FALSE(F(JS_WS::kAccount).Valid()) << "not a detail account";
  EXPECT_EQ(F(JS_WS::kAccount).Hint(), "科目输入有误，请重新输入！");
  Type(JS_WS::kAccount, "1001");
  EXPECT_TRUE(F(JS_WS::kAccount).Valid());
  EXPECT_EQ(F(JS_WS::kAccount).Key(), "1");
  EXPECT_EQ(F(JS_WS::kAccount).Text(), "库存现金");
}

}  // namespace
}  // namespace ws::settlement
