#include "ui/output_chart.hpp"

#include <QChart>
#include <QFileInfo>
#include <QImage>
#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLogValueAxis>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QResizeEvent>
#include <QSvgGenerator>
#include <QTimer>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "core/exceptions.hpp"
#include "ui/chart_plot.hpp"

namespace vindrel::ui {
namespace {

enum class Marker { kRectangle, kCircle, kTriangle, kCross, kDownTriangle, kDiamond };

struct SeriesStyle {
  Marker marker;
  QColor colour;
};

// The ten series' point styles and colours. Series 1, 2 and 4 are red, green
// and blue; the others have colours that stay readable on white paper.
const std::array<SeriesStyle, OutputChart::kSeriesCount> kStyles = {{
    {Marker::kRectangle, QColor(220, 0, 0)},
    {Marker::kCircle, QColor(0, 140, 0)},
    {Marker::kTriangle, QColor(230, 140, 0)},
    {Marker::kCross, QColor(0, 0, 230)},
    {Marker::kDownTriangle, QColor(0, 0, 0)},
    {Marker::kTriangle, QColor(120, 120, 120)},
    {Marker::kCircle, QColor(200, 0, 200)},
    {Marker::kDiamond, QColor(0, 128, 128)},
    {Marker::kRectangle, QColor(0, 0, 128)},
    {Marker::kDownTriangle, QColor(128, 0, 0)},
}};

// The marker as an image that Qt Charts draws at every point, scaled to the marker size.
QImage marker_image(const SeriesStyle& style) {
  constexpr int kSize = 20;
  QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(style.colour, 2.0));
  painter.setBrush(style.colour);
  const QRectF box(1.0, 1.0, kSize - 2.0, kSize - 2.0);
  QPainterPath path;
  switch (style.marker) {
    case Marker::kRectangle:
      path.addRect(box);
      break;
    case Marker::kCircle:
      path.addEllipse(box);
      break;
    case Marker::kTriangle:
      path.moveTo(box.center().x(), box.top());
      path.lineTo(box.bottomRight());
      path.lineTo(box.bottomLeft());
      path.closeSubpath();
      break;
    case Marker::kDownTriangle:
      path.moveTo(box.topLeft());
      path.lineTo(box.topRight());
      path.lineTo(box.center().x(), box.bottom());
      path.closeSubpath();
      break;
    case Marker::kDiamond:
      path.moveTo(box.center().x(), box.top());
      path.lineTo(box.right(), box.center().y());
      path.lineTo(box.center().x(), box.bottom());
      path.lineTo(box.left(), box.center().y());
      path.closeSubpath();
      break;
    case Marker::kCross:
      painter.setPen(QPen(style.colour, 5.0));
      painter.drawLine(QPointF(box.center().x(), box.top()),
                       QPointF(box.center().x(), box.bottom()));
      painter.drawLine(QPointF(box.left(), box.center().y()),
                       QPointF(box.right(), box.center().y()));
      return image;
  }
  painter.drawPath(path);
  return image;
}

bool finite(const QPointF& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

std::size_t slot(ChartAxis axis) { return axis == ChartAxis::kX ? 0 : 1; }

}  // namespace

double nice_increment(double low, double high, int ticks) {
  const double span = std::abs(high - low);
  if (!std::isfinite(span) || span <= 0.0) return 1.0;
  const double raw = span / std::max(1, ticks);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  const double fraction = raw / power;
  // The nearest of 1, 2 and 5 (not the next larger), so that an axis gets
  // between about 0.7 and 1.5 times the ticks asked for, never a bare three.
  const double nice = fraction < 1.5 ? 1.0 : fraction < 3.5 ? 2.0 : fraction < 7.5 ? 5.0 : 10.0;
  return nice * power;
}

int label_decimals(double increment) {
  if (!std::isfinite(increment) || increment <= 0.0) return 1;
  const int decimals = static_cast<int>(std::ceil(-std::log10(increment) - 1e-9));
  return std::clamp(decimals, 0, 5);
}

OutputChart::OutputChart(QWidget* parent) : QChartView(parent) {
  setObjectName(QStringLiteral("ChOutput"));
  setRenderHint(QPainter::Antialiasing);
  auto* chart = new QChart();
  setChart(chart);
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
  QFont title_font = chart->titleFont();
  title_font.setPointSizeF(title_font.pointSizeF() * 1.3);
  title_font.setBold(true);
  chart->setTitleFont(title_font);
  for (int i = 0; i < kSeriesCount; ++i) {
    auto* series = new QLineSeries(chart);
    series->setObjectName(QStringLiteral("Series%1").arg(i + 1));
    const SeriesStyle& style = kStyles[static_cast<std::size_t>(i)];
    series->setPen(QPen(style.colour, 1.2));
    series->setColor(style.colour);
    series->setPointsVisible(true);
    series->setMarkerSize(kMarkerSize);
    series->setLightMarker(marker_image(style));
    series->setUseOpenGL(false);
    chart->addSeries(series);
    series_[static_cast<std::size_t>(i)] = series;
  }
  scales_[slot(ChartAxis::kY)].automatic = false;
  replace_axis(ChartAxis::kX, false);
  replace_axis(ChartAxis::kY, false);
  set_x_title(QStringLiteral("Time"));
  clear_series();
  // The reduction follows the plot area's width; it is recomputed after the
  // layout has settled.
  connect(chart, &QChart::plotAreaChanged, this, [this] {
    QTimer::singleShot(0, this, [this] {
      if (this->chart()->plotArea().width() * detail_ != drawn_columns_) redraw_series();
    });
  });
}

void OutputChart::resizeEvent(QResizeEvent* event) {
  // The series drawn for the old width would be laid out once more at the new
  // size only to be replaced: they are emptied first and drawn for the new
  // plot area as soon as the chart has its layout.
  redrawing_ = true;
  for (QLineSeries* series : series_) series->clear();
  QChartView::resizeEvent(event);
  redrawing_ = false;
  redraw_series();
}

OutputChart::~OutputChart() = default;

void OutputChart::set_title(const QString& title) { chart()->setTitle(title); }

void OutputChart::set_x_title(const QString& title, const QString& unit) {
  x_title_ = title;
  axes_[0]->setTitleText(titled_with_unit(title, unit));
}

QString OutputChart::x_title() const { return x_title_; }

void OutputChart::set_y_title(const QString& title) { axes_[1]->setTitleText(title); }

QString OutputChart::y_title() const { return axes_[1]->titleText(); }

void OutputChart::clear_series() {
  for (int i = 0; i < kSeriesCount; ++i) {
    points_[static_cast<std::size_t>(i)].clear();
    series_[static_cast<std::size_t>(i)]->clear();
    series_[static_cast<std::size_t>(i)]->setVisible(false);
  }
}

void OutputChart::set_series(int index, const QString& title, std::vector<QPointF> points,
                             bool draw) {
  const auto i = static_cast<std::size_t>(index);
  points_[i] = std::move(points);
  series_[i]->setName(title);
  series_[i]->setVisible(true);
  if (draw) {
    redraw_series(index, chart()->plotArea().width() * detail_);
  } else {
    series_[i]->clear();
  }
}

int OutputChart::visible_series() const {
  return static_cast<int>(
      std::count_if(series_.begin(), series_.end(), [](QLineSeries* s) { return s->isVisible(); }));
}

bool OutputChart::data_range(ChartAxis which, double& low, double& high, bool positive_only) const {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  for (std::size_t i = 0; i < series_.size(); ++i) {
    if (!series_[i]->isVisible()) continue;
    for (const QPointF& p : points_[i]) {
      if (!finite(p)) continue;
      const double v = which == ChartAxis::kX ? p.x() : p.y();
      if (positive_only && v <= 0.0) continue;
      low = std::min(low, v);
      high = std::max(high, v);
    }
  }
  return low <= high;
}

void OutputChart::rescale() {
  // Qt Charts lays every drawn point out again at each change of an axis: the
  // series are emptied while both axes change and drawn once at the end.
  redrawing_ = true;
  for (QLineSeries* series : series_) series->clear();
  rescale_axis(ChartAxis::kY);
  rescale_axis(ChartAxis::kX);
  redrawing_ = false;
  redraw_series();
}

void OutputChart::rescale_axis(ChartAxis which) {
  AxisScale scale = scales_[slot(which)];
  double low = 0.0;
  double high = 0.0;
  if (data_range(which, low, high, scale.logarithmic)) {
    if (which == ChartAxis::kY && low > 0.0 && !scale.logarithmic) low = 0.0;
  } else {
    low = scale.logarithmic ? 1.0 : 0.0;
    high = scale.logarithmic ? 10.0 : 1.0;
  }
  // An axis needs a range: a flat series gets one unit (a decade) around its value.
  if (!(high > low)) {
    if (scale.logarithmic) {
      low /= 10.0;
      high *= 10.0;
    } else {
      const double half = low == 0.0 ? 0.5 : std::abs(low) * 0.05;
      low -= half;
      high += half;
    }
  }
  scale.minimum = low;
  scale.maximum = high;
  scale.increment = nice_increment(low, high);
  scale.automatic = true;
  set_axis_scale(which, scale);
}

AxisScale OutputChart::axis_scale(ChartAxis which) const { return scales_[slot(which)]; }

QAbstractAxis* OutputChart::axis(ChartAxis which) const { return axes_[slot(which)]; }

void OutputChart::set_axis_scale(ChartAxis which, const AxisScale& scale) {
  const bool was_logarithmic = scales_[slot(which)].logarithmic;
  scales_[slot(which)] = scale;
  if (scale.logarithmic != was_logarithmic) {
    replace_axis(which, scale.logarithmic);
  } else {
    apply_ticks(which);
  }
  if (which == ChartAxis::kX) redraw_series();
}

void OutputChart::set_logarithmic(ChartAxis which, bool logarithmic) {
  AxisScale scale = scales_[slot(which)];
  if (scale.logarithmic == logarithmic) return;
  scale.logarithmic = logarithmic;
  if (logarithmic && scale.minimum <= 0.0) {
    // A logarithmic axis shows positive values only.
    double low = 0.0;
    double high = 0.0;
    if (data_range(which, low, high, true)) {
      scale.minimum = low;
      scale.maximum = std::max(high, scale.maximum);
    } else {
      scale.minimum = 1.0;
      scale.maximum = std::max(10.0, scale.maximum);
    }
    if (!(scale.maximum > scale.minimum)) scale.maximum = scale.minimum * 10.0;
  }
  set_axis_scale(which, scale);
}

void OutputChart::replace_axis(ChartAxis which, bool logarithmic) {
  QChart* chart = this->chart();
  QAbstractAxis*& current = axes_[slot(which)];
  const Qt::Alignment alignment = which == ChartAxis::kX ? Qt::AlignBottom : Qt::AlignLeft;
  QString title;
  if (current != nullptr) {
    title = current->titleText();
    chart->removeAxis(current);
    delete current;
  }
  if (logarithmic) {
    auto* log_axis = new QLogValueAxis();
    log_axis->setBase(10.0);
    log_axis->setMinorTickCount(-1);
    log_axis->setLabelFormat(QStringLiteral("%g"));
    current = log_axis;
  } else {
    current = new QValueAxis();
  }
  current->setObjectName(which == ChartAxis::kX ? QStringLiteral("BottomAxis")
                                                : QStringLiteral("LeftAxis"));
  current->setTitleText(title);
  chart->addAxis(current, alignment);
  for (QLineSeries* series : series_) series->attachAxis(current);
  apply_ticks(which);
}

void OutputChart::apply_ticks(ChartAxis which) {
  AxisScale& scale = scales_[slot(which)];
  QAbstractAxis* current = axes_[slot(which)];
  if (auto* log_axis = qobject_cast<QLogValueAxis*>(current)) {
    log_axis->setRange(scale.minimum, scale.maximum);
    return;
  }
  auto* value_axis = qobject_cast<QValueAxis*>(current);
  if (value_axis == nullptr) return;
  // The old interval over a new, much longer range would make the axis lay out
  // millions of ticks: the range is changed with a fixed tick count.
  value_axis->setTickType(QValueAxis::TicksFixed);
  value_axis->setRange(scale.minimum, scale.maximum);
  double increment = scale.increment;
  const double span = scale.maximum - scale.minimum;
  // An increment that would draw hundreds of ticks (or none) gives way to a nice one.
  if (!(increment > 0.0) || !std::isfinite(increment) || span / increment > 100.0) {
    increment = nice_increment(scale.minimum, scale.maximum);
    scale.increment = increment;
  }
  value_axis->setTickAnchor(scale.automatic ? 0.0 : scale.minimum);
  value_axis->setTickInterval(increment);
  value_axis->setTickType(QValueAxis::TicksDynamic);
  const int decimals = which == ChartAxis::kX ? 1 : label_decimals(increment);
  value_axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

void OutputChart::redraw_series() {
  if (redrawing_) return;
  redrawing_ = true;
  const double columns = chart()->plotArea().width() * detail_;
  drawn_columns_ = columns;
  for (int i = 0; i < kSeriesCount; ++i) {
    if (series_[static_cast<std::size_t>(i)]->isVisible()) redraw_series(i, columns);
  }
  redrawing_ = false;
}

void OutputChart::redraw_series(int index, double columns) {
  const std::vector<QPointF>& points = points_[static_cast<std::size_t>(index)];
  QList<QPointF> drawn;
  const bool ascending =
      std::is_sorted(points.begin(), points.end(),
                     [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); });
  const AxisScale& x = scales_[0];
  const double width = std::max(columns, 100.0);
  if (!ascending || static_cast<double>(points.size()) <= 2.0 * width || !(x.maximum > x.minimum)) {
    drawn.reserve(static_cast<qsizetype>(points.size()));
    for (const QPointF& p : points) {
      if (finite(p) && (!x.logarithmic || p.x() > 0.0)) drawn.append(p);
    }
  } else {
    // Per pixel column the lowest and the highest point, in their order: the
    // line covers the same pixels as through every point, and Qt Charts lays
    // out (and strokes, for the series' shape) two points per column, not
    // dozens. Beyond the axis only the nearest point on each side, so lines
    // leave the plot.
    const auto position = [&](double v) {
      if (x.logarithmic) {
        return (std::log(v) - std::log(x.minimum)) / (std::log(x.maximum) - std::log(x.minimum));
      }
      return (v - x.minimum) / (x.maximum - x.minimum);
    };
    drawn.reserve(static_cast<qsizetype>(2.0 * width + 8.0));
    const auto right = static_cast<long long>(width);
    long long column = 0;
    std::size_t low = 0, high = 0;
    bool open = false;
    std::optional<std::size_t> before;  // the last point left of the axis
    const auto flush = [&] {
      if (!open) return;
      drawn.append(points[std::min(low, high)]);
      if (low != high) drawn.append(points[std::max(low, high)]);
      open = false;
    };
    for (std::size_t k = 0; k < points.size(); ++k) {
      const QPointF& p = points[k];
      if (!finite(p) || (x.logarithmic && p.x() <= 0.0)) continue;
      const double t = position(p.x());
      if (t < 0.0) {
        before = k;
        continue;
      }
      if (before) {
        drawn.append(points[*before]);
        before.reset();
      }
      const long long c = t > 1.0 ? right + 1 : static_cast<long long>(t * width);
      if (c > right) {
        flush();
        drawn.append(p);
        break;
      }
      if (!open || c != column) {
        flush();
        column = c;
        low = high = k;
        open = true;
        continue;
      }
      if (p.y() < points[low].y()) low = k;
      if (p.y() > points[high].y()) high = k;
    }
    if (before) drawn.append(points[*before]);
    flush();
  }
  series_[static_cast<std::size_t>(index)]->replace(drawn);
}

qsizetype OutputChart::drawn_points(int index) const {
  return series_[static_cast<std::size_t>(index)]->count();
}

void OutputChart::render_chart(QPainter& painter, const QRectF& target, double detail) {
  // Vector pictures get the series at four pixel columns per pixel of the
  // target, so that zooming into a printed or exported chart shows its detail;
  // an image is drawn as the screen is.
  const double saved = detail_;
  detail_ = detail * std::max(1.0, target.width() / std::max(1.0, static_cast<double>(width())));
  const bool again = detail_ != saved;
  if (again) redraw_series();
  scene()->render(&painter, target, sceneRect());
  detail_ = saved;
  if (again) redraw_series();
}

void OutputChart::save_png(const QString& file_name, QSize size) {
  if (size.isEmpty()) size = this->size();
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::white);
  {
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    render_chart(painter, QRectF(QPointF(0, 0), size), kScreenDetail);
  }
  if (!image.save(file_name, "PNG")) {
    throw EInOutError("Could not write the image file", file_name.toStdString());
  }
}

