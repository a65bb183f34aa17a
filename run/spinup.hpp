// Spin-up to a periodic steady state: the states at the start of a weather
// cycle that one whole cycle of the repeated drivers maps onto themselves.
//
// The cycle map F takes the states at a cycle's start to those at its end (a
// run of one cycle, continued as a plain spin-up continues). Plain spin-up
// iterates x <- F(x), and the slow soil pools shrink their distance to the
// steady state by only a few per cent a cycle. Here the pools (carbon,
// nitrogen, water) are iterated with Anderson mixing (run/anderson.hpp), while
// the clocks and yearly totals, which every cycle resets, take F's values.
// On the example stand this settles in about 14 cycles of its 30-year weather
// where plain cycles take some 150. A
// guess that would make a pool negative or not a number falls back to the
// plain image F(x). A state is returned only when one whole cycle run from it
// moves no pool by more than the tolerance (relative to its size).
#pragma once

#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "core/model.hpp"
#include "run/run_settings.hpp"

namespace vindrel {

struct SpinupOptions {
  double tolerance = 1e-6;     // largest relative drift of a pool over one cycle
  double max_years = 10000.0;  // simulated model years before giving up
  std::size_t depth = 8;       // Anderson mixing's history
};

// The largest relative drift of each group of pools over one cycle.
struct PoolDrift {
  double carbon = 0.0;
  double nitrogen = 0.0;
  double water = 0.0;
  double largest() const;
};

struct SpinupIteration {
  int cycle = 0;               // 1-based
  double simulated_years = 0;  // so far, model years of 366 days
  PoolDrift drift;             // over this cycle, from its start
  bool accelerated = false;    // the start was a mixed guess, not a plain image
};

enum class SpinupOutcome { kSettled, kNotSettled, kFailed, kDiedOut, kCancelled };

struct SpinupResult {
  SpinupOutcome outcome = SpinupOutcome::kNotSettled;
  // The states at a cycle's start (the settled ones, or the best found), with
  // the time they stand at and the first start of their series: a run
  // continues from them with start_time = time, first_start_time = first_start.
  Model model;
  double time = 0.0;
  double first_start = 0.0;
  PoolDrift drift;  // of the cycle run from `model`'s states
  std::vector<SpinupIteration> iterations;
  double simulated_years = 0.0;
  double cycle_years = 0.0;  // one weather cycle
  std::string failure;       // the run's message, for kFailed
};

using SpinupProgress = std::function<void(const SpinupIteration&)>;

// Spins `model` up on the repeated drivers of `cycle` (repeat_drivers set;
// start_time the start of the first cycle; the other times are the cycle's).
// Throws ERunTimeError when the settings make no weather cycle.
SpinupResult spin_up(const Model& model, const RunSettings& cycle, const SpinupOptions& options,
                     std::stop_token stop = {}, const SpinupProgress& progress = {});

// The relative drift of each pool group between two state tables.
PoolDrift pool_drift(const Model& from, const Model& to);

}  // namespace vindrel
