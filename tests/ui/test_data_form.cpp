// The state and process tables driven through the real window: the check boxes
// act on the state table at once, OK stores typed values, Cancel restores, a
// cell that is not a number changes nothing, the process view lists every
// process with the first two columns hidden.
#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QUndoStack>
#include <QtTest>
#include <memory>

#include "fileio/param_file.hpp"
// GCC 12 at -O3 warns, wrongly, that a moved std::optional<QString> in the
// scripted answers may be used uninitialised.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "tests/ui/scripted_dialogs.hpp"
#pragma GCC diagnostic pop
#include "ui/state_table_model.hpp"
#include "ui/tdata_form.hpp"

using namespace vindrel;
using namespace vindrel::ui;
using vindrel::ui::testing::ScriptedDialogs;

namespace {

QString cell(QTableView* grid, int row, int column) {
  return grid->model()->index(row, column).data().toString();
}

void click_cell(QTableView* grid, int row, int column) {
  const QModelIndex index = grid->model()->index(row, column);
  QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
}

// Makes the value cell of `row` current (its editor opens at once), types
// `text` over it and presses Return.
void type_value(QTableView* grid, int row, const QString& text) {
  grid->setCurrentIndex(QModelIndex());
  grid->setCurrentIndex(grid->model()->index(row, StateTableModel::kValue));
  QLineEdit* editor = nullptr;  // closed editors linger until deleted later
  for (QLineEdit* e : grid->viewport()->findChildren<QLineEdit*>()) {
    if (e->isVisible()) editor = e;
  }
  QVERIFY(editor);
  editor->selectAll();
  QTest::keyClicks(editor, text);
  QTest::keyClick(editor, Qt::Key_Return);
}

}  // namespace

class TestDataForm : public QObject {
  Q_OBJECT

  std::unique_ptr<ProgramState> program;
  std::unique_ptr<ScriptedDialogs> scripted;

 private slots:
  void init() {
    program = std::make_unique<ProgramState>();
    scripted = std::make_unique<ScriptedDialogs>();
    QVERIFY(ReadParamFile(VINDREL_SOURCE_DIR "/examples/vindrel-example.par", program->model));
  }

