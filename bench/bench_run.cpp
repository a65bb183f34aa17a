// Whole runs of the example stand: the run loop as the desktop's Run and
// vindrel-cli run make it, from the parameter and driver files to the output
// file, over kRunYears model years with a time step of one day. Each pass
// starts again from the stand's initial states.
//
// The best run's CPU time is the figure compared (cpu_clock.hpp).
// "with output" writes a record every day into a file in the scratch folder;
// "without output" writes the header only (the output step is longer than the
// run), so the difference is the cost of the records. The counters give the
// evaluations of the equations and the records per simulated year.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <limits>

#include "bench/bench_data.hpp"
#include "bench/bench_names.hpp"
#include "bench/cpu_clock.hpp"
#include "bench/evaluation_counter.hpp"
#include "fileio/driver_file.hpp"
#include "run/run_loop.hpp"
#include "run/run_settings.hpp"

namespace vindrel::bench {
namespace {

constexpr double kDaysPerYear = 366.0;

void run_years(benchmark::State& state, bool with_output) {
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
  RunObserver silent;
  DriverLookup drivers;

  const EvaluationCount before = evaluation_count();
  Model model;
  double best_seconds = std::numeric_limits<double>::infinity();
  for (auto _ : state) {
    state.PauseTiming();
    model = stand;
    RunState run_state;
    state.ResumeTiming();
    const double start = thread_cpu_seconds();
    if (Run(model, settings, drivers, run_state, silent) != RunOutcome::kCompleted) {
      state.SkipWithError("the run did not complete");
      break;
    }
    best_seconds = std::min(best_seconds, thread_cpu_seconds() - start);
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
  // The least disturbed run.
  state.counters[kBestMsPerYear] = best_seconds * 1e3 / kRunYears;
}

void BM_RunWithoutOutput(benchmark::State& state) { run_years(state, false); }
void BM_RunWithOutput(benchmark::State& state) { run_years(state, true); }

BENCHMARK(BM_RunWithoutOutput)->Name(kRunWithoutOutput)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunWithOutput)->Name(kRunWithOutput)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace vindrel::bench
