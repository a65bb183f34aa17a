// The program's state as one object that tells its views of every change,
// and the main window as one of those views; and save dialogs that refuse a
// folder that does not exist.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "tests/ui/main_form_testing.hpp"
#include "ui/program_state.hpp"
#include "ui/tfm_note.hpp"

namespace vindrel::ui::testing {

class TestProgramState : public QObject {
  Q_OBJECT

 private slots:
  void everyRealChangeIsToldOnceAndNoChangeIsNotTold() {
    ProgramState state;
    QSignalSpy changed(&state, &ProgramState::changed);

    state.set_parameter_file("stand.par");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(state.settings.parameter_file, std::string("stand.par"));
    state.set_parameter_file("stand.par");
    QCOMPARE(changed.count(), 1);

    state.set(&RunSettings::stop_time, 40.0);
    state.set(&RunSettings::stop_time, 40.0);
    state.set(&RunSettings::repeat_time, 366);
    QCOMPARE(changed.count(), 3);
    QCOMPARE(state.settings.stop_time, 40.0);

    state.set(&MainFlags::output_available, true);
    state.set(&MainFlags::output_available, true);
    QCOMPARE(changed.count(), 4);

    // Several changes as one: told once at the end; nothing changed, nothing told.
    {
      const ProgramState::Batch batch(state);
      state.set_driver_file("stand.drr");
      state.set_output_file("stand.out");
      state.invalidate_run();
      QCOMPARE(changed.count(), 4);
    }
    QCOMPARE(changed.count(), 5);
    QVERIFY(!state.flags.output_available);
    state.invalidate_run();
    QCOMPARE(changed.count(), 5);

    state.set_run_end(30.0, state.model.states);
    QCOMPARE(changed.count(), 6);
    QCOMPARE(state.present_time, 30.0);
  }

  void aDriverFileChosenInTheEditorShowsInTheMainWindowAtOnce() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("view.out"));
    QVERIFY(QFile::copy(example_file("vindrel-example.drr"), path("other.drr")));
    dialogs.file_names = {path("other.drr")};
    QString shown_while_open;
    when_modal([&](QWidget* editor) {
      child<QPushButton>(*editor, "BtnChooseFile")->click();
      // The editor is still open: no command of the main window has run.
      shown_while_open = child<QLineEdit>(window, "DriverBox")->text();
      child<QPushButton>(*editor, "BtnClose")->click();
    });
    child<QAction>(window, "MIEditDriver")->trigger();
    QCOMPARE(shown_while_open, path("other.drr"));
    QCOMPARE(window.program().settings.driver_file, path("other.drr").toStdString());
  }

  void saveDialogsRefuseAFolderThatDoesNotExist() {
    const QString missing = path("no-such-folder/x.par");
    const QString refusal = QStringLiteral(
                                "The folder \"%1\" does not exist. Choose a folder "
                                "that exists.")
                                .arg(QDir::toNativeSeparators(path("no-such-folder")));
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    choose_files(window, example_file("vindrel-example.par"), example_file("vindrel-example.drr"),
                 path("kept.out"));

    // Parameter file, Save As: nothing written, the file in use stays.
    dialogs.file_names = {missing};
    child<QAction>(window, "MISaveParamAs")->trigger();
    QCOMPARE(dialogs.texts(), QStringList{refusal});
    QCOMPARE(window.program().settings.parameter_file,
             example_file("vindrel-example.par").toStdString());

    // The output file: the name in use stays.
    dialogs.file_names = {path("no-such-folder/x.out")};
    child<QAction>(window, "MIOutputFile")->trigger();
    QCOMPARE(dialogs.texts().size(), 2);
    QCOMPARE(window.program().settings.output_file, path("kept.out").toStdString());
    QCOMPARE(child<QLineEdit>(window, "OutputBox")->text(), path("kept.out"));

    // The driver editor's Save File: the editor stays open with its text.
    ProgramState program;
    program.set_driver_file(example_file("vindrel-example.drr").toStdString());
    TFmNote editor(program, dialogs);
    editor.open();
    dialogs.file_names = {path("no-such-folder/x.drr")};
    QTest::mouseClick(editor.save_button(), Qt::LeftButton);
    QCOMPARE(dialogs.texts().size(), 3);
    QVERIFY(editor.isVisible());
    QCOMPARE(program.settings.driver_file, example_file("vindrel-example.drr").toStdString());
    QVERIFY(!QDir(path("no-such-folder")).exists());
  }

 private:
  // Files the tests write, in a folder of their own.
  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }
};

}  // namespace vindrel::ui::testing

QTEST_MAIN(vindrel::ui::testing::TestProgramState)
#include "test_program_state.moc"
