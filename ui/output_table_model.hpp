// The output file's records as numbers, shown as a table: one row per record,
// one column per output column (the time, the drivers, the states and the
// processes after the derivatives). The header of each column holds its index,
// name and unit from the model definition. A cell is formatted only when it is
// drawn, so a century of daily records opens at the speed of reading the file.
#pragma once

#include <QString>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "ui/table_model.hpp"

namespace vindrel::ui {

// printf's "%.<precision>g" in the C locale, whatever the program's locale:
// "1e-05", "123457", "-0.5", "inf", "nan". Writes at most 32 characters at
// `out` and returns the end.
char* format_printf_g(char* out, double value, int precision) noexcept;
QString printf_g_text(double value, int precision);

class OutputTableModel final : public TableModel {
  Q_OBJECT

 public:
  // The three header lines of every column.
  enum HeaderLine { kIndexLine = 0, kNameLine = 1, kUnitLine = 2 };

  explicit OutputTableModel(QObject* parent = nullptr);

  // Index, name and unit of every column from the model definition; drops the records.
  void set_definition(const Model& model);

  // Drops the records, then reads `file_name` through the output file reader,
  // keeping the records whose time is not below `start_time`. A reading error
  // is thrown after the records read before it have been kept.
  void load(const std::string& file_name, const Model& model, double start_time);

  // Records as numbers (row 0 is the first record kept).
  std::size_t records() const noexcept { return records_; }
  int columns() const noexcept { return static_cast<int>(names_.size()); }
  double value(std::size_t record, int column) const noexcept {
    return numbers_[record * names_.size() + static_cast<std::size_t>(column)];
  }
  const QStringList& names() const noexcept { return names_; }
  const QStringList& units() const noexcept { return units_; }
  // The last column whose name is `name`, or -1.
  int column_of(const QString& name) const;
  // The text a cell shows: "%g" for the time, "%.6g" for every other column.
  static QString cell_text(double value, int column);

  // Cells can be selected (for copying), not edited.
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;
  // One header line of a column (index, name or unit).
  QString header_line(int column, HeaderLine line) const;

 protected:
  int row_count() const override { return static_cast<int>(records_); }
  QVariant shown(int row, int column) const override;

 private:
  QStringList names_;
  QStringList units_;
  std::vector<double> numbers_;  // records_ x columns, row by row
  std::size_t records_ = 0;
};

}  // namespace vindrel::ui
