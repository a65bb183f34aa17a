// The integrator's derivative function on its private copy of the states, and
// the arithmetic faults of an evaluation: which exception, which message, and
// that the model's tables stay as they were.
#include <gtest/gtest.h>

#include <cfenv>
#include <limits>
#include <string>

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

// Every value and flag of the model's tables and the NewYear flag agree.
void expect_same_tables(const Model& actual, const Model& expected) {
  for (int i = 1; i <= kStateCapacity; ++i) {
    EXPECT_EQ(actual.states[i].value, expected.states[i].value) << "state " << i;
    EXPECT_EQ(actual.states[i].HoldConstant, expected.states[i].HoldConstant) << "state " << i;
  }
  for (int i = 1; i <= kProcessCapacity; ++i) {
    EXPECT_EQ(actual.processes[i].value, expected.processes[i].value) << "process " << i;
  }
  EXPECT_EQ(actual.NewYear, expected.NewYear);
}

class ComputeDerivativesTest : public ::testing::Test {
 protected:
  Model model = support::temperate_forest();
  EvaluationClock clock{1.0, 0.0};
};

TEST_F(ComputeDerivativesTest, LeavesTheModelsTablesUntouched) {
  // Everything that could write: a prescribed soil ammonium, the reset at the
  // start time and a pending new year.
  model.drivers[driver::DNnh4].value = 2.0;
  model.states[state::Jdfs].value = 250.0;
  model.states[state::Cf].HoldConstant = true;
  model.NewYear = true;
  for (int i = 1; i <= kProcessCapacity; ++i) model.processes[i].value = 7.0;
  const Model before = model;
  StateVector dydt{};
  ComputeDerivatives(model, clock, state_vector_of(model), dydt, clock.start_time);
  expect_same_tables(model, before);
  EXPECT_EQ(dydt[state::Cf - 1], 0.0);  // held
}

TEST_F(ComputeDerivativesTest, GivesTheDerivativesOfTheGivenStateVector) {
  StateVector y = state_vector_of(model);
  y[state::Wr - 1] = 200.0;  // above field capacity: drainage
  y[state::Cf - 1] = 120.0;
  StateVector dydt{};
  ComputeDerivatives(model, clock, y, dydt, 100.0);

  StateValues values = state_values_of(model.states, state::kCount);
  for (int i = 1; i <= state::kCount; ++i) values.value[i] = y[i - 1];
  ProcessValues processes{};
  Model other = model;
  EvaluateEquations(other, clock, values, 100.0, processes, false);
  for (int i = 1; i <= state::kCount; ++i) EXPECT_EQ(dydt[i - 1], processes[i]) << i;
  EXPECT_GT(processes[process::DR], 0.0);
  EXPECT_DOUBLE_EQ(dydt[state::Wr - 1], -(processes[process::ET] + processes[process::DR]));
  EXPECT_DOUBLE_EQ(dydt[state::Wg - 1], processes[process::DR] - processes[process::Qg]);
}

TEST_F(ComputeDerivativesTest, StatesAdvancedOncePerStepHaveDerivativeZero) {
  StateVector dydt{};
  ComputeDerivatives(model, clock, state_vector_of(model), dydt, 100.0);
  for (const int stepped :
       {state::Ws, state::Laieos, state::Jday, state::DDa, state::DDs, state::PptT, state::PptIT,
        state::DnT, state::Jdfs, state::Jdws, state::Jdrs}) {
    EXPECT_EQ(dydt[stepped - 1], 0.0) << stepped;
  }
}

class ArithmeticFaults : public ::testing::Test {
 protected:
  Model model = support::temperate_forest();
  EvaluationClock clock{1.0, 0.0};
};

