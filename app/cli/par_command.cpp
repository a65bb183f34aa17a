// vindrel-cli par: a parameter file from a plain list of values.
//
// The list names every state and every parameter, one per line, by its symbol
// (or as parameters and states are named everywhere: state:Cf, state#1):
//
//   # comment lines and blank lines are skipped
//   Cf      6.0      # text after the value is a comment too
//   mF      30
//
// Each of the model's 55 states and 114 parameters must appear exactly once
// (their symbols are all different from each other). The file is written by
// the program's own parameter file writer, so its bytes are exactly what the
// desktop program would save.
#include <cmath>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/cli/commands.hpp"
#include "app/cli/file_clash.hpp"
#include "core/entry_names.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"

namespace vindrel::cli {
namespace {

struct Entry {
  bool is_state = false;
  int position = 0;
  int line = 0;  // where the list gave it; 0 while not given
};

std::vector<std::string> tokens_of(const std::string& line) {
  std::vector<std::string> tokens;
  std::string token;
  for (char c : line) {
    // A comment starts a word: state#5 is a name.
    if (c == '#' && token.empty()) break;
    if (c == ' ' || c == '\t' || c == '\r') {
      if (!token.empty()) tokens.push_back(token);
      token.clear();
    } else {
      token += c;
    }
  }
  if (!token.empty()) tokens.push_back(token);
  return tokens;
}

void make_par(const std::string& values_file, const std::string& out) {
  Model model = make_model();
  const TModelDef& info = model.ModelInfo;
  std::map<std::string, Entry> entries;
  for (int i = 1; i <= info.StateCount; ++i) entries[model.states[i].symbol] = {true, i, 0};
  for (int i = 1; i <= info.ParameterCount; ++i) {
    if (!entries.emplace(model.parameters[i].symbol, Entry{false, i, 0}).second) {
      throw std::logic_error("two entries share the symbol " + model.parameters[i].symbol);
    }
  }

  refuse_overwriting_inputs({{"--values", values_file}}, {{"--out", out}});
  std::error_code error;
  if (std::filesystem::is_directory(values_file, error)) {
    throw std::runtime_error(values_file + ": the name is a folder, not a list of values");
  }
  std::ifstream in(values_file, std::ios::binary);
  if (!in) throw std::runtime_error(values_file + ": cannot open the list of values");
  std::string line;
  int line_number = 0;
  while (std::getline(in, line)) {
    ++line_number;
    // A byte-order mark, which some editors put before UTF-8 text, is no part
    // of the first symbol.
    if (line_number == 1 && line.starts_with("\xEF\xBB\xBF")) line.erase(0, 3);
    const std::vector<std::string> tokens = tokens_of(line);
    if (tokens.empty()) continue;
    const std::string where = values_file + ":" + std::to_string(line_number) + ": ";
    if (tokens.size() != 2) {
      throw std::runtime_error(where + "expected a symbol and a value");
    }
    std::string symbol;
    try {
      symbol = entry_symbol(model, resolve_entry_name(model, tokens[0], EntryTables::kBoth));
    } catch (const EntryNameError& e) {
      throw std::runtime_error(where + e.what());
    }
    Entry& entry = entries.at(symbol);
    if (entry.line != 0) {
      const std::string named = tokens[0] == symbol ? "" : " names " + symbol + ", which";
      throw std::runtime_error(where + "\"" + tokens[0] + "\"" + named +
                               " was already given on line " + std::to_string(entry.line));
    }
    double value = 0.0;
    if (!parse_number(tokens[1], value) || !std::isfinite(value)) {
      throw std::runtime_error(where + "\"" + tokens[1] + "\" is not a finite number");
    }
    entry.line = line_number;
    if (entry.is_state) {
      model.states[static_cast<std::size_t>(entry.position)].value = value;
    } else {
      model.parameters[static_cast<std::size_t>(entry.position)].value = value;
    }
  }
  std::string missing;
  for (const auto& [symbol, entry] : entries) {
    if (entry.line == 0) missing += (missing.empty() ? "" : " ") + symbol;
  }
  if (!missing.empty()) {
    throw std::runtime_error(values_file + ": no value for " + missing);
  }
  WriteParamFile(out, model);
  std::cout << "Wrote " << info.StateCount << " initial states and " << info.ParameterCount
            << " parameters to " << out << '\n';
}

}  // namespace

void add_par_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "par",
      "Write a parameter file from a list of values: one line per state and parameter, its "
      "symbol and its value, with # comments");
  auto values = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  cmd->add_option("--values", *values, "List of symbols and values (every state and parameter)")
      ->required();
  cmd->add_option("--out", *out, "Parameter file to write (.par)")->required();
  cmd->callback([values, out] { make_par(*values, *out); });
}

}  // namespace vindrel::cli
