// The output display's table view with its first column (the time) frozen:
// scrolling sideways through 208 columns, every row still says its day. A
// second view over the same model shows only the first column on top of the
// table's own and follows its vertical scrolling, row heights and selection.
#pragma once

#include <QTableView>

namespace vindrel::ui {

class FrozenColumnTableView final : public QTableView {
  Q_OBJECT

 public:
  explicit FrozenColumnTableView(QWidget* parent = nullptr);

  void setModel(QAbstractItemModel* model) override;
  // The view of the first column that stays in place.
  QTableView* frozen_view() const noexcept { return frozen_; }
  // The time column is always in view: only the other columns scroll sideways to a cell.
  void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

 protected:
  void resizeEvent(QResizeEvent* event) override;
  QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
  void updateGeometries() override;

 private:
  void place_frozen_view();

  QTableView* frozen_ = nullptr;
};

}  // namespace vindrel::ui
