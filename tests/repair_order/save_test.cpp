// Saving repair orders: new and existing, the number rules, the vehicle master, removed lines,
// refusals and failures; what a save, check and delete must never get wrong whatever the input
// or the other users do: every header column reaches its own column, a document changed or
// removed by someone else is refused with nothing written, totals match the saved lines, and a
// refusal always says why. (Two counters saving one number at once are the harness's.)
#include <tuple>

#include "host/app.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

class SaveTest : public RepairOrderTest {
 protected:
  std::string Column(const std::string& column, int64_t id) {
    return host_.RowText("select " + column + " from WSDJ where 单据ID=" + std::to_string(id));
  }
};

TEST_F(SaveTest, NewOrderIsWrittenShownAgainAndRevisedOnEveryResave) {
  host_.Exec(
      "insert into xt_BillAttribute (progID,attribute,text) values (200001,'onsavecode','1')");
  ASSERT_TRUE(Start());
  TypeNewOrder();
  EXPECT_EQ(F(WS_S::kNumber).Text(), "20120615001") << "the host proposes the number";
  ASSERT_TRUE(order_.FileSave());
  EXPECT_FALSE(order_.Editing() || order_.IsDirty());
  const std::string where = " from WSDJ where 单据ID=" + std::to_string(order_.GetID());
  EXPECT_EQ(host_.RowText("select smark, 系统, 出厂日期, 维修费用, 配件费用, 应收合计" + where),
            "01/填单/1900-01-01/100/30/140")
      << "an order without a date out is out on 1900-01-01";
  EXPECT_EQ(host_.RowText("select 项目ID, 数量, 单价, 金额 from WSDJXM"), "1/2/50/100");
  EXPECT_EQ(host_.RowText("select 产品ID, 金额 from WSDJPJ"), "1/30");
  EXPECT_EQ(Rows("clzl"), 1) << "the known car is updated, not added";
  // Shown again from the database: the lines carry their ids now.
  const std::string lineId = Text("select 单据明细ID from WSDJXM");
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId), lineId);
  EXPECT_TRUE(F(WS_S::kNumber).Locked());

  // Re-saves under the rule "onsavecode" 1 revise the number; lines are updated in place.
  ASSERT_TRUE(order_.FileEdit());
  Cell(LineKind::Items, 1, LineGrid::kPrice, "60");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Text("select 工单号码" + where), "20120615001-1");
  EXPECT_EQ(host_.RowText("select 单据明细ID, 金额 from WSDJXM"), lineId + "/120");
  const std::pair<const char*, const char*> revisions[] = {
      {nullptr, "20120615001-2"}, {"A-B-9", "A-B-10"}, {" ", "-1"}};
  for (const auto& [typed, saved] : revisions) {
    ASSERT_TRUE(order_.FileEdit());
    if (typed) Type(WS_S::kNumber, typed);
    ASSERT_TRUE(order_.FileSave()) << saved;
    EXPECT_EQ(Text("select 工单号码" + where), saved) << "the part after the last dash counts";
  }
  // Any other rule saves the number as typed, and refuses an empty one.
  host_.Exec("update xt_BillAttribute set text='2'");
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kNumber, "A-7");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "A-7");
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kNumber, " ");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "工单号码为空，不能保存  ");
  EXPECT_EQ(Rows("WSDJ") * 10 + Rows("WSDJXM"), 11);
}

