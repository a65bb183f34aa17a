// The prepared derivative function of a run's time steps gives exactly what
// ComputeDerivatives gives on the model as it was prepared: the same bits for
// every derivative, the same faults with the same messages, and the same
// refusal of values that are not finite, whichever input holds them.
#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <thread>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "core/positions.hpp"
#include "equations/equations.hpp"
#include "equations/testing.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

StateVector state_vector_of(const Model& model) {
  StateVector y{};
  for (int i = 1; i <= state::kCount; ++i) y[i - 1] = model.states[i].value;
  return y;
}

// What one call gave: the derivatives, or the fault's class and message.
struct Outcome {
  StateVector dydt{};
  std::string fault;  // empty when the call returned
};

template <class Call>
Outcome outcome_of(Call&& call) {
  Outcome outcome;
  outcome.dydt.fill(-7.0);
  try {
    call(outcome.dydt);
  } catch (const EZeroDivide& fault) {
    outcome.fault = std::string("EZeroDivide: ") + fault.what();
  } catch (const EInvalidOp& fault) {
    outcome.fault = std::string("EInvalidOp: ") + fault.what();
  }
  return outcome;
}

Outcome computed(const Model& model, const EvaluationClock& clock, const StateVector& y, double x) {
  return outcome_of([&](StateVector& dydt) { ComputeDerivatives(model, clock, y, dydt, x); });
}

Outcome prepared(const Model& model, const EvaluationClock& clock, const StateVector& y, double x) {
  PreparedDerivatives derivatives;
  derivatives.prepare(model, clock);
  return outcome_of([&](StateVector& dydt) { derivatives(y, dydt, x); });
}

// Equal faults, or equal derivatives bit for bit (a fault leaves dydt alone).
void expect_same(const Outcome& actual, const Outcome& expected, const std::string& where) {
  EXPECT_EQ(actual.fault, expected.fault) << where;
  for (int i = 0; i < state::kCount; ++i) {
    EXPECT_EQ(std::bit_cast<std::uint64_t>(actual.dydt[i]),
              std::bit_cast<std::uint64_t>(expected.dydt[i]))
        << where << ", derivative of state " << i + 1;
  }
}

// Stands about the test stand: every state scaled by a half to a half more,
// the day's temperatures shifted by up to 15 degrees.
struct RandomStands {
  explicit RandomStands(std::uint64_t seed) : random(seed) {}
  Model varied(const Model& stand) {
    Model model = stand;
    for (int i = 1; i <= state::kCount; ++i) model.states[i].value *= scale(random);
    for (int position : {driver::Tamax, driver::Tamin, driver::Ts}) {
      model.drivers[position].value += shift(random);
    }
    return model;
  }
  bool one_in_four() { return coin(random) == 0; }

  std::mt19937_64 random;
  std::uniform_real_distribution<double> scale{0.5, 1.5};
  std::uniform_real_distribution<double> shift{-15.0, 15.0};
  std::uniform_real_distribution<double> day{1.0, 366.0};
  std::uniform_int_distribution<int> coin{0, 3};
};

class PreparedDerivativesTest : public ::testing::Test {
 protected:
  Model model = support::temperate_forest();
  EvaluationClock clock{1.0, 0.0};
};

TEST_F(PreparedDerivativesTest, GiveTheBitsOfComputeDerivativesOnRandomStands) {
  RandomStands stands(20261207);
  const Model stand = model;
  for (int trial = 0; trial < 300; ++trial) {
    model = stands.varied(stand);
    model.drivers[driver::Ppt].value *= stands.scale(stands.random);
    model.drivers[driver::II].value *= stands.scale(stands.random);
    // Now and then: held states, prescribed soil nitrogen, the annual reset.
    if (stands.one_in_four()) {
      for (int position : {state::Cf, state::Jday, state::Nnh4, state::Wr}) {
        model.states[position].HoldConstant = true;
      }
    }
    if (stands.one_in_four()) model.drivers[driver::DNnh4].value = 0.8;
    if (stands.one_in_four()) model.drivers[driver::DNno3].value = 0.0;
    model.NewYear = stands.one_in_four();
    const double x = stands.one_in_four() ? clock.start_time : stands.day(stands.random);
    const StateVector y = state_vector_of(model);
    expect_same(prepared(model, clock, y, x), computed(model, clock, y, x),
                "trial " + std::to_string(trial));
  }
}

