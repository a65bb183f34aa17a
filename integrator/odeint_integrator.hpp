// Adaptive integration with embedded Runge-Kutta pairs: the Dormand-Prince
// 5(4) pair (dormand_prince.hpp) and the Runge-Kutta-Fehlberg 7(8) pair of
// Boost.Odeint, over the same vectors and derivative callables as
// ODEIntegrator (integrator.hpp).
//
// The pairs supply the trial steps and their error estimates; this file
// supplies the step-size control and what the model's integration rules need
// around them:
// - the error test: each state's error against rtol x (max(|y|, floor) + |h
//   dy/dx|) at the step's start, where floor is the caller's typical size of
//   the state; an error that is not a finite number throws EInvalidOp instead
//   of losing the maximum (the maximum with std::max ignores a NaN);
// - a trial whose derivatives divide by zero (EZeroDivide) is abandoned and
//   tried again with half the step;
// - a trial step below hmin, or more than kMaximumSteps accepted steps in one
//   interval, ends the integration with ODEIntegrator's messages; no step is
//   longer than the caller's hmax;
// - the interval ends exactly at x2, and the step proposed before its last
//   step was fitted to the end is handed back, so the next interval starts
//   with it.
// Nothing is allocated: the working vectors are arrays.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <utility>

#include "core/exceptions.hpp"
#include "integrator/dormand_prince.hpp"
#include "integrator/integrator.hpp"

// The steppers' working vectors are arrays that Odeint leaves uninitialised
// until a step writes them; GCC warns when it copies them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <boost/numeric/odeint/algebra/array_algebra.hpp>
#include <boost/numeric/odeint/algebra/default_operations.hpp>
#include <boost/numeric/odeint/stepper/runge_kutta_fehlberg78.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace vindrel::integrator {

// The largest error of the first n elements of err relative to their scale,
// max(|y|, floor) + |h dy/dx|. Throws EInvalidOp when it is not a finite number.
template <std::size_t Capacity>
double scaled_error(const Vector<Capacity>& err, const Vector<Capacity>& y,
                    const Vector<Capacity>& dydx, double h, const ErrorScale<Capacity>& scale) {
  const Vector<Capacity>& floor = *scale.floor;
  double worst = 0.0;
  bool finite = true;
  for (std::size_t i = 0; i < scale.count; ++i) {
    const double scaled = relative_error(err[i], y[i], dydx[i], h, floor[i]);
    finite = finite && std::isfinite(scaled);
    worst = scaled > worst ? scaled : worst;
  }
  if (!finite) throw EInvalidOp(kNonFiniteError);
  return worst;
}

// Trial steps of the Runge-Kutta-Fehlberg 7(8) pair: Odeint's stepper, with
// the error measured as above.
template <std::size_t Capacity>
class Fehlberg78 {
 public:
  using V = Vector<Capacity>;
  // The order of the solution advanced: a step's error estimate is O(h^8).
  static constexpr int kErrorOrder = 7;
  // All thirteen stages are taken again at the next step.
  static constexpr bool kReusesLastStage = false;

  template <class System>
  double trial(System& system, const V& y, const V& dydx, double x, double h, V& ynew, V&,
               const ErrorScale<Capacity>& scale) {
    stepper_.do_step(system, y, dydx, x, ynew, h, error_);
    const double worst = scaled_error(error_, y, dydx, h, scale);
    // A state that is not finite cannot pass the error test; this guards the
    // step's own arithmetic.
    for (std::size_t i = 0; i < scale.count; ++i) {
      if (!std::isfinite(ynew[i])) throw EInvalidOp(kNonFiniteError);
    }
    return worst;
  }

 private:
  boost::numeric::odeint::runge_kutta_fehlberg78<V> stepper_;
  V error_{};
};

// The pairs by the names the run uses.
template <std::size_t Capacity>
using Dopri5Stepper = DormandPrince54<Capacity>;
template <std::size_t Capacity>
using Fehlberg78Stepper = Fehlberg78<Capacity>;

// What one integration did.
struct EmbeddedSteps {
  int accepted = 0;
  int rejected = 0;  // trials whose error was too large
  int halved = 0;    // trials abandoned on a division by zero
};

// The step-size controller: the next step is the step just tried times
// 0.9 err^(-1/(q+1)), err the trial's error relative to the tolerance and q
// the order of the error estimate's lower solution, by a factor between a
// fifth and five; after a rejection the step does not grow again until a
// step has been accepted. (A proportional-integral controller, which also
// weighs the error of the step before, took more evaluations on the model.)
struct StepControl {
  double exponent;  // -1/(q+1)
  static constexpr double kSafety = 0.9;
  static constexpr double kSmallestFactor = 0.2;
  static constexpr double kLargestFactor = 5.0;

  static constexpr StepControl for_order(int error_order) { return {-1.0 / (error_order + 1.0)}; }
  double factor(double error) const {
    // An error of zero (a step that changed nothing) grows the step the most.
    if (!(error > 0.0)) return kLargestFactor;
    return std::clamp(kSafety * std::pow(error, exponent), kSmallestFactor, kLargestFactor);
  }
};

// The last step of an interval may be this much longer than the step the
// controller proposes, and the steps are evened out over what remains of
// the interval, so that no short step is left at its end (a short step costs
// as many evaluations as a long one).
inline constexpr double kLastStepStretch = 0.1;

// Integrates with the embedded pair Stepper over intervals, one call per
// interval. Made once for a series of intervals (a run): the stepper and the
// working vectors live in it.
template <class Stepper, std::size_t Capacity>
class EmbeddedIntegrator {
 public:
  using V = Vector<Capacity>;

