// The main window's run settings: the three time boxes, the output step and
// the run type of the Run menu; and what leaving any of its boxes does.
#include <QAction>
#include <QFocusEvent>
#include <QLineEdit>
#include <QStringList>
#include <optional>
#include <stdexcept>
#include <utility>

#include "fileio/number_format.hpp"
#include "ui/error_handler.hpp"
#include "ui/main_form_support.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_run_options.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

QString special_run_note(const RunSettings& settings) {
  QStringList parts;
  if (settings.repeat_drivers) {
    parts << QStringLiteral("drivers repeat at day %1").arg(settings.repeat_time);
  }
  if (settings.reset_states) {
    parts << QStringLiteral("states reset every %1 days").arg(settings.reset_interval);
  }
  if (parts.isEmpty()) return {};
  return QStringLiteral("Special run: ") + parts.join(QStringLiteral(", "));
}

void TMainForm::leave_time_box(TimeBox which) {
  QLineEdit* box = which == TimeBox::kStart  ? MEStartTime
                   : which == TimeBox::kStop ? MEStopTime
                                             : METimeStep;
  bool changed = false;
  if (!box->text().trimmed().isEmpty() && box->isModified()) {
    const double value = parse_time_text(box->text());
    if (which == TimeBox::kStep && !(value > 0.0)) {
      throw std::invalid_argument("The time step must be greater than 0.");
    }
    double RunSettings::*setting = which == TimeBox::kStart  ? &RunSettings::start_time
                                   : which == TimeBox::kStop ? &RunSettings::stop_time
                                                             : &RunSettings::time_step;
    box->setModified(false);
    {
      const ProgramState::Batch batch(program_);
      program_.set(setting, value);
      program_.invalidate_run();
    }
    changed = true;
    UpdateMainForm();
  }
  // The output step must still fit the time step and the run after any time
  // changed (times that make no run leave it alone; Run refuses them).
  if (changed || which == TimeBox::kStep) check_output_step();
}

// The output step is checked against the time step and the run length, and
// corrected when it does not fit; the output display gets the value in use.
void TMainForm::check_output_step() {
  const RunSettings& settings = program_.settings;
  const OutputStepCorrection correction = correct_output_step(
      settings.output_step, settings.time_step, settings.start_time, settings.stop_time);
  program_.set(&RunSettings::output_step, correction.output_step);
  if (correction.corrected()) {
    dialogs_.message(this, MessageKind::kInformation,
                     QString::fromStdString(correction.information), MessageButtons::kOk);
  }
  display_->set_output_step(program_.settings.output_step);
}

void TMainForm::MITimeStepClick() {
  const RunSettings& settings = program_.settings;
  double value = 0.0;
  do {
    const std::optional<QString> answer =
        dialogs_.input(this, QStringLiteral("Output Time Step"),
                       QStringLiteral("Enter the time step for the output data."),
                       QString::fromStdString(shortest_decimal_text(settings.output_step)));
    // Cancelling keeps the current value, whatever it is.
    if (!answer) return;
    value = parse_time_text(*answer);
  } while (!(value > 0.0));
  const ProgramState::Batch batch(program_);
  program_.set(&RunSettings::output_step, value);
  check_output_step();
  program_.set(&MainFlags::output_available, false);
  UpdateMainForm();
}

// ---------------------------------------------------------------- leaving the boxes

void TMainForm::box_left(QObject* box) {
  if (refreshing_) return;
  if (running_) {
    // The window stays enabled in the unattended modes: a name or time
    // confirmed during a run takes effect once the run has ended.
    if (program_.settings.unattended() && !boxes_left_during_run_.contains(box)) {
      boxes_left_during_run_.append(box);
    }
    return;
  }
  if (box == ParamBox) {
    guarded(this, dialogs_, [&] { choose_parameter_file(From::kBox); });
  } else if (box == DriverBox) {
    guarded(this, dialogs_, [&] { choose_driver_file(From::kBox); });
  } else if (box == OutputBox) {
    guarded(this, dialogs_, [&] { choose_output_file(From::kBox); });
  } else if (box == MEStartTime) {
    guarded(this, dialogs_, [&] { leave_time_box(TimeBox::kStart); });
  } else if (box == MEStopTime) {
    guarded(this, dialogs_, [&] { leave_time_box(TimeBox::kStop); });
  } else if (box == METimeStep) {
    guarded(this, dialogs_, [&] { leave_time_box(TimeBox::kStep); });
  }
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    // Leaving a box for another control; not the window losing the focus to
    // another window or a menu opening.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      const bool by_user = reason == Qt::MouseFocusReason || reason == Qt::TabFocusReason ||
                           reason == Qt::BacktabFocusReason || reason == Qt::ShortcutFocusReason;
      const bool was = std::exchange(user_moved_focus_, by_user);
      box_left(watched);
      user_moved_focus_ = was;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- run type

void TMainForm::set_normal_run() {
  const ProgramState::Batch batch(program_);
  program_.set(&RunSettings::repeat_drivers, false);
  program_.set(&RunSettings::reset_states, false);
  MINormalRun->setChecked(true);
  program_.invalidate_run();
  UpdateMainForm();
}

void TMainForm::check_run_menu(bool special) {
  (special ? MISpecialRun : MINormalRun)->setChecked(true);
}

void TMainForm::MISpecialRunClick() { run_options_->exec(); }

}  // namespace vindrel::ui
