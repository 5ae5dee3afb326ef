// Lays out a print page (HTML from platform/print_template.h) on A4 paper and writes it as PDF.
// The desktop's preview lays out the same document on its printer.
#pragma once

#include <memory>
#include <string>

#include "platform/print_data.h"
#include "platform/print_template.h"

class QGuiApplication;
class QTextDocument;

namespace ws::print {

// The page of a print file through a template, as HTML.
std::string PageHtml(const platform::PrintTemplate& page, const platform::PrintFile& file,
                     const platform::PrintHeader& header);

// A text document of the page; CJK text falls back to the shop's CJK font.
std::unique_ptr<QTextDocument> PageDocument(const std::string& html);

// Documents are printed upright; a report's wide grid lies across the page.
enum class Orientation { Portrait, Landscape };

// Writes the page as an A4 PDF; answers the error text, empty on success. Needs a
// QGuiApplication.
std::string WritePdf(const std::string& html, const std::string& title, const std::string& pdfPath,
                     Orientation orientation = Orientation::Portrait);

// A GUI application for a terminal program that only renders: on the offscreen platform unless
// the caller's environment names one. A terminal without a login session (cron, ssh, a
// container) has no runtime folder, which Qt warns about on every run: it gets a private one
// for the program's life. Keep it alive while rendering.
class OffscreenGui {
 public:
  OffscreenGui();
  ~OffscreenGui();
  OffscreenGui(const OffscreenGui&) = delete;
  OffscreenGui& operator=(const OffscreenGui&) = delete;

 private:
  std::unique_ptr<QGuiApplication> app_;
  std::string runtimeFolder_;  // made here, removed at the end
};

}  // namespace ws::print
