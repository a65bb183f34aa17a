#include "ui/value_cells.hpp"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>
#include <string>

#include "fileio/number_format.hpp"

namespace vindrel::ui {

QString value_text(double value) { return QString::fromStdString(shortest_decimal_text(value)); }

QString general5(double value) { return QString::fromStdString(general5_text(value)); }

std::optional<double> parse_value_cell(const QString& text) {
  const std::string token = text.trimmed().toStdString();
  double value = 0.0;
  if (token.empty() || !parse_number(token, value) || !std::isfinite(value)) return std::nullopt;
  return value;
}

QColor read_only_cell_colour() { return QColor(0xe4, 0xe4, 0xe4); }

QRect GridDelegate::check_rect(const QStyleOptionViewItem& option) {
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  QStyleOptionButton box;
  const QRect indicator = style->subElementRect(QStyle::SE_CheckBoxIndicator, &box, widget);
  return QStyle::alignedRect(option.direction, Qt::AlignCenter, indicator.size(), option.rect);
}

void GridDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                         const QModelIndex& index) const {
  if (!(index.flags() & Qt::ItemIsUserCheckable)) {
    // Only cells that can be selected show the cursor's frame.
    QStyleOptionViewItem cell = option;
    if (!(index.flags() & Qt::ItemIsSelectable)) cell.state &= ~QStyle::State_HasFocus;
    QStyledItemDelegate::paint(painter, cell, index);
    return;
  }
  // The cell's background, then the box on its own.
  QStyleOptionViewItem cell = option;
  initStyleOption(&cell, index);
  cell.features &= ~QStyleOptionViewItem::HasCheckIndicator;
  cell.text.clear();
  cell.state &= ~QStyle::State_HasFocus;
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &cell, painter, widget);

  QStyleOptionButton box;
  box.rect = check_rect(option);
  box.state = QStyle::State_Enabled;
  box.state |=
      index.data(Qt::CheckStateRole).toInt() == Qt::Checked ? QStyle::State_On : QStyle::State_Off;
  style->drawPrimitive(QStyle::PE_IndicatorItemViewItemCheck, &box, painter, widget);
}

bool GridDelegate::editorEvent(QEvent* event, QAbstractItemModel* model,
                               const QStyleOptionViewItem& option, const QModelIndex& index) {
  if (!(index.flags() & Qt::ItemIsUserCheckable) || !(index.flags() & Qt::ItemIsEnabled)) {
    return QStyledItemDelegate::editorEvent(event, model, option, index);
  }
  switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
      // Swallowed so that a double click does not toggle twice.
      return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::MouseButtonRelease: {
      const auto* mouse = static_cast<QMouseEvent*>(event);
      if (mouse->button() != Qt::LeftButton || !option.rect.contains(mouse->position().toPoint())) {
        return false;
      }
      break;
    }
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent*>(event)->key();
      if (key != Qt::Key_Space && key != Qt::Key_Select) return false;
      break;
    }
    default:
      return false;
  }
  const bool checked = index.data(Qt::CheckStateRole).toInt() == Qt::Checked;
  return model->setData(index, checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
}

}  // namespace vindrel::ui
