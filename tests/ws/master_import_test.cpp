// CSV reading and the all-or-nothing import of master data.
#include "shop/exchange/master_import.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/navigator.h"
#include "shop/exchange/csv.h"
#include "support/test_host.h"

namespace ws::shop {
namespace {

using V = std::vector<std::string>;

TEST(CsvTest, ReadsQuotedFieldsAcrossLines) {
  const CsvTable table = ParseCsv(
      "\xEF\xBB\xBF"
      "往来ID,公司名称,地址\r\n"
      "1,\"北京\"\"顺达\"\"物流, 有限公司\",\"建国路\r\n12号\"\r\n"
      "\r\n"
      "2,,\n"
      "3,\"\",末行");
  ASSERT_EQ(table.error, "");
  ASSERT_EQ(table.records.size(), 4u);
  EXPECT_EQ(table.records[0].fields[0], "往来ID") << "no BOM in the name";
  EXPECT_EQ(table.records[1].fields, (V{"1", "北京\"顺达\"物流, 有限公司", "建国路\r\n12号"}));
  EXPECT_EQ(table.records[2].fields, (V{"2", "", ""}));
  EXPECT_EQ(table.records[2].line, 5) << "a quoted line break and a blank line count as lines";
}

TEST(CsvTest, RefusesWhatIsNotCsvNamingTheLine) {
  struct Bad {
    std::string text;
    int line;
    std::string message;
  };
  const Bad bad[] = {
      {"a,b\n1,\"open\n2,3\n", 2, "not closed"},
      {"a,b\n1,\"x\"y\n", 2, "after the closing quote"},
      {"a,b\n1,\xB1\xB1\xBE\xA9\n", 2, "not UTF-8"},  // GBK bytes
  };
  for (const auto& b : bad) {
    const CsvTable table = ParseCsv(b.text);
    EXPECT_EQ(table.errorLine, b.line) << b.text;
    EXPECT_NE(table.error.find(b.message), std::string::npos) << table.error;
    EXPECT_TRUE(table.records.empty());
  }
}

class MasterImportTest : public test::HostTest {
 protected:
  ImportOutcome Import(const std::string& table, const std::string& csv) {
    return ImportCsv(host_.Db(), table, csv);
  }
  int64_t Count(const std::string& table) {
    return host_.Scalar("SELECT COUNT(*) FROM " + table).ToLong();
  }
  // "line:column" of every issue, for comparing with what a file should be told.
  static std::vector<std::string> Places(const ImportOutcome& outcome) {
    std::vector<std::string> places;
    for (const auto& issue : outcome.issues) {
      places.push_back(std::to_string(issue.line) + ":" + issue.column);
    }
    return places;
  }
};

TEST_F(MasterImportTest, LoadsCustomersIntoBothPartnerTablesAndMovesTheCounter) {
  host_.Exec("INSERT INTO ws_id (table_name, key_column, last_id) VALUES ('pdmwldw', '往来ID', 3)");
  const ImportOutcome outcome = Import("customers",
                                       "往来ID,往来编码,公司名称,电话\n"
                                       "7,KH7,\"O'Brien 汽修, 北京\",010-1\n"
                                       "12,KH12,张三,\n");
  ASSERT_TRUE(outcome.Ok()) << (outcome.issues.empty() ? outcome.error
                                                       : DescribeIssue(outcome.issues[0]));
  EXPECT_EQ(host_.Scalar("SELECT 公司名称 FROM pdmwldw WHERE 往来ID=7").ToText(),
            "O'Brien 汽修, 北京");
  EXPECT_EQ(host_.Scalar("SELECT 公司名称 FROM PDMWLDWJS WHERE 往来ID=12").ToText(), "张三");
  EXPECT_EQ(host_.Scalar("SELECT 属性 FROM pdmwldw WHERE 往来ID=12").ToLong(), 2)
      << "customers are partners of kind 2 unless the file says otherwise";
  EXPECT_EQ(host_.Scalar("SELECT last_id FROM ws_id WHERE table_name='pdmwldw'").ToLong(), 12);
  EXPECT_EQ(host_.Scalar("SELECT last_id FROM ws_id WHERE table_name='pdmwldwjs'").ToLong(), 12);

  // The counter never goes back: a later import of lower ids leaves it where it was.
  ASSERT_TRUE(Import("pdmwldw", "往来ID,公司名称\n5,李四\n").Ok());
  EXPECT_EQ(host_.Scalar("SELECT last_id FROM ws_id WHERE table_name='pdmwldw'").ToLong(), 12);
}

TEST_F(MasterImportTest, ChecksEveryRowAndWritesNothingWhenOneIsBad) {
  ASSERT_TRUE(Import("customers", "往来ID,公司名称\n1,张三\n").Ok());
  ASSERT_TRUE(Import("vehicles", "车辆ID,车牌号,车主ID\n1,京A00001,1\n").Ok());

  const ImportOutcome outcome = Import("vehicles",
                                       "车辆ID,车牌号,车主ID,颜色\n"
                                       "2,京A00002,1,白色\n"   // 2 good
                                       "3,京A00003,x,红色\n"   // 3 owner not a number
                                       "2,京A00004,1,黑色\n"   // 4 key twice in the file
                                       "1,京A00005,1,银色\n"   // 5 key already in clzl
                                       "6,京A00001,1,灰色\n"   // 6 plate already in clzl
                                       "7,京A00002,1,灰色\n"   // 7 plate twice in the file
                                       "8,京A00008,99,灰色\n"  // 8 no such owner
                                       "9,,1,灰色\n"           // 9 plate missing
                                       "10,京A00010,1\n");     // 10 a field short
  EXPECT_EQ(Places(outcome), (V{"3:车主ID", "4:车辆ID", "5:车辆ID", "6:车牌号", "7:车牌号",
                                "8:车主ID", "9:车牌号", "10:"}));
  EXPECT_NE(DescribeIssue(outcome.issues[0]).find("line 3, column 车主ID: 'x' is not a whole"),
            std::string::npos)
      << DescribeIssue(outcome.issues[0]);
  EXPECT_NE(outcome.issues[1].message.find("also on line 2"), std::string::npos);
  EXPECT_NE(outcome.issues[5].message.find("99 is no 往来ID of pdmwldw"), std::string::npos);
  EXPECT_EQ(Count("clzl"), 1) << "the good row 2 is not written either";
}

// A code with blanks around it is the same code: compared and stored trimmed, within the file
// and against what the table holds (also rows stored with blanks before).
TEST_F(MasterImportTest, CodesAndNamesAreComparedAndStoredTrimmed) {
  host_.Exec("INSERT INTO PDMWXXM (AutoID, 编码, 维修项目) VALUES (1, 'XM1 ', '换油')");
  const ImportOutcome outcome = Import("items",
                                       "AutoID,编码,维修项目\n"
                                       "2,XM1,保养\n"     // 2 code already in the table
                                       "3, XM3 ,补胎 \n"  // 3 good
                                       "4,XM3,洗车\n"     // 4 code also on line 3
                                       "5,XM5, 换油\n"    // 5 name already in the table
                                       "6,XM6,补胎\n");   // 6 name also on line 3
  EXPECT_EQ(Places(outcome), (V{"2:编码", "4:编码", "5:维修项目", "6:维修项目"}));

  ASSERT_TRUE(Import("items", "AutoID,编码,维修项目\n3, XM3 ,补胎 \n").Ok());
  EXPECT_EQ(host_.Scalar("SELECT 编码 || '|' || 维修项目 FROM PDMWXXM WHERE AutoID=3").ToText(),
            "XM3|补胎");
}

// Refused files, each told where: unknown tables and columns, a missing key, bad numbers (a
// row with a bad field is told that; its references are looked at once its fields are good),
// and ids at the top of the 64-bit range, which leave the counter no next id, or above what the
// module carries exactly through doubles.
TEST_F(MasterImportTest, RefusesUnknownTablesColumnsMissingKeysAndBadNumbers) {
  const std::tuple<std::string, std::string, V> refused[] = {
      {"wsdj", "单据ID\n1\n", V{"0:"}},
      {"parts", "产品ID,物品编码,物品名称,重量,物品编码\n1,A,B,2,A\n", V{"1:重量", "1:物品编码"}},
      {"stock",
       "会计期间,仓库ID,产品ID,库存数量,库存金额\n201213,1,1,5,50\n201206,1,1,5 件,50\n"
       "201206,1,1,5,1e3\n",
       V{"2:会计期间", "3:库存数量", "4:库存金额"}},
      {"vehicles",
       "车辆ID,车牌号\n9223372036854775807,京A1\n0,京A2\n-4,京A3\n1000000000000001,京A4\n",
       V{"2:车辆ID", "3:车辆ID", "4:车辆ID", "5:车辆ID"}},
  };
  for (const auto& [table, csv, places] : refused)
    EXPECT_EQ(Places(Import(table, csv)), places) << csv;
  EXPECT_NE(Import("lorries", "a\n").issues[0].message.find("known: customers, vehicles"),
            std::string::npos);
  EXPECT_NE(Import("vehicles", "车辆ID,车牌号\n9223372036854775807,京A2\n")
                .issues[0]
                .message.find("outside the ids a counter can go on from"),
            std::string::npos);
  EXPECT_EQ(Count("clzl") + Count("JXCGoodsZzTz"), 0);

  ASSERT_TRUE(Import("vehicles", "车辆ID,车牌号\n1000000000000000,京A1\n").Ok());
  platform::RecordNavigator navigator(host_.Db());
  int64_t next = 0;
  ASSERT_EQ(navigator.GetNewID("clzl", "车辆ID", next), "");
  EXPECT_EQ(next, 1000000000000001) << "the counter goes on above the highest key";
}

// Data from another program: no ids of ours, references by the code or name the shop knows.
TEST_F(MasterImportTest, AssignsIdsAndTakesReferencesByCodeOrName) {
  platform::RecordNavigator navigator(host_.Db());
  int64_t taken = 0;
  ASSERT_EQ(navigator.GetNewID("pdmwldw", "往来ID", taken), "");  // a desk's card meanwhile
  ASSERT_TRUE(Import("customers", "往来编码,公司名称\nKH1,张三\nKH2,李四\nKH3,李四\n").Ok());
  EXPECT_EQ(host_
                .Scalar("SELECT COUNT(DISTINCT 往来ID) FROM pdmwldw WHERE 往来ID>" +
                        std::to_string(taken))
                .ToLong(),
            3);
  EXPECT_EQ(Count("PDMWLDWJS"), 3) << "the receivables side gets the same new ids";
  ASSERT_TRUE(Import("vehicles", "车牌号,车主\n京A1,KH2\n京A2,张三\n").Ok());
  EXPECT_EQ(host_
                .Scalar("SELECT w.公司名称 FROM clzl c JOIN pdmwldw w ON w.往来ID=c.车主ID "
                        "WHERE c.车牌号='京A1'")
                .ToText(),
            "李四");
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM clzl WHERE 车辆编号=CAST(车辆ID AS TEXT)").ToLong(),
            2);
  int64_t next = 0;
  ASSERT_EQ(navigator.GetNewID("clzl", "车辆ID", next), "");
  EXPECT_GT(next, host_.Scalar("SELECT MAX(车辆ID) FROM clzl").ToLong());

