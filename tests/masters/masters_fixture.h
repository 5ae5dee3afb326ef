// The three masters seen through one shape of row (id, code, name, a third text column) and one
// table of what each list and card must do, written out independently of the descriptions, so
// every case runs the same steps on every master.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "db/sql.h"
#include "forms/grid.h"
#include "masters/descriptions.h"
#include "support/test_host.h"

namespace ws::masters {

struct MasterCase {
  std::string name;
  const MasterListDescription& (*list)();
  const MasterCardDescription& (*card)();
  int64_t cardProgram;
  // The table and the columns a seeded row fills: id, code, name, third text.
  std::string table, key, code, nameColumn, third;
  std::string useSql;  // + id + ")": a repair order or an order's item line that uses the row
  // The list.
  std::string listTitle;
  int idColumn;
  int thirdColumn;     // grid column of the third text
  bool thirdSearched;  // whether the search box looks at it
  std::string listInUse, listDeleted;
  std::vector<std::string> menu;
  // The card.
  std::string cardTitle, codeWord, nameWord, cardInUse, cardDeleted;
};

inline void PrintTo(const MasterCase& c, std::ostream* os) {
  *os << c.name;
}

// clang-format off
inline const MasterCase kMasterCases[] = {
    {"Vehicle", &VehicleList, &VehicleCard, 200012, "clzl", "车辆ID", "车辆编号", "车牌号", "发动机号",
     "insert into WSDJ (单据ID,progid,smark,车辆ID) values (900+",
     "车辆信息", 10, 4, true,
     "不能删除已启用的车辆信息!", "成功删除数据,往来ID号=",
     {"新建车辆信息", "修改车辆信息", "-", "删除车辆信息", "-", "只看车架号有误的车辆"},
     "clAdd_S", "编号", "车牌号",
     "不能删除已启用的车辆!", "成功删除数据,往来ID号="},
    {"Item", &ItemList, &ItemCard, 200013, "PDMWXXM", "AutoID", "编码", "维修项目", "项目属性",
     "insert into WSDJXM (单据明细ID,单据ID,项目ID) values (900+",
     "维修项目", 5, 3, true,
     "不能删除已启用的维修项目!", "成功删除数据,往来ID号=",
     {"新建维修项目", "修改维修项目", "-", "删除维修项目"},
     "wxAdd_S", "编码", "维修项目",
     "不能删除已启用的维修项目!", "成功删除数据,往来ID号="},
    {"Category", &CategoryList, &CategoryCard, 200029, "pdmwxfl", "维修分类ID", "编码", "维修分类",
     "说明", "insert into WSDJ (单据ID,progid,smark,维修分类ID) values (900+",
     "维修分类", 4, 3, false,
     "不能删除已启用的维修分类!", "成功删除数据,维修分类ID号=",
     {"新建维修分类", "修改维修分类", "-", "删除维修分类"},
     "wxflAdd_S", "编码", "维修分类",
     "不能删除已启用的维修分类!", "成功删除数据,往来ID号="},
};
// clang-format on

class MastersTest : public test::HostTest {
 protected:
  void AddRow(const MasterCase& c, int64_t id, const std::string& code, const std::string& name,
              const std::string& third = "") {
    host_.Exec("insert into " + c.table + " (" + c.key + "," + c.code + "," + c.nameColumn + "," +
               c.third + ") values (" + std::to_string(id) + "," + db::QuoteText(code) + "," +
               db::QuoteText(name) + "," + db::QuoteText(third) + ")");
  }
  // The row referenced by a repair order (vehicle, category) or an order's item line; the
  // referencing row's id is 900 + the row's id.
  void UseRow(const MasterCase& c, int64_t id) {
    std::string sql = c.useSql + std::to_string(id);
    sql += c.name == "Item" ? ",1," : ",200001,'01',";
    host_.Exec(sql + std::to_string(id) + ")");
  }
  int64_t Count(const MasterCase& c, const std::string& where = "") {
    return host_.Scalar("select count(*) from " + c.table + where).ToLong();
  }
  bool RowExists(const MasterCase& c, int64_t id) {
    return Count(c, " where " + c.key + "=" + std::to_string(id)) == 1;
  }
  std::string NameOf(const MasterCase& c, int64_t id) {
    return host_
        .Scalar("select " + c.nameColumn + " from " + c.table + " where " + c.key + "=" +
                std::to_string(id))
        .ToText();
  }
  // A grid column's texts, top to bottom.
  static std::vector<std::string> Column(const forms::Grid& grid, int col) {
    std::vector<std::string> texts;
    for (int r = grid.FixedRows(); r < grid.Rows(); ++r) texts.push_back(grid.TextMatrix(r, col));
    return texts;
  }
  const std::vector<test::AskedBox>& Boxes() { return host_.Dialogs().Boxes(); }
  // The ErrMessage events as "text|level|title".
  std::vector<std::string> Errs() {
    std::vector<std::string> out;
    for (const auto& e : host_.Sink().Named("ErrMessage")) {
      out.push_back(e.args.at(0).ToText() + "|" + e.args.at(1).ToText() + "|" +
                    e.args.at(2).ToText());
    }
    return out;
  }
};

}  // namespace ws::masters
