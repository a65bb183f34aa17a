// Helpers for the tests that drive the main window: typing into its boxes as
// a user does, answering the modal windows it opens, and the example stand.
#pragma once

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <functional>

#include "tests/ui/scripted_dialogs.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui::testing {

inline QString example_file(const char* name) {
  return QStringLiteral(VINDREL_SOURCE_DIR "/examples/") + QLatin1String(name);
}

template <class Widget>
Widget* child(QWidget& window, const char* name) {
  auto* found = window.findChild<Widget*>(QLatin1String(name));
  if (found == nullptr) qFatal("no child named %s", name);
  return found;
}

// Types `text` into the named box (replacing what it held) and presses Enter.
inline void type_into(QWidget& window, const char* box_name, const QString& text) {
  auto* box = child<QLineEdit>(window, box_name);
  box->setFocus();
  box->selectAll();
  QTest::keyClick(box, Qt::Key_Backspace);
  QTest::keyClicks(box, text);
  QTest::keyClick(box, Qt::Key_Return);
}

// Runs `action` on the next modal window, once it is open and running its
// own event loop (the modal exec() of the code under test).
inline void when_modal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(modal);
  });
  timer->start();
}

// Chooses the three files by typing their names.
inline void choose_files(TMainForm& window, const QString& parameters, const QString& drivers,
                         const QString& output) {
  type_into(window, "ParamBox", parameters);
  type_into(window, "DriverBox", drivers);
  type_into(window, "OutputBox", output);
}

}  // namespace vindrel::ui::testing
