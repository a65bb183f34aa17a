// The run-option checks and their messages that the command line and the
// Python module share, the times the options give, and the driver pre-read.
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

TEST(RunOptionsCheckTest, TimesWithoutTheSpecialOptions) {
  RunSettings settings;
  set_run_times(settings, 10.0, 375.0, 0.5, std::nullopt, std::nullopt, std::nullopt);
  EXPECT_EQ(settings.start_time, 10.0);
  EXPECT_EQ(settings.stop_time, 375.0);
  EXPECT_EQ(settings.time_step, 0.5);
  EXPECT_EQ(settings.output_step, 0.5);  // the time step when not given
  EXPECT_EQ(settings.calculation_time, 10.0);
  EXPECT_FALSE(settings.repeat_drivers);
  EXPECT_FALSE(settings.reset_states);
}

TEST(RunOptionsCheckTest, TimesWithRepeatedDriversAndReset) {
  RunSettings settings;
  set_run_times(settings, 1.0, 3651.0, 1.0, 30.0, 365, 730);
  EXPECT_EQ(settings.output_step, 30.0);
  EXPECT_TRUE(settings.repeat_drivers);
  EXPECT_EQ(settings.repeat_time, 365);
  EXPECT_TRUE(settings.reset_states);
  EXPECT_EQ(settings.reset_interval, 730);
}

TEST(RunOptionsCheckTest, DriverPreReadStopsAtTheFirstRecordAfterTheLastTime) {
  testing::ScratchFolder folder;
  const std::string drivers = folder.file("daily.drr");
  testing::write_daily_drivers(drivers, 1, 20);
  const Model model = make_model();
  EXPECT_EQ(last_driver_time_read(drivers, model, 5.5), 6.0);
  EXPECT_EQ(last_driver_time_read(drivers, model, 100.0), 20.0);  // the file's last
}

TEST(RunOptionsCheckTest, DriverPreReadOfAMissingFileThrows) {
  testing::ScratchFolder folder;
  EXPECT_THROW(last_driver_time_read(folder.file("none.drr"), make_model(), 10.0), EInOutError);
}

}  // namespace
}  // namespace vindrel
