// The period gate shared by the settlement and receipt checks (and the settlement save): the
// current ledger period is 2012-06, periods up to 2012-03 are closed, and a month closes on the
// 25th.
#include <gtest/gtest.h>

#include <string>

#include "db/sql.h"
#include "settlement/period_gate.h"
#include "support/test_host.h"

namespace ws::settlement {
namespace {

using Kind = GateVerdict::Kind;

class PeriodGateTest : public test::HostTest {
 protected:
  void SetUp() override {
    Configure("201206", "201203", "25");
    host_.Exec(
        "insert into ARPReceive (单据ID,progID,smark,status,单据编号) "
        "values (1,200003,'01','填单','S1'),(2,200003,'02','审核','S2')");
  }
  void Configure(const std::string& current, const std::string& closed,
                 const std::string& closingDay) {
    ASSERT_EQ(host_.System().SetParameter(12, 1, current), "");
    ASSERT_EQ(host_.System().SetOption(12, std::string("Jzperiod"), closed), "");
    ASSERT_EQ(host_.System().SetParameter(12, 3, closingDay), "");
  }
  static db::Date D(int y, int m, int d) { return db::Date{y, m, d}; }
};

TEST_F(PeriodGateTest, JudgesEveryOperationByTheDocumentsPeriod) {
  PeriodGate gate(host_.System());
  EXPECT_EQ(gate.CurrentPeriod(), 201206);
  EXPECT_EQ(gate.ClosedPeriod(), 201203);

  struct Case {
    GateOperation op;
    bool checked;
    db::Date date;
    Kind kind;
    std::string message;
  };
  const Case cases[] = {
      // Repeating a check or an uncheck is refused whatever the date.
      {GateOperation::Check, true, D(2012, 6, 10), Kind::Refuse,
       "该单据已经被审核，不能再次审核！请刷新单据"},
      {GateOperation::UnCheck, false, D(2012, 6, 10), Kind::Refuse,
       "该单据已经被取消审核，不能再次取消！请刷新单据"},
      // The current period passes; the 25th still belongs to its month.
      {GateOperation::Check, false, D(2012, 6, 25), Kind::Pass, ""},
      {GateOperation::UnCheck, true, D(2012, 6, 1), Kind::Pass, ""},
      // The 26th belongs to the next month, which is after the current period.
      {GateOperation::Check, false, D(2012, 6, 26), Kind::Refuse,
       "单据操作日期所属会计期间为[201207],大于当前总帐会计期间[201206],"
       "不能进行结算操作，请检查！"},
      {GateOperation::Save, false, D(2012, 7, 2), Kind::Refuse,
       "当前操作日期所在的会计期间为[201207],大于当前结帐会计期间[201206],"
       "不能进行保存，请检查！"},
      // A closed period, reached by the calendar and by the closing day.
      {GateOperation::UnCheck, true, D(2012, 3, 10), Kind::Refuse,
       "当前操作日期所在的会计期间为[201203]该会计期间已经进行结帐，不能进行结算操作，请检查！"},
      {GateOperation::Check, false, D(2012, 2, 28), Kind::Refuse,
       "当前操作日期所在的会计期间为[201203]该会计期间已经进行结帐，不能进行结算操作，请检查！"},
      {GateOperation::Save, false, D(2012, 3, 1), Kind::Refuse,
       "当前操作日期所在的会计期间为[201203]该会计期间已经进行结帐，不能进行保存，请检查！"},
      // An earlier open period asks.
      {GateOperation::Check, false, D(2012, 3, 26), Kind::Confirm,
       "当前操作日期所在的会计期间为[201204],而当前总帐的会计期间为[201206],"
       "确认对会计期间[201204]的结算操作？？"},
      {GateOperation::Save, false, D(2012, 5, 25), Kind::Confirm,
       "当前操作日期所在的会计期间为[201205],而当前总帐的会计期间为[201206],"
       "确认对会计期间[201205]的总帐进行变更？？"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.date.Text());
    GateVerdict verdict = gate.Judge(c.op, c.checked, c.date);
    EXPECT_EQ(verdict.kind, c.kind);
    EXPECT_EQ(verdict.message, c.message);
  }
}

TEST_F(PeriodGateTest, DecemberAfterTheClosingDayBelongsToJanuary) {
  Configure("201301", "201210", "25");
  PeriodGate gate(host_.System());
  EXPECT_EQ(gate.PeriodOf(D(2012, 12, 26)), 201301);
  EXPECT_EQ(gate.Judge(GateOperation::Check, false, D(2012, 12, 26)).kind, Kind::Pass);
  // The 25th stays in December, an earlier open period.
  EXPECT_EQ(gate.Judge(GateOperation::Check, false, D(2012, 12, 25)).kind, Kind::Confirm);
  // The closing day is read when the gate judges, not when it was made.
  ASSERT_EQ(host_.System().SetParameter(12, 3, "31"), "");
  EXPECT_EQ(gate.PeriodOf(D(2012, 12, 26)), 201212);
}

TEST_F(PeriodGateTest, ReadsTheMarkAndRefusesThroughABox) {
  PeriodGate gate(host_.System());
  EXPECT_FALSE(gate.Pass(GateOperation::Check, 2, D(2012, 6, 10)));
  EXPECT_TRUE(gate.Pass(GateOperation::UnCheck, 2, D(2012, 6, 10)));
  EXPECT_FALSE(gate.Pass(GateOperation::UnCheck, 1, D(2012, 6, 10)));
  EXPECT_TRUE(gate.Pass(GateOperation::Check, 1, D(2012, 6, 10)));

  const auto& boxes = host_.Dialogs().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, "该单据已经被审核，不能再次审核！请刷新单据");
  EXPECT_EQ(boxes[1].text, "该单据已经被取消审核，不能再次取消！请刷新单据");
  for (const auto& box : boxes) {
    EXPECT_EQ(box.title, "操作提示");
    EXPECT_EQ(box.buttons, host::MsgButtons::Ok);
    EXPECT_EQ(box.icon, host::MsgIcon::Information);
  }
}

TEST_F(PeriodGateTest, AsksForAnEarlierPeriodOncePerLifeAndSaveAndCheckShareTheAnswer) {
  PeriodGate gate(host_.System());
  const db::Date may = D(2012, 5, 10);
  host_.Dialogs().Queue(host::MsgAnswer::No);
  EXPECT_FALSE(gate.Pass(GateOperation::Save, 0, may));
  EXPECT_FALSE(gate.Confirmed()) << "a No is not remembered";
  host_.Dialogs().Queue(host::MsgAnswer::Yes);
  EXPECT_TRUE(gate.Pass(GateOperation::Save, 0, may));
  EXPECT_TRUE(gate.Pass(GateOperation::Check, 1, may));
  EXPECT_TRUE(gate.Pass(GateOperation::Save, 0, D(2012, 4, 3)));
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 2u);
  EXPECT_EQ(host_.Dialogs().Boxes()[1].buttons, host::MsgButtons::YesNo);
  // The confirmation covers earlier periods only: closed ones stay refused.
  EXPECT_FALSE(gate.Pass(GateOperation::Check, 1, D(2012, 3, 10)));

  // Another control (another gate) asks again.
  PeriodGate other(host_.System());
  EXPECT_TRUE(other.Pass(GateOperation::Check, 1, may));
  EXPECT_EQ(host_.Dialogs().Boxes().size(), 4u);
}

}  // namespace
}  // namespace ws::settlement
