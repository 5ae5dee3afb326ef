// sel_TY_INNER configured the way the repair order configures it for its distinct-value fields.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>

#include "forms/input.h"
#include "pickers/generic_picker.h"
#include "support/test_host.h"

namespace ws::pickers {
namespace {

class GenericPickerTest : public test::HostTest {
 protected:
  void SetUp() override {
    for (const char* department : {"维修部", "保险部", "", "O'Brien车间", "维修二部"}) {
      host_.Exec(db::Sql("insert into wsdj (单据ID,progid,主管部门) values (")
                     .Key(++nextId_)
                     .Raw(",200001,")
                     .Text(department)
                     .Raw(")"));
    }
    picker_.Events().AttachSink(&host_.Sink());
    EXPECT_TRUE(picker_.Init(host_.System(), 200001, ""));
    parameters_->Set("FieldName", "主管部门");
    parameters_->Set("SQL", " select distinct 主管部门 from wsdj where 主管部门<>''");
    parameters_->Set("Valid", " 主管部门 Like '@%'");
    parameters_->Set("Order", " 主管部门 desc");
    picker_.SetParameters(parameters_);
  }

  std::vector<std::string> Listed() {
    std::vector<std::string> rows;
    auto& grid = picker_.Grid();
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) rows.push_back(grid.TextMatrix(r, 0));
    return rows;
  }

