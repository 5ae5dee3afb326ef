// Hostile texts in the filters of the two query reports: every text filter set to each text and
// refreshed breaks no statement, and a filter equal to a stored hostile value lists exactly the
// rows holding it. SQLite and (with WS_PG_URL) PostgreSQL.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "forms/input.h"
#include "forms/text.h"
#include "hostile_checks.h"
#include "hostile_corpus.h"
#include "hostile_host.h"
#include "platform/print_data.h"
#include "reports/find_prompt.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"

namespace ws::hostile {
namespace {

using forms::Input;

// Master rows are numbered from here and coded <letter> + three digits, in corpus order.
constexpr int64_t kFirstId = 100;

std::string Code(char letter, size_t n) {
  std::string digits = std::to_string(n);
  return letter + std::string(3 - digits.size(), '0') + digits;
}

// Which of `names` (in code order) a lookup takes for a typed text: the first whose name starts
// with the trimmed text; -1 when none does.
int FirstByPrefix(const std::vector<std::string>& names, const std::string& typed) {
  const std::string prefix = forms::Trim(typed);
  if (prefix.empty()) return -1;
  for (size_t i = 0; i < names.size(); ++i) {
    if (names[i].starts_with(prefix)) return static_cast<int>(i);
  }
  return -1;
}

class HostileReportTest : public HostileHostTest {
 protected:
  void Run(const db::Sql& sql) { EXPECT_EQ(db::Runner(Db()).Execute(sql), "") << sql.Literal(); }

  // Types a filter and refreshes; answers the 单据ID column of the rows listed.
  std::set<int64_t> Listed(reports::ReportControl& report, int filter, const std::string& text) {
    Input::Type(report.FilterInput(filter), text);
    EXPECT_TRUE(report.Refresh()) << Failures();
    std::set<int64_t> ids;
    const forms::Grid& grid = report.Grid();
    for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
      ids.insert(static_cast<int64_t>(db::NumericValue(grid.TextMatrix(row, grid.Cols() - 1))));
    }
    Input::Type(report.FilterInput(filter), "");
    return ids;
  }
  static int64_t Id(size_t n) { return kFirstId + static_cast<int64_t>(n); }
  // A date field holding no date is marked for the user; the refresh neither breaks on it nor
  // narrows by it: every one of the `rows` rows stays listed.
  void DateFiltersNarrowNothing(reports::ReportControl& report, std::initializer_list<int> filters,
                                const std::vector<std::string>& texts, int rows) {
    for (int filter : filters) {
      for (size_t n = 0; n < texts.size(); ++n) {
        Input::Type(report.FilterInput(filter), texts[n]);
        EXPECT_FALSE(report.FilterInput(filter).Valid()) << n;
        EXPECT_TRUE(report.Refresh()) << n;
        EXPECT_EQ(report.Grid().DataRows(), rows) << n;
        EXPECT_EQ(Failures(), "") << "date filter " << filter << " with text " << n;
        Sink().Clear();
      }
      Input::Type(report.FilterInput(filter), "");
    }
  }
};

// Repair order n: customer n, car n, number and category text n (the category as the category
// card keeps it, trimmed).
class HostileOrderReportTest : public HostileReportTest {
 protected:
  void SetUp() override {
    HostileReportTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    texts_ = HostileTexts();
    for (size_t n = 0; n < texts_.size(); ++n) {
      const std::string& text = texts_[n];
      Run(db::Sql("insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (")
              .Key(Id(n))
              .Raw(",")
              .Text(Code('K', n))
              .Raw(",")
              .Text(text)
              .Raw(",2)"));
      Run(db::Sql("insert into clzl (车辆ID,车辆编号,车牌号,车主ID) values (")
              .Key(Id(n))
              .Raw(",")
              .Text(Code('Q', n))
              .Raw(",")
              .Text(text)
              .Raw(",")
              .Key(Id(n))
              .Raw(")"));
      Run(db::Sql("insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (")
              .Key(Id(n))
              .Raw(",")
              .Text(Code('G', n))
              .Raw(",")
              .Text(forms::Trim(text))
              .Raw(",'')"));
      Run(db::Sql(
              "insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,维修分类ID,维修分类,"
              "进厂日期) values (")
              .Key(Id(n))
              .Raw(",200001,'01',")
              .Text(text)
              .Raw(",")
              .Key(Id(n))
              .Raw(",")
              .Key(Id(n))
              .Raw(",")
              .Key(Id(n))
              .Raw(",")
              .Text(forms::Trim(text))
              .Raw(",'2012-06-10')"));
    }
    report_.Events().AttachSink(&Sink());
    ASSERT_TRUE(report_.Init(System(), reports::WS_RPT::kProgram));
  }

