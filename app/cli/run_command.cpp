// vindrel-cli run: one simulation run, exactly as the desktop's Run makes it,
// from a parameter file and a driver file to an output file.
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/cli/commands.hpp"
#include "app/cli/interrupt.hpp"
#include "app/cli/file_clash.hpp"
#include "app/cli/input_messages.hpp"
#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::cli {
namespace {

// Progress on standard error: a bar, the percentage, the model time reached,
// an estimate of the time left and the integrator, drawn at most five times a
// second.
class ProgressBar {
 public:
  ProgressBar(bool show, double start_time, double stop_time, std::string integrator)
      : show_(show),
        start_time_(start_time),
        stop_time_(stop_time),
        integrator_(std::move(integrator)),
        started_(std::chrono::steady_clock::now()),
        last_draw_(started_ - std::chrono::seconds(1)) {}

  void update(int percent, double present_time) {
    if (!show_) return;
    const auto now = std::chrono::steady_clock::now();
    if (percent == last_percent_ && now - last_draw_ < std::chrono::milliseconds(200)) return;
    last_percent_ = percent;
    last_draw_ = now;
    draw(percent, present_time, now);
  }

  // Ends the bar's line.
  void finish() {
    if (show_ && last_percent_ >= 0) std::fputc('\n', stderr);
  }

 private:
  void draw(int percent, double present_time, std::chrono::steady_clock::time_point now) {
    constexpr int kWidth = 30;
    char bar[kWidth + 1];
    const int filled = percent * kWidth / 100;
    for (int i = 0; i < kWidth; ++i) bar[i] = i < filled ? '#' : '.';
    bar[kWidth] = '\0';
    const double elapsed = std::chrono::duration<double>(now - started_).count();
    const double done = (present_time - start_time_) / (stop_time_ - start_time_);
    std::string left = "--:--";
    if (done > 0.0 && done <= 1.0 && elapsed > 0.5) {
      const long seconds = static_cast<long>(elapsed * (1.0 - done) / done + 0.5);
      char text[32];
      std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
      left = text;
    }
    std::fprintf(stderr, "\r[%s] %3d%%  time %s  %s left  %s ", bar, percent,
                 shortest_decimal_text(present_time).c_str(), left.c_str(), integrator_.c_str());
    std::fflush(stderr);
  }

