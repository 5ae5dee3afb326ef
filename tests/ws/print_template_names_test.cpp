// The built-in print pages against what their documents print. A placeholder naming a value or
// table the document never writes prints a blank that nobody notices on paper, and a value the
// document writes but no page shows is lost the same quietly. Each document of a counter's day
// writes its print file; its page (loaded as a print loads it) must name only what that file
// holds, and every value and chosen table column the file holds must be on the page or on the
// list below of what a page leaves out on purpose.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/registry.h"
#include "platform/print_data.h"
#include "platform/print_template.h"
#include "shop/demo/demo_data.h"
#include "shop/module_controls.h"
#include "support/counter_day.h"
#include "support/test_host.h"
#include "ws/run_ws.h"

namespace ws::shop {
namespace {

struct PrintedDocument {
  const char* className;
  int64_t program;
  const char* idQuery;  // the counter day's document of this kind
  // Values and table columns ("table.column") the print file has and the page leaves out on
  // purpose, each with why.
  std::map<std::string, std::string> leftOut;
};

// The money documents write their caption as 标题; the page shows the menu's caption instead.
const std::pair<const std::string, std::string> kTitle{"标题", "the page's {{title}}"};

// Columns a page leaves out for one reason.
std::map<std::string, std::string> Columns(const std::string& table,
                                           const std::vector<std::string>& columns,
                                           const std::string& why) {
  std::map<std::string, std::string> out;
  for (const auto& column : columns) out.emplace(table + "." + column, why);
  return out;
}

// clang-format off
const PrintedDocument kDocuments[] = {
    // The parts issued are the stored requisition lines with their product: every column of
    // them, whatever the catalogue adds; the paper picks what the customer pays for.
    {"WS_S", 200001, "SELECT 300",
     {{"ywGridCK.*", "the issued lines' keys and stock figures are the storekeeper's"}}},
    {"CKLl_WS", 200002, "SELECT MAX(单据ID) FROM jxcdj WHERE progID=200002",
     Columns("ywGrid", {"颜色", "特性", "尺寸", "批次号", "库存数", "库存辅助数量", "出库辅助数量",
                        "装箱数", "说明", "源单类型"},
             "the slip the fitter signs shows what is issued and at what price, not stock, "
             "batches or the part's attributes")},
    {"JS_WS", 200003, "SELECT MAX(单据ID) FROM ARPReceive WHERE progID=200003", {kTitle}},
    {"JS_S", 200004, "SELECT MAX(单据ID) FROM ARPReceive WHERE progID=200004", {kTitle}},
};
// clang-format on

class PrintTemplateNamesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DemoOptions options;
    options.seed = 1;
    options.orders = 300;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(GenerateDemoData(host_.Db(), options), "");
    host::Registry registry;
    RegisterModuleControls(registry);
    const Outcome run = RunScript(host_.Db(), registry, test::kCounterDay);
    ASSERT_EQ(run.status, 0) << run.out << run.err;
  }

  // The print file the document of the given id writes.
  platform::PrintFile Print(const PrintedDocument& document, int64_t id) {
    host::Registry registry;
    RegisterModuleControls(registry);
    std::unique_ptr<host::IControl> control = registry.Create(document.className);
    host::IFormUI* form = control ? control->AsFormUI() : nullptr;
    if (!form) {
      ADD_FAILURE() << document.className << " is no document";
      return {};
    }
    control->Events().AttachSink(&host_.Sink());
    form->Init(host_.System(), document.program, id);
    form->Refresh();
    EXPECT_EQ(form->GetID(), id);
    EXPECT_TRUE(form->DoPrint()) << ::testing::PrintToString(host_.Sink().ErrMessages());
    platform::PrintFile file = platform::ReadPrintFile(form->ReturnPrintName());
    form->Clear();
    EXPECT_EQ(file.error, "");
    return file;
  }

  test::TestHost host_;
};

TEST_F(PrintTemplateNamesTest, EachPageNamesWhatItsDocumentPrintsAndShowsAllOfIt) {
  for (const PrintedDocument& document : kDocuments) {
    SCOPED_TRACE(document.className);
    const int64_t id = host_.Scalar(document.idQuery).ToLong();
    ASSERT_GT(id, 0);
    const platform::PrintFile file = Print(document, id);
    ASSERT_FALSE(file.values.empty());

    // The page built in for this very program, not the fallback every document has.
    ASSERT_NE(&platform::BuiltInTemplate(document.program, platform::PrintKind::Document),
              &platform::BuiltInTemplate(0, platform::PrintKind::Document));
    const platform::LoadedTemplate page =
        platform::LoadPrintTemplate(host_.Db(), document.program, platform::PrintKind::Document);
    ASSERT_EQ(page.error, "");
    const platform::PrintTemplate::Names named = page.page.Named();

    std::set<std::string> leftOutUsed;
    auto leftOut = [&](const std::string& name) {
      if (!document.leftOut.count(name)) return false;
      leftOutUsed.insert(name);
      return true;
    };
    for (const auto& name : named.values) {
      EXPECT_NE(file.Value(name), nullptr) << "the page names a value never printed: " << name;
    }
    for (const auto& [name, text] : file.values) {
      EXPECT_TRUE(named.values.count(name) || leftOut(name))
          << "printed but not on the page: " << name;
    }
    for (const auto& [name, columns] : named.tables) {
      const platform::PrintTable* table = file.Table(name);
      EXPECT_NE(table, nullptr) << "the page names a table never printed: " << name;
      if (!table || columns.empty()) continue;
      const std::set<std::string> chosen(columns.begin(), columns.end());
      for (const auto& column : columns) {
        EXPECT_TRUE(std::count(table->columns.begin(), table->columns.end(), column))
            << "the page names a column " << name << " lacks: " << column;
      }
      for (const auto& column : table->columns) {
        // A column the form hides prints as "***" and never reaches paper.
        if (column == "***") continue;
        EXPECT_TRUE(chosen.count(column) || leftOut(name + ".*") || leftOut(name + "." + column))
            << "printed but not on the page: " << name << "." << column;
      }
    }
    for (const auto& table : file.tables) {
      EXPECT_TRUE(named.tables.count(table.name) || named.restOfTables)
          << "a table printed and not on the page: " << table.name;
    }
    // A reason for something the document no longer prints, or the page now shows, is stale.
    for (const auto& [name, why] : document.leftOut) {
      EXPECT_TRUE(leftOutUsed.count(name))
          << "left out but not printed: " << name << " (" << why << ")";
    }
  }
}

}  // namespace
}  // namespace ws::shop
