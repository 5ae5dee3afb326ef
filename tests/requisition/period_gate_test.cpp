// The periods every document shares: the list window and the period gate of save and check.
#include <string>
#include <utility>
#include <vector>

#include "framework/period_gate.h"
#include "money/js_s.h"
#include "money/js_ws.h"
#include "repair_order/ws_s.h"
#include "requisition/ckll_ws.h"
#include "support/test_host.h"

namespace ws::requisition {
namespace {

using host::MsgAnswer;

class PeriodTest : public test::HostTest {
 protected:
  void Set(int module, const std::string& name, const std::string& value) {
    ASSERT_EQ(host_.System().SetOption(module, name, value), "");
  }
  void Parameter(int number, const std::string& value) {
    ASSERT_EQ(host_.System().SetParameter(12, number, value), "");
  }
  int Period(const char* date) {
    auto parsed = db::Date::Parse(date);
    EXPECT_TRUE(parsed) << date;
    return static_cast<int>(
        framework::PeriodGate::PeriodOf(host_.System(), parsed.value_or(db::Date{})));
  }
  std::vector<std::string> BoxTexts() {
    std::vector<std::string> texts;
    for (const auto& box : host_.Dialogs().Boxes()) texts.push_back(box.text);
    return texts;
  }
};

// With no document requested every document's list reaches back "befmonth" months, and 0 or no
// option means a year for all four alike.
TEST_F(PeriodTest, EveryDocumentListReachesBackByOneRule) {
  struct Case {
    const char* befmonth;
    const char* orderFrom;
    const char* periodFrom;
  };
  const Case cases[] = {
      {"0", "2011-06-01", "201106"}, {"", "2011-06-01", "201106"}, {"2", "2012-04-01", "201204"}};
  for (const Case& c : cases) {
    Set(12, "befmonth", c.befmonth);
    repair_order::WS_S order;
    CKLl_WS requisition;
    money::JS_WS settlement{money::RepairOrderChooser{}};
    money::JS_S receipt;
    const std::pair<host::DocumentControl*, int64_t> documents[] = {
        {&order, 200001}, {&requisition, 200002}, {&settlement, 200003}, {&receipt, 200004}};
    for (auto [doc, program] : documents) {
      ASSERT_TRUE(doc->Init(host_.System(), program, 0) && doc->Refresh());
      const std::string from = program == 200001 ? std::string("进厂日期>='") + c.orderFrom + "'"
                                                 : std::string("会计期间>=") + c.periodFrom;
      EXPECT_NE(doc->BaseCondition().find(from), std::string::npos)
          << doc->ClassName() << " under '" << c.befmonth << "': " << doc->BaseCondition();
    }
  }
}

// One gate, the words of each ledger: the period of a date around month and year ends with the
// closing day, every verdict's text, and what the gate remembers.
TEST_F(PeriodTest, ThePeriodGateRefusesFutureAndClosedAndAsksOnceForThePast) {
  // After the closing day a date belongs to the next period, across month and year ends; the
  // closing day is read on every call.
  struct Day {
    const char* closingDay;
    const char* date;
    int period;
  };
  const Day days[] = {
      {"25", "2012-12-25", 201212},  // the closing day itself stays in its month
      {"25", "2012-12-26", 201301},  // December moves into January of the next year
      {"28", "2012-02-29", 201203},  // leap day after a closing day of 28
      {"31", "2012-12-31", 201212},  // no closing day: calendar months
  };
  for (const Day& d : days) {
    Parameter(3, d.closingDay);
    EXPECT_EQ(Period(d.date), d.period) << d.date << " closing day " << d.closingDay;
  }

  // Current period 2013-01, closed up to 2012-10. A period both after the current one and
  // closed is the future one.
  using framework::GateUse;
  using framework::GateVerdict;
  using framework::kLedgerPeriod;
  using framework::kStockPeriod;
  struct Case {
    const framework::PeriodWords& words;
    GateUse use;
    int64_t period;
    GateVerdict::Kind kind;
    const char* text;
  };
  // clang-format off
  const Case cases[] = {
      {kStockPeriod, GateUse::Check, 201302, GateVerdict::Refuse, "单据操作日期所属会计期间为[201302],大于当前仓库会计期间[201301],不能进行采购入库，请检查！"},
      {kStockPeriod, GateUse::Save, 201302, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201302],大于当前仓库会计期间[201301],不能进行保存，请检查！"},
      {kStockPeriod, GateUse::UnCheck, 201210, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201210]该会计期间已经进行仓库结帐，不能进行采购入库，请检查！"},
      {kStockPeriod, GateUse::Save, 201209, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201209]该会计期间已经进行仓库结帐，不能进行保存，请检查！"},
      {kStockPeriod, GateUse::Check, 201211, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201211],而当前仓库的会计期间为[201301],确认对会计期间[201211]的采购入库？？"},
      {kStockPeriod, GateUse::Save, 201212, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201212],而当前仓库的会计期间为[201301],确认对会计期间[201212]的仓库总帐进行变更？？"},
      {kStockPeriod, GateUse::Save, 201301, GateVerdict::Pass, ""},
      {kLedgerPeriod, GateUse::Check, 201302, GateVerdict::Refuse, "单据操作日期所属会计期间为[201302],大于当前总帐会计期间[201301],不能进行结算操作，请检查！"},
      {kLedgerPeriod, GateUse::Save, 201302, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201302],大于当前结帐会计期间[201301],不能进行保存，请检查！"},
      {kLedgerPeriod, GateUse::UnCheck, 201210, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201210]该会计期间已经进行结帐，不能进行结算操作，请检查！"},
      {kLedgerPeriod, GateUse::Save, 201201, GateVerdict::Refuse, "当前操作日期所在的会计期间为[201201]该会计期间已经进行结帐，不能进行保存，请检查！"},
      {kLedgerPeriod, GateUse::Check, 201211, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201211],而当前总帐的会计期间为[201301],确认对会计期间[201211]的结算操作？？"},
      {kLedgerPeriod, GateUse::Save, 201212, GateVerdict::Confirm, "当前操作日期所在的会计期间为[201212],而当前总帐的会计期间为[201301],确认对会计期间[201212]的总帐进行变更？？"},
      {kLedgerPeriod, GateUse::UnCheck, 201301, GateVerdict::Pass, ""},
  };
  // clang-format on
  Parameter(1, "201301");
  Set(12, "Jzperiod", "201210");
  for (const Case& c : cases) {
    const framework::PeriodGate gate = framework::PeriodGate::FromSystem(c.words, host_.System());
    const GateVerdict verdict = gate.Judge(c.use, c.period);
    EXPECT_EQ(verdict.kind, c.kind) << c.words.book << " " << c.period;
    EXPECT_EQ(verdict.message, c.text) << c.words.book << " " << c.period;
  }

  // A past period asks; a No is not remembered, a Yes is, for save and check alike. The
  // consent never opens a closed or a future period; a new gate asks again.
  framework::PeriodGate gate = framework::PeriodGate::FromSystem(kStockPeriod, host_.System());
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(gate.Admit(GateUse::Check, 201211, host_.Dialogs()));
  EXPECT_FALSE(gate.PastPeriodAccepted());
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_TRUE(gate.Admit(GateUse::Save, 201211, host_.Dialogs()));
  EXPECT_TRUE(gate.Admit(GateUse::Check, 201211, host_.Dialogs()) &&
              gate.Admit(GateUse::Save, 201212, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(GateUse::Save, 201210, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(GateUse::Check, 201302, host_.Dialogs()));
  EXPECT_EQ(BoxTexts().size(), 4u);
  for (const auto& box : host_.Dialogs().Boxes()) EXPECT_EQ(box.title, framework::kGateTitle);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(framework::PeriodGate::FromSystem(kStockPeriod, host_.System())
                   .Admit(GateUse::Save, 201211, host_.Dialogs()));

  // Check and uncheck read the stored mark first: a second check or uncheck is refused, a
  // requisition gone is told so, a settlement gone reads as unchecked.
  host_.Exec("insert into JXCDJ (单据ID,progID,smark) values (1,200002,'02')");
  host_.Exec("insert into ARPReceive (单据ID,progID,smark) values (2,200003,'01')");
  host_.Dialogs().Clear();
  framework::PeriodGate ledger = framework::PeriodGate::FromSystem(kLedgerPeriod, host_.System());
  EXPECT_FALSE(gate.AdmitPosting(host_.System(), GateUse::Check, 1, 201301));
  EXPECT_TRUE(gate.AdmitPosting(host_.System(), GateUse::UnCheck, 1, 201301));
  EXPECT_FALSE(gate.AdmitPosting(host_.System(), GateUse::Check, 9, 201301));
  EXPECT_FALSE(ledger.AdmitPosting(host_.System(), GateUse::UnCheck, 2, 201301));
  EXPECT_TRUE(ledger.AdmitPosting(host_.System(), GateUse::Check, 9, 201301));
  EXPECT_TRUE(ledger.Pass(host_.System(), GateUse::Check, 2, {2013, 1, 10}));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "该单据已经被审核，不能再次审核！请刷新单据", "当前单据已被他人删除！",
                            "该单据已经被取消审核，不能再次取消！请刷新单据"}));
}

}  // namespace
}  // namespace ws::requisition
