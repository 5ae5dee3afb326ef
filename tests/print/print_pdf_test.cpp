// Print pages as PDF, read back with pdftotext as a person reads the paper. The counter enters a
// requisition, a settlement and a receipt on the demo shop, then each of them and the repair
// order they came from is printed through its built-in template, and the paper must show the
// shop, the document's number, each of its lines and its amount in words. What the paper must
// show is read from the tables, not from the print file, so a print that drops a value or a line,
// or a template naming a value the document never writes, shows here. The same shop prints as
// a report's grid, and `ws print` runs as a user runs it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "db/runner.h"
#include "db/sql.h"
#include "host/registry.h"
#include "platform/amount_words.h"
#include "platform/print_data.h"
#include "platform/print_template.h"
#include "print/print_run.h"
#include "render/pdf_render.h"
#include "reports/ws_rpt.h"
#include "shop/demo/demo_data.h"
#include "shop/module_controls.h"
#include "shop/script/script_host.h"
#include "shop/script/script_parser.h"
#include "support/counter_day.h"
#include "support/test_host.h"
#include "ws/run_ws.h"

namespace ws::shop {
namespace {

namespace fs = std::filesystem;

constexpr const char* kShopName = "长城汽车修理厂";
constexpr const char* kShopAddress = "北京市朝阳区建国路88号";
constexpr int64_t kOrders = 300;

// pdftotext ends every page with a form feed.
struct PdfText {
  std::string text;
  int pages = 0;
  bool Has(const std::string& part) const { return text.find(part) != std::string::npos; }
};

PdfText ReadPdf(const fs::path& pdf) {
  PdfText result;
  FILE* pipe = ::popen(("pdftotext -enc UTF-8 '" + pdf.string() + "' - 2>&1").c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    result.text.append(buffer, n);
  const int raw = ::pclose(pipe);
  EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0)
      << "pdftotext (poppler-utils, scripts/deps.sh test): " << result.text;
  for (char c : result.text) result.pages += c == '\f';
  return result;
}

// Where the paper of one document finds what it must show, in the tables: the document (by
// its program, the newest, or the day's repair order 300), its number, the texts of its lines (the
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
    {"CKLl_WS", "维修领料单", "SELECT MAX(单据ID) FROM jxcdj WHERE progID=200002",
     "SELECT 单据编号 FROM jxcdj WHERE 单据ID=",
     "SELECT p.物品名称 FROM jxcdjmx m JOIN PDMCPML p ON p.产品ID=m.产品ID WHERE m.单据ID=",
     "SELECT SUM(实际金额) FROM jxcdjmx WHERE 单据ID=", {}},
    // What the customer settled: the cash and the amount written off.
    {"JS_WS", "维修结算单", "SELECT MAX(单据ID) FROM ARPReceive WHERE progID=200003",
     "SELECT 单据编号 FROM ARPReceive WHERE 单据ID=",
     "SELECT x.维修项目 FROM ARPReceive_XM m JOIN PDMWXXM x ON x.AutoID=m.项目ID WHERE m.单据ID=",
     "SELECT 总金额+扣零金额 FROM ARPReceive WHERE 单据ID=", {}},
    {"JS_S", "维修收款单", "SELECT MAX(单据ID) FROM ARPReceive WHERE progID=200004",
     "SELECT 单据编号 FROM ARPReceive WHERE 单据ID=",
     "SELECT w.工单号码 FROM ARPReceiveMx m JOIN wsdj w ON w.单据ID=m.源单ID WHERE m.单据ID=",
     "SELECT 总金额 FROM ARPReceive WHERE 单据ID=", {}},
};
// clang-format on

class PrintPdfTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { static print::OffscreenGui gui; }

