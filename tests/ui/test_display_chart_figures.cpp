// The chart as a figure for print: a scatter against a variable other than
// time, axes over tiny ranges and rounding noise, a series that cannot be
// drawn as y/y0, and the typography of units and labels.
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QWidget>
#include <QtTest>
#include <cmath>

#include "tests/ui/display_test_support.hpp"
#include "ui/chart_plot.hpp"
#include "ui/output_chart.hpp"
#include "ui/output_table_model.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::output_value;
using vindrel::ui::testing::write_output_file;

namespace {

bool white(QRgb pixel) { return qRed(pixel) > 245 && qGreen(pixel) > 245 && qBlue(pixel) > 245; }

}  // namespace

class TestDisplayChartFigures : public QObject {
  Q_OBJECT

 private:
  // A chart of `columns` against `x` from the records that `fill` writes.
  void plot(const std::vector<double>& times, const std::function<void(Model&, std::size_t)>& fill,
            int x, const QList<int>& columns, PlotAs how = PlotAs::kActual, bool join = false) {
    const QString file = dir_.filePath("figure.out");
    write_output_file(file, times, fill);
    const Model model = make_model();
    table_.set_definition(model);
    table_.load(file.toStdString(), model, 0.0);
    chart_.resize(1000, 700);
    plot_columns(chart_, table_, x, columns, how, join);
  }

  QImage picture() const {
    QImage image(chart_.size(), QImage::Format_RGB32);
    QPainter painter(&image);
    chart_.render_chart(painter, QRectF(QPointF(0, 0), chart_.size()));
    return image;
  }

 private slots:
  void initTestCase() { QVERIFY(dir_.isValid()); }

  void AScatterDrawsOverlappingMarkersWithoutLinesOnePerPixel() {
    // A century of days alternating between two corners of the plot, and two
    // points that overlap at (5, 5).
    std::vector<double> times(36600);
    for (std::size_t k = 0; k < times.size(); ++k) times[k] = static_cast<double>(k + 1);
    plot(times,
         [](Model& m, std::size_t k) {
           const double corner = k % 2 == 0 ? 0.0 : 10.0;
           const double jitter = static_cast<double>(k % 97) * 0.004;
           output_value(m, 2) = k < 2 ? 5.0 + 0.02 * static_cast<double>(k) : corner + jitter;
           output_value(m, 3) = k < 2 ? 5.0 : corner + jitter;
         },
         2, {3});
    QVERIFY(!chart_.joined());
    // At most one marker per pixel of the two small clouds, not 36,600.
    const std::size_t drawn = chart_.drawn_points(0).size();
    QVERIFY2(drawn >= 3 && drawn < 2000, QByteArray::number(drawn));
    const QImage image = picture();
    // The overlapping markers are filled where they overlap.
    const QPoint overlap = chart_.widget_position(QPointF(5.01, 5.0)).toPoint();
    const QRgb centre = image.pixel(overlap);
    QVERIFY2(qRed(centre) > 150 && qBlue(centre) < 80, qPrintable(QString::number(centre, 16)));
    // The same in a window, where the chart sits below and beside other parts.
    QWidget window;
    window.resize(1020, 760);
    chart_.setParent(&window);
    chart_.move(10, 50);
    const QImage shown = window.grab().toImage();
    chart_.setParent(nullptr);
    QCOMPARE(shown.pixel(overlap + QPoint(10, 50)), centre);
    // No line runs between the corners through the empty middle.
    const QPoint middle = chart_.widget_position(QPointF(2.5, 2.5)).toPoint();
    QVERIFY(white(image.pixel(middle)));

    // Lines when asked for.
    plot(
        {1.0, 2.0, 3.0, 4.0},
        [](Model& m, std::size_t k) {
          output_value(m, 2) = k % 2 == 0 ? 0.0 : 10.0;
          output_value(m, 3) = output_value(m, 2);
        },
        2, {3}, PlotAs::kActual, true);
    QVERIFY(chart_.joined());
    QVERIFY(!white(picture().pixel(chart_.widget_position(QPointF(2.5, 2.5)).toPoint())));
  }

  void TinyRangesAreLabelledAndRoundingNoiseIsSaid() {
    plot({1.0, 2.0, 3.0, 4.0},
         [](Model& m, std::size_t k) {
           output_value(m, 1) = 5.5e-11 * static_cast<double>(k) / 3.0;
           output_value(m, 2) = k % 2 == 0 ? 3e-17 : -3e-17;
         },
         0, {1});
    const QStringList small = chart_.tick_labels(ChartAxis::kY);
    QVERIFY2(small.size() >= 4, qPrintable(small.join(" | ")));
    QCOMPARE(QSet<QString>(small.begin(), small.end()).size(), small.size());
    QVERIFY2(small.back().contains(QStringLiteral("\u00d710\u207b\u00b9\u00b9")),
             qPrintable(small.join(" | ")));

    // Noise of ±3e-17 is drawn flat at 0, and the legend says why.
    plot_columns(chart_, table_, 0, {2}, PlotAs::kActual);
    QCOMPARE(chart_.axis_scale(ChartAxis::kY).maximum, 0.5);
    QVERIFY2(chart_.legend_text(0).contains("varies only by rounding noise"),
             qPrintable(chart_.legend_text(0)));
    QVERIFY(!chart_.legend_text(0).contains(QStringLiteral("\u2212")) ||
            chart_.legend_text(0).contains(QStringLiteral("10\u207b\u00b9\u2077")));
  }

