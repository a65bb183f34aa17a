// The state and process tables: the state view (modal) edits the state
// values and their HoldConstant and Reset flags; the process view (non-modal)
// shows every process value, the derivatives first.
#pragma once

#include <QDialog>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

namespace vindrel::ui {

class TDataForm : public QDialog {
  Q_OBJECT
 public:
  TDataForm(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);

  // The state view, modal.
  void ShowStates();
  // The process view, non-modal.
  void ShowProcesses();
  // Shows the process table's current values again (the parameter editor
  // calls it after each update).
  void refresh_processes();

 private:
  ProgramState& program_;
  Dialogs& dialogs_;
};

}  // namespace vindrel::ui
