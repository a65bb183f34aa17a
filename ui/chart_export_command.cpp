#include "ui/chart_export_command.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <string>

#include "core/exceptions.hpp"
#include "fileio/output_columns.hpp"
#include "ui/output_chart.hpp"
#include "ui/output_table_model.hpp"

namespace vindrel::ui {
namespace {

std::string quoted(const QString& text) { return '"' + text.toStdString() + '"'; }

bool parse_size(const QString& text, QSize& size) {
  const QStringList parts = text.split(QLatin1Char('x'));
  if (parts.size() != 2) return false;
  bool ok_w = false;
  bool ok_h = false;
  const int w = parts[0].toInt(&ok_w);
  const int h = parts[1].toInt(&ok_h);
  if (!ok_w || !ok_h || w < 100 || h < 100 || w > 10000 || h > 10000) return false;
  size = QSize(w, h);
  return true;
}

// Qt's own notes (no XDG_RUNTIME_DIR, what the offscreen platform cannot
// do) say nothing to a script about its chart: only Qt's errors reach stderr.
void quiet_qt_messages(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtCriticalMsg || type == QtFatalMsg) {
    std::fprintf(stderr, "vindrel: %s\n", qPrintable(qFormatLogMessage(type, context, text)));
  }
}

bool has_platform_argument(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "-platform") == 0 || std::strcmp(argv[i], "--platform") == 0)
      return true;
  }
  return false;
}

}  // namespace

bool wants_chart_export(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--export-chart") == 0 ||
        std::strncmp(argv[i], "--export-chart=", 15) == 0)
      return true;
  }
  return false;
}

ChartExportOptions parse_chart_export_arguments(const QStringList& arguments) {
  ChartExportOptions options;
  bool have_series = false;
  for (qsizetype i = 0; i < arguments.size(); ++i) {
    QString name = arguments[i];
    QString value;
    bool inline_value = false;
    if (const qsizetype equals = name.indexOf(QLatin1Char('='));
        name.startsWith(QLatin1String("--")) && equals > 0) {
      value = name.mid(equals + 1);
      name = name.left(equals);
      inline_value = true;
    }
    if (name == QLatin1String("--log-y")) {
      if (inline_value) throw ChartExportUsageError("--log-y takes no value");
      options.log_y = true;
      continue;
    }
    static const QStringList kValued = {"--export-chart", "--output-file", "--series", "--x",
                                        "--plot-as",      "--size",        "--title"};
    if (!kValued.contains(name)) {
      throw ChartExportUsageError("unknown argument " + quoted(arguments[i]) +
                                  " with --export-chart (see vindrel --help)");
    }
    if (!inline_value) {
      if (i + 1 >= arguments.size())
        throw ChartExportUsageError(name.toStdString() + " needs a value");
      value = arguments[++i];
    }
    if (name == QLatin1String("--export-chart")) {
      options.image_file = value;
    } else if (name == QLatin1String("--output-file")) {
      options.output_file = value;
    } else if (name == QLatin1String("--series")) {
      for (const QString& part : value.split(QLatin1Char(','))) {
        if (part.trimmed().isEmpty())
          throw ChartExportUsageError("empty name in --series " + quoted(value));
        options.series << part.trimmed();
      }
      have_series = true;
    } else if (name == QLatin1String("--x")) {
      options.x = value.trimmed();
    } else if (name == QLatin1String("--plot-as")) {
      if (value == QLatin1String("actual")) {
        options.plot_as = PlotAs::kActual;
      } else if (value == QLatin1String("relative")) {
        options.plot_as = PlotAs::kRelative;
      } else if (value == QLatin1String("change")) {
        options.plot_as = PlotAs::kChange;
      } else {
        throw ChartExportUsageError("--plot-as must be actual, relative or change, not " +
                                    quoted(value));
      }
    } else if (name == QLatin1String("--size")) {
      if (!parse_size(value, options.size))
        throw ChartExportUsageError("--size must be WIDTHxHEIGHT in pixels (100 to 10000), not " +
                                    quoted(value));
    } else {
      options.title = value;
    }
  }
  if (options.image_file.isEmpty()) throw ChartExportUsageError("--export-chart needs a file name");
  if (options.output_file.isEmpty())
    throw ChartExportUsageError("--export-chart needs --output-file");
  if (!have_series) throw ChartExportUsageError("--export-chart needs --series");
  if (options.series.size() > OutputChart::kSeriesCount) {
    throw ChartExportUsageError("--series names " + std::to_string(options.series.size()) +
                                " series; a chart holds at most 10");
  }
  const QString suffix = QFileInfo(options.image_file).suffix().toLower();
  if (suffix != QLatin1String("png") && suffix != QLatin1String("svg") &&
      suffix != QLatin1String("pdf")) {
    throw ChartExportUsageError("cannot tell the picture's format from " +
                                quoted(options.image_file) + ": end it in .png, .svg or .pdf");
  }
  return options;
}

