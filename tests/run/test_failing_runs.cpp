// Runs that fail end cleanly: the failure's own message, the output file with
// every record written before it (and nothing half written), the states of the
// last completed step, and the previous output file left alone when the run
// fails before its first step.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/exceptions.hpp"
#include "core/positions.hpp"
#include "fileio/output_file.hpp"
#include "run/run.hpp"
#include "tests/fileio/fileio_test_support.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::record_times;
using testing::RecordingObserver;
using testing::state_values;

class FailingRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::write_daily_drivers(drivers_file, 1, 40);
    settings.driver_file = drivers_file;
    settings.output_file = output_file;
    settings.start_time = 1.0;
    settings.stop_time = 30.0;
  }

  RunOutcome run() { return testing::run_and_commit(model, settings, state, observer); }

  // The states and the output file of a clean run of `steps` steps.
  void clean_reference(int steps) {
    Model reference = support::temperate_forest();
    RunSettings clean = settings;
    clean.output_file = reference_file;
    clean.stop_time = clean.start_time + steps;
    clean.tolerance = RunSettings{}.tolerance;
    testing::RunState reference_state;
    testing::RecordingObserver silent;
    ASSERT_EQ(testing::run_and_commit(reference, clean, reference_state, silent),
              RunOutcome::kCompleted);
    reference_states = state_values(reference);
  }

  void write_previous_output() {
    std::ofstream previous(output_file, std::ios::binary);
    previous << kPreviousOutput;
  }

  static constexpr const char* kPreviousOutput = "results of the previous run\r\n";
  testing::ScratchFolder folder;
  const std::string drivers_file = folder.file("weather.drr");
  const std::string output_file = folder.file("run.out");
  const std::string reference_file = folder.file("reference.out");
  std::vector<double> reference_states;
  Model model = support::temperate_forest();
  RunSettings settings;
  testing::RunState state;
  RecordingObserver observer;
};

TEST_F(FailingRunTest, ZeroFoliageDensityFailsAtTheStartAndTouchesNothing) {
  write_previous_output();
  model.parameters[parameter::mF].value = 0.0;  // LAI = Cf / mF
  const Model before = model;

  EXPECT_EQ(run(), RunOutcome::kFailed);
  EXPECT_EQ(observer.failures, std::vector<std::string>{"Division by zero"});
  EXPECT_EQ(observer.steps, 0);
  EXPECT_EQ(state.present_time, 1.0);
  EXPECT_EQ(state_values(model), state_values(before));
  EXPECT_EQ(read_whole_file_bytes(output_file), kPreviousOutput);
}

TEST_F(FailingRunTest, ZeroCO2InTheMiddleKeepsTheRecordsAndTheLastCompletedStates) {
  // The run takes its parameters once and its drivers at every step: the
  // sixth step's drivers, already looked up, get a CO2 concentration of zero,
  // on which the equations make an invalid operation.
  observer.after_step = [this](int step) {
    if (step == 5) observer.running_model->drivers[driver::Ca].value = 0.0;
  };
  EXPECT_EQ(run(), RunOutcome::kFailed);
  EXPECT_EQ(observer.failures, std::vector<std::string>{"Invalid floating point operation"});
  EXPECT_EQ(state.present_time, 6.0);

  clean_reference(5);
  EXPECT_EQ(state_values(model), reference_states);
  EXPECT_TRUE(read_whole_file_bytes(output_file) == read_whole_file_bytes(reference_file));
  EXPECT_EQ(record_times(output_file), (std::vector<double>{2, 3, 4, 5, 6}));
}

TEST_F(FailingRunTest, StepSizeTooSmallKeepsTheRecordsAndTheLastCompletedStates) {
  // A tolerance beyond double precision from the eighth step on: the integrator
  // shrinks its step below the smallest allowed.
  observer.after_step = [this](int step) {
    if (step == 7) settings.tolerance = 1e-300;
  };
  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_EQ(observer.failures[0].rfind("Step size too small in routine ", 0), 0u)
      << observer.failures[0];

  clean_reference(7);
  EXPECT_EQ(state_values(model), reference_states);
  EXPECT_TRUE(read_whole_file_bytes(output_file) == read_whole_file_bytes(reference_file));
}

TEST_F(FailingRunTest, ABadDriverRecordEndsTheRunWithItsFileAndLine) {
  // Day 9's record (line 11) is spoiled. The lookup reads one record ahead: it
  // meets record 9 when it looks up the drivers for day 8.
  const std::string good = read_whole_file_bytes(drivers_file);
  std::vector<std::string> lines = testing::split_lines(good);
  ASSERT_GT(lines.size(), 11u);
  lines[10].replace(lines[10].find(' ', 30) + 1, 6, "1.2.3 ");
  std::string spoiled;
  for (const std::string& line : lines) spoiled += line + "\r\n";
  testing::write_bytes(drivers_file, spoiled);

  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  const std::string& message = observer.failures[0];
  EXPECT_EQ(message.rfind(drivers_file + ":11: Invalid numeric input: expected driver", 0), 0u)
      << message;
  EXPECT_NE(message.find("of record 9, found \"1.2.3\""), std::string::npos) << message;
  EXPECT_EQ(state.present_time, 8.0);

  testing::write_bytes(drivers_file, good);
  clean_reference(7);
  EXPECT_EQ(state_values(model), reference_states);
  EXPECT_TRUE(read_whole_file_bytes(output_file) == read_whole_file_bytes(reference_file));
}

TEST_F(FailingRunTest, ADriverFileWithBadFirstRecordKeepsThePreviousOutput) {
  write_previous_output();
  testing::write_bytes(drivers_file, "Time\r\ndays\r\n1 2 x\r\n");
  const Model before = model;
  EXPECT_EQ(run(), RunOutcome::kFailed);
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_EQ(observer.failures[0].rfind(drivers_file + ":3: Invalid numeric input", 0), 0u)
      << observer.failures[0];
  EXPECT_EQ(read_whole_file_bytes(output_file), kPreviousOutput);
  EXPECT_EQ(state_values(model), state_values(before));
}

TEST_F(FailingRunTest, AFullDiskDuringTheRunKeepsThePreviousOutput) {
  clean_reference(29);
  const std::vector<std::string> lines =
      testing::split_lines(read_whole_file_bytes(reference_file));
  ASSERT_EQ(lines.size(), 31u);
  const std::size_t header = lines[0].size() + lines[1].size() + 4;
  const std::size_t record = lines[2].size() + 2;
  write_previous_output();
  {
    // Room for the header and 17 and a half records.
    testing::FileSizeLimit limit(header + 17 * record + record / 2);
    EXPECT_EQ(run(), RunOutcome::kFailed);
  }
  ASSERT_EQ(observer.failures.size(), 1u);
  EXPECT_EQ(observer.failures[0], output_file + ": Disk full");
  EXPECT_EQ(read_whole_file_bytes(output_file), kPreviousOutput);
}

}  // namespace
}  // namespace vindrel
