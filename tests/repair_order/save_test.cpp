// Saving repair orders: new and existing, the number rules, the vehicle master, removed lines,
// refusals and failures, and the statements in both dialects.
#include "host/app.h"
#include "repair_order_fixture.h"

namespace ws::repair_order {
namespace {

class SaveTest : public RepairOrderTest {
 protected:
  // A new order for the known car with one labour line (2 × 50) and one part (1 × 30).
  void TypeNewOrder() {
    ASSERT_TRUE(order_.FileNew());
    Type(WS_S::kPlate, "京A12345");
    Type(WS_S::kDiagnosis, "10");
    Line(LineKind::Items, 1, "X01", "2", "50");
    Line(LineKind::Parts, 1, "P01", "1", "30");
  }
  int64_t Rows(const std::string& table) { return Count("select count(*) from " + table); }
};

TEST_F(SaveTest, NewOrderIsWrittenShownAgainAndRevisedOnEveryResave) {
  host_.Exec(
      "insert into xt_BillAttribute (progID,attribute,text) values (200001,'onsavecode','1')");
  ASSERT_TRUE(Start());
  TypeNewOrder();
  EXPECT_EQ(F(WS_S::kNumber).Text(), "20120615001") << "the host proposes the number";
  EXPECT_EQ(F(WS_S::kDateIn).Text(), "2012-06-15");
  EXPECT_EQ(F(WS_S::kEnteredBy).Text(), test::kTestUser);

  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(host_.Sink().Messages().back(), "保存单据成功！");
  EXPECT_FALSE(order_.Editing());
  EXPECT_FALSE(order_.IsDirty());
  const int64_t id = order_.GetID();
  ASSERT_GT(id, 0);
  const std::string where = " from WSDJ where 单据ID=" + std::to_string(id);
  EXPECT_EQ(Text("select smark || 系统 || 工单号码" + where), "01填单20120615001");
  EXPECT_EQ(Text("select 出厂日期" + where), "1900-01-01") << "no date out";
  EXPECT_EQ(Text("select 进厂日期 || '/' || 制单日期 || '/' || 制单人" + where),
            "2012-06-15/2012-06-15/测试员");
  EXPECT_EQ(Count("select 车辆ID" + where), 1);
  EXPECT_EQ(Count("select 车主ID" + where), 1);
  EXPECT_EQ(host_.RowText("select 维修费用, 配件费用, 诊断费, 应收合计" + where), "100/30/10/140");
  EXPECT_EQ(Rows("WSDJXM"), 1);
  EXPECT_EQ(host_.RowText("select 项目ID, 数量, 单价, 金额 from WSDJXM"), "1/2/50/100");
  EXPECT_EQ(host_.RowText("select 产品ID, 金额 from WSDJPJ where 单据ID=" + std::to_string(id)),
            "1/30");
  EXPECT_EQ(Rows("clzl"), 1) << "the known car is updated, not added";
  // Shown again from the database: the lines carry their ids now.
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId),
            Text("select 单据明细ID from WSDJXM"));
  EXPECT_TRUE(F(WS_S::kNumber).Locked());

  // Re-saves under the rule "onsavecode" 1 revise the number; lines are updated in place.
  const std::string lineId = Text("select 单据明细ID from WSDJXM");
  ASSERT_TRUE(order_.FileEdit());
  Cell(LineKind::Items, 1, LineGrid::kPrice, "60");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Text("select 工单号码" + where), "20120615001-1");
  EXPECT_EQ(host_.RowText("select 单据明细ID, 金额 from WSDJXM"), lineId + "/120");
  EXPECT_EQ(Rows("WSDJXM"), 1);
  ASSERT_TRUE(order_.FileEdit());
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "20120615001-2");
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kNumber, "A-B-9");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "A-B-10") << "the part after the last dash counts";

  host_.Exec("update xt_BillAttribute set text='2'");
  ASSERT_TRUE(order_.FileEdit());
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "A-B-10") << "any other rule saves the number as typed";

  // An emptied number: refused under any other rule, a revision like any other under 1.
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kNumber, " ");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Boxes().back(), "工单号码为空，不能保存  ");
  host_.Exec("update xt_BillAttribute set text='1'");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Text("select 工单号码" + where), "-1");
  EXPECT_EQ(Rows("WSDJ"), 1);
}

