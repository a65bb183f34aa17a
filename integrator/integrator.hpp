// Adaptive fourth-order Runge-Kutta integration with step doubling.
//
// Every trial step is taken once whole and once as two half steps; their
// difference estimates the error, which controls the step size, and the
// two-half-step result is improved by local extrapolation. The integrator knows
// nothing of the model: it advances a vector of doubles with a derivative
// callable `derivs(const Vector& y, Vector& dydx, double x)` that sets dydx to
// the time derivatives of y at time x. A Vector is a std::array of doubles
// whose size, the capacity, the caller chooses (the model's run passes its
// state vector); only the first n elements take part. The callable signals a division by zero
// by throwing EZeroDivide; the trial is then retried with half the step.
//
// Three layers, each calling only the one below it and the derivatives:
// ODEIntegrator (whole interval), RKQualityControl (one accepted step) and
// RK4Step (one classical step). Nothing is allocated: the working vectors are
// fixed arrays on the stack.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>

#include "core/exceptions.hpp"

namespace vindrel {
namespace integrator {

// The vectors the integrator advances: Capacity doubles, of which the first n
// take part.
template <std::size_t Capacity>
using Vector = std::array<double, Capacity>;

inline constexpr double kSafety = 0.9;              // multiplies every new step size
inline constexpr double kGrowthExponent = -0.2;     // next step after an accepted step
inline constexpr double kShrinkExponent = -0.1;     // next trial after a rejected trial
inline constexpr double kGrowthThreshold = 0.0006;  // at or below: grow by kMaximumGrowth
inline constexpr double kMaximumGrowth = 4.0;
inline constexpr double kExtrapolation = 0.06666666;  // weight of the error estimate
inline constexpr double kTiny = 1e-30;                // keeps every error scale above zero
inline constexpr int kMaximumSteps = 10000;           // accepted steps in one interval

inline constexpr const char* kQualityControlTooSmall =
    "Step size too small in routine RKQualityControl";
inline constexpr const char* kIntegratorTooSmall = "Step size too small in routine ODEIntegrator";
inline constexpr const char* kTooManySteps = "Too many steps in routine ODEIntegrator";
inline constexpr const char* kNonFiniteError =
    "Invalid floating point operation in routine RKQualityControl";

// What limited the step size, for the message of a step that became too
// small: filled only when a trial is rejected or an accepted step proposes a
// step below the smallest allowed, so that it costs nothing on the usual path.
struct StepLimit {
  double smallest_step = 0.0;  // in: the smallest step allowed (its magnitude)
  // out: 1-based element with the largest scaled error in the last trial that
  // cut the step; 0 when a division by zero cut it, or none has yet.
  int largest_error = 0;
  // out: the step was below the smallest one although its error was small: it
  // could grow no faster (kMaximumGrowth) from a step that was too short.
  bool growth_limited = false;
};

// The 1-based element with the largest |error[i] / yscal[i]| (the first of
// equals; a NaN wins, since it is what broke the trial).
template <std::size_t Capacity>
int largest_scaled_error(const Vector<Capacity>& error, const Vector<Capacity>& yscal, int n) {
  int largest = 0;
  double largest_value = -1.0;
  for (int i = 0; i < n; ++i) {
    const std::size_t k = static_cast<std::size_t>(i);
    const double scaled = std::fabs(error[k] / yscal[k]);
    if (std::isnan(scaled)) return i + 1;
    if (scaled > largest_value) {
      largest_value = scaled;
      largest = i + 1;
    }
  }
  return largest;
}

}  // namespace integrator

// The working vectors below are left uninitialised: clearing them cost more
// than their arithmetic. Only their first n elements are written and read, which
// the compiler cannot see through the derivative function.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// One classical fourth-order Runge-Kutta step of size h from the state y at x,
// whose derivatives are dydx; the state at x + h goes to yout (which may be y).
// Three evaluations of the derivatives.
template <std::size_t Capacity, class Derivatives>
void RK4Step(const integrator::Vector<Capacity>& y, const integrator::Vector<Capacity>& dydx, int n,
             double x, double h, integrator::Vector<Capacity>& yout, Derivatives&& derivs) {
  const std::size_t count = static_cast<std::size_t>(n);
  const double hh = 0.5 * h;
  const double h6 = h / 6.0;
  const double xh = x + hh;
  integrator::Vector<Capacity> yt;
  integrator::Vector<Capacity> dyt;
  integrator::Vector<Capacity> dym;

  for (std::size_t i = 0; i < count; ++i) yt[i] = y[i] + hh * dydx[i];
  derivs(yt, dyt, xh);
  for (std::size_t i = 0; i < count; ++i) yt[i] = y[i] + hh * dyt[i];
  derivs(yt, dym, xh);
  for (std::size_t i = 0; i < count; ++i) {
    yt[i] = y[i] + h * dym[i];
    dym[i] += dyt[i];
  }
  derivs(yt, dyt, x + h);
  for (std::size_t i = 0; i < count; ++i) yout[i] = ((dydx[i] + dyt[i]) + 2.0 * dym[i]) * h6 + y[i];
}

// One accepted step with error control. On entry y and dydx hold the state and
// its derivatives at x, htry is the first trial step, eps the tolerance and
// yscal the error scale of each element. On return y and x have advanced by
// hdid, and hnext is the proposed next step. dydx is working storage.
//
// A trial whose evaluation divides by zero is abandoned silently and retried
// with half the step. Throws EStepTooSmall when a trial step no longer changes
// the time in double precision, and EInvalidOp when the error estimate is not a
// finite number (the trial's own arithmetic overflowed or went invalid).
// `limit`, when given, learns what cut the step (see StepLimit).
template <std::size_t Capacity, class Derivatives>
void RKQualityControl(integrator::Vector<Capacity>& y, integrator::Vector<Capacity>& dydx, int n,
                      double& x, double htry, double eps, const integrator::Vector<Capacity>& yscal,
                      double& hdid, double& hnext, Derivatives&& derivs,
                      integrator::StepLimit* limit = nullptr) {
  using namespace integrator;
  using Vector = integrator::Vector<Capacity>;
  const std::size_t count = static_cast<std::size_t>(n);
  const double xsav = x;
  const Vector ysav = y;
  const Vector dysav = dydx;
  Vector ytemp;
  double h = htry;

  for (;;) {
    double errmax = 0.0;
    try {
      const double hh = 0.5 * h;
      // Two half steps.
      RK4Step(ysav, dysav, n, xsav, hh, ytemp, derivs);
      x = xsav + hh;
      derivs(ytemp, dydx, x);
      RK4Step(ytemp, dydx, n, x, hh, y, derivs);
      x = xsav + h;
      if (x == xsav) {
        throw EStepTooSmall(kQualityControlTooSmall, limit != nullptr ? limit->largest_error : 0);
      }
      // One whole step; its difference from the two half steps is the error.
      RK4Step(ysav, dysav, n, xsav, h, ytemp, derivs);
      bool finite = true;
      for (std::size_t i = 0; i < count; ++i) {
        ytemp[i] = y[i] - ytemp[i];
        const double scaled = std::fabs(ytemp[i] / yscal[i]);
        finite = finite && std::isfinite(scaled);
        if (scaled > errmax) errmax = scaled;
      }
      errmax /= eps;
      // A NaN would never win the maximum above and would let a broken step
      // pass as accurate.
      if (!finite || !std::isfinite(errmax)) throw EInvalidOp(kNonFiniteError);
    } catch (const EZeroDivide&) {
      h = 0.5 * h;
      if (limit != nullptr) *limit = {limit->smallest_step, 0, false};
      // A derivative that divides by zero for every step would otherwise halve
      // the step forever.
      if (xsav + h == xsav) throw EStepTooSmall(kQualityControlTooSmall, 0);
      continue;
    }
    if (errmax > 1.0) {
      h = kSafety * h * std::exp(kShrinkExponent * std::log(errmax));
      if (limit != nullptr) {
        *limit = {limit->smallest_step, largest_scaled_error(ytemp, yscal, n), false};
      }
      continue;
    }
    hdid = h;
    if (errmax <= kGrowthThreshold) {
      hnext = kMaximumGrowth * h;
    } else {
      hnext = kSafety * h * std::exp(kGrowthExponent * std::log(errmax));
    }
    if (limit != nullptr && std::fabs(hnext) < limit->smallest_step) {
      if (errmax <= kGrowthThreshold) {
        *limit = {limit->smallest_step, 0, true};
      } else {
        *limit = {limit->smallest_step, largest_scaled_error(ytemp, yscal, n), false};
      }
    }
    break;
  }
  for (std::size_t i = 0; i < count; ++i) y[i] += kExtrapolation * ytemp[i];
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

// Integrates the first n elements of ystart from x1 to x2 (backwards when
// x2 < x1). h1 is the first trial step; eps the tolerance; hmin the smallest
// step allowed. On success ystart holds the state at x2, h1 the step proposed
// by the last accepted step (so that the next interval starts where this one
// left off), nok and nbad the numbers of steps taken with the full trial step
// and with a reduced one. On failure ystart and h1 are left as they were; an
// EStepTooSmall names the element whose error cut the step (see StepLimit).
template <std::size_t Capacity, class Derivatives>
void ODEIntegrator(integrator::Vector<Capacity>& ystart, int n, double& h1, double x1, double x2,
                   double eps, double hmin, int& nok, int& nbad, Derivatives&& derivs) {
  using namespace integrator;
  using Vector = integrator::Vector<Capacity>;
  const std::size_t count = static_cast<std::size_t>(n);
  double x = x1;
  double h = x2 > x1 ? std::fabs(h1) : -std::fabs(h1);
  nok = 0;
  nbad = 0;
  Vector y = ystart;
  Vector dydx{};
  Vector yscal{};
  StepLimit limit{std::fabs(hmin), 0};

  for (int step = 0; step < kMaximumSteps; ++step) {
    derivs(y, dydx, x);
    // Small states are measured against eps rather than their own size. (A NaN
    // state is kept, so that the error test sees it.)
    const double smallest_scale = std::fabs(eps);
    for (std::size_t i = 0; i < count; ++i) {
      const double size = std::fabs(y[i]);
      yscal[i] = (smallest_scale >= size ? smallest_scale : size) + std::fabs(dydx[i] * h) + kTiny;
    }
    // A step that would pass the end time is clipped to it.
    if ((x + h - x2) * (x + h - x1) > 0.0) h = x2 - x;
    double hdid = 0.0;
    double hnext = 0.0;
    RKQualityControl(y, dydx, n, x, h, eps, yscal, hdid, hnext, derivs, &limit);
    if (hdid == h) {
      ++nok;
    } else {
      ++nbad;
    }
    if ((x - x2) * (x2 - x1) >= 0.0) {
      ystart = y;
      h1 = hnext;
      return;
    }
    if (std::fabs(hnext) < hmin) {
      throw EStepTooSmall(kIntegratorTooSmall, limit.largest_error, limit.growth_limited);
    }
    h = hnext;
  }
  throw ETooManySteps(kTooManySteps);
}

}  // namespace vindrel
