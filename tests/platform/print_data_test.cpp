#include "platform/print_data.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/test_host.h"

namespace ws {
namespace {

using platform::PrintData;
using platform::PrintFile;
using platform::ReadPrintFile;
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
}  // namespace ws
