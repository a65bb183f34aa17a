// The main window: its controls and menus, the refresh, the time boxes and the
// run settings commands. Files are in tmain_form_files.cpp, runs in
// tmain_form_run.cpp.
#include "ui/tmain_form.hpp"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScopedValueRollback>
#include <QScreen>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>
#include <stdexcept>
#include <tuple>
#include <utility>

#include "fileio/number_format.hpp"
#include "ui/error_handler.hpp"
#include "ui/main_form_support.hpp"
#include "ui/tdata_form.hpp"
#include "ui/tdlg_reload.hpp"
#include "ui/tfm_about.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_note.hpp"
#include "ui/tfm_parameter.hpp"
#include "ui/tfm_progress.hpp"
#include "ui/tfm_run_options.hpp"
#include "ui/tfm_trouble.hpp"

namespace vindrel::ui {

namespace {

// The backdrop behind the controls: a soft vertical gradient, nothing else.
class BackdropPanel : public QWidget {
 public:
  explicit BackdropPanel(QWidget* parent) : QWidget(parent) {
    // Clicking the backdrop takes the focus, so that it confirms a box.
    setFocusPolicy(Qt::ClickFocus);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, QColor(232, 241, 233));
    fill.setColorAt(1.0, QColor(203, 222, 207));
    painter.fillRect(rect(), fill);
  }
};

QLineEdit* make_box(QWidget* parent, const char* name, int characters) {
  auto* box = new QLineEdit(parent);
  box->setObjectName(QLatin1String(name));
  box->setMinimumWidth(box->fontMetrics().horizontalAdvance(QString(characters, QChar('0'))) + 16);
  return box;
}

}  // namespace

TMainForm::TMainForm(Dialogs& dialogs, UnattendedModes modes, QWidget* parent)
    : QMainWindow(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TMainForm"));
  // The model definition has filled the tables (ProgramState makes its model
  // with make_model()); the settings take the boxes' initial texts below.
  build_controls();
  build_menus();

  {
    const ProgramState::Batch batch(program_);
    const double start = parse_time_text(MEStartTime->text());
    const double step = parse_time_text(METimeStep->text());
    program_.set(&RunSettings::tolerance, 1e-8);
    program_.set(&RunSettings::start_time, start);
    program_.set(&RunSettings::stop_time, parse_time_text(MEStopTime->text()));
    program_.set(&RunSettings::time_step, step);
    program_.set(&RunSettings::output_step, step);
    program_.set(&RunSettings::calculation_time, start);
    program_.set(&RunSettings::batch_mode, modes.batch_mode);
    program_.set(&RunSettings::sensitivity_mode, modes.sensitivity_mode);
  }

  setWindowTitle(QString::fromStdString(program_.model.ModelInfo.ModelName));
  setWindowIcon(vindrel_icon());
  // A fixed single border with minimise and the system menu only.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  create_windows();
  connect_commands();
  UpdateMainForm();
  setFixedSize(sizeHint());
}

TMainForm::~TMainForm() {
  if (worker_.joinable()) {
    worker_.request_stop();
    worker_.join();
  }
}

