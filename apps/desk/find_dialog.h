// The Find / Filter dialog: one line per column a program can be searched by, each with its
// operators, turned into the condition list of IFormUI::Find and IFormUI::Filter. The columns
// of each program are the control's own (IFormUI::FindColumns).
#pragma once

#include <QDialog>
#include <string>
#include <vector>

#include "host/conditions.h"
#include "host/ui.h"

class QComboBox;
class QLineEdit;

namespace ws::desk {

// Text columns compare with "like" (contains) or "="; numbers with "=", ">=", "<="; a date
// gives a from (">=") and a to ("<=") value. Each control names its own columns
// (IFormUI::FindColumns).
using FindKind = host::FindKind;
using FindColumn = host::FindColumn;

// The operators offered for a kind, the first the default.
std::vector<std::string> OperatorsFor(FindKind kind);

// One filled line of the dialog.
struct FindEntry {
  size_t column = 0;  // index into the column list
  std::string op;     // "like", "=", ">=", "<=" (dates: the from value)
  std::string value;
  std::string valueTo;  // dates: the to value
};

// The condition list of the entries: one condition per non-empty value, "column op" as the
// column-and-operator; a date line gives up to two (">=" from, "<=" to), each a whole date (a
// year or month typed alone is completed to its first or last day; a bound that names no
// calendar date gives no condition); a number is read as a number field reads it, a text that
// is none giving no condition. Values are trimmed.
std::vector<host::Condition> BuildConditions(const std::vector<FindColumn>& columns,
                                             const std::vector<FindEntry>& entries);

class FindDialog : public QDialog {
  Q_OBJECT

 public:
  FindDialog(const std::vector<FindColumn>& columns, const QString& title,
             QWidget* parent = nullptr);

  // What the user entered, one entry per column.
  std::vector<FindEntry> Entries() const;
  std::vector<host::Condition> Conditions() const { return BuildConditions(columns_, Entries()); }

  // The editors of a line, for tests: the operator box (nullptr for dates), the value and,
  // for dates, the to value.
  QComboBox* OperatorBox(size_t line) const { return lines_.at(line).op; }
  QLineEdit* ValueEdit(size_t line) const { return lines_.at(line).value; }
  QLineEdit* ToEdit(size_t line) const { return lines_.at(line).to; }

 private:
  struct Line {
    QComboBox* op = nullptr;
    QLineEdit* value = nullptr;
    QLineEdit* to = nullptr;
  };
  std::vector<FindColumn> columns_;
  std::vector<Line> lines_;
};

}  // namespace ws::desk
