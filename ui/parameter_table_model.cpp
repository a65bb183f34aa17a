#include "ui/parameter_table_model.hpp"

#include "ui/value_cells.hpp"

namespace vindrel::ui {

ParameterTableModel::ParameterTableModel(Model& model, int process, QObject* parent)
    : TableModel({{QStringLiteral("Parameter"), Cells::kText},
                  {QStringLiteral("Parameter Name"), Cells::kText},
                  {QStringLiteral("Parameter Value"), Cells::kEntry},
                  {QStringLiteral("Parameter Units"), Cells::kText}},
                 true, parent),
      model_(model),
      process_(process),
      first_(FirstParamIndex(model, process)) {
  for (int row = 0; row < model.processes[process].parameters; ++row) values_ << QString();
  fill();
}

void ParameterTableModel::fill() {
  QStringList values;
  for (int row = 0; row < values_.size(); ++row) {
    values << value_text(model_.parameters[parameter(row)].value);
  }
  set_value_cells(values);
}

void ParameterTableModel::apply() {
  for (int row = 0; row < values_.size(); ++row) {
    if (const auto value = parse_value_cell(values_[row])) {
      model_.parameters[parameter(row)].value = *value;
    }
  }
}

QVariant ParameterTableModel::shown(int row, int column) const {
  const Tparamvariable& p = model_.parameters[parameter(row)];
  switch (column) {
    case kSymbol:
      return QString::fromStdString(p.symbol);
    case kName:
      return QString::fromStdString(p.name);
    case kUnits:
      return QString::fromStdString(p.units);
    default:
      return {};
  }
}

QVariant ParameterTableModel::tool_tip(int row, int column) const {
  if (column != kUnits) return {};
  return QString::fromStdString(model_.parameters[parameter(row)].units);
}

}  // namespace vindrel::ui
