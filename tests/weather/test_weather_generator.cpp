// The synthetic weather: determinism, the model's 366-day year, and the
// statistics of the site's climate that the series must reproduce.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "core/positions.hpp"
#include "weather/seasonal_curve.hpp"
#include "weather/weather_generator.hpp"

namespace vindrel::weather {
namespace {

constexpr std::size_t kYear = kModelYearDays;

// One 30-year series of the example site, made once for the whole suite.
const std::vector<DriverDay>& example_series() {
  static const std::vector<DriverDay> days = generate_weather(WeatherConfig{});
  return days;
}

double mean_air(const DriverDay& d) {
  return 0.5 * (d.value[driver::Tamax] + d.value[driver::Tamin]);
}

struct MonthlyMeans {
  std::array<double, 12> tmax{}, tmin{}, soil{}, shortwave{}, precipitation_per_year{};
};

MonthlyMeans monthly_means(const std::vector<DriverDay>& days) {
  MonthlyMeans means;
  std::array<int, 12> count{};
  for (const DriverDay& d : days) {
    const auto m = static_cast<std::size_t>(month_of_day(day_of_model_year(d.time)));
    means.tmax[m] += d.value[driver::Tamax];
    means.tmin[m] += d.value[driver::Tamin];
    means.soil[m] += d.value[driver::Ts];
    means.shortwave[m] += d.value[driver::II];
    means.precipitation_per_year[m] += d.value[driver::Ppt];
    ++count[m];
  }
  const double years = static_cast<double>(days.size()) / kYear;
  for (std::size_t m = 0; m < 12; ++m) {
    means.tmax[m] /= count[m];
    means.tmin[m] /= count[m];
    means.soil[m] /= count[m];
    means.shortwave[m] /= count[m];
    means.precipitation_per_year[m] /= years;
  }
  return means;
}

double correlation(const std::vector<double>& a, const std::vector<double>& b) {
  double ma = 0.0, mb = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    ma += a[i];
    mb += b[i];
  }
  ma /= static_cast<double>(a.size());
  mb /= static_cast<double>(b.size());
  double sab = 0.0, saa = 0.0, sbb = 0.0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    sab += (a[i] - ma) * (b[i] - mb);
    saa += (a[i] - ma) * (a[i] - ma);
    sbb += (b[i] - mb) * (b[i] - mb);
  }
  return sab / std::sqrt(saa * sbb);
}

TEST(WeatherDeterminism, SameSeedGivesIdenticalSeries) {
  WeatherConfig config;
  config.years = 2;
  config.seed = 42;
  const auto first = generate_weather(config);
  const auto second = generate_weather(config);
  ASSERT_EQ(first.size(), second.size());
  for (std::size_t i = 0; i < first.size(); ++i) {
    EXPECT_EQ(first[i].time, second[i].time);
    for (int k = 1; k <= driver::kCount; ++k) {
      ASSERT_EQ(first[i].value[static_cast<std::size_t>(k)],
                second[i].value[static_cast<std::size_t>(k)])
          << "record " << i << " driver " << k;
    }
  }
}

TEST(WeatherDeterminism, DifferentSeedsGiveDifferentWeather) {
  WeatherConfig config;
  config.years = 1;
  config.seed = 1;
  const auto a = generate_weather(config);
  config.seed = 2;
  const auto b = generate_weather(config);
  int differing_days = 0;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].value[driver::Tamax] != b[i].value[driver::Tamax]) ++differing_days;
  }
  EXPECT_GT(differing_days, 360);
}

TEST(WeatherCalendar, RecordsMakeWhole366DayYearsFromTheStartTime) {
  WeatherConfig config;
  config.years = 3;
  config.start_time = 1.0;
  const auto days = generate_weather(config);
  ASSERT_EQ(days.size(), 3 * kYear);
  for (std::size_t i = 0; i < days.size(); ++i) {
    ASSERT_EQ(days[i].time, 1.0 + static_cast<double>(i));
  }
  EXPECT_EQ(day_of_model_year(days.front().time), 1);
  EXPECT_EQ(day_of_model_year(days[kYear - 1].time), 366);
  EXPECT_EQ(day_of_model_year(days[kYear].time), 1);
  EXPECT_EQ(day_of_model_year(days.back().time), 366);
}

TEST(WeatherCalendar, DayOfYearFollowsTheModelsResetEvery366Days) {
  // The model resets its clocks after the step that ends at a multiple of
  // 366, so time 366 closes a year and time 367 opens the next.
  EXPECT_EQ(day_of_model_year(1.0), 1);
  EXPECT_EQ(day_of_model_year(365.0), 365);
  EXPECT_EQ(day_of_model_year(366.0), 366);
  EXPECT_EQ(day_of_model_year(367.0), 1);
  EXPECT_EQ(day_of_model_year(732.0), 366);
  EXPECT_EQ(day_of_model_year(733.0), 1);
  EXPECT_EQ(day_of_model_year(0.0), 366);
  EXPECT_EQ(day_of_model_year(10980.0), 366);
}

