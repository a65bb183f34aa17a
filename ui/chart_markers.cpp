#include "ui/chart_markers.hpp"

#include <QImage>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPen>
#include <algorithm>
#include <array>
#include <cmath>

namespace vindrel::ui {
namespace {

// The ten series' point styles, and colours that readers with the common
// forms of colour blindness tell apart, that stay apart when printed, and
// that differ most where two series share a point style (1 and 9, 2 and 7,
// 3 and 6, 5 and 10). Series 1, 2 and 4 keep red, green and blue.
const std::array<SeriesStyle, 10> kStyles = {{
    {Marker::kRectangle, QColor(213, 94, 0)},       // vermilion
    {Marker::kCircle, QColor(0, 158, 115)},         // bluish green
    {Marker::kTriangle, QColor(230, 159, 0)},       // orange
    {Marker::kCross, QColor(0, 114, 178)},          // blue
    {Marker::kDownTriangle, QColor(0, 0, 0)},       // black
    {Marker::kTriangle, QColor(120, 120, 120)},     // grey
    {Marker::kCircle, QColor(136, 34, 85)},         // wine
    {Marker::kDiamond, QColor(153, 153, 51)},       // olive
    {Marker::kRectangle, QColor(86, 180, 233)},     // sky blue
    {Marker::kDownTriangle, QColor(170, 68, 153)},  // purple
}};

// A marker centred on p, added to `path`.
void add_marker(QPainterPath& path, Marker marker, QPointF p, double r) {
  switch (marker) {
    case Marker::kRectangle:
      path.addRect(QRectF(p.x() - r * 0.9, p.y() - r * 0.9, r * 1.8, r * 1.8));
      break;
    case Marker::kCircle:
      path.addEllipse(p, r, r);
      break;
    case Marker::kTriangle:
      path.moveTo(p.x(), p.y() - r * 1.1);
      path.lineTo(p.x() + r, p.y() + r * 0.8);
      path.lineTo(p.x() - r, p.y() + r * 0.8);
      path.closeSubpath();
      break;
    case Marker::kDownTriangle:
      path.moveTo(p.x() - r, p.y() - r * 0.8);
      path.lineTo(p.x() + r, p.y() - r * 0.8);
      path.lineTo(p.x(), p.y() + r * 1.1);
      path.closeSubpath();
      break;
    case Marker::kDiamond:
      path.moveTo(p.x(), p.y() - r * 1.2);
      path.lineTo(p.x() + r * 1.2, p.y());
      path.lineTo(p.x(), p.y() + r * 1.2);
      path.lineTo(p.x() - r * 1.2, p.y());
      path.closeSubpath();
      break;
    case Marker::kCross:
      path.moveTo(p.x() - r * 1.2, p.y());
      path.lineTo(p.x() + r * 1.2, p.y());
      path.moveTo(p.x(), p.y() - r * 1.2);
      path.lineTo(p.x(), p.y() + r * 1.2);
      break;
  }
}

// One marker with its rim, drawn centred on p.
void draw_marker(QPainter& painter, Marker marker, QPointF p, const QPen& rim, const QPen& ink) {
  const double r = kMarkerRadius;
  if (marker == Marker::kCross) {
    QPainterPath cross;
    add_marker(cross, marker, p, r);
    painter.strokePath(cross, rim);
    painter.strokePath(cross, ink);
  } else if (marker == Marker::kRectangle) {
    painter.drawRect(QRectF(p.x() - r * 0.9, p.y() - r * 0.9, r * 1.8, r * 1.8));
  } else if (marker == Marker::kCircle) {
    painter.drawEllipse(p, r, r);
  } else {
    QPainterPath shape;
    add_marker(shape, marker, p, r);
    painter.drawPath(shape);
  }
}

}  // namespace

const SeriesStyle& series_style(int style) {
  return kStyles[static_cast<std::size_t>(
      std::clamp(style, 0, static_cast<int>(kStyles.size()) - 1))];
}

void draw_markers(QPainter& painter, Marker marker, const std::vector<QPointF>& centres,
                  const QColor& colour) {
  if (centres.empty()) return;
  const QPen rim = marker == Marker::kCross ? QPen(Qt::white, 3.6, Qt::SolidLine, Qt::FlatCap)
                                            : QPen(Qt::white, 0.9);
  const QPen ink(colour, 2.0, Qt::SolidLine, Qt::FlatCap);
  painter.setPen(rim);
  painter.setBrush(colour);
  // The painter's own transformation: a widget's painter also moves to the
  // widget's place in its window, which Qt keeps applying after a reset.
  const QTransform world = painter.worldTransform();
  const bool stamp = centres.size() > 64 && painter.paintEngine()->type() == QPaintEngine::Raster &&
                     world.type() <= QTransform::TxScale;
  if (!stamp) {
    for (const QPointF& centre : centres) draw_marker(painter, marker, centre, rim, ink);
    painter.setBrush(Qt::NoBrush);
    return;
  }
  // The stamp is drawn at the device's pixels (a high-density screen's too).
  const double ratio = painter.device()->devicePixelRatioF();
  const double scale = world.m11() * ratio;
  const int half = static_cast<int>(std::ceil((kMarkerRadius * 1.2 + 2.0) * scale));
  QImage sprite(2 * half + 1, 2 * half + 1, QImage::Format_ARGB32_Premultiplied);
  sprite.fill(Qt::transparent);
  {
    QPainter on_sprite(&sprite);
    on_sprite.setRenderHint(QPainter::Antialiasing);
    on_sprite.translate(half + 0.5, half + 0.5);
    on_sprite.scale(scale, scale);
    on_sprite.setPen(rim);
    on_sprite.setBrush(colour);
    draw_marker(on_sprite, marker, QPointF(0.0, 0.0), rim, ink);
  }
  sprite.setDevicePixelRatio(ratio);
  painter.save();
  painter.resetTransform();  // the clip stays where it was set
  for (const QPointF& centre : centres) {
    const QPointF at = world.map(centre) * ratio;
    painter.drawImage(
        QPointF((std::floor(at.x()) - half) / ratio, (std::floor(at.y()) - half) / ratio), sprite);
  }
  painter.restore();
  painter.setBrush(Qt::NoBrush);
}

}  // namespace vindrel::ui
