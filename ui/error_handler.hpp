// The program-wide error handler: every window's command runs through
// guarded(), so that no exception crosses Qt's event loop. A failure is shown
// as an error box with the exception's own message, and the command stops
// where it failed.
#pragma once

#include <QString>
#include <exception>
#include <utility>

#include "ui/dialogs.hpp"

namespace vindrel::ui {

// Shows the current exception's message (called from inside a catch block).
void report_current_exception(QWidget* parent, Dialogs& dialogs);

// Runs `command`; returns false when it failed (after showing the failure).
template <class Command>
bool guarded(QWidget* parent, Dialogs& dialogs, Command&& command) noexcept {
  try {
    std::forward<Command>(command)();
    return true;
  } catch (...) {
    report_current_exception(parent, dialogs);
    return false;
  }
}

}  // namespace vindrel::ui
