// Stock periods of the requisition: the period of a date around month and year ends with the
// closing day, the gate of save and check, and the list window every document shares.
#include <string>
#include <utility>
#include <vector>

#include "money/js_s.h"
#include "money/js_ws.h"
#include "repair_order/ws_s.h"
#include "requisition/ckll_ws.h"
#include "requisition/period_gate.h"
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
    return DocumentPeriod(host_.System(), parsed.value_or(db::Date{}));
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
      ASSERT_TRUE(doc->Init(host_.System(), program, 0));
      ASSERT_TRUE(doc->Refresh());
      const std::string from = program == 200001 ? std::string("进厂日期>='") + c.orderFrom + "'"
                                                 : std::string("会计期间>=") + c.periodFrom;
      EXPECT_NE(doc->BaseCondition().find(from), std::string::npos)
          << doc->ClassName() << " under '" << c.befmonth << "': " << doc->BaseCondition();
    }
  }
}

// The texts of the closed period are the documents' tests'; here the rest of the gate.
TEST_F(PeriodTest, PeriodOfADateAndTheGateThatRefusesFutureAndClosedAndAsksForThePast) {
  // After the closing day a date belongs to the next period, across month and year ends.
  struct Day {
    const char* closingDay;
    const char* date;
    int period;
  };
  const Day cases[] = {
      {"25", "2012-12-25", 201212},  // the closing day itself stays in its month
      {"25", "2012-12-26", 201301},  // December moves into January of the next year
      {"28", "2012-02-29", 201203},  // leap day after a closing day of 28
      {"31", "2012-12-31", 201212},  // no closing day: calendar months
  };

  for (const Day& d : cases) {
    Parameter(3, d.closingDay);
    EXPECT_EQ(Period(d.date), d.period) << d.date << " closing day " << d.closingDay;
  }
  Parameter(1, "201301");
  Set(12, "Jzperiod", "201210");
  Parameter(3, "25");
  PeriodGate gate = PeriodGate::FromSystem(host_.System());
  // The 26th of January is already February's; the 25th of October still the closed October.
  for (const char* date : {"2013-01-26", "2012-10-25"}) {
    EXPECT_FALSE(gate.Admit(Period(date), PeriodUse::Posting, host_.Dialogs())) << date;
  }
  EXPECT_EQ(BoxTexts().front(),
            "单据操作日期所属会计期间为[201302],大于当前仓库会计期间[201301],不能进行采购入库，"
            "请检查！");
  EXPECT_EQ(BoxTexts().size(), 2u);
  // The current period passes without a word, whatever the day within it.
  host_.Dialogs().Clear();
  EXPECT_TRUE(gate.Admit(Period("2012-12-26"), PeriodUse::Save, host_.Dialogs()));
  EXPECT_TRUE(gate.Admit(Period("2013-01-25"), PeriodUse::Posting, host_.Dialogs()));
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());

  // A past period asks; a No is not remembered, a Yes is, for save and check alike.
  const int november = 201211;
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(gate.Admit(november, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_FALSE(gate.PastPeriodAccepted());
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_TRUE(gate.Admit(november, PeriodUse::Save, host_.Dialogs()));
  ASSERT_EQ(BoxTexts(), (std::vector<std::string>{
                            "当前操作日期所在的会计期间为[201211],而当前仓库的会计期间为[201301],"
                            "确认对会计期间[201211]的采购入库？？",
                            "当前操作日期所在的会计期间为[201211],而当前仓库的会计期间为[201301],"
                            "确认对会计期间[201211]的仓库总帐进行变更？？"}));
  host_.Dialogs().Clear();
  EXPECT_TRUE(gate.Admit(november, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_TRUE(gate.Admit(201212, PeriodUse::Save, host_.Dialogs()));
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
  // The consent never opens a closed or a future period; a new gate asks again.
  EXPECT_FALSE(gate.Admit(201210, PeriodUse::Save, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(201302, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_EQ(host_.Dialogs().Boxes().size(), 2u);
}

}  // namespace
}  // namespace ws::requisition