  int64_t nextId_ = 0;
  GenericPicker picker_;
  host::ParametersPtr parameters_ = std::make_shared<host::Parameters>();
};

TEST_F(GenericPickerTest, ListsTheQueryInItsOrderAndChoosesAnEntry) {
  EXPECT_EQ(picker_.Grid().TextMatrix(0, 0), "名称");
  ASSERT_TRUE(picker_.Refresh());
  EXPECT_EQ(picker_.Grid().TextMatrix(0, 0), "主管部门");
  auto rows = Listed();
  ASSERT_EQ(rows.size(), 4u);  // the empty department is not listed
  EXPECT_TRUE(std::is_sorted(rows.rbegin(), rows.rend()));
  EXPECT_EQ(picker_.Form().Focus(), &picker_.Grid());
  parameters_->Set("Order", "");
  ASSERT_TRUE(picker_.Refresh());
  EXPECT_EQ(Listed().size(), 4u);

  forms::Input::DoubleClick(picker_.Grid(), 2);
  EXPECT_EQ(host_.Sink().Count("DoSelect"), 1);
  EXPECT_EQ(picker_.GetValue(), Listed()[1]);
  EXPECT_EQ(picker_.GetText(), Listed()[1]);
  EXPECT_TRUE(picker_.Objects().Items().empty());
  // Enter on an empty list: the empty choice.
  parameters_->Set("SQL", " select distinct 主管部门 from wsdj where 主管部门='nobody'");
  ASSERT_TRUE(picker_.Refresh());
  picker_.KeyDown(kKeyEnter);
  EXPECT_EQ(host_.Sink().Count("DoSelect"), 2);
  EXPECT_EQ(picker_.GetValue(), "0");
  EXPECT_EQ(picker_.GetText(), "");
}

TEST_F(GenericPickerTest, ValidateNarrowsTheQueryByTheTypedValue) {
  struct Case {
    std::string sql;
    std::string valid;
    std::string typed;
    std::string text;   // both out parameters
    std::string value;  // the picker's Value afterwards
  };
  const std::string names = " select distinct 主管部门 from wsdj where 主管部门<>''";
  const std::string miles = " select 公里数 from wsdj where 公里数>0";
  host_.Exec("update wsdj set 公里数=1250.5 where 单据ID=1");
  const Case cases[] = {
      {names, " 主管部门 Like '@%'", "保险", "保险部", "0"},  // a name: numeric value 0
      {names, " 主管部门 Like '@%'", "财务", "", "0"},
      {names, " 主管部门 Like '@%' OR 主管部门 Like '%@'", "二部", "维修二部", "0"},
      {names, " 主管部门='@'", "O'Brien车间", "O'Brien车间", "0"},
      {names, " 主管部门 Like '@%'", "x' OR 1=1 OR 主管部门 Like '", "", "0"},
      // Every "@" is the same value.
      {names, " 主管部门='@' OR (主管部门='维修二部' AND '@'='@')", "a'b", "维修二部", "0"},
      {names, "", "维修", "", "0"},  // no condition: nothing can match
      {miles, " 公里数>=@", "1000", "1250.5", "1250.5"},
      // Where the condition opens no quote, typed words cannot widen it: they match nothing.
      {miles, " 公里数>=@", "99999 OR 1=1", "", "0"},
  };
  for (const auto& c : cases) {
    parameters_->Set("SQL", c.sql);
    parameters_->Set("Valid", c.valid);
    std::string value = "x", text = "x";
    EXPECT_FALSE(picker_.Validate("", "", "", c.typed, value, text)) << c.valid << c.typed;
    EXPECT_EQ(text, c.text) << c.valid << " / " << c.typed;
    EXPECT_EQ(value, c.text) << c.valid << " / " << c.typed;
    EXPECT_EQ(picker_.GetText(), c.text);
    EXPECT_EQ(picker_.GetValue(), c.value);
  }
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST(WithTypedTest, TheTypedTextBecomesOneValueWhereverTheTemplatePutsIt) {
  struct Case {
    std::string pattern;
    std::string typed;
    std::string literal;
    size_t values;
  };
  const Case cases[] = {
      {"名称 Like '@%'", "O'B", "名称 like 'O''B%' escape '\\'", 1},
      // Typed wildcards and the escape character match themselves; the template's "%" stays.
      {"名称 Like '@%'", "a_%\\", "名称 like 'a\\_\\%\\\\%' escape '\\'", 1},
      {"a='@' OR b Like '%@'", "x", "a='x' OR b like '%x' escape '\\'", 2},
      {"a='it''s @'", "y'", "a='it''s y'''", 1},  // a doubled quote keeps the literal open
      {"a='@@'", "z", "a='zz'", 1},
      {"id=@", "42", "id=42", 1},
      {"n>=@", "-1.5", "n>=-1.5", 1},
      {"id=@", "1) OR (1=1", "id=NULL", 0},  // no number where one is expected: matches nothing
      {"id=@ AND c='@'", "3", "id=3 AND c='3'", 2},
      {"id=@", "", "id=NULL", 0},
      {"c='fixed' AND d Like 'x%'", "x", "c='fixed' AND d Like 'x%'", 0},
  };
  for (const auto& c : cases) {
    db::Sql sql = WithTyped(c.pattern, c.typed);
    EXPECT_EQ(sql.Literal(), c.literal) << c.pattern << " / " << c.typed;
    EXPECT_EQ(sql.Values().size(), c.values) << c.pattern << " / " << c.typed;
    // The statement itself never carries what was typed.
    if (c.values > 0 && c.typed.size() > 1) {
      EXPECT_EQ(sql.Statement().find(c.typed), std::string::npos) << sql.Statement();
    }
  }
}

TEST_F(GenericPickerTest, MissingParametersAndBadQueries) {
  // No "SQL": an empty list, no statement.
  parameters_->Set("SQL", "");
  EXPECT_TRUE(picker_.Refresh());
  EXPECT_EQ(picker_.Grid().DataRows(), 0);
  // A broken query: the error box, the grid keeps its rows.
  parameters_->Set("SQL", " select distinct 主管部门 from wsdj where 主管部门<>''");
  ASSERT_TRUE(picker_.Refresh());
  parameters_->Set("SQL", " select nothing from nowhere");
  EXPECT_FALSE(picker_.Refresh());
  ASSERT_EQ(host_.Dialogs().Boxes().size(), 1u);
  EXPECT_EQ(host_.Dialogs().Boxes()[0].title, "错误：");
  EXPECT_EQ(picker_.Grid().DataRows(), 4);
  // The unit property is kept as given.
  picker_.SetUnitText("台");
  EXPECT_EQ(picker_.UnitText(), "台");
}

TEST(PickerRegistration, DesignParametersSetTheBackColourOnly) {
  GenericPicker picker;
  auto design = std::make_shared<host::Parameters>();
  design->Set("BackColor", "255");
  picker.AsDesignUI()->SetParameters(design);
  EXPECT_EQ(picker.Form().BackColor(), 255);
  EXPECT_EQ(picker.AsDesignUI()->GetParameters(), nullptr);
  // The picker's own parameter collection is a different thing.
  EXPECT_EQ(picker.GetParameters(), nullptr);
}

}  // namespace
}  // namespace ws::pickers
