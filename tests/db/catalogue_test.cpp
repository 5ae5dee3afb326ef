#include "db/catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>
#include <vector>

#include "db/default_config.h"
#include "db/runner.h"
#include "db/sql.h"
#include "platform/sqlite_database.h"

namespace ws::db {
namespace {

std::string AsciiCase(std::string text, bool upper) {
  for (char& c : text) {
    c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                : std::tolower(static_cast<unsigned char>(c)));
  }
  return text;
}

class CatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    db_ = platform::SqliteDatabase::Open(":memory:", &error);
    ASSERT_NE(db_, nullptr) << error;
    for (const auto& statement : CatalogueStatements(Engine::Sqlite)) {
      ASSERT_EQ(Runner(*db_).Execute(statement), "") << statement.Literal();
    }
  }

  // Runs a statement through the database service; answers its error text.
  std::string Run(const std::string& sql) { return Runner(*db_).Execute(db::Sql(sql)); }
  std::string Run(const Sql& sql) { return Runner(*db_).Execute(sql); }
  std::string Text(const std::string& sql) {
    std::string error;
    std::string text = Runner(*db_).ScalarText(db::Sql(sql), &error);
    EXPECT_EQ(error, "") << sql;
    return text;
  }
  // The detail lines of the query plan of a SELECT, one text.
  std::string Plan(const std::string& select) {
    std::string error;
    auto rs = Runner(*db_).Open(db::Sql("EXPLAIN QUERY PLAN " + select), &error);
    EXPECT_EQ(error, "") << select;
    std::string plan;
    for (; !rs->Eof(); rs->MoveNext()) plan += rs->Text("detail") + "\n";
    return plan;
  }

  std::unique_ptr<platform::SqliteDatabase> db_;
};

TEST_F(CatalogueTest, EveryTableAndColumnAnswersInAnyLetterCase) {
  for (const auto& table : Tables()) {
    for (const std::string& name :
         {table.name, AsciiCase(table.name, false), AsciiCase(table.name, true)}) {
      std::string error;
      auto rs = Runner(*db_).Open(db::Sql("SELECT * FROM " + name + " WHERE 1=0"), &error);
      EXPECT_EQ(error, "") << name;
      EXPECT_EQ(rs->FieldCount(), static_cast<int>(table.columns.size())) << name;
    }
    for (const auto& column : table.columns) {
      for (bool upper : {false, true}) {
        std::string sql =
            "SELECT " + AsciiCase(column.name, upper) + " FROM " + table.name + " WHERE 1=0";
        EXPECT_EQ(Run(sql), "") << sql;
      }
    }
  }

  // The tables as the module's statements spell them.
  const char* spelled[] = {"WSDJ",
                           "wsdj",
                           "WSDJXM",
                           "wsdjxm",
                           "WSDJPJ",
                           "wsdjpj",
                           "clzl",
                           "CLZl",
                           "PDMWXXM",
                           "pdmwxxm",
                           "pdmwxfl",
                           "PDMWXFL",
                           "ARPReceive",
                           "ARPreceive",
                           "arpreceive",
                           "ARPReceiveMx",
                           "ARPreceiveMx",
                           "ARPreceivemx",
                           "ARPReceive_XM",
                           "ARPReceive_PJ",
                           "ARPReceive_FY",
                           "JXCDJ",
                           "jxcdj",
                           "JXCDJMX",
                           "jxcdjmx",
                           "JxcGoodsList",
                           "jxcgoodslist",
                           "gl_accvouch",
                           "pdmwldw",
                           "PDMWLDW",
                           "PdmWLDW",
                           "PDMWLDWJS",
                           "pdmwldwjs",
                           "PDMCPML",
                           "pdmcpml",
                           "PDMBM",
                           "pdmbm",
                           "pdmbmcpty",
                           "PDMGY",
                           "PDMKJKM",
                           "pdmkjkm",
                           "PDMSJZD",
                           "PDMBZ",
                           "pdmbz",
                           "JXCGoodsZzTz",
                           "JXCGoodsZztz",
                           "jxcgoodszztz",
                           "Pubwlprice",
                           "xt_objects",
                           "xt_menu",
                           "xt_BillAttribute",
                           "xt_accinformation",
                           "ws_option",
                           "ws_parameter",
                           "ws_id",
                           "ws_billno",
                           "ws_user_setting",
                           "ws_meta"};
  for (const char* name : spelled) {
    EXPECT_EQ(Run(std::string("SELECT * FROM ") + name + " WHERE 1=0"), "") << name;
    EXPECT_NE(FindTable(name), nullptr) << name;
  }
  EXPECT_EQ(FindTable("pdmxsy"), nullptr);
  EXPECT_NE(FindTable("wsdj")->FindColumn("PROGID"), nullptr);
}

