// vindrel-cli weather: synthetic driver files, the same bytes for the same
// seed, years of 366 days, and plain errors for settings that cannot work.
#include <gtest/gtest.h>

#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "tests/app/cli_runner.hpp"
#include "tests/run/run_test_support.hpp"

namespace vindrel {
namespace {

using testing::read_whole_file_bytes;
using testing::run_cli;

TEST(CliWeather, WritesOneRecordPerDayOf366DayYears) {
  testing::ScratchFolder folder;
  const std::string drr = folder.file("w.drr");
  const auto result = run_cli("weather --years 2 --seed 3 --out '" + drr + "'");
  ASSERT_EQ(result.exit_code, 0) << result.err;
  EXPECT_NE(result.out.find("732 daily records"), std::string::npos) << result.out;

  Model model = MakeModel();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(drr));
  double time = 0.0;
  int records = 0;
  double last_time = 0.0;
  while (reader.read_record(time, model.ModelInfo.DriverCount, model.drivers)) {
    ++records;
    EXPECT_EQ(time, static_cast<double>(records));
    EXPECT_EQ(model.drivers[driver::DlambdaCF].value, -1.0);
    EXPECT_EQ(model.drivers[driver::DNno3].value, -1.0);
    last_time = time;
  }
  EXPECT_EQ(records, 732);
  EXPECT_EQ(last_time, 732.0);
}

TEST(CliWeather, SameSeedGivesTheSameBytesAndAnotherSeedOtherWeather) {
  testing::ScratchFolder folder;
  const std::string a = folder.file("a.drr"), b = folder.file("b.drr"), c = folder.file("c.drr");
  ASSERT_EQ(run_cli("weather --years 1 --seed 5 --out '" + a + "'").exit_code, 0);
  ASSERT_EQ(run_cli("weather --years 1 --seed 5 --out '" + b + "'").exit_code, 0);
  ASSERT_EQ(run_cli("weather --years 1 --seed 6 --out '" + c + "'").exit_code, 0);
  const std::string bytes_a = read_whole_file_bytes(a);
  EXPECT_FALSE(bytes_a.empty());
  EXPECT_TRUE(bytes_a == read_whole_file_bytes(b));
  EXPECT_FALSE(bytes_a == read_whole_file_bytes(c));
}

TEST(CliWeather, StartTimeShiftsTheRecordsAndKeepsTheirDayOfYear) {
  testing::ScratchFolder folder;
  const std::string drr = folder.file("w.drr");
  ASSERT_EQ(run_cli("weather --years 1 --start 367 --out '" + drr + "'").exit_code, 0);
  Model model = MakeModel();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(drr));
  double time = 0.0;
  ASSERT_TRUE(reader.read_record(time, model.ModelInfo.DriverCount, model.drivers));
  EXPECT_EQ(time, 367.0);
  // Day 1 of a year: winter at 42.5 N.
  EXPECT_LT(model.drivers[driver::Tamin].value, 5.0);
}

TEST(CliWeather, RefusesSettingsThatCannotMakeWeather) {
  testing::ScratchFolder folder;
  const std::string drr = folder.file("w.drr");
  auto result = run_cli("weather --years 0 --out '" + drr + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_EQ(result.err, "vindrel-cli: error: the number of years must be between 1 and 10000\n");
  result = run_cli("weather --latitude 95 --out '" + drr + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("latitude"), std::string::npos);
  result = run_cli("weather --start 1.5 --out '" + drr + "'");
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.err.find("whole number"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(drr));
}

}  // namespace
}  // namespace vindrel
