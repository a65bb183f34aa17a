// The example stand's files are what their recipe makes: the driver file is
// the seeded weather of make-example.sh and the parameter file is written from
// the commented list of values, byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::run_cli;

const std::string kExamples = std::string(VINDREL_SOURCE_DIR) + "/examples/";

TEST(ExampleFiles, DriverFileIsTheSeededWeatherOfTheRecipe) {
  testing::ScratchFolder folder;
  const std::string drr = folder.file("example.drr");
  const auto result = run_cli(
      "weather --years 30 --latitude 42.5 --seed 47 --start 1 --co2 360 --co2-rise 2 --nh4 0.35 "
      "--no3 0.40 --out '" +
      drr + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string committed = read_whole_file_bytes(kExamples + "vindrel-example.drr");
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(read_whole_file_bytes(drr) == committed)
      << "examples/vindrel-example.drr differs from the output of make-example.sh";
}

TEST(ExampleFiles, ParameterFileIsWrittenFromTheListOfValues) {
  testing::ScratchFolder folder;
  const std::string par = folder.file("example.par");
  const auto result =
      run_cli("par --values '" + kExamples + "vindrel-example.values' --out '" + par + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  const std::string committed = read_whole_file_bytes(kExamples + "vindrel-example.par");
  ASSERT_FALSE(committed.empty());
  EXPECT_TRUE(read_whole_file_bytes(par) == committed)
      << "examples/vindrel-example.par differs from the list vindrel-example.values";
}

}  // namespace
}  // namespace vindrel