  void SetUp() override {
    shop::DemoOptions options;
    options.seed = 1;
    options.orders = kOrders;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(shop::GenerateDemoData(host_.Db(), options), "");
    ASSERT_EQ(host_.System().SetOption(12, platform::kShopNameOption, kShopName), "");
    ASSERT_EQ(host_.System().SetOption(12, "shopaddress", kShopAddress), "");
    work_ = host_.WorkFolder().string();

    host::Registry registry;
    shop::RegisterModuleControls(registry);
    const Script script = ParseScript(test::kCounterDay);
    ASSERT_TRUE(script.errors.empty());
    std::ostringstream out;
    std::ostringstream err;
    shop::ScriptHost counter(host_.Db(), registry, out, err);
    ASSERT_EQ(counter.Run(script), 0) << out.str() << err.str();
  }

  cli::PrintRequest Request(const std::string& program, int64_t id, const std::string& pdf) const {
    cli::PrintRequest request;
    request.program = program;
    request.documentId = id;
    request.pdfPath = (host_.WorkFolder() / pdf).string();
    request.workFolder = work_;
    request.date = test::kTestLoginDate;
    return request;
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
    const db::Amount amount = db::Amount::OfValue(host_.Scalar(db::Sql(document.amount).Key(id)));
    ASSERT_GT(id, 0);
    ASSERT_FALSE(number.empty());
    ASSERT_FALSE(lines.empty());
    ASSERT_GT(amount, db::Amount());

    const cli::PrintRequest request = Request(document.program, id, document.program + ".pdf");
    const cli::PrintOutcome outcome = PrintDocumentPdf(host_.Db(), request);
    ASSERT_EQ(outcome.error, "");
    EXPECT_EQ(outcome.templateUsed, platform::kBuiltInTemplateSource);

    const PdfText pdf = ReadPdf(request.pdfPath);
    EXPECT_EQ(pdf.pages, 1);
    std::vector<std::string> shown = lines;
    shown.insert(shown.end(), document.more.begin(), document.more.end());
    for (const std::string& text :
         {std::string(kShopName), document.caption, number, platform::AmountInWords(amount)})
      shown.push_back(text);
    for (const auto& text : shown) EXPECT_TRUE(pdf.Has(text)) << text << "\n" << pdf.text;
  }

  test::TestHost host_;
  std::string work_;
};

TEST_F(PrintPdfTest, TheRepairOrderAndTheDocumentsMadeFromItPrintTheirPages) {
  for (const Expected& document : kDocuments) PrintAndRead(document);
}

// A shop's own page is kept in the shop: every print of the program uses it, a page that does
// not parse is refused without touching the one in use, and the built-in one comes back.
TEST_F(PrintPdfTest, TheShopsOwnTemplateIsUsedUntilItIsReset) {
  const int64_t id = host_.Scalar(kDocuments[0].id).ToLong();
  const int64_t program =
      host_
          .Scalar(
              db::Sql("SELECT progid FROM xt_objects WHERE classname=").Text(kDocuments[0].program))
          .ToLong();
  ASSERT_EQ(platform::SaveShopTemplate(host_.Db(), program,
                                       "\xEF\xBB\xBF<p>本店的工单 {{value 工单号码}}</p>"),
            "");
  EXPECT_NE(platform::SaveShopTemplate(host_.Db(), program, "<p>{{value 工单号码</p>"), "");
  cli::PrintRequest request = Request(kDocuments[0].program, id, "own.pdf");
  request.workFolder.clear();  // another login's work folder: the shop's page all the same
  cli::PrintOutcome outcome = PrintDocumentPdf(host_.Db(), request);
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.templateUsed, platform::kShopTemplateSource);
  EXPECT_TRUE(ReadPdf(request.pdfPath).Has("本店的工单"));

  ASSERT_EQ(platform::ResetShopTemplate(host_.Db(), program), "");
  outcome = PrintDocumentPdf(host_.Db(), request);
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.templateUsed, platform::kBuiltInTemplateSource);
  EXPECT_FALSE(ReadPdf(request.pdfPath).Has("本店的工单"));
}

