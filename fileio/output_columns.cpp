#include "fileio/output_columns.hpp"

#include <algorithm>
#include <charconv>

#include "core/entry_names.hpp"

namespace vindrel {
namespace {

// One table of the output record: its entries first..last and where they sit.
struct OutputTable {
  ColumnTable kind;
  int first;
  int last;
  int column_offset;  // column = entry + offset
};

std::vector<OutputTable> output_tables(const TModelDef& info) {
  // Process p (after the derivatives) sits in column DriverCount + p.
  return {{ColumnTable::kDriver, 1, info.DriverCount, 0},
          {ColumnTable::kState, 1, info.StateCount, info.DriverCount},
          {ColumnTable::kProcess, info.StateCount + 1, info.ProcessCount, info.DriverCount}};
}

std::string_view symbol_of(const Model& model, ColumnTable kind, int i) {
  if (kind == ColumnTable::kDriver) return model.drivers[i].symbol;
  if (kind == ColumnTable::kState) return model.states[i].symbol;
  return model.processes[i].symbol;
}

std::string_view name_of(const Model& model, ColumnTable kind, int i) {
  if (kind == ColumnTable::kDriver) return model.drivers[i].name;
  if (kind == ColumnTable::kState) return model.states[i].name;
  return model.processes[i].name;
}

OutputColumn make_column(const Model& model, const OutputTable& table, int i) {
  OutputColumn column;
  column.column = i + table.column_offset;
  column.kind = table.kind;
  column.index = i;
  if (table.kind == ColumnTable::kDriver) {
    column.symbol = model.drivers[i].symbol;
    column.name = model.drivers[i].name;
    column.unit = model.drivers[i].units;
  } else if (table.kind == ColumnTable::kState) {
    column.symbol = model.states[i].symbol;
    column.name = model.states[i].name;
    column.unit = model.states[i].units;
  } else {
    column.symbol = model.processes[i].symbol;
    column.name = model.processes[i].name;
    column.unit = model.processes[i].units;
  }
  return column;
}

OutputColumn time_column(const Model& model) {
  return {0, ColumnTable::kTime, 0, "Time", "Time", model.ModelInfo.TimeUnit};
}

std::string quoted(std::string_view text) { return '"' + std::string(text) + '"'; }

// "output variable" or "state": what the resolution names.
std::string_view noun(OutputNames accepted) {
  return accepted == OutputNames::kStates ? "state" : "output variable";
}

[[noreturn]] void refuse_unknown(OutputNames accepted, std::string_view text,
                                 const std::string& why) {
  throw OutputNameError("unknown " + std::string(noun(accepted)) + " " + quoted(text) + ": " + why);
}

[[noreturn]] void refuse_ambiguous(const Model& model, OutputNames accepted, std::string_view text,
                                   const std::vector<OutputColumn>& found) {
  std::string names;
  for (const OutputColumn& column : found) {
    names += (names.empty() ? "" : ", ") + qualified_output_name(model, column);
  }
  throw OutputNameError("ambiguous " + std::string(noun(accepted)) + " " + quoted(text) +
                        ": it names " + names + "; name one of them");
}

// A whole number of digits only, or nothing.
bool parse_position(std::string_view digits, int& value) {
  if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc() && end == digits.data() + digits.size();
}

std::string position_range(const OutputTable& table, const TModelDef& info) {
  std::string range = "from " + std::to_string(table.first) + " to " + std::to_string(table.last);
  if (table.kind == ColumnTable::kProcess) {
    range += " (processes 1 to " + std::to_string(info.StateCount) +
             " are the states' derivatives, which the output does not hold)";
  }
  return range;
}

OutputColumn by_position(const Model& model, OutputNames accepted, std::string_view text,
                         const OutputTable& table, std::string_view digits, std::string_view form) {
  int position = 0;
  if (!parse_position(digits, position) || position < table.first || position > table.last) {
    refuse_unknown(
        accepted, text,
        std::string(form) + " takes a whole number N " + position_range(table, model.ModelInfo));
  }
  return make_column(model, table, position);
}

std::vector<OutputColumn> matches(const Model& model, const std::vector<OutputTable>& tables,
                                  std::string_view wanted, bool by_name) {
  std::vector<OutputColumn> found;
  for (const OutputTable& table : tables) {
    for (int i = table.first; i <= table.last; ++i) {
      const std::string_view label =
          by_name ? name_of(model, table.kind, i) : symbol_of(model, table.kind, i);
      if (label == wanted) found.push_back(make_column(model, table, i));
    }
  }
  return found;
}

// The word of a list that stands for every column of a table.
std::string_view group_word(ColumnTable kind) {
  if (kind == ColumnTable::kDriver) return "drivers";
  if (kind == ColumnTable::kState) return "states";
  return "processes";
}

std::string_view trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

int output_column_count(const TModelDef& info) { return 1 + info.DriverCount + info.ProcessCount; }

OutputColumn output_column(const Model& model, int column) {
  if (column == 0) return time_column(model);
  for (const OutputTable& table : output_tables(model.ModelInfo)) {
    const int i = column - table.column_offset;
    if (i >= table.first && i <= table.last) return make_column(model, table, i);
  }
  throw std::out_of_range("no output column " + std::to_string(column));
}

std::string qualified_output_name(const Model& model, const OutputColumn& column) {
  if (column.kind == ColumnTable::kTime) return "Time";
  const std::string word(column_table_word(column.kind));
  for (const OutputTable& table : output_tables(model.ModelInfo)) {
    if (table.kind != column.kind) continue;
    for (int i = table.first; i <= table.last; ++i) {
      if (i != column.index && symbol_of(model, table.kind, i) == column.symbol) {
        return word + '#' + std::to_string(column.index);
      }
    }
  }
  return word + ':' + column.symbol;
}

std::string output_name_forms(OutputNames accepted) {
  if (accepted == OutputNames::kStates) return entry_name_forms(EntryTables::kStates);
  return "a symbol (LAI), driver:SYMBOL, state:SYMBOL, process:SYMBOL, driver#N, state#N, "
         "process#N, Time or a name from the output display's list (see vindrel-cli list)";
}

OutputColumn resolve_output_name(const Model& model, std::string_view text, OutputNames accepted) {
  const TModelDef& info = model.ModelInfo;
  const std::vector<OutputTable> tables = output_tables(info);
  if (accepted == OutputNames::kStates) {
    // States alone are named as parameters and states are everywhere.
    try {
      return make_column(model, tables[1],
                         resolve_entry_name(model, text, EntryTables::kStates).position);
    } catch (const EntryNameError& error) {
      throw OutputNameError(error.what());
    }
  }
  if (text == "Time") return time_column(model);
  // A qualified name: the table's word, then ":SYMBOL" or "#N".
  for (const OutputTable& table : output_tables(info)) {
    const std::string word(column_table_word(table.kind));
    if (text.size() <= word.size() || !text.starts_with(word)) continue;
    const char mark = text[word.size()];
    if (mark != ':' && mark != '#') continue;
    const std::string_view rest = text.substr(word.size() + 1);
    if (mark == '#') return by_position(model, accepted, text, table, rest, word + "#N");
    std::vector<OutputColumn> found = matches(model, {table}, rest, false);
    if (found.empty())
      refuse_unknown(accepted, text, "no " + word + " has the symbol " + quoted(rest));
    if (found.size() > 1) refuse_ambiguous(model, accepted, text, found);
    return found.front();
  }
  // A bare symbol, then a name as the header shows it.
  for (const bool by_name : {false, true}) {
    const std::vector<OutputColumn> found = matches(model, tables, text, by_name);
    if (found.size() == 1) return found.front();
    if (found.size() > 1) refuse_ambiguous(model, accepted, text, found);
  }
  refuse_unknown(accepted, text, "expected " + output_name_forms(accepted));
}

std::vector<OutputColumn> resolve_output_list(const Model& model, std::string_view list,
                                              OutputNames accepted) {
  std::vector<OutputColumn> columns;
  std::vector<std::string_view> given;  // the name that brought in each column
  const auto add = [&](OutputColumn column, std::string_view item) {
    for (std::size_t k = 0; k < columns.size(); ++k) {
      if (columns[k].column != column.column) continue;
      const std::string what = qualified_output_name(model, column);
      throw OutputNameError(
          given[k] == item
              ? quoted(item) + " is named twice in the list " + quoted(list) + "; name it once"
              : quoted(given[k]) + " and " + quoted(item) + " both name " + what + " in the list " +
                    quoted(list) + "; name each " + std::string(noun(accepted)) + " once");
    }
    columns.push_back(std::move(column));
    given.push_back(item);
  };
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = list.find(',', from);
    const std::string_view item =
        trimmed(list.substr(from, comma == std::string_view::npos ? list.npos : comma - from));
    if (item.empty()) {
      throw OutputNameError(
          "the list " + quoted(list) + " has an empty name; name " +
          (accepted == OutputNames::kStates ? "states by symbol or position" : "output variables") +
          ", separated by commas (" +
          (accepted == OutputNames::kStates ? "Cf,Nf" : "Cf,process:LAI") + ")");
    }
    bool group = false;
    if (accepted == OutputNames::kAll) {
      for (const OutputTable& table : output_tables(model.ModelInfo)) {
        if (item != group_word(table.kind)) continue;
        for (int i = table.first; i <= table.last; ++i) add(make_column(model, table, i), item);
        group = true;
      }
    }
    if (!group) add(resolve_output_name(model, item, accepted), item);
    if (comma == std::string_view::npos) return columns;
    from = comma + 1;
  }
}

}  // namespace vindrel
