// A run as a value: it works on its own copy of the model, so runs on separate
// threads give the same bytes as the same runs one after the other; the caller
// commits its final tables; the output can go to a table in memory; and a run
// past the driver file's last record is announced.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <limits>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "core/positions.hpp"
#include "fileio/csv_output.hpp"
#include "fileio/output_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::state_values;

class RunValueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_daily_drivers(drivers_file, 1, 400);
    settings.driver_file = drivers_file;
    settings.start_time = 1.0;
    settings.stop_time = 120.0;
  }
  RunSettings settings_for(const std::string& output) const {
    RunSettings s = settings;
    s.output_file = folder.file(output);
    return s;
  }

  testing::ScratchFolder folder;
  const std::string drivers_file = folder.file("weather.drr");
  RunSettings settings;
};

TEST_F(RunValueTest, RunsOnSeparateThreadsGiveTheBytesOfRunsOneAfterTheOther) {
  Model first = support::temperate_forest();
  Model second = support::temperate_forest();
  second.parameters[parameter::mF].value *= 1.2;  // a different stand

  const RunSettings a = settings_for("a.out");
  const RunSettings b = settings_for("b.out");
  OutputFileSink sink_a(a.output_file);
  OutputFileSink sink_b(b.output_file);
  RunResult result_a;
  RunResult result_b;
  {
    std::jthread thread_a([&] { result_a = vindrel::Run(first, a, sink_a); });
    std::jthread thread_b([&] { result_b = vindrel::Run(second, b, sink_b); });
  }
  ASSERT_EQ(result_a.outcome, RunOutcome::kCompleted) << result_a.failure_message();
  ASSERT_EQ(result_b.outcome, RunOutcome::kCompleted) << result_b.failure_message();

  const RunSettings a_alone = settings_for("a-alone.out");
  const RunSettings b_alone = settings_for("b-alone.out");
  OutputFileSink alone_a(a_alone.output_file);
  OutputFileSink alone_b(b_alone.output_file);
  vindrel::Run(first, a_alone, alone_a);
  vindrel::Run(second, b_alone, alone_b);
  const std::string bytes_a = read_whole_file_bytes(a.output_file);
  const std::string bytes_b = read_whole_file_bytes(b.output_file);
  EXPECT_EQ(bytes_a, read_whole_file_bytes(a_alone.output_file));
  EXPECT_EQ(bytes_b, read_whole_file_bytes(b_alone.output_file));
  EXPECT_NE(bytes_a, bytes_b);
  // The callers' models were not touched.
  EXPECT_EQ(state_values(first), state_values(support::temperate_forest()));
}

TEST_F(RunValueTest, ACancelledRunCommitsTheStatesOfItsLastStepAndASecondRunContinues) {
  Model model = support::temperate_forest();
  const Model untouched = model;
  const RunSettings s = settings_for("cancelled.out");
  OutputFileSink sink(s.output_file);
  std::stop_source stop;
  int steps = 0;
  const RunResult result = vindrel::Run(model, s, sink, stop.get_token(), [&](int, double) {
    if (++steps == 10) stop.request_stop();
  });
  ASSERT_EQ(result.outcome, RunOutcome::kCancelled);
  EXPECT_EQ(result.present_time, 11.0);
  EXPECT_EQ(result.steps_completed, 10);
  EXPECT_EQ(result.records_written, 10);
  EXPECT_EQ(testing::record_times(s.output_file).back(), 11.0);
  EXPECT_EQ(state_values(model), state_values(untouched)) << "nothing committed yet";
  EXPECT_EQ(result.initial_states[state::Cf].value, untouched.states[state::Cf].value);

  commit_run(model, result);
  EXPECT_EQ(state_values(model), state_values(result.model));
  const auto written = testing::read_output(s.output_file).back();
  // As in the last record, to the file's 13 significant digits.
  EXPECT_NEAR(model.states[state::Cf].value, written.state(state::Cf), 1e-10);

  // A second run starts from the states the first one reached.
  NullSink none;
  const RunResult second = vindrel::Run(model, s, none);
  EXPECT_EQ(second.initial_states[state::Cf].value, result.model.states[state::Cf].value);
}

