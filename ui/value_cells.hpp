// What the editors' grids share: the text of a value cell, the reading of a
// cell typed by the user, the grey of cells that cannot be edited, and a
// delegate that draws and toggles a check box in the middle of its cell.
#pragma once

#include <QColor>
#include <QString>
#include <QStyledItemDelegate>
#include <optional>

namespace vindrel::ui {

// The shortest decimal text of a value (up to 15 significant digits).
QString value_text(double value);
// The general form with 5 significant digits.
QString general5(double value);

// The number a user typed into a value cell: blanks around it are ignored; an
// optional sign, digits, fraction and exponent ("1e-3"). Anything else, and
// values that are not finite, give nullopt.
std::optional<double> parse_value_cell(const QString& text);

// Background of a cell that cannot be edited.
QColor read_only_cell_colour();

// Draws a check box centred in its cell and toggles it on a click or the
// space bar, for items with Qt::ItemIsUserCheckable; cells that cannot be
// selected are drawn without the cursor's frame.
class GridDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

 private:
  static QRect check_rect(const QStyleOptionViewItem& option);
};

}  // namespace vindrel::ui
