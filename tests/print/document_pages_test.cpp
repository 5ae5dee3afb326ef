// Every document of the shop printed as a user prints it from its window: the counter enters a
// requisition, a settlement and a receipt on the demo shop, then each of them and the repair
// order they came from is printed through its built-in template to PDF, and the paper must show
// the shop, the document's number, each of its lines and its amount in words. What the paper
// must show is read from the tables, not from the print file, so a print that drops a value or
// a line, or a template naming a value the document never writes, shows here.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "host/registry.h"
#include "lib/demo_data.h"
#include "lib/module_controls.h"
#include "lib/script_host.h"
#include "lib/script_parser.h"
#include "pdf_text.h"
#include "platform/amount_words.h"
#include "print/print_run.h"
#include "render/pdf_render.h"
#include "support/test_host.h"

namespace ws::cli {
namespace {

constexpr const char* kShopName = "长城汽车修理厂";
constexpr const char* kShopAddress = "北京市朝阳区建国路88号";

// The counter's day on the demo shop (seed 1, 300 orders up to 2012-06-15): the storekeeper
// issues two parts to the day's order and checks the requisition, the cashier settles that
// order (cash, the cent written off) and takes 1000 from a customer against its oldest orders.
constexpr const char* kCounterDay = R"(
login 张三 2012-06-15
open CKLl_WS 200002
call FileNew
dialog frmSelWS
  tick ywGrid1 1
  tick ywGrid1 2
  click btn 0
end
click btn
expect rows ywGrid 2
call FileSave
expect result true
call Check
expect result true

login 李会计 2012-06-15
open JS_WS 200003
call FileNew
dialog frmSelWsJs
  type #1 20120615001
  click btn 2
  select ywGrid1 1
  click btn 0
end
click cmdSelect
type 科目 1001
type 总金额 5969.9
type 扣零金额 0.1
call FileSave
expect result true

open JS_S 200004
call FileNew
type #3 廊坊恒通
type #4 1000
dialog frmSel_AR_Rec
  click btn 0
end
click cmdSelect
expect rows ywGrid 2
call FileSave
expect result true
)";

// Where the paper of one document finds what it must show, in the tables: the document (by
// its program, or the day's repair order 300), its number, the texts of its lines (the
// receipt's: the orders it writes off) and the amount its words spell. Each query takes the
// document's id.
struct Expected {
  std::string program;
  std::string caption;
  std::string id;
  std::string number;
  std::string lines;
  std::string amount;
  std::vector<std::string> more;  // further texts of the built-in page
};

// clang-format off
const Expected kDocuments[] = {
    {"WS_S", "维修工单", "SELECT 300", "SELECT 工单号码 FROM wsdj WHERE 单据ID=",
     "SELECT x.维修项目 FROM wsdjxm m JOIN PDMWXXM x ON x.AutoID=m.项目ID WHERE m.单据ID=",
     "SELECT 应收合计 FROM wsdj WHERE 单据ID=", {kShopAddress, "客户签字"}},
    {"CKLl_WS", "维修领料单", "SELECT 单据ID FROM jxcdj WHERE progID=200002",
     "SELECT 单据编号 FROM jxcdj WHERE 单据ID=",
     "SELECT p.物品名称 FROM jxcdjmx m JOIN PDMCPML p ON p.产品ID=m.产品ID WHERE m.单据ID=",
     "SELECT SUM(实际金额) FROM jxcdjmx WHERE 单据ID=", {}},
    // What the customer settled: the cash and the amount written off.
    {"JS_WS", "维修结算单", "SELECT 单据ID FROM ARPReceive WHERE progID=200003",
     "SELECT 单据编号 FROM ARPReceive WHERE 单据ID=",
     "SELECT x.维修项目 FROM ARPReceive_XM m JOIN PDMWXXM x ON x.AutoID=m.项目ID WHERE m.单据ID=",
     "SELECT 总金额+扣零金额 FROM ARPReceive WHERE 单据ID=", {}},
    {"JS_S", "维修收款单", "SELECT 单据ID FROM ARPReceive WHERE progID=200004",
     "SELECT 单据编号 FROM ARPReceive WHERE 单据ID=",
     "SELECT w.工单号码 FROM ARPReceiveMx m JOIN wsdj w ON w.单据ID=m.源单ID WHERE m.单据ID=",
     "SELECT 总金额 FROM ARPReceive WHERE 单据ID=", {}},
};
// clang-format on

class DocumentPagesTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { static print::OffscreenGui gui; }

  void SetUp() override {
    DemoOptions options;
    options.seed = 1;
    options.orders = 300;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(GenerateDemoData(host_.Db(), options), "");
    ASSERT_EQ(host_.System().SetOption(12, "shopname", kShopName), "");
    ASSERT_EQ(host_.System().SetOption(12, "shopaddress", kShopAddress), "");

    host::Registry registry;
    RegisterModuleControls(registry);
    const Script script = ParseScript(kCounterDay);
    ASSERT_TRUE(script.errors.empty());
    std::ostringstream out;
    std::ostringstream err;
    ScriptHost counter(host_.Db(), registry, out, err);
    ASSERT_EQ(counter.Run(script), 0) << out.str() << err.str();
  }

  std::vector<std::string> Column(const db::Sql& sql) {
    std::vector<std::string> texts;
    std::string error;
    auto rows = db::Runner(host_.Db()).Open(sql, &error);
    EXPECT_EQ(error, "");
    for (; rows && !rows->Eof(); rows->MoveNext()) texts.push_back(rows->Field(0).ToText());
    return texts;
  }

  // Prints the document through its built-in template and checks the paper.
  void PrintAndRead(const Expected& document) {
    SCOPED_TRACE(document.program);
    const int64_t id = host_.Scalar(document.id).ToLong();
    const std::string number = host_.Scalar(db::Sql(document.number).Key(id)).ToText();
    const std::vector<std::string> lines = Column(db::Sql(document.lines).Key(id));
    const double amount = host_.Scalar(db::Sql(document.amount).Key(id)).ToDouble();
    ASSERT_GT(id, 0);
    ASSERT_FALSE(number.empty());
    ASSERT_FALSE(lines.empty());
    ASSERT_GT(amount, 0);

    PrintRequest request;
    request.program = document.program;
    request.documentId = id;
    request.pdfPath = (host_.WorkFolder() / (document.program + ".pdf")).string();
    request.workFolder = host_.WorkFolder().string();
    request.date = test::kTestLoginDate;
    const PrintOutcome outcome = PrintDocumentPdf(host_.Db(), request);
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.templateUsed, "built-in");

    const test::PdfText pdf = test::ReadPdf(request.pdfPath);
    EXPECT_EQ(pdf.pages, 1);
    EXPECT_TRUE(pdf.Has(kShopName)) << pdf.text;
    EXPECT_TRUE(pdf.Has(document.caption)) << pdf.text;
    EXPECT_TRUE(pdf.Has(number)) << number << "\n" << pdf.text;
    for (const auto& line : lines) EXPECT_TRUE(pdf.Has(line)) << line << "\n" << pdf.text;
    for (const auto& text : document.more) EXPECT_TRUE(pdf.Has(text)) << text << "\n" << pdf.text;
    const std::string words = platform::AmountInWords(amount);
    EXPECT_TRUE(pdf.Has(words)) << words << "\n" << pdf.text;
  }

  test::TestHost host_;
};

TEST_F(DocumentPagesTest, TheRepairOrderAndTheDocumentsMadeFromItPrintTheirPages) {
  for (const Expected& document : kDocuments) PrintAndRead(document);
}

}  // namespace
}  // namespace ws::cli
