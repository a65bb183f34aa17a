// The driver editor: the driver file as plain text in a fixed-width font, one
// line per record in 26-character columns, to read, edit and save. The text
// is built from the file each time the window opens; a file with a line that
// cannot be read is shown whole, as it is, with that line pointed out. A text
// that the driver file reader cannot read, or with a record line that does not
// hold a whole record, is never saved.
#pragma once

#include <QDialog>
#include <cstddef>
#include <functional>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

class QPlainTextEdit;
class QPushButton;

namespace vindrel::ui {

// The save dialog of the driver editor.
FileDialogSpec DlgSaveDriver();

class TFmNote : public QDialog {
  Q_OBJECT
 public:
  // exec() == QDialog::Accepted means OK (the driver file was saved).
  TFmNote(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);

  // Both fill the text from the driver file before showing the window.
  int exec() override;
  void open() override;

  // The main window's command that chooses the driver file with its dialog
  // ("C&hoose Driver File" runs it, then fills the text again). Without one,
  // the button opens a dialog for an existing driver file.
  void set_choose_driver_file(std::function<void()> command) {
    choose_driver_file_ = std::move(command);
  }

  // Fills the text: the two header lines and one line per record of the
  // driver file; the driver table holds the last record afterwards.
  void fill_text();
  // "&Save File": asks for the file name, checks the text with the driver file
  // reader and writes it. True when written (the window then closes with OK);
  // false when the dialog was cancelled or the text or the file was refused
  // (the window stays open with the text as it was).
  bool save_file();
  // The text as it will be written: the lines shown, each ended by CR LF.
  std::string file_content() const;

  QPlainTextEdit* text_box() const noexcept { return MoDrivers; }
  QPushButton* choose_button() const noexcept { return BtnChooseFile; }
  QPushButton* save_button() const noexcept { return BtnSaveFile; }
  QPushButton* close_button() const noexcept { return BtnClose; }

 public slots:
  // "&Close", the Escape key and the close box: asks before dropping changes.
  void reject() override;

 private:
  enum class Changes { kDropped, kSaved, kKept };
  // When the text was changed, asks whether to save it first: kDropped when
  // there were none or the answer was No, kSaved when saved (the window has
  // closed with OK), kKept when the save was cancelled or refused.
  Changes settle_changes();
  void choose_clicked();
  void choose_existing_driver_file();
  // Puts the cursor on line `line` (1-based) of the text, in sight.
  void show_line(std::size_t line);

  ProgramState& program_;
  Dialogs& dialogs_;
  std::function<void()> choose_driver_file_;
  QPlainTextEdit* MoDrivers;
  QPushButton* BtnChooseFile;
  QPushButton* BtnSaveFile;
  QPushButton* BtnClose;
};

}  // namespace vindrel::ui
