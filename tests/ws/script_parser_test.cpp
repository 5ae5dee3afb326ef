// The script language: words, quotes, comments, blocks, and errors named by their line.
#include "shop/script_parser.h"

#include <gtest/gtest.h>

namespace ws::shop {
namespace {

std::vector<std::string> Words(std::string_view line) {
  std::vector<std::string> words;
  std::string error;
  EXPECT_TRUE(SplitScriptLine(line, words, &error)) << line << ": " << error;
  return words;
}

std::string SplitError(std::string_view line) {
  std::vector<std::string> words{"left over"};
  std::string error;
  EXPECT_FALSE(SplitScriptLine(line, words, &error)) << line;
  EXPECT_TRUE(words.empty()) << line;
  return error;
}

using V = std::vector<std::string>;

TEST(ScriptParserTest, SplitsWordsQuotesAndComments) {
  EXPECT_EQ(Words("\t cell  ywGridXM 1\t4 2.5 \r"), (V{"cell", "ywGridXM", "1", "4", "2.5"}));
  EXPECT_EQ(Words(R"(type 备注 "say ""hi"" twice")"), (V{"type", "备注", R"(say "hi" twice)"}));
  EXPECT_EQ(Words(R"(type 备注 """")"), (V{"type", "备注", "\""}));
  // A quote inside a word is an ordinary character; '#' only starts a comment line.
  EXPECT_EQ(Words(R"(sql select 'a"b' from x#1)"), (V{"sql", "select", "'a\"b'", "from", "x#1"}));

  EXPECT_NE(SplitError(R"(type 备注 "open)").find("not closed"), std::string::npos);
  EXPECT_NE(SplitError(R"(type "a""b)").find("column 6"), std::string::npos);
  EXPECT_NE(SplitError(R"(type "a"b)").find("after a closing quote"), std::string::npos);
}

TEST(ScriptParserTest, ParsesCommandsWithLinesAndDialogBlocks) {
  const Script script = ParseScript(
      "\xEF\xBB\xBF# header\r\n"
      "login 张三 2012-06-15\r\n"
      "\n"
      "dialog frmSelWS\n"
      "  tick ywGrid1 1\n"
      "  dialog frmInner\n"
      "    click btn 1\n"
      "  end\n"
      "  click btn 0\n"
      "end\n"
      "call FileSave\n"
      "expect msgbox \"工单号码重复,请检查!\"");
  ASSERT_TRUE(script.errors.empty()) << script.errors.front().message;
  ASSERT_EQ(script.commands.size(), 4u);
  EXPECT_EQ(script.commands[0].line, 2);
  const ScriptStep& dialog = script.commands[1];
  ASSERT_EQ(dialog.block.size(), 3u);
  ASSERT_EQ(dialog.block[1].block.size(), 1u);
  EXPECT_EQ(dialog.block[1].block[0].line, 7);
  EXPECT_EQ(dialog.block[2].line, 9);
  EXPECT_EQ(script.commands[3].args, (V{"msgbox", "工单号码重复,请检查!"}));
}

TEST(ScriptParserTest, ReportsEveryErrorWithItsLine) {
  const Script script = ParseScript(
      "open WS_S 200001\n"             // 1 fine
      "frobnicate now\n"               // 2 unknown command
      "type #2 \"open\n"               // 3 open quote
      "expect colour red\n"            // 4 unknown check
      "answer yes maybe\n"             // 5 not an answer
      "find 工单号码= 1 进厂日期>=\n"  // 6 find needs pairs
      "end\n"                          // 7 end without dialog
      "pick ywGridXM 1 1\n"            // 8 three arguments
      "dialog frmSelWS\n"              // 9 never ended
      "  click btn 0\n");
  std::vector<std::pair<int, std::string>> expected = {
      {2, "unknown command 'frobnicate'"},
      {3, "not closed"},
      {4, "unknown check 'expect colour'"},
      {5, "'maybe' is no answer"},
      {6, "pairs"},
      {7, "'end' without a 'dialog'"},
      {8, "'pick' takes 2 to 4 arguments"},
      {9, "'dialog' without its 'end'"},
  };
  ASSERT_EQ(script.errors.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(script.errors[i].line, expected[i].first) << script.errors[i].message;
    EXPECT_NE(script.errors[i].message.find(expected[i].second), std::string::npos)
        << "line " << expected[i].first << ": " << script.errors[i].message;
  }
  // Good lines around the bad ones are still read: nothing of them runs, but nothing is lost.
  EXPECT_EQ(script.commands.front().name, "open");
  EXPECT_TRUE(ParseScript("filter -\nfind \"工单号码 like\" 2012\n").errors.empty());
}

}  // namespace
}  // namespace ws::shop
