// The state and process tables. The state view (modal) edits the initial value
// of every state and its HoldConstant and Reset flags; the process view
// (non-modal) lists every process value, the derivatives first. Each opening
// keeps a private copy of the state table, which Cancel (or Close) restores.
#pragma once

#include <QDialog>
#include <QPointer>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"

class QPushButton;
class QUndoStack;
class QTableView;

namespace vindrel::ui {

class StateTableModel;
class ProcessTableModel;

class TDataForm : public QDialog {
  Q_OBJECT
 public:
  TDataForm(ProgramState& program, Dialogs& dialogs, QWidget* parent = nullptr);

  // The state view, modal: prepare_states(), then exec().
  void ShowStates();
  // The process view, non-modal: prepare_processes(), then show(). Opened from
  // a modal window, it becomes that window's child so that it takes input.
  void ShowProcess();
  // Shows the process table's current values again, while the process view is
  // visible (the parameter editor calls it after each update).
  void refresh_processes();

  // What the two openings do before showing the window.
  void prepare_states();
  void prepare_processes();
  bool showing_processes() const noexcept { return process_view_; }
  // Makes the window the child of the parent given at its creation again (the
  // process view is the child of the modal window that opened it).
  void return_to_owner();

  QTableView* grid() const noexcept { return AdvStringGrid1; }
  StateTableModel* state_model() const noexcept { return state_model_; }
  ProcessTableModel* process_model() const noexcept { return process_model_; }
  QPushButton* ok_button() const noexcept { return BtnOK; }
  QPushButton* cancel_button() const noexcept { return BtnCancel; }
  // The edits of the state table since it was filled, to undo and redo.
  QUndoStack* edit_history() const noexcept { return edit_history_; }

 public slots:
  // Cancel and Close: the state table as it was at the opening.
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void ok_clicked();
  void use_model(bool processes);
  void size_columns();

  ProgramState& program_;
  Dialogs& dialogs_;
  QPointer<QWidget> owner_;  // the parent given at creation
  StateTableModel* state_model_;
  ProcessTableModel* process_model_;
  QTableView* AdvStringGrid1;
  QPushButton* BtnOK;
  QPushButton* BtnCancel;
  QUndoStack* edit_history_ = nullptr;
  statearray saved_states_{};  // the private copy
  bool process_view_ = false;
};

}  // namespace vindrel::ui
