#include "masters/master_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "forms/input.h"
#include "host/registry.h"
#include "masters/descriptions.h"
#include "masters/register.h"
#include "masters_fixture.h"

namespace ws::masters {
namespace {

using forms::Input;
using host::MsgAnswer;

// What each list must do, written out independently of the descriptions.
struct ListCase {
  Kind kind;
  const MasterListDescription& (*description)();
  int64_t card;
  std::string title;
  int idColumn;
  int thirdColumn;     // grid column of the row's third text
  bool thirdSearched;  // whether the search box looks at it
  std::string select;
  std::string usageQuery;
  std::string inUse;
  std::string deleteStatement;
  std::string deleted;
  std::vector<std::string> menu;
};

// clang-format off
const ListCase kListCases[] = {
    {Kind::Vehicle, &VehicleList, 200012, "车辆信息", 10, 4, true,
     " SELECT 车辆编号,车牌号,行驶证号,发动机号,车架号,车型,车名,颜色,公司名称 As 车主,车辆ID"
     "   FROM clzl left join pdmwldw on clzl.车主ID=pdmwldw.往来ID   order by 车辆编号,车牌号",
     "select top 1 车辆ID from wsdj Where 车辆ID= ", "不能删除已启用的车辆信息!",
     "delete from clzl where 车辆ID=", "成功删除数据,往来ID号=",
     {"新建车辆信息", "修改车辆信息", "-", "删除车辆信息"}},
    {Kind::Item, &ItemList, 200013, "维修项目", 5, 3, true,
     " SELECT 编码,维修项目,项目属性,参考价格,AutoID FROM PDMWXXM   order by 编码,维修项目",
     "select top 1 项目ID from wsdjxm Where 项目ID= ", "不能删除已启用的维修项目!",
     "delete from pdmwxxm where autoid=", "成功删除数据,往来ID号=",
     {"新建维修项目", "修改维修项目", "-", "删除维修项目"}},
    {Kind::Category, &CategoryList, 200029, "维修分类", 4, 3, false,
     " SELECT 编码,维修分类,说明,维修分类ID FROM pdmwxfl   order by 编码,维修分类",
     "select top 1 维修分类ID from wsdj Where 维修分类ID= ", "不能删除已启用的维修分类!",
     "delete from pdmwxfl where 维修分类id=", "成功删除数据,维修分类ID号=",
     {"新建维修分类", "修改维修分类", "-", "删除维修分类"}},
};
// clang-format on

void PrintTo(const ListCase& c, std::ostream* os) {
  *os << KindName(c.kind);
}

class MasterListTest : public MastersTest, public ::testing::WithParamInterface<ListCase> {
 protected:
  void SetUp() override {
    list_ = std::make_unique<MasterList>(GetParam().description());
    list_->Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(list_->Init(host_.System(), 0, 0));
  }
  Kind kind() const { return GetParam().kind; }
  // Rows in code order: A01 (id 3), B02 (id 7), C03 (id 5).
  void Seed() {
    AddRow(kind(), 7, "B02", "Beta-乙", "ENG-b");
    AddRow(kind(), 3, "A01", "Alpha-甲", "ENG-a");
    AddRow(kind(), 5, "C03", "Gamma-丙", "ENG-c");
  }
  forms::Grid& Grid() { return list_->Grid(); }
  std::vector<std::string> Column(int col) {
    std::vector<std::string> texts;
    for (int r = Grid().FixedRows(); r < Grid().Rows(); ++r)
      texts.push_back(Grid().TextMatrix(r, col));
    return texts;
  }
  std::vector<int> VisibleRows() {
    std::vector<int> rows;
    for (int r = Grid().FixedRows(); r < Grid().Rows(); ++r) {
      if (!Grid().RowHidden(r)) rows.push_back(r);
    }
    return rows;
  }
  std::vector<std::vector<db::Value>> EditForms() {
    std::vector<std::vector<db::Value>> out;
    for (const auto& e : host_.Sink().Named("EditForm")) out.push_back(e.args);
    return out;
  }
  std::vector<db::Value> EditForm(int64_t id, int plType) {
    return {GetParam().card, id, db::Value{}, plType};
  }
  forms::SearchBox& Box() { return list_->Form().Get<forms::SearchBox>(MasterList::kSearchBox); }

