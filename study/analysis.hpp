// Sensitivity indices from a sample and one output value per run.
//
// The functions take plain numbers: the sample's rows (in the factors'
// units, as in the sample file) and one value per row. A value that is not
// finite marks a run without a result (a failed run, or one not done yet).
//
// Morris: each trajectory of k + 1 rows moves one factor per step. The
// elementary effect of the factor moved is the change of the output divided
// by the step in units of the factor's range, (x' - x) / (high - low); for
// the grid of p levels that step is +-delta, delta = p / (2 (p - 1)). Per
// factor, mu is the mean of its effects, mu* the mean of their absolute
// values and sigma their standard deviation (divisor r - 1). A trajectory with
// a run without a result is dropped whole.
//
// Sobol: the rows follow Saltelli's layout (see samplers.hpp). With the
// outputs centred on the mean of all A and B outputs and V the variance of
// those 2N values (divisor 2N):
//   first order (Saltelli 2010)  S_i  = mean_j( f(B_j) (f(A_B^i_j) - f(A_j)) ) / V
//   total (Jansen 1999)          ST_i = mean_j( (f(A_j) - f(A_B^i_j))^2 ) / (2 V)
// Every run must have a result.
//
// Confidence intervals: B bootstrap resamples of the trajectories (Morris,
// for mu*) or of the N base points (Sobol, V recomputed in each), drawn with
// replacement by the seeded generator of samplers.hpp; the interval is the
// 2.5 % and 97.5 % percentiles of the B estimates (linear interpolation
// between order statistics). Without resamples the bounds are NaN.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "study/factors.hpp"

namespace vindrel::study {

struct Bootstrap {
  std::size_t resamples = 0;
  std::uint64_t seed = 0;
};

struct MorrisIndices {
  std::vector<double> mu, mu_star, sigma;         // one per factor
  std::vector<double> mu_star_low, mu_star_high;  // 95 % bootstrap interval of mu*
  std::size_t trajectories = 0;                   // trajectories used
  std::vector<std::size_t> dropped;               // 0-based trajectories dropped
};

// Throws std::invalid_argument when the rows are not Morris trajectories of
// these factors (a row count that is not a multiple of k + 1, a step that moves
// no factor or several, a factor moved twice in one trajectory), naming the
// runs, and when no trajectory is left.
MorrisIndices analyze_morris(const std::vector<Factor>& factors,
                             const std::vector<std::vector<double>>& rows,
                             const std::vector<double>& outputs, const Bootstrap& bootstrap = {});

struct SobolIndices {
  std::vector<double> first, first_low, first_high;  // one per factor
  std::vector<double> total, total_low, total_high;
  std::size_t base_points = 0;  // N
  double variance = 0.0;        // V of the outputs
};

// Throws std::invalid_argument when the rows are not a Saltelli design for k
// factors (a row count that is not a multiple of k + 2, or 2k + 2 with
// `second_order`; an A_B^i row that is not A_j with column i from B_j), naming
// the runs; when runs have no result, naming them; and when the output does not
// vary.
SobolIndices analyze_sobol(std::size_t factor_count, const std::vector<std::vector<double>>& rows,
                           const std::vector<double>& outputs, bool second_order,
                           const Bootstrap& bootstrap = {});

// "run 3", "runs 3, 17 and 20": at most 20 numbers and a count of the rest.
std::string runs_text(const std::vector<std::size_t>& runs);

// "1 trajectory", "3 trajectories": the count and the word that goes with it.
std::string count_text(std::size_t count, std::string_view one, std::string_view many);

// The quantile of `values` at `probability` (type 7: linear between order
// statistics). Sorts `values`.
double quantile(std::vector<double>& values, double probability);

}  // namespace vindrel::study
