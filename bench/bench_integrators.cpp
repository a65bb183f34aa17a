// The integrators compared on the example stand's 30-year run (daily steps):
// derivative evaluations, time and accuracy of the embedded pairs beside the
// model's own rk4.
//
// "integrators/speed" alternates whole runs of the three integrators, without
// output records and with them (a file in the scratch folder), timing each
// with the thread's CPU clock; the counters are each run's evaluations per
// simulated year and its time (the summary keeps the best over repetitions).
//
// "integrators/accuracy" runs each pair at its default tolerance and at a
// tolerance 100 times tighter (its reference), and rk4, keeping the states at the end of
// every model year and the annual summary. States are compared relative to the
// larger of their size and kStateFloor (a thousandth of the state's unit, for
// states near zero); summary figures relative to half a unit in their fourth
// significant digit (at most 1: they agree to 4 digits); the day figures
// (melt, leaf-out, leaf-fall day, dry days) are thresholds of the model and
// are listed where they differ. "integrators/tolerances" does the same for
// dopri5 at a few tolerances around its default.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/bench_data.hpp"
#include "bench/bench_names.hpp"
#include "bench/cpu_clock.hpp"
#include "bench/evaluation_counter.hpp"
#include "bench/integrator_comparison.hpp"
#include "core/model_constants.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"
#include "summary/annual_summary.hpp"

namespace vindrel::bench {
namespace {

constexpr double kStateFloor = 1e-3;  // in the state's own unit
// The pairs' default tolerance, and that of their references.
const double kDefaultRtol = RunSettings{}.relative_tolerance;
const double kReferenceRtol = kDefaultRtol / 100.0;
// The tolerances the tolerance benchmark tries, around the default.
constexpr double kTriedRtols[] = {1e-8, 2e-8, 3e-8, 5e-8, 8e-8};
constexpr IntegratorKind kPairs[] = {IntegratorKind::kDopri5, IntegratorKind::kFehlberg78};
constexpr IntegratorKind kAll[] = {IntegratorKind::kRk4, IntegratorKind::kDopri5,
                                   IntegratorKind::kFehlberg78};

RunSettings comparison_settings(IntegratorKind integrator, double rtol) {
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 1.0 + kComparisonYears * kModelYearDays;
  settings.time_step = 1.0;
  settings.output_step = 1.0;
  settings.driver_file = example_stand().driver_file;
  settings.integrator = integrator;
  settings.relative_tolerance = rtol;
  return settings;
}

// One run's time and derivative evaluations.
struct Timed {
  double seconds = 0.0;
  double evaluations = 0.0;
};

Timed timed_run(const Model& stand, const RunSettings& settings, RecordSink& sink) {
  Model model = stand;
  const EvaluationCount before = evaluation_count();
  const double start = thread_cpu_seconds();
  const RunResult result = Run(std::move(model), settings, sink);
  Timed timed{thread_cpu_seconds() - start, 0.0};
  timed.evaluations = static_cast<double>(evaluation_count().derivatives - before.derivatives);
  if (result.outcome != RunOutcome::kCompleted) {
    throw std::runtime_error(std::string(integrator_name(settings.integrator)) +
                             " run failed: " + result.failure_message());
  }
  return timed;
}

void BM_IntegratorSpeed(benchmark::State& state) {
  const Model stand = example_model();
  for (auto _ : state) {
    for (const IntegratorKind kind : kAll) {
      const std::string name(integrator_name(kind));
      RunSettings settings = comparison_settings(kind, kDefaultRtol);
      try {
        NullSink none;
        const Timed bare = timed_run(stand, settings, none);
        settings.output_file = scratch_file("integrators.out");
        OutputFileSink file(settings.output_file);
        const Timed written = timed_run(stand, settings, file);
        state.counters[name + kEvaluationsPerYearSuffix] = bare.evaluations / kComparisonYears;
        state.counters[name + kSecondsSuffix] = bare.seconds;
        state.counters[name + kSecondsWithOutputSuffix] = written.seconds;
      } catch (const std::exception& e) {
        state.SkipWithError(e.what());
        return;
      }
    }
  }
}

// What the comparison keeps of a run: the states at each year's end and the
// annual summary.
class YearEndSink final : public RecordSink {
 public:
  void begin(const Model&) override {}
  void record(const Model& model, double time) override {
    summary_.add(time, model);
    if (std::fmod(time, kModelYearDays) != 0.0) return;
    std::vector<double>& states = year_ends.emplace_back();
    for (int i = 1; i <= model.ModelInfo.StateCount; ++i) states.push_back(model.states[i].value);
  }
  void end() override { years = summary_.finish(); }

  std::vector<std::vector<double>> year_ends;
  std::vector<YearFigures> years;
  std::vector<std::string> symbols;

