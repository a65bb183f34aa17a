#include "ui/output_table_view.hpp"

#include <QHeaderView>
#include <QScrollBar>

namespace vindrel::ui {

FrozenColumnTableView::FrozenColumnTableView(QWidget* parent) : QTableView(parent) {
  frozen_ = new QTableView(this);
  frozen_->setObjectName(QStringLiteral("SgModelOutputTime"));
  frozen_->setFocusPolicy(Qt::NoFocus);
  frozen_->verticalHeader()->hide();
  frozen_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  frozen_->setVerticalScrollMode(ScrollPerPixel);
  setHorizontalScrollMode(ScrollPerPixel);
  setVerticalScrollMode(ScrollPerPixel);
  // A line on its right edge tells the frozen column from the scrolling ones.
  frozen_->setStyleSheet(
      QStringLiteral("QTableView { border: none; border-right: 2px solid "
                     "palette(mid); }"));
  viewport()->stackUnder(frozen_);

  connect(horizontalHeader(), &QHeaderView::sectionResized, this,
          [this](int section, int, int size) {
            if (section == 0) {
              frozen_->setColumnWidth(0, size);
              place_frozen_view();
            }
          });
  connect(verticalScrollBar(), &QAbstractSlider::valueChanged, frozen_->verticalScrollBar(),
          &QAbstractSlider::setValue);
  connect(frozen_->verticalScrollBar(), &QAbstractSlider::valueChanged, verticalScrollBar(),
          &QAbstractSlider::setValue);
}

void FrozenColumnTableView::setModel(QAbstractItemModel* model) {
  QTableView::setModel(model);
  frozen_->setModel(model);
  frozen_->setSelectionModel(selectionModel());
  const auto hide_others = [this] {
    if (this->model() == nullptr) return;
    for (int c = 1; c < this->model()->columnCount(); ++c) frozen_->setColumnHidden(c, true);
    frozen_->setColumnWidth(0, columnWidth(0));
  };
  hide_others();
  connect(model, &QAbstractItemModel::modelReset, this, hide_others);
  connect(model, &QAbstractItemModel::columnsInserted, this, hide_others);
  place_frozen_view();
}

void FrozenColumnTableView::resizeEvent(QResizeEvent* event) {
  QTableView::resizeEvent(event);
  place_frozen_view();
}

void FrozenColumnTableView::updateGeometries() {
  QTableView::updateGeometries();
  place_frozen_view();
}

void FrozenColumnTableView::place_frozen_view() {
  if (frozen_ == nullptr) return;
  // Same fonts, row heights, header height and alternating rows as the table.
  frozen_->setFont(font());
  frozen_->setWordWrap(wordWrap());
  frozen_->setAlternatingRowColors(alternatingRowColors());
  frozen_->verticalHeader()->setDefaultSectionSize(verticalHeader()->defaultSectionSize());
  frozen_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  frozen_->horizontalHeader()->setDefaultAlignment(horizontalHeader()->defaultAlignment());
  frozen_->horizontalHeader()->setFixedHeight(horizontalHeader()->height());
  const int left = verticalHeader()->isVisible() ? verticalHeader()->width() : 0;
  frozen_->setGeometry(frameWidth() + left, frameWidth(), columnWidth(0) + 2,
                       viewport()->height() + horizontalHeader()->height());
  frozen_->setVisible(model() != nullptr && model()->columnCount() > 0);
}

QModelIndex FrozenColumnTableView::moveCursor(CursorAction action,
                                              Qt::KeyboardModifiers modifiers) {
  QModelIndex current = QTableView::moveCursor(action, modifiers);
  // A cell reached with the keyboard is scrolled out from under the frozen column.
  if (action == MoveLeft && current.column() > 0 &&
      visualRect(current).topLeft().x() < frozen_->columnWidth(0)) {
    const int shift = visualRect(current).topLeft().x() - frozen_->columnWidth(0);
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift);
  }
  return current;
}

void FrozenColumnTableView::scrollTo(const QModelIndex& index, ScrollHint hint) {
  if (index.column() > 0) QTableView::scrollTo(index, hint);
}

}  // namespace vindrel::ui
