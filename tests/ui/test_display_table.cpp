// The output display in table mode: the records of an output file as numbers,
// drawn in printf's %g forms whatever the locale, the three header lines from
// the model definition, records before the start time left out, the caption,
// a reopening that does not read the file again, the time column that stays
// in view while the table scrolls sideways, and the CSV export.
#include <QAbstractItemModelTester>
#include <QFile>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>
#include <clocale>
#include <cstdio>
#include <memory>
#include <random>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "fileio/number_format.hpp"
#include "tests/ui/display_test_support.hpp"
#include "ui/output_table_model.hpp"
#include "ui/output_table_view.hpp"
#include "ui/tfm_display_data.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::output_value;
using vindrel::ui::testing::ScriptedDialogs;
using vindrel::ui::testing::write_output_file;

namespace {

// One CSV line's fields, quotes honoured (names like "N: wood, dead" are quoted).
QStringList split_csv(const QString& line) {
  QStringList fields{QString()};
  bool quoted = false;
  for (qsizetype i = 0; i < line.size(); ++i) {
    const QChar ch = line[i];
    if (quoted && ch == '"' && i + 1 < line.size() && line[i + 1] == '"') {
      fields.back() += '"';
      ++i;
    } else if (ch == '"') {
      quoted = !quoted;
    } else if (ch == ',' && !quoted) {
      fields << QString();
    } else {
      fields.back() += ch;
    }
  }
  return fields;
}

}  // namespace

