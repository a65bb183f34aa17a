#include "ui/window_parts.hpp"

#include <QDialog>
#include <QHBoxLayout>

namespace vindrel::ui {

void set_up_dialog(QDialog& dialog, const char* name, const QString& title, bool modal) {
  named(&dialog, name);
  dialog.setWindowTitle(title);
  dialog.setModal(modal);
}

QHBoxLayout* button_row(std::initializer_list<QWidget*> buttons) {
  auto* row = new QHBoxLayout;
  row->addStretch();
  for (QWidget* button : buttons) row->addWidget(button);
  return row;
}

QHBoxLayout* picture_beside(QWidget* picture, QLayout* texts, Qt::Alignment picture_alignment) {
  auto* row = new QHBoxLayout;
  row->addWidget(picture, 0, picture_alignment);
  row->addSpacing(12);
  row->addLayout(texts, 1);
  return row;
}

}  // namespace vindrel::ui
