// The output display's chart laid out at one size and painted: the same
// routine serves the window, the picture files and the printer.
#include <QFontMetricsF>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "core/model_constants.hpp"
#include "ui/chart_markers.hpp"
#include "ui/chart_reduction.hpp"
#include "ui/output_chart_layout.hpp"

namespace vindrel::ui {
namespace {

constexpr double kMargin = 10.0;         // around the whole chart
constexpr double kPadding = 8.0;         // between the frame and the data
constexpr double kTickLength = 4.0;      // outside the frame
constexpr double kMarkerSpacing = 16.0;  // least distance of markers along a dense line
constexpr double kLineWidth = 1.25;
constexpr qsizetype kRasterPiece = 16;  // points of a line stroked at once into an image

// The dependent axis's title in lines no longer than `room`, broken between
// its units ("; ") and, only where one unit is longer than a line, at spaces,
// so that it is never cut.
QStringList wrapped(const QString& text, const QFontMetricsF& metrics, double room) {
  if (text.isEmpty()) return {};
  if (metrics.horizontalAdvance(text) <= room) return {text};
  QStringList lines;
  const auto fits = [&](const QString& line) { return metrics.horizontalAdvance(line) <= room; };
  const QStringList units = text.split(QStringLiteral("; "));
  for (qsizetype k = 0; k < units.size(); ++k) {
    const QString unit = units[k] + (k + 1 < units.size() ? QStringLiteral(";") : QString());
    if (!lines.isEmpty() && fits(lines.back() + ' ' + unit)) {
      lines.back() += ' ' + unit;
    } else if (fits(unit)) {
      lines << unit;
    } else {
      for (const QString& word : unit.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!lines.isEmpty() && fits(lines.back() + ' ' + word)) {
          lines.back() += ' ' + word;
        } else {
          lines << word;
        }
      }
    }
  }
  return lines;
}

// Labels every `every`-th labelled tick so that neighbours keep `gap` apart.
void thin_labels(QStringList& labels, const std::vector<double>& positions,
                 const std::vector<double>& sizes, double gap) {
  for (int every = 1; every <= 20; ++every) {
    bool fits = true;
    double last_end = -1e300;
    int seen = 0;
    for (qsizetype k = 0; k < labels.size() && fits; ++k) {
      if (labels[k].isEmpty()) continue;
      if (seen++ % every != 0) continue;
      const double start =
          positions[static_cast<std::size_t>(k)] - sizes[static_cast<std::size_t>(k)] / 2;
      fits = start >= last_end + gap;
      last_end = start + sizes[static_cast<std::size_t>(k)];
    }
    if (!fits) continue;
    seen = 0;
    for (QString& label : labels) {
      if (!label.isEmpty() && seen++ % every != 0) label.clear();
    }
    return;
  }
}

}  // namespace

double OutputChart::Layout::fraction(ChartAxis axis, double value) const {
  const auto [low, high] = range[slot(axis)];
  if (logarithmic[slot(axis)]) {
    if (!(value > 0.0) || !(low > 0.0)) return std::nan("");
    return (std::log(value) - std::log(low)) / (std::log(high) - std::log(low));
  }
  return (value - low) / (high - low);
}

double OutputChart::Layout::value_at(ChartAxis axis, double t) const {
  const auto [low, high] = range[slot(axis)];
  if (logarithmic[slot(axis)])
    return std::exp(std::log(low) + t * (std::log(high) - std::log(low)));
  return low + t * (high - low);
}

QPointF OutputChart::Layout::to_position(QPointF point) const {
  return {data.left() + fraction(ChartAxis::kX, point.x()) * data.width(),
          data.bottom() - fraction(ChartAxis::kY, point.y()) * data.height()};
}

