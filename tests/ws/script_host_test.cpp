// The script host: input through the forms' input API, message boxes and dialogs from the
// script, pickers choosing rows, checks, and errors that stop a wrong script.
#include "lib/script_host.h"

#include <gtest/gtest.h>

#include <sstream>

#include "forms/form.h"
#include "host/registry.h"
#include "lib/script_parser.h"
#include "repair_order/register.h"
#include "support/test_host.h"
#include "ws/run_ws.h"

namespace ws::cli {
namespace {

// A chooser dialog: a condition field, a list with a tick column, OK and cancel buttons.
class FakeChooser : public host::IModalForm {
 public:
  FakeChooser() {
    condition.SetCaption("条件");
    list.SetFormatString("行号|选择|名称");
    list.SetEditable(true);
    for (const char* name : {"甲", "乙", "丙"}) list.SetTextMatrix(list.AddRow(), 2, name);
    form_.Add<forms::CommandButton>("btn", 0).OnClick = [this] { closed_ = true; };
  }
  std::string Name() const override { return "frmFake"; }
  forms::Form& Form() override { return form_; }
  bool IsClosed() const override { return closed_; }
  void Dismiss() override { closed_ = true; }

 private:
  forms::Form form_{"frmFake"};
  bool closed_ = false;

 public:
  forms::Field& condition = form_.Add<forms::Field>("ywTxt", 0);
  forms::Grid& list = form_.Add<forms::Grid>("ywGrid1");
};

// A control with what a script touches: two fields (one read-only), a line grid, buttons that
// ask a question and open the chooser, and events for what the user did.
class FakeControl : public host::IControl {
 public:
  explicit FakeControl(host::IDialogs* const* dialogs) : form_("FakeForm"), dialogs_(dialogs) {
    auto& plate = form_.Add<forms::Field>("ywTxt", 0);
    plate.SetCaption("车牌号");
    plate.OnLeave = [this, &plate] { events_.Raise("Typed", {plate.Text()}); };
    auto& name = form_.Add<forms::Field>("ywTxt", 1);
    name.SetCaption(" 名称 ");
    name.SetLocked(true);
    auto& grid = form_.Add<forms::Grid>("Vs");
    grid.SetFormatString("行号|编码|数量");
    grid.SetEditable(true);
    grid.OnAfterEdit = [this](int row, int col) { events_.Raise("Edited", {row, col}); };
    form_.Add<forms::Label>("lblInfo").SetCaption("记录：0/0");
    form_.Add<forms::CommandButton>("btnAsk").OnClick = [this] {
      host::MsgAnswer answer = (*dialogs_)->MessageBox(
          "删除当前记录?", "提示:", host::MsgButtons::YesNo, host::MsgIcon::Question);
      events_.Message(answer == host::MsgAnswer::Yes ? "删除" : "保留");
    };
    form_.Add<forms::CommandButton>("btnChoose").OnClick = [this] {
      FakeChooser chooser;
      (*dialogs_)->RunModal(chooser);
      int ticked = 0;
      for (int r = 1; r < chooser.list.Rows(); ++r) ticked += chooser.list.TextMatrix(r, 1) == "√";
      events_.Raise("Chosen", {chooser.condition.Text(), ticked, db::Value{}});
    };
  }
  std::string ClassName() const override { return "Fake"; }
  forms::Form& Form() override { return form_; }
  host::EventSource& Events() override { return events_; }

 private:
  forms::Form form_;
  host::EventSource events_;
  host::IDialogs* const* dialogs_;
};

class ScriptHostTest : public test::HostTest {
 protected:
  ScriptHostTest() {
    registry_.Register("Fake", [this] { return std::make_unique<FakeControl>(&dialogs_); });
    repair_order::RegisterRepairOrder(registry_);
  }

  Outcome Run(const std::string& text) {
    const Script script = ParseScript(text);
    EXPECT_TRUE(script.errors.empty()) << script.errors.front().message;
    std::ostringstream out;
    std::ostringstream err;
    ScriptHost host(host_.Db(), registry_, out, err);
    dialogs_ = &host;
    Outcome outcome;
    outcome.status = host.Run(script);
    dialogs_ = nullptr;
    outcome.out = out.str();
    outcome.err = err.str();
    return outcome;
  }

