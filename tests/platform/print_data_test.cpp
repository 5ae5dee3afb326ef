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

class PrintDataTest : public test::HostTest {
 protected:
  std::string PathIn(const std::string& relative) {
    return (host_.WorkFolder() / relative).string();
  }
  void WriteRaw(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
  }
};

TEST_F(PrintDataTest, AwkwardTextsSurviveTheRoundTrip) {
  const std::vector<std::pair<std::string, std::string>> values = {
      {"工单号码", "20120615001"},
      {"备注", "第一行\n第二行\r\n第三行"},
      {"a=b", "c=d==e"},
      {"[Values]", "[Table x]"},
      {"#not a comment", "# neither"},
      {"tab\tname", "tab\tvalue"},
      {"back\\slash", "C:\\selfPrint\\n200001.txt"},  // "\n" as two characters
      {"quotes", "it's \"quoted\""},
      {"", "empty name"},
      {"empty value", ""},
      {"trailing", "ends with a backslash\\"},
      {"blanks", "  leading and trailing  "},
  };
  PrintData data;
  for (const auto& [name, value] : values) data.SetValue(name, value);
  data.SetValue("工单号码", "20120615002");  // replaces, keeps its place

  const std::vector<std::string> columns = {"序号", "编码", "维修项目", "说明"};
  const std::vector<std::vector<std::string>> rows = {
      {"1", "X01", "换机油", "a\tb"},
      {"2", "X\\t02", "line\nbreak", "=\"',;"},
      {"", "", "", ""},
      {},          // a row of no cells
      {""},        // a row of one empty cell
      {"ragged"},  // shorter than the header
  };
  data.AddTable("ywGridXM", columns, rows);
  data.AddTable("ywGridCK", {"单据ID"}, {});  // header only
  data.AddTable("odd]name [x]", {"a\\", "\t"}, {{"\\", "\n"}});
  data.AddTable("ywGridPJ", {"old"}, {{"gone"}});
  data.AddTable("ywGridPJ", {"物品编码"}, {{"P-01"}});  // replaces

  // The module builds the path with backslashes; the folders do not exist yet.
  std::string path = host_.WorkFolder().string() + "\\selfPrint\\deeper\\200001.txt";
  ASSERT_EQ(data.WriteFile(path), "");
  EXPECT_TRUE(std::filesystem::exists(host_.WorkFolder() / "selfPrint" / "deeper" / "200001.txt"));

  PrintFile file = ReadPrintFile(path);
  ASSERT_EQ(file.error, "");
  ASSERT_EQ(file.values.size(), values.size());
  EXPECT_EQ(file.values[0], (std::pair<std::string, std::string>{"工单号码", "20120615002"}));
  for (size_t i = 1; i < values.size(); ++i) {
    EXPECT_EQ(file.values[i], values[i]) << "value " << i;
  }
  EXPECT_EQ(file.Value("a=b") ? *file.Value("a=b") : "missing", "c=d==e");
  EXPECT_EQ(file.Value("no such"), nullptr);

  ASSERT_EQ(file.tables.size(), 4u);
  EXPECT_EQ(file.tables[0].name, "ywGridXM");
  EXPECT_EQ(file.tables[0].columns, columns);
  EXPECT_EQ(file.tables[0].rows, rows);
  ASSERT_NE(file.Table("ywGridCK"), nullptr);
  EXPECT_EQ(file.Table("ywGridCK")->columns, std::vector<std::string>{"单据ID"});
  EXPECT_TRUE(file.Table("ywGridCK")->rows.empty());
  ASSERT_NE(file.Table("odd]name [x]"), nullptr);
  EXPECT_EQ(file.Table("odd]name [x]")->columns, (std::vector<std::string>{"a\\", "\t"}));
  EXPECT_EQ(file.Table("odd]name [x]")->rows,
            (std::vector<std::vector<std::string>>{{"\\", "\n"}}));
  EXPECT_EQ(file.tables[3].name, "ywGridPJ");
  EXPECT_EQ(file.tables[3].rows, (std::vector<std::vector<std::string>>{{"P-01"}}));

  // Writing again replaces the file whole and leaves no temporary file behind.
  PrintData second;
  second.SetValue("only", "this");
  ASSERT_EQ(second.WriteFile(path), "");
  file = ReadPrintFile(path);
  EXPECT_EQ(file.values.size(), 1u);
  EXPECT_TRUE(file.tables.empty());
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  int entries = 0;
  for ([[maybe_unused]] const auto& e :
       std::filesystem::directory_iterator(host_.WorkFolder() / "selfPrint" / "deeper")) {
    ++entries;
  }
  EXPECT_EQ(entries, 1);
}

TEST_F(PrintDataTest, TheFileIsPlainLinesARendererCanRead) {
  PrintData data;
  data.SetValue("金额大写", "壹佰元整");
  data.AddTable("T", {"a", "b"}, {{"1", "2"}});
  EXPECT_EQ(data.Text(),
            "# ws print data 1\n"
            "[Values]\n"
            "金额大写=壹佰元整\n"
            "[Table T]\n"
            "H\ta\tb\n"
            "R\t1\t2\n");
}

TEST_F(PrintDataTest, ReaderAcceptsEditedFilesAndRefusesOthers) {
  // Saved by an editor: a BOM, CRLF line ends, comments, blank lines, a section from a later
  // version.
  std::string edited = PathIn("edited.txt");
  WriteRaw(edited,
           "\xEF\xBB\xBF# ws print data 1\r\n"
           "[Values]\r\n"
           "\r\n"
           "# a comment\r\n"
           "name=value\r\n"
           "[Pictures]\r\n"
           "logo=whatever\r\n"
           "[Table T]\r\n"
           "H\tx\r\n"
           "R\t1\r\n");
  PrintFile file = ReadPrintFile(edited);
  EXPECT_EQ(file.error, "");
  EXPECT_EQ(file.values, (std::vector<std::pair<std::string, std::string>>{{"name", "value"}}));
  ASSERT_NE(file.Table("T"), nullptr);
  EXPECT_EQ(file.Table("T")->rows, (std::vector<std::vector<std::string>>{{"1"}}));

  EXPECT_NE(ReadPrintFile(PathIn("missing.txt")).error, "");
  const std::vector<std::string> broken = {
      "",                                             // empty
      "[Values]\nname=value\n",                       // no format line
      "# ws print data 2\n[Values]\n",                // a newer version
      "# ws print data 1\n[Values]\nno separator\n",  // value without "="
      "# ws print data 1\nname=value\n",              // before any section
      "# ws print data 1\n[Table T]\nX\tcell\n",      // neither H nor R
  };
  for (size_t i = 0; i < broken.size(); ++i) {
    std::string path = PathIn("broken" + std::to_string(i) + ".txt");
    WriteRaw(path, broken[i]);
    EXPECT_NE(ReadPrintFile(path).error, "") << broken[i];
  }
}

TEST_F(PrintDataTest, WriteFailuresAnswerTheReason) {
  WriteRaw(PathIn("a_file"), "x");
  PrintData data;
  data.SetValue("n", "v");
  EXPECT_NE(data.WriteFile(PathIn("a_file/inside/200001.txt")), "");
  EXPECT_NE(data.WriteFile(""), "");
  std::filesystem::create_directories(PathIn("a_folder"));
  EXPECT_NE(data.WriteFile(PathIn("a_folder")), "") << "a folder is not a file";
}

}  // namespace
}  // namespace ws
