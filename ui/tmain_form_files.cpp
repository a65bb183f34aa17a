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

namespace {

// The open dialog of an input file: it accepts a name that does not exist,
// to make the file.
FileDialogSpec input_file_dialog(const QString& title, const QString& suffix,
                                 const QString& filter) {
  FileDialogSpec spec = file_dialog_spec(FileDialogSpec::Mode::kOpen, title, suffix, filter);
  spec.path_must_exist = true;
  spec.offer_to_create = true;
  return spec;
}

// The output file's dialogs: a run writes the file in a folder that must
// exist; the output display reads a file that must exist.
FileDialogSpec output_file_dialog(FileDialogSpec::Mode mode, const QString& title) {
  FileDialogSpec spec =
      file_dialog_spec(mode, title, QStringLiteral("out"),
                       QStringLiteral("Output Files (*.out)|*.out|All Files (*.*)|*.*"));
  spec.path_must_exist = mode == FileDialogSpec::Mode::kSave;
  spec.file_must_exist = mode == FileDialogSpec::Mode::kOpen;
  return spec;
}

}  // namespace

FileDialogSpec DlgOpenParam() {
  return input_file_dialog(QStringLiteral("Choose Parameter File"), QStringLiteral("par"),
                           QStringLiteral("Parameter Files (*.par)|*.par|All Files|*.*"));
}

FileDialogSpec DlgSaveParam() {
  return file_dialog_spec(FileDialogSpec::Mode::kSave, QStringLiteral("Save Parameter File"),
                          QStringLiteral("par"),
                          QStringLiteral("Parameter Files (*.par)|*.par|All Files|*.*"));
}

FileDialogSpec DlgOpenDriver() {
  return input_file_dialog(QStringLiteral("Open Driver File"), QStringLiteral("drr"),
                           QStringLiteral("Driver files (*.drr)|*.drr|All files|*.*"));
}

FileDialogSpec DlgSaveOutput() {
  return output_file_dialog(FileDialogSpec::Mode::kSave, QStringLiteral("Save Output File as"));
}

