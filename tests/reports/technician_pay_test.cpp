// The technicians' efficiency and commission over a small floor whose figures are worked out by
// hand, the rules that set commission, and who may read it.
//
//   Technicians 张 (1), 李 (2) and 王 (3); 赵 (4) is no technician. Categories 1 (比例 15%),
//   2 (工时 30 an hour) and 3 (no rule). Items: 1.5, 0.35, 1 and 2 standard hours.
//   Order 10, category 1, checked 06-10: line 101 (1.5 h, 33.37) for 张 (planned 1) and
//     李 (planned 2), 已检验 06-10.
//   Order 11, category 2, checked 06-30: line 111 (0.35 h, 40.00) for 张, 完工 06-30 23:59:59.
//   Order 12, category 1, not checked: line 121 (1 h, 50) for 李, 在修.
//   Order 13, category 1, checked 05-31: line 131 (2 h, 60) for 张, 已检验 07-01 00:00:00.
//   Order 14, category 3, checked 06-20: line 141 (1 h, 80) for 王, never passed on the floor.
//   Clocks: 张 0.80 (06-10) and 0.50 (06-30 23:00) and 1.00 (07-01 08:00); 李 2.50 (06-10),
//   1.00 (06-12) and one running; 赵 0.25 (06-11).
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "forms/input.h"
#include "grid/layout.h"
#include "grid/profile.h"
#include "platform/access_guard.h"
#include "platform/accounts.h"
#include "platform/postgres_database.h"
#include "reports/pay_reports.h"
#include "reports/technician_pay.h"
#include "support/postgres_scratch.h"
#include "support/test_host.h"

