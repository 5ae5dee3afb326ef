// What a save, check and delete must never get wrong whatever the input or the other users do:
// every header column reaches its own column, a document changed or removed by someone else is
// refused with nothing written, a number is stored once, totals match the saved lines, and a
// refusal always says why.
#include <chrono>
#include <thread>

#include "db/runner.h"
#include "host/app.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

class IntegrityTest : public RepairOrderTest {
 protected:
  int64_t Rows(const std::string& table) { return Count("select count(*) from " + table); }
  std::string Column(const std::string& column, int64_t id) {
    return Text(db::Sql("select ").Raw(column).Raw(" from WSDJ where 单据ID=").Key(id));
  }
};

TEST_F(IntegrityTest, EveryHeaderColumnIsSavedToItsOwnColumnAndReadBack) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  // Distinct values in every field a clerk can type into, each checked against its column by
  // name: a column dropped from a statement or two columns swapped fail here.
  struct Typed {
    int field;
    const char* column;
    const char* text;
  };
  const std::vector<Typed> typed = {
      {WS_S::kNumber, "工单号码", "W-ALL"},
      {WS_S::kDepartment, "主管部门", "车队"},
      {WS_S::kMaker, "车厂", "一汽"},
      {WS_S::kDateIn, "进厂日期", "2012-06-10"},
      {WS_S::kPerson, "送修人", "王五"},
      {WS_S::kTelephone, "司机电话", "13900000000"},
      {WS_S::kDateOut, "出厂日期", "2012-06-12"},
      {WS_S::kReceptionist, "接待人", "小赵"},
      {WS_S::kInvoice, "发票号码", "FP-9"},
      {WS_S::kMileage, "公里数", "12345"},
      {WS_S::kDiagnosis, "诊断费", "7"},
      {WS_S::kInspection, "检测费", "11"},
      {WS_S::kRemarks, "备注", "左前门有划痕"},
  };
  for (const auto& t : typed) Type(t.field, t.text);
  Type(WS_S::kOwner, "李四");
  Type(WS_S::kCategory, "小修");
  Type(WS_S::kPlate, "京A12345");
  Type(WS_S::kOwner, "李四");  // the car's owner replaced the one typed first
  Line(LineKind::Items, 1, "X01", "2", "50");
  ASSERT_TRUE(order_.FileSave());
  const int64_t id = order_.GetID();

  for (const auto& t : typed) {
    std::string stored = Column(t.column, id);
    if (std::string(t.column) == "公里数" || std::string(t.column) == "诊断费" ||
        std::string(t.column) == "检测费") {
      EXPECT_DOUBLE_EQ(db::NumericValue(stored), db::NumericValue(t.text)) << t.column;
    } else {
      EXPECT_EQ(stored, t.text) << t.column;
    }
  }
  EXPECT_EQ(Column("车主ID", id), "2");
  EXPECT_EQ(Column("维修分类ID", id) + "/" + Column("维修分类", id), "1/小修");
  EXPECT_EQ(Column("车辆ID", id), "1");
  EXPECT_EQ(Column("制单人", id) + "/" + Column("制单日期", id), "测试员/2012-06-15");
  EXPECT_DOUBLE_EQ(db::NumericValue(Column("维修费用", id)), 100);
  EXPECT_DOUBLE_EQ(db::NumericValue(Column("应收合计", id)), 118);

  // An edit saves the remark again, and a second control reads back what was typed.
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kRemarks, "已补漆");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Column("备注", id), "已补漆");
  WS_S other;
  ASSERT_TRUE(other.Init(host_.System(), kProgram, id));
  ASSERT_TRUE(other.Refresh());
  for (const auto& t : typed) {
    if (t.field == WS_S::kRemarks) continue;
    EXPECT_EQ(db::NumericValue(other.Header(t.field).Text()) == db::NumericValue(t.text) ||
                  other.Header(t.field).Text() == t.text,
              true)
        << t.column << ": " << other.Header(t.field).Text();
  }
  EXPECT_EQ(other.Header(WS_S::kRemarks).Text(), "已补漆");
  EXPECT_EQ(other.Header(WS_S::kOwner).Text(), "李四");
  EXPECT_EQ(other.Header(WS_S::kCategory).Text(), "小修");
}