  bool show_;
  double start_time_;
  double stop_time_;
  std::string integrator_;  // "dopri5, rtol 1E-8"
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point last_draw_;
  int last_percent_ = -1;
};

// The names of a state list; the option given twice or more gives one list.
// An empty name (",," or a comma at an end) is refused: it is most likely a
// name lost to the shell.
std::vector<std::string> split_list(const std::vector<std::string>& given, const char* option) {
  std::vector<std::string> items;
  for (const std::string& list : given) {
    std::string item;
    for (char c : list + ",") {
      if (c != ',') {
        item += c;
        continue;
      }
      const auto first = item.find_first_not_of(" \t");
      const auto last = item.find_last_not_of(" \t");
      if (first == std::string::npos) {
        throw std::runtime_error(std::string(option) + ": the list \"" + list +
                                 "\" has an empty name; name states by symbol or position, "
                                 "separated by commas (" +
                                 option + " Cf,Nf)");
      }
      items.push_back(item.substr(first, last - first + 1));
      item.clear();
    }
  }
  return items;
}

// The state named by a symbol or by its position (1-based). A symbol that two
// states share must be given by position.
int state_position(const Model& model, const std::string& item, const char* option) {
  const int count = model.ModelInfo.StateCount;
  if (item.find_first_not_of("0123456789") == std::string::npos) {
    int position = 0;
    const auto [end, error] = std::from_chars(item.data(), item.data() + item.size(), position);
    if (error != std::errc() || end != item.data() + item.size() || position < 1 ||
        position > count) {
      throw std::runtime_error(std::string(option) + ": no state at position " + item +
                               " (positions run from 1 to " + std::to_string(count) + ")");
    }
    return position;
  }
  std::vector<int> matches;
  for (int i = 1; i <= count; ++i) {
    if (model.states[i].symbol == item) matches.push_back(i);
  }
  if (matches.empty()) {
    throw std::runtime_error(std::string(option) + ": no state has the symbol \"" + item +
                             "\" (see vindrel-cli list states)");
  }
  if (matches.size() > 1) {
    std::string positions;
    for (int p : matches) positions += (positions.empty() ? "" : ", ") + std::to_string(p);
    throw std::runtime_error(std::string(option) + ": states " + positions +
                             " share the symbol \"" + item + "\"; name the state by its position");
  }
  return matches.front();
}

struct RunOptions {
  std::string par;
  std::string drivers;
  std::string out;
  double start = 1.0;
  double stop = 2.0;
  double step = 1.0;
  std::optional<double> output_step;
  std::optional<int> repeat_drivers;
  std::optional<int> reset_every;
  std::vector<std::string> reset_list;  // each --reset given
  std::vector<std::string> hold_list;   // each --hold given
  std::string save_states;
  std::string integrator = "rk4";
  double rtol = 1e-8;
  bool quiet = false;
};

// Writes the parameters and the states a run ended with to a parameter file,
// so that a later run starts where this one stopped.
void save_final_states(const std::string& file_name, const RunResult& result) {
  if (result.steps_completed == 0) {
    std::fprintf(stderr, "vindrel-cli: warning: no time step was completed; %s was not written\n",
                 file_name.c_str());
    return;
  }
  WriteParamFile(file_name, result.model);
  if (result.outcome == RunOutcome::kCancelled) {
    std::fprintf(stderr,
                 "vindrel-cli: warning: the run was cancelled; %s holds the states reached at "
                 "time %s\n",
                 file_name.c_str(), shortest_decimal_text(result.present_time).c_str());
  } else if (result.outcome == RunOutcome::kFailed) {
    std::fprintf(stderr,
                 "vindrel-cli: warning: the run failed; %s holds the states of the last "
                 "completed step, at time %s\n",
                 file_name.c_str(), shortest_decimal_text(result.present_time).c_str());
  }
}

void run(const RunOptions& options) {
  refuse_overwriting_inputs({{"--par", options.par}, {"--drivers", options.drivers}},
                            {{"--out", options.out}, {"--save-states", options.save_states}});
  Model model = MakeModel();
  if (!ReadParamFile(options.par, model)) {
    throw std::runtime_error(incompatible_param_file_message(options.par, model.ModelInfo));
  }
  for (const std::string& item : split_list(options.hold_list, "--hold")) {
    model.states[state_position(model, item, "--hold")].HoldConstant = true;
  }
  for (const std::string& item : split_list(options.reset_list, "--reset")) {
    model.states[state_position(model, item, "--reset")].Reset = true;
  }

  RunSettings settings;
  require_finite(options.start, "--start");
  require_finite(options.stop, "--stop");
  require_finite(options.step, "--step");
  if (options.output_step) require_finite(*options.output_step, "--output-step");
  if (options.output_step && !(*options.output_step > 0.0)) {
    throw std::runtime_error("--output-step: expected a number of days greater than 0, found " +
                             shortest_decimal_text(*options.output_step));
  }
  if (options.repeat_drivers && *options.repeat_drivers <= 0) {
    throw std::runtime_error(
        "--repeat-drivers: expected a whole number of days greater than 0, found " +
        std::to_string(*options.repeat_drivers));
  }
  settings.start_time = options.start;
  settings.stop_time = options.stop;
  settings.time_step = options.step;
  settings.output_step = options.output_step.value_or(options.step);
  settings.calculation_time = options.start;
  if (options.repeat_drivers) {
    settings.repeat_drivers = true;
    settings.repeat_time = *options.repeat_drivers;
  }
  if (options.reset_every) {
    settings.reset_states = true;
    settings.reset_interval = *options.reset_every;
  }
  const std::optional<IntegratorKind> integrator = integrator_from_name(options.integrator);
  if (!integrator) {
    throw std::runtime_error("--integrator: \"" + options.integrator +
                             "\" is not one of rk4, dopri5, rkf78");
  }
  settings.integrator = *integrator;
  if (!(options.rtol > 0.0 && options.rtol < 1.0)) {
    throw std::runtime_error(
        "--rtol: expected a relative tolerance greater than 0 and less than 1, found " +
        shortest_decimal_text(options.rtol));
  }
  settings.relative_tolerance = options.rtol;
  settings.parameter_file = options.par;
  settings.driver_file = options.drivers;
  settings.output_file = options.out;

  check_run_length(settings);

  // A bad driver file is reported before the output file is replaced.
  const std::optional<double> last_driver_time =
      check_driver_records(settings.driver_file, model, settings.stop_time);
  // A file without records fails at the start of the run, with its own message.
  if (last_driver_time) {
    const std::string drivers_end = drivers_end_warning(settings, *last_driver_time);
    if (!drivers_end.empty()) {
      std::fprintf(stderr, "vindrel-cli: warning: %s\n", drivers_end.c_str());
    }
  }

  const bool show_progress = !options.quiet && isatty(STDERR_FILENO) == 1;
  ProgressBar bar(show_progress, settings.start_time, settings.stop_time,
                  integrator_description(settings));
  OutputFileSink sink(settings.output_file);
  RunResult result;
  {
    InterruptGuard guard;
    // Ctrl-C reaches the run as a stop request, read after each time step.
    std::stop_source stop;
    const RunProgress progress = [&](int percent, double present_time) {
      bar.update(percent, present_time);
      if (InterruptGuard::interrupted()) stop.request_stop();
    };
    result = Run(std::move(model), settings, sink, stop.get_token(), progress);
  }
  bar.finish();
  if (!options.save_states.empty()) save_final_states(options.save_states, result);
  if (result.outcome == RunOutcome::kFailed) {
    // The model's message as it is, then when and where the run stopped.
    std::string message = result.failure_message() + "\n" + failure_detail_text(result);
    message.pop_back();
    throw std::runtime_error(message);
  }
  if (result.outcome == RunOutcome::kCancelled) {
    std::fprintf(stderr,
                 "vindrel-cli: run cancelled at time %s; the output file holds the records "
                 "written so far\n",
                 shortest_decimal_text(result.present_time).c_str());
    throw CLI::RuntimeError(130);
  }
}

}  // namespace

