// Where the parts of the output display's chart go at one size: title, plot
// frame, axes with their ticks and labels, legend. Shared by the chart's
// painting and its mouse handling.
#pragma once

#include <QFont>
#include <QRectF>
#include <QStringList>
#include <array>
#include <utility>
#include <vector>

#include "ui/output_chart.hpp"
#include "ui/output_chart_ticks.hpp"

namespace vindrel::ui {

struct OutputChart::Layout {
  QFont text_font;
  QFont title_font;
  QRectF title;
  QRectF frame;  // the plot's frame; the data keep a margin inside it
  QRectF data;   // the shown ranges map onto this rectangle
  std::array<std::pair<double, double>, 2> range{};
  std::array<bool, 2> logarithmic{};
  std::array<std::vector<Tick>, 2> ticks;
  std::array<QStringList, 2> labels;  // one per tick, empty for minor or skipped ones
  QString x_title;
  QStringList y_title_lines;
  double x_labels_top = 0.0;
  double x_title_top = 0.0;
  double y_labels_right = 0.0;
  double y_title_left = 0.0;
  double line_height = 0.0;
  std::vector<std::pair<int, QRectF>> legend;  // series and its entry's box
  bool plot = false;                           // room for the plot at all

  // Position along the axis, 0 at the shown minimum and 1 at the maximum.
  double fraction(ChartAxis axis, double value) const;
  double value_at(ChartAxis axis, double fraction) const;
  QPointF to_position(QPointF point) const;
};

}  // namespace vindrel::ui