TEST(WeatherCalendar, SeasonsStayInPhaseOverThirtyYears) {
  // The warmest stretch of every year falls in the model's summer: a drifting
  // calendar would move it by a day a year.
  const auto& days = example_series();
  for (std::size_t year = 0; year < 30; ++year) {
    double july = 0.0, january = 0.0;
    for (std::size_t d = 0; d < kYear; ++d) {
      const int doy = static_cast<int>(d) + 1;
      const double t = mean_air(days[year * kYear + d]);
      if (month_of_day(doy) == 6) july += t / 31.0;
      if (month_of_day(doy) == 0) january += t / 31.0;
    }
    EXPECT_GT(july - january, 17.0) << "year " << year + 1;
  }
}

TEST(WeatherClimate, MonthlyTemperaturesFollowTheSiteNormals) {
  const MonthlyMeans means = monthly_means(example_series());
  const MonthlyNormals normals = example_site_normals();
  for (std::size_t m = 0; m < 12; ++m) {
    EXPECT_NEAR(means.tmax[m], normals.tmax[m], 1.0) << "month " << m + 1;
    EXPECT_NEAR(means.tmin[m], normals.tmin[m], 1.0) << "month " << m + 1;
    EXPECT_NEAR(means.soil[m], normals.soil_temperature[m], 1.0) << "month " << m + 1;
  }
}

TEST(WeatherClimate, MonthlyRadiationFollowsTheSiteNormals) {
  const MonthlyMeans means = monthly_means(example_series());
  const MonthlyNormals normals = example_site_normals();
  for (std::size_t m = 0; m < 12; ++m) {
    EXPECT_NEAR(means.shortwave[m], normals.shortwave[m], 0.08 * normals.shortwave[m])
        << "month " << m + 1;
  }
}

TEST(WeatherClimate, PrecipitationTotalsMatchTheNormalsAndVaryFromYearToYear) {
  const auto& days = example_series();
  const MonthlyNormals normals = example_site_normals();
  const MonthlyMeans means = monthly_means(days);
  double normal_total = 0.0, mean_total = 0.0;
  for (std::size_t m = 0; m < 12; ++m) {
    normal_total += normals.precipitation[m];
    mean_total += means.precipitation_per_year[m];
    // Thirty years of a variable month: a quarter either way.
    EXPECT_NEAR(means.precipitation_per_year[m], normals.precipitation[m],
                0.25 * normals.precipitation[m])
        << "month " << m + 1;
  }
  EXPECT_NEAR(mean_total, normal_total, 0.08 * normal_total);
  double smallest = 1e9, largest = 0.0;
  for (std::size_t year = 0; year < 30; ++year) {
    double total = 0.0;
    for (std::size_t d = 0; d < kYear; ++d) total += days[year * kYear + d].value[driver::Ppt];
    smallest = std::min(smallest, total);
    largest = std::max(largest, total);
  }
  EXPECT_GT(smallest, 600.0);
  EXPECT_LT(largest, 2000.0);
  EXPECT_GT(largest - smallest, 150.0);  // years differ
}

TEST(WeatherClimate, WetAndDrySpellsPersist) {
  const auto& days = example_series();
  int wet = 0, wet_after_wet = 0, wet_before = 0, wet_after_dry = 0, dry_before = 0;
  for (std::size_t i = 1; i < days.size(); ++i) {
    const bool was_wet = days[i - 1].value[driver::Ppt] > 0.0;
    const bool is_wet = days[i].value[driver::Ppt] > 0.0;
    wet += is_wet ? 1 : 0;
    if (was_wet) {
      ++wet_before;
      wet_after_wet += is_wet ? 1 : 0;
    } else {
      ++dry_before;
      wet_after_dry += is_wet ? 1 : 0;
    }
  }
  const double share = static_cast<double>(wet) / static_cast<double>(days.size() - 1);
  EXPECT_NEAR(share, 0.33, 0.03);  // about ten wet days a month
  const double p_ww = static_cast<double>(wet_after_wet) / wet_before;
  const double p_wd = static_cast<double>(wet_after_dry) / dry_before;
  EXPECT_NEAR(p_ww, 0.48, 0.03);
  EXPECT_NEAR(p_wd, 0.26, 0.02);
}

