#include "ui/parameter_table_model.hpp"

#include "ui/value_cells.hpp"

namespace vindrel::ui {

ParameterTableModel::ParameterTableModel(Model& model, int process, QObject* parent)
    : QAbstractTableModel(parent),
      model_(model),
      process_(process),
      first_(FirstParamIndex(model, process)) {
  for (int row = 0; row < model.processes[process].parameters; ++row) values_ << QString();
  fill();
}

void ParameterTableModel::fill() {
  for (int row = 0; row < values_.size(); ++row) {
    values_[row] = value_text(model_.parameters[parameter(row)].value);
  }
  if (!values_.isEmpty()) {
    emit dataChanged(index(0, kValue), index(static_cast<int>(values_.size()) - 1, kValue));
  }
}

int ParameterTableModel::first_invalid_row() const {
  for (int row = 0; row < values_.size(); ++row) {
    if (!parse_value_cell(values_[row])) return row;
  }
  return -1;
}

void ParameterTableModel::apply() {
  for (int row = 0; row < values_.size(); ++row) {
    if (const auto value = parse_value_cell(values_[row])) {
      model_.parameters[parameter(row)].value = *value;
    }
  }
}

int ParameterTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(values_.size());
}

int ParameterTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ParameterTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= values_.size()) return {};
  const Tparamvariable& p = model_.parameters[parameter(index.row())];
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    switch (index.column()) {
      case kSymbol:
        return QString::fromStdString(p.symbol);
      case kName:
        return QString::fromStdString(p.name);
      case kValue:
        return values_[index.row()];
      case kUnits:
        return QString::fromStdString(p.units);
      default:
        return {};
    }
  }
  if (role == Qt::BackgroundRole && index.column() != kValue) return read_only_cell_colour();
  if (role == Qt::ToolTipRole && index.column() == kUnits) return QString::fromStdString(p.units);
  return {};
}

bool ParameterTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= values_.size() || index.column() != kValue ||
      role != Qt::EditRole) {
    return false;
  }
  values_[index.row()] = value.toString();
  emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
  return true;
}

Qt::ItemFlags ParameterTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  if (index.column() == kValue) {
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
  }
  return Qt::ItemIsEnabled;
}

QVariant ParameterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  static const char* const headers[kColumnCount] = {"Parameter", "Parameter Name",
                                                    "Parameter Value", "Parameter Units"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(headers[section])
                                                : QVariant();
}

}  // namespace vindrel::ui