FileDialogSpec DlgOpenOutput() {
  return output_file_dialog(FileDialogSpec::Mode::kOpen, QStringLiteral("Open Output File"));
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

void TMainForm::choose_parameter_file(From from, const std::string& recent) {
  const RunSettings& settings = program_.settings;
  const std::string previous = settings.parameter_file;
  std::string name = previous;
  if (from == From::kBox) {
    name = ParamBox->text().toStdString();
  } else if (from == From::kRecent) {
    name = recent;
  } else if (!settings.sensitivity_mode) {
    if (auto chosen = dialogs_.file(this, DlgOpenParam(), QString::fromStdString(previous))) {
      name = chosen->toStdString();
    }
  }
  if (name != previous || settings.sensitivity_mode) {
    // Warnings about the file the user may decline: then nothing changes.
    if (!name.empty() && file_exists(name) && !chosen_file_allowed(FileKind::kParameter, name)) {
      ParamBox->setText(QString::fromStdString(previous));
      UpdateMainForm();
      return;
    }
    // Another file's values would replace unsaved edits: the user may save
    // them first, or stay with the file in use.
    if (!name.empty() && file_exists(name) && !settle_parameter_edits(name)) {
      ParamBox->setText(QString::fromStdString(previous));
      UpdateMainForm();
      return;
    }
    const ProgramState::Batch batch(program_);
    Model& model = program_.model;
    try {
      if (!name.empty() && file_exists(name)) {
        program_.set(&MainFlags::parameters_modified, false);
        if (ReadParamFile(name, model)) {
          program_.set_parameter_file(name);
          program_.set(&MainFlags::parameter_file_new, false);
          program_.states_match_file();
        } else {
          dialogs_.message(this, MessageKind::kError, text_of(kIncompatibleParamFileMessage),
                           MessageButtons::kOk);
          zero_parameters_and_states(model);
          program_.set_parameter_file({});
        }
      } else if (!name.empty()) {
        // A name that does not exist may be a typo, typed or picked in a
        // dialog that accepts any name: ask before making the file.
        if (!settings.unattended() &&
            dialogs_.message(this, MessageKind::kConfirmation,
                             QString::fromStdString(name) +
                                 QStringLiteral(" does not exist. Create a new parameter file "
                                                "from the current values?"),
                             MessageButtons::kYesNo) != MessageAnswer::kYes) {
          ParamBox->setText(QString::fromStdString(settings.parameter_file));
          UpdateMainForm();
          return;
        }
        // A new file, from the values in hand, which the tables keep: they
        // are what the file now holds.
        WriteParamFile(name, model);
        program_.set_parameter_file(name);
        program_.set(&MainFlags::parameter_file_new, true);
        program_.set(&MainFlags::parameters_modified, false);
        program_.states_match_file();
      } else {
        program_.set_parameter_file({});
      }
    } catch (...) {
      // The file stays the one that was in use, and its box says so.
      ParamBox->setText(QString::fromStdString(settings.parameter_file));
      throw;
    }
    program_.invalidate_run();
  }
  UpdateMainForm();
}

void TMainForm::choose_driver_file(From from, const std::string& recent) {
  const std::string previous = program_.settings.driver_file;
  std::string name = previous;
  if (from == From::kBox) {
    name = DriverBox->text().toStdString();
  } else if (from == From::kRecent) {
    name = recent;
  } else if (auto chosen = dialogs_.file(this, DlgOpenDriver(), QString::fromStdString(previous))) {
    name = chosen->toStdString();
  }
  if (name != previous) {
    if (!name.empty() && file_exists(name) && !chosen_file_allowed(FileKind::kDriver, name)) {
      DriverBox->setText(QString::fromStdString(previous));
      UpdateMainForm();
      return;
    }
    const ProgramState::Batch batch(program_);
    Model& model = program_.model;
    if (!name.empty() && file_exists(name)) {
      program_.set(&MainFlags::driver_file_new, false);
    } else if (!name.empty()) {
      if (!program_.settings.unattended() &&
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
      program_.set(&MainFlags::driver_file_new, true);
    }
    program_.set_driver_file(name);
    program_.invalidate_run();
  }
  UpdateMainForm();
}

void TMainForm::choose_output_file(From from, const std::string& recent) {
  const ProgramState::Batch batch(program_);
  if (from == From::kBox) {
    program_.set_output_file(OutputBox->text().toStdString());
  } else if (from == From::kRecent) {
    program_.set_output_file(recent);
  } else if (auto chosen = file_to_save(dialogs_, this, DlgSaveOutput(),
                                        QString::fromStdString(program_.settings.output_file))) {
    program_.set_output_file(chosen->toStdString());
  }
  // Whether or not the name changed, the output shown so far is no longer the file's.
  program_.invalidate_run();
  UpdateMainForm();
}

// ---------------------------------------------------------------- reloading

void TMainForm::reload_clicked() {
  if (program_.settings.parameter_file.empty()) {
    dialogs_.message(this, MessageKind::kWarning,
                     QStringLiteral("Invalid parameter file. No values reloaded."),
                     MessageButtons::kOk);
    return;
  }
  if (reload_->exec() != QDialog::Accepted) return;
  const ProgramState::Batch batch(program_);
  if (reload_from_parameter_file(program_, dialogs_, this, reload_->parameters_checked(),
                                 reload_->states_checked()) &&
      (reload_->states_checked() || !reload_->parameters_checked())) {
    // The states as read: the next run is a fresh start.
    program_.model.NewYear = false;
    program_.states_match_file();
  }
  program_.set(&MainFlags::output_available, false);
  UpdateMainForm();
}

// ---------------------------------------------------------------- other windows

void TMainForm::edit_drivers() {
  // The editor may choose another driver file: the boxes follow the state.
  if (driver_editor_->exec() == QDialog::Accepted) program_.invalidate_run();
}

void TMainForm::edit_parameters() {
  if (parameter_editor_->exec() != QDialog::Accepted) return;
  program_.set(&MainFlags::output_available, false);
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
  program_.set(&MainFlags::output_available, true);
  UpdateMainForm();
}

void TMainForm::show_output(bool table_mode) { display_->show_output(table_mode); }

void TMainForm::about() { about_->exec(); }

}  // namespace vindrel::ui
