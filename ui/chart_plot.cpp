#include "ui/chart_plot.hpp"

#include <QRegularExpression>
#include <QStringList>
#include <algorithm>
#include <array>
#include <cmath>

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

QString chart_unit(const QString& unit) {
  // Only the exponents of units of measure are raised: "H2O" keeps its 2.
  static const QRegularExpression kPower(QStringLiteral(
      R"((?<=^|[\s/(])(m|cm|mm|km|yr|day|d|s|h|g|kg|ha|mol|K)(-?)(\d+)(?=$|[\s/);,]))"));
  static const QString kSuperscripts =
      QStringLiteral("\u2070\u00b9\u00b2\u00b3\u2074\u2075\u2076\u2077\u2078\u2079");
  QString text = unit;
  QRegularExpressionMatchIterator matches = kPower.globalMatch(unit);
  qsizetype shift = 0;
  while (matches.hasNext()) {
    const QRegularExpressionMatch match = matches.next();
    QString raised = match.captured(1);
    if (!match.captured(2).isEmpty()) raised += QChar(0x207b);
    for (const QChar digit : match.captured(3)) raised += kSuperscripts[digit.digitValue()];
    text.replace(match.capturedStart() + shift, match.capturedLength(), raised);
    shift += raised.size() - match.capturedLength();
  }
  static const QRegularExpression kDegrees(QStringLiteral(R"((?<=^|[\s(])oC(?=$|[\s);,]))"));
  text.replace(kDegrees, QStringLiteral("\u00b0C"));
  return text;
}

QString relative_note(const std::vector<QPointF>& points, double y0) {
  if (points.empty() || (y0 != 0.0 && std::isfinite(y0))) return {};
  return y0 == 0.0 ? QStringLiteral("not drawn as y/y0: its first value y0 is 0")
                   : QStringLiteral("not drawn as y/y0: its first value y0 is not a number");
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

std::vector<int> SeriesStyles::assign(const QList<int>& columns) {
  const int count = OutputChart::kSeriesCount;
  std::vector<int> chosen(static_cast<std::size_t>(columns.size()), -1);
  std::array<bool, OutputChart::kSeriesCount> taken{};
  // Variables seen before keep their style, unless an earlier series has it.
  for (qsizetype i = 0; i < columns.size() && i < count; ++i) {
    const auto known = styles_.find(columns[i]);
    if (known == styles_.end() || taken[static_cast<std::size_t>(known->second)]) continue;
    chosen[static_cast<std::size_t>(i)] = known->second;
    taken[static_cast<std::size_t>(known->second)] = true;
  }
  std::array<bool, OutputChart::kSeriesCount> owned{};
  for (const auto& [column, style] : styles_) owned[static_cast<std::size_t>(style)] = true;
  std::vector<qsizetype> fresh;
  for (qsizetype i = 0; i < columns.size() && i < count; ++i) {
    if (chosen[static_cast<std::size_t>(i)] < 0) fresh.push_back(i);
  }
  std::stable_sort(fresh.begin(), fresh.end(),
                   [&](qsizetype a, qsizetype b) { return columns[a] < columns[b]; });
  for (const qsizetype i : fresh) {
    int style = -1;
    for (int pass = 0; pass < 2 && style < 0; ++pass) {
      for (int k = 0; k < count && style < 0; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (!taken[at] && (pass == 1 || !owned[at])) style = k;
      }
    }
    if (style < 0) break;  // more series than styles: never, with ten at most
    chosen[static_cast<std::size_t>(i)] = style;
    taken[static_cast<std::size_t>(style)] = true;
    owned[static_cast<std::size_t>(style)] = true;
    styles_[columns[i]] = style;
  }
  return chosen;
}

void plot_columns(OutputChart& chart, const OutputTableModel& table, int x_column,
                  const QList<int>& columns, PlotAs how, bool join, SeriesStyles* styles) {
  chart.clear_series();
  SeriesStyles fresh;
  const std::vector<int> style = (styles != nullptr ? *styles : fresh).assign(columns);
  chart.set_joined(join || x_column == 0);
  if (x_column >= 0) chart.set_x_title(table.names()[x_column], table.units()[x_column]);
  const qsizetype count = std::min<qsizetype>(columns.size(), OutputChart::kSeriesCount);
  for (qsizetype i = 0; i < count && x_column >= 0; ++i) {
    const int column = columns[i];
    const QString unit = how == PlotAs::kRelative ? QString() : table.units()[column];
    std::vector<QPointF> points = plotted_points(table, x_column, column, how);
    const QString note = how == PlotAs::kRelative && table.records() > 0
                             ? relative_note(points, table.value(0, column))
                             : QString();
    chart.set_series(static_cast<int>(i), table.names()[column], std::move(points), unit, note);
    chart.set_style(static_cast<int>(i), style[static_cast<std::size_t>(i)]);
  }
  chart.set_y_title(chart_unit(
      dependent_axis_title(table, x_column >= 0 ? columns.first(count) : QList<int>{}, how)));
  chart.rescale();
}

}  // namespace vindrel::ui
