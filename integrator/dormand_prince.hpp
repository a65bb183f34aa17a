// One trial step of the Dormand-Prince 5(4) pair over fixed-size vectors: the
// stages, the fifth-order solution and, in the same pass over the states as
// the error estimate, the scaled error of the step.
//
// The pair has seven stages; the seventh is the derivative at the new state,
// which is the first stage of the next step when the step is accepted. Every
// vector operation runs over the whole capacity, a number the compiler knows,
// so that it unrolls and vectorises them without a remainder; the elements
// past the n that take part are kept at zero (see EmbeddedIntegrator), so the
// arithmetic on them is harmless, and their errors are zero in the error test.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/exceptions.hpp"
#include "integrator/integrator.hpp"

// A trial step is some two thousand element operations on short vectors
// held in the first level of the cache, where the width of the vector unit
// is what counts: on x86-64 with GCC the trial is compiled twice, for the
// baseline's two-wide and for AVX2's four-wide vectors, and the AVX2 one runs
// where the processor has it. AVX2 brings no fused multiply-add (that is
// FMA's), so both compute every element with the same operations in the same
// order and round alike: the results are the same to the bit. (The two are
// chosen by hand: GCC's own target_clones would treat the trial as unable to
// throw, and the faults of the derivatives must pass through it.)
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
#define VINDREL_AVX2_TRIAL 1
#else
#define VINDREL_AVX2_TRIAL 0
#endif

namespace vindrel::integrator {

#if VINDREL_AVX2_TRIAL
// True when the processor and the system support AVX2; asked once.
inline bool use_avx2() {
  static const bool supported = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return supported;
}
#endif

// The coefficients of the pair (Dormand and Prince, 1980).
namespace dormand_prince {
inline constexpr double c2 = 1.0 / 5.0, c3 = 3.0 / 10.0, c4 = 4.0 / 5.0, c5 = 8.0 / 9.0;
inline constexpr double a21 = 1.0 / 5.0;
inline constexpr double a31 = 3.0 / 40.0, a32 = 9.0 / 40.0;
inline constexpr double a41 = 44.0 / 45.0, a42 = -56.0 / 15.0, a43 = 32.0 / 9.0;
inline constexpr double a51 = 19372.0 / 6561.0, a52 = -25360.0 / 2187.0, a53 = 64448.0 / 6561.0,
                        a54 = -212.0 / 729.0;
inline constexpr double a61 = 9017.0 / 3168.0, a62 = -355.0 / 33.0, a63 = 46732.0 / 5247.0,
                        a64 = 49.0 / 176.0, a65 = -5103.0 / 18656.0;
// The fifth-order weights (b2 = 0), which are also the seventh stage's row.
inline constexpr double b1 = 35.0 / 384.0, b3 = 500.0 / 1113.0, b4 = 125.0 / 192.0,
                        b5 = -2187.0 / 6784.0, b6 = 11.0 / 84.0;
// The fifth-order weights minus the fourth-order ones (e2 = 0): the error.
inline constexpr double e1 = 71.0 / 57600.0, e3 = -71.0 / 16695.0, e4 = 71.0 / 1920.0,
                        e5 = -17253.0 / 339200.0, e6 = 22.0 / 525.0, e7 = -1.0 / 40.0;
}  // namespace dormand_prince

// Marks a value that is not finite, that is, whose exponent bits are all ones:
// adding one to such an exponent field carries into the sign bit. The marks
// of many values are combined with |; the top bit tells whether any was not
// finite.
inline std::uint64_t non_finite_mark(double value) {
  std::uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 0x7FF0000000000000) + 0x0010000000000000;
}

// What a trial step measures its error against: for each of the first n
// elements, max(|y|, floor) + |h dy/dx|, y and dy/dx at the step's start.
template <std::size_t Capacity>
struct ErrorScale {
  std::size_t count;              // n
  const Vector<Capacity>* floor;  // each element's typical size
};

// One element's error relative to its scale (see ErrorScale), never below +0.
// std::max keeps a NaN state (its first argument), so the test sees it.
inline double relative_error(double error, double y, double dydx, double h, double floor) {
  return std::fabs(error) / (std::max(std::fabs(y), floor) + std::fabs(h * dydx) + kTiny);
}

template <std::size_t Capacity>
class DormandPrince54 {
 public:
  using V = Vector<Capacity>;
  // The order of the embedded solution: a step's error estimate is O(h^5).
  static constexpr int kErrorOrder = 4;
  // The last stage of an accepted step is the next step's first.
  static constexpr bool kReusesLastStage = true;

  // One step of size h from y at x, whose derivatives are k1. Writes the
  // fifth-order solution to ynew and its derivatives to k7, and returns the
  // largest error of the first n elements relative to their scale (see
  // ErrorScale). Throws EInvalidOp (kNonFiniteError) when that error or a new
  // state is not a finite number; failures of the derivatives pass through.
  template <class System>
  double trial(System& system, const V& y, const V& k1, double x, double h, V& ynew, V& k7,
               const ErrorScale<Capacity>& scale) {
#if VINDREL_AVX2_TRIAL
    if (use_avx2()) return trial_avx2(system, y, k1, x, h, ynew, k7, scale);
#endif
    return trial_steps(system, y, k1, x, h, ynew, k7, scale);
  }

