#include "weather/weather_generator.hpp"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <stdexcept>

#include "weather/portable_random.hpp"
#include "weather/seasonal_curve.hpp"

namespace vindrel::weather {
namespace {

// Day-to-day persistence of the temperature anomalies (lag-one correlation)
// and the correlation between the maximum and minimum anomalies.
constexpr double kTmaxPersistence = 0.65;
constexpr double kTminPersistence = 0.60;
constexpr double kTmaxTminCorrelation = 0.6;
// Standard deviation of the daily anomalies, oC: larger in winter.
constexpr double kAnomalySpreadMean = 3.8;
constexpr double kAnomalySpreadSeason = 1.0;
constexpr int kColdestDay = 15;  // day of the year of the largest spread
// Wet days are cooler by day and milder by night, oC.
constexpr double kWetDayTmaxDrop = 2.0;
constexpr double kWetDayTminRise = 1.0;
// The smallest difference kept between the maximum and the minimum, oC.
constexpr double kMinimumDailyRange = 0.5;

// Wet-day amounts: a mixture of a small and a large exponential with the same
// overall mean; the large one gives the occasional storm.
constexpr double kSmallAmountShare = 0.6;
constexpr double kSmallAmountScale = 0.5;  // mean of the small ones / overall mean

// Clear-sky radiation as a share of the top-of-atmosphere radiation, the
// reduction on wet days, and the spread of the day-to-day cloudiness noise.
constexpr double kClearSkyShare = 0.75;
constexpr double kWetDayRadiation = 0.5;
constexpr double kRadiationNoise = 0.1;

// Soil temperature: share of the air anomaly felt in the soil (bare of snow /
// under the winter snow, when the normal soil temperature is below the
// threshold) and the daily relaxation rate that makes the lag.
constexpr double kSoilAnomalyGain = 0.6;
constexpr double kSoilAnomalyGainUnderSnow = 0.2;
constexpr double kSnowSoilThreshold = 3.0;  // oC
constexpr double kSoilRelaxation = 0.25;    // day-1

constexpr double kSolarConstant = 0.0820;  // MJ m-2 min-1

// Stationary share of wet days of the two-state Markov chain.
double wet_share(const WeatherConfig& c) {
  return c.wet_after_dry / (1.0 - c.wet_after_wet + c.wet_after_dry);
}

double declination(int day_of_year) {
  // The same declination as the model's day length.
  return 0.40934952276275006 * std::cos(2.0 * std::numbers::pi * (day_of_year - 171.25) / 365.25);
}

bool finite_all(const std::array<double, 12>& values) {
  return std::all_of(values.begin(), values.end(), [](double v) { return std::isfinite(v); });
}

}  // namespace

MonthlyNormals example_site_normals() {
  MonthlyNormals n;
  n.tmax = {-0.6, 0.9, 6.1, 13.5, 19.5, 23.6, 26.6, 25.8, 21.9, 14.7, 9.0, 2.4};
  n.tmin = {-9.7, -9.1, -4.3, 1.5, 7.4, 12.4, 15.5, 14.9, 10.9, 4.8, -0.3, -5.8};
  n.precipitation = {70, 77, 99, 90, 93, 122, 112, 105, 114, 121, 83, 102};
  n.shortwave = {5.9, 8.8, 12.6, 16.4, 18.1, 19.5, 20.5, 18.3, 14.6, 9.3, 6.5, 4.7};
  n.soil_temperature = {1.3, 0.8, 2.0, 7.8, 13.7, 18.9, 22.0, 21.9, 18.8, 13.2, 7.4, 3.0};
  return n;
}

void check_config(const WeatherConfig& c) {
  if (c.years < 1 || c.years > 10000) {
    throw std::invalid_argument("the number of years must be between 1 and 10000");
  }
  if (!(c.latitude >= -90.0 && c.latitude <= 90.0)) {
    throw std::invalid_argument("the latitude must be between -90 and 90 degrees");
  }
  if (!std::isfinite(c.start_time) || c.start_time < 0.0 ||
      c.start_time != std::trunc(c.start_time)) {
    throw std::invalid_argument("the start time must be a whole number of days, 0 or more");
  }
  const MonthlyNormals& n = c.normals;
  if (!finite_all(n.tmax) || !finite_all(n.tmin) || !finite_all(n.precipitation) ||
      !finite_all(n.shortwave) || !finite_all(n.soil_temperature)) {
    throw std::invalid_argument("every monthly normal must be a number");
  }
  for (std::size_t m = 0; m < 12; ++m) {
    if (n.tmin[m] > n.tmax[m]) {
      throw std::invalid_argument("a monthly minimum temperature is above its maximum");
    }
    if (n.precipitation[m] < 0.0 || n.shortwave[m] < 0.0) {
      throw std::invalid_argument("monthly precipitation and radiation cannot be negative");
    }
  }
  const auto probability = [](double p) { return p > 0.0 && p < 1.0; };
  if (!probability(c.wet_after_dry) || !probability(c.wet_after_wet)) {
    throw std::invalid_argument("wet-day probabilities must lie strictly between 0 and 1");
  }
  if (!(c.nh4_deposition >= 0.0) || !(c.no3_deposition >= 0.0) ||
      !(c.dry_deposition_fraction >= 0.0 && c.dry_deposition_fraction <= 1.0)) {
    throw std::invalid_argument("deposition must be 0 or more, its dry share between 0 and 1");
  }
  if (!(c.co2_start > 0.0) || !std::isfinite(c.co2_rise) ||
      !(c.co2_start + c.co2_rise * c.years > 0.0)) {
    throw std::invalid_argument("atmospheric CO2 must stay above 0 ppm");
  }
}

double extraterrestrial_radiation(double latitude, int day_of_year) {
  const double phi = latitude * std::numbers::pi / 180.0;
  const double dec = declination(day_of_year);
  const double distance = 1.0 + 0.033 * std::cos(2.0 * std::numbers::pi * day_of_year / 365.25);
  const double x = std::clamp(-std::tan(phi) * std::tan(dec), -1.0, 1.0);
  const double sunset = std::acos(x);  // hour angle of sunset, radians
  const double ra =
      24.0 * 60.0 / std::numbers::pi * kSolarConstant * distance *
      (sunset * std::sin(phi) * std::sin(dec) + std::cos(phi) * std::cos(dec) * std::sin(sunset));
  return std::max(ra, 0.0);
}

std::vector<DriverDay> generate_weather(const WeatherConfig& config) {
  std::vector<DriverDay> days;
  days.reserve(static_cast<std::size_t>(config.years) * kModelYearDays);
  generate_weather(config, [&days](const DriverDay& day) { days.push_back(day); });
  return days;
}

void generate_weather(const WeatherConfig& c, const std::function<void(const DriverDay&)>& sink) {
  check_config(c);
  const MonthlyNormals& n = c.normals;
  const double wet = wet_share(c);

  const SeasonalCurve tmax_curve(n.tmax);
  const SeasonalCurve tmin_curve(n.tmin);
  const SeasonalCurve soil_curve(n.soil_temperature);

  // Sky transmission by month: the normal radiation over the month's mean
  // clear-sky radiation, allowing for the darker wet days.
  std::array<double, 12> transmission{};
  std::array<double, 12> clear_sky_mean{};
  for (int d = 1; d <= kModelYearDays; ++d) {
    const auto m = static_cast<std::size_t>(month_of_day(d));
    clear_sky_mean[m] +=
        kClearSkyShare * extraterrestrial_radiation(c.latitude, d) / kMonthLengths[m];
  }
  for (std::size_t m = 0; m < 12; ++m) {
    const double expected_clear = clear_sky_mean[m] * (1.0 - wet * (1.0 - kWetDayRadiation));
    transmission[m] = expected_clear > 0.0 ? std::min(n.shortwave[m] / expected_clear, 1.0) : 0.0;
  }
  const SeasonalCurve transmission_curve(transmission);

  double annual_precipitation = 0.0;
  for (double p : n.precipitation) annual_precipitation += p;

  PortableRandom random(c.seed);
  const int record_count = c.years * kModelYearDays;

  bool was_wet = false;
  double tmax_anomaly = 0.0;  // in standard deviations
  double tmin_anomaly = 0.0;
  double soil_anomaly = 0.0;  // oC
  // One year before the first record lets the spells and anomalies settle.
  for (int i = -kModelYearDays; i < record_count; ++i) {
    const double time = c.start_time + i;
    const int doy = day_of_model_year(time);
    const auto month = static_cast<std::size_t>(month_of_day(doy));

    // The same draws every day, wet or dry, so the stream never shifts.
    const double u_occurrence = random.uniform();
    const double z_tmax = random.normal();
    const double z_tmin = random.normal();
    const double u_mixture = random.uniform();
    const double z_radiation = random.normal();
    const double mean_amount =
        n.precipitation[month] / (kMonthLengths[month] * wet);  // mm per wet day
    const bool small = u_mixture < kSmallAmountShare;
    const double amount_mean = small ? kSmallAmountScale * mean_amount
                                     : mean_amount * (1.0 - kSmallAmountShare * kSmallAmountScale) /
                                           (1.0 - kSmallAmountShare);
    const double amount = random.exponential(amount_mean);

    const bool is_wet = u_occurrence < (was_wet ? c.wet_after_wet : c.wet_after_dry);
    was_wet = is_wet;
    const double precipitation = is_wet ? amount : 0.0;

    tmax_anomaly = kTmaxPersistence * tmax_anomaly +
                   std::sqrt(1.0 - kTmaxPersistence * kTmaxPersistence) * z_tmax;
    const double tmin_shock = kTmaxTminCorrelation * z_tmax +
                              std::sqrt(1.0 - kTmaxTminCorrelation * kTmaxTminCorrelation) * z_tmin;
    tmin_anomaly = kTminPersistence * tmin_anomaly +
                   std::sqrt(1.0 - kTminPersistence * kTminPersistence) * tmin_shock;
    const double spread =
        kAnomalySpreadMean + kAnomalySpreadSeason * std::cos(2.0 * std::numbers::pi *
                                                             (doy - kColdestDay) / kModelYearDays);
    const double tmax_normal = tmax_curve.at(doy);
    const double tmin_normal = tmin_curve.at(doy);
    const double tmax_shift = is_wet ? -kWetDayTmaxDrop * (1.0 - wet) : kWetDayTmaxDrop * wet;
    const double tmin_shift = is_wet ? kWetDayTminRise * (1.0 - wet) : -kWetDayTminRise * wet;
    const double tmax = tmax_normal + tmax_shift + spread * tmax_anomaly;
    const double tmin =
        std::min(tmin_normal + tmin_shift + spread * tmin_anomaly, tmax - kMinimumDailyRange);

    const double air_anomaly = 0.5 * (tmax + tmin) - 0.5 * (tmax_normal + tmin_normal);
    const double soil_normal = soil_curve.at(doy);
    const double gain =
        soil_normal < kSnowSoilThreshold ? kSoilAnomalyGainUnderSnow : kSoilAnomalyGain;
    soil_anomaly += kSoilRelaxation * (gain * air_anomaly - soil_anomaly);

    const double clear_sky = kClearSkyShare * extraterrestrial_radiation(c.latitude, doy);
    const double noise = std::clamp(1.0 + kRadiationNoise * z_radiation, 0.6, 1.4);
    const double shortwave =
        std::min(clear_sky * transmission_curve.at(doy) * (is_wet ? kWetDayRadiation : 1.0) * noise,
                 clear_sky);

    if (i < 0) continue;

    const double wet_deposition = annual_precipitation > 0.0
                                      ? precipitation / annual_precipitation
                                      : 0.0;  // share of the year's wet deposition
    const double dry_share = c.dry_deposition_fraction / kModelYearDays;
    const double wet_share_of_year = (1.0 - c.dry_deposition_fraction) * wet_deposition;

    DriverDay day;
    day.time = time;
    day.value[driver::Ca] = c.co2_start + c.co2_rise * i / kModelYearDays;
    day.value[driver::Tamax] = tmax;
    day.value[driver::Tamin] = tmin;
    day.value[driver::Ts] = soil_normal + soil_anomaly;
    day.value[driver::Ppt] = precipitation;
    day.value[driver::II] = std::max(shortwave, 0.0);
    day.value[driver::DNH4] = c.nh4_deposition * (dry_share + wet_share_of_year);
    day.value[driver::DNO3] = c.no3_deposition * (dry_share + wet_share_of_year);
    for (int k = driver::DlambdaCF; k <= driver::DNno3; ++k) {
      day.value[static_cast<std::size_t>(k)] = kNotPrescribed;  // the model computes it
    }
    sink(day);
  }
}

}  // namespace vindrel::weather
