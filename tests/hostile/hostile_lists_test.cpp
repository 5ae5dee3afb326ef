// Hostile texts in the filters of the repair-order choosers (requisition, settlement, receipt)
// and of the two query reports, one table over every filter: each text lists without a broken
// statement, a text naming a stored number, plate, customer or collector lists exactly the row
// holding it, and a date filter holding no date narrows nothing. Then what comes out of them:
// imported orders, chosen rows, grid find and the report's print. SQLite and (with WS_PG_URL)
// PostgreSQL.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "db/value.h"
#include "forms/input.h"
#include "forms/text.h"
#include "hostile_host.h"
#include "platform/print_data.h"
#include "receipt/choosers.h"
#include "reports/find_prompt.h"
#include "reports/js_rpt.h"
#include "reports/ws_rpt.h"
#include "requisition/ckll_ws.h"
#include "requisition/frm_sel_ws.h"

namespace ws::hostile {
namespace {

using forms::Input;
using receipt::OrderChooser;
using reports::JS_RPT;
using reports::WS_RPT;
using requisition::frmSelWS;

constexpr int64_t kFirstId = 100;
int64_t Id(size_t n) {
  return kFirstId + static_cast<int64_t>(n);
}

// A chooser or report open on the shop: its filter fields, its query, its grid and the column
// of the ids it lists.
struct ListView {
  std::function<forms::Field&(int)> filter;
  std::function<void()> query;
  forms::Grid& grid;
  int idColumn;
};

enum class Subject {
  RequisitionChooser,
  SettlementChooser,
  ReceivableChooser,
  OrderReport,
  SettlementReport
};

// What a filter holding text n lists.
enum class Expect {
  Own,          // exactly row n, for texts a trimmed filter keeps as they are
  OwnAlways,    // exactly row n
  OwnResolved,  // a lookup: exactly row n whenever the text resolves to row n
  FirstPrefix,  // a lookup: the first row whose name starts with the text; none narrows nothing
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
    {Subject::RequisitionChooser, frmSelWS::kNumber, Expect::Own, frmSelWS::kColNote},
    {Subject::RequisitionChooser, frmSelWS::kPlate, Expect::OwnResolved},
    {Subject::RequisitionChooser, frmSelWS::kCustomer, Expect::OwnResolved},
    {Subject::RequisitionChooser, frmSelWS::kDateFrom, Expect::NoDate},
    {Subject::RequisitionChooser, frmSelWS::kDateTo, Expect::NoDate},
    {Subject::SettlementChooser, OrderChooser::kNumber, Expect::Own,
     receipt::frmSelWsJs::kColCustomer},
    {Subject::SettlementChooser, OrderChooser::kPlate, Expect::Own},
    {Subject::SettlementChooser, OrderChooser::kCustomer, Expect::Anything},
    {Subject::SettlementChooser, OrderChooser::kDateFrom, Expect::NoDate},
    {Subject::SettlementChooser, OrderChooser::kDateTo, Expect::NoDate},
    {Subject::ReceivableChooser, OrderChooser::kNumber, Expect::Own,
     receipt::frmSel_AR_Rec::kColCustomer},
    {Subject::ReceivableChooser, OrderChooser::kPlate, Expect::Anything},
    {Subject::OrderReport, WS_RPT::kNumber, Expect::Own},
    {Subject::OrderReport, WS_RPT::kCustomer, Expect::FirstPrefix},
    {Subject::OrderReport, WS_RPT::kVehicle, Expect::FirstPrefix},
    {Subject::OrderReport, WS_RPT::kCategory, Expect::FirstPrefix},
    {Subject::OrderReport, WS_RPT::kDateFrom, Expect::NoDate},
    {Subject::OrderReport, WS_RPT::kDateTo, Expect::NoDate},
    {Subject::SettlementReport, JS_RPT::kCustomer, Expect::OwnAlways},
    {Subject::SettlementReport, JS_RPT::kCollector, Expect::OwnAlways},
    {Subject::SettlementReport, JS_RPT::kDateFrom, Expect::NoDate},
    {Subject::SettlementReport, JS_RPT::kDateTo, Expect::NoDate},
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
             "补收金额,扣零金额,余额",
             {id, 200001, "02", kept, id, id, id, kept, 100, 0, 0, 0, 100});
      Insert("WSDJPJ", "单据明细ID,单据ID,产品ID,数量,已领用数,单价,说明",
             {1000 + id, id, 1, 2, 0, 10, text});
      Insert("PDMGY", "雇员ID,雇员编码,姓名", {id, Code('E', n), text});
      Insert("ARPReceive", "单据ID,progID,smark,单据编号,往来ID,业务员ID,摘要",
             {id, 200004, "01", Code('R', n), id, id, text});
    }
    Exec("update WSDJ set 进厂日期='2012-06-10'");
    Exec("update ARPReceive set 单据日期='2012-06-15'");
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
    receipt::frmSelWsJs settlementChooser;
    receipt::frmSel_AR_Rec receivables;
    WS_RPT orderReport;
    JS_RPT settlementReport;
    reports::ReportControl& report = subject == Subject::OrderReport
                                         ? static_cast<reports::ReportControl&>(orderReport)
                                         : settlementReport;
    switch (subject) {
      case Subject::RequisitionChooser:
        return modal(
            &requisitionChooser,
            [&] { requisitionChooser.py_SubProgram(System(), 0, 200002, "0"); },
            frmSelWS::kColDocumentId);
      case Subject::SettlementChooser:
        return modal(
            &settlementChooser, [&] { settlementChooser.py_SubProgram(System(), 200003, 0, 0); },
            receipt::frmSelWsJs::kColId);
      case Subject::ReceivableChooser:
        return modal(
            &receivables, [&] { receivables.py_Init(System(), 0, 0); },
            receipt::frmSel_AR_Rec::kColId);
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

  // Which row a lookup takes for a typed text: the first whose name (as kept) starts with the
  // trimmed text; -1 when none does.
  int FirstByPrefix(const std::string& typed, bool trimmedNames) const {
    const std::string prefix = forms::Trim(typed);
    if (prefix.empty()) return -1;
    for (size_t i = 0; i < texts_.size(); ++i) {
      const std::string name = trimmedNames ? forms::Trim(texts_[i]) : texts_[i];
      if (name.starts_with(prefix)) return static_cast<int>(i);
    }
    return -1;
  }

  const std::vector<std::string>& texts_ = HostileTexts();
};

TEST_F(HostileListTest, EveryFilterTakesEveryTextAsAValue) {
  std::set<int64_t> all;
  for (size_t n = 0; n < texts_.size(); ++n) all.insert(Id(n));
  for (Subject subject :
       {Subject::RequisitionChooser, Subject::SettlementChooser, Subject::ReceivableChooser,
        Subject::OrderReport, Subject::SettlementReport}) {
    With(subject, [&](ListView& view) {
      for (const FilterRow& row : kFilters) {
        if (row.subject != subject) continue;
        size_t resolved = 0;
        forms::Field& field = view.filter(row.filter);
        for (size_t n = 0; n < texts_.size(); ++n) {
          const std::string where = "subject " + std::to_string(static_cast<int>(subject)) +
                                    " filter " + std::to_string(row.filter) + " text " +
                                    std::to_string(n);
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
            EXPECT_EQ(listed.size(), all.size()) << where;
          }
          if (row.expect == Expect::FirstPrefix) {
            const int named = FirstByPrefix(
                texts_[n], subject == Subject::OrderReport && row.filter != WS_RPT::kCustomer);
            if (named >= 0) {
              EXPECT_EQ(listed, std::set<int64_t>{Id(static_cast<size_t>(named))}) << where;
            } else if (row.filter != WS_RPT::kCategory) {
              EXPECT_EQ(listed.size(), all.size())
                  << where << ": a customer or car matching nothing narrows nothing";
            }
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

TEST_F(HostileListTest, ChosenOrdersCarryTheirTextsByteForByte) {
  // Imported into a requisition: the order's number, plate, customer and the line's note.
  requisition::CKLl_WS doc;
  ASSERT_TRUE(doc.Init(System(), 200002, 0));
  doc.Events().AttachSink(&Sink());
  for (size_t n = 0; n < texts_.size(); n += 3) {
    Dialogs().SetModalHandler([&](host::IModalForm& form) {
      auto& chooser = static_cast<frmSelWS&>(form);
      Input::Type(chooser.Condition(frmSelWS::kNumber), forms::Trim(texts_[n]));
      chooser.btn_Click(2);
      EXPECT_EQ(chooser.Grid().DataRows(), 1) << n;
      EXPECT_TRUE(Input::EditCell(chooser.Grid(), 1, frmSelWS::kColTick, frmSelWS::kTick));
      chooser.btn_Click(0);
      return true;
    });
    ASSERT_TRUE(doc.FileNew());
    ASSERT_TRUE(Input::Click(doc.Form().Get<forms::Widget>(requisition::CKLl_WS::kImportButton)));
    EXPECT_TRUE(SameBytes(doc.Header(requisition::CKLl_WS::kOrder).Text(), forms::Trim(texts_[n])))
        << n;
    EXPECT_TRUE(
        SameBytes(doc.Header(requisition::CKLl_WS::kVehicle).Text(), forms::Trim(texts_[n])))
        << n;
    EXPECT_TRUE(SameBytes(doc.Header(requisition::CKLl_WS::kCustomer).Text(), texts_[n])) << n;
    EXPECT_TRUE(SameBytes(doc.Lines().Grid().TextMatrix(1, requisition::RequisitionLines::kRemark),
                          texts_[n]))
        << n;
    doc.FileCancel();
  }
  // Chosen to settle: the row comes back as listed.
  Dialogs().SetModalHandler([&](host::IModalForm& form) {
    auto& chooser = static_cast<receipt::frmSelWsJs&>(form);
    Input::Type(chooser.Filter(OrderChooser::kNumber), forms::Trim(texts_.back()));
    EXPECT_TRUE(chooser.Query());
    EXPECT_TRUE(Input::SelectRow(chooser.Grid(), 1));
    EXPECT_TRUE(Input::Click(chooser.Form().Get<forms::CommandButton>("btn", 0)));
    return true;
  });
  receipt::frmSelWsJs chooser;
  chooser.Events().AttachSink(&Sink());
  const auto chosen = chooser.py_SubProgram(System(), 200003, 0, 0);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_TRUE(SameBytes(chosen[0].row.i工单号码(), forms::Trim(texts_.back())));
  EXPECT_TRUE(SameBytes(chosen[0].row.i客户名称(), texts_.back()));
  EXPECT_EQ(Failures(), "");
}

TEST_F(HostileListTest, ReportGridFindReachesEveryTextAndPrintsTheFilter) {
  WS_RPT report;
  report.Events().AttachSink(&Sink());
  ASSERT_TRUE(report.Init(System(), WS_RPT::kProgram));
  ASSERT_TRUE(report.Refresh());
  forms::Grid& grid = report.Grid();
  ASSERT_EQ(grid.DataRows(), static_cast<int>(texts_.size()));
  constexpr int kNumberColumn = 1;  // 工单号码
  std::string asked;
  Dialogs().SetModalHandler([&](host::IModalForm& form) {
    EXPECT_TRUE(Input::Type(form.Form().Get<forms::Widget>(reports::FindPrompt::kText), asked));
    EXPECT_TRUE(
        Input::Click(form.Form().Get<forms::CommandButton>(reports::FindPrompt::kButton, 0)));
    return true;
  });
  for (size_t n = 0; n < texts_.size(); ++n) {
    const std::string kept = forms::Trim(texts_[n]);
    if (kept.empty()) continue;
    grid.SetCurrentCol(kNumberColumn);
    asked = kept;
    ASSERT_TRUE(report.Find()) << "text " << n;
    // Every match holds the text; going on reaches the order that is the text.
    bool reached = false;
    for (size_t step = 0; step <= texts_.size() && !reached; ++step) {
      const std::string cell = grid.TextMatrix(grid.Row(), kNumberColumn);
      EXPECT_NE(forms::FoldCase(cell).find(forms::FoldCase(kept)), std::string::npos) << n;
      reached = cell == kept;
      if (!reached) report.FindNext();
    }
    EXPECT_TRUE(reached) << "text " << n;
  }
  // A print names the filter as typed.
  for (size_t n = 0; n < texts_.size(); n += 4) {
    if (forms::Trim(texts_[n]) != texts_[n]) continue;
    Input::Type(report.FilterInput(WS_RPT::kNumber), texts_[n]);
    ASSERT_TRUE(report.Refresh());
    ASSERT_TRUE(report.DoPrint()) << Failures();
    const platform::PrintFile printed = platform::ReadPrintFile(report.PrintFileName());
    EXPECT_EQ(printed.error, "");
    const std::string* condition = printed.Value("条件");
    ASSERT_NE(condition, nullptr);
    EXPECT_NE(condition->find("工单号码：" + texts_[n]), std::string::npos) << n;
    const platform::PrintTable* rows = printed.Table(reports::ReportControl::kGrid);
    ASSERT_TRUE(rows && rows->rows.size() == 1u) << n;
    EXPECT_TRUE(SameBytes(rows->rows[0].at(kNumberColumn), texts_[n])) << n;
  }
  EXPECT_EQ(Failures(), "");
}

}  // namespace
}  // namespace ws::hostile