TEST_F(SaveTest, RefusalsLeaveTheTypedOrderInPlace) {
  AddOrder(50, "W100", "2012-06-01");
  AddOrder(51, "W200", "2012-06-02");
  ASSERT_TRUE(Start());

  // A new order with a number that exists.
  TypeNewOrder();
  Type(WS_S::kNumber, "W100");
  EXPECT_FALSE(order_.FileSave());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].text, "工单号码重复,请检查!");
  EXPECT_EQ(host_.Dialogs().Boxes()[0].title, host::kAppTitle);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].icon, host::MsgIcon::Information);
  EXPECT_EQ(order_.Form().Focus(), &F(WS_S::kNumber));
  EXPECT_TRUE(order_.Editing());
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 1);

  // An empty number.
  Type(WS_S::kNumber, "  ");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(host_.Dialogs().Boxes().back().text, "工单号码为空，不能保存  ");

  // An owner that names nobody: the field refuses, and the save says which field and where.
  Type(WS_S::kNumber, "W300");
  Type(WS_S::kOwner, "没有这个客户");
  EXPECT_FALSE(order_.FileSave());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 3u);
  EXPECT_EQ(host_.Dialogs().Boxes().back().text, "车主输入有误，请重新输入！");
  EXPECT_EQ(order_.Form().Focus(), &F(WS_S::kOwner));
  EXPECT_EQ(Rows("WSDJ"), 2);
  EXPECT_EQ(Rows("WSDJXM"), 0);
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());

  // An existing order taking another order's number: its own title.
  ASSERT_TRUE(order_.FileCancel());
  ASSERT_TRUE(order_.RecordBottom());
  ASSERT_EQ(order_.GetID(), 51);
  // Two News in a row, then Cancel: back on the order shown before the first New.
  ASSERT_TRUE(order_.FileNew());
  ASSERT_TRUE(order_.FileNew());
  ASSERT_TRUE(order_.FileCancel());
  ASSERT_EQ(order_.GetID(), 51);
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kNumber, "W100");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(host_.Dialogs().Boxes().back().text, "工单号码重复,请检查!");
  EXPECT_EQ(host_.Dialogs().Boxes().back().title, "提示：");
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
  EXPECT_EQ(Text("select 发动机号 || '/' || 车主ID || '/' || 车型 from clzl"), "E999/2/桑塔纳");

  // A first-time car is created with its id as vehicle number, quotes and all.
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kPlate, "沪B'0001");
  Type(WS_S::kEngine, "E-'1");
  Type(WS_S::kModel, "帕萨特");
  Type(WS_S::kNumber, "W'1");
  ASSERT_TRUE(order_.FileSave());
  const int64_t vehicleId = Count("select 车辆ID from clzl where 车牌号='沪B''0001'");
  ASSERT_GT(vehicleId, 1);
  EXPECT_EQ(Text("select 车辆编号 || '/' || 发动机号 || '/' || 车型 || '/' || 车主ID from clzl "
                 "where 车辆ID=" +
                 std::to_string(vehicleId)),
            std::to_string(vehicleId) + "/E-'1/帕萨特/0");
  EXPECT_EQ(Count("select 车辆ID from WSDJ where 工单号码='W''1'"), vehicleId);
  EXPECT_EQ(F(WS_S::kPlate).KeyLong(), vehicleId);
  EXPECT_EQ(F(WS_S::kPlate).Text(), "沪B'0001");

  // No plate: the vehicle master is left alone.
  host_.Db().ClearLog();
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kNumber, "W-NOPLATE");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_TRUE(Logged("clzl").empty()) << "only the list's join names the vehicle table";
  EXPECT_EQ(Count("select 车辆ID from WSDJ where 工单号码='W-NOPLATE'"), 0);
  EXPECT_EQ(Rows("clzl"), 2);
}

