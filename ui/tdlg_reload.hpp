// The reload dialog: which values to read again from the parameter file. Its
// two check boxes keep their state from one opening to the next.
#pragma once

#include <QDialog>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

class QCheckBox;

namespace vindrel::ui {

class TDlgReload : public QDialog {
  Q_OBJECT

 public:
  TDlgReload(QWidget* parent = nullptr);

  bool parameters_checked() const;
  bool states_checked() const;

 private:
  QCheckBox* CbParams;
  QCheckBox* CbState;
};

// Reads the parameter file into scratch tables and copies from them: with
// both kinds chosen every state and parameter value (and parameters modified
// is cleared); with only parameters, the parameter values; otherwise (states
// alone, or neither) the state values. Returns false, changing nothing, when
// the file is refused as incompatible (after showing why). Throws EInOutError,
// changing nothing, when the file cannot be read.
bool reload_from_parameter_file(ProgramState& program, Dialogs& dialogs, QWidget* parent,
                                bool parameters, bool states);

}  // namespace vindrel::ui
