// The main window's saving of the parameter file: Save, Save As, the question
// before another file replaces unsaved edits, and the one before Exit.
//
// The parameter file holds the stand's initial states as well as the
// parameters. After a run the model holds the run's end states (the next run
// continues from them), and writing those over the file is what a spin-up
// wants but loses the stand's initial conditions otherwise: whenever the
// states in memory are not the file's, a save asks which to write.
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <string>

#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "ui/main_form_support.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

QString TMainForm::states_origin_text() const {
  switch (program_.states_from()) {
    case ProgramState::StatesFrom::kRun:
      return QStringLiteral("the end of the last run, day %1")
          .arg(QString::fromStdString(shortest_decimal_text(program_.present_time)));
    case ProgramState::StatesFrom::kEdited:
      return QStringLiteral("values edited in the state table");
    case ProgramState::StatesFrom::kFile:
      break;
  }
  return QString::fromStdString(program_.settings.parameter_file);
}

void TMainForm::start_from_file() {
  const std::vector<double>& initial = program_.file_states();
  if (initial.empty()) return;
  Model& model = program_.model;
  for (std::size_t i = 0; i < initial.size(); ++i) model.states[i + 1].value = initial[i];
  // A model read from its file has not ended a year.
  model.NewYear = false;
  program_.states_match_file();
}

void TMainForm::show_next_start() {
  const bool from_file = program_.states_from() == ProgramState::StatesFrom::kFile;
  QString origin = states_origin_text();
  if (from_file) {
    origin = program_.settings.parameter_file.empty() ? QStringLiteral("the model's initial values")
                                                      : QFileInfo(origin).fileName();
  }
  NextStartLabel->setText(QStringLiteral("Next run starts from: ") + origin);
  BtnStartFromFile->setEnabled(!from_file && !program_.file_states().empty());
}

bool TMainForm::write_parameter_file(const std::string& name) {
  const Model& model = program_.model;
  bool present_states = true;
  if (program_.states_from() != ProgramState::StatesFrom::kFile &&
      !program_.settings.unattended()) {
    const MessageAnswer answer = dialogs_.message(
        this, MessageKind::kConfirmation,
        QStringLiteral("The state variables in memory are not the initial states read from the "
                       "parameter file: they are %1.\n\nWrite them to %2 as its initial states? "
                       "Yes writes the present states (as a spin-up does); No keeps the file's "
                       "initial states and writes the parameters only.")
            .arg(states_origin_text(), QString::fromStdString(name)),
        MessageButtons::kYesNoCancel);
    if (answer == MessageAnswer::kCancel) return false;
    present_states = answer == MessageAnswer::kYes;
  }
  if (present_states) {
    WriteParamFile(name, model);
    program_.states_match_file();
  } else {
    // The parameters and the state flags in hand, the file's initial values.
    auto states = std::make_unique<statearray>(model.states);
    const std::vector<double>& initial = program_.file_states();
    for (std::size_t i = 0; i < initial.size(); ++i) (*states)[i + 1].value = initial[i];
    WriteParamFile(name, model.ModelInfo, model.ModelInfo.ParameterCount, model.parameters,
                   model.ModelInfo.StateCount, *states);
  }
  return true;
}

void TMainForm::save_parameter_file() {
  if (program_.settings.parameter_file.empty()) return;
  if (!write_parameter_file(program_.settings.parameter_file)) return;
  {
    const ProgramState::Batch batch(program_);
    program_.set(&MainFlags::parameters_modified, false);
    program_.set(&MainFlags::output_available, false);
    program_.set(&MainFlags::parameter_file_new, false);
  }
  UpdateMainForm();
  dialogs_.beep();
}

// Writes the parameter file under a name from the save dialog; false when
// none was chosen (or its folder does not exist) or the save was cancelled.
bool TMainForm::save_parameter_file_under_new_name() {
  const auto chosen = file_to_save(dialogs_, this, DlgSaveParam(),
                                   QString::fromStdString(program_.settings.parameter_file));
  if (!chosen) return false;
  const std::string name = chosen->toStdString();
  if (!write_parameter_file(name)) return false;
  const ProgramState::Batch batch(program_);
  program_.set_parameter_file(name);
  program_.set(&MainFlags::parameters_modified, false);
  return true;
}

void TMainForm::save_parameter_file_as() {
  const ProgramState::Batch batch(program_);
  if (!save_parameter_file_under_new_name()) return;
  program_.set(&MainFlags::parameter_file_new, false);
  program_.invalidate_run();
  UpdateMainForm();
}

bool TMainForm::settle_parameter_edits(const std::string& next_file) {
  if (!program_.flags.parameters_modified || program_.settings.unattended()) return true;
  const std::string& current = program_.settings.parameter_file;
  const MessageAnswer answer = dialogs_.message(
      this, MessageKind::kConfirmation,
      QStringLiteral("The parameters or state variables were changed and not saved. Save them "
                     "to %1 before reading %2?")
          .arg(QString::fromStdString(current.empty() ? std::string("a parameter file") : current),
               QString::fromStdString(next_file)),
      MessageButtons::kYesNoCancel);
  if (answer == MessageAnswer::kNo) return true;
  if (answer != MessageAnswer::kYes) return false;
  if (current.empty()) return save_parameter_file_under_new_name();
  if (!write_parameter_file(current)) return false;
  program_.set(&MainFlags::parameters_modified, false);
  return true;
}

// ---------------------------------------------------------------- closing

bool TMainForm::may_close() {
  if (!program_.flags.parameters_modified) return true;
  const MessageAnswer answer = dialogs_.message(
      this, MessageKind::kConfirmation, QStringLiteral("Save parameter file before exiting?"),
      MessageButtons::kYesNoCancel);
  if (answer == MessageAnswer::kNo) return true;
  if (answer == MessageAnswer::kYes && save_parameter_file_under_new_name()) {
    ParamBox->setText(QString::fromStdString(program_.settings.parameter_file));
  }
  // Yes (saved or not) and Cancel leave the window open.
  return false;
}

}  // namespace vindrel::ui
