// A failed run says when and where it stopped: the place, the step that
// failed, the records kept, the equation group of an arithmetic fault, and the
// state that limited a step too small. The model's message stays as it is.
#include <gtest/gtest.h>

#include <string>

#include "core/positions.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

class RunFailureDetailTest : public ::testing::Test {
 protected:
  RunResult run(const Model& model) {
    settings.driver_file = drivers_file;
    settings.start_time = 1.0;
    settings.stop_time = 20.0;
    OutputTable table;
    return vindrel::Run(model, settings, table);
  }

  testing::ScratchFolder folder;
  const std::string drivers_file = folder.file("weather.drr");
  RunSettings settings;
};

TEST_F(RunFailureDetailTest, AnInvalidOperationInAStepNamesTheStepTheRecordsAndTheEquationGroup) {
  // No CO2 in the air from day 5 on: the isotopic signature of photosynthesis,
  // Cint / Ca, divides 0 by 0.
  testing::write_daily_drivers(drivers_file, 1, 40, [](int day, driverarray& d) {
    if (day >= 5) d[driver::Ca].value = 0.0;
  });
  const RunResult result = run(support::temperate_forest());
  ASSERT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_EQ(result.failure_message(), "Invalid floating point operation");
  const RunFailureDetail& detail = result.failure_detail;
  EXPECT_EQ(detail.place, RunFailurePlace::kIntegration);
  EXPECT_EQ(detail.failed_step_start, 5.0);
  EXPECT_EQ(detail.time_reached, 5.0);
  EXPECT_EQ(detail.time_step, 1.0);
  EXPECT_EQ(detail.records_kept, 4);
  EXPECT_EQ(detail.equation_group, "photosynthesis (group c)");
  EXPECT_EQ(detail.limiting_state, 0);
  EXPECT_EQ(failure_detail_text(result),
            "  in the step from 5 to 6 (time step 1)\n"
            "  the run reached model time 5; the output holds 4 records\n"
            "  the equation group where it arose: photosynthesis (group c)\n");
}

TEST_F(RunFailureDetailTest, ADivisionByZeroAtTheStartTimeNamesItsEquationGroup) {
  testing::write_daily_drivers(drivers_file, 1, 40);
  Model model = support::temperate_forest();
  model.parameters[parameter::bGr].value = 0.0;  // root growth N divides by bGr
  const RunResult result = run(model);
  ASSERT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_EQ(result.failure_message(), "Division by zero");
  EXPECT_EQ(result.failure_detail.place, RunFailurePlace::kStartTime);
  EXPECT_EQ(result.failure_detail.records_kept, 0);
  EXPECT_EQ(result.failure_detail.equation_group, "growth (group i)");
  EXPECT_EQ(failure_detail_text(result).rfind("  in the evaluation at the start time, 1,", 0), 0u);
}

TEST_F(RunFailureDetailTest, AStepTooSmallNamesTheStateThatLimitedIt) {
  testing::write_daily_drivers(drivers_file, 1, 40);
  settings.tolerance = 1e-300;  // no trial can meet it
  const RunResult result = run(support::temperate_forest());
  ASSERT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_EQ(result.failure_message().rfind("Step size too small in routine ", 0), 0u);
  const RunFailureDetail& detail = result.failure_detail;
  EXPECT_EQ(detail.place, RunFailurePlace::kIntegration);
  EXPECT_EQ(detail.failed_step_start, 1.0);
  EXPECT_EQ(detail.records_kept, 0);
  EXPECT_EQ(detail.equation_group, "");
  ASSERT_GE(detail.limiting_state, 1);
  ASSERT_LE(detail.limiting_state, result.model.ModelInfo.StateCount);
  const Tstatevariable& state = result.model.states[detail.limiting_state];
  EXPECT_NE(failure_detail_text(result).find("  the state that limited the step: " + state.symbol +
                                             " (state " + std::to_string(detail.limiting_state)),
            std::string::npos)
      << failure_detail_text(result);
}

TEST_F(RunFailureDetailTest, FileFailuresAndCompletedRunsHaveNoDetailText) {
  settings.driver_file = folder.file("no-such.drr");
  OutputTable table;
  const RunResult missing = vindrel::Run(support::temperate_forest(), settings, table);
  ASSERT_EQ(missing.outcome, RunOutcome::kFailed);
  EXPECT_EQ(failure_detail_text(missing), "");
  testing::write_daily_drivers(drivers_file, 1, 40);
  EXPECT_EQ(failure_detail_text(run(support::temperate_forest())), "");
}

}  // namespace
}  // namespace vindrel
