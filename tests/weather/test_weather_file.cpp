// A generated series written as a driver file reads back through the model's
// own driver lookup, day by day, in phase with the model's year.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "core/model.hpp"
#include "core/positions.hpp"
#include "fileio/driver_file.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::weather {
namespace {

std::string temporary_path(const std::string& name) {
  return (std::filesystem::temp_directory_path() / name).string();
}

TEST(WeatherFile, WrittenSeriesReadsBackThroughTheDriverLookup) {
  WeatherConfig config;
  config.years = 2;
  config.seed = 9;
  const auto days = generate_weather(config);
  const std::string path = temporary_path("vindrel_weather_round_trip.drr");
  write_weather_file(path, days);

  Model model = make_model();
  DriverLookup lookup;
  ASSERT_TRUE(lookup.open(path, model));
  const double stop = days.back().time + 1.0;
  for (const DriverDay& day : days) {
    lookup.GetDrivers(model.drivers, day.time, stop);
    for (int k = 1; k <= driver::kCount; ++k) {
      const double expected = day.value[static_cast<std::size_t>(k)];
      // The file keeps 13 significant digits.
      ASSERT_NEAR(model.drivers[static_cast<std::size_t>(k)].value, expected,
                  1e-12 * std::fabs(expected) + 1e-300)
          << "time " << day.time << " driver " << k;
    }
  }
  // Half a day into a record: still that day's values (steps, not interpolation).
  lookup.rewind();
  lookup.GetDrivers(model.drivers, 400.5, stop);
  EXPECT_NEAR(model.drivers[driver::Tamax].value, days[399].value[driver::Tamax], 1e-9);
  lookup.close();
  std::remove(path.c_str());
}

std::string file_bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

TEST(WeatherFile, WritingDayByDayGivesTheSameBytesAsWritingTheSeries) {
  WeatherConfig config;
  config.years = 2;
  config.seed = 21;
  const std::string whole = temporary_path("vindrel_weather_whole.drr");
  const std::string streamed = temporary_path("vindrel_weather_streamed.drr");
  write_weather_file(whole, generate_weather(config));
  write_weather_file(streamed, config);
  const std::string bytes = file_bytes(whole);
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 2 + 2 * 366);  // header and records
  EXPECT_TRUE(bytes == file_bytes(streamed));
  std::remove(whole.c_str());
  std::remove(streamed.c_str());
}

TEST(WeatherFile, ASettingThatCannotMakeWeatherWritesNoFile) {
  WeatherConfig config;
  config.years = 0;
  const std::string path = temporary_path("vindrel_weather_refused.drr");
  std::remove(path.c_str());
  EXPECT_THROW(write_weather_file(path, config), std::invalid_argument);
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(WeatherFile, RecordCountAndTimesOfAThirtyYearFile) {
  WeatherConfig config;  // the example's 30 years
  const auto days = generate_weather(config);
  ASSERT_EQ(days.size(), 30U * 366U);
  // A run from 1 to 1 + 30 * 366 takes its last step from 10980, the last record.
  EXPECT_EQ(days.back().time, 10980.0);
}

}  // namespace
}  // namespace vindrel::weather