  void state_view_shows_every_state_and_edits_only_values() {
    ScriptedDialogs& dialogs = *scripted;
    TDataForm form(*program, dialogs);
    form.prepare_states();
    form.show();
    QAbstractItemModelTester tester(form.grid()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(form.windowTitle(), QStringLiteral("State Variables"));
    QCOMPARE(form.grid()->model()->rowCount(), 55);
    const QStringList headers{"HoldConstant?",        "Reset?",
                              "State Symbol",         "State Variable Name",
                              "State Variable Value", "State Variable Units"};
    for (int c = 0; c < 6; ++c) {
      QCOMPARE(form.grid()->model()->headerData(c, Qt::Horizontal).toString(), headers[c]);
      QCOMPARE(form.grid()
                   ->model()
                   ->flags(form.grid()->model()->index(0, c))
                   .testFlag(Qt::ItemIsEditable),
               c == StateTableModel::kValue);
    }
    QVERIFY(!form.grid()->isColumnHidden(0));
    QCOMPARE(cell(form.grid(), 0, StateTableModel::kSymbol), QStringLiteral("Cf"));
    QCOMPARE(cell(form.grid(), 0, StateTableModel::kValue).toDouble(),
             program->model.states[1].value);
    QCOMPARE(form.cancel_button()->text(), QStringLiteral("&Cancel"));
    QVERIFY(form.ok_button()->isVisible());
    // The cursor stands in the first value cell with its editor open.
    QCOMPARE(form.grid()->currentIndex(), form.grid()->model()->index(0, StateTableModel::kValue));
    QVERIFY(form.grid()->viewport()->findChild<QLineEdit*>());
  }

  void check_boxes_act_at_once_and_cancel_restores() {
    ScriptedDialogs& dialogs = *scripted;
    TDataForm form(*program, dialogs);
    form.prepare_states();
    form.show();
    const double value = program->model.states[2].value;
    click_cell(form.grid(), 2, StateTableModel::kReset);
    QVERIFY(program->model.states[3].Reset);
    click_cell(form.grid(), 0, StateTableModel::kHoldConstant);
    QVERIFY(program->model.states[1].HoldConstant);
    type_value(form.grid(), 1, QStringLiteral("123"));
    QCOMPARE(program->model.states[2].value, value);  // values wait for OK

    QTest::mouseClick(form.cancel_button(), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QVERIFY(!program->model.states[3].Reset);
    QVERIFY(!program->model.states[1].HoldConstant);
    QCOMPARE(program->model.states[2].value, value);
    QVERIFY(!program->flags.parameters_modified);
  }

  void edits_are_undone_and_redone_with_the_keys() {
    ScriptedDialogs& dialogs = *scripted;
    TDataForm form(*program, dialogs);
    form.prepare_states();
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    const QString before = cell(form.grid(), 1, StateTableModel::kValue);
    auto press = [&](QKeyCombination keys) {
      form.grid()->setCurrentIndex(QModelIndex());  // no cell editor open
      QTest::keyClick(form.grid(), keys.key(), keys.keyboardModifiers());
    };
    type_value(form.grid(), 1, QStringLiteral("123"));
    click_cell(form.grid(), 2, StateTableModel::kReset);
    QVERIFY(program->model.states[3].Reset);
    press(Qt::CTRL | Qt::Key_Z);
    QVERIFY(!program->model.states[3].Reset);
    press(Qt::CTRL | Qt::Key_Z);
    QCOMPARE(cell(form.grid(), 1, StateTableModel::kValue), before);
    press(Qt::CTRL | Qt::Key_Y);
    QCOMPARE(cell(form.grid(), 1, StateTableModel::kValue), QStringLiteral("123"));
    QTest::mouseClick(form.ok_button(), Qt::LeftButton);
    QCOMPARE(program->model.states[2].value, 123.0);
    QVERIFY(!program->model.states[3].Reset);
    // Opened again: nothing left to undo.
    form.prepare_states();
    QCOMPARE(form.edit_history()->count(), 0);
    QVERIFY(dialogs.messages.empty());
  }

  void ok_stores_values_and_flags() {
    program->set(&MainFlags::output_available, true);
    ScriptedDialogs& dialogs = *scripted;
    TDataForm form(*program, dialogs);
    form.prepare_states();
    form.show();
    click_cell(form.grid(), 2, StateTableModel::kReset);
    type_value(form.grid(), 0, QStringLiteral("1e-3"));
    type_value(form.grid(), 4, QStringLiteral(" -2.5 "));
    QTest::mouseClick(form.ok_button(), Qt::LeftButton);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(program->model.states[1].value, 0.001);
    QCOMPARE(program->model.states[5].value, -2.5);
    QVERIFY(program->model.states[3].Reset);
    QVERIFY(program->flags.parameters_modified);
    QVERIFY(!program->flags.output_available);
    QVERIFY(dialogs.messages.empty());
  }

  void a_cell_that_is_not_a_number_changes_nothing() {
    ScriptedDialogs& dialogs = *scripted;
    TDataForm form(*program, dialogs);
    form.prepare_states();
    form.show();
    const statearray before = program->model.states;
    type_value(form.grid(), 0, QStringLiteral("7"));
    type_value(form.grid(), 20, QStringLiteral("12,5"));
    QTest::mouseClick(form.ok_button(), Qt::LeftButton);
    QVERIFY(form.isVisible());
    QCOMPARE(dialogs.messages.size(), size_t(1));
    QCOMPARE(dialogs.messages[0].kind, MessageKind::kError);
    const QString text = dialogs.messages[0].text;
    QVERIFY2(text.contains("\"12,5\"") && text.contains("state 21") && text.contains("Wr"),
             qPrintable(text));
    for (int i = 1; i <= 55; ++i) QCOMPARE(program->model.states[i].value, before[i].value);
    QCOMPARE(form.grid()->currentIndex().row(), 20);
    QCOMPARE(form.grid()->currentIndex().column(), int(StateTableModel::kValue));
    QVERIFY(!program->flags.parameters_modified);
  }

  void process_view_lists_all_processes_and_refreshes() {
    ScriptedDialogs& dialogs = *scripted;
    TDataForm form(*program, dialogs);
    program->model.processes[60].value = 1.5;
    form.ShowProcess();
    QAbstractItemModelTester tester(form.grid()->model(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    QVERIFY(form.isVisible());
    QVERIFY(!form.isModal());
    QCOMPARE(form.windowTitle(), QStringLiteral("Process Variables"));
    QCOMPARE(form.grid()->model()->rowCount(), 189);
    QVERIFY(form.grid()->isColumnHidden(0) && form.grid()->isColumnHidden(1));
    QVERIFY(!form.ok_button()->isVisible());
    QCOMPARE(form.cancel_button()->text(), QStringLiteral("&Close"));
    QCOMPARE(cell(form.grid(), 0, 2), QStringLiteral("dCfdt"));
    QCOMPARE(cell(form.grid(), 55, 3), QStringLiteral("Temp: air mean daily"));
    QCOMPARE(cell(form.grid(), 59, 4), QStringLiteral("1.5"));
    QCOMPARE(form.grid()->model()->flags(form.grid()->model()->index(59, 4)),
             Qt::ItemFlags(Qt::ItemIsEnabled));

    program->model.processes[60].value = 2.25;
    QCOMPARE(cell(form.grid(), 59, 4), QStringLiteral("1.5"));
    form.refresh_processes();
    QCOMPARE(cell(form.grid(), 59, 4), QStringLiteral("2.25"));

    // Close puts back the state table as it was when the view was opened.
    const double value = program->model.states[4].value;
    program->model.states[4].value = value + 1.0;
    QTest::mouseClick(form.cancel_button(), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(program->model.states[4].value, value);

    // The state view afterwards shows its own columns again.
    form.prepare_states();
    QVERIFY(!form.grid()->isColumnHidden(0));
    QCOMPARE(form.grid()->model()->rowCount(), 55);
  }
};

QTEST_MAIN(TestDataForm)
#include "test_data_form.moc"
