// The cost of the equations: one evaluation on the states' values and flags
// (the form the run loop's step update reduces to), one on whole tables, and
// the integrator's derivative function, on a temperate forest in summer and
// under a winter snowpack.
#include <benchmark/benchmark.h>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/testing.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

constexpr double kSummerDay = 200.0;
constexpr double kWinterDay = 30.0;

// The stand on a July day, or on a cold January day with snow on the ground.
Model forest(double day) {
  Model model = support::temperate_forest();
  if (day == kWinterDay) {
    model.drivers[driver::Tamax].value = -0.6;
    model.drivers[driver::Tamin].value = -9.7;
    model.drivers[driver::Ts].value = 1.3;
    model.drivers[driver::Ppt].value = 2.3;
    model.drivers[driver::II].value = 5.9;
    model.states[state::Cf].value = 6.0;  // the evergreen remnant
    model.states[state::Nf].value = 0.12;
    model.states[state::Ws].value = 80.0;
    model.states[state::DDa].value = 0.0;
    model.states[state::DDs].value = 0.0;
  }
  model.states[state::Jday].value = day;
  return model;
}

const EvaluationClock kClock{1.0, 0.0};

void BM_EvaluateEquations(benchmark::State& bench) {
  const double day = static_cast<double>(bench.range(0));
  Model model = forest(day);
  const bool step_update = bench.range(1) != 0;
  const StateValues initial = state_values_of(model.states, state::kCount);
  ProcessValues processes{};
  for (auto _ : bench) {
    // The step update moves the states; start every evaluation from the same day.
    StateValues states = initial;
    EvaluateEquations(model, kClock, states, day, processes, step_update);
    benchmark::DoNotOptimize(processes);
    benchmark::DoNotOptimize(states);
  }
}
BENCHMARK(BM_EvaluateEquations)
    ->ArgNames({"day", "step_update"})
    ->Args({static_cast<int>(kSummerDay), 0})
    ->Args({static_cast<int>(kSummerDay), 1})
    ->Args({static_cast<int>(kWinterDay), 1});

void BM_EvaluateEquationsOnTables(benchmark::State& bench) {
  const double day = static_cast<double>(bench.range(0));
  Model model = forest(day);
  for (auto _ : bench) {
    EvaluateEquations(model, kClock, model.states, day, model.processes, false);
    benchmark::DoNotOptimize(model.processes);
  }
}
BENCHMARK(BM_EvaluateEquationsOnTables)
    ->ArgName("day")
    ->Arg(static_cast<int>(kSummerDay))
    ->Arg(static_cast<int>(kWinterDay));

void BM_ComputeDerivatives(benchmark::State& bench) {
  const double day = static_cast<double>(bench.range(0));
  const Model model = forest(day);
  StateVector y{};
  for (int i = 1; i <= state::kCount; ++i) y[i - 1] = model.states[i].value;
  StateVector dydt{};
  for (auto _ : bench) {
    ComputeDerivatives(model, kClock, y, dydt, day + 0.5);
    benchmark::DoNotOptimize(dydt);
  }
}
BENCHMARK(BM_ComputeDerivatives)
    ->ArgName("day")
    ->Arg(static_cast<int>(kSummerDay))
    ->Arg(static_cast<int>(kWinterDay));

}  // namespace
}  // namespace vindrel
