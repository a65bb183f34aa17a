// Accepted integrator steps per second on a 55-state linear system: a chain of
// pools, each losing carbon at its own rate to the next, as the model's pools
// pass litter on to the soil.
#include <benchmark/benchmark.h>

#include <cstdint>

#include "integrator/integrator.hpp"

namespace {

constexpr int kStates = 55;

// The capacity of the model's state vector: one element to spare.
using Vector = vindrel::integrator::Vector<kStates + 1>;

struct PoolChain {
  Vector rate{};
  PoolChain() {
    for (int i = 0; i < kStates; ++i) rate[static_cast<std::size_t>(i)] = 0.01 + 0.02 * (i % 7);
  }
  void operator()(const Vector& y, Vector& dydx, double) const {
    double inflow = 0.0;
    for (std::size_t i = 0; i < kStates; ++i) {
      const double outflow = rate[i] * y[i];
      dydx[i] = inflow - outflow;
      inflow = outflow;
    }
  }
};

void BM_ODEIntegratorPoolChain(benchmark::State& state) {
  const PoolChain chain;
  Vector y{};
  for (std::size_t i = 0; i < kStates; ++i) y[i] = 100.0;
  double h1 = 1.0;
  double day = 0.0;
  std::int64_t steps = 0;
  for (auto _ : state) {
    int nok = 0, nbad = 0;
    vindrel::ODEIntegrator(y, kStates, h1, day, day + 1.0, 1e-8, 1e-6, nok, nbad, chain);
    benchmark::DoNotOptimize(y);
    steps += nok + nbad;
    day += 1.0;
    if (day >= 3650.0) {  // start the decade again from full pools
      for (std::size_t i = 0; i < kStates; ++i) y[i] = 100.0;
      day = 0.0;
      h1 = 1.0;
    }
  }
  state.counters["accepted_steps"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kIsRate);
  state.counters["steps_per_day"] =
      benchmark::Counter(static_cast<double>(steps), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ODEIntegratorPoolChain);

}  // namespace
