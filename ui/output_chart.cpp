#include "ui/output_chart.hpp"

#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <limits>

#include "ui/chart_plot.hpp"
#include "ui/chart_reduction.hpp"
#include "ui/output_chart_layout.hpp"
#include "ui/output_table_model.hpp"

namespace vindrel::ui {
namespace {

bool finite(const QPointF& p) { return std::isfinite(p.x()) && std::isfinite(p.y()); }

constexpr double kHoverReach = 16.0;  // pixels from the mouse to a point that it shows

QString number_text(double value) { return printf_g_text(value, 6); }

}  // namespace

OutputChart::OutputChart(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("ChOutput"));
  setAttribute(Qt::WA_OpaquePaintEvent);
  setMouseTracking(true);
  setFocusPolicy(Qt::ClickFocus);
  setMinimumSize(200, 150);
  scales_[slot(ChartAxis::kY)].automatic = false;
  x_name_ = QStringLiteral("Time");
  reset_button_ = new QToolButton(this);
  reset_button_->setObjectName(QStringLiteral("BtnResetZoom"));
  reset_button_->setText(QStringLiteral("Reset zoom"));
  reset_button_->setToolTip(QStringLiteral("Back to the axes' own scaling (or double-click)"));
  reset_button_->setCursor(Qt::ArrowCursor);
  reset_button_->hide();
  connect(reset_button_, &QToolButton::clicked, this, &OutputChart::reset_zoom);
}

OutputChart::~OutputChart() = default;

void OutputChart::changed() {
  hover_text_.clear();
  reset_button_->setVisible(zoomed());
  update();
}

void OutputChart::set_title(const QString& title) {
  title_ = title;
  update();
}

void OutputChart::set_font_size(double points) {
  font_points_ = std::clamp(points, 4.0, 36.0);
  update();
}

void OutputChart::set_x_title(const QString& title, const QString& unit) {
  x_name_ = title;
  x_unit_ = unit;
  update();
}

QString OutputChart::axis_title(ChartAxis axis) const {
  if (axis == ChartAxis::kX && years_in_use())
    return titled_with_unit(x_name_, QStringLiteral("model years"));
  return axis == ChartAxis::kX ? titled_with_unit(x_name_, chart_unit(x_unit_)) : y_title_;
}

void OutputChart::set_markers_on_lines(bool markers) {
  markers_on_lines_ = markers;
  changed();
}

void OutputChart::set_series_title(int index, const QString& title) {
  series_[static_cast<std::size_t>(index)].title = title;
  changed();
}

void OutputChart::set_time_in_years(bool years) {
  years_ = years;
  changed();
}

bool OutputChart::years_in_use() const {
  return years_ && x_name_ == QLatin1String("Time") && !scales_[0].logarithmic;
}

void OutputChart::set_y_title(const QString& title) {
  y_title_ = title;
  update();
}

void OutputChart::clear_series() {
  for (Series& series : series_) series = Series();
  changed();
}

void OutputChart::set_series(int index, const QString& title, std::vector<QPointF> points,
                             const QString& unit, const QString& note) {
  Series& series = series_[static_cast<std::size_t>(index)];
  series.title = title;
  series.unit = unit.trimmed();
  series.note = note;
  series.style = index;
  series.points = std::move(points);
  series.visible = true;
  changed();
}

void OutputChart::set_style(int index, int style) {
  series_[static_cast<std::size_t>(index)].style = std::clamp(style, 0, kSeriesCount - 1);
  changed();
}

void OutputChart::set_joined(bool joined) {
  joined_ = joined;
  changed();
}

int OutputChart::visible_series() const {
  return static_cast<int>(
      std::count_if(series_.begin(), series_.end(), [](const Series& s) { return s.visible; }));
}

QString OutputChart::legend_text(int index) const {
  const Series& series = slot(index);
  QString text = series.title;
  // Units in the legend when the dependent axis holds several.
  bool mixed = false;
  for (const Series& other : series_) mixed |= other.visible && other.unit != series.unit;
  if (mixed && !series.unit.isEmpty()) text += QStringLiteral(" [") + chart_unit(series.unit) + ']';
  if (!series.note.isEmpty()) return text + QStringLiteral(" (") + series.note + ')';
  DrawnColumns axes;
  axes.x_logarithmic = scales_[0].logarithmic;
  axes.y_logarithmic = scales_[1].logarithmic;
  if (axes.x_logarithmic || axes.y_logarithmic) {
    const std::size_t hidden = points_below_logarithmic_axis(series.points, axes);
    if (hidden > 0) {
      text += QStringLiteral(" (%1 of %2 points at or below 0 not drawn)")
                  .arg(QString::fromStdString(independent_label(static_cast<double>(hidden), 0)))
                  .arg(QString::fromStdString(
                      independent_label(static_cast<double>(series.points.size()), 0)));
    }
  }
  // Values that differ only in their last digits are drawn flat: the legend
  // says over which range they vary.
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const QPointF& p : series.points) {
    if (!std::isfinite(p.y())) continue;
    low = std::min(low, p.y());
    high = std::max(high, p.y());
  }
  if (high > low && rounding_noise(low, high)) {
    const std::vector<std::string> ends = dependent_labels({low, high}, (high - low) / 10.0);
    text += QStringLiteral(" (varies only by rounding noise, %1 to %2)")
                .arg(QString::fromStdString(ends[0]), QString::fromStdString(ends[1]));
  }
  return text;
}

