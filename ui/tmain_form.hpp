// The main window: the program's control panel. It names the three files,
// holds the time settings, starts runs, opens every other window and keeps
// its commands enabled as what has been loaded and computed allows.
//
// The window owns the program-wide ProgramState and hands it, with the
// Dialogs it was given, to every other window, all of which it creates right
// after itself and keeps until the program ends.
#pragma once

#include <QList>
#include <QMainWindow>
#include <QPointer>
#include <QSet>
#include <QString>
#include <exception>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "check/findings.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"
#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"
#include "ui/tmain_form_memory.hpp"

class QAction;
class QActionGroup;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace vindrel::ui {

class TDataForm;
class TDlgReload;
class TFmAbout;
class TFmDisplayData;
class TFmNote;
class TFmParameter;
class TFmProgress;
class TFmRunOptions;
class TFmTrouble;
class ClickLabel;

class TMainForm : public QMainWindow {
  Q_OBJECT

 public:
  // `modes`: the unattended modes, taken from the program's name at start-up.
  explicit TMainForm(Dialogs& dialogs, UnattendedModes modes = {}, QWidget* parent = nullptr);
  ~TMainForm() override;

  ProgramState& program() noexcept { return program_; }
  const ProgramState& program() const noexcept { return program_; }

  // Names given on the command line: each fills its box and is taken as if
  // typed there and confirmed (empty names are skipped).
  void enter_file_names(const QString& parameter_file, const QString& driver_file,
                        const QString& output_file);

  // Refresh: file boxes, Run, Chart and Table, Present Time, the special
  // run's note, as the flags and settings say.
  void UpdateMainForm();

  // Remembers the files and the window's place in `memory` from now on: the
  // window takes the place and the last files that still exist, and offers
  // the recent files in the Files menu. Without it nothing is remembered.
  void remember_with(std::unique_ptr<SessionMemory> memory);

  // True from the start of a run until its end has been dealt with.
  bool running() const noexcept { return running_; }
  // The run has ended while "Cancel Run?" waits for its answer.
  bool result_pending() const noexcept { return pending_result_ != nullptr; }

  // The windows the main window made (tests and screenshots look at them).
  TFmProgress& progress_window() noexcept { return *progress_; }
  TFmTrouble& trouble_window() noexcept { return *trouble_; }
  TFmRunOptions& run_options_window() noexcept { return *run_options_; }
  TDlgReload& reload_dialog() noexcept { return *reload_; }
  TFmDisplayData& display_window() noexcept { return *display_; }

 signals:
  // The worker's progress (percent done, model time reached in days), queued
  // to the progress window.
  void run_progress(int percent, double present_time);
  // A run has ended and its end has been dealt with (tables committed,
  // window refreshed, any failure shown or reported).
  void run_finished();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  bool focusNextPrevChild(bool next) override;

 private:
  // Where a file name comes from: its box, its file dialog, or the recent files.
  enum class From { kBox, kDialog, kRecent };
  enum class TimeBox { kStart, kStop, kStep };

  // Building the window (tmain_form.cpp).
  void build_controls();
  void build_menus();
  void create_windows();
  void connect_commands();

  // Settings (tmain_form.cpp).
  void leave_time_box(TimeBox which);
  void check_output_step();
  void MITimeStepClick();
  void set_normal_run();
  void check_run_menu(bool special);
  void MISpecialRunClick();

  // Files (tmain_form_files.cpp).
  // `recent`: the name taken from the recent files (From::kRecent).
  void choose_parameter_file(From from, const std::string& recent = {});
  void choose_driver_file(From from, const std::string& recent = {});
  void choose_output_file(From from, const std::string& recent = {});
  void save_parameter_file();
  void save_parameter_file_as();
  bool save_parameter_file_under_new_name();
  void edit_drivers();
  void edit_parameters();
  void edit_states();
  void reload_clicked();
  void view_output_file();
  void show_output(bool table_mode);
  void about();
  // Asks before the window closes with unsaved edits; true when it may close.
  bool may_close();

  // Saving (tmain_form_saving.cpp). Writes the parameter file `name`; when
  // the states in memory are not the file's, asks whether to write them or
  // keep the file's initial states. False when the user cancelled.
  bool write_parameter_file(const std::string& name);
  // Before `next_file` replaces unsaved edits: save them (Yes), drop them
  // (No) or keep the file in use (Cancel, false).
  bool settle_parameter_edits(const std::string& next_file);
  // Where the model's states come from, in words ("the end of the last run,
  // day 10980", "values edited in the state table" or the file's name).
  QString states_origin_text() const;
  // The next run starts from the file's initial states, as a run of the file
  // alone would (the year's running totals start afresh too).
  void start_from_file();
  // The note on the states the next run starts from, and its button.
  void show_next_start();

  // Findings of the run's inputs (tmain_form_findings.cpp). True when the
  // file may be taken / the run may start: no findings, warnings the user
  // goes on with, or (when choosing) a refusal the user has been told of.
  enum class FindingsMoment { kChoosing, kRun };
  bool findings_allow(const std::vector<Finding>& findings, FindingsMoment moment);
  bool chosen_file_allowed(FileKind kind, const std::string& name);
  // Prepares the run of the program's model and settings: a mistake in the
  // settings throws with the command line's sentence; interactively, the
  // findings are shown and may stop the run (false).
  bool run_inputs_allowed(bool interactive);

