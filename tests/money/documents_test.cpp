// The money documents: the settlement as a clerk drives it and the receipt as a cashier does,
// with the chooser dialogs and queries both start from.
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "money/choosers.h"
#include "money/js_s.h"
#include "money/js_ws.h"
#include "money/order_choosers.h"
#include "money/receipt_check.h"
#include "money/settlement_voucher.h"
#include "orders_fixture.h"
#include "support/form_values.h"
#include "support/test_host.h"

namespace ws::money {

// The settlement document as a clerk drives it: copying a checked repair order (labour lines as
// new lines, parts as issued), the amounts that follow, the save with its period and number
// rules, delete, and check and uncheck; its voucher lines as a pure function of it.
// The settlement document's shop: the ledger period is 2012-06 with periods up to 2012-03
// closed and the month closing on the 25th; customer 1 (顺达物流) with car 京A12345; repair
// order 10 (WS010, checked) with two labour lines and parts issued by two requisitions (part 1
// twice: 2 × 30 and 1 × 33; part 2 issued with quantity 0 and amount 5); its own part line
// (which a settlement never bills); a cash account 1001, a bank account that is not a detail
// account, salesman 4 and settlement method 2. The chooser answers the order in chosen_.
inline constexpr int64_t kSettlementProgram = 200003;

// The texts of a document's header fields, " "-joined.
template <class Doc>
std::string FieldTexts(Doc& doc, std::initializer_list<int> fields) {
  std::string out;
  for (int index : fields) out += (out.empty() ? "" : " ") + doc.Header(index).Text();
  return out;
}

// The last message box, "text|title".
inline std::string LastBox(test::TestHost& host) {
  const auto& boxes = host.Dialogs().Boxes();
  return boxes.empty() ? "" : boxes.back().text + "|" + boxes.back().title;
}

class SettlementTest : public test::HostTest {
 protected:
  void SetUp() override {
    ASSERT_EQ(host_.System().SetParameter(12, 1, "201206"), "");
    ASSERT_EQ(host_.System().SetOption(12, std::string("Jzperiod"), "201203"), "");
    ASSERT_EQ(host_.System().SetParameter(12, 3, "25"), "");
    for (const char* sql :
         {"insert into pdmwldw (往来ID,公司名称) values (1,'顺达物流')",
          "insert into pdmwldwjs (往来ID,公司名称) values (1,'顺达物流')",
          "insert into clzl (车辆ID,车牌号,发动机号,车架号,车型,车主ID) "
          "values (1,'京A12345','E100','J100','桑塔纳',1)",
          "insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (1,'X01','换机油','保养'),"
          "(2,'X02','喷漆','钣金')",
          "insert into PDMCPML (产品ID,物品编码,物品名称,规格) values "
          "(1,'P01','机油滤芯','小号'),(2,'P02','刹车片','前轮')",
          "insert into pdmwxfl (维修分类ID,编码,维修分类) values (3,'F01','小修')",
          "insert into PDMKJKM (科目ID,科目编码,科目名称,是否现金科目,是否明细) values "
          "(1,'1001','库存现金',1,1),(2,'1002','银行存款',1,0)",
          "insert into PDMGY (雇员ID,姓名) values (4,'赵六')",
          "insert into PDMSJZD (ID,名称) values (2,'转账支票')",
          "insert into WSDJ (单据ID,progid,smark,系统,工单号码,车主ID,车辆ID,进厂日期,出厂日期,"
          "车厂,维修分类ID,维修分类,送修人,公里数,诊断费,检测费,应收合计,备注) values "
          "(10,200001,'02','审核','WS010',1,1,'2012-06-01','2012-06-03','一汽',3,'小修','王五',"
          "12000,15,5,400,'左前门有划痕')",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额,说明) values "
          "(1,10,1,2,50,100,'全合成'),(2,10,2,1,200,200,'')",
          "insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,单价,金额) values "
          "(1,10,2,4,100,400)",
          "insert into JXCDJ (单据ID,progID,smark,单据编号,前置单据ID) values "
          "(20,200002,'02','LL1',10),(21,200002,'02','LL2',10)",
          "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values "
          "(1,20,1,2,60),(2,21,1,1,33),(3,21,2,0,5)"}) {
      host_.Exec(sql);
    }
    doc_.Events().AttachSink(&host_.Sink());
  }

  bool Start(int64_t requested = 0) {
    return doc_.Init(host_.System(), kSettlementProgram, requested);
  }
  forms::Field& F(int index) { return doc_.Header(index); }
  forms::Grid& Grid(framework::LineKind kind) { return doc_.Lines(kind).Grid(); }
  void Type(int index, const std::string& text) {
    auto typed = forms::Input::Type(F(index), text);
    ASSERT_TRUE(typed) << "field " << index << ": " << typed.reason;
  }
  void Choose() {
    ASSERT_TRUE(forms::Input::Click(doc_.Form().Get<forms::Widget>(JS_WS::kSelectButton)));
  }
  // A new settlement of order 10 dated `date`, with 300 collected into the cash account.
  void TypeNew(const std::string& date = "2012-06-15") {
    ASSERT_TRUE(doc_.FileNew());
    Choose();
    Type(JS_WS::kDate, date);
    Type(JS_WS::kAccount, "1001");
    Type(JS_WS::kCollected, "300");
  }
  // TypeNew with everything a user can give it, saved; answers the new id.
  int64_t SaveFull() {
    TypeNew();
    F(JS_WS::kSalesman).SetValue("4", "赵六");
    F(JS_WS::kMethod).SetValue("2", "转账支票");
    Type(JS_WS::kNumber, "JS-0001");
    Type(JS_WS::kSummary, "六月结算");
    Type(JS_WS::kWriteOff, "7.5");
    Type(JS_WS::kRemarks, "现金付讫");
    EXPECT_TRUE(doc_.FileSave());
    return doc_.GetID();
  }

  std::string Text(const std::string& sql) { return host_.Scalar(sql).ToText(); }
  int64_t Count(const std::string& sql) { return host_.Scalar(sql).ToLong(); }
  std::string LastBox() { return money::LastBox(host_); }

  ChosenRepairOrder chosen_{10, "WS010"};
  std::vector<int64_t> chooserSettlementIds_;
  JS_WS doc_{[this](host::ISystem&, int64_t, int64_t, int64_t settlementId) {
    chooserSettlementIds_.push_back(settlementId);
    return chosen_;
  }};
};

