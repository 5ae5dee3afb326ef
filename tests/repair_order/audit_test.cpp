// The repair order's audit trail: every save, check, uncheck and delete leaves one event with
// who did it and, for a save, each changed value before and after; an event is written with
// its change or not at all.
#include <memory>

#include "db/audit_trail.h"
#include "repair_order_fixture.h"
#include "support/scripted_dialogs.h"

namespace ws::repair_order {
namespace {

class AuditTest : public RepairOrderTest {
 protected:
  // A saved order of one labour line (2 × 50) and a diagnosis fee of 10.
  void SaveNewOrder() {
    ASSERT_TRUE(Start());
    ASSERT_TRUE(order_.FileNew());
    Type(WS_S::kPlate, "京A12345");
    Type(WS_S::kDiagnosis, "10");
    Line(LineKind::Items, 1, "X01", "2", "50");
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
    for (const auto& c : changes) {
      if (c.field.size() >= field.size() &&
          c.field.compare(c.field.size() - field.size(), field.size(), field) == 0) {
        return c.before + "→" + c.after;
      }
    }
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
  ASSERT_TRUE(other.Init(desk, kProgram, order_.GetID()));
  ASSERT_TRUE(other.Refresh());
  ASSERT_TRUE(other.FileEdit());
  ASSERT_TRUE(forms::Input::Type(other.Header(WS_S::kDiagnosis), "25"));
  ASSERT_TRUE(other.FileSave());

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
  ASSERT_TRUE(order_.Check());
  ASSERT_TRUE(order_.UnCheck());
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