// Statements as the controls write them (joins, column lists, both spellings of the program
// column): a column the catalogue lacks makes one of them fail.
TEST_F(CatalogueTest, ModuleStatementsFindEveryColumn) {
  const std::vector<std::string> statements = {
      " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
      "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
      "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID where progid=200001",
      " InSert Into wsdj (单据ID,progid,smark,系统,制单人,制单日期,工单号码,车主ID,主管部门,车厂,"
      "    进厂日期,车辆ID,送修人,司机电话,维修分类,维修分类ID,出厂日期,接待人,发票号码,公里数,"
      "维修费用,配件费用,    诊断费,检测费,应收合计 ) Values (1,200001,'01','填单','张三',"
      "'2012-06-15','W001',7,'','','2012-06-15',3,'','','',0,'2012-06-15','','',0,0,0,0,0,0)",
      " Update WSDJ Set progID=200001,smark='02', 审核人='张三', 审核日期='2012-06-15', "
      "系统='审核' Where 单据ID=1",
      " INSERT INTO WSDJXM (单据明细ID,单据ID,项目ID,数量,单价,金额,说明 ) VALUES "
      "(1,1,2,1,50,50,'')",
      " INSERT INTO WSDJPJ (单据明细ID,单据ID,产品ID,数量,单价,金额,说明 ) VALUES "
      "(1,1,2,1,50,50,'')",
      " SELECT WSDJXM.*,PDMWXXM.编码,PDMWXXM.维修项目,PDMWXXM.项目属性"
      "   FROM WSDJXM LEFT JOIN PDMWXXM ON WSDJXM.项目ID = PDMWXXM.AutoID  WHERE 单据ID=1 order by "
      "单据明细ID",
      " SELECT TOP 1 单价 from wsdj A left join wsdjpj B on A.单据ID=B.单据ID where A.车主ID=7  "
      "and B.产品ID=2 and smark='02' and A.progID=200001 order by B.单据明细ID desc",
      "insert into clzl (车辆ID,车辆编号,车牌号,行驶证号,发动机号,车架号,车型,车名,颜色,车主ID) "
      "values ( 3,'3','粤A12345','','','','','','',7)",
      "insert into PDMWXXM (AutoID,编码,维修项目,项目属性,参考价格) values ( 2,'X1','换油','',50)",
      "insert into PDMWXFL (维修分类ID,编码,维修分类,说明) values ( 1,'F1','保养','')",
      " InSert Into JXCDJ (前置单据,前置单据ID,本方经手人,单据ID,progID,仓库ID,部门ID,单据编号,"
      "仓库填单,操作日期,填单日期,备注,系统,smark,总金额,会计期间,性质,币种ID,项目ID) Values "
      "(200001,"
      "1,'',10,200002,5,6,'L001','张三','2012-06-15','2012-06-15','','填单','01',50,201206,'',1,0)",
      " InSert Into JXCDJMX "
      "(前置单据,前置单据ID,重量,库存重量,仓库ID,产品ID,产品批次,数量,单价,金额,"
      "备注,单据明细ID,单据ID,含税单价,含税金额,实际金额,名称,规格,会计期间,库存数量,装箱数) "
      "Values ("
      "200001,1,0,0,5,2,'',1,50,50,'',11,10,50,50,50,'','',201206,0,0)",
      " INSERT INTO jxcgoodslist "
      "(autoid,progid,单据ID,单据明细ID,单据编号,仓库填单,仓库审核,操作日期,"
      "往来ID,部门ID,仓库ID,产品ID,货位,等级,  "
      "特征码,产品批次,数量,重量,单价,金额,会计期间,填单日期,"
      "审核日期,sFunNumber,备注,装箱数,摘要 )   SELECT (isnull((select max(AutoID) from "
      "jxcgoodslist c),100) +  (select count(单据明细ID) +1 from jxcdjmx a where a.单据明细id < "
      "jxcdjmx.单据明细id and a.单据ID=10)) as AutoID,200002,10, jxcdjmx.单据明细ID,jxcdj.单据编号,"
      "jxcdj.仓库填单,jxcdj.仓库审核, jxcdj.操作日期,jxcdj.往来ID,jxcdj.部门ID,jxcdjmx.仓库ID,"
      "jxcdjmx.产品ID, jxcdjmx.货位,jxcdjmx.等级,jxcdjmx.特征码,jxcdjmx.产品批次, jxcdjmx.数量,"
      "jxcdjmx.重量,jxcdjmx.单价,jxcdjmx.金额, jxcdjmx.会计期间,jxcdj.填单日期,jxcdj.审核日期,'21',"
      "jxcdj.备注,jxcdjmx.装箱数,'领用出库'    FROM jxcdj inner join jxcdjmx on "
      "jxcdj.单据ID=jxcdjmx.单据ID where jxcdj.单据ID=10",
      " SELECT JXCDJ.*, PDMWLDW.公司名称 AS 往来单位, PDMBM.部门名称, PDMBM_1.部门名称 AS "
      "仓库名称, "
      "PDMGY.姓名 AS 业务员, PDMBZ.外币名称 AS 币种  FROM ((((JXCDJ LEFT JOIN PDMWLDW ON "
      "JXCDJ.往来ID = PDMWLDW.往来ID)    LEFT JOIN PDMBM AS PDMBM_1 ON JXCDJ.仓库ID = "
      "PDMBM_1.部门ID)    LEFT JOIN PDMBM ON JXCDJ.部门ID = PDMBM.部门ID)    LEFT JOIN PDMGY ON "
      "JXCDJ.业务员ID = PDMGY.雇员ID)    LEFT JOIN PDMBZ ON JXCDJ.币种ID = PDMBZ.币种ID where "
      "progid=200002",
      "SELECT pdmcpml.物品编码, pdmcpml.物品名称, pdmcpml.规格, pdmcpml.库存单位,"
      "pdmcpml.是否需批次管理,pdmcpml.缺省货位, PDMBM_2.部门名称 AS 仓库名称, pdmcpml.颜色,"
      "pdmcpml.特性,pdmcpml.尺寸,JXCDJMX.*  FROM (JXCDJMX  LEFT JOIN PDMBM PDMBM_2 ON "
      "JXCDJMX.仓库ID = PDMBM_2.部门ID)  LEFT JOIN pdmcpml ON JXCDJMX.产品ID = pdmcpml.产品ID  "
      "where 单据ID=10 order by 单据明细ID",
      " SELECT SUM(库存数量) As sum库存数量, SUM(库存金额) As sum库存金额   FROM JXCGoodsZztz  "
      "WHERE 会计期间=201206    AND 产品ID=2 AND 仓库ID in ( select 部门ID from pdmbm where "
      "不参与物料运算=0 ) AND 货位='' AND 等级='' AND 特征码='' AND 产品批次=''",
      " SELECT TOP 1 仓库ID,部门名称 As 仓库名称,货位   FROM JXCGoodsZzTz inner join pdmbm on "
      "jxcgoodszztz.仓库ID=pdmbm.部门ID   WHERE 产品ID=2 AND 仓库ID not in ( select 仓库ID from "
      "pdmbmcpty where 产品ID=2 and 是否停用=1)",
      " Select 部门ID,部门编码 As 仓库编码,部门名称 As 仓库名称 From PDMBM WHERE 组织类型=2 and "
      "是否明细=1 and 是否使用=1 and (部门编码='1' or 部门名称='1') order by 部门编码,部门名称",
      "select 币种ID,外币代号 As 代号,外币名称 As 币种 from pdmbz where 外币名称<>''",
      " select 单价 from Pubwlprice where smark='02' and 往来ID=7 and 币种ID=100 and 产品ID=2   "
      "and systemcode='PO'",
      " SELECT MAX(含税单价) FROM JXCDJ INNER JOIN JXCDJMX ON JXCDJ.单据ID=JXCDJMX.单据ID  WHERE "
      "progid=200002 and smark='02' AND jxcdjmx.产品ID=2 AND jxcdj.往来ID=7",
      " InSert Into "
      "ARPReceive(单据ID,progID,smark,status,单据编号,往来ID,业务员ID,结算方式ID,科目ID,"
      "单据日期,会计期间,总金额,扣零金额,摘要,备注,前置单据ID,制单人,制单日期) Values "
      "(20,200003,'01',"
      "'填单','J001',7,0,0,0,'2012-06-15',201206,50,0,'','',1,'张三','2012-06-15')",
      " INSERT INTO ARPReceive_FY (单据ID,维修费用,配件费用,诊断费,检测费,管理费) VALUES "
      "(20,0,50,0,0,0)",
      " INSERT INTO ARPReceive_XM (单据明细ID,单据ID,项目ID,数量,单价,金额,说明 ) VALUES "
      "(21,20,2,1,0,0,'')",
      " INSERT INTO ARPReceive_PJ (单据明细ID,单据ID,产品ID,数量,单价,金额,说明 ) VALUES "
      "(22,20,2,1,50,50,'')",
      " InSert Into "
      "ARPreceiveMx(单据明细ID,单据ID,序号,结算金额,本币结算金额,折扣金额,本币折扣金额,"
      "源单ID,会计期间)Values(23,20,'0001',50,50,0,0,1,0)",
      " INSERT INTO gl_accvouch(  autoid,progid,smark,status,科目编码,对方科目,会计期间,凭证日期,"
      "出纳编号,结算方式ID,币种ID,摘要,   "
      "借方金额,汇率,外币借方金额,部门ID,雇员ID,往来ID,项目,制单,"
      "制单日期,前置单据,前置单据ID ) VALUES (1,200003,'01','填单','113102','',201206,"
      "'2012-06-15','J001',0,1,'汽修单[W001 粤A12345]',50,1,50,0,0,7,'','张三','2012-06-15',"
      "200003,20)",
      " INSERT INTO gl_accvouch(  autoid,progid,smark,status,科目编码,对方科目,会计期间,凭证日期,"
      "出纳编号,结算方式ID,币种ID,摘要,   "
      "贷方金额,汇率,外币贷方金额,部门ID,雇员ID,往来ID,项目,制单,"
      "制单日期,前置单据,前置单据ID ) VALUES (2,200003,'01','填单','113102','',201206,"
      "'2012-06-15','J001',0,1,'收款单[W001 粤A12345]',50,1,50,0,0,7,'','张三','2012-06-15',"
      "200003,20)",
      " SELECT ARPReceive.*, PDMWLDWJS.公司名称 AS 往来单位, PDMGY.姓名 AS 业务员, PDMSJZD.名称 AS "
      "结算方式, PDMKJKM.科目编码, PDMKJKM.科目名称   FROM (((ARPReceive LEFT JOIN PDMWLDWJS ON "
      "ARPReceive.往来ID = PDMWLDWJS.往来ID)      LEFT JOIN PDMGY ON ARPReceive.业务员ID = "
      "PDMGY.雇员ID)      LEFT JOIN PDMKJKM ON ARPReceive.科目ID = PDMKJKM.科目ID)      LEFT JOIN "
      "PDMSJZD ON ARPReceive.结算方式ID = PDMSJZD.ID where progid=200003",
      " SELECT ARPReceive.单据编号 AS 收款单号, ARPReceive.单据日期 AS 收款日期, "
      "PDMWLDWJS.公司名称 "
      "AS 客户名称, WSDJ.工单号码,        WSDJ.进厂日期, CLZl.车牌号, CLZl.行驶证号, "
      "CLZl.发动机号, "
      "PDMGY.姓名 AS 收款人, ARPReceive.摘要, ARPReceive_FY.维修费用,        "
      "ARPReceive_FY.配件费用, "
      "ARPReceive_FY.诊断费, ARPReceive_FY.检测费, ARPReceive_FY.管理费, ARPReceive.总金额 AS "
      "收款金额,        ARPReceive.扣零金额, ARPReceive.备注, ARPReceive.制单人, "
      "ARPReceive.制单日期, "
      "ARPReceive.Status AS 状态, ARPReceive.审核人,        ARPReceive.审核日期, "
      "ARPReceive.progID, "
      "ARPReceive.单据ID   FROM (((ARPReceive LEFT JOIN PDMWLDWJS ON ARPReceive.往来ID = "
      "PDMWLDWJS.往来ID) LEFT JOIN PDMGY ON ARPReceive.业务员ID = PDMGY.雇员ID)      LEFT JOIN "
      "(WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID) ON ARPReceive.前置单据ID = WSDJ.单据ID)"
      "      LEFT JOIN ARPReceive_FY ON ARPReceive.单据ID = ARPReceive_FY.单据ID where 1=1  order "
      "by ARPReceive.单据日期",
      "SELECT TOP 100         WSDJ.进厂日期, WSDJ.工单号码, PDMWLDW.公司名称 AS 客户名称, "
      "CLZl.车牌号, "
      "CLZl.车型, WSDJ.维修分类,        PDMCPML.物品编码 AS 配件编码, PDMCPML.物品名称 AS "
      "配件项目, "
      "PDMCPML.规格 AS 配件规格, WSDJPJ.数量 AS 需求数量,        wsdjpj.已领用数 , 0 AS 未领数量, "
      "WSDJPJ.单价, WSDJPJ.说明, WSDJ.车主ID AS 客户ID, WSDJPJ.产品ID,        WSDJ.progid, "
      "WSDJ.单据ID, WSDJPJ.单据明细ID,PDMCPML.库存单位 As 单位   FROM (((WSDJ LEFT JOIN WSDJPJ ON "
      "WSDJ.单据ID = WSDJPJ.单据ID)      LEFT JOIN PDMCPML ON WSDJPJ.产品ID = PDMCPML.产品ID)      "
      "LEFT JOIN PDMWLDW ON WSDJ.车主ID = PDMWLDW.往来ID)      LEFT JOIN CLZl ON WSDJ.车辆ID = "
      "CLZl.车辆ID  WHERE wsdj.smark='02' ORDER by wsdj.工单号码 DESC,pdmcpml.物品编码",
      "select 科目编码,科目名称,科目ID from pdmkjkm where 是否现金科目=1 and 是否明细=1 and "
      "(科目编码='1' or 科目名称='1') ORDER BY 科目编码",
      "select menuname from xt_menu where progID=200001",
      " SELECT fetchPrice FROM xt_objects WHERE progid=200001",
      "select progname from xt_objects where progID=200001",
      "SELECT text FROM xt_BillAttribute WHERE progID=200001 and attribute='onsavecode' ",
      "select item_value from xt_accinformation where system_code='system' and "
      "item_code='mouseeventscrollrate'",
  };
  for (const auto& sql : statements) EXPECT_EQ(Run(sql), "") << sql;
  EXPECT_EQ(Text("select count(*) from JxcGoodsList where autoid=101"), "1");
}

