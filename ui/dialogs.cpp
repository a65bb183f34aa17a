#include "ui/dialogs.hpp"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace vindrel::ui {

QString qt_name_filter(const QString& filter) {
  const QStringList parts = filter.split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString caption = parts[i];
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    if (patterns == QLatin1String("*.*")) patterns = QStringLiteral("*");
    // Qt reads the patterns from the parentheses of the caption; a caption
    // without them gets the patterns appended.
    if (caption.contains(QLatin1Char('('))) {
      const qsizetype open = caption.lastIndexOf(QLatin1Char('('));
      caption = caption.left(open).trimmed();
    }
    filters << QStringLiteral("%1 (%2)").arg(caption, patterns);
  }
  return filters.join(QStringLiteral(";;"));
}

FileDialogSpec file_dialog_spec(FileDialogSpec::Mode mode, const QString& title,
                                const QString& default_suffix, const QString& filter) {
  FileDialogSpec spec;
  spec.mode = mode;
  spec.title = title;
  spec.default_suffix = default_suffix;
  spec.filter = filter;
  spec.ask_before_overwrite = mode == FileDialogSpec::Mode::kSave;
  return spec;
}

std::optional<QString> file_to_save(Dialogs& dialogs, QWidget* parent, const FileDialogSpec& spec,
                                    const QString& file_name) {
  std::optional<QString> chosen = dialogs.file(parent, spec, file_name);
  if (!chosen || chosen->isEmpty()) return chosen;
  const QFileInfo file(*chosen);
  if (!file.absoluteDir().exists()) {
    dialogs.message(parent, MessageKind::kError,
                    QStringLiteral("The folder \"%1\" does not exist. Choose a folder that exists.")
                        .arg(QDir::toNativeSeparators(file.absolutePath())),
                    MessageButtons::kOk);
    return std::nullopt;
  }
  return chosen;
}

MessageAnswer QtDialogs::message(QWidget* parent, MessageKind kind, const QString& text,
                                 MessageButtons buttons) {
  QMessageBox::Icon icon = QMessageBox::Information;
  // Every box carries the program's name, whatever file name it was started under.
  const QString title = QStringLiteral("Vindrel");
  switch (kind) {
    case MessageKind::kInformation:
      icon = QMessageBox::Information;
      break;
    case MessageKind::kWarning:
      icon = QMessageBox::Warning;
      break;
    case MessageKind::kError:
      icon = QMessageBox::Critical;
      break;
    case MessageKind::kConfirmation:
      icon = QMessageBox::Question;
      break;
  }
  QMessageBox::StandardButtons set = QMessageBox::Ok;
  QMessageBox::StandardButton escape = QMessageBox::Ok;
  switch (buttons) {
    case MessageButtons::kOk:
      set = QMessageBox::Ok;
      escape = QMessageBox::Ok;
      break;
    case MessageButtons::kOkCancel:
    case MessageButtons::kContinueCancel:
      set = QMessageBox::Ok | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
    case MessageButtons::kYesNo:
      set = QMessageBox::Yes | QMessageBox::No;
      escape = QMessageBox::No;
      break;
    case MessageButtons::kYesNoCancel:
      set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
      escape = QMessageBox::Cancel;
      break;
  }
  QMessageBox box(icon, title, text, set, parent);
  box.setEscapeButton(escape);
  if (buttons == MessageButtons::kContinueCancel) {
    box.button(QMessageBox::Ok)->setText(QStringLiteral("&Continue"));
  }
  const int pressed = box.exec();
  switch (pressed) {
    case QMessageBox::Ok:
      return MessageAnswer::kOk;
    case QMessageBox::Yes:
      return MessageAnswer::kYes;
    case QMessageBox::No:
      return MessageAnswer::kNo;
    default:
      return MessageAnswer::kCancel;
  }
}

std::optional<QString> QtDialogs::input(QWidget* parent, const QString& caption,
                                        const QString& prompt, const QString& text) {
  bool ok = false;
  const QString answer =
      QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, text, &ok);
  if (!ok) return std::nullopt;
  return answer;
}

std::optional<QString> QtDialogs::file(QWidget* parent, const FileDialogSpec& spec,
                                       const QString& file_name) {
  QFileDialog dialog(parent, spec.title);
  dialog.setNameFilter(qt_name_filter(spec.filter));
  dialog.setDefaultSuffix(spec.default_suffix);
  if (spec.mode == FileDialogSpec::Mode::kSave) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !spec.ask_before_overwrite);
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(spec.file_must_exist || !spec.offer_to_create ? QFileDialog::ExistingFile
                                                                     : QFileDialog::AnyFile);
  }
  // File dialogs start in the current working directory when given none.
  const QFileInfo preset(file_name);
  dialog.setDirectory(file_name.isEmpty() || preset.path().isEmpty() ? QDir::currentPath()
                                                                     : preset.absolutePath());
  if (!file_name.isEmpty()) dialog.selectFile(preset.fileName());
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

void QtDialogs::beep() { QApplication::beep(); }

}  // namespace vindrel::ui