class TestDisplayTable : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    QVERIFY(dir_.isValid());
    program_ = std::make_unique<ProgramState>();
    program_->set(&RunSettings::start_time, 1.0);
  }

  void TheTimeColumnStaysWhileScrollingSideways() {
    const QString file = dir_.filePath("wide.out");
    std::vector<double> times(400);
    for (std::size_t k = 0; k < times.size(); ++k) times[k] = static_cast<double>(k + 1);
    write_output_file(file, times, [](Model& m, std::size_t k) {
      output_value(m, 100) = static_cast<double>(k) / 10.0;
    });
    ScriptedDialogs dialogs;
    TFmDisplayData window(*program_, dialogs);
    window.set_output_file(file);
    window.resize(900, 600);
    window.prepare_to_show(true);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* table = qobject_cast<FrozenColumnTableView*>(window.SgModelOutput);
    QVERIFY(table);
    QTableView* time = table->frozen_view();
    // Scrolled to column 100 and down to day 300.
    table->scrollTo(window.table().index(299, 100), QAbstractItemView::PositionAtCenter);
    QCoreApplication::processEvents();
    QVERIFY(table->horizontalScrollBar()->value() > 0);
    QVERIFY(time->isVisible());
    QCOMPARE(time->geometry().left(), table->frameWidth());
    QCOMPARE(time->columnWidth(0), table->columnWidth(0));
    // The frozen view shows the time of the rows the table shows, and no other column.
    const QPoint middle(5, table->viewport()->height() / 2);
    const QModelIndex shown = table->indexAt(middle);
    const QModelIndex frozen = time->indexAt(middle);
    QVERIFY(shown.column() > 1);
    QCOMPARE(frozen.column(), 0);
    QCOMPARE(frozen.row(), shown.row());
    QCOMPARE(frozen.data().toString(), QString::number(shown.row() + 1));
    for (int c = 1; c < window.table().columns(); ++c) QVERIFY(time->isColumnHidden(c));
    QCOMPARE(time->horizontalHeader()->height(), table->horizontalHeader()->height());
    QVERIFY(dialogs.messages.empty());
  }

  void CellsShowTheFileNumbersUnderThreeHeaderLines() {
    const QString file = dir_.filePath("short.out");
    write_output_file(file, {0.5, 1.0, 2.0, 36600.0}, [](Model& m, std::size_t k) {
      output_value(m, 1) = 1.25 * static_cast<double>(k);
      output_value(m, 2) = 1234567.0;
      output_value(m, 207) = -0.00001;
    });
    ScriptedDialogs dialogs;
    TFmDisplayData window(*program_, dialogs);
    window.set_output_file(file);
    window.prepare_to_show(true);
    QAbstractItemModelTester tester(&window.table(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(dialogs.messages.empty());
    QCOMPARE(window.windowTitle(), "Model Output - File: " + file);
    QCOMPARE(window.SgModelOutput->model(), &window.table());
    QVERIFY(window.SgModelOutput->isVisible() || !window.isVisible());

    const auto* model = window.SgModelOutput->model();
    QCOMPARE(model->columnCount(), 208);
    QCOMPARE(model->rowCount(), 3);  // the record at 0.5 lies before the start time
    const auto header = [&](int c) { return model->headerData(c, Qt::Horizontal).toString(); };
    QCOMPARE(header(0), QString("0\nTime\ndays"));
    const Model& defined = program_->model;
    QCOMPARE(header(1), "1\n" + QString::fromStdString(defined.drivers[1].name) + "\n" +
                            QString::fromStdString(defined.drivers[1].units));
    const int last_process = defined.ModelInfo.ProcessCount;
    QCOMPARE(header(207), "207\n" + QString::fromStdString(defined.processes[last_process].name) +
                              "\n" + QString::fromStdString(defined.processes[last_process].units));
    const auto cell = [&](int r, int c) { return model->index(r, c).data().toString(); };
    QCOMPARE(cell(0, 0), QString("1"));
    QCOMPARE(cell(2, 0), QString("36600"));
    QCOMPARE(cell(0, 1), QString("1.25"));
    QCOMPARE(cell(2, 1), QString("3.75"));
    QCOMPARE(cell(1, 2), QString("1.23457e+06"));
    QCOMPARE(cell(1, 207), QString("-1e-05"));
    QCOMPARE(cell(1, 100), QString("0"));
  }

  void FormatsMatchPrintfInTheCLocaleWhateverTheLocale() {
    std::vector<double> values = {0.0,       -0.0,     1.0,      0.5,         1e-5,  1e-4,
                                  123456.,   1234567., 999999.5, 9.999995e-5, 1e300, -2.5e-300,
                                  1.0 / 3.0, 36600.0,  0.1,      5e-324,      1e21,  -123.456789};
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> mantissa(-10.0, 10.0);
    std::uniform_int_distribution<int> exponent(-30, 30);
    for (int i = 0; i < 2000; ++i) {
      values.push_back(mantissa(random) * std::pow(10.0, exponent(random)));
    }
    std::setlocale(LC_ALL, "C");
    QStringList expected;
    for (double v : values) {
      char buffer[64];
      std::snprintf(buffer, sizeof buffer, "%.6g", v);
      expected << QString::fromLatin1(buffer);
    }
    // A decimal comma in the user's settings must change nothing.
    const bool german = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    for (std::size_t i = 0; i < values.size(); ++i) {
      QCOMPARE(OutputTableModel::cell_text(values[i], 0), expected[static_cast<qsizetype>(i)]);
      QCOMPARE(OutputTableModel::cell_text(values[i], 5), expected[static_cast<qsizetype>(i)]);
    }
    QCOMPARE(printf_g_text(std::numeric_limits<double>::infinity(), 6), QString("inf"));
    QCOMPARE(printf_g_text(-std::numeric_limits<double>::infinity(), 6), QString("-inf"));
    QCOMPARE(printf_g_text(std::numeric_limits<double>::quiet_NaN(), 6), QString("nan"));
    std::setlocale(LC_ALL, "C");
    QLocale::setDefault(QLocale::c());
    if (!german) qInfo("de_DE.UTF-8 is not installed: checked with the German QLocale only");
  }

  void RecordsBeforeTheStartTimeLeaveOnlyTheHeader() {
    const QString file = dir_.filePath("early.out");
    write_output_file(file, {1.0, 2.0, 3.0}, [](Model&, std::size_t) {});
    program_->set(&RunSettings::start_time, 10.0);
    ScriptedDialogs dialogs;
    TFmDisplayData window(*program_, dialogs);
    window.set_output_file(file);
    window.prepare_to_show(true);
    QCOMPARE(window.table().rowCount(), 0);
    QCOMPARE(window.table().headerData(0, Qt::Horizontal).toString(), QString("0\nTime\ndays"));
    QVERIFY(dialogs.messages.empty());
  }

  void ReopeningWithoutANewRunDoesNotReadTheFileAgain() {
    const QString file = dir_.filePath("kept.out");
    write_output_file(file, {1.0, 2.0}, [](Model& m, std::size_t k) {
      output_value(m, 3) = static_cast<double>(k) + 0.5;
    });
    ScriptedDialogs dialogs;
    TFmDisplayData window(*program_, dialogs);
    window.set_output_file(file);
    window.prepare_to_show(true);
    QVERIFY(!window.reload_needed());
    QTest::mouseClick(window.BtnCloseDisplay, Qt::LeftButton);
    QVERIFY(QFile::remove(file));
    window.prepare_to_show(true);
    QCOMPARE(window.table().rowCount(), 2);
    QCOMPARE(window.table().index(1, 3).data().toString(), QString("1.5"));
    QVERIFY(dialogs.messages.empty());

    // A new run marks the rows stale: now the missing file is reported, and
    // the next showing tries again.
    window.mark_reload_needed();
    window.prepare_to_show(true);
    QCOMPARE(dialogs.messages.size(), std::size_t{1});
    QVERIFY(dialogs.messages[0].text.contains("File not found"));
    QCOMPARE(window.table().rowCount(), 0);
    QVERIFY(window.reload_needed());
    window.set_output_step(2.0);
    QCOMPARE(window.output_step(), 2.0);
  }

  void TableExportsAsCsvThatReadsBackAsTheRecords() {
    const QString file = dir_.filePath("csv.out");
    write_output_file(file, {1.0, 2.0, 3.0}, [](Model& m, std::size_t k) {
      output_value(m, 1) = 0.1 * static_cast<double>(k + 1);
      output_value(m, 50) = -1.0 / 3.0;
    });
    ScriptedDialogs dialogs;
    TFmDisplayData window(*program_, dialogs);
    window.set_output_file(file);
    window.prepare_to_show(true);
    const QString csv = dir_.filePath("table.csv");
    dialogs.file_names.push_back(csv);
    window.MIExportTable->trigger();
    QVERIFY(dialogs.texts().isEmpty());
    QFile read(csv);
    QVERIFY(read.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(read.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    const QStringList header = split_csv(lines[0]);
    QCOMPARE(header.size(), 208);
    QCOMPARE(header[0], QString("Time [days]"));
    QCOMPARE(header[1], window.table().names()[1] + " [" + window.table().units()[1] + "]");
    for (int r = 0; r < 3; ++r) {
      const QStringList fields = lines[r + 1].split(',');
      QCOMPARE(fields.size(), 208);
      for (int c = 0; c < 208; ++c) {
        double value = 0.0;
        QVERIFY(parse_number(fields[c].toStdString(), value));
        QCOMPARE(value, window.table().value(static_cast<std::size_t>(r), c));
      }
    }
    QCOMPARE(window.table().value(2, 1), 0.3);  // 13 digits in the file give 0.3 back
  }

 private:
  QTemporaryDir dir_;
  std::unique_ptr<ProgramState> program_;
};

QTEST_MAIN(TestDisplayTable)
#include "test_display_table.moc"
