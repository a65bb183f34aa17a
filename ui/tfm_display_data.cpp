#include "ui/tfm_display_data.hpp"

#include <QButtonGroup>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QStackedWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/chart_plot.hpp"
#include "ui/error_handler.hpp"
#include "ui/main_form_support.hpp"
#include "ui/output_export.hpp"
#include "ui/output_table_model.hpp"
#include "ui/output_table_view.hpp"
#include "ui/tdlg_scale.hpp"
#include "ui/tfm_series.hpp"
#include "ui/window_parts.hpp"

namespace vindrel::ui {
namespace {

constexpr int kRightPanelWidth = 230;

}  // namespace

TFmDisplayData::TFmDisplayData(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TFmDisplayData"));
  setWindowTitle(QStringLiteral("Model Output Display"));
  setWindowFlag(Qt::WindowMaximizeButtonHint);
  setSizeGripEnabled(true);
  output_step_ = program_.settings.time_step;

  table_ = new OutputTableModel(this);
  table_->set_definition(program_.model);

  // The time column stays in view while the table scrolls sideways.
  SgModelOutput = named(new FrozenColumnTableView(this), "SgModelOutput");
  SgModelOutput->setModel(table_);
  SgModelOutput->setWordWrap(false);
  SgModelOutput->verticalHeader()->setVisible(false);
  SgModelOutput->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
  SgModelOutput->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  SgModelOutput->setAlternatingRowColors(true);
  // Column widths from the header texts and the widest number the cells can
  // show, never by measuring 36,600 rows.
  {
    const int number = fontMetrics().horizontalAdvance(QStringLiteral("-0.000123456")) + 12;
    QHeaderView* header = SgModelOutput->horizontalHeader();
    header->setDefaultAlignment(Qt::AlignCenter);
    for (int c = 0; c < table_->columns(); ++c) {
      const int name = fontMetrics().horizontalAdvance(table_->names()[c]) + 16;
      const int unit = fontMetrics().horizontalAdvance(table_->units()[c]) + 16;
      header->resizeSection(c, std::clamp(std::max({number, name, unit}), number, 260));
    }
  }

  ChOutput = new OutputChart(this);
  ChOutput->set_title(QString::fromStdString(program_.model.ModelInfo.ModelName));

  stack_ = new QStackedWidget(this);
  stack_->addWidget(SgModelOutput);
  stack_->addWidget(ChOutput);

  auto* menu = new QMenuBar(this);
  build_menu(menu);
  bottom_panel_ = named(new QWidget(this), "PnlBottom");
  build_bottom_panel(bottom_panel_);

  auto* layout = new QVBoxLayout(this);
  layout->setMenuBar(menu);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->addWidget(stack_);
  layout->addWidget(bottom_panel_);
  fill_series_list();
  resize(1100, 760);
  apply_layout();
}

TFmDisplayData::~TFmDisplayData() = default;

void TFmDisplayData::build_menu(QMenuBar* menu) {
  QMenu* window = menu->addMenu(QStringLiteral("&Window"));
  MINewFile = named(window->addAction(QStringLiteral("&New File")), "MINewFile");
  MIClose = named(window->addAction(QStringLiteral("&Close")), "MIClose");

  MChart = named(menu->addMenu(QStringLiteral("&Chart")), "MChart");
  QMenu* x_axis = MChart->addMenu(QStringLiteral("&X-axis"));
  MIXDefine = named(x_axis->addAction(QStringLiteral("&Define")), "MIXDefine");
  MIXScale = named(x_axis->addAction(QStringLiteral("&Scale")), "MIXScale");
  // Time in days or in model years (ticks on each year's first day).
  MIXYears = named(x_axis->addAction(QStringLiteral("Time in Model &Years")), "MIXYears");
  MIXYears->setCheckable(true);
  QMenu* y_axis = MChart->addMenu(QStringLiteral("&Y-axis"));
  MIYDefine = named(y_axis->addAction(QStringLiteral("&Define")), "MIYDefine");
  MIYScale = named(y_axis->addAction(QStringLiteral("&Scale")), "MIYScale");
  MIUpdate = named(MChart->addAction(QStringLiteral("&Update")), "MIUpdate");
  MIPrint = named(MChart->addAction(QStringLiteral("&Print")), "MIPrint");

  QMenu* exports = menu->addMenu(QStringLiteral("&Export"));
  MIExportPng = named(exports->addAction(QStringLiteral("Chart as &PNG Image...")), "MIExportPng");
  MIExportSvg =
      named(exports->addAction(QStringLiteral("Chart as &SVG Drawing...")), "MIExportSvg");
  MIExportPdf = named(exports->addAction(QStringLiteral("Chart as P&DF...")), "MIExportPdf");
  exports->addSeparator();
  MIExportTable = named(exports->addAction(QStringLiteral("&Table as CSV...")), "MIExportTable");
  MIExportChosen =
      named(exports->addAction(QStringLiteral("C&hosen Series as CSV...")), "MIExportChosen");

  const auto command = [this](QAction* action, auto function) {
    connect(action, &QAction::triggered, this,
            [this, function] { guarded(this, dialogs_, [&] { function(); }); });
  };
  command(MINewFile, [this] { new_file(); });
  command(MIClose, [this] { close_display(); });
  command(MIXDefine, [this] { define_axis(ChartAxis::kX); });
  command(MIXScale, [this] { scale_axis(ChartAxis::kX); });
  command(MIYDefine, [this] { define_axis(ChartAxis::kY); });
  command(MIYScale, [this] { scale_axis(ChartAxis::kY); });
  command(MIUpdate, [this] { update_chart(); });
  connect(MIXYears, &QAction::toggled, ChOutput, &OutputChart::set_time_in_years);
  command(MIPrint, [this] { print_chart(); });
  command(MIExportPng, [this] { export_chart(QStringLiteral("png")); });
  command(MIExportSvg, [this] { export_chart(QStringLiteral("svg")); });
  command(MIExportPdf, [this] { export_chart(QStringLiteral("pdf")); });
  command(MIExportTable, [this] { export_table(false); });
  command(MIExportChosen, [this] { export_table(true); });
}

void TFmDisplayData::build_bottom_panel(QWidget* panel) {
  LblSeries = named(new QLabel(QStringLiteral(" Select a maximum of 10 series to plot."), panel),
                    "LblSeries");
  LbxSeries = named(new QListWidget(panel), "LbxSeries");
  LbxSeries->setSelectionMode(QAbstractItemView::MultiSelection);
  LblSeries->setBuddy(LbxSeries);
  // A search over the names: the list shows those that hold the text typed,
  // whatever its letter case; the selection of hidden names is kept.
  EdSearchSeries = named(new QLineEdit(panel), "EdSearchSeries");
  EdSearchSeries->setPlaceholderText(QStringLiteral("Search the names"));
  EdSearchSeries->setClearButtonEnabled(true);
  connect(EdSearchSeries, &QLineEdit::textChanged, this, [this] { filter_series_list(); });
  // Columns from the window's width less the right panel's, 200 pixels each.
  keep_list_columns(LbxSeries,
                    [this] { return list_columns_for_width(width() - kRightPanelWidth); });

  RgValueType = named(new QGroupBox(QStringLiteral("Plot as"), panel), "RgValueType");
  value_types_ = new QButtonGroup(RgValueType);
  auto* types = new QVBoxLayout(RgValueType);
  const QStringList captions = {QStringLiteral("&Actual Values (y)"),
                                QStringLiteral("&Relative Change (y/y0)"),
                                QStringLiteral("Cu&mmulative Change (y-y0)")};
  for (int i = 0; i < captions.size(); ++i) {
    auto* button = new QRadioButton(captions[i], RgValueType);
    button->setObjectName(QStringLiteral("RbValueType%1").arg(i));
    value_types_->addButton(button, i);
    types->addWidget(button);
  }
  value_types_->button(kActual)->setChecked(true);

  BtnUpdateChart = named(new QPushButton(QStringLiteral("&Update Chart"), panel), "BtnUpdateChart");
  BtnClearSeries =
      named(new QPushButton(QStringLiteral("Clear &Selection"), panel), "BtnClearSeries");
  BtnCloseDisplay =
      named(new QPushButton(QStringLiteral("Close &Display"), panel), "BtnCloseDisplay");

  auto* left = new QVBoxLayout();
  left->setContentsMargins(0, 0, 0, 0);
  auto* heading = new QHBoxLayout();
  heading->addWidget(LblSeries, 1);
  heading->addWidget(EdSearchSeries);
  left->addLayout(heading);
  left->addWidget(LbxSeries, 1);
  right_panel_ = named(new QWidget(panel), "PnlRight");
  right_panel_->setFixedWidth(kRightPanelWidth);
  auto* right = new QVBoxLayout(right_panel_);
  right->setContentsMargins(4, 0, 0, 0);
  right->addWidget(RgValueType, 1);
  // The buttons spaced down the lower half (in table mode the one shown is centred).
  auto* buttons = new QVBoxLayout();
  buttons->addStretch();
  buttons->addWidget(BtnUpdateChart);
  buttons->addStretch();
  buttons->addWidget(BtnClearSeries);
  buttons->addStretch();
  buttons->addWidget(BtnCloseDisplay);
  buttons->addStretch();
  right->addLayout(buttons, 1);
  auto* row = new QHBoxLayout(panel);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(left, 1);
  row->addWidget(right_panel_);

  connect(BtnUpdateChart, &QPushButton::clicked, this,
          [this] { guarded(this, dialogs_, [&] { update_chart(); }); });
  connect(BtnClearSeries, &QPushButton::clicked, this,
          [this] { guarded(this, dialogs_, [&] { clear_selection(); }); });
  connect(BtnCloseDisplay, &QPushButton::clicked, this, [this] { close_display(); });
}

void TFmDisplayData::fill_series_list() {
  LbxSeries->clear();
  LbxSeries->addItems(sorted_variable_names(table_->names()));
  filter_series_list();
}

void TFmDisplayData::filter_series_list() {
  const QString text = EdSearchSeries->text().trimmed();
  for (int i = 0; i < LbxSeries->count(); ++i) {
    QListWidgetItem* item = LbxSeries->item(i);
    item->setHidden(!text.isEmpty() && !item->text().contains(text, Qt::CaseInsensitive));
  }
}

void TFmDisplayData::apply_layout() {
  stack_->setCurrentWidget(table_mode_ ? static_cast<QWidget*>(SgModelOutput) : ChOutput);
  MChart->menuAction()->setVisible(!table_mode_);
  MChart->setEnabled(!table_mode_);
  for (QAction* action : {MIExportPng, MIExportSvg, MIExportPdf}) action->setEnabled(!table_mode_);
  LblSeries->setVisible(!table_mode_);
  LbxSeries->setVisible(!table_mode_);
  EdSearchSeries->setVisible(!table_mode_);
  RgValueType->setVisible(!table_mode_);
  BtnUpdateChart->setEnabled(!table_mode_);
  BtnUpdateChart->setVisible(!table_mode_);
  BtnClearSeries->setVisible(!table_mode_);
  // The bottom panel: a twentieth of the window (at least 30 pixels) under a
  // table, a third under a chart.
  const int height = this->height();
  const int button = BtnCloseDisplay->sizeHint().height() + 8;
  bottom_panel_->setFixedHeight(table_mode_ ? std::max({30, height / 20, button}) : height / 3);
}

void TFmDisplayData::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  apply_layout();
}

