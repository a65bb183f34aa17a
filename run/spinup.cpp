#include "run/spinup.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/exceptions.hpp"
#include "core/model_constants.hpp"
#include "core/positions.hpp"
#include "run/anderson.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"

namespace vindrel {
namespace {

constexpr int kCarbonPools[] = {state::Cf,  state::Csw, state::Chw, state::Cr, state::Clfw,
                                state::Clr, state::Cs,  state::Ce,  state::Ci, state::Ch};
constexpr int kNitrogenPools[] = {state::Nf,   state::Nsw, state::Nhw, state::Nr,   state::Nlf,
                                  state::Nlwr, state::Na,  state::Nh,  state::Nnh4, state::Nno3};
constexpr int kWaterPools[] = {state::Wr, state::Wg, state::Ws};

// Below this size (g m-2, mm) a pool's drift is measured against it rather
// than against the pool: an empty snowpack has no relative change.
constexpr double kSmallestPool = 1e-3;
// A stand whose carbon falls below this share of its start has died out.
constexpr double kDeadShare = 1e-3;
// The most steps a weather cycle may have.
constexpr long long kMostCycleSteps = 100000000;

// The states the mixing moves: the pools. The clocks and the yearly totals,
// which every cycle resets, and the running mean cost of uptake, which
// follows the pools within a cycle, take the cycle's values.
std::vector<int> mixed_states() {
  std::vector<int> states(std::begin(kCarbonPools), std::end(kCarbonPools));
  states.insert(states.end(), std::begin(kNitrogenPools), std::end(kNitrogenPools));
  states.insert(states.end(), std::begin(kWaterPools), std::end(kWaterPools));
  return states;
}

template <std::size_t N>
double group_drift(const Model& from, const Model& to, const int (&pools)[N]) {
  double largest = 0.0;
  for (const int p : pools) {
    const double a = from.states[p].value;
    const double b = to.states[p].value;
    const double drift = std::fabs(b - a) / std::max(std::fabs(a), kSmallestPool);
    // Not a number counts as the largest drift.
    largest =
        std::isnan(drift) ? std::numeric_limits<double>::infinity() : std::max(largest, drift);
  }
  return largest;
}

template <std::size_t N>
bool among(int state_position, const int (&pools)[N]) {
  return std::find(std::begin(pools), std::end(pools), state_position) != std::end(pools);
}

// The sum of the pools of the group a pool belongs to.
double group_total(const Model& model, int pool) {
  double sum = 0.0;
  const auto add = [&](const auto& pools) {
    for (const int p : pools) sum += std::fabs(model.states[p].value);
  };
  if (among(pool, kCarbonPools)) add(kCarbonPools);
  if (among(pool, kNitrogenPools)) add(kNitrogenPools);
  if (among(pool, kWaterPools)) add(kWaterPools);
  return sum;
}

double total_carbon(const Model& model) {
  double sum = 0.0;
  for (const int p : kCarbonPools) sum += model.states[p].value;
  return sum;
}

}  // namespace

double PoolDrift::largest() const { return std::max({carbon, nitrogen, water}); }

PoolDrift pool_drift(const Model& from, const Model& to) {
  return {group_drift(from, to, kCarbonPools), group_drift(from, to, kNitrogenPools),
          group_drift(from, to, kWaterPools)};
}

SpinupResult spin_up(const Model& model, const RunSettings& cycle, const SpinupOptions& options,
                     std::stop_token stop, const SpinupProgress& progress) {
  if (!cycle.repeat_drivers) throw ERunTimeError("A spin-up needs drivers that repeat.");
  RunSettings first = cycle;
  first.first_start_time.reset();
  if (const std::string refusal = repeat_settings_refusal(first); !refusal.empty()) {
    throw ERunTimeError(refusal);
  }
  // One weather cycle: the steps until the driver time is back at the start.
  const double origin = cycle.start_time;
  long long steps = 0;
  for (double d = origin; steps == 0 || d != origin; ++steps) {
    if (steps >= kMostCycleSteps) throw ERunTimeError("The weather cycle has too many steps.");
    d = next_driver_time(cycle, origin, d);
  }
  const double length = static_cast<double>(steps) * cycle.time_step;
  first.start_time = origin;
  first.stop_time = origin + length;
  first.output_step = length;
  first.calculation_time = origin;
  // The later cycles as a plain spin-up runs them: continued from the first.
  RunSettings next = first;
  next.start_time = origin + length;
  next.stop_time = origin + 2.0 * length;
  next.first_start_time = origin;

  SpinupResult result;
  result.cycle_years = length / static_cast<double>(kModelYearDays);
  result.time = next.start_time;
  result.first_start = origin;

  // One cycle from `from`; false when the run did not complete.
  const auto run_cycle = [&](const Model& from, const RunSettings& settings, Model& to) {
    NullSink none;
    const RunResult run = Run(from, settings, none, stop);
    result.simulated_years += result.cycle_years;
    if (run.outcome == RunOutcome::kCancelled) {
      result.outcome = SpinupOutcome::kCancelled;
      return false;
    }
    if (run.outcome == RunOutcome::kFailed) {
      result.outcome = SpinupOutcome::kFailed;
      result.failure = run.failure_message();
      return false;
    }
    to = from;
    commit_run(to, run);
    return true;
  };

  Model x = model;
  Model fx = model;
  if (!run_cycle(x, first, fx)) {
    result.model = model;
    return result;
  }
  const double start_carbon = total_carbon(model);
  const std::vector<int> mixed = mixed_states();
  AndersonMixing mixing(options.depth);
  // Each pool in the units of its group's total, so that the fit weighs the
  // large slow pools (wood, humus) that the slow modes live in, not the small
  // fast ones (mineral nitrogen) that each cycle sets anew.
  std::vector<double> scale(mixed.size());
  for (std::size_t k = 0; k < mixed.size(); ++k) {
    scale[k] = 1.0 / std::max(group_total(fx, mixed[k]), kSmallestPool);
  }
  x = fx;
  result.model = x;
  double best = std::numeric_limits<double>::infinity();
  bool accelerated = false;
  Model image = x;  // the last plain image: a state a run has reached
  for (int number = 1;; ++number) {
    if (!run_cycle(x, next, fx)) {
      // A mixed guess the equations cannot take: go on from the last plain
      // image, with a fresh history. A plain start that fails ends it.
      if (!accelerated || result.outcome == SpinupOutcome::kCancelled) return result;
      result.outcome = SpinupOutcome::kNotSettled;
      result.failure.clear();
      x = image;
      accelerated = false;
      mixing.restart();
      continue;
    }
    image = fx;
    SpinupIteration iteration{number, result.simulated_years, pool_drift(x, fx), accelerated};
    result.iterations.push_back(iteration);
    if (progress) progress(iteration);
    if (iteration.drift.largest() < best) {
      best = iteration.drift.largest();
      result.model = x;
      result.drift = iteration.drift;
    }
    if (iteration.drift.largest() <= options.tolerance) {
      result.outcome = SpinupOutcome::kSettled;
      return result;
    }
    if (total_carbon(fx) < kDeadShare * start_carbon) {
      result.outcome = SpinupOutcome::kDiedOut;
      return result;
    }
    if (result.simulated_years + result.cycle_years > options.max_years) {
      result.outcome = SpinupOutcome::kNotSettled;
      return result;
    }
    // The next start: the mixed guess for the pools, the cycle's own values
    // for the rest; the plain image when the guess is no possible stand.
    std::vector<double> px(mixed.size());
    std::vector<double> pf(mixed.size());
    for (std::size_t k = 0; k < mixed.size(); ++k) {
      px[k] = x.states[mixed[k]].value * scale[k];
      pf[k] = fx.states[mixed[k]].value * scale[k];
    }
    const std::vector<double> guess = mixing.next(px, pf);
    bool possible = true;
    for (std::size_t k = 0; k < mixed.size(); ++k) {
      possible = possible && std::isfinite(guess[k]) && (guess[k] >= 0.0 || pf[k] < 0.0);
    }
    x = fx;
    accelerated = possible;
    if (possible) {
      for (std::size_t k = 0; k < mixed.size(); ++k) {
        x.states[mixed[k]].value = guess[k] / scale[k];
      }
    } else {
      mixing.restart();
    }
  }
}

}  // namespace vindrel