namespace ws::reports {
namespace {

TEST(SplitByWeightTest, SharesAddUpAndFollowTheWeights) {
  struct Case {
    int64_t whole;
    std::vector<int64_t> weights;
    std::vector<int64_t> shares;
  };
  const Case cases[] = {
      {100, {1, 1, 1}, {34, 33, 33}},    // ties: the one dispatched first
      {7, {150, 50}, {5, 2}},            // 5.25 and 1.75: the larger fraction gets the unit
      {-7, {150, 50}, {-5, -2}},         // a credit shares as its opposite
      {10, {0, 0}, {5, 5}},              // nothing planned: equal shares
      {501, {100, 200}, {167, 334}},     // exact
      {3337, {100, 200}, {1112, 2225}},  // 1112.33 and 2224.67
      {0, {1, 2}, {0, 0}},               //
      {5, {}, {}},                       // nobody: no share
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SplitByWeight(c.whole, c.weights), c.shares) << c.whole;
  }
}

class TechnicianPayTest : public test::HostTest {
 protected:
  void SetUp() override {
    for (const char* sql :
         {"insert into PDMGY (雇员ID,雇员编码,姓名,是否技师,登录账号) values "
          "(1,'T1','张',1,'zhang'),(2,'T2','李',1,'li'),(3,'T3','王',1,''),(4,'S1','赵',0,'')",
          "insert into pdmwxfl (维修分类ID,编码,维修分类) values (1,'01','保养'),(2,'02','电器'),"
          "(3,'03','美容')",
          "insert into ws_commission_rule (维修分类ID,方式,比率) values (1,'比例',15),"
          "(2,'工时',30)",
          "insert into PDMWXXM (AutoID,编码,维修项目,工时) values (1,'X1','换机油',1.5),"
          "(2,'X2','换灯泡',0.35),(3,'X3','检查',1),(4,'X4','换刹车片',2)",
          "insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期,维修分类ID,审核日期) values "
          "(10,200001,'02','W10','2012-06-10',1,'2012-06-10'),"
          "(11,200001,'02','W11','2012-06-29',2,'2012-06-30'),"
          "(12,200001,'01','W12','2012-06-12',1,NULL),"
          "(13,200001,'02','W13','2012-05-30',1,'2012-05-31'),"
          "(14,200001,'02','W14','2012-06-20',3,'2012-06-20')",
          "insert into WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额) values "
          "(101,10,1,1,33.37,33.37),(111,11,2,1,40,40),(121,12,3,1,50,50),(131,13,4,1,60,60),"
          "(141,14,3,1,80,80)",
          "insert into ws_job_tech (派工ID,单据明细ID,单据ID,雇员ID,计划工时) values "
          "(1,101,10,1,1),(2,101,10,2,2),(3,111,11,1,0.35),(4,121,12,2,1),(5,131,13,1,2),"
          "(6,141,14,3,1)",
          "insert into ws_job (单据明细ID,单据ID,状态,更新时间) values "
          "(101,10,'已检验','2012-06-10 15:00:00'),(111,11,'完工','2012-06-30 23:59:59'),"
          "(121,12,'在修','2012-06-12 09:00:00'),(131,13,'已检验','2012-07-01 00:00:00')",
          "insert into ws_clock (记录ID,雇员ID,单据明细ID,单据ID,开始时间,结束时间,工时) values "
          "(1,1,101,10,'2012-06-10 08:00:00','2012-06-10 08:48:00',0.8),"
          "(2,2,101,10,'2012-06-10 08:00:00','2012-06-10 10:30:00',2.5),"
          "(3,1,111,11,'2012-06-30 22:30:00','2012-06-30 23:00:00',0.5),"
          "(4,2,121,12,'2012-06-12 08:00:00','2012-06-12 09:00:00',1),"
          "(5,2,121,12,'2012-06-15 08:00:00','',0),"
          "(6,1,131,13,'2012-07-01 07:00:00','2012-07-01 08:00:00',1),"
          "(7,4,121,12,'2012-06-11 08:00:00','2012-06-11 08:15:00',0.25)"}) {
      host_.Exec(sql);
    }
  }
};

// What a row shows, by technician name; the money as the list writes it.
struct Figures {
  int64_t lines;
  double billed;
  double clocked;  // efficiency: clocked hours; commission: labour
  std::string commission;
};
using Expected = std::map<std::string, Figures>;

std::map<std::string, Figures> Read(const TechnicianPay& pay, bool commission) {
  std::map<std::string, Figures> out;
  for (const TechnicianFigures& row : pay.rows) {
    out[row.name] = {row.lines, row.billedHundredths / 100.0,
                     commission ? row.labour.ToDouble() : row.clockedHundredths / 100.0,
                     commission ? row.commission.Text() : ""};
  }
  return out;
}

bool operator==(const Figures& a, const Figures& b) {
  return a.lines == b.lines && std::abs(a.billed - b.billed) < 1e-9 &&
         std::abs(a.clocked - b.clocked) < 1e-9 && a.commission == b.commission;
}

void PrintTo(const Figures& f, std::ostream* os) {
  *os << f.lines << " lines, " << f.billed << " h, " << f.clocked << ", " << f.commission;
}

TEST_F(TechnicianPayTest, EfficiencySetsBilledStandardHoursAgainstClockedHours) {
  struct Case {
    const char* from;
    const char* to;
    Expected rows;
  };
  const Case cases[] = {
      // 张: a third of 1.5 h and the 0.35 h finished in the last second of the period.
      {"2012-06-01",
       "2012-06-30",
       {{"张", {2, 0.85, 1.30, ""}},
        {"李", {1, 1.00, 3.50, ""}},
        {"王", {0, 0, 0, ""}},
        {"赵", {0, 0, 0.25, ""}}}},
      {"2012-06-01",
       "2012-06-29",
       {{"张", {1, 0.50, 0.80, ""}},
        {"李", {1, 1.00, 3.50, ""}},
        {"王", {0, 0, 0, ""}},
        {"赵", {0, 0, 0.25, ""}}}},
      {"2012-07-01",
       "2012-07-01",
       {{"张", {1, 2.00, 1.00, ""}}, {"李", {0, 0, 0, ""}}, {"王", {0, 0, 0, ""}}}},
  };
  for (const Case& c : cases) {
    const TechnicianPay pay = LoadEfficiency(host_.Db(), c.from, c.to);
    ASSERT_EQ(pay.error, "") << c.from;
    EXPECT_EQ(Read(pay, false), c.rows) << c.from << " to " << c.to;
  }
  // The 合计 row sets the shop's hours against each other: 1.85 billed of 5.05 clocked (赵, code
  // S1, leads the list).
  forms::Grid grid("Vs");
  FillEfficiencyGrid(LoadEfficiency(host_.Db(), "2012-06-01", "2012-06-30"), grid);
  const int total = grid.GrandTotalRow();
  ASSERT_GT(total, 0);
  EXPECT_EQ(grid.TextMatrix(total, ColumnOf(EfficiencyColumns(), "效率%")), "36.6");
  EXPECT_EQ(grid.TextMatrix(2, ColumnOf(EfficiencyColumns(), "效率%")), "65.4");
}

TEST_F(TechnicianPayTest, CommissionPaysCheckedOrdersByTheirCategorysRuleToTheLastUnit) {
  struct Case {
    const char* from;
    const char* to;
    int decimals;
    Expected rows;
  };
  const Case cases[] = {
      // Line 101: 15% of 33.37 is 5.0055, 5.01 shared 1.67 / 3.34; labour 11.12 / 22.25.
      // Line 111: 0.35 h at 30 is 10.50. Line 141 has no rule; order 12 is not checked.
      {"2012-06-01",
       "2012-06-30",
       2,
       {{"张", {2, 0.85, 51.12, "12.17"}},
        {"李", {1, 1.00, 22.25, "3.34"}},
        {"王", {1, 1.00, 80.00, "0"}}}},
      // Whole yuan: 33 × 15% = 4.95 → 5, shared 2 / 3; 10.5 → 11.
      {"2012-06-01",
       "2012-06-30",
       0,
       {{"张", {2, 0.85, 51, "13"}}, {"李", {1, 1.00, 22, "3"}}, {"王", {1, 1.00, 80, "0"}}}},
      // Checked on the 30th: outside a period that ends on the 29th.
      {"2012-06-01",
       "2012-06-29",
       2,
       {{"张", {1, 0.50, 11.12, "1.67"}},
        {"李", {1, 1.00, 22.25, "3.34"}},
        {"王", {1, 1.00, 80.00, "0"}}}},
      {"2012-05-31", "2012-05-31", 2, {{"张", {1, 2.00, 60, "9"}}}},
  };
  for (const Case& c : cases) {
    const TechnicianPay pay = LoadCommission(host_.Db(), c.from, c.to, c.decimals);
    ASSERT_EQ(pay.error, "") << c.from;
    EXPECT_EQ(Read(pay, true), c.rows) << c.from << " to " << c.to << " at " << c.decimals;
  }
}

TEST_F(TechnicianPayTest, BadWindowsAndRulesAreRefusedAndASaveIsAllOrNothing) {
  for (const auto& [from, to] : std::vector<std::pair<std::string, std::string>>{
           {"", "2012-06-30"}, {"2012-06-30", "2012-06-01"}, {"2012-13-01", "2012-12-31"}}) {
    EXPECT_NE(LoadEfficiency(host_.Db(), from, to).error, "") << from << " " << to;
    EXPECT_NE(LoadCommission(host_.Db(), from, to, 2).error, "") << from << " " << to;
  }
  using K = CommissionKind;
  struct Case {
    const char* what;
    CommissionRule rule;
    bool saved;
  };
  auto rule = [](int64_t category, K kind, const char* rate) {
    CommissionRule r;
    r.categoryId = category;
    r.category = "分类" + std::to_string(category);
    r.set = true;
    r.kind = kind;
    r.rate = db::Amount::Of(rate);
    return r;
  };
  const Case cases[] = {
      {"percent of two decimals", rule(3, K::Percent, "12.25"), true},
      {"per hour", rule(3, K::PerHour, "45.5"), true},
      {"percent over 100", rule(3, K::Percent, "100.01"), false},
      {"percent of three decimals", rule(3, K::Percent, "12.345"), false},
      {"negative", rule(3, K::PerHour, "-1"), false},
      {"per hour too high", rule(3, K::PerHour, "100001"), false},
      {"no such category", rule(99, K::Percent, "10"), false},
  };
  for (const Case& c : cases) {
    // The good rule of category 1 goes with each: a refused one takes it back as well.
    const std::string error =
        SaveCommissionRules(host_.Db(), {rule(1, K::PerHour, "20"), c.rule}, "店主", "now");
    EXPECT_EQ(error.empty(), c.saved) << c.what << ": " << error;
    std::string readError;
    const auto rules = LoadCommissionRules(host_.Db(), &readError);
    ASSERT_EQ(readError, "");
    const auto& first = rules.front();
    EXPECT_EQ(first.kind == K::PerHour && first.rate.Text() == "20", c.saved) << c.what;
    if (c.saved) {
      EXPECT_EQ(rules.back().rate.Text(), c.rule.rate.Text()) << c.what;
    }
    ASSERT_EQ(SaveCommissionRules(host_.Db(), {rule(1, K::Percent, "15")}, "店主", "now"), "");
  }
  CommissionRule cleared = rule(2, K::Percent, "0");
  cleared.set = false;
  ASSERT_EQ(SaveCommissionRules(host_.Db(), {cleared}, "店主", "now"), "");
  std::string error;
  EXPECT_FALSE(LoadCommissionRules(host_.Db(), &error)[1].set);
}

// The commission window keeps the rules in its own grid: typed there and saved with its
// button, a kind that is neither 比例 nor 工时 refused with nothing saved. Beside 比率 stands
// the unit its 方式 gives it, following 方式 as it is typed and never saved.
TEST_F(TechnicianPayTest, TheCommissionWindowSavesTheRulesTypedInItsGrid) {
  TC_MX report;
  report.Events().AttachSink(&host_.Sink());
  report.Init(host_.System(), TC_MX::kProgram);
  forms::Grid& rules = report.RuleGrid();
  ASSERT_EQ(rules.DataRows(), 3);
  const int unit = rules.FindCol("单位");
  const auto units = [&] {
    return rules.TextMatrix(1, unit) + "|" + rules.TextMatrix(2, unit) + "|" +
           rules.TextMatrix(3, unit);
  };
  EXPECT_EQ(units(), "%|元/工时|");
  // Read, never typed: Tab from 比率 goes on to the next rule.
  EXPECT_FALSE(rules.Col(unit).keyStop);
  for (const auto& [row, col, typed] : {std::tuple{3, 2, "工时"}, {3, 3, "12.5"}, {2, 2, ""}}) {
    ASSERT_TRUE(forms::Input::EditCell(rules, row, col, typed)) << typed;
  }
  EXPECT_EQ(units(), "%||元/工时");
  // A layout saved before 单位 was added (the category id, its fifth column, hidden) leaves it
  // shown and the id hidden.
  rules.SetColHidden(4, false);
  grid::ApplyGridSettings(grid::Profile::Parse("[VsIsHidden_VsRule]\nVsCol4=1\n"), rules, true);
  EXPECT_FALSE(rules.ColHidden(unit));
  EXPECT_TRUE(rules.ColHidden(rules.FindCol("维修分类ID")));
  auto& save = dynamic_cast<forms::CommandButton&>(*report.Form().Find(TC_MX::kSaveRules));
  forms::Input::Click(save);
  EXPECT_EQ(host_.Joined("select 维修分类ID, 方式, 比率 from ws_commission_rule order by 1", ";"),
            "1/比例/15;3/工时/12.5");
  // A kind of neither name, and a category typed on the grid's new line, are refused.
  rules.SetTextMatrix(1, 2, "提成");
  forms::Input::Click(save);
  rules.SetTextMatrix(1, 2, "工时");
  rules.SetTextMatrix(rules.AddRow(), 1, "洗车");
  forms::Input::Click(save);
  EXPECT_EQ(host_.Sink().Count("ErrMessage"), 2);
  report.Events().AttachSink(nullptr);
  EXPECT_EQ(host_.Scalar("select 方式 from ws_commission_rule where 维修分类ID = 1").ToText(),
            "比例");
}

// Commission is pay: the desk opens it for managers only, efficiency for any account of the
// desk but a technician's, whose account lives on the tablets.
TEST_F(TechnicianPayTest, OnlyManagersOpenCommission) {
  platform::AccountStore store(host_.Db());
  store.SetHashCost(platform::HashCost::Minimal);
  store.SetRefusalDelay(std::chrono::milliseconds(0));
  ASSERT_EQ(store.Add("老板", "owner-secret", "店主"), "");
  ASSERT_EQ(store.Add("老李", "check-secret", "审核员"), "");
  ASSERT_EQ(store.Add("zhang", "tech-secret", "技师"), "");
  struct Case {
    const char* account;
    bool efficiency;
    bool commission;
  };
  for (const Case& c :
       {Case{"老板", true, true}, Case{"老李", true, false}, Case{"zhang", false, false}}) {
    platform::AccessGuard guard(host_.Db(), c.account, true);
    EXPECT_EQ(guard.Refusal(GS_XL::kProgram, platform::Step::Open).empty(), c.efficiency)
        << c.account;
    EXPECT_EQ(guard.Refusal(TC_MX::kProgram, platform::Step::Open).empty(), c.commission)
        << c.account;
  }
}

// On a server the managers' group alone reads the rules: a technician's or a checker's own
// connection cannot work out anyone's pay, whatever program it runs.
TEST_F(TechnicianPayTest, TheServerRefusesCommissionToAllButManagers) {
  if (!host_.OnPostgres()) GTEST_SKIP() << "the server's grants are PostgreSQL's";
  platform::AccountStore store(host_.Db());
  store.SetHashCost(platform::HashCost::Minimal);
  const std::string suffix = std::to_string(::getpid());
  ASSERT_EQ(store.Add("boss" + suffix, "owner-secret", "店主"), "");
  ASSERT_EQ(store.Add("checker" + suffix, "check-secret", "审核员"), "");
  ASSERT_EQ(store.Add("tech" + suffix, "tech-secret", "技师"), "");
  const std::string schema = host_.Scalar("SELECT current_schema()").ToText();
  for (const auto& [login, allowed] : std::vector<std::pair<std::string, bool>>{
           {"boss" + suffix, true}, {"checker" + suffix, false}, {"tech" + suffix, false}}) {
    auto db = platform::PostgresDatabase::Open(platform::testing::LoginUrl(login, "x", schema));
    ASSERT_TRUE(db) << db.Error();
    const TechnicianPay pay = LoadCommission(*db, "2012-06-01", "2012-06-30", 2);
    EXPECT_EQ(pay.error.empty(), allowed) << login << ": " << pay.error;
    EXPECT_EQ(pay.rows.empty(), !allowed) << login;
  }
}

}  // namespace
}  // namespace ws::reports
