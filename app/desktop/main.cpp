// vindrel: the desktop program. Started under the file name "modelbatch" or
// "sensitivity" it runs in its unattended modes; with --export-chart it writes
// a chart of an output file without a window.
#include <QApplication>

#include "ui/chart_export_command.hpp"
#include "ui/desktop_main.hpp"

int main(int argc, char** argv) {
  if (vindrel::ui::desktop_help(argc, argv)) return 0;
  if (vindrel::ui::wants_chart_export(argc, argv))
    return vindrel::ui::chart_export_main(argc, argv);
  QApplication application(argc, argv);
  return vindrel::ui::desktop_main(application, argc, argv);
}
