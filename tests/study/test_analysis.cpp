// Sensitivity indices on functions whose indices are known, with no model run.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <stdexcept>
#include <string>
#include <vector>

#include "study/analysis.hpp"
#include "study/samplers.hpp"

namespace vindrel::study {
namespace {

constexpr double kPi = std::numbers::pi;

std::vector<Factor> ishigami_factors() {
  return {{"x1", FactorKind::kParameter, 1, -kPi, kPi},
          {"x2", FactorKind::kParameter, 2, -kPi, kPi},
          {"x3", FactorKind::kParameter, 3, -kPi, kPi}};
}

// The Ishigami function, a = 7, b = 0.1.
double ishigami(const std::vector<double>& x) {
  return std::sin(x[0]) + 7.0 * std::sin(x[1]) * std::sin(x[1]) +
         0.1 * std::pow(x[2], 4) * std::sin(x[0]);
}

template <typename Function>
std::vector<double> outputs_of(const SampleTable& table, Function&& function) {
  std::vector<double> outputs;
  for (const std::vector<double>& row : table.rows) outputs.push_back(function(row));
  return outputs;
}

std::string refusal(const std::function<void()>& analyse) {
  try {
    analyse();
  } catch (const std::invalid_argument& error) {
    return error.what();
  }
  return "";
}

TEST(SobolAnalysis, RecoversTheIshigamiIndicesWithIntervalsAroundThem) {
  SampleOptions options;
  options.method = SampleMethod::kSobol;
  options.n = 8192;
  const SampleTable table = make_sample(ishigami_factors(), options);
  const std::vector<double> y = outputs_of(table, ishigami);
  const SobolIndices indices = analyze_sobol(3, table.rows, y, false, {200, 3});
  // Analytical values; with N = 2^13 base points the estimates lie within 0.001
  // of them, and within 0.01 is asked.
  const double first[3] = {0.3139, 0.4424, 0.0};
  const double total[3] = {0.5576, 0.4424, 0.2437};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_NEAR(indices.first[i], first[i], 0.01) << "S1 of x" << i + 1;
    EXPECT_NEAR(indices.total[i], total[i], 0.01) << "ST of x" << i + 1;
    EXPECT_LT(indices.first_low[i], indices.first[i]);
    EXPECT_GT(indices.first_high[i], indices.first[i]);
    EXPECT_LT(indices.total_low[i], indices.total[i]);
    EXPECT_GT(indices.total_high[i], indices.total[i]);
    EXPECT_LT(indices.total_high[i] - indices.total_low[i], 0.1);
  }
  EXPECT_EQ(indices.base_points, 8192U);
  // The same seed gives the same intervals.
  EXPECT_EQ(analyze_sobol(3, table.rows, y, false, {200, 3}).first_low, indices.first_low);
  // Shifting the output changes nothing but rounding.
  std::vector<double> shifted = y;
  for (double& value : shifted) value += 1e4;
  EXPECT_NEAR(analyze_sobol(3, table.rows, shifted, false).first[0], indices.first[0], 1e-9);

