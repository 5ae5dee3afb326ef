#include "desk/find_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <charconv>
#include <optional>

#include "db/date.h"
#include "forms/text.h"
#include "forms/typed_number.h"

namespace ws::desk {

namespace {

using forms::Trim;

// A date bound as the date editor lets it be typed ("2012", "2012-06", "2012-6-1"), made a
// whole calendar date: a year or a month stands for its first day as a from bound and its last
// day as a to bound. Nothing when it names no calendar date: the server refuses such a
// literal outright, where the embedded engine would compare it as text.
std::optional<std::string> DateBound(std::string_view typed, bool from) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  while (!typed.empty() && count < 3) {
    size_t dash = typed.find('-');
    std::string_view digits = typed.substr(0, dash);
    typed = dash == std::string_view::npos ? std::string_view() : typed.substr(dash + 1);
    if (digits.empty()) break;
    auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), parts[count]);
    if (ec != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
    ++count;
  }
  if (count == 0 || !typed.empty()) return std::nullopt;
  const int year = parts[0];
  const int month = count >= 2 ? parts[1] : (from ? 1 : 12);
  if (year < 1 || year > 9999 || month < 1 || month > 12) return std::nullopt;
  const int day = count == 3 ? parts[2] : (from ? 1 : db::DaysInMonth(year, month));
  if (day < 1 || day > db::DaysInMonth(year, month)) return std::nullopt;
  return db::Date{year, month, day}.Text();
}

}  // namespace

std::vector<std::string> OperatorsFor(FindKind kind) {
  switch (kind) {
    case FindKind::Text:
      return {"like", "="};
    case FindKind::Number:
      return {"=", ">=", "<="};
    case FindKind::Date:
      return {">=", "<="};
  }
  return {};
}

std::vector<host::Condition> BuildConditions(const std::vector<FindColumn>& columns,
                                             const std::vector<FindEntry>& entries) {
  std::vector<host::Condition> out;
  for (const auto& entry : entries) {
    if (entry.column >= columns.size()) continue;
    const FindColumn& column = columns[entry.column];
    if (column.kind == FindKind::Date) {
      if (auto from = DateBound(Trim(entry.value), true)) {
        out.push_back({*from, column.column + ">="});
      }
      if (auto to = DateBound(Trim(entry.valueTo), false)) {
        out.push_back({*to, column.column + "<="});
      }
      continue;
    }
    std::string value = Trim(entry.value);
    if (value.empty()) continue;
    if (column.kind == FindKind::Number) {
      // Read as a number field reads it ("1,000.50" is 1000.50); a text that is no number gives
      // no condition, for the server compares a number column with numbers only.
      auto number = forms::ParseTypedNumber(value);
      if (!number) continue;
      value = number->text;
    }
    const std::string op = entry.op.empty() ? OperatorsFor(column.kind).front() : entry.op;
    // "like" needs a blank before it; comparison signs follow the column directly.
    out.push_back({value, column.column + (op == "like" ? " like" : op)});
  }
  return out;
}

FindDialog::FindDialog(const std::vector<FindColumn>& columns, const QString& title,
                       QWidget* parent)
    : QDialog(parent), columns_(columns) {
  setWindowTitle(title);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  const QRegularExpression datePattern(R"(\d{0,4}(-\d{0,2}(-\d{0,2})?)?)");
  for (const auto& column : columns_) {
    Line line;
    auto* row = new QHBoxLayout;
    if (column.kind == FindKind::Date) {
      line.value = new QLineEdit(this);
      line.to = new QLineEdit(this);
      for (QLineEdit* edit : {line.value, line.to}) {
        edit->setPlaceholderText("yyyy-mm-dd");
        edit->setValidator(new QRegularExpressionValidator(datePattern, edit));
      }
      row->addWidget(new QLabel(tr("从"), this));
      row->addWidget(line.value);
      row->addWidget(new QLabel(tr("到"), this));
      row->addWidget(line.to);
    } else {
      line.op = new QComboBox(this);
      for (const auto& op : OperatorsFor(column.kind)) {
        line.op->addItem(op == "like" ? tr("包含") : QString::fromStdString(op),
                         QString::fromStdString(op));
      }
      line.value = new QLineEdit(this);
      row->addWidget(line.op);
      row->addWidget(line.value, 1);
    }
    form->addRow(QString::fromStdString(column.caption), row);
    lines_.push_back(line);
  }
  layout->addLayout(form);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

std::vector<FindEntry> FindDialog::Entries() const {
  std::vector<FindEntry> entries;
  for (size_t i = 0; i < lines_.size(); ++i) {
    FindEntry entry;
    entry.column = i;
    if (lines_[i].op) entry.op = lines_[i].op->currentData().toString().toStdString();
    entry.value = lines_[i].value->text().toStdString();
    if (lines_[i].to) entry.valueTo = lines_[i].to->text().toStdString();
    entries.push_back(entry);
  }
  return entries;
}

}  // namespace ws::desk
