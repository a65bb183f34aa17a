// The driver editor driven through the real window: the text of a driver file
// in the 26-character layout, saving it back, and the cases where nothing may
// be lost: a cancelled save dialog, a text the reader cannot read, a file that
// cannot be written, closing with changes.
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QtTest>
#include <memory>
#include <vector>

#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
// GCC 12 at -O3 warns, wrongly, that a moved std::optional<QString> in the
// scripted answers may be used uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "ui/tfm_note.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::ScriptedDialogs;

namespace {

const char* const kDrr = VINDREL_SOURCE_DIR "/examples/vindrel-example.drr";
const QString kChangesLost = QStringLiteral(
    "The changes you made to the drivers are about to be lost. Do you want to save the driver "
    "file before proceeding?");

// A record of the time and the 18 drivers.
const QString kWholeRecord = QStringLiteral("20000 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18");

struct Record {
  double time;
  std::vector<double> values;
};

std::vector<Record> read_records(const std::string& file) {
  Model model = make_model();
  DriverFileReader reader;
  if (!reader.open(file)) return {};
  std::vector<Record> records;
  double time = 0.0;
  while (reader.read_record(time, model.ModelInfo.DriverCount, model.drivers)) {
    Record r{time, {}};
    for (int i = 1; i <= model.ModelInfo.DriverCount; ++i)
      r.values.push_back(model.drivers[i].value);
    records.push_back(r);
  }
  return records;
}

// The numbers of a file's third line, split at blanks.
QStringList third_line_numbers(const QString& file) {
  QFile f(file);
  f.open(QIODevice::ReadOnly);
  f.readLine();
  f.readLine();
  return QString::fromLatin1(f.readLine()).trimmed().split(' ', Qt::SkipEmptyParts);
}

}  // namespace

