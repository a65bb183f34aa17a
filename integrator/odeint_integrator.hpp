// Adaptive integration with the embedded Runge-Kutta pairs of Boost.Odeint:
// the Dormand-Prince 5(4) pair and the Runge-Kutta-Fehlberg 7(8) pair, each
// under Odeint's step-size controller, over the same vectors and derivative
// callables as ODEIntegrator (integrator.hpp).
//
// Odeint supplies the steppers and the controller; this file supplies what the
// model's integration rules need around them, which Odeint's own drivers do
// not know:
// - the error test: each state's error against rtol x (max(|y|, floor) + |h
//   dy/dx|) at the step's start, where floor is the caller's typical size of
//   the state; an error that is not a finite number throws EInvalidOp instead
//   of losing the maximum (the maximum with std::max ignores a NaN);
// - a trial whose derivatives divide by zero (EZeroDivide) is abandoned and
//   tried again with half the step;
// - a trial step below hmin, or more than kMaximumSteps accepted steps in one
//   interval, ends the integration with ODEIntegrator's messages; no step is
//   longer than the caller's hmax;
// - the last step is clipped to end exactly at x2, and the step proposed
//   before the clipping is handed back, so the next interval starts with it.
// Nothing is allocated: Odeint's working vectors for a std::array are arrays.
#pragma once

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <type_traits>

#include "core/exceptions.hpp"
#include "integrator/integrator.hpp"

// The steppers' working vectors are arrays that Odeint leaves uninitialised
// until a step writes them; GCC warns when the controller copies them in.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"
#endif
#include <boost/numeric/odeint/algebra/array_algebra.hpp>
#include <boost/numeric/odeint/algebra/default_operations.hpp>
#include <boost/numeric/odeint/stepper/controlled_runge_kutta.hpp>
#include <boost/numeric/odeint/stepper/runge_kutta_dopri5.hpp>
#include <boost/numeric/odeint/stepper/runge_kutta_fehlberg78.hpp>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

namespace vindrel::integrator {

// The embedded pairs: order 5 with a 4th-order error estimate (7 stages, the
// last one reused as the next step's first), and order 8 with a 7th-order
// estimate (13 stages).
template <std::size_t Capacity>
using Dopri5Stepper = boost::numeric::odeint::runge_kutta_dopri5<Vector<Capacity>>;
template <std::size_t Capacity>
using Fehlberg78Stepper = boost::numeric::odeint::runge_kutta_fehlberg78<Vector<Capacity>>;

// What one integration did.
struct EmbeddedSteps {
  int accepted = 0;
  int rejected = 0;  // trials whose error was too large
  int halved = 0;    // trials abandoned on a division by zero
};

// Odeint's error checker for the first n elements: the largest error relative
// to rtol x (max(|y|, floor) + |h dy/dx|), y and dy/dx at the step's start.
template <std::size_t Capacity>
class ScaledErrorTest {
 public:
  using value_type = double;
  using algebra_type = boost::numeric::odeint::array_algebra;
  using operations_type = boost::numeric::odeint::default_operations;

  ScaledErrorTest(int n, double rtol, const Vector<Capacity>& floor)
      : count_(static_cast<std::size_t>(n)), rtol_(rtol), floor_(&floor) {}

  template <class State, class Deriv, class Err, class Time>
  double error(algebra_type&, const State& y, const Deriv& dydx, Err& yerr, Time h) const {
    const Vector<Capacity>& floor = *floor_;
    double worst = 0.0;
    bool finite = true;
    for (std::size_t i = 0; i < count_; ++i) {
      // std::max keeps a NaN state (its first argument), so the test sees it.
      const double size = std::max(std::fabs(y[i]), floor[i]);
      const double scaled = std::fabs(yerr[i]) / (size + std::fabs(h * dydx[i]) + kTiny);
      finite = finite && std::isfinite(scaled);
      if (scaled > worst) worst = scaled;
    }
    if (!finite) throw EInvalidOp(kNonFiniteError);
    return worst / rtol_;
  }

 private:
  std::size_t count_;
  double rtol_;
  const Vector<Capacity>* floor_;
};

namespace detail {

template <class Controlled>
inline constexpr bool kReusesLastStage =
    std::is_same_v<typename Controlled::stepper_category,
                   boost::numeric::odeint::explicit_controlled_stepper_fsal_tag>;

}  // namespace detail

// Integrates with the embedded pair ErrorStepper over intervals, one call per
// interval. Made once for a series of intervals (a run): Odeint's controller
// and its working vectors live in it.
template <class ErrorStepper, std::size_t Capacity>
class EmbeddedIntegrator {
 public:
  // The first n elements take part; rtol is the relative tolerance (above
  // zero); `floor` holds each element's typical size and is read at every
  // step, so the caller may change it between calls.
  EmbeddedIntegrator(int n, double rtol, const Vector<Capacity>& floor)
      : controlled_(ScaledErrorTest<Capacity>(n, rtol, floor)),
        count_(static_cast<std::size_t>(n)) {
    if (!(rtol > 0.0)) throw std::invalid_argument("EmbeddedIntegrator needs a tolerance above 0");
  }

