// The options that define a run, for `run`, `check` and `study run` alike:
// declared here with their command-line spelling and prepared by the
// preparation every front end shares; the progress line both commands print.
#pragma once

#include <CLI/CLI.hpp>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/cli/findings_report.hpp"
#include "check/run_preparation.hpp"
#include "core/model.hpp"
#include "run/run_settings.hpp"
#include "run/time_left.hpp"

namespace vindrel::cli {

// The run options as given on the command line: the options every front end
// shares, with the lists that may be given more than once, and the progress.
struct RunArguments {
  RunOptions options;
  std::vector<std::string> reset_list;  // each --reset given
  std::vector<std::string> hold_list;   // each --hold given
  bool quiet = false;
};

// Declares --start, --stop, --step, --output-step, --repeat-drivers,
// --first-start, --reset-every, --reset, --hold, --integrator, --rtol, --strict
// and --quiet on a command, storing into `arguments` (which must outlive the
// command).
void add_run_options(CLI::App& command, RunArguments& arguments);

// The options as the preparation takes them: the lists given more than once
// joined, and the output variables (each --variables given) among them.
RunOptions given_options(const RunArguments& arguments, const std::vector<std::string>& variables);

// Prepares the run of `model` (as read from `parameter_file`) with the options
// given, the output variables among them. A usage mistake throws UsageError
// (exit status 2); the other findings are the caller's to report
// (report_findings, before anything is written).
PreparedRun prepared_run(const RunArguments& arguments, const std::vector<std::string>& variables,
                         const Model& model, const std::string& parameter_file,
                         const std::string& driver_file);

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
