// The spin-up to a periodic steady state: Anderson mixing on a linear map
// with a known fixed point, and the stand's spin-up, whose states one more
// weather cycle leaves where they are.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "run/anderson.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "run/spinup.hpp"
#include "run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

TEST(AndersonMixingTest, FindsTheFixedPointOfASlowLinearMapInFewSteps) {
  // x -> A x + b with eigenvalues 0.97, 0.9 and 0.5 along coupled directions:
  // plain iteration needs some 700 steps for 1e-9, the fixed point solves
  // (I - A) x = b.
  const double a[3][3] = {{0.95, 0.02, 0.0}, {0.01, 0.9, 0.05}, {0.0, 0.03, 0.52}};
  const std::vector<double> b = {1.0, 2.0, 3.0};
  const auto map = [&](const std::vector<double>& x) {
    std::vector<double> y(3);
    for (int i = 0; i < 3; ++i) {
      y[i] = b[i];
      for (int j = 0; j < 3; ++j) y[i] += a[i][j] * x[j];
    }
    return y;
  };
  AndersonMixing mixing(4);
  std::vector<double> x = {0.0, 0.0, 0.0};
  int steps = 0;
  for (; steps < 50; ++steps) {
    const std::vector<double> fx = map(x);
    double residual = 0.0;
    for (int i = 0; i < 3; ++i) residual = std::max(residual, std::fabs(fx[i] - x[i]));
    if (residual < 1e-9) break;
    x = mixing.next(x, fx);
  }
  EXPECT_LT(steps, 12);
  // The residual of the fixed point, checked against the map itself.
  const std::vector<double> fx = map(x);
  for (int i = 0; i < 3; ++i) EXPECT_NEAR(fx[i], x[i], 1e-9);
}

TEST(SpinupTest, TheSettledStatesStayPutOverOneMoreCycle) {
  // The example stand on its 30 years of weather repeated.
  const std::string examples = std::string(VINDREL_SOURCE_DIR) + "/examples/";
  Model stand = make_model();
  ASSERT_TRUE(ReadParamFile(examples + "vindrel-example.par", stand));
  RunSettings cycle;
  cycle.driver_file = examples + "vindrel-example.drr";
  cycle.start_time = 1.0;
  cycle.repeat_drivers = true;
  cycle.repeat_time = 10980;
  cycle.integrator = IntegratorKind::kDopri5;
  SpinupOptions options;
  options.tolerance = 1e-6;
  const SpinupResult result = spin_up(stand, cycle, options);
  ASSERT_EQ(result.outcome, SpinupOutcome::kSettled)
      << result.failure << " after " << result.simulated_years << " years, "
      << result.iterations.size();
  EXPECT_EQ(result.cycle_years, 30.0);
  EXPECT_EQ(result.time, 10981.0);
  // Far fewer years than the some 4,500 that plain cycles take.
  EXPECT_LT(result.simulated_years, 1000.0);
  EXPECT_LE(result.drift.largest(), 1e-6);

  // One more cycle, run here as a continuation of a plain spin-up.
  RunSettings next = cycle;
  next.start_time = result.time;
  next.first_start_time = result.first_start;
  next.stop_time = result.time + 10980.0;
  next.output_step = 10980.0;
  NullSink none;
  const RunResult more = vindrel::Run(result.model, next, none);
  ASSERT_EQ(more.outcome, RunOutcome::kCompleted);
  for (const int pool : {state::Chw, state::Ch, state::Nh, state::Nno3, state::Wg}) {
    const double before = result.model.states[pool].value;
    EXPECT_NEAR(more.model.states[pool].value, before, 1e-6 * std::max(std::fabs(before), 1e-3))
        << result.model.states[pool].symbol;
  }
}

TEST(SpinupTest, AStandThatDoesNotSettleInTimeIsSaidToBeSo) {
  testing::ScratchFolder folder;
  RunSettings cycle;
  cycle.driver_file = folder.file("year.drr");
  testing::write_daily_drivers(cycle.driver_file, 1, 366);
  cycle.repeat_drivers = true;
  cycle.repeat_time = 366;
  SpinupOptions options;
  options.max_years = 3.0;
  const SpinupResult result = spin_up(support::temperate_forest(), cycle, options);
  EXPECT_EQ(result.outcome, SpinupOutcome::kNotSettled);
  EXPECT_LE(result.simulated_years, 3.0);
  EXPECT_GT(result.drift.largest(), options.tolerance);
}

}  // namespace
}  // namespace vindrel
