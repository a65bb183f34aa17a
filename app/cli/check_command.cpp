// vindrel-cli check: what a run of a parameter file and a driver file with
// the given settings would refuse or warn about, without running it.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/commands.hpp"
#include "app/cli/input_messages.hpp"
#include "check/findings.hpp"
#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/run_settings.hpp"

namespace vindrel::cli {
namespace {

struct CheckOptions {
  std::string par;
  std::string drivers;
  double start = 1.0;
  double stop = 2.0;
  double step = 1.0;
  std::optional<double> output_step;
  std::optional<int> repeat_drivers;
  std::optional<double> first_start;
};

// Exit status: 0 when clean, 1 when something would be refused, 2 for
// warnings only.
void check(const CheckOptions& options) {
  require_finite(options.start, "--start");
  require_finite(options.stop, "--stop");
  require_finite(options.step, "--step");
  if (options.output_step) require_finite(*options.output_step, "--output-step");
  if (options.first_start) require_finite(*options.first_start, "--first-start");
  RunSettings settings;
  settings.start_time = options.start;
  settings.stop_time = options.stop;
  settings.time_step = options.step;
  settings.output_step = options.output_step.value_or(options.step);
  settings.calculation_time = options.start;
  if (options.repeat_drivers) {
    settings.repeat_drivers = true;
    settings.repeat_time = *options.repeat_drivers;
  }
  settings.first_start_time = options.first_start;
  settings.parameter_file = options.par;
  settings.driver_file = options.drivers;
  check_run_length(settings);

  // The states the run would start from; a file that cannot be read is one
  // of the findings.
  Model model = MakeModel();
  try {
    ReadParamFile(options.par, model);
  } catch (const EInOutError&) {
  }
  const std::vector<Finding> findings = check_run_inputs(model, settings);
  for (const Finding& finding : findings) {
    std::printf("%s: %s\n", finding.level == FindingLevel::kRefusal ? "refused" : "warning",
                finding_text(finding).c_str());
  }
  if (findings.empty()) std::printf("no findings\n");
  std::fflush(stdout);
  if (any_refusal(findings)) throw CLI::RuntimeError(1);
  if (!findings.empty()) throw CLI::RuntimeError(2);
}

}  // namespace

void add_check_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "check",
      "Say what a run of these files and settings would refuse or warn about, one finding a "
      "line, without running it (exit 0: none, 1: refused, 2: warnings only)");
  auto options = std::make_shared<CheckOptions>();
  cmd->add_option("--par", options->par, "Parameter file")->required();
  cmd->add_option("--drivers", options->drivers, "Driver file")->required();
  cmd->add_option("--start", options->start, "Start time, days")->capture_default_str();
  cmd->add_option("--stop", options->stop, "Stop time, days")->capture_default_str();
  cmd->add_option("--step", options->step, "Simulation time step, days")->capture_default_str();
  cmd->add_option("--output-step", options->output_step,
                  "Time between output records, days (default: the time step)");
  cmd->add_option("--repeat-drivers", options->repeat_drivers,
                  "The driver time at which the drivers return to the start time (from a start "
                  "at 100, 366 repeats every 267 days)");
  cmd->add_option("--first-start", options->first_start,
                  "Start time of the run this one continues: the drivers, their repeats and the "
                  "annual reset go on as in one run from that time");
  cmd->callback([options] { check(*options); });
}

}  // namespace vindrel::cli
