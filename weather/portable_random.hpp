// Random numbers that are the same on every platform for a given seed.
//
// The engine std::mt19937_64 is fully specified by the C++ standard, but the
// standard distributions (std::normal_distribution and the others) are not:
// each standard library may turn the same raw bits into different numbers. The
// weather generator must give the same forcing everywhere for a seed, so it
// draws its uniform, normal and exponential numbers from the engine's raw bits
// with the few formulas below.
#pragma once

#include <cmath>
#include <cstdint>
#include <numbers>
#include <random>

namespace vindrel::weather {

class PortableRandom {
 public:
  explicit PortableRandom(std::uint64_t seed) : engine_(seed) {}

  // Uniform in the open interval (0, 1): the top 53 bits of one raw draw,
  // centred in their cell so that neither 0 nor 1 can come out.
  double uniform() {
    const std::uint64_t bits = engine_() >> 11U;
    return (static_cast<double>(bits) + 0.5) * 0x1.0p-53;
  }

  // Standard normal by the Box-Muller transform; the second number of each
  // pair is kept for the next call.
  double normal() {
    if (has_spare_) {
      has_spare_ = false;
      return spare_;
    }
    const double u1 = uniform();
    const double u2 = uniform();
    const double radius = std::sqrt(-2.0 * std::log(u1));
    const double angle = 2.0 * std::numbers::pi * u2;
    spare_ = radius * std::sin(angle);
    has_spare_ = true;
    return radius * std::cos(angle);
  }

  // Exponential with the given mean, by inversion.
  double exponential(double mean) { return -mean * std::log(uniform()); }

 private:
  std::mt19937_64 engine_;
  bool has_spare_ = false;
  double spare_ = 0.0;
};

}  // namespace vindrel::weather
