#include "ui/chart_plot.hpp"

#include <QStringList>

#include "ui/output_table_model.hpp"

namespace vindrel::ui {

std::vector<QPointF> plotted_points(const OutputTableModel& table, int x_column, int column,
                                    PlotAs how) {
  std::vector<QPointF> points(table.records());
  const double y0 = table.records() > 0 ? table.value(0, column) : 0.0;
  for (std::size_t r = 0; r < table.records(); ++r) {
    const double y = table.value(r, column);
    const double plotted = how == PlotAs::kRelative ? y / y0 : how == PlotAs::kChange ? y - y0 : y;
    points[r] = QPointF(table.value(r, x_column), plotted);
  }
  return points;
}

QString titled_with_unit(const QString& name, const QString& unit) {
  const QString trimmed = unit.trimmed();
  return trimmed.isEmpty() ? name : name + QStringLiteral(" (") + trimmed + QLatin1Char(')');
}

QString dependent_axis_title(const OutputTableModel& table, const QList<int>& columns, PlotAs how) {
  if (columns.isEmpty()) return {};
  if (how == PlotAs::kRelative) return QStringLiteral("y/y0");
  QStringList units;
  for (const int column : columns) {
    const QString unit = table.units().value(column).trimmed();
    if (!unit.isEmpty() && !units.contains(unit)) units << unit;
  }
  // More than three units on one axis say nothing a reader can use: the
  // legend names the series.
  const QString unit = units.size() <= 3 ? units.join(QStringLiteral("; ")) : QString();
  if (how == PlotAs::kChange) return titled_with_unit(QStringLiteral("y-y0"), unit);
  return unit;
}

}  // namespace vindrel::ui