TEST_F(PreparedDerivativesTest, FaultsAreThoseOfComputeDerivatives) {
  const Model stand = model;
  const StateVector y = state_vector_of(model);
  // A zero foliage density divides by zero; a positive tension at field
  // capacity takes a fractional power of a negative ratio; a steep uptake cost
  // overflows.
  model.parameters[parameter::mF].value = 0.0;
  expect_same(prepared(model, clock, y, 100.0), computed(model, clock, y, 100.0), "mF");
  EXPECT_EQ(prepared(model, clock, y, 100.0).fault, "EZeroDivide: Division by zero");
  model = stand;
  model.parameters[parameter::Psif].value = 0.5;
  expect_same(prepared(model, clock, y, 100.0), computed(model, clock, y, 100.0), "Psif");
  EXPECT_EQ(prepared(model, clock, y, 100.0).fault, "EInvalidOp: Invalid floating point operation");
  model = stand;
  model.parameters[parameter::thetaU].value = 10.0;
  expect_same(prepared(model, clock, y, 100.0), computed(model, clock, y, 100.0), "thetaU");
  EXPECT_EQ(prepared(model, clock, y, 100.0).fault, "EInvalidOp: Floating point overflow");
}

// The prepared function searches its results for values that are not finite
// only when an input is not finite; every input position is tried with a NaN
// and an infinity, and each outcome must be ComputeDerivatives' own.
TEST_F(PreparedDerivativesTest, NonFiniteInputsGiveWhatComputeDerivativesGives) {
  const Model stand = model;
  const StateVector y0 = state_vector_of(model);
  for (const double bad :
       {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity()}) {
    for (int i = 1; i <= driver::kCount; ++i) {
      model = stand;
      model.drivers[i].value = bad;
      expect_same(prepared(model, clock, y0, 100.0), computed(model, clock, y0, 100.0),
                  "driver " + std::to_string(i));
    }
    for (int i = 1; i <= parameter::kCount; ++i) {
      model = stand;
      model.parameters[i].value = bad;
      expect_same(prepared(model, clock, y0, 100.0), computed(model, clock, y0, 100.0),
                  "parameter " + std::to_string(i));
    }
    model = stand;
    for (int i = 1; i <= state::kCount; ++i) {
      StateVector y = y0;
      y[i - 1] = bad;
      expect_same(prepared(model, clock, y, 100.0), computed(model, clock, y, 100.0),
                  "state " + std::to_string(i));
    }
    expect_same(prepared(model, clock, y0, bad), computed(model, clock, y0, bad), "time");
  }
  // A refused state vector is refused as such.
  StateVector y = y0;
  y[state::Cs - 1] = std::numeric_limits<double>::infinity();
  EXPECT_EQ(prepared(model, clock, y, 100.0).fault, "EInvalidOp: Invalid floating point operation");
}

// One object serves every call of a run: no call may leave anything behind for
// the next, not even a call that failed halfway. Calls on random state vectors,
// some of them refused, and preparations for other weather follow each other on
// one object; each must give what a new object gives.
TEST_F(PreparedDerivativesTest, ACallDoesNotDependOnTheCallsBeforeIt) {
  std::mt19937_64 random(366);
  std::uniform_real_distribution<double> scale(0.0, 2.0);
  std::uniform_real_distribution<double> shift(-20.0, 20.0);
  std::uniform_real_distribution<double> day(1.0, 732.0);
  std::uniform_int_distribution<int> pick(0, 9);
  const Model stand = model;
  PreparedDerivatives reused;
  for (int round = 0; round < 20; ++round) {
    model = stand;
    model.drivers[driver::Tamax].value += shift(random);
    model.drivers[driver::Tamin].value = model.drivers[driver::Tamax].value - 8.0;
    model.drivers[driver::Ts].value += shift(random);
    model.NewYear = pick(random) == 0;
    reused.prepare(model, clock);
    for (int call = 0; call < 30; ++call) {
      StateVector y = state_vector_of(stand);
      for (int i = 0; i < state::kCount; ++i) y[i] *= scale(random);
      if (pick(random) == 0) y[pick(random)] = std::numeric_limits<double>::quiet_NaN();
      const double x = day(random);
      const Outcome again = outcome_of([&](StateVector& dydt) { reused(y, dydt, x); });
      expect_same(again, prepared(model, clock, y, x),
                  "round " + std::to_string(round) + ", call " + std::to_string(call));
    }
  }
}

