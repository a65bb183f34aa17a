// vindrel-cli list: the model's tables, as an aligned table on a terminal and
// as tab-separated text when the output goes to a file or a pipe.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <iostream>
#include <string>
#include <vector>

#include "app/cli/commands.hpp"
#include "core/model.hpp"

namespace vindrel::cli {
namespace {

using Row = std::vector<std::string>;

// One table: tab-separated, or with its columns padded to their widest entry.
void print_table(std::ostream& out, const std::vector<Row>& rows, bool aligned) {
  std::vector<std::size_t> widths;
  for (const Row& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  }
  for (const Row& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c > 0) line += aligned ? "  " : "\t";
      line += row[c];
      if (aligned && c + 1 < row.size()) line.append(widths[c] - row[c].size(), ' ');
    }
    if (aligned) line.erase(line.find_last_not_of(' ') + 1);
    out << line << '\n';
  }
}

// The table of the model's states or drivers, positions 1 to `count`: the
// position, symbol, name and units of each.
template <typename Quantities>
void print_quantities(std::ostream& out, const Quantities& quantities, int count, bool aligned) {
  std::vector<Row> rows{{"position", "symbol", "name", "units"}};
  for (int i = 1; i <= count; ++i) {
    const auto& quantity = quantities[i];
    rows.push_back({std::to_string(i), quantity.symbol, quantity.name, quantity.units});
  }
  print_table(out, rows, aligned);
}

void print_tables(const std::string& which, bool aligned) {
  const Model model = make_model();
  const TModelDef& info = model.ModelInfo;
  std::ostream& out = std::cout;
  const bool all = which == "all";
  if (all) {
    out << info.ModelName << ' ' << info.ModelVersion << " (time unit: " << info.TimeUnit << ")\n";
  }
  if (all || which == "states") {
    if (all) out << "\n# states: " << info.StateCount << '\n';
    print_quantities(out, model.states, info.StateCount, aligned);
  }
  if (all || which == "drivers") {
    if (all) out << "\n# drivers: " << info.DriverCount << '\n';
    print_quantities(out, model.drivers, info.DriverCount, aligned);
  }
  if (all || which == "processes") {
    if (all) {
      out << "\n# processes: " << info.ProcessCount << " (1 to " << info.StateCount
          << " are the state derivatives)\n";
    }
    // The last column is the parameter-table position of the process's first
    // parameter (none for a process without parameters).
    std::vector<Row> rows{
        {"position", "symbol", "name", "units", "group", "parameters", "first parameter"}};
    for (int i = 1; i <= info.ProcessCount; ++i) {
      const Tprocessvariable& p = model.processes[i];
      const std::string first =
          p.parameters > 0 ? std::to_string(FirstParamIndex(model, i) + 1) : (aligned ? "-" : "");
      rows.push_back({std::to_string(i), p.symbol, p.name, p.units, std::to_string(int{p.family}),
                      std::to_string(p.parameters), first});
    }
    print_table(out, rows, aligned);
  }
  if (all || which == "parameters") {
    if (all) out << "\n# parameters: " << info.ParameterCount << '\n';
    std::vector<Row> rows{{"position", "symbol", "name", "units", "process"}};
    for (int p = info.StateCount + 1; p <= info.ProcessCount; ++p) {
      const int first = FirstParamIndex(model, p);
      for (int j = 0; j < model.processes[p].parameters; ++j) {
        const Tparamvariable& q = model.parameters[first + j + 1];
        rows.push_back(
            {std::to_string(first + j + 1), q.symbol, q.name, q.units, std::to_string(p)});
      }
    }
    print_table(out, rows, aligned);
  }
}

}  // namespace

void add_list_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "list",
      "Print the model's states, drivers, processes and parameters (an aligned table on a "
      "terminal, tab-separated columns otherwise)");
  auto which = std::make_shared<std::string>("all");
  cmd->add_option("table", *which, "One table only")
      ->check(CLI::IsMember({"all", "states", "drivers", "processes", "parameters"}));
  cmd->callback([which] { print_tables(*which, isatty(STDOUT_FILENO) == 1); });
}

}  // namespace vindrel::cli
