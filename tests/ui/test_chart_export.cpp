// vindrel --export-chart: the real program writes the output display's chart
// to PNG, SVG and PDF files with no display at all, names the series the way
// the command-line program names output variables, and refuses an unknown
// series or a file it cannot read with one line on stderr and a failing status.
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <cmath>

#include "core/exceptions.hpp"
#include "tests/ui/display_test_support.hpp"
#include "ui/chart_export_command.hpp"
#include "ui/output_table_model.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::output_value;
using vindrel::ui::testing::write_output_file;

namespace {

struct Result {
  int status = -1;
  QString out;
  QString err;
};

// Runs the desktop program as a script on a server would: no X or Wayland
// display and no Qt platform chosen.
Result run_vindrel(const QStringList& arguments) {
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
    environment.remove(QString::fromLatin1(name));
  process.setProcessEnvironment(environment);
  process.start(QStringLiteral(VINDREL_DESKTOP), arguments);
  Result result;
  if (!process.waitForFinished(120000)) return result;
  result.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  result.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  result.err = QString::fromLocal8Bit(process.readAllStandardError());
  return result;
}

// The pixels of the image that have exactly this colour.
int pixels_of(const QImage& image, QColor colour) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += image.pixelColor(x, y) == colour;
  }
  return count;
}

}  // namespace

