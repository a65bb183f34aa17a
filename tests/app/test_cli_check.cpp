// vindrel-cli check, and the same findings from run: refusals that stop a
// run before it writes anything, warnings that let it go on, exit statuses,
// and a spin-up continued from its saved states.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <string>

#include "core/positions.hpp"
#include "fileio/param_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"
#include "tests/support/temperate_forest.hpp"

namespace vindrel {
namespace {

using testing::run_cli;

class CliCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteParamFile(par, support::temperate_forest());
    testing::write_daily_drivers(drr, 1, 400);
  }

  std::string inputs(const std::string& parameters) const {
    return "--par '" + parameters + "' --drivers '" + drr + "'";
  }
  std::string inputs() const { return inputs(par); }

  testing::ScratchFolder folder;
  const std::string par = folder.file("forest.par");
  const std::string drr = folder.file("weather.drr");
  const std::string out = folder.file("run.out");
};

TEST_F(CliCheckTest, SaysNothingAndExitsZeroForSoundInputs) {
  const auto result = run_cli("check " + inputs() + " --start 1 --stop 366");
  EXPECT_EQ(result.exit_code, 0) << result.err;
  EXPECT_EQ(result.out, "no findings\n");
}

TEST_F(CliCheckTest, ARefusalExitsOneAndStopsTheRunBeforeItWritesAnything) {
  const std::string settings = " --start 366 --stop 400 --repeat-drivers 366";
  const auto check = run_cli("check " + inputs() + settings);
  EXPECT_EQ(check.exit_code, 1);
  const std::string refusal =
      "Repeated drivers return to the start time once the driver time passes the repeat time; "
      "with the start at day 366 and the repeat time at day 366, every step would return to the "
      "start, and the whole run would see the weather of day 366 alone. Give a repeat time after "
      "the first step; to continue a run on repeated drivers, give the start time of its first "
      "run as the first start time.";
  EXPECT_EQ(check.out, "refused: " + refusal + "\n");
  const auto run = run_cli("run " + inputs() + " --out '" + out + "'" + settings);
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_EQ(run.err, "vindrel-cli: error: " + refusal + "\n");
  EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(CliCheckTest, WarningsExitThreeAndTheRunSaysTheSameAndGoesOn) {
  const auto check = run_cli("check " + inputs() + " --start 1 --stop 410");
  EXPECT_EQ(check.exit_code, 3);
  const std::string ends = drr +
                           ":402: the driver file ends at day 400; its last record holds "
                           "from there to the stop time";
  EXPECT_EQ(check.out, "warning: " + ends + "\n");
  const auto run = run_cli("run " + inputs() + " --out '" + out + "' --start 1 --stop 410");
  EXPECT_EQ(run.exit_code, 0);
  EXPECT_EQ(run.err, "vindrel-cli: warning: " + ends + "\n");
  EXPECT_EQ(testing::record_times(out).size(), 409u);
  // With --strict, a warning refuses the run before anything is written.
  const std::string strict_out = folder.file("strict.out");
  const auto strict =
      run_cli("run " + inputs() + " --out '" + strict_out + "' --start 1 --stop 410 --strict");
  EXPECT_EQ(strict.exit_code, 1);
  EXPECT_EQ(strict.err, "vindrel-cli: error: " + ends + " (refused by --strict)\n");
  EXPECT_FALSE(std::filesystem::exists(strict_out));
}

TEST_F(CliCheckTest, ASpinUpOnRepeatedDriversContinuesFromItsSavedStates) {
  const std::string saved = folder.file("spun-up.par");
  const auto first =
      run_cli("run " + inputs() + " --out '" + out +
              "' --start 1 --stop 900 --repeat-drivers 366 --save-states '" + saved + "'");
  ASSERT_EQ(first.exit_code, 0) << first.err;
  EXPECT_EQ(first.err, "vindrel-cli: " + saved +
                           " holds the states at time 900, day 168 of model year 3; a run "
                           "continues from them with --start 900 --first-start 1\n");
  // The natural command without the first start is refused: the drivers
  // would go back to day 900 at every step.
  const std::string next = folder.file("next.out");
  const auto frozen = run_cli("run " + inputs(saved) + " --out '" + next +
                              "' --start 900 --stop 1000 --repeat-drivers 366");
  EXPECT_EQ(frozen.exit_code, 1);
  EXPECT_FALSE(std::filesystem::exists(next));
  const auto continued = run_cli("run " + inputs(saved) + " --out '" + next +
                                 "' --start 900 --stop 1000 --repeat-drivers 366 --first-start 1");
  ASSERT_EQ(continued.exit_code, 0) << continued.err;
  EXPECT_EQ(continued.err, "");
  EXPECT_EQ(testing::record_times(next).front(), 901.0);
}

TEST_F(CliCheckTest, AFailureCausedByAValueFromAFileNamesTheLine) {
  Model model = support::temperate_forest();
  model.states[state::Cf].value = std::numeric_limits<double>::quiet_NaN();
  WriteParamFile(par, model);
  const auto check = run_cli("check " + inputs() + " --start 1 --stop 20");
  EXPECT_EQ(check.exit_code, 3);
  EXPECT_EQ(
      check.out,
      "warning: " + par + ":2: the value of state 1 (Cf, C: foliar) is Nan, not a finite number\n");
  const auto run = run_cli("run " + inputs() + " --out '" + out + "' --start 1 --stop 20");
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.err.find("\n  from " + par + ":2: state 1 (Cf, C: foliar) is Nan\n"),
            std::string::npos)
      << run.err;
  // eval says the same of its one evaluation.
  const auto eval = run_cli("eval " + inputs() + " --time 3");
  EXPECT_EQ(eval.exit_code, 1);
  EXPECT_NE(eval.err.find("\n  in the evaluation at time 3\n"), std::string::npos) << eval.err;
  EXPECT_NE(eval.err.find("\n  from " + par + ":2: state 1 (Cf, C: foliar) is Nan\n"),
            std::string::npos)
      << eval.err;
}

}  // namespace
}  // namespace vindrel
