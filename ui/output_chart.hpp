// The output display's chart: ten point-and-line series against one
// independent variable, linear or logarithmic axes with settable range and
// increment, and the pictures of it that go to files and printers.
//
// Every series keeps all its points; what Qt Charts draws is reduced to what
// the plot area can show (per pixel column the lowest and the highest point)
// when the independent values never decrease. Axis ranges and exports
// are computed from all points.
#pragma once

#include <QChartView>
#include <QPointF>
#include <QString>
#include <array>
#include <vector>

class QAbstractAxis;
class QLineSeries;
class QPainter;

namespace vindrel::ui {

enum class ChartAxis { kX, kY };

struct AxisScale {
  double minimum = 0.0;
  double maximum = 1.0;
  double increment = 0.1;
  bool logarithmic = false;
  bool automatic = true;
};

class OutputChart final : public QChartView {
  Q_OBJECT

 public:
  static constexpr int kSeriesCount = 10;
  // Marker size in pixels: a point of "size 2" is 2 pixels either side of its centre.
  static constexpr double kMarkerSize = 5.0;
  // On the screen and in images a drawn column is two pixels wide: narrower
  // than a marker, and half the points for Qt Charts to lay out.
  static constexpr double kScreenDetail = 0.5;

  explicit OutputChart(QWidget* parent = nullptr);
  ~OutputChart() override;

  void set_title(const QString& title);
  // The independent variable's name; the axis shows it with its unit, if any.
  void set_x_title(const QString& title, const QString& unit = {});
  QString x_title() const;
  // The dependent axis's title (its unit, as the plotted series give it).
  void set_y_title(const QString& title);
  QString y_title() const;

  // Empties all ten series and hides them.
  void clear_series();
  // Gives series `index` (0-based) its title and points and shows it. Points
  // that are not finite are kept but not drawn. Without `draw` the points are
  // drawn at the next rescale() (or change of the X axis).
  void set_series(int index, const QString& title, std::vector<QPointF> points, bool draw = true);
  int visible_series() const;
  QLineSeries* series(int index) const { return series_[static_cast<std::size_t>(index)]; }
  const std::vector<QPointF>& series_points(int index) const {
    return points_[static_cast<std::size_t>(index)];
  }

  // The dependent axis from the plotted values: minimum the smallest value, or
  // 0 when that is above 0 (the smallest positive value on a logarithmic
  // axis), maximum the largest; the independent axis automatic.
  void rescale();
  // One axis as rescale() sets it (automatic for X, from the values for Y).
  void rescale_axis(ChartAxis axis);
  AxisScale axis_scale(ChartAxis axis) const;
  // Sets range, increment, type and the automatic mark as given.
  void set_axis_scale(ChartAxis axis, const AxisScale& scale);
  void set_logarithmic(ChartAxis axis, bool logarithmic);
  QAbstractAxis* axis(ChartAxis axis) const;

  // Draws the chart into `target` on `painter`, with the series reduced for a
  // plot of that width (times `detail` drawn columns per pixel: 4 for vector
  // pictures and paper, kScreenDetail for images).
  void render_chart(QPainter& painter, const QRectF& target, double detail = 4.0);
  // Writes the chart at `size` (the size shown when empty). Throws EInOutError.
  void save_png(const QString& file_name, QSize size = {});
  void save_svg(const QString& file_name, QSize size = {});
  void save_pdf(const QString& file_name);

  // Points Qt Charts holds for series `index` after the reduction (for tests).
  qsizetype drawn_points(int index) const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void replace_axis(ChartAxis which, bool logarithmic);
  void apply_ticks(ChartAxis which);
  void redraw_series();
  void redraw_series(int index, double columns);
  bool data_range(ChartAxis which, double& low, double& high, bool positive_only) const;

  std::array<QLineSeries*, kSeriesCount> series_{};
  std::array<std::vector<QPointF>, kSeriesCount> points_;
  std::array<AxisScale, 2> scales_{};
  std::array<QAbstractAxis*, 2> axes_{};
  QString x_title_;
  double detail_ = kScreenDetail;  // drawn pixel columns per pixel of the plot area
  double drawn_columns_ = 0.0;     // the pixel columns the series were last reduced to
  bool redrawing_ = false;
};

// A "nice" tick interval (1, 2 or 5 times a power of ten) giving about
// `ticks` intervals over low..high.
double nice_increment(double low, double high, int ticks = 8);
// The decimals of the dependent axis's labels: what the increment needs, 0 to 5.
int label_decimals(double increment);

}  // namespace vindrel::ui
