// The table model of one headless grid (forms::Grid) for a QTableView. The grid stays the
// source of truth: the model shows its visible data rows (the fixed rows become the header),
// the display texts as a clerk reads them (desk/grid_columns.h: numbers right-aligned, money
// with two decimals where the format is open, no stand-in dates), the keys of the cells, the
// read-only colours, and one empty "new row" line at the end while the grid is editable. An edit
// goes to the control through forms::Input::EditCell, never into the grid directly.
//
// Sync re-reads the grid after an operation: a changed shape (rows, hidden rows, columns,
// editability) resets the model once; otherwise only the cells are repainted, so an open cell
// editor survives.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "desk/grid_columns.h"
#include "forms/grid.h"

namespace ws::desk {

class GridModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  // The key of a cell (forms::Cell::key), for tooltips and tests.
  static constexpr int kKeyRole = Qt::UserRole + 1;

  // The grid must outlive the model.
  explicit GridModel(forms::Grid& grid, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  // Types the text into the cell through forms::Input::EditCell; an unchanged text is no
  // edit. Emits InputDone either way the control answered.
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;

  // Ticks or unticks a row of a "选择" column through forms::Input::EditCell.
  bool SetTicked(int gridRow, int col, bool ticked);
  // The first tick column, -1 when the grid has none.
  int TickColumn() const;

  // Re-reads the grid; answers true when the model was reset.
  bool Sync();

  forms::Grid& Grid() const { return grid_; }
  // What the column holds, as read at the last Sync.
  // A column the grid added since then reads as text.
  const ColumnTraits& Traits(int col) const;
  // The grid row behind a model row (the new-row line is the grid's row count), -1 when none.
  int GridRow(int modelRow) const;
  // The model row showing a grid row, -1 when the row is hidden or not a data row.
  int ModelRow(int gridRow) const;
  bool IsNewRowLine(int modelRow) const;

 signals:
  // An input reached the control; refusal is empty when it was accepted.
  void InputDone(const QString& refusal);
  // A typed text the picker took no row for: it goes back into the cell's editor.
  void TypedKept(int gridRow, int col, const QString& text);

 private:
  void ReadShape(std::vector<int>& rows, int& cols, bool& newRowLine) const;
  void ReadTraits();
  bool CellEditable(int gridRow, int col) const;

  forms::Grid& grid_;
  std::vector<int> rows_;  // grid row of each model row, the new-row line excluded
  int cols_ = 0;
  bool newRowLine_ = false;
  std::vector<ColumnTraits> traits_;
};

// A host colour (0x00BBGGRR, -1 for none) as a Qt colour; invalid for -1.
QColor HostColor(int64_t color);

}  // namespace ws::desk
