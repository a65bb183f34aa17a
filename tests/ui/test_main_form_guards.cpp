// What the main window guards a user against, driven through the real
// widgets: runs whose times or options would write nothing or freeze the
// weather, an output step that could not be cancelled, typing that went
// nowhere after a click or a Tab into the parameter box, a Calculate menu that
// came alive after a run, a typo that created a file, and a driver editor that
// cut the file or let the window and the run disagree.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <stdexcept>

#include "tests/ui/main_form_testing.hpp"
#include "ui/tfm_note.hpp"
#include "ui/tfm_run_options.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using namespace vindrel::ui::testing;

namespace {

constexpr int kRunTimeout = 240000;  // ms: a generous bound, not a measurement

QByteArray contents(const QString& file_name) {
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void write_text(const QString& file_name, const QByteArray& text) {
  QFile file(file_name);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(file_name));
  file.write(text);
}

// Answers input boxes with Cancel and stops asking after a few: a window that
// asks again after a Cancel would otherwise never return.
class CancellingDialogs final : public Dialogs {
 public:
  int inputs = 0;
  QStringList messages;
  MessageAnswer message(QWidget*, MessageKind, const QString& text, MessageButtons) override {
    messages << text;
    return MessageAnswer::kOk;
  }
  std::optional<QString> input(QWidget*, const QString&, const QString&, const QString&) override {
    if (++inputs > 3) throw std::runtime_error("the input box came back after Cancel");
    return std::nullopt;
  }
  std::optional<QString> file(QWidget*, const FileDialogSpec&, const QString&) override {
    return std::nullopt;
  }
  void beep() override {}
};

}  // namespace