  std::unique_ptr<MasterList> list_;
};

TEST_P(MasterListTest, LoadShowsTheWholeTableInCodeOrderWithItsCount) {
  EXPECT_TRUE(list_->Refresh());
  EXPECT_TRUE(Logged(GetParam().select));
  EXPECT_EQ(Grid().Rows(), 1) << "an empty table leaves the header row only";
  EXPECT_EQ(list_->Form().Get<forms::Label>(MasterList::kCountLabel).Caption(), "共0条记录");
  EXPECT_EQ(host_.Sink().Messages(), std::vector<std::string>{"共0条记录"});
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 1);

  Seed();
  EXPECT_TRUE(list_->Refresh());
  EXPECT_EQ(Column(1), (std::vector<std::string>{"A01", "B02", "C03"}));
  EXPECT_EQ(Column(2), (std::vector<std::string>{"Alpha-甲", "Beta-乙", "Gamma-丙"}));
  EXPECT_EQ(Column(GetParam().thirdColumn), (std::vector<std::string>{"ENG-a", "ENG-b", "ENG-c"}));
  EXPECT_EQ(Column(GetParam().idColumn), (std::vector<std::string>{"3", "7", "5"}));
  EXPECT_TRUE(Grid().ColHidden(GetParam().idColumn));
  EXPECT_EQ(Grid().Cols(), GetParam().idColumn + 1);
  EXPECT_EQ(list_->Form().Get<forms::Label>(MasterList::kCountLabel).Caption(), "共3条记录");
  EXPECT_EQ(host_.Sink().Messages().back(), "共3条记录");
  EXPECT_EQ(host_.Sink().Count("FormRefreshed"), 2);
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

TEST_P(MasterListTest, NewEditDoubleClickAndMenuAskTheHostForTheCard) {
  list_->Refresh();
  EXPECT_FALSE(list_->FileEdit()) << "no row on an empty list";
  Input::DoubleClick(Grid(), 0);
  EXPECT_TRUE(EditForms().empty());

  EXPECT_TRUE(list_->FileNew());
  ASSERT_EQ(EditForms().size(), 1u);
  EXPECT_EQ(EditForms()[0], EditForm(0, 1));

  Seed();
  AddRow(kind(), 0, "Z99", "Zero");  // a row without an id: last in code order
  list_->Refresh();
  host_.Sink().Clear();
  Input::SelectRow(Grid(), 2);
  EXPECT_TRUE(list_->FileEdit());
  Input::DoubleClick(Grid(), 3);
  Input::SelectRow(Grid(), 1);
  auto& menu = list_->Form().Get<forms::PopupMenu>(MasterList::kMenu);
  ASSERT_TRUE(Input::MenuChoice(menu, "Edit"));
  ASSERT_TRUE(Input::MenuChoice(menu, "Add"));
  EXPECT_EQ(EditForms(), (std::vector<std::vector<db::Value>>{EditForm(7, 2), EditForm(5, 0),
                                                              EditForm(3, 2), EditForm(0, 1)}));

  std::vector<std::string> captions;
  for (const auto& item : menu.Items()) {
    captions.push_back(item.caption);
    EXPECT_EQ(item.group, "PDM");
  }
  EXPECT_EQ(captions, GetParam().menu);

  host_.Sink().Clear();
  Input::SelectRow(Grid(), 4);
  EXPECT_FALSE(list_->FileEdit());
  Input::DoubleClick(Grid(), 4);
  Input::MenuChoice(menu, "Edit");
  EXPECT_TRUE(EditForms().empty()) << "a row whose id is 0 opens no card";
}

TEST_P(MasterListTest, DeleteRefusesRowsInUseAsksOnceAndRemovesTheRow) {
  Seed();
  UseRow(kind(), 3);
  list_->Refresh();
  host_.Sink().Clear();

  Input::SelectRow(Grid(), 1);
  EXPECT_FALSE(list_->FileDelete());
  ASSERT_EQ(Errs().size(), 1u);
  EXPECT_EQ(Errs()[0].text, GetParam().inUse);
  EXPECT_EQ(Errs()[0].level, 2);
  EXPECT_EQ(Errs()[0].title, GetParam().title);
  EXPECT_TRUE(Boxes().empty()) << "a row in use is refused without a question";
  EXPECT_TRUE(Logged(GetParam().usageQuery + "3"));
  EXPECT_TRUE(RowExists(kind(), 3));

  Input::SelectRow(Grid(), 2);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(list_->FileDelete());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text, "是否删除当前记录:Beta-乙");
  EXPECT_EQ(Boxes()[0].title, "提示:");
  EXPECT_EQ(Boxes()[0].buttons, host::MsgButtons::YesNo);
  EXPECT_TRUE(RowExists(kind(), 7));
  EXPECT_EQ(Grid().DataRows(), 3);

  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Sink().Clear();
  EXPECT_TRUE(list_->FileDelete());
  ASSERT_EQ(Errs().size(), 1u);
  EXPECT_EQ(Errs()[0].text, GetParam().deleted + "7");
  EXPECT_EQ(Errs()[0].level, 1);
  EXPECT_EQ(Errs()[0].title, GetParam().title);
  EXPECT_TRUE(Logged(GetParam().deleteStatement + "7"));
  EXPECT_FALSE(RowExists(kind(), 7));
  EXPECT_EQ(RowCount(kind()), 2);
  EXPECT_EQ(Column(1), (std::vector<std::string>{"A01", "C03"}));

