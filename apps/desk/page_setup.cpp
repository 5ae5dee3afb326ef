#include "desk/page_setup.h"

#include <QMarginsF>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPrinter>
#include <QSettings>
#include <QStringList>

namespace ws::desk {

namespace {

constexpr const char* kSizeKey = "print/pageSize";
constexpr const char* kMarginsKey = "print/marginsMm";

}  // namespace

bool HasSavedPageSetup() {
  return QSettings().contains(kSizeKey);
}

QPageLayout SavedPageLayout() {
  QSettings settings;
  QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(),
                     QPageLayout::Millimeter);
  bool ok = false;
  const int size = settings.value(kSizeKey).toInt(&ok);
  if (ok && size >= 0 && size <= QPageSize::LastPageSize) {
    layout.setPageSize(QPageSize(static_cast<QPageSize::PageSizeId>(size)));
  }
  // Four numbers, left top right bottom; anything else keeps no margins of its own.
  const QStringList parts = settings.value(kMarginsKey).toString().split(',');
  if (parts.size() == 4) {
    double mm[4];
    bool all = true;
    for (int i = 0; i < 4 && all; ++i) {
      mm[i] = parts[i].toDouble(&ok);
      all = ok && mm[i] >= 0 && mm[i] < 100;
    }
    if (all) layout.setMargins(QMarginsF(mm[0], mm[1], mm[2], mm[3]));
  }
  return layout;
}

void SavePageLayout(const QPageLayout& layout) {
  QSettings settings;
  settings.setValue(kSizeKey, static_cast<int>(layout.pageSize().id()));
  const QMarginsF mm = layout.margins(QPageLayout::Millimeter);
  settings.setValue(
      kMarginsKey,
      QStringLiteral("%1,%2,%3,%4").arg(mm.left()).arg(mm.top()).arg(mm.right()).arg(mm.bottom()));
}

void ApplyPageSetup(QPrinter& printer) {
  if (!HasSavedPageSetup()) return;
  const QPageLayout saved = SavedPageLayout();
  printer.setPageSize(saved.pageSize());
  printer.setPageMargins(saved.margins(QPageLayout::Millimeter), QPageLayout::Millimeter);
}

bool RunPageSetup(QWidget* parent) {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageLayout(SavedPageLayout());
  QPageSetupDialog dialog(&printer, parent);
  dialog.setWindowTitle(QObject::tr("页面设置"));
  if (dialog.exec() != QDialog::Accepted) return false;
  SavePageLayout(printer.pageLayout());
  return true;
}

}  // namespace ws::desk
