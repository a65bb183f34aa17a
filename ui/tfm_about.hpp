// The about box: the model's name and version.
#pragma once

#include <QDialog>

#include "core/model.hpp"

class QPainter;
class QRectF;
class QIcon;

namespace vindrel::ui {

class TFmAbout : public QDialog {
  Q_OBJECT

 public:
  TFmAbout(const TModelDef& info, QWidget* parent = nullptr);
};

// The program's emblem (a conifer over a soil band), drawn into `area`: the
// about box and the window icon use it.
void paint_vindrel_emblem(QPainter& painter, const QRectF& area);
QIcon vindrel_icon();

}  // namespace vindrel::ui
