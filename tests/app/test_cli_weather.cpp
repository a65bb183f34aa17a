// vindrel-cli weather: synthetic driver files, the same bytes for the same
// seed, years of 366 days, and plain errors for settings that cannot work.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

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

  Model model = make_model();
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
  Model model = make_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(drr));
  double time = 0.0;
  ASSERT_TRUE(reader.read_record(time, model.ModelInfo.DriverCount, model.drivers));
  EXPECT_EQ(time, 367.0);
  // Day 1 of a year: winter at 42.5 N.
  EXPECT_LT(model.drivers[driver::Tamin].value, 5.0);
}

// Every refusal names its option, exits 2 as a mistake in the command line
// does, and writes nothing: no record may be infinite or share its time.
TEST(CliWeather, RefusesSettingsThatCannotMakeWeather) {
  testing::ScratchFolder folder;
  const std::string drr = folder.file("w.drr");
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"--years 0", "--years: expected a whole number of model years from 1 to 10000, found 0"},
      {"--latitude 95", "--latitude: expected degrees north from 0 to 90, found 95"},
      {"--latitude nan", "--latitude: expected degrees north from 0 to 90, found Nan"},
      {"--start 1.5",
       "--start: expected a whole number of days from 0 to 9999999989020 (the driver file gives "
       "each record's time 13 digits), found 1.5"},
      {"--start 1e300",
       "--start: expected a whole number of days from 0 to 9999999989020 (the driver file gives "
       "each record's time 13 digits), found 1E300"},
      {"--co2 inf", "--co2: expected a finite number of ppm above 0, found +Inf"},
      {"--co2-rise -20",
       "--co2-rise: expected a finite number of ppm per model year that keeps CO2 above 0 and "
       "finite, found -20 (CO2 would reach -240 ppm)"},
      {"--nh4 nan", "--nh4: expected a finite number of g N m-2 yr-1, 0 or more, found Nan"},
      {"--no3 -1", "--no3: expected a finite number of g N m-2 yr-1, 0 or more, found -1"},
  };
  for (const auto& [options, message] : cases) {
    SCOPED_TRACE(options);
    const auto result = run_cli("weather " + options + " --out '" + drr + "'");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.err, "vindrel-cli: error: " + message + "\n");
    EXPECT_FALSE(std::filesystem::exists(drr));
  }
  // The last start time that fits: the last record at day 9999999999999.
  ASSERT_EQ(run_cli("weather --years 1 --start 9999999999634 --out '" + drr + "'").exit_code, 0);
  Model model = make_model();
  DriverFileReader reader;
  ASSERT_TRUE(reader.open(drr));
  double time = 0.0;
  double previous = 0.0;
  int records = 0;
  while (reader.read_record(time, model.ModelInfo.DriverCount, model.drivers)) {
    if (records > 0) {
      EXPECT_EQ(time, previous + 1.0);
    }
    previous = time;
    ++records;
  }
  EXPECT_EQ(records, 366);
  EXPECT_EQ(previous, 9999999999999.0);
}

}  // namespace
}  // namespace vindrel
