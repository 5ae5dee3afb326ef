// Hostile texts in the filters of the repair-order choosers (requisition, settlement, receipt)
// and of the two query reports, one table over every filter: each text lists without a broken
// statement, a text naming a stored number, plate, customer or collector lists exactly the row
// holding it, and a date filter holding no date narrows nothing. SQLite and (with WS_PG_URL)
// PostgreSQL.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "db/value.h"
#include "forms/input.h"
#include "forms/text.h"
#include "hostile_host.h"
#include "money/choosers.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"
#include "requisition/frm_sel_ws.h"

namespace ws::hostile {
namespace {

using forms::Input;
using framework::OrderChooser;
using reports::JS_RPT;
using reports::WS_RPT;
using requisition::frmSelWS;

// The id of row n of every kind.
constexpr int64_t Id(size_t n) {
  return 100 + static_cast<int64_t>(n);
}

// A chooser or report open on the shop: its filter fields, its query, its grid and the column
// of the ids it lists.
struct ListView {
  std::function<forms::Field&(int)> filter;
  std::function<void()> query;
  forms::Grid& grid;
  int idColumn;
};

// The three repair-order choosers and the two reports.
enum class Subject { Requisition, Settlement, Receivable, OrderReport, SettlementReport };

// What a filter holding text n lists.
enum class Expect {
  Own,          // exactly row n, for texts a trimmed filter keeps as they are
  OwnAlways,    // exactly row n
  OwnResolved,  // a lookup: exactly row n whenever the text resolves to row n
  Anything,     // whatever it lists, without a failure
  NoDate,       // no date: every row
};

struct FilterRow {
  Subject subject;
  int filter;
  Expect expect;
  int textColumn = -1;  // where a row listed as its own shows text n as the master keeps it
};

const FilterRow kFilters[] = {
    {Subject::Requisition, frmSelWS::kNumber, Expect::Own, frmSelWS::kColNote},
    {Subject::Requisition, frmSelWS::kPlate, Expect::OwnResolved},
    {Subject::Requisition, frmSelWS::kCustomer, Expect::OwnResolved},
    {Subject::Requisition, frmSelWS::kDateFrom, Expect::NoDate},
    {Subject::Settlement, OrderChooser::kNumber, Expect::Own, money::frmSelWsJs::kColCustomer},
    {Subject::Settlement, OrderChooser::kPlate, Expect::Own},
    {Subject::Settlement, OrderChooser::kCustomer, Expect::Anything},
    {Subject::Settlement, OrderChooser::kDateFrom, Expect::NoDate},
    {Subject::Receivable, OrderChooser::kNumber, Expect::Own, money::frmSel_AR_Rec::kColCustomer},
    {Subject::OrderReport, WS_RPT::kNumber, Expect::Own, 1},  // 工单号码
    {Subject::OrderReport, WS_RPT::kCustomer, Expect::Anything},
    {Subject::OrderReport, WS_RPT::kDateFrom, Expect::NoDate},
    {Subject::SettlementReport, JS_RPT::kCustomer, Expect::OwnAlways},
    {Subject::SettlementReport, JS_RPT::kCollector, Expect::OwnAlways},
    {Subject::SettlementReport, JS_RPT::kDateFrom, Expect::NoDate},
};

// The ids a grid column lists (-1: the last column).
std::set<int64_t> Listed(const forms::Grid& grid, int idColumn) {
  if (idColumn < 0) idColumn = grid.Cols() - 1;
  std::set<int64_t> ids;
  for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
    ids.insert(static_cast<int64_t>(db::NumericValue(grid.TextMatrix(row, idColumn))));
  }
  return ids;
}

// Row n of each kind holds text n: customer and settlement partner named it, car, category and
// checked repair order (owing 100, one part line noted with it) holding it as those keep it
// (trimmed), a collector named it and a receipt of that partner and collector summarised by it.
class HostileListTest : public HostileTest {
 protected:
  void SetUp() override {
    HostileTest::SetUp();
    for (size_t n = 0; n < texts_.size(); ++n) {
      const std::string& text = texts_[n];
      const std::string kept = forms::Trim(text);
      const int64_t id = Id(n);
      for (const char* table : {"pdmwldw", "pdmwldwjs"}) {
        Insert(table, "往来ID,往来编码,公司名称,属性", {id, Code('K', n), text, 2});
      }
      Insert("clzl", "车辆ID,车辆编号,车牌号,车主ID", {id, Code('Q', n), kept, id});
      Insert("pdmwxfl", "维修分类ID,编码,维修分类,说明", {id, Code('G', n), kept, ""});
      Insert("WSDJ",
             "单据ID,progid,smark,工单号码,车主ID,车辆ID,维修分类ID,维修分类,应收合计,现收金额,"
             "补收金额,扣零金额,余额,进厂日期",
             {id, 200001, "02", kept, id, id, id, kept, 100, 0, 0, 0, 100, "2012-06-10"});
      Insert("WSDJPJ", "单据明细ID,单据ID,产品ID,数量,已领用数,单价,说明",
             {1000 + id, id, 1, 2, 0, 10, text});
      Insert("PDMGY", "雇员ID,雇员编码,姓名", {id, Code('E', n), text});
      Insert("ARPReceive", "单据ID,progID,smark,单据编号,往来ID,业务员ID,摘要,单据日期",
             {id, 200004, "01", Code('R', n), id, id, text, "2012-06-15"});
    }
  }