// Lines whose sum a double makes 30766435747.510002 are summed, stored and read back to the
// cent on either engine; an amount beyond 99,999,999,999.9999 is refused by the save.
TEST_F(SaveTest, AmountsAndTheirSumsAreStoredAndReadBackExactly) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Type(WS_S::kDiagnosis, "0");
  Line(LineKind::Items, 1, "X01", "1", "27141396270.73");
  Line(LineKind::Items, 2, "X02", "2", "943554753.985");
  Line(LineKind::Parts, 1, "P01", "0.5", "3475859937.62");
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(2, LineGrid::kAmount), "1887109507.97");
  EXPECT_EQ(F(WS_S::kLabour).Text(), "29028505778.7");
  EXPECT_EQ(F(WS_S::kTotal).Text(), "30766435747.51");
  ASSERT_TRUE(order_.FileSave());
  const std::string where = " from WSDJ where 单据ID=" + std::to_string(order_.GetID());
  const auto exact = [&](const std::string& sql) {
    return db::Amount::OfValue(host_.Scalar(sql)).Text();
  };
  EXPECT_EQ(exact("select 应收合计" + where), "30766435747.51");
  EXPECT_EQ(
      exact("select sum(金额) from WSDJXM") + " " + exact("select 单价 from WSDJXM where 数量=2"),
      "29028505778.7 943554753.985");
  EXPECT_EQ(exact("select 维修费用+配件费用" + where), "30766435747.51");
  ASSERT_TRUE(order_.Refresh());
  EXPECT_EQ(F(WS_S::kTotal).Text() + " " + Grid(LineKind::Parts).TextMatrix(1, LineGrid::kAmount),
            "30766435747.51 1737929968.81");

  ASSERT_TRUE(order_.FileEdit());
  Line(LineKind::Items, 3, "X01", "1", "70971494221.3");  // the labour total passes the limit
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "维修费用超出允许范围，不能保存！");
  Cell(LineKind::Items, 3, LineGrid::kPrice, "70971494221.29");
  Type(WS_S::kDiagnosis, "100000000000");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "诊断费超出允许范围，不能保存！");
  EXPECT_EQ(exact("select 应收合计" + where), "30766435747.51");
}

// A quantity is taken as typed and an amount is what the till takes: each product exactly,
// then rounded half up to the two amount decimals of the default shop, shown with them; a fee
// typed with more decimals is taken to the fen. The remark is saved with the order.
TEST_F(SaveTest, QuantitiesAsTypedAmountsToTheFenAndTheRemarkAreSaved) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Type(WS_S::kDiagnosis, "0.005");  // half a fen of a fee is a fen
  EXPECT_EQ(F(WS_S::kDiagnosis).Text(), "0.01");
  Line(LineKind::Items, 1, "X01", "1.00005", "10000");  // 10000.5, not 1.0001 × 10000
  Line(LineKind::Items, 2, "X02", "0.33333", "300");    // 99.999: 100.00
  Line(LineKind::Parts, 1, "P01", "0.00004", "7");      // 0.00028: 0.00
  const forms::Grid& items = Grid(LineKind::Items);
  const forms::Grid& parts = Grid(LineKind::Parts);
  EXPECT_EQ(parts.TextMatrix(1, LineGrid::kAmount), "0");
  Cell(LineKind::Parts, 1, LineGrid::kAmount, "3");  // 3 ÷ 0.00004: a quantity, not nothing
  auto shown = [](const forms::Grid& grid, int row) {
    std::string out;
    for (int col : {LineGrid::kQuantity, LineGrid::kPrice, LineGrid::kAmount}) {
      out += (out.empty() ? "" : "/") + grid.DisplayText(row, col);
    }
    return out;
  };
  EXPECT_EQ(shown(items, 1) + " " + shown(items, 2) + " " + shown(parts, 1),
            "1.00/10000.00/10000.50 0.33/300.00/100.00 0.00/75000.00/3.00");
  // 10000.5 + 100 of labour, 3 of parts, 0.01 of diagnosis.
  EXPECT_EQ(F(WS_S::kLabour).Text() + " " + F(WS_S::kParts).Text() + " " + F(WS_S::kTotal).Text(),
            "10100.5 3 10103.51");
  Type(WS_S::kRemarks, "左前门有划痕");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(host_.Joined("select 数量, 单价, 金额 from WSDJXM order by 单据明细ID", " ") + " " +
                host_.Joined("select 数量, 单价, 金额 from WSDJPJ"),
            "1.00005/10000/10000.5 0.33333/300/100 0.00004/75000/3");
  EXPECT_EQ(Column("备注, 诊断费, 应收合计", order_.GetID()), "左前门有划痕/0.01/10103.51");
}

