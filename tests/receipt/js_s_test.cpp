// The receipt document driven as a cashier drives it: customer, amount, the chooser's proposal,
// save, check and uncheck against the orders, refusals that write nothing, reload and delete.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "forms/input.h"
#include "orders_fixture.h"
#include "receipt/js_s.h"

namespace ws::receipt {
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
    auto typed = Input::Type(F(index), text);
    ASSERT_TRUE(typed) << "field " << index << ": " << typed.reason;
  }
  void Cell(int row, int col, const std::string& text) {
    auto typed = Input::EditCell(Grid(), row, col, text);
    ASSERT_TRUE(typed) << "cell " << row << "," << col << ": " << typed.reason;
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
  std::vector<std::string> Column(int col) {
    std::vector<std::string> out;
    for (int row = Grid().FixedRows(); row < Grid().Rows(); ++row) {
      out.push_back(Grid().TextMatrix(row, col));
    }
    return out;
  }
  std::string Text(const std::string& sql) { return host_.Scalar(sql).ToText(); }
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
  using Texts = std::vector<std::string>;

  JS_S receipt_;
};

TEST_F(ReceiptDocumentTest, AReceiptIsWrittenOffOldestFirstSavedAndAppliedOnlyByItsCheck) {
  NewReceipt("1000");
  EXPECT_EQ(Column(R::kColNumber), (Texts{"WS002", "WS001", "WS000"}));
  EXPECT_EQ(Column(R::kColWriteOff), (Texts{"600", "300", "100"}));
  EXPECT_EQ(Column(R::kColOrderId), (Texts{"2", "1", "6"}));
  EXPECT_DOUBLE_EQ(receipt_.WriteOffTotal(), 1000);
  EXPECT_EQ(
      receipt_.Form().Get<forms::Label>(JS_S::kTotalLabel).Caption().rfind("核销金额合计：", 0),
      0u);

  ASSERT_TRUE(receipt_.FileSave());
  const int64_t id = receipt_.GetID();
  ASSERT_GT(id, 0);
  EXPECT_EQ(host_.Sink().Messages().back(), "保存数据成功,单据编号：" + F(JS_S::kNumber).Text());
  EXPECT_FALSE(receipt_.Editing());
  const std::string where = " from ARPReceive where 单据ID=" + std::to_string(id);
  EXPECT_EQ(
      host_.RowText("select progID, smark, status, 往来ID, 单据日期, 会计期间, 总金额" + where),
      "200004/01/填单/1/2012-06-15/201206/1000");
  EXPECT_EQ(Lines(id), "0001/2/600/600/0/0 0002/1/300/300/0/0 0003/6/100/100/0/0");
  EXPECT_EQ(Balance(2), "0/600") << "saving never touches the orders";

  ASSERT_TRUE(receipt_.Check());
  EXPECT_EQ(host_.RowText("select smark, status, 审核人" + where), "02/审核/测试员");
  EXPECT_EQ(Balance(2), "600/0");
  EXPECT_EQ(Balance(6), "100/400");
  EXPECT_TRUE(receipt_.CheckStatus(""));
  EXPECT_FALSE(receipt_.FileSave()) << "a checked receipt is not saved over";

  ASSERT_TRUE(receipt_.UnCheck());
  EXPECT_EQ(Balance(2), "0/600");
  EXPECT_EQ(Balance(6), "0/500");
  EXPECT_FALSE(receipt_.UnCheck());
  EXPECT_TRUE(host_.Dialogs().Asked("该单据已经被取消审核，不能再次取消！请刷新单据"));
  EXPECT_EQ(Balance(6), "0/500");
}

