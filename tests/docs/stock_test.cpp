// clsFun's stock functions: the quantity on hand and the default depot of a part.
#include <gtest/gtest.h>

#include <string>

#include "docs/cls_fun.h"
#include "forms/text.h"
#include "support/test_host.h"

namespace ws::docs {
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
  // Balance rows "(period, depot, part, location, grade, batch, quantity, weight), ...".
  void Balances(const std::string& rows) {
    host_.Exec(
        "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,等级,产品批次,库存数量,库存重量) "
        "values " +
        rows);
  }
  struct Stock {
    bool ok;
    double quantity;
    double weight;
  };
  Stock StockOf(int64_t part, int64_t depot = 0, const char* place = nullptr,
                const char* grade = nullptr, const char* batch = nullptr) {
    Stock s{false, -1, -1};
    s.ok = fun_.GetKcSlZl(s.quantity, s.weight, 201206, part, depot > 0, depot, place != nullptr,
                          place ? place : "", grade != nullptr, grade ? grade : "", false, "",
                          batch != nullptr, batch ? batch : "");
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
      "(201206,1,7,'A-1','','B1',4,2), "
      "(201206,1,7,'A-2','优','B2',6,3), "
      "(201206,2,7,'','','',100,50), "  // depot 2 is outside the figures
      "(201206,3,7,'','','B1',1,0.5), "
      "(201205,1,7,'A-1','','B1',1000,1000), "  // another period
      "(201206,1,8,'A-1','','B1',9,9)");        // another part

  Stock all = StockOf(7);
  EXPECT_TRUE(all.ok);
  EXPECT_DOUBLE_EQ(all.quantity, 11) << "4 + 6 + 1: depot 2 is not counted";
  EXPECT_DOUBLE_EQ(all.weight, 5.5);

  EXPECT_DOUBLE_EQ(StockOf(7, 2).quantity, 100) << "a named depot counts even when excluded";
  EXPECT_DOUBLE_EQ(StockOf(7, 1, "A-1").quantity, 4);
  EXPECT_DOUBLE_EQ(StockOf(7, 1, nullptr, "优").quantity, 6);
  EXPECT_DOUBLE_EQ(StockOf(7, 0, nullptr, nullptr, "B1").quantity, 5);
  EXPECT_DOUBLE_EQ(StockOf(7, 0, nullptr, nullptr, "B1").weight, 2.5);

  // No balance row: 0 and 0, and the call still succeeds.
  Stock none = StockOf(9);
  EXPECT_TRUE(none.ok);
  EXPECT_DOUBLE_EQ(none.quantity, 0);
  EXPECT_DOUBLE_EQ(none.weight, 0);
  Stock otherPlace = StockOf(7, 1, "Z-9");
  EXPECT_TRUE(otherPlace.ok);
  EXPECT_DOUBLE_EQ(otherPlace.quantity, 0);
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(StockTest, QuantityStatementsReadAsWritten) {
  host_.Db().EnableLog(true);
  host_.Db().ClearLog();
  StockOf(7);
  double quantity = 0;
  double weight = 0;
  fun_.GetKcSlZl(quantity, weight, 201206, 7, true, 3, true, "A-1", true, "优", true, "T", true,
                 "B1");
  const auto& log = host_.Db().Log();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0],
            " SELECT SUM(库存数量) As sum库存数量,SUM(库存重量) As sum库存重量   FROM JXCGoodsZzTz "
            "  WHERE 会计期间=201206    AND 产品ID=7 AND 仓库ID in ( select 部门ID from pdmbm "
            "where 不参与物料运算=0 )");
  EXPECT_EQ(log[1],
            " SELECT SUM(库存数量) As sum库存数量,SUM(库存重量) As sum库存重量   FROM JXCGoodsZzTz "
            "  WHERE 会计期间=201206    AND 产品ID=7 AND 仓库ID=3 AND 货位='A-1' AND 等级='优' "
            "AND 特征码='T' AND 产品批次='B1'");
}

