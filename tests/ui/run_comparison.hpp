// What the tests of runs made from the windows compare with: the bytes of a
// file, vindrel-cli from the same build, and driver files cut from the example.
#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "tests/ui/main_form_testing.hpp"

namespace vindrel::ui::testing {

inline constexpr int kRunTimeout = 240000;  // ms: a generous bound, not a measurement

inline QByteArray contents(const QString& file_name) {
  QFile file(file_name);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

// The example's driver file with its first `records` records, and record
// `bad_record` (1-based, 0 for none) given a maximum temperature no forest sees.
inline QString driver_copy(const QString& file_name, int records, int bad_record) {
  QFile source(example_file("vindrel-example.drr"));
  if (!source.open(QIODevice::ReadOnly)) qFatal("example drivers");
  QList<QByteArray> lines = source.readAll().split('\n');
  QByteArray text;
  for (int i = 0; i < 2 + records && i < lines.size(); ++i) {
    QByteArray line = lines[i];
    if (bad_record > 0 && i == 1 + bad_record) line.replace(52, 25, "1.000000000000E+300       ");
    text += line + '\n';
  }
  QFile copy(file_name);
  if (!copy.open(QIODevice::WriteOnly)) qFatal("driver copy");
  copy.write(text);
  return file_name;
}

// How vindrel-cli ended: its exit status (-1 when it is not in this build or
// did not finish) and what it wrote on standard error.
struct CliOutcome {
  int exit_code = -1;
  QString error_text;
};

// vindrel-cli from the same build, run with `arguments`.
inline CliOutcome run_cli(const QStringList& arguments) {
  const QString cli = QCoreApplication::applicationDirPath() + "/../../app/vindrel-cli";
  if (!QFileInfo::exists(cli)) return {};
  QProcess process;
  process.start(cli, arguments);
  if (!process.waitForFinished(kRunTimeout) || process.exitStatus() != QProcess::NormalExit) {
    return {};
  }
  return {process.exitCode(), QString::fromUtf8(process.readAllStandardError())};
}

// `vindrel-cli run --quiet` with `arguments`; false when it is not there or fails.
inline bool cli_run(const QStringList& arguments) {
  return run_cli(QStringList{"run", "--quiet"} + arguments).exit_code == 0;
}

// A folder of files that lives as long as a test: path("x.out") is a file in it.
class ScratchFolder {
 public:
  QString operator()(const char* name) const { return dir_.filePath(QLatin1String(name)); }

 private:
  QTemporaryDir dir_;
};

// A shown main window with the example stand's parameter file and `drivers`
// chosen, writing to `output` with the stop time `stop`, ready to run.
struct ExampleWindow {
  ScriptedDialogs dialogs;
  TMainForm window{dialogs};
  QSignalSpy finished{&window, &TMainForm::run_finished};

  ExampleWindow(const QString& drivers, const QString& output, const QString& stop) {
    window.show();
    choose_files(window, example_file("vindrel-example.par"), drivers, output);
    type_into(window, "MEStopTime", stop);
  }
  // Presses Run.
  void run() { child<QPushButton>(window, "BtnRun")->click(); }
};

}  // namespace vindrel::ui::testing
