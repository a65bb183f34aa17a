#include "ui/tdata_form.hpp"

namespace vindrel::ui {

TDataForm::TDataForm(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs) {
  setObjectName("TDataForm");
}

void TDataForm::ShowStates() {}
void TDataForm::ShowProcesses() {}
void TDataForm::refresh_processes() {}

}  // namespace vindrel::ui