TEST_F(SaveTest, RemovedLinesAreDeletedOnSaveAndForgottenOnCancel) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Line(LineKind::Items, 2, "X02", "1", "300");
  ASSERT_TRUE(order_.FileSave());
  ASSERT_EQ(Rows("WSDJXM"), 2);
  const std::string keptId = Grid(LineKind::Items).TextMatrix(2, LineGrid::kLineId);
  const std::string removedId = Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId);

  // Removing a saved line, then cancelling: the order comes back whole.
  ASSERT_TRUE(order_.FileEdit());
  ShowTab(LineKind::Items);
  ASSERT_TRUE(forms::Input::DeleteRow(Grid(LineKind::Items), 1));
  EXPECT_EQ(F(WS_S::kLabour).Text(), "300");
  ASSERT_EQ(order_.Lines(LineKind::Items).Removed().size(), 1u);
  ASSERT_TRUE(order_.FileCancel());
  EXPECT_EQ(Grid(LineKind::Items).DataRows(), 2);
  EXPECT_TRUE(order_.Lines(LineKind::Items).Removed().empty());
  EXPECT_EQ(F(WS_S::kLabour).Text(), "400");

  // Removing it and saving deletes exactly that line; an unsaved row leaves no trace.
  ASSERT_TRUE(order_.FileEdit());
  ShowTab(LineKind::Items);
  ASSERT_TRUE(forms::Input::DeleteRow(Grid(LineKind::Items), 1));
  Line(LineKind::Items, 2, "X01", "1", "1");
  ASSERT_TRUE(forms::Input::DeleteRow(Grid(LineKind::Items), 2));
  Cell(LineKind::Items, 2, LineGrid::kRemark, "a row without an item");
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(2, LineGrid::kRowNumber), "");
  host_.Db().ClearLog();
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Logged("DELETE FROM WSDJXM"),
            std::vector<std::string>{"DELETE FROM WSDJXM WHERE 单据明细ID IN (" + removedId +
                                     ") AND 单据ID=" + std::to_string(order_.GetID())});
  EXPECT_EQ(host_.Joined("select 单据明细ID from WSDJXM order by 单据明细ID"), keptId)
      << "the row without an item name is not saved";
  EXPECT_EQ(Count("select 维修费用 from WSDJ"), 300);
}

TEST_F(SaveTest, DatabaseFailureRollsBackEverythingAndKeepsTheInput) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Type(WS_S::kPlate, "川C00001");  // a first-time car: the vehicle insert comes first
  Type(WS_S::kNumber, "W-FAIL");
  host_.RefuseOn("fail_parts", "WSDJPJ", "INSERT", "配件表已锁定");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_TRUE(host_.Sink().HasErrMessage("配件表已锁定"));
  EXPECT_EQ(Rows("WSDJ"), 0);
  EXPECT_EQ(Rows("WSDJXM"), 0);
  EXPECT_EQ(Rows("clzl"), 1) << "the new car went with the rest";
  EXPECT_TRUE(order_.Editing());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W-FAIL");
  EXPECT_EQ(F(WS_S::kPlate).Text(), "川C00001");
  EXPECT_EQ(F(WS_S::kPlate).KeyLong(), 0);
  EXPECT_EQ(Grid(LineKind::Parts).TextMatrix(1, LineGrid::kCode), "P01");
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId), "");
  EXPECT_EQ(order_.GetID(), 0);

  host_.DropRefusal("fail_parts", "WSDJPJ");
  ASSERT_TRUE(order_.FileSave()) << "the same input saves once the database is back";
  EXPECT_EQ(Rows("WSDJPJ"), 1);

  // An existing order: a removed line survives a failed save and goes with the next one.
  ASSERT_TRUE(order_.FileEdit());
  ShowTab(LineKind::Items);
  ASSERT_TRUE(forms::Input::DeleteRow(Grid(LineKind::Items), 1));
  host_.RefuseOn("fail_head", "WSDJ", "UPDATE", "单据被锁定");
  EXPECT_FALSE(order_.FileSave());
  EXPECT_EQ(Rows("WSDJXM"), 1) << "the line delete was rolled back";
  host_.DropRefusal("fail_head", "WSDJ");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Rows("WSDJXM"), 0);
}

