// The save template on a document of the test's own: one numbered header over a table of
// its own and one line set. The hooks run in their order around the writes, a refusal or
// failure anywhere leaves nothing written and the form as typed, and a row another desk has
// changed, checked or deleted is refused.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "framework/document.h"
#include "support/test_host.h"

namespace ws::framework {
namespace {

constexpr int64_t kProgram = 4711;

class FakeDocument : public Document {
 public:
  enum : int { kNumber = 0, kAmount = 1, kDate = 2, kCategory = 3, kChecker = 4, kOut = 5 };

  FakeDocument() : Document("FAKE", Description(), "f") {}

  static const HeaderSchema& Description() {
    static const HeaderSchema schema(
        "t_fake", "单据ID",
        {Stored("单据ID", ValueKind::Id, SaveMode::InsertOnly),
         Stored("progid", ValueKind::Id, SaveMode::InsertOnly),
         Stored("smark", ValueKind::Text, SaveMode::InsertOnly),
         TextField(kNumber, "单据编号", "no").Role(FieldRole::Number),
         NumberField(kAmount, "金额", "amount"),
         DateField(kDate, "日期", "doc_date").Role(FieldRole::DocumentDate),
         LookupField(kCategory, "分类", "cat_id", "cat", ""),
         Stored("cat", ValueKind::Text).TextOf(kCategory),
         TextField(kChecker, "审核人", "checker").Saves(SaveMode::ReadOnly),
         DateField(kOut, "出厂日期", "out_date").EmptyDate("1900-01-01")});
    return schema;
  }

  LineSet& Lines() { return *lines_; }
  std::vector<std::string> calls;
  std::string refuseIn;  // the hook that answers false
  std::string throwIn;   // the hook that throws

 protected:
  void SetupForm() override {
    BuildHeader("FAKE-->");
    auto& grid = form_.Add<forms::Grid>("g");
    grid.SetCols(4);
    grid.SetFixedRows(1);
    LineSchema schema{"t_fake_line", "t_fake_line", "单据明细ID", "单据ID", 1, 2, 3, 0,
                      "item_id",     "code",        {},           {}};
    schema.cells = {LineCell("", 0), LineCell("", 0), LineCell("", 0).Saves("name"),
                    LineCell("", 0).Saves("amount", ValueKind::Number)};
    lines_ = std::make_unique<LineSet>(grid, schema);
    AddLineSet(*lines_);
  }
  std::string BaseSelect() const override { return "SELECT * FROM t_fake"; }
  void ShowDetails(const db::Recordset&) override {
    lines_->Load(
        *db::Runner(Database())
             .OpenOrThrow(db::Sql("SELECT t_fake_line.*, '' AS code FROM t_fake_line WHERE 单据ID=")
                              .Key(CurrentId())
                              .Raw(" ORDER BY 单据明细ID")));
  }

  bool ValidateSave() override { return Hook("validate") && Document::ValidateSave(); }
  bool PrepareSave(RowValues& values, bool isNew) override {
    if (isNew) {
      values["progid"] = std::to_string(kProgram);
      values["smark"] = "01";
    }
    return Hook("prepare");
  }
  bool CheckInTransaction(SaveContext& ctx) override {
    return Hook("check") && Document::CheckInTransaction(ctx);
  }
  bool BeforeHeader(SaveContext& ctx) override { return Hook("before " + Written(ctx)); }
  bool AfterLines(SaveContext& ctx) override { return Hook("after " + Written(ctx)); }
  void AfterCommit(const SaveContext&) override { Hook("commit"); }

 private:
  // What the transaction has written of this document so far: header rows / line rows.
  static std::string Written(SaveContext& ctx) {
    auto count = [&](const char* table) {
      return std::to_string(static_cast<int>(ctx.tx.Db().ScalarNumberOrThrow(
          db::Sql("SELECT count(*) FROM ").Raw(table).Raw(" WHERE 单据ID=").Key(ctx.id))));
    };
    return count("t_fake") + "/" + count("t_fake_line");
  }
  bool Hook(const std::string& call) {
    calls.push_back(call);
    const std::string name = call.substr(0, call.find(' '));
    if (name == throwIn) throw std::runtime_error(name + " broke");
    return name != refuseIn;
  }

  std::unique_ptr<LineSet> lines_;
};

class DocumentTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Exec(
        "create table t_fake (单据ID integer primary key, progid integer, smark text, no text, "
        "amount numeric, doc_date date, cat text, cat_id integer, checker text, out_date date)");
    host_.Exec(
        "create table t_fake_line (单据明细ID integer primary key, 单据ID integer, item_id "
        "integer, name text, amount numeric)");
    host_.RefuseOn("fail_line", "t_fake_line", "INSERT", "明细表已锁定", "new.amount >= 1000");
    doc_.Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(doc_.Init(host_.System(), kProgram, 0));
  }
  forms::Field& F(int index) { return doc_.Form().Get<forms::Field>("f", index); }
  void Type(int index, const std::string& text) { ASSERT_TRUE(forms::Input::Type(F(index), text)); }
  void NewWithLines(const std::string& number, std::vector<std::string> amounts) {
    ASSERT_TRUE(doc_.FileNew());
    Type(FakeDocument::kNumber, number);
    Type(FakeDocument::kAmount, "12.5");
    forms::Grid& grid = doc_.Lines().Grid();
    for (const std::string& amount : amounts) {
      const int row = grid.AddRow();
      grid.SetTextMatrix(row, 2, "line " + amount);
      grid.SetTextMatrix(row, 3, amount);
    }
  }
  std::string StoredRows() {
    return host_.Joined("select no, amount from t_fake order by 单据ID") + "|" +
           host_.Joined("select name from t_fake_line order by 单据明细ID");
  }
  std::string LastBox() { return host_.Dialogs().Boxes().back().text; }

