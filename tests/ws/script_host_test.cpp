// The script host: input through the forms' input API, pickers choosing rows, failed checks, and
// errors that stop a wrong script; the language's words, quotes, comments, blocks and errors
// named by their line. Dialogs and message boxes run in the example scripts.
#include "shop/script/script_host.h"

#include <gtest/gtest.h>

#include <sstream>

#include "forms/form.h"
#include "host/registry.h"
#include "repair_order/register.h"
#include "shop/script/script_parser.h"
#include "support/test_host.h"
#include "ws/run_ws.h"

namespace ws::shop {
namespace {

// A control with what a script touches: two fields (one read-only) and a line grid that tells
// its edits.
class FakeControl : public host::IControl {
 public:
  FakeControl() : form_("FakeForm") {
    form_.Add<forms::Field>("ywTxt", 0).SetCaption("车牌号");
    auto& name = form_.Add<forms::Field>("ywTxt", 1);
    name.SetCaption(" 名称 ");
    name.SetLocked(true);
    auto& grid = form_.Add<forms::Grid>("Vs");
    grid.SetFormatString("行号|编码|数量");
    grid.SetEditable(true);
    grid.OnAfterEdit = [this](int row, int col) { events_.Raise("Edited", {row, col}); };
  }
  std::string ClassName() const override { return "Fake"; }
  forms::Form& Form() override { return form_; }
  host::EventSource& Events() override { return events_; }

 private:
  forms::Form form_;
  host::EventSource events_;
};

class ScriptHostTest : public test::HostTest {
 protected:
  ScriptHostTest() {
    registry_.Register("Fake", [] { return std::make_unique<FakeControl>(); });
    repair_order::RegisterRepairOrder(registry_);
  }

  Outcome Run(const std::string& text) { return RunScript(host_.Db(), registry_, text); }

  host::Registry registry_;
};

// A refused input, a failed check and an answer no box asked for are told with their lines,
// and the run goes on to the end.
TEST_F(ScriptHostTest, DrivesAControlAndTellsEveryFailureWithItsLine) {
  const Outcome run =
      Run("open Fake 1\n"
          "type 名称 x\n"
          "expect result refused\n"
          "cell Vs 1 编码 A01\n"  // adds the first row
          "expect rows Vs 2\n"
          "answer no\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "=> false\n"  // what opening the control returned
            "=> refused: ywTxt_1 is read-only\n"
            "event Edited 1 1\n"
            "FAIL line 5: rows of Vs: expected '2', got '1'\n"
            "FAIL line 6: the answer 'no' was never asked for\n"
            "FAILED: 2 of 3 checks\n");
}

TEST_F(ScriptHostTest, AWrongScriptStopsAtItsFirstErrorWithStatusTwo) {
  struct Wrong {
    std::string script;
    std::string error;
  };
  const Wrong wrong[] = {
      {"open Lorry 1\necho after",
       "error line 1: unknown control 'Lorry' (known: WS.Fake, WS.WS_S)"},
      {"type #0 x\necho after", "error line 1: no control is open"},
      {"open Fake 1\ntype #7 x\necho after", "error line 2: the form FakeForm has no field '#7'"},
      {"open Fake 1\ncell Grid 1 1 x\necho after", "error line 2: the form FakeForm has no grid"},
      {"open Fake 1\ncell Vs 1 单价 x\necho after",
       "error line 2: the grid Vs has no column '单价'"},
      {"open Fake 1\ncall FileSave\necho after", "error line 2: Fake has no operation 'FileSave'"},
      {"login 李四 2012-13-01\necho after", "error line 1: '2012-13-01' is not a date"},
      {"sql delete from nowhere\necho after", "error line 1: "},
      {"open WS_S 200001\ncall DoSetStatus change maybe\necho after",
       "error line 2: DoSetStatus takes a status word and a flag"},
  };
  for (const auto& w : wrong) {
    const Outcome run = Run(w.script);
    EXPECT_EQ(run.status, 2) << w.script;
    EXPECT_EQ(run.err.rfind(w.error, 0), 0u) << w.script << "\n" << run.err;
    EXPECT_EQ(run.out.find("after"), std::string::npos) << w.script << "\n" << run.out;
  }
}

TEST_F(ScriptHostTest, PicksTheNamedRowOfThePickerAControlShows) {
  host_.Exec("INSERT INTO pdmwxfl (维修分类ID, 编码, 维修分类) VALUES (4, '01', '常规保养')");
  host_.Exec("INSERT INTO pdmwxfl (维修分类ID, 编码, 维修分类) VALUES (9, '02', '事故维修')");
  const Outcome run =
      Run("login 张三 2012-06-15\n"
          "open WS_S 200001\n"
          "call FileNew\n"
          "pick #19 2\n"
          "expect key #19 9\n"
          "expect field #19 事故维修\n"
          "pick #19 0\n"
          "expect key #19 9\n"
          "pick #19 3\n"
          "call GetID\n"
          "expect result 0\n");
  EXPECT_EQ(run.status, 1) << run.err << run.out;
  EXPECT_NE(run.out.find("picker sel_wxfl \"\" -> row 2: 9 事故维修\n"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("picker sel_wxfl \"事故维修\" -> cancel\n"), std::string::npos) << run.out;
  // The field's text narrows the list the picker opens with.
  EXPECT_NE(run.out.find("FAIL line 9: sel_wxfl lists 1 rows, not 3"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("FAILED: 1 of 4 checks"), std::string::npos) << run.out;
}

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
