// The parameter editor driven through the real window: its pages and grids,
// the process values at the calculation time and the warnings when they
// cannot be calculated, Update with its one confirmation, OK, Cancel and
// Close, the process view beside it, a cell that is not a number, the filter.
#include <QAbstractItemModelTester>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QtTest>
#include <array>
#include <charconv>
#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
// GCC 12 at -O3 warns, wrongly, that a moved std::optional<QString> in the
// scripted answers may be used uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "ui/coloured_tabs.hpp"
#include "ui/parameter_table_model.hpp"
#include "ui/state_table_model.hpp"
#include "ui/tdata_form.hpp"
#include "ui/tfm_parameter.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::ScriptedDialogs;

namespace {

int process_named(const Model& model, const char* name) {
  for (int p = 1; p <= model.ModelInfo.ProcessCount; ++p) {
    if (model.processes[p].name == name) return p;
  }
  return -1;
}

const char* const kPar = VINDREL_SOURCE_DIR "/examples/vindrel-example.par";
const char* const kDrr = VINDREL_SOURCE_DIR "/examples/vindrel-example.drr";
// The process values that `vindrel-cli eval` prints, by position.
std::map<int, double> eval_values(double time, double start) {
  const std::string command = std::string("'") + VINDREL_CLI + "' eval --par '" + kPar +
                              "' --drivers '" + kDrr + "' --time " + std::to_string(time) +
                              " --start " + std::to_string(start);
  std::map<int, double> values;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return values;
  std::array<char, 256> line{};
  while (std::fgets(line.data(), static_cast<int>(line.size()), pipe) != nullptr) {
    const std::string text(line.data());
    const std::size_t first = text.find('\t');
    const std::size_t second = text.find('\t', first + 1);
    if (second == std::string::npos) continue;
    double value = 0.0;
    std::from_chars(text.data() + second + 1, text.data() + text.size(), value);
    values[std::stoi(text.substr(0, first))] = value;
  }
  pclose(pipe);
  return values;
}

const QString kConfirm =
    QStringLiteral("Previous parameter values will be lost if you proceed. Continue?");

// Types `text` into the value cell of `row` on the editor's current page.
void type_value(TFmParameter& editor, int row, const QString& text) {
  QTableView* grid = editor.grid(editor.current_page());
  grid->setCurrentIndex(QModelIndex());
  grid->setCurrentIndex(grid->model()->index(row, ParameterTableModel::kValue));
  QLineEdit* cell = nullptr;  // closed editors linger until deleted later
  for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>()) {
    if (e->isVisible()) cell = e;
  }
  QVERIFY(cell);
  cell->selectAll();
  QTest::keyClicks(cell, text);
  QTest::keyClick(cell, Qt::Key_Return);
}

}  // namespace