namespace {

using forms::Input;
using framework::LineKind;
using Col = framework::LineGrid::Column;

// The texts of a grid row's columns, "/"-joined.
std::string Row(const forms::Grid& grid, int row, std::initializer_list<int> cols) {
  std::string out;
  for (int col : cols) out += (out.empty() ? "" : "/") + grid.TextMatrix(row, col);
  return out;
}

TEST_F(SettlementTest, ChoosingAnOrderCopiesItsHeaderLabourAndIssuedParts) {
  ASSERT_TRUE(Start() && doc_.FileNew());
  host_.Exec("update WSDJ set 出厂日期='1900-01-01' where 单据ID=10");  // not out yet
  Choose();
  EXPECT_EQ(chooserSettlementIds_, std::vector<int64_t>{0}) << "a new settlement";
  EXPECT_EQ(F(JS_WS::kOwner).Key() + F(JS_WS::kPlate).Text() + F(JS_WS::kDateOut).Text(),
            "1京A12345");
  // Labour lines in line order, new to the settlement.
  const forms::Grid& items = Grid(LineKind::Items);
  ASSERT_EQ(items.DataRows(), 2);
  EXPECT_EQ(Row(items, 1, {Col::kCode, Col::kName, Col::kRemark, Col::kLineId}),
            "X01/换机油/全合成/");
  // Parts as issued, one row per product over both requisitions; the order's own planned part
  // line (4 × 100 of P02) is not billed.
  const forms::Grid& parts = Grid(LineKind::Parts);
  ASSERT_EQ(parts.DataRows(), 2);
  const int p01 = parts.TextMatrix(1, Col::kCode) == "P01" ? 1 : 2;
  EXPECT_EQ(parts.CellKey(p01, Col::kCode), "1");
  const std::initializer_list<int> cols{Col::kAttribute, Col::kQuantity, Col::kAmount, Col::kPrice};
  EXPECT_EQ(Row(parts, p01, cols), "小号/3/93/31");
  EXPECT_EQ(Row(parts, 3 - p01, cols), "前轮/0/5/") << "no price without a quantity";
  // 300 labour, 98 parts, the order's 15 + 5 fees, 9.8 management.
  EXPECT_EQ(FieldTexts(doc_, {JS_WS::kLabour, JS_WS::kParts, JS_WS::kManagement, JS_WS::kReceivable,
                              JS_WS::kOwed}),
            "300 98 9.8 427.8 427.8");

  // Without issued parts nothing of the parts is billed, whatever the order planned.
  host_.Exec("delete from JXCDJMX");
  Choose();
  EXPECT_EQ(Grid(LineKind::Parts).DataRows(), 0);
  EXPECT_EQ(FieldTexts(doc_, {JS_WS::kParts, JS_WS::kManagement, JS_WS::kReceivable}), "0 0 320");
}

// Started from the order, a settlement holds what choosing it gives; a settled order and a closed
// period are refused with the reason.
TEST_F(SettlementTest, NewForOrderFillsWhatTheChooserGivesAndRefusesWhatItHides) {
  ASSERT_TRUE(Start() && doc_.FileNew());
  Choose();
  const std::string chosen = test::FormValues(doc_.Form(), F(JS_WS::kNumber));
  ASSERT_TRUE(doc_.NewForOrder(10));
  EXPECT_EQ(test::FormValues(doc_.Form(), F(JS_WS::kNumber)), chosen);
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_FALSE(doc_.NewForOrder(10));
  EXPECT_TRUE(host_.Dialogs().Asked(JS_WS::kSettledText));

  host_.Exec("delete from ARPReceive");
  ASSERT_EQ(host_.System().SetOption(12, std::string("Jzperiod"), "201206"), "");
  JS_WS later(nullptr);
  ASSERT_TRUE(later.Init(host_.System(), kSettlementProgram, 0));
  EXPECT_FALSE(later.NewForOrder(10));
  EXPECT_TRUE(host_.Dialogs().Asked("该会计期间已经进行结帐"));
}

TEST_F(SettlementTest, TypedFeesMoneyAndCodesFollowTheRules) {
  ASSERT_TRUE(Start());
  EXPECT_FALSE(doc_.FileEdit());
  EXPECT_EQ(LastBox(), "请选择具体的单据|提示:");
  ASSERT_TRUE(doc_.FileNew());
  Choose();
  auto amounts = [&] {
    return FieldTexts(doc_,
                      {JS_WS::kManagement, JS_WS::kReceivable, JS_WS::kReceived, JS_WS::kOwed});
  };
  // A hand-typed parts cost sets the management fee to a tenth of it: 300 + 200 + 15 + 5 + 20.
  Type(JS_WS::kParts, "200");
  EXPECT_EQ(amounts(), "20 540 0 540");
  // A typed management fee stands until the parts change again.
  Type(JS_WS::kManagement, "50");
  Type(JS_WS::kCollected, "500");
  Type(JS_WS::kWriteOff, "2.5");
  EXPECT_EQ(amounts(), "50 570 502.5 67.5");
  // An edit in the part grid replaces the typed cost with the grid's sum again.
  ASSERT_TRUE(Input::EditCell(Grid(LineKind::Parts), 1, Col::kAmount, "100"));
  EXPECT_EQ(F(JS_WS::kParts).Text(), "105");
  EXPECT_EQ(amounts(), "10.5 435.5 502.5 -67");  // 300 + 105 + 15 + 5 + 10.5

  // Only a detail cash account is taken.
  Type(JS_WS::kAccount, "银行存款");
  EXPECT_FALSE(F(JS_WS::kAccount).Valid()) << "not a detail account";
  EXPECT_EQ(F(JS_WS::kAccount).Hint(), "科目输入有误，请重新输入！");
  // An unknown code is told per grid; the row keeps the code it had.
  const std::pair<LineKind, const char*> grids[] = {
      {LineKind::Items, "输入的维修项目有误，请重试?|收款单"},
      {LineKind::Parts, "输入的配件项目有误，请重试?|收款单"}};
  for (const auto& [kind, message] : grids) {
    const std::string before = Grid(kind).TextMatrix(1, Col::kCode);
    ASSERT_TRUE(Input::EditCell(Grid(kind), 1, Col::kCode, "NOPE"));
    EXPECT_EQ(LastBox(), message);
    EXPECT_EQ(Grid(kind).TextMatrix(1, Col::kCode), before);
  }
}

TEST_F(SettlementTest, EveryColumnIsWrittenAndResavesUpdateInPlace) {
  ASSERT_TRUE(Start());
  const int64_t id = SaveFull();
  ASSERT_GT(id, 0);
  EXPECT_EQ(host_.Sink().Messages().back(), "保存数据成功,单据编号：JS-0001");
  const std::string where = " where 单据ID=" + std::to_string(id);
  EXPECT_EQ(host_.RowText("select progID, smark, status, 单据编号, 往来ID, 业务员ID, 结算方式ID, "
                          "科目ID, 前置单据ID, 单据日期, 会计期间, 制单人, 制单日期, 总金额, "
                          "扣零金额, 摘要, 备注 from ARPReceive" +
                          where),
            "200003/01/填单/JS-0001/1/4/2/1/10/2012-06-15/201206/测试员/2012-06-15/300/7.5/"
            "六月结算/现金付讫");
  EXPECT_EQ(
      host_.RowText("select 维修费用, 配件费用, 诊断费, 检测费, 管理费 from ARPReceive_FY" + where),
      "300/98/15/5/9.8");
  EXPECT_EQ(host_.Joined("select 项目ID, 数量, 金额, 说明 from ARPReceive_XM order by 单据明细ID"),
            "1/2/100/全合成,2/1/200/");
  EXPECT_EQ(Count("select count(*) from ARPReceive_PJ" + where), 2);

  // A resave updates the header, rewrites the one fee row and updates the lines; a removed
  // line is deleted.
  ASSERT_TRUE(doc_.FileEdit() && Input::DeleteRow(Grid(LineKind::Items), 2));
  ASSERT_TRUE(Input::EditCell(Grid(LineKind::Items), 1, Col::kQuantity, "3") && doc_.FileSave());
  EXPECT_EQ(doc_.GetID(), id);
  EXPECT_EQ(host_.RowText("select count(*), min(维修费用) from ARPReceive_FY"), "1/150");
  EXPECT_EQ(host_.Joined("select 项目ID, 数量 from ARPReceive_XM"), "1/3");
  EXPECT_EQ(Count("select count(*) from ARPReceive") + Count("select count(*) from ARPReceive_PJ"),
            3);

  // Choosing the order again replaces the saved lines; the settlement still sees its order.
  ASSERT_TRUE(doc_.FileEdit());
  Choose();
  EXPECT_EQ(chooserSettlementIds_.back(), id);
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Count("select count(*) from ARPReceive_XM") * 10 +
                Count("select count(*) from ARPReceive_PJ"),
            22);
}

