#include "run/run.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>
#include <string_view>

#include "core/exceptions.hpp"
#include "core/model_constants.hpp"
#include "equations/equations.hpp"
#include "fileio/driver_file.hpp"
#include "fileio/number_format.hpp"
#include "integrator/integrator.hpp"
#include "run/embedded_integration.hpp"

namespace vindrel {
namespace {

// The integrator's smallest step, as a fraction of the time step.
constexpr double kSmallestStepFraction = 1e-6;

// Settings that would make the loop run forever or divide by zero.
void check_run_settings(const RunSettings& settings) {
  if (!(settings.time_step > 0.0) || !std::isfinite(settings.time_step)) {
    throw ERunTimeError("The simulation time step must be greater than zero.");
  }
  // A run without an end (an infinite stop time) is followed until it is
  // cancelled.
  if (!time_within_precision(settings.start_time) ||
      (std::isfinite(settings.stop_time) && !time_within_precision(settings.stop_time))) {
    throw ERunTimeError("The start and stop times must lie within " +
                        std::to_string(static_cast<long long>(kLargestRunTime)) +
                        " days of 0, where a double still holds every day.");
  }
  if (!step_advances_time(settings.start_time, settings.stop_time, settings.time_step)) {
    throw ERunTimeError("The simulation time step is too small to advance the time.");
  }
  if (settings.reset_states && settings.reset_interval <= 0) {
    throw ERunTimeError("The state reset interval must be greater than zero.");
  }
  check_integrator_settings(settings);
  const std::string refusal = repeat_settings_refusal(settings);
  if (!refusal.empty()) throw ERunTimeError(refusal);
}

// One run's working state: the model it advances, its driver lookup and its
// sink. Failures leave as exceptions; Run turns them into the result.
class RunLoop {
 public:
  RunLoop(RunResult& result, const RunSettings& settings,
          std::shared_ptr<const DriverRecords> records, RecordSink& sink,
          const std::stop_token& stop, const RunProgress& progress)
      : result_(result),
        model_(result.model),
        settings_(settings),
        records_(std::move(records)),
        sink_(sink),
        stop_(stop),
        progress_(progress) {}

  // Preparation and the time loop; returns kCompleted or kCancelled.
  RunOutcome run() {
    check_run_settings(settings_);
    result_.initial_states = model_.states;

    drivers_.rewind();
    // The records the run reaches are read here, once; a bad record among
    // them fails the run only when the lookup reaches it.
    if (!records_) records_ = read_run_drivers(model_, settings_);
    drivers_.open(records_);

    const double dt = settings_.time_step;
    timeline_ = driver_timeline(settings_);
    const EvaluationClock clock{dt, timeline_.origin};
    result_.present_time = settings_.start_time;
    // The time the drivers, the equations and the integrator see; it returns
    // to the origin when drivers are repeated, while the present time runs on.
    double driver_time = timeline_.first;
    // A continued run goes on with the flag its series had reached.
    if (timeline_.continued) model_.NewYear = timeline_.NewYear;
    long long step_counter = 1;
    const long long output_every = steps_per_output(settings_.output_step, dt);

    place_ = RunFailurePlace::kDrivers;
    drivers_.GetDrivers(model_.drivers, driver_time, settings_.stop_time);
    // The process table at the start time; no record is written for it.
    place_ = RunFailurePlace::kStartTime;
    evaluated_time_ = driver_time;
    if (timeline_.continued) {
      // The states are those the series reached, not a new start: the
      // evaluation fills the process table and leaves them as they are (at
      // the origin it would reset them, which the series did not do there).
      statearray states = model_.states;
      EvaluateEquations(model_, clock, states, driver_time, model_.processes, false);
    } else {
      EvaluateEquations(model_, clock, model_.states, driver_time, model_.processes, false);
    }

    // The sink begins only now: a driver file or parameters that fail at the
    // start time leave the previous output file alone.
    place_ = RunFailurePlace::kOutput;
    sink_.begin(model_);
    sink_begun_ = true;

    double integrator_step = dt;
    const int n = model_.ModelInfo.StateCount;
    // The integrator's derivative function, prepared once with the
    // parameters and flags; it takes the drivers before every integrator call.
    PreparedDerivatives& derivatives = derivatives_;
    derivatives.prepare(model_, clock);
    // Used only when the settings choose one of the embedded pairs.
    EmbeddedIntegration embedded(settings_, n);

    for (;;) {
      if (stop_.stop_requested()) return RunOutcome::kCancelled;
      if (!(result_.present_time + dt <= settings_.stop_time)) return RunOutcome::kCompleted;

      StateVector y{};
      for (int i = 1; i <= n; ++i) y[static_cast<std::size_t>(i - 1)] = model_.states[i].value;
      int nok = 0;
      int nbad = 0;
      // Drivers hold the values looked up for driver_time through the whole
      // call and the end-of-step evaluation; the parameters and flags hold
      // through the run.
      derivatives.prepare_drivers(model_);
      place_ = RunFailurePlace::kIntegration;
      driver_time_ = driver_time;
      if (settings_.integrator == IntegratorKind::kRk4) {
        ODEIntegrator(y, n, integrator_step, driver_time, driver_time + dt, settings_.tolerance,
                      kSmallestStepFraction * dt, nok, nbad, derivatives);
      } else {
        embedded.advance(y, integrator_step, driver_time, driver_time + dt,
                         kSmallestStepFraction * dt, derivatives);
      }

      // The end-of-step evaluation, on the states the integrator reached. The
      // tables take its states and processes only when it succeeds: should it
      // fail, they keep those of the last completed step.
      place_ = RunFailurePlace::kStepEnd;
      evaluated_states_ = y;
      evaluated_time_ = driver_time + dt;
      model_.NewYear = derivatives.step_end(y, model_.NewYear, evaluated_time_, step_processes_,
                                            embedded.ends_at_its_last_call());
      for (int i = 1; i <= n; ++i) model_.states[i].value = y[static_cast<std::size_t>(i - 1)];
      processes_owed_ = true;

      const double reached = result_.present_time + dt;
      if (step_counter == output_every) {
        place_ = RunFailurePlace::kOutput;
        processes_into_table();
        sink_.record(model_, reached);
        ++result_.records_written;
        step_counter = 0;
      }
      ++result_.steps_completed;
      // The present time is still the start of the step just taken. The reset
      // takes effect from the next step; nothing is evaluated again.
      if (settings_.reset_states &&
          state_reset_due(result_.present_time, dt, settings_.reset_interval)) {
        for (int i = 1; i <= n; ++i) {
          if (model_.states[i].Reset) model_.states[i].value = result_.initial_states[i].value;
        }
      }
      result_.present_time += dt;
      const double next = next_driver_time(settings_, timeline_.origin, driver_time);
      // Repeated drivers read the file again from its first record.
      if (next != driver_time + dt) drivers_.rewind();
      driver_time = next;
      // Drivers are piecewise constant: one lookup per step, at its start.
      place_ = RunFailurePlace::kDrivers;
      drivers_.GetDrivers(model_.drivers, driver_time, settings_.stop_time);
      ++step_counter;
      // The step is done, its reset applied and the next drivers are in place.
      if (progress_) {
        progress_(run_progress_percent(reached, settings_.start_time, settings_.stop_time),
                  reached);
      }
    }
  }

