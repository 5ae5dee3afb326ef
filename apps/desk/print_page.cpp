#include "desk/print_page.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QTextDocument>

#include "desk/page_setup.h"
#include "platform/print_template.h"
#include "render/pdf_render.h"

namespace ws::desk {

namespace {

void SetUp(QPrinter& printer, const PrintPage& page) {
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setPageOrientation(page.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
  printer.setDocName(QString::fromStdString(page.title));
  ApplyPageSetup(printer);
}

}  // namespace

PrintPage ProgramPrintPage(platform::SystemObject& system, const platform::MenuEntry& entry,
                           const platform::PrintFile& file) {
  PrintPage page;
  page.title = entry.caption;
  page.landscape = platform::MenuGroupOf(entry.className) == "查询";
  const platform::LoadedTemplate loaded = platform::LoadPrintTemplate(
      system.GetDatabase(), entry.programNumber,
      page.landscape ? platform::PrintKind::Report : platform::PrintKind::Document);
  if (!loaded.error.empty()) {
    page.error = loaded.error;
    return page;
  }
  page.html = loaded.page.Render(file, platform::PrintHeaderFromSystem(system, entry.caption));
  return page;
}

void ShowPagePreview(const PrintPage& page, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  SetUp(printer, page);
  auto document = print::PageDocument(page.html);
  QPrintPreviewDialog preview(&printer, parent);
  preview.setWindowTitle(QObject::tr("打印预览 - %1").arg(QString::fromStdString(page.title)));
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                   [&](QPrinter* target) { document->print(target); });
  preview.resize(900, 1000);
  preview.exec();
}

bool PrintPageWithDialog(const PrintPage& page, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  SetUp(printer, page);
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  print::PageDocument(page.html)->print(&printer);
  return true;
}

QString ExportPagePdf(const PrintPage& page, const QString& pdfPath) {
  return QString::fromStdString(print::WritePdf(
      page.html, page.title, pdfPath.toStdString(),
      page.landscape ? print::Orientation::Landscape : print::Orientation::Portrait));
}

}  // namespace ws::desk
