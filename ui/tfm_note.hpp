// The driver editor: the driver file as fixed-width text, to read, edit and
// save.
#pragma once

#include <QDialog>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

namespace vindrel::ui {

class TFmNote : public QDialog {
  Q_OBJECT
 public:
  // exec() == QDialog::Accepted means OK (the driver file was saved).
  TFmNote(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);

 private:
  ProgramState& program_;
  Dialogs& dialogs_;
};

}  // namespace vindrel::ui