TEST_F(SettlementTest, RefusedSavesSayWhyAndWriteNothing) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号) values (90,200003,'01','JS-9'),"
      "(91,200004,'01','SK-1')");
  ASSERT_TRUE(Start() && doc_.FileNew());
  Type(JS_WS::kNumber, "JS-1");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(LastBox(), "工单号码不能为空，请选择后重试！|收款单");

  TypeNew();
  // The money fields take numbers only (the parser has its own tests) and the box names the field.
  for (int index : {JS_WS::kCollected, JS_WS::kWriteOff, JS_WS::kDiagnosis, JS_WS::kInspection}) {
    Type(index, "12abc");
    EXPECT_FALSE(doc_.FileSave());
    EXPECT_EQ(LastBox(), F(index).Caption() + "输入有误，请重新输入！|收款单");
    Type(index, "");
  }
  Type(JS_WS::kCollected, "1,000.50");
  Type(JS_WS::kNumber, "  ");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_TRUE(host_.Sink().HasErrMessage("收款单号不能为空，请输入后重试!  "));
  Type(JS_WS::kNumber, "JS-9");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(LastBox(), "收款单号重复,请检查后重试!|收款单");
  EXPECT_EQ(Count("select count(*) from ARPReceive") + Count("select count(*) from ARPReceive_FY"),
            2)
      << "nothing of the refused save";
  // A receipt's number is another program's; a saved settlement keeps its own number but may
  // not take another's.
  Type(JS_WS::kNumber, "SK-1");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Text("select 总金额 from ARPReceive where 单据编号='SK-1' and progID=200003"),
            "1000.5");
  ASSERT_TRUE(doc_.FileEdit() && doc_.FileSave() && doc_.FileEdit());
  Type(JS_WS::kNumber, "JS-9");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(LastBox(), "收款单号重复,请检查后重试!|收款单");
}

TEST_F(SettlementTest, CheckPostsTheVoucherOnceInEitherDialectAFailurePostsNothingDeleteTakesAll) {
  // Another voucher of the ledger and another settlement's fees are never touched.
  host_.Exec(
      "insert into gl_accvouch (autoid,progid,科目编码,借方金额,前置单据,前置单据ID) "
      "values (1,200004,'1001',99,200004,1)");
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号) values (90,200003,'01','JS-9')");
  host_.Exec("insert into ARPReceive_FY (单据ID,维修费用) values (90,1)");
  ASSERT_TRUE(Start());
  const int64_t id = SaveFull();
  const std::string where = " from ARPReceive where 单据ID=" + std::to_string(id);
  const std::string vouchers =
      " from gl_accvouch where 前置单据=200003 and 前置单据ID=" + std::to_string(id);
  auto ledger = [&] {
    return host_.Joined("select 科目编码, 借方金额, 贷方金额" + vouchers + " order by autoid", " ");
  };
  // Fees 300, 98, 15, 5, 9.8; 300 collected and 7.5 written off clear the first two fees.
  const std::string posted =
      "113101/300/0 113102/98/0 113103/15/0 113104/5/0 113105/9.8/0 1001/300/0 550101/7.5/0 "
      "113101/0/300 113102/0/7.5";
  for (const char* driver : {"", "jet"}) {
    host_.Db().SetSetting("driver", driver);
    ASSERT_TRUE(doc_.Check()) << driver;
    EXPECT_EQ(host_.RowText("select smark, status, 审核人, 审核日期" + where),
              "02/审核/测试员/2012-06-15");
    EXPECT_TRUE(doc_.Form().Get<forms::Widget>(JS_WS::kCheckedStamp).Visible());
    EXPECT_EQ(ledger(), posted) << driver;
    EXPECT_FALSE(doc_.Check()) << "a checked settlement is not checked again";
    ASSERT_TRUE(doc_.UnCheck());
    EXPECT_EQ(host_.RowText("select smark, status, 审核人, 审核日期" + where),
              "01/填单//1900-01-01");
    EXPECT_EQ(ledger(), posted) << "an uncheck leaves the lines for the next check";
  }
  EXPECT_EQ(host_.RowText("select progid, smark, status, 对方科目, 会计期间, 凭证日期, 出纳编号, "
                          "结算方式ID, 币种ID, 摘要, 外币借方金额, 汇率, 部门ID, 雇员ID, 往来ID, "
                          "项目, 制单, 制单日期, 前置单据" +
                          vouchers + " and 科目编码='1001'"),
            "200003/01/填单//201206/2012-06-15/JS-0001/2/1/汽修单[WS010 京A12345]/300/1/0/0/0//"
            "测试员/2012-06-15/200003");
  EXPECT_EQ(
      Count("select count(*) from gl_accvouch where 前置单据=200003 and (贷方金额<>外币贷方金额 "
            "or 借方金额<>外币借方金额) or 前置单据=200004 and 借方金额<>99"),
      0);
  EXPECT_EQ(Count("select count(distinct autoid) from gl_accvouch"), 10);

  // A failing line takes the check back; a failing uncheck leaves the mark.
  host_.RefuseOn("no_write_off", "gl_accvouch", "INSERT", "write-off locked",
                 "new.科目编码='550101'");
  EXPECT_FALSE(doc_.Check());
  host_.DropRefusal("no_write_off", "gl_accvouch");
  EXPECT_EQ(Text("select smark" + where) + " " + ledger(), "01 " + posted);
  ASSERT_TRUE(doc_.Check());
  host_.RefuseOn("keep_mark", "ARPReceive", "UPDATE", "row locked");
  EXPECT_FALSE(doc_.UnCheck());
  EXPECT_EQ(Text("select smark" + where), "02");
  host_.DropRefusal("keep_mark", "ARPReceive");

  // An entered settlement is deleted with its four detail tables.
  ASSERT_TRUE(doc_.UnCheck());
  host_.Exec("insert into ARPReceiveMx (单据明细ID,单据ID,源单ID) values (1," + std::to_string(id) +
             ",10)");
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_TRUE(doc_.FileDelete());
  for (const char* table :
       {"ARPReceive", "ARPReceiveMx", "ARPReceive_FY", "ARPReceive_XM", "ARPReceive_PJ"}) {
    EXPECT_EQ(
        Count(std::string("select count(*) from ") + table + " where 单据ID=" + std::to_string(id)),
        0)
        << table;
  }
  EXPECT_EQ(Count("select count(*) from ARPReceive_FY where 单据ID=90"), 1) << "another's stays";
}

// "D 113101 300, C 113102 100": side, account, amount.
std::string Brief(const std::vector<VoucherLine>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += std::string(out.empty() ? "" : ", ") + (line.debit ? "D " : "C ") + line.account + " " +
           line.amount.Text();
  }
  return out;
}

