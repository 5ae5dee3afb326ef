#include "desk/grid_model.h"

#include <QColor>

#include "desk/picker_popup.h"
#include "forms/input.h"
#include "forms/text.h"

namespace ws::desk {

QColor HostColor(int64_t color) {
  if (color < 0) return {};
  return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                static_cast<int>((color >> 16) & 0xFF));
}

GridModel::GridModel(forms::Grid& grid, QObject* parent)
    : QAbstractTableModel(parent), grid_(grid) {
  ReadShape(rows_, cols_, newRowLine_);
  ReadTraits();
}

const ColumnTraits& GridModel::Traits(int col) const {
  static const ColumnTraits kText;
  return col >= 0 && col < static_cast<int>(traits_.size()) ? traits_[static_cast<size_t>(col)]
                                                            : kText;
}

int GridModel::TickColumn() const {
  for (size_t c = 0; c < traits_.size(); ++c) {
    if (traits_[c].tick) return static_cast<int>(c);
  }
  return -1;
}

void GridModel::ReadTraits() {
  traits_.clear();
  for (int c = 0; c < grid_.Cols(); ++c) traits_.push_back(TraitsOf(grid_, c));
}

void GridModel::ReadShape(std::vector<int>& rows, int& cols, bool& newRowLine) const {
  rows.clear();
  const int total = grid_.Rows();
  rows.reserve(static_cast<size_t>(std::max(0, total - grid_.FixedRows())));
  // A list's own grand total stands under the rows, in the view's totals line.
  const int grandTotal = grid_.GrandTotalRow();
  for (int r = grid_.FixedRows(); r < total; ++r) {
    if (!grid_.RowHidden(r) && r != grandTotal) rows.push_back(r);
  }
  cols = grid_.Cols();
  // A chooser's list is ticked, never added to.
  newRowLine = grid_.Editable() && grid_.AcceptsInput() && !HasTickColumn(grid_);
}

bool GridModel::Sync() {
  std::vector<int> rows;
  int cols = 0;
  bool newRowLine = false;
  ReadShape(rows, cols, newRowLine);
  // Captions and formats may change without a change of shape (a report's new query).
  ReadTraits();
  if (rows != rows_ || cols != cols_ || newRowLine != newRowLine_) {
    beginResetModel();
    rows_ = std::move(rows);
    cols_ = cols;
    newRowLine_ = newRowLine;
    endResetModel();
    return true;
  }
  if (rowCount() > 0 && cols_ > 0) {
    emit dataChanged(index(0, 0), index(rowCount() - 1, cols_ - 1));
  }
  if (cols_ > 0) emit headerDataChanged(Qt::Horizontal, 0, cols_ - 1);
  return false;
}

int GridModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(rows_.size()) + (newRowLine_ ? 1 : 0);
}

int GridModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : cols_;
}

int GridModel::GridRow(int modelRow) const {
  if (modelRow < 0) return -1;
  if (static_cast<size_t>(modelRow) < rows_.size()) return rows_[static_cast<size_t>(modelRow)];
  if (IsNewRowLine(modelRow)) return grid_.Rows();
  return -1;
}

int GridModel::ModelRow(int gridRow) const {
  auto it = std::lower_bound(rows_.begin(), rows_.end(), gridRow);
  if (it == rows_.end() || *it != gridRow) return -1;
  return static_cast<int>(it - rows_.begin());
}

bool GridModel::IsNewRowLine(int modelRow) const {
  return newRowLine_ && static_cast<size_t>(modelRow) == rows_.size();
}

bool GridModel::CellEditable(int gridRow, int col) const {
  if (!grid_.Editable() || !grid_.AcceptsInput() || col < 0 || col >= grid_.Cols()) return false;
  // The new-row line takes what a data row of the column would take.
  if (gridRow >= grid_.Rows()) return grid_.Col(col).editable;
  return grid_.CellEditable(gridRow, col);
}

