#include "desk/find_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include "forms/text.h"

namespace ws::desk {

namespace {

using forms::Trim;

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
      if (std::string from = Trim(entry.value); !from.empty()) {
        out.push_back({from, column.column + ">="});
      }
      if (std::string to = Trim(entry.valueTo); !to.empty()) {
        out.push_back({to, column.column + "<="});
      }
      continue;
    }
    std::string value = Trim(entry.value);
    if (value.empty()) continue;
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