void TMainForm::build_controls() {
  DummyChart = new BackdropPanel(this);
  DummyChart->setObjectName(QStringLiteral("DummyChart"));
  setCentralWidget(DummyChart);

  ParamLabel = new ClickLabel(QStringLiteral("&Parameter File"), DummyChart);
  ParamLabel->setObjectName(QStringLiteral("ParamLabel"));
  ParamBox = make_box(DummyChart, "ParamBox", 48);
  DriverLabel = new ClickLabel(QStringLiteral("&Driver File"), DummyChart);
  DriverLabel->setObjectName(QStringLiteral("DriverLabel"));
  DriverBox = make_box(DummyChart, "DriverBox", 48);
  OutputLabel = new ClickLabel(QStringLiteral("O&utput File"), DummyChart);
  OutputLabel->setObjectName(QStringLiteral("OutputLabel"));
  OutputBox = make_box(DummyChart, "OutputBox", 48);
  ParamLabel->setToolTip(QStringLiteral("Click to choose the parameter file"));
  DriverLabel->setToolTip(QStringLiteral("Click to choose the driver file"));
  OutputLabel->setToolTip(QStringLiteral("Click to choose the output file"));
  auto make_file_button = [this](const char* name, const QString& what) {
    auto* button = new QToolButton(DummyChart);
    button->setObjectName(QLatin1String(name));
    button->setText(QStringLiteral("\u2026"));
    button->setToolTip(QStringLiteral("Choose the ") + what);
    button->setAccessibleName(QStringLiteral("Choose the ") + what);
    return button;
  };
  ParamButton = make_file_button("ParamButton", QStringLiteral("parameter file"));
  DriverButton = make_file_button("DriverButton", QStringLiteral("driver file"));
  OutputButton = make_file_button("OutputButton", QStringLiteral("output file"));

  StartLabel = new QLabel(QStringLiteral("&Start Time"), DummyChart);
  StartLabel->setObjectName(QStringLiteral("StartLabel"));
  MEStartTime = make_box(DummyChart, "MEStartTime", 7);
  MEStartTime->setText(QStringLiteral("1"));
  // At most 5 digits: whole, non-negative times.
  MEStartTime->setMaxLength(5);
  MEStartTime->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,5}")), this));
  StopLabel = new QLabel(QStringLiteral("S&top Time"), DummyChart);
  StopLabel->setObjectName(QStringLiteral("StopLabel"));
  MEStopTime = make_box(DummyChart, "MEStopTime", 9);
  MEStopTime->setText(QStringLiteral("2"));
  MEStopTime->setMaxLength(7);
  MEStopTime->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,7}")), this));
  StepLabel = new QLabel(QStringLiteral("Ti&me Step"), DummyChart);
  StepLabel->setObjectName(QStringLiteral("StepLabel"));
  METimeStep = make_box(DummyChart, "METimeStep", 7);
  METimeStep->setText(QStringLiteral("1"));
  METimeStep->setMaxLength(5);  // any 5 characters: the time step may be fractional

  BtnRun = new QPushButton(QStringLiteral("&Run"), DummyChart);
  BtnRun->setObjectName(QStringLiteral("BtnRun"));
  BtnRun->setEnabled(false);
  PresentLabel = new QLabel(QStringLiteral("Present Time"), DummyChart);
  PresentLabel->setObjectName(QStringLiteral("PresentLabel"));
  PresentBox = make_box(DummyChart, "PresentBox", 9);
  PresentBox->setText(QStringLiteral("0"));
  PresentBox->setReadOnly(true);
  PresentBox->setFocusPolicy(Qt::NoFocus);  // not reachable with the Tab key
  QPalette read_only = PresentBox->palette();
  read_only.setColor(QPalette::Base, read_only.color(QPalette::Window));
  PresentBox->setPalette(read_only);
  BtnReload = new QPushButton(QStringLiteral("Re&load"), DummyChart);
  BtnReload->setObjectName(QStringLiteral("BtnReload"));
  // The states the next run starts from: a run continues from the last one's
  // end, which the window must say, with the way back to the file's.
  NextStartLabel = new QLabel(DummyChart);
  NextStartLabel->setObjectName(QStringLiteral("NextStartLabel"));
  NextStartLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  BtnStartFromFile = new QPushButton(QStringLiteral("Start from F&ile"), DummyChart);
  BtnStartFromFile->setObjectName(QStringLiteral("BtnStartFromFile"));
  BtnStartFromFile->setToolTip(
      QStringLiteral("The next run starts from the parameter file's initial states"));
  // The special run's note sits under the buttons; its line is kept when it
  // is hidden, so that the window's fixed size holds it from the start.
  SpecialRunLabel = new QLabel(DummyChart);
  SpecialRunLabel->setObjectName(QStringLiteral("SpecialRunLabel"));
  QSizePolicy keep_place = SpecialRunLabel->sizePolicy();
  keep_place.setRetainSizeWhenHidden(true);
  SpecialRunLabel->setSizePolicy(keep_place);
  SpecialRunLabel->setMinimumHeight(SpecialRunLabel->fontMetrics().height());
  SpecialRunLabel->setVisible(false);

  // Each box is named for assistive technology by its label.
  const std::pair<QLabel*, QLineEdit*> pairs[] = {
      {ParamLabel, ParamBox},    {DriverLabel, DriverBox}, {OutputLabel, OutputBox},
      {StartLabel, MEStartTime}, {StopLabel, MEStopTime},  {StepLabel, METimeStep},
      {PresentLabel, PresentBox}};
  for (const auto& [label, box] : pairs) {
    label->setBuddy(box);
    box->setAccessibleName(plain_caption(label->text()));
    box->installEventFilter(this);
  }

  auto* files = new QGridLayout;
  files->setHorizontalSpacing(12);
  files->setVerticalSpacing(8);
  const std::tuple<QLabel*, QLineEdit*, QToolButton*> file_rows[] = {
      {ParamLabel, ParamBox, ParamButton},
      {DriverLabel, DriverBox, DriverButton},
      {OutputLabel, OutputBox, OutputButton}};
  int row = 0;
  for (const auto& [label, box, button] : file_rows) {
    files->addWidget(label, row, 0);
    files->addWidget(box, row, 1);
    files->addWidget(button, row, 2);
    ++row;
  }

  auto* times = new QGridLayout;
  times->setHorizontalSpacing(12);
  times->setVerticalSpacing(4);
  const std::pair<QLabel*, QLineEdit*> time_pairs[] = {
      {StartLabel, MEStartTime}, {StopLabel, MEStopTime}, {StepLabel, METimeStep}};
  int column = 0;
  for (const auto& [label, box] : time_pairs) {
    times->addWidget(label, 0, column);
    times->addWidget(box, 1, column);
    ++column;
  }
  times->setColumnStretch(column, 1);
  times->addWidget(PresentLabel, 0, column + 1);
  times->addWidget(PresentBox, 1, column + 1);

  auto* next_start = new QHBoxLayout;
  next_start->addWidget(NextStartLabel, 1);
  next_start->addWidget(BtnStartFromFile);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnRun);
  buttons->addStretch();
  buttons->addWidget(BtnReload);

  auto* layout = new QVBoxLayout(DummyChart);
  layout->setContentsMargins(20, 18, 20, 18);
  layout->setSpacing(16);
  layout->addLayout(files);
  layout->addLayout(times);
  layout->addLayout(next_start);
  layout->addLayout(buttons);
  layout->addWidget(SpecialRunLabel);

  // Tab goes down the files, each box then its "..." button, then along the
  // times to the buttons.
  QWidget* const order[] = {ParamBox,   ParamButton,      DriverBox,   DriverButton,
                            OutputBox,  OutputButton,     MEStartTime, MEStopTime,
                            METimeStep, BtnStartFromFile, BtnRun,      BtnReload};
  for (std::size_t i = 1; i < std::size(order); ++i) QWidget::setTabOrder(order[i - 1], order[i]);
}

