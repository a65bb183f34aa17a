#include "ui/error_handler.hpp"

#include <new>
#include <stdexcept>

namespace vindrel::ui {

void report_current_exception(QWidget* parent, Dialogs& dialogs) {
  QString text;
  try {
    throw;
  } catch (const std::bad_alloc&) {
    text = QStringLiteral("Out of memory");
  } catch (const std::exception& e) {
    text = QString::fromLocal8Bit(e.what());
  } catch (...) {
    text = QStringLiteral("Unknown error");
  }
  try {
    dialogs.message(parent, MessageKind::kError, text, MessageButtons::kOk);
  } catch (...) {
    // Nothing more can be said; the command has stopped.
  }
}

}  // namespace vindrel::ui
