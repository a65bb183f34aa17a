#include "ui/tfm_progress.hpp"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include "fileio/number_format.hpp"

namespace vindrel::ui {

TFmProgress::TFmProgress(const QString& model_name, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TFmProgress"));
  setWindowTitle(model_name + QStringLiteral(" run progress."));
  setModal(false);

  LblBegin = new QLabel(this);
  LblBegin->setObjectName(QStringLiteral("LblBegin"));
  LblBegin->setAccessibleName(QStringLiteral("Start time"));
  LblEnd = new QLabel(this);
  LblEnd->setObjectName(QStringLiteral("LblEnd"));
  LblEnd->setAccessibleName(QStringLiteral("Stop time"));
  LblEnd->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  runProgressBar = new QProgressBar(this);
  runProgressBar->setObjectName(QStringLiteral("runProgressBar"));
  runProgressBar->setRange(0, 100);
  runProgressBar->setValue(0);
  runProgressBar->setMinimumWidth(360);
  runProgressBar->setAccessibleName(QStringLiteral("Run progress"));
  BtnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));

  auto* layout = new QGridLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->setVerticalSpacing(6);
  layout->addWidget(runProgressBar, 0, 0, 1, 2);
  layout->addWidget(LblBegin, 1, 0);
  layout->addWidget(LblEnd, 1, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnCancel);
  buttons->addStretch();
  layout->addLayout(buttons, 2, 0, 1, 2);
  layout->setSizeConstraint(QLayout::SetFixedSize);

  connect(BtnCancel, &QPushButton::clicked, this, &TFmProgress::cancel_clicked);
}

void TFmProgress::start(const RunSettings& settings) {
  LblBegin->setText(QString::fromStdString(shortest_decimal_text(settings.start_time)));
  LblEnd->setText(QString::fromStdString(shortest_decimal_text(settings.stop_time)));
  runProgressBar->setValue(0);
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

void TFmProgress::set_progress(int percent) { runProgressBar->setValue(percent); }

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
