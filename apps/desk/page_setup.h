// The page a user sets up once for everything the desktop prints (preview, printer): the paper
// size and the margins, kept in the user's settings. The orientation stays with what is
// printed: documents upright, reports across.
#pragma once

#include <QPageLayout>

class QPrinter;
class QWidget;

namespace ws::desk {

// What the user saved, or nothing set (A4 with the printer's own margins).
bool HasSavedPageSetup();
QPageLayout SavedPageLayout();
void SavePageLayout(const QPageLayout& layout);

// Gives the printer the saved paper size and margins, keeping its orientation.
void ApplyPageSetup(QPrinter& printer);

// The page setup dialog over the saved layout; the choice is saved when accepted.
bool RunPageSetup(QWidget* parent);

}  // namespace ws::desk
