// The progress window of an interactive run: the start and stop times at the
// ends of a bar that fills from 0 to 100, the model time reached with an
// estimate of the time left, and Cancel.
#pragma once

#include <QDialog>
#include <QElapsedTimer>

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
  // The bar at `percent`, the model time reached (days) and the time left
  // estimated from the pace so far.
  void set_progress(int percent, double present_time);
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
  QLabel* LblPresentTime;
  QLabel* LblTimeLeft;
  QPushButton* BtnCancel;
  bool asking_ = false;
  double start_time_ = 0.0;  // days
  double stop_time_ = 0.0;   // days
  QElapsedTimer clock_;      // since the run started
};

}  // namespace vindrel::ui
