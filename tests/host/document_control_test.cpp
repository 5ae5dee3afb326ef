#include "host/document_control.h"

#include <gtest/gtest.h>

#include "db/sql.h"
#include "forms/text.h"
#include "host/registry.h"
#include "support/test_host.h"

namespace ws::host {
namespace {

// A minimal document over the repair-order table: enough of a document to drive the shared
// skeleton through every path without the real repair order.
class TestDocument : public DocumentControl {
 public:
  TestDocument() : DocumentControl("TestDoc") {}
  int clears = 0;

 protected:
  void SetupForm() override {
    auto& number = form_.Add<forms::Field>("ywTxt", 2);
    number.SetCaption("工单号码");
    auto& user = form_.Add<forms::Field>("ywTxt", 12);
    user.SetAlwaysReadOnly(true);
    auto& grid = form_.Add<forms::Grid>("ywGridXM");
    grid.SetFormatString("行号|编码");
    form_.Add<forms::ComboBox>("cboKind");
    form_.Add<forms::CommandButton>("cmdImport");
  }
  std::string BaseSelect() const override { return " SELECT WSDJ.* FROM WSDJ"; }
  std::string ListWindow() override { return {}; }
  void ShowRecord(const db::Recordset& records, const std::string& position) override {
    MarkShown(records.Long("单据ID"));
    form_.Get<forms::Field>("ywTxt", 2).SetText(records.Text("工单号码"));
    SetRecordLabel("记录：" + (position.empty() ? std::string("0/0") : position));
    SetCheckedStamp(records.Text("smark") != "01");
  }
  void ClearForm() override {
    ++clears;
    ForgetShown();
    form_.Get<forms::Field>("ywTxt", 2).SetText("");
    SetRecordLabel("记录：0/0");
    SetCheckedStamp(false);
  }
};

class DocumentControlTest : public test::HostTest {
 protected:
  void SetUp() override { doc_.Events().AttachSink(&host_.Sink()); }

  void AddOrder(int64_t id, const std::string& number, const std::string& smark = "01",
                int64_t prog = 200001) {
    db::Sql sql("insert into WSDJ (单据ID,progid,smark,工单号码,进厂日期) values (");
    sql.Key(id).Raw(",").Key(prog).Raw(",").Text(smark).Raw(",").Text(number);
    host_.Exec(sql.Raw(",'2012-06-01')"));
  }
  forms::Field& Number() { return doc_.Form().Get<forms::Field>("ywTxt", 2); }

  TestDocument doc_;
};

TEST_F(DocumentControlTest, FilterFindAndFindNext) {
  AddOrder(10, "W010");
  AddOrder(20, "A020");
  AddOrder(30, "W030");
  AddOrder(40, "W040");
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  auto& filterLabel = doc_.Form().Get<forms::Label>(DocumentControl::kFilterLabel);

  EXPECT_FALSE(doc_.Filter(std::vector<Condition>{{"W", "工单号码 like"}, {" ", "进厂日期>="}}));
  EXPECT_TRUE(filterLabel.Visible());
  EXPECT_EQ(doc_.GetID(), 40) << "a filter reloads on the last record";

  doc_.Find(std::vector<Condition>{{"W0", "工单号码 like"}});
  EXPECT_EQ(doc_.GetID(), 10);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 30);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 40);
  doc_.FindNext();
  EXPECT_EQ(doc_.GetID(), 40) << "a silent search past the last match leaves the form";

  doc_.Find(std::vector<Condition>{{"nothing", "工单号码 like"}});
  EXPECT_EQ(doc_.GetID(), 0) << "an unsuccessful find clears the form";

  doc_.Filter(std::vector<Condition>{});
  EXPECT_FALSE(filterLabel.Visible());
  EXPECT_EQ(doc_.GetID(), 40);
}

TEST_F(DocumentControlTest, SetStatusCancelAndFailures) {
  AddOrder(10, "W010");
  AddOrder(20, "W020", "02");
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  doc_.RecordTop();
  ASSERT_EQ(doc_.GetID(), 10);

  ASSERT_TRUE(doc_.FileEdit());
  EXPECT_TRUE(doc_.Editing());
  Number().SetText("typed");
  ASSERT_TRUE(doc_.FileCancel());
  EXPECT_FALSE(doc_.Editing());
  EXPECT_EQ(Number().Text(), "W010") << "cancel reloads the last loaded document";

  doc_.Form().Get<forms::Label>(DocumentControl::kCheckedStamp).SetVisible(true);
  ASSERT_TRUE(doc_.DoSetStatus("change", false));
  EXPECT_EQ(doc_.GetID(), 10) << "change reloads only the shown document";
  EXPECT_FALSE(doc_.CheckStatus("")) << "the reload of W010 shows it unchecked";
  ASSERT_TRUE(doc_.DoSetStatus("审核", true));
  EXPECT_EQ(doc_.GetID(), 20);
  EXPECT_TRUE(doc_.CheckStatus(""));

  // A broken list query: the navigator's failure text is reported and the form stays.
  host_.Exec("drop table WSDJ");
  host_.Sink().Clear();
  EXPECT_TRUE(doc_.RecordNext());
  EXPECT_EQ(doc_.GetID(), 20);
  ASSERT_EQ(host_.Sink().ErrMessages().size(), 1u);
  EXPECT_NE(forms::FoldCase(host_.Sink().ErrMessages()[0]).find("wsdj"), std::string::npos);
}

}  // namespace
}  // namespace ws::host
