// Saving, deleting, checking and unchecking settlements through the document: every header
// column round trip, the fee row and lines, the period rule, the number rules and the voucher.
#include "settlement_fixture.h"

namespace ws::settlement {
namespace {

using docs::LineKind;
using Col = repair_order::LineGrid::Column;

class SettlementSaveTest : public SettlementTest {
 protected:
  void SetUp() override {
    SettlementTest::SetUp();
    host_.Exec("insert into PDMGY (雇员ID,姓名) values (4,'赵六')");
    host_.Exec("insert into PDMSJZD (ID,名称) values (2,'转账支票')");
  }
  // The new settlement of TypeNew, with everything a user can give it, saved.
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
  std::string Where(int64_t id) { return " where 单据ID=" + std::to_string(id); }
};

TEST_F(SettlementSaveTest, EveryColumnIsWrittenAndShownAgainAndResavesUpdateInPlace) {
  ASSERT_TRUE(Start());
  const int64_t id = SaveFull();
  ASSERT_GT(id, 0);
  EXPECT_EQ(host_.Sink().Messages().back(), "保存数据成功,单据编号：JS-0001");
  EXPECT_FALSE(doc_.Editing());
  const std::string where = " from ARPReceive" + Where(id);
  EXPECT_EQ(host_.RowText("select progID, smark, status, 单据编号" + where),
            "200003/01/填单/JS-0001");
  EXPECT_EQ(host_.RowText("select 往来ID, 业务员ID, 结算方式ID, 科目ID, 前置单据ID" + where),
            "1/4/2/1/10");
  EXPECT_EQ(host_.RowText("select 单据日期, 会计期间, 制单人, 制单日期" + where),
            "2012-06-15/201206/测试员/2012-06-15");
  EXPECT_EQ(host_.RowText("select 总金额, 扣零金额, 摘要, 备注" + where),
            "300/7.5/六月结算/现金付讫");
  EXPECT_EQ(host_.RowText("select 维修费用, 配件费用, 诊断费, 检测费, 管理费 from ARPReceive_FY" +
                          Where(id)),
            "300/98/15/5/9.8");
  EXPECT_EQ(Count("select count(*) from ARPReceive_XM" + Where(id)), 2);
  EXPECT_EQ(Count("select count(*) from ARPReceive_PJ" + Where(id)), 2);
  EXPECT_EQ(host_.Joined("select 项目ID, 数量, 金额, 说明 from ARPReceive_XM order by 单据明细ID"),
            "1/2/100/全合成,2/1/200/");

  // Shown again: the saved values, the lookups' texts, the lines with their ids.
  JS_WS shown([](host::ISystem&, int64_t, int64_t, int64_t) { return ChosenRepairOrder{}; });
  ASSERT_TRUE(shown.Init(host_.System(), kSettlementProgram, id));
  ASSERT_TRUE(shown.RecordBottom());
  EXPECT_EQ(shown.Header(JS_WS::kNumber).Text(), "JS-0001");
  EXPECT_EQ(shown.Header(JS_WS::kSalesman).Text(), "赵六");
  EXPECT_EQ(shown.Header(JS_WS::kMethod).Text(), "转账支票");
  EXPECT_EQ(shown.Header(JS_WS::kAccount).Text(), "库存现金");
  EXPECT_EQ(shown.Header(JS_WS::kAccount).Key(), "1");
  EXPECT_EQ(shown.Header(JS_WS::kOrderNumber).Text(), "WS010");
  EXPECT_EQ(shown.Header(JS_WS::kOwner).Key(), "1");
  EXPECT_EQ(shown.Header(JS_WS::kSummary).Text(), "六月结算");
  EXPECT_EQ(shown.Header(JS_WS::kReceived).Text(), "307.5");
  EXPECT_EQ(shown.Header(JS_WS::kOwed).Text(), "120.3");
  EXPECT_EQ(shown.Header(JS_WS::kEntryDate).Text(), "2012-06-15");
  // The repair order's remark is what a shown settlement displays.
  EXPECT_EQ(shown.Header(JS_WS::kRemarks).Text(), "左前门有划痕");
  EXPECT_EQ(shown.Lines(LineKind::Items).Grid().TextMatrix(1, Col::kLineId),
            Text("select min(单据明细ID) from ARPReceive_XM"));

  // A resave updates the header, rewrites the one fee row and updates the lines; a removed
  // line is deleted.
  ASSERT_TRUE(doc_.FileEdit());
  auto removed = forms::Input::DeleteRow(Grid(LineKind::Items), 2);
  ASSERT_TRUE(removed) << removed.reason;
  auto edited = forms::Input::EditCell(Grid(LineKind::Items), 1, Col::kQuantity, "3");
  ASSERT_TRUE(edited) << edited.reason;
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(doc_.GetID(), id);
  EXPECT_EQ(Count("select count(*) from ARPReceive"), 1);
  EXPECT_EQ(Count("select count(*) from ARPReceive_FY"), 1);
  EXPECT_EQ(Count("select 维修费用 from ARPReceive_FY"), 150);
  EXPECT_EQ(host_.Joined("select 项目ID, 数量 from ARPReceive_XM"), "1/3");
  EXPECT_EQ(Count("select count(*) from ARPReceive_PJ"), 2);
}

TEST_F(SettlementSaveTest, ChoosingTheOrderAgainReplacesTheSavedLines) {
  ASSERT_TRUE(Start());
  const int64_t id = SaveFull();
  ASSERT_TRUE(doc_.FileEdit());
  Choose();
  EXPECT_EQ(chooserSettlementIds_.back(), id) << "the settlement still sees its own order";
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Count("select count(*) from ARPReceive_XM"), 2);
  EXPECT_EQ(Count("select count(*) from ARPReceive_PJ"), 2);
  // A settlement shown read-only keeps its order.
  const size_t chosen = chooserSettlementIds_.size();
  doc_.ChooseRepairOrder();
  EXPECT_EQ(chooserSettlementIds_.size(), chosen);
}

TEST_F(SettlementSaveTest, AmountsTypedAsTextAreSavedAsNothing) {
  ASSERT_TRUE(Start());
  TypeNew();
  Type(JS_WS::kCollected, "三百");
  Type(JS_WS::kInspection, "x");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Count("select 总金额 from ARPReceive"), 0);
  EXPECT_EQ(Count("select 检测费 from ARPReceive_FY"), 0);
}

