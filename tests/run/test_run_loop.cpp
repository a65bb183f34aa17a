// The run loop: which times get records, the drivers and states a record
// holds, repeated drivers, the periodic state reset, cancels, runs that follow
// runs, and failures that end a run in order.
#include "run/run.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_output;
using testing::record_times;
using testing::RecordingObserver;
using testing::state_values;

class RunLoopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_daily_drivers(drivers_file, 1, 800);
    settings.driver_file = drivers_file;
    settings.output_file = output_file;
  }

  RunOutcome run() { return testing::run_and_commit(model, settings, state, observer); }

  testing::ScratchFolder folder;
  const std::string drivers_file = folder.file("weather.drr");
  const std::string output_file = folder.file("run.out");
  Model model = support::temperate_forest();
  RunSettings settings;
  testing::RunState state;
  RecordingObserver observer;
};

TEST_F(RunLoopTest, StartOneStopTwoWritesOneRecordAtTimeTwo) {
  EXPECT_EQ(run(), RunOutcome::kCompleted);
  EXPECT_EQ(record_times(output_file), std::vector<double>{2.0});
  EXPECT_EQ(state.present_time, 2.0);
  EXPECT_TRUE(state.output_available);
  EXPECT_EQ(observer.steps, 1);
  EXPECT_EQ(observer.percents, std::vector<int>{100});
  EXPECT_EQ(observer.progress_times, std::vector<double>{2.0});
  EXPECT_EQ(observer.end_outcome, RunOutcome::kCompleted);
  EXPECT_TRUE(observer.failures.empty());
}

TEST_F(RunLoopTest, StopBetweenStepsEndsAtTheLastWholeStep) {
  settings.stop_time = 5.5;
  run();
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2.0, 3.0, 4.0, 5.0}));
  EXPECT_EQ(state.present_time, 5.0);
}

TEST_F(RunLoopTest, OutputStepOfThreeWritesEveryThirdStepAndNothingAtTheStart) {
  settings.stop_time = 11.0;
  settings.output_step = 3.0;
  run();
  EXPECT_EQ(record_times(output_file), (std::vector<double>{4.0, 7.0, 10.0}));
  EXPECT_EQ(state.present_time, 11.0);
}

TEST_F(RunLoopTest, RecordHoldsTheDriversOfTheStepStartAndTheStatesAfterItsEndOfStepUpdates) {
  settings.stop_time = 4.0;
  run();
  const auto records = read_output(output_file);
  ASSERT_EQ(records.size(), 3u);
  for (const auto& record : records) {
    // Drivers are looked up once per step, at its start.
    EXPECT_EQ(record.driver(driver::Ca), 300.0 + record.time - 1.0);
    // The day clock starts at 0 with the run and advances once per step.
    EXPECT_EQ(record.state(state::Jday), record.time - 1.0);
  }
}

TEST_F(RunLoopTest, ProgressIsTheWholeDaysDoneInPercent) {
  settings.stop_time = 5.0;
  run();
  EXPECT_EQ(observer.percents, (std::vector<int>{25, 50, 75, 100}));
  EXPECT_EQ(observer.progress_times, (std::vector<double>{2.0, 3.0, 4.0, 5.0}));
}

TEST_F(RunLoopTest, RepeatedDriversReturnToTheStartAfterTheRepeatTime) {
  settings.stop_time = 370.0;
  settings.repeat_drivers = true;
  settings.repeat_time = 365;
  run();
  const auto records = read_output(output_file);
  ASSERT_EQ(records.size(), 369u);
  // Driver times 1, 2, ..., 365, then 366 is replaced by 1.
  EXPECT_EQ(records[0].time, 2.0);
  EXPECT_EQ(records[0].driver(driver::Ca), 301.0);
  EXPECT_EQ(records[363].time, 365.0);
  EXPECT_EQ(records[363].driver(driver::Ca), 664.0);
  EXPECT_EQ(records[364].time, 366.0);
  EXPECT_EQ(records[364].driver(driver::Ca), 665.0);
  EXPECT_EQ(records[365].time, 367.0);
  EXPECT_EQ(records[365].driver(driver::Ca), 301.0);
  EXPECT_EQ(records[366].time, 368.0);
  EXPECT_EQ(records[366].driver(driver::Ca), 302.0);
  EXPECT_EQ(records.back().time, 370.0);
  EXPECT_EQ(records.back().driver(driver::Ca), 304.0);
}

TEST_F(RunLoopTest, MarkedStatesAreResetAfterTheStepsBeginningAtMultiplesOfTheInterval) {
  settings.stop_time = 733.0;
  settings.reset_states = true;
  settings.reset_interval = 365;
  model.states[state::Cf].Reset = true;
  model.states[state::Wg].Reset = true;
  const double cf_start = model.states[state::Cf].value;
  const double wg_start = model.states[state::Wg].value;
  std::vector<int> reset_steps;
  observer.after_step = [&](int step) {
    const Model& running = *observer.running_model;
    const bool cf_back = running.states[state::Cf].value == cf_start;
    const bool wg_back = running.states[state::Wg].value == wg_start;
    EXPECT_EQ(cf_back, wg_back) << "step " << step;
    if (cf_back) reset_steps.push_back(step);
  };
  run();
  // Step k begins at time k: the resets follow the steps beginning at 365 and 730.
  EXPECT_EQ(reset_steps, (std::vector<int>{365, 730}));
  EXPECT_NE(model.states[state::Csw].value, state.initial_states[state::Csw].value);
}