TEST_F(IntegrityTest, OrderRemovedOrCheckedByAnotherUserIsRefusedWithNothingWritten) {
  AddOrder(5, "W005", "2012-06-02");
  AddLine(LineKind::Items, 10, 5, 1, 50);
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.RecordTop());
  ASSERT_TRUE(order_.FileEdit());
  Line(LineKind::Items, 2, "X02", "1", "80");

  // Someone else removes a saved line meanwhile: the save does not bring it back.
  host_.Exec("delete from WSDJXM where 单据明细ID=10");
  EXPECT_FALSE(order_.FileSave());
  ASSERT_FALSE(Boxes().empty()) << testing::PrintToString(host_.Sink().ErrMessages());
  EXPECT_EQ(Boxes().back(), host::kRowChangedText);
  EXPECT_EQ(Rows("WSDJXM"), 0);
  AddLine(LineKind::Items, 10, 5, 1, 50);

  // Someone else checks it while it is being edited: the edit must not overwrite it.
  host_.Exec("update WSDJ set smark='02' where 单据ID=5");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "当前单据已审核，不能保存！");
  EXPECT_EQ(Rows("WSDJXM"), 1) << "no line of the refused save";
  EXPECT_TRUE(order_.Editing());

  // Someone else deletes it: no orphan line, no success.
  host_.Exec("delete from WSDJ where 单据ID=5");
  host_.Exec("delete from WSDJXM where 单据ID=5");
  const size_t boxes = Boxes().size();
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().size(), boxes + 1);
  EXPECT_EQ(Rows("WSDJXM"), 0);
  EXPECT_TRUE(host_.Sink().Messages().empty() ||
              host_.Sink().Messages().back() != "保存单据成功！");

  // Check, uncheck and delete of the vanished order answer false and say so.
  EXPECT_FALSE(order_.Check());
  EXPECT_EQ(Boxes().back(), "当前单据已被他人删除，不能审核！");
  EXPECT_FALSE(order_.UnCheck());
  EXPECT_EQ(Boxes().back(), "当前单据已被他人删除，不能弃审！");
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_FALSE(order_.FileDelete());
  EXPECT_EQ(Boxes().back(), "当前单据已被他人删除！");
  EXPECT_FALSE(host_.Db().InTransaction());
}

TEST_F(IntegrityTest, TotalsCountExactlyTheSavedLinesAndOverflowIsRefused) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kNumber, "W-SUM");
  Line(LineKind::Items, 1, "X01", "2", "50");
  // A labour row with an amount but no item is not a line: it is neither saved nor counted.
  Cell(LineKind::Items, 2, LineGrid::kAmount, "900");
  EXPECT_DOUBLE_EQ(db::NumericValue(F(WS_S::kLabour).Text()), 100);
  ASSERT_TRUE(order_.FileSave());
  const int64_t id = order_.GetID();
  EXPECT_DOUBLE_EQ(
      db::NumericValue(Column("维修费用", id)),
      host_.Scalar("select sum(金额) from WSDJXM where 单据ID=" + std::to_string(id)).ToDouble());

  // Fees too large to be money are refused, not stored as a total of 0.
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kDiagnosis, "1e308");
  Type(WS_S::kInspection, "1e308");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "诊断费输入有误，请重新输入！");
  EXPECT_DOUBLE_EQ(db::NumericValue(Column("诊断费", id)), 0);
  // A line amount of that size never reaches the grid: the cell keeps what it held.
  Type(WS_S::kDiagnosis, "0");
  Type(WS_S::kInspection, "0");
  Cell(LineKind::Parts, 1, LineGrid::kCode, "P01");
  ShowTab(LineKind::Parts);
  const std::string before = Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount);
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kAmount, "1e300"));
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kQuantity, "1e300"));
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount), before);
}

TEST_F(IntegrityTest, InvalidNumberFieldRefusesWithItsHint) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kMileage, "十二万");
  EXPECT_FALSE(F(WS_S::kMileage).Valid());
  EXPECT_FALSE(order_.FileSave());
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes().back(), "公里数输入有误，请重新输入！");
  EXPECT_EQ(order_.Form().Focus(), &F(WS_S::kMileage));
  EXPECT_EQ(Rows("WSDJ"), 0);
}

// Two counters, each with its own connection to one database file.
TEST(IntegrityRaceTest, TwoCountersSavingOneNumberStoreItOnce) {
  test::TestHost host(test::TestHost::Storage::File);
  WS_S order;
  order.Events().AttachSink(&host.Sink());
  ASSERT_TRUE(order.Init(host.System(), kProgram, 0));

  // The engine itself refuses a second order with the number of the same program.
  host.Exec("insert into WSDJ (单据ID,progid,工单号码) values (90,200001,'DUP')");
  auto other = host.OpenSecondConnection();
  EXPECT_FALSE(db::Runner(*other)
                   .Execute("insert into WSDJ (单据ID,progid,工单号码) values (91,200001,'DUP')")
                   .empty());

  // New pressed at both counters before either saves: two different numbers.
  ASSERT_TRUE(order.FileNew());
  const std::string first = order.Header(WS_S::kNumber).Text();
  WS_S second;
  ASSERT_TRUE(second.Init(host.System(), kProgram, 0));
  ASSERT_TRUE(second.FileNew());
  EXPECT_NE(second.Header(WS_S::kNumber).Text(), first);

  // The other counter is writing the same number and commits while this save waits for the
  // write lock: the duplicate check must see it.
  ASSERT_TRUE(forms::Input::Type(order.Header(WS_S::kNumber), "W-RACE"));
  other->BeginTrans();
  ASSERT_EQ(db::Runner(*other).Execute(
                "insert into WSDJ (单据ID,progid,工单号码) values (92,200001,'W-RACE')"),
            "");
  std::thread committer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    other->CommitTrans();
  });
  const bool saved = order.FileSave();
  committer.join();
  EXPECT_FALSE(saved);
  EXPECT_EQ(host.Scalar("select count(*) from WSDJ where 工单号码='W-RACE'").ToLong(), 1);
  // The server takes no write lock at BEGIN: there the duplicate check runs before the other
  // counter commits and the unique index refuses the insert with the server's own text.
  if (!host.OnPostgres()) {
    ASSERT_FALSE(host.Dialogs().Boxes().empty());
    EXPECT_EQ(host.Dialogs().Boxes().back().text, "工单号码重复,请检查!");
  }
}

}  // namespace
}  // namespace ws::repair_order
