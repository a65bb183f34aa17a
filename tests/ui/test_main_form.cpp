// The main window as a user meets it: start-up, the refresh rules, the three
// files, saving, reloading, the output step and closing.
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include "fileio/param_file.hpp"
#include "tests/ui/main_form_testing.hpp"
#include "ui/tdlg_reload.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using namespace vindrel::ui::testing;

class TestMainForm : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

 private slots:
  void startUpShowsTheInitialSettingsAndEnablesOnlyWhatIsReady() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    QCOMPARE(window.windowTitle(), QStringLiteral("Vindrel"));
    QCOMPARE(child<QLineEdit>(window, "MEStartTime")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLineEdit>(window, "MEStopTime")->text(), QStringLiteral("2"));
    QCOMPARE(child<QLineEdit>(window, "METimeStep")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLineEdit>(window, "PresentBox")->text(), QStringLiteral("0"));
    QCOMPARE(child<QLineEdit>(window, "PresentBox")->focusPolicy(), Qt::NoFocus);
    QVERIFY(!child<QPushButton>(window, "BtnRun")->isEnabled());
    QVERIFY(!child<QAction>(window, "MISaveParam")->isEnabled());
    QVERIFY(!child<QAction>(window, "MIChart")->isEnabled());
    QVERIFY(!child<QAction>(window, "MITable")->isEnabled());
    QVERIFY(!child<QMenu>(window, "MICalculate")->menuAction()->isEnabled());
    QVERIFY(child<QAction>(window, "MINormalRun")->isChecked());
    // Screen readers find boxes by their labels, buttons and menus by their captions.
    auto accessible_name = [&](QObject* object) {
      return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
    };
    QCOMPARE(accessible_name(child<QLineEdit>(window, "ParamBox")),
             QStringLiteral("Parameter File"));
    QCOMPARE(accessible_name(child<QLineEdit>(window, "MEStopTime")), QStringLiteral("Stop Time"));
    QCOMPARE(accessible_name(child<QLineEdit>(window, "PresentBox")),
             QStringLiteral("Present Time"));
    QCOMPARE(accessible_name(child<QPushButton>(window, "BtnRun")), QStringLiteral("Run"));
    QCOMPARE(accessible_name(&window), QStringLiteral("Vindrel"));
    QCOMPARE(child<QLabel>(window, "StopLabel")->buddy(), child<QLineEdit>(window, "MEStopTime"));
    // Every box is reached by its label's accelerator.
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(&window, Qt::Key_T, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(window, "MEStopTime"));
    QTest::keyClick(&window, Qt::Key_U, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(window, "OutputBox"));
    const RunSettings& settings = window.program().settings;
    QCOMPARE(settings.output_step, 1.0);
    QCOMPARE(settings.calculation_time, 1.0);

    // The masks: whole times of at most 5 and 7 digits, a time step of 5 characters.
    auto* start = child<QLineEdit>(window, "MEStartTime");
    start->clear();
    QTest::keyClicks(start, QStringLiteral("12a34567"));
    QCOMPARE(start->text(), QStringLiteral("12345"));
    auto* stop = child<QLineEdit>(window, "MEStopTime");
    stop->clear();
    QTest::keyClicks(stop, QStringLiteral("123456789"));
    QCOMPARE(stop->text(), QStringLiteral("1234567"));
    auto* step = child<QLineEdit>(window, "METimeStep");
    step->clear();
    QTest::keyClicks(step, QStringLiteral("0.125x"));
    QCOMPARE(step->text(), QStringLiteral("0.125"));
  }

  void runIsEnabledOnceFilesAndTimesAreReadyAndStaysEnabled() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    auto* run = child<QPushButton>(window, "BtnRun");
    type_into(window, "MEStopTime", QStringLiteral("1"));
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("a.out"));
    QVERIFY(!run->isEnabled());  // stop is not above start
    QVERIFY(child<QAction>(window, "MISaveParam")->isEnabled());
    type_into(window, "MEStopTime", QStringLiteral("10"));
    QVERIFY(run->isEnabled());
    QCOMPARE(window.program().settings.stop_time, 10.0);
    type_into(window, "MEStopTime", QStringLiteral("1"));
    QVERIFY(run->isEnabled());
    QVERIFY(dialogs.messages.empty());
  }

  void aParameterFileNameThatDoesNotExistCreatesTheFileAndIsReadOnlyOnce() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    Model& model = window.program().model;
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    const double first_state = model.states[1].value;
    QVERIFY(first_state != 0.0);
    QVERIFY(!window.program().flags.parameter_file_new);

    // A new name: the file is written from the values in hand, which the tables keep.
    const double parameter = model.parameters[25].value;
    dialogs.answers = {MessageAnswer::kYes};
    type_into(window, "ParamBox", path("new.par"));
    QVERIFY(QFile::exists(path("new.par")));
    QVERIFY(window.program().flags.parameter_file_new);
    QCOMPARE(model.states[1].value, first_state);
    QCOMPARE(model.parameters[25].value, parameter);
    Model written = make_model();
    QVERIFY(ReadParamFile(path("new.par").toStdString(), written));
    QCOMPARE(written.states[1].value, first_state);

    // The same name again is not read again; in sensitivity mode it is.
    model.states[1].value = 7.0;
    type_into(window, "ParamBox", path("new.par"));
    QCOMPARE(model.states[1].value, 7.0);
    window.program().set(&RunSettings::sensitivity_mode, true);
    type_into(window, "ParamBox", path("new.par"));
    QCOMPARE(model.states[1].value, first_state);
    // In sensitivity mode the menu opens no dialog: it reads the file again.
    model.states[1].value = 7.0;
    child<QAction>(window, "MIOpenParam")->trigger();
    QVERIFY(dialogs.file_dialogs.empty());
    QCOMPARE(model.states[1].value, first_state);
  }

  void anIncompatibleParameterFileClearsValuesAndName() {
    QFile file(path("other.par"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Another model             1.0\r\n");
    file.close();
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    type_into(window, "ParamBox", path("other.par"));
    QCOMPARE(dialogs.texts(), QStringList{QString::fromUtf8(kIncompatibleParamFileMessage.data())});
    QCOMPARE(window.program().model.parameters[1].value, 0.0);
    QVERIFY(window.program().settings.parameter_file.empty());
    QVERIFY(child<QLineEdit>(window, "ParamBox")->text().isEmpty());
  }

  void aDriverFileNameThatDoesNotExistCreatesAFileOfOneZeroRecord() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    window.program().model.drivers[2].value = 3.5;
    dialogs.file_names.push_back(path("new.drr"));
    dialogs.answers.push_back(MessageAnswer::kYes);  // create it
    child<QAction>(window, "MIOpenDriver")->trigger();
    QCOMPARE(dialogs.file_dialogs.at(0).title, QStringLiteral("Open Driver File"));
    QFile file(path("new.drr"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 4);  // two header lines, one record, nothing after the last CR LF
    QVERIFY(lines[0].startsWith("Time"));
    QVERIFY(lines[2].startsWith("0.000000000000E+000"));
    QVERIFY(window.program().flags.driver_file_new);
    QCOMPARE(window.program().model.drivers[2].value, 0.0);
    QCOMPARE(child<QLineEdit>(window, "DriverBox")->text(), path("new.drr"));
  }

  void choosingAnOutputFileEvenTheSameOneDisablesTheOutputDisplay() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "OutputBox", path("a.out"));
    dialogs.file_names.push_back(path("a.out"));
    child<QAction>(window, "MIFromFile")->trigger();
    QVERIFY(child<QAction>(window, "MIChart")->isEnabled());
    QVERIFY(child<QAction>(window, "MITable")->isEnabled());
    type_into(window, "OutputBox", path("a.out"));
    QVERIFY(!child<QAction>(window, "MIChart")->isEnabled());
    QVERIFY(!child<QAction>(window, "MITable")->isEnabled());
    QCOMPARE(child<QLineEdit>(window, "PresentBox")->text(), QStringLiteral("0"));
  }

  void saveWithCtrlSBeepsAndSaveAsWritesUnderTheChosenName() {
    QVERIFY(QFile::copy(example_file("vindrel-example.par"), path("save.par")));
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "ParamBox", path("save.par"));
    window.program().model.parameters[3].value = 0.125;
    window.program().set(&MainFlags::parameters_modified, true);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.focusWidget(), Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(dialogs.beeps, 1);
    QVERIFY(!window.program().flags.parameters_modified);
    Model saved = make_model();
    QVERIFY(ReadParamFile(path("save.par").toStdString(), saved));
    QCOMPARE(saved.parameters[3].value, 0.125);

    dialogs.file_names.push_back(path("copy.par"));
    child<QAction>(window, "MISaveParamAs")->trigger();
    QCOMPARE(dialogs.file_dialogs.back().title, QStringLiteral("Save Parameter File"));
    QVERIFY(dialogs.file_dialogs.back().ask_before_overwrite);
    QVERIFY(QFile::exists(path("copy.par")));
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), path("copy.par"));
  }

  void reloadAsksWhichValuesAndKeepsTheChoice() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    child<QPushButton>(window, "BtnReload")->click();
    QCOMPARE(dialogs.texts(), QStringList{"Invalid parameter file. No values reloaded."});

    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    Model& model = window.program().model;
    const double state = model.states[1].value;
    const double parameter = model.parameters[1].value;
    model.states[1].value = -1.0;
    model.parameters[1].value = -1.0;
    // Neither box checked: the state values come back.
    when_modal([](QWidget* dialog) {
      QCOMPARE(dialog->windowTitle(), QStringLiteral("Reload"));
      child<QCheckBox>(*dialog, "CbParams")->click();
      child<QCheckBox>(*dialog, "CbState")->click();
      child<QPushButton>(*dialog, "OKBtn")->click();
    });
    child<QPushButton>(window, "BtnReload")->click();
    QCOMPARE(model.states[1].value, state);
    QCOMPARE(model.parameters[1].value, -1.0);
    QVERIFY(!window.reload_dialog().parameters_checked());
    QVERIFY(!window.reload_dialog().states_checked());
    // Parameters alone; Cancel changes nothing.
    model.states[1].value = -1.0;
    when_modal([](QWidget* dialog) { child<QPushButton>(*dialog, "CancelBtn")->click(); });
    child<QPushButton>(window, "BtnReload")->click();
    QCOMPARE(model.states[1].value, -1.0);
    when_modal([](QWidget* dialog) {
      child<QCheckBox>(*dialog, "CbParams")->click();
      child<QPushButton>(*dialog, "OKBtn")->click();
    });
    child<QPushButton>(window, "BtnReload")->click();
    QCOMPARE(model.parameters[1].value, parameter);
    QCOMPARE(model.states[1].value, -1.0);
  }

  void outputStepIsCheckedAndCorrected() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    const RunSettings& settings = window.program().settings;
    auto enter_output_step = [&](const QString& text) {
      dialogs.inputs.push_back(text);
      child<QAction>(window, "MITimeStep")->trigger();
    };
    enter_output_step(QStringLiteral("0.5"));
    QCOMPARE(settings.output_step, 1.0);
    QCOMPARE(dialogs.texts().back(),
             QStringLiteral("Output time step is less than simulation time step. Output time "
                            "step increased to time step."));
    QCOMPARE(dialogs.input_captions.back(), QStringLiteral("Output Time Step"));
    enter_output_step(QStringLiteral("5"));
    QCOMPARE(settings.output_step, 1.0);
    QVERIFY(dialogs.texts().back().endsWith(" Output time step decreased to run length."));
    // Asked again until the number is above 0.
    dialogs.inputs.push_back(QStringLiteral("0"));
    enter_output_step(QStringLiteral("1"));
    QCOMPARE(dialogs.input_captions.size(), 4);

    // Time step 0.1, output step 0.3: within 0.001 of a multiple, accepted.
    type_into(window, "METimeStep", QStringLiteral("0.1"));
    const auto before = dialogs.messages.size();
    enter_output_step(QStringLiteral("0.3"));
    QCOMPARE(settings.output_step, 0.3);
    QCOMPARE(dialogs.messages.size(), before);
    // Leaving the time step box unedited still checks: 0.3 is no multiple of 0.25.
    window.program().set(&RunSettings::time_step, 0.25);
    type_into(window, "METimeStep", QStringLiteral("0.25"));
    child<QLineEdit>(window, "METimeStep")->setModified(false);
    emit child<QLineEdit>(window, "METimeStep")->returnPressed();
    QCOMPARE(settings.output_step, 0.25);

    // Text that is not a number: the conversion error, the setting as it was.
    type_into(window, "METimeStep", QStringLiteral("abc"));
    QCOMPARE(dialogs.texts().back(), QStringLiteral("'abc' is not a valid floating point value"));
    QCOMPARE(settings.time_step, 0.25);
  }

  void exitAndTheTitleBarAskBeforeLosingEdits() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    type_into(window, "ParamBox", example_file("vindrel-example.par"));
    window.program().set(&MainFlags::parameters_modified, true);
    // The title bar's close asks too; Cancel stays.
    dialogs.answers.push_back(MessageAnswer::kCancel);
    QVERIFY(!window.close());
    QCOMPARE(dialogs.texts().back(), QStringLiteral("Save parameter file before exiting?"));
    QVERIFY(window.isVisible());
    // Exit, Yes, and a name: the file is written and the window stays.
    dialogs.answers.push_back(MessageAnswer::kYes);
    dialogs.file_names.push_back(path("exit.par"));
    child<QAction>(window, "MIExit")->trigger();
    QVERIFY(window.isVisible());
    QVERIFY(QFile::exists(path("exit.par")));
    QCOMPARE(window.program().settings.parameter_file, path("exit.par").toStdString());
    // A second Exit closes without asking.
    const auto asked = dialogs.messages.size();
    child<QAction>(window, "MIExit")->trigger();
    QVERIFY(!window.isVisible());
    QCOMPARE(dialogs.messages.size(), asked);
  }

  void aboutShowsTheModelAndVersion() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    QString name;
    QString version;
    when_modal([&](QWidget* about) {
      name = child<QLabel>(*about, "ProductName")->text();
      version = child<QLabel>(*about, "Version")->text();
      child<QPushButton>(*about, "OKButton")->click();
    });
    child<QAction>(window, "MIAbout")->trigger();
    QCOMPARE(name, QStringLiteral("Vindrel"));
    QCOMPARE(version, QStringLiteral("Version 6.4.1"));
  }
};

QTEST_MAIN(TestMainForm)
#include "test_main_form.moc"
