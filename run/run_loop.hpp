// One simulation run: from the start time to the stop time, one time step at a
// time, the integrator advances the states, the equations are evaluated at the
// end of each step with the once-per-step updates, and every output step one
// record goes to the output file.
//
// The run reports through a RunObserver, so that the desktop shows a progress
// window and an error window and the command line a progress bar, while tests
// and unattended sweeps watch silently.
#pragma once

#include <exception>

#include "core/model.hpp"
#include "fileio/driver_file.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

// What a run leaves behind for its caller, from one run to the next.
struct RunState {
  double present_time = 0.0;      // the model time reached, days
  bool output_available = false;  // set at the end of every run
  // The whole state table as it was when the last run started: the source of
  // the periodic state reset; the caller keeps it after the run.
  statearray initial_states{};
};

enum class RunOutcome {
  kCompleted,  // reached the last whole time step before the stop time
  kCancelled,  // stopped after a step on request, or by EUserCancel
  kFailed,     // ended by a failure (reported to the observer)
};

// How a run talks to whoever started it. Every hook has a default that does
// nothing, so an observer overrides only what it needs. The interactive hooks
// (on_start, on_progress, on_failure) are called only when neither unattended
// mode is on.
class RunObserver {
 public:
  virtual ~RunObserver() = default;

  // Interactive runs, before anything else: show progress, disable input.
  virtual void on_start(const RunSettings& settings) { (void)settings; }
  // Interactive runs, after each time step: percent of the run done (0..100)
  // and the model time reached.
  virtual void on_progress(int percent, double present_time) {
    (void)percent;
    (void)present_time;
  }
  // Read before every time step; true ends the run after the step in hand, as
  // a normal run ends.
  virtual bool cancel_requested() { return false; }
  // Once per time step, at its end: the place to process pending input.
  virtual void process_pending_messages() {}
  // Every run, at its end (normal, cancelled or failed), after the files are
  // closed: clear any cancel request and re-read the time step; in interactive
  // runs also refresh the windows.
  virtual void on_end(RunOutcome outcome, const RunState& state) {
    (void)outcome;
    (void)state;
  }
  // Interactive runs that failed, after on_end: show the failure's message.
  virtual void on_failure(const std::exception& failure) { (void)failure; }
};

// Runs the model once from settings.start_time, with the drivers of
// settings.driver_file through `drivers` (the caller's lookup: it is rewound,
// opened, and closed at the end), writing settings.output_file.
//
// The run starts from the states the model holds and leaves the states it
// reached, so a second run continues from the first. Before the first step it
// copies the state table into state.initial_states.
//
// A failure ends the run in order: the files are closed and on_end is called.
// EUserCancel ends it silently. Any other failure is then passed to on_failure,
// or, in batch or sensitivity mode, thrown on unchanged. After a failure the
// output file keeps the records written before it and the state table holds
// the states of the last completed step.
RunOutcome Run(Model& model, const RunSettings& settings, DriverLookup& drivers, RunState& state,
               RunObserver& observer);

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

}  // namespace vindrel
