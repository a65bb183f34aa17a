// The output display in chart mode: the three ways of plotting a series (a
// first value of 0 included), the ten-series limit, an invalid series, the
// rescaling rule, the axis dialogs, the reduction of long series to what the
// plot shows, printing without a printer, and the chart exports.
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <cmath>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "tests/ui/display_test_support.hpp"
#include "ui/output_table_model.hpp"
#include "ui/tdlg_scale.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_series.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::output_value;
using vindrel::ui::testing::ScriptedDialogs;
using vindrel::ui::testing::write_output_file;

namespace {

// Runs `answer` on the next modal dialog of type T, once it is shown.
template <class T, class Answer>
void answer_next_dialog(Answer answer) {
  QTimer::singleShot(0, [answer] {
    auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget());
    QVERIFY(dialog);
    dialog->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog));
    answer(*dialog);
    if (dialog->isVisible()) dialog->reject();  // a failed check must not leave it open
  });
}

std::vector<double> ys(const OutputChart& chart, int series) {
  std::vector<double> values;
  for (const QPointF& p : chart.series_points(series)) values.push_back(p.y());
  return values;
}

}  // namespace

class TestDisplayChart : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    file_ = dir_.filePath("chart.out");
    // Column 1 starts at 0 (0, 2, 4), column 2 at 2 (2, 3, 5), column 3 holds -1, 1, 3.
    write_output_file(file_, {1.0, 2.0, 3.0}, [](Model& m, std::size_t k) {
      const double d = static_cast<double>(k);
      output_value(m, 1) = 2.0 * d;
      output_value(m, 2) = d == 2.0 ? 5.0 : 2.0 + d;
      output_value(m, 3) = 2.0 * d - 1.0;
    });
    program_.set(&RunSettings::start_time, 1.0);
  }

  void PlotAsActualRelativeAndChange() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    const QString zero_first = window.table().names()[1];
    const QString two_first = window.table().names()[2];
    window.select_series({zero_first, two_first});
    QTest::mouseClick(window.BtnUpdateChart, Qt::LeftButton);
    QCOMPARE(window.chart().visible_series(), 2);
    // The series follow the list's alphabetical order.
    const bool zero_is_first = QString::compare(zero_first, two_first, Qt::CaseInsensitive) < 0;
    const int z = zero_is_first ? 0 : 1;
    const int t = 1 - z;
    QCOMPARE(ys(window.chart(), z), (std::vector<double>{0, 2, 4}));
    QCOMPARE(ys(window.chart(), t), (std::vector<double>{2, 3, 5}));
    QCOMPARE(window.chart().series_title(z), zero_first);
    QCOMPARE(window.chart().x_title(), QString("Time"));
    QCOMPARE(window.chart().series_points(z)[2].x(), 3.0);
    // The axes say what they measure: the time's unit, and the series' unit
    // when they share one.
    QCOMPARE(window.chart().axis_title(ChartAxis::kX), QString("Time (days)"));
    const QString unit = window.table().units()[1];
    const QString y_title = window.chart().y_title();
    QVERIFY2(unit == window.table().units()[2] ? y_title == unit : y_title.contains(unit),
             qPrintable(y_title));

    window.findChild<QRadioButton*>("RbValueType1")->click();
    window.update_chart();
    // y / y0 with y0 = 0: what the arithmetic gives, nan then inf.
    const auto relative = ys(window.chart(), z);
    QVERIFY(std::isnan(relative[0]));
    QVERIFY(std::isinf(relative[1]) && std::isinf(relative[2]));
    QCOMPARE(ys(window.chart(), t), (std::vector<double>{1.0, 1.5, 2.5}));
    QCOMPARE(window.chart().y_title(), QString("y/y0"));
    QCOMPARE(window.chart().drawn_points(z).size(), std::size_t{0});  // nothing finite to draw
    QCOMPARE(window.chart().axis_scale(ChartAxis::kY).maximum, 2.5);  // from the finite values

    window.findChild<QRadioButton*>("RbValueType2")->click();
    window.update_chart();
    QCOMPARE(ys(window.chart(), z), (std::vector<double>{0, 2, 4}));
    QCOMPARE(ys(window.chart(), t), (std::vector<double>{0, 1, 3}));
    QVERIFY(window.chart().y_title().startsWith("y-y0 ("));
    QVERIFY(dialogs.messages.empty());
  }

  void RescalingStartsAtZeroUnlessValuesAreNegative() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    window.select_series({window.table().names()[2]});
    window.update_chart();
    AxisScale y = window.chart().axis_scale(ChartAxis::kY);
    QCOMPARE(y.minimum, 0.0);
    QCOMPARE(y.maximum, 5.0);
    window.select_series({window.table().names()[3]});
    window.update_chart();
    y = window.chart().axis_scale(ChartAxis::kY);
    QCOMPARE(y.minimum, -1.0);
    QCOMPARE(y.maximum, 3.0);
    const AxisScale x = window.chart().axis_scale(ChartAxis::kX);
    QVERIFY(x.automatic);
    QCOMPARE(x.minimum, 1.0);
    QCOMPARE(x.maximum, 3.0);
  }

  void ElevenSeriesPlotTenAndSayItOnce() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    for (int i = 0; i < 11; ++i) window.LbxSeries->item(i)->setSelected(true);
    window.update_chart();
    QCOMPARE(window.chart().visible_series(), 10);
    QCOMPARE(window.chosen_series().size(), 10);
    QCOMPARE(window.chosen_series().back(), window.LbxSeries->item(9)->text());
    QCOMPARE(dialogs.texts(), QStringList{"Cannot display series. Maximum is 10 series."});
    QVERIFY(window.LbxSeries->item(10)->isSelected());

    QTest::mouseClick(window.BtnClearSeries, Qt::LeftButton);
    QVERIFY(window.LbxSeries->selectedItems().isEmpty());
    QVERIFY(window.chosen_series().isEmpty());
  }

  void AnInvalidSeriesIsReportedAndTheAxesStillRescale() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    window.select_series({window.table().names()[2]});
    window.set_independent_series("No such variable");
    window.update_chart();
    QCOMPARE(dialogs.texts(), QStringList{"Cannot update chart. Invalid series."});
    QCOMPARE(window.chart().visible_series(), 0);
    const AxisScale y = window.chart().axis_scale(ChartAxis::kY);
    QVERIFY(y.automatic);
    QVERIFY(y.maximum > y.minimum);
  }

  void DefineChoosesTheIndependentAndTheDependentSeries() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    const QString x_name = window.table().names()[3];
    answer_next_dialog<TFmSeries>([x_name](TFmSeries& chooser) {
      QCOMPARE(chooser.windowTitle(), QString("Independent Axis - Choose one series."));
      QCOMPARE(chooser.LbxChooseSeries->selectionMode(), QAbstractItemView::SingleSelection);
      QCOMPARE(chooser.selected_name(), QString("Time"));
      chooser.LbxChooseSeries->findItems(x_name, Qt::MatchExactly).front()->setSelected(true);
      chooser.BtnOK->click();
    });
    window.MIXDefine->trigger();
    QCOMPARE(window.independent_series(), x_name);

    const QString y_name = window.table().names()[2];
    answer_next_dialog<TFmSeries>([y_name](TFmSeries& chooser) {
      QCOMPARE(chooser.windowTitle(), QString("Dependent Axis - Choose series."));
      QCOMPARE(chooser.LbxChooseSeries->selectionMode(), QAbstractItemView::MultiSelection);
      chooser.LbxChooseSeries->findItems(y_name, Qt::MatchExactly).front()->setSelected(true);
      chooser.BtnOK->click();
    });
    window.MIYDefine->trigger();
    QCOMPARE(window.chosen_series(), QStringList{y_name});
    QCOMPARE(window.chart().x_title(), x_name);
    QCOMPARE(window.chart().series_points(0)[0], QPointF(-1.0, 2.0));
    QVERIFY(dialogs.messages.empty());
    QCOMPARE(list_columns_for_width(820), 4);
    QCOMPARE(list_columns_for_width(90), 1);
  }

  void ScaleTakesTypedLimitsAutoScaleAndLogarithmicAxes() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    window.select_series({window.table().names()[2]});
    answer_next_dialog<TDlgScale>([](TDlgScale& dialog) {
      QCOMPARE(dialog.windowTitle(), QString("Dependent Axis"));
      QVERIFY(dialog.CbAutoScale->isChecked());
      QCOMPARE(dialog.EdMaximum->text(), QString("5"));
      dialog.EdMaximum->setFocus();
      dialog.EdMaximum->selectAll();
      QTest::keyClicks(dialog.EdMaximum, "8.5");
      dialog.EdIncrement->setFocus();  // leaving a changed box unchecks Auto Scale
      QVERIFY(!dialog.CbAutoScale->isChecked());
      dialog.EdIncrement->setText("0.5");
      dialog.BtnOK->click();
    });
    window.MIYScale->trigger();
    AxisScale y = window.chart().axis_scale(ChartAxis::kY);
    QCOMPARE(y.maximum, 8.5);
    QCOMPARE(y.increment, 0.5);
    QVERIFY(!y.automatic);

    // A text that is no number, and a reversed range, keep the dialog open.
    answer_next_dialog<TDlgScale>([&dialogs](TDlgScale& dialog) {
      dialog.CbAutoScale->setChecked(false);
      dialog.EdMinimum->setText("1,5");
      dialog.BtnOK->click();
      QVERIFY(dialog.isVisible());
      dialog.EdMinimum->setText("9");
      dialog.BtnOK->click();
      QVERIFY(dialog.isVisible());
      QCOMPARE(dialogs.texts(), (QStringList{"'1,5' is not a valid floating point value",
                                             "The maximum must be greater than the minimum."}));
      dialog.CbAutoScale->setChecked(true);
      dialog.BtnOK->click();
    });
    window.scale_axis(ChartAxis::kY);
    y = window.chart().axis_scale(ChartAxis::kY);
    QCOMPARE(y.maximum, 5.0);
    QVERIFY(y.automatic);

    // Logarithmic applies at once; the axis then starts at the smallest positive value.
    answer_next_dialog<TDlgScale>([](TDlgScale& dialog) {
      QCOMPARE(dialog.windowTitle(), QString("Independent Axis"));
      QVERIFY(dialog.CbAutoScale->isChecked());
      dialog.RbLogarithmic->click();
      dialog.BtnCancel->click();
    });
    window.MIXScale->trigger();
    const AxisScale x = window.chart().axis_scale(ChartAxis::kX);
    QVERIFY(x.logarithmic);
    QCOMPARE(x.minimum, 1.0);
    QCOMPARE(window.chart().tick_labels(ChartAxis::kX).front(), QString("1.0"));
  }

  void LongSeriesAreDrawnReducedButKeepEveryPoint() {
    const QString file = dir_.filePath("century.out");
    std::vector<double> times(36600);
    for (std::size_t k = 0; k < times.size(); ++k) times[k] = static_cast<double>(k + 1);
    write_output_file(file, times, [](Model& m, std::size_t k) {
      output_value(m, 2) = std::sin(static_cast<double>(k) * 0.0172);
      output_value(m, 2) += k == 20000 ? 50.0 : 0.0;
    });
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file);
    window.resize(1000, 700);
    window.prepare_to_show(false);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.select_series({window.table().names()[2]});
    window.update_chart();
    QCoreApplication::processEvents();
    QCOMPARE(window.chart().series_points(0).size(), std::size_t{36600});
    const std::size_t drawn = window.chart().drawn_points(0).size();
    QVERIFY2(drawn > 500 && drawn < 8000, QByteArray::number(drawn));
    // The single high value is among the points drawn, and sets the axis.
    double highest = 0.0;
    for (const QPointF& p : window.chart().drawn_points(0)) highest = std::max(highest, p.y());
    QCOMPARE(highest, 50.0 + std::sin(20000 * 0.0172));
    QCOMPARE(window.chart().axis_scale(ChartAxis::kY).maximum, highest);

    // A wider window draws more of the points, the high value still among them.
    window.resize(1600, 700);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const std::size_t wider = window.chart().drawn_points(0).size();
    QVERIFY2(wider > drawn * 3 / 2 && wider < 8000, QByteArray::number(wider));
    highest = 0.0;
    for (const QPointF& p : window.chart().drawn_points(0)) highest = std::max(highest, p.y());
    QCOMPARE(highest, 50.0 + std::sin(20000 * 0.0172));
  }

  void TheSearchBoxNarrowsTheListAndTheMenuShowsYears() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.prepare_to_show(false);
    const auto shown = [&] {
      QStringList names;
      for (int i = 0; i < window.LbxSeries->count(); ++i) {
        if (!window.LbxSeries->item(i)->isHidden()) names << window.LbxSeries->item(i)->text();
      }
      return names;
    };
    const qsizetype all = shown().size();
    window.select_series({QStringLiteral("Leaf Area Index")});
    QTest::keyClicks(window.EdSearchSeries, QStringLiteral("resp: struct"));
    const QStringList found = shown();
    QVERIFY2(!found.isEmpty() && found.size() < all, qPrintable(found.join(" | ")));
    for (const QString& name : found) QVERIFY(name.contains("Resp: Struct", Qt::CaseInsensitive));
    // The hidden choice still counts, and clearing the search shows every name.
    window.update_chart();
    QCOMPARE(window.chart().series_title(0), QStringLiteral("Leaf Area Index"));
    window.EdSearchSeries->clear();
    QCOMPARE(shown().size(), all);
    // The chart's menu puts the time axis in model years and back.
    window.MIXYears->trigger();
    QCOMPARE(window.chart().axis_title(ChartAxis::kX), QStringLiteral("Time (model years)"));
    window.MIXYears->trigger();
    QCOMPARE(window.chart().axis_title(ChartAxis::kX), QStringLiteral("Time (days)"));
  }

  void PrintingWithoutAPrinterOffersAPdfAndExportsWrite() {
    ScriptedDialogs dialogs;
    TFmDisplayData window(program_, dialogs);
    window.set_output_file(file_);
    window.resize(900, 600);
    window.prepare_to_show(false);
    window.select_series({window.table().names()[2]});
    window.update_chart();
    const QString pdf = dir_.filePath("chart.pdf");
    dialogs.answers.push_back(MessageAnswer::kOk);
    dialogs.file_names.push_back(pdf);
    window.MIPrint->trigger();
    QCOMPARE(dialogs.texts(),
             QStringList{"There is no printer on this computer. Save the chart as a PDF file "
                         "instead?"});
    QCOMPARE(dialogs.file_dialogs.back().default_suffix, QString("pdf"));
    QFile written(pdf);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.read(5) == "%PDF-");

    // The image's size and resolution are asked first, until they can be read.
    const QString png = dir_.filePath("chart.png");
    dialogs.inputs.push_back(QString("big"));
    dialogs.inputs.push_back(QString("1500x900 at 300 dpi"));
    dialogs.file_names.push_back(png);
    window.MIExportPng->trigger();
    QCOMPARE(dialogs.input_captions, (QStringList{"Export Chart", "Export Chart"}));
    QVERIFY(dialogs.texts().back().startsWith("'big' is not an image size"));
    const QImage image(png);
    QCOMPARE(image.size(), QSize(1500, 900));
    QCOMPARE(image.dotsPerMeterX(), 11811);  // 300 dpi
    const QString svg = dir_.filePath("chart.svg");
    dialogs.file_names.push_back(svg);
    window.MIExportSvg->trigger();
    QFile drawing(svg);
    QVERIFY(drawing.open(QIODevice::ReadOnly));
    QVERIFY(drawing.readAll().contains("<svg"));
    QCOMPARE(dialogs.messages.size(), std::size_t{2});
  }

 private:
  QTemporaryDir dir_;
  QString file_;
  ProgramState program_;
};

QTEST_MAIN(TestDisplayChart)
#include "test_display_chart.moc"