// Rows written without every column still take part in arithmetic and in conditions on the
// empty text: the module's receipts add to 补收金额 of orders whose insert never named it.
TEST_F(CatalogueTest, DefaultsKeepArithmeticAndEmptyTextConditionsWorking) {
  ASSERT_EQ(Run("insert into wsdj (单据ID,progid,工单号码,应收合计) values (1,200001,'W1',100)"),
            "");
  ASSERT_EQ(Run(" update wsdj   set 补收金额=补收金额  + 30   where 单据ID=1"), "");
  ASSERT_EQ(Run(" update wsdj   set 扣减金额=扣减金额  + 5   where 单据ID=1"), "");
  ASSERT_EQ(Run(" update wsdj   set 余额=总金额-现收金额-补收金额-扣减金额  where 单据ID=1"), "");
  EXPECT_EQ(Text("select 余额 from wsdj where 单据ID=1"), "-35");
  EXPECT_EQ(Text("select count(*) from wsdj where 主管部门<>''"), "0");
  EXPECT_EQ(Text("select count(*) from wsdj where 主管部门=''"), "1");
  EXPECT_EQ(Text("select 进厂日期 from wsdj where 单据ID=1"), "") << "dates default to Null";

  ASSERT_EQ(Run("insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,库存数量) values (201206,5,2,4)"),
            "");
  EXPECT_EQ(Text(" SELECT 库存数量 FROM JXCGoodsZzTz  WHERE 仓库ID=5 AND 会计期间=201206 AND "
                 "货位='' AND 产品ID=2 AND 等级='' AND 特征码='' AND 产品批次=''"),
            "4");
  // The stock ledger's key keeps one row per period, depot, part and batch.
  EXPECT_NE(Run("insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,库存数量) values (201206,5,2,1)"),
            "");
}

