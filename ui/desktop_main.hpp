// The desktop program's start: the main window, its file names from the
// command line, and the unattended modes from the program's name.
#pragma once

class QApplication;

namespace vindrel::ui {

int desktop_main(QApplication& application, int argc, char** argv);

}  // namespace vindrel::ui
