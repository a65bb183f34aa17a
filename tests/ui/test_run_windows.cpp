// The windows around a run: the integrator in the run options, the model
// time and time left in the progress window, the failure's detail in the
// error window, and the names a screen reader reads in the editors.
#include <QAccessible>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "tests/ui/main_form_testing.hpp"
#include "tests/ui/run_comparison.hpp"
#include "ui/coloured_tabs.hpp"
#include "ui/tdata_form.hpp"
#include "ui/tfm_parameter.hpp"
#include "ui/tfm_progress.hpp"
#include "ui/tfm_run_options.hpp"
#include "ui/tfm_trouble.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using namespace vindrel::ui::testing;

class TestRunWindows : public QObject {
  Q_OBJECT

  const ScratchFolder path;

 private slots:
  void theIntegratorChosenInTheOptionsRunsAsTheCommandLineDoes() {
    ExampleWindow example(example_file("vindrel-example.drr"), path("dopri5.out"), "40");
    TMainForm& window = example.window;
    TFmRunOptions& options = window.run_options_window();
    options.show();
    QVERIFY(QTest::qWaitForWindowActive(&options));
    auto* integrator = child<QComboBox>(options, "CbIntegrator");
    auto* tolerance = child<QLineEdit>(options, "EdRelativeTolerance");
    // rk4 by default, with the model's fixed tolerance shown and closed.
    QCOMPARE(integrator->currentText(), QStringLiteral("rk4 (the model's own)"));
    QVERIFY(!tolerance->isEnabled());
    QCOMPARE(tolerance->text(), QStringLiteral("1E-8"));

    integrator->setFocus();
    QTest::keyClick(integrator, Qt::Key_Down);
    QCOMPARE(window.program().settings.integrator, IntegratorKind::kDopri5);
    QVERIFY(tolerance->isEnabled());
    type_into(options, "EdRelativeTolerance", QStringLiteral("1e-6"));
    QCOMPARE(window.program().settings.relative_tolerance, 1e-6);
    child<QPushButton>(options, "BtnClose")->click();

    example.run();
    QVERIFY(example.finished.wait(kRunTimeout));
    QVERIFY(example.dialogs.messages.empty());
    QVERIFY(cli_run({"--par", example_file("vindrel-example.par"), "--drivers",
                     example_file("vindrel-example.drr"), "--out", path("dopri5-cli.out"),
                     "--start", "1", "--stop", "40", "--integrator", "dopri5", "--rtol", "1e-6"}));
    QCOMPARE(contents(path("dopri5.out")), contents(path("dopri5-cli.out")));
    QCOMPARE(contents(path("dopri5.out")).count('\n'), 2 + 39);

    // Back to rk4: the box closes again and shows rk4's own tolerance.
    options.show();
    QCOMPARE(integrator->currentText(), QStringLiteral("dopri5 (Dormand-Prince 5(4))"));
    QCOMPARE(tolerance->text(), QStringLiteral("1E-6"));
    integrator->setFocus();
    QTest::keyClick(integrator, Qt::Key_Up);
    QCOMPARE(window.program().settings.integrator, IntegratorKind::kRk4);
    QVERIFY(!tolerance->isEnabled());
    options.close();
  }