void TFmDisplayData::set_output_file(const QString& file_name) { output_file_ = file_name; }

void TFmDisplayData::mark_reload_needed() { reload_needed_ = true; }

void TFmDisplayData::set_output_step(double output_step) {
  output_step_ = output_step;
  reload_needed_ = true;
}

void TFmDisplayData::prepare_to_show(bool table_mode) {
  table_mode_ = table_mode;
  if (reload_needed_) {
    guarded(this, dialogs_, [&] { reload_table(); });
    if (!table_mode_ && !chosen_.isEmpty()) guarded(this, dialogs_, [&] { update_chart(); });
  }
  apply_layout();
}

int TFmDisplayData::show_output(bool table_mode) {
  prepare_to_show(table_mode);
  return exec();
}

void TFmDisplayData::reload_table() {
  setWindowTitle(QStringLiteral("Model Output - File: ") + output_file_);
  // The display reads into its own copy of the tables; the model's are not touched.
  const Model names = program_.model;
  table_->load(output_file_.toStdString(), names, program_.settings.start_time);
  reload_needed_ = false;
}

int TFmDisplayData::value_type() const { return value_types_->checkedId(); }

void TFmDisplayData::select_series(const QStringList& names) {
  for (int i = 0; i < LbxSeries->count(); ++i) {
    LbxSeries->item(i)->setSelected(names.contains(LbxSeries->item(i)->text()));
  }
}

