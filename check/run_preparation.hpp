// Preparing a run: from the model as it stands in memory, the files it came
// from and the options as a user gave them, the run's settings, its output
// columns and everything the check finds about it. The command line, the
// Python module and the desktop all prepare their runs here, so that their
// defaults, refusals and warnings are the same; each keeps only how it spells
// an option ("--stop", "stop", "Stop Time") and how it shows a finding.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "check/findings.hpp"
#include "core/model.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

// The options of a run, as each front end names them.
enum class RunOption : std::size_t {
  kStart,
  kStop,
  kStep,
  kOutputStep,
  kRepeatDrivers,
  kFirstStart,
  kResetEvery,
  kReset,
  kHold,
  kIntegrator,
  kRtol,
  kVariables,
  kStrict,
  kTime,  // of an evaluation
  kCount,
};

// How a front end writes each option in its messages.
using OptionSpelling = std::array<std::string_view, static_cast<std::size_t>(RunOption::kCount)>;
extern const OptionSpelling kCommandLineSpelling;  // --start, --stop, ...
extern const OptionSpelling kPythonSpelling;       // start, stop, ...
extern const OptionSpelling kDesktopSpelling;      // Start Time, Stop Time, ...

// The options as given. The defaults are those of every front end.
struct RunOptions {
  double start = 1.0;                       // days
  double stop = 2.0;                        // days
  double step = 1.0;                        // days
  std::optional<double> output_step;        // the time step when not given
  std::optional<long long> repeat_drivers;  // the driver time the drivers repeat after, days
  std::optional<double> first_start;        // the start of the run this one continues, days
  std::optional<long long> reset_every;     // days; needs `reset`
  std::string reset;                        // states, by name, separated by commas
  std::string hold;                         // states held constant, likewise
  std::string integrator = "rk4";
  std::optional<double> rtol;  // the embedded pairs' default when not given
  // Output variables separated by commas (names, or the groups drivers,
  // states, processes and summary); every column when not given.
  std::optional<std::string> variables;
  // Every warning becomes a refusal: nothing runs that the check doubts.
  bool strict = false;
};

// The run options' defaults, for help texts and bindings.
inline const RunOptions kDefaultRunOptions{};
inline const double kDefaultRelativeTolerance = RunSettings{}.relative_tolerance;

// What a run reads besides its options.
struct RunInputs {
  // The tables the run starts from: as read from the parameter file, with
  // whatever was changed in memory since.
  const Model& model;
  // The file the model was read from ("" when none); its lines are named
  // in the findings about values still as the file gives them.
  std::string parameter_file;
  std::string driver_file;
  // False: the options alone are checked, not the files (a run that reports
  // nothing, in an unattended mode).
  bool check_files = true;
  // For states a run ended with, kept in memory: the time they are at, and
  // the start of the series of runs they come from.
  std::optional<double> states_saved_at{};
  std::optional<double> series_start{};
};

// A prepared run. When `refused()`, the settings may be incomplete and no
// run is to be made.
struct PreparedRun {
  RunSettings settings;
  std::vector<int> hold;   // states to hold constant, 1-based positions
  std::vector<int> reset;  // states to reset every reset_every days
  // The output record's columns asked for, in order, the time excluded;
  // empty when every column is kept.
  std::vector<std::size_t> columns;
  // Warnings and refusals, in the order found: the options first (a usage
  // mistake ends the preparation), then the files and the settings.
  std::vector<Finding> findings;

  bool refused() const { return any_refusal(findings); }
  // The first usage mistake, when the options were refused.
  const Finding* usage_mistake() const;
  // The model with the hold and reset marks of the options.
  void mark_states(Model& model) const;
};

// Checks the options (each mistake named as `spelling` writes its option),
// sets the run's settings and output columns, and finds what the files and
// the settings hold that a run would refuse or that may not be meant. In
// strict mode every warning is a refusal.
PreparedRun prepare_run(const RunInputs& inputs, const RunOptions& options,
                        const OptionSpelling& spelling);

// The findings of an evaluation of the processes at `time`, as part of a run
// from `start`: the parameter file and the model's values, the driver file
// for the drivers looked up at that time, and a start after the time.
std::vector<Finding> prepare_evaluation(const RunInputs& inputs, double time, double start,
                                        const OptionSpelling& spelling);

}  // namespace vindrel
