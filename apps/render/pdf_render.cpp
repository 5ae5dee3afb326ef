#include "render/pdf_render.h"

#include <QFileInfo>
#include <QFont>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <cstdlib>
#include <filesystem>

#include "platform/output_file.h"

namespace ws::print {

namespace {

constexpr int kPdfResolution = 300;
constexpr const char* kCjkFont = "WenQuanYi Micro Hei";

}  // namespace

std::string PageHtml(const platform::PrintTemplate& page, const platform::PrintFile& file,
                     const platform::PrintHeader& header) {
  return page.Render(file, header);
}

std::unique_ptr<QTextDocument> PageDocument(const std::string& html) {
  auto document = std::make_unique<QTextDocument>();
  QFont font(kCjkFont);
  font.setPointSizeF(10);
  document->setDefaultFont(font);
  document->setHtml(QString::fromStdString(html));
  return document;
}

std::string WritePdf(const std::string& html, const std::string& title, const std::string& pdfPath,
                     Orientation orientation) {
  platform::OutputFile out(pdfPath);
  if (!out.Ok()) return out.Error();
  const QString temp = QString::fromStdString(out.TempPath());
  {
    QPdfWriter writer(temp);
    writer.setResolution(kPdfResolution);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(orientation == Orientation::Landscape ? QPageLayout::Landscape
                                                                    : QPageLayout::Portrait);
    // The text document keeps a margin of 2 cm of its own when it prints (and puts the page
    // number there); margins of the writer on top of it would only narrow the grids.
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    writer.setTitle(QString::fromStdString(title));
    writer.setCreator("ws");
    PageDocument(html)->print(&writer);
  }
  if (QFileInfo(temp).size() <= 0) return "无法写入 " + pdfPath;
  return out.Commit();
}

OffscreenGui::OffscreenGui() {
  if (QGuiApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) {
    std::string folder = (std::filesystem::temp_directory_path() / "ws-runtime-XXXXXX").string();
    if (::mkdtemp(folder.data())) {  // 0700, as the folder must be
      runtimeFolder_ = folder;
      ::setenv("XDG_RUNTIME_DIR", folder.c_str(), 1);
    }
  }
  static int argc = 1;
  static char name[] = "ws";
  static char* argv[] = {name, nullptr};
  app_ = std::make_unique<QGuiApplication>(argc, argv);
}

OffscreenGui::~OffscreenGui() {
  app_.reset();
  if (!runtimeFolder_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(runtimeFolder_, ec);
    ::unsetenv("XDG_RUNTIME_DIR");
  }
}

}  // namespace ws::print
