// vindrel: the desktop program. Started under the file name "modelbatch" or
// "sensitivity" it runs in its unattended modes.
#include <QApplication>

#include "ui/desktop_main.hpp"

int main(int argc, char** argv) {
  if (vindrel::ui::desktop_help(argc, argv)) return 0;
  QApplication application(argc, argv);
  return vindrel::ui::desktop_main(application, argc, argv);
}