TEST_F(StockTest, DefaultDepotSkipsBarredDepotsAndTakesTheLowestId) {
  Balances(
      "(201206,3,7,'C-1','','B1',5,0), "
      "(201206,2,7,'B-1','','B2',5,0), "
      "(201206,1,7,'A-1','','B2',5,0), "
      "(201101,1,7,'OLD','','B2',5,0)");  // an old period still counts, its place not
  host_.Exec("insert into pdmbmcpty (仓库ID,产品ID,是否停用) values (1,7,1), (2,7,0), (3,8,1)");

  Depot first = DepotOf(7);
  EXPECT_TRUE(first.ok);
  EXPECT_EQ(first.id, 2) << "depot 1 is barred for part 7; the bar on 3 is for part 8";
  EXPECT_EQ(first.name, "废品库");
  EXPECT_EQ(first.place, "B-1");

  const int64_t attributeOne = 1;
  Depot byAttribute = DepotOf(7, &attributeOne);
  EXPECT_EQ(byAttribute.id, 3);
  EXPECT_EQ(byAttribute.name, "二号库");
  EXPECT_EQ(DepotOf(7, nullptr, "B1").id, 3) << "batch B1 is held in depot 3 only";

  // The location of the depot's latest period wins over an older one.
  host_.Exec("delete from pdmbmcpty");
  EXPECT_EQ(DepotOf(7).place, "A-1");

  // Every balance in a barred depot: no depot, and the outputs are emptied.
  host_.Exec("insert into pdmbmcpty (仓库ID,产品ID,是否停用) values (1,7,1), (2,7,1), (3,7,1)");
  Depot none = DepotOf(7);
  EXPECT_TRUE(none.ok);
  EXPECT_EQ(none.id, 0);
  EXPECT_EQ(none.name, "");
  EXPECT_EQ(none.place, "");
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());
}

TEST_F(StockTest, FailuresShowTheirTagAndLeaveTheOutputsAlone) {
  // A quote in a filter value is carried as text, not as the end of the literal.
  Balances("(201206,1,7,'O''Neil','','',3,1)");
  EXPECT_DOUBLE_EQ(StockOf(7, 1, "O'Neil").quantity, 3);
  EXPECT_TRUE(host_.Dialogs().Boxes().empty());

  host_.Exec("drop table JXCGoodsZzTz");
  Stock stock = StockOf(7);
  EXPECT_FALSE(stock.ok);
  EXPECT_DOUBLE_EQ(stock.quantity, -1);
  EXPECT_DOUBLE_EQ(stock.weight, -1);
  Depot depot = DepotOf(7);
  EXPECT_FALSE(depot.ok);
  EXPECT_EQ(depot.id, -1);
  EXPECT_EQ(depot.name, "previous");
  EXPECT_EQ(depot.place, "previous");

  const auto& boxes = host_.Dialogs().Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text.rfind("GetKcSlZl:", 0), 0u);
  EXPECT_NE(forms::FoldCase(boxes[0].text).find("jxcgoodszztz"), std::string::npos)
      << "the database's text";
  EXPECT_EQ(boxes[1].text.rfind("GetGoodsDepot:", 0), 0u);
  for (const auto& box : boxes) {
    EXPECT_EQ(box.title, "提示:");
    EXPECT_EQ(box.icon, host::MsgIcon::Critical);
  }

  // Without Init there is no database to ask: false, silently.
  clsFun uninitialised;
  double quantity = 5;
  double weight = 6;
  EXPECT_FALSE(uninitialised.GetKcSlZl(quantity, weight, 201206, 7, false, 0, false, "", false, "",
                                       false, "", false, ""));
  EXPECT_DOUBLE_EQ(quantity, 5);
  EXPECT_EQ(boxes.size(), 2u);
}

}  // namespace
}  // namespace ws::docs
