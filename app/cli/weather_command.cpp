// vindrel-cli weather: a synthetic driver file from the seeded weather generator.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

#include "app/cli/commands.hpp"
#include "app/cli/input_messages.hpp"
#include "fileio/number_format.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::cli {
namespace {

struct WeatherOptions {
  weather::WeatherConfig config;
  std::string seed = "1";  // read here: a number type would take "-1" as 2^64 - 1
  std::string out;
};

// The driver file keeps 13 significant digits of a record's time: below
// this, every day of the file has a time of its own.
constexpr double kLastDistinctDay = 9999999999999.0;

// Refuses options that would make records that are not finite numbers or
// that share a time, naming the option.
void check_options(const weather::WeatherConfig& c) {
  constexpr int kMostYears = 10000;
  if (c.years < 1 || c.years > kMostYears) {
    throw UsageError("--years: expected a whole number of model years from 1 to " +
                     std::to_string(kMostYears) + ", found " + std::to_string(c.years));
  }
  const double days = static_cast<double>(c.years) * weather::kDaysPerModelYear;
  const double latest_start = kLastDistinctDay + 1.0 - days;
  if (!(c.start_time >= 0.0 && c.start_time <= latest_start) ||
      c.start_time != std::floor(c.start_time)) {
    throw UsageError("--start: expected a whole number of days from 0 to " +
                     shortest_decimal_text(latest_start) +
                     " (the driver file gives each record's time 13 digits), found " +
                     shortest_decimal_text(c.start_time));
  }
  if (!std::isfinite(c.latitude) || c.latitude > 90.0) {
    throw UsageError("--latitude: expected degrees north from 0 to 90, found " +
                     shortest_decimal_text(c.latitude));
  }
  if (!(std::isfinite(c.co2_start) && c.co2_start > 0.0)) {
    throw UsageError("--co2: expected a finite number of ppm above 0, found " +
                     shortest_decimal_text(c.co2_start));
  }
  const double last_co2 = c.co2_start + c.co2_rise * static_cast<double>(c.years);
  if (!std::isfinite(c.co2_rise) || !(std::isfinite(last_co2) && last_co2 > 0.0)) {
    throw UsageError(
        "--co2-rise: expected a finite number of ppm per model year that keeps CO2 "
        "above 0 and finite, found " +
        shortest_decimal_text(c.co2_rise) + " (CO2 would reach " + shortest_decimal_text(last_co2) +
        " ppm)");
  }
  for (const auto& [value, option] :
       {std::pair{c.nh4_deposition, "--nh4"}, std::pair{c.no3_deposition, "--no3"}}) {
    if (!(std::isfinite(value) && value >= 0.0)) {
      throw UsageError(std::string(option) +
                       ": expected a finite number of g N m-2 yr-1, 0 or more, found " +
                       shortest_decimal_text(value));
    }
  }
}

void make_weather(WeatherOptions& options) {
  weather::WeatherConfig& c = options.config;
  const std::string& seed = options.seed;
  const auto [end, error] = std::from_chars(seed.data(), seed.data() + seed.size(), c.seed);
  if (seed.empty() || error != std::errc() || end != seed.data() + seed.size()) {
    throw UsageError(
        "--seed: expected a whole number from 0 to 18446744073709551615, "
        "found \"" +
        seed + "\"");
  }
  // The generator's monthly climate is a northern one, while its sunshine
  // follows the latitude: south of the equator the two would be half a year
  // apart.
  if (c.latitude < 0.0) {
    throw UsageError(
        "--latitude: the generator makes northern weather only (0 to 90 degrees): its monthly "
        "climate is that of the example stand, whose summer would meet the southern winter's "
        "sunshine");
  }
  check_options(c);
  weather::write_weather_file(options.out, c);  // day by day: any length fits in memory
  const long long records = static_cast<long long>(c.years) * weather::kDaysPerModelYear;
  std::cout << "Wrote " << records << " daily records (" << c.years << " model years of "
            << weather::kDaysPerModelYear << " days, times " << c.start_time << " to "
            << c.start_time + static_cast<double>(records - 1) << ") to " << options.out << '\n';
}

}  // namespace

void add_weather_command(CLI::App& app) {
  auto* cmd = app.add_subcommand(
      "weather",
      "Write a driver file of synthetic daily weather (seeded, reproducible; not measured data). "
      "Years are 366 days long, like the model's year, so the seasons stay in phase with its "
      "annual reset. The monthly climate is that of the example stand near 42.5 N.");
  auto options = std::make_shared<WeatherOptions>();
  weather::WeatherConfig& c = options->config;
  cmd->add_option("--out", options->out, "Driver file to write (.drr)")->required();
  cmd->add_option("--years", c.years, "Number of 366-day model years")->capture_default_str();
  cmd->add_option("--latitude", c.latitude,
                  "Latitude in degrees north, 0 to 90 (sets the clear-sky radiation; southern "
                  "latitudes are refused, since the monthly climate is a northern one)")
      ->capture_default_str();
  cmd->add_option("--seed", options->seed,
                  "Seed of the random numbers; the same seed gives the same "
                  "file on every platform")
      ->capture_default_str();
  cmd->add_option("--start", c.start_time, "Time of the first record, days (a whole number)")
      ->capture_default_str();
  cmd->add_option("--co2", c.co2_start, "Atmospheric CO2 at the first record, ppm")
      ->capture_default_str();
  cmd->add_option("--co2-rise", c.co2_rise, "CO2 rise, ppm per model year")->capture_default_str();
  cmd->add_option("--nh4", c.nh4_deposition, "Mean NH4 deposition, g N m-2 yr-1")
      ->capture_default_str();
  cmd->add_option("--no3", c.no3_deposition, "Mean NO3 deposition, g N m-2 yr-1")
      ->capture_default_str();
  cmd->callback([options] { make_weather(*options); });
}

}  // namespace vindrel::cli