// Half a fen and a quantity too small to round away. Issued: 1 of P01 for 145.75 and 0.00004
// of P02 for 3, so 配件费用 148.75 and 管理费 14.875, which no till takes: it is 14.88. The
// receivable is 300 + 148.75 + 15 + 5 + 14.88 = 483.63 (not 483.625); who pays 483.63 owes 0,
// and the voucher holds no fraction of a fen.
TEST_F(SettlementTest, FeesAreKeptToTheFenShownSavedPostedAndPaidOff) {
  // An order's inspection fee of 5.004 is settled as the 5 a till takes.
  host_.Exec("update WSDJ set 检测费=5.004 where 单据ID=10");
  host_.Exec("delete from JXCDJMX");
  host_.Exec(
      "insert into JXCDJMX (单据明细ID,单据ID,产品ID,数量,实际金额) values "
      "(1,20,1,1,145.75),(2,21,2,0.00004,3)");
  ASSERT_TRUE(Start());
  TypeNew();
  const forms::Grid& parts = Grid(LineKind::Parts);
  ASSERT_EQ(parts.DataRows(), 2);
  const int p02 = parts.TextMatrix(1, Col::kCode) == "P02" ? 1 : 2;
  // 3 ÷ 0.00004 = 75000: the issued quantity is not rounded to nothing.
  EXPECT_EQ(Row(parts, p02, {Col::kQuantity, Col::kAmount, Col::kPrice}), "0.00004/3/75000");
  auto fees = [&] {
    return FieldTexts(doc_, {JS_WS::kParts, JS_WS::kManagement, JS_WS::kReceivable,
                             JS_WS::kReceived, JS_WS::kOwed});
  };
  Type(JS_WS::kCollected, "483.63");
  EXPECT_EQ(fees(), "148.75 14.88 483.63 483.63 0");
  // A typed fee of more decimals is taken as the till takes it once the field is left: 15.005 of
  // diagnosis is 15.01, and the receivable 483.64.
  Type(JS_WS::kDiagnosis, "15.005");
  EXPECT_EQ(F(JS_WS::kDiagnosis).Text() + " " + fees(), "15.01 148.75 14.88 483.64 483.63 0.01");
  Type(JS_WS::kCollected, "483.64");
  ASSERT_TRUE(doc_.FileSave());
  const std::string where = " where 单据ID=" + std::to_string(doc_.GetID());
  EXPECT_EQ(
      host_.RowText("select 维修费用, 配件费用, 诊断费, 检测费, 管理费 from ARPReceive_FY" + where),
      "300/148.75/15.01/5/14.88");
  EXPECT_EQ(fees(), "148.75 14.88 483.64 483.64 0") << "shown again";
  ASSERT_TRUE(doc_.Check());
  // Debits: the five fees and the money; credits: 483.64 clears every fee to the last fen.
  EXPECT_EQ(host_.Joined("select 科目编码, 借方金额, 贷方金额 from gl_accvouch where 前置单据ID=" +
                             std::to_string(doc_.GetID()) + " order by autoid",
                         " "),
            "113101/300/0 113102/148.75/0 113103/15.01/0 113104/5/0 113105/14.88/0 1001/483.64/0 "
            "113101/0/300 113102/0/148.75 113103/0/15.01 113104/0/5 113105/0/14.88");
}

// The debt a settlement leaves is the order's for receipts to collect: its fees less the
// write-off, less what was paid at the counter; it goes again with the check, but not once a
// receipt has been written off against it.
TEST_F(SettlementTest, ACheckedSettlementLeavesItsOrderOwingWhatWasNotPaid) {
  const std::string order = "select 总金额, 现收金额, 扣零金额, 余额 from WSDJ where 单据ID=10";
  struct Case {
    const char* collected;
    const char* writeOff;
    std::string expected;  // the order after the check
  };
  // Fees 300 + 98 + 15 + 5 + 9.8 = 427.8.
  for (const Case& c : {Case{"0", "0", "427.8/0/0/427.8"}, Case{"300", "0.8", "427/300/0.8/127"},
                        Case{"427", "0.8", "427/427/0.8/0"}}) {
    SCOPED_TRACE(c.collected);
    host_.Exec("delete from ARPReceive");
    host_.Exec("update WSDJ set 总金额=0, 现收金额=0, 扣零金额=0, 余额=0 where 单据ID=10");
    ASSERT_TRUE(Start());
    TypeNew();
    Type(JS_WS::kCollected, c.collected);
    Type(JS_WS::kWriteOff, c.writeOff);
    ASSERT_TRUE(doc_.FileSave());
    ASSERT_TRUE(doc_.Check());
    EXPECT_EQ(host_.RowText(order), c.expected);
    ASSERT_TRUE(doc_.UnCheck());
    EXPECT_EQ(host_.RowText(order), "0/0/0/0");
  }
  ASSERT_TRUE(doc_.Check());
  host_.Exec("update WSDJ set 补收金额=27, 余额=余额-27 where 单据ID=10");  // a receipt's
  EXPECT_FALSE(doc_.UnCheck());
  EXPECT_TRUE(LastBox().starts_with(JS_WS::kCollectedText)) << LastBox();
  EXPECT_EQ(Text("select smark from ARPReceive where 单据ID=" + std::to_string(doc_.GetID())),
            "02");
  EXPECT_EQ(host_.RowText(order), "427/427/0.8/-27") << "left as the receipt made it";
}

// A 配件费用 typed over the grid's sum is saved, shown again after the order is re-read, and
// posted: 200 and its tenth 20, where the grid's 98 and 9.8 would be a different settlement.
TEST_F(SettlementTest, AReopenedSettlementShowsTheFeesItSavedAndItsCheckPostsThem) {
  ASSERT_TRUE(Start());
  TypeNew();
  Type(JS_WS::kParts, "200");
  ASSERT_TRUE(doc_.FileSave());
  const int64_t id = doc_.GetID();
  JS_WS shown(nullptr);
  ASSERT_TRUE(shown.Init(host_.System(), kSettlementProgram, id) && shown.Refresh());
  ASSERT_EQ(shown.GetID(), id);
  // 300 + 200 + 15 + 5 + 20 = 540, of which 300 collected.
  EXPECT_EQ(FieldTexts(shown, {JS_WS::kLabour, JS_WS::kParts, JS_WS::kManagement,
                               JS_WS::kReceivable, JS_WS::kOwed}),
            "300 200 20 540 240");
  EXPECT_EQ(shown.Lines(LineKind::Parts).Grid().DataRows(), 2) << "the lines as saved";
  ASSERT_TRUE(shown.Check());
  EXPECT_EQ(host_.Joined("select 科目编码, 借方金额 from gl_accvouch where 借方金额<>0 and "
                         "科目编码 in ('113102','113105') order by 科目编码",
                         " "),
            "113102/200 113105/20");
}

