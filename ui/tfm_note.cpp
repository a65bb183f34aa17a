#include "ui/tfm_note.hpp"

namespace vindrel::ui {

TFmNote::TFmNote(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), program_(program), dialogs_(dialogs) {
  setObjectName("TFmNote");
}

}  // namespace vindrel::ui
