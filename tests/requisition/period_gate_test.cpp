// Stock periods of the requisition: the period of a date around month and year ends with the
// closing day, the list window over periods, and the gate of save and check.
#include <string>
#include <vector>

#include "db/runner.h"
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

TEST_F(PeriodTest, DatesAfterTheClosingDayBelongToTheNextPeriodAcrossMonthAndYearEnds) {
  struct Case {
    const char* closingDay;
    const char* date;
    int period;
  };
  const Case cases[] = {
      {"25", "2012-12-25", 201212},  // the closing day itself stays in its month
      {"25", "2012-12-26", 201301},  // December moves into January of the next year
      {"28", "2012-02-29", 201203},  // leap day after a closing day of 28
      {"31", "2012-12-31", 201212},  // no closing day: calendar months
  };

  for (const Case& c : cases) {
    Parameter(3, c.closingDay);
    EXPECT_EQ(Period(c.date), c.period) << c.date << " closing day " << c.closingDay;
  }
}

TEST_F(PeriodTest, ListWindowReachesBackBefmonthPeriodsOverTheYearEnd) {
  for (int period : {201209, 201210, 201211, 201212, 201301, 201302}) {
    host_.Exec("insert into JXCDJ (单据ID,progID,smark,会计期间) values (" +
               std::to_string(period) + ",200002,'01'," + std::to_string(period) + ")");
  }
  auto listed = [&](int current) {
    db::Sql sql("select 会计期间 from JXCDJ where progid=");
    AppendPeriodWindow(sql.Key(200002), current, ListMonths(host_.System()))
        .Raw(" order by 会计期间");
    std::vector<int> periods;
    auto rs = db::Runner(host_.Db()).Open(sql);
    for (; rs && !rs->Eof(); rs->MoveNext()) periods.push_back(rs->Field(0).ToLong());
    return periods;
  };

  Set(12, "befmonth", "2");
  db::Sql window("progid=200002");
  EXPECT_EQ(AppendPeriodWindow(window, 201301, 2).Literal(),
            "progid=200002 and 会计期间<=201301 and 会计期间>=201211");
  EXPECT_EQ(listed(201301), (std::vector<int>{201211, 201212, 201301}));

  // 0, or no option at all, reaches back a whole year.
  Set(12, "befmonth", "0");
  EXPECT_EQ(ListMonths(host_.System()), 12);
  EXPECT_EQ(listed(201301), (std::vector<int>{201209, 201210, 201211, 201212, 201301}));
  Set(12, "befmonth", "");
  EXPECT_EQ(ListMonths(host_.System()), 12);
}

TEST_F(PeriodTest, GateRefusesFutureAndClosedPeriodsWithTheTextsOfSaveAndPosting) {
  Parameter(1, "201301");
  Set(12, "Jzperiod", "201211");
  Parameter(3, "25");
  PeriodGate gate = PeriodGate::FromSystem(host_.System());
  ASSERT_EQ(gate.CurrentPeriod(), 201301);
  ASSERT_EQ(gate.ClosedPeriod(), 201211);

  // The 26th of January is already February's, after the current period.
  const int february = Period("2013-01-26");
  EXPECT_FALSE(gate.Admit(february, PeriodUse::Save, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(february, PeriodUse::Posting, host_.Dialogs()));
  // The 25th of November is still the closed November; the 26th is December's and open.
  const int november = Period("2012-11-25");
  EXPECT_FALSE(gate.Admit(november, PeriodUse::Save, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(november, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_EQ(BoxTexts(), (std::vector<std::string>{
                            "当前操作日期所在的会计期间为[201302],大于当前仓库会计期间[201301],"
                            "不能进行保存，请检查！",
                            "单据操作日期所属会计期间为[201302],大于当前仓库会计期间[201301],"
                            "不能进行采购入库，请检查！",
                            "当前操作日期所在的会计期间为[201211]该会计期间已经进行仓库结帐，"
                            "不能进行保存，请检查！",
                            "当前操作日期所在的会计期间为[201211]该会计期间已经进行仓库结帐，"
                            "不能进行采购入库，请检查！"}));
  for (const auto& box : host_.Dialogs().Boxes()) {
    EXPECT_EQ(box.title, "操作提示");
    EXPECT_EQ(box.buttons, host::MsgButtons::Ok);
    EXPECT_EQ(box.icon, host::MsgIcon::Information);
  }
  EXPECT_FALSE(gate.PastPeriodAccepted());

  // The current period passes without a word, whatever the day within it.
  host_.Dialogs().Clear();
  EXPECT_TRUE(gate.Admit(Period("2012-12-26"), PeriodUse::Save, host_.Dialogs()));
  EXPECT_TRUE(gate.Admit(Period("2013-01-25"), PeriodUse::Posting, host_.Dialogs()));
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(PeriodTest, PastPeriodIsConfirmedOncePerControlLifeForSaveAndCheckAlike) {
  PeriodGate gate(201301, 201210);
  const int november = 201211;

  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(gate.Admit(november, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_FALSE(gate.PastPeriodAccepted()) << "a No is not remembered";
  host_.Dialogs().Queue(MsgAnswer::Yes);
  EXPECT_TRUE(gate.Admit(november, PeriodUse::Save, host_.Dialogs()));
  ASSERT_EQ(BoxTexts(), (std::vector<std::string>{
                            "当前操作日期所在的会计期间为[201211],而当前仓库的会计期间为[201301],"
                            "确认对会计期间[201211]的采购入库？？",
                            "当前操作日期所在的会计期间为[201211],而当前仓库的会计期间为[201301],"
                            "确认对会计期间[201211]的仓库总帐进行变更？？"}));
  EXPECT_EQ(host_.Dialogs().Boxes()[0].buttons, host::MsgButtons::YesNo);

  // Accepted once: neither save nor check asks again, for any past period.
  host_.Dialogs().Clear();
  EXPECT_TRUE(gate.Admit(november, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_TRUE(gate.Admit(201212, PeriodUse::Save, host_.Dialogs()));
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
  // The consent never opens a closed or a future period.
  EXPECT_FALSE(gate.Admit(201210, PeriodUse::Save, host_.Dialogs()));
  EXPECT_FALSE(gate.Admit(201302, PeriodUse::Posting, host_.Dialogs()));
  EXPECT_EQ(host_.Dialogs().Boxes().size(), 2u);

  // A new control (a new gate) asks again.
  PeriodGate next(201301, 201210);
  EXPECT_EQ(next.Judge(november), PeriodVerdict::Past);
}

}  // namespace
}  // namespace ws::requisition
