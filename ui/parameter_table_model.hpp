// One page of the parameter editor: the parameters of one process, with their
// symbol, name, value and units. The value cells hold the text the user types
// until the editor applies them to the parameter table.
#pragma once

#include "core/model.hpp"
#include "ui/table_model.hpp"

namespace vindrel::ui {

class ParameterTableModel : public TableModel {
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
  // Writes every value cell into the parameter table; every cell must be a number.
  void apply();

 protected:
  QVariant shown(int row, int column) const override;
  QVariant tool_tip(int row, int column) const override;

 private:
  Model& model_;
  int process_;
  int first_;  // FirstParamIndex of the process (0-based)
};

}  // namespace vindrel::ui
