// Runs from the main window. A run works on a copy of the model on a worker
// thread; the window stays responsive (disabled, in an interactive run) and
// the progress window follows the run through queued signals. At the end the
// result comes back to this thread, where its tables are committed to the
// program's model and any failure is shown.
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "fileio/driver_file.hpp"
#include "fileio/io_error.hpp"
#include "fileio/number_format.hpp"
#include "run/record_sink.hpp"
#include "ui/error_handler.hpp"
#include "ui/main_form_support.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_progress.hpp"
#include "ui/tfm_trouble.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

namespace {

// Lets progress through when the percentage has changed and at least 33 ms
// have passed since the last one: at most about 30 updates a second, however
// short the time steps.
class ProgressThrottle {
 public:
  bool due(int percent) {
    const auto now = std::chrono::steady_clock::now();
    if (percent == last_percent_ || now - last_ < std::chrono::milliseconds(33)) return false;
    last_percent_ = percent;
    last_ = now;
    return true;
  }

 private:
  int last_percent_ = -1;
  std::chrono::steady_clock::time_point last_{};
};

}  // namespace

void TMainForm::BtnRunClick() {
  if (running_) return;
  // The Run button's accelerator confirms the box being typed in, as a click
  // on the button does.
  if (QWidget* focused = focusWidget(); focused != nullptr && focused != BtnRun) {
    BtnRun->setFocus(Qt::ShortcutFocusReason);
  }
  start_run();
}

void TMainForm::start_run() {
  // The output step as its box corrects it, with its own information box.
  check_output_step();
  const RunSettings settings = program_.settings;
  const bool interactive = !settings.unattended();

  // The run is prepared as the command line prepares it, with the same
  // sentences: a mistake in the settings is refused; interactively, what the
  // check of the files and settings finds is shown (among it, drivers looked
  // up past the file's last record), and a refusal or a Cancel starts nothing.
  if (!run_inputs_allowed(interactive)) return;

  running_ = true;
  if (interactive) {
    display_->mark_reload_needed();
    // The progress window belongs to this one for the window manager, though
    // not in the widget tree (it must stay enabled while this one is not).
    if (windowHandle() != nullptr) {
      progress_->winId();
      progress_->windowHandle()->setTransientParent(windowHandle());
    }
    progress_->start(settings);
    focus_before_run_ = focusWidget();
    setEnabled(false);
  }
  if (worker_.joinable()) worker_.join();  // the previous run's thread has ended
  try {
    worker_ = start_worker(settings, interactive);
  } catch (...) {
    abandon_run(std::current_exception());
  }
}

std::jthread TMainForm::start_worker(const RunSettings& settings, bool interactive) {
  return std::jthread(
      [this, model = program_.model, settings, interactive](std::stop_token stop) mutable {
        ProgressThrottle throttle;
        RunProgress progress;
        if (interactive) {
          progress = [this, &throttle](int percent, double present_time) {
            try {
              if (throttle.due(percent)) emit run_progress(percent, present_time);
            } catch (...) {
              // A progress update that cannot be posted is skipped.
            }
          };
        }
        try {
          OutputFileSink sink(settings.output_file);
          std::shared_ptr<const RunResult> result = std::make_shared<RunResult>(
              Run(std::move(model), settings, sink, std::move(stop), progress));
          QMetaObject::invokeMethod(
              this, [this, result, interactive] { deliver_result(result, interactive); },
              Qt::QueuedConnection);
        } catch (...) {
          // Run returns its failures; this is only what is left (out of memory).
          QMetaObject::invokeMethod(
              this, [this, failure = std::current_exception()] { abandon_run(failure); },
              Qt::QueuedConnection);
        }
      });
}

void TMainForm::abandon_run(std::exception_ptr failure) {
  running_ = false;
  setEnabled(true);
  progress_->hide();
  guarded(this, dialogs_, [&] { std::rethrow_exception(failure); });
  emit run_finished();
}

void TMainForm::deliver_result(std::shared_ptr<const RunResult> result, bool interactive) {
  if (progress_->asking()) {
    // The end waits for the answer, so that the question is not left over a
    // window that has gone.
    pending_result_ = std::move(result);
    pending_interactive_ = interactive;
    return;
  }
  try {
    finish_run(*result, interactive);
  } catch (...) {
    abandon_run(std::current_exception());
  }
}

void TMainForm::finish_run(const RunResult& result, bool interactive) {
  // Taken while the model still holds the values the run started from.
  const QString failure_detail =
      interactive ? run_failure_detail(result, program_.model, program_.settings) : QString();
  commit_run(program_.model, result);
  {
    const ProgramState::Batch batch(program_);
    program_.set_run_end(result.present_time, result.initial_states);
    // The time step as its box holds it (a box that does not hold a number
    // leaves it as it was).
    try {
      const double step = parse_time_text(METimeStep->text());
      if (step > 0.0) program_.set(&RunSettings::time_step, step);
    } catch (const std::invalid_argument&) {
    }
    program_.set(&MainFlags::output_available, true);
    // A failed run's states are no stand to go on from: the next run starts
    // from the file unless the user reloads otherwise.
    if (interactive && result.outcome == RunOutcome::kFailed) start_from_file();
  }
  running_ = false;

  if (interactive) {
    display_->set_output_file(QString::fromStdString(program_.settings.output_file));
    UpdateMainForm();
    setEnabled(true);
    PresentBox->setText(QString::fromStdString(general5_text(program_.present_time)));
    progress_->hide();
    activateWindow();
    if (focus_before_run_ != nullptr) focus_before_run_->setFocus(Qt::OtherFocusReason);
    if (result.outcome == RunOutcome::kFailed) {
      trouble_->show_failure(QString::fromStdString(result.failure_message()), failure_detail);
    }
  } else if (result.outcome == RunOutcome::kFailed) {
    // Unattended: the failure goes on, unchanged, to the program-wide handler.
    guarded(this, dialogs_, [&] { result.rethrow_failure(); });
  }
  const QList<QObject*> boxes = std::exchange(boxes_left_during_run_, {});
  for (QObject* box : boxes) box_left(box);
  emit run_finished();
}

void TMainForm::cancel_run() {
  if (running_) worker_.request_stop();
}

void TMainForm::cancel_question_closed() {
  if (!pending_result_) return;
  std::shared_ptr<const RunResult> result = std::move(pending_result_);
  pending_result_.reset();
  deliver_result(std::move(result), pending_interactive_);
}

}  // namespace vindrel::ui
