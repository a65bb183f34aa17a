// The axis dialog: range, increment and type of one axis of the output
// display's chart, or automatic scaling.
#pragma once

#include <QDialog>
#include <QString>

#include "ui/dialogs.hpp"
#include "ui/output_chart.hpp"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace vindrel::ui {

class TDlgScale final : public QDialog {
  Q_OBJECT

 public:
  explicit TDlgScale(Dialogs& dialogs, QWidget* parent = nullptr);

  // Shows `scale` for the independent (X) or dependent (Y) axis.
  void prepare(bool independent, const AxisScale& scale);
  // What OK decided: automatic scaling, or the typed range and increment
  // (valid after accept()).
  bool auto_scale() const;
  const AxisScale& typed_scale() const noexcept { return typed_; }
  bool logarithmic() const;

  // Checks the texts; on a fault shows its message and stays open.
  void accept() override;

  QLineEdit* EdMinimum = nullptr;
  QLineEdit* EdMaximum = nullptr;
  QLineEdit* EdIncrement = nullptr;
  QGroupBox* RgAxisType = nullptr;
  QRadioButton* RbLinear = nullptr;
  QRadioButton* RbLogarithmic = nullptr;
  QCheckBox* CbAutoScale = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnCancel = nullptr;

 signals:
  // The axis type was changed: it applies at once, whatever OK or Cancel do.
  void logarithmic_changed(bool logarithmic);

 private:
  Dialogs& dialogs_;
  AxisScale typed_;
};

// Reads a number typed into an edit box, locale-independent; throws
// std::invalid_argument with "'<text>' is not a valid floating point value".
double read_typed_number(const QString& text);

}  // namespace vindrel::ui