  const std::pair<std::string, V> refused[] = {
      {"车牌号,车主\n京A3,李四\n", V{"2:车主"}},           // two customers of that name
      {"车牌号,车主\n京A4,无名\n", V{"2:车主"}},           // no such code or name
      {"车牌号,车主ID,车主\n京A5,1,张三\n", V{"1:车主"}},  // the same reference twice
  };
  for (const auto& [csv, places] : refused) EXPECT_EQ(Places(Import("vehicles", csv)), places);
  EXPECT_EQ(Count("clzl"), 2);
}

// What `ws import --template` writes is a file the import takes as it is, explanations and
// all; a line like them below the data is data.
TEST_F(MasterImportTest, EveryTemplateImportsAndItsExplanationsAreSkippedOnlyUnderTheHeader) {
  for (const auto& table : ImportTables()) {
    const std::string text = ImportTemplate(table.name);
    const ImportOutcome outcome = Import(table.name, text);
    EXPECT_TRUE(outcome.Ok() && outcome.rows == 0)
        << table.name << ": " << (outcome.issues.empty() ? "" : DescribeIssue(outcome.issues[0]));
    EXPECT_NE(text.find("\n# "), std::string::npos) << table.name;
  }
  ASSERT_TRUE(Import("customers", "公司名称\n# 公司名称: the name\n张三\n# 公司名称: 李四\n").Ok());
  EXPECT_EQ(Count("pdmwldw"), 2);
}

TEST_F(MasterImportTest, FillsDefaultsAndConvertsValues) {
  ASSERT_TRUE(Import("depots", "部门ID,部门编码,部门名称\n11,K1,配件总库\n").Ok());
  ASSERT_TRUE(Import("parts",
                     "产品ID,物品编码,物品名称,参考零售价\n"
                     "5,PJ5,机油,+12.50\n")
                  .Ok());
  const ImportOutcome stock = Import("stock",
                                     "会计期间,仓库ID,产品ID,货位,库存数量,库存金额\n"
                                     "201206,11,5,A-01,4,\" 50.2 \"\n"
                                     "201206,11,5,A-02,1,12.5\n");
  ASSERT_TRUE(stock.Ok()) << DescribeIssue(stock.issues.at(0));
  EXPECT_DOUBLE_EQ(host_.Scalar("SELECT 参考零售价 FROM PDMCPML WHERE 产品ID=5").ToDouble(), 12.5);
  EXPECT_DOUBLE_EQ(host_.Scalar("SELECT SUM(库存金额) FROM JXCGoodsZzTz WHERE 产品ID=5").ToDouble(),
                   62.7);
  EXPECT_EQ(Places(Import("stock", "会计期间,仓库ID,产品ID,货位\n201206,11,5,A-01\n")),
            V{"2:会计期间+产品ID+仓库ID+货位+等级+特征码+产品批次"});

  ASSERT_TRUE(Import("customers", "往来ID,公司名称\n3,王五\n").Ok());
  ASSERT_TRUE(
      Import("vehicles", "车辆ID,车牌号,车主ID,车辆编号\n40,京B40,3,\n41,京B41,0,V41\n").Ok());
  EXPECT_EQ(host_.Scalar("SELECT 车辆编号 FROM clzl WHERE 车辆ID=40").ToText(), "40")
      << "a vehicle's number is its id, as the repair order's save writes it";
  EXPECT_EQ(host_.Scalar("SELECT 车辆编号 FROM clzl WHERE 车辆ID=41").ToText(), "V41");
  EXPECT_EQ(host_.Scalar("SELECT last_id FROM ws_id WHERE table_name='clzl'").ToLong(), 41);
}

}  // namespace
}  // namespace ws::shop
