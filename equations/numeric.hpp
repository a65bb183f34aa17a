// Numerical helpers of the equations, with the edge behaviour the model
// relies on.
#pragma once

#include <cmath>
#include <cstdint>

namespace vindrel::equations {

// x rounded toward zero to a 64-bit integer.
inline std::int64_t Trunc(double x) { return static_cast<std::int64_t>(x); }

inline double Min(double a, double b) { return a < b ? a : b; }

// Arc cosine in radians, 0 to pi.
inline double ArcCos(double x) { return std::acos(x); }

// b raised to e. An integral exponent of magnitude up to 2^31 - 1 goes by
// repeated squaring, which also serves a negative base and agrees digit for
// digit with the model's reference results; any other exponent goes through
// exp(e ln b).
inline double Power(double b, double e) {
  if (e == 0.0) return 1.0;
  if (b == 0.0 && e > 0.0) return 0.0;
  if (e == std::trunc(e) && std::fabs(e) <= 2147483647.0) {
    const auto k = static_cast<std::int64_t>(e);
    std::uint64_t n = static_cast<std::uint64_t>(k < 0 ? -k : k);
    double result = 1.0;
    double x = b;
    while (true) {
      if (n & 1U) result *= x;
      n >>= 1U;
      if (n == 0) break;
      x *= x;
    }
    return k < 0 ? 1.0 / result : result;
  }
  return std::exp(e * std::log(b));
}

}  // namespace vindrel::equations