class TestDriverEditor : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramState> program;
  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<TFmNote> editor;
  std::unique_ptr<QTemporaryDir> dir;

  QString text() const { return editor->text_box()->toPlainText(); }

 private slots:
  void init() {
    program = std::make_unique<ProgramState>();
    program->set(&RunSettings::driver_file, kDrr);
    dialogs = std::make_unique<ScriptedDialogs>();
    editor = std::make_unique<TFmNote>(*program, *dialogs);
    dir = std::make_unique<QTemporaryDir>();
  }

  void shows_the_file_in_26_character_columns() {
    editor->open();
    QCOMPARE(editor->windowTitle(), QStringLiteral("Driver Variables - ") + kDrr);
    const QStringList lines = text().split('\n');
    const int drivers = program->model.ModelInfo.DriverCount;
    const std::vector<Record> records = read_records(kDrr);
    QCOMPARE(lines.size(), int(records.size()) + 2);
    for (const QString& line : lines) QCOMPARE(line.size(), 26 * (drivers + 1));
    QCOMPARE(lines[0].left(26), QStringLiteral("Time").leftJustified(26));
    QCOMPARE(lines[0].mid(26, 26), QStringLiteral("CO2, Atm").leftJustified(26));
    QCOMPARE(lines[1].left(26), QStringLiteral("days").leftJustified(26));
    // The first record's numbers, field by field, as the file holds them.
    const QStringList numbers = third_line_numbers(kDrr);
    QCOMPARE(numbers.size(), drivers + 1);
    for (int f = 0; f <= drivers; ++f) {
      QCOMPARE(lines[2].mid(26 * f, 26).trimmed().toDouble(), numbers[f].toDouble());
    }
    QVERIFY(!editor->text_box()->document()->isModified());
    // The driver table holds the last record read.
    QCOMPARE(program->model.drivers[1].value, records.back().values[0]);
    QCOMPARE(editor->text_box()->lineWrapMode(), QPlainTextEdit::NoWrap);
  }

  void without_a_file_and_up_to_the_end_marker() {
    program->set_driver_file({});
    program->model.drivers[1].name = "A driver name of thirty chars";
    editor->fill_text();
    QCOMPARE(editor->windowTitle(), QStringLiteral("Driver Variables - No driver file selected"));
    const QStringList lines = text().split('\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0].mid(26, 26), QStringLiteral("A driver name of thirty ch"));

    // A driver file that is not there: the reader's message, the header only.
    program->set(&RunSettings::driver_file, dir->filePath("missing.drr").toStdString());
    editor->fill_text();
    QCOMPARE(dialogs->texts(), QStringList{"Cannot read driver file. File does not exist."});
    QCOMPARE(text().split('\n').size(), 2);

    const QString file = dir->filePath("marker.drr");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("h\r\nu\r\n1");
    for (int i = 0; i < 18; ++i) f.write(" 2");
    f.write("\r\n0");
    for (int i = 0; i < 18; ++i) f.write(" 0");
    f.write("\r\n3");
    for (int i = 0; i < 18; ++i) f.write(" 4");
    f.write("\r\n");
    f.close();
    program->set(&RunSettings::driver_file, file.toStdString());
    editor->fill_text();
    QCOMPARE(text().split('\n').size(), 3);
    QCOMPARE(text().split('\n')[2].left(2), QStringLiteral("1 "));
  }

  void saving_unchanged_reads_back_the_same_records() {
    editor->open();
    const QString target = dir->filePath("copy.drr");
    dialogs->file_names = {target};
    program->set(&MainFlags::driver_file_new, true);
    QTest::mouseClick(editor->save_button(), Qt::LeftButton);
    QCOMPARE(dialogs->file_dialogs.size(), size_t(1));
    QCOMPARE(dialogs->file_dialogs[0].title, QStringLiteral("Save Driver File as"));
    QVERIFY(dialogs->file_dialogs[0].ask_before_overwrite);
    QCOMPARE(editor->result(), int(QDialog::Accepted));
    QVERIFY(!editor->isVisible());
    QCOMPARE(program->settings.driver_file, target.toStdString());
    QVERIFY(!program->flags.driver_file_new);

    const std::vector<Record> original = read_records(kDrr);
    const std::vector<Record> copy = read_records(target.toStdString());
    QCOMPARE(copy.size(), original.size());
    for (std::size_t r = 0; r < copy.size(); ++r) {
      QCOMPARE(copy[r].time, original[r].time);
      QCOMPARE(copy[r].values, original[r].values);
    }
    QFile f(target);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readLine();
    QVERIFY(first.endsWith("\r\n"));
    QCOMPARE(first.size(), 26 * 19 + 2);
  }

  void a_cancelled_save_dialog_keeps_the_editor_and_its_text() {
    editor->open();
    editor->text_box()->appendPlainText(kWholeRecord);
    const QString edited = text();
    QTest::mouseClick(editor->save_button(), Qt::LeftButton);  // the dialog is cancelled
    QVERIFY(editor->isVisible());
    QCOMPARE(text(), edited);
    QCOMPARE(program->settings.driver_file, std::string(kDrr));
  }

  void a_text_the_reader_cannot_read_is_not_saved() {
    editor->open();
    QTextCursor cursor(editor->text_box()->document()->findBlockByNumber(4));
    cursor.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    cursor.insertText("x12 ");
    const QString edited = text();
    const QString target = dir->filePath("bad.drr");
    dialogs->file_names = {target};
    QTest::mouseClick(editor->save_button(), Qt::LeftButton);
    QCOMPARE(dialogs->messages.size(), size_t(1));
    const QString message = dialogs->messages[0].text;
    QVERIFY2(
        message.startsWith("Line 5 of the driver text cannot be read: Invalid numeric input") &&
            message.contains("x12") && message.endsWith("The driver file was not saved."),
        qPrintable(message));
    QVERIFY(!QFile::exists(target));
    QVERIFY(editor->isVisible());
    QCOMPARE(text(), edited);
    QCOMPARE(editor->text_box()->textCursor().blockNumber(), 4);
    QCOMPARE(program->settings.driver_file, std::string(kDrr));
  }

  void a_record_with_a_number_missing_is_shown_raw_and_never_saved() {
    // Day 4 lacks its last value: read as a stream of numbers, day 5's time
    // would become day 4's last driver and day 5 would be gone.
    const QString file = dir->filePath("short.drr");
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("names\r\nunits\r\n");
    for (int day = 1; day <= 5; ++day) {
      f.write(QByteArray::number(day));
      for (int i = 0; i < (day == 4 ? 17 : 18); ++i) f.write(" 2");
      f.write("\r\n");
    }
    f.close();
    const QByteArray before = [&] {
      QFile r(file);
      r.open(QIODevice::ReadOnly);
      return r.readAll();
    }();
    program->set(&RunSettings::driver_file, file.toStdString());
    editor->open();
    QCOMPARE(dialogs->messages.size(), size_t(1));
    const QString message = dialogs->messages[0].text;
    QVERIFY2(
        message.startsWith("Line 6 of the driver file cannot be read: Wrong number of fields") &&
            message.contains("found 18"),
        qPrintable(message));
    // The file as it is, the misaligned line in sight.
    QCOMPARE(text(), QString::fromLatin1(before).replace("\r\n", "\n").trimmed());
    QCOMPARE(editor->text_box()->textCursor().blockNumber(), 5);

    // Save refuses before asking for a name, and the file keeps its bytes.
    dialogs->messages.clear();
    QTest::mouseClick(editor->save_button(), Qt::LeftButton);
    QVERIFY(dialogs->file_dialogs.empty());
    QCOMPARE(dialogs->messages.size(), size_t(1));
    QVERIFY2(dialogs->messages[0].text.startsWith("Line 6 of the driver text cannot be read") &&
                 dialogs->messages[0].text.endsWith("The driver file was not saved."),
             qPrintable(dialogs->messages[0].text));
    QFile r(file);
    QVERIFY(r.open(QIODevice::ReadOnly));
    QCOMPARE(r.readAll(), before);

    // One number too many is caught as well.
    QTextCursor end(editor->text_box()->document()->findBlockByNumber(5));
    end.movePosition(QTextCursor::EndOfBlock);
    end.insertText(" 2 2");
    dialogs->messages.clear();
    QTest::mouseClick(editor->save_button(), Qt::LeftButton);
    QVERIFY(dialogs->file_dialogs.empty());
    QVERIFY2(dialogs->messages.size() == 1 && dialogs->messages[0].text.contains("found 20"),
             qPrintable(dialogs->texts().join('|')));
  }

  void a_file_that_cannot_be_written_keeps_the_name() {
    editor->open();
    dialogs->file_names = {dir->filePath("no-such-folder/drivers.drr")};
    QTest::mouseClick(editor->save_button(), Qt::LeftButton);
    QCOMPARE(dialogs->messages.size(), size_t(1));
    QCOMPARE(dialogs->messages[0].kind, MessageKind::kError);
    QVERIFY(editor->isVisible());
    QCOMPARE(program->settings.driver_file, std::string(kDrr));
  }

  void close_asks_before_changes_are_lost() {
    editor->open();
    QTest::mouseClick(editor->close_button(), Qt::LeftButton);  // unchanged: no question
    QVERIFY(dialogs->messages.empty());
    QCOMPARE(editor->result(), int(QDialog::Rejected));

    editor->open();
    editor->text_box()->appendPlainText(kWholeRecord);
    dialogs->answers = {MessageAnswer::kYes};  // save, but cancel the dialog
    QTest::mouseClick(editor->close_button(), Qt::LeftButton);
    QCOMPARE(dialogs->texts(), QStringList{kChangesLost});
    QCOMPARE(dialogs->messages[0].buttons, MessageButtons::kYesNo);
    QVERIFY(editor->isVisible());
    QVERIFY(text().endsWith(kWholeRecord));

    dialogs->answers = {MessageAnswer::kNo};
    QTest::keyClick(editor.get(), Qt::Key_Escape);
    QVERIFY(!editor->isVisible());
    QCOMPARE(editor->result(), int(QDialog::Rejected));
    // Opening again rebuilds the text from the file.
    editor->open();
    QVERIFY(!text().contains(kWholeRecord));
  }
};

QTEST_MAIN(TestDriverEditor)
#include "test_driver_editor.moc"
