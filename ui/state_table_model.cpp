#include "ui/state_table_model.hpp"

#include "ui/value_cells.hpp"

namespace vindrel::ui {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

StateTableModel::StateTableModel(Model& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

void StateTableModel::fill() {
  beginResetModel();
  values_.clear();
  for (int i = 1; i <= model_.ModelInfo.StateCount; ++i) {
    values_ << value_text(model_.states[i].value);
  }
  endResetModel();
}

void StateTableModel::clear() {
  beginResetModel();
  values_.clear();
  endResetModel();
}

int StateTableModel::first_invalid_row() const {
  for (int row = 0; row < values_.size(); ++row) {
    if (!parse_value_cell(values_[row])) return row;
  }
  return -1;
}

void StateTableModel::save_values() {
  for (int row = 0; row < values_.size(); ++row) {
    if (const auto value = parse_value_cell(values_[row])) model_.states[row + 1].value = *value;
  }
}

int StateTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(values_.size());
}

int StateTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant StateTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= values_.size()) return {};
  const Tstatevariable& state = model_.states[index.row() + 1];
  const int column = index.column();
  if (role == Qt::CheckStateRole && (column == kHoldConstant || column == kReset)) {
    const bool on = column == kHoldConstant ? state.HoldConstant : state.Reset;
    return on ? Qt::Checked : Qt::Unchecked;
  }
  if (role == Qt::DisplayRole || role == Qt::EditRole) {
    switch (column) {
      case kSymbol:
        return text(state.symbol);
      case kName:
        return text(state.name);
      case kValue:
        return values_[index.row()];
      case kUnits:
        return text(state.units);
      default:
        return {};
    }
  }
  if (role == Qt::BackgroundRole && column != kValue) return read_only_cell_colour();
  if (role == Qt::TextAlignmentRole && column == kValue) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

bool StateTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= values_.size()) return false;
  const int column = index.column();
  if (role == Qt::CheckStateRole && (column == kHoldConstant || column == kReset)) {
    // A click acts on the state table at once.
    Tstatevariable& state = model_.states[index.row() + 1];
    const bool on = value.toInt() == Qt::Checked;
    (column == kHoldConstant ? state.HoldConstant : state.Reset) = on;
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
  }
  if (role == Qt::EditRole && column == kValue) {
    values_[index.row()] = value.toString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
  }
  return false;
}

Qt::ItemFlags StateTableModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  switch (index.column()) {
    case kHoldConstant:
    case kReset:
      return Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
    case kValue:
      return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    default:
      return Qt::ItemIsEnabled;
  }
}

QVariant StateTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  static const char* const headers[kColumnCount] = {"HoldConstant?",        "Reset?",
                                                    "State Symbol",         "State Variable Name",
                                                    "State Variable Value", "State Variable Units"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(headers[section])
                                                : QVariant();
}

ProcessTableModel::ProcessTableModel(const Model& model, QObject* parent)
    : QAbstractTableModel(parent), model_(model) {}

void ProcessTableModel::refresh() {
  QStringList values;
  for (int i = 1; i <= model_.ModelInfo.ProcessCount; ++i) {
    values << value_text(model_.processes[i].value);
  }
  if (values.size() != values_.size()) {
    beginResetModel();
    values_ = values;
    endResetModel();
    return;
  }
  values_ = values;
  if (!values_.isEmpty()) {
    emit dataChanged(index(0, kValue), index(static_cast<int>(values_.size()) - 1, kValue),
                     {Qt::DisplayRole});
  }
}

int ProcessTableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(values_.size());
}

int ProcessTableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : kColumnCount;
}

QVariant ProcessTableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= values_.size()) return {};
  const Tprocessvariable& process = model_.processes[index.row() + 1];
  if (role == Qt::DisplayRole) {
    switch (index.column()) {
      case kSymbol:
        return text(process.symbol);
      case kName:
        return text(process.name);
      case kValue:
        return values_[index.row()];
      case kUnits:
        return text(process.units);
      default:
        return {};
    }
  }
  if (role == Qt::BackgroundRole) return read_only_cell_colour();
  if (role == Qt::TextAlignmentRole && index.column() == kValue) {
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  }
  return {};
}

Qt::ItemFlags ProcessTableModel::flags(const QModelIndex& index) const {
  return index.isValid() ? Qt::ItemIsEnabled : Qt::NoItemFlags;
}

QVariant ProcessTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  static const char* const headers[kColumnCount] = {
      "", "", "Process Symbol", "Process Name", "Process Value", "Process Units"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(headers[section])
                                                : QVariant();
}

}  // namespace vindrel::ui
