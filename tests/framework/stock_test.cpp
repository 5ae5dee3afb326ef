// clsFun's stock functions: the quantity on hand and the default depot of a part.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "framework/cls_fun.h"
#include "support/test_host.h"

namespace ws::framework {
namespace {

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
