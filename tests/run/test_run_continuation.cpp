// A run on repeated drivers continued from the states it saved: with the
// first run's start time given, the continuation goes on as one long run.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::ScratchFolder;

class RunContinuationTest : public ::testing::Test {
 protected:
  RunContinuationTest() : model(support::temperate_forest()) {
    // Two model years of weather, repeated.
    testing::write_daily_drivers(folder.file("two-years.drr"), 1, 732);
    settings.driver_file = folder.file("two-years.drr");
    settings.repeat_drivers = true;
    settings.repeat_time = 732;
    settings.start_time = 1.0;
    settings.stop_time = 2197.0;  // three rounds of the weather
  }

  // Runs from `start` to `stop` from `from`, continuing a series begun at
  // day 1 when `continued`.
  RunResult run(const Model& from, double start, double stop, bool continued,
                OutputTable* table = nullptr) {
    RunSettings s = settings;
    s.start_time = start;
    s.stop_time = stop;
    if (continued) s.first_start_time = 1.0;
    NullSink none;
    RecordSink& sink = table != nullptr ? static_cast<RecordSink&>(*table) : none;
    RunResult result = vindrel::Run(from, s, sink);
    EXPECT_EQ(result.outcome, RunOutcome::kCompleted) << result.failure_message();
    return result;
  }

  // The states saved to a parameter file and read back, as a modeller
  // continues: 15 significant digits.
  Model saved_and_read(const RunResult& result) {
    const std::string file = folder.file("saved.par");
    WriteParamFile(file, result.model);
    Model read = make_model();
    EXPECT_TRUE(ReadParamFile(file, read));
    return read;
  }

  // The largest relative difference of the two models' states.
  static double largest_difference(const Model& a, const Model& b) {
    double largest = 0.0;
    for (int i = 1; i <= a.ModelInfo.StateCount; ++i) {
      const double x = a.states[i].value;
      const double y = b.states[i].value;
      if (x == y) continue;
      largest = std::max(largest, std::fabs(x - y) / std::max(std::fabs(x), std::fabs(y)));
    }
    return largest;
  }

  ScratchFolder folder;
  Model model;
  RunSettings settings;
};

TEST_F(RunContinuationTest, AContinuedRunEndsWhereOneLongRunEnds) {
  const RunResult whole = run(model, 1.0, 2197.0, false);
  // Saved in mid-year and in the middle of the weather's second round, and
  // saved where a round of the weather and a model year end.
  for (const double saved_at : {1200.0, 1465.0}) {
    const RunResult first = run(model, 1.0, saved_at, false);
    OutputTable table;
    const RunResult second = run(saved_and_read(first), saved_at, 2197.0, true, &table);
    EXPECT_LT(largest_difference(whole.model, second.model), 1e-6) << "saved at " << saved_at;
    // The output goes on with the first run's times.
    ASSERT_GT(table.rows(), 0u);
    EXPECT_EQ(table.row(0)[0], saved_at + 1.0);
    EXPECT_EQ(second.present_time, 2197.0);
  }
}

TEST_F(RunContinuationTest, TheDriverTimeOfAContinuedRunFollowsTheRepeats) {
  RunSettings s = settings;
  s.first_start_time = 1.0;
  s.start_time = 1200.0;  // 1199 steps after day 1: day 468 of the second round
  DriverTimeline timeline = driver_timeline(s);
  EXPECT_TRUE(timeline.continued);
  EXPECT_EQ(timeline.origin, 1.0);
  EXPECT_EQ(timeline.first, 468.0);
  EXPECT_FALSE(timeline.NewYear);
  s.start_time = 1465.0;  // the end of the second round: the drivers return to day 1
  timeline = driver_timeline(s);
  EXPECT_EQ(timeline.first, 1.0);
  EXPECT_FALSE(timeline.NewYear);  // the last step ended at 733, not a year's end
  s.start_time = 1464.0;           // the last step ended at day 732, a model year's end
  timeline = driver_timeline(s);
  EXPECT_EQ(timeline.first, 732.0);
  EXPECT_TRUE(timeline.NewYear);
  // Without repeats the driver time is the model time.
  s.repeat_drivers = false;
  s.start_time = 1200.0;
  EXPECT_EQ(driver_timeline(s).first, 1200.0);
  // A first start after the start, or not a whole number of steps before it.
  s.first_start_time = 1300.0;
  EXPECT_THROW(driver_timeline(s), ERunTimeError);
  s.first_start_time = 0.5;
  EXPECT_EQ(repeat_settings_refusal(s),
            "The first start time, 0.5, must lie a whole number of time steps before the start "
            "time, 1200: it is the start of the run that this one continues.");
}

}  // namespace
}  // namespace vindrel