  host::Registry registry_;
  host::IDialogs* dialogs_ = nullptr;
};

TEST_F(ScriptHostTest, DrivesAControlAndPrintsWhatHappensInOrder) {
  const Outcome run =
      Run("open Fake 1\n"            // 1
          "type #0 \"京A 12345\"\n"  // 2
          "expect event \"Typed 京A 12345\"\n"
          "type 名称 x\n"  // 4 read-only
          "expect result refused\n"
          "cell Vs 1 编码 A01\n"  // 6 adds the first row
          "cell Vs 1 2 3\n"
          "expect cell Vs 1 编码 A01\n"
          "expect rows Vs 1\n"
          "answer no\n"  // 10
          "click btnAsk\n"
          "expect msgbox \"删除当前记录? -> no\"\n"
          "expect event \"Message 保留\"\n"
          "click btnAsk\n"  // 14 nothing queued: the first button
          "expect field 车牌号 \"京A 12345\"\n"
          "expect label lblInfo 记录：0/0\n"
          "expect visible lblInfo true\n"
          "expect field #0 京B\n"  // 18 fails
          "expect event Typed\n"   // 19 fails: nothing typed since line 14
          "expect rows Vs 2\n");   // 20 fails
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.out,
            "=> false\n"
            "event Typed 京A 12345\n"
            "=> refused: ywTxt_1 is read-only\n"
            "event Edited 1 1\n"
            "event Edited 1 2\n"
            "msgbox 提示: 删除当前记录? -> no\n"
            "event Message 保留\n"
            "msgbox 提示: 删除当前记录? -> yes (default)\n"
            "event Message 删除\n"
            "FAIL line 18: field #0: expected '京B', got '京A 12345'\n"
            "FAIL line 19: no event with 'Typed'; there were:\n"
            "    Message 删除\n"
            "FAIL line 20: rows of Vs: expected '2', got '1'\n"
            "FAILED: 3 of 12 checks\n");
}

TEST_F(ScriptHostTest, DialogBlocksRunAgainstTheNextDialogOfTheirName) {
  const Outcome run =
      Run("open Fake 1\n"
          "dialog frmFake\n"
          "  type 条件 \"O'Brien\"\n"
          "  tick ywGrid1 2\n"
          "  tick ywGrid1 3\n"
          "  tick ywGrid1 3\n"
          "  expect cell ywGrid1 2 选择 √\n"
          "  click btn 0\n"
          "end\n"
          "click btnChoose\n"
          "expect event \"Chosen O'Brien 1 Nothing\"\n"
          "click btnChoose\n"
          "dialog frmFake\n"
          "  show ywGrid1\n"
          "end\n"
          "dialog frmOther\n"
          "end\n"
          "click btnChoose\n"
          "answer yes\n");
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out,
            "=> false\n"
            "dialog frmFake\n"
            "dialog frmFake closed\n"
            "event Chosen O'Brien 1 Nothing\n"
            "dialog frmFake\n"
            "dialog frmFake dismissed (no dialog block for it)\n"
            "event Chosen \"\" 0 Nothing\n"
            "dialog frmFake\n"
            "grid ywGrid1: 3 rows\n"
            "  -: 行号\t选择\t名称\n"
            "  1: \t\t甲\n"
            "  2: \t\t乙\n"
            "  3: \t\t丙\n"
            "dialog frmFake dismissed\n"
            "event Chosen \"\" 0 Nothing\n"
            "FAIL line 16: the dialog frmOther never opened\n"
            "FAIL line 19: the answer 'yes' was never asked for\n"
            "FAILED: 2 of 4 checks\n");
}

TEST_F(ScriptHostTest, SetsUpTheHostAndQueriesTheDatabase) {
  const Outcome run =
      Run("login 李四 2012-07-01\n"
          "option 12 befmonth 3\n"
          "param 12 1 201207\n"
          "sql insert into PDMGY (雇员ID, 姓名) values (7, '王''五')\n"
          "sql select 雇员ID, 姓名, 部门ID, null as x from PDMGY\n"
          "expect sql \"select value from ws_option where module=12 and name='befmonth'\" 3\n"
          "expect sql \"select value from ws_parameter where module=12 and number=1\" 201207\n"
          "expect sql \"select count(*) from PDMGY\" 2\n"
          "expect sql \"select x from nowhere\" 1\n"
          "answer ok\n"
          "open Fake 1\n"
          "click btnAsk\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out.substr(0, run.out.find("FAIL")),
            "=> 1 rows\n"
            "雇员ID\t姓名\t部门ID\tx\n"
            "7\t王'五\t0\tNULL\n");
  EXPECT_NE(run.out.find("FAIL line 8: select count(*) from PDMGY: expected '2', got '1'"),
            std::string::npos)
      << run.out;
  // The rest of the line is the engine's own wording, which names the table.
  const size_t failed = run.out.find("FAIL line 9: the query failed: ");
  ASSERT_NE(failed, std::string::npos) << run.out;
  EXPECT_NE(run.out.find("nowhere", failed), std::string::npos) << run.out;
  // An answer that no button of the box offers is a failure; the box takes its default.
  EXPECT_NE(run.out.find("FAIL line 10: the answer 'ok' does not fit the box '删除当前记录?' "
                         "(Yes/No)\nmsgbox 提示: 删除当前记录? -> yes (default)"),
            std::string::npos)
      << run.out;
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
      {"open Fake 1\ncell Vs 0 1 x\necho after", "error line 2: '0' is not a row number (from 1)"},
      {"open Fake 1\ncell Vs 1 单价 x\necho after",
       "error line 2: the grid Vs has no column '单价'"},
      {"open Fake 1\ncall FileSave\necho after", "error line 2: Fake has no operation 'FileSave'"},
      {"open Fake 1\nfilter -\necho after", "error line 2: Fake takes no conditions"},
      {"login 李四 2012-13-01\necho after", "error line 1: '2012-13-01' is not a date"},
      {"sql delete from nowhere\necho after", "error line 1: "},
      {"open WS_S x\necho after", "error line 1: open takes a program number"},
      {"open WS_S 200001\ncall DoSetStatus change maybe\necho after",
       "error line 2: DoSetStatus takes a status word and a flag"},
      {"open Fake 1\ndialog frmFake\n  click btnNone\nend\nclick btnChoose\necho after",
       "error line 3: the form frmFake has no widget 'btnNone'"},
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
  EXPECT_NE(run.out.find("FAIL line 9: sel_wxfl lists 2 rows, not 3"), std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("FAILED: 1 of 4 checks"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace ws::cli