TEST(WeatherClimate, TemperatureAnomaliesPersistFromDayToDay) {
  const auto& days = example_series();
  std::vector<double> today, yesterday;
  const SeasonalCurve normal(example_site_normals().tmax);
  for (std::size_t i = 1; i < days.size(); ++i) {
    today.push_back(days[i].value[driver::Tamax] - normal.at(day_of_model_year(days[i].time)));
    yesterday.push_back(days[i - 1].value[driver::Tamax] -
                        normal.at(day_of_model_year(days[i - 1].time)));
  }
  const double r = correlation(today, yesterday);
  EXPECT_GT(r, 0.5);
  EXPECT_LT(r, 0.8);
}

TEST(WeatherClimate, MinimumNeverExceedsMaximum) {
  for (const DriverDay& d : example_series()) {
    ASSERT_LT(d.value[driver::Tamin], d.value[driver::Tamax]) << "time " << d.time;
  }
}

TEST(WeatherClimate, WintersBringSnowAndSummersDoNot) {
  const auto& days = example_series();
  int winter_snow_days = 0, summer_snow_days = 0;
  for (const DriverDay& d : days) {
    const int month = month_of_day(day_of_model_year(d.time));
    const bool snow = d.value[driver::Ppt] > 0.0 && mean_air(d) < 0.0;
    if (month == 11 || month <= 1) winter_snow_days += snow ? 1 : 0;
    if (month >= 5 && month <= 7) summer_snow_days += snow ? 1 : 0;
  }
  EXPECT_GT(winter_snow_days / 30.0, 10.0);  // more than ten snowy days a winter
  EXPECT_EQ(summer_snow_days, 0);
}

TEST(WeatherClimate, WetDaysAreDarkerThanDryDays) {
  const auto& days = example_series();
  double wet_sum = 0.0, dry_sum = 0.0;
  int wet = 0, dry = 0;
  for (const DriverDay& d : days) {
    if (month_of_day(day_of_model_year(d.time)) != 6) continue;  // July
    if (d.value[driver::Ppt] > 0.0) {
      wet_sum += d.value[driver::II];
      ++wet;
    } else {
      dry_sum += d.value[driver::II];
      ++dry;
    }
  }
  EXPECT_LT(wet_sum / wet, 0.7 * (dry_sum / dry));
}

TEST(WeatherClimate, RadiationNeverExceedsClearSky) {
  for (const DriverDay& d : example_series()) {
    const double top = extraterrestrial_radiation(42.5, day_of_model_year(d.time));
    ASSERT_GE(d.value[driver::II], 0.0);
    ASSERT_LE(d.value[driver::II], 0.75 * top + 1e-12) << "time " << d.time;
  }
}

TEST(WeatherClimate, SoilTemperatureIsDampedAndLaggedBehindTheAir) {
  const auto& days = example_series();
  const MonthlyNormals n = example_site_normals();
  const SeasonalCurve tmax(n.tmax), tmin(n.tmin), soil(n.soil_temperature);
  std::vector<double> air_anomaly, soil_anomaly;
  for (const DriverDay& d : days) {
    const int doy = day_of_model_year(d.time);
    air_anomaly.push_back(mean_air(d) - 0.5 * (tmax.at(doy) + tmin.at(doy)));
    soil_anomaly.push_back(d.value[driver::Ts] - soil.at(doy));
  }
  double air_var = 0.0, soil_var = 0.0;
  for (std::size_t i = 0; i < air_anomaly.size(); ++i) {
    air_var += air_anomaly[i] * air_anomaly[i];
    soil_var += soil_anomaly[i] * soil_anomaly[i];
  }
  EXPECT_LT(soil_var, 0.25 * air_var);  // damped
  // Lagged: the soil follows the air of the days before better than the air
  // of the days after.
  const std::size_t lag = 3;
  std::vector<double> soil_now, air_before, air_after;
  for (std::size_t i = lag; i + lag < air_anomaly.size(); ++i) {
    soil_now.push_back(soil_anomaly[i]);
    air_before.push_back(air_anomaly[i - lag]);
    air_after.push_back(air_anomaly[i + lag]);
  }
  EXPECT_GT(correlation(soil_now, air_before), correlation(soil_now, air_after) + 0.1);
}

TEST(WeatherForcing, Co2RisesTwoPpmPerModelYearFrom360) {
  const auto& days = example_series();
  EXPECT_DOUBLE_EQ(days.front().value[driver::Ca], 360.0);
  EXPECT_DOUBLE_EQ(days[kYear].value[driver::Ca], 362.0);
  EXPECT_DOUBLE_EQ(days[29 * kYear].value[driver::Ca], 418.0);
  for (std::size_t i = 1; i < days.size(); ++i) {
    ASSERT_GT(days[i].value[driver::Ca], days[i - 1].value[driver::Ca]);
  }
}