TEST(SettlementVoucherLines, ClearTheFeesInOrderUntilTheMoneyRunsOut) {
  SettlementDocument s;
  struct Case {
    const char *collected, *writeOff;
    int64_t accountId;
    const char *labour, *parts, *management;
    std::string ledger;
  };
  // clang-format off
  const Case cases[] = {
      {"400", "0", 9, "300", "200", "20",
       "D 113101 300, D 113102 200, D 113105 20, D 1001 400, C 113101 300, C 113102 100"},
      // Nothing collected: only the write-off clears, and no cash line.
      {"0", "20", 9, "300", "200", "20",
       "D 113101 300, D 113102 200, D 113105 20, D 550101 20, C 113101 20"},
      // 0.1 + 0.2 is exactly 0.3: the first fee is cleared whole and nothing is left over.
      {"0.1", "0.2", 9, "0.3", "0.1", "0.01",
       "D 113101 0.3, D 113102 0.1, D 113105 0.01, D 1001 0.1, D 550101 0.2, C 113101 0.3"},
      // Amounts near the limit keep their cents in every sum.
      {"99999999999.98", "0.01", 0, "99999999999.9", "0.08", "0.01",
       "D 113101 99999999999.9, D 113102 0.08, D 113105 0.01, D 550101 0.01, "
       "C 113101 99999999999.9, C 113102 0.08, C 113105 0.01"},
  };
  // clang-format on
  for (const Case& c : cases) {
    s.collected = db::Amount::Of(c.collected);
    s.writeOff = db::Amount::Of(c.writeOff);
    s.accountId = c.accountId;
    s.fees = {
        db::Amount::Of(c.labour), db::Amount::Of(c.parts), {}, {}, db::Amount::Of(c.management)};
    EXPECT_EQ(Brief(SettlementVoucherLines(s, c.accountId > 0 ? "1001" : "")), c.ledger);
  }
}

// The receipt document driven as a cashier drives it: customer, amount, the chooser's proposal,
// save, check and uncheck against the orders, refusals that write nothing, reload and delete.
// The chooser dialogs of both money documents driven as a user drives them while the host shows
// them modally; their queries run on the database, the proposal of a receipt's amount over the
// orders they list, and the statements of a receipt's check applied to the orders.
using R = ReceiptLines;
constexpr int64_t kReceiptProgram = 200004;

class ReceiptDocumentTest : public OrdersTest {
 protected:
  void SetUp() override {
    OrdersTest::SetUp();
    // The balance the check recomputes is 总金额 less what was collected.
    host_.Exec("update WSDJ set 总金额=应收合计");
    host_.Exec("insert into PDMGY (雇员ID,雇员编码,姓名) values (5,'G05','王五')");
    receipt_.Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(receipt_.Init(host_.System(), kReceiptProgram, 0));
  }
  forms::Field& F(int index) { return receipt_.Header(index); }
  forms::Grid& Grid() { return receipt_.Lines().Grid(); }
  void Type(int index, const std::string& text) {
    ASSERT_TRUE(Input::Type(F(index), text)) << index;
  }
  void Cell(int row, int col, const std::string& text) {
    ASSERT_TRUE(Input::EditCell(Grid(), row, col, text)) << row << "," << col;
  }
  // Presses the choose button; the cashier confirms the chooser's proposal.
  void ChooseProposed() {
    host_.Dialogs().SetModalHandler([](host::IModalForm& form) {
      EXPECT_TRUE(Input::Click(form.Form().Get<forms::CommandButton>("btn", 0)));
      return true;
    });
    ASSERT_TRUE(Input::Click(receipt_.Form().Get<forms::Widget>(JS_S::kSelectButton)));
  }
  // A new receipt of customer 1 for the amount, written off as the chooser proposes.
  void NewReceipt(const std::string& amount) {
    ASSERT_TRUE(receipt_.FileNew());
    Type(JS_S::kCustomer, "顺达");
    Type(JS_S::kAmount, amount);
    ChooseProposed();
  }
  int64_t Count(const std::string& table) {
    return host_.Scalar("select count(*) from " + table).ToLong();
  }
  // "补收金额/余额" of an order.
  std::string Balance(int64_t orderId) {
    return host_.RowText("select 补收金额, 余额 from WSDJ where 单据ID=" + std::to_string(orderId));
  }
  // Order WS007 of customer 1, its oldest debt, owing `amount`.
  void AddOrder7(const std::string& amount) {
    host_.Exec(
        "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,总金额,"
        "余额) values (7,200001,'02','WS007',1,1,'2012-01-02'," +
        amount + "," + amount + "," + amount + ")");
  }
  std::string Smark(int64_t id) {
    return host_.Scalar("select smark from ARPReceive where 单据ID=" + std::to_string(id)).ToText();
  }
  std::string Lines(int64_t receiptId) {
    return host_.Joined(
        "select 序号, 源单ID, 结算金额, 本币结算金额, 折扣金额, 会计期间 from ARPReceiveMx "
        "where 单据ID=" +
            std::to_string(receiptId) + " order by 序号",
        " ");
  }
  std::string LastBox() { return money::LastBox(host_); }

  JS_S receipt_;
};

TEST_F(ReceiptDocumentTest, AReceiptIsWrittenOffOldestFirstSavedShownAgainAndAppliedByItsCheck) {
  NewReceipt("1000");
  Type(JS_S::kSalesman, "王五");
  Type(JS_S::kRounding, "0.5");
  ASSERT_TRUE(receipt_.FileSave());
  const int64_t id = receipt_.GetID();
  EXPECT_EQ(host_.Sink().Messages().back(), "保存数据成功,单据编号：" + F(JS_S::kNumber).Text());
  const std::string where = " from ARPReceive where 单据ID=" + std::to_string(id);
  EXPECT_EQ(
      host_.RowText("select progID, smark, status, 往来ID, 单据日期, 会计期间, 总金额" + where),
      "200004/01/填单/1/2012-06-15/201206/1000");
  EXPECT_EQ(Lines(id), "0001/2/600/600/0/0 0002/1/300/300/0/0 0003/6/100/100/0/0");
  EXPECT_EQ(Balance(2), "0/600") << "saving never touches the orders";

  // Shown again: every column as saved, the lines read again through their orders.
  JS_S shown;
  ASSERT_TRUE(shown.Init(host_.System(), kReceiptProgram, id) && shown.Refresh());
  ASSERT_EQ(shown.GetID(), id);
  std::string texts;
  for (int index : {JS_S::kCustomer, JS_S::kSalesman, JS_S::kAmount, JS_S::kRounding}) {
    texts += shown.Header(index).Key() + ":" + shown.Header(index).Text() + "/";
  }
  EXPECT_EQ(texts, "1:顺达物流(应收)/5:王五/:1000/:0.5/");
  EXPECT_EQ(shown.Lines().Grid().TextMatrix(2, R::kColReceived), "100")
      << "60 + 30 collected, 10 written off";

  // Each check adds the lines once (with what the order collected on the spot), each uncheck
  // takes them back once.
  for (int round = 0; round < 2; ++round) {
    ASSERT_TRUE(receipt_.Check());
    EXPECT_EQ(host_.RowText("select smark, status, 审核人" + where), "02/审核/测试员");
    EXPECT_EQ(Balance(2) + " " + Balance(1) + " " + Balance(6), "600/0 330/10 100/400");
    EXPECT_FALSE(receipt_.Check());
    EXPECT_FALSE(receipt_.FileSave()) << "a checked receipt is not saved over";
    EXPECT_EQ(Balance(1), "330/10");
    ASSERT_TRUE(receipt_.UnCheck());
    EXPECT_EQ(Balance(2) + " " + Balance(1) + " " + Balance(6), "0/600 30/310 0/500");
    EXPECT_FALSE(receipt_.UnCheck());
  }

  // A checked receipt has changed its orders and stays; an entered one goes with its lines.
  ASSERT_TRUE(receipt_.Check());
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_FALSE(receipt_.FileDelete());
  EXPECT_EQ(Count("ARPReceiveMx"), 3);
  ASSERT_TRUE(receipt_.UnCheck());
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  receipt_.FileDelete();
  EXPECT_EQ(Count("ARPReceive where 单据ID=" + std::to_string(id)) + Count("ARPReceiveMx"), 0);
}