TEST_F(ReceiptDocumentTest, CheckAddsTheWriteOffToAnOrderWithMoneyCollectedAndUncheckTakesItBack) {
  host_.Exec("insert into pdmwldwjs (往来ID,公司名称) values (3,'王记车行')");
  host_.Exec(
      "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,总金额,"
      "现收金额,补收金额,扣减金额,余额) values (7,200001,'02','WS007',3,1,'2012-06-10',1000,1000,"
      "200,0,0,800)");
  ASSERT_TRUE(receipt_.FileNew());
  Type(JS_S::kCustomer, "王记");
  Type(JS_S::kAmount, "300");
  ChooseProposed();
  ASSERT_EQ(Column(R::kColWriteOff), (Texts{"300"}));
  ASSERT_TRUE(receipt_.FileSave());

  ASSERT_TRUE(receipt_.Check());
  EXPECT_EQ(Balance(7), "300/500");
  EXPECT_FALSE(receipt_.Check()) << "a second check adds nothing";
  EXPECT_EQ(Balance(7), "300/500");
  ASSERT_TRUE(receipt_.UnCheck());
  EXPECT_EQ(Balance(7), "0/800");
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
    EXPECT_EQ(Count("ARPReceive"), receipts);
    EXPECT_EQ(Count("ARPReceiveMx"), 0);
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
  Cell(3, R::kColWriteOff, "100");

  Type(JS_S::kDate, "2012-07-20");
  refused("大于当前结帐会计期间[201206],不能进行保存");
  Type(JS_S::kDate, "2012-05-20");
  refused("该会计期间已经进行结帐，不能进行保存");
  Type(JS_S::kDate, "2012-06-12");

  Type(JS_S::kNumber, "SK060");
  refused("收款单号重复,请检查后重试!");
  Type(JS_S::kNumber, "");
  refused("收款单号不能为空，请输入后重试!  ");

  Type(JS_S::kNumber, "SK061");
  EXPECT_TRUE(receipt_.FileSave()) << "corrected, the same receipt saves";
  EXPECT_EQ(Count("ARPReceiveMx"), 3);
}

TEST_F(ReceiptDocumentTest, ALineThatCannotBeWrittenTakesTheHeaderBackWithIt) {
  NewReceipt("1000");
  // The third line's insert fails after the header and two lines went in.
  host_.RefuseOn("full_disk", "ARPReceiveMx", "INSERT", "磁盘已满", "new.序号='0003'");
  const int64_t receipts = Count("ARPReceive");
  EXPECT_FALSE(receipt_.FileSave());
  ASSERT_FALSE(host_.Sink().ErrMessages().empty());
  EXPECT_NE(host_.Sink().ErrMessages().back().find("磁盘已满"), std::string::npos)
      << "the database's own text is reported";
  EXPECT_EQ(Count("ARPReceive"), receipts);
  EXPECT_EQ(Count("ARPReceiveMx"), 0);
  EXPECT_TRUE(receipt_.Editing());
  EXPECT_EQ(receipt_.GetID(), 0) << "still a new receipt";
}

TEST_F(ReceiptDocumentTest, TheAmountMustMatchTheWriteOffsWithinAHundredthOfACent) {
  NewReceipt("1000");
  Cell(3, R::kColWriteOff, "99.9999");
  EXPECT_TRUE(receipt_.FileSave()) << "0.0001 apart is a match";

  // A write-off cell takes numbers only; a typed text leaves the amount it held.
  ASSERT_TRUE(receipt_.FileEdit());
  EXPECT_FALSE(Input::EditCell(Grid(), 3, R::kColWriteOff, "abc"));
  EXPECT_DOUBLE_EQ(receipt_.WriteOffTotal(), 999.9999);

  // An amount typed as text counts as 0: it matches no write-offs and is stored as 0.
  ASSERT_TRUE(receipt_.FileNew());
  Type(JS_S::kCustomer, "顺达");
  Type(JS_S::kAmount, "一千");
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Text("select 总金额 from ARPReceive where 单据ID=" + std::to_string(receipt_.GetID())),
            "0");
  EXPECT_EQ(
      Text("select count(*) from ARPReceiveMx where 单据ID=" + std::to_string(receipt_.GetID())),
      "0");
}

TEST_F(ReceiptDocumentTest, ChoosingNeedsACustomerAndReplacesEveryLine) {
  ASSERT_TRUE(receipt_.FileNew());
  ASSERT_TRUE(Input::Click(receipt_.Form().Get<forms::Widget>(JS_S::kSelectButton)));
  EXPECT_TRUE(host_.Dialogs().Asked("请先选择客户名称!"));
  EXPECT_TRUE(host_.Dialogs().ModalForms().empty()) << "no chooser without a customer";

  Type(JS_S::kCustomer, "顺达");
  Type(JS_S::kAmount, "1000");
  ChooseProposed();
  ASSERT_TRUE(receipt_.FileSave());
  const int64_t id = receipt_.GetID();
  const std::string firstIds =
      host_.Joined("select 单据明细ID from ARPReceiveMx where 单据ID=" + std::to_string(id));

  // Removing one saved row deletes exactly that line.
  ASSERT_TRUE(receipt_.FileEdit());
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  ASSERT_TRUE(Input::DeleteRow(Grid(), 2));
  EXPECT_TRUE(host_.Dialogs().Asked("是否删除当前所选记录？"));
  Type(JS_S::kAmount, "700");
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Lines(id), "0001/2/600/600/0/0 0002/6/100/100/0/0");

  // Choosing again for 900 drops both saved lines and writes the new proposal.
  ASSERT_TRUE(receipt_.FileEdit());
  Type(JS_S::kAmount, "900");
  ChooseProposed();
  ASSERT_TRUE(receipt_.FileSave());
  EXPECT_EQ(Lines(id), "0001/2/600/600/0/0 0002/1/300/300/0/0");
  const std::string lastIds =
      host_.Joined("select 单据明细ID from ARPReceiveMx where 单据ID=" + std::to_string(id));
  EXPECT_EQ(lastIds.find(firstIds.substr(0, firstIds.find(','))), std::string::npos)
      << "the old lines are gone, not updated: " << firstIds << " / " << lastIds;
}

