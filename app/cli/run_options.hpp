// The options that define a run, for `run` and `study run` alike: declared,
// checked and turned into run settings here, with the warnings and the
// progress line both commands print.
#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "run/run_settings.hpp"
#include "run/time_left.hpp"

namespace vindrel::cli {

inline const double kDefaultRelativeTolerance = RunSettings{}.relative_tolerance;

// The run options as given on the command line.
struct RunOptions {
  double start = 1.0;  // days
  double stop = 2.0;
  double step = 1.0;
  std::optional<double> output_step;    // the time step when not given
  std::optional<int> repeat_drivers;    // the driver time the drivers repeat after, days
  std::optional<double> first_start;    // the start of the run this one continues, days
  std::optional<int> reset_every;       // days
  std::vector<std::string> reset_list;  // each --reset given
  std::vector<std::string> hold_list;   // each --hold given
  std::string integrator = "rk4";
  std::optional<double> rtol;  // kDefaultRelativeTolerance when not given
  bool quiet = false;
};

// Declares --start, --stop, --step, --output-step, --repeat-drivers,
// --first-start, --reset-every, --reset, --hold, --integrator, --rtol and --quiet on a
// command, storing into `options` (which must outlive the command).
void add_run_options(CLI::App& command, RunOptions& options);

// Checks the options and gives the settings of the run: times and steps,
// repeat and reset, integrator and tolerance (the file names are the
// caller's). An output step the run cannot keep is corrected as the desktop
// does, with a warning; --rtol with rk4 is warned of. Throws UsageError
// (input_messages.hpp) naming the option:
// "--rtol: expected a relative tolerance greater than 0 and less than 1,
// found Nan".
RunSettings checked_run_settings(const RunOptions& options);

// Marks the states --hold and --reset name (each given once or more, the
// lists joined). Throws UsageError: "--hold: unknown state "Qq": ...".
void apply_state_lists(const RunOptions& options, Model& model);

// Prints what check_run_inputs finds about the run's parameter file, driver
// file and settings (`model` as read from the parameter file), before anything
// is written: warnings, then refusals, which end the command with status 1.
void report_run_findings(const RunSettings& settings, const Model& model);

// "vindrel-cli: warning: TEXT" on standard error.
void print_warning(const std::string& text);

// A progress line on standard error, "\r[#####.........] TEXT", drawn only on
// a terminal and without --quiet, at most five times a second unless what it
// counts has moved on.
class ProgressLine {
 public:
  explicit ProgressLine(bool quiet);

  // True when the line is to be drawn now: it is shown, and `count` differs
  // from the last drawn or a fifth of a second has passed. Callers build the
  // text only then.
  bool due(std::size_t count);
  // Draws the bar filled to done/total and the text after it.
  void draw(std::size_t done, std::size_t total, const std::string& text);
  // Ends the line, when one was drawn.
  void finish();
  // Seconds since the line was made.
  double elapsed() const;

 private:
  bool show_;
  bool drawn_ = false;
  std::size_t last_count_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::chrono::steady_clock::time_point last_draw_;
};

}  // namespace vindrel::cli
