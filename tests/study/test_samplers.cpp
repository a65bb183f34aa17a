// Sampling designs: their structure, their ranges and their reproducibility.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "study/samplers.hpp"

namespace vindrel::study {
namespace {

std::vector<Factor> three_factors() {
  return {{"a", FactorKind::kParameter, 1, -1.0, 1.0},
          {"b", FactorKind::kParameter, 2, 10.0, 30.0},
          {"c", FactorKind::kState, 1, 0.0, 1e-3}};
}

SampleOptions options(SampleMethod method, std::size_t n, std::uint64_t seed = 1) {
  SampleOptions result;
  result.method = method;
  result.n = n;
  result.seed = seed;
  return result;
}

// Every value of the sample lies within its factor's range.
void expect_in_ranges(const SampleTable& table, const std::vector<Factor>& factors) {
  for (const std::vector<double>& row : table.rows) {
    for (std::size_t i = 0; i < factors.size(); ++i) {
      EXPECT_GE(row[i], factors[i].low);
      EXPECT_LE(row[i], factors[i].high);
    }
  }
}

TEST(Samplers, SaltelliRowsAreAThenEachABColumnThenB) {
  for (const bool second_order : {false, true}) {
    SampleOptions sobol = options(SampleMethod::kSobol, 16);
    sobol.second_order = second_order;
    const std::size_t k = 3, size = second_order ? 2 * k + 2 : k + 2;
    const auto rows = unit_design(k, sobol);
    ASSERT_EQ(rows.size(), 16 * size);
    EXPECT_EQ(design_rows(k, sobol), rows.size());
    // The sequence's first two points, the origin and the centre, shifted by
    // the same word: half a range apart in every coordinate, and A != B.
    for (std::size_t i = 0; i < k; ++i) EXPECT_EQ(std::abs(rows[size][i] - rows[0][i]), 0.5);
    EXPECT_NE(rows[0], rows[size - 1]);
    std::vector<std::set<int>> strata(2 * k);
    for (std::size_t j = 0; j < 16; ++j) {
      const auto& a = rows[j * size];
      const auto& b = rows[j * size + size - 1];
      for (std::size_t i = 0; i < k; ++i) {
        std::vector<double> ab = a, ba = b;
        ab[i] = b[i];
        ba[i] = a[i];
        EXPECT_EQ(rows[j * size + 1 + i], ab);
        if (second_order) {
          EXPECT_EQ(rows[j * size + 1 + k + i], ba);
        }
        strata[i].insert(static_cast<int>(a[i] * 16));
        strata[k + i].insert(static_cast<int>(b[i] * 16));
      }
    }
    // The first 16 points of a Sobol' sequence put one point in each sixteenth
    // of every coordinate: the A and B columns are the sequence's 2k dimensions.
    for (const std::set<int>& column : strata) EXPECT_EQ(column.size(), 16U);
  }
  const std::vector<Factor> factors = three_factors();
  const SampleTable table = make_sample(factors, options(SampleMethod::kSobol, 64));
  expect_in_ranges(table, factors);
}

TEST(Samplers, MorrisTrajectoriesMoveEachFactorOnceByDeltaOnTheGrid) {
  const std::size_t k = 3;
  for (const int levels : {2, 4, 6}) {
    SampleOptions morris = options(SampleMethod::kMorris, 50, 11);
    morris.levels = levels;
    const auto rows = unit_design(k, morris);
    ASSERT_EQ(rows.size(), 50 * (k + 1));
    const double delta = morris_delta(levels);
    std::set<double> starts;
    for (std::size_t t = 0; t < 50; ++t) {
      std::vector<int> moves(k, 0);
      for (std::size_t step = 0; step <= k; ++step) {
        const auto& row = rows[t * (k + 1) + step];
        for (const double u : row) {
          const double level = u * (levels - 1);
          EXPECT_NEAR(level, std::round(level), 1e-12);
          EXPECT_GE(u, 0.0);
          EXPECT_LE(u, 1.0);
          starts.insert(u);
        }
        if (step == 0) continue;
        const auto& previous = rows[t * (k + 1) + step - 1];
        for (std::size_t i = 0; i < k; ++i) {
          if (row[i] == previous[i]) continue;
          ++moves[i];
          EXPECT_NEAR(std::abs(row[i] - previous[i]), delta, 1e-15);
        }
      }
      EXPECT_EQ(moves, std::vector<int>(k, 1));
    }
    EXPECT_EQ(starts.size(), static_cast<std::size_t>(levels));  // every level is used
  }
  EXPECT_THROW(unit_design(k,
                           [] {
                             SampleOptions odd = options(SampleMethod::kMorris, 5);
                             odd.levels = 5;
                             return odd;
                           }()),
               std::invalid_argument);
}

TEST(Samplers, LatinHypercubeUsesEachStratumOnceAndOneAtATimeMovesOneFactor) {
  const auto lhs = unit_design(4, options(SampleMethod::kLatinHypercube, 25, 3));
  ASSERT_EQ(lhs.size(), 25U);
  for (std::size_t i = 0; i < 4; ++i) {
    std::set<int> strata;
    for (const auto& row : lhs) strata.insert(static_cast<int>(std::floor(row[i] * 25)));
    EXPECT_EQ(strata.size(), 25U);
  }
  const std::vector<Factor> factors = three_factors();
  const SampleTable oat = make_sample(factors, options(SampleMethod::kOneAtATime, 3));
  ASSERT_EQ(oat.rows.size(), 10U);
  EXPECT_EQ(oat.rows[0], (std::vector<double>{0.0, 20.0, 0.5e-3}));
  EXPECT_EQ(oat.rows[4], (std::vector<double>{0.0, 10.0, 0.5e-3}));
  EXPECT_EQ(oat.rows[6], (std::vector<double>{0.0, 30.0, 0.5e-3}));
  EXPECT_EQ(oat.rows[9], (std::vector<double>{0.0, 20.0, 1e-3}));
  expect_in_ranges(make_sample(factors, options(SampleMethod::kLatinHypercube, 99)), factors);
  expect_in_ranges(make_sample(factors, options(SampleMethod::kMorris, 20)), factors);
}

TEST(Samplers, ASeedGivesTheSameBytesAndAnotherSeedOthers) {
  const std::vector<Factor> factors = three_factors();
  for (const SampleMethod method :
       {SampleMethod::kMorris, SampleMethod::kSobol, SampleMethod::kLatinHypercube}) {
    const std::string first = samples_text(make_sample(factors, options(method, 40, 5)));
    EXPECT_EQ(samples_text(make_sample(factors, options(method, 40, 5))), first);
    EXPECT_NE(samples_text(make_sample(factors, options(method, 40, 6))), first);
  }
  EXPECT_EQ(samples_text(make_sample(factors, options(SampleMethod::kOneAtATime, 5, 1))),
            samples_text(make_sample(factors, options(SampleMethod::kOneAtATime, 5, 2))));
  // The same bytes on every platform: the engine is fully specified and the
  // formulas are our own. Two trajectories on the 4-level grid (delta 2/3).
  SampleOptions morris = options(SampleMethod::kMorris, 2, 1);
  EXPECT_EQ(samples_text(make_sample({factors[0], factors[1]}, morris)),
            "a,b\n"
            "-1,10\n"
            "-1,23.333333333333332\n"
            "0.33333333333333326,23.333333333333332\n"
            "-0.33333333333333337,16.666666666666664\n"
            "-0.33333333333333337,30\n"
            "1,30\n");
}

}  // namespace
}  // namespace vindrel::study
