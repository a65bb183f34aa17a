#include "fileio/column_labels.hpp"

#include <algorithm>
#include <map>
#include <stdexcept>

#include "core/enum_names.hpp"
#include "fileio/output_file.hpp"

namespace vindrel {
std::string_view column_table_word(ColumnTable table) {
  constexpr EnumNames<ColumnTable, 4> kWords{{{
      {ColumnTable::kTime, "time"},
      {ColumnTable::kDriver, "driver"},
      {ColumnTable::kState, "state"},
      {ColumnTable::kProcess, "process"},
  }}};
  return kWords.name(table, "time");
}

std::vector<ColumnLabel> output_column_labels(const Model& model) {
  const TModelDef& info = model.ModelInfo;
  std::vector<ColumnLabel> labels;
  labels.reserve(output_columns(info));
  labels.push_back({0, ColumnTable::kTime, 0, "time", "Time", info.TimeUnit});
  const auto add = [&labels](ColumnTable table, std::int32_t index, const auto& entry) {
    labels.push_back({labels.size(), table, index, entry.symbol, entry.name, entry.units});
  };
  const std::int32_t drivers = std::min(info.DriverCount, kDriverCapacity);
  const std::int32_t states = std::min(info.StateCount, kStateCapacity);
  const std::int32_t processes = std::min(info.ProcessCount, kProcessCapacity);
  for (std::int32_t i = 1; i <= drivers; ++i) add(ColumnTable::kDriver, i, model.drivers[i]);
  for (std::int32_t i = 1; i <= states; ++i) add(ColumnTable::kState, i, model.states[i]);
  for (std::int32_t i = states + 1; i <= processes; ++i) {
    add(ColumnTable::kProcess, i, model.processes[i]);
  }
  // A symbol that several columns share (or "time" itself) is qualified by
  // the table and the position.
  std::map<std::string, int> uses{{"time", 1}};
  for (std::size_t k = 1; k < labels.size(); ++k) ++uses[labels[k].name];
  for (std::size_t k = 1; k < labels.size(); ++k) {
    ColumnLabel& label = labels[k];
    if (uses[label.name] > 1 || label.name.empty()) {
      if (!label.name.empty()) label.name += '_';
      label.name += column_table_word(label.table);
      label.name += std::to_string(label.index);
    }
  }
  return labels;
}

std::vector<std::size_t> all_value_columns(const TModelDef& info) {
  std::vector<std::size_t> columns;
  for (std::size_t k = 1; k < output_columns(info); ++k) columns.push_back(k);
  return columns;
}

std::vector<ColumnLabel> chosen_column_labels(const Model& model,
                                              std::span<const std::size_t> columns) {
  std::vector<ColumnLabel> all = output_column_labels(model);
  if (columns.empty()) return all;
  std::vector<ColumnLabel> chosen{all.front()};
  std::vector<bool> taken(all.size(), false);
  for (const std::size_t k : columns) {
    if (k == 0 || k >= all.size()) {
      throw std::invalid_argument("no output column at position " + std::to_string(k) +
                                  " (the values run from 1 to " + std::to_string(all.size() - 1) +
                                  ")");
    }
    if (taken[k]) throw std::invalid_argument(all[k].name + " is chosen twice");
    taken[k] = true;
    chosen.push_back(all[k]);
  }
  return chosen;
}

}  // namespace vindrel