void TFmDisplayData::update_chart() {
  // The chosen series: the selected items in list order, at most ten.
  chosen_.clear();
  for (int i = 0; i < LbxSeries->count(); ++i) {
    if (!LbxSeries->item(i)->isSelected()) continue;
    if (chosen_.size() == OutputChart::kSeriesCount) {
      dialogs_.message(this, MessageKind::kError,
                       QStringLiteral("Cannot display series. Maximum is 10 series."),
                       MessageButtons::kOk);
      continue;
    }
    chosen_ << LbxSeries->item(i)->text();
  }
  // The columns of the chosen names, up to the first that is not in the table.
  const OutputTableModel& table = *table_;
  const int x_column = table.column_of(independent_);
  bool valid = x_column >= 0;
  QList<int> plotted;
  for (int i = 0; i < chosen_.size() && valid; ++i) {
    const int column = table.column_of(chosen_[i]);
    valid = column >= 0;
    if (valid) plotted << column;
  }
  plot_columns(*ChOutput, table, x_column, plotted, static_cast<PlotAs>(value_type()), false,
               &styles_);
  if (!valid) {
    dialogs_.message(this, MessageKind::kInformation,
                     QStringLiteral("Cannot update chart. Invalid series."), MessageButtons::kOk);
  }
}

void TFmDisplayData::clear_selection() {
  for (QListWidgetItem* item : LbxSeries->selectedItems()) {
    chosen_.removeAll(item->text());
    item->setSelected(false);
  }
}