  // The second-order layout gives the same first-order and total indices.
  options.second_order = true;
  const SampleTable second = make_sample(ishigami_factors(), options);
  const SobolIndices again = analyze_sobol(3, second.rows, outputs_of(second, ishigami), true);
  EXPECT_NEAR(again.first[1], indices.first[1], 1e-12);
  EXPECT_NEAR(again.total[2], indices.total[2], 1e-12);
}

TEST(SobolAnalysis, RefusesMissingResultsAndRowsOfAnotherDesign) {
  SampleOptions options;
  options.method = SampleMethod::kSobol;
  options.n = 8;
  const SampleTable table = make_sample(ishigami_factors(), options);
  std::vector<double> y = outputs_of(table, ishigami);
  y[6] = y[30] = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(refusal([&] { analyze_sobol(3, table.rows, y, false); }),
            "Sobol indices need a result from every run; runs 6 and 30 have none");
  y = outputs_of(table, ishigami);
  EXPECT_EQ(refusal([&] {
              analyze_sobol(3, {table.rows.begin(), table.rows.end() - 5}, {y.begin(), y.end() - 5},
                            true);
            }),
            "the sample has 35 rows: a Saltelli design of 3 factors comes in groups of 8 rows "
            "(second order)");
  std::vector<std::vector<double>> swapped = table.rows;
  std::swap(swapped[11], swapped[12]);  // group 1 is the centre, A = B
  EXPECT_EQ(refusal([&] { analyze_sobol(3, swapped, y, false); }),
            "run 11 is not run 10 with factor 1 taken from run 14: the sample is not a Saltelli "
            "design of these factors without second-order rows");
  EXPECT_EQ(refusal([&] {
              analyze_sobol(3, table.rows, std::vector<double>(table.rows.size(), 2.0), false);
            }),
            "the output is the same in every run: there is no variance to apportion among the "
            "factors");
}

TEST(MorrisAnalysis, LinearFunctionGivesItsCoefficientsTimesTheRanges) {
  const std::vector<Factor> factors = {{"a", FactorKind::kParameter, 1, 0.0, 2.0},
                                       {"b", FactorKind::kParameter, 2, 10.0, 30.0},
                                       {"c", FactorKind::kState, 1, -1.0, 0.5},
                                       {"d", FactorKind::kState, 2, 5.0, 6.0}};
  const double coefficients[4] = {3.0, -0.25, 4.0, 0.0};
  const auto linear = [&](const std::vector<double>& x) {
    return 1.5 + coefficients[0] * x[0] + coefficients[1] * x[1] + coefficients[2] * x[2] +
           coefficients[3] * x[3];
  };
  SampleOptions options;
  options.method = SampleMethod::kMorris;
  options.n = 12;
  options.seed = 9;
  options.levels = 6;
  const SampleTable table = make_sample(factors, options);
  std::vector<double> y = outputs_of(table, linear);
  const MorrisIndices indices = analyze_morris(factors, table.rows, y, {100, 1});
  EXPECT_EQ(indices.trajectories, 12U);
  for (std::size_t i = 0; i < 4; ++i) {
    const double effect = coefficients[i] * (factors[i].high - factors[i].low);
    EXPECT_NEAR(indices.mu[i], effect, 1e-12) << factors[i].name;
    EXPECT_NEAR(indices.mu_star[i], std::abs(effect), 1e-12) << factors[i].name;
    EXPECT_NEAR(indices.sigma[i], 0.0, 1e-12) << factors[i].name;
    EXPECT_NEAR(indices.mu_star_low[i], std::abs(effect), 1e-12) << factors[i].name;
    EXPECT_NEAR(indices.mu_star_high[i], std::abs(effect), 1e-12) << factors[i].name;
  }

  // A failed run drops its whole trajectory; the others give the same indices.
  y[5] = std::numeric_limits<double>::quiet_NaN();  // run 5 is in trajectory 1
  const MorrisIndices dropped = analyze_morris(factors, table.rows, y);
  EXPECT_EQ(dropped.trajectories, 11U);
  EXPECT_EQ(dropped.dropped, std::vector<std::size_t>{1});
  EXPECT_NEAR(dropped.mu_star[2], 6.0, 1e-12);
  EXPECT_TRUE(std::isnan(dropped.mu_star_low[0]));  // no bootstrap asked
}

TEST(MorrisAnalysis, NonlinearEffectsVaryAndRowsOfAnotherDesignAreRefused) {
  const std::vector<Factor> factors = {{"a", FactorKind::kParameter, 1, 0.0, 1.0},
                                       {"b", FactorKind::kParameter, 2, 0.0, 1.0}};
  SampleOptions options;
  options.method = SampleMethod::kMorris;
  options.n = 30;
  const SampleTable table = make_sample(factors, options);
  // a alone, squared: mu* > 0 with a spread; b has no effect at all.
  const MorrisIndices indices = analyze_morris(
      factors, table.rows, outputs_of(table, [](const auto& x) { return x[0] * x[0]; }));
  EXPECT_GT(indices.mu_star[0], 0.4);
  EXPECT_GT(indices.sigma[0], 0.1);
  EXPECT_EQ(indices.mu_star[1], 0.0);

  const std::vector<double> y(table.rows.size(), 1.0);
  std::vector<std::vector<double>> rows = table.rows;
  rows[2] = rows[0];
  EXPECT_EQ(refusal([&] { analyze_morris(factors, rows, y); }).substr(0, 20),
            "runs 1 and 2 change ");
  EXPECT_EQ(refusal([&] {
              analyze_morris(factors, {rows[0], rows[1]}, {1.0, 2.0});
            }),
            "the sample has 2 rows: Morris trajectories of 2 factors come in groups of 3 rows");
  EXPECT_EQ(refusal([&] {
              analyze_morris(factors, {table.rows[0], table.rows[1], table.rows[2]},
                             {1.0, std::numeric_limits<double>::infinity(), 2.0});
            }),
            "the only trajectory has a run without a result");
}

}  // namespace
}  // namespace vindrel::study
