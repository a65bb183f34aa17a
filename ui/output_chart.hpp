// The output display's chart: ten point-and-line series against one
// independent variable, linear or logarithmic axes with settable range and
// increment, and the pictures of it that go to files and printers.
//
// The chart paints itself: the same routine draws it on the screen, into PNG
// images, SVG drawings, PDF pages and printers, so lines, markers and text
// are vector paths and text wherever the target keeps them. Every series
// keeps all its points; what is drawn is reduced to what the plot can show
// (chart_reduction.hpp). A dragged rectangle or the mouse wheel zooms, a
// right-button or shift drag pans, and a double click or "Reset zoom" goes
// back to the axes' own scaling; none of this changes the axes' settings.
// Hovering shows the nearest drawn point's series, time and value.
#pragma once

#include <QPointF>
#include <QString>
#include <QWidget>
#include <array>
#include <optional>
#include <utility>
#include <vector>

class QPainter;
class QToolButton;

namespace vindrel::ui {

enum class ChartAxis { kX, kY };

struct AxisScale {
  double minimum = 0.0;
  double maximum = 1.0;
  double increment = 0.1;
  bool logarithmic = false;
  bool automatic = true;
};

// A picture's size: pixels and dots per inch. The chart is laid out at the
// size the picture has on paper, so text keeps its point size at any resolution.
struct ImageSize {
  QSize pixels{1600, 1000};
  int dpi = 200;
};

// "1600x1000" or "1600x1000 at 300 dpi" (also "1600x1000@300", "1600x1000,
// 300"); pixels 100 to 10000, 50 to 1200 dpi. Nullopt for anything else.
std::optional<ImageSize> parse_image_size(const QString& text, int default_dpi);

class OutputChart final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int kSeriesCount = 10;

  explicit OutputChart(QWidget* parent = nullptr);
  ~OutputChart() override;

  void set_title(const QString& title);
  // The size of the axes' and the legend's text in points on paper (9 at
  // first); the title is a third larger.
  void set_font_size(double points);
  double font_size() const { return font_points_; }
  QString title() const { return title_; }
  // The independent variable's name; the axis shows it with its unit, if any.
  void set_x_title(const QString& title, const QString& unit = {});
  QString x_title() const { return x_name_; }
  // The axis's title as drawn ("Time (days)").
  QString axis_title(ChartAxis axis) const;
  // The dependent axis's title (the plotted series' units).
  void set_y_title(const QString& title);
  QString y_title() const { return y_title_; }

  // Empties all ten series and hides them.
  void clear_series();
  // Gives series `index` (0-based) its title, unit and points and shows it.
  // Points that the axes cannot show are kept but not drawn.
  // `note` says in the legend why the series cannot be drawn, if it cannot.
  void set_series(int index, const QString& title, std::vector<QPointF> points,
                  const QString& unit = {}, const QString& note = {});
  // Series `index` drawn in style `style` (colour and point style, 0 to 9).
  void set_style(int index, int style);
  int style(int index) const { return slot(index).style; }
  int visible_series() const;
  bool series_visible(int index) const { return slot(index).visible; }
  QString series_title(int index) const { return slot(index).title; }
  const std::vector<QPointF>& series_points(int index) const { return slot(index).points; }
  // The series' entry in the legend, with its unit when the units differ,
  // the count of points a logarithmic axis cannot show, why it cannot be
  // drawn at all, or that its values differ only by rounding noise.
  QString legend_text(int index) const;

  // Markers on joined lines (a scatter always has them).
  void set_markers_on_lines(bool markers);
  // Gives series `index` the name that its legend shows.
  void set_series_title(int index, const QString& title);

  // A time axis in days, or in model years with a tick on each year's first day.
  void set_time_in_years(bool years);
  bool time_in_years() const { return years_; }

  // Points joined by lines (a series over time) or markers alone (a scatter
  // against another variable).
  void set_joined(bool joined);
  bool joined() const { return joined_; }

