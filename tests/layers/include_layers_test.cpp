// The layers as drawn (DESIGN.md): every #include of src/, platform/ and apps/ is read from the
// source tree and held to who may include whom, with no exceptions: what two subsystems share
// lives below both, and platform/ reaches the module only through the host's contract.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

namespace ws::layers {
namespace {

namespace fs = std::filesystem;

struct Include {
  std::string file;    // relative to the source tree, e.g. "src/money/js_ws.h"
  std::string header;  // as written, e.g. "framework/line_grid.h" or "sqlite3.h"
  bool angled = false;
};

std::vector<Include> ReadIncludes(const fs::path& root) {
  static const std::regex line(R"(^\s*#\s*include\s*([<"])([^">]+)[">])");
  std::vector<Include> out;
  for (const char* top : {"src", "platform", "apps"}) {
    for (const auto& entry : fs::recursive_directory_iterator(root / top)) {
      const std::string ext = entry.path().extension().string();
      if (!entry.is_regular_file() || (ext != ".h" && ext != ".cpp")) continue;
      std::ifstream in(entry.path());
      const std::string file = fs::relative(entry.path(), root).generic_string();
      std::smatch m;
      for (std::string text; std::getline(in, text);) {
        if (std::regex_search(text, m, line)) out.push_back({file, m[2], m[1] == "<"});
      }
    }
  }
  return out;
}

std::string FirstPart(const std::string& path) {
  return path.substr(0, path.find('/'));
}

// The module's folders, lowest first: a folder includes its own and those its entry names.
// forms is the ground; db and grid stand on it; host on both; framework on host; each
// subsystem on framework and host. db takes from forms only its text and number helpers.
const std::map<std::string, std::set<std::string>> kMayInclude = {
    {"forms", {}},
    {"db", {"forms"}},
    {"grid", {"forms"}},
    {"host", {"db", "forms", "grid"}},
    {"framework", {"host", "db", "forms", "grid"}},
    {"repair_order", {"framework", "host", "db", "forms", "grid"}},
    {"requisition", {"framework", "host", "db", "forms", "grid"}},
    {"money", {"framework", "host", "db", "forms", "grid"}},
    {"reports", {"framework", "host", "db", "forms", "grid"}},
    {"masters", {"framework", "host", "db", "forms", "grid"}},
    {"pickers", {"framework", "host", "db", "forms", "grid"}},
    {"workshop", {"framework", "host", "db", "forms", "grid"}},
};
const std::set<std::string> kSubsystems = {"repair_order", "requisition", "money",   "reports",
                                           "masters",      "pickers",     "workshop"};
const std::set<std::string> kDbFromForms = {"forms/text.h", "forms/text_pool.h",
                                            "forms/number_format.h"};

// Why the include crosses a layer the wrong way; empty when it does not.
std::string Crossing(const Include& inc) {
  const std::string top = FirstPart(inc.file);
  const bool engine = inc.header == "sqlite3.h" || inc.header == "libpq-fe.h";
  if (engine && top != "platform") return "only platform/ calls the engines";
  if (top == "src") {
    const std::string layer = FirstPart(inc.file.substr(4));
    if (inc.angled) {
      return inc.header.rfind("Q", 0) == 0 || inc.header.rfind("qt", 0) == 0
                 ? "the module never includes Qt"
                 : "";
    }
    const std::string target = FirstPart(inc.header);
    if (target == layer) return "";
    if (layer == "db" && target == "forms") {
      return kDbFromForms.count(inc.header) ? "" : "db takes only text helpers from forms";
    }
    const auto allowed = kMayInclude.find(layer);
    if (allowed == kMayInclude.end()) return "a folder of src/ the layers do not name";
    return allowed->second.count(target) ? "" : layer + " may not include " + target;
  }
  if (top == "platform" && !inc.angled && kSubsystems.count(FirstPart(inc.header))) {
    return "platform includes no subsystem";
  }
  return "";
}

TEST(IncludeLayersTest, NoIncludeCrossesALayerTheWrongWay) {
  const auto includes = ReadIncludes(WS_SOURCE_DIR);
  ASSERT_GT(includes.size(), 500u) << "the source tree was not found at " << WS_SOURCE_DIR;
  for (const Include& inc : includes) {
    const std::string why = Crossing(inc);
    EXPECT_TRUE(why.empty()) << inc.file << " includes " << inc.header << ": " << why;
  }
}

// The rule itself, on includes written for it: each line one that must pass or fail.
TEST(IncludeLayersTest, TheRulesJudgeEachKindOfInclude) {
  const struct {
    Include include;
    bool crosses;
  } cases[] = {
      {{"src/db/sql.cpp", "forms/text.h"}, false},
      {{"src/db/sql.cpp", "forms/grid.h"}, true},
      {{"src/db/sql.cpp", "framework/document.h"}, true},
      {{"src/forms/grid.cpp", "db/value.h"}, true},
      {{"src/host/system.h", "grid/layout.h"}, false},
      {{"src/framework/document.cpp", "repair_order/ws_s.h"}, true},
      {{"src/money/js_ws.cpp", "framework/document.h"}, false},
      {{"src/money/js_ws.cpp", "requisition/ckll_ws.h"}, true},
      {{"src/money/js_ws.cpp", "platform/navigator.h"}, true},
      {{"src/reports/ws_rpt.cpp", "QString", true}, true},
      {{"src/reports/ws_rpt.cpp", "string", true}, false},
      {{"src/db/runner.cpp", "sqlite3.h", true}, true},
      {{"platform/sqlite_database.cpp", "sqlite3.h", true}, false},
      {{"platform/navigator.cpp", "masters/card.h"}, true},
      {{"platform/navigator.cpp", "framework/document.h"}, false},
      {{"apps/shop/demo/demo_data.cpp", "libpq-fe.h", true}, true},
      {{"apps/shop/demo/demo_data.cpp", "repair_order/ws_s.h"}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(!Crossing(c.include).empty(), c.crosses)
        << c.include.file << " -> " << c.include.header;
  }
}

}  // namespace
}  // namespace ws::layers
