// What the main window offers beyond its controls: the files and the place
// it remembers from the last session, the recent files, the "..." buttons
// beside the file boxes and the note of a special run.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <memory>

#include "tests/ui/main_form_testing.hpp"
#include "ui/tmain_form_memory.hpp"

namespace vindrel::ui::testing {

class TestMainFormSession : public QObject {
  Q_OBJECT

 private slots:
  void theLastFilesAndThePlaceComeBackInTheNextSession() {
    const QString par = copy_of("vindrel-example.par", "last.par");
    const QString drr = copy_of("vindrel-example.drr", "last.drr");
    QPoint place;
    {
      ScriptedDialogs dialogs;
      TMainForm window(dialogs);
      window.remember_with(memory());
      window.show();
      choose_files(window, par, drr, path("last.out"));
      type_into(window, "MEStopTime", QStringLiteral("730"));
      type_into(window, "METimeStep", QStringLiteral("0.5"));
      window.program().set(&RunSettings::integrator, IntegratorKind::kDopri5);
      window.program().set(&RunSettings::relative_tolerance, 1e-7);
      window.program().set(&RunSettings::repeat_drivers, true);
      window.program().set(&RunSettings::repeat_time, 366);
      window.move(window.pos() + QPoint(40, 30));
      place = window.pos();
      QVERIFY(window.close());
    }
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.remember_with(memory());
    window.show();
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), par);
    QCOMPARE(child<QLineEdit>(window, "DriverBox")->text(), drr);
    QCOMPARE(child<QLineEdit>(window, "OutputBox")->text(), path("last.out"));
    QCOMPARE(window.program().settings.parameter_file, par.toStdString());
    QCOMPARE(window.program().settings.driver_file, drr.toStdString());
    QVERIFY(child<QPushButton>(window, "BtnRun")->isEnabled());
    QCOMPARE(window.pos(), place);
    // The run settings too, in their boxes and the Run menu.
    const RunSettings& settings = window.program().settings;
    QCOMPARE(settings.stop_time, 730.0);
    QCOMPARE(child<QLineEdit>(window, "MEStopTime")->text(), QStringLiteral("730"));
    QCOMPARE(settings.time_step, 0.5);
    QCOMPARE(child<QLineEdit>(window, "METimeStep")->text(), QStringLiteral("0.5"));
    QCOMPARE(settings.integrator, IntegratorKind::kDopri5);
    QCOMPARE(settings.relative_tolerance, 1e-7);
    QVERIFY(settings.repeat_drivers && !settings.reset_states);
    QCOMPARE(settings.repeat_time, 366);
    QVERIFY(child<QAction>(window, "MISpecialRun")->isChecked());
    QCOMPARE(recent_captions(window),
             (QStringList{"&1 Output file: " + path("last.out"), "&2 Driver file: " + drr,
                          "&3 Parameter file: " + par}));
    QVERIFY(dialogs.messages.empty());
  }

  void aRecentFileLoadsAsFromItsDialogAndAMissingOneIsDropped() {
    const QString kept = copy_of("vindrel-example.par", "kept.par");
    const QString gone = copy_of("vindrel-example.par", "gone.par");
    {
      std::unique_ptr<SessionMemory> earlier = memory();
      earlier->remember_file(FileKind::kParameter, kept);
      earlier->remember_file(FileKind::kParameter, gone);
    }
    QVERIFY(QFile::remove(gone));
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.remember_with(memory());
    window.show();
    QCOMPARE(recent_captions(window),
             (QStringList{"&1 Parameter file: " + gone, "&2 Parameter file: " + kept}));

    // Not the last file any more, so not loaded at start; chosen from the menu.
    window.program().model.parameters[1].value = -1.0;
    recent_item(window, kept)->trigger();
    QCOMPARE(window.program().settings.parameter_file, kept.toStdString());
    QCOMPARE(child<QLineEdit>(window, "ParamBox")->text(), kept);
    QVERIFY(window.program().model.parameters[1].value != -1.0);
    QCOMPARE(recent_captions(window).first(), "&1 Parameter file: " + kept);

    recent_item(window, gone)->trigger();
    QCOMPARE(dialogs.texts(),
             QStringList{gone + " no longer exists. It was taken off the recent files."});
    QCOMPARE(window.program().settings.parameter_file, kept.toStdString());
    QCOMPARE(recent_captions(window), QStringList{"&1 Parameter file: " + kept});
    QCOMPARE(memory()->recent_files().size(), 1);
  }

  void aNameTypedRelativeToTheFolderIsRememberedWhole() {
    const QString par = copy_of("vindrel-example.par", "relative.par");
    const QString before = QDir::currentPath();
    QDir::setCurrent(dir_.path());
    {
      ScriptedDialogs dialogs;
      TMainForm window(dialogs);
      window.remember_with(memory());
      window.show();
      type_into(window, "ParamBox", QStringLiteral("relative.par"));
    }
    QDir::setCurrent(before);
    QCOMPARE(memory()->last_file(FileKind::kParameter), par);
  }

  void theFileButtonsOpenTheDialogsOfTheLabels() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    for (const char* name : {"ParamButton", "DriverButton", "OutputButton"}) {
      QTest::mouseClick(child<QToolButton>(window, name), Qt::LeftButton);
    }
    for (const char* name : {"ParamLabel", "DriverLabel", "OutputLabel"}) {
      QTest::mouseClick(child<QLabel>(window, name), Qt::LeftButton);
    }
    QStringList titles;
    for (const FileDialogSpec& spec : dialogs.file_dialogs) titles << spec.title;
    const QStringList each{"Choose Parameter File", "Open Driver File", "Save Output File as"};
    QCOMPARE(titles, each + each);
  }

  void aSpecialRunIsShownWithItsTimesAndANormalRunIsNot() {
    ScriptedDialogs dialogs;
    TMainForm window(dialogs);
    window.show();
    auto* note = child<QLabel>(window, "SpecialRunLabel");
    QVERIFY(!note->isVisible());
    window.program().set(&RunSettings::repeat_drivers, true);
    window.program().set(&RunSettings::repeat_time, 366);
    QVERIFY(note->isVisible());
    QCOMPARE(note->text(), QStringLiteral("Special run: drivers repeat at day 366"));
    window.program().set(&RunSettings::reset_states, true);
    window.program().set(&RunSettings::reset_interval, 365);
    QCOMPARE(note->text(), QStringLiteral("Special run: drivers repeat at day 366, states reset "
                                          "every 365 days"));
    child<QAction>(window, "MINormalRun")->trigger();
    QVERIFY(!note->isVisible());
  }

 private:
  QTemporaryDir dir_;
  QString path(const char* name) const { return dir_.filePath(QLatin1String(name)); }

  // A memory kept in the test's own folder, never the user's; one per test.
  std::unique_ptr<SessionMemory> memory() const {
    const QString file = dir_.filePath(QLatin1String(QTest::currentTestFunction()) + ".ini");
    return std::make_unique<SessionMemory>(std::make_unique<QSettings>(file, QSettings::IniFormat));
  }

  QString copy_of(const char* example, const char* name) const {
    QFile::remove(path(name));
    if (!QFile::copy(example_file(example), path(name))) qFatal("cannot copy %s", example);
    return path(name);
  }

  static QStringList recent_captions(TMainForm& window) {
    QStringList captions;
    for (QAction* item : child<QMenu>(window, "MIRecentFiles")->actions()) {
      captions << item->text();
    }
    return captions;
  }

  static QAction* recent_item(TMainForm& window, const QString& file) {
    for (QAction* item : child<QMenu>(window, "MIRecentFiles")->actions()) {
      if (item->text().endsWith(": " + file)) return item;
    }
    qFatal("no recent file %s", qPrintable(file));
  }
};

}  // namespace vindrel::ui::testing

QTEST_MAIN(vindrel::ui::testing::TestMainFormSession)
#include "test_main_form_session.moc"
