// The main window with a special run set: the "..." buttons beside the file
// boxes and the note of the special run's times.
#include <QDir>
#include <QPushButton>

#include "tests/ui/screenshots/screenshot_registry.hpp"
#include "tests/ui/scripted_dialogs.hpp"
#include "ui/tmain_form.hpp"

VINDREL_SCREENSHOT(main_window_special_run) {
  using vindrel::RunSettings;
  vindrel::ui::testing::ScriptedDialogs dialogs;
  vindrel::ui::TMainForm window(dialogs);
  // The example's names as the README gives them, not this machine's folders.
  const QString working_dir = QDir::currentPath();
  QDir::setCurrent(shot.source_dir());
  window.show();
  window.enter_file_names(QStringLiteral("examples/vindrel-example.par"),
                          QStringLiteral("examples/vindrel-example.drr"),
                          QStringLiteral("/tmp/vindrel-example.out"));
  window.program().set(&RunSettings::repeat_drivers, true);
  window.program().set(&RunSettings::repeat_time, 10981);
  window.program().set(&RunSettings::reset_states, true);
  window.program().set(&RunSettings::reset_interval, 366);
  window.findChild<QPushButton*>(QStringLiteral("BtnRun"))->setFocus();
  shot.save(window, QStringLiteral("main-window-special-run"));
  QDir::setCurrent(working_dir);
}
