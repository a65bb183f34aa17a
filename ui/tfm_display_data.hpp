// The output display: a run's output file as a table of its records or as a
// line chart of up to ten of its variables against one chosen variable, with
// printing and exports of both.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <optional>

#include "ui/chart_plot.hpp"
#include "ui/dialogs.hpp"
#include "ui/output_chart.hpp"
#include "ui/program_state.hpp"

class QAction;
class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class QStackedWidget;
class QTableView;

namespace vindrel::ui {

class OutputTableModel;

class TFmDisplayData : public QDialog {
  Q_OBJECT

 public:
  // How the chosen series are plotted.
  enum ValueType { kActual = 0, kRelative = 1, kChange = 2 };

  TFmDisplayData(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TFmDisplayData() override;

  // The file the display shows.
  void set_output_file(const QString& file_name);
  const QString& output_file() const noexcept { return output_file_; }
  // A run or "From File..." made the rows shown stale.
  void mark_reload_needed();
  bool reload_needed() const noexcept { return reload_needed_; }
  // The main window's output step (storing it marks a reload as needed).
  void set_output_step(double output_step);
  double output_step() const noexcept { return output_step_; }
  // Shows the window modally in table mode or chart mode; returns exec()'s result.
  int show_output(bool table_mode);
  // What show_output does before exec(): reload when needed, lay out for the mode.
  void prepare_to_show(bool table_mode);
  bool table_mode() const noexcept { return table_mode_; }

  // The commands of the window's buttons and menus.
  void reload_table();
  void update_chart();
  void clear_selection();
  void define_axis(ChartAxis axis);
  void scale_axis(ChartAxis axis);
  void new_file();
  void print_chart();
  void export_chart(const QString& format);  // "png", "svg" or "pdf"
  void export_table(bool chosen_only);
  void close_display();

  // The independent (X) variable, "Time" at first.
  const QString& independent_series() const noexcept { return independent_; }
  void set_independent_series(const QString& name) { independent_ = name; }
  // The dependent variables of the last chart update, in list order.
  const QStringList& chosen_series() const noexcept { return chosen_; }
  // Selects the list items named (every item of each name), deselecting the others.
  void select_series(const QStringList& names);

  OutputTableModel& table() noexcept { return *table_; }
  OutputChart& chart() noexcept { return *ChOutput; }

  // Controls, named as the window's users know them.
  QTableView* SgModelOutput = nullptr;
  OutputChart* ChOutput = nullptr;
  QLabel* LblSeries = nullptr;
  QListWidget* LbxSeries = nullptr;
  QLineEdit* EdSearchSeries = nullptr;  // narrows LbxSeries to the names holding its text
  QGroupBox* RgValueType = nullptr;
  QPushButton* BtnUpdateChart = nullptr;
  QPushButton* BtnClearSeries = nullptr;
  QPushButton* BtnCloseDisplay = nullptr;
  QMenu* MChart = nullptr;
  QAction* MINewFile = nullptr;
  QAction* MIClose = nullptr;
  QAction* MIXDefine = nullptr;
  QAction* MIXScale = nullptr;
  QAction* MIXYears = nullptr;
  QAction* MIYDefine = nullptr;
  QAction* MIYScale = nullptr;
  QAction* MIUpdate = nullptr;
  QAction* MIPrint = nullptr;
  QAction* MIExportPng = nullptr;
  QAction* MIExportSvg = nullptr;
  QAction* MIExportPdf = nullptr;
  QAction* MIExportTable = nullptr;
  QAction* MIExportChosen = nullptr;

 signals:
  // "New File" chose another output file (the main window refreshes its commands).
  void output_file_chosen(const QString& file_name);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void reject() override;

 private:
  void build_menu(QMenuBar* menu);
  void build_bottom_panel(QWidget* panel);
  void apply_layout();
  void fill_series_list();
  void filter_series_list();
  int value_type() const;
  std::optional<QString> ask_file(const QString& title, const QString& suffix,
                                  const QString& filter);

  ProgramState& program_;
  Dialogs& dialogs_;
  OutputTableModel* table_ = nullptr;
  QStackedWidget* stack_ = nullptr;
  QWidget* bottom_panel_ = nullptr;
  QWidget* right_panel_ = nullptr;
  QButtonGroup* value_types_ = nullptr;
  QString output_file_;
  QString image_size_text_ = QStringLiteral("1600x1000 at 200 dpi");
  QString independent_ = QStringLiteral("Time");
  QStringList chosen_;
  SeriesStyles styles_;  // each variable's colour and point style for the session
  bool reload_needed_ = true;
  bool table_mode_ = false;
  double output_step_ = 0.0;
};

}  // namespace vindrel::ui
