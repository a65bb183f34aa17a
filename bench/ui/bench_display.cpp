// The output display on a century of daily output: 36,600 records of 208
// fields (about 190 MB of text), made in a scratch folder with the core's
// output file writer and synthetic values. Measures, on the offscreen platform:
//   - opening it in table mode (reading every record, the window's first paint),
//   - scrolling the table by a page,
//   - a chart of ten of its series (366,000 points) updated and drawn,
//   - the chart redrawn after the window is resized,
//   - the chart exported as a PNG at 1600x1000 pixels and 300 dpi, as an SVG
//     drawing at the window's size and as a PDF page, with each file's size
//     and the process's peak memory while it is written,
//   - the same SVG written by `vindrel --export-chart` in a process of its
//     own, with that process's time and peak memory,
//   - a scatter of GPP and NEP against Temperature Max: one wheel notch of
//     zoom redrawn, and the headless PNG (1600x1000, 300 dpi) and SVG with
//     their process's CPU time, peak memory and file size,
//   - the table's reading of the file alone, in CPU time,
// and the process's peak memory with the file open in the table and the chart.
// A summary prints each figure beside its target.
//
//   vindrel_bench_display [benchmark options]
#include <benchmark/benchmark.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <limits>
#include <map>
#include <memory>
#include <string>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "tests/ui/display_test_support.hpp"
#include "ui/chart_plot.hpp"
#include "ui/output_table_model.hpp"
#include "ui/tfm_display_data.hpp"

namespace {

using namespace vindrel;
using namespace vindrel::ui;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kRecords = 36600;  // 100 model years of daily records
const QSize kWindow(1200, 800);

// CPU time of the whole process, in seconds.
double process_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

// The best (smallest) time of each benchmark, in seconds, for the summary.
std::map<std::string, double>& best_times() {
  static std::map<std::string, double> times;
  return times;
}

void keep_best(const std::string& name, double seconds) {
  auto [it, added] = best_times().emplace(name, seconds);
  if (!added) it->second = std::min(it->second, seconds);
}

// kB of a line of /proc/self/status ("VmHWM", "VmRSS").
long status_kilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const std::string key = std::string(field) + ':';
  while (std::getline(status, line)) {
    if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
  }
  return -1;
}

struct Century {
  QTemporaryDir dir;
  QString file;
  long long bytes = 0;
};

// The century's output file: every column a seasonal wave of its own size and
// phase with a day-to-day wiggle, so that the numbers have all their digits.
const Century& century() {
  static const std::unique_ptr<Century> data = [] {
    auto made = std::make_unique<Century>();
    if (!made->dir.isValid()) throw std::runtime_error("cannot make a scratch folder");
    made->file = made->dir.filePath(QStringLiteral("century.out"));
    std::vector<double> times(kRecords);
    for (std::size_t k = 0; k < kRecords; ++k) times[k] = static_cast<double>(k + 1);
    const int columns = static_cast<int>(output_columns(make_model().ModelInfo));
    ui::testing::write_output_file(made->file, times, [columns](Model& model, std::size_t k) {
      const double day = static_cast<double>(k);
      for (int c = 1; c < columns; ++c) {
        const double size = 1.0 + c;
        ui::testing::output_value(model, c) =
            size * (1.2 + std::sin(day * 0.017167 + c) + 0.05 * std::sin(day * 1.7 * c));
      }
    });
    made->bytes = QFileInfo(made->file).size();
    return made;
  }();
  return *data;
}

ProgramState& program() {
  static ProgramState* state = [] {
    auto* made = new ProgramState();
    made->set(&RunSettings::start_time, 0.0);  // every record is shown
    return made;
  }();
  return *state;
}

ui::testing::ScriptedDialogs& dialogs() {
  static ui::testing::ScriptedDialogs scripted;
  return scripted;
}

// Ten series of the list, spread over the drivers, states and processes.
QStringList ten_series(const TFmDisplayData& display) {
  QStringList names;
  const int count = display.LbxSeries->count();
  for (int i = 0; i < 10; ++i) names << display.LbxSeries->item(1 + i * (count - 2) / 10)->text();
  return names;
}

// Draws the chart as the screen would, into an image of its size.
void draw_chart(OutputChart& chart, QImage& image) {
  QPainter painter(&image);
  chart.render_chart(painter, QRectF(QPointF(0, 0), chart.size()));
}

// The peak memory of an export: the process's high-water mark is set back to
// what it holds now, the export runs, and the mark is read.
void reset_peak_memory() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

struct ExportFigures {
  double peak_mb = 0.0;  // VmHWM while writing
  double file_mb = 0.0;
};

std::map<std::string, ExportFigures>& export_figures() {
  static std::map<std::string, ExportFigures> figures;
  return figures;
}

