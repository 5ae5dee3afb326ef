// The requisition document as a storekeeper uses it: importing the part lines of a checked
// repair order, the cell rules, which rows are lines, saving with its refusals, the stock-period
// gate, check and uncheck with the ledger and the order's parts cost, printing, and a save that
// fails half way. Its repair-order chooser: the lines it lists in both dialects, the conditions,
// ticking single lines and whole orders, and what closing leaves behind.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "platform/print_data.h"
#include "requisition/ckll_ws.h"
#include "requisition/frm_sel_ws.h"
#include "requisition/selection_list.h"
#include "support/form_values.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

using forms::Input;
using L = RequisitionLines;
using D = CKLl_WS;

constexpr int64_t kProgram = 200002;

class RequisitionDocTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into PDMBM (部门ID,部门编码,部门名称,组织类型,是否明细,是否使用,属性,"
        "不参与物料运算) values (11,'11','配件总库',2,1,1,'0',0),(12,'12','油料库',2,1,1,'0',0),"
        "(3,'03','维修车间',1,1,1,'0',0)");
    host_.Exec(
        "insert into PDMCPML (产品ID,物品编码,物品名称,规格,库存单位,是否需批次管理,缺省货位,"
        "参考进价) values (101,'P101','机油滤芯','小号','个',0,'A-1',20),"
        "(102,'P102','刹车片','前轮','套',1,'',80)");
    host_.Exec(
        "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,等级,特征码,产品批次,库存数量,"
        "库存重量,库存金额) values (201206,11,101,'A-1','','','',50,0,1000),"
        "(201206,11,102,'','','','B1',8,0,640)");
    host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C1','顺达物流',2)");
    host_.Exec("insert into clzl (车辆ID,车牌号,车主ID) values (1,'京A12345',1)");
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,配件费用) values "
        "(7,200001,'02','W7',1,1,'2012-06-10',0)");
    host_.Exec(
        "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,已领用数,单价,说明) values "
        "(71,7,101,4,0,25,'左侧'),(72,7,102,2,0,0,'')");
    // Lines without an order price take the part's reference purchase price.
    host_.Exec("update xt_objects set fetchPrice=8 where progid=200002");
    doc_.Events().AttachSink(&host_.Sink());
  }

  void Start() { ASSERT_TRUE(doc_.Init(host_.System(), kProgram, 0)); }

  // The import button; the clerk ticks the chooser's rows of these order lines and confirms.
  void Import(const std::vector<int64_t>& orderLines) {
    host_.Dialogs().SetModalHandler([&](host::IModalForm& form) {
      auto& chooser = static_cast<frmSelWS&>(form);
      forms::Grid& grid = chooser.Grid();
      for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
        for (int64_t line : orderLines) {
          if (grid.TextMatrix(row, frmSelWS::kColLineId) == std::to_string(line)) {
            EXPECT_TRUE(Input::EditCell(grid, row, frmSelWS::kColTick, frmSelWS::kTick));
          }
        }
      }
      chooser.btn_Click(0);
      return true;
    });
    ASSERT_TRUE(Input::Click(doc_.Form().Get<forms::Widget>(D::kImportButton)));
  }

  forms::Grid& Grid() { return doc_.Lines().Grid(); }
  std::string Cell(int row, int col) { return Grid().TextMatrix(row, col); }
  void Edit(int row, int col, const std::string& text) {
    auto edited = Input::EditCell(Grid(), row, col, text);
    ASSERT_TRUE(edited) << edited.reason;
  }
  void Type(int index, const std::string& text) {
    auto typed = Input::Type(doc_.Header(index), text);
    ASSERT_TRUE(typed) << typed.reason;
  }
  std::string Label(int index) {
    return doc_.Form().Get<forms::Label>(D::kLabels, index).Caption();
  }
  // A new requisition of both order lines, ready to save: the batch part's default depot is
  // looked for with its (still empty) batch and not found, so the clerk names depot and batch.
  void NewOfBothLines() {
    ASSERT_TRUE(doc_.FileNew());
    Import({71, 72});
    EXPECT_EQ(Grid().CellKeyLong(2, L::kDepot), 0);
    Edit(2, L::kDepot, "配件总库");
    Edit(2, L::kBatch, "B1");
  }

  int64_t Count(const std::string& sql) { return host_.Scalar(sql).ToLong(); }
  std::string Text(const std::string& sql) { return host_.Scalar(sql).ToText(); }
  bool Boxed(const std::string& text) { return host_.Dialogs().Asked(text); }
  int64_t Saved() { return Count("select count(*) from JXCDJ"); }

  CKLl_WS doc_;
};