  // The menu's delete is the same operation.
  Input::SelectRow(Grid(), 2);
  host_.Dialogs().Queue(MsgAnswer::Yes);
  ASSERT_TRUE(Input::MenuChoice(list_->Form().Get<forms::PopupMenu>(MasterList::kMenu), "Delete"));
  EXPECT_FALSE(RowExists(kind(), 5));
  EXPECT_EQ(Column(1), (std::vector<std::string>{"A01"}));
}

TEST_P(MasterListTest, IncrementalSearchFindsOrFiltersWithoutRegardToCase) {
  Seed();
  list_->Refresh();
  Input::SelectRow(Grid(), 3);

  Input::Type(Box(), "b0");
  EXPECT_EQ(Grid().Row(), 2);
  Input::Type(Box(), "GAMMA");
  EXPECT_EQ(Grid().Row(), 3);
  Input::Type(Box(), "a01%alpha");  // the search text runs across the search columns
  EXPECT_EQ(Grid().Row(), 1);
  EXPECT_EQ(VisibleRows().size(), 3u) << "find mode hides nothing";

  Input::Type(Box(), "eng-c");
  EXPECT_EQ(Grid().Row(), GetParam().thirdSearched ? 3 : 1);

  // Filter mode hides what does not match, at once, with the text already typed.
  ASSERT_TRUE(Input::Click(list_->Form().Get<forms::CheckBox>(MasterList::kFilterMode)));
  EXPECT_TRUE(Box().filterMode);
  EXPECT_EQ(VisibleRows(), GetParam().thirdSearched ? std::vector<int>{3} : std::vector<int>{});
  Input::Type(Box(), "乙");
  EXPECT_EQ(VisibleRows(), std::vector<int>{2});
  Input::Type(Box(), "zzz");
  EXPECT_TRUE(VisibleRows().empty());
  Input::Type(Box(), "");
  EXPECT_EQ(VisibleRows(), (std::vector<int>{1, 2, 3}));

  // A refresh keeps narrowing by the text in the box.
  Input::Type(Box(), "c03");
  list_->Refresh();
  EXPECT_EQ(VisibleRows(), std::vector<int>{3});
}

INSTANTIATE_TEST_SUITE_P(Masters, MasterListTest, ::testing::ValuesIn(kListCases),
                         [](const auto& info) { return KindName(info.param.kind); });

class VehicleListTest : public MastersTest {
 protected:
  void SetUp() override {
    list_.Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(list_.Init(host_.System(), 200011, 42));
  }
  MasterList list_{VehicleList()};
};

TEST_F(VehicleListTest, ShowsTheOwnerAndKeepsTheRowWhenTheDeleteFails) {
  host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (9,'K9','王五汽修')");
  AddRow(Kind::Vehicle, 1, "V1", "京A11111");
  host_.Exec("update clzl set 车主ID=9, 车型='轿车' where 车辆ID=1");
  list_.Refresh();
  EXPECT_EQ(list_.Grid().TextMatrix(1, 9), "王五汽修");
  EXPECT_EQ(list_.Grid().TextMatrix(1, 6), "轿车");

  host_.RefuseOn("keep_clzl", "clzl", "DELETE", "locked");
  host_.Sink().Clear();
  EXPECT_FALSE(list_.FileDelete());
  ASSERT_EQ(Errs().size(), 1u);
  EXPECT_EQ(Errs()[0].text.rfind("删除数据时出错：", 0), 0u) << Errs()[0].text;
  EXPECT_NE(Errs()[0].text.find("locked"), std::string::npos);
  EXPECT_EQ(Errs()[0].level, 8);
  EXPECT_TRUE(RowExists(Kind::Vehicle, 1));
  EXPECT_EQ(list_.Grid().DataRows(), 1);
  EXPECT_FALSE(host_.Db().InTransaction());
}

TEST_F(VehicleListTest, ToolbarOperationsOfAListWithoutDocuments) {
  for (int id = 1; id <= 4; ++id)
    AddRow(Kind::Vehicle, id, "V" + std::to_string(id), "P" + std::to_string(id));
  list_.Refresh();
  EXPECT_TRUE(list_.RecordBottom());
  EXPECT_EQ(list_.Grid().Row(), 4);
  EXPECT_TRUE(list_.RecordNext());
  EXPECT_EQ(list_.Grid().Row(), 4) << "never below the last row";
  EXPECT_TRUE(list_.RecordPrevious());
  EXPECT_EQ(list_.CurrentRowId(), 3);
  EXPECT_TRUE(list_.RecordTop());
  EXPECT_TRUE(list_.RecordPrevious());
  EXPECT_EQ(list_.Grid().Row(), 1) << "never into the header";
  Input::SelectRow(list_.Grid(), 3);
  list_.Refresh();
  EXPECT_EQ(list_.CurrentRowId(), 3) << "a refresh stays on the row";

  host_.Sink().Clear();
  EXPECT_FALSE(list_.DoPrint());
  EXPECT_FALSE(list_.PrintPreview());
  EXPECT_EQ(host_.Sink().Messages(), (std::vector<std::string>{"暂无打印功能!", "暂无打印功能!"}));
  EXPECT_EQ(list_.GetID(), 42);
  EXPECT_FALSE(list_.IsDirty());
  EXPECT_TRUE(list_.Find(host::Conditions{}));
  EXPECT_TRUE(list_.FindNext());
  EXPECT_TRUE(list_.FileCancel());
  EXPECT_FALSE(list_.FileSave());
  EXPECT_EQ(list_.Attributes(98), "");
  EXPECT_EQ(list_.Grid().DataRows(), 4) << "none of them touches the rows";

  auto parameters = std::make_shared<host::Parameters>();
  parameters->Set("BackColor", "255");
  list_.SetParameters(parameters);
  EXPECT_EQ(list_.Form().BackColor(), 255);
}

TEST_F(VehicleListTest, InitBindsTheSearchBoxAndReadsTheScrollRate) {
  const auto& box = list_.Form().Get<forms::SearchBox>(MasterList::kSearchBox);
  EXPECT_EQ(box.boundGrid, "Vs");
  EXPECT_EQ(box.ToolTip(), "提示：按回车键选择完毕！");
  std::vector<int> columns;
  for (size_t c = 0; c < box.searchColumns.size(); ++c) {
    if (box.searchColumns[c]) columns.push_back(static_cast<int>(c));
  }
  EXPECT_EQ(columns, (std::vector<int>{1, 2, 4}));
  EXPECT_FALSE(box.filterMode);

  host_.System().SetOption(12, "mouseeventscrollrate", "0");
  MasterList fallback(VehicleList());
  fallback.Init(host_.System(), 200011, 0);
  EXPECT_EQ(fallback.ScrollRate(), 5);

  host_.System().SetOption(12, "mouseeventscrollrate", "3");
  MasterList three(VehicleList());
  three.Init(host_.System(), 200011, 0);
  EXPECT_EQ(three.ScrollRate(), 3);
  for (int id = 1; id <= 7; ++id)
    AddRow(Kind::Vehicle, id, "V" + std::to_string(id), "P" + std::to_string(id));
  three.Refresh();
  EXPECT_EQ(three.WheelRange(), 2);    // (8 rows - 1) / 3
  EXPECT_EQ(three.WheelTopRow(2), 2);  // below the rate the position is the row
  EXPECT_EQ(three.WheelTopRow(3), 7);  // 9 is past the last row
}

TEST_F(MastersTest, ListLayoutRoundTripsThroughItsFile) {
  AddRow(Kind::Item, 1, "X1", "换机油");
  {
    MasterList list(ItemList());
    list.Events().AttachSink(&host_.Sink());
    list.Init(host_.System(), 200014, 0);
    list.Refresh();
    list.Grid().SetColWidth(2, 3333);
    list.Grid().SetColHidden(3, true);
    Input::Click(list.Form().Get<forms::CheckBox>(MasterList::kFilterMode));
    list.DoSaveFormStatus();
  }
  EXPECT_TRUE(std::filesystem::exists(host_.WorkFolder() / "selfbb" / "PDM_XM.txt"));

  MasterList reopened(ItemList());
  reopened.Events().AttachSink(&host_.Sink());
  reopened.Init(host_.System(), 200014, 0);
  reopened.DoGetFormStatus();
  EXPECT_EQ(reopened.Grid().ColWidth(2), 3333);
  EXPECT_TRUE(reopened.Grid().ColHidden(3));
  EXPECT_TRUE(reopened.Grid().ColHidden(5)) << "the id column stays hidden";
  EXPECT_TRUE(reopened.Form().Get<forms::CheckBox>(MasterList::kFilterMode).Checked());
  EXPECT_TRUE(reopened.Form().Get<forms::SearchBox>(MasterList::kSearchBox).filterMode);
  EXPECT_TRUE(host_.Sink().ErrMessages().empty());
}

TEST(RegisterMastersTest, CreatesTheSixControlsByName) {
  host::Registry registry;
  RegisterMasters(registry);
  const std::vector<std::string> lists = {"PDM_cl", "PDM_XM", "PDM_WXFL"};
  const std::vector<std::string> cards = {"PDM_clAdd", "PDM_XMAdd", "PDM_WXFLAdd"};
  for (const auto& name : lists) {
    auto control = registry.Create("WS." + name);
    ASSERT_NE(control, nullptr) << name;
    EXPECT_EQ(control->ClassName(), name);
    EXPECT_NE(control->AsFormUI(), nullptr);
    EXPECT_NE(control->AsDesignUI(), nullptr);
    EXPECT_NE(control->Form().Find(MasterList::kGrid), nullptr);
  }
  for (const auto& name : cards) {
    auto control = registry.Create("WS." + name);
    ASSERT_NE(control, nullptr) << name;
    EXPECT_EQ(control->ClassName(), name);
    ASSERT_NE(control->AsFormUI(), nullptr);
    EXPECT_EQ(control->AsFormUI()->Attributes(98), "check");
  }
  EXPECT_EQ(registry.Names().size(), 6u);
}

// A host may press toolbar buttons on a control it has not initialised, or has released: the
// control answers, and no failure reaches the host as an exception.
TEST(RegisterMastersTest, ToolbarOutsideTheLifecycleNeverThrows) {
  host::Registry registry;
  RegisterMasters(registry);
  test::TestHost host;
  for (const auto& name : registry.Names()) {
    for (bool released : {false, true}) {
      auto control = registry.Create(name);
      ASSERT_NE(control, nullptr) << name;
      host::IFormUI& ui = *control->AsFormUI();
      if (released) {
        ui.Init(host.System(), 0, 0);
        ui.Clear();
      }
      const std::string when = name + (released ? " after Clear" : " before Init");
      EXPECT_NO_THROW(ui.FileNew()) << when;
      EXPECT_NO_THROW(ui.FileEdit()) << when;
      EXPECT_NO_THROW(ui.FileSave()) << when;
      EXPECT_NO_THROW(ui.FileCancel()) << when;
      EXPECT_NO_THROW(ui.FileDelete()) << when;
      EXPECT_NO_THROW(ui.Find(std::vector<host::Condition>{{"A", "编码 like"}})) << when;
      EXPECT_NO_THROW(ui.FindNext()) << when;
      EXPECT_NO_THROW(ui.Filter(std::vector<host::Condition>{{"A", "编码="}})) << when;
      EXPECT_NO_THROW(ui.Refresh()) << when;
      EXPECT_NO_THROW(ui.RecordNext()) << when;
      EXPECT_NO_THROW(ui.DoSetStatus("browse", false)) << when;
      EXPECT_NO_THROW(ui.DoPrint()) << when;
      EXPECT_NO_THROW(ui.DoGetFormStatus()) << when;
      EXPECT_NO_THROW(ui.DoSaveFormStatus()) << when;
    }
  }
}

}  // namespace
}  // namespace ws::masters