TEST_F(SaveTest, SavedOrderThatCannotBeReadBackIsNotWrittenTwice) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.FileNew());
  Line(LineKind::Items, 1, "X01", "2", "50");
  Line(LineKind::Parts, 1, "P01", "1", "30");
  host_.Exec("drop table pdmwldw");  // breaks the list's join, not the order's own tables
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(host_.Sink().ErrMessages().size(), 1u) << "the order could not be shown again";
  ASSERT_EQ(Rows("WSDJXM"), 1);
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId),
            Text("select 单据明细ID from WSDJXM"));

  ASSERT_TRUE(order_.FileEdit());
  Cell(LineKind::Items, 1, LineGrid::kPrice, "60");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_EQ(Rows("WSDJ"), 1);
  EXPECT_EQ(Rows("WSDJXM"), 1) << "the saved line is updated, not added again";
  EXPECT_EQ(Rows("WSDJPJ"), 1);
  EXPECT_EQ(Count("select 金额 from WSDJXM"), 120);
}

TEST_F(SaveTest, VehicleFailureIsShownInABoxAndNothingIsWritten) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  Type(WS_S::kPlate, "新车001");
  host_.RefuseOn("fail_car", "clzl", "INSERT", "车辆档案已满");
  EXPECT_FALSE(order_.FileSave());
  ASSERT_FALSE(host_.Dialogs().Boxes().empty());
  EXPECT_EQ(host_.Dialogs().Boxes().back().text, "车辆档案已满");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
  EXPECT_EQ(Rows("WSDJ"), 0);
  EXPECT_EQ(Rows("WSDJXM"), 0);
  EXPECT_FALSE(host_.Db().InTransaction()) << "rolled back before stopping";
  EXPECT_TRUE(order_.Editing());
}

TEST_F(SaveTest, StatementsInBothDialects) {
  AddOrder(5, "W005", "2012-06-02");
  AddLine(LineKind::Items, 10, 5, 1, 50);
  host_.Exec("update WSDJ set 制单人='张', 制单日期='2012-06-01' where 单据ID=5");
  ASSERT_TRUE(Start());
  ASSERT_TRUE(order_.RecordTop());
  ASSERT_TRUE(order_.FileEdit());
  Type(WS_S::kMileage, "1200.5");

  host_.Db().SetSetting("driver", "jet");
  host_.Db().ClearLog();
  ASSERT_TRUE(order_.FileSave());
  // Dates travel as bound values; the log writes every bound value back as stored text.
  EXPECT_EQ(Logged("UPDATE WSDJ SET"),
            std::vector<std::string>{
                "UPDATE WSDJ SET 制单人='张', 制单日期='2012-06-01', 工单号码='W005', 车主ID=1,"
                " 主管部门='', 车厂='', 进厂日期='2012-06-02', 车辆ID=1, 送修人='', 司机电话='',"
                " 维修分类='', 维修分类ID=0, 出厂日期='1900-01-01', 接待人='', 发票号码='',"
                " 公里数=1200.5, 维修费用=50, 配件费用=0, 诊断费=0, 检测费=0, 应收合计=50, 备注=''"
                " WHERE 单据ID=5 AND smark='01' AND ws_rowver=1"});
  EXPECT_EQ(Logged("UPDATE WSDJXM"),
            std::vector<std::string>{"UPDATE WSDJXM SET 项目ID=1, 数量=1, 单价=50, 金额=50, 说明=''"
                                     " WHERE 单据明细ID=10 AND 单据ID=5"});
  EXPECT_EQ(Logged(" UPDATE clzl"),
            std::vector<std::string>{" UPDATE clzl   SET 发动机号='E100',       车架号='J100',"
                                     "       车型='桑塔纳',       车主ID=1  WHERE 车辆ID=1"});
  EXPECT_EQ(Text("select 出厂日期 from WSDJ where 单据ID=5"), "1900-01-01");

  host_.Db().SetSetting("driver", "sqlite");
  host_.Db().ClearLog();
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kNumber, "W006");
  Type(WS_S::kDateOut, "2012-06-20");
  Line(LineKind::Parts, 1, "P02", "2", "5");
  ASSERT_TRUE(order_.FileSave());
  const std::string id = std::to_string(order_.GetID());
  EXPECT_EQ(Logged("INSERT INTO WSDJ ("),
            std::vector<std::string>{
                "INSERT INTO WSDJ (单据ID,progid,smark,系统,制单人,制单日期,工单号码,车主ID,"
                "主管部门,车厂,进厂日期,车辆ID,送修人,司机电话,维修分类,维修分类ID,出厂日期,"
                "接待人,发票号码,公里数,维修费用,配件费用,诊断费,检测费,应收合计,备注) VALUES (" +
                id +
                ",200001,'01','填单','测试员','2012-06-15','W006',0,'','','2012-06-15',0,'',"
                "'','',0,'2012-06-20','','',0,0,10,0,0,10,'')"});
  const std::string lineId = Text("select 单据明细ID from WSDJPJ");
  EXPECT_EQ(Logged("INSERT INTO WSDJPJ"),
            std::vector<std::string>{"INSERT INTO WSDJPJ (单据明细ID,单据ID,产品ID,数量,单价,金额,"
                                     "说明) VALUES (" +
                                     lineId + "," + id + ",2,2,5,10,'')"});
  EXPECT_EQ(
      Logged(" select  * from  wsdj"),
      std::vector<std::string>{" select  * from  wsdj where  工单号码 ='W006' and progid =200001"});
}

