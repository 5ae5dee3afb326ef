// The audit trail's own rules: what counts as a change between two images of a document, the
// stored text of the changes reading back whole, events numbered per document and found by the
// report's filters, and a table that refuses every update and delete on both engines.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/audit_trail.h"
#include "db/runner.h"
#include "support/test_host.h"

namespace ws::db {
namespace {

using Changes = std::vector<FieldChange>;

struct ImageCase {
  const char* name;
  AuditImage before;
  AuditImage after;
  Changes expected;
};

TEST(AuditImages, ChangesAreTheValuesThatDifferAndTheLinesAddedOrRemoved) {
  const AuditImage::Values line = {{"数量", "2"}, {"单价", "50"}, {"说明", ""}};
  // A named line is told by its name after the change, a removed one by its name before.
  const AuditImage::LineKey key{"ywGridPJ", 9};
  const AuditImage first{{}, {{key, line}}, {{key, "维修配件第1行（PJ5 机滤）"}}};
  AuditImage second{
      {}, {{key, {{"数量", "3"}, {"单价", "50"}}}}, {{key, "维修配件第2行（PJ5 机滤）"}}};
  // clang-format off
  const ImageCase cases[] = {
      {"nothing changed", {{{"备注", "a"}}, {{{"ywGridXM", 5}, line}}},
       {{{"备注", "a"}}, {{{"ywGridXM", 5}, line}}}, {}},
      {"a header value", {{{"备注", "a"}, {"送修人", "张"}}, {}},
       {{{"备注", "b"}, {"送修人", "张"}}, {}}, {{"备注", "a", "b"}}},
      // Totals and marks a save computes are in the written values only.
      {"values only one side holds", {{{"备注", "a"}}, {}},
       {{{"备注", "a"}, {"维修费用", "100"}}, {}}, {}},
      {"a line value", {{}, {{{"ywGridXM", 5}, line}}},
       {{}, {{{"ywGridXM", 5}, {{"数量", "3"}, {"单价", "50"}, {"说明", ""}}}}},
       {{"ywGridXM#5.数量", "2", "3"}}},
      {"a line added", {{}, {}}, {{}, {{{"ywGridPJ", 9}, line}}},
       {{"ywGridPJ#9", "", "新增行: 单价=50; 数量=2"}}},
      {"a line removed", {{}, {{{"ywGridPJ", 9}, line}}}, {{}, {}},
       {{"ywGridPJ#9", "原有行: 单价=50; 数量=2", "已删除"}}},
      {"a value of a named line that moved", first, second,
       {{"维修配件第2行（PJ5 机滤）·数量", "2", "3"}}},
      {"a named line removed", first, {},
       {{"维修配件第1行（PJ5 机滤）", "原有行: 单价=50; 数量=2", "已删除"}}},
      {"a named line added", {}, first,
       {{"维修配件第1行（PJ5 机滤）", "", "新增行: 单价=50; 数量=2"}}}};
  // clang-format on
  for (const auto& c : cases) EXPECT_EQ(CompareImages(c.before, c.after), c.expected) << c.name;
  // A line with a code and no name (a receipt's order), or neither, leaves out what it lacks.
  EXPECT_EQ(AuditLineName("核销明细", 1, "20120524001", ""), "核销明细第1行（20120524001）");
  EXPECT_EQ(AuditLineName("领料明细", 3, "", ""), "领料明细第3行");

  const AuditImage created{{{"工单号码", "W1"}, {"备注", ""}}, {{{"ywGridXM", 1}, line}}};
  EXPECT_EQ(NewImageChanges(created),
            (Changes{{"工单号码", "", "W1"}, {"ywGridXM#1", "", "新增行: 单价=50; 数量=2"}}))
      << "a new document lists what it holds, not its empty fields";
}

TEST(AuditImages, StoredChangesReadBackWhole) {
  const Changes changes = {{"备注", "一行\n二行", "tab\there"},
                           {"路径", "C:\\temp\\", "\\n is no newline"},
                           {"空", "", ""},
                           {"ywGridXM#3.说明", "\t", "\\"}};
  const std::string stored = EncodeChanges(changes);
  EXPECT_EQ(std::count(stored.begin(), stored.end(), '\n'), 4) << "one line per change";
  EXPECT_EQ(DecodeChanges(stored), changes);
  EXPECT_TRUE(DecodeChanges("").empty());
}

class AuditTableTest : public test::HostTest {
 protected:
  void Append(const AuditEvent& event, const std::string& user, const std::string& when) {
    host_.Exec(AuditInsert(event, {user, "desk"}, when));
  }
  std::string Listed(const AuditFilter& filter) {
    auto rows = Runner(host_.Db()).OpenOrThrow(AuditSelect(filter));
    std::string out;
    for (; !rows->Eof(); rows->MoveNext()) {
      out += rows->Text("单据类型") + rows->Text("单据ID") + "." + rows->Text("序号") + " ";
    }
    return out;
  }
};

TEST_F(AuditTableTest, EventsAreNumberedPerDocumentAndFoundByUserDateAndType) {
  const AuditEvent order{"WS_S", 200001, 7, "W7", AuditAction::Insert, {{"备注", "", "x"}}};
  AuditEvent card{"PDM_clAdd", 0, 7, "C7", AuditAction::Update, {}};
  Append(order, "张三", "2012-06-14 17:00:00");
  Append(card, "李四", "2012-06-15 08:00:00");
  AuditEvent check = order;
  check.action = AuditAction::Check;
  Append(check, "李四", "2012-06-15 23:59:59");
  Append(card, "张三", "2012-06-16 00:00:00");

  EXPECT_EQ(Listed({}), "WS_S7.1 PDM_clAdd7.1 WS_S7.2 PDM_clAdd7.2 ") << "in the order they came";
  EXPECT_EQ(Listed({.documentType = "WS_S", .documentId = 7}), "WS_S7.1 WS_S7.2 ");
  EXPECT_EQ(Listed({.user = "李四"}), "PDM_clAdd7.1 WS_S7.2 ");
  EXPECT_EQ(Listed({.fromDate = "2012-06-15", .toDate = "2012-06-15"}), "PDM_clAdd7.1 WS_S7.2 ")
      << "both ends of the window are whole days";
  EXPECT_EQ(Listed({.documentType = "PDM_clAdd", .user = "张三", .fromDate = "2012-06-16"}),
            "PDM_clAdd7.2 ");
  // Renumbered by its last save, the order is found by its new number with all it went through.
  AuditEvent renumbered = order;
  renumbered.number = "W7-1";
  Append(renumbered, "张三", "2012-06-17 09:00:00");
  EXPECT_EQ(Listed({.documentType = "WS_S", .number = "W7-1"}), "WS_S7.1 WS_S7.2 WS_S7.3 ");
  EXPECT_EQ(Listed({.documentType = "PDM_clAdd", .number = "W7-1"}), "");
  EXPECT_EQ(host_.RowText("select 操作, 用户, 前端, 单据编号, progid, 变更 from ws_audit where "
                          "单据类型='WS_S' and 序号=1"),
            "新增/张三/desk/W7/200001/备注\t\tx\n");
}

TEST_F(AuditTableTest, TheTrailRefusesEveryUpdateAndDelete) {
  host_.Exec(AuditInsert({"WS_S", 200001, 7, "W7", AuditAction::Delete, {}}, {"张三", ""},
                         "2012-06-15 08:00:00"));
  Runner runner(host_.Db());
  for (const char* statement : {"update ws_audit set 用户='李四'", "delete from ws_audit"}) {
    const std::string error = runner.Execute(Sql(statement));
    EXPECT_NE(error.find("append-only"), std::string::npos) << statement << ": " << error;
  }
  EXPECT_EQ(host_.RowText("select count(*), min(用户) from ws_audit"), "1/张三");
}

}  // namespace
}  // namespace ws::db
