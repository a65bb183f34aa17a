// The parameter editor: one page per process with parameters, the process's
// value at the calculation time and a grid of its parameters.
#pragma once

#include <QDialog>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

namespace vindrel::ui {

class TDataForm;

class TFmParameter : public QDialog {
  Q_OBJECT
 public:
  // exec() == QDialog::Accepted means OK.
  TFmParameter(ProgramState& program, Dialogs& dialogs, TDataForm& data_form,
               QWidget* parent = nullptr);

 private:
  ProgramState& program_;
  Dialogs& dialogs_;
  TDataForm& data_form_;
};

}  // namespace vindrel::ui