// ComputeDerivatives and EvaluateEquations share one working record per
// thread: whatever one call leaves there (an end-of-step evaluation, a call
// that failed halfway, another stand) must not show in the next. A new
// prepared object, whose record is fresh, is the reference.
TEST_F(PreparedDerivativesTest, ComputeDerivativesDoesNotDependOnTheEvaluationsBeforeIt) {
  std::mt19937_64 random(1207);
  std::uniform_real_distribution<double> scale(0.0, 2.0);
  std::uniform_real_distribution<double> day(1.0, 732.0);
  std::uniform_int_distribution<int> pick(0, 5);
  const Model stand = model;
  for (int call = 0; call < 200; ++call) {
    model = stand;
    StateVector y = state_vector_of(stand);
    for (int i = 0; i < state::kCount; ++i) y[i] *= scale(random);
    const double x = day(random);
    switch (pick(random)) {
      case 0: {  // an end-of-step evaluation of another stand first
        Model other = stand;
        for (int i = 1; i <= state::kCount; ++i) other.states[i].value = y[i - 1] * 0.5;
        try {
          EvaluateEquations(other, clock, other.states, x, other.processes, true);
        } catch (const ERunTimeError&) {
        }
        break;
      }
      case 1:  // a call that fails halfway first
        model.parameters[parameter::mF].value = 0.0;
        (void)computed(model, clock, y, x);
        model = stand;
        break;
      default:
        break;
    }
    expect_same(computed(model, clock, y, x), prepared(model, clock, y, x),
                "call " + std::to_string(call));
  }
}

// The same for every process value of EvaluateEquations without the step
// update, after an end-of-step evaluation in rain and snow (which computes the
// rain, snow, interception and melt that other evaluations report as 0) or a
// failed one. A new thread, whose record is fresh, gives the reference.
TEST_F(PreparedDerivativesTest, EvaluateEquationsDoesNotDependOnTheEvaluationsBeforeIt) {
  std::mt19937_64 random(712);
  std::uniform_real_distribution<double> scale(0.5, 1.5);
  std::uniform_real_distribution<double> day(1.0, 732.0);
  std::uniform_int_distribution<int> pick(0, 2);
  Model snowy = model;  // snow falling on a melting snowpack
  snowy.drivers[driver::Ppt].value = 12.0;
  snowy.drivers[driver::Tamax].value = 1.5;
  snowy.drivers[driver::Tamin].value = -6.0;
  snowy.states[state::Ws].value = 40.0;
  Model rainy = model;  // rain on the canopy
  rainy.drivers[driver::Ppt].value = 12.0;
  const Model stand = model;
  for (int call = 0; call < 60; ++call) {
    model = stand;
    for (int i = 1; i <= state::kCount; ++i) model.states[i].value *= scale(random);
    const double x = day(random);
    const int before_kind = pick(random);
    if (before_kind == 0) {
      Model before = snowy;
      before.parameters[parameter::mF].value = 0.0;  // fails halfway
      EXPECT_THROW(EvaluateEquations(before, clock, before.states, x, before.processes, true),
                   EZeroDivide);
    } else if (before_kind == 1) {
      Model before = snowy;
      EvaluateEquations(before, clock, before.states, x, before.processes, true);
      ASSERT_GT(before.processes[process::Ppts].value, 0.0);
      ASSERT_GT(before.processes[process::Ms].value, 0.0);
    } else {
      Model before = rainy;
      EvaluateEquations(before, clock, before.states, x, before.processes, true);
      ASSERT_GT(before.processes[process::Pptr].value, 0.0);
      ASSERT_GT(before.processes[process::PptI].value, 0.0);
    }
    Model here = model;
    EvaluateEquations(here, clock, here.states, x, here.processes, false);
    Model fresh = model;
    std::thread([&] {
      EvaluateEquations(fresh, clock, fresh.states, x, fresh.processes, false);
    }).join();
    for (int p = 1; p <= process::kCount; ++p) {
      ASSERT_EQ(std::bit_cast<std::uint64_t>(here.processes[p].value),
                std::bit_cast<std::uint64_t>(fresh.processes[p].value))
          << "call " << call << ", process " << p << " (" << here.processes[p].symbol << ")";
    }
  }
}

