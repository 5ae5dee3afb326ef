#include "db/catalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/default_config.h"
#include "db/runner.h"
#include "db/sql.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

class CatalogueTest : public test::HostTest {
 protected:
  std::string Run(const std::string& sql) { return Runner(host_.Db()).Execute(Sql(sql)); }
  std::string Text(const Sql& sql) { return host_.Scalar(sql).ToText(); }
};

// Rows written without every column still take part in arithmetic and in conditions on the
// empty text: the module's receipts add to 补收金额 of orders whose insert never named it.
TEST_F(CatalogueTest, DefaultsKeepArithmeticAndEmptyTextConditionsWorking) {
  host_.Exec("insert into wsdj (单据ID,progid,工单号码,应收合计) values (1,200001,'W1',100)");
  host_.Exec(" update wsdj   set 补收金额=补收金额  + 30   where 单据ID=1");
  host_.Exec(" update wsdj   set 扣减金额=扣减金额  + 5   where 单据ID=1");
  host_.Exec(" update wsdj   set 余额=总金额-现收金额-补收金额-扣减金额  where 单据ID=1");
  EXPECT_EQ(host_.RowText("select 余额, 进厂日期 from wsdj where 单据ID=1"), "-35/")
      << "dates default to Null";
  EXPECT_EQ(host_.Joined("select count(*) from wsdj where 主管部门<>'' union all "
                         "select count(*) from wsdj where 主管部门=''"),
            "0,1");

  host_.Exec("insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,库存数量) values (201206,5,2,4)");
  EXPECT_EQ(Text(Sql(" SELECT 库存数量 FROM JXCGoodsZzTz  WHERE 仓库ID=5 AND 会计期间=201206 AND "
                     "货位='' AND 产品ID=2 AND 等级='' AND 特征码='' AND 产品批次=''")),
            "4");
  // The stock ledger's key keeps one row per period, depot, part and batch.
  EXPECT_NE(Run("insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,库存数量) values (201206,5,2,1)"),
            "");
}

TEST_F(CatalogueTest, DefaultConfigurationLands) {
  for (const auto& control : DefaultControls()) {
    const std::string where = " where progID=" + std::to_string(control.programNumber);
    // The menu's own captions and classes are the menu model's test.
    EXPECT_EQ(host_.RowText("select progname, classname, fetchPrice from xt_objects" + where),
              control.caption + "/" + control.className + "/0");
  }

  struct Option {
    int module;
    const char* name;
    const char* value;
  };
  for (const Option& o : {Option{12, "Jzperiod", "0"}, Option{12, "befmonth", "12"},
                          Option{12, "7", "2"}, Option{12, "9", "2"}, Option{12, "12", "2"},
                          Option{3, "fetchmode", "0"}, Option{1, "goodsmsggageedit", "0"}}) {
    EXPECT_EQ(Text(Sql("select value from ws_option where module=")
                       .Key(o.module)
                       .Raw(" and name=")
                       .Text(o.name)),
              o.value)
        << o.module << " " << o.name;
  }
  // The login date's period; the closing day follows the calendar.
  EXPECT_EQ(host_.Joined("select value from ws_parameter where module=12 order by number"),
            "201206,31");
}

// PostgreSQL cuts identifiers after 63 bytes, which could silently merge two index names.
TEST(CatalogueNames, FitPostgresIdentifierLimit) {
  for (const auto& table : Tables()) {
    EXPECT_LE(table.name.size(), 63u) << table.name;
    for (const auto& column : table.columns) EXPECT_LE(column.name.size(), 63u) << column.name;
    for (const auto& index : table.indexes) EXPECT_LE(index.name.size(), 63u) << index.name;
  }
}

}  // namespace
}  // namespace ws::db