TEST_F(ReceiptDocumentTest, EveryColumnComesBackAsSavedAndDeleteTakesTheLinesAlong) {
  NewReceipt("1000");
  Type(JS_S::kSalesman, "王五");
  Type(JS_S::kRounding, "0.5");
  Type(JS_S::kSummary, "六月货款");
  Type(JS_S::kRemarks, "转账");
  ASSERT_TRUE(receipt_.FileSave());
  const int64_t id = receipt_.GetID();

  JS_S shown;
  ASSERT_TRUE(shown.Init(host_.System(), kReceiptProgram, id));
  ASSERT_TRUE(shown.Refresh());
  ASSERT_EQ(shown.GetID(), id);
  auto text = [&](int index) { return shown.Header(index).Text(); };
  EXPECT_EQ(text(JS_S::kNumber), F(JS_S::kNumber).Text());
  EXPECT_EQ(text(JS_S::kDate), "2012-06-15");
  EXPECT_EQ(text(JS_S::kCustomer), "顺达物流(应收)");
  EXPECT_EQ(shown.Header(JS_S::kCustomer).KeyLong(), 1);
  EXPECT_EQ(text(JS_S::kSalesman), "王五");
  EXPECT_EQ(shown.Header(JS_S::kSalesman).KeyLong(), 5);
  EXPECT_DOUBLE_EQ(db::NumericValue(text(JS_S::kAmount)), 1000);
  EXPECT_DOUBLE_EQ(db::NumericValue(text(JS_S::kRounding)), 0.5);
  EXPECT_EQ(text(JS_S::kSummary), "六月货款");
  EXPECT_EQ(text(JS_S::kRemarks), "转账");
  EXPECT_EQ(text(JS_S::kEnteredBy), test::kTestUser);
  EXPECT_EQ(text(JS_S::kEntryDate), "2012-06-15");

  forms::Grid& grid = shown.Lines().Grid();
  ASSERT_EQ(grid.DataRows(), 3);
  for (int col = R::kColNumber; col <= R::kColOrderId; ++col) {
    if (col == R::kColProgId) continue;  // not a column of the line
    for (int row = 1; row <= 3; ++row) {
      EXPECT_EQ(db::NumericValue(grid.TextMatrix(row, col)),
                db::NumericValue(Grid().TextMatrix(row, col)))
          << "row " << row << " col " << col;
      if (col <= R::kColCategory) {
        EXPECT_EQ(grid.TextMatrix(row, col), Grid().TextMatrix(row, col))
            << "row " << row << " col " << col;
      }
    }
  }
  EXPECT_EQ(grid.TextMatrix(3, R::kColPlate), "京C00003");
  EXPECT_EQ(grid.TextMatrix(2, R::kColReceived), "100") << "60 + 30 collected, 10 written off";
  EXPECT_GT(shown.Lines().LineId(1), 0);
  EXPECT_DOUBLE_EQ(shown.WriteOffTotal(), 1000);

  // A checked receipt has changed its orders and stays; an entered one goes with its lines.
  ASSERT_TRUE(shown.Check());
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_FALSE(shown.FileDelete());
  EXPECT_EQ(Count("ARPReceiveMx"), 3);
  ASSERT_TRUE(shown.UnCheck());
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  shown.FileDelete();
  EXPECT_EQ(
      host_.Scalar("select count(*) from ARPReceive where 单据ID=" + std::to_string(id)).ToLong(),
      0);
  EXPECT_EQ(Count("ARPReceiveMx"), 0);
}

}  // namespace
}  // namespace ws::receipt