  // The end of every run: close the driver file and the sink. A failure here
  // is the run's failure unless an earlier one ended it.
  void finish(std::exception_ptr& failure, bool completed) {
    processes_into_table();
    drivers_.close();
    if (!sink_begun_) return;
    try {
      if (completed) {
        sink_.end();
      } else {
        sink_.end_incomplete();
      }
    } catch (...) {
      if (!failure) {
        failure = std::current_exception();
        place_ = RunFailurePlace::kOutput;
      }
    }
  }

  // Fills the result's failure detail: when and where the run stopped, and
  // for a failure of the equations or the integrator, what caused it.
  void describe_failure(const std::exception_ptr& failure) {
    RunFailureDetail& detail = result_.failure_detail;
    detail.place = place_;
    detail.time_reached = result_.present_time;
    detail.failed_step_start = result_.present_time;
    detail.time_step = settings_.time_step;
    detail.driver_time = place_ == RunFailurePlace::kStartTime ? evaluated_time_ : driver_time_;
    detail.records_kept = result_.records_written;
    const EvaluationClock clock{settings_.time_step, timeline_.origin};
    const auto group_of_trial_fault = [&]() -> std::string {
      if (place_ != RunFailurePlace::kIntegration || !derivatives_.has_faulted()) return {};
      return faulting_equation_group(model_, clock, derivatives_.faulted_states(),
                                     derivatives_.faulted_time(), false);
    };
    try {
      std::rethrow_exception(failure);
    } catch (const EStepTooSmall& e) {
      detail.limiting_state = e.largest_error();
      detail.step_growth_limited = e.growth_limited();
      // A step cut down by divisions by zero: where they arose.
      if (detail.limiting_state == 0) detail.equation_group = group_of_trial_fault();
    } catch (const EMathError& e) {
      if (place_ == RunFailurePlace::kIntegration) {
        // The integrator's own test of its error estimate involves no equation.
        if (std::string_view(e.what()) != integrator::kNonFiniteError) {
          detail.equation_group = group_of_trial_fault();
        }
      } else if (place_ == RunFailurePlace::kStartTime || place_ == RunFailurePlace::kStepEnd) {
        StateVector y = evaluated_states_;
        if (place_ == RunFailurePlace::kStartTime) {
          for (int i = 1; i <= model_.ModelInfo.StateCount; ++i) {
            y[static_cast<std::size_t>(i - 1)] = model_.states[i].value;
          }
        }
        detail.equation_group = faulting_equation_group(model_, clock, y, evaluated_time_,
                                                        place_ == RunFailurePlace::kStepEnd);
      }
    } catch (...) {
      // Other failures name their own cause.
    }
  }