// An order of 0.80 paid by receipts of 0.70 and 0.10 owes exactly nothing on either engine: it
// is offered for no further receipt, and a receipt can no longer be started from it.
TEST_F(ReceiptDocumentTest, PaidInTwoReceiptsAnOrderOwesExactlyNothing) {
  AddOrder7("0.8");  // each receipt's amount goes to it first
  for (const char* amount : {"0.7", "0.1"}) {
    NewReceipt(amount);
    EXPECT_EQ(Grid().TextMatrix(1, R::kColOrderId) + " " + Grid().TextMatrix(1, R::kColWriteOff),
              std::string("7 ") + amount);
    ASSERT_TRUE(receipt_.FileSave() && receipt_.Check()) << amount;
  }
  // 0.8 - 0 - (0.7 + 0.1) - 0 is 0, not the 1.1e-16 binary reals leave.
  EXPECT_EQ(
      host_.Scalar("select count(*) from WSDJ where 单据ID=7 and 余额=0 and 补收金额=0.8").ToLong(),
      1);
  EXPECT_FALSE(receipt_.NewForOrder(7));
  EXPECT_TRUE(host_.Dialogs().Asked(JS_S::kNoBalanceText));
}

// Money the receipt collects is taken to the fen as it is typed: an amount of 100.005 is
// 100.01, a write-off of 0.333 is 0.33, and the total label sums what will be stored.
TEST_F(ReceiptDocumentTest, TypedMoneyIsTakenToTheFen) {
  NewReceipt("100.005");
  EXPECT_EQ(F(JS_S::kAmount).Text(), "100.01");
  EXPECT_EQ(Grid().TextMatrix(1, R::kColWriteOff), "100.01") << "WS002, the oldest, owes 600";
  Cell(1, R::kColWriteOff, "0.333");
  EXPECT_EQ(Grid().TextMatrix(1, R::kColWriteOff), "0.33");
  Type(JS_S::kRounding, "0.125");
  EXPECT_EQ(F(JS_S::kRounding).Text(), "0.13");
}

// With more owed orders than the chooser's row limit (100), a receipt still pays the oldest
// debts: 900 is WS002's 600 (2012-04-01) and WS001's 300 (2012-05-01), whatever 100 newer
// orders of 10 each are owed besides.
TEST_F(ReceiptDocumentTest, BeyondTheRowLimitTheOldestDebtsArePaidFirst) {
  std::string values;
  for (int id = 101; id <= 200; ++id) {
    values += std::string(values.empty() ? "" : ",") + "(" + std::to_string(id) +
              ",200001,'02','WX" + std::to_string(id) + "',1,1,'2012-06-10',10,10,10)";
  }
  host_.Exec(
      "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,总金额,余额) "
      "values " +
      values);
  NewReceipt("900");
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Lines(receipt_.GetID()), "0001/2/600/600/0/0 0002/1/300/300/0/0");
}

// A discount is a write-off too: a line of nothing collected and 150 discounted on an order
// that owes 100 would leave it owing -50, so the check refuses and changes nothing.
TEST_F(ReceiptDocumentTest, ADiscountBeyondTheBalanceIsRefusedAtTheCheck) {
  AddOrder7("100");
  ASSERT_TRUE(receipt_.NewForOrder(7));
  Cell(1, R::kColWriteOff, "0");
  // The discount has no column of its own on screen: the host fills the hidden cell.
  Grid().SetTextMatrix(1, R::kColDiscount, "150");
  Type(JS_S::kAmount, "0");
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Lines(receipt_.GetID()), "0001/7/0/0/150/0");
  EXPECT_FALSE(receipt_.Check());
  EXPECT_EQ(LastBox(), "维修单WS007的余额不足，核销后余额将小于零，不能审核！|收款单");
  EXPECT_EQ(host_.RowText("select 补收金额, 扣减金额, 余额 from WSDJ where 单据ID=7"), "0/0/100");
  EXPECT_EQ(Smark(receipt_.GetID()), "01");
}

// Started from an order, a receipt holds the line the chooser proposes when the amount is that
// order's balance (WS002 is the oldest), for that amount; orders it would not list are refused.
TEST_F(ReceiptDocumentTest, NewForOrderFillsWhatTheChooserGivesAndRefusesWhatItHides) {
  NewReceipt("600");
  const std::string chosen = test::FormValues(receipt_.Form(), F(JS_S::kNumber));
  ASSERT_TRUE(receipt_.NewForOrder(2));
  EXPECT_EQ(test::FormValues(receipt_.Form(), F(JS_S::kNumber)), chosen);
  ASSERT_TRUE(receipt_.FileSave());
  for (auto [order, told] : {std::pair{3, framework::kUncheckedOrderText},
                             {5, JS_S::kNoBalanceText},
                             {99, framework::kUnknownOrderText}}) {
    EXPECT_FALSE(receipt_.NewForOrder(order));
    EXPECT_TRUE(host_.Dialogs().Asked(told)) << order;
  }
}

TEST_F(ReceiptDocumentTest, RefusedSavesSayWhyAndWriteNothing) {
  // May is closed; the receipt reads the periods once, at its first save.
  ASSERT_EQ(host_.System().SetOption(12, std::string("Jzperiod"), "201205"), "");
  const int64_t receipts = Count("ARPReceive");
  auto refused = [&](const std::string& message) {
    host_.Dialogs().Clear();
    EXPECT_FALSE(receipt_.FileSave()) << message;
    const auto errors = host_.Sink().ErrMessages();
    EXPECT_TRUE(host_.Dialogs().Asked(message) ||
                (!errors.empty() && errors.back().find(message) != std::string::npos))
        << message;
    EXPECT_EQ(Count("ARPReceive") * 100 + Count("ARPReceiveMx"), receipts * 100);
    EXPECT_TRUE(receipt_.Editing()) << "the cashier keeps what was typed";
  };
  ASSERT_TRUE(receipt_.FileNew());
  refused("往来单位不能为空，请修改后重试！");
  Type(JS_S::kCustomer, "顺达");
  Type(JS_S::kAmount, "1000");
  refused("总金额与核销金额总合不相等，请检查!");  // no order chosen
  ChooseProposed();
  Cell(3, R::kColWriteOff, "99.99");
  refused("总金额与核销金额总合不相等，请检查!");
  Cell(3, R::kColWriteOff, "99.9999");  // 0.0001 apart is a match
  // The field typed, its text and the refusal (nullptr: none).
  const std::tuple<int, const char*, const char*> typed[] = {
      {JS_S::kDate, "2012-07-20", "大于当前结帐会计期间[201206],不能进行保存"},
      {JS_S::kDate, "2012-05-20", "该会计期间已经进行结帐，不能进行保存"},
      {JS_S::kDate, "2012-06-12", nullptr},
      {JS_S::kNumber, "SK060", "收款单号重复,请检查后重试!"},
      {JS_S::kNumber, "", "收款单号不能为空，请输入后重试!  "}};
  for (const auto& [field, text, message] : typed) {
    Type(field, text);
    if (message) refused(message);
  }
  // The money fields take numbers only (the parser has its own tests): "abc" is no empty receipt.
  Type(JS_S::kNumber, "SK061");
  for (int index : {JS_S::kAmount, JS_S::kRounding}) {
    Type(index, "abc");
    refused(F(index).Caption() + "输入有误，请重新输入！");
    Type(index, index == JS_S::kAmount ? "1000" : "");
  }
  EXPECT_TRUE(receipt_.FileSave()) << "corrected, the same receipt saves";
  EXPECT_EQ(Count("ARPReceiveMx"), 3);
}

