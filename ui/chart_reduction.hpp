// Which points of a series a chart draws. A century of daily output holds
// 36,600 points per series, and a plot is about a thousand pixels wide: per
// pixel column only the lowest and the highest point are drawn, which covers
// the same pixels as the line through every point. Points that the axes
// cannot show (not finite, or at or below 0 on a logarithmic axis) break the
// line. Free of Qt: a point type needs only x() and y().
#pragma once

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

namespace vindrel::ui {

// The shown X range, spread over `columns` pixel columns, and the axes' types.
struct DrawnColumns {
  double minimum = 0.0;
  double maximum = 1.0;
  double columns = 100.0;
  bool x_logarithmic = false;
  bool y_logarithmic = false;
};

// Stands in the list of drawn points where the line stops and starts again.
inline constexpr std::size_t kLineBreak = std::numeric_limits<std::size_t>::max();

// Whether the axes can show the point.
inline bool drawable_point(double x, double y, const DrawnColumns& axes) {
  return std::isfinite(x) && std::isfinite(y) && !(axes.x_logarithmic && x <= 0.0) &&
         !(axes.y_logarithmic && y <= 0.0);
}

// Finite points that a logarithmic axis cannot show (a value at or below 0).
template <class Points>
std::size_t points_below_logarithmic_axis(const Points& points, const DrawnColumns& axes) {
  std::size_t count = 0;
  for (const auto& p : points) {
    if (std::isfinite(p.x()) && std::isfinite(p.y()) && !drawable_point(p.x(), p.y(), axes))
      ++count;
  }
  return count;
}

// The indices of the points to draw, in order, with kLineBreak between the
// pieces of the line. When the X values never decrease and there are more
// than two points per column, each pixel column keeps its lowest and highest
// point (in their order), and beyond the shown range only the nearest point
// on each side, so that the line leaves the plot at the right slope.
// Otherwise every point the axes can show is kept.
template <class Points>
std::vector<std::size_t> drawn_indices(const Points& points, const DrawnColumns& axes) {
  std::vector<std::size_t> drawn;
  const std::size_t count = points.size();
  const auto add_break = [&] {
    if (!drawn.empty() && drawn.back() != kLineBreak) drawn.push_back(kLineBreak);
  };
  bool ascending = true;
  for (std::size_t k = 1; k < count && ascending; ++k) {
    ascending = !(points[k].x() < points[k - 1].x());
  }
  const double width = axes.columns < 1.0 ? 1.0 : axes.columns;
  const bool reduce = ascending && static_cast<double>(count) > 2.0 * width &&
                      axes.maximum > axes.minimum && !(axes.x_logarithmic && axes.minimum <= 0.0);
  if (!reduce) {
    drawn.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
      if (drawable_point(points[k].x(), points[k].y(), axes)) {
        drawn.push_back(k);
      } else {
        add_break();
      }
    }
    if (!drawn.empty() && drawn.back() == kLineBreak) drawn.pop_back();
    return drawn;
  }
  const auto position = [&](double x) {
    if (axes.x_logarithmic) {
      return (std::log(x) - std::log(axes.minimum)) /
             (std::log(axes.maximum) - std::log(axes.minimum));
    }
    return (x - axes.minimum) / (axes.maximum - axes.minimum);
  };
  drawn.reserve(static_cast<std::size_t>(2.0 * width) + 8);
  const auto right = static_cast<long long>(width);
  long long column = 0;
  std::size_t low = 0;
  std::size_t high = 0;
  bool open = false;
  std::size_t before = kLineBreak;  // the last point left of the range, if any
  const auto flush = [&] {
    if (!open) return;
    drawn.push_back(low < high ? low : high);
    if (low != high) drawn.push_back(low < high ? high : low);
    open = false;
  };
  for (std::size_t k = 0; k < count; ++k) {
    const double x = points[k].x();
    const double y = points[k].y();
    if (!drawable_point(x, y, axes)) {
      flush();
      before = kLineBreak;
      add_break();
      continue;
    }
    const double t = position(x);
    if (t < 0.0) {
      before = k;
      continue;
    }
    if (before != kLineBreak) {
      drawn.push_back(before);
      before = kLineBreak;
    }
    const long long c = t > 1.0 ? right + 1 : static_cast<long long>(t * width);
    if (c > right) {
      flush();
      drawn.push_back(k);
      break;
    }
    if (!open || c != column) {
      flush();
      column = c;
      low = high = k;
      open = true;
      continue;
    }
    if (y < points[low].y()) low = k;
    if (y > points[high].y()) high = k;
  }
  if (before != kLineBreak) drawn.push_back(before);
  flush();
  if (!drawn.empty() && drawn.back() == kLineBreak) drawn.pop_back();
  return drawn;
}

// The shown X and Y ranges spread over a grid of `columns` by `rows` pixel
// cells, for points drawn as markers without a line.
struct DrawnCells {
  DrawnColumns x;
  double y_minimum = 0.0;
  double y_maximum = 1.0;
  double rows = 100.0;
};

// The indices of the points to draw as markers, in order: of the points that
// fall in one pixel cell only the last is kept, since it is the one painted
// over the others; points outside the shown ranges (beyond a margin of a few
// cells, where a marker still reaches into the plot) are left out. A scatter
// of a century of daily values against a driver so draws at most one marker
// per pixel, however dense its cloud.
template <class Points>
std::vector<std::size_t> scattered_indices(const Points& points, const DrawnCells& cells,
                                           double margin = 4.0) {
  std::vector<std::size_t> drawn;
  const DrawnColumns& axes = cells.x;
  const bool x_log = axes.x_logarithmic;
  const bool y_log = axes.y_logarithmic;
  if (!(axes.maximum > axes.minimum) || !(cells.y_maximum > cells.y_minimum) ||
      (x_log && !(axes.minimum > 0.0)) || (y_log && !(cells.y_minimum > 0.0))) {
    return drawn;
  }
  const auto fraction = [](double v, double low, double high, bool logarithmic) {
    if (logarithmic) return (std::log(v) - std::log(low)) / (std::log(high) - std::log(low));
    return (v - low) / (high - low);
  };
  const double width = axes.columns < 1.0 ? 1.0 : std::floor(axes.columns);
  const double height = cells.rows < 1.0 ? 1.0 : std::floor(cells.rows);
  const auto across = static_cast<std::size_t>(width + 2.0 * margin) + 1;
  const auto down = static_cast<std::size_t>(height + 2.0 * margin) + 1;
  std::vector<bool> taken(across * down, false);
  for (std::size_t k = points.size(); k-- > 0;) {
    const double x = points[k].x();
    const double y = points[k].y();
    if (!drawable_point(x, y, axes)) continue;
    const double column =
        std::floor(fraction(x, axes.minimum, axes.maximum, x_log) * width) + margin;
    const double row =
        std::floor(fraction(y, cells.y_minimum, cells.y_maximum, y_log) * height) + margin;
    if (!(column >= 0.0 && row >= 0.0 && column < static_cast<double>(across) &&
          row < static_cast<double>(down)))
      continue;
    const std::size_t cell =
        static_cast<std::size_t>(row) * across + static_cast<std::size_t>(column);
    if (taken[cell]) continue;
    taken[cell] = true;
    drawn.push_back(k);
  }
  return {drawn.rbegin(), drawn.rend()};
}

}  // namespace vindrel::ui