TEST_F(PreparedDerivativesTest, SeeTheModelAsItWasWhenPrepared) {
  const StateVector y = state_vector_of(model);
  const Model before = model;
  PreparedDerivatives derivatives;
  derivatives.prepare(model, clock);
  model.drivers[driver::Tamax].value += 5.0;
  model.parameters[parameter::rm].value *= 2.0;
  model.states[state::Cf].HoldConstant = true;
  model.NewYear = true;
  const Outcome stale = outcome_of([&](StateVector& dydt) { derivatives(y, dydt, 100.0); });
  expect_same(stale, computed(before, clock, y, 100.0), "before prepare");
  derivatives.prepare(model, clock);
  const Outcome fresh = outcome_of([&](StateVector& dydt) { derivatives(y, dydt, 100.0); });
  expect_same(fresh, computed(model, clock, y, 100.0), "after prepare");
  EXPECT_EQ(fresh.dydt[state::Cf - 1], 0.0);  // held
}

// The run loop prepares once, takes each step's drivers with prepare_drivers
// and makes its end-of-step evaluation with step_end, after a derivative call
// at the same states or not: the states, the process table and NewYear must be
// EvaluateEquations' own to the bit, with held states, prescribed soil
// nitrogen and the annual reset; and a fault must be EvaluateEquations' fault
// and leave the states and processes alone.
TEST_F(PreparedDerivativesTest, TheEndOfStepIsThatOfEvaluateEquations) {
  RandomStands stands(20261208);
  const Model stand = model;
  PreparedDerivatives derivatives;
  derivatives.prepare(stand, clock);  // with the first drivers only
  int faults = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const std::string where = "trial " + std::to_string(trial);
    model = stands.varied(stand);
    model.drivers[driver::Ppt].value *= 4.0 * stands.scale(stands.random);
    if (stands.one_in_four()) model.drivers[driver::DNnh4].value = 0.8;
    if (trial % 50 == 7) model.drivers[driver::Ca].value = 0.0;  // a fault
    model.NewYear = stands.one_in_four();
    const double x = stands.one_in_four() ? clock.start_time : stands.day(stands.random);
    // Held states from the hundredth trial on: flags are taken by prepare().
    if (trial >= 100) {
      for (int position : {state::Cf, state::Jday, state::Ws, state::PptT}) {
        model.states[position].HoldConstant = true;
      }
    }
    if (trial == 100) derivatives.prepare(model, clock);

    Model expected = model;
    std::string expected_fault;
    try {
      EvaluateEquations(expected, clock, expected.states, x, expected.processes, true);
    } catch (const EMathError& fault) {
      expected_fault = fault.what();
    }

    derivatives.prepare_drivers(model);
    StateVector y = state_vector_of(model);
    // As a dopri5 step ends: the last derivative call at these states, at this
    // time or (now and then) at another, whose groups must not serve.
    const int before = trial % 3;  // 0: no call, 1: at x, 2: at another time
    if (before > 0) {
      StateVector dydt{};
      try {
        derivatives(y, dydt, before == 1 ? x : x - 0.25);
      } catch (const EMathError&) {
        // The fault of the call is not this test's.
      }
    }
    ProcessValues processes{};
    for (int i = 1; i <= process::kCount; ++i) processes[i] = model.processes[i].value;
    bool NewYear = model.NewYear;
    std::string fault;
    try {
      NewYear = derivatives.step_end(y, model.NewYear, x, processes, before > 0);
    } catch (const EMathError& caught) {
      fault = caught.what();
    }
    EXPECT_EQ(fault, expected_fault) << where;
    if (!fault.empty()) ++faults;
    EXPECT_EQ(NewYear, expected.NewYear) << where;
    for (int i = 1; i <= state::kCount; ++i) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(y[i - 1]),
                std::bit_cast<std::uint64_t>(expected.states[i].value))
          << where << ", state " << i;
    }
    for (int i = 1; i <= process::kCount; ++i) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(processes[i]),
                std::bit_cast<std::uint64_t>(expected.processes[i].value))
          << where << ", process " << i;
    }
  }
  EXPECT_EQ(faults, 4);
}

TEST_F(PreparedDerivativesTest, FlagsRaisedBeforeACallDoNotCount) {
  PreparedDerivatives derivatives;
  derivatives.prepare(model, clock);
  StateVector dydt{};
  std::feraiseexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  EXPECT_NO_THROW(derivatives(state_vector_of(model), dydt, 100.0));
  expect_same(Outcome{dydt, ""}, computed(model, clock, state_vector_of(model), 100.0), "call");
}

}  // namespace
}  // namespace vindrel