  // The dependent axis from the plotted values: minimum the smallest value, or
  // 0 when that is above 0 (the smallest positive value on a logarithmic
  // axis), maximum the largest; the independent axis automatic.
  void rescale();
  // One axis as rescale() sets it (automatic for X, from the values for Y).
  void rescale_axis(ChartAxis axis);
  AxisScale axis_scale(ChartAxis axis) const { return scales_[slot(axis)]; }
  // Sets range, increment, type and the automatic mark as given.
  void set_axis_scale(ChartAxis axis, const AxisScale& scale);
  void set_logarithmic(ChartAxis axis, bool logarithmic);

  // Zoom: the range shown, which is the axis's own unless zoomed.
  std::pair<double, double> shown_range(ChartAxis axis) const;
  bool zoomed() const { return zoom_[0].has_value() || zoom_[1].has_value(); }
  void zoom_to(ChartAxis axis, double low, double high);
  void reset_zoom();
  QToolButton* reset_zoom_button() const { return reset_button_; }
  // The hover's text ("" when no point is near the mouse).
  QString hover_text() const { return hover_text_; }

  // At the widget's size: the labels on an axis, the dependent axis's title
  // in the lines drawn, the plot's frame and where a point is drawn.
  QStringList tick_labels(ChartAxis axis) const;
  QStringList y_title_lines() const;
  QRectF plot_frame() const;
  QPointF widget_position(QPointF point) const;
  // The points drawn for series `index` at the widget's size, breaks left out
  // (a scatter: the points that get a marker).
  std::vector<QPointF> drawn_points(int index) const;

  // Draws the chart into `target` on `painter`; `scale` is the target's units
  // per pixel of a 96 dpi screen (fonts and lines grow with it) and `detail`
  // the pixel columns the series are reduced to per unit of the target.
  void render_chart(QPainter& painter, const QRectF& target, double scale = 1.0,
                    double detail = 1.0) const;
  // Write the chart; throw EInOutError. The SVG and the window's picture are
  // the widget's size when none is given; the PDF fills an A4 landscape page.
  void save_png(const QString& file_name, const ImageSize& size) const;
  void save_svg(const QString& file_name, QSize size = {}) const;
  void save_pdf(const QString& file_name) const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void leaveEvent(QEvent* event) override;

 public:
  struct Series {
    QString title;
    QString unit;
    QString note;
    int style = 0;
    std::vector<QPointF> points;
    bool visible = false;
  };

 private:
  struct Layout;
  static std::size_t slot(ChartAxis axis) { return axis == ChartAxis::kX ? 0 : 1; }
  const Series& slot(int index) const { return series_[static_cast<std::size_t>(index)]; }
  bool data_range(ChartAxis which, double& low, double& high, bool positive_only) const;
  Layout layout(QSizeF size) const;
  // The time axis is in model years: asked for, against time, linear.
  bool years_in_use() const;
  // The indices drawn of series `index` at `layout`, `detail` columns per pixel.
  std::vector<std::size_t> drawn_of(const Layout& layout, int index, double detail) const;
  void paint(QPainter& painter, QSizeF size, double detail, bool screen) const;
  // Data coordinates of a widget position, and back, at the widget's layout.
  QPointF to_data(const Layout& layout, QPointF position) const;
  void update_hover(QPointF position);
  void zoom_about(QPointF position, double factor, bool x_only);
  void changed();

  QString title_;
  QString x_name_;
  QString x_unit_;
  QString y_title_;
  std::array<Series, kSeriesCount> series_;
  bool joined_ = true;
  bool years_ = false;
  bool markers_on_lines_ = true;
  double font_points_ = 9.0;
  std::array<AxisScale, 2> scales_{};
  std::array<std::optional<std::pair<double, double>>, 2> zoom_;
  QToolButton* reset_button_ = nullptr;
  // Mouse: the rubber band's corners or the pan's last position.
  std::optional<QPointF> band_start_;
  QPointF band_end_;
  std::optional<QPointF> pan_last_;
  QString hover_text_;
  QPointF hover_point_;
};

}  // namespace vindrel::ui
