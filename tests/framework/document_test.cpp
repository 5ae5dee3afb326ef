// The save template on a document of the test's own: one numbered header over a table of
// its own and one line set. The hooks run in their order around the writes, a refusal or
// failure anywhere leaves nothing written and the form as typed, and a row another desk has
// changed, checked or deleted is refused. Also the stock figures the documents ask clsFun for.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "db/runner.h"
#include "forms/input.h"
#include "framework/cls_fun.h"
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
  // A number in the scheme's form, past the ones New proposes: the save that stands moves its
  // date's counter up to it, a refused or failed one does not.
  const std::string typed = "20120615050";
  auto nextProposal = [&] {
    std::string number;
    EXPECT_TRUE(host_.System().NewBillNo(kProgram, db::Date{2012, 6, 15}, number, true));
    return number;
  };
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
    NewWithLines(typed, {"5", c.lineAmount});
    EXPECT_FALSE(doc_.FileSave());
    EXPECT_EQ(StoredRows(), "|");
    EXPECT_FALSE(host_.Db().InTransaction());
    EXPECT_TRUE(doc_.Editing());
    EXPECT_EQ(doc_.GetID(), 0);
    EXPECT_EQ(doc_.Lines().LineId(1), 0) << "no line id survives a rollback";
    EXPECT_EQ(F(FakeDocument::kNumber).Text(), typed);
    EXPECT_TRUE(!*c.told || host_.Sink().HasErrMessage(c.told));
  }
  EXPECT_EQ(nextProposal(), "20120615007") << "six News proposed numbers, no save registered";
  // The same input saves once nothing is in the way.
  doc_.refuseIn = doc_.throwIn = "";
  NewWithLines(typed, {"5"});
  EXPECT_TRUE(doc_.FileSave());
  EXPECT_EQ(StoredRows(), typed + "/12.5|line 5");
  EXPECT_EQ(nextProposal(), "20120615051");
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

// clsFun's stock functions: the quantity on hand and the default depot of a part.
class StockTest : public test::HostTest {
 protected:
  void SetUp() override {
    // Depots 1 and 3 count in the stock figures, 2 does not; 1 and 2 have attribute 0, 3 has 1.
    host_.Exec(
        "insert into PDMBM (部门ID,部门名称,组织类型,属性,不参与物料运算) values "
        "(1,'总库',2,'0',0), (2,'废品库',2,'0',1), (3,'二号库',2,'1',0)");
    fun_.Init(host_.System());
  }
  // Balance rows "(period, depot, part, location, grade, feature, batch, quantity, weight)".
  void Balances(const std::string& rows) {
    host_.Exec(
        "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,等级,特征码,产品批次,库存数量,"
        "库存重量) values " +
        rows);
  }
  struct Filter {
    int64_t part;
    int64_t depot = 0;  // 0: every depot that counts
    const char* place = nullptr;
    const char* grade = nullptr;
    const char* feature = nullptr;
    const char* batch = nullptr;
  };
  struct Stock {
    bool ok;
    double quantity;
    double weight;
  };
  Stock StockOf(const Filter& f) {
    Stock s{false, -1, -1};
    auto given = [](const char* text) { return text ? text : ""; };
    s.ok =
        fun_.GetKcSlZl(s.quantity, s.weight, 201206, f.part, f.depot > 0, f.depot,
                       f.place != nullptr, given(f.place), f.grade != nullptr, given(f.grade),
                       f.feature != nullptr, given(f.feature), f.batch != nullptr, given(f.batch));
    return s;
  }
  struct Depot {
    bool ok;
    int64_t id;
    std::string name;
    std::string place;
  };
  Depot DepotOf(int64_t part, const int64_t* attribute = nullptr, const char* batch = nullptr) {
    Depot d{false, -1, "previous", "previous"};
    d.ok = fun_.GetGoodsDepot(d.id, d.name, d.place, part, 201206, attribute != nullptr,
                              attribute ? *attribute : 0, false, "", false, "", batch != nullptr,
                              batch ? batch : "");
    return d;
  }
  clsFun fun_;
};

TEST_F(StockTest, QuantityAndWeightSumTheCountedDepotsUnlessADepotIsNamed) {
  Balances(
      "(201206,1,7,'A-1','','T','B1',4,2), "
      "(201206,1,7,'A-2','优','','B2',6,3), "
      "(201206,2,7,'','','','',100,50), "  // depot 2 is outside the figures
      "(201206,3,7,'','','','B1',1,0.5), "
      "(201205,1,7,'A-1','','','B1',1000,1000), "  // another period
      "(201206,1,8,'A-1','','','B1',9,9), "        // another part
      "(201206,1,7,'O''Neil','','','',3,1)");      // a quote is a character of the value
  const std::tuple<Filter, double, double> cases[] = {
      {{7}, 14, 6.5},     // 4 + 6 + 1 + 3: depot 2 is not counted
      {{7, 2}, 100, 50},  // a named depot counts even when excluded
      {{7, 1, "A-1"}, 4, 2},
      {{7, 0, nullptr, nullptr, nullptr, "B1"}, 5, 2.5},
      {{7, 1, "O'Neil"}, 3, 1},
      {{9}, 0, 0},  // no balance row: 0 and 0, and the call still succeeds
      {{7, 1, "Z-9"}, 0, 0},
  };
  for (const auto& [filter, quantity, weight] : cases) {
    const Stock stock = StockOf(filter);
    EXPECT_TRUE(stock.ok);
    EXPECT_DOUBLE_EQ(stock.quantity, quantity) << filter.part << "/" << filter.depot;
    EXPECT_DOUBLE_EQ(stock.weight, weight) << filter.part << "/" << filter.depot;
  }
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(StockTest, DefaultDepotSkipsBarredDepotsAndTakesTheLowestId) {
  Balances(
      "(201206,3,7,'C-1','','','B1',5,0), "
      "(201206,2,7,'B-1','','','B2',5,0), "
      "(201206,1,7,'A-1','','','B2',5,0), "
      "(201101,1,7,'OLD','','','B2',5,0)");  // an old period still counts, its place not
  host_.Exec("insert into pdmbmcpty (仓库ID,产品ID,是否停用) values (1,7,1), (2,7,0), (3,8,1)");
  auto shown = [](const Depot& d) {
    return std::to_string(d.ok) + "/" + std::to_string(d.id) + "/" + d.name + "/" + d.place;
  };
  // Depot 1 is barred for part 7; the bar on 3 is for part 8.
  EXPECT_EQ(shown(DepotOf(7)), "1/2/废品库/B-1");
  const int64_t attributeOne = 1;
  EXPECT_EQ(shown(DepotOf(7, &attributeOne)), "1/3/二号库/C-1");
  EXPECT_EQ(DepotOf(7, nullptr, "B1").id, 3) << "batch B1 is held in depot 3 only";

  // The location of the depot's latest period wins over an older one.
  host_.Exec("delete from pdmbmcpty");
  EXPECT_EQ(DepotOf(7).place, "A-1");

  // Every balance in a barred depot: no depot, and the outputs are emptied.
  host_.Exec("insert into pdmbmcpty (仓库ID,产品ID,是否停用) values (1,7,1), (2,7,1), (3,7,1)");
  EXPECT_EQ(shown(DepotOf(7)), "1/0//");
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

}  // namespace
}  // namespace ws::framework
