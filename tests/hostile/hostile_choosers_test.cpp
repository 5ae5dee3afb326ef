// Hostile texts in the repair-order choosers of the requisition, the settlement and the receipt:
// every filter typed with each text lists without a broken statement, a filter equal to a
// stored number or plate lists exactly the order holding it, and an imported order shows its
// texts byte for byte. SQLite and (with WS_PG_URL) PostgreSQL.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "db/value.h"
#include "forms/input.h"
#include "forms/text.h"
#include "hostile_checks.h"
#include "hostile_corpus.h"
#include "hostile_host.h"
#include "receipt/choosers.h"
#include "requisition/ckll_ws.h"
#include "requisition/frm_sel_ws.h"

namespace ws::hostile {
namespace {

using forms::Input;
using requisition::frmSelWS;

constexpr int64_t kRequisitionProgram = 200002;
constexpr int64_t kSettlementProgram = 200003;
constexpr int64_t kFirstId = 100;

std::string Code(char letter, size_t n) {
  std::string digits = std::to_string(n);
  return letter + std::string(3 - digits.size(), '0') + digits;
}

// Checked repair order 100+n owing 100: number and plate text n as the repair order keeps them
// (trimmed), customer 100+n named text n, one part line whose note is text n.
class HostileChooserTest : public HostileHostTest {
 protected:
  void SetUp() override {
    HostileHostTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    texts_ = HostileTexts();
    for (size_t n = 0; n < texts_.size(); ++n) {
      const std::string& text = texts_[n];
      const int64_t id = Id(n);
      Run(db::Sql("insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (")
              .Key(id)
              .Raw(",")
              .Text(Code('K', n))
              .Raw(",")
              .Text(text)
              .Raw(",2)"));
      Run(db::Sql("insert into clzl (车辆ID,车辆编号,车牌号,车主ID) values (")
              .Key(id)
              .Raw(",")
              .Text(Code('Q', n))
              .Raw(",")
              .Text(forms::Trim(text))
              .Raw(",")
              .Key(id)
              .Raw(")"));
      Run(db::Sql("insert into WSDJ (单据ID,progid,smark,工单号码,车主ID,车辆ID,进厂日期,应收合计,"
                  "现收金额,补收金额,扣零金额,余额) values (")
              .Key(id)
              .Raw(",200001,'02',")
              .Text(forms::Trim(text))
              .Raw(",")
              .Key(id)
              .Raw(",")
              .Key(id)
              .Raw(",'2012-06-10',100,0,0,0,100)"));
      Run(db::Sql("insert into WSDJPJ (单据明细ID,单据ID,产品ID,数量,已领用数,单价,说明) values (")
              .Key(1000 + id)
              .Raw(",")
              .Key(id)
              .Raw(",1,2,0,10,")
              .Text(text)
              .Raw(")"));
    }
  }

  void Run(const db::Sql& sql) { EXPECT_EQ(db::Runner(Db()).Execute(sql), "") << sql.Literal(); }
  static int64_t Id(size_t n) { return kFirstId + static_cast<int64_t>(n); }
  // The ids a grid column lists.
  static std::set<int64_t> Listed(const forms::Grid& grid, int idColumn) {
    std::set<int64_t> ids;
    for (int row = grid.FixedRows(); row < grid.Rows(); ++row) {
      ids.insert(static_cast<int64_t>(db::NumericValue(grid.TextMatrix(row, idColumn))));
    }
    return ids;
  }
  // Texts a trimmed filter or a trimmed stored value keeps as they are.
  bool KeptAsTyped(size_t n) const { return forms::Trim(texts_[n]) == texts_[n]; }

