#include "record_columns.hpp"

#include <map>
#include <string_view>

namespace vindrel::python {

std::vector<std::string> record_column_keys(const Model& model) {
  const TModelDef& info = model.ModelInfo;
  struct Column {
    std::string_view table;
    int position;
    const std::string* symbol;
  };
  std::vector<Column> columns;
  for (int i = 1; i <= info.DriverCount; ++i)
    columns.push_back({"driver", i, &model.drivers[i].symbol});
  for (int i = 1; i <= info.StateCount; ++i)
    columns.push_back({"state", i, &model.states[i].symbol});
  for (int i = info.StateCount + 1; i <= info.ProcessCount; ++i) {
    columns.push_back({"process", i, &model.processes[i].symbol});
  }
  std::map<std::string, int> in_record;
  std::map<std::pair<std::string_view, std::string>, int> in_table;
  for (const Column& c : columns) {
    ++in_record[*c.symbol];
    ++in_table[{c.table, *c.symbol}];
  }
  std::vector<std::string> keys{"Time"};
  for (const Column& c : columns) {
    if (in_record[*c.symbol] == 1 && *c.symbol != "Time") {
      keys.push_back(*c.symbol);
    } else if (in_table[{c.table, *c.symbol}] == 1) {
      keys.push_back(std::string(c.table) + ":" + *c.symbol);
    } else {
      keys.push_back(std::string(c.table) + "#" + std::to_string(c.position));
    }
  }
  return keys;
}

}  // namespace vindrel::python
