// The names, long names and units of the output record's columns as the CSV
// and NetCDF outputs write them, and the values of a chosen set of columns.
//
// A column's position counts as in the output file: 0 is the time, then
// drivers 1..DriverCount, states 1..StateCount and the processes after the
// derivatives. So driver i sits at i, state i at DriverCount + i and process p
// (p > StateCount) at DriverCount + p.
//
// Every column's name is its symbol, unless another column of the record has
// the same symbol: then it is the symbol, "_", the table and its position in
// that table ("Ts_driver4" and "Ts_process57"). Names are
// thereby unique, are identifiers in Python, R and NetCDF, and do not depend
// on which columns were chosen. The time column is "time", in TimeUnit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/model.hpp"

namespace vindrel {

// Where a column's value comes from.
enum class ColumnTable : std::uint8_t { kTime, kDriver, kState, kProcess };

// "driver", "state", "process" or "time".
std::string_view column_table_word(ColumnTable table);

struct ColumnLabel {
  std::size_t position = 0;  // in the output record
  ColumnTable table = ColumnTable::kTime;
  std::int32_t index = 0;  // 1-based entry of its table (0 for the time)
  std::string name;        // unique, see above
  std::string long_name;   // the model's name ("Leaf Area Index")
  std::string units;       // the model's units text
};

// The labels of every column of the record, the time first.
std::vector<ColumnLabel> output_column_labels(const Model& model);

// The positions of every value column (1 to output_columns - 1).
std::vector<std::size_t> all_value_columns(const TModelDef& info);

// The labels of the time and then of `columns` (positions >= 1, in the order
// given; an empty list means every value column). Throws std::invalid_argument
// for a position outside the record or given twice.
std::vector<ColumnLabel> chosen_column_labels(const Model& model,
                                              std::span<const std::size_t> columns);

// The value of a labelled column in the model's tables at one record.
inline double column_value(const Model& model, const ColumnLabel& label) noexcept {
  switch (label.table) {
    case ColumnTable::kDriver:
      return model.drivers[static_cast<std::size_t>(label.index)].value;
    case ColumnTable::kState:
      return model.states[static_cast<std::size_t>(label.index)].value;
    case ColumnTable::kProcess:
      return model.processes[static_cast<std::size_t>(label.index)].value;
    case ColumnTable::kTime:
      break;
  }
  return 0.0;
}

}  // namespace vindrel
