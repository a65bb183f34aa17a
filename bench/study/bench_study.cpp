// Studies on the example stand: runs per second with one job and with two,
// the cost of a study of one-year runs beside the same runs made one by one
// as vindrel-cli run makes them, the peak memory as the runs grow, and a
// scaled-down Sobol study of 20 factors with its projection to the full one.
//
// The machine may be shared, so paired figures are taken in alternating
// rounds (one job, then two; the study, then the single runs) and the best
// round of each is kept, or their sums compared, so that a busy moment falls
// on both sides. Times of the single runs and the study are the process's CPU
// time; runs per second are wall-clock.
//
// A program of its own: the main benchmark program counts evaluations in
// counters that every thread would share.
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/number_format.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "study/factors.hpp"
#include "study/metrics.hpp"
#include "study/samplers.hpp"
#include "study/study_run.hpp"

namespace vindrel::bench {
namespace {

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";
constexpr double kYear = 366.0;

double process_cpu_seconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + 1e-9 * static_cast<double>(now.tv_nsec);
}

double wall_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

const std::string& scratch() {
  static const std::string folder = [] {
    const auto path = std::filesystem::temp_directory_path() /
                      ("vindrel_bench_study_" + std::to_string(getpid()));
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return folder;
}

Model example_model() {
  Model model = make_model();
  ReadParamFile(kExamples + "vindrel-example.par", model);
  return model;
}

// A study of `rows` runs from day 1 over `days` days, the foliage density and
// the canopy albedo varied by a few percent (runs of much the same cost).
study::StudyRunSettings study_of(std::size_t rows, double days, unsigned jobs,
                                 const std::string& results) {
  const Model model = example_model();
  study::StudyRunSettings settings;
  settings.run.start_time = 1.0;
  settings.run.stop_time = 1.0 + days;
  settings.run.driver_file = kExamples + "vindrel-example.drr";
  settings.factors = {{"mF", study::FactorKind::kParameter, 25, 25.0, 35.0},
                      {"alphaT", study::FactorKind::kParameter, 9, 0.1, 0.2}};
  settings.samples.names = {"mF", "alphaT"};
  for (std::size_t i = 0; i < rows; ++i) {
    const double f = static_cast<double>(i % 16) / 16.0;
    settings.samples.rows.push_back({28.0 + 5.0 * f, 0.13 + 0.04 * f});
  }
  settings.metrics = study::parse_metrics({"nep=NEP:mean", "lai=process:LAI:max"}, model, {}, 1.0,
                                          settings.run.stop_time);
  settings.results_file = results;
  settings.jobs = jobs;
  std::filesystem::remove(results);
  return settings;
}

// Runs per second with one and with two jobs, rounds alternated; and the
// CPU time per run in each, which tells a busy machine (two jobs use no more
// CPU per run, but get no second processor) from contention between the runs.
void study_jobs(benchmark::State& state) {
  const Model model = example_model();
  constexpr std::size_t kRuns = 24;
  double best_wall[3] = {0.0, 1e300, 1e300};
  double best_cpu[3] = {0.0, 1e300, 1e300};
  for (auto _ : state) {
    for (int round = 0; round < 3; ++round) {
      for (unsigned jobs : {1u, 2u}) {
        const auto settings = study_of(kRuns, kYear, jobs, scratch() + "/jobs.csv");
        const double wall = wall_seconds();
        const double cpu = process_cpu_seconds();
        study::run_study(model, settings);
        best_wall[jobs] = std::min(best_wall[jobs], wall_seconds() - wall);
        best_cpu[jobs] = std::min(best_cpu[jobs], process_cpu_seconds() - cpu);
      }
    }
  }
  const auto runs = static_cast<double>(kRuns);
  state.counters["runs_per_s_1_job"] = runs / best_wall[1];
  state.counters["runs_per_s_2_jobs"] = runs / best_wall[2];
  state.counters["speedup_2_jobs"] = best_wall[1] / best_wall[2];
  state.counters["cpu_s_per_run_1_job"] = best_cpu[1] / runs;
  state.counters["cpu_s_per_run_2_jobs"] = best_cpu[2] / runs;
  // Processors busy on average while two jobs ran (2 at best).
  state.counters["processors_used_2_jobs"] = best_cpu[2] / best_wall[2];
}
BENCHMARK(study_jobs)->Name("study/one_and_two_jobs")->Iterations(1)->Unit(benchmark::kSecond);

// 200 one-year runs: a study on one job against 200 runs made as vindrel-cli
// run makes them (the parameter file read, the run, its daily output file),
// in ten alternated rounds of 20; and the study keeping every run's output
// file, the same work as the single runs but for reading the parameter file.
void study_cost(benchmark::State& state) {
  constexpr int kRounds = 10;
  constexpr std::size_t kRunsPerRound = 20;
  double study_cpu = 0.0;
  double kept_cpu = 0.0;
  double single_cpu = 0.0;
  for (auto _ : state) {
    for (int round = 0; round < kRounds; ++round) {
      auto settings = study_of(kRunsPerRound, kYear, 1, scratch() + "/cost.csv");
      double start = process_cpu_seconds();
      study::run_study(example_model(), settings);
      study_cpu += process_cpu_seconds() - start;

      settings = study_of(kRunsPerRound, kYear, 1, scratch() + "/cost-kept.csv");
      settings.keep_outputs = scratch();
      start = process_cpu_seconds();
      study::run_study(example_model(), settings);
      kept_cpu += process_cpu_seconds() - start;

      start = process_cpu_seconds();
      for (std::size_t i = 0; i < kRunsPerRound; ++i) {
        Model model = make_model();
        ReadParamFile(kExamples + "vindrel-example.par", model);
        model.parameters[25].value = settings.samples.rows[i][0];
        model.parameters[9].value = settings.samples.rows[i][1];
        RunSettings run = settings.run;
        run.output_file = scratch() + "/single.out";
        OutputFileSink sink(run.output_file);
        benchmark::DoNotOptimize(vindrel::Run(std::move(model), run, sink));
      }
      single_cpu += process_cpu_seconds() - start;
    }
  }
  state.counters["study_cpu_s"] = study_cpu;
  state.counters["study_keeping_outputs_cpu_s"] = kept_cpu;
  state.counters["single_runs_cpu_s"] = single_cpu;
  state.counters["study_over_single_runs"] = study_cpu / single_cpu;
  state.counters["keeping_outputs_over_single_runs"] = kept_cpu / single_cpu;
}
BENCHMARK(study_cost)->Name("study/200_one_year_runs")->Iterations(1)->Unit(benchmark::kSecond);

// A Sobol study of 20 parameters of the example stand, each within 10 % of its
// value, on runs of 10 model years with NEP's mean as the metric, on two jobs:
// the full study has N = 1024 base points, 1024 x (20 + 2) = 22,528 runs. The
// benchmark makes the first N = 8 base points with dopri5 at its default
// tolerance (176 runs) and N = 2 with rk4 (44 runs), and projects the full
// study's time from each: the runs per second measured (wall clock, so it
// holds only on a machine the study has to itself), and the CPU time per run
// spread over two processors (what an idle two-processor machine would take).
constexpr const char* kSobolParameters[] = {
    "mF",     "aNf", "omegaS", "Clfwmax", "atau", "rm",      "gammaR",  "rg", "Q10D", "beta",
    "alphaT", "gAW", "gf",     "gw",      "gr",   "UNH4max", "UNO3max", "aH", "aA",   "aNtri"};
constexpr std::size_t kFullSobolRuns = 1024 * (20 + 2);

study::StudyRunSettings sobol_study(const Model& model, std::size_t base_points,
                                    IntegratorKind integrator, const std::string& results) {
  std::string text = "factor,low,high\n";
  for (const char* symbol : kSobolParameters) {
    double value = 0.0;
    for (int i = 1; i <= model.ModelInfo.ParameterCount; ++i) {
      if (model.parameters[i].symbol == symbol) value = model.parameters[i].value;
    }
    text += std::string(symbol) + "," + shortest_decimal_text(0.9 * value) + "," +
            shortest_decimal_text(1.1 * value) + "\n";
  }
  study::StudyRunSettings settings;
  settings.run.start_time = 1.0;
  settings.run.stop_time = 1.0 + 10 * kYear;
  settings.run.driver_file = kExamples + "vindrel-example.drr";
  settings.run.integrator = integrator;
  settings.factors = study::parse_factors(text, "sobol factors", model);
  study::SampleOptions options;
  options.method = study::SampleMethod::kSobol;
  options.n = base_points;
  settings.samples = study::make_sample(settings.factors, options);
  settings.metrics = study::parse_metrics({"nep=NEP:mean"}, model, {}, 1.0, settings.run.stop_time);
  settings.results_file = results;
  settings.jobs = 2;
  std::filesystem::remove(results);
  return settings;
}

void sobol_20_factors(benchmark::State& state) {
  const Model model = example_model();
  for (auto _ : state) {
    for (const IntegratorKind integrator : {IntegratorKind::kDopri5, IntegratorKind::kRk4}) {
      const bool dopri5 = integrator == IntegratorKind::kDopri5;
      const auto settings =
          sobol_study(model, dopri5 ? 8 : 2, integrator, scratch() + "/sobol.csv");
      const double wall = wall_seconds();
      const double cpu = process_cpu_seconds();
      const study::StudyOutcome outcome = study::run_study(model, settings);
      const double wall_used = wall_seconds() - wall;
      const double cpu_used = process_cpu_seconds() - cpu;
      const auto runs = static_cast<double>(settings.samples.rows.size());
      const std::string name = dopri5 ? "dopri5" : "rk4";
      state.counters[name + "_runs"] = runs;
      state.counters[name + "_failed_runs"] = static_cast<double>(outcome.progress.failed);
      state.counters[name + "_runs_per_s"] = runs / wall_used;
      state.counters[name + "_cpu_ms_per_run"] = 1e3 * cpu_used / runs;
      state.counters[name + "_processors_used"] = cpu_used / wall_used;
      // The full study, in minutes.
      state.counters[name + "_projected_min"] = kFullSobolRuns / (runs / wall_used) / 60.0;
      state.counters[name + "_projected_min_two_processors"] =
          kFullSobolRuns * (cpu_used / runs) / 2.0 / 60.0;
    }
  }
}
BENCHMARK(sobol_20_factors)
    ->Name("study/sobol_20_factors_10_years")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);

// Peak resident memory (kB) since the last reset.
long peak_kilobytes() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("VmHWM:")) return std::stol(line.substr(6));
  }
  return -1;
}
void reset_peak() { std::ofstream("/proc/self/clear_refs") << "5"; }

// The peak memory of studies of 50 and 1000 short runs on two jobs.
void study_memory(benchmark::State& state) {
  const Model model = example_model();
  long small = 0;
  long large = 0;
  for (auto _ : state) {
    for (std::size_t rows : {std::size_t{50}, std::size_t{1000}}) {
      const auto settings = study_of(rows, 30.0, 2, scratch() + "/memory.csv");
      reset_peak();
      study::run_study(model, settings);
      (rows == 50 ? small : large) = peak_kilobytes();
    }
  }
  state.counters["peak_kB_50_runs"] = static_cast<double>(small);
  state.counters["peak_kB_1000_runs"] = static_cast<double>(large);
  state.counters["peak_ratio"] = static_cast<double>(large) / static_cast<double>(small);
}
BENCHMARK(study_memory)->Name("study/peak_memory")->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace
}  // namespace vindrel::bench
