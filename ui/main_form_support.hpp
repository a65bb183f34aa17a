// Small pieces the main window's files share: the clickable file labels, the
// conversion of a box's text to a time, and the main window's file dialogs.
#pragma once

#include <QLabel>
#include <QMouseEvent>
#include <QString>
#include <functional>

#include "run/run_settings.hpp"
#include "ui/dialogs.hpp"

namespace vindrel::ui {

// A label that runs a command when clicked (the file labels choose a file).
class ClickLabel : public QLabel {
 public:
  ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setCursor(Qt::PointingHandCursor);
  }
  std::function<void()> clicked;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        clicked) {
      clicked();
    }
  }
};

// The text of a box as a number (blanks around it ignored); throws
// std::invalid_argument ("'abc' is not a valid floating point value") when it
// is not one.
double parse_time_text(const QString& text);

// A caption without its accelerator marks: "&Parameter File" -> "Parameter File".
QString plain_caption(QString caption);

// What a special run does, for the main window ("Special run: drivers repeat
// at day 366, states reset every 365 days"); empty for a normal run.
QString special_run_note(const RunSettings& settings);

// The main window's file dialogs.
FileDialogSpec DlgOpenParam();
FileDialogSpec DlgSaveParam();
FileDialogSpec DlgOpenDriver();
FileDialogSpec DlgSaveOutput();
FileDialogSpec DlgOpenOutput();

}  // namespace vindrel::ui
