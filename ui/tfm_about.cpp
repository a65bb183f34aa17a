#include "ui/tfm_about.hpp"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/window_parts.hpp"

namespace vindrel::ui {

void paint_vindrel_emblem(QPainter& painter, const QRectF& area) {
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(area.topLeft());
  painter.scale(area.width() / 64.0, area.height() / 64.0);
  // A rounded square of sky, a band of soil and a conifer of three tiers.
  QPainterPath tile;
  tile.addRoundedRect(QRectF(2, 2, 60, 60), 10, 10);
  QLinearGradient sky(0, 2, 0, 62);
  sky.setColorAt(0.0, QColor(200, 228, 245));
  sky.setColorAt(1.0, QColor(236, 246, 236));
  painter.fillPath(tile, sky);
  painter.setClipPath(tile);
  painter.fillRect(QRectF(2, 50, 60, 12), QColor(121, 85, 58));
  painter.fillRect(QRectF(29, 42, 6, 10), QColor(101, 67, 33));
  const QColor greens[3] = {QColor(34, 110, 60), QColor(40, 125, 68), QColor(48, 140, 76)};
  const double tiers[3][3] = {{46, 22, 8}, {36, 18, 6}, {26, 13, 4}};  // base y, half width, top
  for (int i = 0; i < 3; ++i) {
    QPainterPath tier;
    tier.moveTo(32 - tiers[i][1], tiers[i][0]);
    tier.lineTo(32 + tiers[i][1], tiers[i][0]);
    tier.lineTo(32, tiers[i][2] + (i == 0 ? 14 : i == 1 ? 6 : 0));
    tier.closeSubpath();
    painter.fillPath(tier, greens[i]);
  }
  painter.setClipping(false);
  painter.setPen(QPen(QColor(60, 90, 110), 1.5));
  painter.drawPath(tile);
  painter.restore();
}

QIcon vindrel_icon() {
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    paint_vindrel_emblem(painter, QRectF(0, 0, size, size));
    painter.end();
    icon.addPixmap(pixmap);
  }
  return icon;
}

TFmAbout::TFmAbout(const TModelDef& info, QWidget* parent) : QDialog(parent) {
  set_up_dialog(*this, "TFmAbout", QStringLiteral("About"), true);

  auto* emblem = named(new QLabel(this), "ProgramIcon");
  emblem->setPixmap(vindrel_icon().pixmap(64, 64));
  auto* ProductName =
      named(new QLabel(QString::fromStdString(info.ModelName), this), "ProductName");
  QFont large = ProductName->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  large.setBold(true);
  ProductName->setFont(large);
  auto* Version = named(
      new QLabel(QStringLiteral("Version ") + QString::fromStdString(info.ModelVersion), this),
      "Version");
  auto* OKButton = named(new QPushButton(QStringLiteral("&OK"), this), "OKButton");
  OKButton->setDefault(true);

  auto* texts = new QVBoxLayout;
  texts->addWidget(ProductName);
  texts->addWidget(Version);
  texts->addStretch();
  auto* top = picture_beside(emblem, texts, Qt::AlignTop);
  auto* buttons = button_row({OKButton});
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 12);
  layout->addLayout(top);
  layout->addSpacing(12);
  layout->addLayout(buttons);
  setFixedSize(sizeHint().expandedTo(QSize(320, 0)));

  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace vindrel::ui
