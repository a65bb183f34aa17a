// What the output display's chart plots from the records: one column against
// another as actual values, relative to the first record or as the change
// since it, and the axis titles with their units.
#pragma once

#include <QList>
#include <QPointF>
#include <QString>
#include <map>
#include <vector>

namespace vindrel::ui {

class OutputChart;
class OutputTableModel;

// "Plot as": y, y / y0 or y - y0, with y0 the column's first record.
enum class PlotAs { kActual = 0, kRelative = 1, kChange = 2 };

// One point per record: (value of `x_column`, plotted value of `column`).
// y / y0 with y0 = 0 gives what the arithmetic gives (inf or nan).
std::vector<QPointF> plotted_points(const OutputTableModel& table, int x_column, int column,
                                    PlotAs how);

// "Time (days)": a name with its unit in brackets, or the name alone.
QString titled_with_unit(const QString& name, const QString& unit);

// The dependent axis's title for the plotted columns: their unit when they
// share one (all their units, separated by "; ", when they do not), "y/y0"
// for relative values and "y-y0 (unit)" for changes. Empty when nothing is
// plotted.
QString dependent_axis_title(const OutputTableModel& table, const QList<int>& columns, PlotAs how);

// A unit as a chart prints it: exponents raised ("g C m-2 day-1" becomes
// "g C m⁻² day⁻¹", "m2 leaf" "m² leaf") and "oC" as "°C". Files keep the
// model's own text.
QString chart_unit(const QString& unit);

// Why a series cannot be drawn as y/y0, or empty when it can.
QString relative_note(const std::vector<QPointF>& points, double y0);

// Which of the chart's ten styles (colour and point style) each output column
// has: a variable keeps its style in every chart drawn with the same
// assignment (the window keeps one for the session). A variable new to it
// takes the first style that no other series of the chart has and, while
// there is one, that no variable seen before has; new variables are placed
// in the order of the output file, so that a chart of the same variables
// looks the same in the window and from the command line.
class SeriesStyles {
 public:
  // The styles for `columns`, in their order, all different.
  std::vector<int> assign(const QList<int>& columns);

 private:
  std::map<int, int> styles_;  // output column -> style
};

// The chart of `columns` against `x_column`, as the window and the command
// line draw it: the axis titles, one series per column (in order, at most
// ten), and the axes rescaled. Against time the points are joined by lines;
// against another variable they are a scatter of markers unless `join` asks
// for lines.
void plot_columns(OutputChart& chart, const OutputTableModel& table, int x_column,
                  const QList<int>& columns, PlotAs how, bool join = false,
                  SeriesStyles* styles = nullptr);

}  // namespace vindrel::ui