TEST_F(PrintPdfTest, AReportGridRunsOverPagesWithoutLosingRows) {
  reports::WS_RPT report;
  ASSERT_TRUE(report.Init(host_.System(), reports::WS_RPT::kProgram));
  ASSERT_TRUE(report.Refresh());
  ASSERT_TRUE(report.DoPrint());
  platform::PrintFile file = platform::ReadPrintFile(report.PrintFileName());
  ASSERT_EQ(file.error, "");
  ASSERT_NE(file.Table("Vs"), nullptr);
  ASSERT_EQ(file.Table("Vs")->rows.size(), static_cast<size_t>(kOrders));

  platform::LoadedTemplate page = platform::LoadPrintTemplate(host_.Db(), reports::WS_RPT::kProgram,
                                                              platform::PrintKind::Report);
  ASSERT_EQ(page.error, "");
  const platform::PrintHeader header =
      platform::PrintHeaderFromSystem(host_.System(), report.PrintTitle());
  const fs::path pdfPath = host_.WorkFolder() / "report.pdf";
  ASSERT_EQ(print::WritePdf(page.page.Render(file, header), header.title, pdfPath.string(),
                            print::Orientation::Landscape),
            "");

  PdfText pdf = ReadPdf(pdfPath);
  EXPECT_GT(pdf.pages, 1);
  EXPECT_TRUE(pdf.Has("维修工单查询"));
  EXPECT_TRUE(pdf.Has(kShopName));
  const std::string first = host_.Scalar("SELECT MIN(工单号码) FROM wsdj").ToText();
  const std::string last = host_.Scalar("SELECT MAX(工单号码) FROM wsdj").ToText();
  EXPECT_TRUE(pdf.Has(first)) << first;
  EXPECT_TRUE(pdf.Has(last)) << last;
  EXPECT_LT(pdf.text.find(first), pdf.text.find(last));
}

// `ws print` as a user runs it on a demo shop file.
class WsPrintTest : public WsProcessTest {};

TEST_F(WsPrintTest, WritesThePdfAndRefusesBadRequests) {
  ASSERT_EQ(Ws("demo --db " + Quoted("shop.db") + " --seed 3 --orders 40 --date 2012-06-15").status,
            0);
  const std::string shop = "print --db " + Quoted("shop.db") + " ";
  shop::Outcome ok =
      Ws(shop + "WS_S 2 --pdf " + Quoted("order.pdf") + " --date 2012-06-16 --user 王五");
  ASSERT_EQ(ok.status, 0) << ok.err;
  PdfText pdf = ReadPdf(Path("order.pdf"));
  EXPECT_EQ(pdf.pages, 1);
  EXPECT_TRUE(pdf.Has("王五"));
  EXPECT_TRUE(pdf.Has("2012-06-16"));
  // The number the window shows finds the same order.
  const std::string number = Scalar("shop.db", "select 工单号码 from WSDJ where 单据ID=2");
  ASSERT_EQ(Ws(shop + "200001 --number " + number + " --pdf " + Quoted("n.pdf")).status, 0);
  EXPECT_TRUE(ReadPdf(Path("n.pdf")).Has(number));

  // Refused as usage, and no PDF: no --pdf, an unknown program, a report, no such order, no
  // shop.
  const std::string pdfArg = " --pdf " + Quoted("a.pdf");
  const std::pair<std::string, std::string> bad[] = {
      {shop + "WS_S 2", "--pdf"},
      {shop + "999999 1" + pdfArg, "999999"},
      {shop + "WS_RPT 1" + pdfArg, "not a document"},
      {shop + "WS_S 99999" + pdfArg, "99999"},
      {shop + "CKLl_WS --number " + number + pdfArg, number},
      {"print --db " + Quoted("missing.db") + " WS_S 1" + pdfArg, "missing.db"},
  };
  for (const auto& [args, said] : bad) {
    const Outcome refused = Ws(args);
    EXPECT_EQ(refused.status, 2) << args;
    EXPECT_NE(refused.err.find(said), std::string::npos) << args << "\n" << refused.err;
  }
  EXPECT_FALSE(fs::exists(Path("a.pdf")));
}

}  // namespace
}  // namespace ws::shop