void TMainForm::build_menus() {
  QMenuBar* bar = menuBar();
  auto add_menu = [bar](QMenu* parent_menu, const char* name, const QString& caption) {
    QMenu* menu = parent_menu != nullptr ? parent_menu->addMenu(caption) : bar->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
  };
  auto add_item = [this](QMenu* menu, const char* name, const QString& caption) {
    QAction* item = menu->addAction(caption);
    item->setObjectName(QLatin1String(name));
    item->setParent(this);  // findChild<QAction*> from the window finds every item
    return item;
  };

  QMenu* files = add_menu(nullptr, "MIFiles", QStringLiteral("&Files"));
  QMenu* param_file = add_menu(files, "MIParamFile", QStringLiteral("&Parameter File"));
  MIOpenParam = add_item(param_file, "MIOpenParam", QStringLiteral("&Open..."));
  MISaveParam = add_item(param_file, "MISaveParam", QStringLiteral("&Save..."));
  MISaveParam->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  MISaveParam->setEnabled(false);
  MISaveParamAs = add_item(param_file, "MISaveParamAs", QStringLiteral("Save &As"));
  QMenu* driver_file = add_menu(files, "MIDriverFile", QStringLiteral("&Driver File"));
  MIOpenDriver = add_item(driver_file, "MIOpenDriver", QStringLiteral("&Open..."));
  MIEditDriver = add_item(driver_file, "MIEditDriver", QStringLiteral("&Edit..."));
  MIOutputFile = add_item(files, "MIOutputFile", QStringLiteral("&Output File..."));
  MIRecentFiles = add_menu(files, "MIRecentFiles", QStringLiteral("&Recent Files"));
  MIRecentFiles->setEnabled(false);
  files->addSeparator();
  MIExit = add_item(files, "MIExit", QStringLiteral("E&xit"));

  QMenu* edit = add_menu(nullptr, "MIEdit", QStringLiteral("&Edit"));
  MIParameters = add_item(edit, "MIParameters", QStringLiteral("&Parameters..."));
  MIStateVariables = add_item(edit, "MIStateVariables", QStringLiteral("&State Variables..."));
  MIDrivers = add_item(edit, "MIDrivers", QStringLiteral("&Drivers..."));

  // Calculations at a time and of a steady state are not offered.
  QMenu* calculate = add_menu(nullptr, "MICalculate", QStringLiteral("&Calculate"));
  add_item(calculate, "MIAtTime", QStringLiteral("&At Time..."));
  add_item(calculate, "MISteadyState", QStringLiteral("&Steady State..."));
  MICalculate = calculate->menuAction();
  MICalculate->setEnabled(false);
  // Disabled as a widget too: enabling the window again (after a run) would
  // otherwise enable the menu, and with it its action.
  calculate->setEnabled(false);

  QMenu* run = add_menu(nullptr, "MIRun", QStringLiteral("Ru&n"));
  run_type_group_ = new QActionGroup(this);
  run_type_group_->setExclusive(true);
  MINormalRun = add_item(run, "MINormalRun", QStringLiteral("&Normal Run"));
  MISpecialRun = add_item(run, "MISpecialRun", QStringLiteral("&Special Run ..."));
  for (QAction* item : {MINormalRun, MISpecialRun}) {
    item->setCheckable(true);
    run_type_group_->addAction(item);
  }
  MINormalRun->setChecked(true);
  run->addSeparator();

  QMenu* output = add_menu(nullptr, "MIOutput", QStringLiteral("&Output"));
  MIChart = add_item(output, "MIChart", QStringLiteral("&Chart"));
  MITable = add_item(output, "MITable", QStringLiteral("Ta&ble"));
  MIFromFile = add_item(output, "MIFromFile", QStringLiteral("From &File..."));
  MITimeStep = add_item(output, "MITimeStep", QStringLiteral("&Time Step..."));
  MIChart->setEnabled(false);
  MITable->setEnabled(false);

  QMenu* help = add_menu(nullptr, "MIHelp", QStringLiteral("&Help"));
  MIAbout = add_item(help, "MIAbout", QStringLiteral("&About"));
}