class TestChartExport : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QVERIFY(dir_.isValid());
    const Model model = make_model();
    lai_ = resolve_output_column(model, "LAI");
    cf_ = resolve_output_column(model, "Cf");
    file_ = dir_.filePath("year.out");
    std::vector<double> times(366);
    for (std::size_t k = 0; k < times.size(); ++k) times[k] = static_cast<double>(k + 1);
    const int lai = lai_;
    const int cf = cf_;
    write_output_file(file_, times, [lai, cf](Model& m, std::size_t k) {
      const double day = static_cast<double>(k);
      output_value(m, lai) = 3.0 + 2.0 * std::sin(day / 366.0 * 6.283);
      output_value(m, cf) = 100.0 + day;
    });
  }

  void SeriesAreNamedBySymbolTableOrPosition() {
    const Model model = make_model();
    const int drivers = model.ModelInfo.DriverCount;
    QCOMPARE(resolve_output_column(model, "Time"), 0);
    QCOMPARE(resolve_output_column(model, "state:Cf"), drivers + 1);
    QCOMPARE(resolve_output_column(model, "state#1"), drivers + 1);
    QCOMPARE(resolve_output_column(model, "driver#4"), 4);
    QCOMPARE(resolve_output_column(model, "process:LAI"), lai_);
    QCOMPARE(resolve_output_column(model, "Leaf Area Index"), lai_);  // the list's name
    OutputTableModel table;
    table.set_definition(model);
    QCOMPARE(table.names()[lai_], QString("Leaf Area Index"));
    // A process sits in the column its table position gives, after the drivers.
    QCOMPARE(resolve_output_column(model, QString("process#%1").arg(lai_ - drivers)), lai_);

    const auto message = [&](const QString& text) -> QString {
      try {
        resolve_output_column(model, text);
      } catch (const std::invalid_argument& error) {
        return QString::fromStdString(error.what());
      }
      return {};
    };
    // Ts is a driver's symbol and a process's: the message says how to choose.
    QCOMPARE(message("Ts"), QString("ambiguous output variable \"Ts\": it names driver:Ts, "
                                    "process:Ts; name one of them"));
    QVERIFY(message("NoSuch").startsWith("unknown output variable \"NoSuch\": expected a symbol"));
    QVERIFY(message("state:LAI").contains("no state has the symbol \"LAI\""));
    QVERIFY(message("process#1")
                .contains("process#N takes a whole number N from 56 to"));  // derivatives
    QVERIFY(message("state#x").contains("state#N takes a whole number N from 1 to 55"));
  }

  void CommandLineMistakesAreNamed() {
    const auto usage = [](const QStringList& arguments) -> QString {
      try {
        parse_chart_export_arguments(arguments);
      } catch (const ChartExportUsageError& error) {
        return QString::fromStdString(error.what());
      }
      return {};
    };
    const ChartExportOptions options = parse_chart_export_arguments(
        {"--export-chart=a.SVG", "--output-file", "r.out", "--series", "LAI, Cf", "--x=Cf",
         "--plot-as", "change", "--log-y", "--size", "640x480"});
    QCOMPARE(options.image_file, QString("a.SVG"));
    QCOMPARE(options.series, (QStringList{"LAI", "Cf"}));
    QCOMPARE(options.x, QString("Cf"));
    QVERIFY(options.plot_as == PlotAs::kChange && options.log_y);
    QCOMPARE(options.size, QSize(640, 480));
    QVERIFY(!options.lines && !options.title_given);
    const QStringList base = {"--export-chart", "a.png", "--output-file", "r.out"};
    QCOMPARE(usage(base), QString("--export-chart needs --series"));
    QVERIFY(usage(base + QStringList{"--series", "LAI,,Cf"}).startsWith("empty name"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--plot-as", "ratio"})
                .startsWith("--plot-as must be actual, relative or change"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--size", "12"}).startsWith("--size"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--colour"}).contains("\"--colour\""));
    QVERIFY(
        usage(base + QStringList{"--series", "1,2,3,4,5,6,7,8,9,10,11"}).contains("at most 10"));
    // An empty title is no title; a scatter's points joined when asked.
    const ChartExportOptions figure = parse_chart_export_arguments(
        base + QStringList{"--series", "LAI", "--title", "", "--lines"});
    QVERIFY(figure.title_given && figure.title.isEmpty() && figure.lines);
    QCOMPARE(parse_chart_export_arguments(base + QStringList{"--series", "LAI", "--font-size=11"})
                 .font_size,
             11.0);
    QVERIFY(
        parse_chart_export_arguments(base + QStringList{"--series", "LAI", "--time-axis", "years"})
            .time_in_years);
    const ChartExportOptions named = parse_chart_export_arguments(
        base + QStringList{"--series", "LAI,Cf", "--labels", "Leaf area, ", "--markers", "off"});
    QCOMPARE(named.labels, (QStringList{"Leaf area", ""}));
    QVERIFY(!named.markers);
    QVERIFY(usage(base + QStringList{"--series", "LAI,Cf", "--labels", "Leaf area"})
                .startsWith("--labels names 1 series and --series 2"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--markers", "sparse"})
                .startsWith("--markers must be on or off"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--time-axis", "months"})
                .startsWith("--time-axis must be days or years"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--font-size", "3"})
                .startsWith("--font-size must be a size in points from 5 to 24"));
    QVERIFY(usage(base + QStringList{"--series", "LAI", "--lines=yes"}).contains("takes no value"));
    // A size or resolution that the picture would not use is refused.
    const QStringList pdf = {"--export-chart", "a.pdf",    "--output-file",
                             "r.out",          "--series", "LAI"};
    QVERIFY(usage(pdf + QStringList{"--dpi", "600"}).contains("do not apply to a PDF"));
    QVERIFY(usage(pdf + QStringList{"--size", "800x600"}).contains("do not apply to a PDF"));
    const QStringList svg = {"--export-chart", "a.svg",    "--output-file",
                             "r.out",          "--series", "LAI"};
    QVERIFY(usage(svg + QStringList{"--dpi", "600"}).contains("--dpi does not apply to an SVG"));
    QVERIFY(usage(svg + QStringList{"--size", "800x600"}).isEmpty());
    QVERIFY(usage({"--export-chart", "a.jpg", "--output-file", "r.out", "--series", "LAI"})
                .contains(".png, .svg or .pdf"));
  }

  void ThePngIsWrittenWithoutADisplay() {
    const QString png = dir_.filePath("lai.png");
    const Result result = run_vindrel({"--export-chart", png, "--output-file", file_, "--series",
                                       "LAI,state:Cf", "--size", "800x500", "--log-y"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY2(result.err.isEmpty(), qPrintable(result.err));
    QFile file(png);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(8), QByteArray("\x89PNG\r\n\x1a\n", 8));
    file.close();
    QImage image;
    QVERIFY(image.load(png, "PNG"));
    QCOMPARE(image.size(), QSize(800, 500));
    // Series 1 (vermilion) and series 2 (bluish green) are drawn, on white.
    QVERIFY(pixels_of(image, QColor(213, 94, 0)) > 50);
    QVERIFY(pixels_of(image, QColor(0, 158, 115)) > 50);
    QVERIFY(pixels_of(image, Qt::white) > image.width() * image.height() / 2);
  }

  void ALogarithmicAxisIsDrawnAsInTheWindowAtTheSizeAsked() {
    // LAI stays within a decade (1 to 5): the axis still has numbers.
    const QString svg = dir_.filePath("log.svg");
    Result result =
        run_vindrel({"--export-chart", svg, "--output-file", file_, "--series", "LAI", "--log-y"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QFile drawing(svg);
    QVERIFY(drawing.open(QIODevice::ReadOnly));
    const QByteArray text = drawing.readAll();
    for (const char* label : {">2<", ">3<", ">4<"}) QVERIFY2(text.contains(label), label);
    QVERIFY(!text.contains("\xe2\x80\xa6"));  // no label cut to an ellipsis
    QVERIFY(!text.contains("<image"));        // markers are paths, not pictures

    const QString png = dir_.filePath("print.png");
    result = run_vindrel({"--export-chart", png, "--output-file", file_, "--series", "LAI",
                          "--size", "1600x1000", "--dpi", "300"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    const QImage image(png);
    QCOMPARE(image.size(), QSize(1600, 1000));
    QCOMPARE(image.dotsPerMeterX(), 11811);
    result = run_vindrel(
        {"--export-chart", png, "--output-file", file_, "--series", "LAI", "--dpi", "2000"});
    QCOMPARE(result.status, 2);
    QCOMPARE(result.err, QString("vindrel: --dpi must be a whole number from 50 to 1200, not "
                                 "\"2000\"\n"));
  }

  void AJournalSizeThatLeavesNoRoomIsWarnedAbout() {
    // A column-wide picture at 600 dpi with ten series: the legend takes it all.
    const QString png = dir_.filePath("column.png");
    Result result = run_vindrel({"--export-chart", png, "--output-file", file_, "--series",
                                 "driver#1,driver#2,driver#3,driver#4,driver#5,driver#6,driver#7,"
                                 "driver#8,driver#9,driver#10",
                                 "--size", "2126x1400", "--dpi", "600"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QVERIFY2(result.err.contains("vindrel: warning: there is no room for the plot"),
             qPrintable(result.err));
    // One series at the same size has its plot, and small text is named.
    result = run_vindrel({"--export-chart", png, "--output-file", file_, "--series", "LAI",
                          "--size", "2126x1400", "--dpi", "600", "--font-size", "5"});
    QCOMPARE(result.status, 0);
    QCOMPARE(result.err.trimmed(),
             QString("vindrel: warning: text of 5 pt prints below the 6 pt that journals ask for"));
  }

  void SvgAndPdfFollowTheExtension() {
    const QString svg = dir_.filePath("relative.svg");
    Result result = run_vindrel({"--export-chart", svg, "--output-file", file_, "--series", "Cf",
                                 "--plot-as", "relative", "--title", "Stand 4"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QFile drawing(svg);
    QVERIFY(drawing.open(QIODevice::ReadOnly));
    const QByteArray text = drawing.readAll();
    QVERIFY(text.contains("<svg") && text.contains("viewBox=\"0 0 768 480\""));
    QVERIFY(text.contains("Stand 4") && text.contains("C: foliar") && text.contains("y/y0"));

    const QString pdf = dir_.filePath("chart.pdf");
    result = run_vindrel({"--export-chart", pdf, "--output-file", file_, "--series", "LAI"});
    QVERIFY2(result.status == 0, qPrintable(result.err));
    QFile document(pdf);
    QVERIFY(document.open(QIODevice::ReadOnly));
    QCOMPARE(document.read(5), QByteArray("%PDF-"));
  }

  void AnUnknownSeriesOrAnUnreadableFileFails() {
    const QString png = dir_.filePath("never.png");
    Result result =
        run_vindrel({"--export-chart", png, "--output-file", file_, "--series", "LAI,NoSuch"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.startsWith("vindrel: unknown output variable \"NoSuch\""),
             qPrintable(result.err));
    QCOMPARE(result.err.count('\n'), 1);
    QVERIFY(!QFile::exists(png));

    const QString missing = dir_.filePath("missing.out");
    result = run_vindrel({"--export-chart", png, "--output-file", missing, "--series", "LAI"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.startsWith("vindrel: " + missing + ": "), qPrintable(result.err));
    QCOMPARE(result.err.count('\n'), 1);

    // A damaged record: the message names the file and the line.
    const QString damaged = dir_.filePath("damaged.out");
    QFile source(file_);
    QVERIFY(source.open(QIODevice::ReadOnly));
    QByteArray bytes = source.readAll();
    const qsizetype line4 = bytes.indexOf('\n', bytes.indexOf('\n', bytes.indexOf('\n') + 1) + 1);
    bytes.replace(line4 + 30, 3, "abc");
    QFile target(damaged);
    QVERIFY(target.open(QIODevice::WriteOnly));
    target.write(bytes);
    target.close();
    result = run_vindrel({"--export-chart", png, "--output-file", damaged, "--series", "LAI"});
    QCOMPARE(result.status, 1);
    QVERIFY2(result.err.startsWith("vindrel: " + damaged + ":4: "), qPrintable(result.err));
    QVERIFY(!QFile::exists(png));

    result = run_vindrel(
        {"--export-chart", png, "--output-file", file_, "--series", "LAI", "--plot-as", "ratio"});
    QCOMPARE(result.status, 2);
    QVERIFY(result.err.startsWith("vindrel: --plot-as must be"));
  }

  void HelpDescribesTheExport() {
    const Result result = run_vindrel({"--help"});
    QCOMPARE(result.status, 0);
    QVERIFY(result.out.contains("--export-chart FILE --output-file OUTPUT_FILE --series LIST"));
    QVERIFY(result.out.contains("driver:Ts"));
  }

 private:
  QTemporaryDir dir_;
  QString file_;
  int lai_ = -1;
  int cf_ = -1;
};

QTEST_MAIN(TestChartExport)
#include "test_chart_export.moc"
