// The error window of an interactive run: the failure that ended the run, in
// the memo MmError, with when and where the run stopped below it, beside a
// picture that offers a little comfort when clicked.
#pragma once

#include <QDialog>

#include "core/model.hpp"
#include "run/run.hpp"
#include "ui/dialogs.hpp"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace vindrel::ui {

class TroublePicture;

// When and where a failed run stopped, one item a line, as the command line
// prints it below the message; for a value that is not a finite number also
// the lines of the files it came from. `started_from` holds the values the
// run started from; "" unless the run failed.
QString run_failure_detail(const RunResult& result, const Model& started_from,
                           const RunSettings& settings);

class TFmTrouble : public QDialog {
  Q_OBJECT

 public:
  TFmTrouble(const QString& model_name, Dialogs& dialogs, QWidget* parent = nullptr);

  // Clears the memo and makes `message` its only line, and shows `detail`
  // (the run's failure detail, one item a line) below it, or nothing when
  // empty (the window is not shown).
  void set_message(const QString& message, const QString& detail = {});
  QString message() const;
  QString detail() const;
  // set_message(), then exec().
  int show_failure(const QString& message, const QString& detail = {});

  // Clicking the picture: "Got milk?".
  void picture_clicked();

 private:
  Dialogs& dialogs_;
  TroublePicture* Image1;
  QPlainTextEdit* MmError;
  QLabel* LblDetail;
  QPlainTextEdit* MmDetail;
  QPushButton* BtnOK;
};

}  // namespace vindrel::ui
