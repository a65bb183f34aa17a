// Whole runs of the example stand: the run loop as the desktop's Run and
// vindrel-cli run make it, from the parameter and driver files to the output
// file, over kRunYears model years with a time step of one day. Each pass
// starts again from the stand's initial states.
//
// Each time step is timed with the thread's CPU clock, and the figure compared
// is the sum of every step's best time over the passes (cpu_clock.hpp), less
// the reading of the clock that each step's time holds.
// The runs take the driver records they reach read once before the passes, as
// the runs of a study do; reading them (which a run alone does at its start)
// is timed on its own and given per simulated year.
// "with output" writes a record every day into a file in the scratch folder;
// "without output" writes the header only (the output step is longer than the
// run), so the difference is the cost of the records. The counters give the
// evaluations of the equations and the records per simulated year. The same
// runs are made with rk4 (the default) and with dopri5 at its default tolerance.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

#include "bench/bench_data.hpp"
#include "bench/bench_names.hpp"
#include "bench/cpu_clock.hpp"
#include "bench/evaluation_counter.hpp"
#include "core/model_constants.hpp"
#include "fileio/driver_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

constexpr double kDaysPerYear = kModelYearDays;

// Times every time step of a run with the thread's CPU clock, through the
// run's progress callback, called once per step: entry 0 runs from the start
// of the run to the end of its first step (the preparation with it), the last
// entry from the end of the last step to the end of the run (closing the files).
// Each entry also holds one reading of the clock, which is a system call (some
// 200 ns, a fiftieth of a dopri5 step): read_cost() measures it, so that it
// can be taken off.
class StepTimer {
 public:
  explicit StepTimer(std::size_t steps) { times_.reserve(steps + 2); }
  void start() {
    times_.clear();
    last_ = thread_cpu_seconds();
  }
  void lap() {
    const double now = thread_cpu_seconds();
    times_.push_back(now - last_);
    last_ = now;
  }
  void finish() { lap(); }
  // The least time between two readings of the clock in a row: what one
  // reading adds to an entry.
  static double read_cost() {
    double least = std::numeric_limits<double>::infinity();
    double last = thread_cpu_seconds();
    for (int i = 0; i < 10000; ++i) {
      const double now = thread_cpu_seconds();
      least = std::min(least, now - last);
      last = now;
    }
    return least;
  }
  const std::vector<double>& times() const { return times_; }

 private:
  std::vector<double> times_;
  double last_ = 0.0;
};

void run_years(benchmark::State& state, bool with_output,
               IntegratorKind integrator = IntegratorKind::kRk4) {
  const Model stand = example_model();
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 1.0 + kRunYears * kDaysPerYear;
  settings.time_step = 1.0;
  // Without output the output step is longer than the run: no record is due.
  settings.output_step = with_output ? 1.0 : 2.0 * kRunYears * kDaysPerYear;
  settings.batch_mode = true;  // failures are thrown, nothing is shown
  settings.driver_file = example_stand().driver_file;
  settings.output_file = scratch_file(with_output ? "run.out" : "run-header-only.out");
  settings.integrator = integrator;  // with its default tolerance
  const auto steps = static_cast<std::size_t>(kRunYears * kDaysPerYear);
  StepTimer timer(steps);
  const RunProgress progress = [&timer](int, double) { timer.lap(); };

  const double reading_start = thread_cpu_seconds();
  const std::shared_ptr<const DriverRecords> drivers = read_run_drivers(stand, settings);
  const double reading = thread_cpu_seconds() - reading_start;

  const EvaluationCount before = evaluation_count();
  Model model;
  double best_run = std::numeric_limits<double>::infinity();
  std::vector<double> best_steps;
  for (auto _ : state) {
    state.PauseTiming();
    model = stand;
    OutputFileSink sink(settings.output_file);
    state.ResumeTiming();
    timer.start();
    if (Run(std::move(model), settings, drivers, sink, {}, progress).outcome !=
        RunOutcome::kCompleted) {
      state.SkipWithError("the run did not complete");
      break;
    }
    timer.finish();
    const std::vector<double>& times = timer.times();
    double run = 0.0;
    for (const double time : times) run += time;
    best_run = std::min(best_run, run);
    if (best_steps.empty())
      best_steps.assign(times.size(), std::numeric_limits<double>::infinity());
    for (std::size_t i = 0; i < times.size() && i < best_steps.size(); ++i) {
      best_steps[i] = std::min(best_steps[i], times[i]);
    }
  }
  const EvaluationCount after = evaluation_count();
  const double years = static_cast<double>(state.iterations()) * kRunYears;
  if (years == 0.0) return;
  // Every pass writes one record per day when writing, and none otherwise.
  const double records = with_output ? years * kDaysPerYear : 0.0;
  state.counters[kDerivativeEvaluationsPerYear] =
      static_cast<double>(after.derivatives - before.derivatives) / years;
  // The start-time evaluation of each run and the end-of-step evaluation of each day.
  state.counters[kStepEvaluationsPerYear] =
      static_cast<double>(after.tables - before.tables) / years;
  state.counters[kRecordsPerYear] = records / years;
  state.counters["simulated_years"] = years;
  // Every step takes the same work in every pass, so the sum of each step's
  // best time is the run's time undisturbed by the other programs on the
  // machine; the best whole pass is shown beside it.
  // The clock's own reading is taken off every step's time.
  const double read_cost = StepTimer::read_cost();
  double best = 0.0;
  for (const double time : best_steps) best += std::max(0.0, time - read_cost);
  state.counters[kClockReadNs] = read_cost * 1e9;
  state.counters[kBestMsPerYear] = best * 1e3 / kRunYears;
  state.counters[kBestPassMsPerYear] = best_run * 1e3 / kRunYears;
  state.counters[kDriverRecordsMsPerYear] = reading * 1e3 / kRunYears;
}

void BM_RunWithoutOutput(benchmark::State& state) { run_years(state, false); }
void BM_RunWithOutput(benchmark::State& state) { run_years(state, true); }
void BM_RunWithoutOutputDopri5(benchmark::State& state) {
  run_years(state, false, IntegratorKind::kDopri5);
}
void BM_RunWithOutputDopri5(benchmark::State& state) {
  run_years(state, true, IntegratorKind::kDopri5);
}

BENCHMARK(BM_RunWithoutOutput)->Name(kRunWithoutOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunWithOutput)->Name(kRunWithOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunWithoutOutputDopri5)->Name(kRunWithoutOutputDopri5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunWithOutputDopri5)->Name(kRunWithOutputDopri5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vindrel::bench