  void aBadToleranceIsRefusedWithTheCommandLinesMessage() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    window.program().set(&RunSettings::integrator, IntegratorKind::kFehlberg78);
    TFmRunOptions& options = window.run_options_window();
    options.show();
    QVERIFY(QTest::qWaitForWindowActive(&options));
    const double stored = window.program().settings.relative_tolerance;
    type_into(options, "EdRelativeTolerance", QStringLiteral("1"));
    const QString rule =
        QStringLiteral("expected a relative tolerance greater than 0 and less than 1, found 1");
    QCOMPARE(dialogs.texts(), QStringList{"Relative tolerance: " + rule});
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kWarning);
    QCOMPARE(window.program().settings.relative_tolerance, stored);
    QCOMPARE(child<QLineEdit>(options, "EdRelativeTolerance")->text(), QStringLiteral("5E-8"));
    const CliOutcome cli = run_cli({"run", "--par", example_file("vindrel-example.par"),
                                    "--drivers", example_file("vindrel-example.drr"), "--out",
                                    path("never.out"), "--integrator", "rkf78", "--rtol", "1"});
    QCOMPARE(cli.exit_code, 2);
    QVERIFY2(cli.error_text.contains("--rtol: " + rule), qPrintable(cli.error_text));

    // Text that is not a number, and closing with a refused text in the box.
    auto* box = child<QLineEdit>(options, "EdRelativeTolerance");
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("tight"));
    child<QPushButton>(options, "BtnClose")->click();
    QCOMPARE(dialogs.texts().back(),
             QStringLiteral("Relative tolerance: expected a relative tolerance greater than 0 "
                            "and less than 1, found \"tight\""));
    QCOMPARE(window.program().settings.relative_tolerance, stored);
  }

  void theErrorWindowShowsWhenAndWhereTheRunStoppedUnderTheMessage() {
    ExampleWindow example(driver_copy(path("hot.drr"), 30, 5), path("hot.out"), "20");
    QString message;
    QString detail;
    bool detail_below = false;
    when_modal([&](QWidget* trouble) {
      auto* error = child<QPlainTextEdit>(*trouble, "MmError");
      auto* details = child<QPlainTextEdit>(*trouble, "MmDetail");
      message = error->toPlainText();
      detail = details->toPlainText();
      detail_below = details->isVisible() && details->y() > error->y();
      child<QPushButton>(*trouble, "BtnOK")->click();
    });
    // Continue past the check's warning of the driver value no weather has.
    example.dialogs.answers = {MessageAnswer::kOk};
    example.run();
    QVERIFY(example.finished.wait(kRunTimeout));
    QCOMPARE(message, QStringLiteral("Division by zero"));
    QCOMPARE(detail, QStringLiteral("in the step from 5 to 6 (time step 1)\n"
                                    "the run reached model time 5; the output holds 4 records\n"
                                    "the equation group where it arose: climate and water "
                                    "balance (group a)"));
    QVERIFY(detail_below);

    // A value that is not a finite number is traced to its file's line.
    QFile example_par(example_file("vindrel-example.par"));
    QVERIFY(example_par.open(QIODevice::ReadOnly));
    QList<QByteArray> lines = example_par.readAll().split('\n');
    lines[1].replace(26, 23, QByteArray("Nan").leftJustified(23));
    QFile nan_par(path("nan.par"));
    QVERIFY(nan_par.open(QIODevice::WriteOnly));
    nan_par.write(lines.join('\n'));
    nan_par.close();
    // Continue past the check's warning of the value, when chosen and at Run.
    example.dialogs.answers = {MessageAnswer::kOk, MessageAnswer::kOk};
    type_into(example.window, "ParamBox", path("nan.par"));
    when_modal([&](QWidget* trouble) {
      detail = child<QPlainTextEdit>(*trouble, "MmDetail")->toPlainText();
      child<QPushButton>(*trouble, "BtnOK")->click();
    });
    example.run();
    QVERIFY(example.finished.wait(kRunTimeout));
    QVERIFY2(detail.endsWith("from " + path("nan.par") + ":2: state 1 (Cf, C: foliar) is Nan"),
             qPrintable(detail));

    // A failure with no detail to give shows the message alone.
    TFmTrouble& trouble = example.window.trouble_window();
    trouble.set_message(QStringLiteral("Step size too small in routine ODEIntegrator"));
    trouble.show();
    QVERIFY(!child<QPlainTextEdit>(trouble, "MmDetail")->isVisible());
    trouble.close();
  }

  void theProgressWindowShowsTheModelTimeAndTheTimeLeft() {
    ExampleWindow example(example_file("vindrel-example.drr"), path("long.out"), "10950");
    QSignalSpy& finished = example.finished;
    example.run();
    TFmProgress& progress = example.window.progress_window();
    auto* time = child<QLabel>(progress, "LblPresentTime");
    auto* left = child<QLabel>(progress, "LblTimeLeft");
    QCOMPARE(time->text(), QStringLiteral("Model time: day 1"));
    QCOMPARE(left->text(), QStringLiteral("Estimated time left: --:--"));
    // Once the run has gone on for more than half a second, the estimate is a
    // clock time; the model time is the day the bar stands at.
    const QRegularExpression clock(QStringLiteral("^Estimated time left: \\d+:\\d\\d(:\\d\\d)?$"));
    QTRY_VERIFY_WITH_TIMEOUT(clock.match(left->text()).hasMatch() || !finished.isEmpty(),
                             kRunTimeout);
    if (finished.isEmpty()) {
      const QRegularExpression day(QStringLiteral("^Model time: day (\\d+)$"));
      const QRegularExpressionMatch reached = day.match(time->text());
      QVERIFY2(reached.hasMatch(), qPrintable(time->text()));
      const double percent = 100.0 * (reached.captured(1).toDouble() - 1.0) / 10949.0;
      QVERIFY(std::abs(percent - progress.progress()) < 1.0);
      example.dialogs.answers = {MessageAnswer::kYes};
      child<QPushButton>(progress, "BtnCancel")->click();
      QVERIFY(finished.wait(kRunTimeout));
    } else {
      qWarning("the run ended before the estimate showed");
    }
  }

  void screenReadersReadTheTabsAndTheCheckBoxes() {
    ScriptedDialogs dialogs;
    ProgramState program;
    TDataForm data(program, dialogs);
    TFmParameter editor(program, dialogs, data);
    editor.show();
    ColouredTabs* tabs = editor.tabs();
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(tabs);
    QVERIFY(list != nullptr);
    QCOMPARE(list->role(), QAccessible::PageTabList);
    QCOMPARE(list->childCount(), editor.page_count());
    QAccessibleInterface* third = list->child(2);
    QCOMPARE(third->role(), QAccessible::PageTab);
    QCOMPARE(third->text(QAccessible::Name), tabs->tab_text(2));
    QVERIFY(!third->text(QAccessible::Name).isEmpty());
    QCOMPARE(editor.page(2)->accessibleName(), tabs->tab_text(2));
    QVERIFY(list->child(0)->state().selected && !third->state().selected);
    // Pressing a tab shows its page.
    third->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(editor.current_page(), 2);
    QVERIFY(third->state().selected);
    QCOMPARE(list->indexOfChild(third), 2);
    editor.close();

    data.prepare_states();
    data.show();
    auto* grid = child<QTableView>(data, "AdvStringGrid1");
    QAccessibleInterface* table = QAccessible::queryAccessibleInterface(grid);
    QVERIFY(table != nullptr && table->tableInterface() != nullptr);
    QAccessibleInterface* hold = table->tableInterface()->cellAt(0, 0);
    QAccessibleInterface* reset = table->tableInterface()->cellAt(1, 1);
    QCOMPARE(hold->text(QAccessible::Name), QStringLiteral("Hold constant: Cf (C: foliar)"));
    QCOMPARE(reset->text(QAccessible::Name), QStringLiteral("Reset: Csw (C: sapwood)"));
    QVERIFY(hold->state().checkable);
  }
};

QTEST_MAIN(TestRunWindows)
#include "test_run_windows.moc"