  // Remembered files (tmain_form_memory.cpp).
  void remember_files();
  void fill_recent_menu();
  void open_recent(const RecentFile& file);
  // The run settings of the last session (stop time, time steps, integrator,
  // special run), and keeping them for the next.
  void restore_run_settings();
  void remember_run_settings();

  // Runs (tmain_form_run.cpp).
  void BtnRunClick();
  void start_run();
  std::jthread start_worker(const RunSettings& settings, bool interactive);
  // Ends a run that could not be carried out or finished: the window is made
  // usable again and the failure goes to the program-wide handler.
  void abandon_run(std::exception_ptr failure);
  // Takes the result of the worker; it waits while "Cancel Run?" is open.
  void deliver_result(std::shared_ptr<const RunResult> result, bool interactive);
  void finish_run(const RunResult& result, bool interactive);
  void cancel_run();
  void cancel_question_closed();

  // A box's focus leaving runs its command; while refreshing or running it does not.
  void box_left(QObject* box);

  Dialogs& dialogs_;
  ProgramState program_;

  // Controls, named as the model program names them.
  QWidget* DummyChart = nullptr;
  ClickLabel* ParamLabel = nullptr;
  QLineEdit* ParamBox = nullptr;
  ClickLabel* DriverLabel = nullptr;
  QLineEdit* DriverBox = nullptr;
  ClickLabel* OutputLabel = nullptr;
  QLineEdit* OutputBox = nullptr;
  // The "..." buttons beside the file boxes: the same dialogs as the labels.
  QToolButton* ParamButton = nullptr;
  QToolButton* DriverButton = nullptr;
  QToolButton* OutputButton = nullptr;
  QLabel* StartLabel = nullptr;
  QLineEdit* MEStartTime = nullptr;
  QLabel* StopLabel = nullptr;
  QLineEdit* MEStopTime = nullptr;
  QLabel* StepLabel = nullptr;
  QLineEdit* METimeStep = nullptr;
  QPushButton* BtnRun = nullptr;
  QLabel* PresentLabel = nullptr;
  QLineEdit* PresentBox = nullptr;
  QPushButton* BtnReload = nullptr;
  QLabel* NextStartLabel = nullptr;
  QPushButton* BtnStartFromFile = nullptr;
  // Says that a special run is set, with its times; hidden for a normal run.
  QLabel* SpecialRunLabel = nullptr;

  QAction* MIOpenParam = nullptr;
  QAction* MISaveParam = nullptr;
  QAction* MISaveParamAs = nullptr;
  QAction* MIOpenDriver = nullptr;
  QAction* MIEditDriver = nullptr;
  QAction* MIOutputFile = nullptr;
  QMenu* MIRecentFiles = nullptr;
  QAction* MIExit = nullptr;
  QAction* MIParameters = nullptr;
  QAction* MIStateVariables = nullptr;
  QAction* MIDrivers = nullptr;
  QAction* MICalculate = nullptr;
  QAction* MINormalRun = nullptr;
  QAction* MISpecialRun = nullptr;
  QActionGroup* run_type_group_ = nullptr;
  QAction* MIChart = nullptr;
  QAction* MITable = nullptr;
  QAction* MIFromFile = nullptr;
  QAction* MITimeStep = nullptr;
  QAction* MIAbout = nullptr;

  // The other windows, created right after this one.
  TDlgReload* reload_ = nullptr;
  TDataForm* data_form_ = nullptr;
  TFmParameter* parameter_editor_ = nullptr;
  TFmNote* driver_editor_ = nullptr;
  TFmDisplayData* display_ = nullptr;
  TFmAbout* about_ = nullptr;
  TFmTrouble* trouble_ = nullptr;
  // Without a parent: it must stay usable while the main window is disabled.
  std::unique_ptr<TFmProgress> progress_;
  TFmRunOptions* run_options_ = nullptr;

  // What is remembered between sessions; none in the unattended modes.
  std::unique_ptr<SessionMemory> memory_;

  // A result that came while "Cancel Run?" was open.
  std::shared_ptr<const RunResult> pending_result_;
  bool pending_interactive_ = false;
  // The warnings the user went on with in this session, with the state of
  // the files they name (see tmain_form_findings.cpp).
  QSet<QString> warnings_accepted_;
  // Boxes confirmed during an unattended run, dealt with after it.
  QList<QObject*> boxes_left_during_run_;
  // Where the keyboard focus was when an interactive run disabled the window.
  QPointer<QWidget> focus_before_run_;
  bool refreshing_ = false;
  // UpdateMainForm is running.
  bool updating_ = false;
  // A box is being left because the user clicked or tabbed elsewhere: the
  // focus is where the user put it, and a refresh leaves it there.
  bool user_moved_focus_ = false;
  // The refresh has moved the focus from the parameter box to the backdrop:
  // Tab then goes on from the box, not back into it.
  bool focus_parked_from_param_box_ = false;
  bool running_ = false;
  bool centred_ = false;
  // Declared last, so that it is stopped and joined before anything it uses
  // goes away.
  std::jthread worker_;
};

}  // namespace vindrel::ui