bool OutputChart::data_range(ChartAxis which, double& low, double& high, bool positive_only) const {
  low = std::numeric_limits<double>::infinity();
  high = -low;
  for (const Series& series : series_) {
    if (!series.visible) continue;
    for (const QPointF& p : series.points) {
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
  rescale_axis(ChartAxis::kY);
  rescale_axis(ChartAxis::kX);
}

void OutputChart::rescale_axis(ChartAxis which) {
  AxisScale scale = scales_[slot(which)];
  double low = 0.0;
  double high = 0.0;
  if (data_range(which, low, high, scale.logarithmic)) {
    // Values that differ by rounding alone are not stretched over the plot:
    // the axis treats them as the one value they stand for.
    if (which == ChartAxis::kY && !scale.logarithmic && rounding_noise(low, high)) {
      const double middle = low / 2.0 + high / 2.0;
      low = high = rounding_noise(-std::abs(middle), std::abs(middle)) ? 0.0 : middle;
    }
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

void OutputChart::set_axis_scale(ChartAxis which, const AxisScale& scale) {
  scales_[slot(which)] = scale;
  zoom_[slot(which)].reset();
  changed();
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

std::pair<double, double> OutputChart::shown_range(ChartAxis axis) const {
  if (zoom_[slot(axis)]) return *zoom_[slot(axis)];
  return {scales_[slot(axis)].minimum, scales_[slot(axis)].maximum};
}

void OutputChart::zoom_to(ChartAxis axis, double low, double high) {
  if (low > high) std::swap(low, high);
  const bool logarithmic = scales_[slot(axis)].logarithmic;
  // Zooming stops where the axis could no longer tell its ticks apart.
  const double span = logarithmic ? std::log10(high) - std::log10(low) : high - low;
  const double scale = logarithmic ? 1.0 : std::max(std::abs(low), std::abs(high));
  if (!std::isfinite(span) || !(span > scale * 1e-9) || (logarithmic && !(low > 0.0))) return;
  zoom_[slot(axis)] = std::make_pair(low, high);
  changed();
}

void OutputChart::reset_zoom() {
  zoom_ = {};
  changed();
}

QStringList OutputChart::tick_labels(ChartAxis axis) const {
  QStringList labels;
  const Layout at = layout(QSizeF(size()));
  for (const QString& label : at.labels[slot(axis)]) {
    if (!label.isEmpty()) labels << label;
  }
  return labels;
}

QStringList OutputChart::y_title_lines() const { return layout(QSizeF(size())).y_title_lines; }

QRectF OutputChart::plot_frame() const { return layout(QSizeF(size())).frame; }

QPointF OutputChart::widget_position(QPointF point) const {
  return layout(QSizeF(size())).to_position(point);
}

std::vector<std::size_t> OutputChart::drawn_of(const Layout& at, int index, double detail) const {
  const Series& series = slot(index);
  if (!series.visible || !at.plot) return {};
  DrawnColumns columns{at.range[0].first, at.range[0].second, at.data.width() * detail,
                       at.logarithmic[0], at.logarithmic[1]};
  if (joined_) return drawn_indices(series.points, columns);
  // Markers are a few pixels wide: one per pixel of the chart's layout is
  // as many as any target can tell apart, at any resolution.
  columns.columns = at.data.width();
  const DrawnCells cells{columns, at.range[1].first, at.range[1].second, at.data.height()};
  return scattered_indices(series.points, cells, 8.0);
}

std::vector<QPointF> OutputChart::drawn_points(int index) const {
  const Layout at = layout(QSizeF(size()));
  std::vector<QPointF> drawn;
  for (const std::size_t k : drawn_of(at, index, 1.0)) {
    if (k != kLineBreak) drawn.push_back(slot(index).points[k]);
  }
  return drawn;
}

QPointF OutputChart::to_data(const Layout& at, QPointF position) const {
  return {at.value_at(ChartAxis::kX, (position.x() - at.data.left()) / at.data.width()),
          at.value_at(ChartAxis::kY, (at.data.bottom() - position.y()) / at.data.height())};
}

void OutputChart::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paint(painter, QSizeF(size()), 1.0, true);
}

void OutputChart::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const QSize button = reset_button_->sizeHint();
  reset_button_->move(width() - button.width() - 14, 8);
  hover_text_.clear();
}

void OutputChart::mousePressEvent(QMouseEvent* event) {
  const bool pan = event->button() == Qt::RightButton || event->button() == Qt::MiddleButton ||
                   (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
  if (pan) {
    pan_last_ = event->position();
    setCursor(Qt::ClosedHandCursor);
  } else if (event->button() == Qt::LeftButton) {
    band_start_ = event->position();
    band_end_ = event->position();
  }
  hover_text_.clear();
  update();
}

void OutputChart::mouseMoveEvent(QMouseEvent* event) {
  if (band_start_) {
    band_end_ = event->position();
    update();
    return;
  }
  if (pan_last_) {
    const Layout at = layout(QSizeF(size()));
    if (!at.plot) return;
    const QPointF from = to_data(at, *pan_last_);
    const QPointF to = to_data(at, event->position());
    pan_last_ = event->position();
    for (const ChartAxis axis : {ChartAxis::kX, ChartAxis::kY}) {
      auto [low, high] = shown_range(axis);
      const double a = axis == ChartAxis::kX ? from.x() : from.y();
      const double b = axis == ChartAxis::kX ? to.x() : to.y();
      if (scales_[slot(axis)].logarithmic) {
        zoom_to(axis, low * a / b, high * a / b);
      } else {
        zoom_to(axis, low + a - b, high + a - b);
      }
    }
    return;
  }
  update_hover(event->position());
}

void OutputChart::mouseReleaseEvent(QMouseEvent* event) {
  if (pan_last_) {
    pan_last_.reset();
    unsetCursor();
    return;
  }
  if (!band_start_) return;
  const QRectF band = QRectF(*band_start_, event->position()).normalized();
  band_start_.reset();
  const Layout at = layout(QSizeF(size()));
  // A click is no zoom; a flat band zooms the independent axis only, a thin
  // one the dependent axis only.
  if (at.plot && (band.width() >= 5.0 || band.height() >= 5.0)) {
    const QPointF low = to_data(at, band.bottomLeft());
    const QPointF high = to_data(at, band.topRight());
    if (band.width() >= 5.0) zoom_to(ChartAxis::kX, low.x(), high.x());
    if (band.height() >= 5.0) zoom_to(ChartAxis::kY, low.y(), high.y());
  }
  update();
}

void OutputChart::mouseDoubleClickEvent(QMouseEvent*) { reset_zoom(); }

void OutputChart::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && zoomed()) {
    reset_zoom();
    return;
  }
  QWidget::keyPressEvent(event);
}

void OutputChart::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0.0) return;
  // One notch forwards shows 80 % of the range around the mouse; shift zooms
  // the independent axis alone.
  zoom_about(event->position(), std::pow(0.8, notches),
             (event->modifiers() & Qt::ShiftModifier) != 0);
  event->accept();
}