TEST_F(ReceiptDocumentTest, EditingAndChoosingReplaceEveryLineButOnlyASavedReceiptIsChecked) {
  EXPECT_FALSE(receipt_.FileEdit());
  EXPECT_EQ(LastBox(), "请选择具体的单据|提示:");
  ASSERT_TRUE(receipt_.FileNew());
  Type(JS_S::kCustomer, "顺达");
  Type(JS_S::kAmount, "1000");
  ChooseProposed();
  ASSERT_TRUE(receipt_.FileSave());
  const int64_t id = receipt_.GetID();
  const std::string ids = "select 单据明细ID from ARPReceiveMx where 单据ID=" + std::to_string(id);
  const std::string firstIds = host_.Joined(ids);

  // A receipt being edited is not checked: the window shows what is not saved.
  ASSERT_TRUE(receipt_.FileEdit());
  Cell(1, R::kColWriteOff, "500");
  const size_t boxes = host_.Dialogs().Boxes().size();
  EXPECT_FALSE(receipt_.Check());
  EXPECT_EQ(host_.Dialogs().Boxes().size(), boxes + 1) << "the clerk is told";
  EXPECT_EQ(Smark(id), "01");
  EXPECT_EQ(Balance(2), "0/600");
  EXPECT_TRUE(receipt_.Editing()) << "the unsaved change stays";
  Cell(1, R::kColWriteOff, "600");

  // Removing one saved row deletes exactly that line.
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  ASSERT_TRUE(Input::DeleteRow(Grid(), 2));
  Type(JS_S::kAmount, "700");
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Lines(id), "0001/2/600/600/0/0 0002/6/100/100/0/0");

  // Choosing again for 900 drops both saved lines and writes the new proposal.
  ASSERT_TRUE(receipt_.FileEdit());
  Type(JS_S::kAmount, "900");
  ChooseProposed();
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Lines(id), "0001/2/600/600/0/0 0002/1/300/300/0/0");
  EXPECT_EQ(host_.Joined(ids).find(firstIds.substr(0, firstIds.find(','))), std::string::npos)
      << "the old lines are gone, not updated";
}

class ChoosersTest : public OrdersTest {
 protected:
  // What the user does while the dialog is shown; the last action closes it.
  void WhileShown(std::function<void(host::IModalForm&)> act) {
    host_.Dialogs().SetModalHandler([act](host::IModalForm& form) {
      act(form);
      EXPECT_TRUE(form.IsClosed());
      return true;
    });
  }
  static bool Press(host::IModalForm& form, int button) {
    return Input::Click(form.Form().Get<forms::CommandButton>("btn", button)).accepted;
  }
  // The 工单号码 of every row the statement lists, in order.
  Texts Orders(const db::Sql& sql) {
    std::string error;
    auto rs = db::Runner(host_.Db()).Open(sql, &error);
    EXPECT_EQ(error, "") << sql.Literal();
    Texts out;
    for (; !rs->Eof(); rs->MoveNext()) out.push_back(rs->Text("工单号码"));
    return out;
  }
  // "补收金额/扣减金额/余额" of an order.
  std::string Amounts(int64_t id) {
    return host_.RowText("select 补收金额,扣减金额,余额 from WSDJ where 单据ID=" +
                         std::to_string(id));
  }
  std::string Run(const std::vector<db::Sql>& statements) {
    db::Transaction tx(host_.Db());
    for (const auto& sql : statements) {
      if (!tx.Run(sql)) break;
    }
    return tx.Commit() ? "" : tx.Error();
  }
};

TEST_F(ChoosersTest, ReceivableChooserProposesTheAmountAndHandsOverTheTickedRows) {
  frmSel_AR_Rec dialog;
  std::vector<std::string> chosen;
  dialog.EvHasSelect = [&](const std::vector<ChosenOrder>& rows) {
    for (const auto& o : rows) {
      chosen.push_back(o.orderNumber + " " + o.dateIn + " " + o.plate + o.engine + " " +
                       o.total.Text() + " " + o.received.Text() + " " + o.balance.Text() + " " +
                       o.writeOff.Text() + " " + std::to_string(o.orderId) + " " +
                       std::to_string(o.programId));
    }
  };
  WhileShown([&](host::IModalForm& form) {
    forms::Grid& grid = dialog.Grid();
    EXPECT_EQ(dialog.Filter(frmSel_AR_Rec::kCustomer).Text(), "顺达物流(应收)");
    // Oldest first (by entry date); the amount goes top to bottom: 600, 300, and the 100 left.
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColNumber), (Texts{"WS002", "WS001", "WS000"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColChosen), (Texts{"√", "√", "√"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColWriteOff), (Texts{"600", "300", "100"}));
    // The clerk leaves the newest order for later (a double click and a tick untick alike) and
    // takes less on the second.
    ASSERT_TRUE(Input::DoubleClick(grid, 3));
    ASSERT_TRUE(Input::EditCell(grid, 3, frmSel_AR_Rec::kColChosen, "√"));
    ASSERT_TRUE(Input::EditCell(grid, 3, frmSel_AR_Rec::kColChosen, ""));
    ASSERT_TRUE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColWriteOff, "250"));
    EXPECT_FALSE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColBalance, "1"))
        << "only the write-off may be typed over";
    // An amount typed in the chooser goes over the rows ticked, oldest first.
    EXPECT_EQ(dialog.Filter(frmSel_AR_Rec::kAmountSlot).Text(), "1000");
    ASSERT_TRUE(Input::Type(dialog.Filter(frmSel_AR_Rec::kAmountSlot), "700"));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColWriteOff), (Texts{"600", "100", ""}));
    ASSERT_TRUE(Press(form, 0));
  });
  dialog.py_Init(host_.System(), 1, db::Amount::Of("1000"));
  EXPECT_EQ(chosen, (Texts{"WS002 2012-04-01 京A12345E1 600 0 600 600 2 200001",
                           "WS001 2012-05-01 京A12345E1 400 100 300 100 1 200001"}));
  EXPECT_EQ(dialog.Amount().Text(), "700");
}