TEST_F(ArithmeticFaults, ZeroFoliageCarbonDensityIsADivisionByZero) {
  model.parameters[parameter::mF].value = 0.0;
  for (int i = 1; i <= kProcessCapacity; ++i) model.processes[i].value = 7.0;
  const Model before = model;
  try {
    EvaluateEquations(model, clock, model.states, 366.0, model.processes, true);
    FAIL() << "no fault";
  } catch (const EZeroDivide& fault) {
    EXPECT_EQ(std::string(fault.what()), "Division by zero");
  }
  // Neither the end-of-step updates, nor the new year, nor any process
  // reached the model.
  expect_same_tables(model, before);
}

TEST_F(ArithmeticFaults, DivisionByZeroReachesTheIntegratorAsSuch) {
  model.parameters[parameter::mF].value = 0.0;
  StateVector dydt{};
  dydt.fill(7.0);
  EXPECT_THROW(ComputeDerivatives(model, clock, state_vector_of(model), dydt, 100.0), EZeroDivide);
  for (const double derivative : dydt) EXPECT_EQ(derivative, 7.0);
}

TEST_F(ArithmeticFaults, FaultAtTheStartTimeLeavesTheResetUndone) {
  model.parameters[parameter::mF].value = 0.0;
  const Model before = model;
  EXPECT_THROW(EvaluateEquations(model, clock, model.states, 0.0, model.processes, false),
               EZeroDivide);
  expect_same_tables(model, before);
}

TEST_F(ArithmeticFaults, LogarithmOfANegativeNumberIsAnInvalidOperation) {
  // A positive tension at field capacity makes the tension curve take a
  // fractional power of a negative ratio.
  model.parameters[parameter::Psif].value = 0.5;
  try {
    EvaluateEquations(model, clock, model.states, 100.0, model.processes, false);
    FAIL() << "no fault";
  } catch (const EZeroDivide&) {
    FAIL() << "reported as a division by zero";
  } catch (const EInvalidOp& fault) {
    EXPECT_EQ(std::string(fault.what()), "Invalid floating point operation");
  }
}

TEST_F(ArithmeticFaults, OverflowIsReportedAsSuch) {
  // The uptake cost grows with exp(thetaU Cr): exp(2500) overflows.
  model.parameters[parameter::thetaU].value = 10.0;
  try {
    EvaluateEquations(model, clock, model.states, 100.0, model.processes, false);
    FAIL() << "no fault";
  } catch (const EInvalidOp& fault) {
    EXPECT_EQ(std::string(fault.what()), "Floating point overflow");
  }
}

TEST_F(ArithmeticFaults, UnderflowIsNoFault) {
  // With a very sharp labile-carbon response exp(-sL Clfw) underflows to 0:
  // all maintenance respiration is paid from the labile pools.
  model.parameters[parameter::sL].value = 1000.0;
  EXPECT_NO_THROW(EvaluateEquations(model, clock, model.states, 100.0, model.processes, false));
  EXPECT_TRUE(std::fetestexcept(FE_UNDERFLOW));
  EXPECT_EQ(model.processes[process::fRLF].value, 1.0);
  EXPECT_EQ(model.processes[process::RfmetS].value, 0.0);
}

TEST_F(ArithmeticFaults, NonFiniteInputIsRefused) {
  model.drivers[driver::II].value = std::numeric_limits<double>::quiet_NaN();
  EXPECT_THROW(EvaluateEquations(model, clock, model.states, 100.0, model.processes, false),
               EInvalidOp);
  model.drivers[driver::II].value = 20.5;
  StateVector y = state_vector_of(model);
  y[state::Cs - 1] = std::numeric_limits<double>::infinity();
  StateVector dydt{};
  EXPECT_THROW(ComputeDerivatives(model, clock, y, dydt, 100.0), EInvalidOp);
}

TEST_F(ArithmeticFaults, FlagsRaisedBeforeTheEvaluationDoNotCount) {
  std::feraiseexcept(FE_DIVBYZERO | FE_INVALID | FE_OVERFLOW);
  EXPECT_NO_THROW(EvaluateEquations(model, clock, model.states, 100.0, model.processes, false));
}

}  // namespace
}  // namespace vindrel
