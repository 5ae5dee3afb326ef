// The money documents' period gate and the settlement's voucher: its lines as a pure function,
// and what a check, an uncheck and a second check leave in the ledger.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "money/period_gate.h"
#include "money/settlement_voucher.h"
#include "settlement_fixture.h"

namespace ws::money {
namespace {

using Kind = GateVerdict::Kind;

// "D 113101 300, C 113102 100": side, account, amount.
std::string Brief(const std::vector<VoucherLine>& lines) {
  std::string out;
  for (const auto& line : lines) {
    out += std::string(out.empty() ? "" : ", ") + (line.debit ? "D " : "C ") + line.account + " " +
           line.amount.Text();
  }
  return out;
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

// The shop's ledger period is 2012-06, periods up to 2012-03 are closed, a month closes on the
// 25th; settlement 41 is entered and settlement 2 checked.
TEST_F(SettlementTest, TheGateJudgesEveryOperationByTheDocumentsPeriod) {
  host_.Exec(
      "insert into ARPReceive (单据ID,progID,smark,单据编号) values (41,200003,'01','S1'),"
      "(2,200003,'02','S2')");
  PeriodGate gate(host_.System());
  const db::Date june{2012, 6, 10};
  EXPECT_EQ(gate.CurrentPeriod() * 1000000 + gate.ClosedPeriod(), 201206201203);
  struct Case {
    GateOperation op;
    bool checked;
    db::Date date;
    Kind kind;
    std::string message;
  };
  const std::string later = "单据操作日期所属会计期间为[201207],大于当前总帐会计期间[201206],";
  const std::string closed = "当前操作日期所在的会计期间为[201203]该会计期间已经进行结帐，";
  const std::string earlier = "当前操作日期所在的会计期间为[2012";
  using enum GateOperation;
  // clang-format off
  const Case cases[] = {
      {Check, true, june, Kind::Refuse, "该单据已经被审核，不能再次审核！请刷新单据"},
      {UnCheck, false, june, Kind::Refuse, "该单据已经被取消审核，不能再次取消！请刷新单据"},
      // The 25th still belongs to its month; the 26th to the next, after the current one.
      {Check, false, {2012, 6, 25}, Kind::Pass, ""},
      {Check, false, {2012, 6, 26}, Kind::Refuse, later + "不能进行结算操作，请检查！"},
      {Save, false, {2012, 7, 2}, Kind::Refuse,
       "当前操作日期所在的会计期间为[201207],大于当前结帐会计期间[201206],不能进行保存，请检查！"},
      // A closed period, reached by the calendar and by the closing day.
      {Check, false, {2012, 2, 28}, Kind::Refuse, closed + "不能进行结算操作，请检查！"},
      {Save, false, {2012, 3, 1}, Kind::Refuse, closed + "不能进行保存，请检查！"},
      // An earlier open period asks.
      {Check, false, {2012, 3, 26}, Kind::Confirm,
       earlier + "04],而当前总帐的会计期间为[201206],确认对会计期间[201204]的结算操作？？"},
      {Save, false, {2012, 5, 25}, Kind::Confirm,
       earlier + "05],而当前总帐的会计期间为[201206],确认对会计期间[201205]的总帐进行变更？？"},
  };
  // clang-format on
  for (const Case& c : cases) {
    GateVerdict verdict = gate.Judge(c.op, c.checked, c.date);
    EXPECT_EQ(verdict.kind, c.kind) << c.date.Text();
    EXPECT_EQ(verdict.message, c.message) << c.date.Text();
  }

  // Pass reads the mark and refuses through a box.
  EXPECT_FALSE(gate.Pass(GateOperation::Check, 2, june));
  EXPECT_FALSE(gate.Pass(GateOperation::UnCheck, 41, june));
  const auto& boxes = host_.Dialogs().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[1].text, "该单据已经被取消审核，不能再次取消！请刷新单据");

  // An earlier period is asked once per life; save and check share the answer.
  const db::Date may{2012, 5, 10};
  host_.Dialogs().Queue(host::MsgAnswer::No);
  EXPECT_FALSE(gate.Pass(GateOperation::Save, 0, may));
  EXPECT_FALSE(gate.Confirmed()) << "a No is not remembered";
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_TRUE(gate.Pass(GateOperation::Save, 0, may));
  EXPECT_TRUE(gate.Pass(GateOperation::Check, 41, may) &&
              gate.Pass(GateOperation::Save, 0, {2012, 4, 3}));
  ASSERT_EQ(boxes.size(), 4u);
  EXPECT_FALSE(gate.Pass(GateOperation::Check, 41, {2012, 3, 10})) << "closed stays refused";
}

TEST_F(SettlementTest, DecemberAfterTheClosingDayBelongsToJanuary) {
  ASSERT_EQ(host_.System().SetParameter(12, 1, "201301"), "");
  PeriodGate gate(host_.System());
  EXPECT_EQ(gate.PeriodOf({2012, 12, 26}), 201301);
  EXPECT_EQ(gate.Judge(GateOperation::Check, false, {2012, 12, 26}).kind, Kind::Pass);
  EXPECT_EQ(gate.Judge(GateOperation::Check, false, {2012, 12, 25}).kind, Kind::Confirm);
  // The closing day is read when the gate judges, not when it was made.
  ASSERT_EQ(host_.System().SetParameter(12, 3, "31"), "");
  EXPECT_EQ(gate.PeriodOf({2012, 12, 26}), 201212);
}

}  // namespace
}  // namespace ws::money
