// What a print is made of and shows: the print file a document writes, the placeholders a
// shop's template writes and what they pick out of that file, the escaping of document texts,
// the shop's particulars in the heading and amounts in words.
#include "platform/print_template.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "platform/amount_words.h"
#include "platform/print_data.h"
#include "platform/shop_info.h"
#include "support/test_host.h"

namespace ws::platform {
namespace {

PrintFile SampleFile() {
  PrintFile file;
  file.values = {{"工单号码", "W<001>"},
                 {"车主", "张三 & 李四"},
                 {"备注", "第一行\n第二行"},
                 {"金额大写", "壹佰元整"}};
  file.tables.push_back(
      PrintTable{"ywGridXM",
                 {"行号", "成本", "维修项目", "金额", "物品编码", "数量", "源单单号"},
                 {{"1", "***", "换机油", "100", "00017", "4", "20120615001"},
                  {"2", "***", "补胎", "-359.5", "00018", "", "20120615001"}}});
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

// Amounts line up on the right, codes and numbers that are no amounts stay left; figures,
// codes and column titles never break inside.
TEST(PrintTemplateTest, TablesDropHiddenColumnsAlignAmountsAndHonourAChosenOrder) {
  const std::string keep = " style=\"white-space: nowrap\"";
  const std::string all = Render("{{table ywGridXM}}");
  EXPECT_NE(all.find(keep + ">维修项目</th>"), std::string::npos);
  EXPECT_EQ(all.find("成本"), std::string::npos);  // hidden in the form: "***" in every row
  EXPECT_EQ(all.find("***"), std::string::npos);
  for (const std::string right : {"100", "-359.5", "4"})
    EXPECT_NE(all.find("<td align=\"right\"" + keep + ">" + right + "</td>"), std::string::npos)
        << right;
  for (const std::string left : {"1", "00017", "换机油", "20120615001"})
    EXPECT_NE(all.find("<td" + keep + ">" + left + "</td>"), std::string::npos) << left;

  const std::string chosen = Render("{{table ywGridXM 金额 维修项目 没有此列}}");
  EXPECT_LT(chosen.find(">金额</th>"), chosen.find(">维修项目</th>"));
  EXPECT_EQ(chosen.find("行号"), std::string::npos);
  EXPECT_LT(chosen.find(">100</td>"), chosen.find("<td>换机油</td>"));

  // An empty table keeps its header (nothing to judge a column hidden by).
  const std::string empty = Render("{{table ywGridCK}}");
  EXPECT_NE(empty.find(">物品编码</th>"), std::string::npos);
}

TEST(PrintTemplateTest, TheShopHeadingShowsOnlyTheParticularsSet) {
  // The particulars, what the heading shows of them and what it leaves out.
  const std::tuple<PrintHeader, std::vector<std::string>, std::vector<std::string>> cases[] = {
      {{"长城汽修厂", "北京市朝阳区", "010-1234", "9111", "", "", ""},
       {">长城汽修厂</p>", "地址：北京市朝阳区", "电话：010-1234", "税号：9111"},
       {}},
      {{"长城汽修厂", "", "", "9111", "", "", ""},
       {">长城汽修厂</p>", "税号：9111"},
       {"地址", "电话"}},
      {{"", "", "010-1234", "", "", "", ""}, {"电话：010-1234"}, {"shop-name", "地址", "税号"}},
  };
  for (const auto& [header, shown, absent] : cases) {
    const std::string html = ShopHeadingHtml(header);
    for (const auto& text : shown) EXPECT_NE(html.find(text), std::string::npos) << text;
    for (const auto& text : absent) EXPECT_EQ(html.find(text), std::string::npos) << text;
  }
  // A shop with nothing set prints no heading at all, not empty lines.
  EXPECT_EQ(PrintTemplate::Parse("[{{shop}}]").Render(SampleFile(), PrintHeader{}), "[]");
}

TEST(PrintTemplateTest, RefusesStrayBracesAndUnknownPlaceholdersWithTheirLine) {
  PrintTemplate unknown = PrintTemplate::Parse("<p>\n\n{{shop.fax}}</p>");
  EXPECT_EQ(unknown.Error(), "line 3: unknown placeholder {{shop.fax}}");
  EXPECT_EQ(unknown.Render(SampleFile(), SampleHeader()), "");
  EXPECT_EQ(PrintTemplate::Parse("a\n{{title").Error(), "line 2: \"{{\" without \"}}\"");
  EXPECT_NE(PrintTemplate::Parse("{{value }}").Error(), "");
  EXPECT_EQ(PrintTemplate::Parse("\n{{part no_such_part}}").Error(),
            "line 2: part no_such_part: no built-in part \"no_such_part\"");
}

TEST(PrintTemplateTest, APartIsTheBuiltInFileInPlaceAndOnlyItsNamesCount) {
  const std::string& style = BuiltInTemplate(0, PrintKind::Document);
  ASSERT_NE(style.find("{{title}}"), std::string::npos);
  // The fallback page itself as a part: its placeholders render as they would in place.
  const std::string whole = PrintTemplate::Parse(style).Render(SampleFile(), SampleHeader());
  const std::string viaPart =
      PrintTemplate::Parse("<{{part document}}>").Render(SampleFile(), SampleHeader());
  EXPECT_EQ(viaPart, "<" + whole + ">");
  const PrintTemplate::Names names =
      PrintTemplate::Parse("{{part document}}{{table ywGridCK 数量}}").Named();
  EXPECT_TRUE(names.values.count("金额大写"));
  EXPECT_TRUE(names.restOfValues && names.restOfTables);
  EXPECT_EQ(names.tables.at("ywGridCK"), std::vector<std::string>{"数量"});
}

TEST(AmountInWordsTest, YuanJiaoFenZerosRoundingSignsAndLimits) {
  const auto of = [](const char* text) { return db::Amount::Of(text); };
  // clang-format off
  const std::pair<db::Amount, const char*> cases[] = {
      {db::Amount(), "零元整"}, {of("0.05"), "伍分"}, {of("1001.01"), "壹仟零壹元零壹分"},
      // Zeros inside a group or opening one are written; those closing a group or the yuan are
      // optional on financial documents and are not.
      {of("100000"), "壹拾万元整"}, {of("100000000"), "壹亿元整"},
      {of("1010000"), "壹佰零壹万元整"}, {of("1010"), "壹仟零壹拾元整"},
      {of("20005"), "贰万零伍元整"}, {of("10100"), "壹万零壹佰元整"},
      {of("10001000"), "壹仟万壹仟元整"}, {of("107000.53"), "壹拾万柒仟元伍角叁分"},
      {of("10000001"), "壹仟万零壹元整"}, {of("100010000"), "壹亿零壹万元整"},
      {of("100000001"), "壹亿零壹元整"}, {of("100000.01"), "壹拾万元零壹分"},
      {of("12345678901.23"), "壹佰贰拾叁亿肆仟伍佰陆拾柒万捌仟玖佰零壹元贰角叁分"},
      // Rounded half away from zero at the fen; a sign only when something is left.
      {of("1.005"), "壹元零壹分"}, {of("9.995"), "壹拾元整"}, {of("0.1") + of("0.2"), "叁角整"},
      {of("-1234.5"), "负壹仟贰佰叁拾肆元伍角整"}, {of("-1.0049"), "负壹元整"},
      {of("-0.0049"), "零元整"}, {of("100000000000"), ""}};
  // clang-format on
  for (const auto& [amount, words] : cases)
    EXPECT_EQ(AmountInWords(amount), words) << amount.Text();
}

// The shop's particulars: kept in the shop file among the host's options, written all together,
// and what every print's heading is made of.
using ShopInfoTest = test::HostTest;

TEST_F(ShopInfoTest, SavedParticularsComeBackTrimmedAndReplaceTheEarlierOnes) {
  EXPECT_EQ(LoadShopInfo(host_.Db()), ShopInfo{});

  ASSERT_EQ(SaveShopInfo(host_.Db(), {" 北京顺驰汽车维修服务有限公司 ", "北京市朝阳区广渠路8号",
                                      "010-87654321", "91110105MA01ABCD2X"}),
            "");
  const ShopInfo first{"北京顺驰汽车维修服务有限公司", "北京市朝阳区广渠路8号", "010-87654321",
                       "91110105MA01ABCD2X"};
  EXPECT_EQ(LoadShopInfo(host_.Db()), first);

  // A second save replaces every one, an emptied particular included; a quote is a quote.
  const ShopInfo second{"O'Brien 汽修", "", "010-1", "9111"};
  ASSERT_EQ(SaveShopInfo(host_.Db(), second), "");
  EXPECT_EQ(LoadShopInfo(host_.Db()), second);
  EXPECT_EQ(host_.Scalar("SELECT COUNT(*) FROM ws_option WHERE module = 12 AND name LIKE 'shop%'")
                .ToLong(),
            4);

  // The print heading reads the same store.
  const PrintHeader header = PrintHeaderFromSystem(host_.System(), "维修工单");
  EXPECT_EQ(header.shopName, second.name);
  EXPECT_EQ(header.shopTaxNumber, second.taxNumber);
}

// The print file a document writes for the print engine, written and read back.
using Rows = std::vector<std::vector<std::string>>;

class PrintDataTest : public test::HostTest {
 protected:
  std::string PathIn(const std::string& relative) {
    return (host_.WorkFolder() / relative).string();
  }
  std::string WriteRaw(const std::string& name, const std::string& text) {
    std::ofstream(PathIn(name), std::ios::binary) << text;
    return PathIn(name);
  }
};

TEST_F(PrintDataTest, AwkwardTextsSurviveTheRoundTrip) {
  const std::vector<std::pair<std::string, std::string>> values = {
      {"工单号码", "20120615002"},
      {"备注", "第一行\n第二行\r\n第三行"},
      {"a=b", "c=d==e"},
      {"[Values]", "[Table x]"},
      {"#not a comment", "# neither"},
      {"back\\slash", "C:\\selfPrint\\n200001.txt"},
      {"", "empty name"},
      {"empty value", ""},
      {"trailing", "ends with a backslash\\"}};
  PrintData data;
  for (const auto& [name, value] : values) data.SetValue(name, name == "工单号码" ? "1" : value);
  data.SetValue("工单号码", "20120615002");  // replaces, keeps its place
  const std::vector<std::string> columns = {"序号", "编码", "维修项目", "说明"};
  const Rows rows = {{"1", "X01", "换机油", "a\tb"},
                     {"2", "X\\t02", "line\nbreak", "=\"',;"},
                     {"", "", "", ""},
                     {},
                     {""},
                     {"ragged"}};
  data.AddTable("ywGridXM", columns, rows);
  data.AddTable("ywGridPJ", {"old"}, {{"gone"}});
  data.AddTable("ywGridPJ", {"物品编码"}, {{"P-01"}});  // replaces

  // The module builds the path with backslashes; the folders do not exist yet.
  std::string path = host_.WorkFolder().string() + "\\selfPrint\\deeper\\200001.txt";
  ASSERT_EQ(data.WriteFile(path), "");
  EXPECT_TRUE(std::filesystem::exists(host_.WorkFolder() / "selfPrint" / "deeper" / "200001.txt"));
  PrintFile file = ReadPrintFile(path);
  ASSERT_EQ(file.error, "");
  EXPECT_EQ(file.values, values);
  EXPECT_EQ(*file.Value("a=b"), "c=d==e");
  ASSERT_EQ(file.tables.size(), 2u);
  EXPECT_EQ(file.tables[0].name, "ywGridXM");
  EXPECT_EQ(file.tables[0].columns, columns);
  EXPECT_EQ(file.tables[0].rows, rows);
  EXPECT_EQ(file.tables[1].name, "ywGridPJ");
  EXPECT_EQ(file.tables[1].rows, (Rows{{"P-01"}}));
}

TEST_F(PrintDataTest, ReaderAcceptsEditedFilesAndRefusesOthers) {
  // Saved by an editor: a BOM, CRLF line ends, comments, blank lines, a section from a later
  // version.
  PrintFile file = ReadPrintFile(
      WriteRaw("edited.txt",
               "\xEF\xBB\xBF# ws print data 1\r\n[Values]\r\n\r\n# a comment\r\nname=value\r\n"
               "[Pictures]\r\nlogo=whatever\r\n[Table T]\r\nH\tx\r\nR\t1\r\n"));
  EXPECT_EQ(file.error, "");
  EXPECT_EQ(file.values, (std::vector<std::pair<std::string, std::string>>{{"name", "value"}}));
  ASSERT_NE(file.Table("T"), nullptr);
  EXPECT_EQ(file.Table("T")->rows, (Rows{{"1"}}));

  EXPECT_NE(ReadPrintFile(PathIn("missing.txt")).error, "");
  const std::string broken[] = {"",                                          // empty
                                "[Values]\nname=value\n",                    // no format line
                                "# ws print data 1\n[Table T]\nX\tcell\n"};  // neither H nor R
  for (const std::string& text : broken) {
    EXPECT_NE(ReadPrintFile(WriteRaw("broken.txt", text)).error, "") << text;
  }

  // Writing into a file's "folder" fails with a reason.
  PrintData data;
  data.SetValue("n", "v");
  EXPECT_NE(data.WriteFile(WriteRaw("a_file", "x") + "/inside/200001.txt"), "");
}

}  // namespace
}  // namespace ws::platform
