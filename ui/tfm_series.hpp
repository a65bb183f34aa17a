// The series chooser: picks the independent variable (one) or the dependent
// variables (several) of the output display's chart from the sorted list of
// output columns.
#pragma once

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class QListWidget;
class QPushButton;

namespace vindrel::ui {

// Lays out a list box in `columns` columns that fill its width, the items
// running down each column in turn.
void set_list_columns(QListWidget* list, int columns);
// Keeps `list` in the columns that `columns()` gives, whenever the list is resized.
void keep_list_columns(QListWidget* list, std::function<int()> columns);
// max(1, round(width / 200)): the column count of a list of variables.
int list_columns_for_width(int width);
// The variable list's order: alphabetical, letter case ignored, duplicates kept.
QStringList sorted_variable_names(QStringList names);

class TFmSeries final : public QDialog {
  Q_OBJECT

 public:
  explicit TFmSeries(QWidget* parent = nullptr);

  // Independent axis: single choice, `current` preselected.
  void prepare_independent(const QStringList& sorted_names, const QString& current);
  // Dependent axis: several choices, preselected item by item from `selected`.
  void prepare_dependent(const QStringList& sorted_names, const QList<bool>& selected);

  bool independent() const noexcept { return independent_; }
  // The chosen item for the independent axis ("" when none).
  QString selected_name() const;
  // Which items are selected, in list order.
  QList<bool> selection() const;

  QListWidget* LbxChooseSeries = nullptr;
  QPushButton* BtnOK = nullptr;
  QPushButton* BtnCancel = nullptr;
  QPushButton* BtnClearSelection = nullptr;

 private:
  void fill(const QStringList& sorted_names);

  bool independent_ = true;
};

}  // namespace vindrel::ui