void TMainForm::create_windows() {
  const QString name = QString::fromStdString(program_.model.ModelInfo.ModelName);
  reload_ = new TDlgReload(this);
  // The parameter editor opens the state and process tables, so they come first.
  data_form_ = new TDataForm(program_, dialogs_, this);
  parameter_editor_ = new TFmParameter(program_, dialogs_, *data_form_, this);
  driver_editor_ = new TFmNote(program_, dialogs_, this);
  display_ = new TFmDisplayData(program_, dialogs_, this);
  display_->set_output_step(program_.settings.output_step);
  about_ = new TFmAbout(program_.model.ModelInfo, this);
  trouble_ = new TFmTrouble(name, dialogs_, this);
  progress_ = std::make_unique<TFmProgress>(name, dialogs_, nullptr);
  run_options_ = new TFmRunOptions(program_, dialogs_, this);
}

void TMainForm::connect_commands() {
  // Every command runs through the program-wide handler.
  auto command = [this](auto member) {
    return [this, member] { guarded(this, dialogs_, [&] { (this->*member)(); }); };
  };
  // A file's label, its "..." button and its menu item open its dialog.
  using Choose = void (TMainForm::*)(From, const std::string&);
  const std::tuple<ClickLabel*, QToolButton*, QAction*, Choose> choosers[] = {
      {ParamLabel, ParamButton, MIOpenParam, &TMainForm::choose_parameter_file},
      {DriverLabel, DriverButton, MIOpenDriver, &TMainForm::choose_driver_file},
      {OutputLabel, OutputButton, MIOutputFile, &TMainForm::choose_output_file}};
  for (const auto& [label, button, item, choose] : choosers) {
    const auto open_dialog = [this, choose] {
      guarded(this, dialogs_, [&] { (this->*choose)(From::kDialog, {}); });
    };
    label->clicked = open_dialog;
    connect(button, &QToolButton::clicked, this, open_dialog);
    connect(item, &QAction::triggered, this, open_dialog);
  }
  connect(MISaveParam, &QAction::triggered, this, command(&TMainForm::save_parameter_file));
  connect(MISaveParamAs, &QAction::triggered, this, command(&TMainForm::save_parameter_file_as));
  connect(MIEditDriver, &QAction::triggered, this, command(&TMainForm::edit_drivers));
  connect(MIDrivers, &QAction::triggered, this, command(&TMainForm::edit_drivers));
  connect(MIExit, &QAction::triggered, this, &QWidget::close);
  connect(MIParameters, &QAction::triggered, this, command(&TMainForm::edit_parameters));
  connect(MIStateVariables, &QAction::triggered, this, command(&TMainForm::edit_states));
  connect(MINormalRun, &QAction::triggered, this, command(&TMainForm::set_normal_run));
  connect(MISpecialRun, &QAction::triggered, this, command(&TMainForm::MISpecialRunClick));
  connect(MIChart, &QAction::triggered, this,
          [this] { guarded(this, dialogs_, [&] { show_output(false); }); });
  connect(MITable, &QAction::triggered, this,
          [this] { guarded(this, dialogs_, [&] { show_output(true); }); });
  connect(MIFromFile, &QAction::triggered, this, command(&TMainForm::view_output_file));
  connect(MITimeStep, &QAction::triggered, this, command(&TMainForm::MITimeStepClick));
  connect(MIAbout, &QAction::triggered, this, command(&TMainForm::about));
  connect(BtnRun, &QPushButton::clicked, this, command(&TMainForm::BtnRunClick));
  connect(BtnReload, &QPushButton::clicked, this, command(&TMainForm::reload_clicked));
  connect(BtnStartFromFile, &QPushButton::clicked, this, command(&TMainForm::start_from_file));

  // Enter in a box does what leaving it does.
  for (QLineEdit* box : {ParamBox, DriverBox, OutputBox, MEStartTime, MEStopTime, METimeStep}) {
    connect(box, &QLineEdit::returnPressed, this, [this, box] { box_left(box); });
  }

  connect(run_options_, &TFmRunOptions::run_type_checked, this, &TMainForm::check_run_menu);
  connect(run_options_, &TFmRunOptions::normal_run_requested, this, &TMainForm::set_normal_run);
  // The window is a view of the program's state: every change refreshes it;
  // the end of a run refreshes it itself, and only an interactive run's end.
  connect(&program_, &ProgramState::changed, this, [this] {
    if (!running_) UpdateMainForm();
  });
  connect(progress_.get(), &TFmProgress::cancel_confirmed, this, &TMainForm::cancel_run);
  connect(progress_.get(), &TFmProgress::question_closed, this, &TMainForm::cancel_question_closed);
  connect(this, &TMainForm::run_progress, progress_.get(), &TFmProgress::set_progress,
          Qt::QueuedConnection);
}