  // A code of three digits after a letter.
  static std::string Code(char letter, size_t n) {
    return letter + std::to_string(1000 + n).substr(1);
  }

  // One row, every value bound (integers as numbers, the rest as texts).
  void Insert(const std::string& table, const std::string& columns,
              const std::vector<db::Value>& values) {
    db::Sql sql("insert into " + table + " (" + columns + ") values (");
    for (size_t i = 0; i < values.size(); ++i) {
      sql.Raw(i > 0 ? "," : "");
      values[i].IsInteger() ? sql.Key(values[i].ToLong()) : sql.Text(values[i].ToText());
    }
    host_.Exec(sql.Raw(")"));
  }

  // Opens the subject and hands it to `use` (a chooser is modal: `use` runs while it is shown).
  void With(Subject subject, const std::function<void(ListView&)>& use) {
    bool shown = false;
    // The chooser shown, used, closed.
    auto modal = [&](auto* chooser, auto open, int idColumn) {
      Dialogs().SetModalHandler([&](host::IModalForm& form) {
        auto& shownChooser = static_cast<decltype(*chooser)>(form);
        ListView view{[&](int i) -> forms::Field& { return FilterOf(shownChooser, i); },
                      [&] { Query(shownChooser); }, shownChooser.Grid(), idColumn};
        use(view);
        shown = true;
        form.Dismiss();
        return true;
      });
      if constexpr (requires { chooser->Events(); }) chooser->Events().AttachSink(&Sink());
      open();
      EXPECT_TRUE(shown);
    };
    requisition::SelectionList selection;
    frmSelWS requisitionChooser(selection);
    money::frmSelWsJs settlementChooser;
    money::frmSel_AR_Rec receivables;
    WS_RPT orderReport;
    JS_RPT settlementReport;
    reports::ReportControl& report = subject == Subject::OrderReport
                                         ? static_cast<reports::ReportControl&>(orderReport)
                                         : settlementReport;
    switch (subject) {
      case Subject::Requisition:
        return modal(
            &requisitionChooser,
            [&] { requisitionChooser.py_SubProgram(System(), 0, 200002, "0"); },
            frmSelWS::kColDocumentId);
      case Subject::Settlement:
        return modal(
            &settlementChooser, [&] { settlementChooser.py_SubProgram(System(), 200003, 0, 0); },
            money::frmSelWsJs::kColId);
      case Subject::Receivable:
        return modal(
            &receivables, [&] { receivables.py_Init(System(), 0, db::Amount()); },
            money::frmSel_AR_Rec::kColId);
      default: {
        report.Events().AttachSink(&Sink());
        ASSERT_TRUE(report.Init(
            System(), subject == Subject::OrderReport ? WS_RPT::kProgram : JS_RPT::kProgram));
        ListView view{[&](int i) -> forms::Field& { return report.FilterInput(i); },
                      [&] { EXPECT_TRUE(report.Refresh()) << Failures(); }, report.Grid(), -1};
        use(view);
      }
    }
  }
  static forms::Field& FilterOf(frmSelWS& chooser, int i) { return chooser.Condition(i); }
  static forms::Field& FilterOf(OrderChooser& chooser, int i) { return chooser.Filter(i); }
  static void Query(frmSelWS& chooser) { chooser.btn_Click(2); }
  static void Query(OrderChooser& chooser) { EXPECT_TRUE(chooser.Query()); }

  const std::vector<std::string>& texts_ = HostileTexts();
};

TEST_F(HostileListTest, EveryFilterTakesEveryTextAsAValue) {
  for (Subject subject : {Subject::Requisition, Subject::Settlement, Subject::Receivable,
                          Subject::OrderReport, Subject::SettlementReport}) {
    With(subject, [&](ListView& view) {
      for (const FilterRow& row : kFilters) {
        if (row.subject != subject) continue;
        size_t resolved = 0;
        forms::Field& field = view.filter(row.filter);
        for (size_t n = 0; n < texts_.size(); ++n) {
          const std::string where =
              ::testing::PrintToString(std::tuple{static_cast<int>(subject), row.filter, n});
          Input::Type(field, texts_[n]);
          view.query();
          const std::set<int64_t> listed = Listed(view.grid, view.idColumn);
          const bool own = row.expect == Expect::OwnAlways ||
                           (row.expect == Expect::Own && forms::Trim(texts_[n]) == texts_[n]) ||
                           (row.expect == Expect::OwnResolved && field.KeyLong() == Id(n));
          resolved += row.expect == Expect::OwnResolved && own;
          EXPECT_TRUE(!own || listed == std::set<int64_t>{Id(n)})
              << where << " lists " << listed.size();
          EXPECT_TRUE(!own || row.textColumn < 0 ||
                      SameBytes(view.grid.TextMatrix(1, row.textColumn), texts_[n]))
              << where;
          if (row.expect == Expect::NoDate) {
            EXPECT_FALSE(field.Valid()) << where;
            EXPECT_EQ(listed.size(), texts_.size()) << where;
          }
          EXPECT_EQ(TakeFailures(), "") << where;
        }
        Input::Type(field, "");
        // A plate or customer named by its own text resolves to its own row, all but a few an
        // earlier name starts with.
        EXPECT_TRUE(row.expect != Expect::OwnResolved || resolved > texts_.size() * 3 / 4)
            << row.filter << " resolved " << resolved;
      }
    });
  }
}

}  // namespace
}  // namespace ws::hostile
