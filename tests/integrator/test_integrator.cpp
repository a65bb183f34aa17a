// The adaptive Runge-Kutta integrator against equations with known solutions,
// its step-size control, and its failures.
#include "integrator/integrator.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/exceptions.hpp"

namespace vindrel {
namespace {

// The integrator takes any capacity; these systems need only a few elements.
using Vector = integrator::Vector<8>;

// y' = -k_i y_i for three rates.
struct Decay {
  double rate[3] = {0.1, 1.0, 3.0};
  void operator()(const Vector& y, Vector& dydx, double) const {
    for (int i = 0; i < 3; ++i) dydx[i] = -rate[i] * y[i];
  }
};

// y1' = y2, y2' = -omega^2 y1.
struct Oscillator {
  double omega = 1.0;
  void operator()(const Vector& y, Vector& dydx, double) const {
    dydx[0] = y[1];
    dydx[1] = -omega * omega * y[0];
  }
};

// y' = x^4: Simpson's rule, and so one RK4 step, misses it by exactly h^5 / 120.
struct FourthPower {
  int calls = 0;
  void operator()(const Vector&, Vector& dydx, double x) {
    ++calls;
    dydx[0] = x * x * x * x;
  }
};

Vector vector_of(std::initializer_list<double> values) {
  Vector v{};
  std::size_t i = 0;
  for (double value : values) v[i++] = value;
  return v;
}

TEST(RK4StepTest, OneStepOfExponentialGrowthIsTheFourthOrderTaylorPolynomial) {
  auto growth = [](const Vector& y, Vector& dydx, double) { dydx[0] = y[0]; };
  const Vector y = vector_of({1.0});
  const Vector dydx = vector_of({1.0});
  Vector yout{};
  RK4Step(y, dydx, 1, 0.0, 1.0, yout, growth);
  EXPECT_NEAR(yout[0], 1.0 + 1.0 + 1.0 / 2.0 + 1.0 / 6.0 + 1.0 / 24.0, 1e-15);
}

TEST(RK4StepTest, QuadratureOfTheFourthPowerMatchesSimpsonsRuleAndCostsThreeEvaluations) {
  FourthPower f;
  const Vector y{};
  const Vector dydx{};  // the derivative at x = 0
  Vector yout{};
  RK4Step(y, dydx, 1, 0.0, 6.0, yout, f);
  // 6/6 (0 + 4 * 3^4 + 6^4) = 1620, against the exact 6^5 / 5 = 1555.2.
  EXPECT_EQ(yout[0], 1620.0);
  EXPECT_EQ(f.calls, 3);
}

TEST(RK4StepTest, OutputMayOverwriteTheInput) {
  auto growth = [](const Vector& y, Vector& dydx, double) { dydx[0] = y[0]; };
  Vector y = vector_of({1.0});
  RK4Step(y, vector_of({1.0}), 1, 0.0, 1.0, y, growth);
  EXPECT_NEAR(y[0], 65.0 / 24.0, 1e-15);
}

// With y' = x^4 from x = 0 and a trial step of 12, every number in the trial is
// exact in binary: the two half steps give 49896, the whole step 51840, so the
// error estimate is 1944 (= 12^5 / 128) and errmax = 1944 / yscal / eps.
struct QualityControlCase {
  FourthPower f;
  Vector y{};
  Vector dydx{};
  double x = 0.0;
  double hdid = 0.0;
  double hnext = 0.0;