QVariant GridModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.column() >= grid_.Cols()) return {};
  const int row = GridRow(index.row());
  const int col = index.column();
  if (row < 0 || row >= grid_.Rows()) return {};  // the new-row line is empty
  const ColumnTraits& traits = Traits(col);
  if (traits.tick) {
    if (role == Qt::CheckStateRole) {
      return forms::TrimView(grid_.TextMatrix(row, col)).empty() ? Qt::Unchecked : Qt::Checked;
    }
    if (role == Qt::DisplayRole || role == Qt::EditRole) return QString();
  }
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(ShownText(grid_, row, col, traits));
    case Qt::EditRole:
      return QString::fromStdString(grid_.TextMatrix(row, col));
    case kKeyRole:
      return QString::fromStdString(grid_.CellKey(row, col));
    case Qt::ForegroundRole:
    case Qt::BackgroundRole: {
      if (CellEditable(row, col)) return {};
      const forms::Column& column = grid_.Col(col);
      QColor color = HostColor(role == Qt::ForegroundRole ? column.readOnlyForeColor
                                                          : column.readOnlyBackColor);
      return color.isValid() ? QVariant(color) : QVariant();
    }
    case Qt::TextAlignmentRole:
      // Numbers right-aligned, as a clerk reads amounts down a column.
      if (traits.number) {
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      }
      return {};
    case Qt::ToolTipRole:
      return grid_.ToolTip().empty() ? QVariant() : QString::fromStdString(grid_.ToolTip());
    default:
      return {};
  }
}

bool GridModel::SetTicked(int gridRow, int col, bool ticked) {
  if (!grid_.IsDataRow(gridRow)) return false;
  // The control keeps its own mark: the edit only says tick or untick.
  forms::InputResult result = forms::Input::EditCell(grid_, gridRow, col, ticked ? "√" : "");
  emit InputDone(QString::fromStdString(result.reason));
  return result.accepted;
}

QVariant GridModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (role != Qt::DisplayRole) return {};
  if (orientation == Qt::Vertical) return section + 1;
  if (section < 0 || section >= grid_.Cols() || grid_.FixedRows() < 1) return {};
  return QString::fromStdString(grid_.ColCaption(section));
}

Qt::ItemFlags GridModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (!CellEditable(GridRow(index.row()), index.column())) return f;
  // A tick is clicked, never typed.
  return f | (Traits(index.column()).tick ? Qt::ItemIsUserCheckable : Qt::ItemIsEditable);
}

bool GridModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid()) return false;
  if (role == Qt::CheckStateRole && Traits(index.column()).tick) {
    return SetTicked(GridRow(index.row()), index.column(),
                     value.toInt() == static_cast<int>(Qt::Checked));
  }
  if (role != Qt::EditRole) return false;
  const int row = GridRow(index.row());
  if (row < 0) return false;
  const std::string text = value.toString().toStdString();
  if (row < grid_.Rows() && grid_.TextMatrix(row, index.column()) == text) return false;
  // An empty new-row line stays a line until something is typed into it.
  if (row >= grid_.Rows() && text.empty()) return false;
  // A text typed into a cell with a picker (a line's code) is resolved as a lookup field's
  // is: one row it names is taken, several are listed, none goes to the control as typed.
  const int col = index.column();
  const bool newRow = row >= grid_.Rows();
  if (!text.empty() && !Traits(col).number) {
    TypedLookup lookup{.typed = text};
    {
      TypedLookup::Scope scope(lookup);
      forms::Input::CellPicker(grid_, row, col);
    }
    if (lookup.outcome == TypedLookup::Outcome::Chosen) {
      emit InputDone({});
      return true;
    }
    if (lookup.outcome == TypedLookup::Outcome::Kept) {
      // Nothing was taken: no empty line is left behind, and the text goes back into the cell.
      if (newRow && grid_.IsDataRow(row) && forms::Trim(grid_.TextMatrix(row, col)).empty()) {
        grid_.RemoveRow(row);
      }
      emit InputDone({});
      emit TypedKept(row, col, value.toString());
      return false;
    }
  }
  forms::InputResult result = forms::Input::EditCell(grid_, row, col, text);
  emit InputDone(QString::fromStdString(result.reason));
  return result.accepted;
}

}  // namespace ws::desk
