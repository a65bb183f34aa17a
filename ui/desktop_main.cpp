#include "ui/desktop_main.hpp"

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "run/run_settings.hpp"
#include "ui/chart_export_command.hpp"
#include "ui/dialogs.hpp"
#include "ui/tfm_about.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

namespace {

void print_usage(std::FILE* to) {
  std::fputs(
      "usage: vindrel [PARAMETER_FILE [DRIVER_FILE [OUTPUT_FILE]]]\n"
      "The forest stand model's desktop program. File names given here fill the\n"
      "main window's boxes as if typed. Started under the name 'modelbatch' or\n"
      "'sensitivity' it runs in batch or sensitivity mode.\n",
      to);
  std::fputs(chart_export_usage(), to);
}

}  // namespace

bool desktop_help(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      print_usage(stdout);
      return true;
    }
  }
  return false;
}

int desktop_main(QApplication& application, int argc, char** argv) {
  // Qt has taken its own options out of argv already.
  QStringList names;
  if (desktop_help(argc, argv)) return 0;
  for (int i = 1; i < argc; ++i) names << QString::fromLocal8Bit(argv[i]);
  if (names.size() > 3) {
    print_usage(stderr);
    return 2;
  }
  while (names.size() < 3) names << QString();

  QApplication::setWindowIcon(vindrel_icon());
  QApplication::setDesktopFileName(QStringLiteral("vindrel"));
  QtDialogs dialogs;
  const UnattendedModes modes = unattended_mode_from_program_name(argc > 0 ? argv[0] : "");
  TMainForm window(dialogs, modes);
  // Only a user's own session is remembered; the unattended modes leave the
  // remembered files and place as they were.
  // The window is shown first: what the check finds in a remembered file is
  // then asked over the window, not before it.
  window.show();
  if (!modes.batch_mode && !modes.sensitivity_mode) window.remember_with(SessionMemory::users());
  window.enter_file_names(names[0], names[1], names[2]);
  return application.exec();
}

}  // namespace vindrel::ui
