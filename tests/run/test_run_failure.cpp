// Runs that fail: the records written before the failure stay, the states are
// those of the last completed step, the files are closed and the failure is
// reported once with its own message, or passed on unchanged when unattended.
#include <gtest/gtest.h>

#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "run/run.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::record_times;
using testing::RecordingObserver;
using testing::state_values;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

class RunFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    settings.driver_file = drivers_file;
    settings.output_file = output_file;
    settings.stop_time = 10.0;
  }

  // A clean run of the first `steps` steps with good weather, for comparison.
  void run_clean_reference(int steps) {
    const std::string good = folder.file("good.drr");
    testing::write_daily_drivers(good, 1, 20);
    RunSettings clean = settings;
    clean.driver_file = good;
    clean.output_file = reference_output;
    clean.stop_time = clean.start_time + steps;
    clean.batch_mode = true;
    clean.tolerance = RunSettings{}.tolerance;
    Model reference = support::temperate_forest();
    testing::RunState reference_state;
    testing::RecordingObserver silent;
    testing::run_and_commit(reference, clean, reference_state, silent);
    reference_states = state_values(reference);
  }

  RunOutcome run() { return testing::run_and_commit(model, settings, state, observer); }

  testing::ScratchFolder folder;
  const std::string drivers_file = folder.file("weather.drr");
  const std::string output_file = folder.file("run.out");
  const std::string reference_output = folder.file("reference.out");
  std::vector<double> reference_states;
  Model model = support::temperate_forest();
  RunSettings settings;
  testing::RunState state;
  RecordingObserver observer;
};

TEST_F(RunFailureTest, IntegratorFailureKeepsTheRecordsAndTheStatesOfTheLastCompletedStep) {
  testing::write_daily_drivers(drivers_file, 1, 20);
  // From the fourth step on the tolerance is beyond double precision: the
  // integrator shrinks its trial step until it no longer moves the time.
  observer.after_step = [this](int step) {
    if (step == 3) settings.tolerance = 1e-300;
  };
  EXPECT_EQ(run(), RunOutcome::kFailed);
  EXPECT_EQ(observer.failures,
            std::vector<std::string>{"Step size too small in routine RKQualityControl"});
  EXPECT_EQ(observer.end_outcome, RunOutcome::kFailed);
  EXPECT_TRUE(state.output_available);
  EXPECT_EQ(state.present_time, 4.0);

  run_clean_reference(3);
  EXPECT_EQ(state_values(model), reference_states);
  EXPECT_EQ(read_whole_file_bytes(output_file), read_whole_file_bytes(reference_output));
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2.0, 3.0, 4.0}));
}

TEST_F(RunFailureTest, ArithmeticFaultInTheDerivativesEndsTheRunWithItsMessage) {
  // Not-a-number air temperature from day 5: the step that begins at 5 fails.
  testing::write_daily_drivers(drivers_file, 1, 20, [](int day, driverarray& d) {
    if (day >= 5) d[driver::Tamax].value = kNaN;
  });
  EXPECT_EQ(run(), RunOutcome::kFailed);
  EXPECT_EQ(observer.failures, std::vector<std::string>{"Invalid floating point operation"});
  EXPECT_EQ(state.present_time, 5.0);

  run_clean_reference(4);
  EXPECT_EQ(state_values(model), reference_states);
  EXPECT_EQ(read_whole_file_bytes(output_file), read_whole_file_bytes(reference_output));
}

TEST_F(RunFailureTest, FaultInTheEndOfStepUpdatesLeavesTheStatesOfTheLastCompletedStep) {
  // Precipitation enters only the once-per-step updates: the integrator
  // completes the step that begins at 5, and its end-of-step evaluation fails.
  testing::write_daily_drivers(drivers_file, 1, 20, [](int day, driverarray& d) {
    if (day >= 5) d[driver::Ppt].value = kNaN;
  });
  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_EQ(state.present_time, 5.0);

  run_clean_reference(4);
  EXPECT_EQ(state_values(model), reference_states);
  EXPECT_EQ(read_whole_file_bytes(output_file), read_whole_file_bytes(reference_output));
}

TEST_F(RunFailureTest, UnattendedRunPassesTheFailureOnUnchangedAfterEndingInOrder) {
  testing::write_daily_drivers(drivers_file, 1, 20);
  settings.batch_mode = true;
  observer.after_step = [this](int step) {
    if (step == 2) settings.tolerance = 1e-300;
  };
  try {
    run();
    FAIL() << "no exception";
  } catch (const EStepTooSmall& e) {
    EXPECT_STREQ(e.what(), "Step size too small in routine RKQualityControl");
  }
  EXPECT_TRUE(observer.failures.empty());
  EXPECT_EQ(observer.end_outcome, RunOutcome::kFailed);
  EXPECT_TRUE(state.output_available);
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2.0, 3.0}));
}

TEST_F(RunFailureTest, SensitivityModeIsUnattendedToo) {
  testing::write_daily_drivers(drivers_file, 1, 20, [](int day, driverarray& d) {
    if (day >= 3) d[driver::Tamax].value = kNaN;
  });
  settings.sensitivity_mode = true;
  EXPECT_THROW(run(), EInvalidOp);
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2.0, 3.0}));
}

TEST_F(RunFailureTest, MissingDriverFileFailsBeforeTheFirstStepAndKeepsTheOldOutput) {
  {
    std::ofstream old(output_file, std::ios::binary);
    old << "the previous run\r\n";
  }
  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_EQ(observer.failures[0], drivers_file + ": Cannot read driver file. File does not exist.");
  EXPECT_EQ(observer.steps, 0);
  EXPECT_EQ(read_whole_file_bytes(output_file), "the previous run\r\n");
}

TEST_F(RunFailureTest, OutputFileThatCannotBeCreatedIsReportedWithItsOwnMessage) {
  testing::write_daily_drivers(drivers_file, 1, 20);
  settings.output_file = folder.file("no-such-folder/run.out");
  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_NE(observer.failures[0].find("run.out"), std::string::npos) << observer.failures[0];
}

TEST_F(RunFailureTest, TimeStepThatIsNotPositiveFailsBeforeAnythingIsTouched) {
  testing::write_daily_drivers(drivers_file, 1, 20);
  const std::vector<double> before = state_values(model);
  for (double step : {0.0, -1.0}) {
    settings.time_step = step;
    RecordingObserver watcher;
    EXPECT_EQ(testing::run_and_commit(model, settings, state, watcher), RunOutcome::kFailed);
    EXPECT_EQ(watcher.failures,
              std::vector<std::string>{"The simulation time step must be greater than zero."});
  }
  EXPECT_EQ(state_values(model), before);
  EXPECT_FALSE(std::filesystem::exists(output_file));
}

TEST_F(RunFailureTest, ResetWithoutAPositiveIntervalFailsBeforeTheFirstStep) {
  testing::write_daily_drivers(drivers_file, 1, 20);
  settings.reset_states = true;
  settings.reset_interval = 0;
  EXPECT_EQ(run(), RunOutcome::kFailed);
  EXPECT_EQ(observer.failures,
            std::vector<std::string>{"The state reset interval must be greater than zero."});
  EXPECT_EQ(observer.steps, 0);
}

TEST_F(RunFailureTest, DriverFileWithoutRecordsFailsBeforeTheFirstStep) {
  {
    std::ofstream empty(drivers_file, std::ios::binary);
    empty << "Time\r\ndays\r\n";
  }
  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_NE(observer.failures[0].find(std::string(kNoDriverRecordMessage)), std::string::npos);
  EXPECT_EQ(observer.steps, 0);
}

}  // namespace
}  // namespace vindrel
