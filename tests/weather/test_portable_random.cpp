// Portable random numbers: built from the raw bits of the standard's fully
// specified engine, so that a seed gives the same weather on every platform.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

#include "weather/portable_random.hpp"

namespace vindrel::weather {
namespace {

TEST(PortableRandom, EngineIsTheStandardsMersenneTwister) {
  // The standard fixes the 10000th output of a default-seeded mt19937_64.
  std::mt19937_64 engine;
  engine.discard(9999);
  EXPECT_EQ(engine(), 9981545732273789042ULL);
}

TEST(PortableRandom, UniformIsTheTop53BitsOfOneDrawCentredInTheirCell) {
  std::mt19937_64 engine(7);
  PortableRandom random(7);
  for (int i = 0; i < 1000; ++i) {
    const std::uint64_t bits = engine() >> 11U;
    ASSERT_EQ(random.uniform(), (static_cast<double>(bits) + 0.5) / 9007199254740992.0);
  }
}

TEST(PortableRandom, UniformStaysInsideTheOpenInterval) {
  PortableRandom random(3);
  double sum = 0.0;
  for (int i = 0; i < 100000; ++i) {
    const double u = random.uniform();
    ASSERT_GT(u, 0.0);
    ASSERT_LT(u, 1.0);
    sum += u;
  }
  EXPECT_NEAR(sum / 100000.0, 0.5, 0.005);
}

TEST(PortableRandom, NormalHasMeanZeroAndUnitSpread) {
  PortableRandom random(11);
  double sum = 0.0, squares = 0.0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double z = random.normal();
    sum += z;
    squares += z * z;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(squares / n, 1.0, 0.01);
}

TEST(PortableRandom, NormalPairComesFromTwoUniformsByBoxMuller) {
  PortableRandom uniforms(5);
  PortableRandom normals(5);
  const double u1 = uniforms.uniform();
  const double u2 = uniforms.uniform();
  const double radius = std::sqrt(-2.0 * std::log(u1));
  EXPECT_DOUBLE_EQ(normals.normal(), radius * std::cos(2.0 * std::numbers::pi * u2));
  EXPECT_DOUBLE_EQ(normals.normal(), radius * std::sin(2.0 * std::numbers::pi * u2));
}

TEST(PortableRandom, ExponentialHasTheRequestedMean) {
  PortableRandom random(13);
  double sum = 0.0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    const double x = random.exponential(8.0);
    ASSERT_GT(x, 0.0);
    sum += x;
  }
  EXPECT_NEAR(sum / n, 8.0, 0.08);
}

}  // namespace
}  // namespace vindrel::weather