TEST(StateResetDueTest, FollowsTheStepThatBeginsWithinOneStepAfterAMultiple) {
  EXPECT_FALSE(state_reset_due(1.0, 1.0, 365.0));
  EXPECT_FALSE(state_reset_due(364.0, 1.0, 365.0));
  EXPECT_TRUE(state_reset_due(365.0, 1.0, 365.0));
  EXPECT_FALSE(state_reset_due(366.0, 1.0, 365.0));
  EXPECT_TRUE(state_reset_due(730.0, 1.0, 365.0));
  EXPECT_TRUE(state_reset_due(365.0, 0.5, 365.0));
  EXPECT_FALSE(state_reset_due(365.5, 0.5, 365.0));
}

TEST(StateResetDueTest, NeverTwiceInARowWithWholeDays) {
  // frac(2921 / 365) computed from the rounded quotient is below 1 / 365.
  for (int day = 1; day <= 20 * 365; ++day) {
    EXPECT_EQ(state_reset_due(day, 1.0, 365.0), day % 365 == 0) << day;
  }
}

TEST(RunProgressTest, WholeDaysDoneTimesHundredDividedByTheRunLength) {
  EXPECT_EQ(run_progress_percent(2.0, 1.0, 2.0), 100);
  EXPECT_EQ(run_progress_percent(184.0, 1.0, 366.0), 50);  // 18300 div 365
  EXPECT_EQ(run_progress_percent(4.0, 1.0, 366.0), 0);     // 300 div 365
  EXPECT_EQ(run_progress_percent(3.5, 1.0, 11.0), 20);     // 2.5 rounds to 2
  EXPECT_EQ(run_progress_percent(4.5, 1.0, 11.0), 40);     // 3.5 rounds to 4
}

TEST(RunProgressTest, RunShorterThanHalfADayCountsAsDone) {
  // The rounded run length is 0: nothing to divide by.
  EXPECT_EQ(run_progress_percent(1.3, 1.0, 1.4), 100);
}

TEST(StepsPerOutputTest, RoundsToTheNearestWholeNumberWithTiesToEven) {
  EXPECT_EQ(steps_per_output(3.0, 1.0), 3);
  EXPECT_EQ(steps_per_output(0.3, 0.1), 3);
  EXPECT_EQ(steps_per_output(2.5, 1.0), 2);
  EXPECT_EQ(steps_per_output(3.5, 1.0), 4);
}

TEST_F(RunLoopTest, CancelEndsAfterTheCurrentStepAndLeavesAValidFile) {
  settings.stop_time = 100.0;
  observer.cancel_after_steps = 5;
  EXPECT_EQ(run(), RunOutcome::kCancelled);
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2.0, 3.0, 4.0, 5.0, 6.0}));
  EXPECT_EQ(state.present_time, 6.0);
  EXPECT_EQ(observer.end_outcome, RunOutcome::kCancelled);
  EXPECT_TRUE(observer.failures.empty());
  EXPECT_TRUE(state.output_available);

  // A later run starts again from the start time with the states reached.
  const std::vector<double> reached = state_values(model);
  RecordingObserver second;
  testing::run_and_commit(model, settings, state, second);
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    EXPECT_EQ(state.initial_states[i].value, reached[static_cast<std::size_t>(i - 1)]) << i;
  }
  EXPECT_EQ(record_times(output_file).front(), 2.0);
}

TEST_F(RunLoopTest, UserCancelExceptionEndsTheRunSilentlyEvenUnattended) {
  settings.stop_time = 100.0;
  settings.batch_mode = true;
  observer.after_step = [](int step) {
    if (step == 3) throw EUserCancel();
  };
  EXPECT_EQ(run(), RunOutcome::kCancelled);
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2.0, 3.0, 4.0}));
  EXPECT_TRUE(observer.failures.empty());
}

TEST_F(RunLoopTest, SecondRunContinuesFromTheFinalStatesOfTheFirst) {
  settings.stop_time = 11.0;
  run();
  const std::vector<double> first_end = state_values(model);
  settings.stop_time = 2.0;
  run();
  std::vector<double> second_start;
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    second_start.push_back(state.initial_states[i].value);
  }
  EXPECT_EQ(second_start, first_end);
  EXPECT_NE(state_values(model), first_end);
}

TEST_F(RunLoopTest, InitialStatesAreTheWholeTableAsTheRunFoundIt) {
  model.states[state::Nf].Reset = true;
  model.states[state::Cr].HoldConstant = true;
  const statearray before = model.states;
  run();
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    EXPECT_EQ(state.initial_states[i].value, before[i].value);
    EXPECT_EQ(state.initial_states[i].symbol, before[i].symbol);
    EXPECT_EQ(state.initial_states[i].Reset, before[i].Reset);
    EXPECT_EQ(state.initial_states[i].HoldConstant, before[i].HoldConstant);
  }
}

}  // namespace
}  // namespace vindrel
