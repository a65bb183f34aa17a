// The embedded pairs against equations with known solutions over long
// intervals, and the model's fault rules around them.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>

#include "core/exceptions.hpp"
#include "integrator/odeint_integrator.hpp"

namespace vindrel {
namespace {

using Vector = integrator::Vector<8>;
using Dopri5 = integrator::EmbeddedIntegrator<integrator::Dopri5Stepper<8>, 8>;
using Fehlberg78 = integrator::EmbeddedIntegrator<integrator::Fehlberg78Stepper<8>, 8>;

// y1' = y2, y2' = -y1, y3' = -0.05 y3 from (1, 0, 1): cos x, -sin x, exp(-x/20).
struct Oscillator {
  long calls = 0;
  void operator()(const Vector& y, Vector& dydx, double) {
    ++calls;
    dydx[0] = y[1];
    dydx[1] = -y[0];
    dydx[2] = -0.05 * y[2];
  }
};

struct Accuracy {
  double error = 0.0;  // largest absolute error at the end
  long calls = 0;
};

// Eight intervals of five (about six periods), the step carried from one to
// the next as a run carries it.
template <class Pair>
Accuracy oscillate(double rtol) {
  const Vector floor{1.0, 1.0, 1.0};
  Pair pair(3, rtol, floor);
  Oscillator derivs;
  Vector y{1.0, 0.0, 1.0};
  double h = 1.0;
  for (int interval = 0; interval < 8; ++interval) {
    const double x1 = 5.0 * interval;
    pair.integrate(y, h, x1, x1 + 5.0, 1e-6, 5.0, derivs);
  }
  const double x = 40.0;
  Accuracy a;
  a.error = std::max({std::fabs(y[0] - std::cos(x)), std::fabs(y[1] + std::sin(x)),
                      std::fabs(y[2] - std::exp(-0.05 * x))});
  a.calls = derivs.calls;
  return a;
}

// The order p that the work shows: a tolerance 100 times tighter costs
// 100^(1/p) times the evaluations.
double order_from_work(const Accuracy& tight, const Accuracy& loose) {
  return std::log(100.0) / std::log(double(tight.calls) / double(loose.calls));
}

TEST(EmbeddedIntegratorTest, ErrorFollowsTheToleranceAndWorkShowsTheOrder) {
  for (const double rtol : {1e-8, 1e-10}) {
    const Accuracy dopri5 = oscillate<Dopri5>(rtol);
    const Accuracy fehlberg = oscillate<Fehlberg78>(rtol);
    const Accuracy dopri5_loose = oscillate<Dopri5>(rtol * 100.0);
    const Accuracy fehlberg_loose = oscillate<Fehlberg78>(rtol * 100.0);
    // The global error after six periods stays within a few tens of the
    // tolerance, and shrinks with it.
    EXPECT_LT(dopri5.error, 30.0 * rtol) << rtol;
    EXPECT_LT(fehlberg.error, 30.0 * rtol) << rtol;
    EXPECT_GT(dopri5_loose.error / dopri5.error, 50.0) << rtol;
    EXPECT_GT(fehlberg_loose.error / fehlberg.error, 50.0) << rtol;
    const double dopri5_order = order_from_work(dopri5, dopri5_loose);
    const double fehlberg_order = order_from_work(fehlberg, fehlberg_loose);
    EXPECT_GT(dopri5_order, 4.2) << rtol;
    EXPECT_LT(dopri5_order, 6.5) << rtol;
    EXPECT_GT(fehlberg_order, 6.5) << rtol;
    EXPECT_LT(fehlberg_order, 11.0) << rtol;
  }
}

TEST(EmbeddedIntegratorTest, EndsExactlyAtTheEndAndCarriesTheStep) {
  // y' = 1 is integrated exactly; the last step is clipped to the end, and the
  // step handed back is not the clipped remainder.
  auto one = [](const Vector&, Vector& dydx, double) { dydx[0] = 1.0; };
  const Vector floor{1.0};
  Dopri5 pair(1, 1e-8, floor);
  Vector y{0.0, 7.0};
  double h = 0.3;
  const integrator::EmbeddedSteps steps = pair.integrate(y, h, 0.0, 1.0, 1e-6, 0.4, one);
  EXPECT_DOUBLE_EQ(y[0], 1.0);
  EXPECT_EQ(y[1], 7.0);  // past n: untouched
  EXPECT_EQ(h, 0.4);     // grown to the largest step allowed
  EXPECT_EQ(steps.accepted, 3);
  EXPECT_EQ(steps.rejected, 0);
}

TEST(EmbeddedIntegratorTest, StepsAreEvenedOutOverTheIntervalAndNeverPassTheLargest) {
  // y' = 1 has no error, so the steps are set by the interval alone.
  auto one = [](const Vector&, Vector& dydx, double) { dydx[0] = 1.0; };
  const Vector floor{1.0};
  struct Case {
    double h, length, hmax;
    int steps;
  };
  // 0.48 + 0.48 + 0.04 would leave a short step at the end: two of 0.5
  // instead. A last step up to a tenth longer than the step is taken whole,
  // unless it would pass the largest step.
  for (const Case c : {Case{0.48, 1.0, 1.0, 2}, Case{1.0, 1.08, 2.0, 1}, Case{1.0, 1.08, 1.0, 2},
                       Case{0.5, 1.0, 0.5, 2}}) {
    Dopri5 pair(1, 1e-8, floor);
    Vector y{0.0};
    double h = c.h;
    const integrator::EmbeddedSteps steps = pair.integrate(y, h, 0.0, c.length, 1e-6, c.hmax, one);
    EXPECT_EQ(steps.accepted, c.steps) << c.h << " over " << c.length;
    EXPECT_DOUBLE_EQ(y[0], c.length);
    EXPECT_LE(h, c.hmax);
  }
}

TEST(EmbeddedIntegratorTest, AnIntervalThatStartsWithAJumpStartsWithTheStepTheLastStartAllowed) {
  // y' = 5 (s - y), s jumping between 0 and 1 from one interval to the next:
  // every interval starts with a fast adjustment that needs short steps and
  // ends calm, where the steps grow long. Starting each interval with the
  // calm end's step would reject a trial at nearly every start.
  double target = 0.0;
  auto relax = [&target](const Vector& y, Vector& dydx, double) {
    dydx[0] = 5.0 * (target - y[0]);
  };
  const Vector floor{1.0};
  Dopri5 pair(1, 1e-8, floor);
  Vector y{0.0};
  double h = 0.5;
  integrator::EmbeddedSteps all;
  constexpr int kIntervals = 40;
  for (int k = 0; k < kIntervals; ++k) {
    target = k % 2 == 0 ? 1.0 : 0.0;
    const double start = y[0];
    const integrator::EmbeddedSteps steps = pair.integrate(y, h, k, k + 1.0, 1e-6, 0.5, relax);
    all.accepted += steps.accepted;
    all.rejected += steps.rejected;
    EXPECT_NEAR(y[0], target + (start - target) * std::exp(-5.0), 1e-7) << k;
  }
  EXPECT_LT(all.rejected, kIntervals / 4) << all.accepted << " accepted";
}

TEST(EmbeddedIntegratorTest, DivisionByZeroHalvesTheTrialSilently) {
  // The first two evaluations past x = 0.3 divide by zero: the trials of 1 and
  // 0.5 are abandoned, the trial of 0.25 goes through, and so does the rest.
  for (const bool eighth_order : {false, true}) {
    int faults = 0;
    auto decay = [&faults](const Vector& y, Vector& dydx, double x) {
      if (x > 0.3 && faults < 2) {
        ++faults;
        throw EZeroDivide("Floating point division by zero");
      }
      dydx[0] = -y[0];
    };
    const Vector floor{1.0};
    Vector y{1.0};
    double h = 1.0;
    integrator::EmbeddedSteps steps;
    if (eighth_order) {
      steps = Fehlberg78(1, 1e-9, floor).integrate(y, h, 0.0, 2.0, 1e-6, 1.0, decay);
    } else {
      steps = Dopri5(1, 1e-9, floor).integrate(y, h, 0.0, 2.0, 1e-6, 1.0, decay);
    }
    EXPECT_EQ(steps.halved, 2);
    EXPECT_NEAR(y[0], std::exp(-2.0), 1e-8);
  }
}

TEST(EmbeddedIntegratorTest, FailuresEndTheIntegrationWithTheirMessagesAndLeaveTheState) {
  const Vector floor{1.0, 1.0};
  auto expect_failure = [&floor](auto derivs, double hmax, const char* message,
                                 auto exception_type) {
    using Exception = decltype(exception_type);
    Dopri5 pair(2, 1e-8, floor);
    Vector y{1.0, 1.0};
    double h = 0.5;
    try {
      pair.integrate(y, h, 0.0, 1.0, 1e-6, hmax, derivs);
      ADD_FAILURE() << "no failure: " << message;
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), message);
    }
    EXPECT_EQ(y[0], 1.0);
    EXPECT_EQ(h, 0.5);
  };
  // Every trial divides by zero: halved until below the smallest step.
  expect_failure(
      [](const Vector&, Vector&, double x) {
        if (x > 0.0) throw EZeroDivide("Floating point division by zero");
      },
      1.0, integrator::kIntegratorTooSmall, EStepTooSmall(""));
  // Steps of at most 1e-5 cannot cross the interval in 10,000 steps.
  expect_failure([](const Vector&, Vector& dydx, double) { dydx[0] = dydx[1] = 1.0; }, 1e-5,
                 integrator::kTooManySteps, ETooManySteps(""));
  // Any other arithmetic fault is not retried.
  expect_failure(
      [](const Vector&, Vector&, double x) {
        if (x > 0.0) throw EInvalidOp("Invalid floating point operation");
      },
      1.0, "Invalid floating point operation", EInvalidOp(""));
  // One NaN among finite derivatives: the largest error must not ignore it.
  expect_failure(
      [](const Vector&, Vector& dydx, double x) {
        dydx[0] = 1.0;
        dydx[1] = x > 0.2 ? std::numeric_limits<double>::quiet_NaN() : 1.0;
      },
      1.0, integrator::kNonFiniteError, EInvalidOp(""));
}