void BM_OpenTable(benchmark::State& state) {
  const Century& data = century();
  for (auto _ : state) {
    const auto start = Clock::now();
    const double cpu_start = process_cpu_seconds();
    TFmDisplayData display(program(), dialogs());
    display.set_output_file(data.file);
    display.resize(kWindow);
    display.prepare_to_show(true);
    display.show();
    QCoreApplication::processEvents();
    const QPixmap shown = display.grab();  // the first paint of the window
    benchmark::DoNotOptimize(shown.cacheKey());
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    keep_best("open table", seconds);
    keep_best("open table: CPU", process_cpu_seconds() - cpu_start);
    if (display.table().records() != kRecords) state.SkipWithError("records missing");
  }
  state.counters["MB"] = static_cast<double>(data.bytes) / 1e6;
}

// One display, open on the century, for the benchmarks that follow.
TFmDisplayData& open_display() {
  static TFmDisplayData* display = [] {
    auto* made = new TFmDisplayData(program(), dialogs());
    made->set_output_file(century().file);
    made->resize(kWindow);
    made->prepare_to_show(false);
    made->show();
    QCoreApplication::processEvents();
    return made;
  }();
  return *display;
}

void BM_ScrollTable(benchmark::State& state) {
  TFmDisplayData& display = open_display();
  display.prepare_to_show(true);
  QCoreApplication::processEvents();
  QScrollBar* bar = display.SgModelOutput->verticalScrollBar();
  for (auto _ : state) {
    const auto start = Clock::now();
    const int next = bar->value() + bar->pageStep();
    bar->setValue(next > bar->maximum() ? 0 : next);
    display.SgModelOutput->viewport()->repaint();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    keep_best("scroll table a page", seconds);
  }
}

void BM_DrawChart(benchmark::State& state) {
  TFmDisplayData& display = open_display();
  display.prepare_to_show(false);
  QCoreApplication::processEvents();
  display.select_series(ten_series(display));
  QImage image(display.chart().size(), QImage::Format_ARGB32_Premultiplied);
  for (auto _ : state) {
    const auto start = Clock::now();
    display.update_chart();
    QCoreApplication::processEvents();
    draw_chart(display.chart(), image);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    keep_best("chart of 10 series", seconds);
  }
  std::size_t points = 0;
  std::size_t drawn = 0;
  for (int i = 0; i < OutputChart::kSeriesCount; ++i) {
    points += display.chart().series_points(i).size();
    drawn += display.chart().drawn_points(i).size();
  }
  state.counters["points"] = static_cast<double>(points);
  state.counters["drawn"] = static_cast<double>(drawn);
}

void BM_ResizeChart(benchmark::State& state) {
  TFmDisplayData& display = open_display();
  display.prepare_to_show(false);
  display.select_series(ten_series(display));
  display.update_chart();
  QCoreApplication::processEvents();
  bool wide = false;
  for (auto _ : state) {
    wide = !wide;
    const auto start = Clock::now();
    display.resize(wide ? QSize(1500, 950) : kWindow);
    QCoreApplication::processEvents();  // the layout, then the series for the new width
    QCoreApplication::processEvents();
    QImage image(display.chart().size(), QImage::Format_ARGB32_Premultiplied);
    draw_chart(display.chart(), image);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    keep_best("chart redrawn after a resize", seconds);
  }
}

