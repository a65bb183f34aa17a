// Pictures of the editors on the example stand: the parameter editor on a page
// with several parameters, the state view with flags set, the process view and
// the driver editor.
#include <memory>

#include "fileio/param_file.hpp"
// GCC 12 at -O3 warns, wrongly, that a moved std::optional<QString> in the
// scripted answers may be used uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "tests/ui/screenshots/screenshot_registry.hpp"
#include "ui/parameter_table_model.hpp"
#include "ui/state_table_model.hpp"
#include "ui/tdata_form.hpp"
#include "ui/tfm_note.hpp"
#include "ui/tfm_parameter.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::screenshots::Shot;

namespace {

// The program as it stands with the example's parameter and driver files chosen.
std::unique_ptr<ProgramState> example_program(const Shot& shot) {
  auto program = std::make_unique<ProgramState>();
  ReadParamFile(shot.example_parameter_file().toStdString(), program->model);
  program->set(&RunSettings::parameter_file, shot.example_parameter_file().toStdString());
  program->set(&RunSettings::driver_file, shot.example_driver_file().toStdString());
  program->set(&RunSettings::calculation_time, 200.0);
  return program;
}

}  // namespace

VINDREL_SCREENSHOT(parameter_editor) {
  testing::ScriptedDialogs dialogs;
  auto program = example_program(shot);
  TDataForm data_form(*program, dialogs);
  TFmParameter editor(*program, dialogs, data_form);
  editor.open();
  for (int page = 0; page < editor.page_count(); ++page) {
    if (editor.page_model(page)->rowCount() == 6) {
      editor.set_current_page(page);
      break;
    }
  }
  shot.save(editor, QStringLiteral("parameter_editor"));
}

VINDREL_SCREENSHOT(state_view) {
  testing::ScriptedDialogs dialogs;
  auto program = example_program(shot);
  TDataForm form(*program, dialogs);
  form.prepare_states();
  StateTableModel& model = *form.state_model();
  model.setData(model.index(0, StateTableModel::kHoldConstant), Qt::Checked, Qt::CheckStateRole);
  model.setData(model.index(20, StateTableModel::kReset), Qt::Checked, Qt::CheckStateRole);
  shot.save(form, QStringLiteral("state_view"));
}

VINDREL_SCREENSHOT(process_view) {
  testing::ScriptedDialogs dialogs;
  auto program = example_program(shot);
  TDataForm data_form(*program, dialogs);
  TFmParameter editor(*program, dialogs, data_form);
  editor.show_contents(false);  // the process values at the calculation time
  data_form.ShowProcess();
  shot.save(data_form, QStringLiteral("process_view"));
}

VINDREL_SCREENSHOT(driver_editor) {
  testing::ScriptedDialogs dialogs;
  auto program = example_program(shot);
  TFmNote editor(*program, dialogs);
  editor.open();
  shot.save(editor, QStringLiteral("driver_editor"));
}