TEST_F(RequisitionDocTest, ImportAndCellRules) {
  Start();
  ASSERT_TRUE(doc_.FileNew());
  Import({71, 72});
  // The order's header fields and a line imported twice are the example script's.
  ASSERT_EQ(Grid().DataRows(), 2);
  // Prices, stock and where a line came from as saved are the saved-columns story's.
  EXPECT_EQ(
      Cell(1, L::kCode) + Cell(1, L::kQuantity) + Cell(1, L::kDepot) + Cell(1, L::kSourceType),
      "P1014配件总库维修工单");
  EXPECT_EQ(Label(D::kAmountFigures) + "/" + Label(D::kQuantityTotal), "260.00/6.00");

  // Quantity 0 gives amount 0 whatever the price; an amount gives the price.
  Edit(1, L::kQuantity, "0");
  EXPECT_EQ(Cell(1, L::kAmount), "0");
  Edit(1, L::kQuantity, "3");
  EXPECT_EQ(Cell(1, L::kAmount), "75");
  Edit(1, L::kAmount, "90");
  EXPECT_EQ(Cell(1, L::kPrice), "30");
  EXPECT_EQ(Label(D::kAmountFigures), "250.00");
  // A depot the shop does not have is refused and leaves the line without one.
  Edit(1, L::kDepot, "没有的库");
  EXPECT_TRUE(Boxed(L::kBadDepot));
  EXPECT_EQ(Grid().CellKeyLong(1, L::kDepot), 0);
  Edit(1, L::kDepot, "油料库");
  EXPECT_EQ(Grid().CellKeyLong(1, L::kDepot), 12);
  EXPECT_EQ(Cell(1, L::kStock), "0");  // nothing of the part in that depot
}

// Started from the order, a requisition holds what ticking the whole order in the chooser
// imports; an order the chooser would not list is refused with the reason.
TEST_F(RequisitionDocTest, NewForOrderFillsWhatTheChooserImportsAndRefusesWhatItHides) {
  Start();
  NewOfBothLines();
  const std::string chosen = test::FormValues(doc_.Form(), doc_.Header(D::kNumber));
  ASSERT_TRUE(doc_.NewForOrder(7));
  Edit(2, L::kDepot, "配件总库");
  Edit(2, L::kBatch, "B1");
  EXPECT_EQ(test::FormValues(doc_.Form(), doc_.Header(D::kNumber)), chosen);
  ASSERT_TRUE(doc_.FileSave());
  for (auto [change, told] : {std::pair{"update WSDJPJ set 已领用数=数量", D::kNothingToIssue},
                              {"update WSDJ set smark='01'", framework::kUncheckedOrderText},
                              {"delete from WSDJ", framework::kUnknownOrderText}}) {
    host_.Exec(change);
    EXPECT_FALSE(doc_.NewForOrder(7));
    EXPECT_TRUE(host_.Sink().HasErrMessage(told)) << change;
  }
}