  // Integrates ystart from x1 to x2 (x2 > x1). h1 is the first trial step;
  // hmin the smallest trial step allowed and hmax the largest. On success ystart holds the state at
  // x2 and h1 the step to start the next interval with. On failure ystart and
  // h1 are left as they were: EStepTooSmall, ETooManySteps, EInvalidOp (an
  // error estimate that is not finite) or any failure of the derivatives other
  // than EZeroDivide inside a trial.
  template <class Derivatives>
  EmbeddedSteps integrate(Vector<Capacity>& ystart, double& h1, double x1, double x2, double hmin,
                          double hmax, Derivatives&& derivs);

 private:
  using Controlled =
      boost::numeric::odeint::controlled_runge_kutta<ErrorStepper, ScaledErrorTest<Capacity>>;
  Controlled controlled_;
  std::size_t count_;
};

template <class ErrorStepper, std::size_t Capacity>
template <class Derivatives>
EmbeddedSteps EmbeddedIntegrator<ErrorStepper, Capacity>::integrate(Vector<Capacity>& ystart,
                                                                    double& h1, double x1,
                                                                    double x2, double hmin,
                                                                    double hmax,
                                                                    Derivatives&& derivs) {
  namespace odeint = boost::numeric::odeint;
  using V = Vector<Capacity>;
  if (!(x2 > x1)) throw std::invalid_argument("EmbeddedIntegrator integrates forwards only");

  const std::size_t count = count_;
  // The elements past n stay zero, so the steppers' arithmetic on them is
  // harmless and never reaches the error test.
  auto system = [&derivs, count](const V& y, V& dydx, double x) {
    derivs(y, dydx, x);
    for (std::size_t i = count; i < Capacity; ++i) dydx[i] = 0.0;
  };
  EmbeddedSteps steps;
  V y{};
  std::copy_n(ystart.begin(), count, y.begin());
  V dydx{};
  V ynew{};
  V dydxnew{};
  double x = x1;
  double h = std::min(std::fabs(h1), hmax);
  bool have_derivatives = false;

  for (;;) {
    // Outside a trial, as in ODEIntegrator: a fault here ends the integration.
    if (!have_derivatives) system(y, dydx, x);
    have_derivatives = true;
    const double remaining = x2 - x;
    // A step that would leave less than hmin is stretched to the end.
    const bool clipped = h >= remaining - hmin;
    const double trial = clipped ? remaining : h;
    double t = x;
    double proposed = trial;
    odeint::controlled_step_result result;
    try {
      if constexpr (detail::kReusesLastStage<Controlled>) {
        result = controlled_.try_step(system, y, dydx, t, ynew, dydxnew, proposed);
      } else {
        result = controlled_.try_step(system, y, dydx, t, ynew, proposed);
      }
    } catch (const EZeroDivide&) {
      ++steps.halved;
      h = 0.5 * trial;
      if (h < hmin) throw EStepTooSmall(kIntegratorTooSmall);
      continue;
    }
    if (result != odeint::success) {
      ++steps.rejected;
      h = proposed;
      if (h < hmin) throw EStepTooSmall(kIntegratorTooSmall);
      continue;
    }
    ++steps.accepted;
    // A state that is not finite cannot have passed the error test; this
    // guards the step's own arithmetic.
    for (std::size_t i = 0; i < count; ++i) {
      if (!std::isfinite(ynew[i])) throw EInvalidOp(kNonFiniteError);
    }
    y = ynew;
    if constexpr (detail::kReusesLastStage<Controlled>) {
      dydx = dydxnew;
    } else {
      have_derivatives = false;
    }
    if (clipped) {
      // The clipped step says little about the step the solution allows.
      h = std::min(std::max(h, proposed), hmax);
      break;
    }
    x = t;
    h = std::min(proposed, hmax);
    if (steps.accepted >= kMaximumSteps) throw ETooManySteps(kTooManySteps);
  }
  std::copy_n(y.begin(), count, ystart.begin());
  h1 = h;
  return steps;
}

}  // namespace vindrel::integrator