// The trial runs on the widest vectors the processor has; on every processor
// it must give the baseline's bits, for the new states, the last stage and the
// error. A nonlinear system of the run's width, with the elements past the
// ones in use kept at zero as the integrator keeps them.
TEST(DormandPrinceTest, TheTrialGivesTheBaselineBitsOnAnyProcessor) {
  constexpr std::size_t kWidth = 56;
  using Wide = integrator::Vector<kWidth>;
  constexpr std::size_t kUsed = 55;
  auto system = [](const Wide& y, Wide& dydx, double x) {
    for (std::size_t i = 0; i < kUsed; ++i) {
      dydx[i] = std::sin(x + y[(i + 1) % kUsed]) - 0.3 * y[i] * std::fabs(y[(i + 7) % kUsed]);
    }
    dydx[kUsed] = 0.0;
  };
  std::mt19937_64 random(56);
  std::uniform_real_distribution<double> value(-3.0, 3.0);
  std::uniform_real_distribution<double> size(0.0, 2.0);
  Wide floor{};
  for (std::size_t i = 0; i < kUsed; ++i) floor[i] = size(random);
  const integrator::ErrorScale<kWidth> scale{kUsed, &floor};
  integrator::DormandPrince54<kWidth> stepper;
  for (int trial = 0; trial < 50; ++trial) {
    Wide y{};
    for (std::size_t i = 0; i < kUsed; ++i) y[i] = value(random);
    Wide k1{};
    system(y, k1, 0.5 * trial);
    const double h = 0.01 * (trial + 1);
    Wide ynew{}, k7{}, baseline_ynew{}, baseline_k7{};
    const double error = stepper.trial(system, y, k1, 0.5 * trial, h, ynew, k7, scale);
    const double baseline_error =
        stepper.baseline_trial(system, y, k1, 0.5 * trial, h, baseline_ynew, baseline_k7, scale);
    EXPECT_GT(error, 0.0);
    EXPECT_EQ(std::bit_cast<std::uint64_t>(error), std::bit_cast<std::uint64_t>(baseline_error));
    for (std::size_t i = 0; i < kWidth; ++i) {
      EXPECT_EQ(std::bit_cast<std::uint64_t>(ynew[i]),
                std::bit_cast<std::uint64_t>(baseline_ynew[i]))
          << "trial " << trial << ", element " << i;
      EXPECT_EQ(std::bit_cast<std::uint64_t>(k7[i]), std::bit_cast<std::uint64_t>(baseline_k7[i]))
          << "trial " << trial << ", element " << i;
    }
  }
}

}  // namespace
}  // namespace vindrel