TEST_F(ChoosersTest, SettlementChooserAnswersTheSelectedOrderAndStoresTheChosenView) {
  frmSelWsJs dialog;
  WhileShown([&](host::IModalForm& form) {
    // By work-order number; order 2 belongs to settlement 50, which is the one being edited.
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColNumber),
              (Texts{"WS000", "WS001", "WS002", "WS004", "WS005"}));
    // One order is settled: a tick moves from row to row, and wins over the current row.
    ASSERT_TRUE(Input::EditCell(dialog.Grid(), 4, frmSelWsJs::kColChosen, "√"));
    ASSERT_TRUE(Input::EditCell(dialog.Grid(), 2, frmSelWsJs::kColChosen, "√"));
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColChosen), (Texts{"", "√", "", "", ""}));
    ASSERT_TRUE(Input::SelectRow(dialog.Grid(), 3) && Press(form, 0));
  });
  auto result = dialog.py_SubProgram(host_.System(), 200003, 0, 50);
  ASSERT_EQ(result.size(), 1u) << "the one selected row";
  const framework::clsSelWS& row = result[0].row;
  EXPECT_EQ(result[0].key + " " + row.i工单号码() + " " + row.i进厂日期() + " " + row.i客户名称() +
                " " + row.i车牌号码() + row.i车型() + " " + std::to_string(row.i客户ID()) + " " +
                std::to_string(row.iprogid()) + " " + std::to_string(row.i单据ID()),
            "k1 WS001 2012-05-01 顺达物流 京A12345桑塔纳 1 200001 1");

  // The view options hide columns; the choice of view is stored.
  frmSelWsJs viewed;
  WhileShown([&](host::IModalForm& form) {
    auto& brief = form.Form().Get<forms::OptionButton>(frmSelWsJs::kViewOption, 1);
    EXPECT_FALSE(brief.Checked()) << "every opening starts with every column";
    ASSERT_TRUE(Input::Click(brief));
    for (int col = frmSelWsJs::kColModel; col <= frmSelWsJs::kColInspection; ++col) {
      EXPECT_TRUE(viewed.Grid().ColHidden(col)) << col;
    }
    EXPECT_FALSE(viewed.Grid().ColHidden(frmSelWsJs::kColPlate));
    form.Dismiss();
  });
  EXPECT_TRUE(viewed.py_SubProgram(host_.System(), 200003, 0, 0).empty());
  EXPECT_EQ(host_.System().UserSettings().Get("WS_SelWs", ""), "1");
}

// A filter names only the fields a case narrows by; the others keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// The settlement chooser offers checked orders no other settlement holds; the receivable
// chooser one customer's checked orders with a balance, settled or not. The settlement's by
// work-order number, the receipt's by entry date and then number: oldest debt first.
TEST_F(ChoosersTest, ChoosersListTheirOrdersInEitherDialect) {
  using S = SettlementChooserFilter;
  using R = ReceivableChooserFilter;
  const std::pair<S, Texts> settlement[] = {
      {{}, {"WS000", "WS001", "WS004", "WS005"}},
      // The settlement of order 2, being edited, still sees its order.
      {{.settlementId = 50}, {"WS000", "WS001", "WS002", "WS004", "WS005"}},
      {{.dateFrom = "2012-05-01", .dateTo = "2012-05-31", .customerId = 1}, {"WS001", "WS005"}},
      // The row limit keeps the first numbers.
      {{.rows = 2}, {"WS000", "WS001"}},
  };
  const std::pair<R, Texts> receivable[] = {
      {{.customerId = 1}, {"WS002", "WS001", "WS000"}},
      {{.customerId = 1, .vehicleId = 1}, {"WS002", "WS001"}},
      {{.dateFrom = "2012-04-02", .customerId = 1, .vehicleId = 1}, {"WS001"}},
      {{.orderNumber = "WS004"}, {"WS004"}},
  };
  for (const char* driver : {"", "jet"}) {
    host_.Db().SetSetting("driver", driver);
    for (const auto& [filter, names] : settlement) {
      EXPECT_EQ(Orders(SettlementChooserSelect(filter, driver)), names) << driver;
    }
    for (const auto& [filter, names] : receivable) {
      EXPECT_EQ(Orders(ReceivableChooserSelect(filter, driver)), names) << driver;
    }
  }
}
#pragma GCC diagnostic pop

// What each order takes of the amount, "-" for an order left unticked.
TEST(AllocateReceipt, StopsWhereTheAmountRunsOut) {
  const std::tuple<const char*, std::vector<const char*>, std::string> cases[] = {
      {"1000", {"600", "300", "500"}, "600 300 100"},
      {"0", {"600", "300"}, "- -"},
      {"900", {"600", "300", "500"}, "600 300 -"},  // exactly used up: the third is not ticked
      {"0.3", {"0.1", "0.2", "5"}, "0.1 0.2 -"},    // so also in tenths
      {"2000", {"600", "300"}, "600 300"},          // more than owed: every order is paid in full
  };
  for (const auto& [amount, balanceTexts, taken] : cases) {
    std::vector<db::Amount> balances;
    for (const char* text : balanceTexts) balances.push_back(db::Amount::Of(text));
    std::string out;
    for (const auto& row : AllocateReceipt(db::Amount::Of(amount), balances)) {
      out += (out.empty() ? "" : " ") + (row.chosen ? row.amount.Text() : "-");
      EXPECT_TRUE(row.chosen || row.amount.IsZero()) << amount;
    }
    EXPECT_EQ(out, taken) << amount;
  }
}

TEST_F(ChoosersTest, CheckAppliesLineAfterLineSkipsLinesWithoutAnOrderAndIsAllOrNothing) {
  host_.Exec("update WSDJ set 总金额=应收合计");
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,status,单据编号) "
      "values (30,200004,'01','填单','SK001')");
  // A correcting line of -50 must not become "补收金额  - -50", a comment.
  auto line = [](int64_t order, const char* amount, const char* discount) {
    return WriteOff{order, db::Amount::Of(amount), db::Amount::Of(discount)};
  };
  ReceiptDocument receipt{
      30,
      200004,
      {line(1, "200", "0"), line(0, "999", "999"), line(1, "50", "20"), line(6, "-50", "0")}};
  // The receipt's mark first, then every line on its order, as the receipt's check runs them.
  auto statements = [&](bool check) {
    std::vector<db::Sql> out{check ? CheckMarkUpdate(200004, 30, {"u", {2012, 6, 12}}, "")
                                   : UnCheckMarkUpdate(200004, 30, "")};
    for (db::Sql& sql : WriteOffStatements(receipt, check ? +1 : -1)) out.push_back(sql);
    return out;
  };
  const std::vector<db::Sql> check = statements(true);
  ASSERT_EQ(Run(check), "");
  EXPECT_EQ(Amounts(1), "280/20/40");  // 400 - 60 - (30 + 250) - 20
  EXPECT_EQ(Amounts(6), "-50/0/550");
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=30").ToText(), "02");
  ASSERT_EQ(Run(statements(false)), "");
  EXPECT_EQ(Amounts(1) + " " + Amounts(6), "30/0/310 0/0/500");

  host_.RefuseOn("order_6_locked", "WSDJ", "UPDATE", "order 6 is locked", "old.单据ID=6");
  EXPECT_NE(Run(check).find("order 6 is locked"), std::string::npos);
  EXPECT_EQ(host_.Scalar("select smark from ARPReceive where 单据ID=30").ToText(), "01");
  EXPECT_EQ(Amounts(1), "30/0/310") << "the first lines were rolled back with the rest";
}

}  // namespace
}  // namespace ws::money
