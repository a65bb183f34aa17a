#include "ui/tdata_form.hpp"

#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableView>
#include <QUndoStack>
#include <QVBoxLayout>
#include <algorithm>

#include "ui/error_handler.hpp"
#include "ui/state_table_model.hpp"
#include "ui/value_cells.hpp"

namespace vindrel::ui {

TDataForm::TDataForm(ProgramState& program, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent),
      program_(program),
      dialogs_(dialogs),
      owner_(parent),
      state_model_(new StateTableModel(program.model, this)),
      process_model_(new ProcessTableModel(program.model, this)),
      AdvStringGrid1(new QTableView(this)),
      BtnOK(new QPushButton(QStringLiteral("&OK"), this)),
      BtnCancel(new QPushButton(QStringLiteral("&Cancel"), this)) {
  setObjectName(QStringLiteral("TDataForm"));
  AdvStringGrid1->setObjectName(QStringLiteral("AdvStringGrid1"));
  BtnOK->setObjectName(QStringLiteral("BtnOK"));
  BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
  BtnOK->setDefault(true);
  BtnOK->setAutoDefault(false);
  BtnCancel->setAutoDefault(false);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(BtnOK);
  buttons->addWidget(BtnCancel);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(buttons);
  layout->addWidget(AdvStringGrid1, 1);

  AdvStringGrid1->setItemDelegate(new GridDelegate(AdvStringGrid1));
  AdvStringGrid1->verticalHeader()->hide();
  AdvStringGrid1->setSelectionBehavior(QAbstractItemView::SelectItems);
  AdvStringGrid1->setWordWrap(false);
  QFont bold = AdvStringGrid1->horizontalHeader()->font();
  bold.setBold(true);
  AdvStringGrid1->horizontalHeader()->setFont(bold);
  AdvStringGrid1->horizontalHeader()->setStretchLastSection(true);
  resize(820, 600);

  edit_history_ = make_edit_history(*this);
  state_model_->set_undo_stack(edit_history_);

  connect(BtnOK, &QPushButton::clicked, this, &TDataForm::ok_clicked);
  connect(BtnCancel, &QPushButton::clicked, this, &TDataForm::reject);
}

void TDataForm::use_model(bool processes) {
  process_view_ = processes;
  QAbstractItemModel* model = processes ? static_cast<QAbstractItemModel*>(process_model_)
                                        : static_cast<QAbstractItemModel*>(state_model_);
  if (AdvStringGrid1->model() != model) AdvStringGrid1->setModel(model);
  AdvStringGrid1->setColumnHidden(0, processes);
  AdvStringGrid1->setColumnHidden(1, processes);
  if (processes) {
    AdvStringGrid1->setSelectionMode(QAbstractItemView::NoSelection);
    AdvStringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
  } else {
    // The value cell's editor opens as soon as the cell becomes current.
    AdvStringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    AdvStringGrid1->setEditTriggers(QAbstractItemView::AllEditTriggers);
  }
}

void TDataForm::size_columns() {
  AdvStringGrid1->resizeColumnsToContents();
  AdvStringGrid1->resizeRowsToContents();
}

void TDataForm::prepare_states() {
  return_to_owner();
  saved_states_ = program_.model.states;
  setWindowTitle(QStringLiteral("State Variables"));
  use_model(false);
  state_model_->fill();
  edit_history_->clear();
  size_columns();
  AdvStringGrid1->setColumnWidth(StateTableModel::kValue,
                                 std::max(AdvStringGrid1->columnWidth(StateTableModel::kValue),
                                          fontMetrics().horizontalAdvance(QLatin1Char('0')) * 24));
  BtnOK->show();
  BtnOK->setEnabled(true);
  BtnCancel->setText(QStringLiteral("&Cancel"));
  AdvStringGrid1->setFocus();
  AdvStringGrid1->setCurrentIndex(QModelIndex());
}

void TDataForm::prepare_processes() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal && modal != this && parentWidget() != modal) setParent(modal, windowFlags());
  saved_states_ = program_.model.states;
  setWindowTitle(QStringLiteral("Process Variables"));
  use_model(true);
  process_model_->refresh();
  size_columns();
  BtnOK->hide();
  BtnOK->setEnabled(false);
  BtnCancel->setText(QStringLiteral("&Close"));
}

void TDataForm::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // The cursor in the first value cell, its editor open: the view opens
  // editors only while it is visible.
  if (!process_view_ && state_model_->rowCount() > 0 && !AdvStringGrid1->currentIndex().isValid()) {
    AdvStringGrid1->setCurrentIndex(state_model_->index(0, StateTableModel::kValue));
  }
}

void TDataForm::return_to_owner() {
  if (parentWidget() != owner_.data()) setParent(owner_.data(), windowFlags());
}

void TDataForm::ShowStates() {
  prepare_states();
  exec();
}

void TDataForm::ShowProcess() {
  prepare_processes();
  show();
  raise();
  activateWindow();
}

void TDataForm::refresh_processes() {
  if (isVisible() && process_view_) process_model_->refresh();
}

void TDataForm::ok_clicked() {
  if (process_view_) return;
  guarded(this, dialogs_, [&] {
    // An editor still open holds the last typed text.
    AdvStringGrid1->setCurrentIndex(QModelIndex());
    // Every cell is checked before any value is written, so that a cell that
    // is not a number leaves the whole state table as it was.
    const int bad = state_model_->first_invalid_row();
    if (bad >= 0) {
      const Tstatevariable& state = program_.model.states[bad + 1];
      dialogs_.message(
          this, MessageKind::kError,
          QStringLiteral("\"%1\" is not a number: state %2 (%3, %4). "
                         "No state values were changed.")
              .arg(state_model_->value_cell(bad))
              .arg(bad + 1)
              .arg(QString::fromStdString(state.symbol), QString::fromStdString(state.name)),
          MessageButtons::kOk);
      const QModelIndex cell = state_model_->index(bad, StateTableModel::kValue);
      AdvStringGrid1->setFocus();
      AdvStringGrid1->scrollTo(cell);
      AdvStringGrid1->setCurrentIndex(cell);
      return;
    }
    // SaveStates: the flags are already in the table, set by their clicks.
    state_model_->save_values();
    state_model_->clear();
    const ProgramState::Batch batch(program_);
    program_.set(&MainFlags::parameters_modified, true);
    program_.set(&MainFlags::output_available, false);
    program_.states_edited();
    accept();
  });
}

void TDataForm::reject() {
  AdvStringGrid1->setCurrentIndex(QModelIndex());
  program_.model.states = saved_states_;
  state_model_->clear();
  QDialog::reject();
}

}  // namespace vindrel::ui
