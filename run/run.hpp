// One simulation run as a value: from the start time to the stop time, one
// time step at a time, the integrator advances the states, the equations are
// evaluated at the end of each step with the once-per-step updates, and every
// output step one record goes to a sink.
//
// A run works on its own copy of the model and touches nothing shared, so the
// desktop runs it on a worker thread and a study runs many at once. It is
// cancelled through a std::stop_token (read after each time step), reports
// progress through a callback, and returns one result. The caller decides what
// to do with it: commit the final tables back to its model (so that a second
// run continues from the first), show or print a failure, or pass it on.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <stop_token>
#include <string>

#include "core/model.hpp"
#include "fileio/driver_records.hpp"
#include "run/record_sink.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

enum class RunOutcome {
  kCompleted,  // reached the last whole time step before the stop time
  kCancelled,  // stopped after a step on request, or by EUserCancel
  kFailed,     // ended by a failure, kept in RunResult::failure
};

// Percent of the run done (0..100) and the model time reached, after each
// time step. Called on the thread that runs; it must be cheap (it is called
// once per time step) and must not throw.
using RunProgress = std::function<void(int percent, double present_time)>;

// Where in a run a failure arose.
enum class RunFailurePlace {
  kPreparation,  // before the first evaluation: the settings or the driver file
  kDrivers,      // looking up the drivers of a step
  kStartTime,    // the evaluation of the equations at the start time
  kIntegration,  // the integrator's trials within a time step
  kStepEnd,      // the end-of-step evaluation after the integrator
  kOutput,       // the sink: beginning the output, a record, or its end
};

// When and where a failed run stopped, beside its message (which is kept as
// the model gives it): what a modeller needs to find the cause.
struct RunFailureDetail {
  RunFailurePlace place = RunFailurePlace::kPreparation;
  double time_reached = 0.0;       // days: the end of the last completed step
  double failed_step_start = 0.0;  // days: the start of the step that failed
  double time_step = 0.0;          // days
  double driver_time = 0.0;        // days: the drivers' time at that start (repeated drivers)
  std::int64_t records_kept = 0;   // records the sink took
  // For an arithmetic fault (and a step cut by divisions by zero): the
  // equation group where it arose, found by evaluating again group by group;
  // "" when none faults on its own.
  std::string equation_group;
  // For a step too small: the state (1-based) with the largest scaled error in
  // the trial that cut the step; 0 when unknown or when no error limited it.
  int limiting_state = 0;
  // For a step too small: no error limited it; it could grow no faster than
  // the integrator allows from a step that was already too short.
  bool step_growth_limited = false;
};

struct RunResult {
  RunOutcome outcome = RunOutcome::kCompleted;
  // The failure that ended the run (kFailed only): a model exception
  // (ERunTimeError and its family, EZeroDivide, EInvalidOp) or an EInOutError.
  std::exception_ptr failure;
  double present_time = 0.0;  // the model time reached, days
  // Time steps completed and records handed to the sink.
  std::int64_t steps_completed = 0;
  std::int64_t records_written = 0;
  // The tables at the end: after a failure, the states of the last completed
  // step (the failing step leaves them as they were).
  Model model;
  // The whole state table as it was when the run started: the source of the
  // periodic state reset, kept by the desktop from one run to the next.
  statearray initial_states{};
  // When and where the run failed (kFailed only).
  RunFailureDetail failure_detail;

  // The failure's message ("" unless kFailed).
  std::string failure_message() const;
  // Throws the failure again (does nothing unless kFailed): the unattended
  // modes' "pass it on".
  void rethrow_failure() const;
};

// Runs `model` (a copy) with `settings`, reading the drivers of
// settings.driver_file and handing every output record to `sink`.
//
// A failure before the first step (no driver file, a failure at the start
// time, an output file that cannot be created) ends the run with no step
// completed; the sink is begun only after the start-time evaluation, so the
// previous output file stays as it was in that case. Failures never leave as
// exceptions: they are returned in the result.
RunResult Run(Model model, const RunSettings& settings, RecordSink& sink, std::stop_token stop = {},
              const RunProgress& progress = {});

