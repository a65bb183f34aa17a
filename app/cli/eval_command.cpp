// vindrel-cli eval: the process values at one time, by the evaluation the
// parameter editor shows (run/evaluate_at_time.hpp).
#include <charconv>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "app/cli/commands.hpp"
#include "app/cli/findings_report.hpp"
#include "app/cli/input_messages.hpp"
#include "check/findings.hpp"
#include "check/run_preparation.hpp"
#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "equations/equations.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/evaluate_at_time.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::cli {
namespace {

struct EvalOptions {
  std::string par;
  std::string drivers;
  double time = 0.0;
  std::optional<double> start;
};

void evaluate(const EvalOptions& options) {
  Model model = make_model();
  if (!ReadParamFile(options.par, model)) {
    throw std::runtime_error(incompatible_param_file_message(options.par, model.ModelInfo));
  }
  // The run settings of a program just started, with the start time given.
  RunSettings settings;
  settings.start_time = options.start.value_or(options.time);
  settings.calculation_time = options.time;
  settings.driver_file = options.drivers;
  // What a run over the same days would be refused for or warned about.
  const std::vector<Finding> findings =
      prepare_evaluation({model, options.par, options.drivers}, settings.calculation_time,
                         settings.start_time, kCommandLineSpelling);
  for (const Finding& finding : findings) {
    if (finding.usage) throw UsageError(finding.text);
  }
  report_findings(findings);
  try {
    evaluate_at_time(model, settings);
  } catch (const EMathError& e) {
    // The same detail as a run that fails in an evaluation: where it arose
    // and the lines of the files that caused it. The fault left the states as
    // they were and the drivers looked up.
    StateVector y{};
    for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
      y[static_cast<std::size_t>(i - 1)] = model.states[i].value;
    }
    RunFailureDetail detail;
    detail.driver_time = settings.calculation_time;
    detail.equation_group =
        faulting_equation_group(model, EvaluationClock{settings.time_step, settings.start_time}, y,
                                settings.calculation_time, false);
    settings.parameter_file = options.par;
    std::string message = std::string(e.what()) + "\n  in the evaluation at time " +
                          shortest_decimal_text(settings.calculation_time) + "\n";
    if (!detail.equation_group.empty()) {
      message += "  the equation group where it arose: " + detail.equation_group + "\n";
    }
    message += failure_cause_text(detail, model, settings);
    message.pop_back();
    throw std::runtime_error(message);
  }

  // position, symbol and the shortest text that reads back to the same double
  std::string out;
  char number[32];
  for (int i = 1; i <= model.ModelInfo.ProcessCount; ++i) {
    const Tprocessvariable& process = model.processes[i];
    const auto result = std::to_chars(number, number + sizeof number, process.value);
    out += std::to_string(i);
    out += '\t';
    out += process.symbol;
    out += '\t';
    out.append(number, result.ptr);
    out += '\n';
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
}

}  // namespace

void add_eval_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "eval", "Print every process value at one time (position, symbol and value per line)");
  auto options = std::make_shared<EvalOptions>();
  cmd->add_option("--par", options->par, "Parameter file (parameters and states)")->required();
  cmd->add_option("--drivers", options->drivers, "Driver file")->required();
  cmd->add_option("--time", options->time, "Time of the evaluation, days")->required();
  cmd->add_option("--start", options->start,
                  "Start time of the run the evaluation belongs to (default: the time)");
  cmd->callback([options] { evaluate(*options); });
}

}  // namespace vindrel::cli