 private:
  AnnualSummary summary_;
};

YearEndSink kept_run(const Model& stand, IntegratorKind kind, double rtol) {
  YearEndSink sink;
  for (int i = 1; i <= stand.ModelInfo.StateCount; ++i) {
    sink.symbols.push_back(stand.states[i].symbol);
  }
  timed_run(stand, comparison_settings(kind, rtol), sink);
  return sink;
}

// The largest difference of the year-end states, relative to the larger of
// the state's size and kStateFloor; `where` names it.
double state_difference(const YearEndSink& run, const YearEndSink& against, std::string& where) {
  double worst = 0.0;
  for (std::size_t year = 0; year < run.year_ends.size() && year < against.year_ends.size();
       ++year) {
    for (std::size_t i = 0; i < run.year_ends[year].size(); ++i) {
      const double expected = against.year_ends[year][i];
      const double difference =
          std::fabs(run.year_ends[year][i] - expected) / std::max(std::fabs(expected), kStateFloor);
      if (difference > worst) {
        worst = difference;
        where = run.symbols[i] + ", end of year " + std::to_string(year + 1);
      }
    }
  }
  return worst;
}

bool is_day_figure(const SummaryColumn& column) {
  return column.units == "day" || column.units == "days";
}

// The largest difference of the summary figures in half units of their fourth
// significant digit; the day figures that differ are added to `flips`.
double summary_difference(const YearEndSink& run, const YearEndSink& against, std::string& where,
                          std::string& flips, int& flip_count, double& largest_flip) {
  const auto columns = summary_columns();
  double worst = 0.0;
  for (std::size_t year = 0; year < run.years.size() && year < against.years.size(); ++year) {
    const std::vector<double> values = summary_values(run.years[year]);
    const std::vector<double> expected = summary_values(against.years[year]);
    for (std::size_t c = 1; c < columns.size() && c < values.size(); ++c) {
      const double difference = std::fabs(values[c] - expected[c]);
      if (is_day_figure(columns[c])) {
        if (difference == 0.0) continue;
        ++flip_count;
        largest_flip = std::max(largest_flip, difference);
        char text[128];
        std::snprintf(text, sizeof text, "%s year %zu: %.0f instead of %.0f; ",
                      std::string(columns[c].heading).c_str(), year + 1, values[c], expected[c]);
        flips += text;
        continue;
      }
      if (expected[c] == 0.0 && values[c] == 0.0) continue;
      const double digit = std::floor(std::log10(std::fabs(expected[c])));
      const double half_unit = 0.5 * std::pow(10.0, digit - 3.0);
      if (difference / half_unit > worst) {
        worst = difference / half_unit;
        where = std::string(columns[c].heading) + ", year " + std::to_string(year + 1);
      }
    }
  }
  return worst;
}

std::string& notes() {
  static std::string text;
  return text;
}

void BM_IntegratorAccuracy(benchmark::State& state) {
  const Model stand = example_model();
  for (auto _ : state) {
    try {
      notes().clear();
      const YearEndSink rk4 = kept_run(stand, IntegratorKind::kRk4, 1e-8);
      for (const IntegratorKind kind : kPairs) {
        const std::string name(integrator_name(kind));
        const YearEndSink run = kept_run(stand, kind, kDefaultRtol);
        const YearEndSink reference = kept_run(stand, kind, kReferenceRtol);
        std::string at_reference, at_default, at_default_reference, at_summary, flips;
        int flip_count = 0;
        double largest_flip = 0.0;
        state.counters[name + kVersusReferenceSuffix] =
            state_difference(run, reference, at_reference);
        state.counters[name + kVersusDefaultSuffix] = state_difference(run, rk4, at_default);
        state.counters[name + kSummaryDigitsSuffix] =
            summary_difference(run, rk4, at_summary, flips, flip_count, largest_flip);
        state.counters[name + kDayFlipsSuffix] = flip_count;
        state.counters[name + kLargestFlipSuffix] = largest_flip;
        // How far the model's own integrator is from this pair's reference.
        state.counters[name + kDefaultVersusReferenceSuffix] =
            state_difference(rk4, reference, at_default_reference);
        notes() += "  " + name + ": largest state difference from its reference at " +
                   at_reference + ", from rk4 at " + at_default + "; largest summary difference " +
                   at_summary + "\n  " + name + " day figures that differ from rk4: " +
                   (flips.empty() ? std::string("none") : flips) + "\n";
      }
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
  }
}

// dopri5 at a few tolerances, each against its reference at a tolerance 100
// times tighter: the evaluations per simulated year and the largest year-end
// state difference, the figures the default tolerance is chosen by.
std::string& tolerance_table() {
  static std::string text;
  return text;
}

void BM_IntegratorTolerances(benchmark::State& state) {
  const Model stand = example_model();
  for (auto _ : state) {
    try {
      tolerance_table().clear();
      for (const double rtol : kTriedRtols) {
        const EvaluationCount before = evaluation_count();
        const YearEndSink run = kept_run(stand, IntegratorKind::kDopri5, rtol);
        const double evaluations =
            static_cast<double>(evaluation_count().derivatives - before.derivatives) /
            kComparisonYears;
        const YearEndSink reference = kept_run(stand, IntegratorKind::kDopri5, rtol / 100.0);
        std::string where;
        const double difference = state_difference(run, reference, where);
        char line[200];
        std::snprintf(line, sizeof line,
                      "  dopri5 rtol %-6.0e %8.0f evaluations per year, %.2e (%s)%s\n", rtol,
                      evaluations, difference, where.c_str(),
                      rtol == kDefaultRtol ? "  <- default" : "");
        tolerance_table() += line;
      }
    } catch (const std::exception& e) {
      state.SkipWithError(e.what());
      return;
    }
  }
}

BENCHMARK(BM_IntegratorSpeed)->Name(kIntegratorSpeed)->Unit(benchmark::kSecond);
BENCHMARK(BM_IntegratorAccuracy)->Name(kIntegratorAccuracy)->Unit(benchmark::kSecond);
BENCHMARK(BM_IntegratorTolerances)
    ->Name(kIntegratorTolerances)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);

}  // namespace

std::string integrator_comparison_notes() { return notes(); }
std::string integrator_tolerance_table() { return tolerance_table(); }

}  // namespace vindrel::bench