TEST_F(RequisitionDocTest, ARowIsALineWhenItHoldsAPartWhateverItsName) {
  host_.System().SetOption(1, "goodsmsggageedit", "1");
  Start();
  NewOfBothLines();
  // A part whose name was emptied is a line; a name typed without a part is none, and a code
  // that names no part is refused.
  Edit(1, L::kName, "");
  Grid().AddRow();
  Edit(3, L::kCode, "没有的件");
  EXPECT_TRUE(Boxed(L::kBadPart));
  EXPECT_EQ(Grid().CellKeyLong(3, L::kCode), 0);
  Edit(3, L::kName, "自拟配件");
  Edit(3, L::kQuantity, "5");
  Edit(3, L::kPrice, "100");
  EXPECT_EQ(Label(D::kAmountFigures) + "/" + Label(D::kQuantityTotal), "260.00/6.00");

  // Printed: the two lines only.
  ASSERT_TRUE(doc_.DoPrint());
  platform::PrintFile file = platform::ReadPrintFile(doc_.ReturnPrintName());
  ASSERT_NE(file.Table(D::kGrid), nullptr);
  EXPECT_EQ(file.Table(D::kGrid)->rows.size(), 2u);

  // Saved and posted: the two parts, nothing without one.
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(host_.Joined("select 产品ID || ':' || 名称 from JXCDJMX order by 产品ID"),
            "101:,102:刹车片");
  EXPECT_EQ(Count("select 总金额 from JXCDJ"), 260);
  ASSERT_TRUE(doc_.Check());
  EXPECT_EQ(host_.Joined("select 产品ID from JxcGoodsList order by 产品ID"), "101,102");
}

// One requisition from its save to a failed one: the columns by name, the stock shown, the
// stamp, the period gate the control keeps for its life, and a save rolled back whole.
TEST_F(RequisitionDocTest, SavedReadBackCheckedGatedAndAFailedSaveThatKeepsTheLines) {
  host_.System().SetParameter(12, 3, "25");  // the books close on the 25th
  Start();
  NewOfBothLines();
  Type(D::kNumber, "LL-9");
  Type(D::kNature, "领用");
  Type(D::kDepartment, "维修车间");
  Type(D::kHandler, "张三");
  Type(D::kRemark, " 急用 ");
  Type(D::kDate, "2012-05-28");  // after the closing day: June's
  Type(D::kDepot, "油料库");
  Edit(2, L::kBatch, "B1 ");  // a blank typed after the batch would never match its stock
  Edit(1, L::kRemark, " 左侧 ");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_FALSE(Boxed("确认对会计期间"));
  EXPECT_FALSE(doc_.Editing());
  const int64_t id = Count("select 单据ID from JXCDJ");

  // Each field against its own column by name, and as another window shows it again.
  const std::string stored = "LL-9/领用/张三/急用/2012-05-28/2012-06-15/测试员/12/3/1/200001/7";
  EXPECT_EQ(host_.RowText("select 单据编号, 性质, 本方经手人, 备注, 操作日期, 填单日期, 仓库填单, "
                          "仓库ID, 部门ID, 币种ID, 前置单据, 前置单据ID from JXCDJ"),
            stored);
  CKLl_WS reader;
  ASSERT_TRUE(reader.Init(host_.System(), kProgram, id) && reader.Refresh());
  std::string shown;
  for (int field :
       {D::kNumber, D::kNature, D::kHandler, D::kRemark, D::kDate, D::kEntryDate, D::kEnteredBy})
    shown += reader.Header(field).Text() + "/";
  for (int field : {D::kDepot, D::kDepartment, D::kCurrency, D::kVehicle, D::kOrder})
    shown += reader.Header(field).Key() + "/";
  EXPECT_EQ(shown, stored + "/");
  EXPECT_EQ(reader.Header(D::kCustomer).Text(), "顺达物流");
  EXPECT_EQ(host_.RowText("select 会计期间, 总金额, smark, 系统 from JXCDJ"), "201206/260/01/填单");
  EXPECT_EQ(
      host_.Joined("select 前置单据ID, 仓库ID, 产品批次, 备注, 单价, 含税单价, 实际金额, 会计期间, "
                   "库存数量 from JXCDJMX order by 前置单据ID",
                   " "),
      "71/11//左侧/25/25/100/201206/50 72/11/B1//80/80/160/201206/8");
  // Shown again: the stock stored with the line, or with "displaycurrentst" today's (0 when
  // no balance row is left).
  host_.Exec("update JXCGoodsZzTz set 库存数量=7 where 产品ID=101");
  ASSERT_TRUE(doc_.RecordBottom());
  EXPECT_EQ(Cell(1, L::kStock) + "/" + Cell(1, L::kSourceNumber), "50/W7");

  // Checked: the stamp shows, the batch posted is the one its stock knows.
  EXPECT_FALSE(doc_.CheckStatus(""));
  ASSERT_TRUE(doc_.Check());
  EXPECT_TRUE(doc_.CheckStatus(""));
  EXPECT_EQ(Count("select count(*) from JxcGoodsList where 产品批次='B1'"), 1);
  EXPECT_FALSE(doc_.Check()) << "checked already";
  ASSERT_TRUE(doc_.UnCheck());
  host_.System().SetOption(1, "displaycurrentst", "1");
  host_.Exec("delete from JXCGoodsZzTz where 产品ID=102");
  ASSERT_TRUE(doc_.RecordBottom());
  EXPECT_EQ(Cell(1, L::kStock) + "/" + Cell(2, L::kStock), "7/0");

  // A past open period asks; No writes nothing, Yes is remembered for the control's life.
  ASSERT_TRUE(doc_.FileEdit());
  Type(D::kDate, "2012-05-20");
  host_.Dialogs().Queue(host::MsgAnswer::No);
  ASSERT_FALSE(doc_.FileSave());
  EXPECT_EQ(Count("select 会计期间 from JXCDJ"), 201206);
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Count("select 会计期间 from JXCDJMX group by 会计期间"), 201205);
  // The past period was asked about once for the control's life.
  ASSERT_TRUE(doc_.FileEdit());
  host_.Dialogs().Clear();
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_FALSE(Boxed("确认对会计期间"));

  // A period closed meanwhile is refused by a window opened after.
  host_.System().SetOption(12, "Jzperiod", "201205");
  CKLl_WS other;
  ASSERT_TRUE(other.Init(host_.System(), kProgram, id) && other.Refresh() && other.FileEdit());
  ASSERT_FALSE(other.FileSave());
  EXPECT_TRUE(Boxed("当前操作日期所在的会计期间为[201205]该会计期间已经进行仓库结帐"));
}

