#include "masters/master_list.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "forms/input.h"
#include "masters_fixture.h"

namespace ws::masters {
namespace {

using forms::Input;
using host::MsgAnswer;
using Texts = std::vector<std::string>;

class MasterListTest : public MastersTest, public ::testing::WithParamInterface<MasterCase> {
 protected:
  void SetUp() override {
    list_ = std::make_unique<MasterList>(C().list());
    list_->Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(list_->Init(host_.System(), 0, 0));
  }
  const MasterCase& C() const { return GetParam(); }
  // Rows in code order: A01 (id 3), B02 (id 7), C03 (id 5).
  void Seed() {
    AddRow(C(), 7, "B02", "Beta-乙", "ENG-b");
    AddRow(C(), 3, "A01", "Alpha-甲", "ENG-a");
    AddRow(C(), 5, "C03", "Gamma-丙", "ENG-c");
  }
  forms::Grid& Grid() { return list_->Grid(); }
  Texts Column(int col) {
    Texts texts;
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
  // The EditForm events as "program/id/plType".
  Texts EditForms() {
    Texts out;
    for (const auto& e : host_.Sink().Named("EditForm")) {
      EXPECT_TRUE(e.args.at(2).IsNull());
      out.push_back(e.args.at(0).ToText() + "/" + e.args.at(1).ToText() + "/" +
                    e.args.at(3).ToText());
    }
    return out;
  }
  std::string EditForm(int64_t id, int plType) {
    return std::to_string(C().cardProgram) + "/" + std::to_string(id) + "/" +
           std::to_string(plType);
  }
  forms::SearchBox& Box() { return list_->Form().Get<forms::SearchBox>(MasterList::kSearchBox); }
  forms::PopupMenu& Menu() { return list_->Form().Get<forms::PopupMenu>(MasterList::kMenu); }

  std::unique_ptr<MasterList> list_;
};

TEST_P(MasterListTest, LoadShowsTheTableInCodeOrderAndEveryWayToACardAsksTheHost) {
  EXPECT_TRUE(list_->Refresh());
  EXPECT_FALSE(list_->FileEdit()) << "no row on an empty list";
  EXPECT_TRUE(list_->FileNew());
  EXPECT_EQ(EditForms(), Texts{EditForm(0, 1)});

  Seed();
  AddRow(C(), 0, "Z99", "Zero");  // a row without an id: last in code order
  host_.Sink().Clear();
  EXPECT_TRUE(list_->Refresh());
  EXPECT_EQ(Column(1), (Texts{"A01", "B02", "C03", "Z99"}));
  EXPECT_EQ(Column(2), (Texts{"Alpha-甲", "Beta-乙", "Gamma-丙", "Zero"}));
  EXPECT_EQ(Column(C().thirdColumn), (Texts{"ENG-a", "ENG-b", "ENG-c", ""}));
  EXPECT_EQ(Column(C().idColumn), (Texts{"3", "7", "5", "0"}));
  EXPECT_TRUE(Grid().ColHidden(C().idColumn));
  EXPECT_EQ(host_.Sink().Messages().back(), "共4条记录");

  host_.Sink().Clear();
  Input::SelectRow(Grid(), 2);
  EXPECT_TRUE(list_->FileEdit());
  Input::DoubleClick(Grid(), 3);
  Input::SelectRow(Grid(), 1);
  ASSERT_TRUE(Input::MenuChoice(Menu(), "Edit"));
  ASSERT_TRUE(Input::MenuChoice(Menu(), "Add"));
  // A row whose id is 0 opens no card.
  Input::SelectRow(Grid(), 4);
  EXPECT_FALSE(list_->FileEdit());
  EXPECT_EQ(EditForms(), (Texts{EditForm(7, 2), EditForm(5, 0), EditForm(3, 2), EditForm(0, 1)}));
  Texts captions;
  for (const auto& item : Menu().Items()) captions.push_back(item.caption);
  EXPECT_EQ(captions, C().menu);
}

TEST_P(MasterListTest, SearchFindsOrFiltersWithoutRegardToCaseAndDeleteRefusesRowsInUse) {
  Seed();
  UseRow(C(), 3);
  list_->Refresh();
  Input::SelectRow(Grid(), 3);
  // The search text may run across the search columns ("a01%alpha").
  const std::pair<const char*, int> finds[] = {{"b0", 2}, {"GAMMA", 3}, {"a01%alpha", 1}};
  for (const auto& [typed, row] : finds) {
    Input::Type(Box(), typed);
    EXPECT_EQ(Grid().Row(), row) << typed;
  }
  // Filter mode hides what does not match, at once, with the text already typed.
  auto& filterMode = list_->Form().Get<forms::CheckBox>(MasterList::kFilterMode);
  ASSERT_TRUE(Input::Click(filterMode));
  const std::pair<const char*, std::vector<int>> filters[] = {
      {"乙", {2}}, {"zzz", {}}, {"c03", {3}}};
  for (const auto& [typed, rows] : filters) {
    Input::Type(Box(), typed);
    EXPECT_EQ(VisibleRows(), rows) << typed;
  }
  list_->Refresh();
  EXPECT_EQ(VisibleRows(), std::vector<int>{3}) << "a refresh keeps narrowing by the box";
  Input::Type(Box(), "");
  EXPECT_EQ(VisibleRows(), (std::vector<int>{1, 2, 3}));

  host_.Sink().Clear();
  Input::SelectRow(Grid(), 1);
  EXPECT_FALSE(list_->FileDelete());
  EXPECT_EQ(Errs(), Texts{C().listInUse + "|2|" + C().listTitle});
  EXPECT_TRUE(Boxes().empty()) << "a row in use is refused without a question";
  EXPECT_TRUE(RowExists(C(), 3));

  Input::SelectRow(Grid(), 2);
  host_.Dialogs().Queue(MsgAnswer::No);
  EXPECT_FALSE(list_->FileDelete());
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0].text + "|" + Boxes()[0].title, "是否删除当前记录:Beta-乙|提示:");
  EXPECT_EQ(Grid().DataRows(), 3);