  // The first n elements take part; rtol is the relative tolerance (above
  // zero); `floor` holds each element's typical size and is read at every
  // step, so the caller may change it between calls.
  EmbeddedIntegrator(int n, double rtol, const V& floor)
      : count_(static_cast<std::size_t>(n)), rtol_(rtol), floor_(&floor) {
    if (!(rtol > 0.0)) throw std::invalid_argument("EmbeddedIntegrator needs a tolerance above 0");
    if (n < 0 || count_ > Capacity)
      throw std::invalid_argument("EmbeddedIntegrator: n out of range");
  }

  // Integrates ystart from x1 to x2 (x2 > x1). h1 is the first trial step;
  // hmin the smallest trial step allowed and hmax the largest. On success
  // ystart holds the state at x2 and h1 the step to start the next interval
  // with. On failure ystart and h1 are left as they were: EStepTooSmall,
  // ETooManySteps, EInvalidOp (an error estimate that is not finite) or any
  // failure of the derivatives other than EZeroDivide inside a trial.
  template <class Derivatives>
  EmbeddedSteps integrate(V& ystart, double& h1, double x1, double x2, double hmin, double hmax,
                          Derivatives&& derivs);

 private:
  static constexpr StepControl kControl = StepControl::for_order(Stepper::kErrorOrder);

  Stepper stepper_;
  std::size_t count_;
  double rtol_;
  const V* floor_;
  // The state and its derivatives at the step's start and at its end; the
  // elements past n stay zero.
  V states_[2]{};
  V derivatives_[2]{};
};

template <class Stepper, std::size_t Capacity>
template <class Derivatives>
EmbeddedSteps EmbeddedIntegrator<Stepper, Capacity>::integrate(V& ystart, double& h1, double x1,
                                                               double x2, double hmin, double hmax,
                                                               Derivatives&& derivs) {
  if (!(x2 > x1)) throw std::invalid_argument("EmbeddedIntegrator integrates forwards only");

  const std::size_t count = count_;
  // The elements past n stay zero, so the steppers' arithmetic on them is
  // harmless and never reaches the error test.
  auto system = [&derivs, count](const V& y, V& dydx, double x) {
    derivs(y, dydx, x);
    // Mostly one element or none: a loop from `count` on would be made a
    // string instruction, whose start costs more than the stores.
    if (count < Capacity) {
      dydx[count] = 0.0;
      for (std::size_t i = count + 1; i < Capacity; ++i) dydx[i] = 0.0;
    }
  };
  const ErrorScale<Capacity> scale{count, floor_};
  EmbeddedSteps steps;
  V* y = &states_[0];
  V* ynew = &states_[1];
  V* dydx = &derivatives_[0];
  V* dydxnew = &derivatives_[1];
  std::copy_n(ystart.begin(), count, y->begin());
  double x = x1;
  double h = std::min(std::fabs(h1), hmax);
  // The step proposed after the interval's first accepted step. The intervals
  // of a run start where the drivers change, and the states adjust fastest
  // just after that: the next interval starts with no longer a step than this
  // one's start allowed, rather than with the step its calm end allowed.
  double first_proposal = 0.0;
  bool have_derivatives = false;
  bool after_rejection = false;

  for (;;) {
    // Outside a trial, as in ODEIntegrator: a fault here ends the integration.
    if (!have_derivatives) system(*y, *dydx, x);
    have_derivatives = true;
    const double remaining = x2 - x;
    // The steps that remain, each no longer than h (the last one stretched by
    // up to kLastStepStretch, but not right after a rejection, so that every
    // trial after a rejection is shorter) nor than hmax, evened out; a step
    // that would leave less than hmin is stretched to the end.
    const double stretch = after_rejection ? 0.0 : kLastStepStretch;
    const double steps_left =
        std::max(std::ceil(remaining / h - stretch), std::ceil(remaining / hmax));
    const bool last = steps_left <= 1.0 || h >= remaining - hmin;
    const double trial = last ? remaining : remaining / steps_left;
    double error = 0.0;
    try {
      error = stepper_.trial(system, *y, *dydx, x, trial, *ynew, *dydxnew, scale) / rtol_;
    } catch (const EZeroDivide&) {
      ++steps.halved;
      h = 0.5 * trial;
      if (h < hmin) throw EStepTooSmall(kIntegratorTooSmall);
      continue;
    }
    if (!(error <= 1.0)) {
      ++steps.rejected;
      after_rejection = true;
      h = trial * kControl.factor(error);
      if (h < hmin) throw EStepTooSmall(kIntegratorTooSmall);
      continue;
    }
    ++steps.accepted;
    double proposed = trial * kControl.factor(error);
    if (after_rejection) proposed = std::min(proposed, trial);
    after_rejection = false;
    if (steps.accepted == 1) first_proposal = proposed;
    std::swap(y, ynew);
    if constexpr (Stepper::kReusesLastStage) {
      std::swap(dydx, dydxnew);
    } else {
      have_derivatives = false;
    }
    if (last) {
      // A step fitted to the end says little about the step the solution
      // allows.
      h = std::min({std::max(h, proposed), hmax, first_proposal});
      break;
    }
    x += trial;
    h = std::min(proposed, hmax);
    if (steps.accepted >= kMaximumSteps) throw ETooManySteps(kTooManySteps);
  }
  std::copy_n(y->begin(), count, ystart.begin());
  h1 = h;
  return steps;
}

}  // namespace vindrel::integrator
