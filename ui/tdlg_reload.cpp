#include "ui/tdlg_reload.hpp"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <memory>

#include "fileio/param_file.hpp"

namespace vindrel::ui {

TDlgReload::TDlgReload(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TDlgReload"));
  setWindowTitle(QStringLiteral("Reload"));
  setModal(true);

  auto* text = new QLabel(QStringLiteral("Choose which items to reload from the parameter file.  "
                                         "Changes to parameters or state variables which "
                                         "haven't been saved will be lost when you reload."),
                          this);
  text->setObjectName(QStringLiteral("Memo1"));
  text->setWordWrap(true);
  text->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text->setFixedWidth(330);

  CbParams = new QCheckBox(QStringLiteral("Parameters"), this);
  CbParams->setObjectName(QStringLiteral("CbParams"));
  CbParams->setChecked(true);
  CbState = new QCheckBox(QStringLiteral("State Variables"), this);
  CbState->setObjectName(QStringLiteral("CbState"));
  CbState->setChecked(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
  buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("OKBtn"));
  buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
  buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("CancelBtn"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(text);
  layout->addSpacing(8);
  layout->addWidget(CbParams);
  layout->addWidget(CbState);
  layout->addSpacing(8);
  layout->addWidget(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool TDlgReload::parameters_checked() const { return CbParams->isChecked(); }
bool TDlgReload::states_checked() const { return CbState->isChecked(); }

bool reload_from_parameter_file(ProgramState& program, Dialogs& dialogs, QWidget* parent,
                                bool parameters, bool states) {
  Model& model = program.model;
  // Scratch copies of the two tables (large: kept off the stack).
  auto scratch_parameters = std::make_unique<paramarray>(model.parameters);
  auto scratch_states = std::make_unique<statearray>(model.states);
  if (!ReadParamFile(program.settings.parameter_file, model.ModelInfo,
                     model.ModelInfo.ParameterCount, *scratch_parameters,
                     model.ModelInfo.StateCount, *scratch_states)) {
    dialogs.message(parent, MessageKind::kError,
                    QString::fromUtf8(kIncompatibleParamFileMessage.data(),
                                      static_cast<qsizetype>(kIncompatibleParamFileMessage.size())),
                    MessageButtons::kOk);
    return false;
  }
  const bool copy_parameters = parameters;
  const bool copy_states = states || !parameters;
  if (copy_parameters) {
    for (int i = 1; i <= model.ModelInfo.ParameterCount; ++i) {
      model.parameters[i].value = (*scratch_parameters)[i].value;
    }
  }
  if (copy_states) {
    for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
      model.states[i].value = (*scratch_states)[i].value;
    }
  }
  if (parameters && states) program.set(&MainFlags::parameters_modified, false);
  return true;
}

}  // namespace vindrel::ui
