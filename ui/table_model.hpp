// What the program's table models share: a fixed set of columns, each with its
// header text and the kind of its cells (text that is only shown, numbers
// aligned right, a value cell that holds what the user types, a check box), the
// grey of cells that cannot be edited, the flags that follow from the kind, and
// the value cells' texts with the check that they are numbers. A model says
// how many rows it has and what its shown cells hold; the rest is here.
#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <QStringList>
#include <utility>

class QUndoStack;
class QWidget;

namespace vindrel::ui {

class TableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum class Cells {
    kText,         // shown only
    kNumber,       // shown only, aligned right
    kEntry,        // a value cell: the text the user types, editable
    kNumberEntry,  // a value cell aligned right
    kCheck,        // a check box that a click toggles
  };
  struct ColumnSpec {
    QString header;
    Cells cells;
  };

  // `grey_read_only`: cells that cannot be edited are drawn grey.
  TableModel(QList<ColumnSpec> columns, bool grey_read_only, QObject* parent);

  // Edits of the cells (value texts, check boxes) go through `stack` from now
  // on, so that they can be undone and redone; none when null.
  void set_undo_stack(QUndoStack* stack) noexcept { undo_ = stack; }

  // The text of the value cell of `row`.
  QString value_cell(int row) const { return values_.value(row); }
  // The first row (0-based) whose value cell is not a number, or -1.
  int first_invalid_row() const;

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 protected:
  // Rows; by default one per value cell.
  virtual int row_count() const { return static_cast<int>(values_.size()); }
  // What a shown cell (kText, kNumber) holds for the display.
  virtual QVariant shown(int row, int column) const = 0;
  // The state of a check box, and its change by the user.
  virtual bool checked(int row, int column) const;
  virtual void set_checked(int row, int column, bool on);
  // What a cell shows in its tool tip; nothing by default.
  virtual QVariant tool_tip(int row, int column) const;

  // Replaces the columns (between a beginResetModel and an endResetModel).
  void set_columns(QList<ColumnSpec> columns) { columns_ = std::move(columns); }

  // Puts new value cells in place: a reset when their number changes, else one
  // change of the value column.
  void set_value_cells(const QStringList& values);

  QStringList values_;  // the value cells, one per row

 private:
  friend class CellEdit;
  // Makes the change setData asks for, without the undo stack.
  bool change_cell(int row, int column, const QVariant& value, int role);
  Cells cells(int column) const { return columns_[column].cells; }
  int value_column() const;

  QList<ColumnSpec> columns_;
  bool grey_read_only_;
  QUndoStack* undo_ = nullptr;
};

// The edit history of an editor window: an undo stack owned by `window`,
// with Undo (Ctrl+Z) and Redo (Ctrl+Y, Ctrl+Shift+Z) as the window's own
// shortcuts. The window clears it whenever it fills its tables afresh.
QUndoStack* make_edit_history(QWidget& window);

}  // namespace vindrel::ui