TEST_F(SaveTest, RefusalsLeaveTheTypedOrderInPlace) {
  AddOrder(50, "W100", "2012-06-01");
  AddOrder(51, "W200", "2012-06-02");
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Type(WS_S::kNumber, "W100");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"工单号码重复,请检查!"});
  EXPECT_EQ(order_.Form().Focus(), &F(WS_S::kNumber));
  EXPECT_TRUE(order_.Editing());
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 1);

  // An owner that names nobody: the field refuses, and the save says which field and where.
  Type(WS_S::kNumber, "W300");
  Type(WS_S::kOwner, "没有这个客户");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "车主输入有误，请重新输入！");
  EXPECT_EQ(order_.Form().Focus(), &F(WS_S::kOwner));
  EXPECT_EQ(Rows("WSDJ") * 10 + Rows("WSDJXM"), 20);
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());

  // Two News in a row, then Cancel: back on the order shown before the first New.
  ASSERT_TRUE(order_.FileCancel() && order_.RecordBottom() && order_.FileNew() && order_.FileNew());
  ASSERT_TRUE(order_.FileCancel());
  ASSERT_EQ(order_.GetID(), 51);
  // An existing order taking another order's number: its own title.
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kNumber, "W100");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "工单号码重复,请检查!");
  Type(WS_S::kNumber, "W200");
  EXPECT_TRUE(order_.FileSave()) << "its own number is no duplicate";
}

TEST_F(SaveTest, VehicleMasterFollowsThePlateTypedOnTheOrder) {
  ASSERT_TRUE(Start());
  // A known plate: the car's data and owner are updated from the order.
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kPlate, "京A12345");
  Type(WS_S::kEngine, "E999 ");
  Type(WS_S::kOwner, "李四");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Rows("clzl"), 1);
  EXPECT_EQ(host_.RowText("select 发动机号, 车主ID, 车型 from clzl"), "E999/2/桑塔纳");

  // Saved again, the car is written only when a value of it differs (a Null stored differs from
  // the empty text typed), so the lists filtered on vehicles keep their counts.
  // The car's row version and its change blocks' versions.
  const auto versions = [&] {
    return std::pair{Count("select ws_rowver from clzl"),
                     Count("select COALESCE(SUM(version), 0) from ws_change_block where "
                           "table_name='clzl'")};
  };
  // Written to the car first (or nothing), the engine typed, whether the car is written.
  const std::tuple<const char*, const char*, bool> resaves[] = {
      {nullptr, "E999", false},
      {nullptr, "E1000", true},
      {"UPDATE clzl SET 车架号=NULL", "E1000", true},
      {nullptr, "E1000", false}};
  for (const auto& [before, engine, written] : resaves) {
    if (before) host_.Exec(before);
    const auto [version, blocks] = versions();
    ASSERT_TRUE(order_.FileEdit());
    Type(WS_S::kEngine, engine);
    ASSERT_TRUE(order_.FileSave());
    EXPECT_EQ(versions().first > version, written) << engine;
    EXPECT_EQ(versions().second > blocks, written) << engine;
  }
  EXPECT_EQ(host_.RowText("select 发动机号, 车架号 is null from clzl"), "E1000/0");

  // A first-time car is created with its id as vehicle number, quotes and all.
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kPlate, "沪B'0001");
  Type(WS_S::kEngine, "E-'1");
  Type(WS_S::kModel, "帕萨特");
  Type(WS_S::kNumber, "W'1");
  ASSERT_TRUE(order_.FileSave());
  const int64_t vehicleId = Count("select 车辆ID from clzl where 车牌号='沪B''0001'");
  ASSERT_GT(vehicleId, 1);
  EXPECT_EQ(host_.RowText("select 车辆编号, 发动机号, 车型, 车主ID from clzl where 车辆ID=" +
                          std::to_string(vehicleId)),
            std::to_string(vehicleId) + "/E-'1/帕萨特/0");
  EXPECT_EQ(Count("select 车辆ID from WSDJ where 工单号码='W''1'"), vehicleId);
  EXPECT_EQ(F(WS_S::kPlate).KeyLong(), vehicleId);

  // No plate: the vehicle master is left alone.
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kNumber, "W-NOPLATE");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Rows("clzl"), 2);
  EXPECT_EQ(Count("select 车辆ID from WSDJ where 工单号码='W-NOPLATE'"), 0);
}

