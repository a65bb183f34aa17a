#include "ui/tfm_trouble.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <functional>

#include "check/findings.hpp"
#include "ui/window_parts.hpp"

namespace vindrel::ui {

QString run_failure_detail(const RunResult& result, const Model& started_from,
                           const RunSettings& settings) {
  if (result.outcome != RunOutcome::kFailed) return {};
  return QString::fromStdString(failure_detail_text(result) +
                                failure_cause_text(result.failure_detail, started_from, settings));
}

// A glass of milk, drawn: a tapered glass, the milk in it and a highlight.
class TroublePicture : public QWidget {
 public:
  explicit TroublePicture(QWidget* parent) : QWidget(parent) {
    setFixedSize(84, 110);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
  }
  std::function<void()> clicked;

 protected:
  void mouseReleaseEvent(QMouseEvent* event) override {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) &&
        clicked) {
      clicked();
    }
  }

  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = width();
    const double h = height();
    // The glass: wider at the rim than at the foot.
    QPainterPath glass;
    glass.moveTo(w * 0.14, h * 0.06);
    glass.lineTo(w * 0.86, h * 0.06);
    glass.lineTo(w * 0.76, h * 0.94);
    glass.quadTo(w * 0.5, h * 0.99, w * 0.24, h * 0.94);
    glass.closeSubpath();
    painter.fillPath(glass, QColor(225, 238, 246));
    // The milk, up to three quarters of the glass, with a curved surface.
    QPainterPath milk;
    const double surface = h * 0.28;
    const double left_at_surface = w * 0.14 + (w * 0.10) * (surface - h * 0.06) / (h * 0.88);
    milk.moveTo(left_at_surface, surface);
    milk.quadTo(w * 0.5, surface + h * 0.05, w - left_at_surface, surface);
    milk.lineTo(w * 0.76, h * 0.94);
    milk.quadTo(w * 0.5, h * 0.99, w * 0.24, h * 0.94);
    milk.closeSubpath();
    painter.fillPath(milk, QColor(255, 255, 252));
    painter.setPen(QPen(QColor(200, 205, 200), 1.0));
    painter.drawPath(milk);
    // Outline and a highlight along the left wall.
    painter.setPen(QPen(QColor(70, 100, 130), 2.0));
    painter.drawPath(glass);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 3.0, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(w * 0.24, h * 0.14), QPointF(w * 0.31, h * 0.84));
  }
};

TFmTrouble::TFmTrouble(const QString& model_name, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), dialogs_(dialogs) {
  set_up_dialog(*this, "TFmTrouble", model_name + QStringLiteral(" run error"), true);

  Image1 = named(new TroublePicture(this), "Image1");
  Image1->setToolTip(QStringLiteral("Click me"));
  Image1->setAccessibleName(QStringLiteral("Glass of milk"));
  Image1->clicked = [this] { picture_clicked(); };

  auto* line1 = new QLabel(QStringLiteral("Having trouble "), this);
  auto* line2 = new QLabel(QStringLiteral("parameterizing?"), this);
  auto* line3 = new QLabel(QStringLiteral("Click the icon on the left."), this);
  QFont large = line1->font();
  large.setPointSizeF(large.pointSizeF() * 1.35);
  large.setBold(true);
  line1->setFont(large);
  line2->setFont(large);

  MmError = named(new QPlainTextEdit(this), "MmError");
  MmError->setReadOnly(true);
  MmError->setAccessibleName(QStringLiteral("Error message"));
  MmError->setMinimumWidth(420);
  MmError->setFixedHeight(MmError->fontMetrics().lineSpacing() * 5 + 12);
  MmError->setLineWrapMode(QPlainTextEdit::WidgetWidth);

  LblDetail =
      named(new QLabel(QStringLiteral("When and where the run stopped:"), this), "LblDetail");
  MmDetail = named(new QPlainTextEdit(this), "MmDetail");
  MmDetail->setReadOnly(true);
  MmDetail->setAccessibleName(QStringLiteral("When and where the run stopped"));
  MmDetail->setFixedHeight(MmDetail->fontMetrics().lineSpacing() * 6 + 12);
  MmDetail->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  // Wide enough for the longest of the usual lines to stay whole.
  MmDetail->setMinimumWidth(MmDetail->fontMetrics().horizontalAdvance(QLatin1Char('x')) * 72);
  LblDetail->setBuddy(MmDetail);

  BtnOK = named(new QPushButton(QStringLiteral("OK"), this), "BtnOK");
  BtnOK->setDefault(true);

  auto* texts = new QVBoxLayout;
  texts->addStretch();
  texts->addWidget(line1);
  texts->addWidget(line2);
  texts->addSpacing(8);
  texts->addWidget(line3);
  texts->addStretch();
  auto* top = picture_beside(Image1, texts);
  auto* buttons = button_row({BtnOK});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(16, 16, 16, 12);
  layout->addLayout(top);
  layout->addWidget(MmError);
  layout->addWidget(LblDetail);
  layout->addWidget(MmDetail);
  layout->addLayout(buttons);

  connect(BtnOK, &QPushButton::clicked, this, &QDialog::accept);
}

void TFmTrouble::set_message(const QString& message, const QString& detail) {
  MmError->clear();
  MmError->setPlainText(message);
  // The detail's items come indented for a terminal; here each is a line.
  QStringList lines = detail.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  for (QString& line : lines) line = line.trimmed();
  MmDetail->setPlainText(lines.join(QLatin1Char('\n')));
  LblDetail->setVisible(!lines.isEmpty());
  MmDetail->setVisible(!lines.isEmpty());
  adjustSize();
}

QString TFmTrouble::message() const { return MmError->toPlainText(); }

QString TFmTrouble::detail() const { return MmDetail->toPlainText(); }

int TFmTrouble::show_failure(const QString& message, const QString& detail) {
  set_message(message, detail);
  BtnOK->setFocus();
  return exec();
}

void TFmTrouble::picture_clicked() {
  dialogs_.message(this, MessageKind::kConfirmation, QStringLiteral("Got milk?"),
                   MessageButtons::kOk);
}

}  // namespace vindrel::ui
