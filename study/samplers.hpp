// Sampling designs of a study: one-at-a-time, Morris trajectories, Saltelli's
// scheme on a Sobol' sequence, and Latin hypercubes.
//
// Every design is first made in the unit cube [0, 1]^k and then mapped to the
// factors' ranges, value = low + u (high - low). Random choices come from
// std::mt19937_64 (fully specified by the C++ standard) through formulas of our
// own, never through the standard distributions, whose results differ between
// standard libraries: a seed gives the same sample, to the bit, everywhere.
//
// Row layouts (N = the sample size given):
// - One-at-a-time: row 0 is the base, every factor at the middle of its range;
//   then, factor by factor, N rows that move that factor alone to N evenly
//   spaced values from low to high (N >= 2; an odd N repeats the base at the
//   middle level). 1 + kN rows. The seed is not used.
// - Morris: N trajectories of k + 1 rows on a grid of p levels (0, 1/(p-1), ...,
//   1; p even). A trajectory starts at a random grid point whose coordinates
//   all lie at most 1 - delta, delta = p / (2 (p - 1)), and moves one factor at
//   a time, in random order, by +delta or -delta. N (k + 1) rows.
// - Sobol: Saltelli's scheme on the first N points of the Sobol' sequence of
//   dimension 2k (Boost.Random's direction numbers), the origin included, so
//   that N a power of two is a balanced net. The points get a random digital
//   shift drawn from the seed (each coordinate's 64 bits XORed with a seeded
//   word per dimension), which keeps that balance; without it the first two
//   points (the origin and the centre) would have A = B and tell nothing. The
//   first k coordinates make the row of matrix A, the last k that of B. Per
//   point j, in this order: A_j, then A_B^i_j for i = 1..k (A_j with column i
//   taken from B_j), then, when second-order indices are wanted, B_A^i_j for
//   i = 1..k (B_j with column i from A_j), then B_j. N (k + 2) rows, or
//   N (2k + 2). This is SALib's layout.
// - Latin hypercube: N rows; each factor's range is cut into N equal strata,
//   each stratum is used by exactly one row (a random permutation per factor),
//   and the value is uniform within the stratum.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "study/factors.hpp"
#include "study/samples.hpp"

namespace vindrel::study {

enum class SampleMethod { kOneAtATime, kMorris, kSobol, kLatinHypercube };

// "oat", "morris", "sobol", "lhs"; false for another word.
bool parse_sample_method(std::string_view word, SampleMethod& method);
std::string_view sample_method_name(SampleMethod method);

struct SampleOptions {
  SampleMethod method = SampleMethod::kSobol;
  std::size_t n = 0;       // trajectories (Morris), base points (Sobol), rows (LHS), levels (OAT)
  std::uint64_t seed = 0;  // Morris and LHS
  int levels = 4;          // Morris grid levels p, even, at least 2
  bool second_order = false;  // Sobol: add the B_A^i rows
};

// Rows of the design in the unit cube, `factor_count` columns each. Throws
// std::invalid_argument for options that make no design (n of 0, OAT with
// n < 2, odd or too few Morris levels, a Sobol' dimension beyond Boost's
// direction numbers).
std::vector<std::vector<double>> unit_design(std::size_t factor_count,
                                             const SampleOptions& options);

// The number of rows the design will have.
std::size_t design_rows(std::size_t factor_count, const SampleOptions& options);

// The design mapped to the factors' ranges, with the factors' names.
SampleTable make_sample(const std::vector<Factor>& factors, const SampleOptions& options);

// Morris: the grid step delta = p / (2 (p - 1)), in units of the range.
double morris_delta(int levels);

// Seeded uniform numbers with the same output on every platform.
class SeededUniform {
 public:
  explicit SeededUniform(std::uint64_t seed) : engine_(seed) {}
  // Uniform in [0, 1): the top 53 bits of one raw draw.
  double next();
  // Uniform integer in [0, bound), bound > 0, without bias (rejection).
  std::size_t below(std::size_t bound);

 private:
  std::mt19937_64 engine_;
};

}  // namespace vindrel::study
