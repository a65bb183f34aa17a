// The cost of one evaluation of the model's equations, beside its floor.
//
// The floor is the arithmetic alone: the same groups of processes and the same
// derivatives (the very functions the equations library runs) called on a plain
// struct of doubles that was filled once, with no table copied in or out, no
// floating-point flags cleared or tested and nothing stored by position.
// ComputeDerivatives (the integrator's derivative function) and
// EvaluateEquations on the model's tables (the run loop's end-of-step form)
// add to it what a caller pays around the arithmetic.
//
// Every benchmark evaluates the example stand at the same moment: its initial
// states with the drivers of a summer day, at a time inside a step.
#include <benchmark/benchmark.h>

#include "bench/bench_data.hpp"
#include "bench/bench_names.hpp"
#include "bench/evaluation_counter.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "fileio/driver_file.hpp"

namespace vindrel::bench {
namespace {

// Day of the drivers and time of the evaluation: mid-step on a summer day.
constexpr double kDriverDay = 200.0;
constexpr double kEvaluationTime = 200.5;

struct Moment {
  Model model;
  EvaluationClock clock{1.0, 1.0};
  StateVector y{};
};

Moment summer_moment() {
  Moment moment{example_model()};
  DriverLookup lookup;
  lookup.OpenDriverFile(example_stand().driver_file, moment.model, false);
  lookup.GetDrivers(moment.model.drivers, kDriverDay, kDriverDay + 1.0);
  lookup.CloseDriverFile();
  for (int i = 1; i <= state::kCount; ++i) moment.y[i - 1] = moment.model.states[i].value;
  return moment;
}

// The evaluation's struct as ComputeDerivatives fills it for this moment.
equations::Evaluation filled_evaluation(const Moment& moment) {
  equations::Evaluation e;
  const Model& model = moment.model;
#define VINDREL_DRIVER(id, symbol, name, units) e.id = model.drivers[driver::id].value;
#include "core/model_definition.def"
#undef VINDREL_DRIVER
#define VINDREL_STATE(id, symbol, name, units) e.id = moment.y[state::id - 1];
#include "core/model_definition.def"
#undef VINDREL_STATE
#define VINDREL_PARAMETER(id, symbol, name, units) e.id = model.parameters[parameter::id].value;
#include "core/model_definition.def"
#undef VINDREL_PARAMETER
  e.time = kEvaluationTime;
  e.dt = moment.clock.time_step;
  e.start_time = moment.clock.start_time;
  e.StepUpdate = false;
  return e;
}

void BM_EquationsFloor(benchmark::State& state) {
  const Moment moment = summer_moment();
  equations::Evaluation e = filled_evaluation(moment);
  for (auto _ : state) {
    benchmark::DoNotOptimize(&e);
    e.Pptr = 0.0;
    e.PptI = 0.0;
    e.Ppts = 0.0;
    e.Ms = 0.0;
    e.climate_and_water_balance();
    e.solar_geometry();
    e.photosynthesis();
    e.drainage_and_discharge();
    e.soil_mineral_nitrogen();
    e.nitrogen_uptake();
    e.drought_litter();
    e.litterfall();
    e.growth();
    e.respiration_and_transport();
    e.soil_organic_matter();
    e.ecosystem_totals();
    e.state_derivatives();
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(e.dCfdt);
}
BENCHMARK(BM_EquationsFloor)->Name(kEquationsFloor);

void BM_ComputeDerivatives(benchmark::State& state) {
  const Moment moment = summer_moment();
  StateVector dydt{};
  for (auto _ : state) {
    uncounted_ComputeDerivatives(moment.model, moment.clock, moment.y, dydt, kEvaluationTime);
    benchmark::DoNotOptimize(dydt.data());
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComputeDerivatives)->Name(kComputeDerivatives);

// On the model's own tables, as the run loop evaluates at the end of a step
// and the parameter editor at its calculation time. Without StepUpdate the
// states are not changed, so every pass evaluates the same moment.
void BM_EvaluateEquations(benchmark::State& state) {
  Moment moment = summer_moment();
  Model& model = moment.model;
  for (auto _ : state) {
    EvaluateEquations(model, moment.clock, model.states, kEvaluationTime, model.processes, false);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_EvaluateEquations)->Name(kEvaluateEquations);

}  // namespace
}  // namespace vindrel::bench
