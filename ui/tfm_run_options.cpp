#include "ui/tfm_run_options.hpp"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFocusEvent>
#include <QFormLayout>
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
#include <cmath>
#include <limits>

#include "fileio/number_format.hpp"
#include "run/run_options_check.hpp"
#include "ui/value_cells.hpp"
#include "ui/window_parts.hpp"

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

// The caption of the tolerance box, which also names it in a refusal.
constexpr char kToleranceCaption[] = "Relative tolerance";

}  // namespace

TFmRunOptions::TFmRunOptions(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs) {
  set_up_dialog(*this, "TFmRunOptions", QStringLiteral("Run Options"), true);
  const QString unit = QString::fromStdString(program_.model.ModelInfo.TimeUnit);

  RgRunType = named(new QGroupBox(QStringLiteral("Run Type"), this), "RgRunType");
  normal_button_ = named(new QRadioButton(QStringLiteral("&Normal"), RgRunType), "RgRunTypeNormal");
  special_button_ =
      named(new QRadioButton(QStringLiteral("&Special (Select options below)"), RgRunType),
            "RgRunTypeSpecial");
  auto* group_layout = new QVBoxLayout(RgRunType);
  group_layout->addWidget(normal_button_);
  group_layout->addWidget(special_button_);

  CbRepeatDrivers =
      named(new QCheckBox(QStringLiteral("Repeat drivers every "), this), "CbRepeatDrivers");
  EdRepeatDriveTime = named(new QLineEdit(this), "EdRepeatDriveTime");
  EdRepeatDriveTime->setAccessibleName(QStringLiteral("Repeat drivers every"));
  LblTimeUnit1 = named(new QLabel(unit, this), "LblTimeUnit1");
  CbResetStates =
      named(new QCheckBox(QStringLiteral("Reset selected state variables every "), this),
            "CbResetStates");
  EdResetStateTime = named(new QLineEdit(this), "EdResetStateTime");
  EdResetStateTime->setAccessibleName(QStringLiteral("Reset selected state variables every"));
  LblTimeUnit2 = named(new QLabel(unit, this), "LblTimeUnit2");
  // A run that continues a series on repeated drivers names the series' start.
  LblFirstStart =
      named(new QLabel(QStringLiteral("&First start time of the series "), this), "LblFirstStart");
  EdFirstStartTime = named(new QLineEdit(this), "EdFirstStartTime");
  EdFirstStartTime->setAccessibleName(QStringLiteral("First Start Time"));
  EdFirstStartTime->setToolTip(
      QStringLiteral("For a run that continues an earlier one: the start time of the first run "
                     "of the series (empty when this run starts a series)"));
  LblFirstStart->setBuddy(EdFirstStartTime);
  LblTimeUnit3 = named(new QLabel(unit, this), "LblTimeUnit3");
  for (QLineEdit* box : {EdRepeatDriveTime, EdResetStateTime, EdFirstStartTime}) {
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
    box->installEventFilter(this);
  }

  MmInfo = named(new QPlainTextEdit(this), "MmInfo");
  MmInfo->setReadOnly(true);
  MmInfo->setFocusPolicy(Qt::NoFocus);
  MmInfo->setFrameShape(QFrame::NoFrame);
  MmInfo->viewport()->setAutoFillBackground(false);
  MmInfo->setPlainText(
      QStringLiteral("Use the Edit State Variable window to select which state variables "
                     "will be reset."));
  MmInfo->setFixedHeight(MmInfo->fontMetrics().lineSpacing() * 3);
  MmInfo->setAccessibleName(QStringLiteral("Information"));

  GbIntegrator = named(new QGroupBox(QStringLiteral("Integrator"), this), "GbIntegrator");
  CbIntegrator = named(new QComboBox(GbIntegrator), "CbIntegrator");
  for (const auto& [kind, description] :
       {std::pair{IntegratorKind::kRk4, "the model's own"},
        std::pair{IntegratorKind::kDopri5, "Dormand-Prince 5(4)"},
        std::pair{IntegratorKind::kFehlberg78, "Runge-Kutta-Fehlberg 7(8)"}}) {
    const QString name = QString::fromStdString(std::string(integrator_name(kind)));
    CbIntegrator->addItem(QStringLiteral("%1 (%2)").arg(name, QLatin1String(description)),
                          static_cast<int>(kind));
  }
  EdRelativeTolerance = named(new QLineEdit(GbIntegrator), "EdRelativeTolerance");
  EdRelativeTolerance->setFixedWidth(
      EdRelativeTolerance->fontMetrics().horizontalAdvance(QStringLiteral("0.000000001")) + 16);
  EdRelativeTolerance->setToolTip(
      QStringLiteral("Each state's error per step, as a fraction of its size (dopri5 and rkf78; "
                     "rk4 keeps the model's tolerance of 1E-8)"));
  EdRelativeTolerance->installEventFilter(this);
  auto* integrator = new QFormLayout(GbIntegrator);
  integrator->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
  integrator->addRow(QStringLiteral("&Method"), CbIntegrator);
  integrator->addRow(QStringLiteral("&Relative tolerance"), EdRelativeTolerance);

  BtnClose = named(new QPushButton(QStringLiteral("&Close"), this), "BtnClose");
  BtnClose->setDefault(true);

  auto* options = new QGridLayout;
  options->setHorizontalSpacing(6);
  options->addWidget(CbRepeatDrivers, 0, 0);
  options->addWidget(EdRepeatDriveTime, 0, 1);
  options->addWidget(LblTimeUnit1, 0, 2);
  options->addWidget(CbResetStates, 1, 0);
  options->addWidget(EdResetStateTime, 1, 1);
  options->addWidget(LblTimeUnit2, 1, 2);
  options->addWidget(LblFirstStart, 2, 0);
  options->addWidget(EdFirstStartTime, 2, 1);
  options->addWidget(LblTimeUnit3, 2, 2);
  options->setColumnStretch(3, 1);
  auto* buttons = button_row({BtnClose});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addWidget(RgRunType);
  layout->addSpacing(6);
  layout->addLayout(options);
  layout->addWidget(MmInfo);
  layout->addWidget(GbIntegrator);
  layout->addSpacing(6);
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
  connect(EdFirstStartTime, &QLineEdit::returnPressed, this, &TFmRunOptions::leave_first_start_box);
  connect(CbIntegrator, &QComboBox::activated, this, [this](int index) {
    choose_integrator(static_cast<IntegratorKind>(CbIntegrator->itemData(index).toInt()));
  });
  connect(EdRelativeTolerance, &QLineEdit::returnPressed, this,
          &TFmRunOptions::leave_tolerance_box);
  connect(BtnClose, &QPushButton::clicked, this, &TFmRunOptions::close_clicked);
  load_from_settings();
}

