// vindrel-cli spinup: the states saved only when the stand settled (or under
// --save-best), a report per cycle, and the continuation it names.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"

namespace vindrel {
namespace {

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";

TEST(CliSpinupTest, AStandThatDoesNotSettleExitsOneAndSavesOnlyTheBestWhenAsked) {
  testing::ScratchFolder folder;
  const std::string saved = folder.file("spun.par");
  const std::string best = folder.file("best.par");
  const std::string report = folder.file("report.csv");
  const std::string inputs = "spinup --par '" + kExamples + "vindrel-example.par' --drivers '" +
                             kExamples + "vindrel-example.drr' --repeat-drivers 10980 --quiet ";
  const auto short_of_time = testing::run_cli(inputs + "--max-years 90 --save-states '" + saved +
                                              "' --report '" + report + "'");
  EXPECT_EQ(short_of_time.exit_code, 1);
  EXPECT_NE(short_of_time.err.find("vindrel-cli: error: the stand did not settle: the drift did "
                                   "not fall to 1E-6 within 90 simulated years"),
            std::string::npos)
      << short_of_time.err;
  EXPECT_FALSE(std::filesystem::exists(saved));
  // The report: a header and one line per cycle after the first.
  EXPECT_EQ(
      testing::read_whole_file(report).rfind(
          "cycle,simulated_years,accelerated,carbon_drift,nitrogen_drift,water_drift\n1,60,0,", 0),
      0u);

  const auto with_best = testing::run_cli(inputs + "--max-years 90 --save-best '" + best + "'");
  EXPECT_EQ(with_best.exit_code, 1);
  EXPECT_TRUE(std::filesystem::exists(best));
  EXPECT_NE(with_best.err.find("--start 10981 --first-start 1 --repeat-drivers 10980"),
            std::string::npos);
  // Without repeated weather there is no cycle to settle on.
  EXPECT_EQ(testing::run_cli("spinup --par '" + kExamples + "vindrel-example.par' --drivers '" +
                             kExamples + "vindrel-example.drr'")
                .exit_code,
            2);
}

}  // namespace
}  // namespace vindrel