int resolve_output_column(const Model& model, const QString& text) {
  return resolve_output_name(model, text.toStdString()).column;
}

void export_chart(const ChartExportOptions& options) {
  const Model model = MakeModel();
  // The names first: a mistake in them is found before a large file is read.
  const int x_column = resolve_output_column(model, options.x);
  QList<int> columns;
  for (const QString& name : options.series) columns << resolve_output_column(model, name);

  OutputTableModel table;
  table.set_definition(model);
  table.load(options.output_file.toStdString(), model, -std::numeric_limits<double>::infinity());
  if (table.records() == 0) {
    throw EInOutError("The output file holds no records", options.output_file.toStdString());
  }

  OutputChart chart;
  chart.setAttribute(Qt::WA_DontShowOnScreen);
  chart.resize(options.size);
  chart.show();  // lays the chart out at its size; nothing reaches a screen
  QCoreApplication::processEvents();
  chart.set_title(options.title.isEmpty() ? QString::fromStdString(model.ModelInfo.ModelName)
                                          : options.title);
  chart.set_x_title(table.names()[x_column], table.units()[x_column]);
  for (qsizetype i = 0; i < columns.size(); ++i) {
    chart.set_series(static_cast<int>(i), table.names()[columns[i]],
                     plotted_points(table, x_column, columns[i], options.plot_as), false);
  }
  chart.set_y_title(dependent_axis_title(table, columns, options.plot_as));
  chart.rescale();
  if (options.log_y) chart.set_logarithmic(ChartAxis::kY, true);
  QCoreApplication::processEvents();

  const QString suffix = QFileInfo(options.image_file).suffix().toLower();
  if (suffix == QLatin1String("png")) {
    chart.save_png(options.image_file, options.size);
  } else if (suffix == QLatin1String("svg")) {
    chart.save_svg(options.image_file, options.size);
  } else {
    chart.save_pdf(options.image_file);
  }
}

int chart_export_main(int argc, char** argv) {
  // A chart for a file needs no display: the offscreen platform, unless the
  // caller chose one.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !has_platform_argument(argc, argv)) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  qInstallMessageHandler(quiet_qt_messages);
  QApplication application(argc, argv);
  const auto fail = [](const std::string& message, int status) {
    std::fprintf(stderr, "vindrel: %s\n", message.c_str());
    return status;
  };
  try {
    // Qt has taken its own options out of the arguments.
    QStringList arguments = QCoreApplication::arguments();
    arguments.removeFirst();
    export_chart(parse_chart_export_arguments(arguments));
    return 0;
  } catch (const ChartExportUsageError& error) {
    return fail(error.what(), 2);
  } catch (const std::exception& error) {
    return fail(error.what(), 1);
  }
}

const char* chart_export_usage() {
  return "\n"
         "usage: vindrel --export-chart FILE --output-file OUTPUT_FILE --series LIST\n"
         "               [--x NAME] [--plot-as actual|relative|change] [--log-y]\n"
         "               [--size WIDTHxHEIGHT] [--title TEXT]\n"
         "Writes the output display's chart of OUTPUT_FILE to FILE without a window\n"
         "(PNG, SVG or PDF by FILE's extension; PNG and SVG at --size, 1200x800 by\n"
         "default; PDF on an A4 landscape page). LIST names up to ten series, separated\n"
         "by commas; --x names the independent variable (Time by default). A series is\n"
         "named by its symbol (LAI, Cf) when exactly one column has that symbol; where\n"
         "several do (Ts, RrmetL, none), by its table, driver:Ts, state:Cf, process:Ts,\n"
         "or by its position in the table, driver#4, state#1, process#77 (see\n"
         "vindrel-cli list; processes 1 to 55 are derivatives and not in the file); or\n"
         "by its name as the display's list shows it when the name holds no comma.\n"
         "--plot-as relative plots y/y0 and change y-y0, y0 being the first record.\n"
         "Exit status 1 for an unknown series or a file that cannot be read or written,\n"
         "2 for a mistake in the command line.\n";
}

}  // namespace vindrel::ui
