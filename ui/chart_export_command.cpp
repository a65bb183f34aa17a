#include "ui/chart_export_command.hpp"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>
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
  bool dpi_given = false;
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
    if (name == QLatin1String("--log-y") || name == QLatin1String("--lines")) {
      if (inline_value) throw ChartExportUsageError(name.toStdString() + " takes no value");
      (name == QLatin1String("--log-y") ? options.log_y : options.lines) = true;
      continue;
    }
    static const QStringList kValued = {"--export-chart", "--output-file", "--series",  "--x",
                                        "--plot-as",      "--size",        "--dpi",     "--title",
                                        "--font-size",    "--time-axis",   "--markers", "--labels"};
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
      const auto size = parse_image_size(value, options.dpi);
      static const QRegularExpression kPixelsOnly(QStringLiteral("^[0-9]+[xX][0-9]+$"));
      if (!size || !kPixelsOnly.match(value).hasMatch())
        throw ChartExportUsageError("--size must be WIDTHxHEIGHT in pixels (100 to 10000), not " +
                                    quoted(value));
      options.size = size->pixels;
    } else if (name == QLatin1String("--dpi")) {
      bool number = false;
      const int dpi = value.toInt(&number);
      if (!number || dpi < 50 || dpi > 1200)
        throw ChartExportUsageError("--dpi must be a whole number from 50 to 1200, not " +
                                    quoted(value));
      options.dpi = dpi;
      dpi_given = true;
    } else if (name == QLatin1String("--markers")) {
      if (value != QLatin1String("on") && value != QLatin1String("off"))
        throw ChartExportUsageError("--markers must be on or off, not " + quoted(value));
      options.markers = value == QLatin1String("on");
    } else if (name == QLatin1String("--labels")) {
      options.labels.clear();
      for (const QString& part : value.split(QLatin1Char(','))) options.labels << part.trimmed();
    } else if (name == QLatin1String("--time-axis")) {
      if (value != QLatin1String("days") && value != QLatin1String("years"))
        throw ChartExportUsageError("--time-axis must be days or years, not " + quoted(value));
      options.time_in_years = value == QLatin1String("years");
    } else if (name == QLatin1String("--font-size")) {
      bool number = false;
      const double points = value.toDouble(&number);
      if (!number || !(points >= 5.0 && points <= 24.0))
        throw ChartExportUsageError("--font-size must be a size in points from 5 to 24, not " +
                                    quoted(value));
      options.font_size = points;
    } else {
      options.title = value;
      options.title_given = true;
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
  if (!options.labels.isEmpty() && options.labels.size() != options.series.size()) {
    throw ChartExportUsageError("--labels names " + std::to_string(options.labels.size()) +
                                " series and --series " + std::to_string(options.series.size()) +
                                ": give one name for each");
  }
  // A PDF fills an A4 page and an SVG has no pixels: a size or resolution
  // that would not be used is refused rather than ignored.
  if (suffix == QLatin1String("pdf") && (!options.size.isEmpty() || dpi_given))
    throw ChartExportUsageError("--size and --dpi do not apply to a PDF, which fills an A4 page");
  if (suffix == QLatin1String("svg") && dpi_given)
    throw ChartExportUsageError("--dpi does not apply to an SVG drawing; --size gives its size");
  return options;
}

int resolve_output_column(const Model& model, const QString& text) {
  return resolve_output_name(model, text.toStdString()).column;
}

