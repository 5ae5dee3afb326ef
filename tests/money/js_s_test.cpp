// The receipt document driven as a cashier drives it: customer, amount, the chooser's proposal,
// save, check and uncheck against the orders, refusals that write nothing, reload and delete.
// The chooser dialogs of both money documents driven as a user drives them while the host shows
// them modally; their queries run on the database, the proposal of a receipt's amount over the
// orders they list, and the statements of a receipt's check applied to the orders.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "money/choosers.h"
#include "money/js_s.h"
#include "money/order_choosers.h"
#include "money/receipt_check.h"
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
    // Newest first; the amount goes to the oldest debts first, from the bottom up.
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColNumber), (Texts{"WS000", "WS001", "WS002"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColChosen), (Texts{"√", "√", "√"}));
    EXPECT_EQ(Column(grid, frmSel_AR_Rec::kColWriteOff), (Texts{"100", "300", "600"}));
    // The clerk leaves the newest order for later (a double click and a tick untick alike) and
    // takes less on the second.
    ASSERT_TRUE(Input::DoubleClick(grid, 1));
    ASSERT_TRUE(Input::EditCell(grid, 1, frmSel_AR_Rec::kColChosen, "√"));
    ASSERT_TRUE(Input::EditCell(grid, 1, frmSel_AR_Rec::kColChosen, ""));
    ASSERT_TRUE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColWriteOff, "250"));
    EXPECT_FALSE(Input::EditCell(grid, 2, frmSel_AR_Rec::kColBalance, "1"))
        << "only the write-off may be typed over";
    ASSERT_TRUE(Press(form, 0));
  });
  dialog.py_Init(host_.System(), 1, db::Amount::Of("1000"));
  EXPECT_EQ(chosen, (Texts{"WS002 2012-04-01 京A12345E1 600 0 600 600 2 200001",
                           "WS001 2012-05-01 京A12345E1 400 100 300 250 1 200001"}));
}

TEST_F(ChoosersTest, SettlementChooserAnswersTheSelectedOrderAndStoresTheChosenView) {
  frmSelWsJs dialog;
  WhileShown([&](host::IModalForm& form) {
    // Order 2 belongs to settlement 50, which is the one being edited.
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColNumber),
              (Texts{"WS000", "WS004", "WS005", "WS001", "WS002"}));
    // One order is settled: a tick moves from row to row, and wins over the current row.
    ASSERT_TRUE(Input::EditCell(dialog.Grid(), 1, frmSelWsJs::kColChosen, "√"));
    ASSERT_TRUE(Input::EditCell(dialog.Grid(), 4, frmSelWsJs::kColChosen, "√"));
    EXPECT_EQ(Column(dialog.Grid(), frmSelWsJs::kColChosen), (Texts{"", "", "", "√", ""}));
    ASSERT_TRUE(Input::SelectRow(dialog.Grid(), 2) && Press(form, 0));
  });
  auto result = dialog.py_SubProgram(host_.System(), 200003, 0, 50);
  ASSERT_EQ(result.size(), 1u) << "the one selected row";
  const masters::clsSelWS& row = result[0].row;
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

using Names = std::vector<std::string>;

class OrderChoosersTest : public OrdersTest {
 protected:
  // The 工单号码 of every row the statement lists, in order.
  Names Orders(const db::Sql& sql) {
    std::string error;
    auto rs = db::Runner(host_.Db()).Open(sql, &error);
    EXPECT_EQ(error, "") << sql.Literal();
    Names out;
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

// A filter names only the fields a case narrows by; the others keep their defaults.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
// The settlement chooser offers checked orders no other settlement holds; the receivable
// chooser one customer's checked orders with a balance, settled or not; both newest first.
TEST_F(OrderChoosersTest, ChoosersListTheirOrdersInEitherDialect) {
  using S = SettlementChooserFilter;
  using R = ReceivableChooserFilter;
  const std::pair<S, Names> settlement[] = {
      {{}, {"WS000", "WS004", "WS005", "WS001"}},
      // The settlement of order 2, being edited, still sees its order.
      {{.settlementId = 50}, {"WS000", "WS004", "WS005", "WS001", "WS002"}},
      {{.dateFrom = "2012-05-01", .dateTo = "2012-05-31", .customerId = 1}, {"WS005", "WS001"}},
      // The row limit keeps the newest.
      {{.rows = 2}, {"WS000", "WS004"}},
  };
  const std::pair<R, Names> receivable[] = {
      {{.customerId = 1}, {"WS000", "WS001", "WS002"}},
      {{.customerId = 1, .vehicleId = 1}, {"WS001", "WS002"}},
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

TEST_F(OrderChoosersTest, CheckAppliesLineAfterLineSkipsLinesWithoutAnOrderAndIsAllOrNothing) {
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
