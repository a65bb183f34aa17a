// The cost of one evaluation of the model's equations, beside its floor.
//
// The floor is the arithmetic alone: the same equation groups and the same
// derivatives (the very functions the equations library runs) called on a plain
// struct of doubles that was filled once, with no table copied in or out, no
// floating-point flags cleared or tested and nothing stored by position.
// ComputeDerivatives (the integrator's derivative function) and
// EvaluateEquations on the model's tables (the run loop's end-of-step form)
// add to it what a caller pays around the arithmetic. The three are timed in
// alternating batches (cpu_clock.hpp), so that their ratios hold on a busy
// machine.
//
// The first benchmark evaluates the example stand at one moment: its initial
// states with the drivers of a summer day, at a time inside a step. The second
// replays a sample of the inputs that the derivative evaluations of the very
// run timed by the run benchmarks were given (kRunYears model years of the
// example stand, every 48th evaluation), so that its floor is the floor of that
// run's own evaluations: the floor that the run is compared with. (The later
// years cost a few per cent more per evaluation than the first.)
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/bench_data.hpp"
#include "bench/bench_names.hpp"
#include "bench/cpu_clock.hpp"
#include "bench/evaluation_counter.hpp"
#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/evaluation.hpp"
#include "fileio/driver_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/run_settings.hpp"

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
  lookup.open(example_stand().driver_file, moment.model);
  lookup.GetDrivers(moment.model.drivers, kDriverDay, kDriverDay + 1.0);
  lookup.close();
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

// Evaluations per timed batch: long enough for the clock, short enough for
// many batches to escape the other programs on the machine.
constexpr int kBatch = 128;

void floor_evaluation(equations::Evaluation& e) {
  e.Pptr = 0.0;
  e.PptI = 0.0;
  e.Ppts = 0.0;
  e.Ms = 0.0;
  e.equation_groups();
  e.state_derivatives();
}

// One iteration is one batch of each: the floor, ComputeDerivatives, the
// prepared derivative function of the run loop (prepared once, as a run
// prepares it), and EvaluateEquations on the model's own tables (the
// evaluation of the parameter editor; without StepUpdate the states stay as
// they are, so every pass evaluates the same moment).
void BM_EquationsFloorAndCallers(benchmark::State& state) {
  Moment moment = summer_moment();
  equations::Evaluation e = filled_evaluation(moment);
  StateVector dydt{};
  Model& model = moment.model;
  PreparedDerivatives prepared;
  prepared.prepare(model, moment.clock);
  BestTime floor;
  BestTime derivatives;
  BestTime prepared_derivatives;
  BestTime tables;
  for (auto _ : state) {
    floor.time(kBatch, [&e] {
      benchmark::DoNotOptimize(&e);
      floor_evaluation(e);
      benchmark::ClobberMemory();
    });
    derivatives.time(kBatch, [&moment, &dydt] {
      uncounted_ComputeDerivatives(moment.model, moment.clock, moment.y, dydt, kEvaluationTime);
      benchmark::DoNotOptimize(dydt.data());
      benchmark::ClobberMemory();
    });
    prepared_derivatives.time(kBatch, [&prepared, &moment, &dydt] {
      prepared(moment.y, dydt, kEvaluationTime);
      benchmark::DoNotOptimize(dydt.data());
      benchmark::ClobberMemory();
    });
    tables.time(kBatch, [&model, &moment] {
      EvaluateEquations(model, moment.clock, model.states, kEvaluationTime, model.processes, false);
      benchmark::ClobberMemory();
    });
  }
  state.counters[kFloorNs] = floor.nanoseconds();
  state.counters[kComputeDerivativesNs] = derivatives.nanoseconds();
  state.counters[kPreparedDerivativesNs] = prepared_derivatives.nanoseconds();
  state.counters[kEvaluateEquationsNs] = tables.nanoseconds();
}
BENCHMARK(BM_EquationsFloorAndCallers)->Name(kEquations)->Unit(benchmark::kMicrosecond);

// A sample of the inputs of the derivative evaluations of a run that the run
// benchmarks time: kRunYears model years of the example stand, with daily
// steps from time 1, with rk4 (every (16 x kRunYears)th evaluation) or with
// dopri5 at its default tolerance (every (2 x kRunYears + 1)th: a stride that
// is no multiple of its six evaluations per step, so every stage is sampled).
std::vector<EvaluationInput> capture_run_inputs(IntegratorKind integrator) {
  std::vector<EvaluationInput> captured;
  Model model = example_model();
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 1.0 + kRunYears * kModelYearDays;
  settings.output_step = 1e9;  // no records
  settings.batch_mode = true;
  settings.driver_file = example_stand().driver_file;
  settings.output_file = scratch_file("captured-run.out");
  settings.integrator = integrator;
  NullSink no_records;
  const bool rk4 = integrator == IntegratorKind::kRk4;
  capture_evaluation_inputs(&captured, rk4 ? 16 * kRunYears : 2 * kRunYears + 1);
  Run(model, settings, no_records);
  capture_evaluation_inputs(nullptr, 1);
  return captured;
}

