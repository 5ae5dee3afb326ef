// Print pages as PDF, read back with pdftotext as a person would read the paper: the repair
// order of a demo shop through the built-in and a shop's own template, a report's grid, and
// `ws print` run as a user runs it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/sql.h"
#include "lib/demo_data.h"
#include "pdf_text.h"
#include "platform/amount_words.h"
#include "platform/print_data.h"
#include "platform/print_template.h"
#include "print/print_run.h"
#include "render/pdf_render.h"
#include "reports/ws_rpt.h"
#include "support/test_host.h"

namespace ws::cli {
namespace {

namespace fs = std::filesystem;

constexpr int64_t kOrders = 300;
constexpr const char* kShopName = "长城汽车修理厂";
constexpr const char* kShopAddress = "北京市朝阳区建国路88号";

using test::PdfText;
using test::ReadPdf;
using Command = test::ShellRun;
using test::RunShell;

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
    ASSERT_EQ(host_.System().SetOption(12, platform::kShopAddressOption, kShopAddress), "");
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

TEST_F(PrintPdfTest, TheRepairOrderPageShowsShopNumberLinesAndAmountInWords) {
  const int64_t id = host_.Scalar("SELECT MAX(单据ID) FROM wsdj").ToLong();
  const std::string number =
      host_.Scalar(db::Sql("SELECT 工单号码 FROM wsdj WHERE 单据ID=").Key(id)).ToText();
  const double total =
      host_.Scalar(db::Sql("SELECT 应收合计 FROM wsdj WHERE 单据ID=").Key(id)).ToDouble();

  PrintOutcome outcome = PrintDocumentPdf(host_.Db(), Request(id, "order.pdf"));
  ASSERT_EQ(outcome.error, "");
  EXPECT_EQ(outcome.templateUsed, "built-in");

  // The print file the order wrote is what the page shows.
  platform::PrintFile file = platform::ReadPrintFile(work_ + "/selfPrint/200001.txt");
  ASSERT_EQ(file.error, "");
  ASSERT_NE(file.Value("金额大写"), nullptr);
  EXPECT_EQ(*file.Value("金额大写"), platform::AmountInWords(total));
  const platform::PrintTable* items = file.Table("ywGridXM");
  ASSERT_NE(items, nullptr);
  ASSERT_FALSE(items->rows.empty());
  const std::string firstItem = items->rows[0].at(2);
  const std::string lastItem = items->rows.back().at(2);

  PdfText pdf = ReadPdf(host_.WorkFolder() / "order.pdf");
  EXPECT_EQ(pdf.pages, 1);
  EXPECT_TRUE(pdf.Has(kShopName)) << pdf.text;
  EXPECT_TRUE(pdf.Has(kShopAddress)) << pdf.text;
  EXPECT_TRUE(pdf.Has("维修工单"));
  EXPECT_TRUE(pdf.Has(number)) << number;
  EXPECT_TRUE(pdf.Has(firstItem)) << firstItem;
  EXPECT_TRUE(pdf.Has(lastItem)) << lastItem;
  EXPECT_TRUE(pdf.Has(platform::AmountInWords(total))) << platform::AmountInWords(total);
  EXPECT_TRUE(pdf.Has("客户签字"));
}

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

TEST_F(PrintPdfTest, UnknownProgramsNonDocumentsAndMissingOrdersAreRefused) {
  PrintRequest request = Request(1, "none.pdf");
  request.program = "999999";
  EXPECT_TRUE(PrintDocumentPdf(host_.Db(), request).usage);
  request.program = "WS_RPT";  // a report, not a document
  PrintOutcome report = PrintDocumentPdf(host_.Db(), request);
  EXPECT_TRUE(report.usage);
  EXPECT_NE(report.error.find("not a document"), std::string::npos) << report.error;
  request.program = "WS_S";
  request.documentId = kOrders + 1000;
  PrintOutcome missing = PrintDocumentPdf(host_.Db(), request);
  EXPECT_TRUE(missing.usage);
  EXPECT_NE(missing.error.find(std::to_string(kOrders + 1000)), std::string::npos);
  EXPECT_FALSE(fs::exists(request.pdfPath));
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
class WsPrintTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = fs::temp_directory_path() / ("ws_print_" + std::to_string(::getpid()));
    fs::remove_all(folder_);
    fs::create_directories(folder_);
    ASSERT_EQ(Ws("demo --db shop.db --seed 3 --orders 40 --date 2012-06-15").status, 0);
  }
  void TearDown() override { fs::remove_all(folder_); }
  Command Ws(const std::string& args) {
    return RunShell("cd '" + folder_.string() + "' && '" + WS_CLI + "' " + args + " 2>&1");
  }
  fs::path folder_;
};

TEST_F(WsPrintTest, WritesThePdfAndRefusesBadRequests) {
  Command ok = Ws("print --db shop.db WS_S 2 --pdf order.pdf --date 2012-06-16 --user 王五");
  ASSERT_EQ(ok.status, 0) << ok.out;
  EXPECT_NE(ok.out.find("wrote order.pdf"), std::string::npos) << ok.out;
  PdfText pdf = ReadPdf(folder_ / "order.pdf");
  EXPECT_EQ(pdf.pages, 1);
  EXPECT_TRUE(pdf.Has("王五"));
  EXPECT_TRUE(pdf.Has("2012-06-16"));

  EXPECT_EQ(Ws("print --db shop.db WS_S 2").status, 2);  // no --pdf
  EXPECT_EQ(Ws("print --db shop.db WS_S x --pdf a.pdf").status, 2);
  EXPECT_EQ(Ws("print --db shop.db WS_S 99999 --pdf a.pdf").status, 2);
  EXPECT_EQ(Ws("print --db missing.db WS_S 1 --pdf a.pdf").status, 2);
  EXPECT_FALSE(fs::exists(folder_ / "a.pdf"));
  EXPECT_NE(Ws("--help").out.find("print"), std::string::npos);
}

}  // namespace
}  // namespace ws::cli
