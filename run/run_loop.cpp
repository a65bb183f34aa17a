#include "run/run_loop.hpp"

#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "core/exceptions.hpp"
#include "equations/equations.hpp"
#include "fileio/output_file.hpp"
#include "integrator/integrator.hpp"

namespace vindrel {
namespace {

// The integrator's smallest step, as a fraction of the time step.
constexpr double kSmallestStepFraction = 1e-6;

// Settings that would make the loop run forever or divide by zero.
void check_run_settings(const RunSettings& settings) {
  if (!(settings.time_step > 0.0) || !std::isfinite(settings.time_step)) {
    throw ERunTimeError("The simulation time step must be greater than zero.");
  }
  if (settings.reset_states && settings.reset_interval <= 0) {
    throw ERunTimeError("The state reset interval must be greater than zero.");
  }
}

// Preparation and the time loop. Returns kCompleted or kCancelled; failures
// leave as exceptions.
RunOutcome run_time_steps(Model& model, const RunSettings& settings, DriverLookup& drivers,
                          OutputFile& output, RunState& state, RunObserver& observer,
                          bool interactive) {
  check_run_settings(settings);
  state.initial_states = model.states;

  drivers.rewind();
  if (!drivers.OpenDriverFile(settings.driver_file, model, false)) {
    throw EInOutError(std::string(kDriverFileMissingMessage), settings.driver_file);
  }

  const double dt = settings.time_step;
  const EvaluationClock clock{dt, settings.start_time};
  state.present_time = settings.start_time;
  // The time the drivers, the equations and the integrator see; it returns to
  // the start time when drivers are repeated, while present_time runs on.
  double driver_time = state.present_time;
  long long step_counter = 1;
  const long long output_every = steps_per_output(settings.output_step, dt);

  drivers.GetDrivers(model.drivers, state.present_time, settings.stop_time);
  // The process table at the start time; no record is written for it.
  EvaluateEquations(model, clock, model.states, state.present_time, model.processes, false);

  // The output file replaces the previous one only now: a driver file or
  // parameters that fail at the start time leave the previous results alone.
  output.OpenOutputFile(settings.output_file, model, true);

  double integrator_step = dt;
  const int n = model.ModelInfo.StateCount;
  // The integrator's derivative function, prepared before every integrator
  // call with the drivers, parameters and flags that hold through it.
  PreparedDerivatives derivatives;

  for (;;) {
    if (observer.cancel_requested()) return RunOutcome::kCancelled;
    if (!(state.present_time + dt <= settings.stop_time)) return RunOutcome::kCompleted;

    integrator::Vector y{};
    for (int i = 1; i <= n; ++i) y[static_cast<std::size_t>(i - 1)] = model.states[i].value;
    int nok = 0;
    int nbad = 0;
    // Drivers hold the values looked up for driver_time through the whole call.
    derivatives.prepare(model, clock);
    ODEIntegrator(y, n, integrator_step, driver_time, driver_time + dt, settings.tolerance,
                  kSmallestStepFraction * dt, nok, nbad, derivatives);

    // Should the end-of-step evaluation fail, the states go back to those of
    // the last completed step (the evaluation itself leaves the tables alone).
    integrator::Vector completed{};
    for (int i = 1; i <= n; ++i) {
      completed[static_cast<std::size_t>(i - 1)] = model.states[i].value;
      model.states[i].value = y[static_cast<std::size_t>(i - 1)];
    }
    try {
      EvaluateEquations(model, clock, model.states, driver_time + dt, model.processes, true);
    } catch (...) {
      for (int i = 1; i <= n; ++i)
        model.states[i].value = completed[static_cast<std::size_t>(i - 1)];
      throw;
    }

    const double reached = state.present_time + dt;
    if (step_counter == output_every) {
      output.WriteOutputRecord(model, reached);
      step_counter = 0;
    }
    if (interactive) {
      observer.on_progress(run_progress_percent(reached, settings.start_time, settings.stop_time),
                           reached);
    }
    // present_time is still the start of the step just taken. The reset takes
    // effect from the next step; nothing is evaluated again.
    if (settings.reset_states && state_reset_due(state.present_time, dt, settings.reset_interval)) {
      for (int i = 1; i <= n; ++i) {
        if (model.states[i].Reset) model.states[i].value = state.initial_states[i].value;
      }
    }
    state.present_time += dt;
    driver_time += dt;
    if (settings.repeat_drivers && driver_time > settings.repeat_time) {
      drivers.rewind();
      driver_time = settings.start_time;
    }
    // Drivers are piecewise constant: one lookup per step, at its start.
    drivers.GetDrivers(model.drivers, driver_time, settings.stop_time);
    ++step_counter;
    observer.process_pending_messages();
  }
}

void report(RunObserver& observer, const std::exception_ptr& failure) {
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    observer.on_failure(e);
  } catch (...) {
    observer.on_failure(std::runtime_error("Unknown failure"));
  }
}

}  // namespace

RunOutcome Run(Model& model, const RunSettings& settings, DriverLookup& drivers, RunState& state,
               RunObserver& observer) {
  const bool interactive = !settings.unattended();
  if (interactive) observer.on_start(settings);

  RunOutcome outcome = RunOutcome::kCompleted;
  std::exception_ptr failure;
  OutputFile output;
  try {
    outcome = run_time_steps(model, settings, drivers, output, state, observer, interactive);
  } catch (const EUserCancel&) {
    outcome = RunOutcome::kCancelled;
  } catch (...) {
    failure = std::current_exception();
  }

  // The end of every run. Closing the output file writes its last records: a
  // failure there is the run's failure unless an earlier one ended it.
  try {
    drivers.CloseDriverFile();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  try {
    output.CloseOutputFile();
  } catch (...) {
    if (!failure) failure = std::current_exception();
  }
  if (failure) outcome = RunOutcome::kFailed;
  state.output_available = true;
  observer.on_end(outcome, state);

  if (failure) {
    if (!interactive) std::rethrow_exception(failure);
    report(observer, failure);
  }
  return outcome;
}

int run_progress_percent(double reached_time, double start_time, double stop_time) {
  const auto a = static_cast<std::int64_t>(std::nearbyint(reached_time - start_time));
  const auto b = static_cast<std::int64_t>(std::nearbyint(stop_time - start_time));
  if (b <= 0) return 100;
  const std::int64_t percent = a * 100 / b;
  if (percent < 0) return 0;
  if (percent > 100) return 100;
  return static_cast<int>(percent);
}

long long steps_per_output(double output_step, double time_step) {
  const double steps = std::nearbyint(output_step / time_step);
  // Nothing sensible to count: no record is ever written.
  if (!(std::fabs(steps) < 1e18)) return 0;
  return static_cast<long long>(steps);
}

bool state_reset_due(double present_time, double time_step, double interval) {
  // frac(present_time / interval) < time_step / interval, multiplied through by
  // the interval: fmod is exact, where the quotients round (with an interval of
  // 365 days, 2921 / 365 would pass the test and reset a second day in a row).
  return std::fmod(present_time, interval) < time_step;
}

}  // namespace vindrel