QStringList export_chart(const ChartExportOptions& options) {
  const Model model = make_model();
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

  // The window's chart, laid out at the picture's size without being shown.
  OutputChart chart;
  chart.set_title(options.title_given ? options.title
                                      : QString::fromStdString(model.ModelInfo.ModelName));
  chart.set_font_size(options.font_size);
  chart.set_time_in_years(options.time_in_years);
  plot_columns(chart, table, x_column, columns, options.plot_as, options.lines);
  if (options.log_y) chart.set_logarithmic(ChartAxis::kY, true);
  chart.set_markers_on_lines(options.markers);
  for (qsizetype i = 0; i < options.labels.size(); ++i) {
    if (!options.labels[i].isEmpty())
      chart.set_series_title(static_cast<int>(i), options.labels[i]);
  }

  const QString suffix = QFileInfo(options.image_file).suffix().toLower();
  const QSize pixels = options.size.isEmpty() ? QSize(1600, 1000) : options.size;
  QStringList warnings;
  if (options.font_size < 6.0) {
    warnings << QStringLiteral("text of %1 pt prints below the 6 pt that journals ask for")
                    .arg(options.font_size);
  }
  if (suffix != QLatin1String("pdf")) {
    // The chart laid out as the picture will be, in pixels of 1/96 inch.
    const QSize on_paper =
        suffix == QLatin1String("png")
            ? QSize(static_cast<int>(std::lround(pixels.width() * 96.0 / options.dpi)),
                    static_cast<int>(std::lround(pixels.height() * 96.0 / options.dpi)))
        : options.size.isEmpty() ? QSize(768, 480)
                                 : options.size;
    chart.setMinimumSize(1, 1);
    chart.resize(on_paper);
    const QRectF frame = chart.plot_frame();
    const double millimetres = 25.4 / 96.0;
    if (frame.isEmpty()) {
      warnings << QStringLiteral(
          "there is no room for the plot at this size, only for the title and the legend: "
          "choose a larger --size, fewer series or a smaller --font-size");
    } else if (frame.width() * millimetres < 25.0 || frame.height() * millimetres < 20.0) {
      warnings << QStringLiteral(
                      "the plot is only %1 x %2 mm at this size: choose a larger --size or a "
                      "smaller --font-size")
                      .arg(std::lround(frame.width() * millimetres))
                      .arg(std::lround(frame.height() * millimetres));
    } else if (chart.tick_labels(ChartAxis::kX).size() < 2) {
      warnings << QStringLiteral(
          "the horizontal axis has fewer than two labels at this size: choose a larger --size "
          "or a smaller --font-size");
    }
  }
  if (suffix == QLatin1String("png")) {
    chart.save_png(options.image_file, ImageSize{pixels, options.dpi});
  } else if (suffix == QLatin1String("svg")) {
    const QSize on_paper = options.size.isEmpty() ? QSize(768, 480) : options.size;
    chart.save_svg(options.image_file, on_paper);
  } else {
    chart.save_pdf(options.image_file);
  }
  return warnings;
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
    for (const QString& warning : export_chart(parse_chart_export_arguments(arguments)))
      std::fprintf(stderr, "vindrel: warning: %s\n", qPrintable(warning));
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
         "               [--lines] [--size WIDTHxHEIGHT] [--dpi DPI] [--title TEXT]\n"
         "               [--font-size POINTS] [--time-axis days|years]\n"
         "               [--markers on|off] [--labels LIST]\n"
         "Writes the output display's chart of OUTPUT_FILE to FILE without a window\n"
         "(PNG, SVG or PDF by FILE's extension). A PNG has --size pixels (1600x1000 by\n"
         "default) at --dpi dots per inch (200 by default; 50 to 1200), and its text\n"
         "keeps its size on paper; an SVG is --size pixels at 96 dpi (768x480 by\n"
         "default; --dpi is refused); a PDF fills an A4 landscape page (--size and --dpi\n"
         "are refused). LIST names up to ten series, separated\n"
         "by commas; --x names the independent variable (Time by default). A series is\n"
         "named by its symbol (LAI, Cf) when exactly one column has that symbol; where\n"
         "several do (Ts, RrmetL, none), by its table, driver:Ts, state:Cf, process:Ts,\n"
         "or by its position in the table, driver#4, state#1, process#77 (see\n"
         "vindrel-cli list; processes 1 to 55 are derivatives and not in the file); or\n"
         "by its name as the display's list shows it when the name holds no comma.\n"
         "Against time the points are joined by lines; against another variable they\n"
         "are drawn as a scatter of markers, joined only with --lines. --title \"\"\n"
         "draws no title (the model's name by default). --font-size sets the text's size\n"
         "in points on paper (9 by default, 5 to 24; the title a third larger).\n"
         "--time-axis years labels time in model years of 366 days, each tick on the\n"
         "first day of its year. --markers off draws lines without markers (a scatter\n"
         "keeps its markers). --labels gives the legend's names, one for each series in\n"
         "--series order, separated by commas (an empty one keeps the variable's name).\n"
         "--plot-as relative plots y/y0 and change y-y0, y0 being the first record.\n"
         "Exit status 1 for an unknown series or a file that cannot be read or written,\n"
         "2 for a mistake in the command line.\n";
}

}  // namespace vindrel::ui
