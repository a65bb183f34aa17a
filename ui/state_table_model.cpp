#include "ui/state_table_model.hpp"

#include "ui/value_cells.hpp"

namespace vindrel::ui {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

using Cells = TableModel::Cells;

}  // namespace

StateTableModel::StateTableModel(Model& model, QObject* parent)
    : TableModel({{QStringLiteral("HoldConstant?"), Cells::kCheck},
                  {QStringLiteral("Reset?"), Cells::kCheck},
                  {QStringLiteral("State Symbol"), Cells::kText},
                  {QStringLiteral("State Variable Name"), Cells::kText},
                  {QStringLiteral("State Variable Value"), Cells::kNumberEntry},
                  {QStringLiteral("State Variable Units"), Cells::kText}},
                 true, parent),
      model_(model) {}

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

void StateTableModel::save_values() {
  for (int row = 0; row < values_.size(); ++row) {
    if (const auto value = parse_value_cell(values_[row])) model_.states[row + 1].value = *value;
  }
}

QVariant StateTableModel::data(const QModelIndex& index, int role) const {
  const bool check = index.column() == kHoldConstant || index.column() == kReset;
  if (role != Qt::AccessibleTextRole || !check || !index.isValid() || index.row() >= rowCount()) {
    return TableModel::data(index, role);
  }
  const Tstatevariable& state = model_.states[index.row() + 1];
  const QString named = QStringLiteral("%1 (%2)").arg(text(state.symbol), text(state.name));
  return (index.column() == kHoldConstant ? QStringLiteral("Hold constant: ")
                                          : QStringLiteral("Reset: ")) +
         named;
}

QVariant StateTableModel::shown(int row, int column) const {
  const Tstatevariable& state = model_.states[row + 1];
  switch (column) {
    case kSymbol:
      return text(state.symbol);
    case kName:
      return text(state.name);
    case kUnits:
      return text(state.units);
    default:
      return {};
  }
}

bool StateTableModel::checked(int row, int column) const {
  const Tstatevariable& state = model_.states[row + 1];
  return column == kHoldConstant ? state.HoldConstant : state.Reset;
}

void StateTableModel::set_checked(int row, int column, bool on) {
  Tstatevariable& state = model_.states[row + 1];
  (column == kHoldConstant ? state.HoldConstant : state.Reset) = on;
}

ProcessTableModel::ProcessTableModel(const Model& model, QObject* parent)
    : TableModel({{QString(), Cells::kText},
                  {QString(), Cells::kText},
                  {QStringLiteral("Process Symbol"), Cells::kText},
                  {QStringLiteral("Process Name"), Cells::kText},
                  {QStringLiteral("Process Value"), Cells::kNumber},
                  {QStringLiteral("Process Units"), Cells::kText}},
                 true, parent),
      model_(model) {}

void ProcessTableModel::refresh() {
  QStringList values;
  for (int i = 1; i <= model_.ModelInfo.ProcessCount; ++i) {
    values << value_text(model_.processes[i].value);
  }
  set_value_cells(values);
}

QVariant ProcessTableModel::shown(int row, int column) const {
  const Tprocessvariable& process = model_.processes[row + 1];
  switch (column) {
    case kSymbol:
      return text(process.symbol);
    case kName:
      return text(process.name);
    case kValue:
      return values_.value(row);
    case kUnits:
      return text(process.units);
    default:
      return {};
  }
}

}  // namespace vindrel::ui
