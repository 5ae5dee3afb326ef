// What a save, check and delete must never get wrong whatever the input or the other users do:
// every header column reaches its own column, a document changed or removed by someone else is
// refused with nothing written, totals match the saved lines, and a refusal always says why.
// (Two counters saving one number at once are the harness's.)
#include "host/app.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

class IntegrityTest : public RepairOrderTest {
 protected:
  std::string Column(const std::string& column, int64_t id) {
    return host_.RowText("select " + column + " from WSDJ where 单据ID=" + std::to_string(id));
  }
};

TEST_F(IntegrityTest, EveryHeaderColumnIsSavedToItsOwnColumnAndTotalsCountTheSavedLines) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  // The lines first: the fees typed last must bring the total up to date by themselves.
  Line(LineKind::Items, 1, "X01", "2", "50");
  // A labour row with an amount but no item is not a line: it is neither saved nor counted.
  Cell(LineKind::Items, 2, LineGrid::kAmount, "900");
  EXPECT_EQ(F(WS_S::kLabour).Text(), "100");
  Type(WS_S::kOwner, "顺达");
  Type(WS_S::kCategory, "小修");
  Type(WS_S::kPlate, "京A12345");
  Type(WS_S::kOwner, "李四");  // the car's owner replaced the one typed first
  // Distinct values in every field that is no free text (those are the hostile tests'), each
  // checked against its column by name: a column dropped or two columns swapped fail here.
  struct Typed {
    int field;
    const char* column;
    const char* text;
  };
  const std::vector<Typed> typed = {
      {WS_S::kDepartment, "主管部门", "车队"},   {WS_S::kMaker, "车厂", "一汽"},
      {WS_S::kDateIn, "进厂日期", "2012-06-10"}, {WS_S::kDateOut, "出厂日期", "2012-06-12"},
      {WS_S::kReceptionist, "接待人", "小赵"},   {WS_S::kMileage, "公里数", "12345"},
      {WS_S::kDiagnosis, "诊断费", "7"},         {WS_S::kInspection, "检测费", "11"},
  };
  for (const auto& t : typed) Type(t.field, t.text);
  EXPECT_EQ(F(WS_S::kTotal).Text(), "118");
  ASSERT_TRUE(order_.FileSave());
  const int64_t id = order_.GetID();
  WS_S other;
  ASSERT_TRUE(other.Init(host_.System(), kProgram, id));
  ASSERT_TRUE(other.Refresh());
  for (const auto& t : typed) {
    EXPECT_EQ(Column(t.column, id), t.text) << t.column;
    EXPECT_EQ(other.Header(t.field).Text(), t.text) << t.column << " read back";
  }
  EXPECT_EQ(Column("车主ID, 维修分类ID, 维修分类, 车辆ID, 制单人, 制单日期", id),
            "2/1/小修/1/测试员/2012-06-15");
  EXPECT_EQ(Column("维修费用, 配件费用, 应收合计", id) + "/" + std::to_string(Rows("WSDJXM")),
            "100/0/118/1");
  EXPECT_EQ(other.Header(WS_S::kOwner).Text() + other.Header(WS_S::kCategory).Text(), "李四小修");

  // Fees too large to be money are refused, not stored as a total of 0.
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kDiagnosis, "1e308");
  Type(WS_S::kInspection, "1e308");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "诊断费输入有误，请重新输入！");
  EXPECT_EQ(Column("诊断费", id), "7");
  // A line amount of that size never reaches the grid: the cell keeps what it held.
  Type(WS_S::kDiagnosis, "0");
  Cell(LineKind::Parts, 1, LineGrid::kCode, "P01");
  const std::string before = Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount);
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kAmount, "1e300"));
  EXPECT_FALSE(forms::Input::EditCell(Grid(LineKind::Parts), 1, LineGrid::kQuantity, "1e300"));
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount), before);
}

TEST_F(IntegrityTest, OrderOrLineRemovedByAnotherUserIsRefusedWithNothingWritten) {
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

  // Someone else deletes it: no orphan line, no success.
  host_.Exec("delete from WSDJ where 单据ID=5");
  host_.Exec("delete from WSDJXM where 单据ID=5");
  const size_t boxes = Boxes().size();
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().size(), boxes + 1);
  EXPECT_EQ(Boxes().back(), "当前单据已被他人删除，不能保存！");
  EXPECT_EQ(Rows("WSDJXM"), 0);

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

}  // namespace
}  // namespace ws::repair_order