const std::vector<EvaluationInput>& run_inputs(IntegratorKind integrator) {
  static const std::vector<EvaluationInput> rk4 = capture_run_inputs(IntegratorKind::kRk4);
  static const std::vector<EvaluationInput> dopri5 = capture_run_inputs(IntegratorKind::kDopri5);
  return integrator == IntegratorKind::kRk4 ? rk4 : dopri5;
}

// Puts one captured input into the struct, as the frame does: the time, the
// drivers and the states, with the prescribed soil mineral nitrogen. (The
// annual reset, which some evaluations of a year's first day make, is left out.)
void fill(const EvaluationInput& input, equations::Evaluation& e) {
  e.time = input.x;
#define VINDREL_DRIVER(id, symbol, name, units) e.id = input.drivers[driver::id];
#include "core/model_definition.def"
#undef VINDREL_DRIVER
#define VINDREL_STATE(id, symbol, name, units) e.id = input.y[state::id - 1];
#include "core/model_definition.def"
#undef VINDREL_STATE
  if (is_prescribed(e.DNnh4)) e.Nnh4 = e.DNnh4;
  if (is_prescribed(e.DNno3)) e.Nno3 = e.DNno3;
}

// One iteration is, over the same batch of a run's inputs: the floor with the
// inputs filled in, the filling alone, ComputeDerivatives with the drivers put
// into the model's table, putting the drivers alone, and the prepared
// derivative function taking them (as the run loop does at every step), beside
// the taking alone. The fill's, the drivers' and the taking's own times are
// taken off.
void equations_over_a_run(benchmark::State& state, IntegratorKind integrator) {
  const std::vector<EvaluationInput>& inputs = run_inputs(integrator);
  Moment moment = summer_moment();
  Model& model = moment.model;
  equations::Evaluation e = filled_evaluation(moment);
  StateVector dydt{};
  BestTime floor;
  BestTime filling;
  BestTime derivatives;
  BestTime drivers;
  BestTime prepared_time;
  BestTime preparing;
  PreparedDerivatives prepared;
  prepared.prepare(model, moment.clock);
  std::size_t first = 0;
  for (auto _ : state) {
    std::size_t i = first;
    const auto next = [&inputs, &i]() -> const EvaluationInput& {
      const EvaluationInput& input = inputs[i];
      i = i + 1 == inputs.size() ? 0 : i + 1;
      return input;
    };
    const auto put_drivers = [&model](const EvaluationInput& input) {
      for (int k = 1; k <= driver::kCount; ++k) model.drivers[k].value = input.drivers[k];
    };
    floor.time(kBatch, [&] {
      fill(next(), e);
      benchmark::DoNotOptimize(&e);
      floor_evaluation(e);
      benchmark::ClobberMemory();
    });
    i = first;
    filling.time(kBatch, [&] {
      fill(next(), e);
      benchmark::DoNotOptimize(&e);
      benchmark::ClobberMemory();
    });
    i = first;
    derivatives.time(kBatch, [&] {
      const EvaluationInput& input = next();
      put_drivers(input);
      uncounted_ComputeDerivatives(model, moment.clock, input.y, dydt, input.x);
      benchmark::DoNotOptimize(dydt.data());
      benchmark::ClobberMemory();
    });
    i = first;
    drivers.time(kBatch, [&] {
      put_drivers(next());
      benchmark::DoNotOptimize(&model);
      benchmark::ClobberMemory();
    });
    i = first;
    prepared_time.time(kBatch, [&] {
      const EvaluationInput& input = next();
      put_drivers(input);
      prepared.prepare_drivers(model);
      prepared(input.y, dydt, input.x);
      benchmark::DoNotOptimize(dydt.data());
      benchmark::ClobberMemory();
    });
    i = first;
    preparing.time(kBatch, [&] {
      put_drivers(next());
      prepared.prepare_drivers(model);
      benchmark::DoNotOptimize(&prepared);
      benchmark::ClobberMemory();
    });
    first = i;
  }
  state.counters[kFloorNs] = floor.nanoseconds() - filling.nanoseconds();
  state.counters[kComputeDerivativesNs] = derivatives.nanoseconds() - drivers.nanoseconds();
  state.counters[kPreparedDerivativesNs] = prepared_time.nanoseconds() - preparing.nanoseconds();
  state.counters["inputs"] = static_cast<double>(inputs.size());
}
void BM_EquationsOverARun(benchmark::State& state) {
  equations_over_a_run(state, IntegratorKind::kRk4);
}
void BM_EquationsOverADopri5Run(benchmark::State& state) {
  equations_over_a_run(state, IntegratorKind::kDopri5);
}
BENCHMARK(BM_EquationsOverARun)->Name(kEquationsOverARun)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EquationsOverADopri5Run)
    ->Name(kEquationsOverADopri5Run)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vindrel::bench
