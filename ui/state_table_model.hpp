// The state view's grid: per state its HoldConstant and Reset check boxes, its
// symbol, name, value and units. The check boxes act on the model's state table
// at once; the value cells hold the text the user types until SaveStates.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "core/model.hpp"

namespace vindrel::ui {

class StateTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kHoldConstant, kReset, kSymbol, kName, kValue, kUnits, kColumnCount };

  explicit StateTableModel(Model& model, QObject* parent = nullptr);

  // One row per state, the value cells filled from the state table.
  void fill();
  // No rows (the grid emptied).
  void clear();

  // The first row (0-based) whose value cell is not a number, or -1.
  int first_invalid_row() const;
  // Writes every value cell into the state table; every cell must be a number.
  void save_values();
  QString value_cell(int row) const { return values_.value(row); }

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  Model& model_;
  QStringList values_;  // the value cells, one per row
};

// The process view's grid: the same six columns, the first two empty (the
// view hides them); per process its symbol, name, value and units, the
// derivatives first. Nothing is selectable or editable. Shows the values taken
// by the last refresh().
class ProcessTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kEmpty0, kEmpty1, kSymbol, kName, kValue, kUnits, kColumnCount };

  explicit ProcessTableModel(const Model& model, QObject* parent = nullptr);

  // Takes the process table's current values.
  void refresh();

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

 private:
  const Model& model_;
  QStringList values_;  // value texts, one per process
};

}  // namespace vindrel::ui