TEST_F(SaveTest, FailuresRollBackEverythingAndRemovedLinesGoWithTheNextSave) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Line(LineKind::Items, 2, "X02", "1", "300");
  Type(WS_S::kPlate, "川C00001");  // a first-time car: the vehicle insert comes first
  Type(WS_S::kNumber, "W-FAIL");
  host_.RefuseOn("fail_parts", "WSDJPJ", "INSERT", "配件表已锁定");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Rows("WSDJ") + Rows("WSDJXM"), 0);
  EXPECT_EQ(Rows("clzl"), 1) << "the new car went with the rest";
  EXPECT_EQ(F(WS_S::kPlate).Text() + F(WS_S::kPlate).Key(), "川C000010");
  host_.DropRefusal("fail_parts", "WSDJPJ");

  // The vehicle statement failing is shown in a box, nothing written.
  host_.RefuseOn("fail_car", "clzl", "INSERT", "车辆档案已满");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "车辆档案已满");
  EXPECT_EQ(Rows("WSDJ"), 0);
  host_.DropRefusal("fail_car", "clzl");
  ASSERT_TRUE(order_.FileSave()) << "the same input saves once the database is back";

  // Removing a saved line, then cancelling: the order comes back whole.
  ASSERT_TRUE(order_.FileEdit());
  DeleteRow(LineKind::Items, 1);
  EXPECT_EQ(F(WS_S::kLabour).Text(), "300");
  ASSERT_TRUE(order_.FileCancel());
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 2);
  EXPECT_TRUE(order_.Lines(LineKind::Items).Removed().empty());

  // Saved but not read back (the list's join breaks): the lines count as saved all the same,
  // so the next save updates them instead of adding them again.
  ASSERT_TRUE(order_.FileEdit());
  Line(LineKind::Items, 2, "X01", "2", "50");
  host_.Exec("drop table pdmwldw");
  host_.Sink().Clear();
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(host_.Sink().ErrMessages().size(), 1u) << "the order could not be shown again";
  ASSERT_TRUE(order_.FileEdit());
  Cell(LineKind::Items, 2, LineGrid::kPrice, "60");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Rows("WSDJXM"), 2) << "the saved line is updated, not added";
  EXPECT_EQ(Count("select max(金额) from WSDJXM where 项目ID=1"), 120);
}

TEST_F(SaveTest, RequestedOrderListBecomesTheNewOrderAndAKeptOrderIsACopy) {
  AddOrder(5, "W005", "2001-03-04");  // outside any list window
  AddOrder(8, "W008", "2012-06-01");
  ASSERT_TRUE(Start(5) && order_.Refresh());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W005") << "the requested order whatever its date";
  ASSERT_TRUE(order_.RecordNext());
  EXPECT_EQ(order_.GetID(), 5) << "the list holds the requested order only";
  TypeNewOrder();
  ASSERT_TRUE(order_.FileSave());
  const int64_t first = order_.GetID();
  ASSERT_TRUE(order_.Refresh());
  EXPECT_EQ(order_.GetID(), first);
  ASSERT_TRUE(order_.Check() && order_.DoSetStatus("审核", true));
  const std::string firstLines = host_.Joined("select 单据明细ID from WSDJXM");

  ASSERT_TRUE(forms::Input::Click(order_.Form().Get<forms::Widget>(WS_S::kKeepValues)));
  ASSERT_TRUE(order_.FileNew());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "20120615002") << "a new number all the same";
  EXPECT_EQ(F(WS_S::kPlate).Text() + F(WS_S::kCheckedBy).Text(), "京A12345");
  EXPECT_FALSE(order_.CheckStatus(""));
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId), "");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_NE(order_.GetID(), first);
  EXPECT_EQ(Rows("WSDJXM"), 2) << "the copy's lines are its own";
  EXPECT_EQ(host_.Joined("select 单据明细ID from WSDJXM where 单据ID=" + std::to_string(first)),
            firstLines);
  EXPECT_EQ(Text("select smark from WSDJ where 单据ID=" + std::to_string(order_.GetID())), "01");
}