  std::vector<std::string> texts_;
  reports::WS_RPT report_;
};

TEST_P(HostileOrderReportTest, NumberFilterListsExactlyTheOrderHoldingTheText) {
  for (size_t n = 0; n < texts_.size(); ++n) {
    EXPECT_EQ(Listed(report_, reports::WS_RPT::kNumber, texts_[n]), std::set<int64_t>{Id(n)})
        << "number " << n;
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileOrderReportTest, LookupFiltersListTheOrdersOfTheRowTheTextNames) {
  std::vector<std::string> categories;
  for (const auto& text : texts_) categories.push_back(forms::Trim(text));
  std::set<int64_t> all;
  for (size_t n = 0; n < texts_.size(); ++n) all.insert(Id(n));
  for (int filter :
       {reports::WS_RPT::kCustomer, reports::WS_RPT::kVehicle, reports::WS_RPT::kCategory}) {
    const auto& names = filter == reports::WS_RPT::kCategory ? categories : texts_;
    for (size_t n = 0; n < texts_.size(); ++n) {
      const int named = FirstByPrefix(names, texts_[n]);
      const std::set<int64_t> listed = Listed(report_, filter, texts_[n]);
      if (named < 0) {
        // Refused as matching nothing: a customer or car without a key narrows nothing.
        if (filter != reports::WS_RPT::kCategory) {
          EXPECT_EQ(listed, all) << filter << "/" << n;
        }
        continue;
      }
      EXPECT_EQ(listed, std::set<int64_t>{Id(static_cast<size_t>(named))})
          << "filter " << filter << " on text " << n;
    }
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileOrderReportTest, GridFindReachesEveryTextAndPrintsTheFilter) {
  ASSERT_TRUE(report_.Refresh());
  forms::Grid& grid = report_.Grid();
  ASSERT_EQ(grid.DataRows(), static_cast<int>(texts_.size()));
  constexpr int kNumberColumn = 1;  // 工单号码
  std::string asked;
  dialogs_.SetModalHandler([&](host::IModalForm& form) {
    EXPECT_TRUE(Input::Type(form.Form().Get<forms::Widget>(reports::FindPrompt::kText), asked));
    EXPECT_TRUE(
        Input::Click(form.Form().Get<forms::CommandButton>(reports::FindPrompt::kButton, 0)));
    return true;
  });
  for (size_t n = 0; n < texts_.size(); ++n) {
    grid.SetCurrentCol(kNumberColumn);
    asked = texts_[n];
    ASSERT_TRUE(report_.Find()) << "text " << n;
    // The first match holds the text; going on reaches the order that is the text.
    bool reached = false;
    for (size_t step = 0; step <= texts_.size() && !reached; ++step) {
      const std::string cell = grid.TextMatrix(grid.Row(), kNumberColumn);
      EXPECT_NE(forms::FoldCase(cell).find(forms::FoldCase(texts_[n])), std::string::npos) << n;
      reached = cell == texts_[n];
      if (!reached) report_.FindNext();
    }
    EXPECT_TRUE(reached) << "text " << n;
  }
  // A print names the filter as typed.
  for (size_t n = 0; n < texts_.size(); n += 4) {
    Input::Type(report_.FilterInput(reports::WS_RPT::kNumber), texts_[n]);
    ASSERT_TRUE(report_.Refresh());
    ASSERT_TRUE(report_.DoPrint()) << Failures();
    const platform::PrintFile printed = platform::ReadPrintFile(report_.PrintFileName());
    EXPECT_EQ(printed.error, "");
    const std::string* condition = printed.Value("条件");
    ASSERT_NE(condition, nullptr);
    EXPECT_NE(condition->find("工单号码：" + texts_[n]), std::string::npos) << n;
    const platform::PrintTable* rows = printed.Table(reports::ReportControl::kGrid);
    ASSERT_NE(rows, nullptr);
    ASSERT_EQ(rows->rows.size(), 1u) << n;
    EXPECT_TRUE(SameBytes(rows->rows[0].at(kNumberColumn), texts_[n])) << n;
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileOrderReportTest, DateFiltersRefuseEveryTextThatIsNoDate) {
  DateFiltersNarrowNothing(report_, {reports::WS_RPT::kDateFrom, reports::WS_RPT::kDateTo}, texts_,
                           static_cast<int>(texts_.size()));
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileOrderReportTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

// Receipt n: settlement partner n and collector n, both named text n.
class HostileSettlementReportTest : public HostileReportTest {
 protected:
  void SetUp() override {
    HostileReportTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    texts_ = HostileTexts();
    for (size_t n = 0; n < texts_.size(); ++n) {
      const std::string& text = texts_[n];
      Run(db::Sql("insert into pdmwldwjs (往来ID,往来编码,公司名称,属性) values (")
              .Key(Id(n))
              .Raw(",")
              .Text(Code('K', n))
              .Raw(",")
              .Text(text)
              .Raw(",2)"));
      Run(db::Sql("insert into PDMGY (雇员ID,雇员编码,姓名) values (")
              .Key(Id(n))
              .Raw(",")
              .Text(Code('E', n))
              .Raw(",")
              .Text(text)
              .Raw(")"));
      Run(db::Sql("insert into ARPReceive (单据ID,progID,smark,单据编号,往来ID,业务员ID,单据日期,"
                  "摘要) values (")
              .Key(Id(n))
              .Raw(",200004,'01',")
              .Text(Code('R', n))
              .Raw(",")
              .Key(Id(n))
              .Raw(",")
              .Key(Id(n))
              .Raw(",'2012-06-15',")
              .Text(text)
              .Raw(")"));
    }
    report_.Events().AttachSink(&Sink());
    ASSERT_TRUE(report_.Init(System(), reports::JS_RPT::kProgram));
  }

  std::vector<std::string> texts_;
  reports::JS_RPT report_;
};

TEST_P(HostileSettlementReportTest, NameFiltersListExactlyTheDocumentOfThatName) {
  for (int filter : {reports::JS_RPT::kCustomer, reports::JS_RPT::kCollector}) {
    for (size_t n = 0; n < texts_.size(); ++n) {
      EXPECT_EQ(Listed(report_, filter, texts_[n]), std::set<int64_t>{Id(n)})
          << "filter " << filter << " on text " << n;
    }
  }
  // Both at once, and with the checked box: still a value each, never a statement piece.
  for (size_t n = 0; n < texts_.size(); n += 5) {
    Input::Type(report_.FilterInput(reports::JS_RPT::kCollector), texts_[n]);
    EXPECT_EQ(Listed(report_, reports::JS_RPT::kCustomer, texts_[n]), std::set<int64_t>{Id(n)});
    EXPECT_TRUE(Input::Click(report_.CheckedOnly()).accepted);
    EXPECT_EQ(Listed(report_, reports::JS_RPT::kCustomer, texts_[n]), std::set<int64_t>{});
    EXPECT_TRUE(Input::Click(report_.CheckedOnly()).accepted);
    Input::Type(report_.FilterInput(reports::JS_RPT::kCollector), "");
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileSettlementReportTest, DateFiltersRefuseEveryTextThatIsNoDate) {
  DateFiltersNarrowNothing(report_, {reports::JS_RPT::kDateFrom, reports::JS_RPT::kDateTo}, texts_,
                           static_cast<int>(texts_.size()));
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileSettlementReportTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

}  // namespace
}  // namespace ws::hostile
