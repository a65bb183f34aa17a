// `vindrel --export-chart`: the output display's chart written to a PNG, SVG
// or PDF file without a window, for servers and scripts:
//
//   vindrel --export-chart chart.png --output-file run.out --series LAI,Ps
//           [--x Time] [--plot-as actual|relative|change] [--log-y] [--lines]
//           [--size 1600x1000] [--dpi 200] [--title TEXT] [--font-size 9]
//           [--time-axis days|years] [--markers on|off] [--labels LIST]
//
// Series are named as the command-line program names output variables: by
// symbol when exactly one column has it (LAI, Cf), qualified by the table
// (driver:Ts, state:Cf, process:LAI) where a symbol names several columns, by
// the 1-based position in the table (driver#4, state#1, process#77; processes
// 1 to StateCount are the derivatives, which the output file does not hold),
// by "Time", or by a name as the display's list shows it ("Leaf Area Index").
#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <stdexcept>

#include "core/model.hpp"
#include "ui/chart_plot.hpp"

namespace vindrel::ui {

struct ChartExportOptions {
  QString image_file;   // .png, .svg or .pdf
  QString output_file;  // the run's output file
  QStringList series;   // up to ten
  QString x = QStringLiteral("Time");
  PlotAs plot_as = PlotAs::kActual;
  bool log_y = false;
  bool lines = false;          // join the points of a scatter against another variable
  double font_size = 9.0;      // points on paper, 5 to 24
  bool time_in_years = false;  // --time-axis years: time in model years
  bool markers = true;         // --markers off: lines without markers
  QStringList labels;          // the series' names in the legend, in order
  // Pixels of the PNG (1600x1000 when empty) and of the SVG (the PNG's size
  // on paper at 96 dpi when empty, 768x480); the PDF fills an A4 page.
  QSize size;
  int dpi = 200;  // the PNG's resolution: text keeps its size on paper
  QString title;  // the model's name unless given; given empty, no title
  bool title_given = false;
};

// A command line that cannot be understood (exit status 2).
class ChartExportUsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// "--export-chart" is among the arguments.
bool wants_chart_export(int argc, char** argv);

// The options from the arguments after the program's name ("--name value" or
// "--name=value"). Throws ChartExportUsageError.
ChartExportOptions parse_chart_export_arguments(const QStringList& arguments);

// The output column (0 = Time) that `text` names. Throws std::invalid_argument
// with a one-line message for an unknown or ambiguous name.
int resolve_output_column(const Model& model, const QString& text);

// Reads the output file and writes the chart. Needs a QApplication. Throws
// std::invalid_argument (series), EInOutError (files) or ChartExportUsageError.
// Returns warnings about a picture that a journal would find too small: text
// below 6 pt, a plot under 25 x 20 mm, fewer than two labels on the
// horizontal axis.
QStringList export_chart(const ChartExportOptions& options);

// The whole command: makes its own QApplication on the offscreen platform
// (unless a platform was chosen), writes the chart and returns the exit
// status: 0 written, 1 a series or file problem, 2 a command-line mistake.
// Messages and warnings go to stderr as one line each.
int chart_export_main(int argc, char** argv);

// The command's part of `vindrel --help`.
const char* chart_export_usage();

}  // namespace vindrel::ui
