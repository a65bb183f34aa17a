// The state view's grid: per state its HoldConstant and Reset check boxes, its
// symbol, name, value and units. The check boxes act on the model's state table
// at once; the value cells hold the text the user types until SaveStates.
#pragma once

#include <QStringList>

#include "core/model.hpp"
#include "ui/table_model.hpp"

namespace vindrel::ui {

class StateTableModel : public TableModel {
  Q_OBJECT
 public:
  enum Column { kHoldConstant, kReset, kSymbol, kName, kValue, kUnits, kColumnCount };

  explicit StateTableModel(Model& model, QObject* parent = nullptr);

  // One row per state, the value cells filled from the state table.
  void fill();
  // No rows (the grid emptied).
  void clear();

  // Writes every value cell into the state table; every cell must be a number.
  void save_values();

  // Beside the table's roles, the check boxes' names for a screen reader
  // (Qt::AccessibleTextRole): "Hold constant: Cf (C: foliar)", "Reset: Cf
  // (C: foliar)".
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

 protected:
  QVariant shown(int row, int column) const override;
  bool checked(int row, int column) const override;
  // A click acts on the state table at once.
  void set_checked(int row, int column, bool on) override;

 private:
  Model& model_;
};

// The process view's grid: the same six columns, the first two empty (the
// view hides them); per process its symbol, name, value and units, the
// derivatives first. Nothing is selectable or editable. Shows the values taken
// by the last refresh().
class ProcessTableModel : public TableModel {
  Q_OBJECT
 public:
  enum Column { kEmpty0, kEmpty1, kSymbol, kName, kValue, kUnits, kColumnCount };

  explicit ProcessTableModel(const Model& model, QObject* parent = nullptr);

  // Takes the process table's current values.
  void refresh();

 protected:
  QVariant shown(int row, int column) const override;

 private:
  const Model& model_;
};

}  // namespace vindrel::ui
