// The parameter editor: the model's parameters grouped by the process that
// owns them, one page per process with parameters, each page showing the
// process's value at the calculation time above a grid of its parameters.
// A filter box finds a parameter by symbol or name and opens its page.
#pragma once

#include <QDialog>
#include <QPointer>
#include <vector>

#include "ui/dialogs.hpp"
#include "ui/program_state.hpp"
#include "ui/tdata_form.hpp"

class QLabel;
class QLineEdit;
class QPushButton;
class QUndoStack;
class QStackedWidget;
class QTableView;

namespace vindrel::ui {

class ColouredTabs;
class ParameterTableModel;

class TFmParameter : public QDialog {
  Q_OBJECT
 public:
  // exec() == QDialog::Accepted means OK.
  TFmParameter(ProgramState& program, Dialogs& dialogs, TDataForm& data_form,
               QWidget* parent = nullptr);
  ~TFmParameter() override;

  // Both fill the window (show_contents) before showing it.
  int exec() override;
  void open() override;

  // What showing the window does: the caption, the process values calculated
  // at the calculation time (or a warning why not), the value labels and the
  // value cells from the tables. After an update (from_update) the Cancel
  // button and the applied mark stay as they are.
  void show_contents(bool from_update);
  // Looks up the drivers at the calculation time and evaluates the equations
  // on the model's tables. Throws on any failure.
  void CalculateProcesses();
  // "&Update processes": applies the grids (asking first, once per showing)
  // and shows the new process values. False when cancelled or refused.
  bool UpdateProcesses();

  // Pages, in process order.
  int page_count() const noexcept { return static_cast<int>(pages_.size()); }
  int current_page() const;
  void set_current_page(int page);
  int page_of_process(int process) const;  // -1 when the process has no page
  QWidget* page(int page) const { return pages_.at(static_cast<std::size_t>(page)).widget; }
  QTableView* grid(int page) const { return pages_.at(static_cast<std::size_t>(page)).grid; }
  ParameterTableModel* page_model(int page) const {
    return pages_.at(static_cast<std::size_t>(page)).model;
  }
  QLabel* value_label(int page) const { return pages_.at(static_cast<std::size_t>(page)).value; }
  QLabel* symbol_label(int page) const { return pages_.at(static_cast<std::size_t>(page)).symbol; }
  QLabel* units_label(int page) const { return pages_.at(static_cast<std::size_t>(page)).units; }
  ColouredTabs* tabs() const noexcept { return tabs_; }
  QLineEdit* filter() const noexcept { return EdFilter; }
  QLabel* filter_result() const noexcept { return LbFound; }
  QLabel* calculation_note() const noexcept { return LbCalculation; }
  QPushButton* update_button() const noexcept { return BtnUpdateProc; }
  QPushButton* show_all_button() const noexcept { return BtnShowAllProcess; }
  QPushButton* ok_button() const noexcept { return BtnOK; }
  QPushButton* close_button() const noexcept { return BtnClose; }
  // The edits of the values since the window was filled, to undo and redo.
  QUndoStack* edit_history() const noexcept { return edit_history_; }
  bool parameters_applied() const noexcept { return applied_; }

  // The filter: shows the page of the first parameter matching `text` (by
  // symbol or name, ignoring case); with `select`, the next match after the
  // one selected last gets the cursor. False when nothing matches.
  bool find_parameter(const QString& text, bool select);

 public slots:
  // Closing in any way hides the process view beside the window.
  void done(int result) override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Page {
    int process = 0;
    QWidget* widget = nullptr;
    QTableView* grid = nullptr;
    ParameterTableModel* model = nullptr;
    QLabel* symbol = nullptr;
    QLabel* value = nullptr;
    QLabel* units = nullptr;
  };
  void build_pages();
  void close_editors();
  // Checks every value cell of every page and, when all are numbers, writes
  // them into the parameter table. A bad cell changes nothing: it is named in
  // an error box and gets the cursor.
  bool apply_parameters();
  void ok_clicked();
  void show_all_clicked();
  void go_to_cell(int page, int row);

  ProgramState& program_;
  Dialogs& dialogs_;
  TDataForm& data_form_;
  QPointer<TDataForm> data_form_alive_;  // null once the state and process window is gone
  std::vector<Page> pages_;
  ColouredTabs* tabs_;
  QStackedWidget* stack_;
  QLineEdit* EdFilter;
  QLabel* LbFound;
  QLabel* LbCalculation;
  QPushButton* BtnUpdateProc;
  QPushButton* BtnShowAllProcess;
  QPushButton* BtnOK;
  QPushButton* BtnClose;
  QUndoStack* edit_history_ = nullptr;
  bool applied_ = false;  // the grids were written into the table during this showing
  int last_found_ = -1;   // parameter-table entry the filter selected last
};

}  // namespace vindrel::ui
