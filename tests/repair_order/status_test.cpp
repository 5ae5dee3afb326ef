// Check, uncheck, delete and the print data of a repair order, and its audit trail: every save,
// check, uncheck and delete leaves one event with who did it and, for a save, each changed value
// before and after; an event is written with its change or not at all.
#include <initializer_list>
#include <memory>

#include "db/audit_trail.h"
#include "platform/print_data.h"
#include "repair_order_fixture.h"
#include "support/scripted_dialogs.h"

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
  ASSERT_TRUE(order_.RecordTop() && order_.Check());
  EXPECT_EQ(State(5), "02/审核/测试员/2012-06-15");
  EXPECT_FALSE(order_.CheckStatus("")) << "the stamp waits for DoSetStatus";
  EXPECT_EQ(F(WS_S::kCheckedBy).Text(), "");

  // Checking again, by someone else on another day, rewrites the checker.
  platform::SystemObject other(host_.Db(), host_.Dialogs(),
                               {"复核员", {2012, 6, 20}, host_.WorkFolder().string()});
  WS_S second;
  ASSERT_TRUE(second.Init(other, kProgram, 5) && second.Refresh());
  host_.Db().SetSetting("driver", "jet");
  ASSERT_TRUE(second.Check());
  EXPECT_EQ(State(5), "02/审核/复核员/2012-06-20");
  ASSERT_TRUE(order_.DoSetStatus("审核", true) && order_.RecordTop());
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
  ASSERT_TRUE(Start() && order_.RecordTop() && order_.DoPrint());
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
                             {"1", "X01", "换机油", "保养", "1.00", "50.00", "50.00", "", "***"}}));

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
  // 123.4495 issued: its tenth 12.34495 prints as 12.34, rounded once.
  host_.Exec("update JXCDJMX set 实际金额=23.4495 where 单据明细ID=2");
  ASSERT_TRUE(order_.PrintPreview());
  file = platform::ReadPrintFile(path.string());
  EXPECT_EQ(values({"实际配件费用", "实际管理费用"}), "123.45/12.34/");
}

class AuditTest : public RepairOrderTest {
 protected:
  void SaveNewOrder() {
    ASSERT_TRUE(Start());
    TypeNewOrder();
    ASSERT_TRUE(order_.FileSave());
  }
  std::string Events() {
    return host_.Joined("select 序号, 操作, 用户 from ws_audit where 单据类型='WS_S' and 单据ID=" +
                            std::to_string(order_.GetID()) + " order by 序号",
                        " ");
  }
  std::vector<db::FieldChange> Changes(int event) {
    return db::DecodeChanges(
        Text("select 变更 from ws_audit where 单据类型='WS_S' and 序号=" + std::to_string(event)));
  }
  // The change of the field whose name ends with `field` ("" when the event has none).
  static std::string Change(const std::vector<db::FieldChange>& changes, const std::string& field) {
    for (const auto& c : changes)
      if (c.field.ends_with(field)) return c.before + "→" + c.after;
    return "";
  }
  std::string Stored(const std::string& column) {
    return Text("select " + column + " from WSDJ where 单据ID=" + std::to_string(order_.GetID()));
  }
};

TEST_F(AuditTest, AnOrderEditedByTwoUsersShowsBothChangesBeforeAndAfter) {
  SaveNewOrder();

  // The first clerk changes a line's price ...
  ASSERT_TRUE(order_.FileEdit());
  Cell(LineKind::Items, 1, LineGrid::kPrice, "60");
  ASSERT_TRUE(order_.FileSave());

  // ... and another, at her own desk, the diagnosis fee of the order she opens.
  test::ScriptedDialogs dialogs;
  platform::SystemObject desk(host_.Db(), dialogs,
                              {"李四", test::kTestLoginDate, host_.WorkFolder().string(), "desk"});
  WS_S other;
  ASSERT_TRUE(other.Init(desk, kProgram, order_.GetID()) && other.Refresh() && other.FileEdit());
  ASSERT_TRUE(forms::Input::Type(other.Header(WS_S::kDiagnosis), "25") && other.FileSave());

  EXPECT_EQ(Events(), "1/新增/测试员 2/修改/测试员 3/修改/李四");
  EXPECT_EQ(Text("select 前端 from ws_audit where 序号=3"), "desk");
  const auto byFirst = Changes(2);
  EXPECT_EQ(Change(byFirst, "维修项目第1行（X01 换机油）·单价"), "50→60")
      << "the line as the clerk knows it";
  EXPECT_EQ(Change(byFirst, "诊断费"), "") << "what the first clerk did not change";
  const auto bySecond = Changes(3);
  EXPECT_EQ(Change(bySecond, "诊断费"), "10→25");
  EXPECT_EQ(Change(bySecond, ".单价"), "") << "the price was already 60 when she opened it";
  EXPECT_EQ(Stored("诊断费"), "25");
}

TEST_F(AuditTest, ChecksUnchecksAndTheDeleteFollowTheSaves) {
  SaveNewOrder();
  const int64_t id = order_.GetID();
  ASSERT_TRUE(order_.Check() && order_.UnCheck());
  // A removed line is told with what it held.
  ASSERT_TRUE(order_.FileEdit());
  DeleteRow(LineKind::Items, 1);
  ASSERT_TRUE(order_.FileSave());
  const std::string removed = Change(Changes(4), "维修项目第1行（X01 换机油）");
  EXPECT_NE(removed.find("数量=2"), std::string::npos) << removed;
  EXPECT_TRUE(removed.ends_with("→已删除")) << removed;
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  ASSERT_TRUE(order_.FileDelete());
  EXPECT_EQ(
      host_.Joined(
          "select 操作 from ws_audit where 单据ID=" + std::to_string(id) + " order by 序号", " "),
      "新增 审核 弃审 修改 删除");
  EXPECT_EQ(Count("select count(*) from WSDJ"), 0);
}

// Where the save breaks off: at a line after the header was written, or at the audit row itself.
class AuditFailureTest : public AuditTest, public ::testing::WithParamInterface<const char*> {};

TEST_P(AuditFailureTest, ASaveThatFailsMidwayLeavesNeitherTheChangeNorItsEvent) {
  SaveNewOrder();
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kDiagnosis, "99");
  Cell(LineKind::Items, 1, LineGrid::kPrice, "70");
  const std::string table = GetParam();
  host_.RefuseOn("fail_" + table, table, table == "ws_audit" ? "INSERT" : "UPDATE", "磁盘已满");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_FALSE(host_.Db().InTransaction());
  EXPECT_EQ(Stored("诊断费"), "10");
  EXPECT_EQ(Text("select 单价 from WSDJXM"), "50");
  EXPECT_EQ(Events(), "1/新增/测试员");

  host_.DropRefusal("fail_" + table, table);
  ASSERT_TRUE(order_.FileSave()) << "the same edit saves once the database is back";
  EXPECT_EQ(Change(Changes(2), "诊断费"), "10→99");
}

INSTANTIATE_TEST_SUITE_P(Tables, AuditFailureTest, ::testing::Values("WSDJXM", "ws_audit"));

}  // namespace
}  // namespace ws::repair_order