class TestMainFormGuards : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

  // A window with the example's files and an output file in the test folder.
  void set_up(TMainForm& window, const char* output = "guard.out") {
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path(output));
  }

 private slots:
  void runTimesThatMakeNoRunAreRefusedAndTheOutputStepStaysUsable() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    set_up(window);
    write_text(path("guard.out"), "the previous output\n");
    // Stop = start, then the time step box left without an edit.
    type_into(window, "MEStopTime", QStringLiteral("1"));
    child<QLineEdit>(window, "METimeStep")->setFocus();
    child<QLineEdit>(window, "MEStartTime")->setFocus();
    QCOMPARE(window.program().settings.output_step, 1.0);

    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(!window.running());
    QCOMPARE(
        dialogs.texts(),
        QStringList{QStringLiteral("Stop Time: expected a time after the start time 1, found 1")});
    QCOMPARE(contents(path("guard.out")), QByteArray("the previous output\n"));

    // A later stop time makes a run again, with its records.
    dialogs.messages.clear();
    type_into(window, "MEStopTime", QStringLiteral("40"));
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    QVERIFY2(dialogs.messages.empty(), qPrintable(dialogs.texts().join('|')));
    // The header lines and one record per day after the start.
    QCOMPARE(contents(path("guard.out")).count('\n'), 2 + 39);
  }

  void anOutputStepTooLongForANewRunIsCorrectedWhenTheStopTimeChanges() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    set_up(window);
    type_into(window, "MEStopTime", QStringLiteral("100"));
    window.program().set(&RunSettings::output_step, 50.0);
    type_into(window, "MEStopTime", QStringLiteral("31"));
    QCOMPARE(window.program().settings.output_step, 30.0);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY(dialogs.messages[0].text.endsWith("Output time step decreased to run length."));
  }

  void aRepeatOfDriversWithoutATimeIsRefusedAtRun() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    set_up(window, "repeat.out");
    type_into(window, "MEStopTime", QStringLiteral("20"));
    when_modal([](QWidget* options) {
      child<QRadioButton>(*options, "RgRunTypeSpecial")->click();
      child<QCheckBox>(*options, "CbRepeatDrivers")->click();
      child<QPushButton>(*options, "BtnClose")->click();
    });
    child<QAction>(window, "MISpecialRun")->trigger();
    QVERIFY(window.program().settings.repeat_drivers);

    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(!window.running());
    QCOMPARE(dialogs.texts(),
             QStringList{QStringLiteral("Repeat drivers every: expected a whole number of days "
                                        "greater than 0, found 0")});
    QVERIFY(!QFile::exists(path("repeat.out")));
  }

  void theOutputTimeStepBoxCanBeCancelledWhateverTheStep() {
    CancellingDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    window.program().set(&RunSettings::output_step, 0.0);
    child<QAction>(window, "MITimeStep")->trigger();
    QCOMPARE(dialogs.inputs, 1);
    QVERIFY(dialogs.messages.isEmpty());
  }

  void aClickOrATabIntoTheParameterBoxKeepsTheTyping() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    auto* param_box = child<QLineEdit>(window, "ParamBox");
    auto* driver_box = child<QLineEdit>(window, "DriverBox");
    auto* stop_box = child<QLineEdit>(window, "MEStopTime");

    // From the driver box by a click.
    driver_box->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(param_box, Qt::LeftButton);
    QCOMPARE(QApplication::focusWidget(), param_box);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("a"));
    QCOMPARE(param_box->text(), QStringLiteral("a"));

    // From an edited time box by a click.
    stop_box->setFocus(Qt::MouseFocusReason);
    stop_box->selectAll();
    QTest::keyClicks(stop_box, QStringLiteral("30"));
    QTest::mouseClick(param_box, Qt::LeftButton);
    QCOMPARE(window.program().settings.stop_time, 30.0);
    QCOMPARE(QApplication::focusWidget(), param_box);

    // From the driver box by Shift+Tab, past the parameter file's button.
    driver_box->setFocus(Qt::TabFocusReason);
    QTest::keyClick(driver_box, Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>(window, "ParamButton"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), param_box);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("b"));
    QVERIFY(param_box->text().endsWith(QStringLiteral("b")));

    // Confirming the box itself still moves the focus off it.
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    QVERIFY(QApplication::focusWidget() != param_box);
  }

  void theCalculateMenuStaysDisabledAfterARun() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    set_up(window);
    type_into(window, "MEStopTime", QStringLiteral("3"));
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    QVERIFY(window.isEnabled());
    QVERIFY(!child<QMenu>(window, "MICalculate")->isEnabled());
    QVERIFY(!child<QMenu>(window, "MICalculate")->menuAction()->isEnabled());
  }

  void aTypedFileNameThatDoesNotExistIsCreatedOnlyAfterAsking() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    const double first_state = window.program().model.states[1].value;

    type_into(window, "ParamBox", path("typo.par"));  // answered No
    QCOMPARE(dialogs.texts(),
             QStringList{path("typo.par") + " does not exist. Create a new parameter file from "
                                            "the current values?"});
    QCOMPARE(dialogs.messages[0].buttons, MessageButtons::kYesNo);
    QVERIFY(!QFile::exists(path("typo.par")));
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), example_file("vindrel-example.par"));
    QCOMPARE(window.program().model.states[1].value, first_state);

    type_into(window, "DriverBox", path("typo.drr"));  // answered No
    QVERIFY(dialogs.texts().last().startsWith(path("typo.drr") + " does not exist."));
    QVERIFY(!QFile::exists(path("typo.drr")));
    QVERIFY(window.program().settings.driver_file.empty());

    dialogs.answers = {MessageAnswer::kYes};
    type_into(window, "DriverBox", path("new.drr"));
    QVERIFY(QFile::exists(path("new.drr")));
    QCOMPARE(window.program().settings.driver_file, path("new.drr").toStdString());
  }

  void theDriverEditorShowsAWholeFileWithALineItCannotRead() {
    // Nine lines: the header, six records, a bad one in the middle.
    QByteArray text = "Time a\r\ndays u\r\n";
    for (int day = 1; day <= 7; ++day) {
      QByteArray line = QByteArray::number(day);
      for (int i = 0; i < 18; ++i) line += day == 4 && i == 5 ? " x" : " 1";
      text += line + "\r\n";
    }
    write_text(path("cut.drr"), text);
    ScriptedDialogs dialogs;
    ProgramState program;
    program.set(&RunSettings::driver_file, path("cut.drr").toStdString());
    TFmNote editor(program, dialogs);
    editor.open();
    const QStringList lines = editor.text_box()->toPlainText().split('\n');
    QCOMPARE(lines.size(), 9);
    QVERIFY(lines[5].startsWith(QStringLiteral("4 1 1")));
    QVERIFY(lines[8].startsWith(QStringLiteral("7 ")));
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY2(dialogs.messages[0].text.startsWith("Line 6 of the driver file cannot be read"),
             qPrintable(dialogs.messages[0].text));
    QCOMPARE(editor.text_box()->textCursor().blockNumber(), 5);

    // Saving it as it is is refused; the file keeps its nine lines.
    dialogs.file_names = {path("cut.drr")};
    QTest::mouseClick(editor.save_button(), Qt::LeftButton);
    QVERIFY(dialogs.messages.back().text.startsWith("Line 6 of the driver text cannot be read"));
    QCOMPARE(contents(path("cut.drr")), text);
  }

  void theDriverEditorRefusesALineWithANumberMissing() {
    ScriptedDialogs dialogs;
    ProgramState program;
    program.set(&RunSettings::driver_file, example_file("vindrel-example.drr").toStdString());
    TFmNote editor(program, dialogs);
    editor.open();
    // The last number of the first record deleted: the reader would take the
    // next line's time for it.
    const QTextBlock block = editor.text_box()->document()->findBlockByNumber(2);
    QStringList fields = block.text().split(' ', Qt::SkipEmptyParts);
    fields.removeLast();
    QTextCursor cursor(block);
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(fields.join(' '));
    dialogs.file_names = {path("short.drr")};
    QTest::mouseClick(editor.save_button(), Qt::LeftButton);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY2(dialogs.messages[0].text.startsWith(
                 "Line 3 of the driver text cannot be read: Wrong number of fields: expected the "
                 "time and 18 driver values, 19 fields, found 18"),
             qPrintable(dialogs.messages[0].text));
    QVERIFY(!QFile::exists(path("short.drr")));
  }

  void aDriverFileChosenInTheEditorIsTheWindowsAfterClose() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    set_up(window);
    QFile::copy(example_file("vindrel-example.drr"), path("other.drr"));
    dialogs.file_names = {path("other.drr")};
    when_modal([](QWidget* editor) {
      child<QPushButton>(*editor, "BtnChooseFile")->click();
      child<QPushButton>(*editor, "BtnClose")->click();
    });
    child<QAction>(window, "MIEditDriver")->trigger();
    QCOMPARE(window.program().settings.driver_file, path("other.drr").toStdString());
    QCOMPARE(child<QLineEdit>(window, "DriverBox")->text(), path("other.drr"));
  }
};

QTEST_MAIN(TestMainFormGuards)
#include "test_main_form_guards.moc"