void TMainForm::UpdateMainForm() {
  // The refresh's own change of the state (Run made ready) refreshes nothing more.
  if (updating_) return;
  const QScopedValueRollback updating(updating_, true);
  const MainFlags& flags = program_.flags;
  const RunSettings& settings = program_.settings;
  if (!flags.run_ready) {
    ParamBox->setText(QString::fromStdString(settings.parameter_file));
    if (!settings.parameter_file.empty()) MISaveParam->setEnabled(true);
    if (!settings.driver_file.empty())
      DriverBox->setText(QString::fromStdString(settings.driver_file));
    if (!settings.output_file.empty())
      OutputBox->setText(QString::fromStdString(settings.output_file));
    if (!ParamBox->text().isEmpty() && !DriverBox->text().isEmpty() &&
        !OutputBox->text().isEmpty() && settings.stop_time > settings.start_time) {
      program_.set(&MainFlags::run_ready, true);
      BtnRun->setEnabled(true);  // and nothing disables it again
    }
  }
  SpecialRunLabel->setText(special_run_note(settings));
  SpecialRunLabel->setVisible(!SpecialRunLabel->text().isEmpty());
  MIChart->setEnabled(flags.output_available);
  MITable->setEnabled(flags.output_available);
  if (!flags.output_available) PresentBox->setText(QStringLiteral("0"));
  show_next_start();
  // A box confirmed with Enter keeps the focus and the parameter box gives it
  // up to the background; a click or a Tab into the parameter box is the
  // user's choice, and the typing that follows must reach the box.
  if (focusWidget() == ParamBox && !user_moved_focus_) {
    refreshing_ = true;
    DummyChart->setFocus(Qt::OtherFocusReason);
    refreshing_ = false;
    focus_parked_from_param_box_ = true;
  }
}

// ---------------------------------------------------------------- window

bool TMainForm::focusNextPrevChild(bool next) {
  const bool parked = std::exchange(focus_parked_from_param_box_, false);
  if (parked && next && focusWidget() == DummyChart) {
    // On from the parameter box, as if the focus had stayed there.
    ParamButton->setFocus(Qt::TabFocusReason);
    return true;
  }
  return QMainWindow::focusNextPrevChild(next);
}

void TMainForm::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Centred the first time, unless a remembered place was taken.
  if (!centred_) {
    centred_ = true;
    if (QScreen* shown_on = screen()) {
      move(shown_on->availableGeometry().center() - frameGeometry().center() + pos());
    }
  }
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (running_) {
    // Closing during a run asks as the progress window's Cancel does; the
    // window stays until the run has ended.
    event->ignore();
    progress_->cancel_clicked();
    return;
  }
  bool may = false;
  guarded(this, dialogs_, [&] { may = may_close(); });
  if (!may) {
    event->ignore();
    return;
  }
  progress_->hide();
  if (memory_) memory_->set_window_geometry(saveGeometry());
  event->accept();
}

}  // namespace vindrel::ui
