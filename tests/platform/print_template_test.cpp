// Print templates: placeholders a shop writes, what they pick out of a print file, the escaping
// of document texts, and which template file wins.
#include "platform/print_template.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ws::platform {
namespace {

PrintFile SampleFile() {
  PrintFile file;
  file.values = {{"工单号码", "W<001>"},
                 {"车主", "张三 & 李四"},
                 {"备注", "第一行\n第二行"},
                 {"金额大写", "壹佰元整"}};
  file.tables.push_back(PrintTable{"ywGridXM",
                                   {"行号", "成本", "维修项目", "金额"},
                                   {{"1", "***", "换机油", "100"}, {"2", "***", "补胎", "20"}}});
  file.tables.push_back(PrintTable{"ywGridCK", {"物品编码", "数量"}, {}});
  return file;
}

PrintHeader SampleHeader() {
  PrintHeader header;
  header.shopName = "长城汽修厂";
  header.shopAddress = "北京市朝阳区";
  header.title = "维修工单";
  return header;
}

std::string Render(const std::string& text) {
  PrintTemplate page = PrintTemplate::Parse(text);
  EXPECT_EQ(page.Error(), "");
  return page.Render(SampleFile(), SampleHeader());
}

TEST(PrintTemplateTest, SubstitutesEscapedTextsAndLeavesMissingNamesEmpty) {
  EXPECT_EQ(Render("<b>{{shop.name}}</b>|{{ shop.address }}|{{title}}|{{value 工单号码}}"),
            "<b>长城汽修厂</b>|北京市朝阳区|维修工单|W&lt;001&gt;");
  EXPECT_EQ(Render("[{{value 车主}}][{{value 备注}}][{{value 没有}}][{{shop.phone}}]"),
            "[张三 &amp; 李四][第一行<br>第二行][][]");
  // {{values}} lists only the names not placed elsewhere.
  const std::string html = Render("{{value 金额大写}}{{values}}{{value 工单号码}}");
  EXPECT_NE(html.find("车主"), std::string::npos);
  EXPECT_NE(html.find("备注"), std::string::npos);
  // Named once elsewhere, so the block leaves them out: the number appears exactly once.
  EXPECT_EQ(html.find("工单号码"), std::string::npos);
  EXPECT_EQ(html.find("W&lt;001&gt;"), html.rfind("W&lt;001&gt;"));
  EXPECT_EQ(html.find("壹佰元整"), html.rfind("壹佰元整"));
}

TEST(PrintTemplateTest, TablesDropHiddenColumnsAndHonourAChosenOrder) {
  const std::string all = Render("{{table ywGridXM}}");
  EXPECT_NE(all.find(">维修项目</th>"), std::string::npos);
  EXPECT_EQ(all.find("成本"), std::string::npos);  // hidden in the form: "***" in every row
  EXPECT_EQ(all.find("***"), std::string::npos);
  EXPECT_NE(all.find("<td>换机油</td>"), std::string::npos);

  const std::string chosen = Render("{{table ywGridXM 金额 维修项目 没有此列}}");
  EXPECT_LT(chosen.find(">金额</th>"), chosen.find(">维修项目</th>"));
  EXPECT_EQ(chosen.find("行号"), std::string::npos);
  EXPECT_LT(chosen.find("<td>100</td>"), chosen.find("<td>换机油</td>"));

  // An empty table keeps its header (nothing to judge a column hidden by).
  const std::string empty = Render("{{table ywGridCK}}");
  EXPECT_NE(empty.find(">物品编码</th>"), std::string::npos);
  EXPECT_NE(empty.find(">数量</th>"), std::string::npos);

  const std::string rest = Render("{{table ywGridXM}}{{tables}}");
  EXPECT_EQ(rest.find(">行号</th>"), rest.rfind(">行号</th>"));
  EXPECT_NE(rest.find(">物品编码</th>"), std::string::npos);
}

TEST(PrintTemplateTest, WordsWritesANumericValueInCapitalsAndAnyOtherTextAsItIs) {
  PrintFile file;
  file.values = {{"收款合计", " 1680.32 "},         {"欠款", "-0.5"}, {"金额小写", "***"},
                 {"合计", "核销金额合计：1000.00"}, {"空", ""},       {"带尾", "12元"}};
  const auto words = [&](const std::string& name) {
    PrintTemplate page = PrintTemplate::Parse("{{words " + name + "}}");
    EXPECT_EQ(page.Error(), "") << name;
    return page.Render(file, SampleHeader());
  };
  // A hidden amount stays hidden, a caption is never read as a number, a blank stays blank.
  const std::pair<const char*, const char*> cases[] = {{"收款合计", "壹仟陆佰捌拾元叁角贰分"},
                                                       {"欠款", "负伍角整"},
                                                       {"金额小写", "***"},
                                                       {"合计", "核销金额合计：1000.00"},
                                                       {"带尾", "12元"},
                                                       {"空", ""},
                                                       {"没有", ""}};
  for (const auto& [name, expected] : cases) EXPECT_EQ(words(name), expected);
  // Placing the words does not take the figures out of the remaining values.
  PrintTemplate both = PrintTemplate::Parse("{{words 收款合计}}{{values}}");
  EXPECT_NE(both.Render(file, SampleHeader()).find("1680.32"), std::string::npos);
  EXPECT_NE(PrintTemplate::Parse("{{words }}").Error(), "");
}

TEST(PrintTemplateTest, RefusesStrayBracesAndUnknownPlaceholdersWithTheirLine) {
  PrintTemplate unknown = PrintTemplate::Parse("<p>\n\n{{shop.fax}}</p>");
  EXPECT_EQ(unknown.Error(), "line 3: unknown placeholder {{shop.fax}}");
  EXPECT_EQ(unknown.Render(SampleFile(), SampleHeader()), "");
  EXPECT_EQ(PrintTemplate::Parse("a\n{{title").Error(), "line 2: \"{{\" without \"}}\"");
  EXPECT_EQ(PrintTemplate::Parse("{{title {{date}}").Error(), "line 1: \"{{\" without \"}}\"");
  EXPECT_NE(PrintTemplate::Parse("{{value }}").Error(), "");
  EXPECT_EQ(PrintTemplate::Parse("a single { brace } is text").Error(), "");
}

TEST(PrintTemplateTest, TheWorkFoldersTemplateWinsOverTheBuiltInOne) {
  namespace fs = std::filesystem;
  const fs::path work = fs::temp_directory_path() / ("ws_template_" + std::to_string(::getpid()));
  fs::remove_all(work);

  LoadedTemplate builtIn = LoadPrintTemplate(work.string(), 200001, PrintKind::Document);
  EXPECT_EQ(builtIn.source, "built-in");
  ASSERT_EQ(builtIn.error, "");
  // Every built-in template parses and shows the shop's name.
  for (int64_t program : {200001, 200002, 200003, 200004}) {
    for (PrintKind kind : {PrintKind::Document, PrintKind::Report}) {
      PrintTemplate page = PrintTemplate::Parse(BuiltInTemplate(program, kind));
      EXPECT_EQ(page.Error(), "") << program;
      EXPECT_NE(page.Render({}, SampleHeader()).find("长城汽修厂"), std::string::npos) << program;
    }
  }
  EXPECT_NE(BuiltInTemplate(200001, PrintKind::Document),
            BuiltInTemplate(200002, PrintKind::Document));

  fs::create_directories(work / "selfPrint");
  std::ofstream(TemplatePath(work.string(), 200001)) << "\xEF\xBB\xBF本店：{{shop.name}}";
  LoadedTemplate own = LoadPrintTemplate(work.string(), 200001, PrintKind::Document);
  EXPECT_EQ(own.source, TemplatePath(work.string(), 200001).string());
  EXPECT_EQ(own.page.Render({}, SampleHeader()), "本店：长城汽修厂");
  // Other programs keep the built-in page.
  EXPECT_EQ(LoadPrintTemplate(work.string(), 200002, PrintKind::Document).source, "built-in");

  std::ofstream(TemplatePath(work.string(), 200001)) << "{{shop.name";
  LoadedTemplate broken = LoadPrintTemplate(work.string(), 200001, PrintKind::Document);
  EXPECT_NE(broken.error.find("200001.html: line 1"), std::string::npos) << broken.error;
  fs::remove_all(work);
}

}  // namespace
}  // namespace ws::platform