TEST(WeatherForcing, DepositionTotalsLieBetweenHalfAndOneGramPerYear) {
  const auto& days = example_series();
  double all_years = 0.0;
  for (std::size_t year = 0; year < 30; ++year) {
    double total = 0.0, nh4 = 0.0, no3 = 0.0;
    for (std::size_t d = 0; d < kYear; ++d) {
      const DriverDay& day = days[year * kYear + d];
      ASSERT_GT(day.value[driver::DNH4], 0.0);  // the dry part falls every day
      ASSERT_GT(day.value[driver::DNO3], 0.0);
      nh4 += day.value[driver::DNH4];
      no3 += day.value[driver::DNO3];
    }
    total = nh4 + no3;
    EXPECT_GE(total, 0.5) << "year " << year + 1;
    EXPECT_LE(total, 1.0) << "year " << year + 1;
    EXPECT_NEAR(no3 / nh4, 0.40 / 0.35, 1e-9);
    all_years += total;
  }
  EXPECT_NEAR(all_years / 30.0, 0.75, 0.05);
}

TEST(WeatherForcing, LitterAndSoilNitrogenDriversAreNotPrescribed) {
  for (const DriverDay& d : example_series()) {
    for (int k = driver::DlambdaCF; k <= driver::DNno3; ++k) {
      ASSERT_EQ(d.value[static_cast<std::size_t>(k)], kNotPrescribed) << "driver " << k;
    }
  }
  EXPECT_EQ(driver::DlambdaCF, 9);
  EXPECT_EQ(driver::DNno3, 18);
}

TEST(WeatherRadiation, TopOfAtmosphereRadiationByLatitudeAndSeason) {
  // 20 degrees south in early September: about 32 MJ m-2 day-1.
  EXPECT_NEAR(extraterrestrial_radiation(-20.0, 246), 32.2, 0.5);
  // Polar night and midnight sun.
  EXPECT_EQ(extraterrestrial_radiation(80.0, 1), 0.0);
  EXPECT_GT(extraterrestrial_radiation(80.0, 172), extraterrestrial_radiation(0.0, 172));
  // The example site: summer radiation three times the winter radiation.
  EXPECT_GT(extraterrestrial_radiation(42.5, 172), 3.0 * extraterrestrial_radiation(42.5, 356));
}

TEST(WeatherConfigCheck, RefusesConfigurationsThatCannotMakeWeather) {
  WeatherConfig c;
  c.years = 0;
  EXPECT_THROW(check_config(c), std::invalid_argument);
  c = WeatherConfig{};
  c.latitude = 91.0;
  EXPECT_THROW(check_config(c), std::invalid_argument);
  c = WeatherConfig{};
  c.start_time = 1.5;
  EXPECT_THROW(check_config(c), std::invalid_argument);
  c = WeatherConfig{};
  c.start_time = -1.0;  // a negative record time would ask for interpolation
  EXPECT_THROW(check_config(c), std::invalid_argument);
  c = WeatherConfig{};
  c.normals.tmin[6] = c.normals.tmax[6] + 1.0;
  EXPECT_THROW(check_config(c), std::invalid_argument);
  c = WeatherConfig{};
  c.wet_after_wet = 1.0;
  EXPECT_THROW(check_config(c), std::invalid_argument);
  c = WeatherConfig{};
  c.co2_rise = -20.0;  // would fall below zero within the 30 years
  EXPECT_THROW(check_config(c), std::invalid_argument);
  EXPECT_NO_THROW(check_config(WeatherConfig{}));
}

TEST(SeasonalCurveFit, MonthlyMeansOfTheCurveMatchSmoothNormals) {
  const MonthlyNormals n = example_site_normals();
  const SeasonalCurve curve(n.tmax);
  std::array<double, 12> sum{};
  for (int d = 1; d <= kModelYearDays; ++d) {
    sum[static_cast<std::size_t>(month_of_day(d))] += curve.at(d);
  }
  for (std::size_t m = 0; m < 12; ++m) {
    EXPECT_NEAR(sum[m] / kMonthLengths[m], n.tmax[m], 0.5) << "month " << m + 1;
  }
  // Smooth across the turn of the year.
  EXPECT_NEAR(curve.at(366), curve.at(1), 0.2);
}

TEST(SeasonalCurveFit, ConstantMonthsGiveAConstantCurve) {
  std::array<double, 12> flat{};
  flat.fill(7.25);
  const SeasonalCurve curve(flat);
  for (int d = 1; d <= kModelYearDays; ++d) ASSERT_NEAR(curve.at(d), 7.25, 1e-9);
}

TEST(SeasonalCurveFit, MonthsOfThe366DayYear) {
  EXPECT_EQ(month_of_day(1), 0);
  EXPECT_EQ(month_of_day(31), 0);
  EXPECT_EQ(month_of_day(32), 1);
  EXPECT_EQ(month_of_day(60), 1);  // 29 February
  EXPECT_EQ(month_of_day(61), 2);
  EXPECT_EQ(month_of_day(366), 11);
}

}  // namespace
}  // namespace vindrel::weather
