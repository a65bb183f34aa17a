#include "ui/tdlg_scale.hpp"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cmath>
#include <stdexcept>

#include "fileio/number_format.hpp"
#include "ui/window_parts.hpp"

namespace vindrel::ui {

double read_typed_number(const QString& text) {
  double value = 0.0;
  const std::string token = text.trimmed().toStdString();
  if (!parse_number(token, value) || !std::isfinite(value)) {
    throw std::invalid_argument("'" + text.toStdString() + "' is not a valid floating point value");
  }
  return value;
}

TDlgScale::TDlgScale(Dialogs& dialogs, QWidget* parent) : QDialog(parent), dialogs_(dialogs) {
  setObjectName(QStringLiteral("TDlgScale"));
  setWindowTitle(QStringLiteral("Axis Parameters"));
  EdMinimum = named(new QLineEdit(this), "EdMinimum");
  EdMaximum = named(new QLineEdit(this), "EdMaximum");
  EdIncrement = named(new QLineEdit(this), "EdIncrement");
  RgAxisType = named(new QGroupBox(QStringLiteral("Axis Type"), this), "RgAxisType");
  RbLinear = named(new QRadioButton(QStringLiteral("Li&near"), RgAxisType), "RbLinear");
  RbLogarithmic =
      named(new QRadioButton(QStringLiteral("Lo&garithmic"), RgAxisType), "RbLogarithmic");
  CbAutoScale = named(new QCheckBox(QStringLiteral("&Auto Scale"), this), "CbAutoScale");
  BtnOK = named(new QPushButton(QStringLiteral("&OK"), this), "BtnOK");
  BtnOK->setDefault(true);
  BtnCancel = named(new QPushButton(QStringLiteral("&Cancel"), this), "BtnCancel");

  auto* type_layout = new QVBoxLayout(RgAxisType);
  type_layout->addWidget(RbLinear);
  type_layout->addWidget(RbLogarithmic);
  auto* form = new QFormLayout();
  const auto add_row = [&](const QString& caption, QLineEdit* edit) {
    auto* label = new QLabel(caption, this);
    label->setBuddy(edit);
    form->addRow(label, edit);
  };
  add_row(QStringLiteral("&Minimum"), EdMinimum);
  add_row(QStringLiteral("Ma&ximum"), EdMaximum);
  add_row(QStringLiteral("&Increment"), EdIncrement);
  auto* right = new QVBoxLayout();
  right->addWidget(RgAxisType);
  right->addWidget(CbAutoScale);
  right->addStretch();
  auto* top = new QHBoxLayout();
  top->addLayout(form, 1);
  top->addLayout(right);
  auto* buttons = button_row({BtnOK, BtnCancel});
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(buttons);

  connect(BtnOK, &QPushButton::clicked, this, &TDlgScale::accept);
  connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
  // Leaving a box whose text was changed means the user types the range.
  for (QLineEdit* edit : {EdMinimum, EdMaximum, EdIncrement}) {
    connect(edit, &QLineEdit::editingFinished, this, [this, edit] {
      if (edit->isModified()) CbAutoScale->setChecked(false);
      edit->setModified(false);
    });
  }
  connect(RbLogarithmic, &QRadioButton::toggled, this,
          [this](bool checked) { emit logarithmic_changed(checked); });
}

void TDlgScale::prepare(bool independent, const AxisScale& scale) {
  setWindowTitle(independent ? QStringLiteral("Independent Axis")
                             : QStringLiteral("Dependent Axis"));
  {
    const QSignalBlocker block(RbLogarithmic);
    RbLogarithmic->setChecked(scale.logarithmic);
    RbLinear->setChecked(!scale.logarithmic);
  }
  EdMinimum->setText(QString::fromStdString(shortest_decimal_text(scale.minimum)));
  EdMaximum->setText(QString::fromStdString(shortest_decimal_text(scale.maximum)));
  EdIncrement->setText(QString::fromStdString(shortest_decimal_text(scale.increment)));
  for (QLineEdit* edit : {EdMinimum, EdMaximum, EdIncrement}) edit->setModified(false);
  CbAutoScale->setChecked(scale.automatic);
  typed_ = scale;
}

bool TDlgScale::auto_scale() const { return CbAutoScale->isChecked(); }

bool TDlgScale::logarithmic() const { return RbLogarithmic->isChecked(); }

void TDlgScale::accept() {
  if (CbAutoScale->isChecked()) {
    QDialog::accept();
    return;
  }
  AxisScale scale;
  try {
    scale.minimum = read_typed_number(EdMinimum->text());
    scale.maximum = read_typed_number(EdMaximum->text());
    scale.increment = read_typed_number(EdIncrement->text());
  } catch (const std::invalid_argument& error) {
    dialogs_.message(this, MessageKind::kError, QString::fromStdString(error.what()),
                     MessageButtons::kOk);
    return;
  }
  scale.logarithmic = logarithmic();
  scale.automatic = false;
  // An axis cannot be drawn over an empty or reversed range, nor a logarithmic
  // one below zero; an increment of 0 leaves the ticks to the chart.
  QString fault;
  if (!(scale.maximum > scale.minimum)) {
    fault = QStringLiteral("The maximum must be greater than the minimum.");
  } else if (scale.logarithmic && scale.minimum <= 0.0) {
    fault = QStringLiteral("The minimum of a logarithmic axis must be greater than 0.");
  } else if (scale.increment < 0.0) {
    fault = QStringLiteral("The increment must not be negative.");
  }
  if (!fault.isEmpty()) {
    dialogs_.message(this, MessageKind::kError, fault, MessageButtons::kOk);
    return;
  }
  typed_ = scale;
  QDialog::accept();
}

}  // namespace vindrel::ui
