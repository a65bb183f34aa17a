// A deterministic, seeded generator of synthetic daily weather: forcing for the
// example stand, for tests and for users' own experiments. Nothing it makes is
// measured; it reproduces the statistics of a site's monthly climate normals.
//
// What it makes, one record per day:
//   - maximum and minimum air temperature: a smooth seasonal curve fitted to
//     the monthly normals, plus day-to-day anomalies that persist (a
//     first-order autoregressive process) and are correlated between the two;
//     wet days have cooler days and milder nights;
//   - precipitation: wet and dry spells from a two-state Markov chain and
//     amounts from a mixture of two exponentials, scaled to the monthly normals;
//   - shortwave radiation: clear-sky radiation from latitude and day of year,
//     reduced to the monthly normals and further on wet days;
//   - soil temperature: the seasonal curve of the normals plus the air
//     temperature anomaly, damped and lagged (more so under winter snow);
//   - atmospheric CO2 rising linearly;
//   - ammonium and nitrate deposition, part dry (every day) and part wet (in
//     proportion to the day's precipitation);
//   - the litter and soil-nitrogen drivers at -1: the model computes them.
//
// The model's year is 366 days (its annual reset comes when the truncated time
// is a multiple of 366), so the generator's year is 366 days too: a record at
// time t falls on day ((Trunc(t) - 1) mod 366) + 1 of the year, and the
// climate stays in phase with the model's clocks however long the run.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/model_constants.hpp"
#include "core/positions.hpp"

namespace vindrel::weather {

// The generator's year is the model's; the older name stays for its callers.
inline constexpr int kDaysPerModelYear = kModelYearDays;

// The months of a 366-day year (February has 29 days).
inline constexpr std::array<int, 12> kMonthLengths = {31, 29, 31, 30, 31, 30,
                                                      31, 31, 30, 31, 30, 31};

// Monthly climate normals of a site, January to December.
struct MonthlyNormals {
  std::array<double, 12> tmax{};              // mean daily maximum air temperature, oC
  std::array<double, 12> tmin{};              // mean daily minimum air temperature, oC
  std::array<double, 12> precipitation{};     // mm H2O per month
  std::array<double, 12> shortwave{};         // mean daily incident shortwave, MJ m-2 day-1
  std::array<double, 12> soil_temperature{};  // mean soil temperature near 10 cm, oC
};

// The normals of the example stand: a temperate deciduous forest of the
// north-eastern United States near 42.5 degrees north.
MonthlyNormals example_site_normals();

struct WeatherConfig {
  double latitude = 42.5;   // degrees, north positive
  int years = 30;           // model years of 366 days each
  std::uint64_t seed = 1;   // the same seed gives the same weather everywhere
  double start_time = 1.0;  // time of the first record, days; a whole number
  MonthlyNormals normals = example_site_normals();
  double co2_start = 360.0;              // atmospheric CO2 at the first record, ppm
  double co2_rise = 2.0;                 // ppm per model year
  double nh4_deposition = 0.35;          // mean NH4 deposition, g N m-2 yr-1
  double no3_deposition = 0.40;          // mean NO3 deposition, g N m-2 yr-1
  double dry_deposition_fraction = 0.4;  // share of deposition that falls every day
  double wet_after_dry = 0.26;           // probability of a wet day after a dry day
  double wet_after_wet = 0.48;           // probability of a wet day after a wet day
};

// One day of forcing: the record time and the 18 driver values, 1-based in
// the order of the driver table (value[driver::Tamax] is the maximum air
// temperature).
struct DriverDay {
  double time = 0.0;  // days
  std::array<double, driver::kCount + 1> value{};
};

// Throws std::invalid_argument with a plain message when the configuration
// cannot make weather (no years, a latitude outside -90..90, a start time that
// is not a whole number, a minimum above a maximum, negative amounts, or
// probabilities outside 0..1).
void check_config(const WeatherConfig& config);

// Day of the model's 366-day year (1 to 366) on which a record at `time` falls.
using vindrel::day_of_model_year;

// Potential (top-of-atmosphere) daily shortwave radiation, MJ m-2 day-1, at a
// latitude in degrees on a day of the model's year.
double extraterrestrial_radiation(double latitude, int day_of_year);

// The whole series: config.years * 366 records at times start_time,
// start_time + 1, ..., handed to `sink` one day at a time (so a long series
// needs no memory), or collected.
void generate_weather(const WeatherConfig& config,
                      const std::function<void(const DriverDay&)>& sink);
std::vector<DriverDay> generate_weather(const WeatherConfig& config);

// Writes a series as a driver file through the program's driver file writer;
// the second form generates and writes day by day. A failure leaves any
// previous file of that name as it was.
void write_weather_file(const std::string& file_name, const std::vector<DriverDay>& days);
void write_weather_file(const std::string& file_name, const WeatherConfig& config);

}  // namespace vindrel::weather
