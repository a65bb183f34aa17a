#include "ui/chart_plot.hpp"

#include <QStringList>
#include <algorithm>

#include "ui/output_chart.hpp"
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
  // The chart wraps a long title rather than cut it, and the legend then
  // gives each series its unit.
  const QString unit = units.join(QStringLiteral("; "));
  if (how == PlotAs::kChange) return titled_with_unit(QStringLiteral("y-y0"), unit);
  return unit;
}

void plot_columns(OutputChart& chart, const OutputTableModel& table, int x_column,
                  const QList<int>& columns, PlotAs how) {
  chart.clear_series();
  if (x_column >= 0) chart.set_x_title(table.names()[x_column], table.units()[x_column]);
  const qsizetype count = std::min<qsizetype>(columns.size(), OutputChart::kSeriesCount);
  for (qsizetype i = 0; i < count && x_column >= 0; ++i) {
    const int column = columns[i];
    const QString unit = how == PlotAs::kRelative ? QString() : table.units()[column];
    chart.set_series(static_cast<int>(i), table.names()[column],
                     plotted_points(table, x_column, column, how), unit);
  }
  chart.set_y_title(
      dependent_axis_title(table, x_column >= 0 ? columns.first(count) : QList<int>{}, how));
  chart.rescale();
}

}  // namespace vindrel::ui
