// The repair order's labour grid as the floor leaves it: who works on each saved line and the
// line's state, read again with the order, and never typed into, saved, compared or printed.
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "platform/navigator.h"
#include "repair_order/repair_order_fixture.h"
#include "workshop/floor.h"

namespace ws::repair_order {
namespace {

// Order 10 with labour lines 1 to 3 (saved in that order) and the technicians 1 张师傅 and
// 2 李师傅.
class OrderFloorTest : public RepairOrderTest {
 protected:
  void SetUp() override {
    RepairOrderTest::SetUp();
    AddOrder(10, "W010", "2012-06-14");
    for (int64_t line : {1, 2, 3}) AddLine(LineKind::Items, line, 10, 1, 50);
    host_.Exec(
        "insert into PDMGY (雇员ID,雇员编码,姓名,登录账号,是否技师) values "
        "(1,'T1','张师傅','zhang',1),(2,'T2','李师傅','li',1)");
  }
  // Another desk's floor: line 1 to both (1.5 hours planned for 张), paused by 张 waiting for a
  // part; line 2 to 李 with 2 hours, on his clock now; line 3 given to nobody.
  void DispatchElsewhere() {
    const workshop::Actor clerk{"小王", 0, true, false, false, false};
    auto tech = [](int64_t id) { return workshop::Actor{"t", id, false, true, false, false}; };
    for (const std::string& refusal :
         {floor_.Dispatch(clerk, 1, {{1, 1.5}, {2, 0}}), floor_.Dispatch(clerk, 2, {{2, 2}}),
          floor_.ClockOn(tech(1), 1), floor_.Pause(tech(1), 1, "等配件"),
          floor_.ClockOn(tech(2), 2)}) {
      ASSERT_EQ(refusal, "");
    }
  }
  // Per labour row: technicians | state.
  std::vector<std::string> Shown() {
    std::vector<std::string> rows;
    const forms::Grid& items = Grid(LineKind::Items);
    for (int row = 1; row < items.Rows(); ++row) {
      rows.push_back(items.TextMatrix(row, LineGrid::kTechnicians) + "|" +
                     items.TextMatrix(row, LineGrid::kJobState));
    }
    return rows;
  }

  platform::RecordNavigator ids_{host_.Db()};
  workshop::Floor floor_{host_.Db(), ids_, [] { return std::string("2012-06-15 08:00:00"); }};
};

const std::vector<std::string> kDispatched = {"张师傅 1.50、李师傅|暂停：等配件",
                                              "李师傅 2.00|在修（李师傅在做）", "|待派工"};

TEST_F(OrderFloorTest, EachLineShowsItsTechniciansAndStateWheneverTheOrderIsShown) {
  ASSERT_TRUE(Start() && order_.Refresh());
  EXPECT_EQ(Shown(), std::vector<std::string>(3, "|待派工"));

  // Dispatched at another desk meanwhile: shown again, the order has the floor's word, and the
  // figures read from the floor are no change of the clerk's.
  DispatchElsewhere();
  ASSERT_TRUE(order_.Refresh());
  EXPECT_EQ(Shown(), kDispatched);
  EXPECT_FALSE(order_.IsDirty());
  // Read, not typed: the clerk's keys pass over the columns.
  ASSERT_TRUE(order_.FileEdit());
  forms::Grid& items = Grid(LineKind::Items);
  for (int col : {LineGrid::kTechnicians, LineGrid::kJobState}) {
    EXPECT_FALSE(forms::Input::EditCell(items, 1, col, "王师傅") || items.Col(col).keyStop);
  }
  EXPECT_FALSE(order_.IsDirty());

  // A line typed now is nobody's yet; saved, it waits for its dispatch. The save compares and
  // writes the order's own columns only: the floor moving on since it was shown is no other
  // user's change of the order.
  ASSERT_TRUE(floor_.Dispatch({"小王", 0, true, false, false, false}, 3, {{1, 0}}).empty());
  Line(LineKind::Items, 4, "X02", "1", "80");
  EXPECT_EQ(Shown().back(), "|");
  ASSERT_TRUE(order_.FileSave()) << testing::PrintToString(Boxes());
  EXPECT_EQ(Shown(),
            (std::vector<std::string>{kDispatched[0], kDispatched[1], "张师傅|在修", "|待派工"}));

  // The parts and the print keep the line's own columns.
  EXPECT_EQ(Grid(LineKind::Parts).Cols(), LineGrid::kLineId + 1);
  EXPECT_EQ(order_.Lines(LineKind::Items).PrintRows().front().size(), LineGrid::kLineId + 1u);

  // A new order kept from this one copies its lines, not the floor's work on them.
  ASSERT_TRUE(forms::Input::Click(order_.Form().Get<forms::Widget>(WS_S::kKeepValues)));
  ASSERT_TRUE(order_.FileNew());
  EXPECT_EQ(Shown(), std::vector<std::string>(4, "|"));
}

// Widths saved by column number before the floor's columns came load onto the columns they were
// saved for; the new ones keep their own.
TEST_F(OrderFloorTest, ALayoutSavedBeforeTheFloorColumnsLoadsUnchanged) {
  WS_S unsaved;
  ASSERT_TRUE(unsaved.Init(host_.System(), kProgram, 0));
  const forms::Grid& fresh = unsaved.Lines(LineKind::Items).Grid();
  // The labour grid as it was; 说明 hidden by the clerk, the line id hidden as ever.
  const std::vector<std::string> before = {"行号", "项目编码", "维修项目", "项目属性",  "数量",
                                           "单价", "金额",     "说明",     "单据明细ID"};
  std::map<std::string, int> saved;
  std::filesystem::create_directories(host_.WorkFolder() / "selfbb");
  std::ofstream file(host_.WorkFolder() / "selfbb" / "WS_S.txt");
  file << "[Form]\n";
  for (size_t col = 0; col < before.size(); ++col) {
    const int width = col >= 7 ? 0 : 600 + 10 * static_cast<int>(col);
    saved[before[col]] = width;
    file << "ywGridXM_Col" << col << "=" << width << "\n";
  }
  file.close();
  ASSERT_TRUE(Start());
  order_.DoGetFormStatus();
  const forms::Grid& items = Grid(LineKind::Items);
  ASSERT_EQ(items.Cols(), fresh.Cols());
  for (int col = 0; col < items.Cols(); ++col) {
    const auto old = saved.find(items.ColCaption(col));
    EXPECT_EQ(items.ColWidth(col), old != saved.end() ? old->second : fresh.ColWidth(col))
        << items.ColCaption(col);
  }
}

}  // namespace
}  // namespace ws::repair_order