class TestParameterEditor : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramState> program;
  std::unique_ptr<ScriptedDialogs> dialogs;
  std::unique_ptr<TDataForm> data_form;
  std::unique_ptr<TFmParameter> editor;

  int latitude() const {
    return FirstParamIndex(program->model, program->model.ModelInfo.StateCount + 3) + 1;
  }

 private slots:
  void init() {
    program = std::make_unique<ProgramState>();
    dialogs = std::make_unique<ScriptedDialogs>();
    QVERIFY(ReadParamFile(kPar, program->model));
    program->set(&RunSettings::parameter_file, kPar);
    program->set(&RunSettings::driver_file, kDrr);
    program->set(&RunSettings::calculation_time, 200.0);
    data_form = std::make_unique<TDataForm>(*program, *dialogs);
    editor = std::make_unique<TFmParameter>(*program, *dialogs, *data_form);
  }
  void cleanup() {
    editor.reset();
    data_form.reset();
  }

  void one_coloured_page_per_process_with_parameters() {
    const Model& model = program->model;
    const int states = model.ModelInfo.StateCount;
    int expected = 0;
    for (int p = states + 1; p <= model.ModelInfo.ProcessCount; ++p) {
      if (model.processes[p].parameters == 0) {
        QCOMPARE(editor->page_of_process(p), -1);
        continue;
      }
      const int page = editor->page_of_process(p);
      QCOMPARE(page, expected++);
      QCOMPARE(editor->page(page)->objectName(), QStringLiteral("Ts%1").arg(p - states));
      QCOMPARE(editor->tabs()->tab_text(page), QString::fromStdString(model.processes[p].name));
      QCOMPARE(editor->page_model(page)->rowCount(), model.processes[p].parameters);
    }
    QCOMPARE(editor->page_count(), expected);
    QCOMPARE(editor->tabs()->count(), expected);

    // Foliage Phenology has 6 parameters: the header row and 6 rows.
    const int phenology = editor->page_of_process(process_named(model, "Foliage Phenology"));
    QCOMPARE(editor->tabs()->tab_text(phenology), QStringLiteral("Foliage Phenology"));
    QAbstractItemModelTester tester(editor->page_model(phenology),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(editor->page_model(phenology)->rowCount(), 6);
    QCOMPARE(editor->page_model(phenology)->headerData(2, Qt::Horizontal).toString(),
             QStringLiteral("Parameter Value"));
    for (int c = 0; c < 4; ++c) {
      QCOMPARE(editor->page_model(phenology)
                   ->flags(editor->page_model(phenology)->index(0, c))
                   .testFlag(Qt::ItemIsEditable),
               c == ParameterTableModel::kValue);
    }
    // Tab colours follow the process's family: day length is climate (silver,
    // black text), rainfall water (navy, white).
    QCOMPARE(editor->tabs()->tab_colour(0), QColor(192, 192, 192));
    QCOMPARE(editor->tabs()->tab_text_colour(0), QColor(Qt::black));
    QCOMPARE(editor->tabs()->tab_colour(1), QColor(0, 0, 128));

    // Clicking a tab shows its page.
    editor->show();
    QTest::mouseClick(editor->tabs(), Qt::LeftButton, {},
                      editor->tabs()->tab_rect(phenology).center());
    QCOMPARE(editor->current_page(), phenology);
    QVERIFY(editor->page(phenology)->isVisible());
  }

  void process_values_are_those_that_eval_prints() {
    // The editor and `vindrel-cli eval` evaluate at the same time and start.
    program->set(&RunSettings::start_time, 1.0);
    const std::map<int, double> printed = eval_values(200.0, 1.0);
    QCOMPARE(static_cast<int>(printed.size()), program->model.ModelInfo.ProcessCount);
    Model expected = program->model;
    for (const auto& [position, value] : printed) expected.processes[position].value = value;

    editor->open();
    QVERIFY(dialogs->messages.empty());
    QCOMPARE(editor->windowTitle(), QStringLiteral("Parameters - File: ") + kPar);
    for (const auto& [position, value] : printed) {
      QCOMPARE(program->model.processes[position].value, value);
    }
    for (int page = 0; page < editor->page_count(); ++page) {
      const int p = editor->page_model(page)->process();
      QCOMPARE(editor->value_label(page)->text(),
               QString::fromStdString(general5_text(expected.processes[p].value)));
      QCOMPARE(editor->symbol_label(page)->text(),
               QString::fromStdString(expected.processes[p].symbol));
    }
    QCOMPARE(editor->close_button()->text(), QStringLiteral("&Cancel"));
  }

  void warnings_when_values_cannot_be_calculated() {
    program->set_driver_file({});
    editor->show_contents(false);
    QCOMPARE(dialogs->texts(),
             QStringList{"No Driver File. Process values will not be calculated."});
    QCOMPARE(dialogs->messages[0].kind, MessageKind::kWarning);

    program->set(&RunSettings::driver_file, VINDREL_SOURCE_DIR "/examples/no-such-file.drr");
    editor->show_contents(false);
    QCOMPARE(dialogs->messages.size(), size_t(2));
    QCOMPARE(dialogs->messages[1].text,
             QStringLiteral("Invalid Parameter. Process values will not be calculated."));

    // A new driver file skips the calculation without a word.
    program->set(&MainFlags::driver_file_new, true);
    editor->show_contents(false);
    QCOMPARE(dialogs->messages.size(), size_t(2));
    // Grids still show the parameters.
    QCOMPARE(
        editor->page_model(0)->value_cell(0),
        QString::fromStdString(shortest_decimal_text(program->model.parameters[latitude()].value)));
  }

  void cancel_keeps_the_table_and_reopening_shows_it() {
    const double before = program->model.parameters[latitude()].value;
    editor->open();
    type_value(*editor, 0, QStringLiteral("12"));
    QTest::mouseClick(editor->close_button(), Qt::LeftButton);
    QCOMPARE(editor->result(), int(QDialog::Rejected));
    QCOMPARE(program->model.parameters[latitude()].value, before);
    QVERIFY(!program->flags.parameters_modified);
    editor->open();
    QCOMPARE(editor->page_model(0)->value_cell(0),
             QString::fromStdString(shortest_decimal_text(before)));
  }

  void ctrl_z_undoes_a_typed_value_and_ctrl_y_redoes_it() {
    editor->open();
    QVERIFY(QTest::qWaitForWindowActive(editor.get()));
    const QString before = editor->page_model(0)->value_cell(0);
    type_value(*editor, 0, QStringLiteral("12"));
    editor->grid(0)->setCurrentIndex(QModelIndex());  // no cell editor open
    QTest::keyClick(editor->grid(0), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(editor->page_model(0)->value_cell(0), before);
    QTest::keyClick(editor->grid(0), Qt::Key_Y, Qt::ControlModifier);
    QCOMPARE(editor->page_model(0)->value_cell(0), QStringLiteral("12"));
  }

  void update_applies_at_once_and_asks_only_the_first_time() {
    editor->open();
    const QString hd_before = editor->value_label(0)->text();
    type_value(*editor, 0, QStringLiteral("1e-3"));
    dialogs->answers = {MessageAnswer::kOk};
    QTest::mouseClick(editor->update_button(), Qt::LeftButton);
    QCOMPARE(dialogs->texts(), QStringList{kConfirm});
    QCOMPARE(dialogs->messages[0].buttons, MessageButtons::kOkCancel);
    QCOMPARE(program->model.parameters[latitude()].value, 0.001);
    QVERIFY(program->flags.parameters_modified);
    QCOMPARE(editor->close_button()->text(), QStringLiteral("&Close"));
    // Day length near the equator at mid-year differs from the example stand's.
    QVERIFY(editor->value_label(0)->text() != hd_before);

    type_value(*editor, 0, QStringLiteral("30"));
    QTest::mouseClick(editor->update_button(), Qt::LeftButton);
    QCOMPARE(dialogs->messages.size(), size_t(1));  // no second question
    QCOMPARE(program->model.parameters[latitude()].value, 30.0);

    // Close keeps what Update applied.
    QTest::mouseClick(editor->close_button(), Qt::LeftButton);
    QCOMPARE(program->model.parameters[latitude()].value, 30.0);

    // A new showing asks again; answering Cancel applies nothing.
    editor->open();
    type_value(*editor, 0, QStringLiteral("5"));
    dialogs->answers = {MessageAnswer::kCancel};
    QTest::mouseClick(editor->update_button(), Qt::LeftButton);
    QCOMPARE(dialogs->messages.size(), size_t(2));
    QCOMPARE(program->model.parameters[latitude()].value, 30.0);
    QCOMPARE(editor->close_button()->text(), QStringLiteral("&Cancel"));
  }

  void ok_applies_and_a_bad_cell_changes_nothing() {
    editor->open();
    type_value(*editor, 0, QStringLiteral("44"));
    const int page = editor->page_of_process(process_named(program->model, "Foliage Phenology"));
    editor->set_current_page(page);
    type_value(*editor, 2, QStringLiteral("two"));
    editor->set_current_page(0);
    const paramarray before = program->model.parameters;
    QTest::mouseClick(editor->ok_button(), Qt::LeftButton);
    QVERIFY(editor->isVisible());
    QCOMPARE(dialogs->messages.size(), size_t(1));
    const QString text = dialogs->messages[0].text;
    QVERIFY2(text.startsWith("\"two\" is not a number") && text.contains("Foliage Phenology"),
             qPrintable(text));
    for (int i = 1; i <= program->model.ModelInfo.ParameterCount; ++i) {
      QCOMPARE(program->model.parameters[i].value, before[i].value);
    }
    QVERIFY(!program->flags.parameters_modified);
    QCOMPARE(editor->current_page(), page);
    QCOMPARE(editor->grid(page)->currentIndex().row(), 2);

    type_value(*editor, 2, QStringLiteral("2"));
    QTest::mouseClick(editor->ok_button(), Qt::LeftButton);
    QCOMPARE(editor->result(), int(QDialog::Accepted));
    QCOMPARE(program->model.parameters[latitude()].value, 44.0);
    QCOMPARE(program->model.parameters[editor->page_model(page)->parameter(2)].value, 2.0);
    QVERIFY(program->flags.parameters_modified);
  }

  void show_all_opens_the_process_view_beside_the_editor() {
    editor->open();
    dialogs->answers = {MessageAnswer::kOk};
    QTest::mouseClick(editor->show_all_button(), Qt::LeftButton);
    QVERIFY(data_form->isVisible());
    QVERIFY(data_form->showing_processes());
    QCOMPARE(data_form->grid()->model()->rowCount(), 189);
    const int hd = program->model.ModelInfo.StateCount + 3;
    type_value(*editor, 0, QStringLiteral("0"));
    QTest::mouseClick(editor->update_button(), Qt::LeftButton);
    QCOMPARE(data_form->grid()->model()->index(hd - 1, StateTableModel::kValue).data().toString(),
             QString::fromStdString(shortest_decimal_text(program->model.processes[hd].value)));
    QTest::mouseClick(editor->ok_button(), Qt::LeftButton);
    QVERIFY(!data_form->isVisible());
  }

  void the_process_view_takes_input_while_the_editor_is_modal() {
    dialogs->answers = {MessageAnswer::kOk};
    bool closed_by_click = false;
    QTimer::singleShot(0, editor.get(), [&] {
      QTest::mouseClick(editor->show_all_button(), Qt::LeftButton);
      QVERIFY(data_form->isVisible());
      // A click through the window system, where modal windows block others.
      QWidget* close = data_form->cancel_button();
      QTest::mouseClick(data_form->windowHandle(), Qt::LeftButton, {},
                        close->mapTo(data_form.get(), close->rect().center()));
      closed_by_click = !data_form->isVisible();
      editor->reject();
    });
    editor->exec();
    QVERIFY(closed_by_click);
  }

  void filter_finds_a_parameter_by_symbol_or_name() {
    editor->open();
    const Tparamvariable& wanted = program->model.parameters[latitude()];
    editor->set_current_page(5);
    QTest::keyClicks(editor->filter(), QString::fromStdString(wanted.symbol));
    QCOMPARE(editor->current_page(), 0);
    QTest::keyClick(editor->filter(), Qt::Key_Return);
    QVERIFY(editor->isVisible());  // Return does not close the window
    QCOMPARE(editor->grid(0)->currentIndex().row(), 0);
    QCOMPARE(editor->grid(0)->currentIndex().column(), int(ParameterTableModel::kValue));

    // By name, ignoring case: a parameter of the last page.
    const int last = editor->page_count() - 1;
    const QString name = QString::fromStdString(
        program->model.parameters[editor->page_model(last)->parameter(0)].name);
    editor->filter()->clear();
    QTest::keyClicks(editor->filter(), name.toUpper());
    QCOMPARE(editor->current_page(), last);
    editor->filter()->clear();
    QTest::keyClicks(editor->filter(), QStringLiteral("no such thing"));
    QCOMPARE(editor->filter_result()->text(), QStringLiteral("No parameter matches"));
  }
};

QTEST_MAIN(TestParameterEditor)
#include "test_parameter_editor.moc"
