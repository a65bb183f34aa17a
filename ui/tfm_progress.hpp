// The progress window of an interactive run: the start and stop times at the
// ends of a bar that fills from 0 to 100, and Cancel.
#pragma once

#include <QDialog>

#include "run/run_settings.hpp"
#include "ui/dialogs.hpp"

class QLabel;
class QProgressBar;
class QPushButton;

namespace vindrel::ui {

class TFmProgress : public QDialog {
  Q_OBJECT

 public:
  // `model_name` makes the caption ("Vindrel run progress.").
  TFmProgress(const QString& model_name, Dialogs& dialogs, QWidget* parent = nullptr);

  // Shows the window for a run of `settings`, its bar at 0.
  void start(const RunSettings& settings);
  void set_progress(int percent);
  int progress() const;

  // Cancel: asks "Cancel Run?"; Yes emits cancel_confirmed(). Either answer
  // then emits question_closed().
  void cancel_clicked();
  // True while "Cancel Run?" waits for its answer.
  bool asking() const noexcept { return asking_; }

 signals:
  void cancel_confirmed();
  void question_closed();

 protected:
  // The title bar's close asks as Cancel does; the window hides itself only
  // when the run has ended.
  void closeEvent(QCloseEvent* event) override;
  void reject() override;

 private:
  Dialogs& dialogs_;
  QLabel* LblBegin;
  QLabel* LblEnd;
  QProgressBar* runProgressBar;
  QPushButton* BtnCancel;
  bool asking_ = false;
};

}  // namespace vindrel::ui
