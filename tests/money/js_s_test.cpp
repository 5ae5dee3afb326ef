// The receipt document driven as a cashier drives it: customer, amount, the chooser's proposal,
// save, check and uncheck against the orders, refusals that write nothing, reload and delete.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "forms/input.h"
#include "money/js_s.h"
#include "orders_fixture.h"
#include "support/form_values.h"

namespace ws::money {
namespace {

using forms::Input;
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
  std::string Lines(int64_t receiptId) {
    return host_.Joined(
        "select 序号, 源单ID, 结算金额, 本币结算金额, 折扣金额, 会计期间 from ARPReceiveMx "
        "where 单据ID=" +
            std::to_string(receiptId) + " order by 序号",
        " ");
  }
  std::string LastBox() {
    const auto& boxes = host_.Dialogs().Boxes();
    return boxes.empty() ? "" : boxes.back().text + "|" + boxes.back().title;
  }

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
  ASSERT_TRUE(shown.Init(host_.System(), kReceiptProgram, id));
  ASSERT_TRUE(shown.Refresh());
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
  const std::pair<int, std::string> fields[] = {{JS_S::kDate, "2012-07-20"},
                                                {JS_S::kDate, "2012-05-20"},
                                                {JS_S::kDate, "2012-06-12"},
                                                {JS_S::kNumber, "SK060"},
                                                {JS_S::kNumber, ""}};
  const char* messages[] = {"大于当前结帐会计期间[201206],不能进行保存",
                            "该会计期间已经进行结帐，不能进行保存", nullptr,
                            "收款单号重复,请检查后重试!", "收款单号不能为空，请输入后重试!  "};
  for (size_t i = 0; i < std::size(fields); ++i) {
    Type(fields[i].first, fields[i].second);
    if (messages[i]) refused(messages[i]);
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
  EXPECT_EQ(
      host_.Scalar("select smark from ARPReceive where 单据ID=" + std::to_string(id)).ToText(),
      "01");
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

}  // namespace
}  // namespace ws::money