TEST_F(RunValueTest, ARunWithoutEndStartsAndIsCancelled) {
  RunSettings endless = settings_for("endless.out");
  endless.stop_time = std::numeric_limits<double>::infinity();
  NullSink none;
  std::stop_source stop;
  const RunResult result = vindrel::Run(support::temperate_forest(), endless, none,
                                        stop.get_token(), [&](int, double present_time) {
                                          if (present_time >= 6.0) stop.request_stop();
                                        });
  ASSERT_EQ(result.outcome, RunOutcome::kCancelled) << result.failure_message();
  EXPECT_EQ(result.steps_completed, 5);
}

TEST_F(RunValueTest, AFailedRunReturnsTheStatesOfTheLastCompletedStep) {
  // Weather that breaks the equations from day 6 on: an infinite radiation.
  testing::write_daily_drivers(drivers_file, 1, 400, [](int day, driverarray& drivers) {
    if (day >= 6) drivers[driver::II].value = 1e308 * 10.0;
  });
  Model model = support::temperate_forest();
  const RunSettings s = settings_for("failed.out");
  OutputFileSink sink(s.output_file);
  const RunResult result = vindrel::Run(model, s, sink);
  ASSERT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_FALSE(result.failure_message().empty());
  EXPECT_THROW(result.rethrow_failure(), std::exception);
  const std::vector<double> times = testing::record_times(s.output_file);
  ASSERT_FALSE(times.empty());
  EXPECT_EQ(result.present_time, times.back());
  EXPECT_EQ(result.records_written, static_cast<std::int64_t>(times.size()));
  const auto last = testing::read_output(s.output_file).back();
  for (int i = 1; i <= model.ModelInfo.StateCount; ++i) {
    EXPECT_NEAR(result.model.states[i].value, last.state(i), 1e-12 * std::abs(last.state(i)))
        << "state " << i;
  }
}

// The process table a run hands back holds the end-of-step processes of its
// last completed step, whether or not a record was due there: after a whole
// run and after a cancelled one.
TEST_F(RunValueTest, TheProcessTableIsThatOfTheLastStepWhateverTheOutputStep) {
  const auto processes_of = [](const RunResult& result) {
    std::vector<double> values;
    for (int i = 1; i <= process::kCount; ++i) values.push_back(result.model.processes[i].value);
    return values;
  };
  const Model stand = support::temperate_forest();
  NullSink none;
  RunSettings daily = settings_for("daily.out");
  RunSettings sparse = settings_for("sparse.out");
  sparse.output_step = 50.0;  // the last record at day 101, the run ends at 120
  const RunResult every_day = vindrel::Run(stand, daily, none);
  const RunResult every_fifty = vindrel::Run(stand, sparse, none);
  ASSERT_EQ(every_day.outcome, RunOutcome::kCompleted);
  ASSERT_EQ(every_fifty.outcome, RunOutcome::kCompleted);
  EXPECT_EQ(every_fifty.records_written, 2);
  EXPECT_EQ(processes_of(every_fifty), processes_of(every_day));
  // (and they are the last step's: a day earlier they differ)
  RunSettings a_day_less = daily;
  a_day_less.stop_time = 119.0;
  EXPECT_NE(processes_of(vindrel::Run(stand, a_day_less, none)), processes_of(every_day));

  std::stop_source stop;
  int steps = 0;
  const RunResult cancelled = vindrel::Run(stand, sparse, none, stop.get_token(), [&](int, double) {
    if (++steps == 30) stop.request_stop();
  });
  ASSERT_EQ(cancelled.outcome, RunOutcome::kCancelled);
  RunSettings thirty_days = daily;
  thirty_days.stop_time = 31.0;
  EXPECT_EQ(processes_of(cancelled), processes_of(vindrel::Run(stand, thirty_days, none)));
}