// One export of the ten-series chart of the century: "png", "svg" or "pdf".
void export_chart(benchmark::State& state, const std::string& format) {
  TFmDisplayData& display = open_display();
  display.prepare_to_show(false);
  display.resize(kWindow);
  display.select_series(ten_series(display));
  display.update_chart();
  QCoreApplication::processEvents();
  const QString file = century().dir.filePath(QStringLiteral("chart.") + format.c_str());
  const std::string name = "chart exported as " + format;
  for (auto _ : state) {
    reset_peak_memory();
    const auto start = Clock::now();
    if (format == "png") {
      display.chart().save_png(file, ImageSize{QSize(1600, 1000), 300});
    } else if (format == "svg") {
      display.chart().save_svg(file);
    } else {
      display.chart().save_pdf(file);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    keep_best(name, seconds);
    ExportFigures& figures = export_figures()[name];
    figures.peak_mb = std::max(figures.peak_mb, status_kilobytes("VmHWM") / 1024.0);
    figures.file_mb = static_cast<double>(QFileInfo(file).size()) / 1e6;
  }
  state.counters["file_MB"] = export_figures()[name].file_mb;
  state.counters["peak_MB"] = export_figures()[name].peak_mb;
}

void BM_ExportChartPng(benchmark::State& state) { export_chart(state, "png"); }
void BM_ExportChartSvg(benchmark::State& state) { export_chart(state, "svg"); }
void BM_ExportChartPdf(benchmark::State& state) { export_chart(state, "pdf"); }

// `vindrel --export-chart` of the same ten series to an SVG: a process of its
// own that reads the century and writes the drawing; its peak memory from
// the kernel's account of the child.
void BM_CommandLineExportSvg(benchmark::State& state) {
  TFmDisplayData& display = open_display();
  const QStringList names = ten_series(display);
  Model model = make_model();
  // Positions in the output table: drivers first, then states and processes.
  QStringList series;
  const OutputTableModel& table = display.table();
  const TModelDef& info = model.ModelInfo;
  for (const QString& name : names) {
    const int column = table.column_of(name);
    if (column <= info.DriverCount) {
      series << QStringLiteral("driver#%1").arg(column);
    } else if (column <= info.DriverCount + info.StateCount) {
      series << QStringLiteral("state#%1").arg(column - info.DriverCount);
    } else {
      series << QStringLiteral("process#%1").arg(column - info.DriverCount);
    }
  }
  const QString svg = century().dir.filePath(QStringLiteral("command.svg"));
  for (auto _ : state) {
    const auto start = Clock::now();
    QProcess process;
    process.start(QStringLiteral(VINDREL_DESKTOP),
                  {"--export-chart", svg, "--output-file", century().file, "--series",
                   series.join(','), "--size", "1200x800"});
    process.waitForFinished(600000);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (process.exitCode() != 0) {
      state.SkipWithError(process.readAllStandardError().constData());
      break;
    }
    state.SetIterationTime(seconds);
    keep_best("vindrel --export-chart svg", seconds);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);  // the largest child so far, in kB
    ExportFigures& figures = export_figures()["vindrel --export-chart svg"];
    figures.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.file_mb = static_cast<double>(QFileInfo(svg).size()) / 1e6;
  }
}

// The table's part of opening: the file read into numbers, in CPU time.
void BM_ReadTable(benchmark::State& state) {
  const Model model = make_model();
  for (auto _ : state) {
    OutputTableModel table;
    table.set_definition(model);
    const double cpu_start = process_cpu_seconds();
    table.load(century().file.toStdString(), model, 0.0);
    const double seconds = process_cpu_seconds() - cpu_start;
    state.SetIterationTime(seconds);
    keep_best("read the file: CPU", seconds);
  }
}

// GPP and NEP against Temperature Max, a century of days, in a window-sized chart.
struct Scatter {
  OutputChart chart;
  QList<int> series;
  int x = -1;
};

Scatter& scatter() {
  static Scatter* made = [] {
    auto* s = new Scatter();
    const OutputTableModel& table = open_display().table();
    s->x = table.column_of(QStringLiteral("Temperature Max"));
    s->series = {table.column_of(QStringLiteral("GPP: daily")),
                 table.column_of(QStringLiteral("NEP: daily"))};
    s->chart.resize(kWindow);
    return s;
  }();
  return *made;
}

void BM_ScatterWheelNotch(benchmark::State& state) {
  Scatter& s = scatter();
  plot_columns(s.chart, open_display().table(), s.x, s.series, PlotAs::kActual);
  QImage image(s.chart.size(), QImage::Format_ARGB32_Premultiplied);
  const QPointF centre = s.chart.plot_frame().center();
  int notch = 0;
  for (auto _ : state) {
    // In and out again, so that every notch draws the same amount.
    const int delta = notch++ % 2 == 0 ? 120 : -120;
    const auto start = Clock::now();
    QWheelEvent wheel(centre, s.chart.mapToGlobal(centre), {}, QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&s.chart, &wheel);
    draw_chart(s.chart, image);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(seconds);
    keep_best("scatter: one wheel notch", seconds);
  }
  std::size_t drawn = 0;
  for (int i = 0; i < 2; ++i) drawn += s.chart.drawn_points(i).size();
  state.counters["markers"] = static_cast<double>(drawn);
}

// `vindrel --export-chart` of the scatter in a process of its own, with its
// own CPU time and peak memory (from wait4, for this child alone).
void command_line_scatter(benchmark::State& state, const char* format) {
  const std::string name = std::string("scatter: vindrel --export-chart ") + format;
  const std::string image =
      century().dir.filePath(QStringLiteral("scatter.") + format).toStdString();
  const std::string output = century().file.toStdString();
  for (auto _ : state) {
    std::vector<std::string> arguments = {
        VINDREL_DESKTOP, "--export-chart", image, "--output-file", output,
        "--series",      "Ps,NEP",         "--x", "Tamax"};
    if (std::string(format) == "png") {
      arguments.insert(arguments.end(), {"--size", "1600x1000", "--dpi", "300"});
    }
    std::vector<char*> argv;
    for (std::string& a : arguments) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t child = 0;
    if (posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
      state.SkipWithError("cannot start the desktop program");
      break;
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
      state.SkipWithError("the export failed");
      break;
    }
    state.SetIterationTime(seconds);
    const auto cpu = [](const timeval& t) {
      return static_cast<double>(t.tv_sec) + 1e-6 * static_cast<double>(t.tv_usec);
    };
    keep_best(name, seconds);
    keep_best(name + ": CPU", cpu(usage.ru_utime) + cpu(usage.ru_stime));
    ExportFigures& figures = export_figures()[name];
    figures.peak_mb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    figures.file_mb = static_cast<double>(QFileInfo(QString::fromStdString(image)).size()) / 1e6;
  }
}

