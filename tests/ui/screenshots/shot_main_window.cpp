// Pictures of the main window and the windows of a run: the main window with
// the example chosen, the run options with an embedded pair chosen, the
// progress window during a long run and the error window of a failed run.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTimer>

#include "tests/ui/main_form_testing.hpp"
#include "tests/ui/run_comparison.hpp"
#include "tests/ui/screenshots/screenshot_registry.hpp"
#include "ui/tfm_progress.hpp"
#include "ui/tfm_run_options.hpp"
#include "ui/tfm_trouble.hpp"
#include "ui/tmain_form.hpp"

using namespace vindrel::ui;
using vindrel::ui::screenshots::Shot;

namespace {

void choose_example(TMainForm& window, const Shot& shot) {
  window.show();
  window.enter_file_names(shot.example_parameter_file(), shot.example_driver_file(),
                          shot.scratch(QStringLiteral("vindrel-example.out")));
}

void type_time(TMainForm& window, const char* box_name, const QString& text) {
  auto* box = window.findChild<QLineEdit*>(QLatin1String(box_name));
  box->setText(text);
  box->setModified(true);
  emit box->returnPressed();
}

}  // namespace

VINDREL_SCREENSHOT(main_window) {
  // As the README starts it: from the source tree, with the example's names.
  const QString working_dir = QDir::currentPath();
  QDir::setCurrent(shot.source_dir());
  testing::ScriptedDialogs dialogs;
  TMainForm window(dialogs);
  window.show();
  window.enter_file_names(QStringLiteral("examples/vindrel-example.par"),
                          QStringLiteral("examples/vindrel-example.drr"),
                          QStringLiteral("/tmp/vindrel-example.out"));
  type_time(window, "MEStopTime", QStringLiteral("365"));
  QSignalSpy finished(&window, &TMainForm::run_finished);
  window.findChild<QPushButton*>(QStringLiteral("BtnRun"))->click();
  finished.wait(60000);
  window.findChild<QPushButton*>(QStringLiteral("BtnRun"))->setFocus();
  shot.save(window, QStringLiteral("main_window"));
  QDir::setCurrent(working_dir);
}

VINDREL_SCREENSHOT(run_options) {
  testing::ScriptedDialogs dialogs;
  TMainForm window(dialogs);
  choose_example(window, shot);
  TFmRunOptions& options = window.run_options_window();
  window.program().set(&vindrel::RunSettings::repeat_drivers, true);
  window.program().set(&vindrel::RunSettings::repeat_time, 365);
  window.program().set(&vindrel::RunSettings::integrator, vindrel::IntegratorKind::kDopri5);
  window.program().set(&vindrel::RunSettings::relative_tolerance, 1e-7);
  options.show();
  shot.save(options, QStringLiteral("run_options"));
}

VINDREL_SCREENSHOT(progress) {
  testing::ScriptedDialogs dialogs;
  TMainForm window(dialogs);
  choose_example(window, shot);
  type_time(window, "MEStopTime", QStringLiteral("10950"));
  QSignalSpy finished(&window, &TMainForm::run_finished);
  window.findChild<QPushButton*>(QStringLiteral("BtnRun"))->click();
  // Let the bar move a little way.
  for (int i = 0; i < 200 && window.progress_window().progress() < 12 && finished.isEmpty(); ++i) {
    Shot::settle(50);
  }
  shot.save(window.progress_window(), QStringLiteral("progress"));
  dialogs.answers.push_back(MessageAnswer::kYes);
  window.progress_window().cancel_clicked();
  finished.wait(60000);
}

VINDREL_SCREENSHOT(trouble) {
  // A run of the example whose sixth day is far too hot: the run fails in its
  // sixth step and the error window says where.
  testing::ScriptedDialogs dialogs;
  TMainForm window(dialogs);
  window.show();
  window.enter_file_names(shot.example_parameter_file(),
                          testing::driver_copy(shot.scratch(QStringLiteral("hot.drr")), 30, 5),
                          shot.scratch(QStringLiteral("hot.out")));
  type_time(window, "MEStopTime", QStringLiteral("20"));
  QSignalSpy finished(&window, &TMainForm::run_finished);
  testing::when_modal([&](QWidget* trouble) {
    shot.save(*trouble, QStringLiteral("trouble"));
    trouble->close();
  });
  // Continue past the check's warning of the hot day.
  dialogs.answers = {MessageAnswer::kOk};
  window.findChild<QPushButton*>(QStringLiteral("BtnRun"))->click();
  finished.wait(60000);
}
