// The run options window and the Run menu's run types.
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "tests/ui/main_form_testing.hpp"
#include "tests/ui/run_comparison.hpp"
#include "ui/tfm_run_options.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using namespace vindrel::ui::testing;

class TestRunOptions : public QObject {
  Q_OBJECT

 private slots:
  void specialRunOptionsAreChosenTypedAndClosed() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    TFmRunOptions& options = window.run_options_window();
    const RunSettings& settings = window.program().settings;
    options.show();
    QVERIFY(QTest::qWaitForWindowActive(&options));
    QCOMPARE(options.windowTitle(), QStringLiteral("Run Options"));
    QCOMPARE(child<QLabel>(options, "LblTimeUnit1")->text(), QStringLiteral("days"));
    auto* repeat = child<QCheckBox>(options, "CbRepeatDrivers");
    auto* repeat_box = child<QLineEdit>(options, "EdRepeatDriveTime");
    auto* reset = child<QCheckBox>(options, "CbResetStates");
    auto* reset_box = child<QLineEdit>(options, "EdResetStateTime");
    // A normal run: everything off and disabled.
    QVERIFY(child<QRadioButton>(options, "RgRunTypeNormal")->isChecked());
    QVERIFY(!repeat->isEnabled() && !repeat_box->isEnabled() && !reset->isEnabled());

    QTest::mouseClick(child<QRadioButton>(options, "RgRunTypeSpecial"), Qt::LeftButton);
    QVERIFY(repeat->isEnabled() && repeat_box->isEnabled() && reset_box->isEnabled());
    QVERIFY(!repeat->isChecked() && !reset->isChecked());
    QVERIFY(child<QAction>(window, "MISpecialRun")->isChecked());

    // Typing a time chooses its option; leaving the box stores it.
    repeat_box->setFocus();
    QTest::keyClicks(repeat_box, QStringLiteral("365"));
    QVERIFY(repeat->isChecked());
    reset_box->setFocus();
    QCOMPARE(settings.repeat_time, 365);
    QVERIFY(settings.repeat_drivers);
    QVERIFY(!settings.reset_states);
    child<QPushButton>(options, "BtnClose")->click();
    QVERIFY(!options.isVisible());
    QVERIFY(child<QAction>(window, "MISpecialRun")->isChecked());

    // Shown again: drawn from the settings.
    options.show();
    QVERIFY(QTest::qWaitForWindowActive(&options));
    QVERIFY(child<QRadioButton>(options, "RgRunTypeSpecial")->isChecked());
    QVERIFY(repeat->isChecked());
    QCOMPARE(repeat_box->text(), QStringLiteral("365"));
    QVERIFY(!reset->isChecked());
    QVERIFY(reset_box->text().isEmpty());
    // An empty box with its option checked keeps the stored time.
    repeat_box->clear();
    repeat_box->setFocus();
    reset_box->setFocus();
    QCOMPARE(settings.repeat_time, 365);
    options.close();

    // "&Normal Run" turns both options off and keeps the stored times.
    child<QAction>(window, "MINormalRun")->trigger();
    QVERIFY(!settings.repeat_drivers && !settings.reset_states);
    QCOMPARE(settings.repeat_time, 365);
    QVERIFY(child<QAction>(window, "MINormalRun")->isChecked());
    QVERIFY(dialogs.messages.empty());
  }

  void anInvalidTimeFallsBackToANormalRun() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    TFmRunOptions& options = window.run_options_window();
    const RunSettings& settings = window.program().settings;
    options.show();
    options.choose_special();
    auto* repeat_box = child<QLineEdit>(options, "EdRepeatDriveTime");
    repeat_box->setFocus();
    QTest::keyClicks(repeat_box, QStringLiteral("abc"));
    QTest::keyClick(repeat_box, Qt::Key_Return);
    QCOMPARE(dialogs.texts(),
             QStringList{QStringLiteral("Invalid driver repeat time. Run set to Normal run.")});
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kWarning);
    QVERIFY(!settings.repeat_drivers);
    QVERIFY(child<QRadioButton>(options, "RgRunTypeNormal")->isChecked());
    QVERIFY(!repeat_box->isEnabled());
    QVERIFY(child<QAction>(window, "MINormalRun")->isChecked());

    // Both periods are whole numbers of days, at least one.
    options.choose_special();
    auto* reset_box = child<QLineEdit>(options, "EdResetStateTime");
    reset_box->setFocus();
    QTest::keyClicks(reset_box, QStringLiteral("0"));
    QTest::keyClick(reset_box, Qt::Key_Return);
    QCOMPARE(dialogs.texts().back(),
             QStringLiteral("Invalid state variable reset time. Run set to Normal run."));
    QVERIFY(!settings.reset_states);
    QCOMPARE(settings.reset_interval, 0);
    options.choose_special();
    type_into(options, "EdRepeatDriveTime", QStringLiteral("-5"));
    QCOMPARE(dialogs.texts().back(),
             QStringLiteral("Invalid driver repeat time. Run set to Normal run."));
    QCOMPARE(settings.repeat_time, 0);
  }

  void aFirstStartTimeLetsARunContinueASeriesOnRepeatedDrivers() {
    ScratchFolder path;
    ExampleWindow example(example_file("vindrel-example.drr"), path("continued.out"), "420");
    TMainForm& window = example.window;
    type_into(window, "MEStartTime", QStringLiteral("400"));
    TFmRunOptions& options = window.run_options_window();
    options.show();
    options.choose_special();
    type_into(options, "EdRepeatDriveTime", QStringLiteral("366"));
    auto* first = child<QLineEdit>(options, "EdFirstStartTime");
    QVERIFY(first->isEnabled());
    type_into(options, "EdFirstStartTime", QStringLiteral("1"));
    QCOMPARE(window.program().settings.first_start_time, std::optional<double>(1.0));
    options.close();
    example.dialogs.answers = {MessageAnswer::kOk};  // any warning: go on
    example.run();
    QVERIFY(example.finished.wait(kRunTimeout));
    QVERIFY(cli_run({"--par", example_file("vindrel-example.par"), "--drivers",
                     example_file("vindrel-example.drr"), "--out", path("cli.out"), "--start",
                     "400", "--stop", "420", "--repeat-drivers", "366", "--first-start", "1"}));
    QVERIFY(!contents(path("cli.out")).isEmpty());
    QVERIFY(contents(path("continued.out")) == contents(path("cli.out")));

    // Not a time: refused, the stored time shown again; a normal run clears it.
    options.show();
    type_into(options, "EdFirstStartTime", QStringLiteral("x"));
    QVERIFY(example.dialogs.texts().back().startsWith("Invalid first start time \"x\""));
    QCOMPARE(first->text(), QStringLiteral("1"));
    options.choose_normal();
    QVERIFY(!window.program().settings.first_start_time);
    QVERIFY(!first->isEnabled());
  }

  void choosingARunTypeClearsTheRunReadyFlag() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    window.program().set(&MainFlags::output_available, true);
    window.program().set(&MainFlags::run_ready, true);
    window.run_options_window().show();
    window.run_options_window().choose_special();
    QVERIFY(!window.program().flags.output_available);
    QVERIFY(!window.program().flags.run_ready);
    // Closed by the title bar with no option chosen: the menu shows a normal run.
    window.run_options_window().close();
    QVERIFY(child<QAction>(window, "MINormalRun")->isChecked());
  }
};

QTEST_MAIN(TestRunOptions)
#include "test_run_options.moc"
