// The main window's file commands: choosing the three files, saving the
// parameter file, reloading from it, the editors, the output display, About
// and Exit.
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <memory>
#include <stdexcept>

#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "ui/main_form_support.hpp"
#include "ui/tdata_form.hpp"
#include "ui/tdlg_reload.hpp"
#include "ui/tfm_about.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_note.hpp"
#include "ui/tfm_parameter.hpp"
#include "ui/tmain_form.hpp"

namespace vindrel::ui {

// ---------------------------------------------------------------- shared pieces

double parse_time_text(const QString& text) {
  const std::string token = text.trimmed().toStdString();
  double value = 0.0;
  if (token.empty() || !parse_number(token, value)) {
    throw std::invalid_argument("'" + text.toStdString() + "' is not a valid floating point value");
  }
  return value;
}

QString plain_caption(QString caption) {
  caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
  caption.remove(QLatin1Char('&'));
  caption.replace(QStringLiteral("\x01"), QStringLiteral("&"));
  return caption;
}

FileDialogSpec DlgOpenParam() {
  FileDialogSpec spec;
  spec.mode = FileDialogSpec::Mode::kOpen;
  spec.title = QStringLiteral("Choose Parameter File");
  spec.default_suffix = QStringLiteral("par");
  spec.filter = QStringLiteral("Parameter FIles (*.par)|*.par|All Files|*.*");
  spec.path_must_exist = true;
  spec.offer_to_create = true;
  return spec;
}

FileDialogSpec DlgSaveParam() {
  FileDialogSpec spec;
  spec.mode = FileDialogSpec::Mode::kSave;
  spec.title = QStringLiteral("Save Parameter File");
  spec.default_suffix = QStringLiteral("par");
  spec.filter = QStringLiteral("Parameter Files (*.par)|*.par|All Files|*.*");
  spec.ask_before_overwrite = true;
  return spec;
}

FileDialogSpec DlgOpenDriver() {
  FileDialogSpec spec;
  spec.mode = FileDialogSpec::Mode::kOpen;
  spec.title = QStringLiteral("Open Driver File");
  spec.default_suffix = QStringLiteral("drr");
  spec.filter = QStringLiteral("Driver files (*.drr)|*.drr|All files|*.*");
  spec.path_must_exist = true;
  spec.offer_to_create = true;
  return spec;
}

FileDialogSpec DlgSaveOutput() {
  FileDialogSpec spec;
  spec.mode = FileDialogSpec::Mode::kSave;
  spec.title = QStringLiteral("Save Output File as");
  spec.default_suffix = QStringLiteral("out");
  spec.filter = QStringLiteral("Output Files (*.out)|*.out|All Files (*.*)|*.*");
  spec.ask_before_overwrite = true;
  spec.path_must_exist = true;
  return spec;
}

FileDialogSpec DlgOpenOutput() {
  FileDialogSpec spec;
  spec.mode = FileDialogSpec::Mode::kOpen;
  spec.title = QStringLiteral("Open Output File");
  spec.default_suffix = QStringLiteral("out");
  spec.filter = QStringLiteral("Output Files (*.out)|*.out|All Files (*.*)|*.*");
  spec.file_must_exist = true;
  return spec;
}

namespace {

bool file_exists(const std::string& name) {
  return QFileInfo::exists(QString::fromStdString(name));
}

void zero_parameters_and_states(Model& model) {
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) model.states[i].value = 0.0;
  for (int i = 1; i <= model.ModelInfo.ParameterCount; ++i) model.parameters[i].value = 0.0;
}

QString text_of(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void TMainForm::enter_file_names(const QString& parameter_file, const QString& driver_file,
                                 const QString& output_file) {
  const std::pair<QLineEdit*, QString> entries[] = {
      {ParamBox, parameter_file}, {DriverBox, driver_file}, {OutputBox, output_file}};
  for (const auto& [box, name] : entries) {
    if (name.isEmpty()) continue;
    box->setText(name);
    box_left(box);
  }
}

// ---------------------------------------------------------------- the three files

void TMainForm::choose_parameter_file(From from) {
  RunSettings& settings = program_.settings;
  MainFlags& flags = program_.flags;
  const std::string previous = settings.parameter_file;
  std::string name = previous;
  if (from == From::kBox) {
    name = ParamBox->text().toStdString();
  } else if (!settings.sensitivity_mode) {
    if (auto chosen = dialogs_.file(this, DlgOpenParam(), QString::fromStdString(previous))) {
      name = chosen->toStdString();
    }
  }
  if (name != previous || settings.sensitivity_mode) {
    Model& model = program_.model;
    try {
      if (!name.empty() && file_exists(name)) {
        flags.parameters_modified = false;
        if (ReadParamFile(name, model)) {
          settings.parameter_file = name;
          flags.parameter_file_new = false;
        } else {
          dialogs_.message(this, MessageKind::kError, text_of(kIncompatibleParamFileMessage),
                           MessageButtons::kOk);
          zero_parameters_and_states(model);
          settings.parameter_file.clear();
        }
      } else if (!name.empty()) {
        // A name typed that does not exist may be a typo: ask before making
        // the file (the file dialog has asked already).
        if (from == From::kBox && !settings.unattended() &&
            dialogs_.message(this, MessageKind::kConfirmation,
                             QString::fromStdString(name) +
                                 QStringLiteral(" does not exist. Create a new parameter file "
                                                "from the current values?"),
                             MessageButtons::kYesNo) != MessageAnswer::kYes) {
          ParamBox->setText(QString::fromStdString(settings.parameter_file));
          UpdateMainForm();
          return;
        }
        // A new file, from the values in hand; the tables then start from 0.
        WriteParamFile(name, model);
        settings.parameter_file = name;
        flags.parameter_file_new = true;
        zero_parameters_and_states(model);
      } else {
        settings.parameter_file.clear();
      }
    } catch (...) {
      // The file stays the one that was in use, and its box says so.
      ParamBox->setText(QString::fromStdString(settings.parameter_file));
      throw;
    }
    flags.run_ready = false;
    flags.output_available = false;
  }
  UpdateMainForm();
}

void TMainForm::choose_driver_file(From from) {
  RunSettings& settings = program_.settings;
  MainFlags& flags = program_.flags;
  const std::string previous = settings.driver_file;
  std::string name = previous;
  if (from == From::kBox) {
    name = DriverBox->text().toStdString();
  } else if (auto chosen = dialogs_.file(this, DlgOpenDriver(), QString::fromStdString(previous))) {
    name = chosen->toStdString();
  }
  if (name != previous) {
    Model& model = program_.model;
    if (!name.empty() && file_exists(name)) {
      flags.driver_file_new = false;
    } else if (!name.empty()) {
      if (from == From::kBox && !settings.unattended() &&
          dialogs_.message(this, MessageKind::kConfirmation,
                           QString::fromStdString(name) +
                               QStringLiteral(" does not exist. Create a new driver file?"),
                           MessageButtons::kYesNo) != MessageAnswer::kYes) {
        DriverBox->setText(QString::fromStdString(previous));
        UpdateMainForm();
        return;
      }
      // A new file: the header and one record of zero drivers at the present time.
      try {
        create_driver_file(name, model.ModelInfo, model.drivers, program_.present_time);
      } catch (...) {
        DriverBox->setText(QString::fromStdString(previous));
        throw;
      }
      for (int i = 1; i <= model.ModelInfo.DriverCount; ++i) model.drivers[i].value = 0.0;
      flags.driver_file_new = true;
    }
    settings.driver_file = name;
    flags.run_ready = false;
    flags.output_available = false;
  }
  UpdateMainForm();
}

void TMainForm::choose_output_file(From from) {
  RunSettings& settings = program_.settings;
  if (from == From::kBox) {
    settings.output_file = OutputBox->text().toStdString();
  } else if (auto chosen = dialogs_.file(this, DlgSaveOutput(),
                                         QString::fromStdString(settings.output_file))) {
    settings.output_file = chosen->toStdString();
  }
  // Whether or not the name changed, the output shown so far is no longer the file's.
  program_.flags.output_available = false;
  program_.flags.run_ready = false;
  UpdateMainForm();
}

// ---------------------------------------------------------------- saving and reloading

void TMainForm::save_parameter_file() {
  if (program_.settings.parameter_file.empty()) return;
  WriteParamFile(program_.settings.parameter_file, program_.model);
  program_.flags.parameters_modified = false;
  program_.flags.output_available = false;
  program_.flags.parameter_file_new = false;
  UpdateMainForm();
  dialogs_.beep();
}

void TMainForm::save_parameter_file_as() {
  RunSettings& settings = program_.settings;
  const auto chosen =
      dialogs_.file(this, DlgSaveParam(), QString::fromStdString(settings.parameter_file));
  if (!chosen) return;
  const std::string name = chosen->toStdString();
  WriteParamFile(name, program_.model);
  settings.parameter_file = name;
  program_.flags.parameters_modified = false;
  program_.flags.parameter_file_new = false;
  program_.flags.run_ready = false;
  program_.flags.output_available = false;
  UpdateMainForm();
}

void TMainForm::reload_clicked() {
  if (program_.settings.parameter_file.empty()) {
    dialogs_.message(this, MessageKind::kWarning,
                     QStringLiteral("Invalid parameter file. No values reloaded."),
                     MessageButtons::kOk);
    return;
  }
  if (reload_->exec() != QDialog::Accepted) return;
  reload_from_parameter_file(program_, dialogs_, this, reload_->parameters_checked(),
                             reload_->states_checked());
  program_.flags.output_available = false;
  UpdateMainForm();
}

// ---------------------------------------------------------------- other windows

void TMainForm::edit_drivers() {
  if (driver_editor_->exec() == QDialog::Accepted) {
    program_.flags.output_available = false;
    program_.flags.run_ready = false;
  }
  // The editor may have chosen another driver file before it was closed: the
  // boxes show the files the next run uses.
  UpdateMainForm();
}

void TMainForm::edit_parameters() {
  if (parameter_editor_->exec() != QDialog::Accepted) return;
  program_.flags.output_available = false;
  UpdateMainForm();
}

void TMainForm::edit_states() {
  data_form_->ShowStates();
  UpdateMainForm();
}

void TMainForm::view_output_file() {
  const auto chosen = dialogs_.file(this, DlgOpenOutput(), QString());
  if (!chosen) return;
  if (!chosen->isEmpty()) display_->set_output_file(*chosen);
  display_->mark_reload_needed();
  program_.flags.output_available = true;
  UpdateMainForm();
}

void TMainForm::show_output(bool table_mode) { display_->show_output(table_mode); }

void TMainForm::about() { about_->exec(); }

// ---------------------------------------------------------------- closing

bool TMainForm::may_close() {
  if (!program_.flags.parameters_modified) return true;
  const MessageAnswer answer = dialogs_.message(
      this, MessageKind::kConfirmation, QStringLiteral("Save parameter file before exiting?"),
      MessageButtons::kYesNoCancel);
  if (answer == MessageAnswer::kNo) return true;
  if (answer == MessageAnswer::kYes) {
    RunSettings& settings = program_.settings;
    if (const auto chosen =
            dialogs_.file(this, DlgSaveParam(), QString::fromStdString(settings.parameter_file))) {
      const std::string name = chosen->toStdString();
      WriteParamFile(name, program_.model);
      settings.parameter_file = name;
      program_.flags.parameters_modified = false;
      ParamBox->setText(*chosen);
    }
  }
  // Yes (saved or not) and Cancel leave the window open.
  return false;
}

}  // namespace vindrel::ui