OutputChart::Layout OutputChart::layout(QSizeF size) const {
  Layout out;
  out.text_font = font();
  // Points on paper as pixels of the layout, which is laid out at 96 dpi.
  const double text_pixels = font_points_ * 96.0 / 72.0;
  out.text_font.setPixelSize(std::max(1, static_cast<int>(std::lround(text_pixels))));
  out.title_font = out.text_font;
  out.title_font.setPixelSize(std::max(1, static_cast<int>(std::lround(text_pixels * 4.0 / 3.0))));
  out.title_font.setBold(true);
  const QFontMetricsF text(out.text_font);
  const QFontMetricsF heading(out.title_font);
  out.line_height = text.height();
  for (const ChartAxis axis : {ChartAxis::kX, ChartAxis::kY}) {
    out.range[slot(axis)] = shown_range(axis);
    out.logarithmic[slot(axis)] = scales_[slot(axis)].logarithmic;
  }
  out.x_title = axis_title(ChartAxis::kX);

  const double width = size.width();
  double top = kMargin;
  if (!title_.isEmpty()) {
    out.title = QRectF(kMargin, top, width - 2 * kMargin, heading.height());
    top += heading.height() + 6.0;
  }
  // The legend: entries in rows under the plot, each row centred.
  double bottom = size.height() - kMargin;
  {
    std::vector<std::vector<std::pair<int, double>>> rows(1);
    double row_width = 0.0;
    for (int i = 0; i < kSeriesCount; ++i) {
      if (!series_[static_cast<std::size_t>(i)].visible) continue;
      const double entry = 30.0 + text.horizontalAdvance(legend_text(i));
      if (!rows.back().empty() && row_width + entry > width - 2 * kMargin) {
        rows.emplace_back();
        row_width = 0.0;
      }
      rows.back().push_back({i, entry});
      row_width += entry + 18.0;
    }
    if (!rows.front().empty()) {
      const double row_height = out.line_height + 3.0;
      bottom -= static_cast<double>(rows.size()) * row_height;
      double y = bottom;
      for (const auto& row : rows) {
        double used = -18.0;
        for (const auto& entry : row) used += entry.second + 18.0;
        double x = std::max(kMargin, (width - used) / 2.0);
        for (const auto& [series, entry] : row) {
          out.legend.push_back({series, QRectF(x, y, entry, row_height)});
          x += entry + 18.0;
        }
        y += row_height;
      }
      bottom -= 8.0;
    }
  }
  const bool have_x_title = !out.x_title.isEmpty();
  out.x_title_top = bottom - (have_x_title ? out.line_height : 0.0);
  out.x_labels_top = out.x_title_top - (have_x_title ? 4.0 : 0.0) - out.line_height;
  const double frame_bottom = out.x_labels_top - kTickLength - 3.0;
  const double frame_top = top + out.line_height / 2.0;
  const double frame_height = frame_bottom - frame_top;

  // Dependent ticks first: their labels' width sets the left margin.
  const auto make_ticks = [&](ChartAxis axis, double length, double label_size) {
    const AxisScale& scale = scales_[slot(axis)];
    const auto [low, high] = out.range[slot(axis)];
    const int wanted = std::clamp(static_cast<int>(length / label_size), 2, 10);
    std::vector<Tick> ticks;
    const bool years = axis == ChartAxis::kX && years_in_use();
    if (years) {
      ticks = model_year_ticks(low, high, kModelYearDays, wanted);
    } else if (scale.logarithmic) {
      ticks = logarithmic_ticks(low, high, wanted);
    } else if (scale.automatic || zoom_[slot(axis)]) {
      // At least two labels where a finer increment gives them.
      for (int more = wanted; ticks.size() < 2 && more <= 4 * wanted; more *= 2)
        ticks = linear_ticks(low, high, nice_increment(low, high, more), 0.0);
    } else {
      ticks = linear_ticks(low, high, scale.increment, scale.minimum);
    }
    // Whole days need no decimals; finer ticks the decimals that tell them apart.
    const double step = ticks.size() > 1 ? ticks[1].value - ticks[0].value : high - low;
    std::vector<double> values;
    for (const Tick& tick : ticks) values.push_back(tick.value);
    const std::vector<std::string> linear = axis == ChartAxis::kY && !scale.logarithmic
                                                ? dependent_labels(values, step)
                                                : std::vector<std::string>{};
    QStringList labels;
    for (std::size_t k = 0; k < ticks.size(); ++k) {
      const Tick& tick = ticks[k];
      if (!tick.labelled) {
        labels << QString();
      } else if (scale.logarithmic) {
        labels << QString::fromStdString(logarithmic_label(tick.value, axis == ChartAxis::kX));
      } else if (years) {
        labels << QString::fromStdString(
            independent_label(model_year_of(tick.value, kModelYearDays), 0));
      } else if (axis == ChartAxis::kX) {
        labels << QString::fromStdString(independent_label(tick.value, label_decimals(step)));
      } else {
        labels << QString::fromStdString(linear[k]);
      }
    }
    out.ticks[slot(axis)] = std::move(ticks);
    out.labels[slot(axis)] = std::move(labels);
  };
  if (frame_height < 20.0 || width < 80.0) return out;
  make_ticks(ChartAxis::kY, frame_height, 3.0 * out.line_height);
  double label_width = 0.0;
  for (const QString& label : out.labels[1])
    label_width = std::max(label_width, text.horizontalAdvance(label));
  out.y_title_lines = wrapped(y_title_, text, frame_height);
  const double title_width = static_cast<double>(out.y_title_lines.size()) * out.line_height;
  out.y_title_left = kMargin;
  out.y_labels_right = kMargin + title_width + (title_width > 0 ? 6.0 : 0.0) + label_width;
  const double left = out.y_labels_right + 3.0 + kTickLength;
  const double right = kMargin + text.horizontalAdvance(QStringLiteral("00,000.0")) / 2.0;
  if (width - right - left < 40.0) return out;
  out.frame = QRectF(left, frame_top, width - right - left, frame_height);
  out.data = out.frame.adjusted(kPadding, kPadding, -kPadding, -kPadding);
  out.plot = true;
  make_ticks(ChartAxis::kX, out.data.width(), 90.0);

  // Labels that would run into each other are thinned out.
  for (const ChartAxis axis : {ChartAxis::kX, ChartAxis::kY}) {
    std::vector<double> positions;
    std::vector<double> sizes;
    for (qsizetype k = 0; k < out.labels[slot(axis)].size(); ++k) {
      const double t = out.fraction(axis, out.ticks[slot(axis)][static_cast<std::size_t>(k)].value);
      positions.push_back(t * (axis == ChartAxis::kX ? out.data.width() : out.data.height()));
      sizes.push_back(axis == ChartAxis::kX ? text.horizontalAdvance(out.labels[slot(axis)][k])
                                            : out.line_height);
    }
    thin_labels(out.labels[slot(axis)], positions, sizes, axis == ChartAxis::kX ? 12.0 : 2.0);
  }
  return out;
}

