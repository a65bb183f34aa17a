// vindrel-cli list: the model's tables as tab-separated text.
#include <iostream>
#include <string>

#include "app/cli/commands.hpp"
#include "core/model.hpp"

namespace vindrel::cli {
namespace {

void print_tables(const std::string& which) {
  const Model model = MakeModel();
  const TModelDef& info = model.ModelInfo;
  std::ostream& out = std::cout;
  const bool all = which == "all";
  if (all) out << info.ModelName << ' ' << info.ModelVersion << " (time unit: " << info.TimeUnit << ")\n";
  if (all || which == "states") {
    if (all) out << "\n# states: " << info.StateCount << '\n';
    out << "position\tsymbol\tname\tunits\n";
    for (int i = 1; i <= info.StateCount; ++i) {
      const Tstatevariable& s = model.states[i];
      out << i << '\t' << s.symbol << '\t' << s.name << '\t' << s.units << '\n';
    }
  }
  if (all || which == "drivers") {
    if (all) out << "\n# drivers: " << info.DriverCount << '\n';
    out << "position\tsymbol\tname\tunits\n";
    for (int i = 1; i <= info.DriverCount; ++i) {
      const Tparamvariable& d = model.drivers[i];
      out << i << '\t' << d.symbol << '\t' << d.name << '\t' << d.units << '\n';
    }
  }
  if (all || which == "processes") {
    if (all) out << "\n# processes: " << info.ProcessCount << " (1 to " << info.StateCount
                 << " are the state derivatives)\n";
    out << "position\tsymbol\tname\tunits\tgroup\tparameters\n";
    for (int i = 1; i <= info.ProcessCount; ++i) {
      const Tprocessvariable& p = model.processes[i];
      out << i << '\t' << p.symbol << '\t' << p.name << '\t' << p.units << '\t'
          << int{p.family} << '\t' << p.parameters << '\n';
    }
  }
  if (all || which == "parameters") {
    if (all) out << "\n# parameters: " << info.ParameterCount << '\n';
    out << "position\tsymbol\tname\tunits\tprocess\n";
    for (int p = info.StateCount + 1; p <= info.ProcessCount; ++p) {
      const int first = FirstParamIndex(model, p);
      for (int j = 0; j < model.processes[p].parameters; ++j) {
        const Tparamvariable& q = model.parameters[first + j + 1];
        out << first + j + 1 << '\t' << q.symbol << '\t' << q.name << '\t' << q.units << '\t' << p
            << '\n';
      }
    }
  }
}

}  // namespace

void add_list_command(CLI::App& app) {
  auto* cmd = app.add_subcommand("list", "Print the model's states, drivers, processes and parameters");
  auto which = std::make_shared<std::string>("all");
  cmd->add_option("table", *which, "One table only")
      ->check(CLI::IsMember({"all", "states", "drivers", "processes", "parameters"}));
  cmd->callback([which] { print_tables(*which); });
}

}  // namespace vindrel::cli
