#include "ui/tfm_run_options.hpp"

#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <charconv>

namespace vindrel::ui {
namespace {

// A whole number as the options window accepts it: optional sign, digits,
// blanks around ignored.
bool parse_integer(const QString& text, std::int32_t& value) {
  std::string token = text.trimmed().toStdString();
  if (!token.empty() && token.front() == '+') token.erase(0, 1);
  if (token.empty()) return false;
  std::int32_t parsed = 0;
  const auto [end, error] = std::from_chars(token.data(), token.data() + token.size(), parsed);
  if (error != std::errc() || end != token.data() + token.size()) return false;
  value = parsed;
  return true;
}

}  // namespace

TFmRunOptions::TFmRunOptions(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TFmRunOptions"));
  setWindowTitle(QStringLiteral("Run Options"));
  setModal(true);
  const QString unit = QString::fromStdString(program_.model.ModelInfo.TimeUnit);

  RgRunType = new QGroupBox(QStringLiteral("Run Type"), this);
  RgRunType->setObjectName(QStringLiteral("RgRunType"));
  normal_button_ = new QRadioButton(QStringLiteral("&Normal"), RgRunType);
  normal_button_->setObjectName(QStringLiteral("RgRunTypeNormal"));
  special_button_ = new QRadioButton(QStringLiteral("&Special (Select options below)"), RgRunType);
  special_button_->setObjectName(QStringLiteral("RgRunTypeSpecial"));
  auto* group_layout = new QVBoxLayout(RgRunType);
  group_layout->addWidget(normal_button_);
  group_layout->addWidget(special_button_);

  CbRepeatDrivers = new QCheckBox(QStringLiteral("Repeat drivers every "), this);
  CbRepeatDrivers->setObjectName(QStringLiteral("CbRepeatDrivers"));
  EdRepeatDriveTime = new QLineEdit(this);
  EdRepeatDriveTime->setObjectName(QStringLiteral("EdRepeatDriveTime"));
  EdRepeatDriveTime->setAccessibleName(QStringLiteral("Repeat drivers every"));
  LblTimeUnit1 = new QLabel(unit, this);
  LblTimeUnit1->setObjectName(QStringLiteral("LblTimeUnit1"));
  CbResetStates = new QCheckBox(QStringLiteral("Reset selected state variables every "), this);
  CbResetStates->setObjectName(QStringLiteral("CbResetStates"));
  EdResetStateTime = new QLineEdit(this);
  EdResetStateTime->setObjectName(QStringLiteral("EdResetStateTime"));
  EdResetStateTime->setAccessibleName(QStringLiteral("Reset selected state variables every"));
  LblTimeUnit2 = new QLabel(unit, this);
  LblTimeUnit2->setObjectName(QStringLiteral("LblTimeUnit2"));
  for (QLineEdit* box : {EdRepeatDriveTime, EdResetStateTime}) {
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
    box->installEventFilter(this);
  }

  MmInfo = new QPlainTextEdit(this);
  MmInfo->setObjectName(QStringLiteral("MmInfo"));
  MmInfo->setReadOnly(true);
  MmInfo->setFocusPolicy(Qt::NoFocus);
  MmInfo->setFrameShape(QFrame::NoFrame);
  MmInfo->viewport()->setAutoFillBackground(false);
  MmInfo->setPlainText(
      QStringLiteral("Use the Edit State Variable window to select which state variables "
                     "will be reset."));
  MmInfo->setFixedHeight(MmInfo->fontMetrics().lineSpacing() * 3);
  MmInfo->setAccessibleName(QStringLiteral("Information"));

  BtnClose = new QPushButton(QStringLiteral("&Close"), this);
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  BtnClose->setDefault(true);

  auto* options = new QGridLayout;
  options->setHorizontalSpacing(6);
  options->addWidget(CbRepeatDrivers, 0, 0);
  options->addWidget(EdRepeatDriveTime, 0, 1);
  options->addWidget(LblTimeUnit1, 0, 2);
  options->addWidget(CbResetStates, 1, 0);
  options->addWidget(EdResetStateTime, 1, 1);
  options->addWidget(LblTimeUnit2, 1, 2);
  options->setColumnStretch(3, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(BtnClose);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(RgRunType);
  layout->addSpacing(6);
  layout->addLayout(options);
  layout->addWidget(MmInfo);
  layout->addLayout(buttons);
  setMinimumWidth(440);

  connect(normal_button_, &QRadioButton::clicked, this, &TFmRunOptions::choose_normal);
  connect(special_button_, &QRadioButton::clicked, this, &TFmRunOptions::choose_special);
  connect(CbRepeatDrivers, &QCheckBox::toggled, this, [this](bool on) {
    if (!loading_) program_.set(&RunSettings::repeat_drivers, on);
  });
  connect(CbResetStates, &QCheckBox::toggled, this, [this](bool on) {
    if (!loading_) program_.set(&RunSettings::reset_states, on);
  });
  // Typing a time chooses its option.
  connect(EdRepeatDriveTime, &QLineEdit::textEdited, this,
          [this] { CbRepeatDrivers->setChecked(true); });
  connect(EdResetStateTime, &QLineEdit::textEdited, this,
          [this] { CbResetStates->setChecked(true); });
  connect(EdRepeatDriveTime, &QLineEdit::returnPressed, this, &TFmRunOptions::leave_repeat_box);
  connect(EdResetStateTime, &QLineEdit::returnPressed, this, &TFmRunOptions::leave_reset_box);
  connect(BtnClose, &QPushButton::clicked, this, &TFmRunOptions::close_clicked);
  load_from_settings();
}

void TFmRunOptions::enable_options(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{CbRepeatDrivers, EdRepeatDriveTime,
                                                          CbResetStates, EdResetStateTime}) {
    control->setEnabled(enabled);
  }
}

void TFmRunOptions::load_from_settings() {
  loading_ = true;
  const RunSettings& settings = program_.settings;
  if (settings.repeat_drivers || settings.reset_states) {
    special_button_->setChecked(true);
    enable_options(true);
    CbRepeatDrivers->setChecked(settings.repeat_drivers);
    EdRepeatDriveTime->setText(settings.repeat_drivers ? QString::number(settings.repeat_time)
                                                       : QString());
    CbResetStates->setChecked(settings.reset_states);
    EdResetStateTime->setText(settings.reset_states ? QString::number(settings.reset_interval)
                                                    : QString());
  } else {
    normal_button_->setChecked(true);
    CbRepeatDrivers->setChecked(false);
    CbResetStates->setChecked(false);
    EdRepeatDriveTime->clear();
    EdResetStateTime->clear();
    enable_options(false);
  }
  loading_ = false;
}

void TFmRunOptions::choose_special() {
  const ProgramState::Batch batch(program_);
  program_.set(&RunSettings::repeat_drivers, false);
  program_.set(&RunSettings::reset_states, false);
  loading_ = true;
  special_button_->setChecked(true);
  enable_options(true);
  CbRepeatDrivers->setChecked(false);
  CbResetStates->setChecked(false);
  loading_ = false;
  program_.invalidate_run();
  emit run_type_checked(true);
  emit settings_changed();
}

void TFmRunOptions::choose_normal() {
  const ProgramState::Batch batch(program_);
  program_.set(&RunSettings::repeat_drivers, false);
  program_.set(&RunSettings::reset_states, false);
  loading_ = true;
  normal_button_->setChecked(true);
  EdRepeatDriveTime->clear();
  EdResetStateTime->clear();
  CbRepeatDrivers->setChecked(false);
  CbResetStates->setChecked(false);
  enable_options(false);
  loading_ = false;
  program_.invalidate_run();
  emit run_type_checked(false);
  emit settings_changed();
}

void TFmRunOptions::leave_time_box(QLineEdit* box, std::int32_t RunSettings::*stored,
                                   const QString& warning) {
  if (!box->isEnabled() || box->text().trimmed().isEmpty()) return;
  std::int32_t value = 0;
  // Both are periods of whole days: a reset interval of 0 would divide the
  // run's time by zero, and drivers repeated every 0 days would never move.
  const bool valid = parse_integer(box->text(), value) && value >= 1;
  if (valid) {
    program_.set(stored, value);
    return;
  }
  dialogs_.message(this, MessageKind::kWarning, warning, MessageButtons::kOk);
  emit normal_run_requested();
  load_from_settings();
}

void TFmRunOptions::leave_repeat_box() {
  leave_time_box(EdRepeatDriveTime, &RunSettings::repeat_time,
                 QStringLiteral("Invalid driver repeat time. Run set to Normal run."));
}

void TFmRunOptions::leave_reset_box() {
  leave_time_box(EdResetStateTime, &RunSettings::reset_interval,
                 QStringLiteral("Invalid state variable reset time. Run set to Normal run."));
}

void TFmRunOptions::close_clicked() { accept(); }

void TFmRunOptions::done(int result) {
  // A time typed but not yet left counts, however the window is closed; and
  // the Run menu then shows the run type the settings hold.
  if (focusWidget() == EdRepeatDriveTime) leave_repeat_box();
  if (focusWidget() == EdResetStateTime) leave_reset_box();
  emit run_type_checked(program_.settings.repeat_drivers || program_.settings.reset_states);
  QDialog::done(result);
}

void TFmRunOptions::showEvent(QShowEvent* event) {
  load_from_settings();
  QDialog::showEvent(event);
}

bool TFmRunOptions::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) {
      if (watched == EdRepeatDriveTime) leave_repeat_box();
      if (watched == EdResetStateTime) leave_reset_box();
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace vindrel::ui