void OutputChart::paint(QPainter& painter, QSizeF size, double detail, bool screen) const {
  const Layout at = layout(size);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setRenderHint(QPainter::TextAntialiasing);
  painter.fillRect(QRectF(QPointF(0, 0), size), Qt::white);
  const QColor ink(40, 40, 40);
  if (!title_.isEmpty()) {
    painter.setFont(at.title_font);
    painter.setPen(ink);
    painter.drawText(at.title, Qt::AlignCenter, title_);
  }
  painter.setFont(at.text_font);
  if (at.plot) {
    // Grid lines at the ticks, lighter for the minor ones.
    const QColor grid(225, 225, 225);
    const QColor minor_grid(242, 242, 242);
    for (const ChartAxis axis : {ChartAxis::kX, ChartAxis::kY}) {
      for (const Tick& tick : at.ticks[slot(axis)]) {
        const double t = at.fraction(axis, tick.value);
        if (!std::isfinite(t)) continue;
        painter.setPen(QPen(tick.labelled ? grid : minor_grid, 1.0));
        if (axis == ChartAxis::kX) {
          const double x = at.data.left() + t * at.data.width();
          painter.drawLine(QPointF(x, at.frame.top()), QPointF(x, at.frame.bottom()));
        } else {
          const double y = at.data.bottom() - t * at.data.height();
          painter.drawLine(QPointF(at.frame.left(), y), QPointF(at.frame.right(), y));
        }
      }
    }
    // The series, clipped to the frame.
    painter.save();
    painter.setClipRect(at.frame);
    DrawnColumns columns;
    columns.minimum = at.range[0].first;
    columns.maximum = at.range[0].second;
    columns.columns = at.data.width() * detail;
    columns.x_logarithmic = at.logarithmic[0];
    columns.y_logarithmic = at.logarithmic[1];
    for (int i = 0; i < kSeriesCount; ++i) {
      const Series& series = series_[static_cast<std::size_t>(i)];
      if (!series.visible) continue;
      const SeriesStyle& style = series_style(series_[static_cast<std::size_t>(i)].style);
      const std::vector<std::size_t> drawn = drawn_of(at, i, detail);
      std::vector<QPointF> markers;
      if (!joined_) {
        // A scatter: a marker on every point kept, no line.
        markers.reserve(drawn.size());
        for (const std::size_t k : drawn) markers.push_back(at.to_position(series.points[k]));
        draw_markers(painter, style.marker, markers, style.colour);
        continue;
      }
      QPen pen(style.colour, kLineWidth);
      pen.setJoinStyle(Qt::BevelJoin);
      QPolygonF line;
      const bool dense = static_cast<double>(drawn.size()) * kMarkerSpacing > 2.0 * at.data.width();
      const auto finish = [&] {
        painter.setPen(pen);
        if (line.size() > 1) painter.drawPolyline(line);
        line.clear();
      };
      // A raster stroker fills the outline of a whole polyline at once, and
      // its time grows faster than the line's length: images get the line
      // in short pieces, vector pictures in one.
      const bool raster = painter.paintEngine()->type() == QPaintEngine::Raster;
      for (const std::size_t k : drawn) {
        if (k == kLineBreak) {
          finish();
          continue;
        }
        const QPointF p = at.to_position(series.points[k]);
        line << p;
        if (raster && line.size() >= kRasterPiece) {
          finish();
          line << p;
        }
        // Markers on every point of a sparse line.
        if (!dense) markers.push_back(p);
      }
      finish();
      // On a dense line, markers at evenly spaced times on the record there,
      // so that a century stays a line with its series' points on it.
      const auto by_x = [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); };
      if (dense && std::is_sorted(series.points.begin(), series.points.end(), by_x)) {
        for (double x = at.data.left(); x <= at.data.right(); x += kMarkerSpacing) {
          const QPointF wanted(at.value_at(ChartAxis::kX, (x - at.data.left()) / at.data.width()),
                               0.0);
          const auto found =
              std::lower_bound(series.points.begin(), series.points.end(), wanted, by_x);
          if (found == series.points.end() || !drawable_point(found->x(), found->y(), columns))
            continue;
          markers.push_back(at.to_position(*found));
        }
      } else if (dense) {
        double last_marker = -1e300;
        for (const std::size_t k : drawn) {
          if (k == kLineBreak) continue;
          const QPointF p = at.to_position(series.points[k]);
          if (std::abs(p.x() - last_marker) < kMarkerSpacing) continue;
          markers.push_back(p);
          last_marker = p.x();
        }
      }
      if (markers_on_lines_) draw_markers(painter, style.marker, markers, style.colour);
    }
    painter.restore();

    // Frame, ticks and their labels.
    painter.setPen(QPen(QColor(110, 110, 110), 1.0));
    painter.drawRect(at.frame);
    const QFontMetricsF text(at.text_font);
    for (const ChartAxis axis : {ChartAxis::kX, ChartAxis::kY}) {
      const auto& ticks = at.ticks[slot(axis)];
      for (std::size_t k = 0; k < ticks.size(); ++k) {
        const double t = at.fraction(axis, ticks[k].value);
        if (!std::isfinite(t)) continue;
        const QString& label = at.labels[slot(axis)][static_cast<qsizetype>(k)];
        const double tick = ticks[k].labelled ? kTickLength : kTickLength / 2.0;
        painter.setPen(QPen(QColor(110, 110, 110), 1.0));
        if (axis == ChartAxis::kX) {
          const double x = at.data.left() + t * at.data.width();
          painter.drawLine(QPointF(x, at.frame.bottom()), QPointF(x, at.frame.bottom() + tick));
          if (label.isEmpty()) continue;
          painter.setPen(ink);
          const double w = text.horizontalAdvance(label) + 4.0;
          painter.drawText(QRectF(x - w / 2.0, at.x_labels_top, w, at.line_height), Qt::AlignCenter,
                           label);
        } else {
          const double y = at.data.bottom() - t * at.data.height();
          painter.drawLine(QPointF(at.frame.left() - tick, y), QPointF(at.frame.left(), y));
          if (label.isEmpty()) continue;
          painter.setPen(ink);
          painter.drawText(QRectF(at.y_title_left, y - at.line_height / 2.0,
                                  at.y_labels_right - at.y_title_left, at.line_height),
                           Qt::AlignRight | Qt::AlignVCenter, label);
        }
      }
    }
    painter.setPen(ink);
    painter.drawText(QRectF(at.frame.left(), at.x_title_top, at.frame.width(), at.line_height),
                     Qt::AlignCenter, at.x_title);
    // The dependent title turned to read upwards, one line beside the other.
    for (qsizetype k = 0; k < at.y_title_lines.size(); ++k) {
      painter.save();
      painter.translate(at.y_title_left + static_cast<double>(k) * at.line_height,
                        at.frame.center().y());
      painter.rotate(-90.0);
      painter.drawText(QRectF(-at.frame.height() / 2.0, 0.0, at.frame.height(), at.line_height),
                       Qt::AlignCenter, at.y_title_lines[k]);
      painter.restore();
    }
  }
  // The legend: each series' line and point style, then its entry.
  for (const auto& [i, box] : at.legend) {
    const SeriesStyle& style = series_style(series_[static_cast<std::size_t>(i)].style);
    const double y = box.center().y();
    if (joined_) {
      painter.setPen(QPen(style.colour, kLineWidth));
      painter.drawLine(QPointF(box.left(), y), QPointF(box.left() + 24.0, y));
    }
    if (!joined_ || markers_on_lines_)
      draw_markers(painter, style.marker, {QPointF(box.left() + 12.0, y)}, style.colour);
    painter.setPen(ink);
    painter.drawText(box.adjusted(30.0, 0.0, 0.0, 0.0), Qt::AlignLeft | Qt::AlignVCenter,
                     legend_text(i));
  }
  if (screen && at.plot) {
    if (band_start_) {
      painter.setPen(QPen(QColor(0, 114, 178), 1.0, Qt::DashLine));
      painter.setBrush(QColor(0, 114, 178, 30));
      painter.drawRect(QRectF(*band_start_, band_end_).normalized());
      painter.setBrush(Qt::NoBrush);
    }
    if (!hover_text_.isEmpty()) {
      painter.setPen(QPen(ink, 1.5));
      painter.drawEllipse(hover_point_, 5.0, 5.0);
      const QFontMetricsF text(at.text_font);
      const QRectF needed = text.boundingRect(QRectF(0, 0, 400, 200), Qt::AlignLeft, hover_text_);
      QRectF box(hover_point_ + QPointF(12.0, 12.0), needed.size() + QSizeF(12.0, 8.0));
      if (box.right() > at.frame.right()) box.moveRight(hover_point_.x() - 12.0);
      if (box.bottom() > at.frame.bottom()) box.moveBottom(hover_point_.y() - 12.0);
      painter.setPen(QPen(QColor(150, 150, 150), 1.0));
      painter.setBrush(QColor(255, 255, 240, 235));
      painter.drawRect(box);
      painter.setPen(ink);
      painter.drawText(box.adjusted(6.0, 4.0, -6.0, -4.0), Qt::AlignLeft, hover_text_);
    }
  }
  painter.restore();
}

}  // namespace vindrel::ui
