// One page of the parameter editor: the parameters of one process, with their
// symbol, name, value and units. The value cells hold the text the user types
// until the editor applies them to the parameter table.
#pragma once

#include <QAbstractTableModel>
#include <QStringList>

#include "core/model.hpp"

namespace vindrel::ui {

class ParameterTableModel : public QAbstractTableModel {
  Q_OBJECT
 public:
  enum Column { kSymbol, kName, kValue, kUnits, kColumnCount };

  // The parameters of process `process` (1-based over the process table).
  ParameterTableModel(Model& model, int process, QObject* parent = nullptr);

  int process() const noexcept { return process_; }
  // Parameter-table entry (1-based) of row `row`.
  int parameter(int row) const noexcept { return first_ + row + 1; }

  // The value cells from the parameter table.
  void fill();
  // The first row whose value cell is not a number, or -1.
  int first_invalid_row() const;
  // Writes every value cell into the parameter table; every cell must be a number.
  void apply();
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
  int process_;
  int first_;           // FirstParamIndex of the process (0-based)
  QStringList values_;  // one per parameter of the process
};

}  // namespace vindrel::ui
