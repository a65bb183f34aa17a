#include "ui/tfm_parameter.hpp"

#include "ui/tdata_form.hpp"

namespace vindrel::ui {

TFmParameter::TFmParameter(ProgramState& program, Dialogs& dialogs, TDataForm& data_form,
                           QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs), data_form_(data_form) {
  setObjectName("TFmParameter");
}

}  // namespace vindrel::ui