 private:
  // The process table takes the end-of-step processes of the last completed
  // step when a record is due and when the run ends: the table's 134 entries
  // lie apart in memory, and a run with sparse output (a spin-up with annual
  // records) need not write them at every step.
  void processes_into_table() {
    if (!processes_owed_) return;
    for (int i = 1; i <= model_.ModelInfo.ProcessCount; ++i) {
      model_.processes[i].value = step_processes_[static_cast<std::size_t>(i)];
    }
    processes_owed_ = false;
  }

  RunResult& result_;
  Model& model_;
  const RunSettings& settings_;
  std::shared_ptr<const DriverRecords> records_;
  RecordSink& sink_;
  const std::stop_token& stop_;
  const RunProgress& progress_;
  DriverLookup drivers_;
  DriverTimeline timeline_;
  bool sink_begun_ = false;
  // The integrator's derivative function, kept here so that a fault in a
  // trial can be looked into after the run has failed.
  PreparedDerivatives derivatives_;
  // Where the run is, for the failure detail: the part of the step under way,
  // the driver time of the step, and the states and time of the evaluation
  // on the tables under way.
  RunFailurePlace place_ = RunFailurePlace::kPreparation;
  double driver_time_ = 0.0;
  StateVector evaluated_states_{};
  double evaluated_time_ = 0.0;
  // The processes of the last completed step, until the table takes them.
  ProcessValues step_processes_{};
  bool processes_owed_ = false;
};

}  // namespace

std::string RunResult::failure_message() const {
  if (!failure) return {};
  try {
    std::rethrow_exception(failure);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown failure";
  }
}

void RunResult::rethrow_failure() const {
  if (outcome == RunOutcome::kFailed && failure) std::rethrow_exception(failure);
}

std::shared_ptr<const DriverRecords> read_run_drivers(const Model& model,
                                                      const RunSettings& settings) {
  // A run whose steps cannot be counted (an endless stop time, more steps
  // than any run takes, or times so large that a step does not move them)
  // may reach any record: the whole file is read, rather than following its
  // steps here without end before the run could be cancelled.
  const double last = steps_countable(settings) ? driver_time_range(settings).looked_up_last
                                                : std::numeric_limits<double>::infinity();
  std::shared_ptr<const DriverRecords> records =
      DriverRecords::read(settings.driver_file, model, last);
  if (!records) throw EInOutError(std::string(kDriverFileMissingMessage), settings.driver_file);
  return records;
}

RunResult Run(Model model, const RunSettings& settings, RecordSink& sink, std::stop_token stop,
              const RunProgress& progress) {
  return Run(std::move(model), settings, nullptr, sink, std::move(stop), progress);
}

RunResult Run(Model model, const RunSettings& settings,
              std::shared_ptr<const DriverRecords> drivers, RecordSink& sink, std::stop_token stop,
              const RunProgress& progress) {
  RunResult result;
  result.model = std::move(model);
  result.present_time = settings.start_time;
  std::exception_ptr failure;
  RunLoop loop(result, settings, std::move(drivers), sink, stop, progress);
  try {
    result.outcome = loop.run();
  } catch (const EUserCancel&) {
    result.outcome = RunOutcome::kCancelled;
  } catch (...) {
    failure = std::current_exception();
  }
  loop.finish(failure, !failure && result.outcome == RunOutcome::kCompleted);
  if (failure) {
    result.outcome = RunOutcome::kFailed;
    result.failure = failure;
    loop.describe_failure(failure);
  }
  return result;
}

void commit_run(Model& model, const RunResult& result) {
  const TModelDef& info = model.ModelInfo;
  for (std::int32_t i = 1; i <= info.StateCount; ++i) {
    model.states[i].value = result.model.states[i].value;
  }
  for (std::int32_t i = 1; i <= info.ProcessCount; ++i) {
    model.processes[i].value = result.model.processes[i].value;
  }
  for (std::int32_t i = 1; i <= info.DriverCount; ++i) {
    model.drivers[i].value = result.model.drivers[i].value;
  }
  model.NewYear = result.model.NewYear;
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

double next_driver_time(const RunSettings& settings, double origin, double driver_time) {
  const double next = driver_time + settings.time_step;
  if (settings.repeat_drivers && next > settings.repeat_time) return origin;
  return next;
}

std::string repeat_settings_refusal(const RunSettings& settings) {
  const double dt = settings.time_step;
  if (settings.first_start_time) {
    const double first = *settings.first_start_time;
    const double steps = (settings.start_time - first) / dt;
    if (!time_within_precision(first) || first > settings.start_time ||
        std::fabs(steps - std::nearbyint(steps)) > 0.001) {
      return "The first start time, " + shortest_decimal_text(first) +
             ", must lie a whole number of time steps before the start time, " +
             shortest_decimal_text(settings.start_time) +
             ": it is the start of the run that this one continues.";
    }
  }
  const double origin = settings.first_start_time.value_or(settings.start_time);
  if (settings.repeat_drivers && origin + dt > settings.repeat_time) {
    const std::string start = shortest_decimal_text(origin);
    return "Repeated drivers return to the start time once the driver time passes the repeat "
           "time; with the start at day " +
           start + " and the repeat time at day " + std::to_string(settings.repeat_time) +
           ", every step would return to the start, and the whole run would see the weather of "
           "day " +
           start +
           " alone. Give a repeat time after the first step; to continue a run on repeated "
           "drivers, give the start time of its first run as the first start time.";
  }
  return {};
}

DriverTimeline driver_timeline(const RunSettings& settings) {
  const std::string refusal = repeat_settings_refusal(settings);
  if (!refusal.empty()) throw ERunTimeError(refusal);
  DriverTimeline timeline;
  timeline.origin = settings.first_start_time.value_or(settings.start_time);
  timeline.first = settings.start_time;
  const double dt = settings.time_step;
  if (!settings.first_start_time || !(dt > 0.0) || !std::isfinite(dt)) return timeline;
  const double step_count = std::nearbyint((settings.start_time - timeline.origin) / dt);
  timeline.first = timeline.origin;
  if (step_count == 0.0) return timeline;
  timeline.continued = true;
  if (!(step_count <= kMostCountedSteps)) {
    // Too many steps to follow: where they lead, up to their rounding.
    timeline.first = settings.start_time;
    timeline.NewYear = ends_model_year(settings.start_time);
    return timeline;
  }
  auto steps = static_cast<long long>(step_count);
  if (settings.repeat_drivers) {
    // Steps in one round of the repeated drivers; only the last round before
    // the start needs following.
    long long round = 0;
    double d = timeline.origin;
    do {
      d = next_driver_time(settings, timeline.origin, d);
      ++round;
    } while (d != timeline.origin);
    steps = (steps - 1) % round + 1;
  }
  double driver_time = timeline.origin;
  double step_end = driver_time;
  for (long long i = 0; i < steps; ++i) {
    step_end = driver_time + dt;
    driver_time = next_driver_time(settings, timeline.origin, driver_time);
  }
  timeline.first = driver_time;
  timeline.NewYear = ends_model_year(step_end);
  return timeline;
}

DriverTimeRange driver_time_range(const RunSettings& settings) {
  const DriverTimeline timeline = driver_timeline(settings);
  DriverTimeRange range;
  range.first = timeline.first;
  range.last = timeline.first;
  range.looked_up_last = timeline.first;
  if (!(settings.time_step > 0.0) || !std::isfinite(settings.time_step)) return range;
  if (!steps_countable(settings)) {
    // Too many steps to follow one by one: the range they cover.
    range.last = settings.repeat_drivers
                     ? std::max(range.first, static_cast<double>(settings.repeat_time))
                     : range.first + (settings.stop_time - settings.start_time);
    range.repeats = settings.repeat_drivers;
    range.looked_up_last = range.last;
    return range;
  }
  double present = settings.start_time;
  double driver_time = timeline.first;
  while (present + settings.time_step <= settings.stop_time) {
    range.first = std::min(range.first, driver_time);
    range.last = std::max(range.last, driver_time);
    present += settings.time_step;
    const double next = next_driver_time(settings, timeline.origin, driver_time);
    if (next != driver_time + settings.time_step) range.repeats = true;
    driver_time = next;
  }
  range.looked_up_last = std::max(range.last, driver_time);
  return range;
}

std::string drivers_end_warning(const RunSettings& settings, double last_driver_time) {
  // The last driver time a run looks up for a step.
  const DriverTimeRange range = driver_time_range(settings);
  if (!(range.last > last_driver_time)) return {};
  char text[kMaxGeneralLength];
  const std::string day(text, format_general(text, last_driver_time, 15));
  if (range.repeats) {
    return "the driver file ends at day " + day + "; its last record holds from there to day " +
           shortest_decimal_text(range.last) + ", after which the drivers repeat";
  }
  return "the driver file ends at day " + day +
         "; its last record holds from there to the stop time";
}

}  // namespace vindrel