TEST_F(SaveTest, KeptOrderIsACopyThatLeavesTheOriginalAlone) {
  ASSERT_TRUE(Start());
  TypeNewOrder();
  ASSERT_TRUE(order_.FileSave());
  ASSERT_TRUE(order_.Check());
  ASSERT_TRUE(order_.DoSetStatus("审核", true));
  const int64_t first = order_.GetID();
  const std::string firstLines = host_.Joined("select 单据明细ID from WSDJXM order by 单据明细ID");

  ASSERT_TRUE(forms::Input::Click(order_.Form().Get<forms::Widget>(WS_S::kKeepValues)));
  ASSERT_TRUE(order_.FileNew());
  EXPECT_EQ(F(WS_S::kNumber).Text(), "20120615002") << "a new number all the same";
  EXPECT_EQ(F(WS_S::kPlate).Text(), "京A12345");
  EXPECT_EQ(F(WS_S::kCheckedBy).Text(), "");
  EXPECT_FALSE(order_.CheckStatus(""));
  ASSERT_EQ(Grid(LineKind::Items).DataRows(), 1);
  EXPECT_EQ(Grid(LineKind::Items).TextMatrix(1, LineGrid::kLineId), "");
  ASSERT_TRUE(order_.FileSave());
  EXPECT_NE(order_.GetID(), first);
  EXPECT_EQ(Rows("WSDJXM"), 2) << "the copy's lines are its own";
  EXPECT_EQ(host_.Joined("select 单据明细ID from WSDJXM where 单据ID=" + std::to_string(first) +
                         " order by 单据明细ID"),
            firstLines);
  EXPECT_EQ(Text("select smark from WSDJ where 单据ID=" + std::to_string(order_.GetID())), "01");
}

TEST_F(SaveTest, NewOrderSavedFromARequestedOrderBecomesTheList) {
  AddOrder(5, "W005", "2012-06-02");
  ASSERT_TRUE(Start(5));
  ASSERT_TRUE(order_.Refresh());
  ASSERT_TRUE(order_.FileNew());
  Type(WS_S::kNumber, "W-NEW");
  ASSERT_TRUE(order_.FileSave());
  const int64_t id = order_.GetID();
  EXPECT_NE(id, 5);
  EXPECT_EQ(order_.RequestedId(), id);
  EXPECT_EQ(order_.BaseCondition(), "progid=200001 and 单据ID=" + std::to_string(id));
  EXPECT_EQ(F(WS_S::kNumber).Text(), "W-NEW");
  ASSERT_TRUE(order_.Refresh());
  EXPECT_EQ(order_.GetID(), id);
}

}  // namespace
}  // namespace ws::repair_order
