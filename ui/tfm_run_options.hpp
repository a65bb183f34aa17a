// The run options: a normal run, or a special run with drivers repeated from
// the start time and/or selected states reset to their run-start values, each
// every so many days; and the integrator that advances the states, with the
// relative tolerance of the embedded pairs.
#pragma once

#include <QDialog>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace vindrel::ui {

class TFmRunOptions : public QDialog {
  Q_OBJECT

 public:
  TFmRunOptions(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);

  // Draws the window from the settings, as it is drawn whenever it is shown.
  void load_from_settings();

  // The user's choices, as the controls make them.
  void choose_normal();
  void choose_special();
  void leave_repeat_box();
  void leave_reset_box();
  // Choosing an integrator takes effect at once; the tolerance box is open
  // to the embedded pairs only (rk4 keeps the model's fixed tolerance).
  void choose_integrator(IntegratorKind kind);
  // Leaving the tolerance box stores its number, or refuses it as the command
  // line refuses --rtol and shows the stored tolerance again.
  void leave_tolerance_box();
  // Leaving the first start time's box stores it (empty: the run starts a
  // series), or refuses what is not a time and shows the stored one again.
  void leave_first_start_box();
  void close_clicked();

 signals:
  // The Run menu's radio items: "&Special Run ..." when true, else "&Normal Run".
  void run_type_checked(bool special);
  // The run was set to normal as the menu's "&Normal Run" sets it.
  void normal_run_requested();
  // Settings or flags changed: the main window refreshes.
  void settings_changed();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void done(int result) override;

 private:
  // Leaving a time box: stores its integer, or falls back to a normal run.
  void leave_time_box(QLineEdit* box, std::int32_t RunSettings::*stored, const QString& warning);
  void enable_options(bool enabled);
  // The integrator's controls drawn from the settings.
  void load_integrator();

  ProgramState& program_;
  Dialogs& dialogs_;
  QGroupBox* RgRunType;
  QRadioButton* normal_button_;
  QRadioButton* special_button_;
  QCheckBox* CbRepeatDrivers;
  QLineEdit* EdRepeatDriveTime;
  QLabel* LblTimeUnit1;
  QCheckBox* CbResetStates;
  QLineEdit* EdResetStateTime;
  QLabel* LblTimeUnit2;
  QLabel* LblFirstStart;
  QLineEdit* EdFirstStartTime;
  QLabel* LblTimeUnit3;
  QPlainTextEdit* MmInfo;
  QGroupBox* GbIntegrator;
  QComboBox* CbIntegrator;
  QLineEdit* EdRelativeTolerance;
  QPushButton* BtnClose;
  bool loading_ = false;
};

}  // namespace vindrel::ui