TEST_F(SettlementSaveTest, ThePeriodOfTheDateDecidesWhetherItSaves) {
  ASSERT_TRUE(Start());
  // The 25th closes June: saved in 2012-06 without a question.
  TypeNew("2012-06-25");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Count("select 会计期间 from ARPReceive"), 201206);
  EXPECT_TRUE(Boxes().empty());
  // An order is settled once: the entries below settle it as if this one were not there.
  host_.Exec("update ARPReceive set 前置单据ID=0");

  // The 26th belongs to July, after the current period.
  TypeNew("2012-06-26");
  Type(JS_WS::kNumber, "JS-2");
  EXPECT_FALSE(doc_.FileSave());
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(
      Boxes().back(),
      "当前操作日期所在的会计期间为[201207],大于当前结帐会计期间[201206],不能进行保存，请检查！");
  // A closed period.
  Type(JS_WS::kDate, "2012-03-10");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(Boxes().back(),
            "当前操作日期所在的会计期间为[201203]该会计期间已经进行结帐，不能进行保存，请检查！");
  // An earlier open period asks; No refuses, Yes saves and is not asked again.
  Type(JS_WS::kDate, "2012-05-10");
  host_.Dialogs().Queue(host::MsgAnswer::No);
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(Boxes().back(),
            "当前操作日期所在的会计期间为[201205],而当前总帐的会计期间为[201206],确认对会计期间["
            "201205]的总帐进行变更？？");
  EXPECT_EQ(Count("select count(*) from ARPReceive"), 1);
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  ASSERT_TRUE(doc_.FileSave());
  const size_t asked = Boxes().size();
  ASSERT_TRUE(doc_.FileEdit());
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(Boxes().size(), asked) << "the answer holds for the control's life";
  EXPECT_EQ(Count("select count(*) from ARPReceive where 会计期间=201205"), 1);
}

TEST_F(SettlementSaveTest, AfterTheClosingDayDecemberBelongsToNextJanuary) {
  ASSERT_EQ(host_.System().SetParameter(12, 1, "201301"), "");
  ASSERT_TRUE(Start());
  TypeNew("2012-12-26");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_TRUE(Boxes().empty()) << "January is the current period";
  EXPECT_EQ(Count("select 会计期间 from ARPReceive"), 201301);
}