TEST_F(SaveTest, ATypedChassisNumberThatFailsIsWarnedAboutAndStillSaved) {
  ASSERT_TRUE(Start());
  // The car's stored chassis number (J100) is no VIN, but it was not typed: the vehicle list
  // reports it, the counter is not asked.
  TypeNewOrder();
  Type(WS_S::kChassis, "l1111111111111111");  // a Chinese VIN whose check digit is 6
  EXPECT_EQ(F(WS_S::kChassis).Text(), "L1111111111111111");
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find("第9位校验位应为“6”，现为“1”"), std::string::npos) << Boxes()[0];
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Text("select 车架号 from clzl where 车辆ID=1"), "L1111111111111111");
  // Saved, shown again or taken from the car on a new order, it is the stored number.
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kEngine, "E2");
  ASSERT_TRUE(order_.FileSave());
  TypeNewOrder();
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Rows("WSDJ"), 2);
}

TEST_F(SaveTest, EveryHeaderColumnIsSavedToItsOwnColumnAndTotalsCountTheSavedLines) {
  ASSERT_TRUE(Start() && order_.FileNew());
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
  ASSERT_TRUE(other.Init(host_.System(), kProgram, id) && other.Refresh());
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

TEST_F(SaveTest, OrderOrLineRemovedByAnotherUserIsRefusedWithNothingWritten) {
  AddOrder(5, "W005", "2012-06-02");
  AddLine(LineKind::Items, 10, 5, 1, 50);
  ASSERT_TRUE(Start() && order_.RecordTop() && order_.FileEdit());
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
  EXPECT_EQ(Boxes().back(), "当前单据已被他人删除、审核或已有后续单据，不能删除！");
  EXPECT_FALSE(host_.Db().InTransaction());
}

// The list's counts are kept under its statement: the saved order, shown in the list another
// tab of the desk opened and counted, takes them up; no statement of the save counts the whole
// list again (the grouped count of every block).
TEST_F(SaveTest, TheSavedOrderIsShownWithTheListsOwnCounts) {
  for (int64_t id = 1; id <= 3; ++id) {
    AddOrder(id, "N" + std::to_string(id), "2012-06-0" + std::to_string(id));
  }
  {
    WS_S list;
    ASSERT_TRUE(list.Init(host_.System(), kProgram, 0) && list.Refresh());
  }
  ASSERT_TRUE(Start());
  TypeNewOrder();
  host_.Db().ClearLog();
  host_.Db().EnableLog(true);
  ASSERT_TRUE(order_.FileSave());
  host_.Db().EnableLog(false);
  std::vector<std::string> wholeCounts;
  for (const std::string& sql : host_.Db().Log()) {
    if (sql.find("GROUP BY") != std::string::npos) wholeCounts.push_back(sql);
  }
  EXPECT_TRUE(wholeCounts.empty()) << testing::PrintToString(wholeCounts);
  EXPECT_EQ(order_.Form().Get<forms::Label>(WS_S::kRecordLabel).Caption(), "记录：4/4");
}

}  // namespace
}  // namespace ws::repair_order
