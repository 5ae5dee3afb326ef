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
  std::string RecordLabel() {
    return doc_.Form().Get<forms::Label>(DocumentControl::kRecordLabel).Caption();
  }

  TestDocument doc_;
};

TEST_F(DocumentControlTest, InitStartsReadOnlyAndNewOpensEveryWidgetButTheAuditFields) {
  host_.System().SetParameter(12, 1, "201205");
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  EXPECT_EQ(doc_.Form().Get<forms::Label>(DocumentControl::kCaptionLabel).Caption(), "维修工单");
  // The rest of what Init reads is checked by the documents that use it.
  EXPECT_EQ(doc_.CurrentPeriodParameter(), 201205);
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 0) << "Init loads nothing";
  auto parameters = std::make_shared<Parameters>();
  parameters->Set("BackColor", "16777215");
  doc_.SetParameters(parameters);
  EXPECT_EQ(doc_.Form().BackColor(), 16777215);
  EXPECT_EQ(doc_.GetParameters(), nullptr);
  EXPECT_FALSE(doc_.FileEdit());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].text, "没有选择单据");
  EXPECT_EQ(host_.Dialogs().Boxes()[0].title, "请注意！");
  EXPECT_EQ(host_.Dialogs().Boxes()[0].icon, MsgIcon::Information);

  auto& grid = doc_.Form().Get<forms::Grid>("ywGridXM");
  auto& combo = doc_.Form().Get<forms::ComboBox>("cboKind");
  auto& button = doc_.Form().Get<forms::CommandButton>("cmdImport");
  EXPECT_TRUE(Number().Locked());
  EXPECT_FALSE(grid.Editable() || combo.Enabled() || button.Enabled());
  ASSERT_TRUE(doc_.FileNew());
  EXPECT_TRUE(doc_.Editing());
  EXPECT_FALSE(Number().Locked());
  EXPECT_TRUE(grid.Editable() && combo.Enabled() && button.Enabled());
  EXPECT_TRUE(doc_.Form().Get<forms::Field>("ywTxt", 12).Locked()) << "audit field stays read-only";
  EXPECT_EQ(RecordLabel(), "新建记录...");
  EXPECT_FALSE(doc_.IsDirty());
  EXPECT_EQ(host_.Sink().Messages().back(), "正在新建单据中...");

  TestDocument unknown;
  ASSERT_TRUE(unknown.Init(host_.System(), 999, 0));
  EXPECT_EQ(unknown.Form().Caption(), "") << "a program without a menu entry has no caption";
}

TEST_F(DocumentControlTest, NavigationStopsAtBothEndsAndCountsPositions) {
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  ASSERT_TRUE(doc_.RecordBottom());  // an empty list clears the form
  EXPECT_EQ(doc_.GetID(), 0);
  EXPECT_EQ(RecordLabel(), "记录：0/0");
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
  AddOrder(10, "W010");
  AddOrder(20, "W020", "02");
  AddOrder(30, "W030");
  AddOrder(40, "X040", "01", 200002);  // another program's document is never listed

  ASSERT_TRUE(doc_.RecordTop());
  EXPECT_EQ(doc_.GetID(), 10);
  EXPECT_EQ(RecordLabel(), "记录：1/3");
  EXPECT_TRUE(doc_.RecordPrevious());
  EXPECT_EQ(doc_.GetID(), 10) << "previous at the first record stays";
  doc_.RecordNext();
  EXPECT_EQ(Number().Text(), "W020");
  EXPECT_TRUE(doc_.CheckStatus("")) << "a checked document shows the stamp";
  doc_.RecordNext();
  doc_.RecordNext();
  EXPECT_EQ(doc_.GetID(), 30) << "next at the last record stays";
  EXPECT_EQ(RecordLabel(), "记录：3/3");
  EXPECT_FALSE(doc_.CheckStatus(""));
  doc_.RecordTop();
  ASSERT_TRUE(doc_.Refresh());
  EXPECT_EQ(doc_.GetID(), 30) << "refresh goes to the last record";
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 8);
  EXPECT_FALSE(doc_.IsDirty());
}

TEST_F(DocumentControlTest, FilterFindAndFindNext) {
  AddOrder(10, "W010");
  AddOrder(20, "A020");
  AddOrder(30, "W030");
  AddOrder(40, "W040");
  ASSERT_TRUE(doc_.Init(host_.System(), 200001, 0));
  auto& filterLabel = doc_.Form().Get<forms::Label>(DocumentControl::kFilterLabel);

  int refreshed = host_.Sink().Count("FormRefreshed");
  EXPECT_FALSE(doc_.Filter(std::nullopt));
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), refreshed) << "an Empty filter does not reload";

  EXPECT_FALSE(doc_.FindNext());
  EXPECT_EQ(doc_.GetID(), 0) << "FindNext without Find does nothing";

  EXPECT_FALSE(doc_.Filter(std::vector<Condition>{{"W", "工单号码 like"}, {" ", "进厂日期>="}}));
  EXPECT_EQ(doc_.FilterCondition(), " 工单号码 like '%W%' escape '\\'");
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
  EXPECT_EQ(Number().Text(), "W040");

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
  EXPECT_EQ(host_.Sink().Messages().back(), "");

  doc_.Form().Get<forms::Label>(DocumentControl::kCheckedStamp).SetVisible(true);
  ASSERT_TRUE(doc_.DoSetStatus("change", false));
  EXPECT_EQ(doc_.GetID(), 10) << "change reloads only the shown document";
  EXPECT_FALSE(doc_.CheckStatus("")) << "the reload of W010 shows it unchecked";
  ASSERT_TRUE(doc_.DoSetStatus("审核", true));
  EXPECT_EQ(doc_.GetID(), 20);
  EXPECT_TRUE(doc_.CheckStatus(""));
  auto messages = host_.Sink().Messages();
  ASSERT_GE(messages.size(), 2u);
  EXPECT_EQ(messages[messages.size() - 2], "数据正在切换状态");

  // A broken list query: the navigator's failure text is reported and the form stays.
  host_.Exec("drop table WSDJ");
  host_.Sink().Clear();
  EXPECT_TRUE(doc_.RecordNext());
  EXPECT_EQ(doc_.GetID(), 20);
  ASSERT_EQ(host_.Sink().ErrMessages().size(), 1u);
  EXPECT_NE(forms::FoldCase(host_.Sink().ErrMessages()[0]).find("wsdj"), std::string::npos);
  EXPECT_EQ(host_.Sink().Named("ErrMessage")[0].args[1].ToLong(), kLevelFailure);
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 1);
}

TEST(RegistryTest, CreatesByProgrammaticName) {
  Registry registry;
  registry.Register("TestDoc", [] { return std::make_unique<TestDocument>(); });
  // The "WS." prefix is the hosts' spelling; the bare name is the same control.
  EXPECT_NE(registry.Create("TestDoc"), nullptr);
  EXPECT_EQ(registry.Create("WS.Nothing"), nullptr);
  EXPECT_EQ(registry.Names(), std::vector<std::string>{"WS.TestDoc"});
}

}  // namespace
}  // namespace ws::host
