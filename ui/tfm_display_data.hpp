// The output display: a run's output file as a table of its records or as a
// line chart of up to ten of its variables against one chosen variable.
#pragma once

#include <QDialog>
#include <QString>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

namespace vindrel::ui {

class TFmDisplayData : public QDialog {
  Q_OBJECT

 public:
  TFmDisplayData(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);
  ~TFmDisplayData() override;

  // The file the display shows.
  void set_output_file(const QString& file_name);
  const QString& output_file() const noexcept { return output_file_; }
  // A run or "From File..." made the rows shown stale.
  void mark_reload_needed();
  bool reload_needed() const noexcept { return reload_needed_; }
  // The main window's output step (storing it marks a reload as needed).
  void set_output_step(double output_step);
  // Shows the window modally in table mode or chart mode; returns exec()'s result.
  int show_output(bool table_mode);

 private:
  ProgramState& program_;
  Dialogs& dialogs_;
  QString output_file_;
  bool reload_needed_ = true;
  double output_step_ = 0.0;
};

}  // namespace vindrel::ui