  host_.Dialogs().Queue(MsgAnswer::Yes);
  host_.Sink().Clear();
  EXPECT_TRUE(list_->FileDelete());
  EXPECT_EQ(Errs(), Texts{C().listDeleted + "7|1|" + C().listTitle});
  EXPECT_EQ(Count(C()), 2);
  EXPECT_EQ(Column(1), (Texts{"A01", "C03"}));
}

INSTANTIATE_TEST_SUITE_P(Masters, MasterListTest, ::testing::ValuesIn(kMasterCases),
                         [](const auto& info) { return info.param.name; });

class VehicleListTest : public MastersTest {
 protected:
  void SetUp() override {
    list_.Events().AttachSink(&host_.Sink());
    ASSERT_TRUE(list_.Init(host_.System(), 200011, 42));
    for (int id = 1; id <= 7; ++id) {
      AddRow(kMasterCases[0], id, "V" + std::to_string(id), "P" + std::to_string(id));
    }
  }
  MasterList list_{VehicleList()};
};

TEST_F(VehicleListTest, OwnerJoinedAndAFailedDeleteKeepsTheRow) {
  host_.Exec("insert into pdmwldw (往来ID,往来编码,公司名称) values (9,'K9','王五汽修')");
  host_.Exec("update clzl set 车主ID=9, 车型='轿车' where 车辆ID=1");
  list_.Refresh();
  EXPECT_EQ(list_.Grid().TextMatrix(1, 9) + list_.Grid().TextMatrix(1, 6), "王五汽修轿车");

  host_.RefuseOn("keep_clzl", "clzl", "DELETE", "locked");
  host_.Sink().Clear();
  EXPECT_FALSE(list_.FileDelete());
  ASSERT_EQ(Errs().size(), 1u);
  EXPECT_EQ(Errs()[0].rfind("删除数据时出错：", 0), 0u) << Errs()[0];
  EXPECT_NE(Errs()[0].find("|8|"), std::string::npos);
  EXPECT_TRUE(RowExists(kMasterCases[0], 1));
  EXPECT_EQ(list_.Grid().DataRows(), 7);
}

TEST_F(VehicleListTest, VinColumnSaysWhyAndTheMenuListsOnlyTheFailingVins) {
  host_.Exec("update clzl set 车架号='1M8GDM9AXKP042788' where 车辆ID in (1,2)");
  host_.Exec("update clzl set 车架号='J100' where 车辆ID=4");
  forms::Grid& grid = list_.Grid();
  const auto column = [&](int col) {
    Texts texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
    return texts;
  };
  list_.Refresh();
  EXPECT_EQ(column(grid.Cols() - 1), (Texts{"", "", "", "应为17位，现为4位", "", "", ""}));
  Input::SelectRow(grid, 4);
  EXPECT_EQ(host_.Sink().Messages().back(), "车架号应为17位，现为4位")
      << "told as the row is taken";

  auto& menu = list_.Form().Get<forms::PopupMenu>(MasterList::kMenu);
  host_.Exec("update clzl set 车架号='1M8GDM9A1KP042788' where 车辆ID=2");
  ASSERT_TRUE(Input::MenuChoice(menu, "VinFaults"));
  EXPECT_EQ(column(1), (Texts{"V2", "V4"}));
  EXPECT_EQ(host_.Sink().Messages().back(), "车架号有误2条，共7条记录");
  menu.OnPopup();
  EXPECT_EQ(menu.Items().back().caption, "显示全部车辆");
}

}  // namespace
}  // namespace ws::masters