TEST_F(RunValueTest, ATableInMemoryHoldsTheRecordsOfTheFile) {
  const Model model = support::temperate_forest();
  const RunSettings s = settings_for("table.out");
  OutputFileSink file(s.output_file);
  OutputTable table;
  vindrel::Run(model, s, file);
  vindrel::Run(model, s, table);
  const std::vector<testing::OutputRecord> records = testing::read_output(s.output_file);
  ASSERT_EQ(table.rows(), records.size());
  ASSERT_EQ(table.columns(), 208u);
  for (std::size_t r = 0; r < records.size(); r += 17) {
    // The file keeps 13 significant digits.
    EXPECT_EQ(table.at(r, 0), records[r].time);
    EXPECT_NEAR(table.at(r, 1 + 18), records[r].state(state::Cf),
                1e-12 * std::abs(records[r].state(state::Cf)));
    EXPECT_NEAR(table.at(r, 207), records[r].process(189),
                1e-12 * std::abs(records[r].process(189)) + 1e-300);
  }
}

// A sink told where an unfinished run's records go publishes a cancelled
// run there and leaves the complete file of the first name as it was; a
// completed run replaces that file, and makes no partial one.
TEST_F(RunValueTest, ACancelledRunsRecordsGoToTheirOwnFile) {
  const Model model = support::temperate_forest();
  const RunSettings s = settings_for("stand.csv");
  const std::string partial = partial_file_name(s.output_file);
  EXPECT_EQ(partial, folder.file("stand.partial.csv"));
  std::ofstream(s.output_file, std::ios::binary) << "a complete run\n";
  TableFileSink cancelled_sink(s.output_file, std::make_unique<CsvTableWriter>(), {});
  cancelled_sink.keep_incomplete_as(partial);
  std::stop_source stop;
  int steps = 0;
  const RunResult cancelled =
      vindrel::Run(model, s, cancelled_sink, stop.get_token(), [&](int, double) {
        if (++steps == 10) stop.request_stop();
      });
  ASSERT_EQ(cancelled.outcome, RunOutcome::kCancelled);
  EXPECT_EQ(read_whole_file_bytes(s.output_file), "a complete run\n");
  // The two header lines and the records of the ten steps.
  const std::string records = read_whole_file_bytes(partial);
  EXPECT_EQ(std::count(records.begin(), records.end(), '\n'), 12);

  std::filesystem::remove(partial);
  TableFileSink completed_sink(s.output_file, std::make_unique<CsvTableWriter>(), {});
  completed_sink.keep_incomplete_as(partial);
  ASSERT_EQ(vindrel::Run(model, s, completed_sink).outcome, RunOutcome::kCompleted);
  EXPECT_NE(read_whole_file_bytes(s.output_file), "a complete run\n");
  EXPECT_FALSE(std::filesystem::exists(partial));
  EXPECT_EQ(partial_file_name("runs.d/stand"), "runs.d/stand.partial");
  EXPECT_EQ(partial_file_name(".hidden"), ".hidden.partial");
}

TEST(DriversEndWarning, SaysWhenARunLooksUpDriversPastTheLastRecord) {
  RunSettings s;
  s.start_time = 1.0;
  s.time_step = 1.0;
  s.stop_time = 10981.0;  // the last step starts on the last record's day
  EXPECT_EQ(drivers_end_warning(s, 10980.0), "");
  s.stop_time = 20000.0;
  EXPECT_EQ(drivers_end_warning(s, 10980.0),
            "the driver file ends at day 10980; its last record holds from there to the stop "
            "time");
  s.repeat_drivers = true;  // the drivers start again before their end
  s.repeat_time = 365;
  EXPECT_EQ(drivers_end_warning(s, 10980.0), "");
}

}  // namespace
}  // namespace vindrel
