#include "app/cli/run_options.hpp"

#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "app/cli/findings_report.hpp"
#include "app/cli/input_messages.hpp"
#include "check/findings.hpp"
#include "fileio/number_format.hpp"
#include "fileio/output_columns.hpp"
#include "run/run.hpp"
#include "run/run_options_check.hpp"

namespace vindrel::cli {
namespace {

// The pairs' default tolerance as the help gives it ("5e-8").
std::string default_tolerance_text() {
  std::string text = shortest_decimal_text(kDefaultRelativeTolerance);
  for (char& c : text) {
    if (c == 'E') c = 'e';
  }
  return text;
}

// The options given twice or more make one list.
std::string joined(const std::vector<std::string>& lists) {
  std::string list;
  for (const std::string& given : lists) list += (list.empty() ? "" : ",") + given;
  return list;
}

void mark_states(const std::vector<std::string>& lists, const char* option, Model& model,
                 bool Tstatevariable::*flag) {
  if (lists.empty()) return;
  try {
    for (const OutputColumn& state :
         resolve_output_list(model, joined(lists), OutputNames::kStates)) {
      model.states[state.index].*flag = true;
    }
  } catch (const OutputNameError& error) {
    throw UsageError(std::string(option) + ": " + error.what());
  }
}

void require_positive_days(int days, const char* option) {
  const std::string problem = whole_days_problem(days, option);
  if (!problem.empty()) throw UsageError(problem);
}

void require_positive(double days, const char* option) {
  const std::string problem = positive_days_problem(days, option);
  if (!problem.empty()) throw UsageError(problem);
}

// Refuses a stop time not above the start time and a time step longer than
// the run; corrects the output step as the desktop does, with a warning.
void check_run_length(RunSettings& settings) {
  if (!(settings.stop_time > settings.start_time)) {
    throw UsageError("--stop: expected a time after the start time " +
                     shortest_decimal_text(settings.start_time) + ", found " +
                     shortest_decimal_text(settings.stop_time));
  }
  if (settings.time_step > settings.stop_time - settings.start_time) {
    throw UsageError("--step: the time step of " + shortest_decimal_text(settings.time_step) +
                     " days is longer than the run from --start to --stop (" +
                     shortest_decimal_text(settings.stop_time - settings.start_time) +
                     " days); no step would be taken");
  }
  const OutputStepCorrection correction = correct_output_step(settings);
  if (correction.corrected()) print_warning(correction.information);
}

}  // namespace

void add_run_options(CLI::App& command, RunOptions& options) {
  command.add_option("--start", options.start, "Start time, days")->capture_default_str();
  command.add_option("--stop", options.stop, "Stop time, days")->capture_default_str();
  command.add_option("--step", options.step, "Simulation time step, days")->capture_default_str();
  command.add_option("--output-step", options.output_step,
                     "Time between output records, days (default: the time step)");
  command.add_option("--repeat-drivers", options.repeat_drivers,
                     "The driver time at which the drivers return to the start time (from a "
                     "start at 100, 366 repeats every 267 days)");
  command.add_option("--first-start", options.first_start,
                     "Start time of the run this one continues (from states it saved): the "
                     "drivers, their repeats and the annual reset go on as in one run from that "
                     "time, while the output's times go on from --start");
  auto* reset_every = command.add_option("--reset-every", options.reset_every,
                                         "Reset the states named by --reset every this many days");
  auto* reset =
      command
          .add_option("--reset", options.reset_list,
                      "States to reset, by symbol or position, separated by commas (given twice, "
                      "the lists are joined)")
          ->allow_extra_args(false);
  reset_every->needs(reset);
  reset->needs(reset_every);
  command
      .add_option("--hold", options.hold_list,
                  "States to hold constant, by symbol or position, separated by commas (given "
                  "twice, the lists are joined)")
      ->allow_extra_args(false);
  command
      .add_option("--integrator", options.integrator,
                  "rk4 (the model's own), or an embedded pair with step-size control: dopri5 "
                  "(Dormand-Prince 5(4)) or rkf78 (Runge-Kutta-Fehlberg 7(8))")
      ->capture_default_str();
  command.add_option("--rtol", options.rtol,
                     "Relative tolerance of dopri5 and rkf78, " + default_tolerance_text() +
                         " when not given (rk4 keeps the model's 1e-8)");
  command.add_flag("--quiet", options.quiet, "No progress bar");
}

RunSettings checked_run_settings(const RunOptions& options) {
  require_finite(options.start, "--start");
  require_finite(options.stop, "--stop");
  require_finite(options.step, "--step");
  require_positive(options.step, "--step");
  if (options.output_step) {
    require_finite(*options.output_step, "--output-step");
    require_positive(*options.output_step, "--output-step");
  }
  if (options.repeat_drivers) require_positive_days(*options.repeat_drivers, "--repeat-drivers");
  if (options.reset_every) require_positive_days(*options.reset_every, "--reset-every");

  RunSettings settings;
  set_run_times(settings, options.start, options.stop, options.step, options.output_step,
                options.repeat_drivers, options.reset_every);
  const std::string integrator_mistake = integrator_problem(options.integrator, "--integrator");
  if (!integrator_mistake.empty()) throw UsageError(integrator_mistake);
  settings.integrator = *integrator_from_name(options.integrator);
  if (options.first_start) require_finite(*options.first_start, "--first-start");
  settings.first_start_time = options.first_start;
  const double rtol = options.rtol.value_or(kDefaultRelativeTolerance);
  const std::string tolerance_mistake = relative_tolerance_problem(rtol, "--rtol");
  if (!tolerance_mistake.empty()) throw UsageError(tolerance_mistake);
  settings.relative_tolerance = rtol;
  if (options.rtol && settings.integrator == IntegratorKind::kRk4) {
    print_warning(
        "--rtol has no effect with rk4, which keeps the model's tolerance of 1e-8; "
        "it sets the tolerance of dopri5 and rkf78");
  }
  check_run_length(settings);
  return settings;
}

void apply_state_lists(const RunOptions& options, Model& model) {
  mark_states(options.hold_list, "--hold", model, &Tstatevariable::HoldConstant);
  mark_states(options.reset_list, "--reset", model, &Tstatevariable::Reset);
}

void report_run_findings(const RunSettings& settings, const Model& model) {
  report_findings(check_run_inputs(model, settings));
}

void print_warning(const std::string& text) {
  std::fprintf(stderr, "vindrel-cli: warning: %s\n", text.c_str());
}

ProgressLine::ProgressLine(bool quiet)
    : show_(!quiet && isatty(STDERR_FILENO) == 1),
      started_(std::chrono::steady_clock::now()),
      last_draw_(started_) {}

bool ProgressLine::due(std::size_t count) {
  if (!show_) return false;
  const auto now = std::chrono::steady_clock::now();
  if (drawn_ && count == last_count_ && now - last_draw_ < std::chrono::milliseconds(200)) {
    return false;
  }
  drawn_ = true;
  last_count_ = count;
  last_draw_ = now;
  return true;
}

void ProgressLine::draw(std::size_t done, std::size_t total, const std::string& text) {
  constexpr std::size_t kWidth = 30;
  std::string bar(kWidth, '.');
  const std::size_t filled = total == 0 ? 0 : std::min(done, total) * kWidth / total;
  for (std::size_t i = 0; i < filled; ++i) bar[i] = '#';
  std::fprintf(stderr, "\r[%s] %s ", bar.c_str(), text.c_str());
  std::fflush(stderr);
}

void ProgressLine::finish() {
  if (show_ && drawn_) std::fputc('\n', stderr);
}

double ProgressLine::elapsed() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
}

}  // namespace vindrel::cli