// A requisition's amounts are the till's too, made of quantities as typed: 1.00005 × 10000 is
// 10000.5, and 3 × 0.335 = 1.005 is 1.01 on the line. The total label's 10001.51 is what is
// stored as 总金额 and what the check rolls into the order's parts cost, even when a typed
// amount holds more decimals. A typed price keeps the four decimals of its column.
TEST_F(RequisitionDocTest, AmountsToTheFenFromQuantitiesAsTypedRollIntoTheOrder) {
  Start();
  NewOfBothLines();
  Edit(1, L::kQuantity, "1.00005");
  Edit(1, L::kPrice, "10000");
  Edit(2, L::kQuantity, "3");
  Edit(2, L::kPrice, "2.123456");
  EXPECT_EQ(Cell(2, L::kPrice) + " " + Cell(2, L::kAmount), "2.1235 6.37");  // 6.3705
  Edit(2, L::kPrice, "0.335");
  EXPECT_EQ(Cell(1, L::kQuantity) + " " + Cell(1, L::kAmount) + " " + Cell(2, L::kAmount),
            "1.00005 10000.5 1.01");
  // An amount typed as 1.005 stays as typed on its line; the total the label shows is still
  // 10001.505 to the fen.
  Edit(2, L::kAmount, "1.005");
  EXPECT_EQ(Cell(2, L::kPrice) + " " + Label(D::kAmountFigures), "0.335 10001.51");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(host_.RowText("select 总金额 from JXCDJ"), "10001.51");
  EXPECT_EQ(host_.Joined("select 数量, 实际金额 from JXCDJMX order by 前置单据ID", " "),
            "1.00005/10000.5 3/1.005");
  ASSERT_TRUE(doc_.Check());
  EXPECT_EQ(host_.RowText("select 配件费用 from WSDJ where 单据ID=7"), "10001.51");
}