void TFmDisplayData::define_axis(ChartAxis axis) {
  update_chart();
  TFmSeries chooser(this);
  QStringList names;
  QList<bool> selected;
  for (int i = 0; i < LbxSeries->count(); ++i) {
    names << LbxSeries->item(i)->text();
    selected << LbxSeries->item(i)->isSelected();
  }
  if (axis == ChartAxis::kX) {
    chooser.prepare_independent(names, independent_);
  } else {
    chooser.prepare_dependent(names, selected);
  }
  if (chooser.exec() != QDialog::Accepted) return;
  if (axis == ChartAxis::kX) {
    const QString name = chooser.selected_name();
    if (!name.isEmpty()) independent_ = name;
  } else {
    // The chooser's selection becomes the display's.
    const QList<bool> chosen = chooser.selection();
    for (int i = 0; i < LbxSeries->count() && i < chosen.size(); ++i) {
      LbxSeries->item(i)->setSelected(chosen[i]);
    }
  }
  update_chart();
}

void TFmDisplayData::scale_axis(ChartAxis axis) {
  update_chart();
  if (axis == ChartAxis::kX && ChOutput->axis_scale(ChartAxis::kX).automatic) {
    ChOutput->rescale_axis(ChartAxis::kX);
  }
  TDlgScale dialog(dialogs_, this);
  dialog.prepare(axis == ChartAxis::kX, ChOutput->axis_scale(axis));
  connect(&dialog, &TDlgScale::logarithmic_changed, this,
          [this, axis](bool logarithmic) { ChOutput->set_logarithmic(axis, logarithmic); });
  if (dialog.exec() != QDialog::Accepted) return;
  if (dialog.auto_scale()) {
    ChOutput->rescale_axis(axis);
  } else {
    ChOutput->set_axis_scale(axis, dialog.typed_scale());
  }
}

void TFmDisplayData::new_file() {
  FileDialogSpec spec = DlgOpenOutput();
  spec.path_must_exist = true;
  const auto chosen = dialogs_.file(this, spec, output_file_);
  if (!chosen || chosen->isEmpty()) return;
  set_output_file(*chosen);
  mark_reload_needed();
  program_.set(&MainFlags::output_available, true);
  emit output_file_chosen(*chosen);
  reload_table();
  update_chart();
}

std::optional<QString> TFmDisplayData::ask_file(const QString& title, const QString& suffix,
                                                const QString& filter) {
  FileDialogSpec spec;
  spec.mode = FileDialogSpec::Mode::kSave;
  spec.title = title;
  spec.default_suffix = suffix;
  spec.filter = filter;
  spec.path_must_exist = true;
  spec.ask_before_overwrite = true;
  const QString base = QFileInfo(output_file_).completeBaseName();
  const auto chosen = dialogs_.file(this, spec, base.isEmpty() ? QString() : base + '.' + suffix);
  if (!chosen || chosen->isEmpty()) return std::nullopt;
  return chosen;
}

