#include "app/cli/run_options.hpp"

#include <unistd.h>

#include <cstdio>
#include <stdexcept>

#include "app/cli/findings_report.hpp"
#include "app/cli/input_messages.hpp"
#include "check/findings.hpp"
#include "fileio/number_format.hpp"

namespace vindrel::cli {
namespace {

// The options given twice or more make one list.
std::string joined(const std::vector<std::string>& lists) {
  std::string list;
  for (std::size_t i = 0; i < lists.size(); ++i) list += (i == 0 ? "" : ",") + lists[i];
  return list;
}

}  // namespace

void add_run_options(CLI::App& command, RunArguments& arguments) {
  RunOptions& options = arguments.options;
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
          .add_option("--reset", arguments.reset_list,
                      "States to reset, by symbol or position, separated by commas (given twice, "
                      "the lists are joined)")
          ->allow_extra_args(false);
  reset_every->needs(reset);
  reset->needs(reset_every);
  command
      .add_option("--hold", arguments.hold_list,
                  "States to hold constant, by symbol or position, separated by commas (given "
                  "twice, the lists are joined)")
      ->allow_extra_args(false);
  command
      .add_option("--integrator", options.integrator,
                  "rk4 (the model's own), or an embedded pair with step-size control: dopri5 "
                  "(Dormand-Prince 5(4)) or rkf78 (Runge-Kutta-Fehlberg 7(8))")
      ->capture_default_str();
  command.add_option("--rtol", options.rtol,
                     "Relative tolerance of dopri5 and rkf78, " +
                         tolerance_text(kDefaultRelativeTolerance) +
                         " when not given (rk4 keeps the model's " +
                         tolerance_text(RunSettings{}.tolerance) + ")");
  command.add_flag("--strict", options.strict,
                   "Refuse the run on any warning of the check, before anything is written");
  command.add_flag("--quiet", arguments.quiet, "No progress bar");
}

RunOptions given_options(const RunArguments& arguments, const std::vector<std::string>& variables) {
  RunOptions options = arguments.options;
  options.reset = joined(arguments.reset_list);
  options.hold = joined(arguments.hold_list);
  if (!variables.empty()) options.variables = joined(variables);
  return options;
}

PreparedRun prepared_run(const RunArguments& arguments, const std::vector<std::string>& variables,
                         const Model& model, const std::string& parameter_file,
                         const std::string& driver_file) {
  PreparedRun prepared = prepare_run({model, parameter_file, driver_file},
                                     given_options(arguments, variables), kCommandLineSpelling);
  if (const Finding* mistake = prepared.usage_mistake()) throw UsageError(mistake->text);
  return prepared;
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
