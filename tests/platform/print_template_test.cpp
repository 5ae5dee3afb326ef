// Print templates: placeholders a shop writes, what they pick out of a print file, the escaping
// of document texts.
#include "platform/print_template.h"

#include <gtest/gtest.h>

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

  const std::string chosen = Render("{{table ywGridXM 金额 维修项目 没有此列}}");
  EXPECT_LT(chosen.find(">金额</th>"), chosen.find(">维修项目</th>"));
  EXPECT_EQ(chosen.find("行号"), std::string::npos);
  EXPECT_LT(chosen.find(">100</td>"), chosen.find("<td>换机油</td>"));

  // An empty table keeps its header (nothing to judge a column hidden by).
  const std::string empty = Render("{{table ywGridCK}}");
  EXPECT_NE(empty.find(">物品编码</th>"), std::string::npos);
}

TEST(PrintTemplateTest, TheShopHeadingShowsOnlyTheParticularsSet) {
  struct Case {
    PrintHeader header;
    std::vector<std::string> shown;
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {{"长城汽修厂", "北京市朝阳区", "010-1234", "9111", "", "", ""},
       {">长城汽修厂</p>", "地址：北京市朝阳区", "电话：010-1234", "税号：9111"},
       {}},
      {{"长城汽修厂", "", "", "9111", "", "", ""},
       {">长城汽修厂</p>", "税号：9111"},
       {"地址", "电话"}},
      {{"", "", "010-1234", "", "", "", ""}, {"电话：010-1234"}, {"shop-name", "地址", "税号"}},
  };
  for (const Case& c : cases) {
    const std::string html = ShopHeadingHtml(c.header);
    for (const auto& text : c.shown) EXPECT_NE(html.find(text), std::string::npos) << text;
    for (const auto& text : c.absent) EXPECT_EQ(html.find(text), std::string::npos) << text;
  }
  // A shop with nothing set prints no heading at all, not empty lines.
  EXPECT_EQ(PrintTemplate::Parse("[{{shop}}]").Render(SampleFile(), PrintHeader{}), "[]");
}

TEST(PrintTemplateTest, AmountsLineUpOnTheRightAndCodesStayLeft) {
  PrintFile file;
  file.tables.push_back(PrintTable{"ywGrid",
                                   {"行号", "物品编码", "物品名称", "数量", "金额", "源单单号"},
                                   {{"1", "00017", "机油", "4", "-359.5", "20120615001"},
                                    {"2", "00018", "滤芯", "", "35", "20120615001"}}});
  const std::string html = PrintTemplate::Parse("{{table ywGrid}}").Render(file, PrintHeader{});
  EXPECT_NE(html.find("<td align=\"right\">4</td>"), std::string::npos);
  EXPECT_NE(html.find("<td align=\"right\">-359.5</td>"), std::string::npos);
  for (const char* left :
       {"<td>1</td>", "<td>00017</td>", "<td>机油</td>", "<td>20120615001</td>"}) {
    EXPECT_NE(html.find(left), std::string::npos) << left;
  }
}

TEST(PrintTemplateTest, RefusesStrayBracesAndUnknownPlaceholdersWithTheirLine) {
  PrintTemplate unknown = PrintTemplate::Parse("<p>\n\n{{shop.fax}}</p>");
  EXPECT_EQ(unknown.Error(), "line 3: unknown placeholder {{shop.fax}}");
  EXPECT_EQ(unknown.Render(SampleFile(), SampleHeader()), "");
  EXPECT_EQ(PrintTemplate::Parse("a\n{{title").Error(), "line 2: \"{{\" without \"}}\"");
  EXPECT_NE(PrintTemplate::Parse("{{value }}").Error(), "");
}

}  // namespace
}  // namespace ws::platform
