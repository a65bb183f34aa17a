#include "ui/table_model.hpp"

#include <utility>

#include "ui/value_cells.hpp"

namespace vindrel::ui {

TableModel::TableModel(QList<ColumnSpec> columns, bool grey_read_only, QObject* parent)
    : QAbstractTableModel(parent), columns_(std::move(columns)), grey_read_only_(grey_read_only) {}

int TableModel::first_invalid_row() const {
  for (int row = 0; row < values_.size(); ++row) {
    if (!parse_value_cell(values_[row])) return row;
  }
  return -1;
}

int TableModel::value_column() const {
  for (int column = 0; column < columns_.size(); ++column) {
    const Cells kind = cells(column);
    if (kind == Cells::kEntry || kind == Cells::kNumberEntry) return column;
  }
  return -1;
}

void TableModel::set_value_cells(const QStringList& values) {
  if (values.size() != values_.size()) {
    beginResetModel();
    values_ = values;
    endResetModel();
    return;
  }
  values_ = values;
  const int column = value_column();
  if (!values_.isEmpty() && column >= 0) {
    emit dataChanged(index(0, column), index(static_cast<int>(values_.size()) - 1, column),
                     {Qt::DisplayRole, Qt::EditRole});
  }
}

bool TableModel::checked(int, int) const { return false; }

void TableModel::set_checked(int, int, bool) {}

QVariant TableModel::tool_tip(int, int) const { return {}; }

int TableModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : row_count();
}

int TableModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant TableModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= row_count() || index.column() >= columns_.size()) {
    return {};
  }
  const int row = index.row();
  const int column = index.column();
  const Cells kind = cells(column);
  const bool entry = kind == Cells::kEntry || kind == Cells::kNumberEntry;
  switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
      if (entry) return values_.value(row);
      return kind == Cells::kCheck ? QVariant() : shown(row, column);
    case Qt::CheckStateRole:
      if (kind != Cells::kCheck) return {};
      return checked(row, column) ? Qt::Checked : Qt::Unchecked;
    case Qt::BackgroundRole:
      if (grey_read_only_ && !entry) return read_only_cell_colour();
      return {};
    case Qt::TextAlignmentRole:
      if (kind == Cells::kNumber || kind == Cells::kNumberEntry) {
        return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
      }
      return {};
    case Qt::ToolTipRole:
      return tool_tip(row, column);
    default:
      return {};
  }
}

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= row_count() || index.column() >= columns_.size()) {
    return false;
  }
  const Cells kind = cells(index.column());
  if (role == Qt::CheckStateRole && kind == Cells::kCheck) {
    set_checked(index.row(), index.column(), value.toInt() == Qt::Checked);
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
  }
  if (role == Qt::EditRole && (kind == Cells::kEntry || kind == Cells::kNumberEntry) &&
      index.row() < values_.size()) {
    values_[index.row()] = value.toString();
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
  }
  return false;
}

Qt::ItemFlags TableModel::flags(const QModelIndex& index) const {
  if (!index.isValid() || index.column() >= columns_.size()) return Qt::NoItemFlags;
  switch (cells(index.column())) {
    case Cells::kCheck:
      return Qt::ItemIsEnabled | Qt::ItemIsUserCheckable;
    case Cells::kEntry:
    case Cells::kNumberEntry:
      return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable;
    default:
      return Qt::ItemIsEnabled;
  }
}

QVariant TableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
    return QAbstractTableModel::headerData(section, orientation, role);
  }
  return section >= 0 && section < columns_.size() ? QVariant(columns_[section].header)
                                                   : QVariant();
}

}  // namespace vindrel::ui
