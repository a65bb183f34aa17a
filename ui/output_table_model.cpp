#include "ui/output_table_model.hpp"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <utility>

#include "fileio/output_file.hpp"

namespace vindrel::ui {

char* format_printf_g(char* out, double value, int precision) noexcept {
  // std::to_chars in the general format with a precision is defined as printf's
  // %.*g in the C locale, the spellings "inf", "-inf", "nan" and "-nan" included.
  const auto result = std::to_chars(out, out + 32, value, std::chars_format::general,
                                    precision < 1 ? 1 : precision);
  return result.ptr;
}

QString printf_g_text(double value, int precision) {
  char buffer[32];
  const char* end = format_printf_g(buffer, value, precision);
  return QString::fromLatin1(buffer, static_cast<qsizetype>(end - buffer));
}

OutputTableModel::OutputTableModel(QObject* parent) : TableModel({}, false, parent) {}

void OutputTableModel::set_definition(const Model& model) {
  beginResetModel();
  const TModelDef& info = model.ModelInfo;
  names_ = QStringList{QStringLiteral("Time")};
  units_ = QStringList{QString::fromStdString(info.TimeUnit)};
  for (std::int32_t i = 1; i <= info.DriverCount; ++i) {
    names_ << QString::fromStdString(model.drivers[i].name);
    units_ << QString::fromStdString(model.drivers[i].units);
  }
  for (std::int32_t i = 1; i <= info.StateCount; ++i) {
    names_ << QString::fromStdString(model.states[i].name);
    units_ << QString::fromStdString(model.states[i].units);
  }
  for (std::int32_t i = info.StateCount + 1; i <= info.ProcessCount; ++i) {
    names_ << QString::fromStdString(model.processes[i].name);
    units_ << QString::fromStdString(model.processes[i].units);
  }
  // Every column holds numbers.
  QList<ColumnSpec> columns;
  for (const QString& name : names_) columns.append({name, Cells::kNumber});
  set_columns(std::move(columns));
  numbers_.clear();
  records_ = 0;
  endResetModel();
}

void OutputTableModel::load(const std::string& file_name, const Model& model, double start_time) {
  beginResetModel();
  numbers_.clear();
  records_ = 0;
  const std::size_t width = names_.size();
  // The reader fills one row past the kept ones; a row before the start time
  // is simply overwritten by the next.
  std::vector<double> row(output_columns(model.ModelInfo));
  struct EndReset {
    OutputTableModel* self;
    ~EndReset() { self->endResetModel(); }
  } end_reset{this};
  OutputFileReader reader;
  reader.open(file_name);
  // Reserving for the records the file can hold avoids regrowing 60 MB blocks
  // for a century of daily records.
  std::error_code error;
  const auto bytes = std::filesystem::file_size(file_name, error);
  if (!error && width > 0)
    numbers_.reserve(static_cast<std::size_t>(bytes) / (width * 26 + 2) * width + width);
  try {
    while (reader.read_record(row.data(), model)) {
      if (row[0] < start_time) continue;
      numbers_.insert(numbers_.end(), row.begin(),
                      row.begin() + static_cast<std::ptrdiff_t>(std::min(width, row.size())));
      numbers_.resize((records_ + 1) * width, 0.0);
      ++records_;
    }
  } catch (...) {
    reader.close();
    throw;
  }
  reader.close();
}

int OutputTableModel::column_of(const QString& name) const {
  return static_cast<int>(names_.lastIndexOf(name));
}

QString OutputTableModel::cell_text(double value, int column) {
  // "%g" and "%.6g" are the same format: six significant digits.
  (void)column;
  return printf_g_text(value, 6);
}

QVariant OutputTableModel::shown(int row, int column) const {
  return cell_text(value(static_cast<std::size_t>(row), column), column);
}

Qt::ItemFlags OutputTableModel::flags(const QModelIndex& index) const {
  return QAbstractTableModel::flags(index);
}

QString OutputTableModel::header_line(int column, HeaderLine line) const {
  if (column < 0 || column >= columns()) return {};
  switch (line) {
    case kIndexLine:
      return QString::number(column);
    case kNameLine:
      return names_[column];
    case kUnitLine:
      return units_[column];
  }
  return {};
}

QVariant OutputTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation == Qt::Horizontal && section >= 0 && section < columns()) {
    if (role == Qt::DisplayRole) {
      return header_line(section, kIndexLine) + QLatin1Char('\n') +
             header_line(section, kNameLine) + QLatin1Char('\n') + header_line(section, kUnitLine);
    }
    if (role == Qt::TextAlignmentRole) {
      return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    }
  }
  if (orientation == Qt::Vertical && role == Qt::DisplayRole && section >= 0 &&
      section < rowCount()) {
    return QString::number(section + 1);
  }
  return {};
}

}  // namespace vindrel::ui
