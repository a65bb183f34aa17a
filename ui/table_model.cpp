#include "ui/table_model.hpp"

#include <QAction>
#include <QUndoCommand>
#include <QUndoStack>
#include <QWidget>
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

// One edit of one cell: redo puts the new value in, undo the one before.
class CellEdit : public QUndoCommand {
 public:
  CellEdit(TableModel& model, int row, int column, int role, QVariant before, QVariant after)
      : model_(model),
        row_(row),
        column_(column),
        role_(role),
        before_(std::move(before)),
        after_(std::move(after)) {
    setText(QStringLiteral("edit"));
  }
  void redo() override { model_.change_cell(row_, column_, after_, role_); }
  void undo() override { model_.change_cell(row_, column_, before_, role_); }

 private:
  TableModel& model_;
  int row_;
  int column_;
  int role_;
  QVariant before_;
  QVariant after_;
};

bool TableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.row() >= row_count() || index.column() >= columns_.size()) {
    return false;
  }
  const Cells kind = cells(index.column());
  const bool check = role == Qt::CheckStateRole && kind == Cells::kCheck;
  const bool entry = role == Qt::EditRole &&
                     (kind == Cells::kEntry || kind == Cells::kNumberEntry) &&
                     index.row() < values_.size();
  if (!check && !entry) return false;
  if (undo_ == nullptr) return change_cell(index.row(), index.column(), value, role);
  const QVariant before =
      check ? QVariant(checked(index.row(), index.column()) ? Qt::Checked : Qt::Unchecked)
            : QVariant(values_[index.row()]);
  const QVariant after = check
                             ? QVariant(value.toInt() == Qt::Checked ? Qt::Checked : Qt::Unchecked)
                             : QVariant(value.toString());
  // A text confirmed unchanged is no edit to undo.
  if (before == after) return true;
  undo_->push(new CellEdit(*this, index.row(), index.column(), role, before, after));
  return true;
}

bool TableModel::change_cell(int row, int column, const QVariant& value, int role) {
  if (row < 0 || row >= row_count() || column < 0 || column >= columns_.size()) return false;
  const QModelIndex cell = index(row, column);
  if (role == Qt::CheckStateRole) {
    set_checked(row, column, value.toInt() == Qt::Checked);
    emit dataChanged(cell, cell, {Qt::CheckStateRole});
    return true;
  }
  if (row >= values_.size()) return false;
  values_[row] = value.toString();
  emit dataChanged(cell, cell, {Qt::DisplayRole, Qt::EditRole});
  return true;
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

QUndoStack* make_edit_history(QWidget& window) {
  auto* stack = new QUndoStack(&window);
  QAction* undo = stack->createUndoAction(&window, QStringLiteral("&Undo"));
  undo->setShortcut(QKeySequence::Undo);
  QAction* redo = stack->createRedoAction(&window, QStringLiteral("&Redo"));
  redo->setShortcuts(
      {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
  for (QAction* action : {undo, redo}) {
    action->setShortcutContext(Qt::WindowShortcut);
    window.addAction(action);
  }
  return stack;
}

}  // namespace vindrel::ui
