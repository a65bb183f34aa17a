// Pictures of the output display on five years of the example stand: a chart
// of several pools, daily GPP beside two pools on a logarithmic axis, one
// summer zoomed with the mouse resting on a point, the table scrolled sideways
// with its time column frozen, the series chooser and the axis dialog.
#include <QListWidget>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <memory>

#include "fileio/param_file.hpp"
#include "run/run.hpp"
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "tests/ui/screenshots/screenshot_registry.hpp"
#include "ui/tdlg_scale.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_series.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::screenshots::Shot;

namespace {

// The example stand run for five years into the shot's scratch folder.
std::unique_ptr<ProgramState> example_output(const Shot& shot) {
  auto program = std::make_unique<ProgramState>();
  ReadParamFile(shot.example_parameter_file().toStdString(), program->model);
  program->set(&RunSettings::parameter_file, shot.example_parameter_file().toStdString());
  program->set(&RunSettings::driver_file, shot.example_driver_file().toStdString());
  program->set(&RunSettings::output_file,
               shot.scratch(QStringLiteral("example.out")).toStdString());
  program->set(&RunSettings::start_time, 1.0);
  program->set(&RunSettings::stop_time, 5.0 * 366.0 + 1.0);
  OutputFileSink sink(program->settings.output_file);
  Run(program->model, program->settings, sink);
  return program;
}

const QStringList kPools = {QStringLiteral("C: foliar"), QStringLiteral("C: root"),
                            QStringLiteral("C: sapwood"), QStringLiteral("C: labile root"),
                            QStringLiteral("C: labile foliar & wood")};

void show_chart(TFmDisplayData& display, const ProgramState& program) {
  display.set_output_file(QString::fromStdString(program.settings.output_file));
  display.resize(1200, 800);
  display.prepare_to_show(false);
  display.select_series(kPools);
  display.update_chart();
}

}  // namespace

VINDREL_SCREENSHOT(display_chart) {
  testing::ScriptedDialogs dialogs;
  auto program = example_output(shot);
  TFmDisplayData display(*program, dialogs);
  show_chart(display, *program);
  shot.save(display, QStringLiteral("display_chart"));
}

VINDREL_SCREENSHOT(display_chart_log) {
  testing::ScriptedDialogs dialogs;
  auto program = example_output(shot);
  TFmDisplayData display(*program, dialogs);
  show_chart(display, *program);
  // Daily GPP is 0 through the winters: its other points are drawn, and the
  // legend says how many could not be.
  display.select_series(
      {QStringLiteral("GPP: daily"), QStringLiteral("C: foliar"), QStringLiteral("C: sapwood")});
  display.update_chart();
  display.chart().set_logarithmic(ChartAxis::kY, true);
  shot.save(display, QStringLiteral("display_chart_log"));
}

VINDREL_SCREENSHOT(display_chart_zoomed) {
  testing::ScriptedDialogs dialogs;
  auto program = example_output(shot);
  TFmDisplayData display(*program, dialogs);
  show_chart(display, *program);
  display.show();
  Shot::settle();
  // The second summer, as a dragged rectangle would show it, with the mouse
  // resting on the foliage's carbon of day 600 (series 1 in the list's order).
  OutputChart& chart = display.chart();
  chart.zoom_to(ChartAxis::kX, 480.0, 760.0);
  chart.zoom_to(ChartAxis::kY, 0.0, 600.0);
  Shot::settle();
  for (const QPointF& point : chart.series_points(0)) {
    if (point.x() < 600.0) continue;
    QTest::mouseMove(&chart, chart.widget_position(point).toPoint() + QPoint(2, 1));
    break;
  }
  shot.save(display, QStringLiteral("display_chart_zoomed"));
}

VINDREL_SCREENSHOT(display_table) {
  testing::ScriptedDialogs dialogs;
  auto program = example_output(shot);
  TFmDisplayData display(*program, dialogs);
  display.set_output_file(QString::fromStdString(program->settings.output_file));
  display.resize(1200, 800);
  display.prepare_to_show(true);
  display.show();
  Shot::settle();
  // Scrolled sideways to the states and down into the first summer: the time
  // column stays.
  display.SgModelOutput->horizontalScrollBar()->setValue(
      display.SgModelOutput->horizontalScrollBar()->maximum() / 5);
  display.SgModelOutput->verticalScrollBar()->setValue(150 * 24);
  shot.save(display, QStringLiteral("display_table"));
}

VINDREL_SCREENSHOT(display_dialogs) {
  testing::ScriptedDialogs dialogs;
  auto program = example_output(shot);
  TFmDisplayData display(*program, dialogs);
  show_chart(display, *program);
  TFmSeries chooser(&display);
  QStringList names;
  QList<bool> selected;
  for (int i = 0; i < display.LbxSeries->count(); ++i) {
    names << display.LbxSeries->item(i)->text();
    selected << display.LbxSeries->item(i)->isSelected();
  }
  chooser.prepare_dependent(names, selected);
  shot.save(chooser, QStringLiteral("display_series_chooser"));
  TDlgScale scale(dialogs, &display);
  scale.prepare(false, display.chart().axis_scale(ChartAxis::kY));
  shot.save(scale, QStringLiteral("display_axis_dialog"));
}