  void step(double htry, double yscal) {
    const Vector scale = vector_of({yscal});
    RKQualityControl(y, dydx, 1, x, htry, 1.0, scale, hdid, hnext, f);
  }
};

TEST(RKQualityControlTest, ScaledErrorExactlyAtThresholdGrowsTheStepFourfold) {
  ASSERT_EQ(1944.0 / 3240000.0, 0.0006);
  QualityControlCase c;
  c.step(12.0, 3240000.0);
  EXPECT_EQ(c.hdid, 12.0);
  EXPECT_EQ(c.hnext, 48.0);
  EXPECT_EQ(c.x, 12.0);
  EXPECT_EQ(c.f.calls, 10);
  // Local extrapolation: 49896 - 0.06666666 * 1944, close to the exact 12^5 / 5.
  EXPECT_DOUBLE_EQ(c.y[0], 49896.0 - 0.06666666 * 1944.0);
  EXPECT_NEAR(c.y[0], 248832.0 / 5.0, 2e-3);
}

TEST(RKQualityControlTest, ScaledErrorWellBelowThresholdGrowsTheStepFourfold) {
  QualityControlCase c;
  c.step(12.0, 1e12);
  EXPECT_EQ(c.hnext, 48.0);
}

TEST(RKQualityControlTest, ScaledErrorJustAboveThresholdGrowsTheStepByAboutThreePointNineSeven) {
  QualityControlCase c;
  const double yscal = 3239000.0;
  const double errmax = 1944.0 / yscal;
  ASSERT_GT(errmax, 0.0006);
  c.step(12.0, yscal);
  EXPECT_EQ(c.hdid, 12.0);
  EXPECT_DOUBLE_EQ(c.hnext, 0.9 * 12.0 * std::pow(errmax, -0.2));
  EXPECT_NEAR(c.hnext / 12.0, 3.97, 0.005);
}

TEST(RKQualityControlTest, RejectedTrialShrinksWithExponentMinusOneTenth) {
  QualityControlCase c;
  c.step(12.0, 972.0);  // errmax 2 for the step of 12
  const double retried = 0.9 * 12.0 * std::exp(-0.1 * std::log(2.0));
  EXPECT_DOUBLE_EQ(c.hdid, retried);
  EXPECT_DOUBLE_EQ(c.x, retried);
  EXPECT_EQ(c.f.calls, 20);  // two trials of ten evaluations
  // The error of the second trial scales with the fifth power of the step.
  const double errmax = 2.0 * std::pow(retried / 12.0, 5.0);
  EXPECT_NEAR(c.hnext, 0.9 * retried * std::pow(errmax, -0.2), 1e-9);
  EXPECT_NEAR(c.y[0], std::pow(retried, 5.0) / 5.0, 1e-6 * std::pow(retried, 5.0));
}

TEST(RKQualityControlTest, ZeroTrialStepRaisesStepTooSmall) {
  QualityControlCase c;
  try {
    c.step(0.0, 1.0);
    FAIL() << "no exception";
  } catch (const EStepTooSmall& e) {
    EXPECT_STREQ(e.what(), "Step size too small in routine RKQualityControl");
  }
}

// y' = -10 y from y = 1. A pool that must stay positive: the derivative divides
// by zero (as the logarithm of an exhausted pool would) when a trial state
// goes below zero, which only large trial steps do.
struct ExhaustiblePool {
  int divisions = 0;
  void operator()(const Vector& y, Vector& dydx, double) {
    if (y[0] < 0.0) {
      ++divisions;
      throw EZeroDivide("Floating point division by zero");
    }
    dydx[0] = -10.0 * y[0];
  }
};

TEST(RKQualityControlTest, DivisionByZeroHalvesTheTrialStepSilently) {
  // With a loose tolerance only the divisions shorten the step. The whole step
  // first evaluates at 1 - 5 h, below zero for h = 1, 0.5 and 0.25; at h = 0.125
  // every trial state of both half steps and the whole step stays positive.
  ExhaustiblePool f;
  Vector y = vector_of({1.0});
  Vector dydx = vector_of({-10.0});
  double x = 0.0, hdid = 0.0, hnext = 0.0;
  RKQualityControl(y, dydx, 1, x, 1.0, 1.0, vector_of({1.0}), hdid, hnext, f);
  EXPECT_EQ(f.divisions, 3);
  EXPECT_EQ(hdid, 0.125);
  EXPECT_EQ(x, 0.125);
  EXPECT_NEAR(y[0], std::exp(-1.25), 1e-3);
}

TEST(RKQualityControlTest, DerivativeThatAlwaysDividesByZeroEndsWithStepTooSmall) {
  auto always = [](const Vector&, Vector&, double) { throw EZeroDivide("division by zero"); };
  Vector y = vector_of({1.0});
  Vector dydx{};
  double x = 5.0, hdid = 0.0, hnext = 0.0;
  EXPECT_THROW(RKQualityControl(y, dydx, 1, x, 1.0, 1e-8, vector_of({1.0}), hdid, hnext, always),
               EStepTooSmall);
}

TEST(RKQualityControlTest, OtherArithmeticFaultsPassToTheCaller) {
  auto invalid = [](const Vector&, Vector&, double) { throw EInvalidOp("invalid operation"); };
  Vector y = vector_of({1.0});
  Vector dydx{};
  double x = 0.0, hdid = 0.0, hnext = 0.0;
  EXPECT_THROW(RKQualityControl(y, dydx, 1, x, 1.0, 1e-8, vector_of({1.0}), hdid, hnext, invalid),
               EInvalidOp);
}

TEST(RKQualityControlTest, NotANumberInTheErrorEstimateIsNeverAccepted) {
  // A derivative that goes NaN without raising: the error test must not pass it.
  auto broken = [](const Vector&, Vector& dydx, double x) { dydx[0] = x > 0.0 ? NAN : 0.0; };
  Vector y = vector_of({1.0});
  Vector dydx{};
  double x = 0.0, hdid = 0.0, hnext = 0.0;
  EXPECT_THROW(RKQualityControl(y, dydx, 1, x, 1.0, 1e-8, vector_of({1.0}), hdid, hnext, broken),
               EInvalidOp);
}

// Integrates in unit intervals as the run loop does, carrying the step size.
template <class F>
int integrate_days(Vector& y, int n, double& h1, int days, F& f) {
  int steps = 0;
  for (int day = 0; day < days; ++day) {
    int nok = 0, nbad = 0;
    ODEIntegrator(y, n, h1, day, day + 1.0, 1e-8, 1e-6, nok, nbad, f);
    steps += nok + nbad;
  }
  return steps;
}

TEST(ODEIntegratorTest, ExponentialDecayStaysOnTheClosedFormForAHundredDays) {
  Decay f;
  Vector y = vector_of({1.0, 1.0, 1.0});
  double h1 = 1.0;
  double worst_relative = 0.0;
  for (int day = 0; day < 100; ++day) {
    int nok = 0, nbad = 0;
    ODEIntegrator(y, 3, h1, day, day + 1.0, 1e-8, 1e-6, nok, nbad, f);
    for (int i = 0; i < 3; ++i) {
      const double exact = std::exp(-f.rate[i] * (day + 1.0));
      EXPECT_NEAR(y[static_cast<std::size_t>(i)], exact, 1e-9) << "day " << day + 1;
      if (exact > 1e-6)
        worst_relative =
            std::max(worst_relative, std::fabs(y[static_cast<std::size_t>(i)] / exact - 1.0));
    }
  }
  EXPECT_LT(worst_relative, 1e-7);
}

TEST(ODEIntegratorTest, HarmonicOscillatorStaysOnTheClosedFormForAThousandDays) {
  Oscillator f;
  Vector y = vector_of({1.0, 0.0});
  double h1 = 1.0;
  double worst = 0.0;
  for (int day = 0; day < 1000; ++day) {
    int nok = 0, nbad = 0;
    ODEIntegrator(y, 2, h1, day, day + 1.0, 1e-8, 1e-6, nok, nbad, f);
    const double t = day + 1.0;
    worst = std::max(worst, std::hypot(y[0] - std::cos(t), y[1] + std::sin(t)));
  }
  // About 160 periods: the error grows slowly and stays below 100 tolerances.
  EXPECT_LT(worst, 1e-6);
  EXPECT_NEAR(y[0] * y[0] + y[1] * y[1], 1.0, 1e-6);
}

TEST(ODEIntegratorTest, OnlyTheFirstNElementsAreTouched) {
  Decay f;
  Vector y = vector_of({1.0, 1.0, 1.0, 7.0});
  y[7] = 9.0;
  double h1 = 1.0;
  integrate_days(y, 3, h1, 2, f);
  EXPECT_EQ(y[3], 7.0);
  EXPECT_EQ(y[7], 9.0);
}

TEST(ODEIntegratorTest, ConstantStateTakesGrowingStepsClipsTheLastAndHandsBackFourTimesIt) {
  int calls = 0;
  std::vector<double> times;
  auto constant = [&](const Vector&, Vector& dydx, double x) {
    ++calls;
    times.push_back(x);
    dydx[0] = 0.0;
  };
  Vector y = vector_of({3.0});
  double h1 = 1.0;
  int nok = -1, nbad = -1;
  ODEIntegrator(y, 1, h1, 0.0, 10.0, 1e-8, 1e-6, nok, nbad, constant);
  // Steps of 1 and 4, then 16 clipped to the remaining 5.
  EXPECT_EQ(nok, 3);
  EXPECT_EQ(nbad, 0);
  EXPECT_EQ(h1, 20.0);
  EXPECT_EQ(y[0], 3.0);
  EXPECT_EQ(calls, 3 * 11);  // ten evaluations per trial, one per accepted step
  for (double t : times) {
    EXPECT_GE(t, 0.0);
    EXPECT_LE(t, 10.0);
  }
}

TEST(ODEIntegratorTest, FirstTrialLargerThanTheIntervalIsClippedToIt) {
  int calls = 0;
  auto constant = [&](const Vector&, Vector& dydx, double) {
    ++calls;
    dydx[0] = 1.0;
  };
  Vector y = vector_of({0.0});
  double h1 = 100.0;
  int nok = 0, nbad = 0;
  ODEIntegrator(y, 1, h1, 2.0, 3.0, 1e-8, 1e-6, nok, nbad, constant);
  EXPECT_EQ(nok, 1);
  EXPECT_EQ(calls, 11);
  EXPECT_NEAR(y[0], 1.0, 1e-12);
  EXPECT_EQ(h1, 4.0);
}

TEST(ODEIntegratorTest, RejectedFirstTrialCountsAsABadStep) {
  // y' = x^4 from 0 to 12 with y = 972 and eps = 1: the first trial of 12 has
  // errmax 2, the retried step is accepted, and the clipped rest goes whole.
  FourthPower f;
  Vector y = vector_of({972.0});
  double h1 = 12.0;
  int nok = 0, nbad = 0;
  ODEIntegrator(y, 1, h1, 0.0, 12.0, 1.0, 1e-6, nok, nbad, f);
  EXPECT_EQ(nbad, 1);
  EXPECT_EQ(nok, 1);
  EXPECT_NEAR(y[0], 972.0 + 248832.0 / 5.0, 1.0);
}

TEST(ODEIntegratorTest, IntegratesBackwardsWithNegativeSteps) {
  std::vector<double> times;
  auto decay = [&](const Vector& y, Vector& dydx, double x) {
    times.push_back(x);
    dydx[0] = -y[0];
  };
  Vector y = vector_of({std::exp(-5.0)});
  double h1 = 0.5;
  int nok = 0, nbad = 0;
  ODEIntegrator(y, 1, h1, 5.0, 0.0, 1e-8, 1e-6, nok, nbad, decay);
  EXPECT_NEAR(y[0], 1.0, 1e-7);
  EXPECT_LT(h1, 0.0);
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(times.front(), 5.0);
  for (double t : times) {
    EXPECT_LE(t, 5.0);
    EXPECT_GE(t, 0.0);
  }
}

TEST(ODEIntegratorTest, SilentlyHalvesStepsThatDivideByZeroAndStaysAccurate) {
  ExhaustiblePool f;
  Vector y = vector_of({1.0});
  double h1 = 1.0;
  int steps = integrate_days(y, 1, h1, 3, f);
  EXPECT_GT(f.divisions, 0);
  EXPECT_GT(steps, 3);
  EXPECT_NEAR(y[0], std::exp(-30.0), 1e-12);
}

TEST(ODEIntegratorTest, EqualEndsRaiseStepTooSmallFromQualityControlAndLeaveTheCallerAlone) {
  Decay f;
  Vector y = vector_of({1.0, 2.0, 3.0});
  const Vector before = y;
  double h1 = 0.25;
  int nok = 0, nbad = 0;
  try {
    ODEIntegrator(y, 3, h1, 4.0, 4.0, 1e-8, 1e-6, nok, nbad, f);
    FAIL() << "no exception";
  } catch (const EStepTooSmall& e) {
    EXPECT_STREQ(e.what(), "Step size too small in routine RKQualityControl");
  }
  EXPECT_EQ(y, before);
  EXPECT_EQ(h1, 0.25);
}

TEST(ODEIntegratorTest, ProposedStepBelowTheSmallestRaisesStepTooSmallAndLeavesTheCallerAlone) {
  Decay f;
  Vector y = vector_of({1.0, 2.0, 3.0});
  const Vector before = y;
  double h1 = 0.1;
  int nok = 0, nbad = 0;
  try {
    // The first step of 0.1 can at most propose 0.4, below the smallest step 0.5.
    ODEIntegrator(y, 3, h1, 0.0, 10.0, 1e-8, 0.5, nok, nbad, f);
    FAIL() << "no exception";
  } catch (const EStepTooSmall& e) {
    EXPECT_STREQ(e.what(), "Step size too small in routine ODEIntegrator");
    // The fastest decay has the largest relative error.
    EXPECT_EQ(e.largest_error(), 3);
    EXPECT_FALSE(e.growth_limited());
  }
  EXPECT_EQ(nok + nbad, 1);
  EXPECT_EQ(y, before);
  EXPECT_EQ(h1, 0.1);
}

TEST(ODEIntegratorTest, StepTooSmallNamesTheElementWithTheLargestErrorOrNoneWhenGrowthLimitedIt) {
  Decay f;
  int nok = 0, nbad = 0;
  // A tolerance no trial can meet: rejected trials shrink the step to nothing,
  // the fastest decay (element 3) having the largest error.
  Vector y = vector_of({1.0, 1.0, 1.0});
  double h1 = 0.5;
  try {
    ODEIntegrator(y, 3, h1, 0.0, 1.0, 1e-300, 0.0, nok, nbad, f);
    FAIL() << "no exception";
  } catch (const EStepTooSmall& e) {
    EXPECT_EQ(e.largest_error(), 3);
    EXPECT_FALSE(e.growth_limited());
  }
  // A constant state has no error: a first step far below the smallest can
  // only grow fourfold, and no element limited it.
  auto constant = [](const Vector&, Vector& dydx, double) { dydx[0] = 0.0; };
  y = vector_of({1.0});
  h1 = 1e-9;
  try {
    ODEIntegrator(y, 1, h1, 0.0, 1.0, 1e-8, 1e-6, nok, nbad, constant);
    FAIL() << "no exception";
  } catch (const EStepTooSmall& e) {
    EXPECT_STREQ(e.what(), "Step size too small in routine ODEIntegrator");
    EXPECT_EQ(e.largest_error(), 0);
    EXPECT_TRUE(e.growth_limited());
  }
}

TEST(ODEIntegratorTest, MoreThanTenThousandStepsRaiseTooManyStepsAndLeaveTheCallerAlone) {
  Oscillator f;
  f.omega = 1000.0;  // needs steps of a few hundred-thousandths of a day
  Vector y = vector_of({1.0, 0.0});
  const Vector before = y;
  double h1 = 1.0;
  int nok = 0, nbad = 0;
  try {
    ODEIntegrator(y, 2, h1, 0.0, 1.0, 1e-8, 0.0, nok, nbad, f);
    FAIL() << "no exception";
  } catch (const ETooManySteps& e) {
    EXPECT_STREQ(e.what(), "Too many steps in routine ODEIntegrator");
  }
  EXPECT_EQ(nok + nbad, 10000);
  EXPECT_EQ(y, before);
  EXPECT_EQ(h1, 1.0);
}

TEST(ODEIntegratorTest, IntegratorFailuresBelongToTheRunTimeErrorFamily) {
  Decay f;
  Vector y = vector_of({1.0, 1.0, 1.0});
  double h1 = 1.0;
  int nok = 0, nbad = 0;
  EXPECT_THROW(ODEIntegrator(y, 3, h1, 1.0, 1.0, 1e-8, 1e-6, nok, nbad, f), EIntegratorError);
  EXPECT_THROW(ODEIntegrator(y, 3, h1, 1.0, 1.0, 1e-8, 1e-6, nok, nbad, f), ERunTimeError);
}

}  // namespace
}  // namespace vindrel
