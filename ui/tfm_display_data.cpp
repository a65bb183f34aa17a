#include "ui/tfm_display_data.hpp"

namespace vindrel::ui {

TFmDisplayData::TFmDisplayData(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TFmDisplayData"));
  setWindowTitle(QStringLiteral("Model Output Display"));
  output_step_ = program_.settings.time_step;
}

TFmDisplayData::~TFmDisplayData() = default;

void TFmDisplayData::set_output_file(const QString& file_name) { output_file_ = file_name; }

void TFmDisplayData::mark_reload_needed() { reload_needed_ = true; }

void TFmDisplayData::set_output_step(double output_step) {
  output_step_ = output_step;
  reload_needed_ = true;
}

int TFmDisplayData::show_output(bool table_mode) {
  (void)table_mode;
  (void)dialogs_;
  return exec();
}

}  // namespace vindrel::ui
