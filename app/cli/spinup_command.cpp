// vindrel-cli spinup: the states at which a stand, driven by its weather
// repeated, no longer drifts from one weather cycle to the next
// (run/spinup.hpp), found with a small fraction of the simulated years that
// running the centuries takes.
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>

#include "app/cli/commands.hpp"
#include "app/cli/input_messages.hpp"
#include "app/cli/interrupt.hpp"
#include "app/cli/run_options.hpp"
#include "core/model.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/spinup.hpp"

namespace vindrel::cli {
namespace {

struct SpinupArguments {
  std::string par;
  std::string drivers;
  RunArguments run;
  double tolerance = SpinupOptions{}.tolerance;
  double max_years = SpinupOptions{}.max_years;
  std::string save_states;
  std::string save_best;
  std::string report;
};

std::string drift_text(const PoolDrift& drift) {
  char text[160];
  std::snprintf(text, sizeof text, "carbon %.2e, nitrogen %.2e, water %.2e", drift.carbon,
                drift.nitrogen, drift.water);
  return text;
}

double cpu_seconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void write_report(const std::string& file_name, const SpinupResult& result) {
  std::ofstream out(file_name, std::ios::binary);
  out << "cycle,simulated_years,accelerated,carbon_drift,nitrogen_drift,water_drift\n";
  for (const SpinupIteration& it : result.iterations) {
    out << it.cycle << ',' << shortest_decimal_text(it.simulated_years) << ','
        << (it.accelerated ? 1 : 0) << ',' << shortest_decimal_text(it.drift.carbon) << ','
        << shortest_decimal_text(it.drift.nitrogen) << ',' << shortest_decimal_text(it.drift.water)
        << '\n';
  }
  if (!out.flush()) throw std::runtime_error(file_name + ": the report could not be written");
}

void save(const std::string& file_name, const SpinupResult& result, const RunSettings& cycle) {
  WriteParamFile(file_name, result.model);
  const std::string at = shortest_decimal_text(result.time);
  std::fprintf(stderr,
               "vindrel-cli: %s holds the states at time %s, the start of a weather cycle; a run "
               "continues from them with --start %s --first-start %s --repeat-drivers %d\n",
               file_name.c_str(), at.c_str(), at.c_str(),
               shortest_decimal_text(result.first_start).c_str(), cycle.repeat_time);
}

void spin(const SpinupArguments& arguments) {
  if (!arguments.run.options.repeat_drivers) {
    throw UsageError(
        "--repeat-drivers: a spin-up needs the weather repeated; give the driver "
        "time at which it returns to the start (10980 for 30 model years from 1)");
  }
  if (!(arguments.tolerance > 0.0 && arguments.tolerance < 1.0)) {
    throw UsageError(
        "--tolerance: expected a relative drift greater than 0 and less than 1, "
        "found " +
        shortest_decimal_text(arguments.tolerance));
  }
  Model model = make_model();
  if (!ReadParamFile(arguments.par, model)) {
    throw std::runtime_error(incompatible_param_file_message(arguments.par, model.ModelInfo));
  }
  // One weather cycle is checked as a run of it would be.
  RunArguments one_cycle = arguments.run;
  one_cycle.options.stop =
      static_cast<double>(*one_cycle.options.repeat_drivers) + one_cycle.options.step;
  const PreparedRun prepared = prepared_run(one_cycle, {}, model, arguments.par, arguments.drivers);
  report_findings(prepared.findings);
  prepared.mark_states(model);

  SpinupOptions options;
  options.tolerance = arguments.tolerance;
  options.max_years = arguments.max_years;
  const double started = cpu_seconds();
  SpinupResult result;
  {
    InterruptGuard guard;
    std::stop_source stop;
    result = spin_up(model, prepared.settings, options, stop.get_token(),
                     [&](const SpinupIteration& it) {
                       if (!arguments.run.quiet) {
                         std::fprintf(stderr, "cycle %3d  %7.0f years  drift %s%s\n", it.cycle,
                                      it.simulated_years, drift_text(it.drift).c_str(),
                                      it.accelerated ? "" : "  (plain)");
                       }
                       if (InterruptGuard::interrupted()) stop.request_stop();
                     });
  }
  const double seconds = cpu_seconds() - started;
  if (!arguments.report.empty()) write_report(arguments.report, result);

  const std::string years = shortest_decimal_text(std::round(result.simulated_years));
  if (result.outcome == SpinupOutcome::kSettled) {
    std::printf(
        "spinup: settled to %s in %zu cycles of %s years (%s simulated years, %.1f s of "
        "CPU); the cycle run from the states drifts by %s\n",
        shortest_decimal_text(arguments.tolerance).c_str(), result.iterations.size() + 1,
        shortest_decimal_text(result.cycle_years).c_str(), years.c_str(), seconds,
        drift_text(result.drift).c_str());
    std::fflush(stdout);
    if (!arguments.save_states.empty()) save(arguments.save_states, result, prepared.settings);
    return;
  }
  std::string why;
  switch (result.outcome) {
    case SpinupOutcome::kFailed:
      why = "a cycle's run failed: " + result.failure;
      break;
    case SpinupOutcome::kDiedOut:
      why = "the stand dies out: its carbon falls below a thousandth of its start";
      break;
    case SpinupOutcome::kCancelled:
      why = "cancelled";
      break;
    default:
      why = "the drift did not fall to " + shortest_decimal_text(arguments.tolerance) + " within " +
            years + " simulated years";
  }
  if (!arguments.save_best.empty() && !result.iterations.empty()) {
    save(arguments.save_best, result, prepared.settings);
  }
  throw std::runtime_error("the stand did not settle: " + why +
                           "; the best states found drift by " + drift_text(result.drift) +
                           (arguments.save_best.empty() ? " (saved only with --save-best)" : ""));
}

}  // namespace

void add_spinup_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "spinup",
      "Find the states that one cycle of the repeated weather maps onto themselves (a periodic "
      "steady state), far faster than running the centuries");
  auto arguments = std::make_shared<SpinupArguments>();
  arguments->run.options.integrator = "dopri5";
  cmd->add_option("--par", arguments->par, "Parameter file (parameters and initial states)")
      ->required();
  cmd->add_option("--drivers", arguments->drivers, "Driver file")->required();
  add_run_options(*cmd, arguments->run);
  cmd->add_option("--tolerance", arguments->tolerance,
                  "Largest relative drift of a carbon, nitrogen or water pool over one cycle")
      ->capture_default_str();
  cmd->add_option("--max-years", arguments->max_years,
                  "Simulated model years before the spin-up gives up")
      ->capture_default_str();
  cmd->add_option("--save-states", arguments->save_states,
                  "Parameter file for the settled states (at a weather cycle's start)");
  cmd->add_option("--save-best", arguments->save_best,
                  "Parameter file for the best states found when the stand does not settle");
  cmd->add_option("--report", arguments->report,
                  "CSV file of the drift of each cycle (carbon, nitrogen, water)");
  cmd->callback([arguments] { spin(*arguments); });
}

}  // namespace vindrel::cli
