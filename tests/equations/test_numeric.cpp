// The numerical helpers of the equations and their edge behaviour.
#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <limits>
#include <numbers>

#include "equations/numeric.hpp"

namespace vindrel::equations {
namespace {

// Keeps the compiler from folding a call with constant arguments, so that the
// floating-point flags are raised at run time.
double opaque(double x) {
  volatile double v = x;
  return v;
}

TEST(Power, ZeroExponentGivesOneForAnyBase) {
  EXPECT_EQ(Power(opaque(0.0), 0.0), 1.0);
  EXPECT_EQ(Power(opaque(-3.7), 0.0), 1.0);
  EXPECT_EQ(Power(opaque(1e300), 0.0), 1.0);
  EXPECT_EQ(Power(opaque(std::numeric_limits<double>::quiet_NaN()), 0.0), 1.0);
}

TEST(Power, ZeroBaseWithPositiveExponentGivesZero) {
  EXPECT_EQ(Power(opaque(0.0), 2.0), 0.0);
  EXPECT_EQ(Power(opaque(0.0), 0.5), 0.0);
  EXPECT_EQ(Power(opaque(0.0), 1.156), 0.0);
}

TEST(Power, ZeroBaseWithNegativeExponentIsADivisionByZero) {
  std::feclearexcept(FE_ALL_EXCEPT);
  const double integral = Power(opaque(0.0), -1.0);
  EXPECT_TRUE(std::fetestexcept(FE_DIVBYZERO));
  EXPECT_TRUE(std::isinf(integral));

  std::feclearexcept(FE_ALL_EXCEPT);
  const double fractional = Power(opaque(0.0), -0.5);
  EXPECT_TRUE(std::fetestexcept(FE_DIVBYZERO));
  EXPECT_TRUE(std::isinf(fractional));
}

TEST(Power, NegativeBaseWithIntegralExponentKeepsItsSign) {
  EXPECT_EQ(Power(opaque(-2.0), 3.0), -8.0);
  EXPECT_EQ(Power(opaque(-2.0), 4.0), 16.0);
  EXPECT_EQ(Power(opaque(-1.0), 2147483647.0), -1.0);
  EXPECT_EQ(Power(opaque(-0.5), -3.0), -8.0);
}

TEST(Power, NegativeIntegralExponentGivesTheReciprocal) {
  EXPECT_EQ(Power(opaque(2.0), -10.0), 1.0 / 1024.0);
  EXPECT_EQ(Power(opaque(10.0), -2.0), 1.0 / 100.0);
  const double b = opaque(1.1);
  EXPECT_EQ(Power(b, -3.0), 1.0 / (b * (b * b)));
}

TEST(Power, FractionalExponentGoesThroughExpOfLog) {
  const double b = opaque(2.0);
  EXPECT_EQ(Power(b, 0.5), std::exp(0.5 * std::log(b)));
  EXPECT_NEAR(Power(b, 0.5), std::numbers::sqrt2, 1e-15);
  EXPECT_NEAR(Power(opaque(1.4143143), 1.156), 1.4929013, 1e-7);
}

TEST(Power, NegativeBaseWithFractionalExponentIsAnInvalidOperation) {
  std::feclearexcept(FE_ALL_EXCEPT);
  const double result = Power(opaque(-2.0), 0.5);
  EXPECT_TRUE(std::fetestexcept(FE_INVALID));
  EXPECT_TRUE(std::isnan(result));
}

TEST(Power, ExponentBeyondThe32BitRangeGoesThroughExpOfLog) {
  const double b = opaque(1.0000000001);
  EXPECT_EQ(Power(b, 3e9), std::exp(3e9 * std::log(b)));
}

// The integral path multiplies by the squares of the base for the set bits of
// the exponent, lowest first; the results must agree to the last bit.
TEST(Power, IntegralExponentAgreesExactlyWithRepeatedSquaring) {
  for (const double base : {1.1, 0.3, 273.15 - 2.5, 237.3 + 26.6, -0.7, 3.0e-3}) {
    const double b = opaque(base);
    const double b2 = b * b;
    const double b4 = b2 * b2;
    const double b8 = b4 * b4;
    EXPECT_EQ(Power(b, 1.0), b) << base;
    EXPECT_EQ(Power(b, 2.0), b2) << base;
    EXPECT_EQ(Power(b, 3.0), b * b2) << base;
    EXPECT_EQ(Power(b, 4.0), b4) << base;
    EXPECT_EQ(Power(b, 5.0), b * b4) << base;
    EXPECT_EQ(Power(b, 6.0), b2 * b4) << base;
    EXPECT_EQ(Power(b, 7.0), ((b * b2) * b4)) << base;
    EXPECT_EQ(Power(b, 13.0), ((b * b4) * b8)) << base;
    EXPECT_EQ(Power(b, -5.0), 1.0 / (b * b4)) << base;
  }
  // 2^20: twenty squarings of the base.
  double squared = opaque(1.0000001);
  for (int i = 0; i < 20; ++i) squared *= squared;
  EXPECT_EQ(Power(opaque(1.0000001), 1048576.0), squared);
}

TEST(Trunc, RoundsTowardZero) {
  EXPECT_EQ(Trunc(opaque(2.7)), 2);
  EXPECT_EQ(Trunc(opaque(-2.7)), -2);
  EXPECT_EQ(Trunc(opaque(366.0)), 366);
  EXPECT_EQ(Trunc(opaque(365.9999999)), 365);
  EXPECT_EQ(Trunc(opaque(1e12 + 0.5)), 1000000000000);
}

TEST(ArcCos, CoversZeroToPi) {
  EXPECT_EQ(ArcCos(opaque(1.0)), 0.0);
  EXPECT_NEAR(ArcCos(opaque(-1.0)), std::numbers::pi, 1e-15);
  EXPECT_NEAR(ArcCos(opaque(0.0)), std::numbers::pi / 2.0, 1e-15);
}

TEST(Min, GivesTheSmaller) {
  EXPECT_EQ(Min(opaque(1.0), 2.0), 1.0);
  EXPECT_EQ(Min(opaque(2.0), -3.5), -3.5);
  EXPECT_EQ(Min(opaque(4.0), 4.0), 4.0);
}

}  // namespace
}  // namespace vindrel::equations