void add_run_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "run", "Run the model from a parameter file and a driver file into an output file");
  auto options = std::make_shared<RunOptions>();
  cmd->add_option("--par", options->par, "Parameter file (parameters and initial states)")
      ->required();
  cmd->add_option("--drivers", options->drivers, "Driver file")->required();
  cmd->add_option("--out", options->out, "Output file to create")->required();
  cmd->add_option("--start", options->start, "Start time, days")->capture_default_str();
  cmd->add_option("--stop", options->stop, "Stop time, days")->capture_default_str();
  cmd->add_option("--step", options->step, "Simulation time step, days")->capture_default_str();
  cmd->add_option("--output-step", options->output_step,
                  "Time between output records, days (default: the time step)");
  cmd->add_option("--repeat-drivers", options->repeat_drivers,
                  "Start the drivers again from the start time after this many days");
  auto* reset_every = cmd->add_option("--reset-every", options->reset_every,
                                      "Reset the states named by --reset every this many days");
  auto* reset =
      cmd->add_option("--reset", options->reset_list,
                      "States to reset, by symbol or position, separated by commas (given twice, "
                      "the lists are joined)")
          ->allow_extra_args(false);
  reset_every->needs(reset);
  reset->needs(reset_every);
  cmd->add_option("--hold", options->hold_list,
                  "States to hold constant, by symbol or position, separated by commas (given "
                  "twice, the lists are joined)")
      ->allow_extra_args(false);
  cmd->add_option("--save-states", options->save_states,
                  "Parameter file to write at the end: the parameters and the final states, "
                  "from which a later run continues");
  cmd->add_option("--integrator", options->integrator,
                  "rk4 (the model's own), or an embedded pair with step-size control: dopri5 "
                  "(Dormand-Prince 5(4)) or rkf78 (Runge-Kutta-Fehlberg 7(8))")
      ->capture_default_str();
  cmd->add_option("--rtol", options->rtol,
                  "Relative tolerance of dopri5 and rkf78 (rk4 keeps the model's 1e-8)")
      ->capture_default_str();
  cmd->add_flag("--quiet", options->quiet, "No progress bar");
  cmd->callback([options] { run(*options); });
}

}  // namespace vindrel::cli
