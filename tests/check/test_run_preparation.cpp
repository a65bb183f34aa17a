// The run's preparation that every front end calls: the settings its options
// give, continuations taken up out of step, and times that no run could
// follow step by step, which return at once. (The findings themselves, and
// their words in each front end, are tested with the command line.)
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "check/run_preparation.hpp"
#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "run/record_sink.hpp"
#include "run/run.hpp"
#include "summary/annual_summary.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using ::testing::HasSubstr;

class RunPreparationTest : public ::testing::Test {
 protected:
  RunPreparationTest() : model(support::temperate_forest()) {
    model.states[state::Jday].value = 0.0;
    testing::write_daily_drivers(drivers, 1, 800);
  }

  PreparedRun prepare(const RunOptions& options) {
    return prepare_run({model, "", drivers}, options, kCommandLineSpelling);
  }

  std::vector<std::string> texts(const PreparedRun& prepared) {
    std::vector<std::string> out;
    for (const Finding& f : prepared.findings) out.push_back(f.text);
    return out;
  }

  testing::ScratchFolder folder;
  std::string drivers = folder.file("weather.drr");
  Model model;
};

TEST_F(RunPreparationTest, TheOptionsGiveTheSettingsOfTheRun) {
  RunOptions options;
  options.start = 10.0;
  options.stop = 375.0;
  options.step = 0.5;
  PreparedRun plain = prepare(options);
  EXPECT_TRUE(plain.findings.empty()) << ::testing::PrintToString(texts(plain));
  EXPECT_EQ(plain.settings.output_step, 0.5);  // the time step when not given
  EXPECT_EQ(plain.settings.calculation_time, 10.0);
  EXPECT_FALSE(plain.settings.repeat_drivers || plain.settings.reset_states);
  EXPECT_EQ(plain.settings.driver_file, drivers);

  options = RunOptions{};
  options.stop = 731.0;
  options.output_step = 1.0;
  options.repeat_drivers = 366;
  options.reset_every = 100;
  options.reset = "Wr,state#22";
  options.hold = "Chw";
  options.variables = "Cf,summary";
  const PreparedRun special = prepare(options);
  ASSERT_FALSE(special.refused()) << special.findings.front().text;
  EXPECT_TRUE(special.settings.repeat_drivers && special.settings.reset_states);
  EXPECT_EQ(special.settings.repeat_time, 366);
  EXPECT_EQ(special.settings.reset_interval, 100);
  EXPECT_EQ(special.reset, (std::vector<int>{state::Wr, state::Wg}));
  EXPECT_EQ(special.hold, std::vector<int>{state::Chw});
  // Cf, then every column the annual summary reads.
  EXPECT_EQ(special.columns.size(), 1 + summary_input_columns(model.ModelInfo).size());
}

TEST_F(RunPreparationTest, StrictModeRefusesEveryWarningBeforeTheRun) {
  RunOptions options;
  options.stop = 900.0;  // past the driver file's last record
  ASSERT_EQ(prepare(options).findings.size(), 1u);
  EXPECT_FALSE(prepare(options).refused());
  options.strict = true;
  const PreparedRun strict = prepare(options);
  EXPECT_TRUE(strict.refused());
  EXPECT_EQ(strict.usage_mistake(), nullptr);
  EXPECT_THAT(strict.findings[0].text, HasSubstr("the stop time (refused by --strict)"));
}

TEST_F(RunPreparationTest, AContinuationOutOfStepWithItsStatesIsWarnedOf) {
  // States saved at day 500 (day 134 of model year 2).
  model.states[state::Jday].value = 134.0;
  RunOptions options;
  options.start = 500.0;
  options.first_start = 1.0;
  options.stop = 600.0;
  EXPECT_TRUE(prepare(options).findings.empty());
  options.start = 450.0;  // mistyped: day 84 of the year
  options.stop = 550.0;
  EXPECT_THAT(texts(prepare(options)),
              ::testing::ElementsAre(HasSubstr(
                  "the run continues at day 450, day 84 of a model year, from states whose day "
                  "of the year (Jday) is 134")));

  // States a run ended with in memory know their time: a start elsewhere in
  // the year is warned of, with the options to continue.
  RunInputs inputs{model, "", drivers};
  inputs.states_saved_at = 500.0;
  inputs.series_start = 1.0;
  options = RunOptions{};
  options.stop = 20.0;
  const PreparedRun fresh = prepare_run(inputs, options, kPythonSpelling);
  EXPECT_THAT(
      texts(fresh),
      ::testing::Contains(HasSubstr("to continue that run, start at 500 with first_start 1")));
}

TEST_F(RunPreparationTest, TimesNoRunCouldFollowReturnAtOnce) {
  RunOptions options;
  options.stop = 800.0;
  options.step = 1e-300;
  ASSERT_NE(prepare(options).usage_mistake(), nullptr);
  options.step = 1.0;
  options.start = 1e17;
  options.stop = 2e17;
  EXPECT_THAT(prepare(options).usage_mistake()->text, HasSubstr("--start: expected a time within"));
  // Steps too many to count before the run: the checks estimate, the run is
  // refused for its drivers' end and nothing loops.
  options.start = 1.0;
  options.stop = 1e15;
  options.first_start = std::nullopt;
  EXPECT_FALSE(prepare(options).refused());
  options.start = 1e14;
  options.stop = 1e14 + 10.0;
  options.first_start = 1.0;
  EXPECT_NO_FATAL_FAILURE(prepare(options));

  // The run itself refuses a step that does not move the time.
  RunSettings settings;
  settings.start_time = 1.0;
  settings.stop_time = 2.0;
  settings.time_step = 1e-300;
  settings.driver_file = drivers;
  NullSink none;
  const RunResult result = vindrel::Run(model, settings, none);
  EXPECT_EQ(result.outcome, RunOutcome::kFailed);
  EXPECT_EQ(result.failure_message(), "The simulation time step is too small to advance the time.");
}

}  // namespace
}  // namespace vindrel