void TFmDisplayData::print_chart() {
  const QPrinterInfo printer_info = QPrinterInfo::defaultPrinter();
  if (printer_info.isNull()) {
    // Nothing to print on: offer the same page as a PDF file.
    const auto answer = dialogs_.message(
        this, MessageKind::kInformation,
        QStringLiteral(
            "There is no printer on this computer. Save the chart as a PDF file instead?"),
        MessageButtons::kOkCancel);
    if (answer == MessageAnswer::kOk) export_chart(QStringLiteral("pdf"));
    return;
  }
  if (dialogs_.message(this, MessageKind::kInformation,
                       QStringLiteral("Print chart to the default printer?"),
                       MessageButtons::kOkCancel) != MessageAnswer::kOk) {
    return;
  }
  QPrinter printer(printer_info, QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  printer.setDocName(windowTitle());
  QPainter painter;
  if (!painter.begin(&printer)) {
    throw std::runtime_error("The chart could not be sent to the printer " +
                             printer_info.printerName().toStdString() + ".");
  }
  // The chart fills the printable area, laid out at the paper's size.
  const QRectF page = printer.pageLayout().paintRectPixels(printer.resolution());
  const double scale = printer.resolution() / 96.0;
  ChOutput->render_chart(painter, QRectF(QPointF(0, 0), page.size()), scale, 2.0 / scale);
}

void TFmDisplayData::export_chart(const QString& format) {
  QString filter;
  if (format == QLatin1String("png")) {
    filter = QStringLiteral("PNG Images (*.png)|*.png|All Files (*.*)|*.*");
  } else if (format == QLatin1String("svg")) {
    filter = QStringLiteral("SVG Drawings (*.svg)|*.svg|All Files (*.*)|*.*");
  } else {
    filter = QStringLiteral("PDF Files (*.pdf)|*.pdf|All Files (*.*)|*.*");
  }
  // An image's size and resolution: the last ones chosen, asked again until
  // they can be read.
  std::optional<ImageSize> image;
  if (format == QLatin1String("png")) {
    QString text = image_size_text_;
    while (!image) {
      const auto answer = dialogs_.input(
          this, QStringLiteral("Export Chart"),
          QStringLiteral("Image size in pixels and resolution (WIDTHxHEIGHT at DPI dpi):"), text);
      if (!answer) return;
      text = *answer;
      image = parse_image_size(text, 200);
      if (!image) {
        dialogs_.message(this, MessageKind::kError,
                         QStringLiteral("'%1' is not an image size: write it as 1600x1000 at 200 "
                                        "dpi (100 to 10000 pixels, 50 to 1200 dpi).")
                             .arg(text),
                         MessageButtons::kOk);
      }
    }
    image_size_text_ = text;
  }
  const auto file_name = ask_file(QStringLiteral("Export Chart"), format, filter);
  if (!file_name) return;
  if (image) {
    ChOutput->save_png(*file_name, *image);
  } else if (format == QLatin1String("svg")) {
    ChOutput->save_svg(*file_name);
  } else {
    ChOutput->save_pdf(*file_name);
  }
}

void TFmDisplayData::export_table(bool chosen_only) {
  QList<int> columns;
  if (chosen_only) {
    // The time, the independent variable and the chosen series, as plotted last.
    columns << 0;
    const int x_column = table_->column_of(independent_);
    if (x_column > 0) columns << x_column;
    for (const QString& name : chosen_) {
      const int column = table_->column_of(name);
      if (column >= 0 && !columns.contains(column)) columns << column;
    }
  }
  const auto file_name = ask_file(QStringLiteral("Export Table"), QStringLiteral("csv"),
                                  QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*"));
  if (!file_name) return;
  write_output_csv(*table_, columns, *file_name);
}

void TFmDisplayData::close_display() {
  // A successful reload has already cleared the reload mark; after a failed
  // one it stays, so that the next showing tries the file again.
  done(QDialog::Rejected);
}

void TFmDisplayData::reject() { close_display(); }

}  // namespace vindrel::ui
