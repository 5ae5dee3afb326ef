// Print pages as PDF, read back with pdftotext as a person would read the paper: a repair order
// of a demo shop through a shop's own template, a report's grid, and `ws print` run as a user
// runs it (the built-in pages: document_pages_test).
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>

#include "db/sql.h"
#include "lib/demo_data.h"
#include "pdf_text.h"
#include "platform/print_data.h"
#include "platform/print_template.h"
#include "print/print_run.h"
#include "render/pdf_render.h"
#include "reports/ws_rpt.h"
#include "support/test_host.h"
#include "ws/run_ws.h"

namespace ws::cli {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kOrders = 300;
constexpr const char* kShopName = "长城汽车修理厂";

using test::PdfText;
using test::ReadPdf;

class PrintPdfTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { static print::OffscreenGui gui; }

  void SetUp() override {
    DemoOptions options;
    options.seed = 7;
    options.orders = kOrders;
    options.date = test::kTestLoginDate;
    ASSERT_EQ(GenerateDemoData(host_.Db(), options), "");
    ASSERT_EQ(host_.System().SetOption(12, platform::kShopNameOption, kShopName), "");
    work_ = host_.WorkFolder().string();
  }

  PrintRequest Request(int64_t id, const std::string& pdf) const {
    PrintRequest request;
    request.program = "200001";
    request.documentId = id;
    request.pdfPath = (host_.WorkFolder() / pdf).string();
    request.workFolder = work_;
    request.date = test::kTestLoginDate;
    return request;
  }

  test::TestHost host_;
  std::string work_;
};

TEST_F(PrintPdfTest, AShopsTemplateInTheWorkFolderChangesThePage) {
  fs::create_directories(host_.WorkFolder() / "selfPrint");
  const fs::path own = platform::TemplatePath(work_, 200001);
  std::ofstream(own)
      << "<html><body><h1>{{shop.name}} 自定义工单</h1><p>单号 {{value 工单号码}}</p>"
         "<div style=\"page-break-after: always\"></div>"
         "<p>第二页 {{value 金额大写}}</p></body></html>";
  PrintOutcome outcome = PrintDocumentPdf(host_.Db(), Request(1, "own.pdf"));
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.templateUsed, own.string());
  PdfText pdf = ReadPdf(host_.WorkFolder() / "own.pdf");
  EXPECT_EQ(pdf.pages, 2);
  EXPECT_TRUE(pdf.Has("自定义工单"));
  EXPECT_TRUE(pdf.Has("第二页"));
  EXPECT_FALSE(pdf.Has("客户签字"));  // the built-in page's signatures are gone

  // A broken template is the shop's mistake to fix: said with its line, and no PDF.
  std::ofstream(own) << "<p>\n{{value 工单号码}\n</p>";
  outcome = PrintDocumentPdf(host_.Db(), Request(1, "broken.pdf"));
  EXPECT_TRUE(outcome.usage);
  EXPECT_NE(outcome.error.find("line 2"), std::string::npos) << outcome.error;
  EXPECT_FALSE(fs::exists(host_.WorkFolder() / "broken.pdf"));
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

  platform::LoadedTemplate page =
      platform::LoadPrintTemplate(work_, reports::WS_RPT::kProgram, platform::PrintKind::Report);
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
  // The columns at the right edge are on the page too: the last order's receivable.
  const platform::PrintTable& grid = *file.Table("Vs");
  const auto column = std::find(grid.columns.begin(), grid.columns.end(), "应收合计");
  ASSERT_NE(column, grid.columns.end());
  const std::string receivable =
      grid.rows.back().at(static_cast<size_t>(column - grid.columns.begin()));
  EXPECT_NE(pdf.text.find(receivable, pdf.text.find(last)), std::string::npos) << receivable;
}

// `ws print` as a user runs it on a demo shop file.
class WsPrintTest : public WsProcessTest {};

TEST_F(WsPrintTest, WritesThePdfAndRefusesBadRequests) {
  ASSERT_EQ(Ws("demo --db " + Quoted("shop.db") + " --seed 3 --orders 40 --date 2012-06-15").status,
            0);
  const std::string shop = "print --db " + Quoted("shop.db") + " ";
  Outcome ok = Ws(shop + "WS_S 2 --pdf " + Quoted("order.pdf") + " --date 2012-06-16 --user 王五");
  ASSERT_EQ(ok.status, 0) << ok.err;
  EXPECT_NE(ok.out.find("order.pdf"), std::string::npos) << ok.out;
  PdfText pdf = ReadPdf(Path("order.pdf"));
  EXPECT_EQ(pdf.pages, 1);
  EXPECT_TRUE(pdf.Has("王五"));
  EXPECT_TRUE(pdf.Has("2012-06-16"));

  // Refused as usage, and no PDF: no --pdf, no id, an unknown program, a report, no such
  // order, no shop.
  const std::string pdfArg = " --pdf " + Quoted("a.pdf");
  const std::pair<std::string, std::string> bad[] = {
      {shop + "WS_S 2", "--pdf"},
      {shop + "WS_S x" + pdfArg, "x"},
      {shop + "999999 1" + pdfArg, "999999"},
      {shop + "WS_RPT 1" + pdfArg, "not a document"},
      {shop + "WS_S 99999" + pdfArg, "99999"},
      {"print --db " + Quoted("missing.db") + " WS_S 1" + pdfArg, "missing.db"},
  };
  for (const auto& [args, said] : bad) {
    const Outcome refused = Ws(args);
    EXPECT_EQ(refused.status, 2) << args;
    EXPECT_NE(refused.err.find(said), std::string::npos) << args << "\n" << refused.err;
  }
  EXPECT_FALSE(fs::exists(Path("a.pdf")));
  EXPECT_NE(Ws("--help").out.find("print"), std::string::npos);
}

}  // namespace
}  // namespace ws::cli