void OutputChart::zoom_about(QPointF position, double factor, bool x_only) {
  const Layout at = layout(QSizeF(size()));
  if (!at.plot) return;
  const QPointF centre = to_data(at, position);
  for (const ChartAxis axis : {ChartAxis::kX, ChartAxis::kY}) {
    if (x_only && axis == ChartAxis::kY) continue;
    const auto [low, high] = shown_range(axis);
    const double c = axis == ChartAxis::kX ? centre.x() : centre.y();
    if (scales_[slot(axis)].logarithmic) {
      zoom_to(axis, c * std::pow(low / c, factor), c * std::pow(high / c, factor));
    } else {
      zoom_to(axis, c + (low - c) * factor, c + (high - c) * factor);
    }
  }
}

void OutputChart::leaveEvent(QEvent*) {
  if (!hover_text_.isEmpty()) {
    hover_text_.clear();
    update();
  }
}

void OutputChart::update_hover(QPointF position) {
  const Layout at = layout(QSizeF(size()));
  QString text;
  QPointF nearest;
  if (at.plot && at.frame.contains(position)) {
    double best = kHoverReach * kHoverReach;
    for (int i = 0; i < kSeriesCount; ++i) {
      const Series& series = slot(i);
      if (!series.visible) continue;
      for (const std::size_t k : drawn_of(at, i, 1.0)) {
        if (k == kLineBreak) continue;
        const QPointF p = at.to_position(series.points[k]);
        const QPointF d = p - position;
        const double distance = d.x() * d.x() + d.y() * d.y();
        if (distance >= best) continue;
        best = distance;
        nearest = p;
        const QPointF& point = series.points[k];
        const QString x = x_name_ == QLatin1String("Time")
                              ? QString::fromStdString(independent_label(
                                    point.x(), point.x() == std::floor(point.x()) ? 0 : 1))
                              : number_text(point.x());
        text = series.title + '\n' + x_name_ + QStringLiteral(": ") + x +
               (x_unit_.isEmpty() ? QString() : ' ' + chart_unit(x_unit_)) + '\n' +
               number_text(point.y()) +
               (series.unit.isEmpty() ? QString() : ' ' + chart_unit(series.unit));
      }
    }
  }
  if (text != hover_text_ || nearest != hover_point_) {
    hover_text_ = text;
    hover_point_ = nearest;
    update();
  }
}

}  // namespace vindrel::ui
