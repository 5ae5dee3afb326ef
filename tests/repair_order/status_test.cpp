// Check, uncheck, delete and the print data of a repair order.
#include <initializer_list>

#include "platform/print_data.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

class StatusTest : public RepairOrderTest {
 protected:
  void SetUp() override {
    RepairOrderTest::SetUp();
    AddOrder(5, "W005", "2012-06-02");
    AddLine(LineKind::Items, 10, 5, 1, 50);
    AddLine(LineKind::Parts, 11, 5, 2, 120);
    AddOrder(6, "W006", "2012-06-03");
    AddLine(LineKind::Items, 12, 6, 2, 300);
  }
  std::string State(int64_t id) {
    return host_.RowText("select smark, 系统, 审核人, 审核日期 from WSDJ where 单据ID=" +
                         std::to_string(id));
  }
};

TEST_F(StatusTest, CheckUncheckAndDeleteOfTheShownOrder) {
  host_.Exec("insert into JXCDJ (单据ID,progID,前置单据ID) values (100,200002,5)");
  ASSERT_TRUE(Start());
  EXPECT_FALSE(order_.FileDelete()) << "nothing shown";
  EXPECT_EQ(Boxes().back(), "没有可删除的记录!");
  ASSERT_TRUE(order_.RecordTop());
  ASSERT_TRUE(order_.Check());
  EXPECT_EQ(State(5), "02/审核/测试员/2012-06-15");
  EXPECT_FALSE(order_.CheckStatus("")) << "the stamp waits for DoSetStatus";
  EXPECT_EQ(F(WS_S::kCheckedBy).Text(), "");

  // Checking again, by someone else on another day, rewrites the checker.
  platform::SystemObject other(host_.Db(), host_.Dialogs(),
                               {"复核员", {2012, 6, 20}, host_.WorkFolder().string()});
  WS_S second;
  ASSERT_TRUE(second.Init(other, kProgram, 5));
  ASSERT_TRUE(second.Refresh());
  host_.Db().SetSetting("driver", "jet");
  ASSERT_TRUE(second.Check());
  EXPECT_EQ(State(5), "02/审核/复核员/2012-06-20");
  ASSERT_TRUE(order_.DoSetStatus("审核", true));
  ASSERT_TRUE(order_.RecordTop());
  EXPECT_TRUE(order_.CheckStatus(""));
  EXPECT_EQ(F(WS_S::kCheckDate).Text(), "2012-06-20");

  // Unchecking writes the one who returned it to entry, of the shown order only.
  ASSERT_TRUE(order_.UnCheck());
  EXPECT_EQ(State(5), "01/填单/测试员/2012-06-15");
  EXPECT_EQ(State(6), "01/填单//");

  // Database errors come back in boxes.
  host_.RefuseOn("lock_head", "WSDJ", "UPDATE", "单据被锁定");
  EXPECT_FALSE(order_.Check());
  EXPECT_EQ(Boxes().back(), "Check Error::单据被锁定");
  EXPECT_FALSE(order_.UnCheck());
  EXPECT_EQ(Boxes().back(), "UnCheck::单据被锁定");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
  host_.DropRefusal("lock_head", "WSDJ");

  // Delete asks, and removes the order with its lines.
  host_.Dialogs().Queue(host::MsgAnswer::No);
  EXPECT_FALSE(order_.FileDelete());
  EXPECT_EQ(Boxes().back(), "是否删除当前记录:");
  EXPECT_EQ(Count("select count(*) from WSDJ"), 2);

  // A closed period: the host says so, the control asks nothing.
  host_.System().SetOption(12, "Jzperiod", "201206");
  EXPECT_FALSE(order_.FileDelete());
  EXPECT_NE(Boxes().back(), "是否删除当前记录:");
  host_.System().SetOption(12, "Jzperiod", "0");

  // A failing delete is rolled back whole.
  host_.RefuseOn("keep_parts", "WSDJPJ", "DELETE", "配件行被引用");
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_FALSE(order_.FileDelete());
  EXPECT_TRUE(host_.Sink().HasErrMessage("配件行被引用"));
  EXPECT_EQ(Count("select count(*) from WSDJXM where 单据ID=5"), 1);
  host_.DropRefusal("keep_parts", "WSDJPJ");

  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_TRUE(order_.FileDelete());
  EXPECT_EQ(host_.Joined("select 单据ID from WSDJ union all select 单据ID from WSDJXM union all "
                         "select 单据ID from WSDJPJ"),
            "6,6");
  EXPECT_EQ(Count("select count(*) from JXCDJ"), 1) << "requisitions are not looked at";
  EXPECT_EQ(order_.GetID(), 6) << "the list moves on to the next order";
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_TRUE(order_.FileDelete());
  EXPECT_EQ(order_.GetID(), 0) << "no order left: the form is cleared";
  EXPECT_EQ(F(WS_S::kNumber).Text(), "");
}

TEST_F(StatusTest, PrintDataWithAndWithoutIssuedParts) {
  host_.System().SetOption(12, "12", "2");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.RecordTop());
  ASSERT_TRUE(order_.DoPrint());
  const auto path = host_.WorkFolder() / "selfPrint" / "200001.txt";
  platform::PrintFile file = platform::ReadPrintFile(path.string());
  ASSERT_EQ(file.error, "");
  const auto values = [&](std::initializer_list<const char*> names) {
    std::string text;
    for (const char* name : names) text += (file.Value(name) ? *file.Value(name) : "?") + "/";
    return text;
  };
  EXPECT_EQ(values({"工单号码", "车牌号", "车主", "应收合计", "金额小写", "金额大写",
                    "实际配件费用", "实际管理费用"}),
            "W005/京A12345/顺达物流/170/170.00/壹佰柒拾元整/0.00/0.00/");
  const platform::PrintTable* items = file.Table("ywGridXM");
  ASSERT_NE(items, nullptr);
  EXPECT_EQ(items->rows, (std::vector<std::vector<std::string>>{
                             {"1", "X01", "换机油", "保养", "1", "50", "50", "", "***"}}));

  // Hidden amount labels print as "***"; a row without a name ends the table.
  Label(WS_S::kAmountWords).SetVisible(false);
  ASSERT_TRUE(order_.FileEdit());
  Cell(LineKind::Items, 2, LineGrid::kRemark, "no item");
  Line(LineKind::Items, 3, "X02", "1", "300");
  // The parts this order's requisitions issued, and their cost.
  host_.Exec("insert into JXCDJ (单据ID,progID,前置单据ID) values (100,200002,5),(101,200002,6)");
  host_.Exec(
      "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values (1,100,1,2,100),"
      "(2,100,2,1,23.456),(3,101,2,1,999)");
  ASSERT_TRUE(order_.PrintPreview());
  file = platform::ReadPrintFile(path.string());
  EXPECT_EQ(values({"金额大写", "实际配件费用", "实际管理费用"}), "***/123.46/12.35/");
  EXPECT_EQ(file.Table("ywGridXM")->rows.size(), 1u);
  const platform::PrintTable* issued = file.Table("ywGridCK");
  ASSERT_EQ(issued->rows.size(), 2u) << "only this order's requisitions";
}

}  // namespace
}  // namespace ws::repair_order