void OutputChart::save_svg(const QString& file_name, QSize size) {
  if (size.isEmpty()) size = this->size();
  QSvgGenerator generator;
  generator.setFileName(file_name);
  generator.setSize(size);
  generator.setViewBox(QRect(QPoint(0, 0), size));
  // At 96 dpi the drawing's size in millimetres is its size in CSS pixels.
  generator.setResolution(96);
  generator.setTitle(chart()->title());
  {
    QPainter painter;
    if (!painter.begin(&generator)) {
      throw EInOutError("Could not write the image file", file_name.toStdString());
    }
    render_chart(painter, QRectF(QPointF(0, 0), size));
  }
  if (!QFileInfo(file_name).isFile()) {
    throw EInOutError("Could not write the image file", file_name.toStdString());
  }
}

void OutputChart::save_pdf(const QString& file_name) {
  QPdfWriter writer(file_name);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageOrientation(QPageLayout::Landscape);
  writer.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
  writer.setTitle(chart()->title());
  QPainter painter;
  if (!painter.begin(&writer)) {
    throw EInOutError("Could not write the PDF file", file_name.toStdString());
  }
  painter.setRenderHint(QPainter::Antialiasing);
  // The chart keeps the proportions it has on the screen, fitted to the page.
  const QRectF page(QPointF(0, 0), QSizeF(writer.width(), writer.height()));
  QSizeF shown = size();
  shown.scale(page.size(), Qt::KeepAspectRatio);
  render_chart(painter, QRectF(page.topLeft(), shown));
}

}  // namespace vindrel::ui
