#include "ui/desktop_main.hpp"

#include <QApplication>

namespace vindrel::ui {

int desktop_main(QApplication& application, int, char**) { return application.exec(); }

}  // namespace vindrel::ui
