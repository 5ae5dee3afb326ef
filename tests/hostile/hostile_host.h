// The shop of the hostile-input tests on the engine of the run (the shared test host): a
// customer, a car, an item, a part and a category, and a clerk who takes the first row a
// dropped-down picker lists. Also the texts a user may type, and the byte comparison both
// hostile suites share.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/sql.h"
#include "forms/text.h"
#include "framework/vin.h"
#include "host/ui.h"
#include "support/first_row_picker.h"
#include "support/test_host.h"

namespace ws::hostile {

// Texts a user may type (or paste) into any field: quotes and statement pieces, the wildcards
// and date marks of the dialects, backslashes, control characters, emoji, right-to-left and
// invisible characters, number and date look-alikes, and one long
// text. None holds a NUL (no field can).
inline const std::vector<std::string>& HostileTexts() {
  static const std::vector<std::string> texts = [] {
    // clang-format off
    std::vector<std::string> corpus = {
        "'", "O'Brien", "'; DROP TABLE WSDJ; --", "x' OR '1'='1", "a -- b", "/* c */", "100%",
        "%_%", "a_b", "#2012-06-15#", "@@identity", "\\", "\\'", "C:\\work\\selfbb\\", "\\%\\_",
        "\"\"", "[WSDJ]", "? ?", "$1", ":name", "a\tb", "line1\nline2", "cr\r\nlf", "ends in cr\r",
        "\x01\x02\x1b[31m\x1f\x7f", " leading", "trailing ", "👨‍👩‍👧 family", "العربية 123",
        "\u202Eevil\u202C.txt", "zero\u200Bwidth", "ＡＢＣ１２３", "汉字'引号'--注释", "e\u0301 vs \u00e9",
        "NULL", "iif(1,2,3)", "1e308", "－１２．５", "2012-02-30"};
    // clang-format on
    // Bytes that are no UTF-8 are missing on purpose: SQLite keeps them, PostgreSQL refuses the
    // statement. The number and date tables type them where nothing reaches a statement.
    // A 10 kB text mixing every kind above.
    std::string big;
    while (big.size() < 10 * 1024) big += "长'%_#@\\\"--😀\u202E ";
    corpus.push_back(big);
    return corpus;
  }();
  return texts;
}

// Byte-for-byte equality that names the first difference instead of printing 10 kB texts.
inline ::testing::AssertionResult SameBytes(const std::string& actual,
                                            const std::string& expected) {
  if (actual == expected) return ::testing::AssertionSuccess();
  size_t at = 0;
  while (at < actual.size() && at < expected.size() && actual[at] == expected[at]) ++at;
  return ::testing::AssertionFailure() << "sizes " << actual.size() << " and " << expected.size()
                                       << ", first difference at byte " << at;
}

class HostileTest : public test::HostTest {
 protected:
  void SetUp() override {
    host_.Db().EnableLog(false);
    for (const char* sql :
         {"insert into pdmwldw (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2)",
          "insert into clzl (车辆ID,车辆编号,车牌号,发动机号,车架号,车型,车主ID) values "
          "(1,'V001','京A12345','E100','J100','桑塔纳',1)",
          "insert into PDMWXXM (AutoID,编码,维修项目,项目属性) values (1,'X01','换机油','保养')",
          "insert into PDMCPML (产品ID,物品编码,物品名称,规格,参考零售价,参考进价) values "
          "(1,'P01','机油滤芯','小号',30,20)",
          "insert into pdmwxfl (维修分类ID,编码,维修分类,说明) values (1,'F01','小修','')"}) {
      host_.Exec(sql);
    }
    System().SetRunPickerHandler(test::TakeFirstRow);
  }

  // The books the documents post to: ledger periods (2012-06 current, up to 2012-03 closed), a
  // depot holding the part, a workshop department, a cash account, a settlement method and the
  // customer as a settlement partner.
  void SeedBooks() {
    ASSERT_EQ(System().SetParameter(12, 1, "201206"), "");
    ASSERT_EQ(System().SetOption(12, std::string("Jzperiod"), "201203"), "");
    ASSERT_EQ(System().SetParameter(12, 3, "25"), "");
    for (const char* sql :
         {"insert into PDMBM (部门ID,部门编码,部门名称,组织类型,是否明细,是否使用,属性,"
          "不参与物料运算) values (11,'11','配件总库',2,1,1,'0',0),(1,'01','维修车间',1,1,1,'0',0)",
          "insert into JXCGoodsZzTz (会计期间,仓库ID,产品ID,货位,等级,特征码,产品批次,库存数量,"
          "库存重量,库存金额) values (201206,11,1,'','','','',50,0,1000)",
          "insert into PDMKJKM (科目ID,科目编码,科目名称,是否现金科目,是否明细) values "
          "(1,'1001','库存现金',1,1)",
          "insert into PDMSJZD (ID,名称,类型) values (2,'转账支票','结算方式')",
          "insert into pdmwldwjs (往来ID,往来编码,公司名称,属性) values (1,'C001','顺达物流',2)"}) {
      host_.Exec(sql);
    }
  }

  platform::SystemObject& System() { return host_.System(); }
  test::RecordingSink& Sink() { return host_.Sink(); }
  test::ScriptedDialogs& Dialogs() { return host_.Dialogs(); }
  // Every text a save or load reported as a failure (ErrMessage and message boxes).
  std::string Failures() {
    std::string text;
    for (const auto& message : Sink().ErrMessages()) text += message + "\n";
    for (const auto& box : Dialogs().Boxes()) {
      // A hostile chassis number is no VIN: the order says so and saves it all the same.
      if (!forms::EndsWith(box.text, framework::kVinWarningEnd)) text += box.text + "\n";
    }
    return text;
  }
  // The same, forgetting what it read; refusals named here do not count.
  std::string TakeFailures(const std::vector<std::string>& refusals = {}) {
    std::string text = Failures();
    for (const auto& refusal : refusals) {
      for (size_t at; (at = text.find(refusal + "\n")) != std::string::npos;)
        text.erase(at, refusal.size() + 1);
    }
    Sink().Clear();
    Dialogs().Clear();
    return text;
  }
};

}  // namespace ws::hostile