TEST_F(CatalogueTest, DefaultConfigurationLandsAndTellsOurDatabaseApart) {
  for (const auto& sql : DefaultConfigStatements(Date{2012, 12, 31})) {
    ASSERT_EQ(Runner(*db_).Execute(sql), "") << sql.Literal();
  }
  for (const auto& control : DefaultControls()) {
    const std::string id = std::to_string(control.programNumber);
    EXPECT_EQ(Text("select menuname from xt_menu where progID=" + id), control.caption);
    EXPECT_EQ(Text("select progname from xt_objects where progID=" + id), control.caption);
    EXPECT_EQ(Text("select classname from xt_objects where progID=" + id), control.className);
    EXPECT_EQ(Text(" SELECT fetchPrice FROM xt_objects WHERE progid=" + id), "0");
  }
  EXPECT_EQ(Text("select menuname from xt_menu where progID=200002"), "维修领料单");
  EXPECT_EQ(Text("select count(*) from xt_menu"), std::to_string(DefaultControls().size()));

  auto option = [&](int module, const std::string& name) {
    return Text(Sql("select value from ws_option where module=")
                    .Key(module)
                    .Raw(" and name=")
                    .Text(name)
                    .Literal());
  };
  EXPECT_EQ(option(12, "Jzperiod"), "0");
  EXPECT_EQ(option(12, "befmonth"), "12");
  EXPECT_EQ(option(12, "7"), "2");
  EXPECT_EQ(option(12, "9"), "2");
  EXPECT_EQ(option(12, "12"), "2");
  EXPECT_EQ(option(3, "fetchmode"), "0");
  EXPECT_EQ(option(1, "goodsmsggageedit"), "0");
  EXPECT_NE(option(12, "readonlybackcolor"), "");
  // The last day of a month stays in that month: the closing day follows the calendar.
  EXPECT_EQ(Text("select value from ws_parameter where module=12 and number=1"), "201212");
  EXPECT_EQ(Text("select value from ws_parameter where module=12 and number=3"), "31");
  EXPECT_EQ(Text("select 外币名称 from pdmbz where 币种ID=" + option(12, "4")), "人民币");
  EXPECT_EQ(Text("select item_value from xt_accinformation where system_code='system' and "
                 "item_code='mouseeventscrollrate'"),
            "5");

  EXPECT_EQ(SchemaVersion(*db_), std::optional<std::string>(kSchemaVersion));
  std::string error;
  auto foreign = platform::SqliteDatabase::Open(":memory:", &error);
  ASSERT_NE(foreign, nullptr) << error;
  EXPECT_EQ(SchemaVersion(*foreign), std::nullopt);
  ASSERT_EQ(Runner(*foreign).Execute(db::Sql("create table ws_meta (key text, value text)")), "");
  ASSERT_EQ(Runner(*foreign).Execute(db::Sql("insert into ws_meta values ('schema','ledger')")),
            "");
  ASSERT_EQ(Runner(*foreign).Execute(db::Sql("insert into ws_meta values ('version','1')")), "");
  EXPECT_EQ(SchemaVersion(*foreign), std::nullopt);
}

