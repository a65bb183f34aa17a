#include "ui/tfm_progress.hpp"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "fileio/number_format.hpp"
#include "run/time_left.hpp"
#include "ui/window_parts.hpp"

namespace vindrel::ui {

TFmProgress::TFmProgress(const QString& model_name, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  set_up_dialog(*this, "TFmProgress", model_name + QStringLiteral(" run progress."), false);

  LblBegin = named(new QLabel(this), "LblBegin");
  LblBegin->setAccessibleName(QStringLiteral("Start time"));
  LblEnd = named(new QLabel(this), "LblEnd");
  LblEnd->setAccessibleName(QStringLiteral("Stop time"));
  LblEnd->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  runProgressBar = named(new QProgressBar(this), "runProgressBar");
  runProgressBar->setRange(0, 100);
  runProgressBar->setValue(0);
  runProgressBar->setMinimumWidth(360);
  runProgressBar->setAccessibleName(QStringLiteral("Run progress"));
  LblPresentTime = named(new QLabel(this), "LblPresentTime");
  LblTimeLeft = named(new QLabel(this), "LblTimeLeft");
  LblTimeLeft->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  BtnCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "BtnCancel");

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setVerticalSpacing(6);
  layout->addWidget(runProgressBar, 0, 0, 1, 2);
  layout->addWidget(LblBegin, 1, 0);
  layout->addWidget(LblEnd, 1, 1);
  layout->addWidget(LblPresentTime, 2, 0);
  layout->addWidget(LblTimeLeft, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnCancel);
  buttons->addStretch();
  layout->addLayout(buttons, 3, 0, 1, 2);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(BtnCancel, &QPushButton::clicked, this, &TFmProgress::cancel_clicked);
}

void TFmProgress::start(const RunSettings& settings) {
  LblBegin->setText(QString::fromStdString(shortest_decimal_text(settings.start_time)));
  LblEnd->setText(QString::fromStdString(shortest_decimal_text(settings.stop_time)));
  start_time_ = settings.start_time;
  stop_time_ = settings.stop_time;
  clock_.start();
  set_progress(0, settings.start_time);
  if (parentWidget() == nullptr) {
    // A window of its own: it opens over the centre of the screen it is on.
    if (QScreen* shown_on = screen()) {
      adjustSize();
      move(shown_on->availableGeometry().center() - rect().center());
    }
  }
  show();
  raise();
}

void TFmProgress::set_progress(int percent, double present_time) {
  runProgressBar->setValue(percent);
  LblPresentTime->setText(QStringLiteral("Model time: day ") +
                          QString::fromStdString(shortest_decimal_text(present_time)));
  const double elapsed = clock_.isValid() ? static_cast<double>(clock_.elapsed()) / 1000.0 : 0.0;
  LblTimeLeft->setText(
      QStringLiteral("Estimated time left: ") +
      QString::fromStdString(time_left_text(elapsed, present_time, start_time_, stop_time_)));
}

int TFmProgress::progress() const { return runProgressBar->value(); }

void TFmProgress::cancel_clicked() {
  if (asking_) return;
  asking_ = true;
  const MessageAnswer answer = dialogs_.message(
      this, MessageKind::kConfirmation, QStringLiteral("Cancel Run?"), MessageButtons::kYesNo);
  asking_ = false;
  if (answer == MessageAnswer::kYes) emit cancel_confirmed();
  emit question_closed();
}

void TFmProgress::closeEvent(QCloseEvent* event) {
  // Only the user's close (the title bar) asks; the program may close it.
  if (!event->spontaneous()) return QDialog::closeEvent(event);
  event->ignore();
  if (isVisible()) cancel_clicked();
}

// Escape asks as Cancel does.
void TFmProgress::reject() {
  if (isVisible()) cancel_clicked();
}

}  // namespace vindrel::ui
