// The chart's ten series styles (point style and colour) and the drawing of
// their markers, on the screen, into images and into vector drawings.
#pragma once

#include <QColor>
#include <QPointF>
#include <vector>

class QPainter;

namespace vindrel::ui {

enum class Marker { kRectangle, kCircle, kTriangle, kCross, kDownTriangle, kDiamond };

struct SeriesStyle {
  Marker marker;
  QColor colour;
};

// Half a marker's width, its white rim included, in pixels of the layout.
inline constexpr double kMarkerRadius = 3.8;

// Style 0 to 9 (others are clamped).
const SeriesStyle& series_style(int style);

// Markers with a white rim, so that they stand out from a dense line of
// their own colour. Each is drawn whole over those before it, so that
// overlapping markers cover one another as points on paper do. Into an image,
// many markers are stamped from one drawn at the image's resolution.
void draw_markers(QPainter& painter, Marker marker, const std::vector<QPointF>& centres,
                  const QColor& colour);

}  // namespace vindrel::ui