// The navigator's keyset moves and the line queries of a repair order must be answered by an
// index walk, never by sorting a date window (see the measured facts of the design).
TEST_F(CatalogueTest, NavigationAndLineQueriesUseIndexesWithoutSorting) {
  ASSERT_EQ(Run("BEGIN"), "");
  for (int id = 1; id <= 3000; ++id) {
    const int program = id % 3 == 0 ? 200004 : 200001;
    const std::string date = "20" + std::to_string(10 + id % 3) + "-" + (id % 12 < 9 ? "0" : "") +
                             std::to_string(id % 12 + 1) + "-15";
    ASSERT_EQ(
        Run(Sql("insert into wsdj (单据ID,progid,工单号码,车辆ID,车主ID,进厂日期,smark) values (")
                .Key(id)
                .Raw(",")
                .Key(program)
                .Raw(",")
                .Text("W" + std::to_string(id))
                .Raw(",")
                .Key(id % 400)
                .Raw(",")
                .Key(id % 150)
                .Raw(",")
                .Text(date)
                .Raw(",'02')")),
        "");
    for (int line = 0; line < 3; ++line) {
      const int lineId = id * 3 + line;
      ASSERT_EQ(Run(Sql("insert into wsdjxm (单据明细ID,单据ID,项目ID,单价) values (")
                        .Key(lineId)
                        .Raw(",")
                        .Key(id)
                        .Raw(",")
                        .Key(lineId % 90)
                        .Raw(",10)")),
                "");
    }
  }
  ASSERT_EQ(Run("COMMIT"), "");
  ASSERT_EQ(Run("ANALYZE"), "");

  const std::string window =
      "SELECT * FROM WSDJ WHERE progid=200001 AND 进厂日期>='2011-06-01' AND 进厂日期<'2012-07-01'";
  const std::string joined =
      " SELECT WSDJ.*, pdmwldw.公司名称, CLZl.车牌号, CLZl.发动机号, CLZl.车架号, CLZl.车型"
      "  FROM (WSDJ LEFT JOIN CLZl ON WSDJ.车辆ID = CLZl.车辆ID)"
      "      LEFT JOIN pdmwldw ON WSDJ.车主ID = pdmwldw.往来ID where progid=200001 AND "
      "进厂日期>='2011-06-01' AND 进厂日期<'2012-07-01'";
  const std::vector<std::string> walks = {
      window + " AND 单据ID>5 ORDER BY 单据ID LIMIT 1",
      joined + " AND 单据ID>5 ORDER BY 单据ID LIMIT 1",
      joined + " AND 单据ID<2000 ORDER BY 单据ID DESC LIMIT 1",
      window + " AND 单据ID<2000 ORDER BY 单据ID DESC LIMIT 1",
      window + " ORDER BY 单据ID LIMIT 1",
      window + " ORDER BY 单据ID DESC LIMIT 1",
      " SELECT 车厂,送修人,司机电话,公里数 FROM wsdj where 车辆ID=17 order by 单据ID desc LIMIT 1",
      " select  * from  wsdj where  工单号码 ='W17' and progid =200001",
  };
  for (const auto& sql : walks) {
    std::string plan = Plan(sql);
    EXPECT_EQ(plan.find("TEMP B-TREE"), std::string::npos) << sql << "\n" << plan;
    EXPECT_EQ(plan.find("SCAN"), std::string::npos) << sql << "\n" << plan;
  }
  std::string lines = Plan(
      " SELECT WSDJXM.*,PDMWXXM.编码   FROM WSDJXM LEFT JOIN PDMWXXM ON WSDJXM.项目ID = "
      "PDMWXXM.AutoID  WHERE 单据ID=17 order by 单据明细ID");
  EXPECT_NE(lines.find("ix_wsdjxm_doc"), std::string::npos) << lines;
  std::string history = Plan(
      " SELECT 单价 from wsdj A left join wsdjxm B on A.单据ID=B.单据ID where A.车主ID=7  "
      "and B.项目ID=12 and smark='02' and A.progID=200001 order by B.单据明细ID desc LIMIT 1");
  EXPECT_EQ(history.find("SCAN"), std::string::npos) << history;
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