TEST_F(RequisitionDocTest, RefusedSavesWriteNothing) {
  Start();
  ASSERT_TRUE(doc_.FileNew());
  ASSERT_FALSE(doc_.FileSave());
  EXPECT_TRUE(host_.Sink().HasErrMessage("表体内无记录，不能保存！"));

  Import({71, 72});
  // A row without its depot or batch is refused and the cell moves there.
  struct Refusal {
    int row;
    int col;
    const char* text;
  };
  const Refusal refusals[] = {{2, L::kDepot, "第2行仓库名称为空，不能保存！"},
                              {2, L::kBatch, "第2行批次号为空，不能保存！"},
                              {1, L::kDepot, "第1行仓库名称为空，不能保存！"}};
  for (const Refusal& r : refusals) {
    ASSERT_FALSE(doc_.FileSave());
    EXPECT_TRUE(host_.Sink().HasErrMessage(r.text)) << r.text;
    EXPECT_EQ(Grid().Row(), r.row) << r.text;
    EXPECT_EQ(Grid().Col(), r.col) << r.text;
    if (r.col == L::kDepot && r.row == 2) Edit(2, L::kDepot, "11");
    if (r.col == L::kBatch) {
      Edit(2, L::kBatch, "B1");
      Edit(1, L::kDepot, "");
    }
  }
  Edit(1, L::kDepot, "配件总库");

  // No date: the field's own hint, not a period of 0.
  Type(D::kDate, "");
  ASSERT_FALSE(doc_.FileSave());
  EXPECT_EQ(host_.Dialogs().Boxes().back().text, "操作日期输入有误，请重新输入！");
  EXPECT_FALSE(Boxed("[0]"));
  Type(D::kDate, "2012-06-15");

  host_.Exec("insert into JXCDJ (单据ID,progID,smark,单据编号) values (90,200002,'01','" +
             doc_.Header(D::kNumber).Text() + "')");
  ASSERT_FALSE(doc_.FileSave());
  EXPECT_TRUE(Boxed("单据编号重复,请检查后重试!"));
  EXPECT_EQ(Saved(), 1);
  EXPECT_EQ(Count("select count(*) from JXCDJMX"), 0);
  // The same number under another program is no duplicate.
  host_.Exec("update JXCDJ set progID=200099 where 单据ID=90");
  EXPECT_TRUE(doc_.FileSave());
}

TEST_F(RequisitionDocTest, HiddenDepotAndBatchColumns) {
  host_.System().SetOption(1, "warehouse", "0");
  host_.System().SetOption(1, "batchgroup", "0");
  Start();
  ASSERT_TRUE(doc_.FileNew());
  Import({71, 72});
  // Without a header depot the lines have none either, and the save names the header field.
  ASSERT_FALSE(doc_.FileSave());
  EXPECT_TRUE(host_.Sink().HasErrMessage("仓库为空，不能保存！"));
  EXPECT_EQ(Saved(), 0);

  Type(D::kDepot, "油料库");
  Import({71, 72});
  EXPECT_EQ(Grid().CellKeyLong(1, L::kDepot), 12);
  // No batch column: the batch-managed part needs none.
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(host_.Joined("select 仓库ID from JXCDJMX"), "12,12");
}

TEST_F(RequisitionDocTest, ListReachesBackOverBefmonthPeriodsAndDeleteAsks) {
  host_.System().SetParameter(12, 1, "201301");
  host_.System().SetOption(12, "befmonth", "2");
  host_.Exec(
      "insert into JXCDJ (单据ID,progID,smark,单据编号,会计期间,操作日期) values "
      "(1,200002,'01','L1',201210,'2012-10-05'),(2,200002,'01','L2',201211,'2012-11-05'),"
      "(3,200002,'01','L3',201301,'2013-01-05'),(4,200002,'01','L4',201302,'2013-02-05'),"
      "(5,200001,'01','X5',201212,'2012-12-05')");
  host_.Exec("insert into JXCDJMX (单据明细ID,单据ID,产品ID) values (30,3,101)");
  Start();
  ASSERT_TRUE(doc_.RecordTop());
  EXPECT_EQ(doc_.Header(D::kNumber).Text(), "L2");
  ASSERT_TRUE(doc_.RecordBottom());
  EXPECT_EQ(doc_.Header(D::kNumber).Text(), "L3");

  host_.Dialogs().Queue(host::MsgAnswer::No);
  EXPECT_FALSE(doc_.FileDelete());
  EXPECT_EQ(Saved(), 5);
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  ASSERT_TRUE(doc_.FileDelete());
  EXPECT_TRUE(Boxed("是否删除当前记录:"));
  EXPECT_EQ(Count("select count(*) from JXCDJ where 单据ID=3"), 0);
  EXPECT_EQ(Count("select count(*) from JXCDJMX"), 0);
  EXPECT_EQ(doc_.GetID(), 2) << "the last of the list is shown";
  ASSERT_TRUE(doc_.FileNew());
  EXPECT_FALSE(doc_.FileDelete());
  EXPECT_TRUE(Boxed("没有可删除的记录!"));
}

class ChooserTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2), "
        "(2,'C002','李四',2)");
    host_.Exec(
        "insert into clzl (车辆ID,车辆编号,车牌号,车型,车主ID) values "
        "(1,'V001','京A12345','桑塔纳',1), (2,'V002','京B54321','捷达',2)");
    host_.Exec(
        "insert into PDMCPML (产品ID,物品编码,物品名称,规格,库存单位) values "
        "(1,'P01','机油滤芯','小号','个'), (2,'P02','刹车片','前轮','副')");
    // W001 (10): one line to issue, one issued in full, one issued beyond the need; W002 (11)
    // has no part lines; W003 (12) is not checked; W004 (13) has nothing recorded as issued.
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期,车主ID,车辆ID,维修分类) values "
        "(10,200001,'02','W001','2012-06-01',1,1,'小修'), "
        "(11,200001,'02','W002','2012-06-10',2,2,'小修'), "
        "(12,200001,'01','W003','2012-06-12',1,1,'小修'), "
        "(13,200001,'02','W004','2012-05-20',1,1,'小修')");
    host_.Exec(
        "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,已领用数,单价,说明) values "
        "(101,10,1,2,0,30,'备注'), (102,10,2,4,4,120,'备注'), (103,10,2,1,3,120,'备注'), "
        "(121,12,1,5,0,30,'备注'), (131,13,1,1,null,0,'备注')");
  }

  // Opens a fresh chooser; `user` acts while it is shown, as the clerk at the dialog.
  bool Open(const std::function<void(frmSelWS&)>& user, int64_t customer = 0) {
    host_.Dialogs().SetModalHandler([&](host::IModalForm& form) {
      user(static_cast<frmSelWS&>(form));
      return true;
    });
    frmSelWS chooser(selection_);
    return chooser.py_SubProgram(host_.System(), customer, kProgram, "0");
  }
  static std::vector<std::string> Column(const forms::Grid& grid, int col) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
    return texts;
  }
  static void Click(frmSelWS& chooser, const char* name, int index = -1) {
    auto clicked = Input::Click(*chooser.Form().Find(name, index));
    ASSERT_TRUE(clicked) << clicked.reason;
  }
  static void Tick(frmSelWS& chooser, int row, const std::string& mark = "√") {
    auto edited = Input::EditCell(chooser.Grid(), row, frmSelWS::kColTick, mark);
    ASSERT_TRUE(edited) << edited.reason;
  }

  SelectionList selection_;
};

using Strings = std::vector<std::string>;

