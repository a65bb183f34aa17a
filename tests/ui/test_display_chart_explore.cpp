// The output display's chart as a reader uses it: logarithmic axes with
// values at or below 0 and spans under a decade, the axes' formats and
// titles, a margin between the data and the frame, and zooming, panning,
// resetting and hovering with the mouse on the real widget.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "tests/ui/display_test_support.hpp"
#include "ui/chart_plot.hpp"
#include "ui/output_table_model.hpp"
#include "ui/tfm_display_data.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::output_value;
using vindrel::ui::testing::ScriptedDialogs;
using vindrel::ui::testing::write_output_file;

namespace {

// Pixels of the chart's picture that are exactly this colour.
int pixels_of(const OutputChart& chart, QColor colour) {
  QImage image(chart.size(), QImage::Format_RGB32);
  QPainter painter(&image);
  chart.render_chart(painter, QRectF(QPointF(0, 0), chart.size()));
  painter.end();
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

}  // namespace

class TestDisplayChartExplore : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    file_ = dir_.filePath("five.out");
    // Column 1 holds 0 and -1 before 2, 30, 500; column 2 stays within a decade (2 to 8).
    write_output_file(file_, {1.0, 2.0, 3.0, 4.0, 5.0}, [](Model& m, std::size_t k) {
      output_value(m, 1) = std::vector<double>{0.0, -1.0, 2.0, 30.0, 500.0}[k];
      output_value(m, 2) = std::vector<double>{2.0, 3.0, 4.0, 6.0, 8.0}[k];
    });
    program_.set(&RunSettings::start_time, 1.0);
  }

  void init() {
    window_ = std::make_unique<TFmDisplayData>(program_, dialogs_);
    window_->set_output_file(file_);
    window_->resize(1000, 700);
    window_->prepare_to_show(false);
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
  }

  void cleanup() { window_.reset(); }

  void ALogAxisDrawsThePositivePointsAndSaysHowManyItCannot() {
    const QString name = window_->table().names()[1];
    window_->select_series({name});
    window_->update_chart();
    OutputChart& chart = window_->chart();
    chart.set_logarithmic(ChartAxis::kY, true);
    QCOMPARE(chart.drawn_points(0), (std::vector<QPointF>{{3, 2}, {4, 30}, {5, 500}}));
    QCOMPARE(chart.legend_text(0), name + " (2 of 5 points at or below 0 not drawn)");
    QCOMPARE(chart.tick_labels(ChartAxis::kY), (QStringList{"10", "100"}));
    // The series is on the picture, not only in the legend.
    QVERIFY(pixels_of(chart, QColor(213, 94, 0)) > 100);
    chart.set_logarithmic(ChartAxis::kY, false);
    QCOMPARE(chart.legend_text(0), name);
  }

  void ALogAxisUnderADecadeHasNumbers() {
    window_->select_series({window_->table().names()[2]});
    window_->update_chart();
    window_->chart().set_logarithmic(ChartAxis::kY, true);
    QCOMPARE(window_->chart().tick_labels(ChartAxis::kY),
             (QStringList{"2", "3", "4", "5", "6", "7", "8"}));
  }

  void AxesShowTheirFormatsUnitsAndKeepTheDataOffTheFrame() {
    const QString file = dir_.filePath("century.out");
    write_output_file(file, {1.0, 20000.0, 36600.0}, [](Model& m, std::size_t k) {
      for (int c = 1; c <= 12; ++c) output_value(m, c) = static_cast<double>(k * c);
    });
    window_->set_output_file(file);
    window_->reload_table();
    QStringList ten;
    for (int c = 1; c <= 10; ++c) ten << window_->table().names()[c];
    window_->select_series(ten);
    window_->update_chart();
    OutputChart& chart = window_->chart();
    QCOMPARE(chart.axis_title(ChartAxis::kX), QString("Time (days)"));
    QVERIFY2(chart.tick_labels(ChartAxis::kX).contains("35,000"),
             qPrintable(chart.tick_labels(ChartAxis::kX).join(" | ")));
    // Every unit of the ten series is in the dependent title, wrapped but not cut.
    const QStringList lines = chart.y_title_lines();
    QCOMPARE(lines.join(' ').remove(' '), chart.y_title().remove(' '));
    for (int c = 1; c <= 10; ++c) {
      QVERIFY(chart.y_title().contains(chart_unit(window_->table().units()[c].trimmed())));
    }
    // The first and the last point keep a margin inside the frame.
    const QRectF frame = chart.plot_frame();
    const QPointF first = chart.widget_position(chart.series_points(0).front());
    const QPointF last = chart.widget_position(chart.series_points(9).back());
    QVERIFY(first.x() >= frame.left() + 5 && first.y() <= frame.bottom() - 5);
    QVERIFY(last.x() <= frame.right() - 5 && last.y() >= frame.top() + 5);
  }

  void ZoomPanHoverAndResetThroughTheMouse() {
    window_->select_series({window_->table().names()[2]});
    window_->update_chart();
    OutputChart& chart = window_->chart();
    const AxisScale x_axis = chart.axis_scale(ChartAxis::kX);
    const AxisScale y_axis = chart.axis_scale(ChartAxis::kY);
    QVERIFY(!chart.reset_zoom_button()->isVisible());

    // A rectangle dragged from (2, 7) to (4, 3) in data coordinates.
    const QPoint from = chart.widget_position({2.0, 7.0}).toPoint();
    const QPoint to = chart.widget_position({4.0, 3.0}).toPoint();
    QTest::mousePress(&chart, Qt::LeftButton, {}, from);
    QTest::mouseMove(&chart, to);
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, to);
    auto [x_low, x_high] = chart.shown_range(ChartAxis::kX);
    auto [y_low, y_high] = chart.shown_range(ChartAxis::kY);
    QVERIFY2(std::abs(x_low - 2.0) < 0.02 && std::abs(x_high - 4.0) < 0.02,
             qPrintable(QString("%1 %2").arg(x_low).arg(x_high)));
    QVERIFY(std::abs(y_low - 3.0) < 0.05 && std::abs(y_high - 7.0) < 0.05);
    QVERIFY(chart.reset_zoom_button()->isVisible());
    // Zooming leaves the axes' own settings as they were.
    QCOMPARE(chart.axis_scale(ChartAxis::kX).maximum, x_axis.maximum);
    QCOMPARE(chart.axis_scale(ChartAxis::kY).minimum, y_axis.minimum);

    // Hovering over the point of day 3 shows its series, time and value.
    QTest::mouseMove(&chart, chart.widget_position({3.0, 4.0}).toPoint() + QPoint(3, 2));
    QCOMPARE(chart.hover_text(), window_->table().names()[2] + "\nTime: 3 days\n4 " +
                                     chart_unit(window_->table().units()[2].trimmed()));

    // A right-button drag moves the view by the distance dragged.
    const QPoint start = chart.widget_position({3.0, 5.0}).toPoint();
    const QPoint end = chart.widget_position({3.5, 5.0}).toPoint();
    QTest::mousePress(&chart, Qt::RightButton, {}, start);
    QTest::mouseMove(&chart, end);
    QTest::mouseRelease(&chart, Qt::RightButton, {}, end);
    std::tie(x_low, x_high) = chart.shown_range(ChartAxis::kX);
    QVERIFY2(std::abs(x_low - 1.5) < 0.03 && std::abs(x_high - 3.5) < 0.03,
             qPrintable(QString("%1 %2").arg(x_low).arg(x_high)));

    // The wheel zooms in around the mouse: one notch shows 80 % of the range.
    const QPointF centre = chart.widget_position({2.5, 5.0});
    QWheelEvent wheel(centre, chart.mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&chart, &wheel);
    std::tie(x_low, x_high) = chart.shown_range(ChartAxis::kX);
    QVERIFY(std::abs((x_high - x_low) - 1.6) < 0.01);
    QVERIFY(std::abs(x_low - (2.5 - 0.8)) < 0.02);

    // "Reset zoom" gives back the axes' own scaling, and so does a double click.
    QTest::mouseClick(chart.reset_zoom_button(), Qt::LeftButton);
    QCOMPARE(chart.shown_range(ChartAxis::kX), std::make_pair(x_axis.minimum, x_axis.maximum));
    QCOMPARE(chart.shown_range(ChartAxis::kY), std::make_pair(y_axis.minimum, y_axis.maximum));
    QVERIFY(!chart.reset_zoom_button()->isVisible());
    chart.zoom_to(ChartAxis::kY, 4.0, 5.0);
    QTest::mouseDClick(&chart, Qt::LeftButton, {}, from);
    QVERIFY(!chart.zoomed());
    // A new chart starts unzoomed.
    chart.zoom_to(ChartAxis::kX, 2.0, 3.0);
    window_->update_chart();
    QVERIFY(!chart.zoomed());
    QVERIFY(dialogs_.messages.empty());
  }

 private:
  QTemporaryDir dir_;
  QString file_;
  ProgramState program_;
  ScriptedDialogs dialogs_;
  std::unique_ptr<TFmDisplayData> window_;
};

QTEST_MAIN(TestDisplayChartExplore)
#include "test_display_chart_explore.moc"
