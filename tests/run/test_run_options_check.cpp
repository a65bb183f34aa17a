// The checks of single run options and their messages, which every front
// end's run preparation gives.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "core/exceptions.hpp"
#include "core/model.hpp"
#include "run/run_options_check.hpp"
#include "run_test_support.hpp"

namespace vindrel {
namespace {

TEST(RunOptionsCheckTest, DayMistakesNameTheOptionAndTheValue) {
  EXPECT_EQ(finite_days_problem(5.5, "--stop"), "");
  EXPECT_EQ(finite_days_problem(std::numeric_limits<double>::infinity(), "--stop"),
            "--stop: expected a finite number of days, found +Inf");
  EXPECT_EQ(positive_days_problem(0.25, "step"), "");
  EXPECT_EQ(positive_days_problem(0.0, "step"),
            "step: expected a number of days greater than 0, found 0");
  EXPECT_EQ(positive_days_problem(-1.5, "--output-step"),
            "--output-step: expected a number of days greater than 0, found -1.5");
  EXPECT_EQ(whole_days_problem(365, "--repeat-drivers"), "");
  EXPECT_EQ(whole_days_problem(-3, "reset_every"),
            "reset_every: expected a whole number of days greater than 0, found -3");
}

TEST(RunOptionsCheckTest, OnlyTheThreeIntegratorsAreNamed) {
  EXPECT_EQ(integrator_problem("rk4", "--integrator"), "");
  EXPECT_EQ(integrator_problem("dopri5", "integrator"), "");
  EXPECT_EQ(integrator_problem("rkf78", "integrator"), "");
  EXPECT_EQ(integrator_problem("euler", "--integrator"),
            "--integrator: \"euler\" is not one of rk4, dopri5, rkf78");
}

TEST(RunOptionsCheckTest, ARelativeToleranceIsAFractionBetweenZeroAndOne) {
  EXPECT_EQ(relative_tolerance_problem(1e-6, "--rtol"), "");
  EXPECT_EQ(relative_tolerance_problem(1.0, "--rtol"),
            "--rtol: expected a relative tolerance greater than 0 and less than 1, found 1");
  EXPECT_EQ(relative_tolerance_problem(-2e-8, "rtol"),
            "rtol: expected a relative tolerance greater than 0 and less than 1, found -2E-8");
  EXPECT_FALSE(relative_tolerance_fits(std::nan("")));
}

}  // namespace
}  // namespace vindrel
