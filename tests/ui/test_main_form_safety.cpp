// The main window where work could be lost: a save after a run (which states
// go to the file), another parameter file over unsaved edits, a misspelt name
// picked in a dialog, and the keyboard after Enter in the parameter box.
#include <QAction>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include "fileio/param_file.hpp"
#include "tests/ui/main_form_testing.hpp"
#include "tests/ui/run_comparison.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using namespace vindrel::ui::testing;

namespace {

Model read_par(const QString& file) {
  Model model = make_model();
  if (!ReadParamFile(file.toStdString(), model)) qFatal("cannot read %s", qPrintable(file));
  return model;
}

}  // namespace

class TestMainFormSafety : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
  QString copy_of_example(const char* name) const {
    QFile::remove(path(name));
    if (!QFile::copy(example_file("vindrel-example.par"), path(name))) qFatal("copy");
    return path(name);
  }

 private slots:
  void saveAfterARunAsksWhetherToWriteTheEndStates() {
    const QString par = copy_of_example("stand.par");
    const Model original = read_par(par);
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, par, example_file("vindrel-example.drr"), path("run.out"));
    type_into(window, "MEStopTime", QStringLiteral("30"));
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    Model& model = window.program().model;
    bool moved = false;
    for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
      moved = moved || model.states[i].value != original.states[i].value;
    }
    QVERIFY(moved);
    model.parameters[3].value = 0.125;
    window.program().set(&MainFlags::parameters_modified, true);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    const QByteArray before = contents(par);

    // Cancel writes nothing.
    dialogs.answers = {MessageAnswer::kCancel};
    QTest::keyClick(window.focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    const QString question = dialogs.messages[0].text;
    QVERIFY2(question.contains("the end of the last run, day 30") && question.contains(par),
             qPrintable(question));
    QCOMPARE(dialogs.messages[0].buttons, MessageButtons::kYesNoCancel);
    QCOMPARE(contents(par), before);
    QCOMPARE(dialogs.beeps, 0);

    // No: the parameters, with the file's initial states.
    dialogs.answers = {MessageAnswer::kNo};
    QTest::keyClick(window.focusWidget(), Qt::Key_S, Qt::ControlModifier);
    Model saved = read_par(par);
    QCOMPARE(saved.parameters[3].value, 0.125);
    for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
      QCOMPARE(saved.states[i].value, original.states[i].value);
    }
    // The end states are still in memory, and the next save asks again.
    dialogs.answers = {MessageAnswer::kYes};
    QTest::keyClick(window.focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(dialogs.messages.size(), size_t(3));
    saved = read_par(par);
    for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
      QCOMPARE(saved.states[i].value, model.states[i].value);
    }
    // Now the file holds what memory holds: no question.
    QTest::keyClick(window.focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(dialogs.messages.size(), size_t(3));
    QCOMPARE(dialogs.beeps, 3);
  }

  void theNextRunsStartIsShownAndReloadIsAFreshStart() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("year.out"));
    // A run that ends a model year leaves the year's end to the next run.
    type_into(window, "MEStopTime", QStringLiteral("366"));
    auto* note = child<QLabel>(window, "NextStartLabel");
    auto* from_file = child<QPushButton>(window, "BtnStartFromFile");
    QCOMPARE(note->text(), QStringLiteral("Next run starts from: vindrel-example.par"));
    QVERIFY(!from_file->isEnabled());
    QSignalSpy finished(&window, &TMainForm::run_finished);
    auto run = [&] {
      child<QPushButton>(window, "BtnRun")->click();
      return finished.wait(kRunTimeout);
    };
    QVERIFY(run());
    const QByteArray fresh = contents(path("year.out"));
    QVERIFY(cli_run({"--par", example_file("vindrel-example.par"), "--drivers",
                     example_file("vindrel-example.drr"), "--out", path("year-cli.out"), "--start",
                     "1", "--stop", "366"}));
    QVERIFY(fresh == contents(path("year-cli.out")));
    QCOMPARE(note->text(),
             QStringLiteral("Next run starts from: the end of the last run, day 366"));
    QVERIFY(from_file->isEnabled());

    // Reload of both: the same run gives the same bytes, year 1's totals included.
    when_modal([](QWidget* dialog) { child<QPushButton>(*dialog, "OKBtn")->click(); });
    child<QPushButton>(window, "BtnReload")->click();
    QCOMPARE(note->text(), QStringLiteral("Next run starts from: vindrel-example.par"));
    QVERIFY(run());
    QVERIFY(contents(path("year.out")) == fresh);

    // The one click does the same.
    from_file->click();
    QVERIFY(!from_file->isEnabled());
    QVERIFY(run());
    QVERIFY(contents(path("year.out")) == fresh);
    QVERIFY(dialogs.messages.empty());
  }

  void anotherParameterFileAsksBeforeDroppingEdits() {
    const QString first = copy_of_example("first.par");
    const QString second = copy_of_example("second.par");
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "ParamBox", first);
    Model& model = window.program().model;
    const double original = model.parameters[3].value;
    model.parameters[3].value = 0.125;
    window.program().set(&MainFlags::parameters_modified, true);

    // Cancel: the file in use, the edit and the Exit question stay.
    dialogs.answers = {MessageAnswer::kCancel};
    type_into(window, "ParamBox", second);
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QVERIFY(dialogs.messages[0].text.contains(first) && dialogs.messages[0].text.contains(second));
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), first);
    QCOMPARE(model.parameters[3].value, 0.125);
    QVERIFY(window.program().flags.parameters_modified);

    // Yes: the edit goes to the file in use, then the other file is read.
    dialogs.answers = {MessageAnswer::kYes};
    type_into(window, "ParamBox", second);
    QCOMPARE(read_par(first).parameters[3].value, 0.125);
    QCOMPARE(window.program().settings.parameter_file, second.toStdString());
    QCOMPARE(model.parameters[3].value, original);

    // No: the edit is dropped, as the user said.
    model.parameters[3].value = 0.25;
    window.program().set(&MainFlags::parameters_modified, true);
    dialogs.answers = {MessageAnswer::kNo};
    type_into(window, "ParamBox", first);
    QCOMPARE(dialogs.messages.size(), size_t(3));
    QCOMPARE(read_par(second).parameters[3].value, original);
    QCOMPARE(model.parameters[3].value, 0.125);
  }

  void aMisspeltNameFromAnOpenDialogIsCreatedOnlyAfterAsking() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    const Model& model = window.program().model;
    const double state = model.states[1].value;
    const double parameter = model.parameters[25].value;

    dialogs.file_names = {path("typo.par")};  // the question answered No
    child<QAction>(window, "MIOpenParam")->trigger();
    QCOMPARE(dialogs.texts(),
             QStringList{path("typo.par") + " does not exist. Create a new parameter file from "
                                            "the current values?"});
    QVERIFY(!QFile::exists(path("typo.par")));
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), example_file("vindrel-example.par"));

    // Yes, from the "..." button: the new file holds the values, which stay.
    dialogs.file_names = {path("new.par")};
    dialogs.answers = {MessageAnswer::kYes};
    child<QToolButton>(window, "ParamButton")->click();
    QVERIFY(QFile::exists(path("new.par")));
    QCOMPARE(model.states[1].value, state);
    QCOMPARE(model.parameters[25].value, parameter);
    QCOMPARE(read_par(path("new.par")).parameters[25].value, parameter);

    dialogs.file_names = {path("typo.drr")};  // No
    child<QAction>(window, "MIOpenDriver")->trigger();
    QVERIFY(dialogs.texts().last().startsWith(path("typo.drr") + " does not exist."));
    QVERIFY(!QFile::exists(path("typo.drr")));
    QVERIFY(window.program().settings.driver_file.empty());
  }

  void tabAfterEnterInTheParameterBoxMovesOn() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QToolButton>(window, "ParamButton"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(window, "DriverBox"));
    QTest::keyClicks(QApplication::focusWidget(), example_file("vindrel-example.drr"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCOMPARE(window.program().settings.parameter_file,
             example_file("vindrel-example.par").toStdString());
    QCOMPARE(window.program().settings.driver_file,
             example_file("vindrel-example.drr").toStdString());
    QVERIFY(dialogs.messages.empty());
  }
};

QTEST_MAIN(TestMainFormSafety)
#include "test_main_form_safety.moc"
