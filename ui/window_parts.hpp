// What the program's small windows build alike: their object name, title and
// modality, controls that carry their names, and the row of buttons at their
// foot.
#pragma once

#include <QString>
#include <Qt>
#include <initializer_list>

class QDialog;
class QHBoxLayout;
class QLayout;
class QWidget;

namespace vindrel::ui {

// `object` (a control, an action, a window) with its object name, the name
// the model's program gives it and tests find it by.
template <class Object>
Object* named(Object* object, const char* name) {
  object->setObjectName(QString::fromLatin1(name));
  return object;
}

// A dialog's object name, title and modality.
void set_up_dialog(QDialog& dialog, const char* name, const QString& title, bool modal);

// The buttons at a window's foot, kept to its right edge.
QHBoxLayout* button_row(std::initializer_list<QWidget*> buttons);

// A picture with texts to its right, as the about box and the error window
// open.
QHBoxLayout* picture_beside(QWidget* picture, QLayout* texts, Qt::Alignment picture_alignment = {});

}  // namespace vindrel::ui