// The records of settings.driver_file that a run with these settings reads,
// from the first to the one after the drivers of its last step (see
// DriverRecords): read once, they serve any number of runs with the same
// times, steps and driver file, on any thread. Throws EInOutError
// (kDriverFileMissingMessage, or the file's header) and ERunTimeError for
// repeat settings no run can take.
std::shared_ptr<const DriverRecords> read_run_drivers(const Model& model,
                                                      const RunSettings& settings);

// Runs as above with the driver records read before by read_run_drivers for
// the same settings (the driver file is not read again); a record that could
// not be read fails the run when it reaches it, as the file would.
RunResult Run(Model model, const RunSettings& settings,
              std::shared_ptr<const DriverRecords> drivers, RecordSink& sink,
              std::stop_token stop = {}, const RunProgress& progress = {});

// The failure's details as text, one item per line, each indented by two
// blanks ("  in the step from 91257 to 91258 (time step 1) ..."); "" unless
// the run failed. The failure's message itself is not repeated.
std::string failure_detail_text(const RunResult& result);

// Puts what a run changed back into the caller's model: states (values; flags
// stay as the caller holds them), processes, drivers and the NewYear flag.
void commit_run(Model& model, const RunResult& result);

// The progress of a run in percent: (a x 100) div b in 64-bit integers, a being
// the time reached minus the start time and b the run length, each rounded to
// the nearest integer (ties to even). Kept within 0..100; a run shorter than
// half a day counts as done.
int run_progress_percent(double reached_time, double start_time, double stop_time);

// Time steps per output record: output step / time step rounded to the
// nearest integer, ties to even.
long long steps_per_output(double output_step, double time_step);

// True when the periodic reset is due after the step that begins at
// present_time: frac(present_time / interval) < time_step / interval.
bool state_reset_due(double present_time, double time_step, double interval);

// The driver time of a run. The drivers, the equations and the integrator see
// it; it equals the model time unless drivers are repeated, when it returns to
// the origin once it passes the repeat time.
struct DriverTimeline {
  // The time the series started at: where repeated drivers return to, and the
  // start time the equations' annual reset looks for. The start time, unless
  // the run continues an earlier one.
  double origin = 0.0;
  // The driver time of the run's first step.
  double first = 0.0;
  // A continued run takes up the NewYear flag that the last step before its
  // start left: true when that step ended a model year.
  bool continued = false;
  bool NewYear = false;
};

// The timeline of a run: for a continued run, the driver times of the steps
// from the first start time to the start time are followed as the loop
// follows them. Throws ERunTimeError for settings no run can take (see
// check_repeat_settings).
DriverTimeline driver_timeline(const RunSettings& settings);

// The driver time after a step that began at `driver_time`.
double next_driver_time(const RunSettings& settings, double origin, double driver_time);

// The smallest and the largest driver time at which a step of the run begins
// (the drivers that hold through the steps). Both are the first driver time
// when the run takes no step.
struct DriverTimeRange {
  double first = 0.0;
  double last = 0.0;
  bool repeats = false;  // the driver time returns to the origin during the run
  // The largest driver time looked up: the loop also looks up the drivers of
  // the step after its last one before it finds the stop time reached.
  double looked_up_last = 0.0;
};
DriverTimeRange driver_time_range(const RunSettings& settings);

// Refuses settings of repeated drivers and of continued runs that make the
// run plainly wrong, with ERunTimeError: a start at or after the repeat time
// (every step returns to the start, so the whole run sees one record's
// weather), a first start time after the start time or not a whole number of
// steps before it. Run refuses them too; "" when they are sound, else the
// message.
std::string repeat_settings_refusal(const RunSettings& settings);

// The warning shown before a run whose drivers would be looked up past the
// driver file's last record, where the lookup holds that record's values: ""
// when the drivers reach far enough. `last_driver_time` is the absolute time of
// the file's last record (see last_driver_record_time).
std::string drivers_end_warning(const RunSettings& settings, double last_driver_time);

}  // namespace vindrel