void BM_CommandLineScatterPng(benchmark::State& state) { command_line_scatter(state, "png"); }
void BM_CommandLineScatterSvg(benchmark::State& state) { command_line_scatter(state, "svg"); }

BENCHMARK(BM_ReadTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScatterWheelNotch)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_CommandLineScatterPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_CommandLineScatterSvg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_OpenTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ScrollTable)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(50);
BENCHMARK(BM_DrawChart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ResizeChart)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(BM_ExportChartPng)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportChartSvg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ExportChartPdf)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_CommandLineExportSvg)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(2);

// Peak memory: the century read into a display in table mode and charted,
// measured before any benchmark has run.
struct Memory {
  long before_kb = 0;  // resident before the display opens the file
  long peak_kb = 0;    // VmHWM with the table and the chart
};

Memory measure_memory() {
  Memory memory;
  century();
  program();
  memory.before_kb = status_kilobytes("VmRSS");
  {
    TFmDisplayData display(program(), dialogs());
    display.set_output_file(century().file);
    display.resize(kWindow);
    display.prepare_to_show(true);
    display.show();
    QCoreApplication::processEvents();
    display.prepare_to_show(false);
    display.select_series(ten_series(display));
    display.update_chart();
    QCoreApplication::processEvents();
    memory.peak_kb = status_kilobytes("VmHWM");
  }
  return memory;
}

void print_summary(const Memory& memory) {
  const double numbers_mb = static_cast<double>(kRecords) *
                            static_cast<double>(output_columns(make_model().ModelInfo)) * 8.0 / 1e6;
  std::printf("\nThe output display on %zu daily records (%.0f MB of text, %.1f MB as numbers)\n",
              kRecords, static_cast<double>(century().bytes) / 1e6, numbers_mb);
  std::printf("%-42s %12s %12s\n", "figure", "best", "target");
  const auto row = [](const char* name, const char* target) {
    const auto it = best_times().find(name);
    if (it == best_times().end()) return;
    std::printf("%-42s %9.1f ms %12s\n", name, it->second * 1e3, target);
  };
  row("open table", "< 1000 ms");
  row("open table: CPU", "< 300 ms");
  row("read the file: CPU", "");
  row("scatter: one wheel notch", "< 1000 ms");
  row("scatter: vindrel --export-chart png", "< 1000 ms");
  row("scatter: vindrel --export-chart png: CPU", "< 1000 ms");
  row("scatter: vindrel --export-chart svg", "< 1000 ms");
  row("scatter: vindrel --export-chart svg: CPU", "< 1000 ms");
  row("scroll table a page", "smooth");
  row("chart of 10 series", "< 1000 ms");
  row("chart redrawn after a resize", "no pause");
  row("chart exported as png", "none");
  row("chart exported as svg", "< 1000 ms");
  row("chart exported as pdf", "none");
  row("vindrel --export-chart svg", "none");
  std::printf("%-42s %9.1f MB %12s\n", "peak memory (VmHWM)",
              static_cast<double>(memory.peak_kb) / 1024.0, "< 250 MB");
  for (const auto& [name, figures] : export_figures()) {
    std::printf("%-42s %9.1f MB %12s\n", (name + ": file").c_str(), figures.file_mb,
                name.find("svg") != std::string::npos ? "< 5 MB" : "");
    std::printf("%-42s %9.1f MB %12s\n", (name + ": peak").c_str(), figures.peak_mb, "< 250 MB");
  }
  std::printf("%-42s %9.1f MB %12s\n", "  increase for the file",
              static_cast<double>(memory.peak_kb - memory.before_kb) / 1024.0,
              (std::to_string(static_cast<int>(4 * numbers_mb)) + " MB").c_str());
}

}  // namespace

int main(int argc, char** argv) {
  // Charts and tables are drawn into images: no display is needed.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication application(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const Memory memory = measure_memory();
  benchmark::RunSpecifiedBenchmarks();
  print_summary(memory);
  benchmark::Shutdown();
  return 0;
}
