// Which points of a series the chart draws: every point of a short series,
// the lowest and highest per pixel column of a long one, the nearest points
// beyond a zoomed range, and breaks where the axes cannot show a point.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "ui/chart_reduction.hpp"

namespace vindrel::ui {
namespace {

struct Point {
  double px;
  double py;
  double x() const { return px; }
  double y() const { return py; }
};

constexpr std::size_t B = kLineBreak;
const double kNan = std::nan("");

TEST(ChartReduction, AShortSeriesKeepsEveryPointAndBreaksAtGaps) {
  const std::vector<Point> points = {{1, 2}, {2, kNan}, {3, 0}, {4, -1}, {5, 3}};
  DrawnColumns linear{1.0, 5.0, 100.0, false, false};
  EXPECT_EQ(drawn_indices(points, linear), (std::vector<std::size_t>{0, B, 2, 3, 4}));
  // On a logarithmic Y axis the points at or below 0 break the line too, and
  // they are counted (the NaN is not: no axis could show it).
  DrawnColumns log_y = linear;
  log_y.y_logarithmic = true;
  EXPECT_EQ(drawn_indices(points, log_y), (std::vector<std::size_t>{0, B, 4}));
  EXPECT_EQ(points_below_logarithmic_axis(points, log_y), 2u);
  EXPECT_EQ(points_below_logarithmic_axis(points, linear), 0u);
  // A series whose X goes back and forth is never reduced.
  const std::vector<Point> loop = {{1, 1}, {3, 2}, {2, 3}, {1, 4}};
  EXPECT_EQ(drawn_indices(loop, DrawnColumns{1.0, 3.0, 1.0, false, false}).size(), 4u);
}

TEST(ChartReduction, ALongSeriesKeepsTheLowestAndHighestPointOfEachColumn) {
  // 1000 points over 10 columns: 100 per column, a spike at 555 and a dip at 901.
  std::vector<Point> points;
  for (int k = 0; k < 1000; ++k) points.push_back({k / 1000.0, std::sin(k * 0.3)});
  points[555].py = 50.0;
  points[901].py = -50.0;
  const std::vector<std::size_t> drawn =
      drawn_indices(points, DrawnColumns{0.0, 1.0, 10.0, false, false});
  ASSERT_EQ(drawn.size(), 20u);
  for (std::size_t c = 0; c < 10; ++c) {
    const std::size_t a = drawn[2 * c];
    const std::size_t b = drawn[2 * c + 1];
    EXPECT_LT(a, b);  // in their order
    EXPECT_EQ(a / 100, c);
    EXPECT_EQ(b / 100, c);
    double low = 1e9, high = -1e9;
    for (std::size_t k = c * 100; k < c * 100 + 100; ++k) {
      low = std::min(low, points[k].py);
      high = std::max(high, points[k].py);
    }
    EXPECT_EQ(std::min(points[a].py, points[b].py), low);
    EXPECT_EQ(std::max(points[a].py, points[b].py), high);
  }
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), 555u), drawn.end());
  EXPECT_NE(std::find(drawn.begin(), drawn.end(), 901u), drawn.end());
}

TEST(ChartReduction, AZoomedRangeKeepsOnePointBeyondEachSide) {
  std::vector<Point> points;
  for (int k = 0; k < 1000; ++k) points.push_back({static_cast<double>(k), 1.0 + k % 7});
  // Days 400 to 500 over 20 columns: five points a column, plus days 399 and 501.
  const std::vector<std::size_t> drawn =
      drawn_indices(points, DrawnColumns{400.0, 500.0, 20.0, false, false});
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.front(), 399u);
  EXPECT_EQ(drawn.back(), 501u);
  EXPECT_LE(drawn.size(), 2u * 21u + 2u);
  // A gap inside a column ends that column's piece of line.
  points[450].py = kNan;
  const std::vector<std::size_t> broken =
      drawn_indices(points, DrawnColumns{400.0, 500.0, 20.0, false, false});
  EXPECT_EQ(std::count(broken.begin(), broken.end(), B), 1);
  // A logarithmic X axis reduces over the logarithm of X and skips X <= 0.
  const std::vector<std::size_t> log_x =
      drawn_indices(points, DrawnColumns{1.0, 1000.0, 3.0, true, false});
  EXPECT_LT(log_x.front(), 10u);  // the first decade's lowest or highest, not day 0
  EXPECT_LE(log_x.size(), 9u);
}

TEST(ChartReduction, AScatterKeepsTheLastPointOfEachPixelCell) {
  // A cloud of 10,000 points over a 10 x 10 cell grid: at most one marker per
  // cell, the one painted last, in the order of the points.
  std::vector<Point> cloud;
  for (int k = 0; k < 10000; ++k)
    cloud.push_back({(k * 37 % 1000) / 100.0, (k * 91 % 1000) / 100.0});
  const DrawnCells cells{DrawnColumns{0.0, 10.0, 10.0, false, false}, 0.0, 10.0, 10.0};
  const std::vector<std::size_t> kept = scattered_indices(cloud, cells, 0.0);
  EXPECT_LE(kept.size(), 121u);
  EXPECT_GE(kept.size(), 90u);
  EXPECT_TRUE(std::is_sorted(kept.begin(), kept.end()));
  for (std::size_t k = 0; k < cloud.size(); ++k) {
    // Every point has a kept point in its cell at or after it.
    const auto cell = [&](std::size_t i) {
      return std::make_pair(std::floor(cloud[i].x()), std::floor(cloud[i].y()));
    };
    EXPECT_TRUE(std::any_of(kept.begin(), kept.end(), [&](std::size_t i) {
      return i >= k && cell(i) == cell(k);
    })) << k;
    if (::testing::Test::HasFailure()) break;
  }
  // Points the axes cannot show, or far outside the shown range, get none.
  const std::vector<Point> odd = {{1, 1}, {kNan, 2}, {50, 5}, {2, -1}};
  DrawnCells log_y = cells;
  log_y.x.y_logarithmic = true;
  log_y.y_minimum = 0.1;
  EXPECT_EQ(scattered_indices(odd, log_y, 2.0), (std::vector<std::size_t>{0}));
}

}  // namespace
}  // namespace vindrel::ui