  std::vector<std::string> texts_;
};

TEST_P(HostileChooserTest, RequisitionChooserFiltersAndImportsEveryText) {
  bool shown = false;
  size_t resolved = 0;
  dialogs_.SetModalHandler([&](host::IModalForm& form) {
    auto& chooser = static_cast<frmSelWS&>(form);
    shown = true;
    for (size_t n = 0; n < texts_.size(); ++n) {
      for (int condition : {frmSelWS::kNumber, frmSelWS::kPlate, frmSelWS::kCustomer}) {
        Input::Type(chooser.Condition(condition), texts_[n]);
        chooser.btn_Click(2);
        const std::set<int64_t> listed = Listed(chooser.Grid(), frmSelWS::kColDocumentId);
        if (condition == frmSelWS::kNumber && KeptAsTyped(n)) {
          EXPECT_EQ(listed, std::set<int64_t>{Id(n)}) << "number " << n;
        }
        if (condition != frmSelWS::kNumber && chooser.Condition(condition).KeyLong() == Id(n)) {
          ++resolved;
          EXPECT_EQ(listed, std::set<int64_t>{Id(n)}) << "lookup " << condition << " of " << n;
        }
        Input::Type(chooser.Condition(condition), "");
      }
      EXPECT_EQ(Failures(), "") << "text " << n;
    }
    chooser.btn_Click(1);
    return true;
  });
  requisition::SelectionList selection;
  frmSelWS chooser(selection);
  EXPECT_FALSE(chooser.py_SubProgram(System(), 0, kRequisitionProgram, "0"));
  EXPECT_TRUE(shown);
  // Plate and customer named by their own text resolve to their own row (all but a few that
  // an earlier name starts with, or that trimming changes).
  EXPECT_GT(resolved, texts_.size() * 3 / 2);

  // Imported into a requisition: the order's number, plate, customer and the line's note as
  // they are kept.
  requisition::CKLl_WS doc;
  ASSERT_TRUE(doc.Init(System(), kRequisitionProgram, 0));
  doc.Events().AttachSink(&Sink());
  for (size_t n = 0; n < texts_.size(); n += 3) {
    dialogs_.SetModalHandler([&](host::IModalForm& form) {
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
  }
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileChooserTest, DateConditionsThatHoldNoDateNarrowNothing) {
  std::set<int64_t> all;
  for (size_t n = 0; n < texts_.size(); ++n) all.insert(Id(n));
  auto sweep = [&](forms::Field& field, const std::function<void()>& query, forms::Grid& grid,
                   int idColumn) {
    for (size_t n = 0; n < texts_.size(); ++n) {
      Input::Type(field, texts_[n]);
      query();
      EXPECT_EQ(Listed(grid, idColumn), all) << field.Caption() << " " << n;
      EXPECT_EQ(Failures(), "") << field.Caption() << " " << n;
    }
    Input::Type(field, "");
  };
  dialogs_.SetModalHandler([&](host::IModalForm& form) {
    auto& chooser = static_cast<frmSelWS&>(form);
    for (int condition : {frmSelWS::kDateFrom, frmSelWS::kDateTo}) {
      sweep(
          chooser.Condition(condition), [&] { chooser.btn_Click(2); }, chooser.Grid(),
          frmSelWS::kColDocumentId);
    }
    chooser.btn_Click(1);
    return true;
  });
  requisition::SelectionList selection;
  frmSelWS requisitionChooser(selection);
  requisitionChooser.py_SubProgram(System(), 0, kRequisitionProgram, "0");

  dialogs_.SetModalHandler([&](host::IModalForm& form) {
    auto& chooser = static_cast<receipt::frmSelWsJs&>(form);
    for (int filter : {receipt::OrderChooser::kDateFrom, receipt::OrderChooser::kDateTo}) {
      sweep(
          chooser.Filter(filter), [&] { chooser.Query(); }, chooser.Grid(),
          receipt::frmSelWsJs::kColId);
    }
    chooser.Dismiss();
    return true;
  });
  receipt::frmSelWsJs settlementChooser;
  settlementChooser.Events().AttachSink(&Sink());
  settlementChooser.py_SubProgram(System(), kSettlementProgram, 0, 0);
}

TEST_P(HostileChooserTest, SettlementChooserFiltersEveryText) {
  bool shown = false;
  dialogs_.SetModalHandler([&](host::IModalForm& form) {
    auto& chooser = static_cast<receipt::frmSelWsJs&>(form);
    shown = true;
    for (size_t n = 0; n < texts_.size(); ++n) {
      for (int filter : {receipt::OrderChooser::kNumber, receipt::OrderChooser::kPlate,
                         receipt::OrderChooser::kCustomer}) {
        Input::Type(chooser.Filter(filter), texts_[n]);
        EXPECT_TRUE(chooser.Query()) << Failures();
        const std::set<int64_t> listed = Listed(chooser.Grid(), receipt::frmSelWsJs::kColId);
        if (filter != receipt::OrderChooser::kCustomer && KeptAsTyped(n)) {
          EXPECT_EQ(listed, std::set<int64_t>{Id(n)}) << "filter " << filter << " on " << n;
        }
        Input::Type(chooser.Filter(filter), "");
      }
      EXPECT_EQ(Failures(), "") << "text " << n;
    }
    // The chosen order's texts come back as listed.
    Input::Type(chooser.Filter(receipt::OrderChooser::kNumber), forms::Trim(texts_.back()));
    EXPECT_TRUE(chooser.Query());
    EXPECT_TRUE(Input::SelectRow(chooser.Grid(), 1));
    EXPECT_TRUE(Input::Click(chooser.Form().Get<forms::CommandButton>("btn", 0)));
    return true;
  });
  receipt::frmSelWsJs chooser;
  chooser.Events().AttachSink(&Sink());
  const auto chosen = chooser.py_SubProgram(System(), kSettlementProgram, 0, 0);
  EXPECT_TRUE(shown);
  ASSERT_EQ(chosen.size(), 1u);
  EXPECT_TRUE(SameBytes(chosen[0].row.i工单号码(), forms::Trim(texts_.back())));
  EXPECT_TRUE(SameBytes(chosen[0].row.i客户名称(), texts_.back()));
  EXPECT_EQ(Failures(), "");
}

TEST_P(HostileChooserTest, ReceivableChooserFiltersEveryText) {
  bool shown = false;
  dialogs_.SetModalHandler([&](host::IModalForm& form) {
    auto& chooser = static_cast<receipt::frmSel_AR_Rec&>(form);
    shown = true;
    for (size_t n = 0; n < texts_.size(); ++n) {
      for (int filter : {receipt::OrderChooser::kNumber, receipt::OrderChooser::kPlate}) {
        Input::Type(chooser.Filter(filter), texts_[n]);
        EXPECT_TRUE(chooser.Query()) << Failures();
        if (filter == receipt::OrderChooser::kNumber && KeptAsTyped(n)) {
          EXPECT_EQ(Listed(chooser.Grid(), receipt::frmSel_AR_Rec::kColId),
                    std::set<int64_t>{Id(n)})
              << "number " << n;
          EXPECT_TRUE(SameBytes(chooser.Grid().TextMatrix(1, receipt::frmSel_AR_Rec::kColCustomer),
                                texts_[n]))
              << n;
        }
        Input::Type(chooser.Filter(filter), "");
      }
      EXPECT_EQ(Failures(), "") << "text " << n;
    }
    EXPECT_TRUE(Input::Click(chooser.Form().Get<forms::CommandButton>("btn", 1)));
    return true;
  });
  receipt::frmSel_AR_Rec chooser;
  chooser.Events().AttachSink(&Sink());
  chooser.py_Init(System(), 0, 0);
  EXPECT_TRUE(shown);
  EXPECT_EQ(Failures(), "");
}

INSTANTIATE_TEST_SUITE_P(Engines, HostileChooserTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         [](const auto& info) { return EngineName(info.param); });

}  // namespace
}  // namespace ws::hostile