TEST_F(SettlementSaveTest, NumbersMustBeGivenAndUniqueWithinTheProgram) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号) values (90,200003,'01','JS-9'),"
      "(91,200004,'01','SK-1')");
  ASSERT_TRUE(Start());
  // No repair order chosen.
  ASSERT_TRUE(doc_.FileNew());
  Type(JS_WS::kNumber, "JS-1");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(Boxes().back(), "工单号码不能为空，请选择后重试！");

  TypeNew();
  Type(JS_WS::kNumber, "  ");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_TRUE(host_.Sink().HasErrMessage("收款单号不能为空，请输入后重试!  "));
  Type(JS_WS::kNumber, "JS-9");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(Boxes().back(), "收款单号重复,请检查后重试!");
  EXPECT_EQ(Count("select count(*) from ARPReceive"), 2);
  EXPECT_EQ(Count("select count(*) from ARPReceive_FY"), 0) << "nothing of the refused save";

  // A receipt's number is another program's.
  Type(JS_WS::kNumber, "SK-1");
  ASSERT_TRUE(doc_.FileSave());
  // A saved settlement keeps its own number but may not take another's.
  ASSERT_TRUE(doc_.FileEdit());
  ASSERT_TRUE(doc_.FileSave());
  ASSERT_TRUE(doc_.FileEdit());
  Type(JS_WS::kNumber, "JS-9");
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(Boxes().back(), "收款单号重复,请检查后重试!");
}

TEST_F(SettlementSaveTest, DeleteRemovesTheHeaderAndItsFourDetailTables) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号) values (90,200003,'01','JS-9')");
  host_.Exec("insert into ARPReceive_FY (单据ID,维修费用) values (90,1)");
  ASSERT_TRUE(Start());
  const int64_t id = SaveFull();
  host_.Exec("insert into ARPReceiveMx (单据明细ID,单据ID,源单ID) values (1," + std::to_string(id) +
             ",10)");
  ASSERT_TRUE(doc_.RecordBottom());
  ASSERT_EQ(doc_.GetID(), id);
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_TRUE(doc_.FileDelete());
  for (const char* table :
       {"ARPReceive", "ARPReceiveMx", "ARPReceive_FY", "ARPReceive_XM", "ARPReceive_PJ"}) {
    EXPECT_EQ(Count(std::string("select count(*) from ") + table + Where(id)), 0) << table;
  }
  EXPECT_EQ(Count("select count(*) from ARPReceive_FY where 单据ID=90"), 1) << "another's stays";
}

TEST_F(SettlementSaveTest, CheckUncheckCheckLeavesOneVoucher) {
  ASSERT_TRUE(Start());
  const int64_t id = SaveFull();
  ASSERT_TRUE(doc_.Check());
  const std::string where = " from ARPReceive" + Where(id);
  EXPECT_EQ(host_.RowText("select smark, status, 审核人" + where), "02/审核/测试员");
  EXPECT_EQ(doc_.Form().Get<forms::Widget>(JS_WS::kCheckedStamp).Visible(), true);
  // Debits: the five fees, the cash 300 and the write-off 7.5; credits: 307.5 over the
  // labour fee.
  const std::string vouchers =
      " from gl_accvouch where 前置单据=200003 and 前置单据ID=" + std::to_string(id);
  const int64_t lines = Count("select count(*)" + vouchers);
  EXPECT_EQ(lines, 9);
  EXPECT_EQ(Text("select sum(借方金额)" + vouchers), "735.3");
  EXPECT_EQ(
      host_.Joined("select 科目编码, 贷方金额" + vouchers + " and 贷方金额 > 0 order by 科目编码"),
      "113101/300,113102/7.5");

  EXPECT_FALSE(doc_.Check()) << "a checked settlement is not checked again";
  ASSERT_TRUE(doc_.UnCheck());
  EXPECT_EQ(host_.RowText("select smark, status, 审核人, 审核日期" + where), "01/填单//1900-01-01");
  EXPECT_EQ(Count("select count(*)" + vouchers), lines) << "the voucher waits for the next check";
  ASSERT_TRUE(doc_.Check());
  EXPECT_EQ(Count("select count(*)" + vouchers), lines);
  EXPECT_EQ(Count("select count(distinct autoid)" + vouchers), lines);
}

}  // namespace
}  // namespace ws::settlement