TEST_F(ChooserTest, ListsTheLinesStillToIssueOfCheckedOrdersInEitherDialect) {
  for (const char* driver : {"sqlite", "jet"}) {
    SCOPED_TRACE(driver);
    host_.Db().SetSetting("driver", driver);
    EXPECT_FALSE(Open([&](frmSelWS& chooser) {
      const forms::Grid& grid = chooser.Grid();
      // Newest entry date first: W004 has the higher number but came in earlier.
      EXPECT_EQ(Column(grid, frmSelWS::kColNumber), (Strings{"W002", "W001", "W004"}));
      EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"", "101", "131"}));
      // An order without part lines: once, with empty part columns.
      EXPECT_EQ(grid.TextMatrix(1, frmSelWS::kColProductId), "");
      EXPECT_EQ(grid.TextMatrix(3, frmSelWS::kColOutstanding), "1") << "Null issued reads as 0";

      // Showing issued lines adds the full and the over-issued line of W001.
      Click(chooser, frmSelWS::kShowIssued);
      EXPECT_EQ(Column(grid, frmSelWS::kColLineId), (Strings{"", "101", "102", "103", "131"}));
      EXPECT_EQ(grid.TextMatrix(3, frmSelWS::kColOutstanding), "0");
      EXPECT_EQ(grid.TextMatrix(4, frmSelWS::kColOutstanding), "-2");
      Click(chooser, frmSelWS::kShowIssued);  // remembered for the next opening
      // Ticked rows closed without confirming are not taken.
      Click(chooser, frmSelWS::kButtons, 5);
      Click(chooser, frmSelWS::kButtons, 1);
      EXPECT_TRUE(chooser.IsClosed());
    }));
  }
  EXPECT_TRUE(selection_.Empty());
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());

  // A failing query is shown and lists nothing; confirming then takes nothing.
  host_.Exec("drop table WSDJPJ");
  EXPECT_TRUE(Open([&](frmSelWS& chooser) {
    EXPECT_EQ(chooser.Grid().DataRows(), 0);
    Click(chooser, frmSelWS::kButtons, 0);
  }));
  EXPECT_TRUE(selection_.Empty());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  const test::AskedBox& box = host_.Dialogs().Boxes()[0];
  EXPECT_EQ(box.text.rfind("frmSelWS-->LoadData::", 0), 0u);
}

TEST_F(ChooserTest, TickedLinesAndWholeOrdersBecomeTheSelection) {
  bool confirmed = Open([&](frmSelWS& chooser) {
    Click(chooser, frmSelWS::kShowIssued);  // W002, W001 101 102 103, W004 131
    Click(chooser, frmSelWS::kButtons, 5);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "√", "√", "√", "√"}));
    Click(chooser, frmSelWS::kButtons, 4);
    Tick(chooser, 5, "x");  // any text ticks
    EXPECT_TRUE(chooser.Ticked(5));
    ASSERT_TRUE(Input::DoubleClick(chooser.Grid(), 1));
    ASSERT_TRUE(Input::DoubleClick(chooser.Grid(), 5));  // a second click unticks
    EXPECT_FALSE(chooser.Ticked(5));

    // A whole order: one click on any of its lines ticks and unticks all of them.
    Click(chooser, frmSelWS::kWholeOrder);
    Tick(chooser, 3);
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "√", "√", "√", ""}));
    Tick(chooser, 2, "");
    EXPECT_EQ(Column(chooser.Grid(), frmSelWS::kColTick), (Strings{"√", "", "", "", ""}));
    Tick(chooser, 4);
    Click(chooser, frmSelWS::kButtons, 0);
  });
  EXPECT_TRUE(confirmed);
  ASSERT_EQ(selection_.Count(), 4u);
  // In grid order: W002 (no lines), then W001's three lines.
  EXPECT_EQ(selection_.Item(0).i工单号码(), "W002");
  EXPECT_EQ(selection_.Item(0).i单据明细ID(), 0);
  EXPECT_NE(selection_.Find("k11-0"), nullptr) << "an order without part lines has line id 0";
  EXPECT_FALSE(selection_.Add(selection_.Item(1))) << "a key is held once";
  // Every field of the bag, in its order, from the grid's columns 2 to 21.
  Strings fields;
  for (const auto& item : selection_.Find("k10-103")->Items())
    fields.push_back(item.second.ToText());
  EXPECT_EQ(fields, (Strings{"2012-06-01", "W001", "顺达物流", "京A12345", "桑塔纳", "小修", "P02",
                             "刹车片",     "前轮", "1",        "3",        "-2",     "120",  "备注",
                             "1",          "2",    "200001",   "10",       "103",    "副"}));
}

}  // namespace
}  // namespace ws::requisition