void TFmRunOptions::enable_options(bool enabled) {
  for (QWidget* control : std::initializer_list<QWidget*>{
           CbRepeatDrivers, EdRepeatDriveTime, LblTimeUnit1, CbResetStates, EdResetStateTime,
           LblTimeUnit2, LblFirstStart, EdFirstStartTime, LblTimeUnit3}) {
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
  EdFirstStartTime->setText(
      settings.first_start_time
          ? QString::fromStdString(shortest_decimal_text(*settings.first_start_time))
          : QString());
  loading_ = false;
  load_integrator();
}

void TFmRunOptions::leave_first_start_box() {
  if (!EdFirstStartTime->isEnabled()) return;
  const QString text = EdFirstStartTime->text().trimmed();
  if (text.isEmpty()) {
    program_.set(&RunSettings::first_start_time, std::optional<double>());
    return;
  }
  const std::optional<double> typed = parse_value_cell(text);
  if (typed && std::isfinite(*typed) && *typed >= 0.0) {
    program_.set(&RunSettings::first_start_time, typed);
    return;
  }
  dialogs_.message(this, MessageKind::kWarning,
                   QStringLiteral("Invalid first start time \"%1\": a time of 0 days or more, "
                                  "or nothing when the run starts a series.")
                       .arg(text),
                   MessageButtons::kOk);
  load_from_settings();
}

void TFmRunOptions::load_integrator() {
  const RunSettings& settings = program_.settings;
  CbIntegrator->setCurrentIndex(CbIntegrator->findData(static_cast<int>(settings.integrator)));
  const bool embedded = settings.integrator != IntegratorKind::kRk4;
  EdRelativeTolerance->setEnabled(embedded);
  EdRelativeTolerance->setText(QString::fromStdString(
      shortest_decimal_text(embedded ? settings.relative_tolerance : settings.tolerance)));
}

void TFmRunOptions::choose_integrator(IntegratorKind kind) {
  program_.set(&RunSettings::integrator, kind);
  load_integrator();
}

void TFmRunOptions::leave_tolerance_box() {
  // An unedited box keeps the stored number exactly.
  if (!EdRelativeTolerance->isEnabled() || !EdRelativeTolerance->isModified()) return;
  const QString text = EdRelativeTolerance->text().trimmed();
  const std::optional<double> typed = parse_value_cell(text);
  std::string problem;
  if (!typed) {
    problem = std::string(kToleranceCaption) + ": " + std::string(kRelativeToleranceExpected) +
              ", found \"" + text.toStdString() + "\"";
  } else {
    problem = relative_tolerance_problem(*typed, kToleranceCaption);
  }
  if (problem.empty()) {
    program_.set(&RunSettings::relative_tolerance, *typed);
  } else {
    dialogs_.message(this, MessageKind::kWarning, QString::fromStdString(problem),
                     MessageButtons::kOk);
  }
  load_integrator();
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
  program_.set(&RunSettings::first_start_time, std::optional<double>());
  loading_ = true;
  normal_button_->setChecked(true);
  EdFirstStartTime->clear();
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
  if (focusWidget() == EdRelativeTolerance) leave_tolerance_box();
  if (focusWidget() == EdFirstStartTime) leave_first_start_box();
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
      if (watched == EdRelativeTolerance) leave_tolerance_box();
      if (watched == EdFirstStartTime) leave_first_start_box();
    }
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace vindrel::ui