  void ASeriesThatCannotBeRelativeSaysWhy() {
    plot(
        {1.0, 2.0, 3.0},
        [](Model& m, std::size_t k) {
          output_value(m, 1) = static_cast<double>(k);
          output_value(m, 2) = 1.0 + static_cast<double>(k);
        },
        0, {1, 2}, PlotAs::kRelative);
    QVERIFY2(chart_.legend_text(0).endsWith("(not drawn as y/y0: its first value y0 is 0)"),
             qPrintable(chart_.legend_text(0)));
    QCOMPARE(chart_.legend_text(1), table_.names()[2]);
  }

  void UnitsAndLabelsAreTypesetForPrint() {
    QCOMPARE(chart_unit("g C m-2 day-1"), QStringLiteral("g C m\u207b\u00b2 day\u207b\u00b9"));
    QCOMPARE(chart_unit("m2 leaf m-2 grd"), QStringLiteral("m\u00b2 leaf m\u207b\u00b2 grd"));
    QCOMPARE(chart_unit("mm H2O yr-1"), QStringLiteral("mm H2O yr\u207b\u00b9"));
    QCOMPARE(chart_unit("oC"), QStringLiteral("\u00b0C"));
    std::vector<double> times(36600);
    for (std::size_t k = 0; k < times.size(); ++k) times[k] = static_cast<double>(k + 1);
    plot(times, [](Model& m, std::size_t k) { output_value(m, 1) = -2000.0 * std::sin(k * 0.01); },
         0, {1});
    const QStringList x = chart_.tick_labels(ChartAxis::kX);
    QVERIFY2(x.contains("35,000") && !x.join(' ').contains(".0"), qPrintable(x.join(" | ")));
    const QStringList y = chart_.tick_labels(ChartAxis::kY);
    QVERIFY2(y.contains(QStringLiteral("\u22121,000")), qPrintable(y.join(" | ")));
    // Time in model years: whole years on the ticks.
    chart_.set_time_in_years(true);
    QCOMPARE(chart_.axis_title(ChartAxis::kX), QStringLiteral("Time (model years)"));
    QVERIFY2(chart_.tick_labels(ChartAxis::kX).contains("100"),
             qPrintable(chart_.tick_labels(ChartAxis::kX).join(" | ")));
    chart_.set_time_in_years(false);
    // The table and its files keep the model's unit text.
    QVERIFY(!table_.units().join(' ').contains(QChar(0x207b)));
  }

  void EachVariableKeepsItsColourInEveryChartAndTheExport() {
    plot({1.0, 2.0}, [](Model& m, std::size_t) { output_value(m, 1) = 1.0; }, 0, {1});
    // The window's session: its first chart lists 7 before 5 (alphabetical).
    SeriesStyles session;
    plot_columns(chart_, table_, 0, {7, 5}, PlotAs::kActual, false, &session);
    const int style_7 = chart_.style(0);
    const int style_5 = chart_.style(1);
    QVERIFY(style_7 != style_5);
    // The command line names them the other way round: the same colours.
    plot_columns(chart_, table_, 0, {5, 7}, PlotAs::kActual);
    QCOMPARE(chart_.style(0), style_5);
    QCOMPARE(chart_.style(1), style_7);
    // A later chart in the session keeps 5's colour and gives the newcomer
    // one that 7 does not have.
    plot_columns(chart_, table_, 0, {3, 5}, PlotAs::kActual, false, &session);
    QCOMPARE(chart_.style(1), style_5);
    QVERIFY(chart_.style(0) != style_5 && chart_.style(0) != style_7);
    plot_columns(chart_, table_, 0, {7}, PlotAs::kActual, false, &session);
    QCOMPARE(chart_.style(0), style_7);
  }

  void ALargerFontLeavesTheTextRoomAndKeepsEveryLabel() {
    plot({1.0, 2.0, 3.0}, [](Model& m, std::size_t k) { output_value(m, 1) = 1000.0 * k; }, 0, {1});
    const QRectF at_nine = chart_.plot_frame();
    const QStringList labels = chart_.tick_labels(ChartAxis::kY);
    chart_.set_font_size(14.0);
    const QRectF at_fourteen = chart_.plot_frame();
    chart_.set_font_size(9.0);
    // Larger text takes more of the picture from the plot, on both sides.
    QVERIFY(at_fourteen.left() > at_nine.left() && at_fourteen.bottom() < at_nine.bottom());
    QVERIFY(!labels.isEmpty());
  }

 private:
  QTemporaryDir dir_;
  OutputTableModel table_;
  OutputChart chart_;
};

QTEST_MAIN(TestDisplayChartFigures)
#include "test_display_chart_figures.moc"
