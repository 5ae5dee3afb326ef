#include "desk/print_render.h"

#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QScreen>
#include <QTextDocument>

#include "desk/page_setup.h"
#include "platform/output_file.h"

namespace ws::desk {

namespace {

QString Esc(const std::string& text) {
  return QString::fromStdString(text).toHtmlEscaped();
}

constexpr int kValueColumns = 2;  // name/value pairs per line of the header block

}  // namespace

QString PrintHtml(const platform::PrintFile& file, const QString& title) {
  QString html;
  html +=
      "<html><head><meta charset=\"utf-8\"><style>"
      "body { font-family: 'WenQuanYi Micro Hei', sans-serif; font-size: 10pt; }"
      "h1 { font-size: 16pt; text-align: center; }"
      "table.grid { border-collapse: collapse; width: 100%; }"
      "table.grid th { background: #e8e8e8; }"
      "td.name { color: #505050; }"
      "</style></head><body>";
  html += "<h1>" + title.toHtmlEscaped() + "</h1>";
  if (!file.values.empty()) {
    html += "<table class=\"values\" width=\"100%\" cellpadding=\"2\">";
    for (size_t i = 0; i < file.values.size(); i += kValueColumns) {
      html += "<tr>";
      for (size_t j = i; j < i + kValueColumns; ++j) {
        if (j < file.values.size()) {
          html += "<td class=\"name\">" + Esc(file.values[j].first) + "：</td><td>" +
                  Esc(file.values[j].second) + "</td>";
        } else {
          html += "<td></td><td></td>";
        }
      }
      html += "</tr>";
    }
    html += "</table>";
  }
  for (const auto& table : file.tables) {
    html += "<p></p><table class=\"grid\" border=\"1\" cellspacing=\"0\" cellpadding=\"3\">";
    html += "<tr>";
    for (const auto& column : table.columns) html += "<th>" + Esc(column) + "</th>";
    html += "</tr>";
    for (const auto& row : table.rows) {
      html += "<tr>";
      for (size_t c = 0; c < std::max(row.size(), table.columns.size()); ++c) {
        html += "<td>" + (c < row.size() ? Esc(row[c]) : QString()) + "</td>";
      }
      html += "</tr>";
    }
    html += "</table>";
  }
  html += "</body></html>";
  return html;
}

std::unique_ptr<QTextDocument> PrintDocument(const platform::PrintFile& file,
                                             const QString& title) {
  auto document = std::make_unique<QTextDocument>();
  document->setHtml(PrintHtml(file, title));
  return document;
}

QString ExportPdf(const platform::PrintFile& file, const QString& title, const QString& pdfPath) {
  platform::OutputFile out(pdfPath.toStdString());
  if (!out.Ok()) return QString::fromStdString(out.Error());
  const QString temp = QString::fromStdString(out.TempPath());
  {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(temp);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setDocName(title);
    auto document = PrintDocument(file, title);
    document->print(&printer);
    if (printer.printerState() == QPrinter::Error) return QObject::tr("无法写入 %1").arg(pdfPath);
  }
  if (QFileInfo(temp).size() <= 0) return QObject::tr("无法写入 %1").arg(pdfPath);
  return QString::fromStdString(out.Commit());
}

void ShowPrintPreview(const platform::PrintFile& file, const QString& title, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageSize(QPageSize(QPageSize::A4));
  printer.setDocName(title);
  ApplyPageSetup(printer);
  auto document = PrintDocument(file, title);
  QPrintPreviewDialog preview(&printer, parent);
  preview.setWindowTitle(QObject::tr("打印预览 - %1").arg(title));
  QObject::connect(&preview, &QPrintPreviewDialog::paintRequested, &preview,
                   [&](QPrinter* target) { document->print(target); });
  // A page's height where the screen has it: a counter's 1366×768 has no room for 1000 px.
  const QSize room = preview.screen()->availableGeometry().size();
  preview.resize(QSize(900, 1000).boundedTo(room * 9 / 10));
  preview.exec();
}

bool PrintWithDialog(const platform::PrintFile& file, const QString& title, QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setDocName(title);
  ApplyPageSetup(printer);
  QPrintDialog dialog(&printer, parent);
  if (dialog.exec() != QDialog::Accepted) return false;
  PrintDocument(file, title)->print(&printer);
  return true;
}

}  // namespace ws::desk