  // The same trial on the baseline's vectors whatever the processor has, so
  // that the two can be compared.
  template <class System>
  double baseline_trial(System& system, const V& y, const V& k1, double x, double h, V& ynew, V& k7,
                        const ErrorScale<Capacity>& scale) {
    return trial_steps(system, y, k1, x, h, ynew, k7, scale);
  }

 private:
#if VINDREL_AVX2_TRIAL
  template <class System>
  [[gnu::target("avx2")]] double trial_avx2(System& system, const V& y, const V& k1, double x,
                                            double h, V& ynew, V& k7,
                                            const ErrorScale<Capacity>& scale) {
    return trial_steps(system, y, k1, x, h, ynew, k7, scale);
  }
#endif

  // The trial itself, compiled into each caller with the caller's vectors.
  template <class System>
  [[gnu::always_inline]] inline double trial_steps(System& system, const V& y, const V& k1,
                                                   double x, double h, V& ynew, V& k7,
                                                   const ErrorScale<Capacity>& scale) {
    using namespace dormand_prince;
    V& s = stage_;
    for (std::size_t i = 0; i < Capacity; ++i) s[i] = y[i] + h * a21 * k1[i];
    system(s, k2_, x + c2 * h);
    {
      const double h1 = h * a31, h2 = h * a32;
      for (std::size_t i = 0; i < Capacity; ++i) s[i] = y[i] + (h1 * k1[i] + h2 * k2_[i]);
    }
    system(s, k3_, x + c3 * h);
    {
      const double h1 = h * a41, h2 = h * a42, h3 = h * a43;
      for (std::size_t i = 0; i < Capacity; ++i) {
        s[i] = y[i] + (h1 * k1[i] + h2 * k2_[i] + h3 * k3_[i]);
      }
    }
    system(s, k4_, x + c4 * h);
    {
      const double h1 = h * a51, h2 = h * a52, h3 = h * a53, h4 = h * a54;
      for (std::size_t i = 0; i < Capacity; ++i) {
        s[i] = y[i] + (h1 * k1[i] + h2 * k2_[i] + h3 * k3_[i] + h4 * k4_[i]);
      }
    }
    system(s, k5_, x + c5 * h);
    {
      const double h1 = h * a61, h2 = h * a62, h3 = h * a63, h4 = h * a64, h5 = h * a65;
      for (std::size_t i = 0; i < Capacity; ++i) {
        s[i] = y[i] + (h1 * k1[i] + h2 * k2_[i] + h3 * k3_[i] + h4 * k4_[i] + h5 * k5_[i]);
      }
    }
    system(s, k6_, x + h);
    {
      const double h1 = h * b1, h3 = h * b3, h4 = h * b4, h5 = h * b5, h6 = h * b6;
      for (std::size_t i = 0; i < Capacity; ++i) {
        ynew[i] = y[i] + (h1 * k1[i] + h3 * k3_[i] + h4 * k4_[i] + h5 * k5_[i] + h6 * k6_[i]);
      }
    }
    system(ynew, k7, x + h);

    // The error of each element relative to its scale, then its largest and
    // whether it or a new state is not finite, over the whole capacity: the
    // elements past n are zero (their error is +0 over a positive scale) and
    // change neither. Each pass is a loop without a chain of dependent
    // comparisons or branches, which the compiler vectorises: the largest is
    // kept in kLanes independent maxima (exact whatever the order) and the
    // finiteness as bits.
    const double h1 = h * e1, h3 = h * e3, h4 = h * e4, h5 = h * e5, h6 = h * e6, h7 = h * e7;
    const V& floor = *scale.floor;
    V& scaled = stage_;
    for (std::size_t i = 0; i < Capacity; ++i) {
      const double error =
          h1 * k1[i] + h3 * k3_[i] + h4 * k4_[i] + h5 * k5_[i] + h6 * k6_[i] + h7 * k7[i];
      scaled[i] = relative_error(error, y[i], k1[i], h, floor[i]);
    }
    static_assert(Capacity % kLanes == 0, "the error pass takes the elements in groups of lanes");
    double largest[kLanes] = {};
    std::uint64_t marks[kLanes] = {};
    for (std::size_t i = 0; i < Capacity; i += kLanes) {
      for (std::size_t lane = 0; lane < kLanes; ++lane) {
        const double value = scaled[i + lane];
        largest[lane] = value > largest[lane] ? value : largest[lane];
        marks[lane] |= non_finite_mark(value) | non_finite_mark(ynew[i + lane]);
      }
    }
    std::uint64_t all_marks = 0;
    double worst = 0.0;
    for (std::size_t lane = 0; lane < kLanes; ++lane) {
      all_marks |= marks[lane];
      worst = std::max(worst, largest[lane]);
    }
    if ((all_marks >> 63) != 0) throw EInvalidOp(kNonFiniteError);
    return worst;
  }

  // The independent maxima of the error pass.
  static constexpr std::size_t kLanes = 4;
  // The inner stages and the state each is taken at (the scaled errors at the
  // end): working storage only, written before it is read in every trial.
  V k2_{}, k3_{}, k4_{}, k5_{}, k6_{}, stage_{};
};

}  // namespace vindrel::integrator
