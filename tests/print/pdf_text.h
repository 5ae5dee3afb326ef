// A PDF read back as a person reads the paper: its text through pdftotext, its pages counted.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace ws::test {

struct ShellRun {
  int status = -1;
  std::string out;
};

inline ShellRun RunShell(const std::string& command) {
  ShellRun result;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    result.out.append(buffer, n);
  const int raw = ::pclose(pipe);
  result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return result;
}

// pdftotext ends every page with a form feed.
struct PdfText {
  std::string text;
  int pages = 0;
  bool Has(const std::string& part) const { return text.find(part) != std::string::npos; }
};

inline PdfText ReadPdf(const std::filesystem::path& pdf) {
  PdfText result;
  ShellRun run = RunShell("pdftotext -enc UTF-8 '" + pdf.string() + "' - 2>&1");
  EXPECT_EQ(run.status, 0) << "pdftotext (poppler-utils, scripts/deps.sh test): " << run.out;
  result.text = run.out;
  for (char c : run.out) result.pages += c == '\f';
  return result;
}

}  // namespace ws::test
