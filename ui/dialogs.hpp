// Message boxes, input boxes and file dialogs go through this one interface,
// so that tests answer them from a script while the program shows Qt's own.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace vindrel::ui {

enum class MessageKind { kInformation, kWarning, kError, kConfirmation };
// kContinueCancel: "Continue" answers kOk.
enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kContinueCancel };
enum class MessageAnswer { kOk, kCancel, kYes, kNo };

// An open or save file dialog as the windows describe it. The filter is given
// in the model program's "Caption (*.ext)|*.ext|All Files|*.*" form.
struct FileDialogSpec {
  enum class Mode { kOpen, kSave };
  Mode mode = Mode::kOpen;
  QString title;
  QString default_suffix;  // without the dot: "par"
  QString filter;
  bool path_must_exist = false;
  bool file_must_exist = false;
  bool offer_to_create = false;  // an open dialog that accepts a name that does not exist
  bool ask_before_overwrite = false;
};

// A file dialog of `mode`; a save dialog asks before it overwrites a file.
FileDialogSpec file_dialog_spec(FileDialogSpec::Mode mode, const QString& title,
                                const QString& default_suffix, const QString& filter);

class Dialogs;

// A save dialog (`spec` in save mode) preset with `file_name`. A name in a
// folder that does not exist is refused with a message naming the folder and
// gives nullopt, as cancelling does, so that nothing is written.
std::optional<QString> file_to_save(Dialogs& dialogs, QWidget* parent, const FileDialogSpec& spec,
                                    const QString& file_name);

class Dialogs {
 public:
  virtual ~Dialogs() = default;
  // Shows a message box and returns the button pressed (closing the box
  // counts as Cancel, or No where there is no Cancel, or OK for an OK box).
  virtual MessageAnswer message(QWidget* parent, MessageKind kind, const QString& text,
                                MessageButtons buttons) = 0;
  // An input box; nullopt when cancelled.
  virtual std::optional<QString> input(QWidget* parent, const QString& caption,
                                       const QString& prompt, const QString& text) = 0;
  // A file dialog preset with `file_name`; nullopt when cancelled. The chosen
  // name has the default suffix added when it has none.
  virtual std::optional<QString> file(QWidget* parent, const FileDialogSpec& spec,
                                      const QString& file_name) = 0;
  // The system beep.
  virtual void beep() = 0;
};

// The program's own: QMessageBox, QInputDialog, QFileDialog, QApplication::beep.
class QtDialogs final : public Dialogs {
 public:
  MessageAnswer message(QWidget* parent, MessageKind kind, const QString& text,
                        MessageButtons buttons) override;
  std::optional<QString> input(QWidget* parent, const QString& caption, const QString& prompt,
                               const QString& text) override;
  std::optional<QString> file(QWidget* parent, const FileDialogSpec& spec,
                              const QString& file_name) override;
  void beep() override;
};

// "Parameter Files (*.par)|*.par|All Files|*.*" as Qt's
// "Parameter Files (*.par);;All Files (*)": captions with their patterns.
QString qt_name_filter(const QString& filter);

}  // namespace vindrel::ui
