#include "ui/tfm_note.hpp"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QVBoxLayout>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "core/exceptions.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/safe_write.hpp"
#include "ui/error_handler.hpp"
#include "ui/main_form_support.hpp"

namespace vindrel::ui {

namespace {

const QString kChangesLost = QStringLiteral(
    "The changes you made to the drivers are about to be lost. Do you want to save the driver "
    "file before proceeding?");

// Checks that every record line of `content` holds a whole record, then reads
// every record with the driver file reader. Throws EInOutError for the first
// thing it cannot read.
void check_driver_text(const std::string& content, const Model& model) {
  check_driver_record_lines(content, model.ModelInfo.DriverCount, "driver text");
  DriverFileReader reader;
  reader.open(TextSource::text(content, "driver text"));
  auto drivers = std::make_unique<driverarray>(model.drivers);
  double time = 0.0;
  while (reader.read_record(time, model.ModelInfo.DriverCount, *drivers)) {
  }
}

// The file's text as it is, its line ends made single line feeds; empty when
// it cannot be read.
std::string whole_file_text(const std::string& file_name) {
  std::ifstream in(file_name, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::string lines;
  lines.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lines += text[i];
  }
  while (!lines.empty() && lines.back() == '\n') lines.pop_back();
  return lines;
}

}  // namespace

FileDialogSpec DlgSaveDriver() {
  return file_dialog_spec(FileDialogSpec::Mode::kSave, QStringLiteral("Save Driver File as"),
                          QStringLiteral("drr"),
                          QStringLiteral("Driver Files (*.drr)|*.drr|All Files (*.*)|*.*"));
}

TFmNote::TFmNote(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      program_(program),
      dialogs_(dialogs),
      MoDrivers(new QPlainTextEdit(this)),
      BtnChooseFile(new QPushButton(QStringLiteral("C&hoose Driver File"), this)),
      BtnSaveFile(new QPushButton(QStringLiteral("&Save File"), this)),
      BtnClose(new QPushButton(QStringLiteral("&Close"), this)) {
  setObjectName(QStringLiteral("TFmNote"));
  MoDrivers->setObjectName(QStringLiteral("MoDrivers"));
  BtnChooseFile->setObjectName(QStringLiteral("BtnChooseFile"));
  BtnSaveFile->setObjectName(QStringLiteral("BtnSaveFile"));
  BtnClose->setObjectName(QStringLiteral("BtnClose"));
  for (QPushButton* b : {BtnChooseFile, BtnSaveFile, BtnClose}) b->setAutoDefault(false);

  MoDrivers->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  MoDrivers->setLineWrapMode(QPlainTextEdit::NoWrap);
  MoDrivers->setWordWrapMode(QTextOption::NoWrap);
  MoDrivers->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MoDrivers->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  MoDrivers->setUndoRedoEnabled(true);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnChooseFile);
  buttons->addStretch(1);
  buttons->addWidget(BtnSaveFile);
  buttons->addWidget(BtnClose);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(MoDrivers, 1);
  layout->addLayout(buttons);
  // About five columns of 26 characters in sight.
  const int column = MoDrivers->fontMetrics().horizontalAdvance(QString(26, QLatin1Char('0')));
  resize(column * 5 + 60, 560);

  connect(BtnChooseFile, &QPushButton::clicked, this, &TFmNote::choose_clicked);
  connect(BtnSaveFile, &QPushButton::clicked, this,
          [this] { guarded(this, dialogs_, [this] { save_file(); }); });
  connect(BtnClose, &QPushButton::clicked, this, &TFmNote::reject);
}

int TFmNote::exec() {
  guarded(this, dialogs_, [this] { fill_text(); });
  return QDialog::exec();
}

void TFmNote::open() {
  guarded(this, dialogs_, [this] { fill_text(); });
  QDialog::open();
}

void TFmNote::fill_text() {
  Model& model = program_.model;
  const std::string& name = program_.settings.driver_file;
  setWindowTitle(
      QStringLiteral("Driver Variables - ") +
      (name.empty() ? QStringLiteral("No driver file selected") : QString::fromStdString(name)));
  std::string text = driver_editor_names_line(model.ModelInfo.DriverCount, model.drivers);
  text += '\n';
  text += driver_editor_units_line(model.ModelInfo, model.drivers);
  std::exception_ptr failure;
  if (!name.empty()) {
    DriverFileReader reader;
    try {
      if (!reader.open(name)) {
        dialogs_.message(this, MessageKind::kError, QString::fromUtf8(kDriverFileMissingMessage),
                         MessageButtons::kOk);
      } else {
        // A record line with a number missing or one too many would shift
        // every later value into the wrong column, and a save would write the
        // shifted records over the file: such a file is shown as it is.
        check_driver_record_lines(whole_file_text(name), model.ModelInfo.DriverCount, name);
        double time = 0.0;
        while (reader.read_record(time, model.ModelInfo.DriverCount, model.drivers)) {
          text += '\n';
          text += driver_editor_record_line(time, model.ModelInfo.DriverCount, model.drivers);
        }
      }
    } catch (const EInOutError& error) {
      // The records after the line that cannot be read would be lost from the
      // text, and a save would then cut the file: the text shows the whole
      // file as it is instead, and the save check points at the line.
      failure = std::current_exception();
      if (error.line() > 0) text = whole_file_text(name);
    } catch (...) {
      failure = std::current_exception();
    }
  }
  MoDrivers->setPlainText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
  MoDrivers->document()->setModified(false);
  if (failure) {
    try {
      std::rethrow_exception(failure);
    } catch (const EInOutError& error) {
      if (error.line() == 0) throw;
      show_line(error.line());
      dialogs_.message(this, MessageKind::kError,
                       QStringLiteral("Line %1 of the driver file cannot be read: %2\nThe text "
                                      "shows the whole file; correct the line before saving.")
                           .arg(error.line())
                           .arg(QString::fromStdString(error.message())),
                       MessageButtons::kOk);
    }
  }
}

void TFmNote::show_line(std::size_t line) {
  const QTextBlock block = MoDrivers->document()->findBlockByNumber(static_cast<int>(line) - 1);
  if (block.isValid()) {
    MoDrivers->setTextCursor(QTextCursor(block));
    MoDrivers->centerCursor();
  }
}

std::string TFmNote::file_content() const {
  const QString text = MoDrivers->toPlainText();
  std::string content;
  content.reserve(static_cast<std::size_t>(text.size()) + 2048);
  const QByteArray bytes = text.toLatin1();
  for (const char c : bytes) {
    if (c == '\n') {
      content += "\r\n";
    } else {
      content += c;
    }
  }
  if (!content.empty() && content.back() != '\n') content += "\r\n";
  return content;
}

bool TFmNote::save_file() {
  // The text is checked before a name is asked for: a text that cannot be
  // saved is pointed out at once.
  const std::string content = file_content();
  try {
    check_driver_text(content, program_.model);
  } catch (const EInOutError& e) {
    dialogs_.message(this, MessageKind::kError,
                     QStringLiteral("Line %1 of the driver text cannot be read: %2\n"
                                    "The driver file was not saved.")
                         .arg(e.line())
                         .arg(QString::fromStdString(e.message())),
                     MessageButtons::kOk);
    if (e.line() > 0) show_line(e.line());
    MoDrivers->setFocus();
    return false;
  }
  const std::string& current = program_.settings.driver_file;
  const std::optional<QString> chosen =
      file_to_save(dialogs_, this, DlgSaveDriver(), QString::fromStdString(current));
  if (!chosen || chosen->isEmpty()) return false;  // back to the text, as it was
  // A file that cannot be written throws here, and the name stays as it was.
  write_file_atomically(chosen->toStdString(), content);
  const ProgramState::Batch batch(program_);
  program_.set_driver_file(chosen->toStdString());
  program_.set(&MainFlags::driver_file_new, false);
  MoDrivers->document()->setModified(false);
  accept();
  return true;
}

TFmNote::Changes TFmNote::settle_changes() {
  if (!MoDrivers->document()->isModified()) return Changes::kDropped;
  if (dialogs_.message(this, MessageKind::kWarning, kChangesLost, MessageButtons::kYesNo) !=
      MessageAnswer::kYes) {
    return Changes::kDropped;
  }
  bool saved = false;
  guarded(this, dialogs_, [&] { saved = save_file(); });
  return saved ? Changes::kSaved : Changes::kKept;
}

void TFmNote::reject() {
  // After a save the window has closed with OK already; a cancelled or
  // refused save keeps the window open with the text.
  if (settle_changes() == Changes::kDropped) QDialog::reject();
}

void TFmNote::choose_existing_driver_file() {
  // The main window's driver dialog, for files that exist only.
  FileDialogSpec spec = DlgOpenDriver();
  spec.offer_to_create = false;
  spec.file_must_exist = true;
  const auto chosen =
      dialogs_.file(this, spec, QString::fromStdString(program_.settings.driver_file));
  if (!chosen || chosen->toStdString() == program_.settings.driver_file) return;
  const ProgramState::Batch batch(program_);
  program_.set_driver_file(chosen->toStdString());
  program_.set(&MainFlags::driver_file_new, false);
  program_.invalidate_run();
}

void TFmNote::choose_clicked() {
  guarded(this, dialogs_, [this] {
    if (settle_changes() != Changes::kDropped) return;
    if (choose_driver_file_) {
      choose_driver_file_();
    } else {
      choose_existing_driver_file();
    }
    fill_text();
  });
}

}  // namespace vindrel::ui
