// The check of a run's files and settings, as the main window shows it: one
// box listing the findings when a file is chosen and when Run is pressed;
// warnings with Continue and Cancel, refusals with OK only and no run; none
// of it in the unattended modes.
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/ui/main_form_testing.hpp"

namespace vindrel::ui::testing {

class TestMainFormFindings : public QObject {
  Q_OBJECT

 private slots:
  void cleanFilesShowNoBox() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    with_the_example(window, "clean.out");
    type_into(window, "MEStopTime", QStringLiteral("5"));
    QVERIFY(run_to_its_end(window));
    QVERIFY(dialogs.messages.empty());
  }

  void aParameterFileWithWarningsIsTakenOnlyOnContinue() {
    const QString swapped = swapped_parameter_file();
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    with_the_example(window, "swapped.out");
    const double sapwood = window.program().model.states[2].value;

    // Cancel: the window and the program are as they were.
    dialogs.answers = {MessageAnswer::kCancel};
    type_into(window, "ParamBox", swapped);
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    const ScriptedDialogs::Message& box = dialogs.messages[0];
    QCOMPARE(box.kind, MessageKind::kWarning);
    QCOMPARE(box.buttons, MessageButtons::kContinueCancel);
    QVERIFY2(box.text.startsWith("The check of the run's files and settings found:\n\nWarning: " +
                                 swapped + ":3: the name \"C: heartwood\" is not the model's name"),
             qPrintable(box.text));
    QVERIFY(box.text.contains("\nWarning: " + swapped + ":4: the name \"C: sapwood\""));
    QVERIFY(box.text.endsWith(QStringLiteral("\n\nTake this file?")));
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), example_file("vindrel-example.par"));
    QCOMPARE(window.program().settings.parameter_file,
             example_file("vindrel-example.par").toStdString());
    QCOMPARE(window.program().model.states[2].value, sapwood);

    // Continue: the file is taken, its values as the model's rules read them.
    dialogs.answers = {MessageAnswer::kOk};
    type_into(window, "ParamBox", swapped);
    QCOMPARE(dialogs.messages.size(), std::size_t{2});
    QCOMPARE(window.program().settings.parameter_file, swapped.toStdString());
    QVERIFY(window.program().model.states[2].value != sapwood);

    // The same warnings of the same file are not asked again at Run, twice.
    QVERIFY(run_to_its_end(window));
    QVERIFY(run_to_its_end(window));
    QCOMPARE(dialogs.messages.size(), std::size_t{2});
    // A file changed since is asked about again.
    QFile file(swapped);
    QVERIFY(file.open(QIODevice::Append));
    file.write("\r\n");
    file.close();
    dialogs.answers = {MessageAnswer::kCancel};
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(!window.running());
    QCOMPARE(dialogs.messages.size(), std::size_t{3});
    QVERIFY(dialogs.messages[2].text.endsWith(QStringLiteral("\n\nRun as it is?")));
  }

  void aRunTheCheckRefusesDoesNotStart() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    with_the_example(window, "refused.out");
    type_into(window, "MEStopTime", QStringLiteral("500"));
    type_into(window, "MEStartTime", QStringLiteral("400"));
    window.program().set(&RunSettings::repeat_drivers, true);
    window.program().set(&RunSettings::repeat_time, 366);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(!window.running());
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    const ScriptedDialogs::Message& box = dialogs.messages[0];
    QCOMPARE(box.kind, MessageKind::kError);
    QCOMPARE(box.buttons, MessageButtons::kOk);
    QVERIFY2(box.text.startsWith("The check of the run's files and settings found:\n\nRefused: "
                                 "Repeated drivers return to the start time"),
             qPrintable(box.text));
    QVERIFY(box.text.endsWith(QStringLiteral("\n\nThe run was not started.")));
    QVERIFY(!QFile::exists(path("refused.out")));
  }

  void theUnattendedModesShowNoBox() {
    const QString swapped = swapped_parameter_file();
    ScriptedDialogs dialogs;
    TMainForm window(dialogs, unattended_mode_from_program_name("modelbatch"));
    window.show();
    choose_files(window, swapped, example_file("vindrel-example.drr"), path("batch.out"));
    QCOMPARE(window.program().settings.parameter_file, swapped.toStdString());
    QVERIFY(run_to_its_end(window));
    QVERIFY(dialogs.messages.empty());
    QVERIFY(QFile::exists(path("batch.out")));
  }

 private:
  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

  void with_the_example(TMainForm& window, const char* output) const {
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path(output));
  }

  // Presses Run; true when the run has ended within a generous bound.
  static bool run_to_its_end(TMainForm& window) {
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    return finished.wait(60000);
  }

  // The example's parameter file with its lines 3 and 4 (sapwood and
  // heartwood carbon) swapped, names and all.
  QString swapped_parameter_file() const {
    QFile example(example_file("vindrel-example.par"));
    if (!example.open(QIODevice::ReadOnly)) qFatal("example parameters");
    QList<QByteArray> lines = example.readAll().split('\n');
    lines.swapItemsAt(2, 3);
    QFile swapped(path("swapped.par"));
    if (!swapped.open(QIODevice::WriteOnly)) qFatal("swapped parameters");
    swapped.write(lines.join('\n'));
    return path("swapped.par");
  }
};

}  // namespace vindrel::ui::testing

QTEST_MAIN(vindrel::ui::testing::TestMainFormFindings)
#include "test_main_form_findings.moc"
