// Runs started from the main window: the output file, the window's state
// during and after a run, Cancel, failures and the unattended modes.
#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>

#include "fileio/driver_file.hpp"
#include "fileio/output_file.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "tests/ui/main_form_testing.hpp"
#include "tests/ui/run_comparison.hpp"
#include "ui/tfm_display_data.hpp"
#include "ui/tfm_progress.hpp"
#include "ui/tfm_run_options.hpp"
#include "ui/tfm_trouble.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using namespace vindrel::ui::testing;

namespace {

// The same run made directly, without any window.
RunResult reference_run(const Model& model, RunSettings settings, const QString& output) {
  settings.output_file = output.toStdString();
  OutputFileSink sink(settings.output_file);
  return Run(model, settings, sink);
}

}  // namespace

class TestRunFromWindow : public QObject {
  Q_OBJECT

  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

 private slots:
  void aRunWritesTheSameFileAsARunOfItsOwnAndTheNextContinuesFromIt() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("window.out"));
    type_into(window, "MEStopTime", QStringLiteral("60"));
    const Model before = window.program().model;
    const RunSettings settings = window.program().settings;

    QSignalSpy finished(&window, &TMainForm::run_finished);
    QSignalSpy progress(&window, &TMainForm::run_progress);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(!window.isEnabled());
    QVERIFY(window.progress_window().isVisible());
    QCOMPARE(window.progress_window().windowTitle(), QStringLiteral("Vindrel run progress."));
    QCOMPARE(child<QLabel>(window.progress_window(), "LblBegin")->text(), QStringLiteral("1"));
    QCOMPARE(child<QLabel>(window.progress_window(), "LblEnd")->text(), QStringLiteral("60"));
    QVERIFY(finished.wait(kRunTimeout));

    QVERIFY(window.isEnabled());
    QVERIFY(!window.progress_window().isVisible());
    QCOMPARE(child<QLineEdit>(window, "PresentBox")->text(), QStringLiteral("60"));
    QVERIFY(child<QAction>(window, "MIChart")->isEnabled());
    QVERIFY(child<QAction>(window, "MITable")->isEnabled());
    QCOMPARE(window.display_window().output_file(), path("window.out"));
    QVERIFY(dialogs.messages.empty());
    // Progress only when the percentage moves: at most one signal per percent.
    QVERIFY(progress.size() <= 100);
    for (qsizetype i = 1; i < progress.size(); ++i) {
      QVERIFY(progress[i][0].toInt() > progress[i - 1][0].toInt());
    }

    const RunResult first = reference_run(before, settings, path("reference.out"));
    QCOMPARE(contents(path("window.out")), contents(path("reference.out")));
    QVERIFY(contents(path("window.out")).count('\n') == 2 + 59);
    // The command line makes the same file.
    if (cli_run({"--par", example_file("vindrel-example.par"), "--drivers",
                 example_file("vindrel-example.drr"), "--out", path("cli.out"), "--start", "1",
                 "--stop", "60"})) {
      QCOMPARE(contents(path("window.out")), contents(path("cli.out")));
    } else {
      qWarning("vindrel-cli not found in this build: compared with a direct run only");
    }

    // A second run starts from the states the first reached.
    Model continued = before;
    commit_run(continued, first);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    reference_run(continued, settings, path("reference2.out"));
    QCOMPARE(contents(path("window.out")), contents(path("reference2.out")));
  }

  void aSpecialRunRepeatsTheDriversAsTheCommandLineDoes() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("special.out"));
    type_into(window, "MEStopTime", QStringLiteral("45"));
    window.run_options_window().show();
    window.run_options_window().choose_special();
    type_into(window.run_options_window(), "EdRepeatDriveTime", QStringLiteral("20"));
    child<QPushButton>(window.run_options_window(), "BtnClose")->click();
    QVERIFY(child<QAction>(window, "MISpecialRun")->isChecked());
    const Model before = window.program().model;
    const RunSettings settings = window.program().settings;
    QVERIFY(settings.repeat_drivers);
    QCOMPARE(settings.repeat_time, 20);

    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    reference_run(before, settings, path("special-ref.out"));
    QCOMPARE(contents(path("special.out")), contents(path("special-ref.out")));
    if (cli_run({"--par", example_file("vindrel-example.par"), "--drivers",
                 example_file("vindrel-example.drr"), "--out", path("special-cli.out"), "--start",
                 "1", "--stop", "45", "--repeat-drivers", "20"})) {
      QCOMPARE(contents(path("special.out")), contents(path("special-cli.out")));
    }
  }

  void cancelLeavesAValidFileAndTheStatesOfTheLastStep() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("cancel.out"));
    type_into(window, "MEStopTime", QStringLiteral("10950"));
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    QTRY_VERIFY_WITH_TIMEOUT(window.progress_window().progress() >= 2 || !finished.isEmpty(),
                             kRunTimeout);
    dialogs.answers.push_back(MessageAnswer::kNo);
    child<QPushButton>(window.progress_window(), "BtnCancel")->click();
    QVERIFY(window.running());  // No: the run goes on
    dialogs.answers.push_back(MessageAnswer::kYes);
    child<QPushButton>(window.progress_window(), "BtnCancel")->click();
    QVERIFY(finished.wait(kRunTimeout));
    QCOMPARE(dialogs.texts(), (QStringList{"Cancel Run?", "Cancel Run?"}));

    const ProgramState& program = window.program();
    QVERIFY(program.present_time < 10950.0);
    QVERIFY(window.isEnabled());
    // Every record complete, the last one at the time reached, holding the
    // states the program's model now holds.
    OutputFileReader reader;
    reader.open(path("cancel.out").toStdString());
    Model last = make_model();
    double time = 0.0;
    int records = 0;
    while (reader.read_record(time, last)) ++records;
    QCOMPARE(records, static_cast<int>(std::lround(program.present_time - 1.0)));
    QCOMPARE(time, program.present_time);
    for (int i = 1; i <= last.ModelInfo.StateCount; ++i) {
      const double kept = program.model.states[i].value;
      QVERIFY2(std::fabs(last.states[i].value - kept) <= 1e-11 * std::fabs(kept) + 1e-300,
               qPrintable(QString::fromStdString(last.states[i].name)));
    }
  }

  void aRunThatEndsWhileCancelIsAskedEndsOnceTheQuestionIsAnswered() {
    // Dialogs that keep "Cancel Run?" open until the run's result has come back.
    class Waiting final : public Dialogs {
     public:
      TMainForm* window = nullptr;
      QStringList asked;
      MessageAnswer message(QWidget*, MessageKind, const QString& text, MessageButtons) override {
        // A box's own event loop, which ends once the result is back.
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
          if (window->result_pending()) loop.quit();
        });
        poll.start(5);
        loop.exec();
        asked << text;
        return MessageAnswer::kYes;
      }
      std::optional<QString> input(QWidget*, const QString&, const QString&,
                                   const QString&) override {
        return std::nullopt;
      }
      std::optional<QString> file(QWidget*, const FileDialogSpec&, const QString&) override {
        return std::nullopt;
      }
      void beep() override {}
    } dialogs;
    TMainForm window(dialogs);
    dialogs.window = &window;
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("late.out"));
    type_into(window, "MEStopTime", QStringLiteral("5"));
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    child<QPushButton>(window.progress_window(), "BtnCancel")->click();
    QVERIFY(finished.size() == 1 || finished.wait(kRunTimeout));
    QVERIFY(!window.result_pending());
    QVERIFY(window.isEnabled());
    QVERIFY(!window.progress_window().isVisible());
    QCOMPARE(window.program().present_time, 5.0);
    QCOMPARE(dialogs.asked, QStringList{"Cancel Run?"});
  }

  void aFailureShowsItsMessageInTheErrorWindowWithTheWindowUsable() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    const QString drivers = driver_copy(path("hot.drr"), 30, 5);
    choose_files(window, example_file("vindrel-example.par"), drivers, path("hot.out"));
    type_into(window, "MEStopTime", QStringLiteral("20"));
    const RunResult expected =
        reference_run(window.program().model, window.program().settings, path("hot-ref.out"));
    QCOMPARE(expected.outcome, RunOutcome::kFailed);

    QSignalSpy finished(&window, &TMainForm::run_finished);
    QString shown;
    bool enabled_meanwhile = false;
    bool progress_hidden = false;
    when_modal([&](QWidget* trouble) {
      shown = child<QPlainTextEdit>(*trouble, "MmError")->toPlainText();
      enabled_meanwhile = window.isEnabled();
      progress_hidden = !window.progress_window().isVisible();
      // Its picture offers milk.
      window.trouble_window().picture_clicked();
      child<QPushButton>(*trouble, "BtnOK")->click();
    });
    // The check warns of the driver value no weather has; the user goes on.
    dialogs.answers = {MessageAnswer::kOk};
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    QCOMPARE(shown, QString::fromStdString(expected.failure_message()));
    QVERIFY(!shown.isEmpty());
    QVERIFY(enabled_meanwhile);
    QVERIFY(progress_hidden);
    QCOMPARE(dialogs.texts().size(), 2);
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kWarning);
    QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("hot.drr:7:")));
    QCOMPARE(dialogs.texts()[1], QStringLiteral("Got milk?"));
    QCOMPARE(dialogs.messages[1].kind, MessageKind::kConfirmation);
    QCOMPARE(contents(path("hot.out")), contents(path("hot-ref.out")));
    // A failed run's states are not gone on from: the next run starts from the file.
    Model file = make_model();
    QVERIFY(ReadParamFile(example_file("vindrel-example.par").toStdString(), file));
    for (int i = 1; i <= file.ModelInfo.StateCount; ++i) {
      QCOMPARE(window.program().model.states[i].value, file.states[i].value);
    }
    QCOMPARE(child<QLabel>(window, "NextStartLabel")->text(),
             QStringLiteral("Next run starts from: vindrel-example.par"));

    // A driver file gone before Run is refused by the check: no run starts.
    dialogs.answers = {MessageAnswer::kYes};  // the new driver file is made, then removed
    type_into(window, "DriverBox", path("missing.drr"));
    QFile::remove(path("missing.drr"));
    dialogs.messages.clear();
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(!window.running());
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kError);
    QVERIFY(dialogs.messages[0].text.contains(QStringLiteral("missing.drr")));
    QVERIFY(dialogs.messages[0].text.endsWith(QStringLiteral("The run was not started.")));
    QVERIFY(window.isEnabled());
  }

  void aStopTimeBeyondTheDriversIsAnnouncedAndRun() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    const QString drivers = driver_copy(path("short.drr"), 10, 0);
    choose_files(window, example_file("vindrel-example.par"), drivers, path("short.out"));
    type_into(window, "MEStopTime", QStringLiteral("20"));
    const std::string warning = drivers_end_warning(
        window.program().settings, last_driver_record_time(drivers.toStdString(), make_model()));
    QVERIFY(!warning.empty());
    QSignalSpy finished(&window, &TMainForm::run_finished);
    // Said among the check's findings, with Continue and Cancel; Cancel makes no run.
    dialogs.answers = {MessageAnswer::kCancel};
    child<QPushButton>(window, "BtnRun")->click();
    QCOMPARE(dialogs.texts().size(), 1);
    QVERIFY(dialogs.texts()[0].contains(QString::fromStdString(warning)));
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kWarning);
    QCOMPARE(dialogs.messages[0].buttons, MessageButtons::kContinueCancel);
    QVERIFY(!window.running());
    QVERIFY(!QFileInfo::exists(path("short.out")));
    dialogs.answers = {MessageAnswer::kOk};  // Continue
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(finished.wait(kRunTimeout));
    QCOMPARE(dialogs.texts().size(), 2);
    QCOMPARE(window.program().present_time, 20.0);
  }

  void theUnattendedModesRunWithoutWindowsAndPassFailuresOn() {
    ScriptedDialogs dialogs;
    const UnattendedModes modes = unattended_mode_from_program_name("/opt/bin/ModelBatch.exe");
    QVERIFY(modes.batch_mode);
    TMainForm window(dialogs, modes);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("batch.out"));
    type_into(window, "MEStopTime", QStringLiteral("30"));
    QSignalSpy finished(&window, &TMainForm::run_finished);
    child<QPushButton>(window, "BtnRun")->click();
    QVERIFY(window.isEnabled());
    QVERIFY(!window.progress_window().isVisible());
    QVERIFY(finished.wait(kRunTimeout));
    // No refresh at the end: Present Time and the output display stay as they were.
    QCOMPARE(child<QLineEdit>(window, "PresentBox")->text(), QStringLiteral("0"));
    QVERIFY(!child<QAction>(window, "MIChart")->isEnabled());
    QCOMPARE(window.program().present_time, 30.0);
    QVERIFY(window.program().flags.output_available);

    // A failure goes to the program-wide handler as an error box, not to the error window.
    type_into(window, "DriverBox", path("missing.drr"));
    child<QPushButton>(window, "BtnRun")->click();
    // A name confirmed during the run is taken once the run has ended.
    type_into(window, "OutputBox", path("batch2.out"));
    QCOMPARE(window.program().settings.output_file, path("batch.out").toStdString());
    QVERIFY(finished.wait(kRunTimeout));
    QCOMPARE(window.program().settings.output_file, path("batch2.out").toStdString());
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kError);
    QVERIFY(!window.trouble_window().isVisible());
  }
};

QTEST_MAIN(TestRunFromWindow)
#include "test_run_from_window.moc"
