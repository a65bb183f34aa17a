// The desktop program's start: the main window, its file names from the
// command line, and the unattended modes from the program's name.
#pragma once

class QApplication;

namespace vindrel::ui {

int desktop_main(QApplication& application, int argc, char** argv);

// "--help" or "-h" among the arguments: prints the usage and returns true.
// Checked before the application is made, so that it needs no display.
bool desktop_help(int argc, char** argv);

}  // namespace vindrel::ui