  FakeDocument doc_;
};

TEST_F(DocumentTest, HooksRunInOrderAroundTheWritesAndTheSavedDocumentIsShownAgain) {
  NewWithLines("A'1 -- x", {"10", "20"});
  EXPECT_EQ(F(FakeDocument::kDate).Text(), test::kTestLoginDate.Text()) << "New dates it";
  F(FakeDocument::kCategory).SetValue("3", "小修");
  F(FakeDocument::kChecker).SetText("不该保存");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(doc_.calls, (std::vector<std::string>{"validate", "prepare", "check", "before 0/0",
                                                  "after 1/2", "commit"}));
  EXPECT_EQ(StoredRows(), "A'1 -- x/12.5|line 10,line 20");
  // A lookup saves its key and its text; a read-only column is never written; an empty date
  // is stored as its description says.
  EXPECT_EQ(host_.RowText("select cat_id, cat, checker, out_date from t_fake"),
            "3/小修//1900-01-01");
  EXPECT_FALSE(doc_.Editing());
  EXPECT_EQ(host_.Sink().Messages().back(), "保存单据成功！");
  EXPECT_EQ(F(FakeDocument::kCategory).Key() + F(FakeDocument::kCategory).Text() +
                F(FakeDocument::kChecker).Text() + F(FakeDocument::kOut).Text(),
            "3小修")
      << "the stored stand-in for no date is shown empty";

  // A resave updates the same row and deletes the removed lines; a date emptied is Null.
  ASSERT_TRUE(doc_.FileEdit());
  doc_.Lines().RemoveAll();
  Type(FakeDocument::kAmount, "7");
  Type(FakeDocument::kDate, "");
  ASSERT_TRUE(doc_.FileSave());
  EXPECT_EQ(StoredRows(), "A'1 -- x/7|");
  EXPECT_EQ(host_.Scalar("select count(*) from t_fake where doc_date is null").ToLong(), 1);
  EXPECT_THROW(HeaderSchema("t", "id", {Stored("a", ValueKind::Text), Stored("a", ValueKind::Id)}),
               std::logic_error)
      << "a column described twice";
}

TEST_F(DocumentTest, ARefusalOrFailureAnywhereWritesNothingAndKeepsTheFormAsTyped) {
  // The hook that refuses, the hook that throws, the second line's amount (the line table
  // refuses 1000) and the error message told.
  struct Case {
    const char *refuseIn, *throwIn, *lineAmount, *told;
  };
  const Case cases[] = {{"check", "", "1", ""},
                        {"before", "", "1", ""},
                        {"after", "", "1", ""},
                        {"", "after", "1", "after broke"},
                        {"", "before", "1", "before broke"},
                        {"", "", "1000", "明细表已锁定"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.refuseIn) + c.throwIn + c.lineAmount);
    host_.Sink().Clear();
    doc_.refuseIn = c.refuseIn;
    doc_.throwIn = c.throwIn;
    NewWithLines("B-1", {"5", c.lineAmount});
    EXPECT_FALSE(doc_.FileSave());
    EXPECT_EQ(StoredRows(), "|");
    EXPECT_FALSE(host_.Db().InTransaction());
    EXPECT_TRUE(doc_.Editing());
    EXPECT_EQ(doc_.GetID(), 0);
    EXPECT_EQ(doc_.Lines().LineId(1), 0) << "no line id survives a rollback";
    EXPECT_EQ(F(FakeDocument::kNumber).Text(), "B-1");
    EXPECT_TRUE(!*c.told || host_.Sink().HasErrMessage(c.told));
  }
  // The same input saves once nothing is in the way.
  doc_.refuseIn = doc_.throwIn = "";
  NewWithLines("B-1", {"5"});
  EXPECT_TRUE(doc_.FileSave());
  EXPECT_EQ(StoredRows(), "B-1/12.5|line 5");
}

TEST_F(DocumentTest, ATakenNumberAndARowChangedByAnotherDeskAreRefused) {
  NewWithLines("C-1", {"1"});
  ASSERT_TRUE(doc_.FileSave());
  NewWithLines("C-1", {"2"});
  EXPECT_FALSE(doc_.FileSave());
  EXPECT_EQ(LastBox(), "单据编号重复,请检查后重试!");
  EXPECT_EQ(StoredRows(), "C-1/12.5|line 1");
  ASSERT_TRUE(doc_.FileCancel());

  // Checked meanwhile, then deleted meanwhile: the update finds no row it may change and the
  // line statements that ran before it are rolled back.
  const std::pair<const char*, const char*> changes[] = {
      {"update t_fake set smark='02'", "当前单据已审核，不能保存！"},
      {"delete from t_fake", "当前单据已被他人删除，不能保存！"}};
  for (const auto& [change, told] : changes) {
    ASSERT_TRUE(doc_.FileEdit());
    doc_.Lines().RemoveAll();
    host_.Exec(change);
    EXPECT_FALSE(doc_.FileSave());
    EXPECT_EQ(LastBox(), told);
    EXPECT_EQ(host_.Scalar("select count(*) from t_fake_line").ToLong(), 1);
    ASSERT_TRUE(doc_.FileCancel());
  }
}

}  // namespace
}  // namespace ws::framework
